// SPDX-License-Identifier: MIT
// store_bench.cpp - the keyed item store against what a caller would
// otherwise use: std::unordered_map under a std::mutex and, on x86_64,
// GLib's GHashTable under a GMutex.  The peers key an item by one
// case-folded "section\0key" string, folded on every call into a buffer on
// the stack: the quickest way they have to the store's case-insensitive
// names, not a straw man.
//
// Stores of 16, 256 and 4096 items over 8 and 64 sections, named like INI
// sections and keys in mixed case; lookups and removals spell the names in
// another case than they were added with.  add and remove time a batch of
// all the items (manual time: building and tearing down a store is not
// counted), get one call, walk a whole walk.  add/N/1 puts N keys into one
// section, where every addition walks the items added before it.  get runs
// again with an idle second thread alive, when the locks stop skipping
// their atomic instructions.  BlocksPerItem reports what an item costs.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <qv-utility.h>

#include "names.h"
#include "threads.h"

#ifdef QV_BENCH_GLIB
#include <glib.h>
#endif

namespace {

using qvbench::Respell;
using qvbench::Spelling;

const char *const kSectionWords[] = {"Display",  "Network", "Logging",  "Storage",
                                     "Security", "Printing", "Locale",  "Update",
                                     "Audio",    "Keyboard", "Proxy",   "Database",
                                     "Session",  "Plugins",  "Fonts",   "Backup"};
const char *const kQualifiers[] = {"", ".Defaults", ".User", ".Machine"};
const char *const kKeyWords[] = {
    "Mode",      "Width",    "Height",     "ColourDepth", "RefreshRate", "Path",
    "Timeout",   "Retries",  "Host",       "Port",        "LogLevel",    "Enabled",
    "MaxSize",   "FontName", "FontSize",   "Language",    "Encoding",    "LastUser",
    "CachePath", "Interval", "Theme",      "Volume",      "Layout",      "Compression",
    "Verbose",   "Backlog",  "ServerName", "ProxyHost",   "Priority",    "Format",
    "Version",   "AutoStart"};
const char *const kValues[] = {"fast", "1920", "1080", "32", "60", "/opt/product/share/data",
                               "30", "5", "server.example.net", "8080", "warning", "yes"};

struct Names {
    const char *section, *key, *value;
};

// Items added a section at a time, as a loader reading an INI file adds
// them (a store of fewer items than sections fills only the first ones),
// and asked for in another spelling, in a shuffled order.
struct Workload {
    struct Item {
        std::string section, key, value, askSection, askKey;
    };
    std::vector<Item> items;
    std::vector<Names> adds, asks;
};

const Workload &GetWorkload(int itemCount, int sectionCount)
{
    static std::map<std::pair<int, int>, std::unique_ptr<Workload>> cache;
    std::unique_ptr<Workload> &w = cache[{itemCount, sectionCount}];
    if (w)
        return *w;
    w = std::make_unique<Workload>();
    w->items.resize(itemCount);
    int perSection = std::max(1, itemCount / sectionCount);
    for (int i = 0; i < itemCount; ++i) {
        Workload::Item &item = w->items[i];
        int s = i / perSection, k = i % perSection;
        item.section = std::string(kSectionWords[s % 16]) + kQualifiers[s / 16];
        item.key = kKeyWords[k % 32] + (k >= 32 ? std::to_string(k / 32) : "");
        item.value = kValues[i % 12];
        item.askSection = Respell(item.section, static_cast<Spelling>(i % 3));
        item.askKey = Respell(item.key, static_cast<Spelling>((i + 1) % 3));
        w->adds.push_back({item.section.c_str(), item.key.c_str(), item.value.c_str()});
    }
    std::vector<size_t> order(itemCount);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(12345));
    for (size_t i : order)
        w->asks.push_back({w->items[i].askSection.c_str(), w->items[i].askKey.c_str(),
                           w->items[i].value.c_str()});
    return *w;
}

// "section\0key" folded to lower case, the peers' key, on the caller's stack.
struct FoldedKey {
    FoldedKey(const char *section, const char *key)
    {
        char *p = text;
        for (const char *name : {section, key}) {
            for (const char *s = name; *s != '\0'; ++s)
                *p++ = *s >= 'A' && *s <= 'Z' ? static_cast<char>(*s + ('a' - 'A')) : *s;
            *p++ = '\0';
        }
        view = std::string_view(text, p - text - 1);
    }
    char text[256]; // the longest pair of the workloads, with room to spare
    std::string_view view; // without the final NUL
};

// A walk reads a byte of each string, so that it cannot skip the item.
uint64_t Visit(uint64_t sum, const char *section, const char *key, const char *value)
{
    return sum + static_cast<unsigned char>(section[0]) + static_cast<unsigned char>(key[0])
           + static_cast<unsigned char>(value[0]);
}

