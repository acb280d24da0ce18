#!/usr/bin/env bash
# Takes a picture of the main window after a scan, on a virtual X display.
#   scripts/screenshot.sh [OUT.png] [BOOK.wab]
# Without a book the window scans a generated one (a stand-in reader); with a
# book it needs a build that includes the real reader.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-docs/main-window.png}
book=${2:-}

cmake --preset default >/dev/null
cmake --build --preset default --target addrivo_screenshot -j 2 >/dev/null

args=("$out")
[ -n "$book" ] && args+=("$book")
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  build/default/bin/addrivo_screenshot "${args[@]}"
