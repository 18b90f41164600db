// names_test.cpp - case-insensitive comparison and lower-casing of names,
// checked on hand-picked cases and against a plain reference on random bytes.
#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <sys/wait.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

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

// The rule written the obvious way, one position at a time.
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

// Random names over an alphabet that mixes cases, the punctuation between
// the capitals and the small letters, and high bytes, so that equal-but-for-
// case pairs and near misses are frequent.
std::string RandomName(std::mt19937 &random)
{
    static const char kAlphabet[] = "aAbBzZ_[`{@\x7F\x80\xC1\xE1\xFF";
    std::uniform_int_distribution<size_t> length(0, 6);
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    std::string name(length(random), ' ');
    for (char &c : name)
        c = kAlphabet[pick(random)];
    return name;
}

TEST(StrCmpCI, AgreesWithTheReferenceOnRandomNames)
{
    std::mt19937 random(20261206);
    for (int i = 0; i < 20000; ++i) {
        std::string a = RandomName(random);
        std::string b = random() % 4 == 0 ? a : RandomName(random);
        if (random() % 4 == 0) { // same name, cases flipped at random
            b = a;
            for (char &c : b)
                if (std::isalpha(static_cast<unsigned char>(c)) && random() % 2)
                    c = static_cast<char>(c ^ 0x20);
        }
        int32_t expected = ReferenceCompare(a, b);
        ASSERT_EQ(QvStrCmpCI(a.c_str(), b.c_str()), expected) << '"' << a << "\" vs \"" << b << '"';
        uint32_t count = static_cast<uint32_t>(random() % 8);
        ASSERT_EQ(QvStrCmpCIN(a.c_str(), b.c_str(), count),
                  ReferenceCompare(a.substr(0, count), b.substr(0, count)))
            << '"' << a << "\" vs \"" << b << "\" count " << count;
    }
}

// A locale whose single-byte case mapping is not ASCII's: Turkish in
// ISO-8859-9 lowers 'I' to the dotless i, 0xFD.  Built with localedef into a
// scratch directory; skipped where that is not possible.
TEST(StrCmpCI, FollowsALocaleWhoseAsciiCaseIsNotAscii)
{
    const std::string dir = testing::TempDir() + "qv-names-locale";
    std::string build = "localedef -i tr_TR -f ISO-8859-9 " + dir + "/tr >/dev/null 2>&1";
    int status = std::system(("mkdir -p " + dir + " && " + build).c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) // 1: warnings only
        GTEST_SKIP() << "localedef could not build tr_TR.ISO-8859-9";
    setenv("LOCPATH", dir.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable(); // glibc keeps the parsed LOCPATH for good
#endif
    locale_t turkish = newlocale(LC_CTYPE_MASK, "tr", static_cast<locale_t>(0));
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    unsetenv("LOCPATH");
    if (turkish == static_cast<locale_t>(0))
        GTEST_SKIP() << "the built locale does not load";
    locale_t previous = uselocale(turkish);
    ASSERT_EQ(std::tolower('I'), 0xFD);
    EXPECT_EQ(QvStrCmpCI("I", "i"), 1);        // 0xFD against 'i'
    EXPECT_EQ(QvStrCmpCI("I", "\xFD"), -1);    // a high byte: unchanged
    EXPECT_EQ(QvStrCmpCIN("xI", "Xi", 1), 0);
    std::mt19937 random(7);
    for (int i = 0; i < 5000; ++i) {
        std::string a = RandomName(random);
        std::string b = RandomName(random);
        for (std::string *name : {&a, &b}) // the letters this locale treats apart
            for (char &c : *name)
                c = c == 'A' ? 'I' : c == 'a' ? 'i' : c;
        ASSERT_EQ(QvStrCmpCI(a.c_str(), b.c_str()), ReferenceCompare(a, b));
    }
    char text[] = "Istanbul";
    QvStringToLC(text);
    EXPECT_EQ(text, std::string("\xFDstanbul"));
    uselocale(previous);
    freelocale(turkish);
}

} // namespace
