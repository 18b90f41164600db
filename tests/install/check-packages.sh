#!/bin/sh
# SPDX-License-Identifier: MIT
# check-packages.sh - what the Debian packages of one architecture hold,
# unpacked into scratch roots:
#   - the library has no RPATH or RUNPATH, and every ELF object is hardened
#     as Debian's are (hardening-check);
#   - a product with its own OS layer and host runtime installs only the
#     library and development packages, and builds hosts with find_package
#     and with pkg-config (the stand-ins' files play the product's here);
#   - with the stand-ins' packages too, hosts build and run on them, and
#     qvini runs, with no search path from the environment;
#   - pkg-config leaves out the system's directories, and the stand-ins'
#     search path is their installed directory;
#   - the manual pages are where man looks.
# The scratch roots stand in for / through pkg-config's sysroot.  An i386
# host is configured with the toolchain file the package installs.
#
#   check-packages.sh DEB_DIR WORK_DIR MULTIARCH C_COMPILER CXX_COMPILER SAMPLE_INI
set -eu
debs=$1 work=$2 multiarch=$3 cc=$4 cxx=$5 sample=$6
here=$(cd "$(dirname "$0")" && pwd)
product=$work/root-product all=$work/root-all
lib=usr/lib/$multiarch

rm -rf "$work"
mkdir -p "$work"
for deb in "$debs"/*.deb; do
    dpkg -x "$deb" "$all"
    case $deb in */libqv-utility-t2_* | */libqv-utility-dev_*) dpkg -x "$deb" "$product" ;; esac
done

# Debian's libraries carry no search path of their own.
readelf -d "$product/$lib/libqv-utility_t.so.2" | grep -E 'R(UN)?PATH' && exit 1

# As Debian 12 hardens (it leaves out -fcf-protection).  The stand-in OS
# layer has no frame that holds a buffer, so nothing for the stack protector.
find "$all/usr/bin" "$all/$lib" -type f \( -name '*.so*' -o -path '*/bin/*' \) ! -name libqv-os_t.so \
    -exec hardening-check --quiet --nocfprotection {} +
hardening-check --quiet --nocfprotection --nostackprotector "$all/$lib/qv-platform/libqv-os_t.so"

arch=""
set -- -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx"
if [ "$multiarch" = i386-linux-gnu ]; then
    arch=-m32
    set -- "$@" -DCMAKE_TOOLCHAIN_FILE="$product/usr/share/qv-utility/i386.cmake"
fi

# build_and_run NAME ROOT CMAKE_ARGS...: the scratch host project against ROOT.
build_and_run() {
    name=$1 root=$2
    shift 2
    cmake -S "$here/consumer" -B "$work/host-$name" -DCMAKE_PREFIX_PATH="$root/usr" "$@" >"$work/$name.log"
    cmake --build "$work/host-$name" >>"$work/$name.log"
    "$work/host-$name/consumer_c"
    "$work/host-$name/consumer_cxx"
}

# The product's own OS layer and runtime, found through its environment.
own=$all/$lib/qv-platform
export LD_LIBRARY_PATH="$product/$lib:$own" PKG_CONFIG_PATH="$product/$lib/pkgconfig"
build_and_run product "$product" "$@" -DQV_PRODUCT_LIBS="$own/libqv_host_runtime.so;$own/libqv-os_t.so"
# shellcheck disable=SC2046 # the flags are words by design
"$cc" $arch -std=c99 -Wall -Werror -o "$work/pc_c" "$here/consumer/consumer.c" \
    $(PKG_CONFIG_SYSROOT_DIR=$product pkg-config --cflags --libs qv-utility) \
    -L"$own" -lqv_host_runtime -Wl,-rpath-link,"$own"
"$work/pc_c"
unset LD_LIBRARY_PATH

# On the stand-ins: their RPATH finds them, the loader's path the library.
build_and_run standins "$all" "$@"
export PKG_CONFIG_PATH="$all/$lib/pkgconfig"
[ "$(pkg-config --cflags --libs qv-utility qv-platform)" = "-I/usr/include/qv-platform -lqv-utility_t \
-L/$lib/qv-platform -Wl,--disable-new-dtags,-rpath,/$lib/qv-platform -lqv_host_runtime " ]
# shellcheck disable=SC2046
"$cxx" $arch -std=c++17 -Wall -Werror -o "$work/pc_cxx" -x c++ "$here/consumer/consumer.c" \
    $(PKG_CONFIG_SYSROOT_DIR=$all pkg-config --cflags --libs qv-utility qv-platform)
LD_LIBRARY_PATH=$all/$lib "$work/pc_cxx"
[ "$("$all/usr/bin/qvini" get "$sample" display MODE)" = fast ]

export MANPATH=$all/usr/share/man
man 3 QvGetIniValue | grep -q 'QvGetIniValue (const char'
man qvini | grep -q 'qvini check'
echo "packages for $multiarch: hardened; hosts built with find_package and pkg-config, with and without the stand-ins"
