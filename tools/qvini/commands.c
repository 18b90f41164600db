// SPDX-License-Identifier: MIT
/*
 * commands.c - get, list, dump and check.  The answers are the library's:
 * QvGetIniValue for get, QvParseIniData's reports for list, a store for
 * dump, and the line reader for check and for saying where a line is.
 */
#include "commands.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

#include "exit_status.h"
#include "lines.h"
#include "text.h"

static int NoMemory(void)
{
    return Fail(EXIT_NO_MEMORY, "out of memory");
}

static void ToStderr(const Finding *finding, void *context)
{
    (void)context;
    Fail(0, "%s:%ju:%ju: %s", finding->file, finding->line, finding->column, finding->message);
}

int Refuse(const Input *input)
{
    static const Severity errors[KIND_COUNT] = {[KIND_LONG_LINE] = SEVERITY_ERROR,
                                                [KIND_NUL_BYTE] = SEVERITY_ERROR};
    FILE *file = fmemopen(input->text, input->size, "r");
    if (file == NULL)
        return NoMemory();
    int status = CheckFile(file, input->name, errors, ToStderr, NULL);
    fclose(file);
    return status != 0 ? status : EXIT_BAD_DATA;
}

/* The lookup's answer is QvGetIniValue's; this only finds the line of the
 * first matching entry, matched as the lookup matches, to tell whether the
 * parser cut its value. */
static int ParserCut(const Input *input, const char *section, const char *key)
{
    LineReader reader;
    Line line;
    FILE *file = fmemopen(input->text, input->size, "r");
    int status = 0;
    if (file == NULL)
        return NoMemory();
    StartReading(&reader, file);
    while (ReadLine(&reader, &line)) {
        if (line.key == NULL || QvStrCmpCI(line.section, section) != 0
            || QvStrCmpCI(line.key, key) != 0)
            continue;
        ValueSpan span = FindValue(&line);
        if (line.value != NULL && span.length > QV_INI_MAX_FIELD)
            status = Fail(EXIT_PARSER_CUT,
                          "%s:%ju: the value has %zu characters; the parser keeps its first %d%s",
                          input->name, line.number, span.length, QV_INI_MAX_FIELD,
                          SplitsCharacter(span.start, span.length, QV_INI_MAX_FIELD)
                              ? ", and the cut splits a UTF-8 character"
                              : "");
        break;
    }
    fclose(file);
    return status;
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
        if (result == QV_TRUNCATED)
            status = Fail(EXIT_TRUNCATED, "%s: value of %s cut to %lu bytes by --size",
                          input->name, key, (unsigned long)size - 1);
    } else if (result == QV_NOT_FOUND) {
        status = wanted == NULL
                     ? Fail(EXIT_FINDINGS, "%s: no entry %s above the first section header",
                            input->name, key)
                     : Fail(EXIT_FINDINGS, "%s: no entry %s in section [%s]", input->name, key,
                            section);
    } else {
        status = Refuse(input);
    }
    free(value);
    return status;
}

/* ---- list and dump ------------------------------------------------------- */

typedef struct Listing {
    const char *section; /* null: everything; "": above the first header */
    Format format;
    Text out;
} Listing;

static int32_t ListReport(const char *section, const char *key, const char *value,
                          void *context)
{
    Listing *listing = context;
    Text *out = &listing->out;
    if (listing->section != NULL
        && QvStrCmpCI(section, listing->section[0] != '\0' ? listing->section : NULL) != 0)
        return QV_OK;
    if (listing->format == FORMAT_JSON) {
        AddFormat(out, "{\"type\":\"%s\",\"section\":", key == NULL ? "header" : "entry");
        AddJson(out, section);
        if (key != NULL) {
            AddFormat(out, ",\"key\":");
            AddJson(out, key);
            AddFormat(out, ",\"value\":");
            AddJson(out, value);
        }
        AddFormat(out, "}\n");
    } else if (key == NULL) {
        AddSection(out, section);
        AddFormat(out, "\n");
    } else {
        AddQuoted(out, key, strlen(key));
        if (value != NULL) {
            AddFormat(out, " = ");
            AddQuoted(out, value, strlen(value));
        }
        AddFormat(out, value != NULL ? "\n" : " (no value)\n");
    }
    return Put(out) == 0 ? QV_OK : QV_NO_MEMORY;
}

