// SPDX-License-Identifier: MIT
// ini_lookup.cpp - QvGetIniValue: the value of one entry of INI text, found
// by section and key in a single call.
//
// It is the parser run with CheckIniEntry as its callback and an IniLookup
// record as the context; the callback ends the parse at the first match.
// Like the parser it allocates nothing and keeps nothing, so every call
// parses the text afresh from its start.
#include <stdint.h>
#include <string.h>

#include <qv-utility.h>

#include "utilities/ident.h"

QV_MODULE_IDENT("ini_lookup", "1.0");

namespace {

struct IniLookup {
    const char *section; // null: an entry above the first header
    const char *key;
    char *buffer;
    uint32_t size;       // the NUL included; 0 asks for no copy
};

constexpr IniLookup IniLookup0 = {};

// The key and buffer are checked here rather than in QvGetIniValue, so a
// text without any header or entry answers QV_NOT_FOUND whatever they are.
int32_t CheckIniEntry(const char *section, const char *key, const char *value,
                      void *context)
{
    const IniLookup *lookup = static_cast<const IniLookup *>(context);
    if (lookup == nullptr || lookup->key == nullptr)
        return QV_INVALID_ARG;
    if (lookup->size != 0 && lookup->buffer == nullptr)
        return QV_INVALID_ARG;
    if (key == nullptr)
        return QV_OK;

    if (section == nullptr || lookup->section == nullptr) {
        if (section != lookup->section)
            return QV_OK;
    } else if (QvStrCmpCI(section, lookup->section) != 0) {
        return QV_OK;
    }
    if (QvStrCmpCI(key, lookup->key) != 0)
        return QV_OK;

    if (lookup->buffer == nullptr || lookup->size == 0)
        return QV_DONE;
    // An entry without a value reads as the empty string.
    size_t length = value != nullptr ? strlen(value) : 0;
    if (length < lookup->size) {
        memcpy(lookup->buffer, value != nullptr ? value : "", length + 1);
        return QV_DONE;
    }
    memcpy(lookup->buffer, value, lookup->size - 1);
    lookup->buffer[lookup->size - 1] = '\0';
    return QV_TRUNCATED;
}

} // namespace

extern "C" int32_t QvGetIniValue(const char *text, const char *section, const char *key,
                                 char *buffer, uint32_t size)
{
    IniLookup lookup = IniLookup0;
    lookup.section = section;
    lookup.key = key;
    lookup.buffer = buffer;
    lookup.size = size;

    int32_t result = QvParseIniData(text, CheckIniEntry, &lookup);
    if (result == QV_DONE)
        return QV_OK;
    if (result == QV_OK)
        return QV_NOT_FOUND;
    return result;
}
