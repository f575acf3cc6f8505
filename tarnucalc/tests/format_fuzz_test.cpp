// Randomized checks of the number conversions against the C library and against their
// own inverses.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "format.h"
#include "fuzz_support.h"

using namespace tarnu;

namespace {

bool sameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

double randomDouble(Fuzz &f) {
    switch (f.between(0, 7)) {
        case 0: {
            std::uint64_t bits = f.engine()();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 1:
            return f.between(-1000000, 1000000) / std::pow(10.0, f.between(0, 9));
        case 2:  // halves at some decimal
            return (f.between(-100000, 100000) + 0.5) / std::pow(10.0, f.between(0, 6));
        case 3: {
            static const std::vector<double> edges = {0.0,
                                                      -0.0,
                                                      1e13,
                                                      1e13 - 1,
                                                      9999999999999.5,
                                                      1e-4,
                                                      0.99999e-4,
                                                      DBL_MAX,
                                                      -DBL_MAX,
                                                      DBL_MIN,
                                                      DBL_TRUE_MIN,
                                                      1e15,
                                                      999999999999999.0 / 100,
                                                      1e-12,
                                                      0.005,
                                                      HUGE_VAL,
                                                      -HUGE_VAL,
                                                      NAN,
                                                      4503599627370496.5,
                                                      9007199254740993.0};
            return f.pick(edges);
        }
        case 4:
            return std::ldexp(f.between(1, 1 << 30), f.between(-1100, 1000));
        case 5:
            return f.between(-1, 1) * std::pow(10.0, f.between(-330, 310));
        case 6:
            return f.between(-99999999, 99999999) / 100.0;  // amounts in fen
        default:
            return std::nextafter(std::pow(10.0, f.between(-20, 20)), f.chance(50) ? 0.0 : 1e300);
    }
}

// "%.13g" as the C library writes it, with the calculator's three exponent digits.
std::string printfText(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.13g", x);
    std::string s = buf;
    size_t e = s.find('e');
    if (e != std::string::npos && s.size() - (e + 2) < 3)
        s.insert(e + 2, 3 - (s.size() - e - 2), '0');
    return s;
}

std::string digits(Fuzz &f, size_t n, bool fullWidth) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        int d = f.between(0, 9);
        s += fullWidth && f.chance(30) ? f.utf8(0xFF10 + static_cast<char32_t>(d))
                                       : std::string(1, static_cast<char>('0' + d));
    }
    return s;
}

// Number-like text: blanks, sign, digits, point, exponent, then anything.
std::string numberText(Fuzz &f) {
    static const std::vector<std::string> blanks = {"", " ", "\t", "\n\v\f\r ", "　", "  　 "};
    static const std::vector<std::string> signs = {"", "", "+", "-", "＋", "－", "+-", "--"};
    static const std::vector<std::string> tails = {"",
                                                   "",
                                                   "=",
                                                   "x",
                                                   "e",
                                                   "e+",
                                                   "E-",
                                                   ".",
                                                   "..5",
                                                   "abc",
                                                   "七",
                                                   std::string("\0"
                                                               "5",
                                                               2),
                                                   "１",
                                                   " 1",
                                                   "ｅ5"};
    bool wide = f.chance(20);
    std::string s = f.pick(blanks) + f.pick(signs);
    size_t intDigits = f.chance(5) ? f.below(500) : f.below(25);
    s += digits(f, intDigits, wide);
    if (f.chance(60)) s += wide && f.chance(50) ? "．" : ".";
    if (f.chance(70)) s += digits(f, f.chance(5) ? f.below(800) : f.below(25), wide);
    if (f.chance(40)) {
        s += f.chance(50) ? "e" : "E";
        if (f.chance(60)) s += f.chance(50) ? "-" : "+";
        s += digits(f, f.chance(5) ? f.below(30) : f.below(5), wide);
    }
    if (f.chance(10))
        s = f.pick(blanks) + f.pick(signs) +
            f.pick<std::string>({"inf", "INFINITY", "nan", "NaN(1)", "in", "na"});
    return s + f.pick(tails);
}

