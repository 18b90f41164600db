// SPDX-License-Identifier: MIT
/*
 * check.c - the checker.  Each line's reading comes from the library (the
 * line reader hands every line to QvParseIniData alone); this file only
 * looks at the raw text beside that reading to say where, why, and what a
 * person might have meant.  Duplicates are found with the library's own
 * comparison of names.
 */
#include "check.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <qv-utility.h>

#include "escape.h"
#include "exit_status.h"
#include "lines.h"
#include "names.h"

typedef struct Checker {
    const Input *input;
    const Severity *severity;
    FindingSink sink;
    void *context;
    NameTable names;
    const LineReading *line;
    int failed;      /* out of memory */
    FILE *stream;    /* writes into message */
    char message[4096];
} Checker;

/* A message is written into the checker's buffer: Open, then fprintf and
 * Quote into the stream it returns, then Emit.  Open answers null for a
 * kind that is not wanted, so nothing is built for it. */
static FILE *Open(Checker *checker, Kind kind)
{
    if (checker->severity[kind] == SEVERITY_OFF)
        return NULL;
    rewind(checker->stream);
    return checker->stream;
}

static void Emit(Checker *checker, Kind kind, Severity severity, unsigned long line,
                 size_t column)
{
    fflush(checker->stream);
    size_t length = (size_t)ftell(checker->stream);
    checker->message[length < sizeof checker->message ? length : sizeof checker->message - 1] =
        '\0';
    Finding finding = {checker->input->name, line, column, severity, kind, checker->message};
    checker->sink(&finding, checker->context);
}

static void Say(Checker *checker, Kind kind, const char *at)
{
    Emit(checker, kind, checker->severity[kind], checker->line->number,
         (size_t)(at - checker->line->start) + 1);
}

/* A whole message without names in it. */
__attribute__((format(printf, 4, 5))) static void Plain(Checker *checker, Kind kind,
                                                        const char *at, const char *format,
                                                        ...)
{
    FILE *stream = Open(checker, kind);
    if (stream == NULL)
        return;
    va_list arguments;
    va_start(arguments, format);
    vfprintf(stream, format, arguments);
    va_end(arguments);
    Say(checker, kind, at);
}

/* Remembers (section, key) and says so when the file named it before. */
static void Repeated(Checker *checker, const char *section, const char *key)
{
    const LineReading *line = checker->line;
    Kind kind = key == NULL ? KIND_DUPLICATE_SECTION : KIND_DUPLICATE_KEY;
    if (checker->severity[KIND_DUPLICATE_SECTION] == SEVERITY_OFF
        && checker->severity[KIND_DUPLICATE_KEY] == SEVERITY_OFF)
        return;
    size_t column = (size_t)(line->content - line->start) + 1;
    Name *first;
    if ((key == NULL ? RememberSection(&checker->names, section, line->number, column, &first)
                     : RememberKey(&checker->names, key, line->number, column, &first))
        != 0) {
        checker->failed = 1;
        return;
    }
    FILE *stream = first != NULL ? Open(checker, kind) : NULL;
    if (stream == NULL)
        return;
    if (key == NULL) {
        fputs("section ", stream);
        PutSectionName(stream, section);
        fprintf(stream, " is opened again (first at line %lu", first->line);
        if (strcmp(first->name, section) != 0) {
            fputs(" as ", stream);
            PutSectionName(stream, first->name);
            fputs(", names compare without regard to ASCII case", stream);
        }
        fputs("): the entries under both headers form one section", stream);
    } else {
        fputs("key ", stream);
        PutQuoted(stream, key, strlen(key));
        if (section != NULL) {
            fputs(" in section ", stream);
            PutSectionName(stream, section);
        }
        fprintf(stream,
                " is set again (first at line %lu): a lookup finds the first value, a store "
                "loaded from the file keeps the last",
                first->line);
    }
    Say(checker, kind, line->content);
    if (first->repeats > 1 || (stream = Open(checker, kind)) == NULL)
        return; /* the note goes with the first repeat only */
    fputs(key == NULL ? "first opened here" : "first set here", stream);
    Emit(checker, kind, SEVERITY_NOTE, first->line, first->column);
}

