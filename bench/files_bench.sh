#!/usr/bin/env bash
# B9: a settings file and an NPC list near the size limit. A report over a small log (40
# battles) with Mizuto.ini, or NPCList.txt, of 1, 4 and 16 MiB of short lines (the costliest
# kind per byte), against the same report without them: the time added per MiB (linear in
# the size when it stays flat) and the peak memory added per byte of the file.
#   EXE     the program (default build/bench/mizuto; its folder holds mizuto_loggen)
#   RUNS    timed runs per case (default 5); the median is shown
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${EXE:-build/bench/mizuto}
gen=$(dirname "$exe")/mizuto_loggen
runs=${RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/base"
"$gen" --seed 5 --battles 40 --players 30 --out "$work/chat.html" --program-dir "$work/base/" >/dev/null

# Lines until the file is `bytes` long at most: key lines of a settings section, or names
# that no fleet of the log holds.
make_file() {  # kind bytes
  awk -v kind="$1" -v n="$2" 'BEGIN {
    s = 0
    if (kind == "ini") { printf "[Mizuto]\r\n"; s = 10 }
    for (i = 0; ; i++) {
      line = kind == "ini" ? sprintf("k%d=1\r\n", i % 100000) : sprintf("NPC%d\r\n", i % 100000)
      if (s + length(line) > n) break
      printf "%s", line; s += length(line)
    }
  }'
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
measure() {  # dir -> "median-ms peak-KiB"
  : >"$work/times"; peak=0
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/one" "$exe" --report --program-dir "$1/" "$work/chat.html" >/dev/null
    read -r seconds kib <"$work/one"
    awk "BEGIN{print $seconds*1000}" >>"$work/times"
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "$(median <"$work/times") $peak"
}

read -r base_ms base_kib < <(measure "$work/base")
echo "without: ${base_ms} ms, peak ${base_kib} KiB"
for kind in ini npc; do
  file=$([ $kind = ini ] && echo Mizuto.ini || echo NPCList.txt)
  for mib in 1 4 16; do
    dir="$work/$kind$mib"
    cp -r "$work/base" "$dir"
    make_file $kind $(( mib * 1048576 - 64 )) >"$dir/$file"
    bytes=$(stat -c %s "$dir/$file")
    read -r ms kib < <(measure "$dir")
    awk -v f="$file" -v mib=$mib -v ms="$ms" -v b="$base_ms" -v kib="$kib" -v bk="$base_kib" -v bytes="$bytes" 'BEGIN {
      printf "%-11s %2d MiB: %8.0f ms (+%6.1f ms/MiB)  peak %7.1f MiB (+%.2f x the file)\n",
             f, mib, ms, (ms - b) / (bytes / 1048576), kib / 1024, (kib - bk) * 1024 / bytes }'
    rm -rf "$dir"
  done
done
