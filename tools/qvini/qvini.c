/*
 * qvini - looks into INI files with libqv-utility_t, the way a host sees
 * them: the same parser, the same lookup, the same store.
 *
 *   qvini get [--size N] FILE SECTION KEY   print one value
 *   qvini list FILE [SECTION]               every header and entry, in order
 *   qvini check FILE                        lines the parser stops at or skips
 *   qvini dump FILE                         the entries loaded into a store
 *
 * It is a host like any other: linked with the library and the stand-in
 * host runtime that the library registers with when it is loaded.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

enum {
    EXIT_FOUND_NOTHING = 1, /* get: no such entry; check: something to report */
    EXIT_USAGE = 2,
    EXIT_TRUNCATED = 3,
    EXIT_BAD_DATA = 4,
    EXIT_IO = 5,          /* FILE unreadable, or standard output failed */
    EXIT_NO_MEMORY = 6,
};

enum { MAX_LINE = 260, DEFAULT_SIZE = 81, MAX_SIZE = 1 << 20 };

static const char usage[] =
    "usage: qvini get [--size N] FILE SECTION KEY\n"
    "       qvini list FILE [SECTION]\n"
    "       qvini check FILE\n"
    "       qvini dump FILE\n"
    "       qvini --help\n"
    "\n"
    "FILE - reads standard input.  SECTION \"\" stands for the entries above\n"
    "the first section header.  Names match without regard to ASCII case.\n"
    "\n"
    "  get    prints the value of the first matching entry (an entry without a\n"
    "         value prints an empty line); --size N asks for it in a buffer of\n"
    "         N bytes, terminator included (default 81, which holds any value)\n"
    "  list   prints every header as [name] and every entry as \"key\" = \"value\"\n"
    "         or \"key\" (no value), in text order; with SECTION, only that\n"
    "         section's headers and entries\n"
    "  check  reports the first line longer than 260 characters, lines that\n"
    "         are neither a header nor an entry, and entries without a value\n"
    "  dump   adds every entry to a store (a later duplicate replaces an earlier\n"
    "         one) and prints the store's walk: [section] \"key\" = \"value\"\n"
    "\n"
    "Exit status: 0 success, 1 not found (get) or findings (check), 2 usage,\n"
    "3 value truncated (get), 4 a line longer than 260 characters or a NUL\n"
    "byte, 5 FILE unreadable or output failed, 6 out of memory.\n";

static int UsageError(const char *message)
{
    fprintf(stderr, "qvini: %s\n%s", message, usage);
    return EXIT_USAGE;
}

/* ---- Input ---------------------------------------------------------------- */

typedef struct Input {
    const char *name; /* for messages: the file name, or "-" */
    char *text;       /* NUL-terminated, through the library's allocator */
    uint32_t length;
} Input;

/* Reads the whole of FILE into a growable buffer of the library's. */
static int ReadInput(const char *name, Input *input)
{
    FILE *file = strcmp(name, "-") == 0 ? stdin : fopen(name, "rb");
    if (file == NULL) {
        fprintf(stderr, "qvini: %s: %s\n", name, strerror(errno));
        return EXIT_IO;
    }
    char *buffer = NULL;
    uint32_t capacity = 0, used = 0;
    int status = 0;
    char chunk[8192];
    size_t got;
    while (status == 0 && (got = fread(chunk, 1, sizeof chunk, file)) > 0)
        if (QvAppendToBuffer(&buffer, &capacity, &used, chunk, (uint32_t)got) != QV_OK)
            status = EXIT_NO_MEMORY;
    if (status == 0 && ferror(file)) {
        fprintf(stderr, "qvini: %s: %s\n", name, strerror(errno));
        status = EXIT_IO;
    }
    if (status == 0 && QvAppendToBuffer(&buffer, &capacity, &used, "", 1) != QV_OK)
        status = EXIT_NO_MEMORY;
    if (file != stdin)
        fclose(file);
    if (status == EXIT_NO_MEMORY)
        fprintf(stderr, "qvini: %s: out of memory\n", name);
    if (status != 0) {
        QvuFree(buffer);
        return status;
    }
    input->name = name;
    input->text = buffer;
    input->length = used - 1;
    return 0;
}

/* The text ends at its first NUL for the parser; a file holding one would
 * be read only in part, so it is refused instead. */
static int RefuseNul(const Input *input)
{
    const char *nul = memchr(input->text, '\0', input->length);
    if (nul == NULL)
        return 0;
    fprintf(stderr, "qvini: %s: NUL byte at offset %lu; INI text ends at its first NUL\n",
            input->name, (unsigned long)(nul - input->text));
    return EXIT_BAD_DATA;
}

