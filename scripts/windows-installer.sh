#!/usr/bin/env bash
# The Windows installer under Wine, from scripts/windows-stage.sh (Wine's
# prefix and server already up): a silent install, what it leaves (the
# files, the Start menu entry, the .wab file type beside the user's own
# choice, the entry among the installed programs), the installed converter
# writing the same bytes as the Linux build, then a silent uninstall that
# removes all of it and nothing else.
#   scripts/windows-installer.sh SETUP.exe BOOK.wab LINUX_XLSX
set -euo pipefail
setup=$1 book=$2 linux_xlsx=$3
failures=0
fail() {
  echo "windows installer: $*" >&2
  failures=$((failures + 1))
}
reg_value() {  # KEY NAME: the value's data, or nothing
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
reg_default() {  # KEY
  wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_[A-Z_]* *//p'
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }
classes='HKCU\Software\Classes'
uninst='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Addrivo'

localappdata=$(wine cmd /c 'echo %LOCALAPPDATA%' </dev/null | tr -d '\r')
appdata=$(wine cmd /c 'echo %APPDATA%' </dev/null | tr -d '\r')
dir=$(winepath -u "$localappdata\\Programs\\Addrivo")
shortcut=$(winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Addrivo.lnk")
# A program the user chose for .wab, and a file of the user's in the folder-to-be's parent.
wine reg add "$classes\\.wab" /ve /d Other.WabViewer /f >/dev/null
rm -rf "$dir"

wine "$setup" /S </dev/null || fail "the silent install ended with status $?"
for f in addrivo-convert.exe Help.chm README.txt LICENSE.txt uninstall.exe; do
  [ -f "$dir/$f" ] || fail "not installed: $f"
done
window=0
[ -f "$dir/addrivo.exe" ] && window=1
[ -f "$shortcut" ] || fail "no Start menu entry at $shortcut"
[ "$(reg_value "$uninst" DisplayName)" = "Vantrel Addrivo" ] || fail "DisplayName: $(reg_value "$uninst" DisplayName)"
[ "$(reg_value "$uninst" Publisher)" = "Vantrel Software" ] || fail "Publisher: $(reg_value "$uninst" Publisher)"
version=$(sed -n 's/^project(Addrivo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(reg_value "$uninst" DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(reg_value "$uninst" DisplayVersion)"
for v in UninstallString DisplayIcon EstimatedSize; do
  [ -n "$(reg_value "$uninst" "$v")" ] || fail "no $v in the installed programs' entry"
done
[[ $(reg_value "$uninst" UninstallString) == *'\Programs\Addrivo\uninstall.exe"' ]] ||
  fail "UninstallString: $(reg_value "$uninst" UninstallString)"
if ((window)); then
  [ "$(reg_default "$classes\\Vantrel.Addrivo.wab\\shell\\open")" = "Open with Addrivo" ] || fail "no \"Open with Addrivo\""
  [[ $(reg_default "$classes\\Vantrel.Addrivo.wab\\shell\\open\\command") == *'addrivo.exe" "%1"' ]] ||
    fail "open command: $(reg_default "$classes\\Vantrel.Addrivo.wab\\shell\\open\\command")"
  [[ $(reg_default "$classes\\Vantrel.Addrivo.wab\\DefaultIcon") == *'addrivo.exe",0' ]] || fail "no icon for the file type"
  wine reg query "$classes\\.wab\\OpenWithProgids" 2>/dev/null | grep -q Vantrel.Addrivo.wab ||
    fail "not among .wab's Open with programs"
fi
[ "$(reg_default "$classes\\.wab")" = "Other.WabViewer" ] || fail "the user's program for .wab was replaced"

# The installed converter, from its installed place.
out=$(mktemp -d)
wine "$dir/addrivo-convert.exe" xlsx "$book" "$out" >"$out.log" 2>&1 || fail "the installed converter: $(cat "$out.log")"
cmp -s "$out/$(basename "${book%.*}").xlsx" "$linux_xlsx" || fail "the installed converter's .xlsx differs from Linux's"
rm -rf "$out" "$out.log"

# The uninstaller copies itself away and returns at once: wait for it.
touch "$(dirname "$dir")/mine.txt"
wine "$dir/uninstall.exe" /S </dev/null || fail "the silent uninstall ended with status $?"
for _ in $(seq 60); do
  [ -e "$dir" ] || break
  sleep 1
done
[ ! -e "$dir" ] || fail "left behind: $(find "$dir" | tr '\n' ' ')"
[ -f "$(dirname "$dir")/mine.txt" ] || fail "the uninstaller removed a file it did not install"
rm -f "$(dirname "$dir")/mine.txt"
[ ! -e "$shortcut" ] || fail "the Start menu entry stayed"
has_key "$uninst" && fail "the installed programs' entry stayed"
has_key "$classes\\Vantrel.Addrivo.wab" && fail "the file type's ProgID stayed"
has_key 'HKCU\Software\Vantrel' && fail "HKCU\\Software\\Vantrel stayed"
[ "$(reg_default "$classes\\.wab")" = "Other.WabViewer" ] || fail "the user's program for .wab is gone"
wine reg query "$classes\\.wab\\OpenWithProgids" 2>/dev/null | grep -q Vantrel.Addrivo.wab && fail "still an Open with program"
wine reg delete "$classes\\.wab" /f >/dev/null 2>&1 || true

# Where no program had .wab, Addrivo takes the default, and the uninstaller gives it back.
if ((window)); then
  wine "$setup" /S </dev/null || fail "the second silent install ended with status $?"
  [ "$(reg_default "$classes\\.wab")" = "Vantrel.Addrivo.wab" ] || fail "no default for .wab where none was"
  wine "$dir/uninstall.exe" /S </dev/null || fail "the second silent uninstall ended with status $?"
  for _ in $(seq 60); do
    [ -e "$dir" ] || break
    sleep 1
  done
  has_key "$classes\\.wab" && fail ".wab still names Addrivo after the uninstall"
fi

if ((failures)); then
  echo "windows installer: $failures failures" >&2
  exit 1
fi
echo "windows installer: installs silently, registers, runs and uninstalls cleanly"
