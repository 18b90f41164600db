// SPDX-License-Identifier: MIT
/*
 * commands.c - get, list, dump and check.  The answers are the library's:
 * QvGetIniValue for get, QvParseIniData's reports for list, a store for
 * dump, and the line reader for check and for saying where a line is.
 */
#include "commands.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

#include "escape.h"
#include "exit_status.h"
#include "lines.h"

static int NoMemory(void)
{
    fputs("qvini: out of memory\n", stderr);
    return EXIT_NO_MEMORY;
}

/* Called when the parser answers QV_BAD_DATA: names the line it stopped at. */
static int Overlong(const Input *input)
{
    LineReader reader;
    LineReading line;
    StartReading(&reader, input->text, input->length);
    while (ReadLine(&reader, &line))
        if (line.result != QV_OK) {
            fprintf(stderr,
                    "qvini: %s:%lu: line of %zu characters after its indentation; the "
                    "library stops at a line over %d\n",
                    input->name, line.number, line.length, MAX_LINE);
            break;
        }
    return EXIT_BAD_DATA;
}

/* The lookup's answer is QvGetIniValue's; this only finds the line of the
 * first matching entry, matched as the lookup matches, to tell whether the
 * parser cut its value. */
static int ParserCut(const Input *input, const char *section, const char *key)
{
    LineReader reader;
    LineReading line;
    StartReading(&reader, input->text, input->length);
    while (ReadLine(&reader, &line)) {
        if (line.key == NULL || QvStrCmpCI(line.section, section) != 0
            || QvStrCmpCI(line.key, key) != 0)
            continue;
        ValueSpan span = FindValue(&line);
        if (line.value == NULL || span.length <= MAX_FIELD)
            return 0;
        fprintf(stderr,
                "qvini: %s:%lu: the value has %zu characters; the parser keeps its first "
                "%d%s\n",
                input->name, line.number, span.length, MAX_FIELD,
                SplitsCharacter(span.start, span.length, MAX_FIELD)
                    ? ", and the cut splits a UTF-8 character"
                    : "");
        return EXIT_PARSER_CUT;
    }
    return 0;
}

int Get(const Input *input, const char *section, const char *key, uint32_t size)
{
    char *value = NULL;
    if (size != 0 && (value = malloc(size)) == NULL)
        return NoMemory();
    const char *wanted = section[0] != '\0' ? section : NULL;
    int32_t result = QvGetIniValue(input->text, wanted, key, value, size);
    int status = 0;
    if (result == QV_OK || result == QV_TRUNCATED) {
        if (value != NULL) {
            puts(value);
            status = ParserCut(input, wanted, key);
        }
        if (result == QV_TRUNCATED) {
            fprintf(stderr, "qvini: %s: value of %s cut to %lu bytes by --size\n", input->name,
                    key, (unsigned long)size - 1);
            status = EXIT_TRUNCATED;
        }
    } else if (result == QV_NOT_FOUND) {
        if (wanted == NULL)
            fprintf(stderr, "qvini: %s: no entry %s above the first section header\n",
                    input->name, key);
        else
            fprintf(stderr, "qvini: %s: no entry %s in section [%s]\n", input->name, key,
                    section);
        status = EXIT_FINDINGS;
    } else {
        status = Overlong(input);
    }
    free(value);
    return status;
}

/* ---- list and dump ------------------------------------------------------- */

static void PutString(const char *s, Format format)
{
    if (s == NULL)
        fputs("null", stdout);
    else if (format == FORMAT_JSON)
        PutJson(stdout, s, strlen(s));
    else
        PutQuoted(stdout, s, strlen(s));
}

typedef struct Listing {
    const char *section; /* null: everything; "": above the first header */
    Format format;
} Listing;

