// SPDX-License-Identifier: MIT
/*
 * input.c - reads a file whole into one block.  The build asks for 64-bit
 * file offsets, so a 32-bit tool opens files of 2 GiB and more; but no
 * object of a 32-bit process may span more than PTRDIFF_MAX bytes (glibc's
 * malloc refuses larger blocks), so such a file is refused with its size
 * and that reason, as is any file for which memory runs out.
 */
#include "input.h"

#include <errno.h>
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "exit_status.h"

enum { FIRST_BLOCK = 1 << 16 };

static int ReadError(const char *name)
{
    fprintf(stderr, "qvini: %s: %s\n", name, strerror(errno));
    return EXIT_IO;
}

/* Makes input's block hold wanted bytes and a NUL, or says why it cannot and how
 * large the input is: exactly a regular file's size, or at least what a
 * pipe has sent so far. */
static int Allocate(uintmax_t wanted, int regular, Input *input)
{
    const char *atLeast = regular ? "" : "at least ";
    uintmax_t known = regular ? wanted : (uintmax_t)input->size + 1;
    if (wanted >= PTRDIFF_MAX) {
        fprintf(stderr, "qvini: %s: %s%ju bytes: a %u-bit process holds at most %td in one block\n",
                input->name, atLeast, known, (unsigned)(sizeof(size_t) * 8),
                (ptrdiff_t)PTRDIFF_MAX - 1);
        return EXIT_NO_MEMORY;
    }
    char *grown = realloc(input->text, (size_t)wanted + 1);
    if (grown == NULL) {
        fprintf(stderr, "qvini: %s: %s%ju bytes: no memory for one block that large\n",
                input->name, atLeast, known);
        return EXIT_NO_MEMORY;
    }
    input->text = grown;
    return 0;
}

/* A regular file is read into a block of its size, anything else into a
 * block that doubles.  Once the block is full, one byte read aside tells
 * whether more comes (a pipe, a file that grows) before the block grows. */
static int ReadAll(int fd, Input *input)
{
    struct stat status;
    if (fstat(fd, &status) != 0)
        return ReadError(input->name);
    int regular = S_ISREG(status.st_mode);
    uintmax_t capacity = regular ? (uintmax_t)status.st_size : FIRST_BLOCK;
    int result = Allocate(capacity, regular, input);
    while (result == 0) {
        char spare;
        int full = input->size == capacity;
        ssize_t got = full ? read(fd, &spare, 1)
                           : read(fd, input->text + input->size, (size_t)capacity - input->size);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno != EINTR)
                result = ReadError(input->name);
        } else if (!full) {
            input->size += (size_t)got;
        } else {
            capacity = capacity < FIRST_BLOCK ? FIRST_BLOCK : capacity * 2;
            result = Allocate(capacity, 0, input);
            if (result == 0)
                input->text[input->size++] = spare;
        }
    }
    return result;
}

int ReadInput(const char *path, Input *input)
{
    int fromStdin = strcmp(path, "-") == 0;
    Input read = {fromStdin ? "<stdin>" : path, NULL, 0, 0};
    int fd = fromStdin ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ReadError(path);
    int result = ReadAll(fd, &read);
    if (!fromStdin)
        close(fd);
    if (result != 0) {
        free(read.text);
        return result;
    }
    read.text[read.size] = '\0';
    read.length = strlen(read.text);
    *input = read;
    return 0;
}

void FreeInput(Input *input)
{
    free(input->text);
    input->text = NULL;
}

int RefuseNul(const Input *input)
{
    if (input->length == input->size)
        return 0;
    fprintf(stderr, "qvini: %s: NUL byte at offset %zu; INI text ends at its first NUL\n",
            input->name, input->length);
    return EXIT_BAD_DATA;
}
