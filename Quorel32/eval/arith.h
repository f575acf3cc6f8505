// Arithmetic of the three number domains, keyed by the domain description. The
// evaluator is written once against this interface; everything that depends on the
// element type lives here.
#pragma once
#include <cmath>
#include <cstdint>

#include "../base/domain.h"

namespace quorel {

template <class D>
struct Arith;

// Integer arithmetic is 32-bit two's complement. Wrap-around goes through unsigned
// arithmetic, and the two cases C++ leaves undefined (division by zero and the
// smallest int divided by -1) get fixed results, so no input can trap the process.
template <>
struct Arith<IntDomain> {
    using V = std::int32_t;
    static V Zero() { return 0; }
    static V One() { return 1; }
    static bool Truth(V a) { return a != 0; }
    static V Wrap(std::uint32_t u) { return static_cast<V>(u); }
    static V Add(V a, V b) {
        return Wrap(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
    }
    static V Sub(V a, V b) {
        return Wrap(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
    }
    static V Mul(V a, V b) {
        return Wrap(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
    }
    // x / 0 is 0 and x % 0 is x, which keeps (a / b) * b + a % b == a for every pair.
    static V Div(V a, V b) {
        if (b == 0) return 0;
        if (b == -1) return Sub(0, a);
        return a / b;
    }
    static V Pow(V a, V b) {  // code 8 is the remainder in this domain
        if (b == 0) return a;
        if (b == -1) return 0;
        return a % b;
    }
    static V Gt(V a, V b) { return a > b; }
    static V Ge(V a, V b) { return a >= b; }
    static V Lt(V a, V b) { return a < b; }
    static V Le(V a, V b) { return a <= b; }
    static V Eq(V a, V b) { return a == b; }
    static V Ne(V a, V b) { return a != b; }
    static V And(V a, V b) { return a != 0 && b != 0; }
    static V Or(V a, V b) { return a != 0 || b != 0; }
    static V Not(V a) { return a == 0; }
    static V Neg(V a) { return Sub(0, a); }
    static V Inc(V a) { return Add(a, 1); }
    static V Dec(V a) { return Sub(a, 1); }

    template <int C>
    static V Intr(V a) {
        if constexpr (C == 46)
            return TruncToInt(std::sqrt(static_cast<double>(a)));
        else if constexpr (C == 47)
            return TruncToInt(std::exp(static_cast<double>(a)));
        else if constexpr (C == 48)
            return TruncToInt(std::log(static_cast<double>(a)));
        else if constexpr (C == 49)
            return TruncToInt(std::log10(static_cast<double>(a)));
        else if constexpr (C == 50)
            return a < 0 ? Neg(a) : a;
        else
            return a;
    }

    // Conversions for calls between domains.
    static std::int32_t ToInt(V a) { return a; }
    static double ToReal(V a) { return a; }
    static V FromValue(std::int32_t r) { return r; }
    static V FromValue(double r) { return TruncToInt(r); }
    static V FromValue(QuorelComplex z) { return TruncToInt(z.re); }
    static void StoreCross(V *dst, V v) { *dst = v; }
};

template <>
struct Arith<RealDomain> {
    using V = double;
    static V Zero() { return 0.0; }
    static V One() { return 1.0; }
    static bool Truth(V a) { return a != 0.0; }  // NaN counts as true
    static V Add(V a, V b) { return a + b; }
    static V Sub(V a, V b) { return a - b; }
    static V Mul(V a, V b) { return a * b; }
    static V Div(V a, V b) { return a / b; }
    // Squares are the common power; a * a is the correctly rounded square, which
    // pow only approximates to half an ulp, and costs a fraction of the call.
    static V Pow(V a, V b) { return b == 2.0 ? a * a : std::pow(a, b); }
    static V Gt(V a, V b) { return a > b ? 1.0 : 0.0; }
    static V Ge(V a, V b) { return a >= b ? 1.0 : 0.0; }
    static V Lt(V a, V b) { return a < b ? 1.0 : 0.0; }
    static V Le(V a, V b) { return a <= b ? 1.0 : 0.0; }
    static V Eq(V a, V b) { return a == b ? 1.0 : 0.0; }
    static V Ne(V a, V b) { return a != b ? 1.0 : 0.0; }
    static V And(V a, V b) { return (a != 0.0 && b != 0.0) ? 1.0 : 0.0; }
    static V Or(V a, V b) { return (a != 0.0 || b != 0.0) ? 1.0 : 0.0; }
    static V Not(V a) { return a == 0.0 ? 1.0 : 0.0; }
    static V Neg(V a) { return -a; }
    static V Inc(V a) { return a + 1.0; }
    static V Dec(V a) { return a - 1.0; }

    template <int C>
    static V Intr(V a) {
        if constexpr (C == 46)
            return std::sqrt(a);
        else if constexpr (C == 47)
            return std::exp(a);
        else if constexpr (C == 48)
            return std::log(a);
        else if constexpr (C == 49)
            return std::log10(a);
        else if constexpr (C == 50)
            return std::sin(a);
        else if constexpr (C == 51)
            return std::cos(a);
        else if constexpr (C == 52)
            return std::tan(a);
        else if constexpr (C == 53)
            return std::asin(a);
        else if constexpr (C == 54)
            return std::acos(a);
        else if constexpr (C == 55)
            return std::atan(a);
        else if constexpr (C == 56)
            return std::sinh(a);
        else if constexpr (C == 57)
            return std::cosh(a);
        else if constexpr (C == 58)
            return std::tanh(a);
        else if constexpr (C == 59)
            return std::fabs(a);
        else if constexpr (C == 60)
            return std::floor(a);
        else
            return a;
    }

    static std::int32_t ToInt(V a) { return TruncToInt(a); }
    static double ToReal(V a) { return a; }
    static V FromValue(std::int32_t r) { return r; }
    static V FromValue(double r) { return r; }
    static V FromValue(QuorelComplex z) { return z.re; }
    static void StoreCross(V *dst, V v) { *dst = v; }
};

// Complex numbers: comparisons and logic look at real parts only and keep the left
// operand's imaginary part. Multiplication uses four products and division Smith's
// scaling, so large parts keep their digits and do not overflow on the way. Those
// forms can turn the sign of a part that cancels to zero; such a part takes the sign
// of the three-product form (where x - x is +0), so that a computed negative real
// such as 4/(-1) lies on the same side of the cut of sqrt, ln and ^ as -4 itself.
template <>
struct Arith<ComplexDomain> {
    using V = QuorelComplex;
    static V Make(double re, double im) { return V{re, im}; }
    static V Zero() { return V{0.0, 0.0}; }
    static V One() { return V{1.0, 0.0}; }
    static bool Truth(V a) { return a.re != 0.0; }
    static V Add(V a, V b) { return V{a.re + b.re, a.im + b.im}; }
    static V Sub(V a, V b) { return V{a.re - b.re, a.im - b.im}; }
    static double ZeroSign(double part, double threeProduct) {
        return part == 0.0 && threeProduct == 0.0 ? threeProduct : part;
    }
    // The real part of the product is the three-product form's p1 - p2 as it stands;
    // only the imaginary part can take the other sign when it cancels.
    static V Mul(V a, V b) {
        V m{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
        if (m.im != 0.0) [[likely]]
            return m;
        double p1 = a.re * b.re, p2 = a.im * b.im, p3 = (a.re + a.im) * (b.re + b.im);
        m.im = ZeroSign(m.im, p3 - p1 - p2);
        return m;
    }
    static V DivZeros(V a, V b, V m) {
        double r = b.re, s = b.im;
        double p1 = a.re * r, p2 = a.im * s, p3 = (a.re + a.im) * (r - s), d = r * r + s * s;
        return V{ZeroSign(m.re, (p1 + p2) / d), ZeroSign(m.im, (p3 - p1 + p2) / d)};
    }
    static V Div(V a, V b) {
        double r = b.re, s = b.im;
        V m;
        if (std::fabs(r) >= std::fabs(s)) {
            double e = s / r, d = r + s * e;
            m = V{(a.re + a.im * e) / d, (a.im - a.re * e) / d};
        } else {
            double e = r / s, d = s + r * e;
            m = V{(a.re * e + a.im) / d, (a.im * e - a.re) / d};
        }
        // A divisor of 0+0i makes both parts NaN (0/0 on the way), as the three-product
        // form does.
        if (m.re != 0.0 && m.im != 0.0) [[likely]]
            return m;
        return DivZeros(a, b, m);
    }
    static V Pow(V a, V b) {
        if (a.re == 0.0 && a.im == 0.0) return Zero();
        double l = std::log(std::hypot(a.re, a.im)), t = std::atan2(a.im, a.re);
        double e = std::exp(l * b.re - b.im * t), phi = b.re * t + b.im * l;
        return V{e * std::cos(phi), e * std::sin(phi)};
    }
    static V Flag(bool c, V a) { return V{c ? 1.0 : 0.0, a.im}; }
    static V Gt(V a, V b) { return Flag(a.re > b.re, a); }
    static V Ge(V a, V b) { return Flag(a.re >= b.re, a); }
    static V Lt(V a, V b) { return Flag(a.re < b.re, a); }
    static V Le(V a, V b) { return Flag(a.re <= b.re, a); }
    static V Eq(V a, V b) { return Flag(a.re == b.re, a); }
    static V Ne(V a, V b) { return Flag(a.re != b.re, a); }
    static V And(V a, V b) { return Flag(a.re != 0.0 && b.re != 0.0, a); }
    static V Or(V a, V b) { return Flag(a.re != 0.0 || b.re != 0.0, a); }
    static V Not(V a) { return Flag(a.re == 0.0, a); }
    // 0 - z rather than -z: a zero part stays +0, so (-1)^0.5 is i and not -i.
    static V Neg(V a) { return V{0.0 - a.re, 0.0 - a.im}; }
    static V Inc(V a) { return V{a.re + 1.0, a.im}; }
    static V Dec(V a) { return V{a.re - 1.0, a.im}; }

    template <int C>
    static V Intr(V z) {
        double x = z.re, y = z.im;
        if constexpr (C == 46) {  // sqrt
            double rho = std::sqrt(std::hypot(x, y)), t = std::atan2(y, x) * 0.5;
            return V{rho * std::cos(t), rho * std::sin(t)};
        } else if constexpr (C == 47) {  // exp
            double e = std::exp(x);
            return V{e * std::cos(y), e * std::sin(y)};
        } else if constexpr (C == 48) {  // ln
            return V{std::log(std::hypot(x, y)), std::atan2(y, x)};
        } else if constexpr (C == 49 || C == 50) {  // sin, cos
            double pa = std::exp(y) * 0.5, pb = std::exp(-y) * 0.5;
            if constexpr (C == 49)
                return V{std::sin(x) * (pa + pb), std::cos(x) * (pa - pb)};
            else
                return V{std::cos(x) * (pa + pb), -(std::sin(x) * (pa - pb))};
        } else if constexpr (C == 51) {  // abs
            return V{std::hypot(x, y), 0.0};
        } else if constexpr (C == 52) {  // int
            return V{std::floor(x), 0.0};
        } else if constexpr (C == 53) {  // con
            return V{x, -y};
        } else if constexpr (C == 54) {  // xy
            return V{y, x};
        } else if constexpr (C == 55) {  // x0
            return V{0.0, y};
        } else if constexpr (C == 56) {  // y0
            return V{x, 0.0};
        } else {
            return z;
        }
    }

    static std::int32_t ToInt(V a) { return TruncToInt(a.re); }
    static double ToReal(V a) { return a.re; }
    static V FromValue(std::int32_t r) { return V{static_cast<double>(r), 0.0}; }
    static V FromValue(double r) { return V{r, 0.0}; }
    static V FromValue(QuorelComplex z) { return z; }
    // A value coming back from another domain lands in the real part only.
    static void StoreCross(V *dst, V v) { dst->re = v.re; }
};

}  // namespace quorel
