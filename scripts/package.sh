#!/usr/bin/env bash
# Makes what players download, in build/package/:
#   mizuto_<version>_amd64.deb    the Debian package (CPack, from a Release build in the
#                                 installed layout, build/package-tree)
#   Mizuto-<version>-win64.zip    the Windows zip (the mingw-w64 build, build/windows, with
#                                 the lists, the demo log, a README in Japanese and the
#                                 licence)
# The version is the one project() sets in CMakeLists.txt. scripts/package-check.sh tries
# both as a player would; "scripts/package.sh deb" makes only the package. It prints the two files' absolute paths, one a line.
# Two runs on the same commit make the same bytes, wherever the build folders are:
# SOURCE_DATE_EPOCH (the commit's date unless set) gives every time stamp, and the
# compiler is told to write the checkout's path as ".". MIZUTO_PACKAGE_TREE and
# MIZUTO_PACKAGE_OUT name other build and output folders (the check's second build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh
scripts/deps.sh g++ cmake make libicu-dev libsqlite3-dev qt6-base-dev qt6-charts-dev dpkg-dev file zip
version=$(sed -n 's/^project(Mizuto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=$(realpath -m "${MIZUTO_PACKAGE_OUT:-build/package}")
tree=$(realpath -m "${MIZUTO_PACKAGE_TREE:-build/package-tree}")
mkdir -p "$out"
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

# The distribution's flags (stack protector, fortify, relro and immediate binding, the
# checkout's path mapped to "."), as a Debian package is built with them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Without -g: the package ships stripped binaries and no debug package, and the debug
# information named the build folder, which made the build ID differ between two folders.
export DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
step "configuring the package build" cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release \
  -DMIZUTO_TESTS=OFF -DMIZUTO_INSTALLED_LAYOUT=ON -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags"
# The manual page's date follows the epoch: its stamp changes only when the epoch does.
[ "$(cat "$tree/source-date-epoch" 2>/dev/null)" = "$SOURCE_DATE_EPOCH" ] || echo "$SOURCE_DATE_EPOCH" >"$tree/source-date-epoch"
# Only what the package holds (the program, its module, the lists, the demo, the icons and
# the manual page): the layering checks are the test build's.
step "building the package build" cmake --build "$tree" -j"$(nproc)" --target mizuto mizuto_window \
  demo program_folder program_icons manual_page
rm -rf "$tree/cpack"
step "making the Debian package" cpack --config "$tree/CPackConfig.cmake" -B "$tree/cpack"
mv "$tree/cpack/mizuto_${version}_amd64.deb" "$out/"
echo "$out/mizuto_${version}_amd64.deb"
# "scripts/package.sh deb": the package only.
[ "${1:-}" = deb ] && exit 0

step "building for Windows" scripts/windows-build.sh mizuto
zip_name="Mizuto-${version}-win64"
stage="$tree/zip/$zip_name"
rm -rf "$tree/zip"
mkdir -p "$stage"
cp build/windows/mizuto.exe "$stage/"
# The lists as the Linux build converted them: the cross build cannot run its converter.
for list in data/defaults/*.txt; do cp "$tree/$(basename "$list")" "$stage/"; done
# The demo log, reported with the lists beside mizuto.exe (demo\demo.html, as README.txt says).
mkdir -p "$stage/demo"
cp "$tree/demo/demo.html" "$stage/demo/"
# Notepad and every other Windows editor read UTF-8 with CR LF; the byte order mark makes
# the older ones, and a double-click on a Japanese system, take it as UTF-8 too.
{ printf '\xEF\xBB\xBF'; sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/windows/README.txt; } >"$stage/README.txt"
sed -e 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
rm -f "$out/$zip_name.zip"
# The same files give the same zip: one time for all (the commit's, in UTC), the entries
# in one order, and -X: no owner or time extras.
find "$tree/zip" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
step "making the Windows zip" sh -c "cd '$tree/zip' && find '$zip_name' | LC_ALL=C sort |
  TZ=UTC zip -X -@ '$out/$zip_name.zip'"
echo "$out/$zip_name.zip"
