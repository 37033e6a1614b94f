#!/usr/bin/env bash
# Sets up, builds and runs Tambrel.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
bin=build/release/bin
if [ -x "$bin/tambrel" ]; then
  exec "$bin/tambrel" "$@"
fi
exec "$bin/tambrel-cli" play "$bin/Tambrels/chord.tmb" --trace "$@"
