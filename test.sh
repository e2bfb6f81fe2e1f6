#!/usr/bin/env bash
# Builds and runs every test: once as a normal build, then clang-tidy's function-size check
# over src/ (scripts/function_size.sh), once with AddressSanitizer and
# UndefinedBehaviorSanitizer (only the tests and the programs they run; any sanitizer report
# fails the run), then the Windows build under Wine (scripts/windows-check.sh), then the
# Debian package and the Windows zip as a player gets them (scripts/package.sh,
# scripts/package-check.sh); the fuzz targets, built with clang, each run a few seconds
# from its seeds (any finding fails the run). Two stages run beside others, because those
# leave a core idle (a download, Wine running one program at a time) and share no build
# folder with them: the Windows build's SQLite beside the sanitizer build, the fuzz targets
# beside the Windows check.
# The set-up and the builds say one line each on the error output; their output goes to
# build/setup.log (its last lines are shown when one fails).
# At the end, also when a stage fails, each stage's wall-clock and CPU time are printed, so a
# slower test command shows where the time went (the CPU time is what a loaded machine
# cannot hide: the wall-clock time of an idle two-core machine is about half of it where
# both cores are busy).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/steps.sh

stage_names=()
stage_seconds=()
stage_cpu=()
stage_started=$SECONDS
stage_cpu_started=0
current_stage=""
# read_cpu: cpu_now becomes the CPU time (user and system, in hundredths of a second) of
# every process this script started and has waited for. (The shell's own `times`, not in a
# subshell: a subshell has its own.)
times_file=$(mktemp)
read_cpu() {
  times >"$times_file"
  # Its second line, the children's: "1m2.345s 0m0.120s".
  cpu_now=$(awk 'NR == 2 { t = 0; for (i = 1; i <= 2; i++) { split($i, p, "m"); sub("s", "", p[2]); t += p[1] * 6000 + p[2] * 100 } printf "%d\n", t }' "$times_file")
}
# keep_stage NAME SECONDS HUNDREDTHS: a line of the table printed at the end.
keep_stage() {
  stage_names+=("$1")
  stage_seconds+=("$2")
  stage_cpu+=("$3")
}
# stage NAME: ends the stage before (its times are kept) and begins NAME.
stage() {
  read_cpu
  if [ -n "$current_stage" ]; then
    keep_stage "$current_stage" $((SECONDS - stage_started)) $((cpu_now - stage_cpu_started))
  fi
  current_stage=$1
  stage_started=$SECONDS
  stage_cpu_started=$cpu_now
}

# beside KEY LABEL COMMAND...: runs COMMAND in the background, beside the stages that
# follow, its output in build/KEY.log (shown by joined). It must share no build folder with
# them and install nothing (the first stage installs what it needs).
declare -A beside_pid=() beside_label=()
beside() {
  local key=$1 label=$2
  shift 2
  mkdir -p build
  # Its own process group, so that an early end of the test command stops all of it.
  setsid bash -c 'started=$SECONDS; "$@"; status=$?; echo $((SECONDS - started)) >"build/$0.seconds"; exit $status' \
    "$key" "$@" >"build/$key.log" 2>&1 &
  beside_pid[$key]=$!
  beside_label[$key]=$label
}
# joined KEY [quiet]: waits for KEY and keeps its times; shows its output (quiet: only when
# it failed) and fails when it failed.
joined() {
  local key=$1 quiet=${2:-} status=0
  stage ""
  wait "${beside_pid[$key]}" || status=$?
  unset "beside_pid[$key]"
  if [ -z "$quiet" ] || [ $status -ne 0 ]; then cat "build/$key.log"; fi
  # Its processes' CPU time is counted once it has been waited for.
  local before=$stage_cpu_started
  read_cpu
  keep_stage "${beside_label[$key]} (beside)" "$(cat "build/$key.seconds" 2>/dev/null || echo 0)" $((cpu_now - before))
  stage_cpu_started=$cpu_now
  return $status
}
stop_beside() {
  local name
  # The whole group; or, if it has not yet become one, the process that was to start it.
  for name in "${!beside_pid[@]}"; do
    kill -- "-${beside_pid[$name]}" 2>/dev/null || kill "${beside_pid[$name]}" 2>/dev/null || true
  done
}

print_stage_times() {
  local status=$?
  stop_beside
  stage ""
  echo "Mizuto: test stage times (wall clock, CPU):" >&2
  local i
  for i in "${!stage_names[@]}"; do
    printf '    %-44s %4d:%02d %4d:%02d\n' "${stage_names[$i]}" $((stage_seconds[i] / 60)) $((stage_seconds[i] % 60)) \
      $((stage_cpu[i] / 6000)) $((stage_cpu[i] / 100 % 60)) >&2
  done
  read_cpu
  rm -f "$times_file"
  printf '    %-44s %4d:%02d %4d:%02d\n' "whole test command" $((SECONDS / 60)) $((SECONDS % 60)) \
    $((cpu_now / 6000)) $((cpu_now / 100 % 60)) >&2
  return $status
}
trap print_stage_times EXIT

stage "packages and layer check"
# Also what the stages beside others need: two package installations at once would fail.
scripts/deps.sh g++ cmake make ccache libicu-dev libsqlite3-dev libgtest-dev qt6-base-dev qt6-charts-dev qt6-translations-l10n fonts-ipafont-gothic libcpp-httplib-dev libjs-chart.js chromium clang-tidy clang libclang-rt-14-dev tcl8.6 dpkg-dev xz-utils g++-mingw-w64-x86-64-posix
scripts/check_layers.sh
jobs="$(nproc)"
# The compiler's cache: a file compiled before with the same flags (in this checkout or in
# another one, so paths are taken from the checkout's root) is not compiled again.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cached=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
stage "test build"
step "configuring the test build" cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cached[@]}" \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
step "building the test build" cmake --build build/test -j"$jobs"
stage "tests"
ctest --test-dir build/test --output-on-failure -j"$jobs"
stage "function sizes (clang-tidy)"
tests/scripts/function_size_test.sh
scripts/function_size.sh build/test
stage "sanitizer build"
# The Windows build's SQLite is mostly a download and a single-threaded step: made beside.
beside sqlite-windows "the Windows build's SQLite" scripts/windows-sqlite.sh
step "configuring the sanitizer build" cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMIZUTO_SANITIZE=ON "${cached[@]}"
# Only what the tests run: the layer closures and the tools add nothing under the sanitizers.
step "building the sanitizer build" cmake --build build/asan -j"$jobs" --target mizuto_tests
stage "tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs"
joined sqlite-windows quiet
stage "Windows build under Wine"
beside fuzz "fuzz targets" fuzz/run.sh --seeds-only all 3
scripts/windows-check.sh
stage "packages"
scripts/package.sh
scripts/package-check.sh
joined fuzz
