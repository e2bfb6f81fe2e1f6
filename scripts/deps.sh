#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Says one line on the error output when it installs; the package manager's own output goes
# to $MIZUTO_SETUP_LOG (set by scripts/steps.sh), or to the error output without one.
set -euo pipefail
need=()
for p in "$@"; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
[ ${#need[@]} -eq 0 ] && exit 0
echo "Mizuto: installing the build packages (first run only): ${need[*]}…" >&2
log="${MIZUTO_SETUP_LOG:-/dev/stderr}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! { $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"; } >>"$log" 2>&1; then
  echo "Mizuto: installing ${need[*]} failed." >&2
  if [ "$log" != /dev/stderr ]; then
    tail -n 30 "$log" | sed 's/^/    /' >&2
    echo "Mizuto: the whole output is in $log" >&2
  fi
  exit 1
fi
