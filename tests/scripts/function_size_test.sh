#!/usr/bin/env bash
# scripts/function_size.sh on a made-up checkout: that it fails on a function one line over
# the limit and passes one at it (clang-tidy counts the lines from the opening brace's to the
# closing one's), that a NOLINTNEXTLINE exempts a function and only that one, and that a
# file outside src/ is not measured. Run by ./test.sh before the real check.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0

# function NAME BODY_LINES [NOLINT]: a function whose braces are BODY_LINES lines apart.
function_text() {
  [ "${3:-}" = nolint ] && echo "// NOLINTNEXTLINE(readability-function-size)"
  echo "int $1(int x) {"
  local i
  for ((i = 1; i < $2; i++)); do echo "  x += $i;"; done
  echo "  return x; }"
}

# case NAME EXPECTED(pass|fail) FILE:FUNCTION:LINES[:nolint]...
check_case() {
  local name=$1 expected=$2 entry file function lines nolint
  shift 2
  rm -rf "${root:?}"/*
  mkdir -p "$root/scripts" "$root/src/core" "$root/tools" "$root/build"
  cp "$here/scripts/function_size.sh" "$root/scripts/"
  local commands=()
  for entry in "$@"; do
    IFS=: read -r file function lines nolint <<<"$entry"
    function_text "$function" "$lines" "$nolint" >>"$root/$file"
    commands+=("{\"directory\": \"$root/build\", \"command\": \"c++ -std=c++20 -c $root/$file\", \"file\": \"$root/$file\"}")
  done
  local list
  list=$(printf '%s,\n' "${commands[@]}")
  printf '[\n%s\n]\n' "${list%,}" >"$root/build/compile_commands.json"
  local got=pass
  "$root/scripts/function_size.sh" build >"$root/out" 2>&1 || got=fail
  # A failure for another reason (no file found, clang-tidy not run) is not the check's.
  if [ "$got" = fail ] && ! grep -q 'readability-function-size' "$root/out"; then got="fail for another reason"; fi
  if [ "$got" != "$expected" ]; then
    echo "FAILED: $name: expected $expected, got $got"
    sed 's/^/    /' "$root/out"
    failures=$((failures + 1))
  fi
}

check_case "at the limit"                 pass src/core/a.cpp:Sixty:60
check_case "one line over"                fail src/core/a.cpp:SixtyOne:61
check_case "over, in a second file"       fail src/core/a.cpp:Short:10 src/core/b.cpp:Long:90
check_case "over, beside one at it"       fail src/core/a.cpp:Sixty:60 src/core/a.cpp:SixtyOne:61
check_case "over, exempted as data"       pass src/core/a.cpp:Table:130:nolint
check_case "exempted, and another over"   fail src/core/a.cpp:Table:130:nolint src/core/a.cpp:Other:61
check_case "over, outside src/"           pass tools/t.cpp:Tool:90 src/core/a.cpp:Short:10

echo "function_size_test: $failures failed"
[ "$failures" -eq 0 ]
