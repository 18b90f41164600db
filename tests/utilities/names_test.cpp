// SPDX-License-Identifier: MIT
// names_test.cpp - case-insensitive comparison and lower-casing of names:
// hand-picked cases, then random names held to a plain reference in
// locales that the process or a thread sets, changing between calls and
// differing between threads.
#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <locale.h>
#include <strings.h>

#include <qv-utility.h>

// The C library's comparison in the C locale is the shortcut for a thread
// whose table folds as ASCII and lasts as long as the process.  Defined
// here, the library's calls of it come through this program first.
static thread_local int shortcuts;

extern "C" int strcasecmp_l(const char *a, const char *b, locale_t locale) noexcept
{
    static auto next = reinterpret_cast<decltype(&strcasecmp_l)>(dlsym(RTLD_NEXT, "strcasecmp_l"));
    return ++shortcuts, next(a, b, locale);
}

extern "C" int strncasecmp_l(const char *a, const char *b, size_t n, locale_t locale) noexcept
{
    static auto next = reinterpret_cast<decltype(&strncasecmp_l)>(dlsym(RTLD_NEXT, "strncasecmp_l"));
    return ++shortcuts, next(a, b, n, locale);
}

namespace {

constexpr uint32_t kWhole = UINT32_MAX;

struct CompareCase {
    const char *first;
    const char *second;
    uint32_t count; // kWhole: QvStrCmpCI, both ways round, as well
    int32_t expected;
};

const CompareCase kCompareCases[] = {
    {nullptr, nullptr, kWhole, 0}, {nullptr, "", kWhole, -1}, {"", "", kWhole, 0}, {"", "a", kWhole, -1},
    {"Section", "SECTION", kWhole, 0}, {"abc", "ABD", kWhole, -1}, {"ab", "AbC", kWhole, -1},
    {"_", "A", kWhole, -1}, {"[", "a", kWhole, -1}, {"{", "Z", kWhole, 1}, // letters compare lower-cased
    {"\xC4", "\xE4", kWhole, -1}, // high bytes never fold
    {"A", "\xC1", kWhole, -1},    // one high byte: the position compares unchanged
    {"\x7F", "\x80", kWhole, -1}, // unsigned, not signed, bytes
    {"key\xC4name", "KEY\xC4NAME", kWhole, 0},
    {"x\0a", "X\0b", kWhole, 0}, // nothing after the terminator is read
    {"abcd", "ABCE", 3, 0}, {"abcd", "ABCE", 4, -1}, {"ab", "abc", 2, 0}, {"ab", "abc", 3, -1},
    {"abc", "xyz", 0, 0}, {nullptr, "abc", 0, -1}, {"abc", nullptr, 0, 1}, // nulls before the count
};

TEST(Names, HandPickedCases)
{
    for (const CompareCase &c : kCompareCases) {
        SCOPED_TRACE(testing::Message() << (c.first ? c.first : "(null)") << " vs "
                                        << (c.second ? c.second : "(null)") << " count " << c.count);
        EXPECT_EQ(QvStrCmpCIN(c.first, c.second, c.count), c.expected);
        if (c.count == kWhole) {
            EXPECT_EQ(QvStrCmpCI(c.first, c.second), c.expected);
            EXPECT_EQ(QvStrCmpCI(c.second, c.first), -c.expected);
        }
    }
    std::string text = "MiXeD_Name-42[\\]^_`@\xC4\x41\xFF";
    EXPECT_EQ(QvStringToLC(text.data()), QV_OK);
    EXPECT_EQ(text, "mixed_name-42[\\]^_`@\xC4\x61\xFF");
    EXPECT_EQ(QvStringToLC(text.data() + text.size()), QV_OK);
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

// Random names in a random locale, set for the whole process or made for
// this thread alone and freed after, so that an answer remembered for an
// earlier locale would show.  Returns the first disagreement, or "".
std::string CheckInSomeLocale(std::mt19937 &random, bool mayUseProcess)
{
    const LocaleCase &c = kLocales[random() % std::size(kLocales)];
    bool process = mayUseProcess && random() % 2;
    locale_t own = process ? locale_t(0) : newlocale(LC_ALL_MASK, c.name, locale_t(0));
    locale_t previous = uselocale(process ? LC_GLOBAL_LOCALE : own);
    if (process)
        setlocale(LC_ALL, c.name);
    std::string failure = std::tolower('I') != c.lowerI ? "'I' lowers otherwise" : CheckRandomNames(random, 20);
    uselocale(previous);
    if (!process)
        freelocale(own);
    return failure.empty() ? failure : failure + " in " + c.name + (process ? ", the process's" : "");
}

// The locale changing between calls, by the process or by this thread; then
// threads at once, each in locales of its own.
TEST(Names, FollowTheCallingThreadsLocale)
{
    for (const LocaleCase &c : kLocales) {
        locale_t locale = newlocale(LC_ALL_MASK, c.name, locale_t(0));
        if (locale == locale_t(0))
            GTEST_SKIP() << c.name << " is not generated (scripts/setup-debian)";
        freelocale(locale);
    }
    std::mt19937 random(20261207);
    for (int round = 0; round < 500; ++round)
        ASSERT_EQ(CheckInSomeLocale(random, true), "");
    setlocale(LC_ALL, "C");

    std::vector<std::string> failures(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < failures.size(); ++t)
        threads.emplace_back([t, &failures] {
            std::mt19937 own(static_cast<unsigned>(t));
            for (int round = 0; round < 200 && failures[t].empty(); ++round)
                failures[t] = CheckInSomeLocale(own, false);
        });
    for (std::thread &thread : threads)
        thread.join();
    for (const std::string &failure : failures)
        EXPECT_EQ(failure, "");
}

// In this order: the process's locale changing from C to UTF-8 (a table
// seen before must not hide a new one) and to Turkish; then a thread's own
// locale objects, whose tables but the built-in C one may be freed and
// their addresses reused, so they are never remembered as folding as ASCII.
struct ShortcutCase {
    const char *locale;
    bool process;
    bool shortcut;
};
const ShortcutCase kShortcutCases[] = {{"C", true, true},
                                       {"en_US.UTF-8", true, true},
                                       {"tr_TR.ISO-8859-9", true, false},
                                       {"C", false, true},
                                       {"en_US.UTF-8", false, false}};

TEST(Names, ShortcutOnlyWhereTheTableFoldsAsAsciiAndLasts)
{
    for (const ShortcutCase &c : kShortcutCases) {
        SCOPED_TRACE(testing::Message() << c.locale << (c.process ? ", the process's" : ", the thread's"));
        locale_t own = c.process ? locale_t(0) : newlocale(LC_ALL_MASK, c.locale, locale_t(0));
        ASSERT_TRUE(c.process ? setlocale(LC_ALL, c.locale) != nullptr : own != locale_t(0));
        locale_t previous = uselocale(c.process ? LC_GLOBAL_LOCALE : own);
        shortcuts = 0;
        EXPECT_EQ(QvStrCmpCI("Name", "nAME"), 0);
        EXPECT_EQ(QvStrCmpCIN("Name", "nAMX", 3), 0);
        EXPECT_EQ(shortcuts, c.shortcut ? 2 : 0);
        uselocale(previous);
        if (!c.process)
            freelocale(own);
    }
    setlocale(LC_ALL, "C");
}

} // namespace
