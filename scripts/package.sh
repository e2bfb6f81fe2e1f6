#!/usr/bin/env bash
# Makes what players download, in build/package/:
#   mizuto_<version>_amd64.deb    the Debian package (CPack, from a Release build in the
#                                 installed layout, build/package-tree)
#   Mizuto-<version>-win64.zip    the Windows zip (the mingw-w64 build, build/windows, with
#                                 the lists, the demo log, a README in Japanese and the
#                                 licence)
# The version is the one project() sets in CMakeLists.txt. scripts/package-check.sh tries
# both as a player would.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh
scripts/deps.sh g++ cmake make libicu-dev libsqlite3-dev qt6-base-dev qt6-charts-dev dpkg-dev file zip
version=$(sed -n 's/^project(Mizuto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=build/package
tree=build/package-tree
mkdir -p "$out"

step "configuring the package build" cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release \
  -DMIZUTO_TESTS=OFF -DMIZUTO_INSTALLED_LAYOUT=ON -DCMAKE_INSTALL_PREFIX=/usr
step "building the package build" cmake --build "$tree" -j"$(nproc)"
rm -rf "$tree/cpack"
step "making the Debian package" cpack --config "$tree/CPackConfig.cmake" -B "$PWD/$tree/cpack"
mv "$tree/cpack/mizuto_${version}_amd64.deb" "$out/"
echo "$out/mizuto_${version}_amd64.deb"

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
# -X: no owner or time extras, so the same files give the same zip.
step "making the Windows zip" sh -c "cd '$tree/zip' && zip -X -r '$PWD/$out/$zip_name.zip' '$zip_name'"
echo "$out/$zip_name.zip"
