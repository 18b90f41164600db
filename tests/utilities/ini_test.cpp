// SPDX-License-Identifier: MIT
// ini_test.cpp - QvParseIniData and QvGetIniValue on the dialect's corner
// cases: what each kind of line reports, the line-length limit, how a
// callback's result ends the walk, which entry a lookup finds and what
// reaches its buffer.  The reference is held to the same tables, so a
// mistake in either shows up here and not only as a difference.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "counting_allocator.h"
#include "ini_reference.h"

namespace {

const auto R = qvref::FormatReport;
std::string Run(char c, size_t count) { return std::string(count, c); }

struct ParseCase {
    const char *name;
    std::string text;
    int32_t result;
    std::vector<std::string> reports;
    size_t stopAt = 0; // the report whose callback returns result
};

std::vector<ParseCase> ParseCases()
{
    const std::string k80 = Run('k', 80), k81 = Run('k', 81);
    const std::string n256 = Run('n', 256);
    return {
        {"empty text", "", QV_OK, {}},
        {"blanks and comments only", " \n\t\n\r\n; a = b\n   ; [x]\n\v\f", QV_OK, {}},
        {"entry without header or line feed", "mode=fast", QV_OK, {R(nullptr, "mode", "fast")}},
        {"CRLF lines, trailing blanks", "[Main]\r\nName = Alpha Beta  \r\n", QV_OK,
         {R("Main", nullptr, nullptr), R("Main", "Name", "Alpha Beta")}},
        {"indented header and comment", "   [Main]\n   ; x = y\n\v\f\tk = v", QV_OK,
         {R("Main", nullptr, nullptr), R("Main", "k", "v")}},
        {"blanks inside brackets kept", "[ Main ]", QV_OK, {R(" Main ", nullptr, nullptr)}},
        {"missing bracket keeps CR", "[Main\r\n", QV_OK, {R("Main\r", nullptr, nullptr)}},
        {"text after bracket ignored", "[Main] ; note = x\r\n", QV_OK, {R("Main", nullptr, nullptr)}},
        {"header scan wins over '='", "[a=b]", QV_OK, {R("a=b", nullptr, nullptr)}},
        {"empty and bare brackets", "[]\n[\n[]]\n", QV_OK, {}},
        {"empty brackets as a key", "[]=x", QV_OK, {R(nullptr, "[]", "x")}},
        {"no value: whole line is the key", "Name =\nName=\nName = \t\r\n", QV_OK,
         {R(nullptr, "Name =", nullptr), R(nullptr, "Name=", nullptr), R(nullptr, "Name = \t\r", nullptr)}},
        {"no '=' or nothing before it", "Name\n=x\n= x = y\n", QV_OK, {}},
        {"no comment after a value", "Name = x ; y\n# a = b\n", QV_OK,
         {R(nullptr, "Name", "x ; y"), R(nullptr, "# a", "b")}},
        {"value ends at CR, skip passes CRs", "a = x\ry\nb = \r\ry\nc\r\t= z \v", QV_OK,
         {R(nullptr, "a", "x"), R(nullptr, "b", "y"), R(nullptr, "c", "z")}},
        {"later '=' belong to the value", "a == b = c", QV_OK, {R(nullptr, "a", "= b = c")}},
        {"high bytes are no whitespace", "\xA0k\xA0 = \xFF\x85", QV_OK, {R(nullptr, "\xA0k\xA0", "\xFF\x85")}},
        {"value cut at 80, then trimmed", "k = " + Run('v', 78) + "  w", QV_OK,
         {R(nullptr, "k", Run('v', 78).c_str())}},
        {"section cut at 256", "[" + n256 + "xx]\nk=v", QV_OK,
         {R(n256.c_str(), nullptr, nullptr), R(n256.c_str(), "k", "v")}},
        {"key of 80, blanks, '='", k80 + " \t = v", QV_OK, {R(nullptr, k80.c_str(), "v")}},
        {"key of 81 is no key", k81 + "=v", QV_OK, {R(nullptr, (k81 + "=v").c_str(), nullptr)}},
        {"key of 80 then a word", k80 + " x=v", QV_OK, {R(nullptr, (k80 + " x=v").c_str(), nullptr)}},
        {"line of 260 after indentation", "  [S]\n  " + Run('x', 256) + "=abc", QV_OK,
         {R("S", nullptr, nullptr), R("S", (Run('x', 256) + "=abc").c_str(), nullptr)}},
        {"line of 261", "a=b\n" + Run('x', 261) + "\nc=d", QV_BAD_DATA, {R(nullptr, "a", "b")}},
        {"comment of 261", ";" + Run('x', 260) + "\nc=d", QV_BAD_DATA, {}},
        {"CR counts towards 260", "[" + Run('x', 258) + "\r\n", QV_OK, {R(Run('x', 256).c_str(), nullptr, nullptr)}},
        {"CR makes 261", "[" + Run('x', 259) + "\r\n", QV_BAD_DATA, {}},
        {"sections follow in order", "k=1\n[A]\nk=2\n[B]\n[A]\nk=3", QV_OK,
         {R(nullptr, "k", "1"), R("A", nullptr, nullptr), R("A", "k", "2"), R("B", nullptr, nullptr),
          R("A", nullptr, nullptr), R("A", "k", "3")}},
        {"a callback's result ends the walk", "[S]\na=1\nb=2\nc=3", 7,
         {R("S", nullptr, nullptr), R("S", "a", "1"), R("S", "b", "2")}, 3},
        {"any result, negative too", "a=1\nb=2", INT32_MIN, {R(nullptr, "a", "1")}, 1},
    };
}

TEST(ParseIniData, Table)
{
    for (const ParseCase &c : ParseCases()) {
        SCOPED_TRACE(c.name);
        for (auto parse : {QvParseIniData, qvref::ParseIniData}) {
            qvref::ReportLog log;
            log.stopAt = c.stopAt;
            log.stopWith = c.result;
            EXPECT_EQ(parse(c.text.c_str(), qvref::RecordReport, &log), c.result);
            EXPECT_EQ(log.reports, c.reports);
        }
    }
    EXPECT_EQ(QvParseIniData(nullptr, qvref::RecordReport, nullptr), QV_INVALID_ARG);
    EXPECT_EQ(QvParseIniData("a=b", nullptr, nullptr), QV_INVALID_ARG);
}

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

const std::string kOverlongAfter = std::string(kEightLines) + Run('z', 300) + "\n";
const std::string kOverlongBefore = "[A]\n" + Run('z', 300) + "\nk = 1\n";
const std::string kLongValue = "[S]\nk = " + Run('v', 100) + "\n";
const std::string kValue80 = Run('v', 80), kValue79 = Run('v', 79);

const LookupCase kLookupCases[] = {
    {"above the first header", kEightLines, nullptr, "k", false, 81, QV_OK, "top"},
    {"section A", kEightLines, "A", "k", false, 81, QV_OK, "1"},
    {"first match wins over case", kEightLines, "a", "K", false, 81, QV_OK, "1"},
    {"section B", kEightLines, "B", "k", false, 81, QV_OK, "2"},
    {"no such section", kEightLines, "C", "k", false, 81, QV_NOT_FOUND, nullptr},
    {"null section finds no entry below a header", kEightLines, nullptr, "x", false, 81, QV_NOT_FOUND, nullptr},
    {"entry without value is keyed by its line", kEightLines, "a", "x", false, 81, QV_NOT_FOUND, nullptr},
    {"whole line as key, empty value", kEightLines, "A", "x =", false, 81, QV_OK, ""},
    {"size 4 holds 'top'", kEightLines, nullptr, "k", false, 4, QV_OK, "top"},
    {"size 3 cuts", kEightLines, nullptr, "k", false, 3, QV_TRUNCATED, "to"},
    {"size 1 cuts to nothing", kEightLines, nullptr, "k", false, 1, QV_TRUNCATED, ""},
    {"size 0 copies nothing", kEightLines, nullptr, "k", false, 0, QV_OK, nullptr},
    {"null buffer, size 0", kEightLines, nullptr, "k", true, 0, QV_OK, nullptr},
    {"null buffer, size 4", kEightLines, "C", "k", true, 4, QV_INVALID_ARG, nullptr},
    {"empty value into size 1", kEightLines, "A", "x =", false, 1, QV_OK, ""},
    {"null key", kEightLines, "A", nullptr, false, 81, QV_INVALID_ARG, nullptr},
    {"null key, empty text", "", "A", nullptr, false, 81, QV_NOT_FOUND, nullptr},
    {"null key, comments only", "; a = b\n\n", "A", nullptr, true, 4, QV_NOT_FOUND, nullptr},
    {"null text", nullptr, "A", "k", false, 81, QV_INVALID_ARG, nullptr},
    {"overlong line after the match", kOverlongAfter.c_str(), "A", "k", false, 81, QV_OK, "1"},
    {"overlong line before the end", kOverlongAfter.c_str(), "C", "k", false, 81, QV_BAD_DATA, nullptr},
    {"overlong line before the match", kOverlongBefore.c_str(), "A", "k", false, 81, QV_BAD_DATA, nullptr},
    {"blanks in a header name count", "[ Main ]\nk=v", "Main", "k", false, 81, QV_NOT_FOUND, nullptr},
    {"blanks in a header name, asked for", "[ Main ]\nk=v", " MAIN ", "K", false, 81, QV_OK, "v"},
    {"high bytes do not fold", "[\xC4]\nk=v", "\xE4", "k", false, 81, QV_NOT_FOUND, nullptr},
    {"repeated header", "[A]\nj=1\n[B]\n[A]\nk=2", "A", "k", false, 81, QV_OK, "2"},
    {"longest value fits 81", kLongValue.c_str(), "S", "k", false, 81, QV_OK, kValue80.c_str()},
    {"longest value cut by 80", kLongValue.c_str(), "S", "k", false, 80, QV_TRUNCATED, kValue79.c_str()},
};

// Nothing is allocated on the way.
TEST(GetIniValue, Table)
{
    qvtest::CountingAllocator counting;
    for (const LookupCase &c : kLookupCases) {
        SCOPED_TRACE(c.name);
        for (auto lookup : {QvGetIniValue, qvref::GetIniValue}) {
            char buffer[96];
            std::memset(buffer, kFill, sizeof buffer);
            EXPECT_EQ(lookup(c.text, c.section, c.key, c.nullBuffer ? nullptr : buffer, c.size), c.result);
            std::string written = c.buffer == nullptr ? "" : std::string(c.buffer) + '\0';
            EXPECT_EQ(std::string(buffer, sizeof buffer),
                      written + std::string(sizeof buffer - written.size(), kFill));
        }
    }
    EXPECT_EQ(counting.Allocations(), 0u);
}

} // namespace
