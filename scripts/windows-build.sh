#!/usr/bin/env bash
# The mingw-w64 cross build for Windows in build/windows, shared by the Windows check and
# the zip: configures it (once) and builds the targets named (all without any).
#   scripts/windows-build.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 googletest libgtest-dev
# The season history's SQLite, built once from the distribution's source.
sqlite=$(scripts/windows-sqlite.sh)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O2 as the Linux test build (GCC 12 at -O3 sees false overlaps in std::string).
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 \
      -DMIZUTO_HISTORY=ON -DSQLite3_INCLUDE_DIR="$sqlite/include" -DSQLite3_LIBRARY="$sqlite/lib/libsqlite3.a" \
      "${launcher[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build/windows -j"$(nproc)" "${targets[@]}" >/dev/null
