// store_threads_test.cpp - one store shared by several threads, with the OS
// layer's real mutex.  Threads add, replace, read, copy, remove, store and
// retrieve pointers and clear, on contended sections and on a section of
// their own, naming items in random letter case.  Every value names the item
// it was written to, its writer and a sequence number, and ends in a filler
// that follows from them, so a value read back is checked whole: a torn,
// freed or misplaced value shows.  Counts stay modest for ThreadSanitizer,
// and a phase also stops early on a slow host (an emulator).
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <qv-utility.h>

#include "counting_allocator.h"

namespace {

constexpr int kThreads = 4;
constexpr int kSharedKeys = 4;
constexpr int kOwnKeys = 6;
constexpr int kIterations = 20000;
constexpr auto kPhaseBudget = std::chrono::seconds(2);
const char *const kShared[] = {"ab", "ba"}; // two sections in one bucket

// Pointer values: writer w stores tokens[w][k] under key k.
int tokens[kThreads][kSharedKeys + kOwnKeys];

std::string MakeValue(const std::string &section, const std::string &key, int writer,
                      unsigned seq)
{
    char head[64];
    std::snprintf(head, sizeof head, "%s/%s/%d/%u/", section.c_str(), key.c_str(), writer, seq);
    return head + std::string(seq % 29, static_cast<char>('a' + seq % 26));
}

// True when value is whole and was written to section/key (lower case).
bool WellFormed(const char *value, const std::string &section, const std::string &key)
{
    int writer = -1;
    unsigned seq = 0;
    size_t skip = section.size() + key.size() + 2;
    return std::strlen(value) > skip && std::sscanf(value + skip, "%d/%u/", &writer, &seq) == 2
           && writer >= 0 && writer < kThreads && MakeValue(section, key, writer, seq) == value;
}

bool IsToken(const void *pointer, int key)
{
    for (auto &row : tokens)
        if (pointer == &row[key])
            return true;
    return false;
}

std::string Cased(std::string name, uint32_t bits)
{
    for (size_t i = 0; i < name.size(); ++i)
        if ((bits >> i) & 1)
            name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    return name;
}

struct Slot {
    enum { None, String, Pointer } kind = None;
    std::string text;
    void *pointer = nullptr;
};

struct Worker {
    int id = 0;
    TripletStore *store = nullptr;
    bool clearing = false;
    std::string own;
    uint32_t rng = 1;
    unsigned seq = 0;
    Slot slots[kOwnKeys]; // the own section as this thread left it
    std::vector<std::string> failures;

    uint32_t Next()
    {
        rng ^= rng << 13;
        rng ^= rng >> 17;
        rng ^= rng << 5;
        return rng;
    }

    void Check(bool ok, const char *what)
    {
        if (!ok && failures.size() < 5)
            failures.push_back("thread " + std::to_string(id) + ": " + what);
    }

    void Run()
    {
        auto start = std::chrono::steady_clock::now();
        if (!clearing) // a clear may have emptied the section behind the model
            for (int k = 0; k < kOwnKeys; ++k) {
                slots[k] = {};
                Remove(k);
            }
        for (int i = 0; i < kIterations && failures.empty(); ++i) {
            if (i % 64 == 0 && std::chrono::steady_clock::now() - start > kPhaseBudget)
                break;
            uint32_t r = Next() % 100;
            r < 55 ? SharedOp(r) : OwnOp(r);
        }
    }

