/* SPDX-License-Identifier: MIT */
// ident.h - the identification strings the library carries, in the "@(#)"
// form the what(1) tool looks for: one per module (its name, revision and
// build date) and one for the library as a whole (its name and version).
// The date is QV_BUILD_DATE, set by the build from SOURCE_DATE_EPOCH rather
// than the clock, so that rebuilding a tree gives the same bytes.  `retain`
// keeps the strings in the object even though nothing refers to them.
#pragma once

#include <qv-utility.h>

#define QV_MODULE_IDENT(module, revision)                                    \
    [[gnu::used, gnu::retain]] static const char qvModuleIdent[] =           \
        "@(#)" module " " revision " " QV_BUILD_DATE

#define QV_LIBRARY_IDENT()                                                   \
    [[gnu::used, gnu::retain]] static const char qvLibraryIdent[] =          \
        "@(#)libqv-utility_t.so." QV_STRINGIFY(QV_UTILITY_VERSION_MAJOR)     \
        " " QV_UTILITY_VERSION_STRING " " QV_BUILD_DATE

#define QV_STRINGIFY(x) QV_STRINGIFY_(x)
#define QV_STRINGIFY_(x) #x

// The string form of the version must say what the numbers say.
static_assert(__builtin_strcmp(QV_UTILITY_VERSION_STRING,
                               QV_STRINGIFY(QV_UTILITY_VERSION_MAJOR) "."
                               QV_STRINGIFY(QV_UTILITY_VERSION_MINOR) "."
                               QV_STRINGIFY(QV_UTILITY_VERSION_PATCH)) == 0,
              "QV_UTILITY_VERSION_STRING disagrees with the version numbers");
