#!/usr/bin/env bash
# Builds the Debian package of Addrivo with CPack and checks it with lintian.
#   scripts/package.sh      writes build/package/addrivo_<version>-1_<arch>.deb
#   scripts/package.sh --windows
#                           writes build/package/addrivo-<version>-windows-x64.zip (the
#                           programs, Help.chm, the README and the licence) and beside it
#                           the installer build/package/addrivo-setup-<version>-x64.exe
# Install it with: sudo apt install ./build/package/addrivo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [ "${1:-}" = "--windows" ]; then
  source scripts/steps.sh
  steps_prefix=package
  quiet_step windows-configure cmake --preset windows
  windows_targets=(addrivo-convert)
  # The window, where this checkout builds it.
  if cmake --build --preset windows --target help 2>/dev/null | grep -q '^addrivo:'; then
    windows_targets+=(addrivo)
  fi
  quiet_step windows-build cmake --build --preset windows -j "$(nproc)" --target "${windows_targets[@]}"
  # The help file is compiled on this machine (the Windows build has no compiler for it).
  quiet_step configure-default cmake --preset default
  quiet_step help-file cmake --build --preset default -j "$(nproc)" --target addrivo_help_file
  version=$(sed -n 's/^project(Addrivo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  out=$PWD/build/package
  stage=$out/windows
  rm -rf "$stage"
  mkdir -p "$stage"
  files=(addrivo-convert.exe Help.chm README.txt LICENSE.txt)
  cp build/windows/bin/addrivo-convert.exe build/default/bin/Help.chm "$stage/"
  if [ -f build/windows/bin/addrivo.exe ] && [[ " ${windows_targets[*]} " == *" addrivo "* ]]; then
    cp build/windows/bin/addrivo.exe "$stage/"
    files=(addrivo.exe "${files[@]}")
  fi
  # Windows' own editors want CR LF.
  sed 's/$/\r/' packaging/windows-README.txt >"$stage/README.txt"
  sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
  zip=$out/addrivo-$version-windows-x64.zip
  rm -f "$zip" "$out"/addrivo-convert-*-windows-x64.zip
  quiet_step windows-zip bash -c 'cd "$1" && shift && python3 -m zipfile -c "$@"' _ "$stage" "$zip" "${files[@]}"
  quiet_step windows-zip-check python3 -m zipfile -t "$zip"
  # The installer. makensis warns (9000) about "setup" in the name, for
  # Windows' installer detection, which is what an installer wants anyway.
  setup=$out/addrivo-setup-$version-x64.exe
  cp packaging/windows/addrivo.ico "$stage/"
  rm -f "$setup"
  quiet_step windows-installer makensis -V2 -WX -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" \
    packaging/windows/addrivo.nsi
  rm -rf "$stage"
  echo "package: $zip"
  echo "package: $setup"
  exit 0
fi
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target \
  addrivo addrivo-convert addrivo_help_file addrivo_icon_files addrivo_manpages addrivo_changelog
out=$PWD/build/package
rm -rf "$out"
mkdir -p "$out"
(cd build/default && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/addrivo_*.deb)
lintian --fail-on error "$deb"
echo "package: $deb"
echo "install: sudo apt install $deb"
