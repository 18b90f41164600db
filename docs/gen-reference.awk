# gen-reference.awk - turns the public header into docs/reference.md.
#
#   awk -f docs/gen-reference.awk include/qv-utility.h > docs/reference.md
#
# The header is the one place the interface is documented; this only lays
# it out for reading: its "---- Name ----" banners become headings, each doc
# comment is printed above the declaration that follows it, and the status
# codes and item types become tables.  POSIX awk, so it runs anywhere.

function flush_text() {
    if (text != "") { print text; print ""; text = "" }
}

# Ends whatever block is open: a table or a run of declarations.
function close_block() {
    if (table) { print ""; table = 0 }
    if (in_declaration) { print "```"; print ""; in_declaration = 0 }
}

function strip_comment(line) {
    sub(/^[ \t]*\/\*+ ?/, "", line); sub(/[ \t]*\*+\/[ \t]*$/, "", line)
    sub(/^[ \t]*\* ?/, "", line)
    return line
}

function clean_declaration(line) {
    gsub(/QV_API /, "", line); sub(/^QV_HOOK_WORD /, "extern ", line)
    sub(/[ \t]*QV_PRINTF_LIKE\([0-9, ]*\)/, "", line)
    return line
}

BEGIN { print "# libqv-utility_t reference"; print ""
        print "Generated from `include/qv-utility.h` by `docs/gen-reference.awk`; edit the header, not this file."
        print "" }

# Preprocessor plumbing and the C++ guards are not part of the interface.
/^#(if|ifdef|ifndef|else|elif|endif|include|undef)/ { next }
/^#define (QV_UTILITY_H|QV_API|QV_PRINTF_LIKE|QV_HOOK_WORD)/ { next }
/^(extern "C" \{|\})$/ { next }

# A banner opens a section.
/^\/\* ---- .* -+ \*\/$/ {
    close_block(); flush_text()
    name = $0; sub(/^\/\* ---- /, "", name); sub(/ -+ \*\/$/, "", name)
    print "## " name; print ""
    next
}

# Constants: one table row each.
/^#define QV_[A-Z_]+ +[0-9]+/ {
    if (!table) { close_block(); flush_text(); print "| Name | Value | Meaning |"; print "|---|---|---|"; table = 1 }
    meaning = $0; sub(/^[^\/]*\/\* */, "", meaning); sub(/ *\*\/$/, "", meaning)
    if (meaning == $0) meaning = ""
    printf "| `%s` | %s | %s |\n", $2, $3, meaning
    next
}

# Doc comments, one line or many.
/^[ \t]*\/\*/ {
    close_block(); flush_text()
    in_comment = ($0 !~ /\*\/[ \t]*$/)
    text = strip_comment($0)
    next
}
in_comment {
    if ($0 ~ /\*\/[ \t]*$/) in_comment = 0
    line = strip_comment($0)
    if (line == "" && !in_comment) next
    text = text (line == "" ? "\n" : (text == "" ? "" : "\n") line)
    next
}

/^[ \t]*$/ { close_block(); flush_text(); next }

# Declarations that stand together share one code block.
{
    if (table) { print ""; table = 0 }
    if (!in_declaration) { flush_text(); print "```c"; in_declaration = 1 }
    print clean_declaration($0)
}

END { close_block(); flush_text() }
