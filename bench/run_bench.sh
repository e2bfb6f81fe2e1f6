#!/usr/bin/env bash
# Runs the benchmarks and prints their figures (see bench/README.md).
#   B1  full load and report of the 100 MB log against iconv converting the same file alone
#   B2  time per MB at 1, 10 and 100 MB
#   B3  one active-mode tick on the 100 MB log with a battle open   (Google Benchmark)
#   B4  refresh of every totals view on a full name table            (Google Benchmark)
#   B5  peak resident memory of the B1 run and of a full name table
#   B6  loading the 100 MB log in the window (offscreen, drawn once) against the report
#   B7  a transcript switch in the window with the name table full, and with every battle
#       of the 100 MB log shown                                      (Google Benchmark)
# RUNS (default 7) sets the number of timed runs per command.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ cmake make libicu-dev libsqlite3-dev libbenchmark-dev time qt6-base-dev
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DMIZUTO_TESTS=OFF -DMIZUTO_BENCH=ON >/dev/null
cmake --build build/bench -j"$(nproc)" >/dev/null
bench/make_corpus.sh >/dev/null
runs=${RUNS:-7}
exe=build/bench/mizuto
corpus=build/bench-corpus

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
report() { "$exe" --report --program-dir "$corpus/$1" "$corpus/$1/chat.html" >/dev/null; }

echo "== B1: load and report vs. iconv, 100 MB, $runs alternating runs"
: >/tmp/mizuto_b1_a; : >/tmp/mizuto_b1_b
report 100mb; iconv -f UTF-8 -t CP932 "$corpus/100mb/chat.html" >/dev/null  # warm the cache
for _ in $(seq "$runs"); do
  t0=$(now); report 100mb; t1=$(now)
  iconv -f UTF-8 -t CP932 "$corpus/100mb/chat.html" >/dev/null; t2=$(now)
  echo $(( (t1 - t0) / 1000000 )) >>/tmp/mizuto_b1_a
  echo $(( (t2 - t1) / 1000000 )) >>/tmp/mizuto_b1_b
done
a=$(median </tmp/mizuto_b1_a); b=$(median </tmp/mizuto_b1_b)
echo "mizuto --report: median ${a} ms   iconv: median ${b} ms   ratio: $(awk "BEGIN{printf \"%.2f\", $a/$b}")"

echo "== B2: time per MB"
for size in 1mb 10mb 100mb; do
  : >/tmp/mizuto_b2
  for _ in $(seq "$runs"); do t0=$(now); report $size; t1=$(now); echo $(( (t1 - t0) / 1000 )) >>/tmp/mizuto_b2; done
  bytes=$(stat -c %s "$corpus/$size/chat.html")
  m=$(median </tmp/mizuto_b2)
  echo "$size: median $(awk "BEGIN{printf \"%.1f\", $m/1000}") ms, $(awk "BEGIN{printf \"%.2f\", $m/1000/($bytes/1000000)}") ms per MB"
done

echo "== B3, B4: core benchmarks"
MIZUTO_BENCH_LOG="$corpus/100mb/chat.html" MIZUTO_BENCH_DIR="$corpus/100mb" \
  build/bench/core_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

echo "== B5: peak resident memory"
for name in 100mb full; do
  kb=$(/usr/bin/time -f %M "$exe" --report --program-dir "$corpus/$name" "$corpus/$name/chat.html" 2>&1 >/dev/null | tail -1)
  echo "$name: peak RSS $(awk "BEGIN{printf \"%.1f\", $kb/1024}") MiB, log $(awk "BEGIN{printf \"%.1f\", $(stat -c %s "$corpus/$name/chat.html")/1048576}") MiB"
done
"$exe" --report --program-dir "$corpus/full" "$corpus/full/chat.html" | grep -c "Error Code 005" | sed 's/^/full: name-table-full reports: /'

echo "== B6: the window (offscreen) vs. the report, 100 MB, $runs alternating runs"
window() {
  QT_QPA_PLATFORM=offscreen "$exe" --program-dir "$corpus/$1" --quit-after-load "$corpus/$1/chat.html" \
    >/dev/null 2>&1
}
: >/tmp/mizuto_b6_a; : >/tmp/mizuto_b6_b
window 100mb; report 100mb  # warm the cache
for _ in $(seq "$runs"); do
  t0=$(now); window 100mb; t1=$(now)
  report 100mb; t2=$(now)
  echo $(( (t1 - t0) / 1000000 )) >>/tmp/mizuto_b6_a
  echo $(( (t2 - t1) / 1000000 )) >>/tmp/mizuto_b6_b
done
a=$(median </tmp/mizuto_b6_a); b=$(median </tmp/mizuto_b6_b)
echo "window: median ${a} ms   report: median ${b} ms   ratio: $(awk "BEGIN{printf \"%.2f\", $a/$b}")"
kb=$(QT_QPA_PLATFORM=offscreen /usr/bin/time -f %M "$exe" --program-dir "$corpus/100mb" --quit-after-load \
  "$corpus/100mb/chat.html" 2>&1 >/dev/null | tail -1)
echo "window: peak RSS $(awk "BEGIN{printf \"%.1f\", $kb/1024}") MiB"

echo "== B7: a transcript switch in the window (offscreen), name table full"
MIZUTO_BENCH_DIR="$corpus/full" MIZUTO_BENCH_BIG_DIR="$corpus/100mb" build/bench/window_bench --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true

echo "== B8: the window loading the 100 MB log (offscreen): the longest it does not answer"
MIZUTO_BENCH_LOAD_DIR="$corpus/100mb" build/bench/window_bench --benchmark_filter=LoadLargeLog
