#!/bin/sh
# SPDX-License-Identifier: MIT
# check_entry_points.sh - the library's DT_INIT and DT_FINI are its
# registration functions.  The loader runs DT_INIT before the object's
# .init_array and DT_FINI after its .fini_array, so this is what puts the
# load call before every static constructor and the unload call after every
# static destructor; a linker option lost from the build would otherwise
# leave the toolchain's own _init there, and the runtime never called.
#
# usage: check_entry_points.sh LIBRARY
set -u
library=$1

# "0x0000000c (INIT)  0x1860" -> 0x1860; nm prints the same address bare.
entry() { readelf -d "$library" | sed -n "s/.*($1) *\(0x[0-9a-f]*\).*/\1/p"; }
symbol() { nm "$library" | sed -n "s/^\([0-9a-f]*\) t $1\$/0x\1/p"; }

failures=0
for pair in INIT:RegisterLibrary FINI:UnregisterLibrary; do
    tag=${pair%%:*} function=${pair#*:}
    at=$(entry "$tag") want=$(symbol "$function")
    if [ -z "$at" ] || [ -z "$want" ]; then
        echo "FAIL: DT_$tag (${at:-none}) or $function (${want:-no symbol}) not found"
        failures=$((failures + 1))
    elif [ $((at)) -ne $((want)) ]; then
        echo "FAIL: DT_$tag is $at, $function is at $want"
        failures=$((failures + 1))
    else
        echo "DT_$tag = $function ($at)"
    fi
done
exit "$failures"
