#!/usr/bin/env bash
# SQLite for the Windows cross build, from the distribution's own source package: Debian
# packages no SQLite for mingw, but its sqlite3 source builds with it. The source lines of
# the package sources this machine already uses are enabled in a private package-manager
# configuration (the system's own stays as it is), the source is fetched, its amalgamation
# made (that needs tclsh) and compiled with mingw into a static library.
#   scripts/windows-sqlite.sh        prints the folder that holds sqlite3.h and libsqlite3.a
# Made once: a rerun finds the library in build/sqlite-windows and only prints the folder.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/build/sqlite-windows"
# The test command starts this beside another stage; the Windows build then waits for it
# here, and finds the library made.
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
if [ -f "$out/lib/libsqlite3.a" ] && [ -f "$out/include/sqlite3.h" ]; then
  echo "$out"
  exit 0
fi
scripts/deps.sh tcl8.6 dpkg-dev xz-utils g++-mingw-w64-x86-64-posix >&2

work="$out/work"
apt="$out/apt"
rm -rf "$work" "$apt"
mkdir -p "$work" "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"

# The source lines: every binary source the system reads (one-line lists and deb822
# files), the same address, suites and components, as deb-src. Nothing names a host.
: >"$apt/sources.list"
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$list" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list" >>"$apt/sources.list"
done
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  # A stanza's Types line names the kinds it enables; "deb" there becomes "deb-src".
  sed -E 's/^(Types:.*[[:space:]])deb([[:space:]]|$)/\1deb-src\2/' \
    "$sources" >"$apt/sources.list.d/$(basename "$sources")"
done
if ! grep -qs 'deb-src' "$apt/sources.list" "$apt/sources.list.d/"*; then
  echo "windows-sqlite: no package source on this machine to take the sqlite3 source from" >&2
  exit 1
fi

# The package manager on the private configuration: its own lists and cache in build/,
# as this user (the sandbox user could not write there).
apt_options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources.list.d"
             -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
             -o Dir::State::Status=/var/lib/dpkg/status -o APT::Sandbox::User="$(id -un)"
             -o Debug::NoLocking=true)
echo "windows-sqlite: fetching the sqlite3 source package" >&2
apt-get "${apt_options[@]}" -qq update >&2
(cd "$work" && apt-get "${apt_options[@]}" -qq source sqlite3 >&2)
tree=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
[ -n "$tree" ] || { echo "windows-sqlite: the sqlite3 source did not unpack" >&2; exit 1; }

echo "windows-sqlite: making the amalgamation and compiling it with mingw" >&2
(cd "$tree" && ./configure >/dev/null && make sqlite3.c >/dev/null)
mkdir -p "$out/include" "$out/lib"
# Thread-safe (the follower's recording and the window share one process), no extension
# loading (nothing to load), the default options otherwise.
# Through the compiler's cache when there is one: the amalgamation is the same bytes each
# time the same source makes it, and its compile is the longest step here.
cc=(x86_64-w64-mingw32-gcc-posix)
command -v ccache >/dev/null && cc=(ccache "${cc[@]}")
"${cc[@]}" -O2 -DNDEBUG -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
  -c "$tree/sqlite3.c" -o "$work/sqlite3.o"
rm -f "$out/lib/libsqlite3.a"
x86_64-w64-mingw32-ar rcs "$out/lib/libsqlite3.a" "$work/sqlite3.o"
cp "$tree/sqlite3.h" "$out/include/"
# Which source this is, for whoever wonders later.
basename "$tree" >"$out/VERSION"
rm -rf "$work"
echo "$out"
