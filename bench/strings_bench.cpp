// SPDX-License-Identifier: MIT
// strings_bench.cpp - names, allocated strings and buffers against the C
// library (strcasecmp, strncasecmp, strdup, asprintf) and GLib's GString.
#include <benchmark/benchmark.h>

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include <qv-utility.h>

#include "names.h"

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

std::string ChangeLast(std::string name)
{
    name.back() = name.back() == 'x' ? 'y' : 'x';
    return name;
}

// Names are compared in the C locale and in a UTF-8 locale whose single-byte
// case mapping is ASCII's (scripts/setup-debian generates it), set as a host
// sets it, for the whole process.
struct Locale {
    const char *label;
    const char *name;
};
const Locale kLocales[] = {{"c", "C"}, {"utf8", "en_US.UTF-8"}};

// The bounded comparison is given the names' length as its count, so both
// functions do the same work.
template <typename Compare>
void CompareNames(benchmark::State &state, const char *locale, bool caseOnly, Compare compare)
{
    if (setlocale(LC_ALL, locale) == nullptr) {
        state.SkipWithError("locale not generated (scripts/setup-debian)");
        return;
    }
    std::string first = MakeName(static_cast<int>(state.range(0)));
    std::string second =
        caseOnly ? qvbench::Respell(first, qvbench::Spelling::Flipped) : ChangeLast(first);
    const char *a = first.c_str();
    const char *b = second.c_str();
    size_t count = first.size();
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        benchmark::DoNotOptimize(compare(a, b, count));
    }
    setlocale(LC_ALL, "C");
}

int32_t QvWhole(const char *a, const char *b, size_t) { return QvStrCmpCI(a, b); }
int32_t QvBounded(const char *a, const char *b, size_t n)
{
    return QvStrCmpCIN(a, b, static_cast<uint32_t>(n));
}
int LibcWhole(const char *a, const char *b, size_t) { return strcasecmp(a, b); }
int LibcBounded(const char *a, const char *b, size_t n) { return strncasecmp(a, b, n); }

// "casecmp_c_case_only:qv/8" against "casecmp_c_case_only:strcasecmp/8", ...
void RegisterComparisons()
{
    struct Function {
        const char *name, *peer;
        int32_t (*qv)(const char *, const char *, size_t);
        int (*libc)(const char *, const char *, size_t);
    };
    const Function functions[] = {{"casecmp", "strcasecmp", QvWhole, LibcWhole},
                                  {"ncasecmp", "strncasecmp", QvBounded, LibcBounded}};
    for (const Function &f : functions)
        for (const Locale &locale : kLocales)
            for (bool caseOnly : {true, false}) {
                std::string scenario = std::string(f.name) + "_" + locale.label
                                       + (caseOnly ? "_case_only:" : "_differ_at_end:");
                auto *qv = benchmark::RegisterBenchmark(
                    (scenario + "qv").c_str(), [f, locale, caseOnly](benchmark::State &s) {
                        CompareNames(s, locale.name, caseOnly, f.qv);
                    });
                auto *peer = benchmark::RegisterBenchmark(
                    (scenario + f.peer).c_str(), [f, locale, caseOnly](benchmark::State &s) {
                        CompareNames(s, locale.name, caseOnly, f.libc);
                    });
                for (int length : kNameLengths) {
                    qv->Arg(length);
                    peer->Arg(length);
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
