// ini_parser_test.cpp - QvParseIniData on the dialect's corner cases: what
// each kind of line reports, the line-length limit, and how a callback's
// result ends the walk.  The reference parser is checked on the same table,
// so a mistake in either shows up here and not only as a difference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qv-utility.h>

#include "counting_allocator.h"
#include "ini_reference.h"

namespace {

using qvref::FormatReport;

std::string Repeat(char c, size_t count) { return std::string(count, c); }

struct ParseCase {
    const char *name;
    std::string text;
    int32_t result;
    std::vector<std::string> reports;
};

std::vector<ParseCase> ParseCases()
{
    const std::string key80 = Repeat('k', 80);
    const std::string key81 = Repeat('k', 81);
    const std::string value100 = Repeat('v', 100);
    const std::string name258 = Repeat('n', 258);
    return {
        {"empty text", "", QV_OK, {}},
        {"blanks and comments only", " \n\t\n\r\n; a = b\n   ; [x]\n\v\f", QV_OK, {}},
        {"entry without header or line feed", "mode=fast", QV_OK,
         {FormatReport(nullptr, "mode", "fast")}},
        {"CRLF lines, trailing blanks", "[Main]\r\nName = Alpha Beta  \r\n", QV_OK,
         {FormatReport("Main", nullptr, nullptr), FormatReport("Main", "Name", "Alpha Beta")}},
        {"indented header and comment", "   [Main]\n   ; x = y\n\v\f\tk = v", QV_OK,
         {FormatReport("Main", nullptr, nullptr), FormatReport("Main", "k", "v")}},
        {"blanks inside brackets kept", "[ Main ]", QV_OK, {FormatReport(" Main ", nullptr, nullptr)}},
        {"missing bracket", "[Main", QV_OK, {FormatReport("Main", nullptr, nullptr)}},
        {"missing bracket keeps CR", "[Main\r\n", QV_OK, {FormatReport("Main\r", nullptr, nullptr)}},
        {"text after bracket ignored", "[Main] ; note = x\r\n", QV_OK,
         {FormatReport("Main", nullptr, nullptr)}},
        {"header scan wins over '='", "[a=b]", QV_OK, {FormatReport("a=b", nullptr, nullptr)}},
        {"empty and bare brackets", "[]\n[\n[]]\n", QV_OK, {}},
        {"empty brackets as a key", "[]=x", QV_OK, {FormatReport(nullptr, "[]", "x")}},
        {"no value: whole line is the key", "Name =\nName=\nName = \t\r\n", QV_OK,
         {FormatReport(nullptr, "Name =", nullptr), FormatReport(nullptr, "Name=", nullptr),
          FormatReport(nullptr, "Name = \t\r", nullptr)}},
        {"no '=' or nothing before it", "Name\n=x\n= x = y\n", QV_OK, {}},
        {"no comment after a value", "Name = x ; y\n# a = b\n", QV_OK,
         {FormatReport(nullptr, "Name", "x ; y"), FormatReport(nullptr, "# a", "b")}},
        {"value ends at CR, skip passes CRs", "a = x\ry\nb = \r\ry\nc\r\t= z \v", QV_OK,
         {FormatReport(nullptr, "a", "x"), FormatReport(nullptr, "b", "y"),
          FormatReport(nullptr, "c", "z")}},
        {"later '=' belong to the value", "a == b = c", QV_OK, {FormatReport(nullptr, "a", "= b = c")}},
        {"high bytes are no whitespace", "\xA0k\xA0 = \xFF\x85", QV_OK,
         {FormatReport(nullptr, "\xA0k\xA0", "\xFF\x85")}},
        {"value cut at 80", "k = " + value100, QV_OK,
         {FormatReport(nullptr, "k", Repeat('v', 80).c_str())}},
        {"value cut at 80 then trimmed", "k = " + Repeat('v', 78) + "  w", QV_OK,
         {FormatReport(nullptr, "k", Repeat('v', 78).c_str())}},
        {"section cut at 256", "[" + name258 + "]\nk=v", QV_OK,
         {FormatReport(Repeat('n', 256).c_str(), nullptr, nullptr),
          FormatReport(Repeat('n', 256).c_str(), "k", "v")}},
        {"key of 80, blanks, '='", key80 + " \t = v", QV_OK, {FormatReport(nullptr, key80.c_str(), "v")}},
        {"key of 81 is no key", key81 + "=v", QV_OK,
         {FormatReport(nullptr, (key81 + "=v").c_str(), nullptr)}},
        {"key of 80 then a word", key80 + " x=v", QV_OK,
         {FormatReport(nullptr, (key80 + " x=v").c_str(), nullptr)}},
        {"line of 260 after indentation", "  " + Repeat('x', 256) + "=abc", QV_OK,
         {FormatReport(nullptr, (Repeat('x', 256) + "=abc").c_str(), nullptr)}},
        {"line of 261", "a=b\n" + Repeat('x', 261) + "\nc=d", QV_BAD_DATA,
         {FormatReport(nullptr, "a", "b")}},
        {"comment of 261", ";" + Repeat('x', 260) + "\nc=d", QV_BAD_DATA, {}},
        {"CR counts towards 260", "[" + Repeat('x', 258) + "\r\n", QV_OK,
         {FormatReport((Repeat('x', 256)).c_str(), nullptr, nullptr)}},
        {"CR makes 261", "[" + Repeat('x', 259) + "\r\n", QV_BAD_DATA, {}},
        {"sections follow in order", "k=1\n[A]\nk=2\n[B]\n[A]\nk=3", QV_OK,
         {FormatReport(nullptr, "k", "1"), FormatReport("A", nullptr, nullptr),
          FormatReport("A", "k", "2"), FormatReport("B", nullptr, nullptr),
          FormatReport("A", nullptr, nullptr), FormatReport("A", "k", "3")}},
    };
}

TEST(ParseIniData, Table)
{
    for (const ParseCase &c : ParseCases()) {
        SCOPED_TRACE(c.name);
        qvref::ReportLog log;
        EXPECT_EQ(QvParseIniData(c.text.c_str(), qvref::RecordReport, &log), c.result);
        EXPECT_EQ(log.reports, c.reports);
        qvref::ReportLog reference;
        EXPECT_EQ(qvref::ParseIniData(c.text.c_str(), qvref::RecordReport, &reference), c.result);
        EXPECT_EQ(reference.reports, c.reports);
    }
}

TEST(ParseIniData, CallbackResultEndsTheWalk)
{
    const char *text = "[S]\na=1\nb=2\nc=3\n" "\xFF";
    for (int32_t stop : {7, -1, QV_DONE, INT32_MIN}) {
        qvref::ReportLog log;
        log.stopAt = 3;
        log.stopWith = stop;
        EXPECT_EQ(QvParseIniData(text, qvref::RecordReport, &log), stop);
        EXPECT_EQ(log.reports.size(), 3u);
    }
}

int32_t RequireNullContext(const char *, const char *, const char *, void *context)
{
    return context == nullptr ? QV_OK : 99;
}

int32_t NeverCalled(const char *, const char *, const char *, void *) { return 99; }

TEST(ParseIniData, ArgumentsAndContext)
{
    EXPECT_EQ(QvParseIniData(nullptr, NeverCalled, nullptr), QV_INVALID_ARG);
    EXPECT_EQ(QvParseIniData("a=b", nullptr, nullptr), QV_INVALID_ARG);
    EXPECT_EQ(QvParseIniData("[A]\na=b\nc=", RequireNullContext, nullptr), QV_OK);
}

// A callback that parses the same text again for every header: an inner
// parse must not disturb the outer one's section or line.
int32_t ParseAgain(const char *section, const char *key, const char *value, void *context)
{
    auto *log = static_cast<qvref::ReportLog *>(context);
    qvref::RecordReport(section, key, value, log);
    if (key == nullptr) {
        qvref::ReportLog inner;
        if (QvParseIniData("[Inner]\nx = y\n", qvref::RecordReport, &inner) != QV_OK)
            return 1;
    }
    return QV_OK;
}

TEST(ParseIniData, NestedParseKeepsItsOwnState)
{
    qvref::ReportLog log;
    EXPECT_EQ(QvParseIniData("[Outer]\na = b\nlong = line =\n", ParseAgain, &log), QV_OK);
    EXPECT_EQ(log.reports, (std::vector<std::string>{FormatReport("Outer", nullptr, nullptr),
                                                      FormatReport("Outer", "a", "b"),
                                                      FormatReport("Outer", "long", "line =")}));
}

TEST(ParseIniData, AllocatesNothing)
{
    qvtest::CountingAllocator allocator;
    EXPECT_EQ(QvParseIniData("[A]\na=b\nc=\n;x\n", RequireNullContext, nullptr), QV_OK);
    char value[8];
    EXPECT_EQ(QvGetIniValue("[A]\na=b\n", "A", "a", value, sizeof value), QV_OK);
    EXPECT_EQ(allocator.Allocations(), 0u);
}

} // namespace
