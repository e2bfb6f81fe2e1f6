#!/usr/bin/env bash
# The modules under src/ form layers that look only down:
#   platform <- text <- ingest <- battle <- tally <- curate, live, history <- app <- gui, web <- main.cpp
# A file may include headers of its own module and of modules below it, never above (nor
# of a sibling on the same level). Prints every include that breaks this and fails.
# The core's ranks are the levels of the mizuto_layer lines in CMakeLists.txt, the same
# that decide what each layer's library links; the window and the entry point sit above.
#
# Inside app and gui the files are in folders by feature, ranked the same way (folder_ranks
# below): a file may include its own folder's headers and those of a folder ranked lower,
# never of one ranked higher or level with its own. Every file of such a module is in one of
# its ranked folders, so a new folder gets its rank here before it holds anything.
#
# Checks the tree it is given (default: this checkout).
set -euo pipefail

# Folder, rank; from the bottom up. The owner is App with the load and the views it drives:
# what it holds (the history recorder, the History page's view) sits in it or below it.
folder_ranks='
app/parts     1
app/season    1
app/version   1
app/owner     2
app/history   3
app/commands  4
app/modes     5
gui/widgets   1
gui/results   2
gui/settings  2
gui/version   2
gui/history   3
gui/window    4
'

cd "${1:-$(dirname "$0")/..}"
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
declare -A folderRanks=() foldered=()
while read -r folder rank; do
  [ -n "$folder" ] || continue
  folderRanks[$folder]=$rank
  foldered[${folder%%/*}]=1
done <<<"$folder_ranks"
cd src
rank() { echo "${ranks[$1]:--1}"; }
folderRank() { if [ -n "$1" ]; then echo "${folderRanks[$1]:--1}"; else echo -1; fi; }
bad=0
while IFS= read -r file; do
  own="${file%%/*}"
  ownRank=$(rank "$own")
  if [ "$ownRank" -lt 0 ]; then
    echo "$file: in no known module" >&2
    bad=1
    continue
  fi
  ownFolder=''
  ownFolderRank=-1
  if [ -n "${foldered[$own]:-}" ]; then
    rest="${file#*/}"
    [ "$rest" != "${rest#*/}" ] && ownFolder="$own/${rest%%/*}"
    ownFolderRank=$(folderRank "$ownFolder")
    if [ "$ownFolderRank" -lt 0 ]; then
      echo "$file: in no ranked folder of $own (scripts/check_layers.sh ranks them)" >&2
      bad=1
      continue
    fi
  fi
  while IFS= read -r included; do
    module="${included%%/*}"
    [ "$module" = "$included" ] && continue  # a header without a module folder
    if [ "$module" = "$own" ]; then
      [ -n "$ownFolder" ] || continue
      rest="${included#*/}"
      folder="$own/${rest%%/*}"
      [ "$folder" = "$ownFolder" ] && continue
      r=$(folderRank "$folder")
      if [ "$r" -lt 0 ] || [ "$r" -ge "$ownFolderRank" ]; then
        echo "$file includes $included: $folder is not below $ownFolder" >&2
        bad=1
      fi
      continue
    fi
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
