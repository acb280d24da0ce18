#!/usr/bin/env bash
# Builds and runs every benchmark with its default workload (32,766 contacts).
# Figures are printed; nothing here passes or fails on timing.
#   scripts/bench.sh [NAME...]   run only the named benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
all=(excel_bench wab_bench list_all_bench pst_bench xls_export_bench book_export_bench outlook_export_bench bench_app_scan)
wanted=("$@")
((${#wanted[@]})) || wanted=("${all[@]}")
cmake --build --preset default -j "$(nproc)" --target addrivo-convert "${wanted[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for b in "${wanted[@]}"; do
  echo "== $b"
  case "$b" in
    pst_bench) ./build/default/bin/pst_bench "$work" ;;
    bench_app_scan) QT_QPA_PLATFORM=offscreen ./build/default/bin/bench_app_scan ;;
    *) ./build/default/bin/"$b" ;;
  esac
done
