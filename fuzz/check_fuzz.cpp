// SPDX-License-Identifier: MIT
// check_fuzz.cpp - libFuzzer harness for qvini's checker.  On any input:
// the line reader attributes every report of the parser to exactly one
// line, as the library reads the whole text; every finding fits the
// library's reading of its line, and the cut values, overlong keys, '#'
// entries and empty values are exactly those the parser's reports show;
// the repeated keys and sections are those a store of the library finds
// repeated; nothing follows the first error; and the verdict on a file
// that is not INI only takes the place of the findings about its lines.
// qvini's agreement test runs the same checks on generated files in every
// build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "ini_reference.h"

extern "C" {
#include "qvini.h"
}

size_t CheckAgreement(const uint8_t *data, size_t size);

namespace {

const std::string *current; // the text being checked

void Require(bool holds, const char *what, uintmax_t line)
{
    if (!holds) {
        std::fprintf(stderr, "qvini's checker: %s, line %ju of %s\n", what, line,
                     qvref::FormatReport(current->c_str(), nullptr, nullptr).c_str());
        std::abort();
    }
}

// The parser's reading of one line, as the line reader attributes it.
struct LineFacts {
    std::string content, key;
    bool header = false, entry = false, hasValue = false, aboveHeaders = false, cut = false;
};

// True when the parser's value is not all of the value written: text other
// than blanks follows it before a carriage return.
bool ValueWasCut(const std::string &content, const std::string &value)
{
    size_t at = content.find(value, content.find('=') + 1);
    std::string rest = content.substr(at + value.size());
    return rest.substr(0, rest.find('\r')).find_first_not_of(" \t\v\f") != std::string::npos;
}

size_t KeyLength(const std::string &content)
{
    std::string key = content.substr(0, content.find('='));
    size_t last = key.find_last_not_of(" \t\v\f\r");
    return last == std::string::npos ? 0 : last + 1;
}

struct Seen {
    uintmax_t line;
    Kind kind;
    Severity severity;
    bool operator==(const Seen &) const = default;
};

void Collect(const Finding *finding, void *context)
{
    auto *findings = static_cast<std::vector<Seen> *>(context);
    findings->push_back({finding->line, finding->kind, finding->severity});
}

std::vector<Seen> Check(const uint8_t *data, size_t size, Severity notIni)
{
    Severity severity[KIND_COUNT];
    std::fill(std::begin(severity), std::end(severity), SEVERITY_WARNING);
    severity[KIND_LONG_LINE] = severity[KIND_NUL_BYTE] = SEVERITY_ERROR;
    severity[KIND_NOT_INI] = notIni;
    std::vector<Seen> findings;
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "r");
    Require(file != nullptr && CheckFile(file, "t.ini", severity, Collect, &findings) == 0,
            "checks", 0);
    std::fclose(file);
    return findings;
}

// The store's view of repetition, over the lines the checker looks at for
// it: headers, and entries with a value whose key does not start with '#'.
// Entries above the first header go under "", which no header can name.
std::vector<Seen> StoreRepeats(const std::vector<LineFacts> &lines,
                               const std::vector<std::string> &sections)
{
    TripletStore *keys = nullptr, *headers = nullptr;
    Require(QvAllocStore(&keys) == QV_OK && QvAllocStore(&headers) == QV_OK, "stores", 0);
    std::vector<Seen> repeats;
    for (uintmax_t number = 1; number < lines.size(); ++number) {
        const LineFacts &facts = lines[number];
        const char *section = sections[number].c_str();
        const char *key = facts.header ? "" : facts.key.c_str();
        TripletStore *store = facts.header ? headers : keys;
        if (!facts.header && (!facts.hasValue || facts.key[0] == '#'))
            continue;
        if (QvGetItem(store, section, key) != nullptr)
            repeats.push_back({number, facts.header ? KIND_DUPLICATE_SECTION : KIND_DUPLICATE_KEY,
                               SEVERITY_WARNING});
        Require(QvAddItem(store, section, key, "") == QV_OK, "store", number);
    }
    QvFreeStore(keys);
    QvFreeStore(headers);
    return repeats;
}

} // namespace

