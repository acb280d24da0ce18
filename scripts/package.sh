#!/usr/bin/env bash
# Builds the Debian package of Addrivo with CPack and checks it with lintian.
#   scripts/package.sh      writes build/package/addrivo_<version>-1_<arch>.deb
# Install it with: sudo apt install ./build/package/addrivo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
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
