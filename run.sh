#!/usr/bin/env bash
# Builds Mizuto and starts it: the main window on the bundled demo log (or on the log named),
# or, when there is no display, the report of that log on the terminal.
#   ./run.sh                      window (or report) of the demo log
#   ./run.sh my.html              window (or report) of my.html
#   ./run.sh --detail 1 my.html   the report, with options (see mizuto --report --help)
# Standard output carries only the report: the set-up says one line a step on the error
# output, and the package manager's and the build's output go to build/setup.log.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/steps.sh
scripts/deps.sh g++ cmake make libicu-dev libsqlite3-dev qt6-base-dev qt6-charts-dev qt6-translations-l10n fonts-ipafont-gothic
step "configuring" cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMIZUTO_TESTS=OFF
step "building (a few minutes the first time)" cmake --build build/release -j"$(nproc)"
exe=build/release/mizuto
demo=build/release/demo
display="${DISPLAY:-}${WAYLAND_DISPLAY:-}"
if [ -n "$display" ] && { [ $# -eq 0 ] || { [ $# -eq 1 ] && [[ "$1" != -* ]]; }; }; then
  if [ $# -eq 0 ]; then exec "$exe" --program-dir "$demo" "$demo/demo.html"; fi
  exec "$exe" "$1"
fi
if [ $# -eq 0 ] || [[ "${!#}" == -* ]]; then
  exec "$exe" --report --program-dir "$demo" --detail 1 "$@" "$demo/demo.html"
fi
exec "$exe" --report --program-dir build/release "$@"
