#!/bin/sh
# What differs on Windows lives in the platform folders: lists every preprocessor condition on
# Windows (#ifdef _WIN32, #if defined(_WIN32), #ifndef, #elif, WIN32, _WIN64, _MSC_VER,
# __MINGW32__, Q_OS_WIN, ...; a condition continued over several lines counts as one) in the
# sources under each FOLDER outside any folder named platform, qtplatform or winplatform, and
# fails when there is one.
#   scripts/windows-conditionals.sh FOLDER...
[ $# -gt 0 ] || { echo "usage: windows-conditionals.sh FOLDER..." >&2; exit 2; }
for folder in "$@"; do
  [ -d "$folder" ] || { echo "windows-conditionals: no folder '$folder'" >&2; exit 2; }
done
hits=$(find "$@" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' \
  -o -name '*.cpp' -o -name '*.in' \) | grep -vE '/(platform|qtplatform|winplatform)/' | sort |
  while read -r file; do
    awk -v file="$file" '
      function check(text, at) {
        if (text ~ /^[ \t]*#[ \t]*(if|ifdef|ifndef|elif|elifdef|elifndef)([^A-Za-z0-9_]|$)/ &&
            text ~ /(^|[^A-Za-z0-9_])(_?WIN(32|64)|__WIN32__|_WINDOWS|__MINGW(32|64)__|_MSC_VER|__CYGWIN__|Q_OS_WIN[A-Z0-9_]*|WINAPI_FAMILY[A-Z0-9_]*)([^A-Za-z0-9_]|$)/)
          print file ":" at ": " text
      }
      joined != "" { joined = joined " " $0 } joined == "" { joined = $0; at = FNR }
      /\\$/ { sub(/\\$/, "", joined); next }
      { check(joined, at); joined = "" }
      END { if (joined != "") check(joined, at) }' "$file"
  done)
if [ -n "$hits" ]; then
  echo "$hits"
  echo "$(printf '%s\n' "$hits" | wc -l) Windows conditionals stand outside the platform folders"
  exit 1
fi
echo "no Windows conditional outside the platform folders"