static int32_t ListReport(const char *section, const char *key, const char *value,
                          void *context)
{
    const Listing *listing = context;
    if (listing->section != NULL
        && QvStrCmpCI(section, listing->section[0] != '\0' ? listing->section : NULL) != 0)
        return QV_OK;
    if (listing->format == FORMAT_JSON) {
        fputs(key == NULL ? "{\"type\":\"header\",\"section\":" : "{\"type\":\"entry\",\"section\":",
              stdout);
        PutString(section, FORMAT_JSON);
        if (key != NULL) {
            fputs(",\"key\":", stdout);
            PutString(key, FORMAT_JSON);
            fputs(",\"value\":", stdout);
            PutString(value, FORMAT_JSON);
        }
        fputs("}\n", stdout);
    } else if (key == NULL) {
        PutSectionName(stdout, section);
        putchar('\n');
    } else {
        PutString(key, FORMAT_TEXT);
        if (value != NULL) {
            fputs(" = ", stdout);
            PutString(value, FORMAT_TEXT);
        } else {
            fputs(" (no value)", stdout);
        }
        putchar('\n');
    }
    return QV_OK;
}

int List(const Input *input, const char *section, Format format)
{
    Listing listing = {section, format};
    return QvParseIniData(input->text, ListReport, &listing) == QV_OK ? 0 : Overlong(input);
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
    const Format *format = context;
    if (*format == FORMAT_JSON) {
        fputs("{\"section\":", stdout);
        PutString(section, FORMAT_JSON);
        fputs(",\"key\":", stdout);
        PutString(key, FORMAT_JSON);
        fputs(",\"value\":", stdout);
        PutString(value, FORMAT_JSON);
        fputs("}\n", stdout);
    } else {
        PutSectionName(stdout, section);
        putchar(' ');
        PutString(key, FORMAT_TEXT);
        fputs(" = ", stdout);
        PutString(value, FORMAT_TEXT);
        putchar('\n');
    }
    return 0;
}

int Dump(const Input *input, Format format)
{
    TripletStore *store = NULL;
    if (QvAllocStore(&store) != QV_OK)
        return NoMemory();
    int32_t result = QvParseIniData(input->text, StoreReport, store);
    int status = 0;
    if (result == QV_OK)
        QvStoreIterate(store, NULL, PrintItem, &format, NULL);
    else if (result == QV_NO_MEMORY)
        status = NoMemory();
    else
        status = Overlong(input);
    QvFreeStore(store);
    return status;
}

/* ---- check --------------------------------------------------------------- */

typedef struct Tally {
    Format format;
    unsigned long count[SEVERITY_ERROR + 1];
} Tally;

static void PrintFinding(const Finding *finding, void *context)
{
    static const char *const severities[] = {"off", "note", "warning", "error"};
    Tally *tally = context;
    ++tally->count[finding->severity];
    if (tally->format == FORMAT_TEXT) {
        printf("%s:%lu:%zu: %s: %s [-W%s]\n", finding->file, finding->line, finding->column,
               severities[finding->severity], finding->message, KindName(finding->kind));
        return;
    }
    fputs("{\"file\":", stdout);
    PutString(finding->file, FORMAT_JSON);
    printf(",\"line\":%lu,\"column\":%zu,\"severity\":\"%s\",\"name\":\"%s\",\"message\":",
           finding->line, finding->column, severities[finding->severity],
           KindName(finding->kind));
    PutString(finding->message, FORMAT_JSON);
    fputs("}\n", stdout);
}

static const char *Plural(unsigned long count)
{
    return count == 1 ? "" : "s";
}

int Check(char *const *files, int count, const Rules *rules, Format format)
{
    Severity severity[KIND_COUNT];
    Severities(rules, severity);
    Tally tally = {format, {0}};
    int status = 0, checked = 0;
    for (int i = 0; i < count; ++i) {
        Input input;
        int result = ReadInput(files[i], &input);
        if (result == 0) {
            result = CheckText(&input, severity, PrintFinding, &tally);
            if (result == EXIT_NO_MEMORY)
                fprintf(stderr,
                        "qvini: %s: out of memory; -Wno-duplicate-key -Wno-duplicate-section "
                        "check with less\n",
                        input.name);
            FreeInput(&input);
            ++checked;
        }
        if (result > status)
            status = result;
    }
    unsigned long errors = tally.count[SEVERITY_ERROR], warnings = tally.count[SEVERITY_WARNING];
    if (status == 0)
        status = errors != 0 ? EXIT_BAD_DATA : warnings != 0 ? EXIT_FINDINGS : 0;
    fprintf(stderr, "qvini: checked %d file%s: %lu error%s, %lu warning%s\n", checked,
            Plural((unsigned long)checked), errors, Plural(errors), warnings, Plural(warnings));
    return status;
}
