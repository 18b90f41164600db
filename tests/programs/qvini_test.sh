#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the qvini cases of a table file, each as a user would run it, or as
# bash asks its completion.
#
#   qvini_test.sh QVINI CASES WORK_DIR COMPLETION_SCRIPT
#
# A case starts with "== title" and holds lines of these kinds:
#   < text     a line of the file t.ini (printf %b escapes; \c ends the file
#              without a line feed; {300*x} stands for 300 x, {2*ab} for abab).  The first
#              "<" of a case starts a new file; a case without any uses the
#              file of the case before.  Standard input is t.ini too, through
#              a pipe.
#   $ args     the arguments, as shell words
#   & args     instead: the arguments, standard error going where
#              standard output goes
#   @ words    instead: the words after "qvini" as bash splits a command line
#              for completion (at "=" too), as shell words, the last one
#              being completed; each line of output is one completion
#   > text     a line of standard output ({N*c} as above); none means the
#              output is empty
#   >* text    text standard output must contain (then not compared whole)
#   ! text     a line of standard error; none means no messages
#   ? status   the exit status; 0 when not given
set -u
qvini=$1 cases=$2 work=$3 completion=$4
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
: >t.ini
failures=0 count=0 title=""

# {N*text} runs, spelled out (perl only where there are some).
expand() {
    case $1 in *"{"*) printf '%s\n' "$1" | perl -pe 's/\{(\d+)\*([^}]+)\}/$2 x $1/ge' ;; *) printf '%s\n' "$1" ;; esac
}

# shellcheck disable=SC2119,SC2120 # the case's own words become "$@"
run_case() {
    [ -n "$title" ] || return 0
    count=$((count + 1))
    eval "set -- $args"
    if [ -n "$words" ]; then
        # shellcheck disable=SC2016 # expanded by bash
        bash -c '. "$1" && eval "COMP_WORDS=(\"\$2\" $3)" && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) &&
            { _qvini; for reply in "${COMPREPLY[@]}"; do printf "%s\n" "$reply"; done; }' - \
            "$completion" "$qvini" "$words" >out 2>err
    elif [ -n "$merged" ]; then
        : >err
        "$qvini" "$@" >out 2>&1
    else
        # shellcheck disable=SC2002 # "-" must read a pipe, not a file
        cat t.ini | "$qvini" "$@" >out 2>err
    fi
    actual=$?
    same=1
    [ "$actual" = "$status" ] || same=0
    cmp -s err want.err || same=0
    if [ -s want.part ]; then
        while IFS= read -r part; do grep -qF -- "$part" out || same=0; done <want.part
    else
        cmp -s out want.out || same=0
    fi
    if [ $same = 0 ]; then
        failures=$((failures + 1))
        echo "FAIL: $title"
        echo "  qvini $args  (status $actual, wanted $status)"
        diff want.out out | sed 's/^/  stdout /'
        diff want.err err | sed 's/^/  stderr /'
        [ -s want.part ] && sed 's/^/  stdout should hold: /' want.part
    fi
}

new_case() {
    title=$1 args="" words="" merged="" status=0 fresh=1
    : >want.out && : >want.err && : >want.part
}

while IFS= read -r line; do
    case $line in
    "== "*)
        run_case
        new_case "${line#== }"
        ;;
    "< "* | "<")
        [ "$fresh" = 1 ] && : >t.ini
        fresh=0
        printf '%b\n' "$(expand "${line#<}" | cut -c2-)" >>t.ini ;;
    "\$ "* | "\$") args=${line#\$} ;;
    "@ "*) words=${line#@ } ;;
    "& "*) args=${line#& } merged=1 ;;
    ">* "*) printf '%s\n' "${line#>\* }" >>want.part ;;
    "> "* | ">") expand "${line#>}" | cut -c2- >>want.out ;;
    "! "*) printf '%s\n' "${line#! }" >>want.err ;;
    "? "*) status=${line#\? } ;;
    "#"* | "") ;;
    *) echo "qvini_test.sh: cannot read: $line"; exit 1 ;;
    esac
done <"$cases"
run_case

echo "$count cases, $failures failed"
[ "$failures" -eq 0 ]
