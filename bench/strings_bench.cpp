// strings_bench.cpp - names, allocated strings and buffers against the C
// library (strcasecmp, strdup, asprintf) and GLib's GString, in one run.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include <qv-utility.h>

#ifdef QV_BENCH_GLIB
#include <glib.h>
#endif

namespace {

const int kNameLengths[] = {4, 8, 16, 32, 64};

// A name of the given length in the style of INI sections and keys, and its
// partner: the same name with every letter's case flipped, or the same name
// differing only in its last byte.
std::string MakeName(int length)
{
    static const char kPattern[] = "Display_Mode.Window2Size-Colour_Depth";
    std::string name;
    for (int i = 0; i < length; ++i)
        name += kPattern[i % (sizeof kPattern - 1)];
    return name;
}

std::string FlipCase(std::string name)
{
    for (char &c : name)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            c = static_cast<char>(c ^ 0x20);
    return name;
}

std::string ChangeLast(std::string name)
{
    name.back() = name.back() == 'x' ? 'y' : 'x';
    return name;
}

template <typename Compare>
void CompareNames(benchmark::State &state, bool caseOnly, Compare compare)
{
    std::string first = MakeName(static_cast<int>(state.range(0)));
    std::string second = caseOnly ? FlipCase(first) : ChangeLast(first);
    const char *a = first.c_str();
    const char *b = second.c_str();
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        benchmark::DoNotOptimize(compare(a, b));
    }
}

void RegisterComparisons()
{
    struct Kind {
        const char *scenario;
        bool caseOnly;
    };
    for (Kind kind : {Kind{"casecmp_case_only", true}, Kind{"casecmp_differ_at_end", false}}) {
        std::string qv = std::string(kind.scenario) + ":qv";
        std::string peer = std::string(kind.scenario) + ":strcasecmp";
        bool caseOnly = kind.caseOnly;
        auto *a = benchmark::RegisterBenchmark(qv.c_str(), [caseOnly](benchmark::State &s) {
            CompareNames(s, caseOnly, QvStrCmpCI);
        });
        auto *b = benchmark::RegisterBenchmark(peer.c_str(), [caseOnly](benchmark::State &s) {
            CompareNames(s, caseOnly, strcasecmp);
        });
        for (int length : kNameLengths) {
            a->Arg(length);
            b->Arg(length);
        }
    }
}

template <typename Duplicate, typename Release>
void DuplicateName(benchmark::State &state, Duplicate duplicate, Release release)
{
    std::string name = MakeName(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        char *copy = duplicate(name.c_str());
        benchmark::DoNotOptimize(copy);
        release(copy);
    }
}

void BM_DupQv(benchmark::State &state) { DuplicateName(state, QvDupString, QvuFree); }
void BM_DupStrdup(benchmark::State &state) { DuplicateName(state, strdup, free); }
BENCHMARK(BM_DupQv)->Name("dup:qv")->Arg(8)->Arg(32)->Arg(128);
BENCHMARK(BM_DupStrdup)->Name("dup:strdup")->Arg(8)->Arg(32)->Arg(128);

// "key=value" lines as a host writes them; the long one outgrows the
// estimate from the format, so the qv side formats twice.
void BM_FormatQv(benchmark::State &state)
{
    std::string value = MakeName(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        char *text = QvAllocateAndFormatString(0, "%s=%d;%s", "Mode", 42, value.c_str());
        benchmark::DoNotOptimize(text);
        QvuFree(text);
    }
}
void BM_FormatAsprintf(benchmark::State &state)
{
    std::string value = MakeName(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        char *text = nullptr;
        if (asprintf(&text, "%s=%d;%s", "Mode", 42, value.c_str()) < 0)
            state.SkipWithError("asprintf failed");
        benchmark::DoNotOptimize(text);
        free(text);
    }
}
BENCHMARK(BM_FormatQv)->Name("format:qv")->Arg(8)->Arg(100);
BENCHMARK(BM_FormatAsprintf)->Name("format:asprintf")->Arg(8)->Arg(100);

#ifdef QV_BENCH_GLIB
// A buffer built from empty by a run of small appends, then released.
const char kPiece[] = "Mode=fast\n";
constexpr uint32_t kPieceLength = sizeof kPiece - 1;

void BM_AppendQv(benchmark::State &state)
{
    for (auto _ : state) {
        char *data = nullptr;
        uint32_t capacity = 0;
        uint32_t used = 0;
        for (int64_t i = 0; i < state.range(0); ++i)
            QvAppendToBuffer(&data, &capacity, &used, kPiece, kPieceLength);
        benchmark::DoNotOptimize(data);
        QvuFree(data);
    }
}
void BM_AppendGString(benchmark::State &state)
{
    for (auto _ : state) {
        GString *text = g_string_new(nullptr);
        for (int64_t i = 0; i < state.range(0); ++i)
            g_string_append_len(text, kPiece, kPieceLength);
        benchmark::DoNotOptimize(text->str);
        g_string_free(text, TRUE);
    }
}
void BM_FormatAppendQv(benchmark::State &state)
{
    for (auto _ : state) {
        char *data = nullptr;
        uint32_t capacity = 0;
        uint32_t used = 0;
        for (int64_t i = 0; i < state.range(0); ++i)
            QvFormatAndAppendToBuffer(&data, &capacity, &used, "%s=%d\n", "Mode", static_cast<int>(i));
        benchmark::DoNotOptimize(data);
        QvuFree(data);
    }
}
void BM_FormatAppendGString(benchmark::State &state)
{
    for (auto _ : state) {
        GString *text = g_string_new(nullptr);
        for (int64_t i = 0; i < state.range(0); ++i)
            g_string_append_printf(text, "%s=%d\n", "Mode", static_cast<int>(i));
        benchmark::DoNotOptimize(text->str);
        g_string_free(text, TRUE);
    }
}
BENCHMARK(BM_AppendQv)->Name("append:qv")->Arg(16)->Arg(256);
BENCHMARK(BM_AppendGString)->Name("append:gstring")->Arg(16)->Arg(256);
BENCHMARK(BM_FormatAppendQv)->Name("format_append:qv")->Arg(16)->Arg(256);
BENCHMARK(BM_FormatAppendGString)->Name("format_append:gstring")->Arg(16)->Arg(256);
#endif

[[maybe_unused]] const int kRegistered = (RegisterComparisons(), 0);

} // namespace
