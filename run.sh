#!/usr/bin/env bash
# Builds Mizuto and runs its main job: the report of a chat log (the bundled demo log when
# no log is named). Extra arguments are passed to the report, e.g. ./run.sh --detail 1 my.html
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake make libicu-dev
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMIZUTO_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" >/dev/null
exe=build/release/mizuto
if [ $# -eq 0 ] || [[ "${!#}" == -* ]]; then
  exec "$exe" --report --program-dir build/release/demo --detail 1 "$@" build/release/demo/demo.html
fi
exec "$exe" --report --program-dir build/release "$@"
