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

if [ -x "$bin/Tarnwick" ] && [ -x "$bin/update-server" ]; then
  step "Installing Tarnwick from the update server, then opening its windows"
  # The release on the server: the launcher, the recorder library, the filter.
  # The installation holds the launcher alone, with a manifest older than the release.
  rm -rf "$demo/release" "$demo/app" "$demo/port"
  mkdir -p "$demo/release" "$demo/app"
  cp "$bin/Tarnwick" "$bin/TarnwickDll.dll" "$bin/Kestrin.ax" "$demo/release/"
  cp "$bin/Tarnwick" "$demo/app/"
  printf ';0.0.0.0\r\n[File1]\r\nName=Tarnwick\r\n' > "$demo/app/files.ini"
  "$bin/update-server" --root "$demo/release" --listen 127.0.0.1:0 --port-file "$demo/port" \
    > "$demo/update-server.log" 2>&1 &
  server=$!
  trap 'kill $server 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -s "$demo/port" ] && break; sleep 0.1; done
  "$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v AutoUpdate /t REG_SZ /d "Every program start" /f >/dev/null
  "$bin/reg" delete 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v LastOpenedURL /f >/dev/null 2>&1 || true
  # The script answers the start-up dialog (download, then start) and saves a
  # picture of every window on the way.
  cat > "$demo/windows.script" <<SCRIPT
wait "Tarnwick startup"
sleep 500
png "$demo/startup.png"
click 1005
sleep 1500
click 1005
wait "Enter an URL"
png "$demo/enter-url.png"
click 2
wait "Tarnwick"
png "$demo/main-window.png"
menu 40016
wait "Options for Tarnwick"
png "$demo/options.png"
click 2
menu 40014
wait "About Tarnwick"
png "$demo/about.png"
click 1
quit
SCRIPT
  rm -f "$demo/ui.log"
  status=0
  (cd "$demo/app" && LD_LIBRARY_PATH="$bin" TARNWICK_UPDATE_SERVER="127.0.0.1:$(cat "$demo/port")" \
    TARNWICK_UI_SCRIPT="$demo/windows.script" TARNWICK_UI_LOG="$demo/ui.log" ./Tarnwick) || status=$?
  kill $server 2>/dev/null || true
  trap - EXIT
  cat "$demo/ui.log"
  echo "Tarnwick ended with exit code $status; installed: $(cd "$demo/app" && ls | tr '\n' ' ')"
  echo "Pictures of its windows: $demo/*.png"
fi

step "The settings in the demo registry ($TARNWICK_REGISTRY)"
"$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v SaveDirectory /t REG_SZ /d "$demo" /f
"$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v AutoUpdate /t REG_SZ /d "Every program start" /f
"$bin/reg" query 'HKCU\SOFTWARE\Orvanne\Tarnwick'
