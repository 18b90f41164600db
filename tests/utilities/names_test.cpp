// names_test.cpp - case-insensitive comparison and lower-casing of names,
// checked on hand-picked cases and against a plain reference on random bytes
// in several locales, set by the process or by a thread, changing between
// calls and differing between threads.
#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <locale.h>

#include <qv-utility.h>

namespace {

struct CompareCase {
    const char *first;
    const char *second;
    int32_t expected;
};

// Each case also runs with its arguments swapped, expecting the opposite sign.
const CompareCase kCompareCases[] = {
    {nullptr, nullptr, 0},
    {nullptr, "", -1},
    {"", "", 0},
    {"", "a", -1},
    {"Section", "SECTION", 0},
    {"abc", "ABD", -1},
    {"ab", "AbC", -1},
    {"_", "A", -1},        // letters compare in their lower-case form
    {"[", "a", -1},
    {"`", "a", -1},
    {"{", "Z", 1},
    {"\xC4", "\xE4", -1},  // high bytes never fold
    {"A", "\xC1", -1},     // one high byte: the position compares unchanged
    {"a", "\xC1", -1},
    {"\x7F", "\x80", -1},  // unsigned, not signed, bytes
    {"\xFF", "\x01", 1},
    {"key\xC4name", "KEY\xC4NAME", 0},
    {"key\xC4", "KEY\xE4", -1},
};

TEST(StrCmpCI, HandPickedCases)
{
    for (const CompareCase &c : kCompareCases) {
        SCOPED_TRACE(testing::Message() << (c.first ? c.first : "(null)") << " vs "
                                        << (c.second ? c.second : "(null)"));
        EXPECT_EQ(QvStrCmpCI(c.first, c.second), c.expected);
        EXPECT_EQ(QvStrCmpCI(c.second, c.first), -c.expected);
    }
}

struct CountCase {
    const char *first;
    const char *second;
    uint32_t count;
    int32_t expected;
};

const CountCase kCountCases[] = {
    {"abcd", "ABCE", 3, 0},
    {"abcd", "ABCE", 4, -1},
    {"ab", "abc", 2, 0},
    {"ab", "abc", 3, -1},
    {"abc", "xyz", 0, 0},
    {nullptr, "abc", 0, -1},   // nulls are judged before the count
    {"abc", nullptr, 0, 1},
    {nullptr, nullptr, 0, 0},
    {"Equal", "eQUAL", 0xFFFFFFFFu, 0},
    {"", "", 5, 0},
    {"a", "B", 1, -1},
};

TEST(StrCmpCIN, HandPickedCases)
{
    for (const CountCase &c : kCountCases) {
        SCOPED_TRACE(testing::Message() << (c.first ? c.first : "(null)") << " vs "
                                        << (c.second ? c.second : "(null)") << " count "
                                        << c.count);
        EXPECT_EQ(QvStrCmpCIN(c.first, c.second, c.count), c.expected);
    }
}

TEST(StrCmpCIN, NeverReadsPastTheTerminator)
{
    // Both strings end at the first byte; the bytes after them differ and must
    // not be looked at, whatever the count.
    const char first[] = {'x', '\0', 'a'};
    const char second[] = {'X', '\0', 'b'};
    EXPECT_EQ(QvStrCmpCIN(first, second, 3), 0);
    EXPECT_EQ(QvStrCmpCI(first, second), 0);
}

struct LowerCase {
    std::string input;
    std::string expected;
};

TEST(StringToLC, LowersOnlyBytesBelow0x80)
{
    const LowerCase cases[] = {
        {"MiXeD_Name-42", "mixed_name-42"},
        {"\xC4\x41", "\xC4\x61"},
        {"", ""},
        {"[\\]^_`@", "[\\]^_`@"},
        {"\xC0\xDE\xFF", "\xC0\xDE\xFF"},
    };
    for (const LowerCase &c : cases) {
        std::string text = c.input;
        EXPECT_EQ(QvStringToLC(text.data()), QV_OK);
        EXPECT_EQ(text, c.expected);
    }
    EXPECT_EQ(QvStringToLC(nullptr), QV_INVALID_ARG);
}

// The rule written the obvious way, one position at a time, folding through
// the calling thread's locale.
int32_t ReferenceCompare(const std::string &a, const std::string &b)
{
    for (size_t i = 0;; ++i) {
        unsigned x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        unsigned y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        if (x < 0x80 && y < 0x80) {
            x = static_cast<unsigned char>(std::tolower(static_cast<int>(x)));
            y = static_cast<unsigned char>(std::tolower(static_cast<int>(y)));
        }
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

// Random names over an alphabet of both cases of letters, the punctuation
// between the capitals and the small letters, high bytes, and the bytes the
// locales below treat apart ('I', the dotless i 0xFD, A-umlaut 0xC4 and
// 0xE4), so that equal-but-for-case pairs and near misses are frequent.
// Returns the first disagreement with the reference, or "".
std::string CheckRandomNames(std::mt19937 &random, int count)
{
    static const char kAlphabet[] = "aAbBiIzZ_[`{@\x7F\x80\xC4\xE4\xFD\xFF";
    auto name = [&random] {
        std::string text(random() % 7, ' ');
        for (char &c : text)
            c = kAlphabet[random() % (sizeof kAlphabet - 1)];
        return text;
    };
    for (int i = 0; i < count; ++i) {
        std::string a = name();
        std::string b = random() % 2 ? name() : a;
        for (char &c : b) // the same name with cases flipped at random
            if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z' && random() % 2)
                c = static_cast<char>(c ^ 0x20);
        uint32_t n = static_cast<uint32_t>(random() % 8);
        std::string lowered = a;
        for (char &c : lowered)
            if (static_cast<unsigned char>(c) < 0x80)
                c = static_cast<char>(std::tolower(c));
        std::string mine = a;
        QvStringToLC(mine.data());
        if (QvStrCmpCI(a.c_str(), b.c_str()) != ReferenceCompare(a, b)
            || QvStrCmpCIN(a.c_str(), b.c_str(), n)
                   != ReferenceCompare(a.substr(0, n), b.substr(0, n))
            || mine != lowered)
            return '"' + a + "\" vs \"" + b + "\" count " + std::to_string(n);
    }
    return "";
}

// Locales with what each makes of 'I': C; UTF-8 and Latin-1, whose bytes
// below 0x80 fold as ASCII's (Latin-1 folds high bytes too, which names
// never do); Turkish in ISO-8859-9, where 'I' lowers to the dotless i, and
// in UTF-8, where it stays 'I'.  scripts/setup-debian generates them.
struct LocaleCase {
    const char *name;
    int lowerI;
};
const LocaleCase kLocales[] = {{"C", 'i'},
                               {"en_US.UTF-8", 'i'},
                               {"de_DE.ISO-8859-1", 'i'},
                               {"tr_TR.ISO-8859-9", 0xFD},
                               {"tr_TR.UTF-8", 'I'}};

class Locales : public testing::Test {
protected:
    void SetUp() override
    {
        for (const LocaleCase &c : kLocales) {
            locale_t locale = newlocale(LC_ALL_MASK, c.name, static_cast<locale_t>(0));
            if (locale == static_cast<locale_t>(0))
                GTEST_SKIP() << c.name << " is not generated (scripts/setup-debian)";
            freelocale(locale);
        }
    }
    void TearDown() override { setlocale(LC_ALL, "C"); }
};

// Each locale, set for the whole process or for this thread alone, in a
// random order, so that the locale changes between calls; a thread's locale
// object is made and freed each time, so that an answer remembered for an
// earlier locale would show.
TEST_F(Locales, FollowsEveryChangeWhetherProcessOrThreadSetsIt)
{
    std::mt19937 random(20261207);
    for (int round = 0; round < 200; ++round) {
        const LocaleCase &c = kLocales[random() % std::size(kLocales)];
        bool whole = random() % 2;
        locale_t locale = whole ? static_cast<locale_t>(0)
                                : newlocale(LC_ALL_MASK, c.name, static_cast<locale_t>(0));
        locale_t previous = uselocale(whole ? LC_GLOBAL_LOCALE : locale);
        if (whole)
            setlocale(LC_ALL, c.name);
        ASSERT_EQ(std::tolower('I'), c.lowerI) << c.name;
        ASSERT_EQ(CheckRandomNames(random, 50), "") << c.name << (whole ? " process" : " thread");
        uselocale(previous);
        if (!whole)
            freelocale(locale);
    }
}

// Threads, each switching between two locales of its own while the others
// compare in theirs.
TEST_F(Locales, EachThreadFollowsItsOwnLocale)
{
    std::vector<std::string> failures(std::size(kLocales));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < std::size(kLocales); ++t)
        threads.emplace_back([t, &failures] {
            std::mt19937 random(static_cast<unsigned>(t));
            locale_t mine[] = {
                newlocale(LC_ALL_MASK, kLocales[t].name, static_cast<locale_t>(0)),
                newlocale(LC_ALL_MASK, kLocales[(t + 3) % std::size(kLocales)].name,
                          static_cast<locale_t>(0))};
            for (int i = 0; i < 400 && failures[t].empty(); ++i) {
                uselocale(mine[i % 2]);
                failures[t] = CheckRandomNames(random, 5);
            }
            uselocale(LC_GLOBAL_LOCALE);
            freelocale(mine[0]);
            freelocale(mine[1]);
        });
    for (std::thread &thread : threads)
        thread.join();
    for (size_t t = 0; t < failures.size(); ++t)
        EXPECT_EQ(failures[t], "") << kLocales[t].name;
}

} // namespace
