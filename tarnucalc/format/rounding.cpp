// Rounding to the digits kept, and the text with trailing zeros.
#include <algorithm>
#include <cmath>
#include <string>

#include "format.h"

namespace tarnu {

namespace {

constexpr double kBias = 1e-12;  // lifts 0.125 * 100 = 12.4999… back over the half

// Rounds f (>= 0) half up after the bias; f beyond 2^53 has no fraction left.
double roundScaled(double f) {
    double i;
    double r = std::modf(f + kBias, &i);
    return r >= 0.5 ? i + 1 : i;
}

}  // namespace

double RoundHalfUp(double x, int n) {
    if (x == 0) return 0;
    if (!std::isfinite(x)) return x;
    // Beyond 400 decimals either way every double rounds as it does at 400.
    n = std::clamp(n, -400, 400);
    double a = std::fabs(x);
    double scale = std::pow(10.0, std::abs(n));
    double result;
    if (n > 0) {
        double f = a * scale;
        // Too many decimals for a double to hold: the value is already as exact as it gets.
        if (!std::isfinite(f)) return x;
        result = roundScaled(f) / scale;
    } else if (n < 0) {
        result = std::isfinite(scale) ? roundScaled(a / scale) * scale : 0;
        // Near the largest double the rounded value has no double of its own; x is the
        // nearest there is.
        if (!std::isfinite(result)) return x;
    } else {
        result = roundScaled(a);
    }
    // A small negative value that rounds away entirely is zero, not "-0".
    if (result == 0) return 0;
    return std::copysign(result, x);
}

std::string FixedDecimals(double x, int n) {
    x = RoundHalfUp(x, n);
    std::string s = NumberToText(x);
    if (n <= 0 || !std::isfinite(x) || s.find('e') != std::string::npos) return s;
    size_t point = s.find('.');
    size_t have = point == std::string::npos ? 0 : s.size() - point - 1;
    if (point == std::string::npos) s += '.';
    if (have < static_cast<size_t>(n)) s.append(static_cast<size_t>(n) - have, '0');
    return s;
}

std::string ConvertOperators(std::string_view text) {
    // UTF-8 continuation bytes are never ASCII, so a byte scan cannot split a character.
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '*')
            out += "×";
        else if (c == '/')
            out += "÷";
        else
            out += c;
    }
    return out;
}

}  // namespace tarnu
