#!/usr/bin/env bash
# The demo: Tarnwick plays a live broadcast and records five seconds of it.
#   tools/demo.sh                 play and record (the default)
#   tools/demo.sh --update        install Tarnwick from the update server and open its windows
#   tools/demo.sh --out DIR       work in DIR instead of build/demo
#   tools/demo.sh --bin DIR       run the programs built in DIR instead of build/bin
#
# Play and record: the clip maker makes the demo clip, the stream server loops it
# as a live broadcast on a free port of 127.0.0.1, and the launcher starts Tarnwick
# on its URL (update policy "Never", the demo's own registry in the work directory,
# recordings into its recordings/ folder). A UI script waits for the picture,
# presses R, waits five seconds and presses R again, then exits. The recording is
# read back with ffprobe and GStreamer. With a display ($DISPLAY or
# $WAYLAND_DISPLAY) the window is shown; without one Tarnwick runs offscreen. Either
# way pictures of the playing and of the recording window are saved.
#
# Everything the demo starts, it stops: on success, failure, Ctrl-C or SIGTERM.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/bin"
out="$top/build/demo"
mode=play

usage() { echo "usage: tools/demo.sh [--update] [--out DIR] [--bin DIR]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --update) mode=update ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift ;;
    --bin) [ $# -ge 2 ] || usage; bin=$2; shift ;;
    *) usage ;;
  esac
  shift
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

step() { printf '\n--- %s\n' "$*"; }
fail() {
  printf '\ndemo failed: %s\n' "$1" >&2
  shift
  for hint in "$@"; do [ -z "$hint" ] || printf '%s\n' "$hint" | sed 's/^/  /' >&2; done
  exit 1
}

# Processes started here, stopped by the trap however the demo ends.
started=()
stop_started() {
  local pid
  for pid in "${started[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  started=()
}
trap stop_started EXIT
trap 'echo "demo interrupted" >&2; exit 130' INT
trap 'echo "demo terminated" >&2; exit 143' TERM

for f in Tarnwick TarnwickDll.dll Kestrin.ax clipmaker stream-server update-server reg regsvr32; do
  [ -e "$bin/$f" ] || fail "$bin/$f is missing." "Build first: tools/setup.sh --no-demo (or cmake --build build)."
done
command -v ffprobe >/dev/null ||
  fail "ffprobe is missing." "Install the Debian package ffmpeg (tools/setup.sh installs every package the project needs)."

# The demo's own settings: the user's registry stays untouched.
export TARNWICK_REGISTRY="$out/registry.db"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  shown="on your display"
else
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
  shown="offscreen (no display)"
fi

# Waits for a background process to end, at most $2 seconds; while it runs, $3 (a
# function) may end the wait early by failing. Sets $status to its exit code.
wait_for() {
  local pid=$1 deadline=$((SECONDS + $2)) check=${3:-true}
  while kill -0 "$pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    "$check"
    sleep 0.2
  done
  status=0
  wait "$pid" || status=$?
  return 0
}

# Script failures and message boxes from the UI log, for failure messages.
ui_problems() {
  grep -E '^(messagebox|script	failed)' "$out/ui.log" 2>/dev/null | tr '\t' ' ' || true
}

registry_setup() {
  rm -f "$TARNWICK_REGISTRY"
  "$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v AutoUpdate /t REG_SZ /d "$1" /f >/dev/null ||
    fail "cannot write the demo registry $TARNWICK_REGISTRY." "Check that $out is writable."
}

