#!/usr/bin/env bash
# Builds the program and starts it. When QUORVA_COM1 does not name a device, a simulated
# logger is started on a new pseudo-terminal and COM1 is pointed at it, so the program can
# be tried without a logger. Set QUORVA_COM1=/dev/ttyUSB0 (say) to talk to a real one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target quorva kestro-sim

sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [ -z "${QUORVA_COM1:-}" ]; then
  link_path="$(mktemp -u /tmp/quorva-kestro.XXXXXX)"
  ./build/sim/kestro-sim --link "$link_path" --logs 300 &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -e "$link_path" ] && break
    sleep 0.1
  done
  if [ ! -e "$link_path" ]; then
    echo "The simulated logger did not start." >&2
    exit 1
  fi
  export QUORVA_COM1="$link_path"
  echo "COM1 is the simulated logger on $link_path"
fi

./build/app/quorva
