#!/bin/sh
# The Qt window works on the area presenters: lists every include of the project's own headers
# in the sources under FOLDER (the window's folder) that names a folder other than the window's
# own, shell, the platform seams (platform, qtplatform), common and convert, and fails when
# there is one; and every call of one of App's components (platform(), bench(), choices(),
# link(), dispatcher(), session()) there. Qt's and the standard library's headers (<...>) are not
# looked at. A file whose name (without its extension) is given with --except is left out.
#   scripts/gui-includes.sh [--except NAME]... FOLDER
except=""
while [ "$1" = "--except" ]; do
  except="$except ${2:?--except needs a name}"
  shift 2
done
folder=${1:?usage: gui-includes.sh [--except NAME]... FOLDER}
[ -d "$folder" ] || { echo "gui-includes: no folder '$folder'" >&2; exit 2; }
own=$(basename "$folder")
hits=$(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' \) | sort | while read -r file; do
  name=$(basename "$file")
  name=${name%.*}
  case " $except " in *" $name "*) continue ;; esac
  awk -v file="$file" -v own="$own" '
    /^[ \t]*#[ \t]*include[ \t]*"/ {
      header = $0
      sub(/^[^"]*"/, "", header)
      sub(/".*$/, "", header)
      if (header !~ /\//) next
      top = header
      sub(/\/.*$/, "", top)
      if (top == own || top ~ /^(shell|platform|qtplatform|common|convert)$/) next
      print file ":" FNR ": " $0
    }
    /(\.|->)[ \t]*(platform|bench|choices|link|dispatcher|session)[ \t]*\([ \t]*\)/ {
      print file ":" FNR ": " $0
    }' "$file"
done)
if [ -n "$hits" ]; then
  echo "$hits"
  echo "$(printf '%s\n' "$hits" | wc -l) includes or calls reach past the presenters and the seams"
  exit 1
fi
echo "the window includes only the presenters, the seams, common and convert"