// The money text read back as fen, or nullopt when it is malformed.
std::optional<long long> readMoney(const std::string &text) {
    static const std::vector<std::string> digitChars = {"零", "壹", "贰", "叁", "肆",
                                                        "伍", "陆", "柒", "捌", "玖"};
    std::vector<std::string> chars;
    for (size_t i = 0; i < text.size(); i += 3) chars.push_back(text.substr(i, 3));
    if (text.size() % 3) return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (i < chars.size() && chars[i] == "负") negative = true, ++i;
    auto digitOf = [&](const std::string &c) -> int {
        for (int d = 1; d <= 9; ++d)
            if (digitChars[static_cast<size_t>(d)] == c) return d;
        return -1;
    };
    long long yuan = 0, group = 0, section = 0;
    int pending = -1;
    long long fen = 0;
    bool seenYuan = false, any = false;
    auto flushSection = [&] {
        if (pending >= 0) section += pending, pending = -1;
    };
    for (; i < chars.size(); ++i) {
        const std::string &c = chars[i];
        int d = digitOf(c);
        if (d > 0) {
            if (pending >= 0) return std::nullopt;
            pending = d;
            any = true;
            continue;
        }
        if (c == "零") {
            if (pending >= 0 || i + 1 == chars.size()) return std::nullopt;
            if (i > 0 && chars[i - 1] == "零") return std::nullopt;
            continue;
        }
        long long unit = c == "拾" ? 10 : c == "佰" ? 100 : c == "仟" ? 1000 : 0;
        if (unit) {
            if (pending < 0 || seenYuan) return std::nullopt;
            section += pending * unit;
            pending = -1;
        } else if (c == "万") {
            flushSection();
            group += section * 10000;
            section = 0;
        } else if (c == "亿") {
            flushSection();
            yuan += (group + section) * 100000000;
            group = section = 0;
        } else if (c == "元") {
            flushSection();
            yuan += group + section;
            group = section = 0;
            seenYuan = true;
        } else if (c == "角" || c == "分") {
            if (pending < 0) return std::nullopt;
            fen += pending * (c == "角" ? 10 : 1);
            pending = -1;
        } else if (c == "整") {
            if (i + 1 != chars.size()) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (pending >= 0 || !any || group || section) return std::nullopt;
    long long total = yuan * 100 + fen;
    return negative ? -total : total;
}

}  // namespace

TEST(FormatFuzz, TextToNumberReadsLikeTheCLibrary) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows C library reads a text with two signs as -0, not 0";
#endif
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(1000 + round);
        for (int i = 0; i < 3000; ++i) {
            std::string text = f.chance(10) ? f.bytes(40) : numberText(f);
            double ours = TextToNumber(text);
            std::string folded = FoldFullWidth(text);
            // atof also reads hexadecimal; the calculator never did.
            size_t at = folded.find_first_not_of(" \t\n\v\f\r");
            if (at != std::string::npos && (folded[at] == '+' || folded[at] == '-')) ++at;
            if (at != std::string::npos && folded.compare(at, 2, "0x") != 0 &&
                folded.compare(at, 2, "0X") != 0) {
                double want = std::strtod(folded.c_str(), nullptr);
                EXPECT_TRUE(sameDouble(ours, want))
                    << '"' << text << "\" " << ours << " vs " << want;
            }
        }
    }
}

TEST(FormatFuzz, NumberTextIsPrintfAndReadsBackToItself) {
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(2000 + round);
        for (int i = 0; i < 5000; ++i) {
            double x = randomDouble(f);
            std::string text = NumberToText(x);
            if (std::isfinite(x)) {
                EXPECT_EQ(text, printfText(x)) << x;
            }
            double back = TextToNumber(text);
            EXPECT_EQ(NumberToText(back), text) << x;
            EXPECT_TRUE(sameDouble(ThroughText(back), back)) << x;
            if (std::isfinite(x)) {
                EXPECT_LE(std::fabs(back - x), std::fabs(x) * 1e-12) << x;
            }
        }
    }
}

