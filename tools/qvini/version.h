/* SPDX-License-Identifier: MIT */
/*
 * version.h - the library version --version prints: that of the header
 * the tool was built with.  The tool's own version, QVINI_VERSION, comes
 * from the build.
 */
#ifndef QVINI_VERSION_H
#define QVINI_VERSION_H

#include <qv-utility.h>

/* Headers older than the version macros are those of 2.0.0. */
#ifdef QV_UTILITY_VERSION_STRING
#define QVINI_LIBRARY_VERSION QV_UTILITY_VERSION_STRING
#else
#define QVINI_LIBRARY_VERSION "2.0.0"
#endif

#endif
