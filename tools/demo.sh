#!/usr/bin/env bash
# The demo: a bundled clip made by the clip maker, served over HTTP by the stream
# server and played by Tarnwick where those are built; otherwise it shows what the
# platform already does with the pieces that are built.
# Uses its own registry database in build/demo/, so the user's settings stay untouched.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/bin"
demo="$top/build/demo"
mkdir -p "$demo"
export TARNWICK_REGISTRY="$demo/registry.db"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

step() { printf '\n--- %s\n' "$*"; }

if [ -x "$bin/clipmaker" ]; then
  step "Making the demo clip (WMV2 video and WMA audio, 5 seconds)"
  "$bin/clipmaker" --out "$demo/demo.asf" --seconds 5 --size 320x240 --fps 25 --gop 25 --title "Tarnwick demo"
  ffprobe -v error -show_entries stream=index,codec_name,width,height,sample_rate -of compact "$demo/demo.asf"
fi

if [ -f "$bin/Kestrin.ax" ]; then
  step "Registering the recording filter"
  "$bin/regsvr32" "$bin/Kestrin.ax"
fi

if [ -x "$bin/recbench" ] && [ -f "$demo/demo.asf" ]; then
  step "Recording the demo clip through the recording filter, beside a plain remux"
  "$bin/recbench" --clip "$demo/demo.asf" --repeat 1
fi

step "The settings in the demo registry ($TARNWICK_REGISTRY)"
"$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v SaveDirectory /t REG_SZ /d "$demo" /f
"$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v AutoUpdate /t REG_SZ /d "Every program start" /f
"$bin/reg" query 'HKCU\SOFTWARE\Orvanne\Tarnwick'
