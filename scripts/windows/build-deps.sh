#!/bin/sh
# Builds the libraries the Windows program links, from Debian's source packages, with
# Debian's MinGW-w64 compilers, into a cache outside the build tree. Each step leaves a
# stamp; a second run skips what is built. Usage: build-deps.sh [step ...]
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
CACHE=${GD_WINDOWS_CACHE:-$HOME/.cache/gaveldesk-windows}
PREFIX=$CACHE/prefix
SRC=$CACHE/src
WORK=$CACHE/work
STAMPS=$CACHE/stamps
JOBS=${JOBS:-$(nproc)}
HOST=x86_64-w64-mingw32
CC=$HOST-gcc-posix
CXX=$HOST-g++-posix
TOOLCHAIN=$ROOT/cmake/mingw-w64.cmake
export GD_WINDOWS_PREFIX=$PREFIX
# pkg-config sees only libraries for Windows, never this machine's.
export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig"
export PKG_CONFIG_SYSROOT_DIR=
mkdir -p "$PREFIX" "$SRC" "$WORK" "$STAMPS"

log() { printf '%s  %s\n' "$(date +%H:%M:%S)" "$*"; }

# The sources: apt-get source needs a deb-src entry, present only while fetching.
fetch() {
  # Again when the list names another version; only what changed is fetched.
  [ -f "$STAMPS/fetch" ] && [ "$STAMPS/fetch" -nt "$HERE/sources.txt" ] && return 0
  list=/etc/apt/sources.list.d/gaveldesk-windows-src.sources
  if [ "$(id -u)" -ne 0 ]; then
    echo "Die Quellpakete holt root: sudo $0 fetch" >&2
    exit 1
  fi
  # SQLCipher 4 comes from bookworm-backports, as on Debian 12 itself.
  cat /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list.d/bookworm-backports.sources 2>/dev/null |
    sed 's/^Types: deb$/Types: deb-src/' >"$list"
  trap 'rm -f "$list"; apt-get update -qq >/dev/null 2>&1 || true' EXIT
  apt-get update -qq
  cd "$SRC"
  grep -v '^#' "$HERE/sources.txt" | while read -r name version; do
    [ -z "$name" ] && continue
    [ -f "$SRC/$name.version" ] && [ "$(cat "$SRC/$name.version")" = "$version" ] && continue
    # The mirror may lack a Debian diff; the upstream tarball is then enough.
    if [ -n "$version" ]; then wanted="$name=$version"; else wanted=$name; fi
    apt-get source -qq --download-only "$wanted" >/dev/null 2>&1 || true
    orig=$(ls "${name}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | sort -V | tail -n 1 || true)
    if [ -z "$orig" ]; then
      echo "Quellpaket $wanted ist nicht zu bekommen." >&2
      exit 1
    fi
    dir=$SRC/$name
    rm -rf "$dir"
    # The Debian diff of the same upstream version only (an older one may lie beside it).
    upstream=${orig#"${name}"_}
    upstream=${upstream%%.orig.tar.*}
    dsc=$(ls "${name}_${upstream}"-*.dsc 2>/dev/null | sort -V | tail -n 1 || true)
    # With Debian's patches (security fixes among them) where the diff is there.
    if [ -z "$dsc" ] || ! dpkg-source -q -x "$dsc" "$dir" >/dev/null 2>&1; then
      rm -rf "$dir" && mkdir -p "$dir"
      tar -xf "$orig" -C "$dir" --strip-components=1
    fi
    echo "$version" >"$SRC/$name.version"
    log "Quelle $name: $orig"
  done
  rm -f "$list"
  trap - EXIT
  apt-get update -qq >/dev/null 2>&1 || true
  touch "$STAMPS/fetch"
}

done_() { [ -f "$STAMPS/$1" ]; }
mark() { touch "$STAMPS/$1"; log "fertig: $1"; }

cmake_lib() {  # name, source dir, extra cmake args...
  name=$1 src=$2
  shift 2
  cmake -S "$src" -B "$WORK/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_PREFIX_PATH="$PREFIX" "$@" >"$WORK/$name.configure.log"
  cmake --build "$WORK/$name" --parallel "$JOBS" ${GD_TARGET:+--target $GD_TARGET} >"$WORK/$name.build.log"
  if [ -n "${GD_COMPONENTS:-}" ]; then
    for c in $GD_COMPONENTS; do cmake --install "$WORK/$name" --component "$c" >>"$WORK/$name.install.log"; done
  else
    cmake --install "$WORK/$name" >"$WORK/$name.install.log"
  fi
}

openssl() {
  done_ openssl && return 0
  log "OpenSSL"
  rm -rf "$WORK/openssl" && cp -a "$SRC/openssl" "$WORK/openssl"
  cd "$WORK/openssl"
  ./Configure mingw64 shared no-tests --prefix="$PREFIX" --libdir=lib \
    CC=$CC AR=$HOST-ar RANLIB=$HOST-ranlib RC=$HOST-windres >"$WORK/openssl.configure.log"
  make -j"$JOBS" build_libs >"$WORK/openssl.build.log" 2>&1
  make install_dev >"$WORK/openssl.install.log"
  mark openssl
}

# SQLCipher as on Debian (the same flags, so a file moves between the systems): the
# amalgamation is made by its own tools on this machine, then compiled for Windows.
sqlcipher() {
  done_ sqlcipher4 && return 0
  log "SQLCipher 4"
  rm -rf "$WORK/sqlcipher" && cp -a "$SRC/sqlcipher" "$WORK/sqlcipher"
  cd "$WORK/sqlcipher"
  ./configure --disable-tcl >"$WORK/sqlcipher.configure.log" 2>&1
  make sqlite3.c >"$WORK/sqlcipher.build.log" 2>&1
  $CC -shared -O2 -fno-strict-aliasing -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA \
    -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SOUNDEX=1 -DSQLITE_ENABLE_UNLOCK_NOTIFY \
    -DSQLITE_OMIT_LOOKASIDE=1 -DSQLITE_ENABLE_UPDATE_DELETE_LIMIT=1 -DSQLITE_MAX_SCHEMA_RETRY=25 \
    -DSQLITE_HAS_CODEC -DSQLITE_THREADSAFE=1 -DSQLITE_TEMP_STORE=2 -DSQLITE_OS_WIN=1 \
    -I"$PREFIX/include" sqlite3.c -o libsqlcipher-0.dll \
    -Wl,--out-implib,libsqlcipher.dll.a -L"$PREFIX/lib" -lcrypto >>"$WORK/sqlcipher.build.log" 2>&1
  mkdir -p "$PREFIX/include/sqlcipher" "$PREFIX/lib/pkgconfig" "$PREFIX/bin"
  cp sqlite3.h sqlite3ext.h "$PREFIX/include/sqlcipher/"
  cp libsqlcipher-0.dll "$PREFIX/bin/"
  cp libsqlcipher.dll.a "$PREFIX/lib/"
  cat >"$PREFIX/lib/pkgconfig/sqlcipher.pc" <<EOF
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: SQLCipher
Description: SQL database engine
Version: $(cat VERSION)
Libs: -L\${libdir} -lsqlcipher
Cflags: -I\${includedir}/sqlcipher
EOF
  mark sqlcipher4
}

qrencode() {
  done_ qrencode && return 0
  log "libqrencode"
  cmake_lib qrencode "$SRC/qrencode" -DWITH_TOOLS=OFF -DBUILD_SHARED_LIBS=ON -DWITHOUT_PNG=ON
  mark qrencode
}

libjpeg() {
  done_ libjpeg && return 0
  log "libjpeg-turbo"
  cmake_lib libjpeg "$SRC/libjpeg-turbo" -DWITH_SIMD=OFF -DENABLE_STATIC=OFF -DWITH_TURBOJPEG=OFF
  mark libjpeg
}

libzip() {
  done_ libzip && return 0
  log "libzip"
  cmake_lib libzip "$SRC/libzip" -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF \
    -DBUILD_DOC=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF
  mark libzip
}

qpdf() {
  done_ qpdf && return 0
  log "qpdf"
  # qpdf names Windows' "Advapi32", which a case-sensitive disk knows as libadvapi32.a only;
  # otherwise every check of its configuration fails to link.
  sed -i 's/ Advapi32)/ advapi32)/' "$SRC/qpdf/CMakeLists.txt"
  # The library alone: its tools, and the "lib" part of its installation, want the MinGW
  # runtime copied beside them; the headers and pkg-config file are "dev".
  GD_TARGET=libqpdf GD_COMPONENTS=dev cmake_lib qpdf "$SRC/qpdf" -DBUILD_STATIC_LIBS=OFF -DREQUIRE_CRYPTO_NATIVE=ON -DUSE_IMPLICIT_CRYPTO=OFF \
    -DBUILD_DOC=OFF -DINSTALL_EXAMPLES=OFF -DINSTALL_MANUAL=OFF
  # Its install rule knows Unix' shared libraries only: the DLL and its import library by hand.
  cp "$WORK/qpdf/libqpdf/"qpdf*.dll "$PREFIX/bin/"
  cp "$WORK/qpdf/libqpdf/libqpdf.a" "$PREFIX/lib/libqpdf.dll.a"
  mark qpdf
}

# libpq alone, for a seat of a team's server: PostgreSQL's own build for MinGW, against the
# OpenSSL above (certificates are checked as on Linux); no server, no tools.
libpq() {
  done_ libpq && return 0
  log "libpq"
  rm -rf "$WORK/postgresql" && cp -a "$SRC/postgresql-15" "$WORK/postgresql"
  cd "$WORK/postgresql"
  ./configure --host=$HOST --prefix="$PREFIX" --with-ssl=openssl --without-readline --without-zlib \
    --without-icu CC=$CC CPPFLAGS="-I$PREFIX/include" LDFLAGS="-L$PREFIX/lib" >"$WORK/libpq.configure.log" 2>&1
  # The headers the build generates (error codes and the like) first: libpq's helpers include them.
  make -C src/backend generated-headers >"$WORK/libpq.build.log" 2>&1
  make -C src/interfaces/libpq -j"$JOBS" >>"$WORK/libpq.build.log" 2>&1
  make -C src/interfaces/libpq install >"$WORK/libpq.install.log" 2>&1
  cp src/include/postgres_ext.h src/include/pg_config_ext.h "$PREFIX/include/"
  mark libpq
}

# Qt's base with Debian's own Qt 6.4.2 tools as host tools. Debian's +dfsg source lacks
# wintab, iaccessible2 and sqlite: no tablet events, no QtSql (the program uses neither).
qtbase() {
  done_ qtbase && return 0
  log "Qt 6.4.2 qtbase (etwa 40 Minuten)"
  rm -rf "$WORK/qtbase" && mkdir -p "$WORK/qtbase"
  cd "$WORK/qtbase"
  "$SRC/qt6-base/configure" -prefix "$PREFIX" -release -qt-host-path /usr -xplatform win32-g++ \
    -nomake tests -nomake examples -no-opengl -openssl-runtime -schannel -no-dbus -no-icu \
    -no-pkg-config -no-zstd -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
    -qt-doubleconversion -no-feature-sql -no-feature-testlib -no-feature-xml -no-feature-tabletevent \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DOPENSSL_ROOT_DIR="$PREFIX" >"$WORK/qtbase.configure.log" 2>&1
  nice cmake --build . --parallel "$JOBS" >"$WORK/qtbase.build.log" 2>&1
  cmake --install . >"$WORK/qtbase.install.log" 2>&1
  mark qtbase
}

steps=${*:-fetch openssl sqlcipher qrencode libjpeg libzip qpdf libpq qtbase}
for s in $steps; do
  $s
done
log "Bibliotheken für Windows in $PREFIX"
