#!/bin/sh
# SPDX-License-Identifier: MIT
# check-license-lines.sh - every source file names its license in an SPDX
# line, so that a file copied out of the tree still says under what terms.
#
#   check-license-lines.sh SOURCE_DIR
cd "$1" || exit 1
missing=$(find . -path ./build -prune -o -type f \( -name '*.[ch]' -o -name '*.cpp' -o -name '*.cmake' \
              -o -name '*.in' -o -name CMakeLists.txt -o -name '*.sh' -o -name '*.map' -o -name '*.1' \
              -o -path './scripts/*' \) -exec grep -L 'SPDX-License-Identifier: MIT' {} +)
[ -z "$missing" ] || { printf 'no SPDX license line in:\n%s\n' "$missing"; exit 1; }
echo "every source file carries its SPDX license line"
