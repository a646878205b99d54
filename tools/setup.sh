#!/usr/bin/env bash
# Installs what the project needs (Debian packages), builds everything into build/,
# then runs the demo (tools/demo.sh: Tarnwick plays a live broadcast from the stream
# server and records five seconds of it). Safe to run again: installed packages and
# a configured build are reused.
#   tools/setup.sh            install, build, run the demo
#   tools/setup.sh --no-demo  install and build only
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

run_demo=1
for arg in "$@"; do
  case "$arg" in
    --no-demo) run_demo=0 ;;
    *) echo "usage: tools/setup.sh [--no-demo]" >&2; exit 2 ;;
  esac
done

mapfile -t packages < <(grep -v '^\s*\(#\|$\)' tools/packages.txt)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "==> Installing ${#missing[@]} Debian packages: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
else
  echo "==> All Debian packages are installed"
fi

echo "==> Configuring and building in build/"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" || {
  echo "setup: the build failed (see the compiler's messages above); fix it and run tools/setup.sh again" >&2
  exit 1
}

if [ "$run_demo" -eq 1 ]; then
  echo "==> Running the demo (tools/demo.sh; tools/setup.sh --no-demo skips it)"
  tools/demo.sh || {
    echo "setup: everything is installed and built, but the demo failed (see above); run tools/demo.sh to try it again" >&2
    exit 1
  }
fi
