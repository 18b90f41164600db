// store_bench.cpp - the keyed item store against the containers a caller
// would otherwise reach for: GLib's GHashTable under a GMutex (x86_64 only)
// and std::unordered_map under a std::mutex.  Both peers key their items by
// one case-folded "section\0key" string and fold the names on every call, as
// a caller must to get the store's case-insensitive names from them.  They
// fold into a buffer on the stack, so a peer's lookup allocates nothing: the
// quickest way such a caller has, not a straw man.
//
// Stores of 16, 256 and 4096 items over 8 and over 64 sections, named like
// INI sections and keys in mixed case.  Lookups, finds, copies and removals
// spell the names in another case than the one they were added with.
//
// Times: get, find and copy are per call; add and remove are per batch of
// all the store's items (manual time, so building and tearing down the store
// around them is not counted); walk is per whole walk.  items_per_second
// turns the batches into a rate per item.
//
// The store's lock and the glibc mutex behind std::mutex both skip their
// atomic instructions while the process has one thread; GMutex never does.
// The get and miss cases therefore run a second time at the end of the
// program, "_threaded", with an idle second thread alive.  The lock pair on
// its own is in mutex_bench.
//
// AllocationsPerItem installs a counting allocator through the hooks for one
// run and reports the blocks that each kind of item costs.
#include <benchmark/benchmark.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <qv-utility.h>

#include "threads.h"

#ifdef QV_BENCH_GLIB
#include <glib.h>
#endif

