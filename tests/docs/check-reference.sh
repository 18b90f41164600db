#!/bin/sh
# The generated reference matches the header, and every exported function in
# the header has a doc comment directly above it.
#
#   check-reference.sh SOURCE_DIR WORK_FILE
set -eu
src=$1 work=$2
awk -f "$src/docs/gen-reference.awk" "$src/include/qv-utility.h" >"$work"
if ! diff -u "$src/docs/reference.md" "$work"; then
    echo "docs/reference.md is stale: regenerate it with"
    echo "  awk -f docs/gen-reference.awk include/qv-utility.h > docs/reference.md"
    exit 1
fi
awk '/^QV_API / && previous !~ /\*\/[ \t]*$/ { print "no doc comment above: " $0; bad = 1 }
     { previous = $0 }
     END { exit bad }' "$src/include/qv-utility.h"