demo_update() {
  step "Installing Tarnwick from the update server, then opening its windows"
  # The release on the server: the launcher, the recorder library, the filter.
  # The installation holds the launcher alone, with a manifest older than the release.
  rm -rf "$out/release" "$out/app" "$out/port"
  mkdir -p "$out/release" "$out/app"
  cp "$bin/Tarnwick" "$bin/TarnwickDll.dll" "$bin/Kestrin.ax" "$out/release/"
  cp "$bin/Tarnwick" "$out/app/"
  printf ';0.0.0.0\r\n[File1]\r\nName=Tarnwick\r\n' > "$out/app/files.ini"
  "$bin/update-server" --root "$out/release" --listen 127.0.0.1:0 --port-file "$out/port" \
    > "$out/update-server.log" 2>&1 &
  started+=($!)
  for _ in $(seq 100); do [ -s "$out/port" ] && break; sleep 0.1; done
  [ -s "$out/port" ] || fail "the update server did not start." "See $out/update-server.log."
  registry_setup "Every program start"
  # The script answers the start-up dialog (download, then start) and saves a
  # picture of every window on the way.
  cat > "$out/windows.script" <<SCRIPT
wait "Tarnwick startup" 20000
sleep 500
png "$out/startup.png"
click 1005
sleep 1500
click 1005
wait "Enter an URL" 20000
png "$out/enter-url.png"
click 2
wait "Tarnwick"
png "$out/main-window.png"
menu 40016
wait "Options for Tarnwick"
png "$out/options.png"
click 2
menu 40014
wait "About Tarnwick"
png "$out/about.png"
click 1
quit
SCRIPT
  rm -f "$out/ui.log"
  (cd "$out/app" && LD_LIBRARY_PATH="$bin" TARNWICK_UPDATE_SERVER="127.0.0.1:$(cat "$out/port")" \
    TARNWICK_UI_SCRIPT="$out/windows.script" TARNWICK_UI_LOG="$out/ui.log" exec ./Tarnwick) \
    > "$out/tarnwick.log" 2>&1 &
  local pid=$!
  started+=("$pid")
  wait_for "$pid" 120 || fail "Tarnwick did not finish within 120 s." "See $out/ui.log and $out/tarnwick.log."
  stop_started
  cat "$out/ui.log"
  [ "$status" -eq 0 ] || fail "Tarnwick ended with exit code $status." "$(ui_problems)" "See $out/ui.log and $out/tarnwick.log."
  echo "Installed: $(cd "$out/app" && ls | tr '\n' ' ')"
  echo "Pictures of its windows: $(ls "$out"/{startup,enter-url,main-window,options,about}.png | tr '\n' ' ')"
}

demo_play() {
  local clip="$out/demo.asf" recordings="$out/recordings"
  if [ ! -s "$clip" ] || [ "$bin/clipmaker" -nt "$clip" ]; then
    step "Making the demo clip (WMV2 test pattern and WMA tone, 20 seconds, looped live)"
    "$bin/clipmaker" --out "$clip" --seconds 20 --size 320x240 --fps 25 --gop 25 --title "Tarnwick demo" ||
      fail "the clip maker could not make $clip." "Check that $out is writable and has space."
  fi

  step "Starting the stream server with the clip as a live broadcast"
  rm -f "$out/stream-server.log"
  "$bin/stream-server" --root "$out" --listen 127.0.0.1:0 --live demo.asf > "$out/stream-server.log" 2>&1 &
  started+=($!)
  local port=""
  for _ in $(seq 100); do
    port=$(head -n1 "$out/stream-server.log" 2>/dev/null | grep -xE '[0-9]+' || true)
    [ -n "$port" ] && break
    kill -0 "${started[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$port" ] || fail "the stream server did not start." "See $out/stream-server.log."
  local url="http://127.0.0.1:$port/live"
  echo "Live broadcast at $url"

  step "Starting Tarnwick on $url, $shown"
  registry_setup "Never"
  rm -rf "$recordings"
  mkdir -p "$recordings"
  "$bin/reg" add 'HKCU\SOFTWARE\Orvanne\Tarnwick' /v SaveDirectory /t REG_SZ /d "$recordings" /f >/dev/null
  "$bin/regsvr32" /s "$bin/Kestrin.ax" ||
    fail "the recording filter could not be registered (regsvr32 $bin/Kestrin.ax)." "Rebuild: cmake --build build."
  rm -f "$out"/playing.png "$out"/recording-*.png "$out/ui.log"
  # The caption names the URL's last path component and the clip's title; the
  # red "Recording" label blinks once a second, so two pictures a second apart.
  cat > "$out/play.script" <<SCRIPT
