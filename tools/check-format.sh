#!/usr/bin/env bash
# Checks that every C++ source of the tree is formatted as .clang-format says; with --fix, formats them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.cpp.in')
if [ "${1:-}" = "--fix" ]; then
  clang-format-14 -i "${files[@]}"
else
  clang-format-14 --dry-run --Werror "${files[@]}"
  echo "formatting: ${#files[@]} files as .clang-format says"
fi
