#!/usr/bin/env bash
# The modules under src/ form layers that look only down:
#   platform <- text <- ingest <- battle <- tally <- curate, live, history <- app <- gui, web <- main.cpp
# A file may include headers of its own module and of modules below it, never above (nor
# of a sibling on the same level). Prints every include that breaks this and fails.
# The core's ranks are the levels of the mizuto_layer lines in CMakeLists.txt, the same
# that decide what each layer's library links; the window and the entry point sit above.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A ranks=()
top=-1
while read -r layer level; do
  ranks[$layer]=$level
  if [ "$level" -gt "$top" ]; then top=$level; fi
done < <(sed -n 's/^ *mizuto_layer(\([a-z_]*\) *LEVEL \([0-9]*\).*/\1 \2/p' CMakeLists.txt)
if [ "$top" -lt 0 ]; then
  echo "no mizuto_layer lines in CMakeLists.txt" >&2
  exit 1
fi
ranks[gui]=$((top + 1))
# The browser view stands beside the window: two views, neither includes the other.
ranks[web]=$((top + 1))
ranks[main.cpp]=$((top + 2))
cd src
rank() { echo "${ranks[$1]:--1}"; }
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
