// SPDX-License-Identifier: MIT
/*
 * check.c - the checker.  Each line's reading comes from the library (the
 * line reader hands every line to QvParseIniData alone); this file only
 * looks at the raw text beside that reading to say where, why, and what a
 * person might have meant.  Duplicates are found with the library's own
 * comparison of names.
 *
 * A file that is plainly something else (XML, or settings written "key
 * value") would get a finding on nearly every line, so until a section
 * header shows that it is INI its findings are held back, and if the file
 * ends without one and with more lines skipped than read, one verdict takes
 * their place.
 */
#include "check.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

#include "exit_status.h"
#include "lines.h"
#include "names.h"
#include "text.h"

#define BYTE_ORDER_MARK "\xEF\xBB\xBF"

typedef struct Checker {
    const char *file;
    const Severity *severity;
    FindingSink sink;
    void *context;
    const Line *line;
    Names names;
    uint32_t group;          /* of the keys that follow */
    Text message;
    Text held;               /* findings, each followed by its message */
    int judged;              /* 0 not yet; 1 INI: findings go out; -1 not INI */
    int xml;
    int failed;              /* out of memory */
    uintmax_t entries, skipped, firstLine, firstColumn; /* for the verdict */
} Checker;

/* Starts a message of kind; 0 when the kind is off, so nothing is built. */
static int Begin(Checker *checker, Kind kind)
{
    checker->message.used = 0;
    return checker->severity[kind] != SEVERITY_OFF;
}

static void Emit(Checker *checker, Kind kind, Severity severity, uintmax_t line,
                 uintmax_t column)
{
    Text *message = &checker->message;
    Add(message, "", 1);
    checker->failed |= message->failed;
    Finding finding = {checker->file, line, column, severity, kind, message->bytes};
    if (checker->judged > 0) {
        checker->sink(&finding, checker->context);
    } else if (checker->judged == 0) {
        Add(&checker->held, &finding, sizeof finding);
        Add(&checker->held, message->bytes, message->used);
    }
}

/* Judges the file, and hands on or drops what was held back. */
static void Release(Checker *checker, int judged)
{
    Text *held = &checker->held;
    checker->judged = judged;
    for (uint32_t at = 0; judged > 0 && at < held->used;) {
        Finding finding;
        memcpy(&finding, held->bytes + at, sizeof finding);
        finding.message = held->bytes + at + sizeof finding;
        at += (uint32_t)(sizeof finding + strlen(finding.message) + 1);
        checker->sink(&finding, checker->context);
    }
    checker->failed |= held->failed;
    FreeText(held);
}

static void Say(Checker *checker, Kind kind, const char *at)
{
    const Line *line = checker->line;
    Emit(checker, kind, checker->severity[kind], line->number,
         line->indent + (uintmax_t)(at - line->content) + 1);
}

/* A whole message without names in it. */
__attribute__((format(printf, 4, 5))) static void Plain(Checker *checker, Kind kind,
                                                        const char *at, const char *format,
                                                        ...)
{
    if (!Begin(checker, kind))
        return;
    Text *message = &checker->message;
    va_list arguments;
    va_start(arguments, format);
    if (QvFormatVAListAndAppendToBuffer(&message->bytes, &message->capacity, &message->used,
                                        format, arguments)
        != QV_OK)
        message->failed = 1;
    va_end(arguments);
    Say(checker, kind, at);
}

/* The verdict, in place of what was held back, once the file is read as
 * far as it will be. */
static void Conclude(Checker *checker)
{
    int notIni = checker->judged < 0
                 || (checker->judged == 0 && checker->skipped > 0
                     && checker->skipped >= checker->entries);
    Release(checker, notIni ? -1 : 1);
    checker->judged = 1;
    if (!notIni || !Begin(checker, KIND_NOT_INI))
        return;
    AddFormat(&checker->message,
              "not INI: %s; the library reads %ju entr%s and skips %ju line%s "
              "(-Wignored-line lists them)",
              checker->xml ? "the file starts with '<' as XML does"
                           : "no section header, and more lines skipped than entries",
              checker->entries, checker->entries == 1 ? "y" : "ies", checker->skipped,
              checker->skipped == 1 ? "" : "s");
    Emit(checker, KIND_NOT_INI, checker->severity[KIND_NOT_INI], checker->firstLine,
         checker->firstColumn);
}