/* A line the parser reported nothing for. */
static void Skipped(Checker *checker)
{
    const char *s = checker->line->content;
    if (checker->line->length == 0 || s[0] == ';')
        return;
    if (s[0] == '#')
        Plain(checker, KIND_HASH_COMMENT, s,
              "'#' starts no comment: the line is skipped only because it holds no '='");
    else if (s[0] == '[')
        Plain(checker, KIND_IGNORED_LINE, s, "'[' without a name before ']': the line is skipped");
    else if (s[0] == '=')
        Plain(checker, KIND_IGNORED_LINE, s, "no key before '=': the line is skipped");
    else
        Plain(checker, KIND_IGNORED_LINE, s,
              "neither a section header nor an entry (no '='): the line is skipped");
}

static void Header(Checker *checker)
{
    const LineReading *line = checker->line;
    const char *s = line->content, *end = s + line->length, *name = line->section;
    const char *close = memchr(s + 1, ']', line->length - 1);
    size_t written = (size_t)((close != NULL ? close : end) - (s + 1));
    if (written > MAX_SECTION)
        Plain(checker, KIND_SECTION_CUT, s + 1 + MAX_SECTION,
              "section name of %zu characters: the library keeps its first %d", written,
              MAX_SECTION);
    if (close == NULL) {
        Plain(checker, KIND_UNCLOSED_SECTION, end,
              "no ']': the section name runs to the end of the line");
    } else {
        const char *after = close + 1;
        while (after < end && IsSpace(*after))
            ++after;
        if (after < end && *after != ';' && *after != '#')
            Plain(checker, KIND_TEXT_AFTER_SECTION, after, "text after ']' is ignored");
    }
    const char *cr = strchr(name, '\r');
    if (cr != NULL)
        Plain(checker, KIND_CARRIAGE_RETURN, s + 1 + (cr - name),
              "the carriage return stays in the section name, which a lookup must then "
              "name too");
    Repeated(checker, name, NULL);
}

/* An entry the parser reported without a value: keyed by its whole line. */
static void WithoutValue(Checker *checker)
{
    const LineReading *line = checker->line;
    const char *s = line->content, *equals = memchr(s, '=', line->length), *keyEnd = equals;
    while (keyEnd > s && IsSpace(keyEnd[-1]))
        --keyEnd;
    size_t keyLength = (size_t)(keyEnd - s);
    if (keyLength > MAX_FIELD) {
        Plain(checker, KIND_LONG_KEY, s + MAX_FIELD,
              "key of %zu characters is longer than %d: the library reads an entry without a "
              "value, keyed by the whole line",
              keyLength, MAX_FIELD);
    } else {
        FILE *stream = Open(checker, KIND_EMPTY_VALUE);
        if (stream != NULL) {
            fputs("nothing after '=': the library reads the key ", stream);
            PutQuoted(stream, line->key, strlen(line->key));
            fputs(" with no value, which a lookup of ", stream);
            PutQuoted(stream, s, keyLength);
            fputs(" does not find", stream);
            Say(checker, KIND_EMPTY_VALUE, equals);
        }
    }
    const char *cr = strchr(line->key, '\r');
    if (cr != NULL)
        Plain(checker, KIND_CARRIAGE_RETURN, s + (cr - line->key),
              "the carriage return stays in the key, which a lookup must then name too");
}

