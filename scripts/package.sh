#!/usr/bin/env bash
# Builds the Debian package of Addrivo with CPack and checks it with lintian.
#   scripts/package.sh      writes build/package/addrivo_<version>-1_<arch>.deb
#   scripts/package.sh --windows
#                           writes build/package/addrivo-convert-<version>-windows-x64.zip:
#                           addrivo-convert.exe, its README and the licence
# Install it with: sudo apt install ./build/package/addrivo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [ "${1:-}" = "--windows" ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$(nproc)" --target addrivo-convert
  version=$(sed -n 's/^project(Addrivo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  out=$PWD/build/package
  stage=$out/windows
  rm -rf "$stage"
  mkdir -p "$stage"
  cp build/windows/bin/addrivo-convert.exe "$stage/"
  # Windows' own editors want CR LF.
  sed 's/$/\r/' packaging/windows-README.txt >"$stage/README.txt"
  sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
  zip=$out/addrivo-convert-$version-windows-x64.zip
  rm -f "$zip"
  (cd "$stage" && python3 -m zipfile -c "$zip" addrivo-convert.exe README.txt LICENSE.txt)
  rm -rf "$stage"
  python3 -m zipfile -t "$zip" >/dev/null
  echo "package: $zip"
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