/* ---- Lines, counted as the parser counts them ----------------------------- */

/* The parser's whitespace: isspace in the POSIX locale. */
static int IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

typedef struct Line {
    const char *start; /* after the indentation */
    size_t length;     /* up to the line feed, which is not counted */
    unsigned long number;
} Line;

/* Steps through the physical lines of text; false at its end. */
static int NextLine(const char **position, Line *line)
{
    const char *p = *position;
    if (*p == '\0')
        return 0;
    const char *end = strchr(p, '\n');
    if (end == NULL)
        end = p + strlen(p);
    while (p < end && IsSpace((unsigned char)*p))
        ++p;
    line->start = p;
    line->length = (size_t)(end - p);
    ++line->number;
    *position = *end == '\n' ? end + 1 : end;
    return 1;
}

static void ReportOverlong(const char *name, const Line *line)
{
    fprintf(stderr, "qvini: %s:%lu: line of %lu characters is longer than %d\n", name,
            line->number, (unsigned long)line->length, MAX_LINE);
}

/* Called when the parser answers QV_BAD_DATA: names the line it stopped at. */
static int ReportBadData(const Input *input)
{
    const char *position = input->text;
    Line line = {0};
    while (NextLine(&position, &line))
        if (line.length > MAX_LINE) {
            ReportOverlong(input->name, &line);
            break;
        }
    return EXIT_BAD_DATA;
}

/* ---- Output --------------------------------------------------------------- */

/* Writes s between quotes, with every byte that is not printable ASCII (and
 * the quote and backslash) escaped, so a trailing blank or \r shows. */
