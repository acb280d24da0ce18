#!/usr/bin/env bash
# The Windows stage of scripts/test.sh: cross-builds addrivo.exe,
# addrivo-convert.exe and the engine tests with mingw-w64, runs the tests
# under Wine, and converts the generated books (and the real sample book,
# when present) with both the Linux and the Windows build: every output must
# be the same bytes, apart from what a run makes up anew (the .pst's
# creation times and random keys, compared through libpff's export of its
# items instead). Then the window, driven on Xvfb, and the installer.
# Needs the default build (scripts/test.sh makes it first). Every step says
# what failed; its output is in build/logs/windows-*.log.
set -euo pipefail
cd "$(dirname "$0")/.."
steps_prefix=windows
source scripts/steps.sh

jobs=$(nproc)
quiet_step windows-configure cmake --preset windows
step windows-build cmake --build --preset windows -j "$jobs"
step windows-linux-tools cmake --build --preset default -j "$jobs" --target addrivo-convert addrivo_make_books

export WINEDEBUG=-all WINEARCH=win64
export WINEPREFIX=$PWD/build/windows/wineprefix
# No window of any kind: Wine's display and menus are left out.
export DISPLAY= WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="

# Wine's first start in a new prefix makes the prefix; under load it has
# failed once with nothing said. It gets two more tries, each in a fresh
# prefix; its output is kept.
first_start() {
  local attempt
  for attempt in 1 2 3; do
    echo "== attempt $attempt"
    if wineboot -i && wineserver -w && [ -f "$WINEPREFIX/system.reg" ]; then
      return 0
    fi
    echo "windows: Wine's first start in $WINEPREFIX failed (attempt $attempt)" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    sleep 2
  done
  return 1
}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  quiet_step windows-wine-first-start first_start
fi
# One Wine server for the whole stage: a server that stops between two runs
# can drop the connection of the next one as it starts.
quiet_step windows-wineserver wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# Wine's own services start with the first program and, the server being
# persistent, stay: started by a test they would hold its output open and
# ctest would wait for it until the test's time-out. Start them here (once
# more if the first start of the services fails under load).
wine_services() { wine cmd /c exit </dev/null || { sleep 2 && wine cmd /c exit </dev/null; }; }
quiet_step windows-wine-services wine_services

# A test now and then fails once as Wine starts up under load; twice is a fault.
LANG=en_US.UTF-8 step windows-tests ctest --preset windows --repeat until-pass:2

linux=$PWD/build/default/bin/addrivo-convert
windows=$PWD/build/windows/bin/addrivo-convert.exe
stage=$PWD/build/windows/stage
rm -rf "$stage"
# A folder a Polish or Russian user may well have.
books="$stage/Łukasz Kontakty/Адреса"
mkdir -p "$books"
build/default/bin/addrivo_make_books "$books"
samples=${ADDRIVO_TESTDATA:-../shared/testdata}
[ -f "$samples/wab/HiraokaTaro.WAB" ] && cp "$samples/wab/HiraokaTaro.WAB" "$books/"

failures=0
fail() {
  echo "windows: $*" >&2
  failures=$((failures + 1))
}

