// SPDX-License-Identifier: MIT
/*
 * commands.c - get, list, dump and check.  The answers are the library's:
 * QvGetIniValue for get, QvParseIniData's reports for list, a store for
 * dump, and the line reader for check and for saying where a line is.
 */
#include "qvini.h"

#include <stdio.h>
#include <string.h>

#define NoMemory() Fail(EXIT_NO_MEMORY, "out of memory")

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
    if (file == NULL)
        return NoMemory();
    int found = 0;
    StartReading(&reader, file);
    while (!found && ReadLine(&reader, &line))
        found = line.key != NULL && QvStrCmpCI(line.section, section) == 0
                && QvStrCmpCI(line.key, key) == 0;
    ValueSpan span = found && line.value != NULL ? FindValue(&line) : (ValueSpan){NULL, 0, NULL};
    fclose(file);
    if (span.length <= QV_INI_MAX_FIELD)
        return 0;
    return Fail(EXIT_PARSER_CUT,
                "%s:%ju: the value has %zu characters; the parser keeps its first %d%s",
                input->name, line.number, span.length, QV_INI_MAX_FIELD,
                SplitsCharacter(span.start, span.length, QV_INI_MAX_FIELD)
                    ? ", and the cut splits a UTF-8 character" : "");
}

int Get(const Input *input, const char *section, const char *key, uint32_t size)
{
    static char value[MAX_VALUE_SIZE]; /* its pages cost nothing until written */
    const char *wanted = section[0] != '\0' ? section : NULL;
    int32_t result = QvGetIniValue(input->text, wanted, key, value, size);
    if (result == QV_NOT_FOUND)
        return Fail(EXIT_FINDINGS, "%s: no entry %s %s%s%s", input->name, key,
                    wanted == NULL ? "above the first section header" : "in section [", section,
                    wanted == NULL ? "" : "]");
    if (result != QV_OK && result != QV_TRUNCATED)
        return Refuse(input);
    if (size != 0)
        puts(value);
    int status = size != 0 ? ParserCut(input, wanted, key) : 0;
    return result != QV_TRUNCATED ? status
           : Fail(EXIT_TRUNCATED, "%s: value of %s cut to %lu bytes by --size", input->name, key,
                  (unsigned long)size - 1);
}

/* ---- list and dump ------------------------------------------------------- */

typedef struct Listing {
    const char *section; /* list: null for everything, "" above the first header */
    Format format;
    int dump;            /* items of a store: each with its section */
    Text out;
} Listing;

/* ,"name":value in a JSON object. */
static void AddMember(Text *out, const char *name, const char *value)
{
    AddFormat(out, ",\"%s\":", name);
    AddJson(out, value);
}

/* A header (key null) or an entry, as list or dump prints it. */
static int32_t Print(const char *section, const char *key, const char *value, void *context)
{
    Listing *listing = context;
    Text *out = &listing->out;
    if (listing->section != NULL
        && QvStrCmpCI(section, listing->section[0] != '\0' ? listing->section : NULL) != 0)
        return QV_OK;
    if (listing->format == FORMAT_JSON) {
        if (listing->dump)
            AddFormat(out, "{\"section\":");
        else
            AddFormat(out, "{\"type\":\"%s\",\"section\":", key == NULL ? "header" : "entry");
        AddJson(out, section);
        if (key != NULL) {
            AddMember(out, "key", key);
            AddMember(out, "value", value);
        }
        AddFormat(out, "}\n");
    } else {
        if (key == NULL || listing->dump)
            AddSection(out, section);
        if (key != NULL) {
            Add(out, " ", (size_t)listing->dump);
            AddQuoted(out, key, strlen(key));
            AddFormat(out, value != NULL ? " = " : " (no value)");
        }
        if (value != NULL)
            AddQuoted(out, value, strlen(value));
        Add(out, "\n", 1);
    }
    Put(out);
    return out->failed ? QV_NO_MEMORY : QV_OK;
}

int List(const Input *input, const char *section, Format format)
{
    Listing listing = {section, format, 0, {0}};
    int32_t result = QvParseIniData(input->text, Print, &listing);
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
    return Print(section, key, value, context); /* a store's value is a string */
}

int Dump(const Input *input, Format format)
{
    TripletStore *store = NULL;
    Listing listing = {NULL, format, 1, {0}};
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
        AddFormat(out, "%s:%ju:%ju: %s: %s [-W%s]\n", finding->file, finding->line, finding->column,
                  severities[finding->severity], finding->message, KindName(finding->kind));
    } else {
        AddFormat(out, "{\"file\":");
        AddJson(out, finding->file);
        AddFormat(out, ",\"line\":%ju,\"column\":%ju,\"severity\":\"%s\",\"name\":\"%s\"",
                  finding->line, finding->column, severities[finding->severity],
                  KindName(finding->kind));
        AddMember(out, "message", finding->message);
        AddFormat(out, "}\n");
    }
    Put(out);
}

int Check(char *const *files, int count, const Rules *rules, Format format)
{
    Severity severity[KIND_COUNT];
    Tally tally = {format, {0}, {0}};
    int status = 0, checked = 0;
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        severity[kind] = rules->allErrors && rules->severity[kind] != SEVERITY_OFF
                             ? SEVERITY_ERROR : rules->severity[kind];
    for (int i = 0; i < count; ++i) {
        const char *name;
        FILE *file = OpenFile(files[i], &name);
        int result = file != NULL ? CheckFile(file, name, severity, PrintFinding, &tally) : EXIT_IO;
        checked += file != NULL;
        if (file != NULL && file != stdin)
            fclose(file);
        status = result > status ? result : status;
    }
    FreeText(&tally.out);
    unsigned long errors = tally.count[SEVERITY_ERROR], warnings = tally.count[SEVERITY_WARNING];
    if (status == 0)
        status = errors != 0 ? EXIT_BAD_DATA : warnings != 0 ? EXIT_FINDINGS : 0;
    Fail(0, "checked %d file%s: %lu error%s, %lu warning%s", checked, checked == 1 ? "" : "s",
         errors, errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
    return status;
}