class QvStore {
public:
    QvStore() { QvAllocStore(&store_); }
    ~QvStore() { QvFreeStore(store_); }
    bool Add(const Names &n) { return QvAddItem(store_, n.section, n.key, n.value) == QV_OK; }
    const char *Get(const Names &n)
    {
        return static_cast<const char *>(QvGetItem(store_, n.section, n.key));
    }
    bool Remove(const Names &n) { return QvRemoveItem(store_, n.section, n.key) == QV_OK; }
    uint64_t Walk()
    {
        uint64_t sum = 0;
        QvStoreIterate(store_, nullptr, Visitor, &sum, nullptr);
        return sum;
    }

private:
    static int32_t Visitor(const char *section, const char *key, void *value, void *sum)
    {
        auto *total = static_cast<uint64_t *>(sum);
        *total = Visit(*total, section, key, static_cast<const char *>(value));
        return 0;
    }
    TripletStore *store_ = nullptr;
};

// Lookups pass a view of the folded name (the transparent hash), so only a
// new item builds a std::string key.
struct ViewHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
};

class StdStore {
public:
    bool Add(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        std::lock_guard<std::mutex> lock(mutex_);
        map_.insert_or_assign(std::string(folded.view), n.value);
        return true;
    }
    const char *Get(const Names &n)
    {
        FoldedKey folded(n.section, n.key);
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = map_.find(folded.view);
        return found != map_.end() ? found->second.c_str() : nullptr;
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
        uint64_t sum = 0;
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto &[key, value] : map_)
            sum = Visit(sum, key.c_str(), key.c_str() + strlen(key.c_str()) + 1, value.c_str());
        return sum;
    }

private:
    std::unordered_map<std::string, std::string, ViewHash, std::equal_to<>> map_;
    std::mutex mutex_;
};

#ifdef QV_BENCH_GLIB
class GlibStore {
public:
    GlibStore() : table_(g_hash_table_new_full(Hash, Equal, g_free, g_free))
    {
        g_mutex_init(&mutex_);
    }
    ~GlibStore()
    {
        g_hash_table_destroy(table_);
        g_mutex_clear(&mutex_);
    }
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
        uint64_t sum = 0;
        g_mutex_lock(&mutex_);
        g_hash_table_foreach(table_, Visitor, &sum);
        g_mutex_unlock(&mutex_);
        return sum;
    }

private:
    // FNV-1a over "section\0key", the separator included.
    static guint Hash(gconstpointer key)
    {
        const unsigned char *p = static_cast<const unsigned char *>(key);
        uint32_t hash = 2166136261u;
        for (int nuls = 0; nuls < 2; ++p) {
            hash = (hash ^ *p) * 16777619u;
            nuls += *p == 0;
        }
        return hash;
    }
    static gboolean Equal(gconstpointer a, gconstpointer b)
    {
        auto *x = static_cast<const char *>(a);
        auto *y = static_cast<const char *>(b);
        return strcmp(x, y) == 0 && strcmp(x + strlen(x) + 1, y + strlen(y) + 1) == 0;
    }
    static void Visitor(gpointer key, gpointer value, gpointer sum)
    {
        auto *section = static_cast<const char *>(key);
        auto *total = static_cast<uint64_t *>(sum);
        *total = Visit(*total, section, section + strlen(section) + 1,
                       static_cast<const char *>(value));
    }
    GHashTable *table_;
    GMutex mutex_;
};
#endif

// Every item answers its other spelling with its own value: checked before
// timing, so that a broken store is an error rather than a fast time.
template <typename Store>
bool Filled(Store &store, const Workload &w)
{
    for (const Names &n : w.adds)
        store.Add(n);
    for (const Names &n : w.asks)
        if (const char *value = store.Get(n); value == nullptr || strcmp(value, n.value) != 0)
            return false;
    return true;
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Store>
void Add(benchmark::State &state, const Workload &w)
{
    for (auto _ : state) {
        Store store;
        auto start = std::chrono::steady_clock::now();
        for (const Names &n : w.adds)
            store.Add(n);
        state.SetIterationTime(Since(start));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.adds.size()));
}

// Removal in shuffled order: the store finds an item's predecessor in its
// list of all items, so the order decides how far that walk goes.
template <typename Store>
void Remove(benchmark::State &state, const Workload &w)
{
    for (auto _ : state) {
        Store store;
        for (const Names &n : w.adds)
            store.Add(n);
        size_t removed = 0;
        auto start = std::chrono::steady_clock::now();
        for (const Names &n : w.asks)
            removed += store.Remove(n);
        state.SetIterationTime(Since(start));
        if (removed != w.asks.size())
            state.SkipWithError("an item was not removed");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.asks.size()));
}