TEST(FormatFuzz, RoundingStaysNearAndKeepsItsSign) {
    const std::vector<int> extremes = {INT_MIN, INT_MIN + 1, -400, -309, 309, 400, INT_MAX};
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(3000 + round);
        for (int i = 0; i < 5000; ++i) {
            double x = randomDouble(f);
            int n = f.chance(5) ? f.pick(extremes) : f.between(-20, 20);
            double r = RoundHalfUp(x, n);
            if (!std::isfinite(x)) {
                EXPECT_TRUE(sameDouble(r, x)) << x << " " << n;
                continue;
            }
            ASSERT_TRUE(std::isfinite(r)) << x << " " << n;
            EXPECT_TRUE(r == 0 || std::signbit(r) == std::signbit(x)) << x << " " << n;
            EXPECT_FALSE(r == 0 && std::signbit(r)) << x << " " << n;  // never "-0"
            double step = std::pow(10.0, -static_cast<double>(n));
            EXPECT_LE(std::fabs(r - x), 0.5 * step * (1 + 1e-9) + std::fabs(x) * 4 * DBL_EPSILON)
                << x << " " << n;
            if (n >= -20 && n <= 20) {
                // What a second rounding changes is noise below the 13 digits shown.
                EXPECT_EQ(NumberToText(RoundHalfUp(r, n)), NumberToText(r)) << x << " " << n;
                std::string fixed = FixedDecimals(x, n);
                EXPECT_EQ(NumberToText(TextToNumber(fixed)), NumberToText(r)) << x << " " << n;
                if (n > 0 && fixed.find('e') == std::string::npos) {
                    size_t point = fixed.find('.');
                    ASSERT_NE(point, std::string::npos) << fixed;
                    EXPECT_GE(fixed.size() - point - 1, static_cast<size_t>(n)) << fixed;
                    EXPECT_EQ(fixed.find_first_not_of("-0123456789."), std::string::npos) << fixed;
                }
            }
        }
    }
}

TEST(FormatFuzz, MoneyTextReadsBackAsTheRoundedFen) {
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(4000 + round);
        for (int i = 0; i < 5000; ++i) {
            double x = randomDouble(f);
            std::string text = MoneyText(x);
            double whole;
            double rest = std::modf(std::fabs(x) * 100 + 1e-12, &whole);
            if (rest >= 0.5) whole += 1;
            if (!(whole <= 999999999999999.0)) {
                EXPECT_EQ(text, "溢出") << x;
                continue;
            }
            if (whole == 0) {
                EXPECT_EQ(text, "零") << x;
                continue;
            }
            auto fen = readMoney(text);
            ASSERT_TRUE(fen) << x << " " << text;
            long long want = static_cast<long long>(whole);
            EXPECT_EQ(*fen, x < 0 ? -want : want) << x << " " << text;
            bool exact = text.size() >= 3 && text.compare(text.size() - 3, 3, "整") == 0;
            EXPECT_EQ(exact, want % 10 == 0) << x << " " << text;
        }
    }
}

TEST(FormatFuzz, OperatorsAndFoldingKeepEverythingElse) {
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(5000 + round);
        for (int i = 0; i < 3000; ++i) {
            std::string s = f.chance(50) ? f.bytes(60) : f.text(30) + "*/" + f.text(5);
            std::string c = ConvertOperators(s);
            EXPECT_EQ(c.find_first_of("*/"), std::string::npos);
            std::string back;
            for (size_t k = 0; k < c.size();) {
                if (c.compare(k, 2, "×") == 0 && s.find("×") == std::string::npos) {
                    back += '*', k += 2;
                } else if (c.compare(k, 2, "÷") == 0 && s.find("÷") == std::string::npos) {
                    back += '/', k += 2;
                } else {
                    back += c[k++];
                }
            }
            if (s.find("×") == std::string::npos && s.find("÷") == std::string::npos) {
                EXPECT_EQ(back, s);
            }
            std::string folded = FoldFullWidth(s);
            EXPECT_LE(folded.size(), s.size());
            EXPECT_EQ(FoldFullWidth(folded), folded);
            (void)TextToNumber(s);
        }
    }
}
