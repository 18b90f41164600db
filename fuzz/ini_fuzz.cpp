// SPDX-License-Identifier: MIT
// ini_fuzz.cpp - libFuzzer harness for the INI parser and lookup: on any
// input, QvParseIniData must report exactly what the sscanf reference
// reports and return the same result, also when a callback stops it part
// way, and QvGetIniValue must agree with the reference lookup for names
// taken from the text itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "ini_reference.h"

namespace {

struct Outcome {
    int32_t result;
    std::vector<std::string> reports;
};

Outcome Parse(bool reference, const char *text, size_t stopAt)
{
    qvref::ReportLog log;
    log.stopAt = stopAt;
    log.stopWith = -3;
    int32_t result = reference ? qvref::ParseIniData(text, qvref::RecordReport, &log)
                               : QvParseIniData(text, qvref::RecordReport, &log);
    return {result, log.reports};
}

void Fail(const char *what, const char *text)
{
    std::fprintf(stderr, "%s differs on %s\n", what, qvref::FormatReport(text, nullptr, nullptr).c_str());
    std::abort();
}

struct Names {
    std::vector<std::string> sections;
    std::vector<std::string> keys;
};

int32_t CollectNames(const char *section, const char *key, const char *, void *context)
{
    auto *names = static_cast<Names *>(context);
    if (section != nullptr)
        names->sections.push_back(section);
    if (key != nullptr)
        names->keys.push_back(key);
    return QV_OK;
}

void CompareLookup(const char *text, const char *section, const char *key)
{
    for (uint32_t size : {0u, 1u, 4u, 81u}) {
        char ours[81], theirs[81];
        std::memset(ours, '#', sizeof ours);
        std::memset(theirs, '#', sizeof theirs);
        if (QvGetIniValue(text, section, key, ours, size) !=
                qvref::GetIniValue(text, section, key, theirs, size) ||
            std::memcmp(ours, theirs, sizeof ours) != 0)
            Fail("lookup", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    const char *text = input.c_str();

    Outcome ours = Parse(false, text, 0);
    Outcome theirs = Parse(true, text, 0);
    if (ours.result != theirs.result || ours.reports != theirs.reports)
        Fail("parse", text);
    if (!ours.reports.empty()) {
        size_t stopAt = 1 + size % ours.reports.size();
        Outcome stoppedOurs = Parse(false, text, stopAt);
        Outcome stoppedTheirs = Parse(true, text, stopAt);
        if (stoppedOurs.result != stoppedTheirs.result || stoppedOurs.reports != stoppedTheirs.reports)
            Fail("stopped parse", text);
    }

    Names names;
    QvParseIniData(text, CollectNames, &names);
    CompareLookup(text, nullptr, names.keys.empty() ? "k" : names.keys.front().c_str());
    if (!names.keys.empty() && !names.sections.empty()) {
        CompareLookup(text, names.sections.back().c_str(), names.keys.back().c_str());
        CompareLookup(text, names.sections.front().c_str(), names.keys[size % names.keys.size()].c_str());
    }
    return 0;
}
