#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS from its corpus.
#   fuzz/run.sh [--seeds-only] TARGET|all SECONDS
# TARGET is chat_log, settings, lists, version or follow. The corpus of a target is
# build/fuzz/corpus/TARGET (kept from run to run, it grows with what the fuzzer finds)
# together with its seeds, made afresh for each run (logs, settings and list files by the
# chat-log generator).
# --seeds-only starts from the seeds alone and keeps nothing (the test command uses it).
# A finding is saved as build/fuzz/findings/TARGET-crash-... (or -leak-, -timeout-, ...),
# the run goes on with the other targets and the script exits 1 at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/build/fuzz"
all_targets=(chat_log settings lists version follow)

seeds_only=0
if [ "${1:-}" = "--seeds-only" ]; then seeds_only=1; shift; fi
if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run.sh [--seeds-only] TARGET|all SECONDS   (TARGET: ${all_targets[*]})" >&2
  exit 2
fi
if [ "$1" = all ]; then
  targets=("${all_targets[@]}")
elif [[ " ${all_targets[*]} " == *" $1 "* ]]; then
  targets=("$1")
else
  echo "fuzz/run.sh: unknown target $1 (${all_targets[*]})" >&2
  exit 2
fi
seconds="$2"

scripts/deps.sh clang libclang-rt-14-dev cmake make libicu-dev

# Two runs may start side by side: one builds while the other waits.
mkdir -p "$build"
(
  flock 9
  cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DMIZUTO_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target mizuto_loggen "${targets[@]/%/_fuzz}"
) 9>"$build/.build-lock"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fuzz/make_dicts.sh "$tmp/dict"

# --- seeds, made afresh for each run ----------------------------------------------------
seeds="$tmp/seeds"
mkdir -p "$seeds"/{chat_log,settings,lists,version,follow} "$build/findings"
gen="$build/mizuto_loggen"
for s in 1 2 3 4 5 6; do
  extra=()
  [ "$s" -ge 5 ] && extra+=(--open-battle)
  [ "$s" -eq 4 ] && extra+=(--npc-battles 2)
  "$gen" --seed "$s" --battles $((s % 4 + 1)) --players $((3 + s)) "${extra[@]}" \
    --out "$seeds/chat_log/gen$s.html" --program-dir "$tmp/p$s"
  cp "$tmp/p$s/Mizuto.ini" "$seeds/settings/gen$s.ini"
  { cat "$tmp/p$s/NPCList.txt"; printf '\0'; cat "$tmp/p$s/SkillList.txt"; printf '\0'
    cat "$tmp/p$s/ItemList.txt"; printf '\0'; cat "$tmp/p$s/ShipList.txt"; } > "$seeds/lists/gen$s"
done
# Settings as the program itself writes them: every key, in save order.
printf '[Mizuto]\r\nTop=134\r\nLeft=214\r\nWidth=734\r\nHeight=707\r\nSp1=255\r\nSp2=185\r\nSp3=103\r\nSp4=177\r\nSp5=289\r\nVerChk=1\r\nNPC=0\r\nCRI=1\r\nUserName=YOU\r\nLogDir=/home/player/logs\r\nBattleView=1\r\nErrorView=1\r\nItemChk=110000000000000\r\nSkillChk=10100000000000000000\r\nDebug=0\r\nWater=1\r\nSail=0\r\nRudder=1\r\nConfuse=0\r\nSChk=1\r\nPChk=1\r\nCChk=0\r\nR1Chk=0\r\nR2Chk=0\r\nR3Chk=0\r\nTChk=1\r\n' \
  > "$seeds/settings/saved.ini"
# Settings and list files that are no small regular file: 0xFF 0xFF, then one kind byte per
# file ('f' a FIFO, 'z' over the size limit, 'd' a folder, anything else a regular file).
for k in f z d; do
  { printf '\xff\xff%s' "$k"; cat "$seeds/settings/gen1.ini"; } > "$seeds/settings/kind-$k.ini"
done
{ printf '\xff\xfffzdr'; cat "$seeds/lists/gen2"; } > "$seeds/lists/kinds-fzdr"
{ printf '\xff\xffrrzf'; cat "$seeds/lists/gen3"; } > "$seeds/lists/kinds-rrzf"
# Version pages: Content-Type line, then the body.
v="$seeds/version"
printf 'text/html; charset=Shift_JIS\n<HTML><HEAD><TITLE>Mizuto Ver1.45</TITLE></HEAD><BODY></BODY></HTML>\n' > "$v/current"
printf 'text/html\n<HTML><HEAD><TITLE>Mizuto Ver1.46</TITLE></HEAD></HTML>\n' > "$v/newer"
printf 'text/html; charset=UTF-8\n\xef\xbb\xbf<HTML><HEAD><TITLE>Mizuto Ver1.50 \xe6\x9c\x80\xe6\x96\xb0\xe7\x89\x88</TITLE></HEAD></HTML>\n' > "$v/utf8"
printf '\n<TITLE>Mizuto Ver2.00 \x8d\xc5\x90\x56\x94\xc5</TITLE>\n' > "$v/sjis"
printf 'text/plain\nnot found\n' > "$v/none"
# Followed logs: byte 0 = chunk lengths - 1 (| 0x80: NPC check), the lengths (2 bytes
# each, little-endian), then the log; a log part under 8 bytes is the generator's seed.
f="$seeds/follow"
{ printf '\x02\xf0\x00\x61\x00\x07\x01'; cat "$seeds/chat_log/gen1.html"; } > "$f/gen1"
{ printf '\x00\xff\x01'; cat "$seeds/chat_log/gen2.html"; } > "$f/gen2"
{ printf '\x83\x1d\x00\x0e\x00\x80\x00\xa3\x01'; cat "$seeds/chat_log/gen5.html"; } > "$f/gen5"
printf '\x01\x30\x00\x05\x00\x03\x00\x00\x00' > "$f/seed3"
printf '\x00\x90\x00\x0c\x00\x00\x00' > "$f/seed12"

declare -A dict=([chat_log]=chat_log [follow]=chat_log [lists]=lists [settings]=settings [version]=version)
declare -A max_len=([chat_log]=32768 [follow]=32768 [lists]=8192 [settings]=8192 [version]=4096)

failed=()
for t in "${targets[@]}"; do
  if [ "$seeds_only" -eq 1 ]; then
    corpus="$tmp/corpus-$t"
  else
    corpus="$build/corpus/$t"
  fi
  mkdir -p "$corpus"
  log="$build/$t.log"
  echo "== $t: ${seconds}s"
  if UBSAN_OPTIONS=print_stacktrace=1 "$build/${t}_fuzz" -max_total_time="$seconds" \
      -dict="$tmp/dict/${dict[$t]}.dict" -max_len="${max_len[$t]}" -timeout=30 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
      "$corpus" "$seeds/$t" >"$log" 2>&1; then
    # The last status line (executions, coverage: cov edges, ft features, corpus) and the total.
    grep -E '^#[0-9]+.*cov:' "$log" | tail -1 || true
    grep -E '^Done [0-9]+ runs' "$log" || true
  else
    echo "!! $t found something (full output: $log):"
    grep -E 'ERROR|property broken|SUMMARY|Test unit written' "$log" | head -20
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz/run.sh: findings in ${failed[*]}; inputs in $build/findings/" >&2
  exit 1
fi