namespace {

const int kItemCounts[] = {16, 256, 4096};
const int kSectionCounts[] = {8, 64};

// The capacity of the buffer that find copies into: a line's worth, so the
// bounded copy's NUL fill is part of what find costs.
constexpr uint32_t kFindBufferSize = 128;

// ---- The items -------------------------------------------------------------

// Sixteen section names; past sixteen sections each comes again with a
// qualifier, the way products split a section into defaults and overrides.
const char *const kSectionWords[] = {"Display", "Network", "Logging", "Storage",
                                     "Security", "Printing", "Locale", "Update",
                                     "Audio", "Keyboard", "Proxy", "Database",
                                     "Session", "Plugins", "Fonts", "Backup"};
const char *const kSectionQualifiers[] = {"", ".Defaults", ".User", ".Machine"};

// Thirty-two keys; a section with more items numbers them again ("Mode3").
const char *const kKeyWords[] = {
    "Mode",      "Width",    "Height",     "ColourDepth", "RefreshRate", "Path",
    "Timeout",   "Retries",  "Host",       "Port",        "LogLevel",    "Enabled",
    "MaxSize",   "FontName", "FontSize",   "Language",    "Encoding",    "LastUser",
    "CachePath", "Interval", "Theme",      "Volume",      "Layout",      "Compression",
    "Verbose",   "Backlog",  "ServerName", "ProxyHost",   "Priority",    "Format",
    "Version",   "AutoStart"};
const char *const kValues[] = {"fast", "1920", "1080", "32", "60", "/opt/product/share/data",
                               "30", "5", "server.example.net", "8080", "warning", "yes"};

enum class Spelling { Upper, Lower, Flipped };

std::string Respell(std::string name, Spelling spelling)
{
    for (char &c : name) {
        bool upper = c >= 'A' && c <= 'Z';
        bool lower = c >= 'a' && c <= 'z';
        if (upper && spelling != Spelling::Upper)
            c = static_cast<char>(c + ('a' - 'A'));
        else if (lower && spelling != Spelling::Lower)
            c = static_cast<char>(c - ('a' - 'A'));
    }
    return name;
}

struct Item {
    std::string section, key, value;   // as added: "Display", "ColourDepth"
    std::string askSection, askKey;    // as asked for: "DISPLAY", "colourdepth"
};

// The names of one call, ready to pass.
struct Names {
    const char *section;
    const char *key;
    const char *value;
};

// The store's bucket hash, mirrored here only to describe the chains that a
// workload builds; the benchmarks themselves never use it.
uint32_t BucketOf(const std::string &name)
{
    uint32_t sum = 0;
    for (unsigned char c : name)
        sum += c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    return (((sum & 0xFFFFu) * 40503u) >> 8) & 0xFFu;
}

bool SameFolded(const std::string &a, const std::string &b)
{
    return Respell(a, Spelling::Lower) == Respell(b, Spelling::Lower);
}

struct Workload {
    std::vector<Item> items;      // in the order they are added
    std::vector<Names> adds;      // the items' own spelling, in that order
    std::vector<Names> asks;      // another spelling, in a shuffled order
    // What a lookup of the store walks, on average over the items.
    double linksWalked = 0;       // chain links visited up to the match
    double nameCompares = 0;      // case-insensitive comparisons made
    double bucketsUsed = 0;
    double longestChain = 0;
};

// Items are added a section at a time, as a loader reading an INI file adds
// them; a store of fewer items than sections fills only the first sections.
Workload MakeWorkload(int itemCount, int sectionCount)
{
    Workload w;
    int perSection = std::max(1, itemCount / sectionCount);
    for (int i = 0; i < itemCount; ++i) {
        int s = i / perSection;
        int k = i % perSection;
        Item item;
        item.section = std::string(kSectionWords[s % 16]) + kSectionQualifiers[s / 16];
        item.key = kKeyWords[k % 32];
        if (k >= 32)
            item.key += std::to_string(k / 32);
        item.value = kValues[i % 12];
        item.askSection = Respell(item.section, static_cast<Spelling>(i % 3));
        item.askKey = Respell(item.key, static_cast<Spelling>((i + 1) % 3));
        w.items.push_back(std::move(item));
    }
    for (const Item &item : w.items)
        w.adds.push_back({item.section.c_str(), item.key.c_str(), item.value.c_str()});
    std::vector<size_t> order(w.items.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(12345));
    for (size_t i : order) {
        const Item &item = w.items[i];
        w.asks.push_back({item.askSection.c_str(), item.askKey.c_str(), item.value.c_str()});
    }

    // A chain holds its bucket's items newest first, so a lookup passes every
    // later item of its bucket; those whose key hash agrees cost a section
    // comparison, and a key comparison as well when the section is the same.
    std::vector<uint32_t> buckets, keyHashes;
    for (const Item &item : w.items) {
        buckets.push_back(BucketOf(item.section));
        keyHashes.push_back(BucketOf(item.key));
    }
    std::map<uint32_t, int> chains;
    for (size_t i = 0; i < w.items.size(); ++i) {
        ++chains[buckets[i]];
        double walked = 1;
        double compares = 2;
        for (size_t j = i + 1; j < w.items.size(); ++j) {
            if (buckets[j] != buckets[i])
                continue;
            ++walked;
            if (keyHashes[j] == keyHashes[i])
                compares += SameFolded(w.items[j].section, w.items[i].section) ? 2 : 1;
        }
        w.linksWalked += walked;
        w.nameCompares += compares;
    }
    w.linksWalked /= static_cast<double>(w.items.size());
    w.nameCompares /= static_cast<double>(w.items.size());
    w.bucketsUsed = static_cast<double>(chains.size());
    for (const auto &chain : chains)
        w.longestChain = std::max(w.longestChain, static_cast<double>(chain.second));
    return w;
}

const Workload &GetWorkload(int itemCount, int sectionCount)
{
    static std::map<std::pair<int, int>, std::unique_ptr<Workload>> cache;
    auto &slot = cache[{itemCount, sectionCount}];
    if (!slot)
        slot = std::make_unique<Workload>(MakeWorkload(itemCount, sectionCount));
    return *slot;
}

// Folds section and key into "section\0key", the key the peers store items
// under, in a buffer of its own on the caller's stack.
struct FoldedKey {
    explicit FoldedKey(const char *section, const char *key)
    {
        char *p = text;
        for (const char *s = section; *s != '\0'; ++s)
            *p++ = *s >= 'A' && *s <= 'Z' ? static_cast<char>(*s + ('a' - 'A')) : *s;
        *p++ = '\0';
        for (const char *s = key; *s != '\0'; ++s)
            *p++ = *s >= 'A' && *s <= 'Z' ? static_cast<char>(*s + ('a' - 'A')) : *s;
        *p = '\0';
        view = std::string_view(text, static_cast<size_t>(p - text));
    }
    char text[256]; // the longest folded pair of the workloads, with room to spare
    std::string_view view; // without the final NUL
};

// What a walk's visitor does with each item: reads a byte of each string, so
// the walk cannot skip loading the item.
struct WalkSum {
    uint64_t sum = 0;
    void Visit(const char *section, const char *key, const char *value)
    {
        sum += static_cast<unsigned char>(section[0]) + static_cast<unsigned char>(key[0])
               + static_cast<unsigned char>(value[0]);
    }
};

// ---- The three stores, behind one shape ------------------------------------

class QvStore {
public:
    QvStore()
    {
        if (QvAllocStore(&store_) != QV_OK)
            abort();
    }
    ~QvStore() { QvFreeStore(store_); }
    QvStore(const QvStore &) = delete;
    QvStore &operator=(const QvStore &) = delete;