# run SIDE LANG VERB... : the verb's files in $stage/SIDE/..., its listing in
# list.txt, what it said in $stage/logs/SIDE/...
run() {
  local side=$1 lang=$2 book=$3 verb=$4
  shift 4
  local out="$stage/$side/$lang/$(basename "$book")/$verb"
  local log="$stage/logs/$side/$lang/$(basename "$book")/$verb.log"
  mkdir -p "$out" "$(dirname "$log")"
  local exe=("$linux")
  [ "$side" = windows ] && exe=(wine "$windows")
  local status=0
  for attempt in 1 2; do
    status=0
    case $verb in
      list) LANG=$lang "${exe[@]}" list "$book" >"$out/list.txt" 2>"$log" || status=$? ;;
      list-all) LANG=$lang "${exe[@]}" list --all --deleted "$book" >"$out/list.txt" 2>"$log" || status=$? ;;
      *) LANG=$lang "${exe[@]}" "$verb" "$@" "$book" "$out" >"$log" 2>&1 || status=$? ;;
    esac
    # 0, 1 and 2 are the converter's own answers; anything else is Wine
    # losing the process, which is worth one more try.
    ((status <= 2)) && break
    echo "windows: $verb ended with status $status under Wine; once more" >&2
    rm -rf "$out" && mkdir -p "$out"
  done
  if ((status)); then
    echo "windows: $side $verb ended with status $status; it said (in $log):" >&2
    sed 's/^/    /' "$log" >&2
  fi
  return "$status"
}

verbs=(list list-all xls pst-ansi pst-unicode vcard csv-outlook csv-google xlsx)
for book in "$books"/*; do
  for lang in en_US.UTF-8 ja_JP.UTF-8; do
    for verb in "${verbs[@]}"; do
      run linux "$lang" "$book" "$verb" || fail "the Linux build failed: $verb $book"
      run windows "$lang" "$book" "$verb" || fail "the Windows build failed: $verb $book ($lang)"
    done
  done
done

# Every output byte for byte; the .pst files (named after the minute they
# were made) through pffexport, times and the time in the folder name aside.
source scripts/pst-items.sh
mapfile -d '' outputs < <(find "$stage/linux" -type f -print0)
for file in "${outputs[@]}"; do
  rel=${file#"$stage/linux/"}
  if [[ $file == *.pst ]]; then
    other=$(find "$(dirname "$stage/windows/$rel")" -maxdepth 1 -name '*.pst' | head -1)
    if [ -z "$other" ]; then
      fail "no Windows .pst beside $rel"
    else
      cmp -s <(pst_items "$file") <(pst_items "$other") || fail "the .pst items differ: $rel"
    fi
  elif [ ! -f "$stage/windows/$rel" ]; then
    fail "no Windows output $rel"
  else
    cmp -s "$file" "$stage/windows/$rel" || fail "differs: $rel"
  fi
done

# Under a Japanese Windows the workbook's code page is 932 and the text survives.
jp="$stage/windows/ja_JP.UTF-8/japanese.wab/xls"
/usr/bin/python3 - "$jp"/*.xls <<'PY' || fail "the Japanese workbook"
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
assert book.codepage == 932, book.codepage
cells = [c.value for r in range(book.sheet_by_index(0).nrows) for c in book.sheet_by_index(0).row(r)]
assert "平岡" in cells and "花子" in cells, cells
PY

# The window on an X server of its own, driven through every format
# (scripts/windows-window.sh): the real book when there is one, its groups
# and Japanese names and all.
window_book="$books/HiraokaTaro.WAB"
[ -f "$window_book" ] || window_book="$books/japanese.wab"
bash scripts/windows-window.sh "$window_book" "$stage/linux/en_US.UTF-8/$(basename "$window_book")" \
  "$stage/window" 2>&1 | tee "$steps_logs/windows-window.log" ||
  fail "the window (its output: $steps_logs/windows-window.log)"

# The installer and the converter it installs (scripts/windows-installer.sh).
quiet_step windows-package bash scripts/package.sh --windows
version=$(sed -n 's/^project(Addrivo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
bash scripts/windows-installer.sh "build/package/addrivo-setup-$version-x64.exe" "$books/mixed.wab" \
  "$stage/linux/en_US.UTF-8/mixed.wab/xlsx/mixed.xlsx" 2>&1 | tee "$steps_logs/windows-installer.log" ||
  fail "the installer (its output: $steps_logs/windows-installer.log)"

if ((failures)); then
  echo "windows: $failures failures" >&2
  exit 1
fi
echo "windows: the tests pass under Wine, every output matches the Linux build's, and the installer works"
