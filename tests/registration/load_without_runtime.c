// SPDX-License-Identifier: MIT
/*
 * load_without_runtime.c - a process that lacks the host runtime's entry
 * points and dlopens the library anyway.  Built bare, and with only
 * _zWsoload supplied, to show that the loader refuses the library and names
 * the entry point that is missing rather than failing later on a call.
 */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>

#ifdef SUPPLY_LOAD_ENTRY
int32_t _zWsoload(int32_t kind, void *descriptor, int32_t reserved)
{
    (void)kind, (void)descriptor, (void)reserved;
    return 0;
}
#endif

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    if (dlopen(argv[1], RTLD_LAZY) != NULL) {
        puts("loaded");
        return 1;
    }
    /* CTest matches the message. */
    printf("refused: %s\n", dlerror());
    return 0;
}
