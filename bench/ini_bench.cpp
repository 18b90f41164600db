// SPDX-License-Identifier: MIT
// ini_bench.cpp - QvParseIniData against inih's ini_parse_string on the same
// texts, with a pass that only finds every line end (the floor any line
// parser pays), and QvGetIniValue against a lookup through inih and through
// GLib's key files.  Every text is read by all three dialects alike: '#'
// comments without '=', groups before keys, no line continuations.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include <ini.h>
#include <qv-utility.h>

#ifdef QV_BENCH_GLIB
#include <glib.h>
#endif

namespace {

const char *const kKeys[] = {"Mode", "Width", "Height", "ColourDepth", "Refresh", "Path",
                             "Timeout", "Retries", "Host", "Port", "LogLevel", "Enabled"};
const char *const kValues[] = {"fast", "1920", "1080", "32", "60", "/opt/product/share/data",
                               "30", "5", "server.example.net", "8080", "warning", "yes"};

// A configuration file as a product ships it: a header comment, named
// sections of a dozen entries, blank lines and the odd comment between.
std::string RealisticText(size_t target)
{
    static const char *const kSections[] = {"Display", "Network", "Logging", "Storage",
                                            "Security", "Printing", "Locale", "Update"};
    std::string text = "# Product configuration, written by the installer\n\n";
    for (int s = 0; text.size() < target; ++s) {
        char header[64];
        snprintf(header, sizeof header, "[%s%d]\n", kSections[s % 8], s / 8);
        text += header;
        for (int k = 0; k < 12; ++k) {
            if (k == 6)
                text += "# the values below are the defaults\n";
            text += std::string(kKeys[k]) + " = " + kValues[(k + s) % 12] + "\n";
        }
        text += "\n";
    }
    return text;
}

// Lines near the 260-character limit: long section names, long values.
std::string LongLineText(size_t target)
{
    std::string text;
    for (int s = 0; text.size() < target; ++s) {
        text += "[Section_" + std::string(230, 'S') + std::to_string(s) + "]\n";
        for (int k = 0; k < 8; ++k)
            text += "Key" + std::to_string(k) + std::string(60, 'k') + " = " + std::string(180, 'v') + "\n";
    }
    return text;
}

const std::string &Text(int which)
{
    static const std::string texts[] = {RealisticText(4096), RealisticText(1 << 20),
                                        LongLineText(64 << 10)};
    return texts[which];
}

const char *const kTextNames[] = {"4k", "1m", "long_lines"};

int32_t CountQv(const char *, const char *key, const char *, void *context)
{
    if (key != nullptr)
        ++*static_cast<size_t *>(context);
    return QV_OK;
}

int CountInih(void *context, const char *, const char *, const char *)
{
    ++*static_cast<size_t *>(context);
    return 1;
}

void ParseQv(benchmark::State &state, int which)
{
    const std::string &text = Text(which);
    size_t entries = 0;
    for (auto _ : state) {
        entries = 0;
        benchmark::DoNotOptimize(QvParseIniData(text.c_str(), CountQv, &entries));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["entries"] = static_cast<double>(entries);
}

void ParseInih(benchmark::State &state, int which)
{
    const std::string &text = Text(which);
    size_t entries = 0;
    for (auto _ : state) {
        entries = 0;
        benchmark::DoNotOptimize(ini_parse_string(text.c_str(), CountInih, &entries));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["entries"] = static_cast<double>(entries);
}

void ParseMemchr(benchmark::State &state, int which)
{
    const std::string &text = Text(which);
    for (auto _ : state) {
        size_t lines = 0;
        const char *p = text.c_str();
        const char *end = p + text.size();
        while (const void *lf = memchr(p, '\n', static_cast<size_t>(end - p))) {
            p = static_cast<const char *>(lf) + 1;
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The lookup's target: an entry of the last section of the 4 KiB text.
struct Wanted {
    std::string section;
    const char *key = "Port";
};

Wanted LastSection()
{
    const std::string &text = Text(0);
    size_t open = text.rfind('[');
    return {text.substr(open + 1, text.find(']', open) - open - 1)};
}

void LookupQv(benchmark::State &state)
{
    const std::string &text = Text(0);
    Wanted wanted = LastSection();
    char value[81] = "";
    for (auto _ : state)
        benchmark::DoNotOptimize(QvGetIniValue(text.c_str(), wanted.section.c_str(), wanted.key,
                                               value, sizeof value));
    if (value[0] == '\0')
        state.SkipWithError("no value found");
}

// inih calls on after a handler's 0 (it only records the error line), so a
// lookup stops comparing at the match but the parse runs to the end.
struct InihLookup {
    const Wanted *wanted;
    char value[81];
    bool found;
};

int MatchInih(void *context, const char *section, const char *key, const char *value)
{
    auto *lookup = static_cast<InihLookup *>(context);
    if (lookup->found)
        return 0;
    if (strcasecmp(section, lookup->wanted->section.c_str()) == 0 &&
        strcasecmp(key, lookup->wanted->key) == 0) {
        snprintf(lookup->value, sizeof lookup->value, "%s", value);
        lookup->found = true;
        return 0;
    }
    return 1;
}

void LookupInih(benchmark::State &state)
{
    const std::string &text = Text(0);
    Wanted wanted = LastSection();
    InihLookup lookup = {&wanted, "", false};
    for (auto _ : state) {
        lookup.found = false;
        benchmark::DoNotOptimize(ini_parse_string(text.c_str(), MatchInih, &lookup));
    }
    if (!lookup.found)
        state.SkipWithError("no value found");
}

#ifdef QV_BENCH_GLIB
void LookupGlib(benchmark::State &state)
{
    const std::string &text = Text(0);
    Wanted wanted = LastSection();
    bool found = false;
    for (auto _ : state) {
        GKeyFile *file = g_key_file_new();
        if (g_key_file_load_from_data(file, text.c_str(), text.size(), G_KEY_FILE_NONE, nullptr)) {
            gchar *value = g_key_file_get_string(file, wanted.section.c_str(), wanted.key, nullptr);
            found = value != nullptr;
            g_free(value);
        }
        g_key_file_free(file);
    }
    if (!found)
        state.SkipWithError("no value found");
}
#endif

void RegisterAll()
{
    for (int which = 0; which < 3; ++which) {
        std::string prefix = std::string("parse_") + kTextNames[which] + ":";
        benchmark::RegisterBenchmark((prefix + "qv").c_str(), ParseQv, which);
        benchmark::RegisterBenchmark((prefix + "inih").c_str(), ParseInih, which);
        benchmark::RegisterBenchmark((prefix + "memchr").c_str(), ParseMemchr, which);
    }
    benchmark::RegisterBenchmark("lookup_4k:qv", LookupQv);
    benchmark::RegisterBenchmark("lookup_4k:inih", LookupInih);
#ifdef QV_BENCH_GLIB
    benchmark::RegisterBenchmark("lookup_4k:glib", LookupGlib);
#endif
}

const bool kRegistered = (RegisterAll(), true);

} // namespace