/* An entry with a value. */
static void WithValue(Checker *checker)
{
    const LineReading *line = checker->line;
    ValueSpan span = FindValue(line);
    if (span.length > MAX_FIELD)
        Plain(checker, KIND_VALUE_CUT, span.start + MAX_FIELD,
              "value of %zu characters: the library keeps its first %d%s", span.length,
              MAX_FIELD,
              SplitsCharacter(span.start, span.length, MAX_FIELD)
                  ? ", and the cut splits a UTF-8 character"
                  : "");
    if (span.carriageReturn != NULL)
        Plain(checker, KIND_CARRIAGE_RETURN, span.carriageReturn,
              "the value ends at this carriage return: the library drops the text after it");
    const char *value = line->value;
    /* A comment would start with ';', or with '#' after a blank: a value
     * such as "#ff0000" is meant as it is read. */
    for (size_t i = 0; value[i] != '\0'; ++i) {
        int blankBefore = i > 0 && IsSpace(value[i - 1]);
        if (!(value[i] == ';' && (i == 0 || blankBefore)) && !(value[i] == '#' && blankBefore))
            continue;
        FILE *stream = Open(checker, KIND_INLINE_COMMENT);
        if (stream != NULL) {
            PutQuoted(stream, value + i, strlen(value + i));
            fputs(" is part of the value: no comment can follow a value", stream);
            Say(checker, KIND_INLINE_COMMENT, span.start + i);
        }
        break;
    }
    Repeated(checker, line->section, line->key);
}

static void Entry(Checker *checker)
{
    const LineReading *line = checker->line;
    const char *s = line->content;
    if (line->section == NULL)
        Plain(checker, KIND_ENTRY_BEFORE_SECTION, s,
              "entry above the first section header: a lookup finds it only without a "
              "section, a store files it under the section \"\"");
    if (s[0] == '#') {
        FILE *stream = Open(checker, KIND_HASH_ENTRY);
        if (stream == NULL)
            return;
        fputs("'#' starts no comment: the library reads ", stream);
        if (line->value != NULL) {
            fputs("the entry ", stream);
            PutQuoted(stream, line->key, strlen(line->key));
            fputs(" = ", stream);
            PutQuoted(stream, line->value, strlen(line->value));
        } else {
            fputs("an entry without a value, keyed by the whole line", stream);
        }
        Say(checker, KIND_HASH_ENTRY, s);
    } else if (line->value == NULL) {
        WithoutValue(checker);
    } else {
        WithValue(checker);
    }
}

/* The NUL byte at the end of what the library sees: on the last line read,
 * or at the start of the next one. */
static void NulByte(Checker *checker, const LineReading *last)
{
    const Input *input = checker->input;
    const char *nul = input->text + input->length;
    static const LineReading LineReading0;
    LineReading line = LineReading0;
    if (last != NULL && nul == last->content + last->length) {
        line = *last;
    } else {
        line.number = last != NULL ? last->number + 1 : 1;
        line.start = nul;
    }
    checker->line = &line;
    Plain(checker, KIND_NUL_BYTE, nul, "NUL byte: the library reads the text as ending here");
}

int CheckText(const Input *input, const Severity severity[KIND_COUNT], FindingSink sink,
              void *context)
{
    static const Checker Checker0;
    Checker checker = Checker0;
    checker.input = input;
    checker.severity = severity;
    checker.sink = sink;
    checker.context = context;
    checker.stream = fmemopen(checker.message, sizeof checker.message, "w");
    if (checker.stream == NULL)
        return EXIT_NO_MEMORY;
    StartNames(&checker.names);
    LineReader reader;
    LineReading line;
    int haveLine = 0, stopped = 0;
    StartReading(&reader, input->text, input->length);
    while (!checker.failed && !stopped && ReadLine(&reader, &line)) {
        haveLine = 1;
        checker.line = &line;
        if (line.result != QV_OK) {
            Plain(&checker, KIND_LONG_LINE, line.content + MAX_LINE,
                  "line of %zu characters after its indentation: the library stops at a "
                  "line over %d and reads nothing from here on",
                  line.length, MAX_LINE);
            stopped = 1;
        } else if (line.reports == 0) {
            Skipped(&checker);
        } else if (line.key == NULL) {
            Header(&checker);
        } else {
            Entry(&checker);
        }
    }
    if (!checker.failed && !stopped && input->length < input->size)
        NulByte(&checker, haveLine ? &line : NULL);
    FreeNames(&checker.names);
    fclose(checker.stream);
    return checker.failed ? EXIT_NO_MEMORY : 0;
}
