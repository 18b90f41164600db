// SPDX-License-Identifier: MIT
// qvini_agreement_test.cpp - qvini's line reader and checker against the
// library reading the same generated files whole: every report the parser
// makes is attributed to exactly one line, with the section it has in the
// whole text; every finding about a cut value, an overlong key or a '#'
// entry matches what the parser reported for that line; and the repeated
// keys and sections are those the library's store finds repeated.  A fixed
// seed keeps every run the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "ini_reference.h"

extern "C" {
#include "check.h"
#include "lines.h"
}

namespace {

// Lines built around the dialect's limits from the characters it treats
// specially, UTF-8 characters of every length among them so that cuts fall
// inside them.
class Generator {
public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    size_t Below(size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random_); }

    std::string Pick(std::initializer_list<const char *> choices)
    {
        return choices.begin()[Below(choices.size())];
    }

    size_t Length()
    {
        static const size_t lengths[] = {0, 1, 3, 9, 78, 79, 80, 81, 82, 90, 255, 256, 257, 258};
        return lengths[Below(std::size(lengths))];
    }

    std::string Text(size_t length)
    {
        std::string text;
        while (text.size() < length)
            text += Below(6) != 0 ? std::string(1, static_cast<char>('a' + Below(26)))
                                  : Pick({" ", "\t", "é", "€", "😀", "\xff", ";", "#", "=", "]", "\r"});
        return text;
    }

    std::string Line()
    {
        std::string line = Pick({"", "", " ", "\t "});
        switch (Below(8)) {
        case 0:
            return line + "[" + Text(Length()) + Pick({"]", "]", "", "] x", "] ; c", "]\r"});
        case 1:
        case 2:
        case 3:
            return line + Pick({"", "", "#", "# "}) + Text(Length() % 100) + Pick({"", " ", "  "}) + "="
                   + Pick({"", " ", " \r"}) + Text(Length() % 100)
                   + Pick({"", "", " ; c", " # c", "\rtail", "\r", "  "});
        case 4:
            return line + Pick({"; comment", "# remark", "#", "Key Without Equals"});
        case 5:
            return line + Pick({"=x", "[]", "[", "[]=x", "  ", "\r"});
        case 6:
            return line + Pick({"[A]", "[a]", "k = 1", "K = 2", "#k=3"});
        default:
            return Below(150) == 0 ? line + std::string(261, 'x') : line + Text(Below(12)) + " = v";
        }
    }

    std::string File()
    {
        std::string text;
        for (size_t n = Below(60); n > 0; --n)
            text += Line() + "\n";
        if (Below(30) == 0)
            text.insert(Below(text.size() + 1), 1, '\0');
        return text;
    }

private:
    std::mt19937 random_;
};

// What the parser reported for one line, as the line reader attributes it.
struct LineFacts {
    std::string content, key, value;
    bool entry = false, hasValue = false;
};

// True when the parser's value is not all of the value written in content:
// text other than blanks follows it before a carriage return.
bool ValueWasCut(const std::string &content, const std::string &value)
{
    size_t at = content.find(value, content.find('=') + 1);
    std::string rest = content.substr(at + value.size());
    rest = rest.substr(0, rest.find('\r'));
    return rest.find_first_not_of(" \t\v\f") != std::string::npos;
}

size_t KeyLength(const std::string &content)
{
    std::string key = content.substr(0, content.find('='));
    size_t last = key.find_last_not_of(" \t\v\f\r");
    return last == std::string::npos ? 0 : last + 1;
}

using Findings = std::vector<std::pair<unsigned long, Kind>>;

void CollectFinding(const Finding *finding, void *context)
{
    static_cast<Findings *>(context)->emplace_back(finding->line, finding->kind);
}

void CollectWarning(const Finding *finding, void *context)
{
    if (finding->severity == SEVERITY_WARNING)
        CollectFinding(finding, context);
}

