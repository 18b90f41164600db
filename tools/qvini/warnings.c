// SPDX-License-Identifier: MIT
/*
 * warnings.c - kinds of finding by name.  The default set holds only what
 * the library reads differently than a person would; the two kinds off by
 * default are readings a person usually means.
 */
#include "qvini.h"

#include <stdio.h>
#include <string.h>

typedef struct KindRule {
    const char *name;
    Severity severity;
    int enabled;
} KindRule;

#define QVINI_KIND_RULE(kind, name, severity, on) {name, SEVERITY_##severity, on},
static const KindRule kinds[KIND_COUNT] = {QVINI_KINDS(QVINI_KIND_RULE)};

const char *KindName(Kind kind)
{
    return kinds[kind].name;
}

void PutKindNames(FILE *out, int indent, int width)
{
    for (int kind = 0, column = width; kind < KIND_COUNT; ++kind) {
        int length = (int)strlen(kinds[kind].name) + (kinds[kind].enabled ? 1 : 6);
        if ((column += length) > width)
            fprintf(out, "\n%*s", indent, ""), column = indent + length;
        fprintf(out, " %s%s", kinds[kind].name, kinds[kind].enabled ? "" : "(off)");
    }
    putc('\n', out);
}

void StartRules(Rules *rules)
{
    static const Rules Rules0;
    *rules = Rules0;
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        rules->enabled[kind] = (unsigned char)kinds[kind].enabled;
}

static int Find(const char *name)
{
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        if (strcmp(kinds[kind].name, name) == 0)
            return kind;
    return -1;
}

const char *ApplyRule(Rules *rules, const char *rule)
{
    if (strcmp(rule, "all") == 0) {
        memset(rules->enabled, 1, sizeof rules->enabled);
        return NULL;
    }
    if (strcmp(rule, "error") == 0) {
        rules->allErrors = 1;
        return NULL;
    }
    int off = strncmp(rule, "no-", 3) == 0, error = strncmp(rule, "error=", 6) == 0;
    int kind = Find(rule + (off ? 3 : error ? 6 : 0));
    if (kind < 0)
        return "names no kind of finding";
    if (off && kinds[kind].severity == SEVERITY_ERROR)
        return "would hide where the library stops reading";
    rules->enabled[kind] = !off;
    rules->error[kind] |= (unsigned char)error;
    if (kind == KIND_IGNORED_LINE && !off) /* asked for line by line: no verdict */
        rules->enabled[KIND_NOT_INI] = 0;
    return NULL;
}

void Severities(const Rules *rules, Severity severity[KIND_COUNT])
{
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        severity[kind] = !rules->enabled[kind] ? SEVERITY_OFF
                         : rules->allErrors || rules->error[kind] ? SEVERITY_ERROR
                                                                  : kinds[kind].severity;
}
