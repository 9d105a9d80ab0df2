#!/usr/bin/env bash
# Every option a program names in its --help (osdctl: also in each command's --help), and every
# osdctl command, must be described in that program's manual page source. Usage: man_pages_check.sh MAN_SOURCE_DIR PROGRAM...
set -u
mandir=$1
shift
export QT_QPA_PLATFORM=offscreen OSDPROG_INSTANCE=man-pages-check
failed=0
for program in "$@"; do
  name=$(basename "$program")
  page="$mandir/$name.1.scd"
  help=$("$program" --help 2>&1 </dev/null)
  # osdctl's commands each list their options in their own help (from the command table).
  if [ "$name" = osdctl ]; then
    for command in $(sed -nE 's/^ {2}([a-z]+)( .*)?$/\1/p' <<<"$help"); do
      help+=$'\n'$("$program" "$command" --help 2>&1 </dev/null)
    done
  fi
  options=$(grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' <<<"$help" |
    sed -E 's/^[^-]*//' | sort -u)
  if [ -z "$options" ]; then
    echo "$name: --help names no options"
    failed=1
  fi
  for option in $options; do
    grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|\$)" "$page" ||
      { echo "$name: $option is not in $page"; failed=1; }
  done
  if [ "$name" = osdctl ]; then
    commands=$(sed -nE 's/^ {2}([a-z]+)( .*)?$/\1/p' <<<"$help")
    [ -n "$commands" ] || { echo "osdctl: --help names no commands"; failed=1; }
    for command in $commands; do
      grep -qF -- "*$command*" "$page" || { echo "osdctl: command $command is not in $page"; failed=1; }
    done
  fi
done
exit $failed