/* Remembers (section, key) and says so when the file named it before. */
static void Repeated(Checker *checker, const char *section, const char *key)
{
    const Line *line = checker->line;
    Kind kind = key == NULL ? KIND_DUPLICATE_SECTION : KIND_DUPLICATE_KEY;
    Text *message = &checker->message;
    int repeated;
    if (checker->severity[KIND_DUPLICATE_SECTION] == SEVERITY_OFF
        && checker->severity[KIND_DUPLICATE_KEY] == SEVERITY_OFF)
        return;
    ptrdiff_t index = Remember(&checker->names, key == NULL ? SECTION_NAMES : checker->group,
                               key == NULL ? section : key, line->number, line->indent + 1,
                               &repeated);
    if (index < 0) {
        checker->failed = 1;
        return;
    }
    if (key == NULL)
        checker->group = KeyGroup(index);
    const Name *first = &checker->names.names[index];
    if (!repeated || !Begin(checker, kind))
        return;
    if (key == NULL) {
        Add(message, "section ", 8);
        AddSection(message, section);
        AddFormat(message, " is opened again (first at line %ju", first->line);
        if (strcmp(NameText(&checker->names, first), section) != 0) {
            Add(message, " as ", 4);
            AddSection(message, NameText(&checker->names, first));
            AddFormat(message, ", names compare without regard to ASCII case");
        }
        AddFormat(message, "): the entries under both headers form one section");
    } else {
        Add(message, "key ", 4);
        AddQuoted(message, key, strlen(key));
        if (section != NULL) {
            Add(message, " in section ", 12);
            AddSection(message, section);
        }
        AddFormat(message,
                  " is set again (first at line %ju): a lookup finds the first value, a store "
                  "loaded from the file keeps the last",
                  first->line);
    }
    Say(checker, kind, line->content);
    if (first->repeats > 1 || !Begin(checker, kind))
        return; /* the note goes with the first repeat only */
    AddFormat(message, key == NULL ? "first opened here" : "first set here");
    Emit(checker, kind, SEVERITY_NOTE, first->line, first->column);
}

/* A line the parser reported nothing for; s is where it starts after a
 * byte-order mark. */
static void Skipped(Checker *checker, const char *s)
{
    if (s[0] == '\0' || s[0] == ';')
        return;
    if (s[0] == '#') {
        Plain(checker, KIND_HASH_COMMENT, s,
              "'#' starts no comment: the line is skipped only because it holds no '='");
        return;
    }
    if (s[0] == '[' && s != checker->line->content) { /* a header after a byte-order mark */
        if (checker->judged == 0)
            Release(checker, 1);
        return;
    }
    ++checker->skipped;
    if (s[0] == '[')
        Plain(checker, KIND_IGNORED_LINE, s, "'[' without a name before ']': the line is skipped");
    else if (s[0] == '=')
        Plain(checker, KIND_IGNORED_LINE, s, "no key before '=': the line is skipped");
    else
        Plain(checker, KIND_IGNORED_LINE, s,
              "neither a section header nor an entry (no '='): the line is skipped");
}

