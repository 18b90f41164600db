#!/bin/sh
# SPDX-License-Identifier: MIT
# check-license-lines.sh - every source file names its license in an SPDX
# line near its top (after a shebang or a roff preprocessor line), so that a
# file copied out of the tree still says under what terms.
#
#   check-license-lines.sh SOURCE_DIR
set -u
cd "$1" || exit 1
missing=$(find . -path ./build -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \
              -o -name '*.cmake' -o -name '*.in' -o -name 'CMakeLists.txt' -o -name '*.sh' \
              -o -name '*.map' -o -name '*.1' -o -path './scripts/*' \) -print |
          while read -r file; do
              head -n 3 "$file" | grep -q 'SPDX-License-Identifier: MIT' || echo "$file"
          done)
[ -z "$missing" ] || { echo "no SPDX license line in:"; echo "$missing"; exit 1; }
echo "every source file carries its SPDX license line"
