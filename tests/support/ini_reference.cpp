// SPDX-License-Identifier: MIT
// ini_reference.cpp - the reference INI parser: the walk written as plainly
// as possible, and each line classified by the two sscanf scans themselves,
// with the trimming and the entry-without-value rule around them.  Slow and
// obviously right; only the tests and the fuzzer use it.
#include "ini_reference.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace qvref {
namespace {

void TrimTrailing(char *field)
{
    size_t length = std::strlen(field);
    while (length > 0 && std::isspace(static_cast<unsigned char>(field[length - 1])))
        --length;
    field[length] = '\0';
}

struct ReferenceState {
    char line[QV_INI_MAX_LINE + 1];
    char section[QV_INI_MAX_SECTION + 1];
    char key[QV_INI_MAX_FIELD + 1];
    char value[QV_INI_MAX_FIELD + 1];
    const char *currentSection = nullptr;
};

// Reports the line in state.line if the scans make it a header or an entry.
int32_t ClassifyLine(ReferenceState &state, IniCallback callback, void *context)
{
    if (std::sscanf(state.line, "[%256[^]]]", state.section) == 1) {
        state.currentSection = state.section;
        return callback(state.section, nullptr, nullptr, context);
    }
    int conversions = std::sscanf(state.line, "%80[^=] = %80[^\r\n]", state.key, state.value);
    if (conversions == 2) {
        TrimTrailing(state.key);
        TrimTrailing(state.value);
        return callback(state.currentSection, state.key, state.value, context);
    }
    if (conversions == 1 && std::strchr(state.line, '=') != nullptr)
        return callback(state.currentSection, state.line, nullptr, context);
    return QV_OK;
}

struct ReferenceLookup {
    const char *section;
    const char *key;
    char *buffer;
    uint32_t size;
};

// Equal once each byte below 0x80 is passed through tolower().
bool SameName(const char *a, const char *b)
{
    auto fold = [](char c) { return static_cast<unsigned char>(c) < 0x80 ? std::tolower(c) : c & 0xFF; };
    for (; fold(*a) == fold(*b); ++a, ++b)
        if (*a == '\0')
            return true;
    return false;
}

int32_t MatchEntry(const char *section, const char *key, const char *value, void *context)
{
    auto *lookup = static_cast<ReferenceLookup *>(context);
    if (lookup->key == nullptr || (lookup->size != 0 && lookup->buffer == nullptr))
        return QV_INVALID_ARG;
    if (key == nullptr)
        return QV_OK;
    bool sectionMatches = section == nullptr || lookup->section == nullptr
                              ? section == lookup->section
                              : SameName(section, lookup->section);
    if (!sectionMatches || !SameName(key, lookup->key))
        return QV_OK;
    if (lookup->buffer == nullptr || lookup->size == 0)
        return QV_DONE;
    std::string whole = value != nullptr ? value : "";
    std::string kept = whole.substr(0, lookup->size - 1);
    std::memcpy(lookup->buffer, kept.c_str(), kept.size() + 1);
    return kept.size() < whole.size() ? QV_TRUNCATED : QV_DONE;
}

void AppendQuoted(std::string &out, const char *text)
{
    if (text == nullptr) {
        out += "null";
        return;
    }
    out += '\'';
    for (const char *p = text; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '\'') {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    out += '\'';
}

} // namespace

int32_t ParseIniData(const char *text, IniCallback callback, void *context)
{
    if (text == nullptr || callback == nullptr)
        return QV_INVALID_ARG;
    ReferenceState state;
    const char *position = text;
    while (*position != '\0') {
        while (std::isspace(static_cast<unsigned char>(*position)))
            ++position;
        const char *end = std::strchr(position, '\n');
        if (end == nullptr)
            end = position + std::strlen(position);
        size_t length = static_cast<size_t>(end - position);
        if (length > QV_INI_MAX_LINE)
            return QV_BAD_DATA;
        if (*position != ';') {
            std::memcpy(state.line, position, length);
            state.line[length] = '\0';
            int32_t result = ClassifyLine(state, callback, context);
            if (result != QV_OK)
                return result;
        }
        position = end;
    }
    return QV_OK;
}

int32_t GetIniValue(const char *text, const char *section, const char *key,
                    char *buffer, uint32_t size)
{
    ReferenceLookup lookup = {section, key, buffer, size};
    int32_t result = ParseIniData(text, MatchEntry, &lookup);
    if (result == QV_DONE)
        return QV_OK;
    return result == QV_OK ? QV_NOT_FOUND : result;
}

std::string FormatReport(const char *section, const char *key, const char *value)
{
    std::string out = "(";
    AppendQuoted(out, section);
    out += ", ";
    AppendQuoted(out, key);
    out += ", ";
    AppendQuoted(out, value);
    out += ')';
    return out;
}

int32_t RecordReport(const char *section, const char *key, const char *value, void *context)
{
    auto *log = static_cast<ReportLog *>(context);
    log->reports.push_back(FormatReport(section, key, value));
    return log->reports.size() == log->stopAt ? log->stopWith : QV_OK;
}

} // namespace qvref
