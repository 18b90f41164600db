/* SPDX-License-Identifier: MIT */
/*
 * input.h - a whole INI file in memory, the way the library takes text: one
 * block ended by a NUL.
 */
#ifndef QVINI_INPUT_H
#define QVINI_INPUT_H

#include <stddef.h>

typedef struct Input {
    const char *name; /* for messages: the path, or "<stdin>" for "-" */
    char *text;       /* the file's bytes and a NUL after them */
    size_t size;      /* bytes read */
    size_t mapped;    /* bytes of the block that holds them */
} Input;

/* Reads path ("-": standard input) whole.  0, or EXIT_IO or EXIT_NO_MEMORY
 * after a message on standard error that names the file and the reason. */
int ReadInput(const char *path, Input *input);

void FreeInput(Input *input);

#endif
