// ini_lookup_test.cpp - QvGetIniValue: which entry a section and key find,
// what reaches the buffer at each size, and when the argument checks bite
// (at the parser's first report, not before).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <qv-utility.h>

#include "ini_reference.h"

namespace {

const char kEightLines[] = "k = top\n[A]\nk = 1\n[B]\nk = 2\n[a]\nK = 3\nx =\n";

// The buffer starts filled with '#', so "untouched" can be told apart from
// an empty value.
constexpr char kFill = '#';

struct LookupCase {
    const char *name;
    const char *text;
    const char *section;
    const char *key;
    bool nullBuffer;
    uint32_t size;
    int32_t result;
    const char *buffer; // expected contents; null: untouched
};

const std::string kOverlong(300, 'z');
const std::string kOverlongAfter = std::string(kEightLines) + kOverlong + "\n";
const std::string kOverlongBefore = "[A]\n" + kOverlong + "\nk = 1\n";

const LookupCase kLookupCases[] = {
    {"above the first header", kEightLines, nullptr, "k", false, 81, QV_OK, "top"},
    {"section A", kEightLines, "A", "k", false, 81, QV_OK, "1"},
    {"first match wins over case", kEightLines, "a", "K", false, 81, QV_OK, "1"},
    {"section B", kEightLines, "B", "k", false, 81, QV_OK, "2"},
    {"no such section", kEightLines, "C", "k", false, 81, QV_NOT_FOUND, nullptr},
    {"null section finds no entry below a header", kEightLines, nullptr, "x", false, 81,
     QV_NOT_FOUND, nullptr},
    {"entry without value is keyed by its line", kEightLines, "a", "x", false, 81,
     QV_NOT_FOUND, nullptr},
    {"whole line as key, empty value", kEightLines, "A", "x =", false, 81, QV_OK, ""},
    {"size 4 holds 'top'", kEightLines, nullptr, "k", false, 4, QV_OK, "top"},
    {"size 3 cuts", kEightLines, nullptr, "k", false, 3, QV_TRUNCATED, "to"},
    {"size 1 cuts to nothing", kEightLines, nullptr, "k", false, 1, QV_TRUNCATED, ""},
    {"size 0 copies nothing", kEightLines, nullptr, "k", false, 0, QV_OK, nullptr},
    {"null buffer, size 0", kEightLines, nullptr, "k", true, 0, QV_OK, nullptr},
    {"null buffer, size 4", kEightLines, nullptr, "k", true, 4, QV_INVALID_ARG, nullptr},
    {"null buffer, size 4, no match anyway", kEightLines, "C", "k", true, 4, QV_INVALID_ARG,
     nullptr},
    {"empty value into size 1", kEightLines, "A", "x =", false, 1, QV_OK, ""},
    {"null key", kEightLines, "A", nullptr, false, 81, QV_INVALID_ARG, nullptr},
    {"null key, empty text", "", "A", nullptr, false, 81, QV_NOT_FOUND, nullptr},
    {"null key, comments only", "; a = b\n\n", "A", nullptr, true, 4, QV_NOT_FOUND, nullptr},
    {"null text", nullptr, "A", "k", false, 81, QV_INVALID_ARG, nullptr},
    {"overlong line after the match", kOverlongAfter.c_str(), "A", "k", false, 81, QV_OK, "1"},
    {"overlong line before the end", kOverlongAfter.c_str(), "C", "k", false, 81, QV_BAD_DATA,
     nullptr},
    {"overlong line before the match", kOverlongBefore.c_str(), "A", "k", false, 81,
     QV_BAD_DATA, nullptr},
    {"blanks in a header name count", "[ Main ]\nk=v", "Main", "k", false, 81, QV_NOT_FOUND,
     nullptr},
    {"blanks in a header name, asked for", "[ Main ]\nk=v", " MAIN ", "K", false, 81, QV_OK, "v"},
    {"high bytes do not fold", "[\xC4]\nk=v", "\xE4", "k", false, 81, QV_NOT_FOUND, nullptr},
    {"repeated header", "[A]\nj=1\n[B]\n[A]\nk=2", "A", "k", false, 81, QV_OK, "2"},
};

TEST(GetIniValue, Table)
{
    for (const LookupCase &c : kLookupCases) {
        SCOPED_TRACE(c.name);
        for (bool reference : {false, true}) {
            char buffer[96];
            std::memset(buffer, kFill, sizeof buffer);
            char *target = c.nullBuffer ? nullptr : buffer;
            int32_t result = reference ? qvref::GetIniValue(c.text, c.section, c.key, target, c.size)
                                       : QvGetIniValue(c.text, c.section, c.key, target, c.size);
            EXPECT_EQ(result, c.result) << (reference ? "reference" : "library");
            if (c.buffer == nullptr) {
                EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, kFill));
            } else {
                EXPECT_STREQ(buffer, c.buffer);
                size_t written = std::strlen(c.buffer) + 1;
                EXPECT_EQ(std::string(buffer + written, sizeof buffer - written),
                          std::string(sizeof buffer - written, kFill))
                    << "written past the value";
            }
        }
    }
}

// A value of the parser's longest length fits 81 bytes whole and no fewer.
TEST(GetIniValue, LongestValueAtTheEdge)
{
    std::string text = "[S]\nk = " + std::string(100, 'v') + "\n";
    char buffer[81];
    EXPECT_EQ(QvGetIniValue(text.c_str(), "S", "k", buffer, 81), QV_OK);
    EXPECT_EQ(std::string(buffer), std::string(80, 'v'));
    EXPECT_EQ(QvGetIniValue(text.c_str(), "S", "k", buffer, 80), QV_TRUNCATED);
    EXPECT_EQ(std::string(buffer), std::string(79, 'v'));
}

} // namespace
