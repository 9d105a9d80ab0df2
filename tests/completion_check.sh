#!/usr/bin/env bash
# osdctl's completion in a bash without the bash-completion package: no error on standard
# error, and the commands, a command's options and an option's choices come from osdctl.
# Usage: completion_check.sh COMPLETION_SCRIPT OSDCTL
set -u
out=$(bash --norc --noprofile -c '
  source "$1"
  try() { COMP_WORDS=("$2" "${@:3}"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
    _osdctl; echo "${COMPREPLY[*]}"; }
  try x "$2" ap
  try x "$2" --settings s.ini scan --i
  try x "$2" download x.bmp --format ""
  try x "$2" download x.bmp --nodes ""' _ "$1" "$2" 2>&1)
expected=$'apply\n--ids\nrgb ycbcr\nall'
[ "$out" = "$expected" ] || { printf 'completion gave:\n%s\nexpected:\n%s\n' "$out" "$expected"; exit 1; }
