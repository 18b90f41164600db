#!/bin/sh
# The qvini tool's exit statuses, output and messages, case by case.
#
#   qvini_test.sh QVINI SAMPLE_INI WORK_DIR
set -u
qvini=$1 sample=$2 work=$3
rm -rf "$work" && mkdir -p "$work"

long=$(printf '%0300d' 0)
printf '[A]\nk = 1\nlong = %s\n[B]\nk = 2\n' "$long" >"$work/overlong.ini"
printf '[A]\r\nName = Alpha Beta  \r\nbare\r\nx =\r\n' >"$work/crlf.ini"
printf 'k = v\0[A]\n' >"$work/nul.ini"
printf 'k = top\n[A]\nk = 1\nk = 2\n[a]\nK = 3\n' >"$work/dups.ini"
: >"$work/empty.ini"

failures=0
# stderr_has TEXT: the last run's messages hold TEXT; "" means there were none.
stderr_has() {
    if [ -z "$1" ]; then [ ! -s "$work/stderr" ]; else grep -qF -- "$1" "$work/stderr"; fi
}

# expect STATUS STDOUT STDERR_PART -- ARGS...: runs qvini ARGS and compares.
expect() {
    status=$1 out=$2 err=$3
    shift 4
    actual_out=$("$qvini" "$@" 2>"$work/stderr" <"${stdin:-/dev/null}")
    actual=$?
    if [ "$actual" != "$status" ] || [ "$actual_out" != "$out" ] || ! stderr_has "$err"; then
        failures=$((failures + 1))
        echo "FAIL: qvini $*"
        echo "  status $actual, wanted $status"
        echo "  stdout: $actual_out"
        echo "  wanted: $out"
        echo "  stderr: $(cat "$work/stderr")"
        echo "  wanted part: $err"
    fi
}

# get: found, case-folded names, the first match wins, no section.
expect 0 "fast" "" -- get "$sample" Display Mode
expect 0 "fast" "" -- get "$sample" DISPLAY mode
expect 0 "2" "" -- get "$sample" "" version
expect 0 "30" "" -- get "$sample" Network Timeout
expect 0 "Main window ; the rest of a line is part of the value" "" -- get "$sample" Display Title
expect 0 "1" "" -- get "$work/dups.ini" a k
expect 0 "top" "" -- get "$work/dups.ini" "" K
# An entry without a value is keyed by its whole line.
expect 1 "" "no entry Proxy in section [Network]" -- get "$sample" Network Proxy
expect 0 "" "" -- get "$sample" Network "Proxy ="
# Not found, truncated, overlong line before and after the match.
expect 1 "" "no entry Depth in section [Display]" -- get "$sample" Display Depth
expect 1 "" "no entry Mode above the first section header" -- get "$sample" "" Mode
expect 3 "fa" "value of Mode cut to 2 bytes" -- get --size 3 "$sample" Display Mode
expect 0 "" "" -- get --size 0 "$sample" Display Mode
expect 0 "1" "" -- get "$work/overlong.ini" A k
expect 4 "" "overlong.ini:3: line of 307 characters is longer than 260" -- get "$work/overlong.ini" B k
expect 1 "" "no entry k" -- get "$work/empty.ini" A k
# Standard input.
stdin=$sample expect 0 "dark" "" -- get - display theme
stdin=""

# list: every report, exactly; a section filter; "" for above the first header.
expect 0 '[A]
"Name" = "Alpha Beta"
"x =\r" (no value)' "" -- list "$work/crlf.ini"
expect 0 '[Display]
"Mode" = "fast"
"Width" = "1280"
"Height" = "720"
"Title" = "Main window ; the rest of a line is part of the value"
[display]
"Theme" = "dark"' "" -- list "$sample" DISPLAY
expect 0 '"version" = "2"' "" -- list "$sample" ""
expect 4 '[A]
"k" = "1"' "overlong.ini:3: line of 307" -- list "$work/overlong.ini"

# check: the first overlong line, ignored lines, entries without a value.
expect 1 "$work/crlf.ini:3: ignored: neither a section header nor an entry
$work/crlf.ini:4: entry without a value: its key is the whole line" "" -- check "$work/crlf.ini"
expect 1 "" "overlong.ini:3: line of 307 characters is longer than 260" -- check "$work/overlong.ini"
expect 1 "$sample:15: entry without a value: its key is the whole line" "" -- check "$sample"
expect 0 "" "" -- check "$work/empty.ini"

# dump: the store's walk, a later duplicate replacing an earlier one.
expect 0 '[] "k" = "top"
[A] "k" = "3"' "" -- dump "$work/dups.ini"
expect 4 "" "line of 307" -- dump "$work/overlong.ini"

# Files the parser cannot take whole, and bad arguments.
expect 4 "" "NUL byte at offset 5" -- list "$work/nul.ini"
expect 5 "" "missing.ini: No such file or directory" -- get "$work/missing.ini" A k
expect 2 "" "no command given" --
expect 2 "" "unknown command" -- frobnicate "$sample"
expect 2 "" "no FILE given" -- list
expect 2 "" "wrong number of arguments" -- get "$sample" Display
expect 2 "" "--size needs a byte count" -- get --size -1 "$sample" Display Mode
expect 2 "" "--size needs a byte count" -- get --size 2000000 "$sample" Display Mode
if ! "$qvini" --help | grep -q '^usage: qvini get'; then
    failures=$((failures + 1))
    echo "FAIL: qvini --help"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
