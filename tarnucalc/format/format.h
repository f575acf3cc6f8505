// The conversions between the engine's doubles and the texts the calculator shows.
// Texts are UTF-8; rules stated for GB2312 texts (where a byte of 0x80 or more starts a
// two-byte character) apply to whole characters.
#ifndef TARNU_FORMAT_FORMAT_H
#define TARNU_FORMAT_FORMAT_H

#include <string>
#include <string_view>

namespace tarnu {

// Full-width forms (the GB2312 row of full-width ASCII, the ideographic space, the
// full-width tilde and the two stars) replaced by their ASCII characters.
std::string FoldFullWidth(std::string_view text);

// FoldFullWidth, then read like C atof (leading blanks, sign, digits,
// point, exponent; stops at the first unfitting character; no number gives 0).
double TextToNumber(std::string_view text);

// "%.13g" with an exponent of at least three digits; non-finite values read "inf", "-inf"
// and "nan".
std::string NumberToText(double x);

// Rounds to n decimals (n may be 0 or negative), halves away from zero.
double RoundHalfUp(double x, int n);

// RoundHalfUp, then padded with zeros to n decimals; exponent forms are left as they are.
std::string FixedDecimals(double x, int n);

// The Chinese upper-case amount in yuan ("壹元伍角整"); "溢出" beyond 999999999999999 fen.
std::string MoneyText(double x);

// "*" becomes "×" and "/" becomes "÷".
std::string ConvertOperators(std::string_view text);

// NumberToText then TextToNumber: the value as its 13-digit text says it is. Non-finite
// values pass unchanged.
double ThroughText(double x);

}  // namespace tarnu

#endif