static void PrintQuoted(const char *s)
{
    putchar('"');
    for (; *s != '\0'; ++s) {
        unsigned char c = (unsigned char)*s;
        switch (c) {
        case '"': fputs("\\\"", stdout); break;
        case '\\': fputs("\\\\", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        default:
            if (c < 0x20 || c >= 0x7f)
                printf("\\x%02x", c);
            else
                putchar(c);
        }
    }
    putchar('"');
}

/* The section in brackets, escaped like a quoted string but without quotes. */
static void PrintSection(const char *section)
{
    putchar('[');
    for (; *section != '\0'; ++section) {
        unsigned char c = (unsigned char)*section;
        if (c < 0x20 || c >= 0x7f || c == '\\' || c == ']')
            printf("\\x%02x", c);
        else
            putchar(c);
    }
    putchar(']');
}

/* ---- Commands ------------------------------------------------------------- */

/* A wanted section as the library takes it: "" stands for null. */
static const char *WantedSection(const char *argument)
{
    return argument[0] == '\0' ? NULL : argument;
}

static int Get(const Input *input, const char *section, const char *key, uint32_t size)
{
    char *value = NULL;
    if (size != 0 && (value = QvuMalloc(size)) == NULL) {
        fprintf(stderr, "qvini: out of memory\n");
        return EXIT_NO_MEMORY;
    }
    int32_t result = QvGetIniValue(input->text, WantedSection(section), key, value, size);
    int status = 0;
    if (result == QV_OK || result == QV_TRUNCATED) {
        if (value != NULL)
            puts(value);
        if (result == QV_TRUNCATED) {
            fprintf(stderr, "qvini: %s: value of %s cut to %lu bytes\n", input->name, key,
                    (unsigned long)size - 1);
            status = EXIT_TRUNCATED;
        }
    } else if (result == QV_NOT_FOUND) {
        if (section[0] == '\0')
            fprintf(stderr, "qvini: %s: no entry %s above the first section header\n",
                    input->name, key);
        else
            fprintf(stderr, "qvini: %s: no entry %s in section [%s]\n", input->name, key,
                    section);
        status = EXIT_FOUND_NOTHING;
    } else {
        status = ReportBadData(input);
    }
    QvuFree(value);
    return status;
}

typedef struct ListFilter {
    const char *section; /* null: everything; "": above the first header */
} ListFilter;

static int32_t ListReport(const char *section, const char *key, const char *value,
                          void *context)
{
    const ListFilter *filter = context;
    if (filter->section != NULL
        && (filter->section[0] == '\0' ? section != NULL
                                       : QvStrCmpCI(section, filter->section) != 0))
        return QV_OK;
    if (key == NULL) {
        PrintSection(section);
    } else {
        PrintQuoted(key);
        if (value != NULL) {
            fputs(" = ", stdout);
            PrintQuoted(value);
        } else {
            fputs(" (no value)", stdout);
        }
    }
    putchar('\n');
    return QV_OK;
}

static int List(const Input *input, const char *section)
{
    ListFilter filter = {section};
    return QvParseIniData(input->text, ListReport, &filter) == QV_OK ? 0
                                                                     : ReportBadData(input);
}

typedef struct LineReport {
    int reported;
    int withoutValue;
} LineReport;

static int32_t NoteReport(const char *section, const char *key, const char *value,
                          void *context)
{
    (void)section;
    LineReport *report = context;
    report->reported = 1;
    report->withoutValue = key != NULL && value == NULL;
    return QV_OK;
}

/* Each line goes through the parser alone: whether a line is a header, an
 * entry or nothing does not depend on the lines around it. */
static int Check(const Input *input)
{
    int findings = 0;
    const char *position = input->text;
    Line line = {0};
    char copy[MAX_LINE + 1];
    while (NextLine(&position, &line)) {
        if (line.length > MAX_LINE) {
            ReportOverlong(input->name, &line);
            return EXIT_FOUND_NOTHING;
        }
        if (line.length == 0 || line.start[0] == ';')
            continue;
        memcpy(copy, line.start, line.length);
        copy[line.length] = '\0';
        LineReport report = {0, 0};
        QvParseIniData(copy, NoteReport, &report);
        if (!report.reported)
            printf("%s:%lu: ignored: neither a section header nor an entry\n", input->name,
                   line.number);
        else if (report.withoutValue)
            printf("%s:%lu: entry without a value: its key is the whole line\n",
                   input->name, line.number);
        findings += !report.reported || report.withoutValue;
    }
    return findings != 0 ? EXIT_FOUND_NOTHING : 0;
}

static int32_t StoreReport(const char *section, const char *key, const char *value,
                           void *context)
{
    if (key == NULL)
        return QV_OK;
    return QvAddItem(context, section != NULL ? section : "", key, value != NULL ? value : "");
}

static int32_t PrintItem(const char *section, const char *key, void *value, void *context)
{
    (void)context;
    PrintSection(section);
    putchar(' ');
    PrintQuoted(key);
    fputs(" = ", stdout);
    PrintQuoted(value);
    putchar('\n');
    return 0;
}

static int Dump(const Input *input)
{
    TripletStore *store = NULL;
    if (QvAllocStore(&store) != QV_OK) {
        fprintf(stderr, "qvini: out of memory\n");
        return EXIT_NO_MEMORY;
    }
    int32_t result = QvParseIniData(input->text, StoreReport, store);
    int status = 0;
    if (result == QV_OK) {
        QvStoreIterate(store, NULL, PrintItem, NULL, NULL);
    } else if (result == QV_NO_MEMORY) {
        fprintf(stderr, "qvini: out of memory\n");
        status = EXIT_NO_MEMORY;
    } else {
        status = ReportBadData(input);
    }
    QvFreeStore(store);
    return status;
}

/* ---- Arguments ------------------------------------------------------------ */

static int ParseSize(const char *text, uint32_t *size)
{
    char *end;
    errno = 0;
    unsigned long value = strtoul(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || *end != '\0' || errno != 0 || value > MAX_SIZE)
        return 0;
    *size = (uint32_t)value;
    return 1;
}

int main(int argc, char **argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage, stdout);
        return 0;
    }
    if (argc < 2)
        return UsageError("no command given");

    const char *command = argv[1];
    char **operands = argv + 2;
    int count = argc - 2;
    uint32_t size = DEFAULT_SIZE;
    if (strcmp(command, "get") == 0 && count > 0 && strcmp(operands[0], "--size") == 0) {
        if (count < 2 || !ParseSize(operands[1], &size))
            return UsageError("--size needs a byte count from 0 to 1048576");
        operands += 2;
        count -= 2;
    }

    int expected;
    if (strcmp(command, "get") == 0)
        expected = count == 3;
    else if (strcmp(command, "list") == 0)
        expected = count == 1 || count == 2;
    else if (strcmp(command, "check") == 0 || strcmp(command, "dump") == 0)
        expected = count == 1;
    else
        return UsageError("unknown command");
    if (!expected)
        return UsageError(count == 0 ? "no FILE given" : "wrong number of arguments");

    Input input;
    int status = ReadInput(operands[0], &input);
    if (status != 0)
        return status;
    status = RefuseNul(&input);
    if (status == 0) {
        if (command[0] == 'g')
            status = Get(&input, operands[1], operands[2], size);
        else if (command[0] == 'l')
            status = List(&input, count == 2 ? operands[1] : NULL);
        else if (command[0] == 'c')
            status = Check(&input);
        else
            status = Dump(&input);
    }
    QvuFree(input.text);
    if (fflush(stdout) != 0) {
        fprintf(stderr, "qvini: standard output: %s\n", strerror(errno));
        status = EXIT_IO;
    }
    return status;
}
