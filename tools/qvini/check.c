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
 * header shows that it is INI its findings are held back, and if more lines
 * are skipped than read before one, one verdict takes their place.  Such a
 * file is judged at its end, or at line JUDGED_BY when it is longer, so what
 * is held back stays small however large the file.
 */
#include "qvini.h"

#include <stdarg.h>
#include <string.h>

enum { JUDGED_BY = 10000 };

typedef struct Checker {
    const char *file;
    const Severity *severity;
    FindingSink sink;   /* with its context */
    void *context;
    const Line *line;
    Names names;
    uint32_t group;     /* of the keys that follow */
    Text message, quoted[2]; /* the message being built, and names quoted for it */
    Text held;          /* findings held back, each followed by its message */
    int judged, failed; /* judged: findings go out, not held back */
    const char *unlike; /* what shows that the file is not INI: findings are dropped */
    uintmax_t entries, skipped, firstLine, firstColumn; /* for the verdict */
} Checker;

/* s quoted, or a section name between [ and ], for a message; it lasts
 * until the slot is used again. */
static const char *Quoted(Checker *checker, int slot, const char *s, size_t length, char open)
{
    Text *text = &checker->quoted[slot];
    text->used = 0;
    AddEscaped(text, s, length, open, open == '[' ? ']' : '"', 0);
    Add(text, "", 1);
    checker->failed |= text->failed;
    return text->failed ? "" : text->bytes;
}

/* The message built so far, as a finding of kind at line and column. */
static void Emit(Checker *checker, Kind kind, Severity severity, uintmax_t line, uintmax_t column)
{
    Text *message = &checker->message;
    Add(message, "", 1);
    Finding finding = {checker->file, line, column, severity, kind, message->bytes};
    checker->failed |= message->failed;
    int wanted = !checker->failed && checker->severity[kind] != SEVERITY_OFF;
    if (wanted && checker->judged) {
        checker->sink(&finding, checker->context);
    } else if (wanted && checker->unlike == NULL) {
        Add(&checker->held, &finding, sizeof finding);
        Add(&checker->held, message->bytes, message->used);
    }
    message->used = 0;
}

/* A finding about the current line, at. */
QV_PRINTF_LIKE(4, 5)
static void Report(Checker *checker, Kind kind, const char *at, const char *format, ...)
{
    const Line *line = checker->line;
    va_list arguments;
    va_start(arguments, format);
    AddFormatV(&checker->message, format, arguments);
    va_end(arguments);
    Emit(checker, kind, checker->severity[kind], line->number,
         line->indent + (uintmax_t)(at - line->content) + 1);
}

/* Once the file is judged INI, hands on what was held back; drops it when
 * the file is not. */
static void Release(Checker *checker)
{
    Text *held = &checker->held;
    checker->judged |= checker->unlike == NULL;
    for (uint32_t at = 0; checker->judged && at < held->used;) {
        Finding finding;
        memcpy(&finding, held->bytes + at, sizeof finding);
        finding.message = held->bytes + at + sizeof finding;
        at += (uint32_t)(sizeof finding + strlen(finding.message) + 1);
        checker->sink(&finding, checker->context);
    }
    checker->failed |= held->failed;
    FreeText(held);
}

/* Judges a file that has shown no section header yet; at its end (end 1),
 * gives the verdict in place of what was held back. */
static void Conclude(Checker *checker, int end)
{
    if (!checker->judged && !checker->unlike && checker->skipped >= checker->entries + 1)
        checker->unlike = "more lines skipped than entries before any section header";
    Release(checker);
    checker->judged |= end;
    if (!end || checker->unlike == NULL)
        return;
    AddFormat(&checker->message,
              "not INI: %s; the library reads %ju entr%s and skips %ju line%s "
              "(-Wignored-line lists them)",
              checker->unlike, checker->entries, checker->entries == 1 ? "y" : "ies",
              checker->skipped, checker->skipped == 1 ? "" : "s");
    Emit(checker, KIND_NOT_INI, checker->severity[KIND_NOT_INI], checker->firstLine,
         checker->firstColumn);
}