int List(const Input *input, const char *section, Format format)
{
    Listing listing = {section, format, {0}};
    int32_t result = QvParseIniData(input->text, ListReport, &listing);
    FreeText(&listing.out);
    return result == QV_OK ? 0 : result == QV_NO_MEMORY ? NoMemory() : Refuse(input);
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
    Listing *listing = context;
    Text *out = &listing->out;
    if (listing->format == FORMAT_JSON) {
        AddFormat(out, "{\"section\":");
        AddJson(out, section);
        AddFormat(out, ",\"key\":");
        AddJson(out, key);
        AddFormat(out, ",\"value\":");
        AddJson(out, value);
        AddFormat(out, "}\n");
    } else {
        AddSection(out, section);
        AddFormat(out, " ");
        AddQuoted(out, key, strlen(key));
        AddFormat(out, " = ");
        AddQuoted(out, value, strlen(value));
        AddFormat(out, "\n");
    }
    return Put(out) == 0 ? QV_OK : QV_NO_MEMORY;
}

int Dump(const Input *input, Format format)
{
    TripletStore *store = NULL;
    Listing listing = {NULL, format, {0}};
    if (QvAllocStore(&store) != QV_OK)
        return NoMemory();
    int32_t result = QvParseIniData(input->text, StoreReport, store);
    if (result == QV_OK)
        result = QvStoreIterate(store, NULL, PrintItem, &listing, NULL);
    QvFreeStore(store);
    FreeText(&listing.out);
    return result == QV_OK ? 0 : result == QV_NO_MEMORY ? NoMemory() : Refuse(input);
}

/* ---- check --------------------------------------------------------------- */

typedef struct Tally {
    Format format;
    Text out;
    unsigned long count[SEVERITY_ERROR + 1];
} Tally;

static void PrintFinding(const Finding *finding, void *context)
{
    static const char *const severities[] = {"off", "note", "warning", "error"};
    Tally *tally = context;
    Text *out = &tally->out;
    ++tally->count[finding->severity];
    if (tally->format == FORMAT_TEXT) {
        AddFormat(out, "%s:%ju:%ju: %s: %s [-W%s]\n", finding->file, finding->line,
                  finding->column, severities[finding->severity], finding->message,
                  KindName(finding->kind));
    } else {
        AddFormat(out, "{\"file\":");
        AddJson(out, finding->file);
        AddFormat(out, ",\"line\":%ju,\"column\":%ju,\"severity\":\"%s\",\"name\":\"%s\",\"message\":",
                  finding->line, finding->column, severities[finding->severity],
                  KindName(finding->kind));
        AddJson(out, finding->message);
        AddFormat(out, "}\n");
    }
    Put(out);
}

static const char *Plural(unsigned long count)
{
    return count == 1 ? "" : "s";
}

int Check(char *const *files, int count, const Rules *rules, Format format)
{
    Severity severity[KIND_COUNT];
    Severities(rules, severity);
    Tally tally = {format, {0}, {0}};
    int status = 0, checked = 0;
    for (int i = 0; i < count; ++i) {
        int fromStdin = strcmp(files[i], "-") == 0;
        FILE *file = fromStdin ? stdin : fopen(files[i], "r");
        int result = file == NULL ? Fail(EXIT_IO, "%s: %s", files[i], strerror(errno)) : 0;
        if (file != NULL) {
            result = CheckFile(file, fromStdin ? "<stdin>" : files[i], severity, PrintFinding,
                               &tally);
            ++checked;
            if (!fromStdin)
                fclose(file);
        }
        if (result > status)
            status = result;
    }
    FreeText(&tally.out);
    unsigned long errors = tally.count[SEVERITY_ERROR], warnings = tally.count[SEVERITY_WARNING];
    if (status == 0)
        status = errors != 0 ? EXIT_BAD_DATA : warnings != 0 ? EXIT_FINDINGS : 0;
    Fail(0, "checked %d file%s: %lu error%s, %lu warning%s", checked,
         Plural((unsigned long)checked), errors, Plural(errors), warnings, Plural(warnings));
    return status;
}
