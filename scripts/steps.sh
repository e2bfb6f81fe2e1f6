# Sourced by run.sh, test.sh and package.sh: each step of the set-up says one line on the
# error output and sends what its tools print (the package manager, CMake, the compiler) to
# build/setup.log, so standard output carries only what the command is for (./run.sh's
# report). A step that fails prints the log's last lines and its path, and ends the script.
# A script started by another that uses steps keeps writing to the same log.
if [ -z "${MIZUTO_SETUP_LOG:-}" ]; then
  mkdir -p build
  export MIZUTO_SETUP_LOG="$PWD/build/setup.log"
  : >"$MIZUTO_SETUP_LOG"
fi
setup_log="$MIZUTO_SETUP_LOG"

# step "what is done" command [arguments...]
step() {
  local what=$1
  shift
  echo "Mizuto: $what…" >&2
  echo "== $what: $*" >>"$setup_log"
  if ! "$@" >>"$setup_log" 2>&1; then
    echo "Mizuto: that failed ($*). The last lines of $setup_log:" >&2
    tail -n 30 "$setup_log" | sed 's/^/    /' >&2
    echo "Mizuto: the whole output is in $setup_log" >&2
    exit 1
  fi
}
