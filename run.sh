#!/usr/bin/env bash
# Builds Mizuto and starts it: the main window on the bundled demo log (or on the log named),
# or, when there is no display, the report of that log on the terminal.
#   ./run.sh                      window (or report) of the demo log
#   ./run.sh my.html              window (or report) of my.html
#   ./run.sh --detail 1 my.html   the report, with options (see mizuto --report --help)
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh g++ cmake make libicu-dev qt6-base-dev qt6-translations-l10n fonts-ipafont-gothic
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMIZUTO_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" >/dev/null
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
