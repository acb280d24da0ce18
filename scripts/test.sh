#!/usr/bin/env bash
# Sets up, builds and runs every test: the program's tests (slow ones included),
# the engines under ASan + UBSan, a short bounded run of every fuzz target, and
# the Windows build's tests and conversions under Wine (scripts/windows-stage.sh).
#   scripts/test.sh           everything (what CI runs)
#   scripts/test.sh --quick   the default build's tests without the slow ones
# Tests that read files made by other programs look in $ADDRIVO_TESTDATA, else
# ../shared/testdata beside the checkout; without them they are skipped (see
# scripts/fetch-testdata.sh), and under CI=true they fail.
# Every step says what failed and keeps its output in build/logs/ (scripts/steps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh

samples=${ADDRIVO_TESTDATA:-../shared/testdata}
if ! bash scripts/fetch-testdata.sh --check "$samples" >/dev/null 2>&1; then
  echo "test: outside samples missing in $samples: the tests that read them are skipped" >&2
  echo "      (get them with scripts/fetch-testdata.sh; under CI=true they fail instead)" >&2
fi

quick=0
[ "${1:-}" = "--quick" ] && quick=1

step setup bash scripts/setup.sh

jobs=$(nproc)
quiet_step configure-default cmake --preset default
step build-default cmake --build --preset default -j "$jobs"
if [ "$quick" = 1 ]; then
  step tests-quick ctest --preset quick
  exit 0
fi
step tests-default ctest --preset default

quiet_step configure-asan cmake --preset asan
step build-asan cmake --build --preset asan -j "$jobs"
step tests-asan ctest --preset asan

quiet_step configure-fuzz cmake --preset fuzz
step build-fuzz cmake --build --preset fuzz -j "$jobs"
step tests-fuzz ctest --preset fuzz

# The Windows stage names its own steps (windows-*.log).
bash scripts/windows-stage.sh