TEST(QviniAgreement, EveryReportHasOneLineAndFindingsMatchIt)
{
    Generator generator(20240611);
    Severity all[KIND_COUNT];
    std::fill(std::begin(all), std::end(all), SEVERITY_WARNING);
    size_t checkedFindings = 0;
    for (int file = 0; file < 400; ++file) {
        std::string text = generator.File();
        size_t length = strlen(text.c_str());
        SCOPED_TRACE("file " + std::to_string(file) + ":\n" + text.substr(0, length));

        qvref::ReportLog whole, byLine;
        int32_t wholeResult = QvParseIniData(text.c_str(), qvref::RecordReport, &whole);
        std::vector<LineFacts> lines(1);
        LineReader reader;
        LineReading line;
        StartReading(&reader, text.data(), length);
        int32_t lineResult = QV_OK;
        while (lineResult == QV_OK && ReadLine(&reader, &line)) {
            EXPECT_EQ(line.number, lines.size());
            EXPECT_LE(line.reports, 1);
            lineResult = line.result;
            LineFacts facts;
            facts.content.assign(line.content, line.length);
            if (line.reports == 1) {
                qvref::RecordReport(line.section, line.key, line.value, &byLine);
                facts.entry = line.key != nullptr;
                facts.key = line.key ? line.key : "";
                facts.value = line.value ? line.value : "";
                facts.hasValue = line.value != nullptr;
            }
            lines.push_back(facts);
        }
        ASSERT_EQ(wholeResult, lineResult);
        ASSERT_EQ(whole.reports, byLine.reports);

        Input input = {"t.ini", text.data(), text.size(), length};
        Findings findings;
        ASSERT_EQ(CheckText(&input, all, CollectFinding, &findings), 0);
        std::vector<std::vector<Kind>> kindsOf(lines.size() + 1);
        for (auto [number, kind] : findings) {
            ASSERT_LT(number, kindsOf.size());
            kindsOf[number].push_back(kind);
        }
        for (size_t number = 1; number < lines.size(); ++number) {
            const LineFacts &facts = lines[number];
            auto has = [&](Kind kind) { return std::count(kindsOf[number].begin(), kindsOf[number].end(), kind) == 1; };
            bool hash = facts.entry && facts.key[0] == '#', plain = facts.entry && !hash;
            bool longKey = plain && !facts.hasValue && KeyLength(facts.content) > 80;
            SCOPED_TRACE("line " + std::to_string(number) + ": " + facts.content);
            EXPECT_EQ(has(KIND_HASH_ENTRY), hash);
            EXPECT_EQ(has(KIND_VALUE_CUT), plain && facts.hasValue && ValueWasCut(facts.content, facts.value));
            EXPECT_EQ(has(KIND_LONG_KEY), longKey);
            EXPECT_EQ(has(KIND_EMPTY_VALUE), plain && !facts.hasValue && !longKey);
            if (longKey) {
                EXPECT_EQ(facts.key, facts.content);
            }
            checkedFindings += kindsOf[number].size();
        }
    }
    EXPECT_GT(checkedFindings, 1000u);
}

// The store's view of repetition: an entry repeats a key when the store
// already holds an item under its section and key, a header repeats a
// section when a store of headers already holds it.  Entries above the
// first header go under "", which no header can name.
struct StoreView {
    TripletStore *keys = nullptr, *sections = nullptr;
    unsigned long line = 0; // each generated line makes one report
    Findings repeats;
};

int32_t NoteRepeats(const char *section, const char *key, const char *value, void *context)
{
    auto *view = static_cast<StoreView *>(context);
    TripletStore *store = key == nullptr ? view->sections : view->keys;
    section = section ? section : "";
    key = key ? key : "";
    ++view->line;
    if (QvGetItem(store, section, key) != nullptr)
        view->repeats.emplace_back(view->line, store == view->keys ? KIND_DUPLICATE_KEY : KIND_DUPLICATE_SECTION);
    return QvAddItem(store, section, key, value ? value : "");
}

TEST(QviniAgreement, RepeatsAreThoseTheStoreFinds)
{
    Generator generator(77);
    auto variant = [&](std::string name) {
        for (char &c : name)
            if (generator.Below(2) == 0 && c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return name;
    };
    Severity repeats[KIND_COUNT] = {};
    repeats[KIND_DUPLICATE_KEY] = repeats[KIND_DUPLICATE_SECTION] = SEVERITY_WARNING;
    for (int file = 0; file < 40; ++file) {
        std::string text;
        for (int line = 0; line < 300 + 100 * file; ++line)
            text += generator.Below(30) == 0
                        ? "[" + variant(std::string("sect\xc3\xa9") + std::to_string(generator.Below(4))) + "]\n"
                        : variant("key" + std::to_string(generator.Below(40 * (file + 1)))) + (generator.Below(9) ? "" : "\xc3\x89") + " = v\n";
        StoreView view;
        ASSERT_EQ(QvAllocStore(&view.keys), QV_OK);
        ASSERT_EQ(QvAllocStore(&view.sections), QV_OK);
        ASSERT_EQ(QvParseIniData(text.c_str(), NoteRepeats, &view), QV_OK);
        QvFreeStore(view.keys);
        QvFreeStore(view.sections);
        Input input = {"t.ini", text.data(), text.size(), text.size()};
        Findings found;
        ASSERT_EQ(CheckText(&input, repeats, CollectWarning, &found), 0);
        EXPECT_EQ(found, view.repeats) << text;
        EXPECT_GT(found.size(), 50u);
    }
}

} // namespace
