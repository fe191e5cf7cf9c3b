#!/usr/bin/env bash
# Sets up, builds, starts the simulated controller and the console on it.
# Extra arguments go to the console (for example /KELO /UACHSE).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target pelto-befehle pelto-sim

sim=build/sim/pelto-sim
console=build/app/pelto-befehle
if [ ! -x "$console" ]; then
  echo "The console window is not built yet; the link, the command set and the simulator are."
  exit 0
fi
link=/tmp/pelto-sim-$(id -u)-$$
"$sim" --link "$link" --pace >/dev/null &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; wait $sim_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
mkdir -p work
cd work
PELTO_COM1="$link" "../$console" "$@"
