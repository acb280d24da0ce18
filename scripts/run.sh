#!/usr/bin/env bash
# Sets up, builds and starts Addrivo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target addrivo
exec ./build/default/bin/addrivo "$@"