    bool Add(const Names &n) { return QvAddItem(store_, n.section, n.key, n.value) == QV_OK; }
    const char *Get(const Names &n)
    {
        return static_cast<const char *>(QvGetItem(store_, n.section, n.key));
    }
    bool Find(const Names &n, char *buffer, uint32_t size)
    {
        return QvFindItem(store_, n.section, n.key, buffer, size) == QV_OK;
    }
    bool CopyAndRelease(const Names &n)
    {
        char *copy = QvCopyItem(store_, n.section, n.key);
        benchmark::DoNotOptimize(copy);
        if (copy == nullptr)
            return false;
        QvuFree(copy);
        return true;
    }
    bool Remove(const Names &n) { return QvRemoveItem(store_, n.section, n.key) == QV_OK; }
    uint64_t Walk()
    {
        WalkSum visitor;
        QvStoreIterate(store_, nullptr, Visit, &visitor, nullptr);
        return visitor.sum;
    }

private:
    static int32_t Visit(const char *section, const char *key, void *value, void *context)
    {
        static_cast<WalkSum *>(context)->Visit(section, key, static_cast<const char *>(value));
        return 0;
    }

    TripletStore *store_ = nullptr;
};

#ifdef QV_BENCH_GLIB
// FNV-1a over "section\0key": the separator is hashed too, so ("ab", "c")
// and ("a", "bc") differ.
guint FoldedKeyHash(gconstpointer key)
{
    const unsigned char *p = static_cast<const unsigned char *>(key);
    uint32_t hash = 2166136261u;
    for (int nuls = 0; nuls < 2; ++p) {
        hash = (hash ^ *p) * 16777619u;
        nuls += *p == 0;
    }
    return hash;
}

gboolean FoldedKeyEqual(gconstpointer a, gconstpointer b)
{
    const char *x = static_cast<const char *>(a);
    const char *y = static_cast<const char *>(b);
    if (strcmp(x, y) != 0)
        return FALSE;
    size_t sectionLength = strlen(x) + 1;
    return strcmp(x + sectionLength, y + sectionLength) == 0;
}

class GlibStore {
public:
    GlibStore() : table_(g_hash_table_new_full(FoldedKeyHash, FoldedKeyEqual, g_free, g_free))
    {
        g_mutex_init(&mutex_);
    }
    ~GlibStore()
    {
        g_hash_table_destroy(table_);
        g_mutex_clear(&mutex_);
    }
    GlibStore(const GlibStore &) = delete;
    GlibStore &operator=(const GlibStore &) = delete;

    bool Add(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        gpointer key = g_memdup2(folded.text, folded.view.size() + 1);
        gchar *value = g_strdup(n.value);
        g_mutex_lock(&mutex_);
        g_hash_table_insert(table_, key, value);
        g_mutex_unlock(&mutex_);
        return true;
    }
    const char *Get(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        g_mutex_lock(&mutex_);
        auto *value = static_cast<const char *>(g_hash_table_lookup(table_, folded.text));
        g_mutex_unlock(&mutex_);
        return value;
    }
    bool Find(const Names &n, char *buffer, uint32_t size)
    {
        FoldedKey folded(n.section, n.key);
        g_mutex_lock(&mutex_);
        auto *value = static_cast<const char *>(g_hash_table_lookup(table_, folded.text));
        if (value != nullptr) {
            // All size bytes written, as the store's find writes them: the
            // value cut to size - 1 bytes, NULs after it, a NUL at the end.
            strncpy(buffer, value, size - 1);
            buffer[size - 1] = '\0';
        }
        g_mutex_unlock(&mutex_);
        return value != nullptr;
    }
    bool CopyAndRelease(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        g_mutex_lock(&mutex_);
        gchar *copy = g_strdup(static_cast<const char *>(g_hash_table_lookup(table_, folded.text)));
        g_mutex_unlock(&mutex_);
        benchmark::DoNotOptimize(copy);
        g_free(copy);
        return copy != nullptr;
    }
    bool Remove(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        g_mutex_lock(&mutex_);
        gboolean removed = g_hash_table_remove(table_, folded.text);
        g_mutex_unlock(&mutex_);
        return removed;
    }
    uint64_t Walk()
    {
        WalkSum visitor;
        g_mutex_lock(&mutex_);
        g_hash_table_foreach(table_, Visit, &visitor);
        g_mutex_unlock(&mutex_);
        return visitor.sum;
    }

private:
    static void Visit(gpointer key, gpointer value, gpointer context)
    {
        const char *section = static_cast<const char *>(key);
        static_cast<WalkSum *>(context)->Visit(section, section + strlen(section) + 1,
                                               static_cast<const char *>(value));
    }

