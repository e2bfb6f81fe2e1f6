#!/usr/bin/env bash
# The Windows build, proved under Wine: cross-builds the core, the report, the tools and the
# core tests with mingw-w64, runs every core test executable under Wine, compares the two
# converters character by character, and compares the report of the Windows build byte for
# byte with the Linux build's on the benchmark corpus (the 1 MB, 10 MB and full-name-table
# logs; the 100 MB one only adds time) and on the demo, with every option in both encodings,
# one of them from a folder with a Japanese name.
#   scripts/windows-check.sh          (after a Linux build in build/test, or it makes one)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"
linux=build/test
win=build/windows
started=$(date +%s)
step() { echo "== $* ($(( $(date +%s) - started )) s)"; }

step "Linux build: report, generator, codec dump"
cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$linux" -j"$jobs" --target mizuto mizuto_loggen mizuto_codec_dump demo program_folder >/dev/null

step "Windows cross build"
scripts/windows-build.sh

step "Wine prefix"
source scripts/wine-env.sh

step "core tests under Wine"
ctest --test-dir "$win" --output-on-failure -j"$jobs"

step "converters: ICU against the system's code page 932"
work="$win/check"
rm -rf "$work"
mkdir -p "$work"
"$linux/mizuto_codec_dump" "$work/icu.dump"
(cd "$win" && "$wine" mizuto_codec_dump.exe check/windows.dump)
scripts/codec-compare.sh "$work/icu.dump" "$work/windows.dump" tests/data/codec_differences.txt

step "corpus"
MIZUTO_LOGGEN="$linux/mizuto_loggen" MIZUTO_CORPUS_LOGS="1mb 10mb full" bench/make_corpus.sh >/dev/null

# Runs one report with both builds and compares the bytes. Paths reach the Windows build
# as Windows sees them (Wine's drive Z: is the root of this system).
failures=0
runs=0
compare() {  # program-dir log options...
  local dir=$1 log=$2
  shift 2
  local name="$work/report_$runs"
  "$linux/mizuto" --report --program-dir "$dir" "$@" "$log" >"$name.linux" 2>"$name.linux.err" || echo "exit $?" >>"$name.linux"
  "$wine" "$win/mizuto.exe" --report --program-dir "Z:$(realpath "$dir")" "$@" "Z:$(realpath "$log")" \
    >"$name.windows" 2>"$name.windows.err" || echo "exit $?" >>"$name.windows"
  if ! cmp -s "$name.linux" "$name.windows"; then
    echo "DIFFERENT: $log $* (see $name.linux / $name.windows)"
    failures=$((failures + 1))
  fi
  runs=$((runs + 1))
}
option_sets=("" "--active" "--avg-hit-down --avg-skill-item" "--detail all"
             "--active --avg-hit-down --avg-skill-item --detail 1,3,99")
every_option() {  # program-dir log
  local options encoding
  for options in "${option_sets[@]}"; do
    for encoding in utf-8 sjis; do
      # shellcheck disable=SC2086
      compare "$1" "$2" $options --encoding "$encoding"
    done
  done
}

step "reports: corpus"
for name in 1mb 10mb full; do every_option "build/bench-corpus/$name" "build/bench-corpus/$name/chat.html"; done
step "reports: demo"
every_option "$linux/demo" "$linux/demo/demo.html"

step "reports: the demo from a folder with a Japanese name"
japanese="$work/航海日誌 の 控え"
mkdir -p "$japanese"
cp "$linux/demo/"*.txt "$linux/demo/Mizuto.ini" "$linux/demo/demo.html" "$japanese/"
cp "$linux/demo/demo.html" "$japanese/第1艦隊.html"
every_option "$japanese" "$japanese/第1艦隊.html"
if [ "$(head -n 1 "$work/report_$((runs - 1)).windows")" != "[battles]" ]; then
  echo "no report from the Japanese folder"
  failures=$((failures + 1))
fi

step "done: $runs reports compared, $failures different"
[ "$failures" -eq 0 ]
