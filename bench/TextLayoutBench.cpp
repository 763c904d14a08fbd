// Laying out long texts with the text engine, in the default face ("Times New Roman") at 12 on a
// 600-pixel wrap width, with one view attached:
//   - a full layout of 1 MiB of ASCII words in paragraphs, then of 1 MiB of CJK ideographs in
//     paragraphs (a paragraph of ideographs is one word, cut where the width ends);
//   - one character typed near the end of each text and one near its start (an edit lays the text
//     out again from before the edit to the end), each the median and the worst of 21 keystrokes
//     (the first keystroke also grows the text's buffer);
//   - the advance cache's entries and the process's peak memory after each text.
//
//   TextLayoutBench [--mib N]
//
// Build with -DCMAKE_BUILD_TYPE=Release for meaningful figures.

#include "bench/SampleText.h"
#include "toolkit/GTextData.h"
#include "toolkit/ntex.h"
#include "win32/testing/Harness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using benchtext::AsciiText;
using benchtext::Milliseconds;

constexpr int kKeystrokes = 21;

// A line of /proc/self/status in KiB ("VmHWM", "VmRSS"); 0 when it cannot be read.
long StatusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::strtol(line.c_str() + keyLength + 1, nullptr, 10);
    }
    return 0;
}

// Ideographs from the first 3,000 of the block with a full stop every 10 to 30, a paragraph every
// 60 to 240.
std::string CjkText(size_t bytes, std::mt19937& random)
{
    std::string text;
    text.reserve(bytes + 16);
    auto append = [&](uint32_t c) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    };
    int sentence = 0;
    int paragraph = 0;
    while (text.size() + 3 <= bytes) {
        if (paragraph-- <= 0) {
            if (!text.empty())
                text += '\n';
            paragraph = 60 + static_cast<int>(random() % 181);
        }
        if (sentence-- <= 0) {
            append(0x3002);
            sentence = 10 + static_cast<int>(random() % 21);
            continue;
        }
        append(0x4E00 + random() % 3000);
    }
    return text;
}

size_t CachedAdvances(GTextData& document)
{
    size_t entries = 0;
    for (int32_t i = 0; i < document.GetStyleCount(); ++i)
        entries += document.GetStyle(i).CachedAdvanceCount();
    return entries;
}

// Types one character at the index; the time of the whole edit in ms.
double Keystroke(GTextData& document, int32_t at)
{
    document.SetSelection(at, at, false);
    const auto start = std::chrono::steady_clock::now();
    document.Insert("x", 1, false);
    const double elapsed = Milliseconds(start);
    // Take it out again, unmeasured, so every keystroke sees the same text.
    document.DeleteCharacter(-1);
    return elapsed;
}

void ReportKeystrokes(GTextData& document, const char* where, int32_t at)
{
    std::vector<double> times;
    for (int i = 0; i < kKeystrokes; ++i)
        times.push_back(Keystroke(document, at));
    std::sort(times.begin(), times.end());
    const GTextData::LayoutStats& stats = document.GetLayoutStats();
    std::printf("  keystroke near the %-5s %9.3f ms median, %9.3f ms worst (laid out from line %d of %d)\n", where,
                times[times.size() / 2], times.back(), stats.lastFirstLine, document.GetLineCount());
}

void Run(const char* name, const std::string& text)
{
    GTextData document;
    ntex view(Box2i{0, 0, 608, 400});
    view.SetTextData(&document);

    const auto start = std::chrono::steady_clock::now();
    document.SetText(text.data(), static_cast<int32_t>(text.size()));
    const double full = Milliseconds(start);
    std::printf("%s: %zu bytes, %d lines, text height %d\n", name, text.size(), document.GetLineCount(),
                document.GetTextHeight());
    std::printf("  full layout              %9.3f ms\n", full);

    // A second full layout, with every advance in the cache.
    const auto again = std::chrono::steady_clock::now();
    document.Layout(-1);
    std::printf("  full layout, cache warm  %9.3f ms\n", Milliseconds(again));

    const int32_t length = document.GetLength();
    ReportKeystrokes(document, "end", document.PrevUTF8(length - 100));
    ReportKeystrokes(document, "start", document.PrevUTF8(100));
    std::printf("  advance cache entries    %zu\n", CachedAdvances(document));
    std::printf("  peak memory              %ld KiB (resident now %ld KiB)\n", StatusKiB("VmHWM"), StatusKiB("VmRSS"));
}

} // namespace

int main(int argc, char** argv)
{
    size_t mib = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0)
            mib = static_cast<size_t>(std::max(1L, std::strtol(argv[i + 1], nullptr, 10)));
    }
    win32::testing::Harness harness;
    std::printf("before any text: peak memory %ld KiB\n", StatusKiB("VmHWM"));
    std::mt19937 random(26);
    Run("ASCII", AsciiText(mib << 20, random));
    Run("CJK", CjkText(mib << 20, random));
    return 0;
}