    GHashTable *table_;
    GMutex mutex_;
};
#endif

// Lookups pass a view of the folded name in the caller's buffer (the
// transparent hash), so only a new item builds a std::string key.
struct FoldedKeyStdHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
};

class StdStore {
public:
    bool Add(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = map_.find(folded.view);
        if (found != map_.end())
            found->second = n.value;
        else
            map_.emplace(std::string(folded.view), n.value);
        return true;
    }
    const char *Get(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = map_.find(folded.view);
        return found != map_.end() ? found->second.c_str() : nullptr;
    }
    bool Find(const Names &n, char *buffer, uint32_t size)
    {
        FoldedKey folded(n.section, n.key);
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = map_.find(folded.view);
        if (found == map_.end())
            return false;
        strncpy(buffer, found->second.c_str(), size - 1);
        buffer[size - 1] = '\0';
        return true;
    }
    // The copy a C++ caller takes: a std::string, which keeps a short value
    // inside itself and allocates only for a long one.
    bool CopyAndRelease(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        std::string copy;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto found = map_.find(folded.view);
            if (found == map_.end())
                return false;
            copy = found->second;
        }
        benchmark::DoNotOptimize(copy.data());
        return true;
    }
    bool Remove(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = map_.find(folded.view);
        if (found == map_.end())
            return false;
        map_.erase(found);
        return true;
    }
    uint64_t Walk()
    {
        WalkSum visitor;
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto &[key, value] : map_) {
            const char *section = key.c_str();
            visitor.Visit(section, section + strlen(section) + 1, value.c_str());
        }
        return visitor.sum;
    }

private:
    std::unordered_map<std::string, std::string, FoldedKeyStdHash, std::equal_to<>> map_;
    std::mutex mutex_;
};

// ---- The benchmarks ----------------------------------------------------------

template <typename Store>
bool Fill(Store &store, const Workload &w)
{
    for (const Names &n : w.adds)
        if (!store.Add(n))
            return false;
    return true;
}

