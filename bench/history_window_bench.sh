#!/usr/bin/env bash
# H4: a window load with the season history against one without. The window (Qt's offscreen
# platform) loads a 10 MB log and ends (--quit-after-load): with the history each run imports
# the log into a history that holds another day's log but not this one (copied afresh before
# every run, so every battle is written), without it the same run with --no-history.
# In pairs, after a warm-up of each, the order turned at every pair; medians and their ratio.
# Then the same with no history file at all before each run (the program's first load ever,
# which also makes the file), and the database's size per battle and player.
#   EXE     the program (default build/bench/mizuto; its folder holds mizuto_loggen)
#   RUNS    timed runs per case (default 11)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${EXE:-build/bench/mizuto}
gen=$(dirname "$exe")/mizuto_loggen
runs=${RUNS:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$gen" --seed 102 --size 10000000 --battles 52 --players 500 --skills 60 --items 150 --checked 20 \
       --out "$work/chat_20240501.html" --program-dir "$work/" >/dev/null
# The history a player has already: another day's log, imported by the headless command.
mkdir "$work/other"
"$gen" --seed 103 --size 2000000 --battles 12 --players 500 --skills 60 --items 150 --checked 20 \
       --out "$work/other/chat_20240430.html" --program-dir "$work/other/" >/dev/null
"$exe" --history --program-dir "$work/" --import "$work/other/chat_20240430.html" >/dev/null 2>&1
mv "$work/MizutoHistory.db" "$work/kept.db"
kept="$work/kept.db"
export QT_QPA_PLATFORM=offscreen
one() {  # extra-option -> milliseconds
  rm -f "$work/MizutoHistory.db" "$work/MizutoHistory.db-wal" "$work/MizutoHistory.db-shm"
  if [ -n "$kept" ]; then cp "$kept" "$work/MizutoHistory.db"; fi
  # Wall time in milliseconds (the shell's clock: /usr/bin/time counts in hundredths only).
  local start=$EPOCHREALTIME
  "$exe" --program-dir "$work/" --quit-after-load $1 "$work/chat_20240501.html" >/dev/null 2>&1
  awk "BEGIN{printf \"%.1f\\n\", ($EPOCHREALTIME - $start) * 1000}"
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
compare() {  # what the runs find -> one line
  one "" >/dev/null
  one --no-history >/dev/null
  : >"$work/with"; : >"$work/without"
  # Each pair in the other order than the last (with, without; without, with; ...): a run
  # leaves the machine different for the next one, and pairs always in one order carried
  # that into the ratio (bench/README.md).
  for i in $(seq "$runs"); do
    if [ $((i % 2)) -eq 1 ]; then
      one "" >>"$work/with"
      one --no-history >>"$work/without"
    else
      one --no-history >>"$work/without"
      one "" >>"$work/with"
    fi
  done
  local with without paired
  with=$(median <"$work/with")
  without=$(median <"$work/without")
  # Each run against the run beside it: a machine whose speed drifts during the runs moves
  # both alike.
  paired=$(paste "$work/with" "$work/without" | awk '{printf "%.4f\n", $1 / $2}' | median)
  echo "window load, 10 MB log, $1: with history ${with} ms, without ${without} ms (medians of $runs): ratio $(awk "BEGIN{printf \"%.3f\", $with/$without}"); median of the paired ratios $paired"
}
compare "a history holding another log"
kept=""
compare "no history file before (the first load ever)"
# The last import's database (written by one more run), per battle and player row.
one "" >/dev/null
python3 - "$work/MizutoHistory.db" <<'PY' 2>/dev/null || true
import os, sqlite3, sys
db = sys.argv[1]
c = sqlite3.connect(db)
rows = c.execute("SELECT COUNT(*) FROM battle_players").fetchone()[0]
battles = c.execute("SELECT COUNT(*) FROM battles").fetchone()[0]
c.close()
size = os.path.getsize(db) + (os.path.getsize(db + "-wal") if os.path.exists(db + "-wal") else 0)
print(f"database: {size} bytes, {battles} battles, {rows} battle-player rows: {size / max(rows, 1):.0f} bytes per battle and player")
PY
