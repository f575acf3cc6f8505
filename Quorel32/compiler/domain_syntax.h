// What the compiler needs of a domain beyond eval/domain.h: literal conversion,
// the imaginary unit and the two unary foldings that do not run the evaluator.
#pragma once
#include <cstdint>

#include "../eval/domain.h"
#include "context.h"

namespace quorel {

template <class D>
struct CompileTraits;

template <>
struct CompileTraits<RealDomain> {
    using Value = double;
    static constexpr Tk selfCall = TkCallReal;
    static Value Literal(double d) { return d; }
    static Value Imaginary(double) { return 0; }  // never used: no imaginary literals
    static Value Negate(Value a) { return -a; }
    static Value Not(Value a) { return a == 0 ? 1 : 0; }
};

template <>
struct CompileTraits<IntDomain> {
    using Value = std::int32_t;
    static constexpr Tk selfCall = TkCallInt;
    static Value Literal(double d) { return TruncToInt(d); }
    static Value Imaginary(double) { return 0; }
    // Wraps for INT32_MIN instead of overflowing, as the evaluator does.
    static Value Negate(Value a) { return static_cast<Value>(0u - static_cast<std::uint32_t>(a)); }
    static Value Not(Value a) { return a == 0 ? 1 : 0; }
};

template <>
struct CompileTraits<ComplexDomain> {
    using Value = QuorelComplex;
    static constexpr Tk selfCall = TkCallComplex;
    static Value Literal(double d) { return {d, 0}; }
    static Value Imaginary(double d) { return {0, d}; }
    // 0 - z keeps a zero part at +0, like the evaluator's negation.
    static Value Negate(Value a) { return {0 - a.re, 0 - a.im}; }
    // Only the real part is tested; the imaginary part stays.
    static Value Not(Value a) { return {a.re == 0 ? 1.0 : 0.0, a.im}; }
};

template <class D>
inline typename D::Value *ValueBuf(Ctx &c) {
    return static_cast<typename D::Value *>(c.b.values[D::type - 1]);
}
template <class D>
inline int ValueCap(const Ctx &c) {
    return c.b.valueCap[D::type - 1];
}

}  // namespace quorel
