#!/usr/bin/env bash
# Builds and runs every test: once as a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer (any sanitizer report fails the run), then the Windows build
# under Wine (scripts/windows-check.sh), then the Debian package and the Windows zip as a
# player gets them (scripts/package.sh, scripts/package-check.sh); last the fuzz targets,
# built with clang, each run a few seconds from its seeds (any finding fails the run).
# The set-up and the builds say one line each on the error output; their output goes to
# build/setup.log (its last lines are shown when one fails).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/steps.sh
scripts/deps.sh g++ cmake make libicu-dev libsqlite3-dev libgtest-dev qt6-base-dev qt6-charts-dev qt6-translations-l10n
scripts/check_layers.sh
jobs="$(nproc)"
step "configuring the test build" cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
step "building the test build" cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"
step "configuring the sanitizer build" cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMIZUTO_SANITIZE=ON
step "building the sanitizer build" cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs"
scripts/windows-check.sh
scripts/package.sh
scripts/package-check.sh
scripts/deps.sh clang libclang-rt-14-dev
fuzz/run.sh --seeds-only all 3
