#!/usr/bin/env bash
# No function in src/ longer than 60 lines: clang-tidy's function-size check, and no other,
# over every source file of src/ as a build compiles it (its compile_commands.json), as many
# files at a time as there are cores. A function that is data (a table written as code)
# says so where it is defined: // NOLINTNEXTLINE(readability-function-size), with why.
#   scripts/function_size.sh [BUILD]   BUILD: a build folder configured with
#                                      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON (build/test)
# Prints each function over the limit with its length and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
limit=60
if [ ! -f "$build/compile_commands.json" ]; then
  echo "function_size: no $build/compile_commands.json (configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)" >&2
  exit 2
fi
# The files of src/ the build compiles, with its flags. A file's half for another system
# (the Windows code of platform_windows.cpp) is left out by the preprocessor, so it is not
# measured here.
files=()
while read -r file; do
  if [[ "$file" == "$PWD/src/"*.cpp ]]; then files+=("$file"); fi
done < <(grep -o '"file": *"[^"]*"' "$build/compile_commands.json" | sed 's/^"file": *"//; s/"$//' | sort -u)
if [ ${#files[@]} -eq 0 ]; then
  echo "function_size: $build/compile_commands.json names no file of src/" >&2
  exit 2
fi
config="{Checks: '-*,readability-function-size', WarningsAsErrors: '*',
         HeaderFilterRegex: '^$PWD/src/',
         CheckOptions: [{key: readability-function-size.LineThreshold, value: $limit}]}"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
# Each file alone (-n 1): the slowest files (the window's) then spread over the cores.
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet --config="$config" \
  >"$out" 2>&1 || status=$?
# A header's function is reported by every file that includes it: once is enough.
grep -E '(warning|error):|note: [0-9]+ lines' "$out" | grep -v 'warnings generated' | awk '!seen[$0]++' || true
if [ "$status" -ne 0 ]; then
  if ! grep -q 'readability-function-size' "$out"; then
    # clang-tidy failed for another reason (a file it could not parse): show why.
    tail -n 20 "$out" >&2
  fi
  echo "function_size: functions in src/ over $limit lines (or clang-tidy failed), above" >&2
  exit 1
fi
echo "function_size: ${#files[@]} files, no function over $limit lines"
