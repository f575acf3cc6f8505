// Scalar built-ins of two arguments: atan2, fmod, modf, sign, dim (real) and pow,
// sign, dim (integer). None reports a run-time error.
#include <cmath>
#include <cstdint>

#include "arith.h"
#include "builtins.h"

namespace quorel {

double QUOREL_CALL RealAtan2(int, double *x, CallerInfo *) {
    return std::atan2(x[0], x[1]);
}
double QUOREL_CALL RealFmod(int, double *x, CallerInfo *) {
    return std::fmod(x[0], x[1]);
}
double QUOREL_CALL RealModf(int, double *x, CallerInfo *) {
    double whole;
    return std::modf(x[0], &whole);
}

// |x| when y > 0, -|x| when y < 0, x itself when y is 0 or not a number.
double QUOREL_CALL RealSign(int, double *x, CallerInfo *) {
    if (x[1] > 0) return std::fabs(x[0]);
    if (x[1] < 0) return -std::fabs(x[0]);
    return x[0];
}
double QUOREL_CALL RealDim(int, double *x, CallerInfo *) {
    return x[0] > x[1] ? x[0] - x[1] : 0.0;
}

// Square-and-multiply in extended precision; a negative exponent gives the
// reciprocal. The result is truncated (saturating) to 32 bits.
int QUOREL_CALL IntPow(int, int *x, CallerInfo *) {
    long double c = 1, d = x[0];
    std::int64_t n = x[1];
    std::int64_t k = n < 0 ? -n : n;
    for (;;) {
        if (k & 1) c *= d;
        if (k < 2) break;
        k /= 2;
        d *= d;
    }
    return TruncToInt(static_cast<double>(n < 0 ? 1 / c : c));
}

int QUOREL_CALL IntSign(int, int *x, CallerInfo *) {
    using A = Arith<IntDomain>;
    std::int32_t a = x[0] < 0 ? A::Neg(x[0]) : x[0];
    if (x[1] > 0) return a;
    if (x[1] < 0) return A::Neg(a);
    return x[0];
}
int QUOREL_CALL IntDim(int, int *x, CallerInfo *) {
    return x[0] > x[1] ? Arith<IntDomain>::Sub(x[0], x[1]) : 0;
}

}  // namespace quorel
