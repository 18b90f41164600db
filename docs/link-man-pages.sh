#!/bin/sh
# SPDX-License-Identifier: MIT
# Lays out Doxygen's manual pages as Debian ships them: each page compressed
# with gzip -9n (no name or time stamp, so the bytes are the same for every
# build), and each link page, which Doxygen writes as a ".so" request, turned
# into a symbolic link to the page it names.  Doxygen also writes every
# double quote of a page as a single one, which turns a string macro's value
# into a character constant; a #define whose quoted value holds more than
# one character gets its double quotes back.
#
#   link-man-pages.sh MAN_DIR     (the directory holding man3/)
set -eu
cd "$1/man3"
for page in *.3; do
    target=$(sed -n '1s|^\.so man3/\(.*\)$|\1|p' "$page")
    if [ -n "$target" ]; then
        rm "$page"
        ln -sf "$target.gz" "$page.gz"
    else
        sed -i "/^\.\(RI\|SS\) \"#define /s/'\([^']\{2,\}\)'/\\\\(dq\1\\\\(dq/" "$page"
        gzip -9nf "$page"
    fi
done
