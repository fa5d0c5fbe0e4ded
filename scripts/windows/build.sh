#!/bin/sh
# make windows: the libraries for Windows (built once into the cache), then the program
# linked against them, then its portable ZIP and its installer in build/windows-package.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
CACHE=${GD_WINDOWS_CACHE:-$HOME/.cache/gaveldesk-windows}
PREFIX=$CACHE/prefix
JOBS=${JOBS:-$(nproc)}
BUILD=$ROOT/build/windows
OUT=$ROOT/build/windows-package
started=$(date +%s)

sh "$HERE/build-deps.sh"

export GD_WINDOWS_PREFIX="$PREFIX"
# Only the Windows libraries' descriptions, never this machine's.
export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig"
export PKG_CONFIG_SYSROOT_DIR=
"$PREFIX/bin/qt-cmake" -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGD_TESTS=OFF \
  -DGD_WINDOWS_PREFIX="$PREFIX" -DOPENSSL_ROOT_DIR="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" >/dev/null
cmake --build "$BUILD" --parallel "$JOBS"
rm -rf "$OUT"
(cd "$BUILD" && cpack -B "$OUT" >/dev/null)
rm -rf "$OUT/_CPack_Packages"
for exe in "$OUT"/gaveldesk-*-win64.exe; do mv "$exe" "${exe%-win64.exe}-setup.exe"; done
ls -l "$OUT"
echo "Windows-Build fertig in $(( $(date +%s) - started )) s: $OUT"
