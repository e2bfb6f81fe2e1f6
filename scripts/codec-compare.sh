#!/usr/bin/env bash
# Compares two dumps of mizuto_codec_dump (ICU's converter, the system's code page 932):
# they must agree on every JIS X 0208 character and every half-width katakana, both ways,
# and differ nowhere but where KNOWN lists.
#   scripts/codec-compare.sh ICU_DUMP WINDOWS_DUMP KNOWN
set -euo pipefail
icu=$1 windows=$2 known=$3
[ "$(wc -l <"$icu")" -eq "$(wc -l <"$windows")" ] || { echo "the dumps differ in length"; exit 1; }
found=$(mktemp)
trap 'rm -f "$found"' EXIT
paste -d'\t' "$icu" "$windows" | awk -F'\t' -v found="$found" '
  function h(x) { return index("0123456789abcdef", substr(x, 1, 1)) * 16 + index("0123456789abcdef", substr(x, 2, 1)) - 17 }
  # A JIS X 0208 code in Shift-JIS: rows 1-8 and 16-84 (lead bytes 81-84, 88-9f, e0-ea),
  # with a second byte 40-7e or 80-fc (awk has no hexadecimal constants).
  function jis(lead, trail) {
    return ((lead >= 129 && lead <= 132) || (lead >= 136 && lead <= 159) || (lead >= 224 && lead <= 234)) &&
           ((trail >= 64 && trail <= 126) || (trail >= 128 && trail <= 252))
  }
  function kana(b) { return b >= 161 && b <= 223 }  # a1-df
  # The CP932 side of a "u" line: a JIS X 0208 character or a half-width katakana.
  function guarded(bytes,   n, p) {
    n = split(bytes, p, " ")
    return (n == 1 && kana(h(p[1]))) || (n == 2 && jis(h(p[1]), h(p[2])))
  }
  {
    split($1, a, " -> "); split($2, b, " -> ")
    if (a[1] != b[1]) { print "the dumps list different codes: " a[1] " / " b[1]; bad = 1; exit 1 }
    kind = substr(a[1], 1, 1); code = substr(a[1], 3)
    protect = 0
    if (kind == "s") protect = kana(h(code))
    if (kind == "d") protect = jis(h(substr(code, 1, 2)), h(substr(code, 3, 2)))
    if (kind == "u") protect = guarded(a[2]) || guarded(b[2])
    if (protect && a[2] != "ef bf bd") checked[kind]++
    if (a[2] == b[2]) next
    print a[1] " :: icu " a[2] " :: windows " b[2] > found
    if (protect) { print "DIFFERENT on a JIS X 0208 or half-width katakana code: " a[1] " icu " a[2] " windows " b[2]; bad = 1 }
    differ[kind]++
  }
  END {
    printf "checked alike: %d half-width katakana, %d JIS X 0208 codes, %d code points that map to them\n", checked["s"], checked["d"], checked["u"]
    printf "differences: %d single bytes, %d byte pairs, %d code points\n", differ["s"], differ["d"], differ["u"]
    exit bad
  }'
if ! diff -u "$known" "$found" >/dev/null; then
  echo "the converters differ otherwise than $known lists:"
  diff -u "$known" "$found" | head -40
  exit 1
fi
echo "every difference is one that $known lists"
