/* SPDX-License-Identifier: MIT */
/*
 * commands.h - qvini's commands, once the arguments are understood.  Each
 * answers an exit status and has written its messages.
 */
#ifndef QVINI_COMMANDS_H
#define QVINI_COMMANDS_H

#include <stdint.h>

#include "input.h"
#include "warnings.h"

typedef enum Format { FORMAT_TEXT, FORMAT_JSON } Format;

/* section "" stands for the entries above the first header. */
int Get(const Input *input, const char *section, const char *key, uint32_t size);
int List(const Input *input, const char *section, Format format); /* section may be null */
int Dump(const Input *input, Format format);
int Check(char *const *files, int count, const Rules *rules, Format format);

/* Says where the library stops reading input: at a line over the limit or
 * at a NUL byte.  EXIT_BAD_DATA. */
int Refuse(const Input *input);

#endif
