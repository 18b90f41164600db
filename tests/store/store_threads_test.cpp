// SPDX-License-Identifier: MIT
// store_threads_test.cpp - one store shared by several threads, with the OS
// layer's real mutex.  Threads add, replace, read, copy, remove, store and
// retrieve pointers and clear, on a few contended items, and every value
// read back is checked whole: a torn, freed or misplaced value shows.
// Counts stay modest for ThreadSanitizer and Valgrind, and a run also stops
// early on a slow host.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <qv-utility.h>


namespace {

constexpr int kThreads = 4;
constexpr int kKeys = 4;
constexpr int kIterations = 20000;
constexpr auto kBudget = std::chrono::seconds(2);
const char *const kShared[] = {"ab", "ba"}; // two sections in one bucket

int tokens[kKeys]; // the pointer stored under key k

// A value names its item and ends in a run of one letter whose length and
// letter follow from seq: a torn value mixes two runs.
std::string MakeValue(const std::string &section, const std::string &key, unsigned seq)
{
    return section + "/" + key + "/" + std::string(1 + seq % 29, static_cast<char>('a' + seq % 26));
}

bool WellFormed(std::string_view value, const std::string &section, const std::string &key)
{
    std::string head = section + "/" + key + "/";
    return value.size() > head.size() && value.substr(0, head.size()) == head
           && value.find_first_not_of(value.back(), head.size()) == value.npos;
}

// One thread's share: random operations, each result checked against what
// any interleaving allows.  Returns the first failure, or "".
std::string Work(TripletStore *store, int id)
{
    uint32_t rng = 0x9E3779B9u * (id + 1);
    auto start = std::chrono::steady_clock::now();
    for (unsigned i = 0; i < kIterations; ++i) {
        if (i % 64 == 0 && std::chrono::steady_clock::now() - start > kBudget)
            break;
        uint32_t bits = (rng ^= rng << 13, rng ^= rng >> 17, rng ^= rng << 5);
        int k = bits % kKeys;
        std::string section = kShared[(bits >> 2) & 1], key = "key" + std::to_string(k);
        const char *s = section.c_str(), *kk = key.c_str();
        char buffer[128], *copy = nullptr;
        void *pointer = nullptr;
        int32_t r = QV_OK;
        switch (bits >> 29) {
        case 0: case 1:
            r = QvAddItem(store, s, kk, MakeValue(section, key, i).c_str());
            break;
        case 2:
            r = QvFindItem(store, s, kk, buffer, sizeof buffer);
            r = r == QV_OK && !WellFormed(buffer, section, key) ? -1 : r;
            break;
        case 3:
            copy = QvCopyItem(store, s, kk);
            r = copy != nullptr && !WellFormed(copy, section, key) ? -1 : QV_OK;
            QvuFree(copy);
            break;
        case 4:
            r = QvStorePtr(store, s, kk, &tokens[k]);
            break;
        case 5:
            r = QvRetrievePtr(store, s, kk, &pointer);
            r = r == QV_OK && pointer != &tokens[k] ? -1 : r;
            break;
        case 6:
            r = QvRemoveItem(store, s, kk);
            break;
        default:
            r = id == 0 && bits % 8 == 0 ? QvClearStore(store) : QV_OK;
        }
        if (r != QV_OK && r != QV_NOT_FOUND && r != QV_BAD_DATA)
            return "thread " + std::to_string(id) + ", step " + std::to_string(i) + ": operation "
                   + std::to_string(bits >> 29) + " gave " + std::to_string(r);
    }
    return "";
}

// Every item once, each with a whole value of its own (or a token of its
// key): an addition that raced another one for a new item shows as the
// item met twice.
void ExpectWholeItems(TripletStore *store)
{
    auto check = [](const char *section, const char *key, void *value, void *names) -> int32_t {
        std::string s = section, k = key;
        bool token = false;
        for (int i = 0; i < kKeys; ++i)
            token = token || (value == &tokens[i] && k == "key" + std::to_string(i));
        EXPECT_TRUE(token || WellFormed(static_cast<char *>(value), s, k)) << s << "/" << k;
        EXPECT_TRUE(static_cast<std::set<std::string> *>(names)->insert(s + "/" + k).second)
            << s << "/" << k << " twice";
        return 0;
    };
    std::set<std::string> names;
    EXPECT_EQ(QvStoreIterate(store, nullptr, check, &names, nullptr), QV_OK);
}

// Leaks are LeakSanitizer's to find: the counting allocator is for one thread.
class StoreThreads : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(QvAllocStore(&store), QV_OK); }
    void TearDown() override { EXPECT_EQ(QvFreeStore(store), QV_OK); }
    TripletStore *store = nullptr;
};

TEST_F(StoreThreads, SharedStoreKeepsEveryValueWholeAndLeaksNothing)
{
    std::string failures[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] { failures[t] = Work(store, t); });
    for (std::thread &thread : threads)
        thread.join();
    for (const std::string &failure : failures)
        EXPECT_EQ(failure, "");
    ExpectWholeItems(store);
}

} // namespace
