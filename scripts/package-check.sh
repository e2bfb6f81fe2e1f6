#!/usr/bin/env bash
# Tries what scripts/package.sh made as a player would, against the build tree build/test:
#   the Debian package: lintian finds no error and no warning; the desktop entry (which opens
#   text/html) and the AppStream metadata are valid; its binaries carry the hardening flags
#   and no .comment; it has no maintainer scripts (no ldconfig), names libqt6charts6 once,
#   holds no path of the build machine, a changelog entry for its version and a manual page
#   with its sections that fits 80 columns; unpacked
#   into a fresh root (in build/package-check/) it prints the demo's report byte for byte
#   as the build tree does, makes the per-user folder (under a fresh XDG_CONFIG_HOME) with
#   the shipped lists and reports with them as the build tree does with its own and without
#   an error line (the demo uses the shipped lists), and opens its window offscreen;
#   the Windows zip: unzipped into a folder with a Japanese name and run under Wine, its
#   report of the demo is the Linux build's, byte for byte, with its own lists too;
#   both again: scripts/package.sh in another build folder makes the same bytes;
#   the README names every package the scripts install.
# "scripts/package-check.sh deb" tries the package only (after "scripts/package.sh deb").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh lintian desktop-file-utils unzip imagemagick appstream devscripts man-db
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
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

echo "== the package, unpacked"
root="$work/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"
desktop="$root/usr/share/applications/mizuto.desktop"
desktop-file-validate "$desktop" || fail "desktop entry"
grep -qx 'MimeType=text/html;' "$desktop" || fail "the desktop entry does not open text/html"
metainfo="$root/usr/share/metainfo/example.mizuto.mizuto.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.out" ||
  fail "AppStream metadata: $(cat "$work/appstream.out")"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream metadata has no release $version"
# The screenshot the metadata names is the repository's, at the size it states.
shot=$(sed -n 's|.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">.*/\([^/<]*\)</image>.*|\1x\2 \3|p' "$metainfo" || true)
[ -n "$shot" ] && [ "$(identify -format '%wx%h' "packaging/${shot#* }" 2>/dev/null)" = "${shot%% *}" ] ||
  fail "the screenshot ($shot) is not packaging/'s"
[ "$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/scalable/apps/mizuto.svg" 2>/dev/null)" = 48x48 ] ||
  fail "no scalable icon"
binaries=("$root/usr/bin/mizuto" "$root"/usr/lib/*/mizuto/mizuto_window.so)
for binary in "${binaries[@]}"; do
  # Control-flow protection is not among this distribution's flags (dpkg-buildflags gives
  # it from dpkg 1.22 on); the module is no executable, so no PIE.
  options=(--nocfprotection)
  [ "$binary" = "$root/usr/bin/mizuto" ] || options+=(--nopie)
  hardening-check "${options[@]}" "$binary" >"$work/hardening.out" ||
    fail "hardening of ${binary#"$root"}: $(grep -v ': yes' "$work/hardening.out" | tail -n +2)"
  readelf -S "$binary" | grep -q '\.comment' && fail "${binary#"$root"} keeps .comment"
done
for script in preinst postinst prerm postrm; do
  [ -e "$work/control/$script" ] && fail "a maintainer script: $script"
done
[ "$(dpkg-deb -f "$deb" Depends | grep -o 'libqt6charts6' | wc -l)" -eq 1 ] ||
  fail "Depends names libqt6charts6 other than once: $(dpkg-deb -f "$deb" Depends)"
grep -rlF "$PWD" "$root" >"$work/build-paths" && fail "the build's path in $(cat "$work/build-paths")"
zcat "$root/usr/share/doc/mizuto/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
  fail "the changelog's newest entry is not $version"
manpage="$root/usr/share/man/man1/mizuto.1.gz"
zcat "$manpage" | head -1 | grep -qE '^\.TH MIZUTO 1 "[0-9]{4}-[0-9]{2}-[0-9]{2}"' || fail "the manual page has no date"
MANWIDTH=80 MAN_KEEP_FORMATTING=0 man -l "$manpage" 2>"$work/man.err" | col -b >"$work/man.txt"
[ -s "$work/man.err" ] && fail "the manual page: $(cat "$work/man.err")"
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES "SEE ALSO"; do
  grep -qx "$section" "$work/man.txt" || fail "the manual page has no $section"
done
grep -q XDG_CONFIG_HOME "$work/man.txt" || fail "the manual page's ENVIRONMENT names no XDG_CONFIG_HOME"
awk 'length($0) > 80 { n++ } END { exit n > 0 }' "$work/man.txt" || fail "the manual page is wider than 80 columns"
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
[ "$(sed -n '/^\[errors\]$/,$p' "$work/deb.own" | wc -l)" -eq 1 ] ||
  fail "the demo has error lines with the shipped lists: $(sed -n '/^\[errors\]$/,$p' "$work/deb.own" | head -4)"
rm -rf "$XDG_CONFIG_HOME"
QT_QPA_PLATFORM=offscreen "$mizuto" --quit-after-load "$demo/demo.html" 2>"$work/window.err" ||
  fail "the window: $(cat "$work/window.err")"
[ -f "$XDG_CONFIG_HOME/mizuto/SkillList.txt" ] || fail "the window made no per-user folder"
icon="$root/usr/share/icons/hicolor/256x256/apps/mizuto.png"
[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = 256x256 ] || fail "no 256 px icon"
unset XDG_CONFIG_HOME

only=${1:-}
if [ "$only" != deb ]; then
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
fi

echo "== a second build in another folder"
started=$SECONDS
again="$work/again"
rm -rf build/package-again  # built from nothing, not on top of the last check's
MIZUTO_PACKAGE_TREE=build/package-again MIZUTO_PACKAGE_OUT="$again" scripts/package.sh $only >"$work/again.paths"
# What it prints can be used from any folder.
while read -r path; do
  [ "${path:0:1}" = / ] && [ -f "$path" ] || fail "package.sh printed $path, no absolute path of a file"
done <"$work/again.paths"
same "the package built twice" "$deb" "$again/$(basename "$deb")"
[ "$only" = deb ] || same "the zip built twice" "$zip" "$again/$(basename "$zip")"
echo "(the second build took $((SECONDS - started)) s)"

echo "== the packages the scripts install, in the README"
for package in $(grep -rhoE '^[^#]*scripts/deps\.sh [^|&;>]*' --include='*.sh' scripts test.sh run.sh fuzz bench |
                 sed 's|.*scripts/deps\.sh ||' | tr ' ' '\n' | grep -v '^$' | sort -u); do
  grep -qF "\`$package\`" README.md || fail "the README does not name the package $package"
done

echo "== packages: $failures failed"
[ "$failures" -eq 0 ]
