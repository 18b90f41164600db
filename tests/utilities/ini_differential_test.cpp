// SPDX-License-Identifier: MIT
// ini_differential_test.cpp - the library's direct line scanner against the
// reference that really calls sscanf (ini_compare.h): generated lines and
// texts, built around the 80/256/260 limits and from the characters the
// scans treat specially, and fields at their cuts, must give the same
// reports, results and lookups.  A fixed seed keeps every run the same.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ini_compare.h"

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

// Holds the library to the reference on a line alone, with a line feed,
// with CR LF, and under a header.
void ExpectSameOnLine(const std::string &line, size_t pick)
{
    for (const std::string &text : {line, line + "\n", line + "\r\n", "[S]\n" + line + "\nk=v"})
        ASSERT_EQ(qvref::CompareWithReference(text, pick), "");
}

TEST(IniDifferential, GeneratedLinesAndTexts)
{
    Generator generator(20240601);
    for (int i = 0; i < 3000 && !HasFatalFailure(); ++i) {
        std::string line = generator.Line();
        ExpectSameOnLine(line, generator.Below(12));
        ASSERT_EQ(qvref::CompareWithReference("[S]\n" + line, generator.Below(12)), "");
        ASSERT_EQ(qvref::CompareWithReference(generator.Text(), generator.Below(12)), "");
    }
}

// A section name, a key and a value of each length around their cuts, side
// by side, so that a byte written past one field's end would show in the
// next; the text ends right after the value or goes on.
TEST(IniDifferential, FieldLengthGrid)
{
    const size_t lengths[] = {1, 79, 80, 81, 100};
    for (size_t section : {1, 255, 256, 257})
        for (size_t key : lengths)
            for (size_t value : lengths)
                for (const char *gap : {"=", " \t= "}) {
                    std::string text = "[" + std::string(section, 's') + "]\n" + std::string(key, 'k') +
                                       gap + std::string(value, 'v');
                    for (const char *tail : {"", "\r", " \nk=v"})
                        ASSERT_EQ(qvref::CompareWithReference(text + tail, key + value), "");
                }
}

} // namespace
