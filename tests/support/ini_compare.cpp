// SPDX-License-Identifier: MIT
// ini_compare.cpp - see ini_compare.h.
#include "ini_compare.h"

#include <cstring>
#include <memory>
#include <vector>

#include <qv-utility.h>

#include "ini_reference.h"

namespace qvref {
namespace {

// A parse's result and reports, as text.
std::string Parse(bool library, const char *text, size_t stopAt)
{
    ReportLog log;
    log.stopAt = stopAt;
    log.stopWith = 77;
    int32_t result = library ? QvParseIniData(text, RecordReport, &log) : ParseIniData(text, RecordReport, &log);
    std::string outcome = std::to_string(result);
    for (const std::string &report : log.reports)
        outcome += " " + report;
    return outcome;
}

// A lookup's result and every byte of its buffer, in pieces between NULs,
// as text.
std::string Lookup(bool library, const char *text, const char *section, const char *key, uint32_t size)
{
    char buffer[82]; // 81 for the lookup, and a terminator for the pieces
    std::memset(buffer, '#', sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    int32_t result = library ? QvGetIniValue(text, section, key, buffer, size)
                             : GetIniValue(text, section, key, buffer, size);
    std::string outcome = std::to_string(result);
    for (const char *piece = buffer; piece < buffer + sizeof buffer; piece += std::strlen(piece) + 1)
        outcome += " " + FormatReport(piece, nullptr, nullptr);
    return outcome;
}

struct Names {
    size_t reports = 0;
    std::vector<std::string> sections, keys;
};

int32_t CollectNames(const char *section, const char *key, const char *, void *context)
{
    auto *names = static_cast<Names *>(context);
    ++names->reports;
    if (section != nullptr)
        names->sections.push_back(section);
    if (key != nullptr)
        names->keys.push_back(key);
    return QV_OK;
}

} // namespace

std::string CompareWithReference(const std::string &text, size_t pick)
{
    auto exact = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(exact.get(), text.c_str(), text.size() + 1);
    std::string differences;
    auto compare = [&](const std::string &what, const std::string &ours, const std::string &theirs) {
        if (ours != theirs)
            differences += what + " of " + FormatReport(text.c_str(), nullptr, nullptr) + ":\n  library   " +
                           ours + "\n  reference " + theirs + "\n";
    };

    compare("parse", Parse(true, exact.get(), 0), Parse(false, text.c_str(), 0));
    Names names;
    QvParseIniData(exact.get(), CollectNames, &names);
    if (names.reports != 0) {
        size_t stopAt = 1 + pick % names.reports;
        compare("parse stopped at report " + std::to_string(stopAt), Parse(true, exact.get(), stopAt),
                Parse(false, text.c_str(), stopAt));
    }

    // Above the first header, the last name of each kind, and a key picked
    // from all the text's.
    std::vector<std::pair<const char *, std::string>> lookups = {
        {nullptr, names.keys.empty() ? "k" : names.keys.front()}};
    if (!names.keys.empty() && !names.sections.empty()) {
        lookups.emplace_back(names.sections.back().c_str(), names.keys.back());
        lookups.emplace_back(names.sections.front().c_str(), names.keys[pick % names.keys.size()]);
    }
    for (const auto &[section, key] : lookups)
        for (uint32_t size : {0u, 1u, 4u, 81u})
            compare("lookup", Lookup(true, exact.get(), section, key.c_str(), size),
                    Lookup(false, text.c_str(), section, key.c_str(), size));
    return differences;
}

} // namespace qvref
