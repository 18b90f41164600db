#!/bin/sh
# SPDX-License-Identifier: MIT
# qvini as installed: the program runs from bin/ with the library found
# beside it, the manual page passes mandoc's and groff's checks without a
# warning, and the bash completion is where bash looks for it.
#
#   qvini_install.sh BUILD_DIR WORK_DIR
set -eu
build=$1 work=$2
rm -rf "$work"
cmake --install "$build" --prefix "$work" >/dev/null

"$work/bin/qvini" --version
page=$work/share/man/man1/qvini.1.gz
lint=$(mandoc -T lint -W style "$page" 2>&1; zcat "$page" | groff -t -man -ww -z 2>&1)
if [ -n "$lint" ]; then
    echo "$lint"
    exit 1
fi
test -f "$work/share/bash-completion/completions/qvini"
