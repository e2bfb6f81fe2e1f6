#!/usr/bin/env bash
# The Windows build, proved under Wine: cross-builds the core (with the season history on
# SQLite), the report, the tools and the core tests with mingw-w64, runs every core test
# executable under Wine, the console's text and a double-click under a Wine console,
# compares the two converters character by character, and compares the report of the
# Windows build byte for byte with the Linux build's on the benchmark corpus (the 1 MB,
# 10 MB and full-name-table logs; the 100 MB one only adds time) and on the demo, with every
# option in both encodings, one of them from a folder with a Japanese name, and the
# history's answers after an import.
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

work="$win/check"
rm -rf "$work"
mkdir -p "$work"
failures=0

# Wine gives a program a console when it runs on a terminal: `script` lends it one.
in_console() { script -qec "$*" /dev/null; }

step "console: the text read back from a Wine console's screen"
if ! MIZUTO_CONSOLE_REQUIRED=1 in_console "'$wine' '$win/standard_output_test.exe' --gtest_filter='*Console*'" \
    </dev/null >"$work/console.log" 2>&1; then
  echo "the console test failed (see $work/console.log)"
  failures=$((failures + 1))
fi

step "a double-click: the guide in Japanese, then a key"
# The key comes through the terminal three seconds on: the program must be waiting for it,
# not gone, and end once it is pressed.
waited=$(date +%s)
if ! (sleep 3; printf 'x') | timeout 60 script -qec "'$wine' '$win/mizuto.exe'" /dev/null >"$work/double_click.log" 2>&1 \
    || ! grep -q "何かキーを押すと閉じます" "$work/double_click.log" || [ $(( $(date +%s) - waited )) -lt 3 ]; then
  echo "no guide for a double-click, or no wait for the key (see $work/double_click.log)"
  failures=$((failures + 1))
fi

step "the first run writes Mizuto.ini beside mizuto.exe"
first="$work/first run"
mkdir -p "$first"
cp "$win/mizuto.exe" "$linux/"*List.txt "$first/"
"$wine" "$first/mizuto.exe" --report "Z:$(realpath "$linux/demo/demo.html")" >/dev/null 2>"$work/first_run.err" || true
if ! grep -q "^UserName=YOU" "$first/Mizuto.ini" 2>/dev/null; then
  echo "no Mizuto.ini after the first run (see $work/first_run.err)"
  failures=$((failures + 1))
fi

step "converters: ICU against the system's code page 932"
"$linux/mizuto_codec_dump" "$work/icu.dump"
(cd "$win" && "$wine" mizuto_codec_dump.exe check/windows.dump)
scripts/codec-compare.sh "$work/icu.dump" "$work/windows.dump" tests/data/codec_differences.txt

step "corpus"
MIZUTO_LOGGEN="$linux/mizuto_loggen" MIZUTO_CORPUS_LOGS="1mb 10mb full" bench/make_corpus.sh >/dev/null

# Runs one report with both builds and compares the bytes. Paths reach the Windows build
# as Windows sees them (Wine's drive Z: is the root of this system).
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

step "history: an import and its answers, both builds"
# Each build its own history, from the demo's folder; the answers must agree byte for byte.
for build in linux windows; do
  mkdir -p "$work/history_$build"
  cp "$linux/demo/"*.txt "$linux/demo/Mizuto.ini" "$linux/demo/demo.html" "$work/history_$build/"
done
for query in "--import" "" "--json" "--encoding sjis"; do
  for build in linux windows; do
    dir="$work/history_$build"
    args=()
    read -ra args <<<"$query"
    if [ $build = linux ]; then
      [ "$query" = --import ] && args=(--import "$dir/demo.html")
      "$linux/mizuto" --history --program-dir "$dir" "${args[@]}" >"$dir/answer" 2>"$dir/answer.err" \
        || echo "exit $?" >>"$dir/answer"
    else
      [ "$query" = --import ] && args=(--import "Z:$(realpath "$dir/demo.html")")
      "$wine" "$win/mizuto.exe" --history --program-dir "Z:$(realpath "$dir")" "${args[@]}" >"$dir/answer" \
        2>"$dir/answer.err" || echo "exit $?" >>"$dir/answer"
    fi
  done
  if ! cmp -s "$work/history_linux/answer" "$work/history_windows/answer" || grep -q "^exit" "$work/history_windows/answer"; then
    echo "DIFFERENT: --history $query (see $work/history_linux/answer.err, $work/history_windows/answer.err)"
    failures=$((failures + 1))
  fi
  runs=$((runs + 1))
done
[ -s "$work/history_windows/MizutoHistory.db" ] || { echo "no history written by mizuto.exe"; failures=$((failures + 1)); }

step "done: $runs reports compared, $failures different"
[ "$failures" -eq 0 ]
