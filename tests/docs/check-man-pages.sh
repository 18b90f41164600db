#!/bin/sh
# SPDX-License-Identifier: MIT
# check-man-pages.sh - every exported name has a manual page, its own or a
# link to its family's, and every page reads cleanly: no error from mandoc's
# lint and no warning from groff (what lintian asks of a package's pages).
#
#   check-man-pages.sh MAN_DIR SYMBOLS    (MAN_DIR holds man3/; SYMBOLS is
#                                          the library's Debian symbols file)
set -u
man=$1 symbols=$2
failures=0

for name in $(sed -n 's/^ \([^@]*\)@.*/\1/p' "$symbols"); do
    [ -e "$man/man3/$name.3.gz" ] || { echo "no manual page for $name"; failures=$((failures + 1)); }
done

for page in "$man"/man*/*.gz; do
    [ -L "$page" ] && continue
    problems=$(mandoc -T lint -W error "$page" 2>&1;
               LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$problems" ] || { echo "$problems"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] || exit 1
echo "manual pages: every export documented, $(ls "$man"/man3 | wc -l) pages and links lint-clean"
