#!/usr/bin/env bash
# Cross-builds bsdtar.exe (what Windows ships as tar.exe) from the libarchive source the stub
# uses, static, into the bench cache, for bench/run to compare the stub with under the same Wine.
# Uses the MinGW libraries of scripts/build-deps (zlib, bzip2, liblzma, zstd) and never touches
# the product's prefix. Usage: bench/build_bsdtar_exe.sh OUTPUT_EXE [i686|x86_64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$1
arch=${2:-i686}
[ -x "$out" ] && exit 0
"$root/scripts/build-deps" "$arch"
sources=${QUILLET_SOURCES:-$HOME/.cache/quillet/sources}
deps=${QUILLET_DEPS_PREFIX:-$HOME/.cache/quillet/mingw-$arch}
la=$(ls -d "$sources"/libarchive/*/ | head -n 1)
work=$(dirname "$out")/bsdtar-build
host=$arch-w64-mingw32
rm -rf "$work"
mkdir -p "$work/shim"
echo '#include <bcrypt.h>' >"$work/shim/Bcrypt.h"
ln -s "/usr/$host/lib/libbcrypt.a" "$work/shim/libBcrypt.a"
export PKG_CONFIG_LIBDIR=$work/none PKG_CONFIG_PATH=
cmake -S "$la" -B "$work/build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DCMAKE_C_FLAGS="-I$work/shim" -DCMAKE_EXE_LINKER_FLAGS="-static -L$work/shim" \
  -DWINDOWS_VERSION=WIN7 -DENABLE_WERROR=OFF -DENABLE_INSTALL=OFF -DENABLE_TEST=OFF \
  -DENABLE_TAR=ON -DENABLE_TAR_SHARED=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF \
  -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=ON \
  -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF -DPOSIX_REGEX_LIB=NONE \
  -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_XATTR=OFF -DENABLE_ACL=OFF \
  -DENABLE_ICONV=OFF -DENABLE_ZLIB=ON -DENABLE_BZip2=ON -DENABLE_LZMA=ON -DENABLE_ZSTD=ON \
  -DZLIB_LIBRARY="$deps/lib/libz.a" -DZLIB_INCLUDE_DIR="$deps/include" -DZLIB_WINAPI=0 \
  -DZLIB_WINAPI_WITH_LIB="$deps/lib/libz.a" \
  -DBZIP2_LIBRARY_RELEASE="$deps/lib/libbz2.a" -DBZIP2_INCLUDE_DIR="$deps/include" \
  -DLIBLZMA_LIBRARY="$deps/lib/liblzma.a" -DLIBLZMA_INCLUDE_DIR="$deps/include" \
  -DZSTD_LIBRARY="$deps/lib/libzstd.a" -DZSTD_INCLUDE_DIR="$deps/include" >"$work/configure.log" 2>&1 \
  || { tail -n 40 "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" --target bsdtar -j 2 >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
cp "$work/build/bin/bsdtar.exe" "$out"
rm -rf "$work"
