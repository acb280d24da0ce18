#!/usr/bin/env bash
# Builds and runs every benchmark with its default workload (32,766 contacts).
# Figures are printed; nothing here passes or fails on timing.
# whole_process_bench gives the rows a user waits for: whole addrivo-convert
# runs (list; xls against libxlsxwriter; pst-unicode and pst-ansi against cp
# of their output), best of 5, ratios, and the peak memory the book adds to each
# run (its peak less the same run's on a book of one contact) against its size;
# bench_app_scan gives the window's scan of the same book; carddav_bench the
# upload of 600 contacts to a local Radicale against curl.
#   scripts/bench.sh [NAME...]   run only the named benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
all=(whole_process_bench bench_app_scan excel_bench wab_bench list_all_bench pst_bench pst_whole_bench
     xls_export_bench book_export_bench outlook_export_bench outlook_whole_bench carddav_bench)
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
    pst_whole_bench) ./build/default/bin/pst_whole_bench "$work" ;;
    outlook_whole_bench)
      # The reference: addrivo-convert as it was with the twenty designed
      # fields only (ADDRIVO_REFERENCE: another commit to compare with).
      ref="$work/reference"
      mkdir -p "$ref"
      git archive "${ADDRIVO_REFERENCE:-d90aa72}" | tar -x -C "$ref"
      (cd "$ref" && cmake --preset default >/dev/null &&
        cmake --build --preset default -j "$(nproc)" --target addrivo-convert >/dev/null)
      ./build/default/bin/outlook_whole_bench "$ref/build/default/bin/addrivo-convert" ;;
    bench_app_scan) QT_QPA_PLATFORM=offscreen ./build/default/bin/bench_app_scan ;;
    # The upload of 600 contacts to a local Radicale against curl PUTting the same cards.
    carddav_bench)
      /usr/bin/python3 bench/carddav/carddav_bench.py ./build/default/bin/addrivo-convert \
        ./build/default/bin/addrivo_make_books 600 3 ;;
    *) ./build/default/bin/"$b" ;;
  esac
done
echo "load: $(uptime)"
