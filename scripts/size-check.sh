#!/bin/sh
# Size limits of the C++ sources, from universal-ctags' view of them:
#   - no function (lambdas included) longer than MAX_LINES lines, from its first line to its
#     closing brace;
#   - no class or struct declaring more than MAX_MEMBERS member functions (constructors,
#     destructors and operators included; counted where the class is defined).
# Prints every offender as "file:line: ..." and exits 1 when there is one.
#
#   scripts/size-check.sh [--max-lines N] [--max-members N] [--lines-only | --members-only]
#                         [--except NAME]... PATH...
#
# PATH is a file or a folder (searched for *.h and *.cpp). --except NAME leaves out functions
# and classes of that name (a data table written as a function, say); give it once per name.
set -eu

maxLines=80
maxMembers=40
checkLines=1
checkMembers=1
except=" "
while [ $# -gt 0 ]; do
  case "$1" in
    --max-lines) maxLines=$2; shift 2 ;;
    --max-members) maxMembers=$2; shift 2 ;;
    --lines-only) checkMembers=0; shift ;;
    --members-only) checkLines=0; shift ;;
    --except) except="$except$2 "; shift 2 ;;
    --) shift; break ;;
    -*) echo "size-check: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: size-check.sh [--max-lines N] [--max-members N] [--lines-only|--members-only]" \
    "[--except NAME]... PATH..." >&2
  exit 2
fi
if ! command -v ctags >/dev/null 2>&1 || ! ctags --version 2>/dev/null | grep -q Universal; then
  echo "size-check: universal-ctags is needed (package universal-ctags)" >&2
  exit 2
fi

files=$(find "$@" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
[ -n "$files" ] || { echo "size-check: no C++ files under $*" >&2; exit 2; }

# One line a tag: name, file, kind, line, end, scope (tab separated).
# shellcheck disable=SC2086
ctags --languages=C++ --langmap=C++:+.h --c++-kinds=+p --fields=+neKZ --extras=-F \
  --sort=no -o - $files |
  awk -F '\t' -v maxLines="$maxLines" -v maxMembers="$maxMembers" \
    -v checkLines="$checkLines" -v checkMembers="$checkMembers" -v except="$except" '
    {
      name = $1; file = $2; kind = ""; line = 0; end = 0; scope = ""
      for (i = 4; i <= NF; ++i) {
        if ($i !~ /:/) kind = $i
        else if ($i ~ /^line:/) line = substr($i, 6) + 0
        else if ($i ~ /^end:/) end = substr($i, 5) + 0
        else if ($i ~ /^scope:/) scope = substr($i, 7)
      }
      short = name; sub(/.*::/, "", short)
      if (index(except, " " short " ") > 0) next
      if (kind == "function" && checkLines && end > 0 && end - line + 1 > maxLines) {
        printf "%s:%d: function %s is %d lines (limit %d)\n", file, line, \
          (name ~ /^__anon/ ? "(lambda)" : name), end - line + 1, maxLines
        bad = 1
      }
      if (kind == "class" || kind == "struct") {
        full = (scope == "" ? name : substr(scope, index(scope, ":") + 1) "::" name)
        defined[file SUBSEP full] = line
      }
      if ((kind == "function" || kind == "prototype") && scope ~ /^(class|struct):/) {
        owner = substr(scope, index(scope, ":") + 1)
        members[file SUBSEP owner] += 1
      }
    }
    END {
      if (checkMembers) {
        for (key in members) {
          if (!(key in defined) || members[key] <= maxMembers) continue
          split(key, part, SUBSEP)
          cls = part[2]; sub(/.*::/, "", cls)
          if (index(except, " " cls " ") > 0) continue
          printf "%s:%d: class %s declares %d member functions (limit %d)\n", part[1], \
            defined[key], part[2], members[key], maxMembers
          bad = 1
        }
      }
      exit bad ? 1 : 0
    }'
