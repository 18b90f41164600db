#!/bin/sh
# SPDX-License-Identifier: MIT
# check_abi.sh - the shape of the built libqv-utility_t.so.2, as a host's
# loader sees it: soname, binding flags, dependencies, and
# the what(1) identification strings: one per module and one naming the
# library and its version.  (The package build holds the exported names to
# the symbols file, debian/libqv-utility-t2.symbols.)
#
# usage: check_abi.sh LIBRARY SOURCES INSTRUMENTED
#   SOURCES       the library's source files, one a line (from the build)
#   INSTRUMENTED  1 for sanitizer builds, whose runtimes join the dependencies
set -u
library=$1 sources=$2 instrumented=$3
failures=0
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

readelf -d "$library" >"$work/dynamic" || exit 1

# Soname, binding flags and the loader's init/fini entries, which carry the
# registration with the host runtime.
grep -q '(SONAME).*\[libqv-utility_t\.so\.2\]' "$work/dynamic" ||
    fail "soname is not libqv-utility_t.so.2"
flags=$(sed -n 's/.*(FLAGS) *//p' "$work/dynamic")
for flag in BIND_NOW SYMBOLIC; do
    case " $flags " in
    *" $flag "*) ;;
    *) fail "FLAGS lacks $flag (has: $flags)" ;;
    esac
done

# Dependencies: the C library and the OS layer, nothing of the C++ or gcc
# runtime.
sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' "$work/dynamic" >"$work/needed"
if [ "$instrumented" = 1 ]; then
    grep -v -E '^lib(asan|ubsan|tsan|lsan)\.so' "$work/needed" >"$work/needed.kept"
    mv "$work/needed.kept" "$work/needed"
fi
for dependency in libc.so.6 libqv-os_t.so; do
    grep -qxF "$dependency" "$work/needed" || fail "$dependency is not NEEDED"
done
grep -v -x -e 'libc\.so\.6' -e 'libqv-os_t\.so' "$work/needed" >"$work/needed.extra"
[ -s "$work/needed.extra" ] && fail "unexpected NEEDED: $(tr '\n' ' ' <"$work/needed.extra")"

# Identification strings: one per module, named as its source names it, and
# one for the library.
grep -E '\.(c|cc|cpp)$' "$sources" >"$work/modules"
strings -a "$library" | grep '@(#)' >"$work/idents"
while read -r source; do
    module=$(sed -n 's/^QV_MODULE_IDENT("\([^"]*\)".*/\1/p' "$source")
    if [ -z "$module" ]; then
        fail "$source carries no QV_MODULE_IDENT"
        continue
    fi
    count=$(grep -c "@(#)$module " "$work/idents")
    [ "$count" -eq 1 ] || fail "module $module: $count identification strings, want 1"
done <"$work/modules"
count=$(grep -c -E '^@\(#\)libqv-utility_t\.so\.2 [0-9]+\.[0-9]+\.[0-9]+ ' "$work/idents")
[ "$count" -eq 1 ] || fail "$count identification strings of the library with its version, want 1"
total=$(wc -l <"$work/idents")
want=$(($(wc -l <"$work/modules") + 1))
[ "$total" -eq "$want" ] || fail "$total identification strings, want $want (the modules and the library)"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed for $library"
    exit 1
fi
echo "ABI shape of $library: OK ($(wc -l <"$work/modules") modules)"