// Each call asks for the next item of the shuffled order.
template <typename Store>
void Get(benchmark::State &state, const Workload &w)
{
    Store store;
    if (!Filled(store, w)) {
        state.SkipWithError("the store does not answer its items");
        return;
    }
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Get(w.asks[next]));
        next = next + 1 == w.asks.size() ? 0 : next + 1;
    }
}

template <typename Store>
void Walk(benchmark::State &state, const Workload &w)
{
    Store store;
    if (!Filled(store, w)) {
        state.SkipWithError("the store does not answer its items");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Walk());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.items.size()));
}

// The heap blocks an item costs, and their bytes with the C library's
// malloc overhead, for string items and for pointer items under other keys.
int64_t gBlocks;
QvMallocHook gNextMalloc;
void *CountingMalloc(size_t size)
{
    ++gBlocks;
    return gNextMalloc(size);
}

void BlocksPerItem(benchmark::State &state)
{
    const Workload &w = GetWorkload(256, 64);
    auto n = static_cast<double>(w.items.size());
    std::vector<std::string> handles;
    for (const Workload::Item &item : w.items)
        handles.push_back(item.key + "Handle");
    gNextMalloc = QvuMalloc;
    QvSetUtilAllocators(CountingMalloc, QvuRealloc, QvuFree);
    for (auto _ : state) {
        TripletStore *store = nullptr;
        QvAllocStore(&store);
        int64_t blocks = gBlocks;
        size_t bytes = mallinfo2().uordblks;
        for (const Names &add : w.adds)
            QvAddItem(store, add.section, add.key, add.value);
        state.counters["string_blocks"] = static_cast<double>(gBlocks - blocks) / n;
        state.counters["string_bytes"] = static_cast<double>(mallinfo2().uordblks - bytes) / n;
        blocks = gBlocks;
        bytes = mallinfo2().uordblks;
        for (size_t i = 0; i < handles.size(); ++i)
            QvStorePtr(store, w.adds[i].section, handles[i].c_str(), store);
        state.counters["pointer_blocks"] = static_cast<double>(gBlocks - blocks) / n;
        state.counters["pointer_bytes"] = static_cast<double>(mallinfo2().uordblks - bytes) / n;
        QvFreeStore(store);
    }
    QvSetUtilAllocators(gNextMalloc, QvuRealloc, QvuFree);
}

using Body = void (*)(benchmark::State &, const Workload &);

struct Peer {
    const char *name;
    Body add, remove, get, walk;
};

// "get/256/64:qv", "get/256/64:std", ... so that ratio_main pairs them.
void Register(const std::string &operation, Body Peer::*body, int items, int sections,
              bool manualTime, bool threaded)
{
    static const Peer kPeers[] = {
        {"qv", Add<QvStore>, Remove<QvStore>, Get<QvStore>, Walk<QvStore>},
        {"std", Add<StdStore>, Remove<StdStore>, Get<StdStore>, Walk<StdStore>},
#ifdef QV_BENCH_GLIB
        {"glib", Add<GlibStore>, Remove<GlibStore>, Get<GlibStore>, Walk<GlibStore>},
#endif
    };
    const Workload &w = GetWorkload(items, sections);
    for (const Peer &peer : kPeers) {
        std::string name = operation + "/" + std::to_string(items) + "/"
                           + std::to_string(sections) + ":" + peer.name;
        Body run = peer.*body;
        auto *b = benchmark::RegisterBenchmark(name.c_str(), [run, &w](benchmark::State &s) {
            run(s, w);
        });
        if (manualTime)
            b->UseManualTime();
        if (threaded)
            b->Setup(qvbench::BecomeMultiThreaded);
    }
}

void RegisterAll()
{
    benchmark::RegisterBenchmark("BlocksPerItem/256/64", BlocksPerItem)->Iterations(1);
    for (int items : {16, 256, 4096})
        for (int sections : {8, 64}) {
            Register("add", &Peer::add, items, sections, true, false);
            Register("get", &Peer::get, items, sections, false, false);
            Register("remove", &Peer::remove, items, sections, true, false);
            Register("walk", &Peer::walk, items, sections, false, false);
        }
    for (int items : {1024, 4096, 16384})
        Register("add", &Peer::add, items, 1, true, false);
    // Last: once the idle thread exists, every later case has it.
    for (int items : {16, 4096})
        Register("get_threaded", &Peer::get, items, 64, false, true);
}

[[maybe_unused]] const int kRegistered = (RegisterAll(), 0);

} // namespace
