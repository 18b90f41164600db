#!/bin/sh
# Installs the build tree into a scratch prefix, then builds and runs a host
# against it twice: as a CMake project through find_package, and by hand
# through pkg-config.  The host sees only what was installed.
#
#   check-consumer.sh BUILD_DIR WORK_DIR C_COMPILER CXX_COMPILER [TOOLCHAIN_FILE] [ARCH_FLAG]
set -eu
build=$1 work=$2 cc=$3 cxx=$4 toolchain=${5:-} arch=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$work/prefix

rm -rf "$work"
cmake --install "$build" --prefix "$prefix" >/dev/null

set -- -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx"
[ -n "$toolchain" ] && set -- "$@" -DCMAKE_TOOLCHAIN_FILE="$toolchain"
cmake -S "$here/consumer" -B "$work/cmake" "$@"
cmake --build "$work/cmake"
"$work/cmake/consumer_c"
"$work/cmake/consumer_cxx"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
flags=$(pkg-config --cflags --libs qv-utility qv-platform)
# shellcheck disable=SC2086 # the flags are words by design
"$cc" $arch -std=c99 -Wall -Werror -o "$work/pc_c" "$here/consumer/consumer.c" $flags
# shellcheck disable=SC2086
"$cxx" $arch -std=c++17 -Wall -Werror -o "$work/pc_cxx" "$here/consumer/consumer.cpp" $flags
"$work/pc_c"
"$work/pc_cxx"