static void Header(Checker *checker)
{
    const Line *line = checker->line;
    const char *s = line->content, *end = s + line->length, *name = line->section;
    const char *close = memchr(s + 1, ']', (size_t)line->length - 1);
    size_t written = (size_t)((close != NULL ? close : end) - (s + 1));
    if (checker->judged == 0)
        Release(checker, 1);
    if (written > QV_INI_MAX_SECTION)
        Plain(checker, KIND_SECTION_CUT, s + 1 + QV_INI_MAX_SECTION,
              "section name of %zu characters: the library keeps its first %d", written,
              QV_INI_MAX_SECTION);
    if (close == NULL) {
        Plain(checker, KIND_UNCLOSED_SECTION, end,
              "no ']': the section name runs to the end of the line");
    } else {
        const char *after = close + 1;
        while (after < end && QvIniIsSpace(*after))
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
    const Line *line = checker->line;
    const char *s = line->content, *equals = memchr(s, '=', (size_t)line->length);
    const char *keyEnd = equals;
    while (keyEnd > s && QvIniIsSpace(keyEnd[-1]))
        --keyEnd;
    size_t keyLength = (size_t)(keyEnd - s);
    if (keyLength > QV_INI_MAX_FIELD) {
        Plain(checker, KIND_LONG_KEY, s + QV_INI_MAX_FIELD,
              "key of %zu characters is longer than %d: the library reads an entry without a "
              "value, keyed by the whole line",
              keyLength, QV_INI_MAX_FIELD);
    } else if (Begin(checker, KIND_EMPTY_VALUE)) {
        Text *message = &checker->message;
        AddFormat(message, "nothing after '=': the library reads the key ");
        AddQuoted(message, line->key, strlen(line->key));
        AddFormat(message, " with no value, which a lookup of ");
        AddQuoted(message, s, keyLength);
        AddFormat(message, " does not find");
        Say(checker, KIND_EMPTY_VALUE, equals);
    }
}

/* An entry with a value. */
static void WithValue(Checker *checker)
{
    const Line *line = checker->line;
    ValueSpan span = FindValue(line);
    if (span.length > QV_INI_MAX_FIELD)
        Plain(checker, KIND_VALUE_CUT, span.start + QV_INI_MAX_FIELD,
              "value of %zu characters: the library keeps its first %d%s", span.length,
              QV_INI_MAX_FIELD,
              SplitsCharacter(span.start, span.length, QV_INI_MAX_FIELD)
                  ? ", and the cut splits a UTF-8 character"
                  : "");
    if (span.carriageReturn != NULL)
        Plain(checker, KIND_CARRIAGE_RETURN, span.carriageReturn,
              "the value ends at this carriage return: the library drops the text after it");
    const char *value = line->value;
    /* A comment would start with ';', or with '#' after a blank: a value
     * such as "#ff0000" is meant as it is read. */
    for (size_t i = 0; value[i] != '\0'; ++i) {
        int blankBefore = i > 0 && QvIniIsSpace(value[i - 1]);
        if (!(value[i] == ';' && (i == 0 || blankBefore)) && !(value[i] == '#' && blankBefore))
            continue;
        if (Begin(checker, KIND_INLINE_COMMENT)) {
            AddQuoted(&checker->message, value + i, strlen(value + i));
            AddFormat(&checker->message, " is part of the value: no comment can follow a value");
            Say(checker, KIND_INLINE_COMMENT, span.start + i);
        }
        break;
    }
    Repeated(checker, line->section, line->key);
}

static void Entry(Checker *checker)
{
    const Line *line = checker->line;
    const char *s = line->content, *cr = strchr(line->key, '\r');
    if (line->section == NULL)
        Plain(checker, KIND_ENTRY_BEFORE_SECTION, s,
              "entry above the first section header: a lookup finds it only without a "
              "section, a store files it under the section \"\"");
    if (cr != NULL)
        Plain(checker, KIND_CARRIAGE_RETURN, s + (cr - line->key),
              "the carriage return stays in the key, which a lookup must then name too");
    if (s[0] != '#') {
        ++checker->entries;
        if (line->value == NULL)
            WithoutValue(checker);
        else
            WithValue(checker);
    } else if (Begin(checker, KIND_HASH_ENTRY)) {
        Text *message = &checker->message;
        AddFormat(message, "'#' starts no comment: the library reads ");
        if (line->value != NULL) {
            Add(message, "the entry ", 10);
            AddQuoted(message, line->key, strlen(line->key));
            Add(message, " = ", 3);
            AddQuoted(message, line->value, strlen(line->value));
        } else {
            AddFormat(message, "an entry without a value, keyed by the whole line");
        }
        Say(checker, KIND_HASH_ENTRY, s);
    }
}

static void CheckLine(Checker *checker)
{
    const Line *line = checker->line;
    const char *s = line->content;
    if (line->number == 1 && line->indent == 0 && strncmp(s, BYTE_ORDER_MARK, 3) == 0) {
        s += 3;
        Plain(checker, KIND_BYTE_ORDER_MARK, line->content,
              "UTF-8 byte-order mark: the library reads it as text%s",
              line->reports != 0 ? " and as the start of the key"
              : s[0] == '['      ? ", so the line is no section header"
                                 : "");
    }
    if (checker->firstLine == 0 && s[0] != ';' && s[0] != '#') {
        checker->firstLine = line->number;
        checker->firstColumn = line->indent + (uintmax_t)(s - line->content) + 1;
        if (s[0] == '<' && checker->judged == 0)
            checker->judged = -1, checker->xml = 1;
    }
    if (line->reports == 0)
        Skipped(checker, s);
    else if (line->key == NULL)
        Header(checker);
    else
        Entry(checker);
}

int CheckFile(FILE *file, const char *name, const Severity severity[KIND_COUNT],
              FindingSink sink, void *context)
{
    Checker checker = {.file = name, .severity = severity, .sink = sink, .context = context,
                       .group = KEYS_ABOVE_HEADERS,
                       .judged = severity[KIND_NOT_INI] == SEVERITY_OFF};
    LineReader *reader = malloc(sizeof *reader);
    Line line;
    int stopped = 0;
    if (reader == NULL)
        return Fail(EXIT_NO_MEMORY, "out of memory");
    StartReading(reader, file);
    while (!checker.failed && !stopped && ReadLine(reader, &line)) {
        checker.line = &line;
        stopped = line.result != QV_OK;
        if (!stopped) {
            CheckLine(&checker);
            continue;
        }
        Conclude(&checker);
        Plain(&checker, KIND_LONG_LINE, line.content + QV_INI_MAX_LINE,
              "line of %ju characters after its indentation%s: the library stops at a line "
              "over %d and reads nothing from here on",
              line.length, line.last == '\r' ? ", its carriage return included" : "",
              QV_INI_MAX_LINE);
    }
    if (!checker.failed && !stopped) {
        Conclude(&checker);
        intmax_t nul = NulOffset(reader);
        if (nul >= 0 && Begin(&checker, KIND_NUL_BYTE)) {
            AddFormat(&checker.message,
                      "NUL byte at offset %jd: the library reads the text as ending here", nul);
            Emit(&checker, KIND_NUL_BYTE, severity[KIND_NUL_BYTE], reader->number,
                 reader->column + 1);
        }
    }
    int error = reader->error;
    free(reader);
    FreeNames(&checker.names);
    FreeText(&checker.message);
    FreeText(&checker.held);
    if (error != 0)
        return Fail(EXIT_IO, "%s: %s", name, strerror(error));
    if (checker.failed)
        return Fail(EXIT_NO_MEMORY,
                    "%s: out of memory; -Wno-duplicate-key -Wno-duplicate-section check with less",
                    name);
    return 0;
}
