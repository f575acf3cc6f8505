// Random inputs for the randomized tests: fixed seeds, and a round count that
// TARNU_FUZZ_ROUNDS raises for long runs (the default run stays short).
#ifndef TARNU_TESTS_FUZZ_SUPPORT_H
#define TARNU_TESTS_FUZZ_SUPPORT_H

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

inline int fuzzRounds() {
    const char *env = std::getenv("TARNU_FUZZ_ROUNDS");
    int n = env ? std::atoi(env) : 1;
    return n > 0 ? n : 1;
}

class Fuzz {
  public:
    explicit Fuzz(std::uint64_t seed) : rng_(seed) {}

    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <class T>
    const T &pick(const std::vector<T> &v) {
        return v[below(v.size())];
    }

    std::string bytes(size_t maxLength) {
        std::string s(below(maxLength + 1), '\0');
        for (char &c : s) c = static_cast<char>(between(0, 255));
        return s;
    }

    std::string utf8(char32_t cp) {
        std::string s;
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
        return s;
    }

    // A code point that every encoding of the files can hold (no NUL, no surrogate).
    char32_t codePoint() {
        switch (between(0, 9)) {
            case 0:
            case 1:
            case 2:
                return static_cast<char32_t>(between(1, 0x7F));
            case 3:
            case 4:
                return static_cast<char32_t>(between(0x4E00, 0x9FA5));  // CJK
            case 5:
                return static_cast<char32_t>(between(0xFF01, 0xFF5E));  // full-width
            case 6: {
                static const std::vector<char32_t> odd = {
                    '\r', '\n',   '=',    '[',    ']',  ';',    ' ',    '\t',
                    '"',  0x3000, 0xFEFF, 0xFFFD, 0xA0, 0x2605, 0xE000, 0xFFE5};
                return pick(odd);
            }
            case 7:
                return static_cast<char32_t>(between(0x80, 0xD7FF));
            case 8:
                return static_cast<char32_t>(between(0xE000, 0xFFFD));
            default:
                return static_cast<char32_t>(between(0x10000, 0x10FFFF));
        }
    }

    std::string text(size_t maxChars) {
        std::string s;
        size_t n = below(maxChars + 1);
        for (size_t i = 0; i < n; ++i) s += utf8(codePoint());
        return s;
    }

    std::mt19937_64 &engine() { return rng_; }

  private:
    std::mt19937_64 rng_;
};

#endif
