// The three number domains, described once each. The compiler and the evaluator are
// written once, as templates over a domain description; nothing outside these
// descriptions assumes a particular element type.
#pragma once
#include <cstdint>

#include "../include/Quorel32.h"
#include "keynode.h"
#include "formula.h"

namespace quorel {

struct IntDomain {
    using Value = std::int32_t;
    static constexpr int type = DomainInt;
    static constexpr int forKey = KeyIntFor;
    static constexpr int constKey = KeyIntConst;
    static constexpr int funKey = KeyIntFun;
    static constexpr int cellKey = KeyIntModuleVar;
    static constexpr bool hasPower = false;      // no `^`
    static constexpr bool hasRemainder = true;   // `%` is code 8
    static constexpr bool hasImaginary = false;
    static constexpr const char *intrinsics[] = {"return", "sqrt", "exp", "ln", "lg", "abs"};
    static constexpr int intrinsicCount = 6;
    static constexpr const char *stackOverflowName = "StackOverFlow";
};

struct RealDomain {
    using Value = double;
    static constexpr int type = DomainReal;
    static constexpr int forKey = KeyRealFor;
    static constexpr int constKey = KeyRealConst;
    static constexpr int funKey = KeyRealFun;
    static constexpr int cellKey = KeyRealModuleVar;
    static constexpr bool hasPower = true;
    static constexpr bool hasRemainder = false;
    static constexpr bool hasImaginary = false;
    static constexpr const char *intrinsics[] = {"return", "sqrt", "exp",  "ln",   "lg",   "sin",
                                                 "cos",    "tan",  "asin", "acos", "atan", "sinh",
                                                 "cosh",   "tanh", "abs",  "int"};
    static constexpr int intrinsicCount = 16;
};

struct ComplexDomain {
    using Value = QuorelComplex;
    static constexpr int type = DomainComplex;
    static constexpr int forKey = KeyComplexFor;
    static constexpr int constKey = KeyComplexConst;
    static constexpr int funKey = KeyComplexFun;
    static constexpr int cellKey = KeyComplexModuleVar;
    static constexpr bool hasPower = true;
    static constexpr bool hasRemainder = false;
    static constexpr bool hasImaginary = true;  // `i`, `I`, and imaginary literals
    static constexpr const char *intrinsics[] = {"return", "sqrt", "exp", "ln", "sin", "cos",
                                                 "abs",    "int",  "con", "xy", "x0",  "y0"};
    static constexpr int intrinsicCount = 12;
};

// A double converted to a 32-bit int by truncation toward zero, defined for every
// input: NaN gives 0, values beyond the range saturate.
inline std::int32_t TruncToInt(double d) {
    if (!(d == d)) return 0;
    if (d >= 2147483647.0) return INT32_MAX;
    if (d <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(d);
}

}  // namespace quorel
