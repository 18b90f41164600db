// SPDX-License-Identifier: MIT
// qvini_agreement_test.cpp - qvini's line reader and checker held to the
// library reading the same generated files whole, by the checks of the
// checker's fuzzing harness (fuzz/check_fuzz.cpp), which aborts with the
// text and the line on the first that fails.  A fixed seed keeps every run
// the same.
#include <gtest/gtest.h>

#include <random>
#include <string>

size_t CheckAgreement(const uint8_t *data, size_t size);

namespace {

// Lines built around the dialect's limits from the characters it treats
// specially, UTF-8 characters of every length among them so that cuts fall
// inside them; and names that repeat in other cases.
class Generator {
public:
    size_t Below(size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random_); }

    std::string Pick(std::initializer_list<const char *> choices) { return choices.begin()[Below(choices.size())]; }

    std::string Text(size_t length)
    {
        static const size_t lengths[] = {0, 1, 3, 9, 78, 79, 80, 81, 82, 90, 255, 256, 257, 258};
        std::string text;
        for (length = length != 0 ? length : lengths[Below(std::size(lengths))]; text.size() < length;)
            text += Below(6) != 0 ? std::string(1, static_cast<char>('a' + Below(26)))
                                  : Pick({" ", "\t", "é", "€", "😀", "\xff", ";", "#", "=", "]", "\r", "<"});
        return text;
    }

    // A name from a few, in any case, some with a non-ASCII letter.
    std::string Name(std::string name, size_t count)
    {
        name += std::to_string(Below(count)) + (Below(9) != 0 ? "" : "\xc3\x89");
        for (char &c : name)
            c = Below(2) == 0 && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        return name;
    }

    std::string Line(size_t names)
    {
        std::string line = Pick({"", "", " ", "\t "});
        switch (Below(9)) {
        case 0:
            return line + "[" + Text(0) + Pick({"]", "]", "", "] x", "] ; c", "]\r"});
        case 1:
        case 2:
        case 3:
            return line + Pick({"", "", "#", "# "}) + Text(0).substr(0, 99) + Pick({"", " ", "  "}) + "="
                   + Pick({"", " ", " \r"}) + Text(0).substr(0, 99) + Pick({"", "", " ; c", " # c", "\rtail", "\r", "  "});
        case 4:
            return line + Pick({"; comment", "# remark", "#", "Key Without Equals", "\xEF\xBB\xBF[A]", "<a b=\"1\">"});
        case 5:
            return line + Pick({"=x", "[]", "[", "[]=x", "  ", "\r"});
        case 6:
            return Below(30) == 0 ? "[" + Name("sect\xc3\xa9", 4) + "]" : Name("key", names) + " = v";
        default:
            return Below(150) == 0 ? line + std::string(261, 'x') : line + Text(1 + Below(12)) + " = v";
        }
    }

    std::string File(size_t lines, size_t names)
    {
        std::string text = Below(20) == 0 ? "\xEF\xBB\xBF" : "";
        for (size_t n = Below(lines); n > 0; --n)
            text += Line(names) + "\n";
        return Below(30) != 0 ? text : text.insert(Below(text.size() + 1), 1, '\0');
    }

private:
    std::mt19937 random_{20240611};
};

TEST(QviniAgreement, GeneratedFiles)
{
    Generator generator;
    size_t findings = 0;
    for (int file = 0; file < 440; ++file) {
        std::string text = file < 400 ? generator.File(60, 8) : generator.File(4000, 400);
        findings += CheckAgreement(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    }
    EXPECT_GT(findings, 1000u);
}

} // namespace