    // Contended items: any value read must be whole and belong to the item.
    void SharedOp(uint32_t r)
    {
        uint32_t bits = Next();
        int k = bits % kSharedKeys;
        std::string section = kShared[(bits >> 4) & 1], key = "key" + std::to_string(k);
        std::string s = Cased(section, bits >> 8), kk = Cased(key, bits >> 12);
        char buffer[128];
        void *pointer = nullptr;
        int32_t result;
        if (r < 14) {
            std::string value = MakeValue(section, key, id, ++seq);
            Check(QvAddItem(store, s.c_str(), kk.c_str(), value.c_str()) == QV_OK, "add");
        } else if (r < 26) {
            result = QvFindItem(store, s.c_str(), kk.c_str(), buffer, sizeof buffer);
            Check(result == QV_NOT_FOUND || result == QV_BAD_DATA
                      || (result == QV_OK && WellFormed(buffer, section, key)),
                  "find gave a foreign or torn value");
        } else if (r < 35) {
            char *copy = QvCopyItem(store, s.c_str(), kk.c_str());
            Check(copy == nullptr || WellFormed(copy, section, key), "copy gave a foreign value");
            QvuFree(copy);
        } else if (r < 42) {
            result = QvStorePtr(store, s.c_str(), kk.c_str(), &tokens[id][k]);
            Check(result == QV_OK || result == QV_BAD_DATA, "store pointer");
        } else if (r < 48) {
            result = QvRetrievePtr(store, s.c_str(), kk.c_str(), &pointer);
            Check(result == QV_NOT_FOUND || result == QV_BAD_DATA
                      || (result == QV_OK && IsToken(pointer, k)),
                  "retrieve gave a foreign pointer");
        } else if (r < 54) {
            result = QvRemoveItem(store, s.c_str(), kk.c_str());
            Check(result == QV_OK || result == QV_NOT_FOUND, "remove");
        } else if (clearing && id == 0) {
            Check(QvClearStore(store) == QV_OK, "clear");
        }
    }

    // The own section has one writer.  While another thread clears, a value
    // read right after it was written is exactly that value or gone; without
    // clears the section follows the model exactly.
    void OwnOp(uint32_t r)
    {
        int k = r % kOwnKeys;
        std::string key = "k" + std::to_string(k);
        Slot &slot = slots[k];
        if (r % 4 == 0) {
            Remove(k);
        } else if (r % 4 == 1 && !clearing) {
            void *token = &tokens[id][kSharedKeys + k];
            int32_t result = QvStorePtr(store, own.c_str(), key.c_str(), token);
            Check(result == (slot.kind == Slot::String ? QV_BAD_DATA : QV_OK), "own pointer");
            if (slot.kind != Slot::String)
                slot = {Slot::Pointer, "", token};
        } else {
            std::string value = MakeValue(own, key, id, ++seq);
            Check(QvAddItem(store, Cased(own, r).c_str(), key.c_str(), value.c_str()) == QV_OK,
                  "own add");
            slot = {Slot::String, value, nullptr};
        }
        if (!clearing)
            Verify(k);
        else if (slot.kind == Slot::String) {
            char buffer[128];
            int32_t result = QvFindItem(store, own.c_str(), key.c_str(), buffer, sizeof buffer);
            Check(result == QV_NOT_FOUND || (result == QV_OK && slot.text == buffer),
                  "own value read back changed");
        }
    }

    void Remove(int k)
    {
        int32_t result = QvRemoveItem(store, own.c_str(), ("K" + std::to_string(k)).c_str());
        Check(result == QV_OK || (result == QV_NOT_FOUND && (clearing || slots[k].kind == Slot::None)),
              "own remove");
        slots[k] = {};
    }

