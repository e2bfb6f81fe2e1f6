#!/usr/bin/env bash
# A season history of 100,000 battles for bench/history_page_bench.cpp: 200 generated logs of
# 500 battles each, one a day from 2026-01-01, imported with mizuto --history.
# LOGS= another number of logs; OUT= another folder (the default: build/bench-corpus/history).
set -euo pipefail
cd "$(dirname "$0")/.."
gen=${MIZUTO_LOGGEN:-build/bench/mizuto_loggen}
exe=${MIZUTO_EXE:-build/bench/mizuto}
logs=${LOGS:-200}
out=${OUT:-build/bench-corpus/history}
if [ ! -s "$out/MizutoHistory.db" ]; then
  mkdir -p "$out/logs"
  "$gen" --seed 1 --skills 60 --items 150 --checked 20 --program-dir "$out" --out /dev/null
  for i in $(seq 0 $((logs - 1))); do
    day=$(date -u -d "2026-01-01 + $i days" +%F)
    "$gen" --seed $((200 + i)) --battles 500 --npc-battles 0 --players 800 --out "$out/logs/chat_$day.html"
  done
  "$exe" --history --program-dir "$out" --import "$out/logs" >/dev/null 2>&1
fi
ls -l "$out/MizutoHistory.db"
