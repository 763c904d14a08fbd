#pragma once

// Pieces the text benchmarks share: a stopwatch and a made-up text of the same shape each run.

#include <chrono>
#include <cstddef>
#include <random>
#include <string>

namespace benchtext {

inline double Milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Words of 1 to 10 letters with spaces, a paragraph every 40 to 120 words.
inline std::string AsciiText(size_t bytes, std::mt19937& random)
{
    std::string text;
    text.reserve(bytes + 16);
    int wordsLeft = 0;
    while (text.size() < bytes) {
        if (wordsLeft-- <= 0) {
            if (!text.empty())
                text.back() = '\n';
            wordsLeft = 40 + static_cast<int>(random() % 81);
        }
        for (int n = 1 + static_cast<int>(random() % 10); n > 0; --n)
            text += static_cast<char>('a' + random() % 26);
        text += ' ';
    }
    text.resize(bytes);
    return text;
}

} // namespace benchtext