    // The store agrees exactly with the model (no clears since the model began).
    void Verify(int k)
    {
        std::string key = Cased("k" + std::to_string(k), rng);
        std::string section = Cased(own, rng >> 8);
        char buffer[128];
        void *pointer = nullptr;
        int32_t find = QvFindItem(store, section.c_str(), key.c_str(), buffer, sizeof buffer);
        int32_t retrieve = QvRetrievePtr(store, section.c_str(), key.c_str(), &pointer);
        auto *stored = static_cast<const char *>(QvGetItem(store, section.c_str(), key.c_str()));
        if (slots[k].kind == Slot::String)
            Check(find == QV_OK && slots[k].text == buffer && retrieve == QV_BAD_DATA
                      && stored != nullptr && slots[k].text == stored,
                  "own string lost or changed");
        else if (slots[k].kind == Slot::Pointer)
            Check(find == QV_BAD_DATA && retrieve == QV_OK && pointer == slots[k].pointer,
                  "own pointer lost or changed");
        else
            Check(find == QV_NOT_FOUND && retrieve == QV_NOT_FOUND, "removed item still there");
    }
};

TEST(StoreThreads, SharedStoreKeepsEveryValueWholeAndLeaksNothing)
{
    qvtest::CountingAllocator counting; // installed before any thread starts
    TripletStore *store = nullptr;
    ASSERT_EQ(QvAllocStore(&store), QV_OK);
    Worker workers[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        workers[t].id = t;
        workers[t].store = store;
        workers[t].own = "own" + std::to_string(t);
        workers[t].rng = 0x9E3779B9u * (t + 1);
    }
    // First with thread 0 clearing now and then, then without clears, so
    // that each own section ends in a state its owner knows exactly.
    for (bool clearing : {true, false}) {
        std::vector<std::thread> threads;
        for (Worker &worker : workers) {
            worker.clearing = clearing;
            threads.emplace_back([&worker] { worker.Run(); });
        }
        for (std::thread &thread : threads)
            thread.join();
        for (Worker &worker : workers)
            for (const std::string &failure : worker.failures)
                ADD_FAILURE() << (clearing ? "with clears, " : "without clears, ") << failure;
        ASSERT_FALSE(HasFailure());
    }

    // The own sections exactly as their owners left them; the contended
    // items whole; and nothing else, nor any item twice (two threads adding
    // one new item at once must not both insert it).
    size_t items = 0;
    for (Worker &worker : workers)
        for (int k = 0; k < kOwnKeys; ++k) {
            worker.Verify(k);
            items += worker.slots[k].kind != Slot::None;
            for (const std::string &failure : worker.failures)
                ADD_FAILURE() << "at the end, " << failure;
            worker.failures.clear();
        }
    for (const char *section : kShared)
        for (int k = 0; k < kSharedKeys; ++k) {
            std::string key = "key" + std::to_string(k);
            char buffer[128];
            void *pointer = nullptr;
            int32_t find = QvFindItem(store, section, key.c_str(), buffer, sizeof buffer);
            int32_t retrieve = QvRetrievePtr(store, section, key.c_str(), &pointer);
            EXPECT_TRUE((find == QV_OK && WellFormed(buffer, section, key))
                        || (find == QV_BAD_DATA && retrieve == QV_OK && IsToken(pointer, k))
                        || (find == QV_NOT_FOUND && retrieve == QV_NOT_FOUND))
                << section << "/" << key;
            items += find != QV_NOT_FOUND;
        }
    auto count = [](const char *, const char *, void *, void *total) -> int32_t {
        ++*static_cast<size_t *>(total);
        return 0;
    };
    size_t walked = 0;
    EXPECT_EQ(QvStoreIterate(store, nullptr, count, &walked, nullptr), QV_OK);
    EXPECT_EQ(walked, items);

    EXPECT_EQ(QvFreeStore(store), QV_OK);
    EXPECT_EQ(counting.LiveBlocks(), 0u) << "blocks leaked";
}

// Threads adding the same new items at the same moment must leave each one
// once: the lookup and the insertion belong to one hold of the lock.
TEST(StoreThreads, RacingAddsOfOneNewItemInsertItOnce)
{
    constexpr int kKeys = 2000;
    qvtest::CountingAllocator counting;
    TripletStore *store = nullptr;
    ASSERT_EQ(QvAllocStore(&store), QV_OK);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (++ready; ready.load() < kThreads;)
                std::this_thread::yield();
            for (int k = 0; k < kKeys; ++k) {
                std::string key = "key" + std::to_string(k);
                std::string value = MakeValue("race", key, t, k);
                EXPECT_EQ(QvAddItem(store, "Race", key.c_str(), value.c_str()), QV_OK);
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    auto check = [](const char *, const char *key, void *value, void *total) -> int32_t {
        EXPECT_TRUE(WellFormed(static_cast<char *>(value), "race", key));
        ++*static_cast<int *>(total);
        return 0;
    };
    int walked = 0;
    EXPECT_EQ(QvStoreIterate(store, nullptr, check, &walked, nullptr), QV_OK);
    EXPECT_EQ(walked, kKeys) << "an item inserted twice, or lost";
    EXPECT_EQ(QvFreeStore(store), QV_OK);
    EXPECT_EQ(counting.LiveBlocks(), 0u) << "blocks leaked";
}

} // namespace
