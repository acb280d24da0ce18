#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Addrivo needs.
# Idempotent: installs only what is missing, so a second run costs a few seconds.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev llvm
  # the program
  qt6-base-dev libgl-dev libchm-dev fp-utils zlib1g-dev libdeflate-dev libuchardet-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-xlrd gnumeric python3-vobject python3-openpyxl abook
  pff-tools libpff-dev libbfio-dev pst-utils libchm-bin
  libxlsxwriter-dev
  # Node.js runs the test-only npm readers: pst-extractor (a java-libpst port) for the
  # .pst exports, SheetJS for the .xlsx; its npm is installed below where it lacks one
  nodejs
  # the CardDAV upload (libcurl, libxml2) and the servers its tests start
  libcurl4-openssl-dev libxml2-dev openssl radicale xandikos
  xvfb xauth locales
  # installing and packaging: icons, validators of the desktop files, the .deb
  qt6-svg-dev desktop-file-utils appstream libxml2-utils shared-mime-info libglib2.0-bin
  libgdk-pixbuf2.0-bin librsvg2-common
  man-db dpkg-dev lintian curl ca-certificates
  # the Windows build, tested under Wine (GoogleTest's sources are built again for it)
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64 wine
  # the Windows installer, and Japanese names in the window under Wine
  nsis fonts-noto-cjk
  # slow checks only
  libreoffice-calc-nogui
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A Node.js from another origin (nodesource's) brings its own npm and refuses
# Debian's; Debian's Node.js needs the npm package beside it.
if ! command -v npm >/dev/null; then
  echo "setup: installing npm" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm
fi

# Locales the code page tests run under.
need_locales=()
for l in en_US.UTF-8 ru_RU.UTF-8 ja_JP.UTF-8 de_DE.UTF-8; do
  locale -a 2>/dev/null | grep -qi "^${l/UTF-8/utf8}$" || need_locales+=("$l")
done
if ((${#need_locales[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  for l in "${need_locales[@]}"; do
    grep -q "^# *$l UTF-8" /etc/locale.gen && "${sudo_cmd[@]}" sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# SheetJS (npm "xlsx"), a reader of the .xlsx export, into the build folder:
# never into the system.
npm_dir=$(cd "$(dirname "$0")/.." && pwd)/build/npm
if [ ! -f "$npm_dir/node_modules/xlsx/package.json" ]; then
  if ! command -v npm >/dev/null; then
    echo "setup: npm is missing (install Debian's npm package): SheetJS cannot be installed" >&2
    exit 1
  fi
  mkdir -p "$npm_dir"
  if ! npm install --prefix "$npm_dir" --no-audit --no-fund --loglevel=error xlsx@0.18.5 >"$npm_dir/install.log" 2>&1; then
    echo "setup: npm could not install SheetJS (xlsx) into $npm_dir:" >&2
    cat "$npm_dir/install.log" >&2
    exit 1
  fi
fi
