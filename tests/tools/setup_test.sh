#!/usr/bin/env bash
# Runs tools/setup.sh with fake apt-get, dpkg-query, id and sudo first on PATH (and only the few real
# tools it needs besides): as root, as a user with sudo, as a user without sudo, and with everything
# installed. The fakes log their calls to a file that each case compares with what it expects.
set -euo pipefail
setup=${1:?usage: setup_test.sh path/to/setup.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/sys"
for tool in bash env grep cat; do ln -s "$(command -v "$tool")" "$work/sys/$tool"; done

fake() {  # fake DIR NAME BODY
  printf '#!%s\n%s\n' "$work/sys/bash" "$3" >"$1/$2"
  chmod +x "$1/$2"
}

failures=0
# check NAME UID WITH-SUDO MISSING EXPECTED-STATUS EXPECTED-LOG [TEXT-EXPECTED-ON-STDERR]
check() {
  local name=$1 uid=$2 with_sudo=$3 missing=$4 want_status=$5 want_log=$6 want_err=${7:-}
  local dir="$work/$name"
  mkdir -p "$dir/bin"
  : >"$dir/log"
  printf '%s\n' $missing >"$dir/missing"
  fake "$dir/bin" apt-get "echo \"apt-get \$* [DEBIAN_FRONTEND=\${DEBIAN_FRONTEND:-}]\" >>'$dir/log'"
  fake "$dir/bin" dpkg-query "grep -qx -- \"\${!#}\" '$dir/missing' && exit 1; printf 'install ok installed'"
  fake "$dir/bin" id "echo \"id \$*\" >>'$dir/log'; echo $uid"
  [ "$with_sudo" = yes ] && fake "$dir/bin" sudo "echo \"sudo \$*\" >>'$dir/log'; exec \"\$@\""
  local status=0
  PATH="$dir/bin:$work/sys" "$work/sys/bash" "$setup" >"$dir/out" 2>"$dir/err" || status=$?
  local log
  log=$(cat "$dir/log")
  if [ "$status" != "$want_status" ] || [ "$log" != "$want_log" ] ||
    { [ -n "$want_err" ] && ! grep -qF -- "$want_err" "$dir/err"; }; then
    echo "FAILED: $name: status $status (wanted $want_status)"
    echo "--- calls:"; echo "$log"; echo "--- wanted:"; echo "$want_log"
    echo "--- stderr:"; cat "$dir/err"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

install="install -y -qq --no-install-recommends xdotool fonts-dejavu-core [DEBIAN_FRONTEND=noninteractive]"
check as-root 0 yes "xdotool fonts-dejavu-core" 0 "id -u
apt-get update -qq [DEBIAN_FRONTEND=noninteractive]
apt-get $install"
check user-with-sudo 1000 yes "xdotool fonts-dejavu-core" 0 "id -u
sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
apt-get update -qq [DEBIAN_FRONTEND=noninteractive]
sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xdotool fonts-dejavu-core
apt-get $install"
check user-without-sudo 1000 no "xdotool fonts-dejavu-core" 1 "id -u" \
  "these Debian packages are missing: xdotool fonts-dejavu-core"
check all-installed 1000 no "" 0 ""

echo "$((4 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
