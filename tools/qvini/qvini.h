/* SPDX-License-Identifier: MIT */
/*
 * qvini.h - the parts of qvini and what each offers the others: text built
 * in the library's growable buffers (text.c), files read whole (input.c) or
 * line by line through the parser (lines.c), the names a file has used
 * (names.c), the checker (check.c) and its kinds of finding (warnings.c),
 * and the commands (commands.c) that main.c runs.
 */
#ifndef QVINI_H
#define QVINI_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <qv-utility.h>

/* Exit statuses, one list for every command.  The manual page tables them;
 * a new one goes at the end so scripts that test the old numbers keep
 * working. */
enum {
    EXIT_FINDINGS = 1,    /* get: no such entry; check: warnings */
    EXIT_USAGE = 2,
    EXIT_TRUNCATED = 3,   /* get: the value was cut to fit --size */
    EXIT_BAD_DATA = 4,    /* a line over the limit or a NUL byte; check: errors */
    EXIT_IO = 5,          /* FILE unreadable, or standard output failed */
    EXIT_NO_MEMORY = 6,   /* FILE or the work on it does not fit in memory */
    EXIT_PARSER_CUT = 7,  /* get: the parser cut the value */
};

/* ---- text.c: what qvini writes --------------------------------------- */

typedef struct Text {
    char *bytes;
    uint32_t capacity, used;
    int failed;           /* memory ran out: the text is incomplete */
} Text;

void Add(Text *text, const void *bytes, size_t length);
QV_PRINTF_LIKE(2, 3) void AddFormat(Text *text, const char *format, ...);
QV_PRINTF_LIKE(2, 0) void AddFormatV(Text *text, const char *format, va_list arguments);

/* s[0, length) between double quotes: valid UTF-8 as it stands; \\ and the
 * quote, \t, \r, \n and other control characters, and bytes that are not
 * valid UTF-8 escaped ("\x0b", "\xc3"). */
#define AddQuoted(text, s, length) AddEscaped(text, s, length, '"', '"', 0)

/* A header's name between [ and ], escaped in the same way. */
#define AddSection(text, name) AddEscaped(text, name, strlen(name), '[', ']', 0)

/* s[0, length) between open and close: as AddQuoted, or as a JSON string
 * (json 1); null for a null s. */
void AddEscaped(Text *text, const char *s, size_t length, char open, char close, int json);

/* s as a JSON string, bytes that are not valid UTF-8 as U+FFFD; null for a
 * null s. */
#define AddJson(text, s) AddEscaped(text, s, (s) != NULL ? strlen(s) : 0, '"', '"', 1)

/* Writes the text to standard output and empties it. */
void Put(Text *text);

void FreeText(Text *text);

/* True when cutting s before s[at] splits a valid UTF-8 character. */
int SplitsCharacter(const char *s, size_t length, size_t at);

/* Writes "qvini: " and the message on standard error, after whatever
 * standard output holds, and a pointer to the help after a usage error;
 * answers status. */
QV_PRINTF_LIKE(2, 3) int Fail(int status, const char *format, ...);

/* ---- input.c: files opened, and read whole into one block ended by a NUL,
 * as the library takes text ---------------------------------------------- */

typedef struct Input {
    const char *name; /* for messages: the path, or "<stdin>" for "-" */
    char *text;       /* the file's bytes and a NUL after them */
    size_t size, mapped; /* bytes read; bytes of the block that holds them */
} Input;

/* Reads path ("-": standard input) whole.  0, or EXIT_IO or EXIT_NO_MEMORY
 * after a message that names the file and the reason. */
int ReadInput(const char *path, Input *input);
void FreeInput(Input *input);

/* path opened for reading, or standard input for "-", with the name that
 * messages give it; null after a message. */
FILE *OpenFile(const char *path, const char **name);

/* ---- lines.c: text read from a stream line by line ---------------------
 *
 * The dialect is line-local: what a line is (header, entry, nothing) and
 * what the parser reports for it do not depend on the lines around it,
 * apart from the section an entry belongs to, which is the latest header's.
 * So a line parsed alone gets exactly the report it gets inside the whole
 * text, and the line it came from is known.  Everything qvini says about a
 * line starts from that report; the raw text beside it only adds positions
 * and explanations.  Only a window of the stream is held, so a file of any
 * size is read in a few kilobytes. */

