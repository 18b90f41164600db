/* SPDX-License-Identifier: MIT */
/*
 * exit_status.h - qvini's exit statuses, one list for every command.  The
 * manual page tables them; a new one goes at the end so scripts that test
 * the old numbers keep working.
 */
#ifndef QVINI_EXIT_STATUS_H
#define QVINI_EXIT_STATUS_H

enum {
    EXIT_FINDINGS = 1,    /* get: no such entry; check: warnings */
    EXIT_USAGE = 2,
    EXIT_TRUNCATED = 3,   /* get: the value was cut to fit --size */
    EXIT_BAD_DATA = 4,    /* a line over 260 characters or a NUL byte; check: errors */
    EXIT_IO = 5,          /* FILE unreadable, or standard output failed */
    EXIT_NO_MEMORY = 6,   /* FILE or the work on it does not fit in memory */
    EXIT_PARSER_CUT = 7,  /* get: the parser cut the value at 80 characters */
};

#endif
