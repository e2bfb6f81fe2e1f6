#!/usr/bin/env bash
# Generates the benchmark corpus under build/bench-corpus, reproducible from the seeds below.
# Each log has its own program folder (list files: 60 skills, 150 items, 20 of each checked).
#   1mb, 10mb, 100mb  logs of that size; the 100 MB one has 512 battles and about 1000
#                     distinct names and ends inside a battle (for the active-mode tick)
#   full              a name table filled to its 1024 names over 512 battles
# MIZUTO_LOGGEN names another generator, MIZUTO_CORPUS_LOGS a subset (e.g. "1mb full").
set -euo pipefail
cd "$(dirname "$0")/.."
gen=${MIZUTO_LOGGEN:-build/bench/mizuto_loggen}
wanted=" ${MIZUTO_CORPUS_LOGS:-1mb 10mb 100mb full} "
out=build/bench-corpus
make_one() {  # name seed args...
  local name=$1 seed=$2
  shift 2
  [[ $wanted == *" $name "* ]] || return 0
  local dir="$out/$name"
  mkdir -p "$dir"
  if [ ! -s "$dir/chat.html" ]; then
    "$gen" --seed "$seed" --skills 60 --items 150 --checked 20 --out "$dir/chat.html" \
           --program-dir "$dir" "$@"
  fi
}
make_one 1mb 101 --size 1000000 --battles 6 --players 150
make_one 10mb 102 --size 10000000 --battles 52 --players 500
make_one 100mb 103 --size 100000000 --battles 512 --players 1000 --open-battle
make_one full 104 --battles 512 --players 1400
for name in $wanted; do ls -l "$out/$name/chat.html"; done
