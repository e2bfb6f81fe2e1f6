#!/usr/bin/env bash
# Builds and runs every test: once as a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer (any sanitizer report fails the run), then the Windows build
# under Wine (scripts/windows-check.sh), then the Debian package and the Windows zip as a
# player gets them (scripts/package.sh, scripts/package-check.sh); last the fuzz targets,
# built with clang, each run a few seconds from its seeds (any finding fails the run).
# The set-up and the builds say one line each on the error output; their output goes to
# build/setup.log (its last lines are shown when one fails).
# At the end, also when a stage fails, each stage's wall-clock time is printed, so a slower
# test command shows where the time went.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/steps.sh

stage_names=()
stage_seconds=()
stage_started=$SECONDS
current_stage=""
# stage NAME: ends the stage before (its time is kept) and begins NAME.
stage() {
  if [ -n "$current_stage" ]; then
    stage_names+=("$current_stage")
    stage_seconds+=($((SECONDS - stage_started)))
  fi
  current_stage=$1
  stage_started=$SECONDS
}
print_stage_times() {
  local status=$?
  stage ""
  echo "Mizuto: test stage times (wall clock):" >&2
  local i
  for i in "${!stage_names[@]}"; do
    printf '    %-34s %4d:%02d\n' "${stage_names[$i]}" $((stage_seconds[i] / 60)) $((stage_seconds[i] % 60)) >&2
  done
  printf '    %-34s %4d:%02d\n' "whole test command" $((SECONDS / 60)) $((SECONDS % 60)) >&2
  return $status
}
trap print_stage_times EXIT

stage "packages and layer check"
scripts/deps.sh g++ cmake make ccache libicu-dev libsqlite3-dev libgtest-dev qt6-base-dev qt6-charts-dev qt6-translations-l10n fonts-ipafont-gothic libcpp-httplib-dev libjs-chart.js chromium
scripts/check_layers.sh
jobs="$(nproc)"
# The compiler's cache: a file compiled before with the same flags (in this checkout or in
# another one, so paths are taken from the checkout's root) is not compiled again.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cached=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
stage "test build"
step "configuring the test build" cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cached[@]}"
step "building the test build" cmake --build build/test -j"$jobs"
stage "tests"
ctest --test-dir build/test --output-on-failure -j"$jobs"
stage "sanitizer build"
step "configuring the sanitizer build" cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMIZUTO_SANITIZE=ON "${cached[@]}"
step "building the sanitizer build" cmake --build build/asan -j"$jobs"
stage "tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs"
stage "Windows build under Wine"
scripts/windows-check.sh
stage "packages"
scripts/package.sh
scripts/package-check.sh
stage "fuzz targets"
scripts/deps.sh clang libclang-rt-14-dev
fuzz/run.sh --seeds-only all 3
