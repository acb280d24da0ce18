#!/usr/bin/env bash
# Sets up, builds and runs every test: the program's tests (slow ones included),
# the engines under ASan + UBSan, and a short bounded run of every fuzz target.
#   scripts/test.sh           everything (what CI runs)
#   scripts/test.sh --quick   the default build's tests without the slow ones
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

bash scripts/setup.sh

jobs=$(nproc)
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
if [ "$quick" = 1 ]; then
  ctest --preset quick
  exit 0
fi
ctest --preset default

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz
