# Sourced by the scripts that run the Windows build under Wine: a private Wine prefix in
# build/windows/wineprefix (nothing of the user's), made once, and stopped when the script
# ends. Sets $wine.
wine=/usr/lib/wine/wine64
# Wine turns this system's names into UTF-16 by the locale's character set: UTF-8.
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
stop_wine() { WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >/dev/null 2>&1
fi
