/* SPDX-License-Identifier: MIT */
/*
 * host_check.h - the one check the small host programs of these tests need:
 * report a failed condition with its line and count it, so main can answer
 * with the exit status CTest reads.
 */
#ifndef QV_HOST_CHECK_H
#define QV_HOST_CHECK_H

#include <stdio.h>

static int hostFailures;

#define HOST_CHECK(condition)                                                     \
    ((condition) ? (void)0                                                        \
                 : (void)(++hostFailures,                                         \
                          fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition)))

#endif
