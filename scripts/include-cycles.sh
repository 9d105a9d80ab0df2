#!/bin/sh
# Folder-level include graph of the sources: one edge "A -> B" for each folder A under ROOT
# with a file that includes "B/...". Fails (exit 1) when the folders include each other in a
# cycle, and names the folders of the cycle.
#
#   scripts/include-cycles.sh [ROOT]        ROOT defaults to src
#   scripts/include-cycles.sh --edges [ROOT]  only print the edges
set -eu

edgesOnly=0
if [ "${1:-}" = "--edges" ]; then
  edgesOnly=1
  shift
fi
root=${1:-src}
if [ ! -d "$root" ]; then
  echo "include-cycles: no folder '$root'" >&2
  exit 2
fi

edges=$(mktemp)
trap 'rm -f "$edges" "$edges.err"' EXIT

for dir in "$root"/*/; do
  from=$(basename "$dir")
  find "$dir" -type f \( -name '*.h' -o -name '*.cpp' \) -exec cat {} + |
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' |
    sort -u |
    while read -r to; do
      # Only folders of ROOT count; a folder including its own files is no edge.
      if [ "$to" != "$from" ] && [ -d "$root/$to" ]; then echo "$from $to"; fi
    done
done >"$edges"

if [ "$edgesOnly" = 1 ]; then
  sed 's/ / -> /' "$edges"
  exit 0
fi

# tsort orders the graph and reports the members of each loop it finds.
if ! tsort "$edges" >/dev/null 2>"$edges.err"; then
  cycle=$(sed -n 's/^tsort: \([^-].*\)$/\1/p' "$edges.err" | grep -v 'input contains a loop' |
    tr '\n' ' ')
  echo "include-cycles: the folders of $root include each other in a cycle: $cycle" >&2
  echo "edges:" >&2
  sed 's/^/  /; s/ \([^ ]*\)$/ -> \1/' "$edges" >&2
  exit 1
fi
echo "include-cycles: $(wc -l <"$edges") folder edges under $root, no cycle"
