#!/usr/bin/env bash
# Runs the randomised properties (following a growing log; command sequences on the core;
# the window's controls against the core) for as long as asked, one after the other:
#
#   scripts/long_properties.sh SECONDS [SEED] [test|asan]
#
# Each property starts cases for SECONDS from SEED (default: a fresh one, printed), in the
# normal build (test) or under AddressSanitizer and UndefinedBehaviorSanitizer (asan). A
# finding prints the seed of its case; MIZUTO_PROPERTY_SEED=that seed runs it first again.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: scripts/long_properties.sh SECONDS [SEED] [test|asan]}"
seed="${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}"
tree="${3:-test}"
properties=(follow_log_property_test command_sequence_property_test window_mirror_property_test)

scripts/deps.sh g++ cmake make libicu-dev libsqlite3-dev libgtest-dev qt6-base-dev qt6-charts-dev
case "$tree" in
  test) cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ;;
  asan) cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMIZUTO_SANITIZE=ON >/dev/null ;;
  *) echo "unknown build tree: $tree (test or asan)" >&2; exit 2 ;;
esac
cmake --build "build/$tree" -j"$(nproc)" --target "${properties[@]}"

echo "Properties for ${seconds}s each from seed $seed ($tree build)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
for property in "${properties[@]}"; do
  QT_QPA_PLATFORM=offscreen MIZUTO_PROPERTY_SEED="$seed" MIZUTO_PROPERTY_SECONDS="$seconds" \
    "build/$tree/$property" \
    --gtest_brief=1 || status=1
done
exit "$status"
