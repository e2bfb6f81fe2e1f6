#!/usr/bin/env bash
# Tries what scripts/package.sh made as a player would, against the build tree build/test:
#   the Debian package: lintian finds no error, the desktop entry is valid, and unpacked
#   into a fresh root (in build/package-check/) it prints the demo's report byte for byte
#   as the build tree does, makes the per-user folder (under a fresh XDG_CONFIG_HOME) with
#   the shipped lists and reports with them as the build tree does with its own, and opens
#   its window offscreen;
#   the Windows zip: unzipped into a folder with a Japanese name and run under Wine, its
#   report of the demo is the Linux build's, byte for byte, with its own lists too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh lintian desktop-file-utils unzip imagemagick
version=$(sed -n 's/^project(Mizuto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
linux=build/test
deb=build/package/mizuto_${version}_amd64.deb
zip=build/package/Mizuto-${version}-win64.zip
# Kept after the run, so that what differed can be looked at.
work="$PWD/build/package-check"
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "PACKAGE CHECK FAILED: $*"; failures=$((failures + 1)); }
same() {  # what file1 file2
  cmp -s "$2" "$3" || fail "$1 ($2 and $3 differ)"
}

echo "== lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

echo "== the package, unpacked"
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/mizuto.desktop" || fail "desktop entry"
mizuto="$root/usr/bin/mizuto"
[ "$("$mizuto" --version)" = "Mizuto Ver$version" ] || fail "--version"
demo="$root/usr/share/mizuto/demo"
"$mizuto" --report --program-dir "$demo" --detail all "$demo/demo.html" >"$work/deb.report"
"$linux/mizuto" --report --program-dir "$linux/demo" --detail all "$linux/demo/demo.html" >"$work/linux.report"
same "the demo's report" "$work/deb.report" "$work/linux.report"

# A first start without --program-dir makes the per-user folder with the shipped lists;
# the build tree keeps the same lists beside its program.
export XDG_CONFIG_HOME="$work/config"
"$mizuto" --report "$demo/demo.html" >"$work/deb.own"
[ -f "$XDG_CONFIG_HOME/mizuto/NPCList.txt" ] || fail "no per-user folder with the lists"
"$linux/mizuto" --report --program-dir "$linux" "$linux/demo/demo.html" >"$work/linux.own"
same "the report with the shipped lists" "$work/deb.own" "$work/linux.own"
rm -rf "$XDG_CONFIG_HOME"
QT_QPA_PLATFORM=offscreen "$mizuto" --quit-after-load "$demo/demo.html" 2>"$work/window.err" ||
  fail "the window: $(cat "$work/window.err")"
[ -f "$XDG_CONFIG_HOME/mizuto/SkillList.txt" ] || fail "the window made no per-user folder"
icon="$root/usr/share/icons/hicolor/256x256/apps/mizuto.png"
[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = 256x256 ] || fail "no 256 px icon"
unset XDG_CONFIG_HOME

echo "== the Windows zip, under Wine"
source scripts/wine-env.sh
folder="$work/ダウンロード 航海日誌"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
exe="$folder/Mizuto-$version-win64/mizuto.exe"
"$wine" "$exe" --report --program-dir "Z:$(realpath "$linux/demo")" --detail all \
  "Z:$(realpath "$linux/demo/demo.html")" >"$work/zip.report"
same "the zip's report of the demo" "$work/zip.report" "$work/linux.report"
# Without --program-dir the zip is its own folder, with its own lists.
"$wine" "$exe" --report "Z:$(realpath "$linux/demo/demo.html")" >"$work/zip.own"
same "the zip's report with its lists" "$work/zip.own" "$work/linux.own"
# What a player finds in it: the first run's settings file beside mizuto.exe, the demo
# log the README points to, a README that any Windows editor takes as UTF-8.
unpacked="$folder/Mizuto-$version-win64"
grep -q "^UserName=YOU" "$unpacked/Mizuto.ini" 2>/dev/null || fail "no Mizuto.ini beside mizuto.exe after its first run"
(cd "$unpacked" && "$wine" mizuto.exe --report 'demo\demo.html' >"$work/zip.demo") || fail "the zip's demo (demo\demo.html) is no log"
grep -q '^\[battles\]' "$work/zip.demo" || fail "no report of the zip's demo"
[ "$(head -c 3 "$unpacked/README.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt has no byte order mark"

echo "== packages: $failures failed"
[ "$failures" -eq 0 ]
