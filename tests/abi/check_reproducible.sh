#!/bin/sh
# SPDX-License-Identifier: MIT
# check_reproducible.sh - builds the library a second time from the same
# source, in another directory and with the same SOURCE_DATE_EPOCH, and
# compares the installed object of both builds byte for byte: no date, time
# or path may leak into it.
#
# usage: check_reproducible.sh SOURCE_DIR BUILD_DIR WORK_DIR EPOCH BUILD_TYPE
#                              C_COMPILER CXX_COMPILER [TOOLCHAIN_FILE]
set -eu
src=$1 build=$2 work=$3 epoch=$4 type=$5 cc=$6 cxx=$7 toolchain=${8:-}

rm -rf "$work"
set -- -DCMAKE_BUILD_TYPE="$type" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DQV_BUILD_TESTS=OFF -DQV_BUILD_DOCS=OFF
[ -n "$toolchain" ] && set -- "$@" -DCMAKE_TOOLCHAIN_FILE="$toolchain"
if ! { SOURCE_DATE_EPOCH=$epoch cmake -S "$src" -B "$work/build" "$@" &&
       cmake --build "$work/build" --target qv-utility_t -j2; } >"$work.log" 2>&1; then
    tail -n 30 "$work.log"
    exit 1
fi
cmake --install "$build" --component library --prefix "$work/first" >/dev/null
cmake --install "$work/build" --component library --prefix "$work/second" >/dev/null
first=$(find "$work/first" -name 'libqv-utility_t.so.*' -type f)
second=$(find "$work/second" -name 'libqv-utility_t.so.*' -type f)
if ! cmp "$first" "$second"; then
    echo "two builds of one tree differ; the second is in $work/build"
    exit 1
fi
echo "reproducible: $(basename "$first"), $(wc -c <"$first") bytes"
