#!/usr/bin/env bash
# Sets up, builds and runs Tambrel: the command-line tool checks an example and lists its items.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
bin=build/release/bin
example="$bin/Tambrels/chord.tmb"
if [ ! -x "$bin/tambrel-cli" ]; then
  echo "run.sh: tambrel-cli is not built in this checkout yet (it needs the script parser, still to" >&2
  echo "come); tools/test.sh builds and tests the parts that exist." >&2
  exit 1
fi
echo "== tambrel-cli check $example"
"$bin/tambrel-cli" check "$example"
echo "== tambrel-cli items $example"
"$bin/tambrel-cli" items "$example"
