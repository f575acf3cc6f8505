// What the compiler needs of a domain beyond eval/domain.h: literal conversion and
// the imaginary unit. All folding runs through the evaluator.
#pragma once
#include <cstdint>

#include "../base/domain.h"
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
};

template <>
struct CompileTraits<IntDomain> {
    using Value = std::int32_t;
    static constexpr Tk selfCall = TkCallInt;
    static Value Literal(double d) { return TruncToInt(d); }
    static Value Imaginary(double) { return 0; }
};

template <>
struct CompileTraits<ComplexDomain> {
    using Value = QuorelComplex;
    static constexpr Tk selfCall = TkCallComplex;
    static Value Literal(double d) { return {d, 0}; }
    static Value Imaginary(double d) { return {0, d}; }
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
