#!/usr/bin/env bash
# Builds, starts pelto-sim and the console on a real X server (Xvfb), waits
# for the start-up link set-up and writes a screenshot to docs/fenster.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Only the screenshot needs these two.
if ! command -v import >/dev/null || ! command -v xdotool >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends imagemagick xdotool >/dev/null
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target pelto-befehle pelto-sim
mkdir -p docs
exec bash scripts/mit_x.sh bash -c '
  set -euo pipefail
  work=$(mktemp -d)
  link=$work/pelto
  build/sim/pelto-sim --link "$link" >/dev/null </dev/null &
  sim=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  (cd "$work" && PELTO_COM1="$link" exec "$OLDPWD/build/app/pelto-befehle") &
  console=$!
  # Start-up is done when the window has its caption and the set-up has run.
  for _ in $(seq 100); do xdotool search --name "^Pelto-Befehle" >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 3
  import -window root docs/fenster.png
  kill "$console" "$sim"
  wait "$console" "$sim" 2>/dev/null || true
  rm -rf "$work"
'