typedef struct Line {
    uintmax_t number, indent; /* 1 for the first line; bytes before content */
    const char *content;   /* after the indentation the parser skips, ended
                              by a NUL unless the line is overlong */
    uintmax_t length;      /* of content, to the line feed, a NUL byte or the
                              end of the text; for an overlong line too */
    char last;             /* content's last byte */
    int32_t result;        /* the parser's: QV_OK, or QV_BAD_DATA (too long) */
    int reports;           /* how many reports the parser made for the line */
    const char *section;   /* a header's name; for an entry the latest header's
                              name, or null above the first header */
    const char *key;       /* an entry's key; null for a header */
    const char *value;     /* an entry's value; null for a header or an entry
                              without a value */
} Line;

typedef struct LineReader {
    FILE *file;
    int error, ended;      /* errno of a failed read; the file has given all */
    uintmax_t offset;      /* of window[0] in the file */
    uintmax_t number, column; /* the line and its byte at window[start] */
    size_t start, end;     /* the bytes read and not yet taken */
    Line *line;            /* the one being read */
    char section[QV_INI_MAX_SECTION + 1]; /* "" above the first header: no
                                             header has an empty name */
    char key[QV_INI_MAX_LINE + 1];
    char value[QV_INI_MAX_FIELD + 1];
    char window[1 << 14];
} LineReader;

void StartReading(LineReader *reader, FILE *file);

/* The next line as the parser reads it, 1; 0 once the text is over: at
 * the end of the file, at a read error (reader->error), or at a NUL byte,
 * which then stands at window[start].  The line's strings last until the
 * next call.  An overlong line is the last one read. */
int ReadLine(LineReader *reader, Line *line);

/* Where the value of an entry with a value stands in its line: after the "=" and the blanks
 * that follow it, up to the first carriage return or the line's end, less
 * trailing whitespace.  The parser keeps at most QV_INI_MAX_FIELD bytes. */
typedef struct ValueSpan {
    const char *start;
    size_t length;
    const char *carriageReturn; /* one that ends the value before other text,
                                   which the parser drops; or null */
} ValueSpan;

ValueSpan FindValue(const Line *line);

/* ---- names.c: the sections and keys a file has named so far -----------
 *
 * One set of names, each in a group: the section names, or the keys of one
 * section.  Names compare as the library's lookup and store compare them,
 * with QvStrCmpCI. */

enum { SECTION_NAMES = 0, KEYS_ABOVE_HEADERS = 1 };

typedef struct Name {
    uint32_t hash, group, text, repeats; /* text: where it is in Names.text;
                                            repeats: how often named again */
    uintmax_t line, column;
} Name;

typedef struct Names {
    Name *names;           /* in the order first named */
    size_t count;
    uint32_t *slots;       /* open addressing: an index of names plus 1, or 0 */
    size_t capacity;       /* of slots: a power of two, at least twice count */
    Text text;             /* the names, each ended by a NUL */
} Names;

/* Remembers name in group: SECTION_NAMES, KEYS_ABOVE_HEADERS, or the
 * KeyGroup of a section name.  The name the group had, its repeats counted
 * up, or the one added; it lasts until the next call.  Null when memory ran
 * out. */
Name *Remember(Names *names, uint32_t group, const char *name, uintmax_t line, uintmax_t column);
void FreeNames(Names *names);

#define KeyGroup(set, section) ((uint32_t)((section) - (set)->names) + 2)
#define NameText(set, name) ((set)->text.bytes + (name)->text)

/* ---- check.c and warnings.c: where the library reads a file differently
 * than a person would.  Each finding names its line and column, says what
 * the library makes of the text, and has a stable name of its kind. */

typedef enum Severity { SEVERITY_OFF, SEVERITY_NOTE, SEVERITY_WARNING, SEVERITY_ERROR } Severity;

