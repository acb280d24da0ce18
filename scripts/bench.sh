#!/usr/bin/env bash
# Builds and runs every benchmark with its default workload (32,766 contacts).
# Figures are printed; nothing here passes or fails on timing.
# whole_process_bench gives the rows a user waits for: whole addrivo-convert
# runs (list; xls against libxlsxwriter; pst-unicode and pst-ansi against cp
# of their output), best of 5, ratios and peak memory against the book;
# bench_app_scan gives the window's scan of the same book.
#   scripts/bench.sh [NAME...]   run only the named benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
all=(whole_process_bench bench_app_scan excel_bench wab_bench list_all_bench pst_bench xls_export_bench book_export_bench outlook_export_bench)
wanted=("$@")
((${#wanted[@]})) || wanted=("${all[@]}")
cmake --build --preset default -j "$(nproc)" --target addrivo-convert "${wanted[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "load: $(uptime)"
for b in "${wanted[@]}"; do
  echo "== $b"
  case "$b" in
    pst_bench) ./build/default/bin/pst_bench "$work" ;;
    bench_app_scan) QT_QPA_PLATFORM=offscreen ./build/default/bin/bench_app_scan ;;
    *) ./build/default/bin/"$b" ;;
  esac
done
echo "load: $(uptime)"