/* Remembers (section, key) and says so when the file named it before. */
static void Repeated(Checker *checker, const char *section, const char *key)
{
    const Line *line = checker->line;
    Kind kind = key == NULL ? KIND_DUPLICATE_SECTION : KIND_DUPLICATE_KEY;
    if (checker->severity[KIND_DUPLICATE_SECTION] == SEVERITY_OFF
        && checker->severity[KIND_DUPLICATE_KEY] == SEVERITY_OFF)
        return;
    Name *first = Remember(&checker->names, key == NULL ? SECTION_NAMES : checker->group,
                           key == NULL ? section : key, line->number, line->indent + 1);
    if (first == NULL) {
        checker->failed = 1;
        return;
    }
    if (key == NULL)
        checker->group = KeyGroup(&checker->names, first);
    if (first->repeats == 0)
        return;
    const char *spelt = NameText(&checker->names, first);
    int respelt = key == NULL && strcmp(spelt, section) != 0;
    if (key == NULL)
        Report(checker, kind, line->content,
               "section %s is opened again (first at line %ju%s%s%s): the entries under both "
               "headers form one section",
               Quoted(checker, 0, section, strlen(section), '['), first->line,
               respelt ? " as " : "", respelt ? Quoted(checker, 1, spelt, strlen(spelt), '[') : "",
               respelt ? ", names compare without regard to ASCII case" : "");
    else
        Report(checker, kind, line->content,
               "key %s%s%s is set again (first at line %ju): a lookup finds the first value, a "
               "store loaded from the file keeps the last",
               Quoted(checker, 0, key, strlen(key), '"'), section != NULL ? " in section " : "",
               section != NULL ? Quoted(checker, 1, section, strlen(section), '[') : "",
               first->line);
    if (first->repeats > 1)
        return; /* the note goes with the first repeat only */
    AddFormat(&checker->message, "first %s here", key == NULL ? "opened" : "set");
    Emit(checker, kind, SEVERITY_NOTE, first->line, first->column);
}

/* A line the parser reported nothing for; s is where it starts after a
 * byte-order mark. */
static void Skipped(Checker *checker, const char *s)
{
    int hidden = s[0] == '[' && s != checker->line->content; /* a header behind the mark */
    if (s[0] == '#')
        Report(checker, KIND_HASH_COMMENT, s,
               "'#' starts no comment: the line is skipped only because it holds no '='");
    if (hidden)
        Release(checker);
    if (s[0] == '\0' || s[0] == ';' || s[0] == '#' || hidden)
        return;
    ++checker->skipped;
    Report(checker, KIND_IGNORED_LINE, s, "%s: the line is skipped",
           s[0] == '[' ? "'[' without a name before ']'"
           : s[0] == '=' ? "no key before '='"
                         : "neither a section header nor an entry (no '=')");
}

static void Header(Checker *checker)
{
    const Line *line = checker->line;
    const char *s = line->content, *end = s + line->length, *name = line->section;
    const char *close = memchr(s + 1, ']', (size_t)line->length - 1), *cr = strchr(name, '\r');
    const char *after = close != NULL ? close + 1 : end;
    size_t written = (size_t)((close != NULL ? close : end) - (s + 1));
    Release(checker);
    if (written > QV_INI_MAX_SECTION)
        Report(checker, KIND_SECTION_CUT, s + 1 + QV_INI_MAX_SECTION,
               "section name of %zu characters: the library keeps its first %d", written,
               QV_INI_MAX_SECTION);
    if (close == NULL)
        Report(checker, KIND_UNCLOSED_SECTION, end,
               "no ']': the section name runs to the end of the line");
    while (after < end && QvIniIsSpace(*after))
        ++after;
    if (after < end && *after != ';' && *after != '#')
        Report(checker, KIND_TEXT_AFTER_SECTION, after, "text after ']' is ignored");
    if (cr != NULL)
        Report(checker, KIND_CARRIAGE_RETURN, s + 1 + (cr - name),
               "the carriage return stays in the section name, which a lookup must then name too");
    Repeated(checker, name, NULL);
}