wait "live [Tarnwick demo]" 60000
waitvideo 30000
sleep 1500
png "$out/playing.png"
key R
sleep 700
png "$out/recording-1.png"
sleep 1000
png "$out/recording-2.png"
sleep 3300
key R
sleep 500
quit
SCRIPT
  TARNWICK_UI_SCRIPT="$out/play.script" TARNWICK_UI_LOG="$out/ui.log" "$bin/Tarnwick" "$url" \
    > "$out/tarnwick.log" 2>&1 &
  local pid=$!
  started+=("$pid")
  echo "Playing; recording about 5 seconds with R ... R"
  no_box() {
    if grep -q '^messagebox' "$out/ui.log" 2>/dev/null; then
      fail "Tarnwick showed an error box:" "$(ui_problems)" "See $out/tarnwick.log and the stream server's log $out/stream-server.log."
    fi
  }
  wait_for "$pid" 120 no_box ||
    fail "Tarnwick did not finish within 120 s." "$(ui_problems)" "See $out/ui.log and $out/tarnwick.log."
  no_box
  stop_started
  [ "$status" -eq 0 ] || fail "Tarnwick ended with exit code $status." "$(ui_problems)" "See $out/ui.log and $out/tarnwick.log."

  local files=("$recordings"/*.asf)
  [ -e "${files[0]}" ] || fail "Tarnwick wrote no recording into $recordings." \
    "R did not start a recording: was the recording filter's profile accepted? See $out/tarnwick.log."
  [ "${#files[@]}" -eq 1 ] || fail "Tarnwick wrote ${#files[@]} recordings instead of one: ${files[*]}."
  local rec=${files[0]}

  step "The recording, read back by ffprobe"
  echo "$rec"
  local probe
  probe=$(ffprobe -v error -count_packets \
    -show_entries format=duration,size:stream=index,codec_type,codec_name,width,height,sample_rate,channels,nb_read_packets \
    -of csv=p=0 "$rec") || fail "ffprobe cannot read $rec." "Keep the file and $out/tarnwick.log for a bug report."
  local packets=0 line
  while IFS=, read -r index name type a b count; do
    if [ -z "$name" ] || [ -z "$type" ]; then continue; fi
    case "$type" in
      video) printf '  stream %s: video %s, %sx%s, %s packets\n' "$index" "$name" "$a" "$b" "$count" ;;
      audio) printf '  stream %s: audio %s, %s Hz, %s channels, %s packets\n' "$index" "$name" "$a" "$b" "$count" ;;
      *) printf '  stream %s: %s %s, %s packets\n' "$index" "$type" "$name" "$count" ;;
    esac
    packets=$((packets + count))
  done <<< "$(grep -E '^[0-9]+,' <<< "$probe" | grep -vE '^[0-9.]+,[0-9]+$')"
  line=$(grep -xE '[0-9.]+,[0-9]+' <<< "$probe" || true)
  printf '  duration %s s, %s bytes, %s packets\n' "${line%,*}" "${line#*,}" "$packets"
  local first
  first=$(ffprobe -v error -select_streams v:0 -show_entries packet=flags -read_intervals '%+#1' -of csv=p=0 "$rec")
  case "$first" in
    K*) echo "  first video packet: a key frame" ;;
    *) echo "  first video packet: not a key frame (flags $first)" ;;
  esac
  [ "$packets" -gt 0 ] || fail "the recording $rec holds no packets."

  if command -v gst-launch-1.0 >/dev/null; then
    step "The recording, read to its end by GStreamer's asfdemux"
    if timeout 60 gst-launch-1.0 -v filesrc location="$rec" ! asfdemux name=d \
        d.video_0 ! queue ! fakesink name=video silent=false \
        d.audio_0 ! queue ! fakesink name=audio silent=false > "$out/gstreamer.log" 2>&1; then
      printf '  %s video and %s audio buffers\n' \
        "$(grep -c 'chain.*(video:sink)' "$out/gstreamer.log" || true)" \
        "$(grep -c 'chain.*(audio:sink)' "$out/gstreamer.log" || true)"
    else
      fail "GStreamer's asfdemux cannot read $rec." "See $out/gstreamer.log."
    fi
  fi

  step "Pictures of the window"
  for p in playing recording-1 recording-2; do
    [ -s "$out/$p.png" ] || fail "the picture $out/$p.png was not saved." "$(ui_problems)"
    echo "$out/$p.png"
  done
  printf '\nDemo done: Tarnwick played %s and recorded %s\n' "$url" "$rec"
}

if [ "$mode" = update ]; then demo_update; else demo_play; fi
