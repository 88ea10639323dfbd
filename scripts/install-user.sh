#!/usr/bin/env bash
# Installs the built program for the current user alone: no root, nothing outside the home folder.
# The program and its libraries go under ~/.local (bin/, lib/), the desktop entry and the icon into the
# user's XDG data folder, where file managers and menus look for them.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
PREFIX=${PREFIX:-$HOME/.local}
DATA=${XDG_DATA_HOME:-$HOME/.local/share}

[ -x "$BUILD/bin/vellumark" ] || { echo "install: build first (make build)"; exit 1; }
install -Dm755 "$BUILD/bin/vellumark" "$PREFIX/bin/vellumark"
install -Dm644 "$BUILD/lib/libvmk_platform.so" "$PREFIX/lib/libvmk_platform.so"
if [ -f "$BUILD/lib/vellumark/libpdfium.so" ]; then
  install -Dm644 "$BUILD/lib/vellumark/libpdfium.so" "$PREFIX/lib/vellumark/libpdfium.so"
fi
install -Dm644 resources/vellumark.svg "$DATA/icons/hicolor/scalable/apps/vellumark.svg"

# The entry names the program by its full path: a desktop session's PATH often lacks ~/.local/bin.
entry="$DATA/applications/vellumark.desktop"
mkdir -p "$DATA/applications"
exec_path=${PREFIX//\\/\\\\}/bin/vellumark
sed "s|^Exec=vellumark |Exec=\"${exec_path//|/\\|}\" |" resources/vellumark.desktop > "$entry.tmp"
chmod 644 "$entry.tmp"
mv "$entry.tmp" "$entry"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry"
fi
# Caches that let the desktop offer the program for PDF files at once; harmless where absent.
command -v update-desktop-database >/dev/null && update-desktop-database -q "$DATA/applications" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$DATA/icons/hicolor" 2>/dev/null || true
echo "installed: $PREFIX/bin/vellumark, $entry"