// Every item answers its other spelling with its own value; run before
// timing, so a broken store or peer is an error, not a fast time.
template <typename Store>
bool AnswersAll(Store &store, const Workload &w)
{
    for (const Names &n : w.asks) {
        const char *value = store.Get(n);
        if (value == nullptr || strcmp(value, n.value) != 0)
            return false;
    }
    return true;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Store>
void BM_Add(benchmark::State &state, const Workload &w)
{
    for (auto _ : state) {
        std::optional<Store> store;
        store.emplace();
        auto start = std::chrono::steady_clock::now();
        for (const Names &n : w.adds)
            store->Add(n);
        state.SetIterationTime(Seconds(start));
        if (!AnswersAll(*store, w)) {
            state.SkipWithError("an added item is missing");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.adds.size()));
}

// Removal in shuffled order: the store finds an item's predecessor in its
// list of all items, so the order decides how far that walk goes.
template <typename Store>
void BM_Remove(benchmark::State &state, const Workload &w)
{
    for (auto _ : state) {
        std::optional<Store> store;
        store.emplace();
        if (!Fill(*store, w)) {
            state.SkipWithError("fill failed");
            break;
        }
        size_t removed = 0;
        auto start = std::chrono::steady_clock::now();
        for (const Names &n : w.asks)
            removed += store->Remove(n);
        state.SetIterationTime(Seconds(start));
        if (removed != w.asks.size()) {
            state.SkipWithError("an item was not removed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.asks.size()));
}

// Each call asks for the next item of the shuffled order.
template <typename Store, typename Call>
void LookupLoop(benchmark::State &state, const Workload &w, Call call)
{
    Store store;
    if (!Fill(store, w) || !AnswersAll(store, w)) {
        state.SkipWithError("the store does not answer its items");
        return;
    }
    size_t next = 0;
    for (auto _ : state) {
        call(store, w.asks[next]);
        if (++next == w.asks.size())
            next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

template <typename Store>
void BM_Get(benchmark::State &state, const Workload &w)
{
    LookupLoop<Store>(state, w, [](Store &store, const Names &n) {
        benchmark::DoNotOptimize(store.Get(n));
    });
}

// The chains that the store's lookups walk in this workload (see
// MakeWorkload), shown beside the store's own get times.
void ReportChains(benchmark::State &state, const Workload &w)
{
    state.counters["links_walked"] = w.linksWalked;
    state.counters["name_cmps"] = w.nameCompares;
    state.counters["buckets"] = w.bucketsUsed;
    state.counters["longest"] = w.longestChain;
}

void BM_GetQv(benchmark::State &state, const Workload &w)
{
    BM_Get<QvStore>(state, w);
    ReportChains(state, w);
}

template <typename Store>
void BM_Find(benchmark::State &state, const Workload &w)
{
    char buffer[kFindBufferSize];
    LookupLoop<Store>(state, w, [&buffer](Store &store, const Names &n) {
        benchmark::DoNotOptimize(store.Find(n, buffer, sizeof buffer));
        benchmark::ClobberMemory();
    });
}

template <typename Store>
void BM_Copy(benchmark::State &state, const Workload &w)
{
    LookupLoop<Store>(state, w, [](Store &store, const Names &n) {
        benchmark::DoNotOptimize(store.CopyAndRelease(n));
    });
}

template <typename Store>
void BM_Walk(benchmark::State &state, const Workload &w)
{
    Store store;
    if (!Fill(store, w)) {
        state.SkipWithError("fill failed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Walk());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.items.size()));
}

// A lookup of a name that is not there, in an empty store: the cost of a call
// around its work (argument tests, hashing or folding, the lock pair).
template <typename Store>
void BM_MissEmpty(benchmark::State &state)
{
    Store store;
    Names n = {"DISPLAY", "colourdepth", nullptr};
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Get(n));
}

// ---- Blocks per item ------------------------------------------------------------

// A counting allocator installed through the hooks, forwarding to the hooks
// it replaced.  The counts are plain words: no other thread allocates while
// it is installed.
struct AllocationCounts {
    QvMallocHook nextMalloc = nullptr;
    QvReallocHook nextRealloc = nullptr;
    QvFreeHook nextFree = nullptr;
    int64_t obtained = 0;
    int64_t released = 0;
    int64_t bytes = 0;
} gCounts;

void *CountingMalloc(size_t size)
{
    void *block = gCounts.nextMalloc(size);
    if (block != nullptr) {
        ++gCounts.obtained;
        gCounts.bytes += static_cast<int64_t>(size);
    }
    return block;
}

void *CountingRealloc(void *block, size_t size)
{
    void *moved = gCounts.nextRealloc(block, size);
    if (block == nullptr && moved != nullptr)
        ++gCounts.obtained;
    return moved;
}

void CountingFree(void *block)
{
    if (block != nullptr)
        ++gCounts.released;
    gCounts.nextFree(block);
}

// Adds every item of the 256-item, 64-section workload as a string item and
// then again, under other keys, as a pointer item, and reports the blocks and
// requested bytes that each new item costs; replacing a value and copying one
// out are counted too.  live_after_free is what QvFreeStore left behind.
void BM_AllocationsPerItem(benchmark::State &state)
{
    const Workload &w = GetWorkload(256, 64);
    std::vector<std::string> pointerKeys;
    for (const Item &item : w.items)
        pointerKeys.push_back(item.key + "Handle");
    auto n = static_cast<double>(w.items.size());

    gCounts = AllocationCounts{QvuMalloc, QvuRealloc, QvuFree, 0, 0, 0};
    QvSetUtilAllocators(CountingMalloc, CountingRealloc, CountingFree);
    for (auto _ : state) {
        TripletStore *store = nullptr;
        if (QvAllocStore(&store) != QV_OK) {
            state.SkipWithError("QvAllocStore failed");
            break;
        }
        int64_t obtained = gCounts.obtained, bytes = gCounts.bytes;
        for (const Names &add : w.adds)
            QvAddItem(store, add.section, add.key, add.value);
        state.counters["string_item_blocks"] = static_cast<double>(gCounts.obtained - obtained) / n;
        state.counters["string_item_bytes"] = static_cast<double>(gCounts.bytes - bytes) / n;

        obtained = gCounts.obtained, bytes = gCounts.bytes;
        for (size_t i = 0; i < w.items.size(); ++i)
            QvStorePtr(store, w.items[i].section.c_str(), pointerKeys[i].c_str(), &pointerKeys[i]);
        state.counters["pointer_item_blocks"] = static_cast<double>(gCounts.obtained - obtained) / n;
        state.counters["pointer_item_bytes"] = static_cast<double>(gCounts.bytes - bytes) / n;

        obtained = gCounts.obtained;
        for (const Names &ask : w.asks)
            QvAddItem(store, ask.section, ask.key, "replaced");
        state.counters["replace_blocks"] = static_cast<double>(gCounts.obtained - obtained) / n;

        obtained = gCounts.obtained;
        for (const Names &ask : w.asks)
            QvuFree(QvCopyItem(store, ask.section, ask.key));
        state.counters["copy_blocks"] = static_cast<double>(gCounts.obtained - obtained) / n;

        QvFreeStore(store);
        state.counters["live_after_free"] = static_cast<double>(gCounts.obtained - gCounts.released);
    }
    QvSetUtilAllocators(gCounts.nextMalloc, gCounts.nextRealloc, gCounts.nextFree);
}

// ---- Registration -------------------------------------------------------------

using Body = void (*)(benchmark::State &, const Workload &);

struct Peer {
    const char *name;
    Body add, remove, get, find, copy, walk;
    void (*missEmpty)(benchmark::State &);
};

std::vector<Peer> Peers()
{
    std::vector<Peer> peers;
    peers.push_back({"qv", BM_Add<QvStore>, BM_Remove<QvStore>, BM_GetQv, BM_Find<QvStore>,
                     BM_Copy<QvStore>, BM_Walk<QvStore>, BM_MissEmpty<QvStore>});
#ifdef QV_BENCH_GLIB
    peers.push_back({"glib", BM_Add<GlibStore>, BM_Remove<GlibStore>, BM_Get<GlibStore>,
                     BM_Find<GlibStore>, BM_Copy<GlibStore>, BM_Walk<GlibStore>,
                     BM_MissEmpty<GlibStore>});
#endif
    peers.push_back({"std", BM_Add<StdStore>, BM_Remove<StdStore>, BM_Get<StdStore>,
                     BM_Find<StdStore>, BM_Copy<StdStore>, BM_Walk<StdStore>,
                     BM_MissEmpty<StdStore>});
    return peers;
}

// "Get/256/64:qv", "Get/256/64:glib", ... so that ratio_main pairs them.
benchmark::internal::Benchmark *Register(const std::string &scenario, const Peer &peer,
                                         Body body, const Workload &w)
{
    std::string name = scenario + ":" + peer.name;
    return benchmark::RegisterBenchmark(name.c_str(), [body, &w](benchmark::State &state) {
        body(state, w);
    });
}

void RegisterAll()
{
    benchmark::RegisterBenchmark("AllocationsPerItem/256/64", BM_AllocationsPerItem)
        ->Iterations(1);

    const std::vector<Peer> peers = Peers();
    struct Operation {
        const char *name;
        Body Peer::*body;
        bool manualTime;
    };
    const Operation operations[] = {{"Add", &Peer::add, true},     {"Get", &Peer::get, false},
                                    {"Find", &Peer::find, false},  {"Copy", &Peer::copy, false},
                                    {"Remove", &Peer::remove, true}, {"Walk", &Peer::walk, false}};
    for (const Operation &op : operations)
        for (int items : kItemCounts)
            for (int sections : kSectionCounts) {
                const Workload &w = GetWorkload(items, sections);
                std::string scenario = std::string(op.name) + "/" + std::to_string(items) + "/"
                                       + std::to_string(sections);
                for (const Peer &peer : peers) {
                    auto *b = Register(scenario, peer, peer.*op.body, w);
                    if (op.manualTime)
                        b->UseManualTime();
                }
            }
    for (const Peer &peer : peers)
        benchmark::RegisterBenchmark((std::string("MissEmpty:") + peer.name).c_str(),
                                     peer.missEmpty);

    // The same lookups with a second thread alive.
    for (int items : kItemCounts)
        for (int sections : kSectionCounts) {
            const Workload &w = GetWorkload(items, sections);
            std::string scenario =
                "Get_threaded/" + std::to_string(items) + "/" + std::to_string(sections);
            for (const Peer &peer : peers)
                Register(scenario, peer, peer.get, w)->Setup(qvbench::BecomeMultiThreaded);
        }
    for (const Peer &peer : peers)
        benchmark::RegisterBenchmark((std::string("MissEmpty_threaded:") + peer.name).c_str(),
                                     peer.missEmpty)
            ->Setup(qvbench::BecomeMultiThreaded);
}

[[maybe_unused]] const int kRegistered = (RegisterAll(), 0);

} // namespace
