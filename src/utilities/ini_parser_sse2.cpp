// SPDX-License-Identifier: MIT
// ini_parser_sse2.cpp - the INI parser compiled again with SSE2, for i386
// builds, which target any i686: QvParseIniData hands a text to this copy
// where the processor has SSE2 (see ini_parser.cpp).
#include "utilities/ident.h"

QV_MODULE_IDENT("ini_parser_sse2", "1.0");

#define QV_PARSER_SSE2
#include "utilities/ini_parser.cpp"
