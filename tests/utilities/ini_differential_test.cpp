// SPDX-License-Identifier: MIT
// ini_differential_test.cpp - the library's direct line scanner against the
// reference that really calls sscanf: generated lines and texts, built
// around the 80/256/260 limits and from the characters the scans treat
// specially, and fields of every length where a copy changes course, must
// give the same reports and the same results.  A fixed seed keeps every run
// the same.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <qv-utility.h>

#include "ini_reference.h"

namespace {

// The bytes the dialect cares about, and a few it must not care about.
const char kSpecials[] = {' ', '\t', '\v', '\f', '\r', '=', ']', '[', ';', '#', 'a', 'Z',
                          '\x80', '\xA0', '\xC4', '\xFF'};
const char kBlanks[] = {' ', '\t', '\v', '\f', '\r'};
const size_t kRunLengths[] = {0, 1, 2, 3, 78, 79, 80, 81, 82, 254, 255, 256, 257, 258, 259, 260, 261};

class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    size_t Below(size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random_); }

    template <typename T, size_t N>
    T Pick(const T (&items)[N]) { return items[Below(N)]; }

    std::string Blanks()
    {
        std::string run;
        for (size_t n = Below(4); n > 0; --n)
            run += Pick(kBlanks);
        return run;
    }

    // A run of one kind of filler, its length often right at a limit less
    // what the line already holds.
    std::string Run(size_t used)
    {
        size_t length = Pick(kRunLengths);
        length = length > used && Below(2) ? length - used : length % 12;
        std::string run;
        int kind = static_cast<int>(Below(4));
        for (size_t i = 0; i < length; ++i) {
            if (kind == 0)
                run += static_cast<char>('a' + i % 26);
            else if (kind == 1)
                run += Pick(kBlanks);
            else if (kind == 2)
                run += static_cast<char>(0x80 + Below(0x80));
            else
                run += Below(8) == 0 ? Pick(kSpecials) : 'x';
        }
        return run;
    }

    // A line shaped like a header, an entry or a comment, then roughened.
    std::string Line()
    {
        std::string line = Blanks();
        switch (Below(5)) {
        case 0:
            line += "[" + Run(line.size()) + (Below(3) ? "]" : "") + Run(0);
            break;
        case 1:
        case 2:
            line += Run(line.size());
            line += Blanks() + "=" + Blanks();
            line += Run(Below(2) ? 0 : line.size());
            line += Blanks();
            break;
        case 3:
            line += ";" + Run(line.size());
            break;
        default:
            for (size_t n = 1 + Below(6); n > 0; --n)
                line += Below(2) ? Run(line.size()) : std::string(1, Pick(kSpecials));
            break;
        }
        for (size_t n = Below(3); n > 0; --n)
            line.insert(Below(line.size() + 1), 1, Pick(kSpecials));
        return line;
    }

    std::string Text()
    {
        std::string text;
        for (size_t n = Below(12); n > 0; --n) {
            switch (Below(6)) {
            case 0: text += "\n"; break;
            case 1: text += Blanks() + "\n"; break;
            default: text += Line() + (Below(3) ? "\n" : "\r\n"); break;
            }
        }
        if (Below(2) && !text.empty())
            text.pop_back();
        return text;
    }

private:
    std::mt19937 random_;
};

using Outcome = std::pair<int32_t, std::vector<std::string>>; // the result, the reports

// The text in a block of its own size, so that AddressSanitizer sees a read
// past its terminator.
std::unique_ptr<char[]> Exact(const std::string &text)
{
    auto copy = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

Outcome Parse(bool reference, const std::string &text, size_t stopAt = 0)
{
    qvref::ReportLog log;
    log.stopAt = stopAt;
    log.stopWith = 77;
    int32_t result = reference ? qvref::ParseIniData(text.c_str(), qvref::RecordReport, &log)
                               : QvParseIniData(Exact(text).get(), qvref::RecordReport, &log);
    return {result, log.reports};
}

std::string Escaped(const std::string &text) { return qvref::FormatReport(text.c_str(), nullptr, nullptr); }

// Compares both parsers on the text, and stopped at a random report too.
// (The INI fuzzer holds the lookups to the reference on texts of its own.)
void ExpectSameOnText(const std::string &text, Generator &generator)
{
    Outcome outcome = Parse(false, text);
    ASSERT_EQ(outcome, Parse(true, text)) << "text " << Escaped(text);
    if (outcome.second.size() > 1) {
        size_t stopAt = 1 + generator.Below(outcome.second.size());
        ASSERT_EQ(Parse(false, text, stopAt), Parse(true, text, stopAt)) << "text " << Escaped(text);
    }
}

// A line alone, with a line feed, with CR LF, and under a header.
void ExpectSameOnLine(const std::string &line)
{
    for (const std::string &text : {line, line + "\n", line + "\r\n", "[S]\n" + line + "\nk=v"})
        ASSERT_EQ(Parse(false, text), Parse(true, text)) << "text " << Escaped(text);
}

TEST(IniDifferential, GeneratedLinesAndTexts)
{
    Generator generator(20240601);
    for (int i = 0; i < 3000 && !HasFatalFailure(); ++i) {
        std::string line = generator.Line();
        ExpectSameOnLine(line);
        ExpectSameOnText("[S]\n" + line, generator);
        ExpectSameOnText(generator.Text(), generator);
    }
}

// A section name, a key and a value of each length where a field's copy
// changes course (a word, a chunk of 16, the cuts at 80 and 256), side by
// side, so that a byte written past one field's end would show in the next;
// the text ends right after the value or goes on.
TEST(IniDifferential, FieldLengthGrid)
{
    const size_t lengths[] = {1, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 79, 80, 81, 100};
    for (size_t section : {1, 16, 80, 255, 256, 257})
        for (size_t key : lengths)
            for (size_t value : lengths)
                for (const char *gap : {"=", " \t= "}) {
                    std::string text = "[" + std::string(section, 's') + "]\n" + std::string(key, 'k') +
                                       gap + std::string(value, 'v');
                    for (const char *tail : {"", "\r", " \nk=v"}) {
                        ASSERT_EQ(Parse(false, text + tail), Parse(true, text + tail))
                            << "text " << Escaped(text + tail);
                    }
                }
}

// The parser learns how far a text reaches a block of 4096 bytes at a time,
// ahead of its lines: long lines of each kind, at every offset around the
// end of the first block, in a text whose last line has no line feed.
TEST(IniDifferential, LongLinesAcrossTheFirstBlock)
{
    const std::string lines[] = {"[" + std::string(256, 'n') + "]",
                                 std::string(79, 'k') + " = " + std::string(170, 'v') + " ",
                                 std::string(259, 'x') + "=", "; " + std::string(258, 'c'),
                                 std::string(261, 'z')};
    for (const std::string &line : lines)
        for (size_t at = 4096 - 2 * line.size(); at <= 4096 + 16; ++at) {
            std::string text;
            while (text.size() + 200 < at)
                text += "; " + std::string(197, 'f') + "\n";
            text += std::string(at - text.size(), '\n') + line + "\nk = v";
            ASSERT_EQ(Parse(false, text), Parse(true, text)) << "line at " << at;
        }
}

} // namespace
