// SPDX-License-Identifier: MIT
/*
 * input.c - opens files, and reads a file whole into one block.  The build
 * asks for 64-bit file offsets, so a 32-bit tool opens files of 2 GiB and
 * more, and reads as much as one block of its memory can hold.
 *
 * A stream's size shows only at its end, and a block grown by realloc needs
 * the old block and the new one at once, which in a 32-bit process fails
 * well before 2 GiB.  So every file is read into the largest block the
 * process can map, no larger than the machine's memory: its pages cost
 * nothing until the text fills them, and what is left over is given back.
 */
#include "qvini.h"

#include <errno.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *OpenFile(const char *path, const char **name)
{
    int fromStdin = strcmp(path, "-") == 0;
    FILE *file = fromStdin ? stdin : fopen(path, "re");
    *name = fromStdin ? "<stdin>" : path;
    if (file == NULL)
        Fail(EXIT_IO, "%s: %s", path, strerror(errno));
    return file;
}

static char *Reserve(size_t *size)
{
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    uintmax_t memory = (uintmax_t)sysconf(_SC_PHYS_PAGES) * page;
    size_t wanted = (memory < PTRDIFF_MAX ? (size_t)memory : PTRDIFF_MAX) & ~(page - 1);
    for (; wanted >= page; wanted = wanted / 8 * 7 & ~(page - 1)) {
        void *block = mmap(NULL, wanted, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (block != MAP_FAILED)
            return *size = wanted, block;
    }
    return NULL;
}

static int TooLarge(const Input *input, const char *atLeast, uintmax_t size)
{
    return Fail(EXIT_NO_MEMORY,
                "%s: %s%ju bytes, more than one block of memory can hold here (%zu)",
                input->name, atLeast, size, input->mapped - 1);
}

/* Reads until the end of the file; a byte read aside once the block is
 * full tells whether more would come. */
static int ReadAll(FILE *file, Input *input)
{
    struct stat status;
    if (fstat(fileno(file), &status) != 0)
        return Fail(EXIT_IO, "%s: %s", input->name, strerror(errno));
    if ((input->text = Reserve(&input->mapped)) == NULL)
        return Fail(EXIT_NO_MEMORY, "%s: out of memory", input->name);
    if (S_ISREG(status.st_mode) && (uintmax_t)status.st_size >= input->mapped)
        return TooLarge(input, "", (uintmax_t)status.st_size);
    for (;;) {
        /* A mebibyte at a time: qemu's user-mode emulator, which runs 32-bit
         * programs on some hosts, checks the whole destination of each read. */
        char spare;
        size_t room = input->mapped - 1 - input->size, chunk = room < (1 << 20) ? room : 1 << 20;
        size_t got = fread(room > 0 ? input->text + input->size : &spare, 1, room > 0 ? chunk : 1,
                           file);
        if (ferror(file))
            return Fail(EXIT_IO, "%s: %s", input->name, strerror(errno));
        if (got == 0)
            return 0;
        if (room == 0)
            return TooLarge(input, "at least ", (uintmax_t)input->size + 1);
        input->size += got;
    }
}

int ReadInput(const char *path, Input *input)
{
    *input = (Input){0};
    FILE *file = OpenFile(path, &input->name);
    int result = file != NULL ? ReadAll(file, input) : EXIT_IO;
    size_t page = (size_t)sysconf(_SC_PAGESIZE), kept = (input->size + page) & ~(page - 1);
    if (file != NULL && file != stdin)
        fclose(file);
    if (result == 0) { /* what the text does not fill is given back */
        munmap(input->text + kept, input->mapped - kept);
        input->mapped = kept;
        input->text[input->size] = '\0';
    } else if (input->text != NULL) {
        munmap(input->text, input->mapped);
    }
    return result;
}

void FreeInput(Input *input)
{
    munmap(input->text, input->mapped);
}
