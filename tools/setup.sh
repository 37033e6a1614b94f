#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tambrel needs. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config bison flex
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libasound2-dev libjack-jackd2-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # tests: a real JACK server with its dummy driver and MIDI tools, a virtual X display, clang's
  # sanitizer and fuzzer runtime, a reader for Standard MIDI Files
  jackd2 xvfb xauth clang libclang-rt-14-dev midicsv
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo -E apt-get install -y -qq --no-install-recommends "${missing[@]}"
