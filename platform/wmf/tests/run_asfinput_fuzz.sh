#!/usr/bin/env bash
# Makes a seed corpus (a small clip and a metafile), then runs the fuzz target:
#   run_asfinput_fuzz.sh <fuzzer> <clipmaker> <seconds>   libFuzzer for <seconds>
#   run_asfinput_fuzz.sh <replay> <clipmaker> replay       the replay driver
set -euo pipefail
fuzzer=$1 clipmaker=$2 mode=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/seeds" "$work/corpus"
"$clipmaker" --out "$work/seeds/clip.asf" --seconds 1 --size 64x48 --fps 10 --gop 5 --title Fuzz >/dev/null
"$clipmaker" --out "$work/seeds/audio.asf" --seconds 1 --no-video >/dev/null
printf '<ASX version="3.0"><TITLE>t</TITLE><ENTRY><REF HREF="http://h/a.asf"/></ENTRY></ASX>' >"$work/seeds/list.asx"
if [ "$mode" = replay ]; then
  exec "$fuzzer" "$work/seeds/clip.asf" "$work/seeds/audio.asf"
fi
# libFuzzer's own C++ runtime is loaded before the shared ASan runtime; that is harmless.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
"$fuzzer" -max_total_time="$mode" -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
  -artifact_prefix="${FUZZ_ARTIFACTS:-$work}/" "$work/corpus" "$work/seeds"
