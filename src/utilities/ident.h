// ident.h - the identification string that every module of the library
// carries, in the "@(#)" form the what(1) tool looks for: module name,
// revision and the date and time of the build.  `retain` keeps it in the
// object even when nothing refers to it.
#pragma once

#define QV_MODULE_IDENT(module, revision)                                    \
    [[gnu::used, gnu::retain]] static const char qvModuleIdent[] =           \
        "@(#)" module " " revision " " __DATE__ " " __TIME__
