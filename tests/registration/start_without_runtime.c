// SPDX-License-Identifier: MIT
/*
 * start_without_runtime.c - a program linked against the library but not
 * against any host runtime.  The loader must stop it before main with a
 * message naming the missing entry point; reaching main is the failure.
 */
#include <stdio.h>

#include <qv-utility.h>

int main(void)
{
    printf("started: %d\n", QvUtilityInitialize(NULL));
    return 1;
}