static void Entry(Checker *checker)
{
    const Line *line = checker->line;
    const char *s = line->content, *value = line->value, *cr = strchr(line->key, '\r');
    const char *equals = memchr(s, '=', (size_t)line->length), *keyEnd = equals;
    ValueSpan span = value != NULL ? FindValue(line) : (ValueSpan){NULL, 0, NULL};
    while (keyEnd > s && QvIniIsSpace(keyEnd[-1]))
        --keyEnd;
    size_t keyLength = (size_t)(keyEnd - s);
    checker->entries += s[0] != '#';
    if (line->section == NULL)
        Report(checker, KIND_ENTRY_BEFORE_SECTION, s,
               "entry above the first section header: a lookup finds it only without a section, "
               "a store files it under the section \"\"");
    if (cr != NULL)
        Report(checker, KIND_CARRIAGE_RETURN, s + (cr - line->key),
               "the carriage return stays in the key, which a lookup must then name too");
    if (s[0] == '#')
        Report(checker, KIND_HASH_ENTRY, s,
               "'#' starts no comment: the library reads the entry %s%s%s",
               Quoted(checker, 0, line->key, strlen(line->key), '"'),
               value != NULL ? " = " : " without a value",
               value != NULL ? Quoted(checker, 1, value, strlen(value), '"') : "");
    else if (value == NULL && keyLength > QV_INI_MAX_FIELD)
        Report(checker, KIND_LONG_KEY, s + QV_INI_MAX_FIELD,
               "key of %zu characters is longer than %d: the library reads an entry without a "
               "value, keyed by the whole line",
               keyLength, QV_INI_MAX_FIELD);
    else if (value == NULL)
        Report(checker, KIND_EMPTY_VALUE, equals,
               "nothing after '=': the library reads the key %s with no value, which a lookup of "
               "%s does not find",
               Quoted(checker, 0, line->key, strlen(line->key), '"'),
               Quoted(checker, 1, s, keyLength, '"'));
    if (s[0] == '#' || value == NULL)
        return;
    if (span.length > QV_INI_MAX_FIELD)
        Report(checker, KIND_VALUE_CUT, span.start + QV_INI_MAX_FIELD,
               "value of %zu characters: the library keeps its first %d%s", span.length,
               QV_INI_MAX_FIELD,
               SplitsCharacter(span.start, span.length, QV_INI_MAX_FIELD)
                   ? ", and the cut splits a UTF-8 character" : "");
    if (span.carriageReturn != NULL)
        Report(checker, KIND_CARRIAGE_RETURN, span.carriageReturn,
               "the value ends at this carriage return: the library drops the text after it");
    /* A comment would start with ';', or with '#' after a blank: a value
     * such as "#ff0000" is meant as it is read. */
    for (size_t i = 0; value[i] != '\0'; ++i) {
        int blankBefore = i > 0 && QvIniIsSpace(value[i - 1]);
        if ((value[i] == ';' && (i == 0 || blankBefore)) || (value[i] == '#' && blankBefore)) {
            Report(checker, KIND_INLINE_COMMENT, span.start + i,
                   "%s is part of the value: no comment can follow a value",
                   Quoted(checker, 0, value + i, strlen(value + i), '"'));
            break;
        }
    }
    Repeated(checker, line->section, line->key);
}

static void CheckLine(Checker *checker)
{
    const Line *line = checker->line;
    const char *s = line->content;
    if (line->number > JUDGED_BY)
        Conclude(checker, 0);
    if (line->number == 1 && line->indent == 0 && strncmp(s, "\xEF\xBB\xBF", 3) == 0) {
        s += 3;
        Report(checker, KIND_BYTE_ORDER_MARK, line->content,
               "UTF-8 byte-order mark: the library reads it as text%s",
               line->reports != 0 ? " and as the start of the key"
               : s[0] == '['      ? ", so the line is no section header" : "");
    }
    if (checker->firstLine == 0 && s[0] != ';' && s[0] != '#') {
        checker->firstLine = line->number;
        checker->firstColumn = line->indent + (uintmax_t)(s - line->content) + 1;
        if (s[0] == '<' && !checker->judged)
            checker->unlike = "the file starts with '<' as XML does";
    }
    if (line->reports != 0)
        (line->key == NULL ? Header : Entry)(checker);
    else
        Skipped(checker, s);
}

int CheckFile(FILE *file, const char *name, const Severity severity[KIND_COUNT], FindingSink sink,
              void *context)
{
    Checker checker = {.file = name, .severity = severity, .sink = sink, .context = context,
                       .group = KEYS_ABOVE_HEADERS,
                       .judged = severity[KIND_NOT_INI] == SEVERITY_OFF};
    LineReader reader;
    Line line;
    int stopped = 0;
    StartReading(&reader, file);
    while (!checker.failed && !stopped && ReadLine(&reader, &line)) {
        checker.line = &line;
        if (!(stopped = line.result != QV_OK))
            CheckLine(&checker);
    }
    Conclude(&checker, 1);
    if (stopped)
        Report(&checker, KIND_LONG_LINE, line.content + QV_INI_MAX_LINE,
               "line of %ju characters after its indentation%s: the library stops at a line "
               "over %d and reads nothing from here on",
               line.length, line.last == '\r' ? ", its carriage return included" : "",
               QV_INI_MAX_LINE);
    if (!stopped && reader.start < reader.end && reader.window[reader.start] == '\0') {
        AddFormat(&checker.message,
                  "NUL byte at offset %ju: the library reads the text as ending here",
                  reader.offset + reader.start);
        Emit(&checker, KIND_NUL_BYTE, severity[KIND_NUL_BYTE], reader.number, reader.column + 1);
    }
    FreeNames(&checker.names);
    FreeText(&checker.message);
    FreeText(&checker.quoted[0]);
    FreeText(&checker.quoted[1]);
    if (reader.error != 0 || checker.failed)
        return reader.error != 0 ? Fail(EXIT_IO, "%s: %s", name, strerror(reader.error))
               : Fail(EXIT_NO_MEMORY, "%s: out of memory; -Wno-duplicate-key "
                      "-Wno-duplicate-section check with less", name);
    return 0;
}
