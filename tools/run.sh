#!/usr/bin/env bash
# Sets up, builds and runs Tambrel: the command-line tool checks an example and lists its items.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
bin=build/release/bin
example="$bin/Tambrels/chord.tmb"
echo "== tambrel-cli check $example"
"$bin/tambrel-cli" check "$example"
echo "== tambrel-cli items $example"
"$bin/tambrel-cli" items "$example"