/* Every kind of finding: its name (none starts with "no-" or "error", which
 * the options' prefixes take), its severity (errors are where the library
 * stops reading), and whether it is on by default; the two off are readings
 * a person usually means. */
#define QVINI_KINDS(X)                                                                        \
    X(LONG_LINE, "long-line", ERROR, 1) X(NUL_BYTE, "nul-byte", ERROR, 1)                    \
    X(VALUE_CUT, "value-cut", WARNING, 1) X(SECTION_CUT, "section-cut", WARNING, 1)          \
    X(LONG_KEY, "long-key", WARNING, 1) X(HASH_ENTRY, "hash-entry", WARNING, 1)              \
    X(INLINE_COMMENT, "inline-comment", WARNING, 1) X(EMPTY_VALUE, "empty-value", WARNING, 1) \
    X(DUPLICATE_KEY, "duplicate-key", WARNING, 1)                                            \
    X(DUPLICATE_SECTION, "duplicate-section", WARNING, 1)                                    \
    X(UNCLOSED_SECTION, "unclosed-section", WARNING, 1)                                      \
    X(TEXT_AFTER_SECTION, "text-after-section", WARNING, 1)                                  \
    X(CARRIAGE_RETURN, "carriage-return", WARNING, 1)                                        \
    X(BYTE_ORDER_MARK, "byte-order-mark", WARNING, 1)                                        \
    X(IGNORED_LINE, "ignored-line", WARNING, 1) X(NOT_INI, "not-ini", WARNING, 1)            \
    X(ENTRY_BEFORE_SECTION, "entry-before-section", WARNING, 0)                              \
    X(HASH_COMMENT, "hash-comment", WARNING, 0)

#define QVINI_KIND_ENUM(kind, name, severity, on) KIND_##kind,
typedef enum Kind { QVINI_KINDS(QVINI_KIND_ENUM) KIND_COUNT } Kind;
#undef QVINI_KIND_ENUM

typedef struct Finding {
    const char *file;
    uintmax_t line, column; /* the column in bytes, 1 for a line's first */
    Severity severity;  /* a note adds to the finding before it */
    Kind kind;
    const char *message;
} Finding;

typedef void (*FindingSink)(const Finding *finding, void *context);

/* Hands every finding of the text in file to sink, those of the kinds whose
 * severity is not SEVERITY_OFF, and reads no further than the first error.
 * A file that is plainly not INI gets one KIND_NOT_INI finding in place of
 * those about its lines, unless that kind is off.  0, or after a message
 * EXIT_IO or EXIT_NO_MEMORY. */
int CheckFile(FILE *file, const char *name, const Severity severity[KIND_COUNT],
              FindingSink sink, void *context);

/* Which kinds are on, and at which severity: the defaults changed by the
 * -W options. */
typedef struct Rules {
    Severity severity[KIND_COUNT];
    int allErrors; /* -Werror: every kind that is on */
} Rules;

void StartRules(Rules *rules);

/* Applies the option -W followed by rule: all, NAME, no-NAME, error or
 * error=NAME.  Null, or what was wrong with it. */
const char *ApplyRule(Rules *rules, const char *rule);

const char *KindName(Kind kind);

/* Every name for the help, "(off)" after those off by default, on lines of
 * their own. */
void PutKindNames(FILE *out);

/* ---- commands.c: what main.c runs once the arguments are understood.  Each
 * answers an exit status and has written its messages. */

typedef enum Format { FORMAT_TEXT, FORMAT_JSON } Format;

/* section "" stands for the entries above the first header; size is at
 * most MAX_VALUE_SIZE. */
enum { MAX_VALUE_SIZE = 1 << 20 };
int Get(const Input *input, const char *section, const char *key, uint32_t size);
int List(const Input *input, const char *section, Format format); /* section may be null */
int Dump(const Input *input, Format format);
int Check(char *const *files, int count, const Rules *rules, Format format);

/* Says where the library stops reading input: at a line over the limit or
 * at a NUL byte.  EXIT_BAD_DATA. */
int Refuse(const Input *input);

#endif
