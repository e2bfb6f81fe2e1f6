#!/usr/bin/env bash
# Builds and runs every test: once as a normal build, once with AddressSanitizer and
# UndefinedBehaviorSanitizer (any sanitizer report fails the run), then the Windows build
# under Wine (scripts/windows-check.sh); last the fuzz targets, built with clang, each run a
# few seconds from its seeds (any finding fails the run).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake make libicu-dev libgtest-dev qt6-base-dev qt6-translations-l10n
scripts/check_layers.sh
jobs="$(nproc)"
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMIZUTO_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs"
scripts/windows-check.sh
scripts/deps.sh clang libclang-rt-14-dev
fuzz/run.sh --seeds-only all 3
