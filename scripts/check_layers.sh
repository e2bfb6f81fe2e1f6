#!/usr/bin/env bash
# The modules under src/ form layers that look only down:
#   platform <- text <- ingest <- battle <- tally <- curate, live, history <- app <- gui <- main.cpp
# A file may include headers of its own module and of modules below it, never above (nor
# of a sibling on the same level). Prints every include that breaks this and fails.
set -euo pipefail
cd "$(dirname "$0")/../src"
rank() {
  case "$1" in
    platform) echo 0 ;; text) echo 1 ;; ingest) echo 2 ;; battle) echo 3 ;; tally) echo 4 ;;
    curate|live|history) echo 5 ;; app) echo 6 ;; gui) echo 7 ;; main.cpp) echo 8 ;; *) echo -1 ;;
  esac
}
bad=0
while IFS= read -r file; do
  own="${file%%/*}"
  ownRank=$(rank "$own")
  if [ "$ownRank" -lt 0 ]; then
    echo "$file: in no known module" >&2
    bad=1
    continue
  fi
  while IFS= read -r included; do
    module="${included%%/*}"
    [ "$module" = "$included" ] && continue  # a header without a module folder
    [ "$module" = "$own" ] && continue
    r=$(rank "$module")
    if [ "$r" -lt 0 ] || [ "$r" -ge "$ownRank" ]; then
      echo "$file includes $included: $module is not below $own" >&2
      bad=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.cpp' -o -name '*.h' | sed 's#^\./##' | sort)
if [ "$bad" -ne 0 ]; then
  echo "layer check failed" >&2
  exit 1
fi
echo "layers: every include looks down"