size_t CheckAgreement(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    current = &text;
    qvref::ReportLog whole, byLine;
    int32_t wholeResult = QvParseIniData(text.c_str(), qvref::RecordReport, &whole);
    int32_t lineResult = QV_OK;

    std::vector<LineFacts> lines(1);
    std::vector<std::string> sections(1);
    LineReader reader;
    Line line;
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "r");
    Require(file != nullptr, "fmemopen", 0);
    StartReading(&reader, file);
    while (lineResult == QV_OK && ReadLine(&reader, &line)) {
        Require(line.number >= lines.size() && line.reports <= 1, "one report a line", line.number);
        lines.resize(line.number + 1);
        sections.resize(line.number + 1);
        lineResult = line.result;
        LineFacts &facts = lines[line.number];
        facts.content.assign(line.content, std::min<uintmax_t>(line.length, QV_INI_MAX_LINE));
        if (line.reports == 1) {
            qvref::RecordReport(line.section, line.key, line.value, &byLine);
            facts.header = line.key == nullptr;
            facts.entry = !facts.header;
            facts.key = line.key != nullptr ? line.key : "";
            facts.hasValue = line.value != nullptr;
            facts.aboveHeaders = line.section == nullptr;
            facts.cut = facts.hasValue && ValueWasCut(facts.content, line.value);
            sections[line.number] = line.section != nullptr ? line.section : "";
        }
    }
    std::fclose(file);
    Require(wholeResult == lineResult && whole.reports == byLine.reports, "the same reports", 0);

    std::vector<Seen> findings = Check(data, size, SEVERITY_OFF), repeats;
    bool nul = std::strlen(text.c_str()) < size && wholeResult == QV_OK;
    std::vector<std::vector<Kind>> kindsOf(lines.size() + 1);
    for (size_t i = 0; i < findings.size(); ++i) {
        auto [number, kind, severity] = findings[i];
        bool error = kind == KIND_LONG_LINE || kind == KIND_NUL_BYTE;
        Require(error == (severity == SEVERITY_ERROR) && (!error || i + 1 == findings.size()),
                "an error ends it", number);
        if (kind == KIND_NUL_BYTE)
            continue;
        Require(number < lines.size(), "a line read", number);
        const LineFacts &facts = lines[number];
        bool reported = facts.header || facts.entry, plain = facts.entry && facts.key[0] != '#';
        switch (kind) {
        case KIND_SECTION_CUT:
        case KIND_UNCLOSED_SECTION:
        case KIND_TEXT_AFTER_SECTION:
            Require(facts.header, "about a header", number);
            break;
        case KIND_DUPLICATE_SECTION:
        case KIND_DUPLICATE_KEY:
            Require(facts.header || (plain && facts.hasValue), "a name", number);
            if (severity == SEVERITY_WARNING)
                repeats.push_back(findings[i]);
            break;
        case KIND_INLINE_COMMENT:
            Require(plain && facts.hasValue, "about a value", number);
            break;
        case KIND_IGNORED_LINE:
        case KIND_HASH_COMMENT:
            Require(!reported, "about a skipped line", number);
            break;
        case KIND_CARRIAGE_RETURN:
            Require(facts.content.find('\r') != std::string::npos, "a carriage return", number);
            break;
        case KIND_ENTRY_BEFORE_SECTION:
            Require(facts.entry && facts.aboveHeaders, "above the first header", number);
            break;
        case KIND_BYTE_ORDER_MARK:
            Require(number == 1 && facts.content.starts_with("\xEF\xBB\xBF"), "a mark", number);
            break;
        default:
            break;
        }
        kindsOf[number].push_back(kind);
    }
    const std::vector<Kind> &last = kindsOf[lines.size() - 1];
    Require(std::count(last.begin(), last.end(), KIND_LONG_LINE) == (wholeResult == QV_BAD_DATA),
            "long-line", lines.size() - 1);
    Require(nul == (!findings.empty() && findings.back().kind == KIND_NUL_BYTE), "nul-byte", 0);
    for (uintmax_t number = 1; number < lines.size(); ++number) {
        const LineFacts &facts = lines[number];
        const std::vector<Kind> &kinds = kindsOf[number];
        auto has = [&](Kind kind) { return std::count(kinds.begin(), kinds.end(), kind) == 1; };
        bool plain = facts.entry && facts.key[0] != '#';
        bool longKey = plain && !facts.hasValue && KeyLength(facts.content) > QV_INI_MAX_FIELD;
        Require(has(KIND_HASH_ENTRY) == (facts.entry && !plain), "hash-entry", number);
        Require(has(KIND_VALUE_CUT) == (plain && facts.cut), "value-cut", number);
        Require(has(KIND_LONG_KEY) == longKey, "long-key", number);
        Require(has(KIND_EMPTY_VALUE) == (plain && !facts.hasValue && !longKey), "empty-value",
                number);
        Require(!longKey || facts.key == facts.content, "keyed by the whole line", number);
    }
    Require(repeats == StoreRepeats(lines, sections), "the store's repeats", 0);

    // The verdict: either nothing changes, or one finding stands in for all
    // but the error that ended the reading.
    std::vector<Seen> judged = Check(data, size, SEVERITY_WARNING);
    bool same = judged == findings, verdict = !judged.empty() && judged[0].kind == KIND_NOT_INI;
    bool errorKept = judged.size() == 1
                     || (judged.size() == 2 && judged[1].severity == SEVERITY_ERROR
                         && !findings.empty() && judged[1] == findings.back());
    Require(same || (verdict && judged.size() <= 2 && errorKept), "the verdict", 0);
    return findings.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CheckAgreement(data, size);
    return 0;
}
