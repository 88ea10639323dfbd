#!/usr/bin/env bash
# Installs what building, running and testing need, and nothing when it is all there already.
# Third-party binaries come from the npm registry, pinned by version and checked by sha256:
# a mismatch is refused, and the build then goes on without them.
set -euo pipefail
cd "$(dirname "$0")/.."

APT_PACKAGES=(
  build-essential cmake ninja-build pkg-config git ca-certificates nodejs npm
  qt6-base-dev qt6-svg-dev libqt6svg6
  libmupdf-dev libmujs-dev libgumbo-dev libharfbuzz-dev libfreetype-dev libjbig2dec0-dev
  libjpeg-dev libopenjp2-7-dev zlib1g-dev libfontconfig-dev
  libtesseract-dev tesseract-ocr-eng tesseract-ocr-osd
  tesseract-ocr tesseract-ocr-deu tesseract-ocr-fra tesseract-ocr-spa tesseract-ocr-ita tesseract-ocr-por tesseract-ocr-nld
  fonts-dejavu-core fonts-liberation2 fonts-urw-base35
  fonts-dancingscript fonts-kaushanscript fonts-kristi
  libgtest-dev libbenchmark-dev
  poppler-utils qpdf mupdf-tools ghostscript xvfb xauth xdotool openbox x11-utils imagemagick desktop-file-utils python3
)

missing=()
for p in "${APT_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# node and npm may come from elsewhere than Debian: only ask apt when the commands are absent.
if command -v node >/dev/null && command -v npm >/dev/null; then
  kept=(); for p in "${missing[@]}"; do [[ $p == nodejs || $p == npm ]] || kept+=("$p"); done; missing=("${kept[@]+"${kept[@]}"}")
fi
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

CACHE=.cache/third_party
mkdir -p "$CACHE"

# fetch NAME VERSION TARBALL_SHA256: leaves the unpacked package in $CACHE/NAME-VERSION, or fails quietly.
fetch_npm() {
  local name=$1 version=$2 sum=$3 dir="$CACHE/$(basename "$1")-$2"
  [ -f "$dir/.verified" ] && return 0
  command -v npm >/dev/null || { echo "setup: npm missing, skipping $name"; return 1; }
  local tmp; tmp=$(mktemp -d)
  if ! (cd "$tmp" && npm pack --silent "$name@$version" >/dev/null 2>&1); then
    echo "setup: could not fetch $name@$version"; rm -rf "$tmp"; return 1
  fi
  local tgz; tgz=$(ls "$tmp"/*.tgz)
  if [ "$(sha256sum "$tgz" | cut -d' ' -f1)" != "$sum" ]; then
    echo "setup: $name@$version does not match its checksum; refused"; rm -rf "$tmp"; return 1
  fi
  rm -rf "$dir"; mkdir -p "$dir"; tar xzf "$tgz" -C "$dir"; rm -rf "$tmp"
  touch "$dir/.verified"
}

PDFIUM_SO_SHA256=246872bdd5e05843b70051e6378216cc584535a1f4a7248b9f88059715d70f7c
if fetch_npm @craftlions/pdfium-rs-linux-x64-gnu 0.0.15 26f5a8fa8c4a67d3ac1329e30b88ff597f55f13b4fe654744c8f3b27017cb091; then
  so="$CACHE/pdfium-rs-linux-x64-gnu-0.0.15/package/libpdfium.so"
  if [ "$(sha256sum "$so" | cut -d' ' -f1)" = "$PDFIUM_SO_SHA256" ]; then
    cp -u "$so" "$CACHE/libpdfium.so"
  else
    echo "setup: libpdfium.so does not match its checksum; refused"; rm -f "$CACHE/libpdfium.so"
  fi
fi

fetch_npm lucide-static 1.87.0 6f3b4261f3471489ad24d24e742cae04c0f1826ff1e7542fc6845f76f9d57c35 || true
exit 0
