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

void PutKindNames(FILE *out)
{
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        fprintf(out, "%s%s%s", kind % 4 != 0 ? " " : "\n         ", kinds[kind].name,
                kinds[kind].enabled ? "" : "(off)");
    putc('\n', out);
}

void StartRules(Rules *rules)
{
    for (int kind = 0; kind < KIND_COUNT; ++kind)
        rules->severity[kind] = kinds[kind].enabled ? kinds[kind].severity : SEVERITY_OFF;
    rules->allErrors = 0;
}

const char *ApplyRule(Rules *rules, const char *rule)
{
    int off = strncmp(rule, "no-", 3) == 0, error = strncmp(rule, "error=", 6) == 0, kind;
    if (strcmp(rule, "all") == 0 || strcmp(rule, "error") == 0) {
        for (kind = 0; kind < KIND_COUNT && rule[0] == 'a'; ++kind)
            if (rules->severity[kind] == SEVERITY_OFF)
                rules->severity[kind] = kinds[kind].severity;
        rules->allErrors |= rule[0] == 'e';
        return NULL;
    }
    const char *name = rule + (off ? 3 : error ? 6 : 0);
    for (kind = 0; kind < KIND_COUNT && strcmp(kinds[kind].name, name) != 0; ++kind)
        ;
    if (kind == KIND_COUNT)
        return "names no kind of finding";
    if (off && kinds[kind].severity == SEVERITY_ERROR)
        return "would hide where the library stops reading";
    if (off || error || rules->severity[kind] == SEVERITY_OFF)
        rules->severity[kind] = off ? SEVERITY_OFF : error ? SEVERITY_ERROR : kinds[kind].severity;
    if (kind == KIND_IGNORED_LINE && !off) /* asked for line by line: no verdict */
        rules->severity[KIND_NOT_INI] = SEVERITY_OFF;
    return NULL;
}
