#!/usr/bin/env bash
# addrivo.exe's window under Wine on an X server of its own (Xvfb), from
# scripts/windows-stage.sh (Wine's prefix and server already up): the
# driver (tests/windows/WindowDriver.cpp) opens BOOK as "addrivo.exe BOOK"
# does, checks the scan's message and the tree, reads a contact's boxes,
# takes the screenshot, and saves the book in every format through the
# conversion dialog; each file must equal the Linux build's.
#   scripts/windows-window.sh BOOK.wab LINUX_OUTPUTS OUTDIR
# LINUX_OUTPUTS holds one folder per verb (pst-ansi, xls, ...), as the stage
# writes them; OUTDIR gets the window's files, log.txt and windows-window.png.
set -euo pipefail
book=$1 linux=$2 out=$3
driver=$PWD/build/windows/bin/addrivo_window_driver.exe
failures=0
fail() {
  echo "windows window: $*" >&2
  failures=$((failures + 1))
}

# Japanese names in the designed fonts: Wine links them to Noto Sans CJK.
cjk="NotoSansCJK-Regular.ttc,Noto Sans CJK JP"
for face in Tahoma Verdana "Trebuchet MS" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
    /t REG_MULTI_SZ /d "$cjk" /f >/dev/null
done

# An X server of its own, on a free display, stopped by its own pid.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
mkdir -p "$(dirname "$out")"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$out.xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "windows window: Xvfb did not start (see $out.xvfb.log)" >&2; exit 1; }
export DISPLAY=:$display

rm -rf "$out"
mkdir -p "$out"
# The folder browser starts at the Desktop: nothing of an earlier run there.
desktop=$(winepath -u "$(wine cmd /c 'echo %USERPROFILE%' </dev/null | tr -d '\r')\\Desktop")
name=$(basename "${book%.*}" | tr '[:upper:]' '[:lower:]')
rm -f "$desktop/$name".*
status=0
# The help file beside the program, as installed; hhctrl's trace shows the
# help call and the file it names.
[ -f build/default/bin/Help.chm ] && cp build/default/bin/Help.chm "$(dirname "$driver")/"
LANG=en_US.UTF-8 WINEDEBUG=-all,trace+htmlhelp timeout 600 wine "$driver" "$(winepath -w "$book")" \
  "$(winepath -w "$out")" "$(winepath -w "$out/windows-window.png")" "$(winepath -w "$out/log.txt")" \
  2>"$out/wine.log" || status=$?
sed 's/^/    /' "$out/log.txt" 2>/dev/null || true
((status == 0)) || fail "the driver ended with status $status (its log: $out/log.txt)"
[ -s "$out/windows-window.png" ] || fail "no screenshot"
help=$(winepath -w "$(dirname "$driver")/Help.chm")
# Wine draws no help page here (no web engine): the call is what is checked,
# in hhctrl's trace or in the message naming the file when the call fails.
if ! grep -aF "HtmlHelpW" "$out/wine.log" | grep -qF "${help//\\/\\\\}" &&
  ! grep -qF "help: Vantrel Software: The help file $help could not be opened." "$out/log.txt"; then
  fail "Help > Contents... did not call HtmlHelpW on $help (see $out/wine.log)"
fi

# The window's files against the Linux build's (.pst item by item, as the stage compares them).
source scripts/pst-items.sh
for dir in "$linux"/*/; do
  verb=$(basename "$dir")
  [[ $verb == list* ]] && continue
  for file in "$dir"*; do
    [ -f "$file" ] && [[ $file != *.items* ]] || continue  # pst_items' own dumps
    if [[ $file == *.pst ]]; then
      other=$(find "$out/$verb" -maxdepth 1 -name '*.pst' 2>/dev/null | head -1)
      if [ -z "$other" ]; then
        fail "no .pst from the window for $verb"
      else
        cmp -s <(pst_items "$file") <(pst_items "$other") || fail "the window's .pst items differ: $verb"
      fi
    else
      cmp -s "$file" "$out/$verb/$(basename "$file")" || fail "the window's $verb differs: $(basename "$file")"
    fi
  done
done

if ((failures)); then
  echo "windows window: $failures failures" >&2
  exit 1
fi
echo "windows window: scans, shows, and saves every format as the Linux build does"
