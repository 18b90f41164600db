/* SPDX-License-Identifier: MIT */
/*
 * warnings.h - the names of the checker's kinds of finding, which are on
 * by default, and the -W options that change that.
 */
#ifndef QVINI_WARNINGS_H
#define QVINI_WARNINGS_H

#include <stdio.h>

#include "check.h"

typedef struct Rules {
    unsigned char enabled[KIND_COUNT];
    unsigned char error[KIND_COUNT];
    int allErrors; /* -Werror */
} Rules;

void StartRules(Rules *rules);

/* Applies one option: -Wall, -WNAME, -Wno-NAME, -Werror or -Werror=NAME.
 * Null, or what was wrong with it. */
const char *ApplyRule(Rules *rules, const char *option);

void Severities(const Rules *rules, Severity severity[KIND_COUNT]);

const char *KindName(Kind kind);

/* Every name for the help, "(off)" after those off by default, in lines
 * of at most width columns after indent blanks. */
void PutKindNames(FILE *out, int indent, int width);

#endif
