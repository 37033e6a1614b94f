#!/usr/bin/env bash
# Sets up, checks the formatting, builds and runs every test: once with warnings as errors, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, once under ThreadSanitizer (the libraries without Qt), then the fuzz
# targets for a bounded time. Fails when any of them fails.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
echo "=== formatting"
tools/check-format.sh

jobs=$(nproc)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
export QT_QPA_PLATFORM=offscreen

suite() {
  local name=$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  echo "=== $name: configure and build"
  cmake -S . -B "build/$name" -G Ninja "$@" >/dev/null
  cmake --build "build/$name" -j"$jobs"
  echo "=== $name: tests"
  ctest --test-dir "build/$name" -j"$jobs" --output-on-failure --no-tests=error "${ctest_args[@]}"
}

suite werror -- -DTAMBREL_WERROR=ON
suite asan-ubsan -- -DTAMBREL_SANITIZE=address,undefined -DTAMBREL_BUILD_BENCH=OFF
suite tsan -L core -- -DTAMBREL_SANITIZE=thread -DTAMBREL_WITH_QT=OFF -DTAMBREL_BUILD_BENCH=OFF
if [ -f tests/fuzz/CMakeLists.txt ]; then
  # Warnings are judged by the GCC builds above; clang does not know some of their options.
  CC=clang CXX=clang++ suite fuzz -L fuzz -- -DTAMBREL_FUZZ=ON -DTAMBREL_WERROR=OFF -DTAMBREL_WITH_QT=OFF \
    -DTAMBREL_BUILD_TESTS=OFF -DTAMBREL_BUILD_BENCH=OFF
fi
echo "=== all test suites passed"
