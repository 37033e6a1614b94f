#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tambrel needs. Safe to run again:
# it only calls apt-get when something is missing. Runs as root, or as a user who may use sudo.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config bison flex
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libasound2-dev libjack-jackd2-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # tests: a real JACK server with its dummy driver and MIDI tools, a virtual X display and a tool
  # that presses keys in it, fonts with stable metrics, clang's sanitizer and fuzzer runtime, a
  # reader for Standard MIDI Files, the formatting check, Node.js for the terminal test's oracle
  jackd2 xvfb xauth xdotool fonts-dejavu-core clang libclang-rt-14-dev midicsv clang-format-14
)
# Node.js may come from elsewhere (NodeSource's nodejs holds npm and conflicts with Debian's npm).
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The terminal test's oracle (tests/terminal/oracle), installed from its lock file when its
# node_modules are missing or older than the lock.
install_oracle() {
  local oracle="$(dirname "$0")/../tests/terminal/oracle"
  if [ ! -f "$oracle/node_modules/.package-lock.json" ] ||
     [ "$oracle/package-lock.json" -nt "$oracle/node_modules/.package-lock.json" ]; then
    echo "Installing the terminal test's oracle (npm ci)"
    (cd "$oracle" && npm ci --no-audit --no-fund --loglevel=error) ||
      echo "setup: npm ci failed in $oracle; the terminal's differential test fails until it succeeds" >&2
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  install_oracle
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: installing them needs root, and sudo is not available. Install them as root:" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
  echo "setup: or run this script as root, or give this user sudo." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_oracle
