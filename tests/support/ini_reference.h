/* SPDX-License-Identifier: MIT */
// ini_reference.h - a reference INI parser and lookup for the tests and the
// fuzzer: each line is classified by real sscanf calls with the two formats
// that define the dialect, so the library's direct scanner can be held to
// them.  Also a callback that records every report as a readable string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <qv-utility.h>

namespace qvref {

// The walk of QvParseIniData, with the same results and the same reports,
// but every line classified through sscanf.
int32_t ParseIniData(const char *text, IniCallback callback, void *context);

// QvGetIniValue over ParseIniData, with its own plain matching.
int32_t GetIniValue(const char *text, const char *section, const char *key,
                    char *buffer, uint32_t size);

// Context for RecordReport: every report as "(section, key, value)", each
// argument quoted with its bytes escaped or written as null.  The report
// numbered stopAt (1-based; 0 never) returns stopWith, the others QV_OK.
struct ReportLog {
    std::vector<std::string> reports;
    size_t stopAt = 0;
    int32_t stopWith = QV_OK;
};

int32_t RecordReport(const char *section, const char *key, const char *value,
                     void *log);

// The report string RecordReport makes for these arguments.
std::string FormatReport(const char *section, const char *key, const char *value);

} // namespace qvref
