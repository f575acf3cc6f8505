#include "build_buffers.h"

#include <cstdint>

#include "../base/alloc.h"
#include "../base/domain.h"

namespace quorel {

namespace {

constexpr int kInitialCount = 30;
constexpr int kInitialInts = 60;

std::size_t ValueSize(int domain) {
    switch (domain) {
        case DomainInt:
            return sizeof(IntDomain::Value);
        case DomainReal:
            return sizeof(RealDomain::Value);
        default:
            return sizeof(ComplexDomain::Value);
    }
}

// count * size as an allocation; a product beyond 32 bits counts as a failure.
void *AllocArray(int count, std::size_t size) {
    std::uint64_t bytes = static_cast<std::uint64_t>(count) * size;
    if (count < 0 || bytes > INT32_MAX) return nullptr;
    return qalloc(static_cast<std::size_t>(bytes));
}

template <class T>
bool Ensure(T *&p, int &cap, int count) {
    if (p) return true;
    p = static_cast<T *>(AllocArray(count, sizeof(T)));
    cap = p ? count : 0;
    return p != nullptr;
}

template <class T>
void Release(T *&p, int &cap) {
    qfree(p);
    p = nullptr;
    cap = 0;
}

// Contents are not kept: a compile run that grew a buffer starts again from scratch.
template <class T>
bool Regrow(T *&p, int &cap) {
    int n = GrownCount(cap);
    Release(p, cap);
    return Ensure(p, cap, n);
}

void ReleaseTokens(BuildBuffers &b) {
    qfree(b.tokenKinds);
    qfree(b.opStack);
    qfree(b.tokenBegin);
    qfree(b.tokenEnd);
    qfree(b.tokenValue);
    qfree(b.tokenAux[0]);
    qfree(b.tokenAux[1]);
    b.tokenKinds = b.opStack = nullptr;
    b.tokenBegin = b.tokenEnd = nullptr;
    b.tokenValue = nullptr;
    b.tokenAux[0] = b.tokenAux[1] = nullptr;
    b.tokenCap = 0;
}

bool AllocTokens(BuildBuffers &b, int count) {
    if (b.tokenKinds && b.opStack && b.tokenBegin && b.tokenEnd && b.tokenValue && b.tokenAux[0] &&
        b.tokenAux[1])
        return true;
    ReleaseTokens(b);
    b.tokenKinds = static_cast<std::uint8_t *>(AllocArray(count, 1));
    b.opStack = static_cast<std::uint8_t *>(AllocArray(count, 1));
    b.tokenBegin = static_cast<int *>(AllocArray(count, sizeof(int)));
    b.tokenEnd = static_cast<int *>(AllocArray(count, sizeof(int)));
    b.tokenValue = static_cast<Operand *>(AllocArray(count, sizeof(Operand)));
    b.tokenAux[0] = static_cast<int *>(AllocArray(count, sizeof(int)));
    b.tokenAux[1] = static_cast<int *>(AllocArray(count, sizeof(int)));
    if (!b.tokenKinds || !b.opStack || !b.tokenBegin || !b.tokenEnd || !b.tokenValue ||
        !b.tokenAux[0] || !b.tokenAux[1]) {
        ReleaseTokens(b);
        return false;
    }
    b.tokenCap = count;
    return true;
}

bool EnsureValues(BuildBuffers &b, int domain, int count) {
    int i = domain - 1;
    if (b.values[i]) return true;
    b.values[i] = AllocArray(count, ValueSize(domain));
    b.valueCap[i] = b.values[i] ? count : 0;
    return b.values[i] != nullptr;
}

}  // namespace

bool AllocBuildBuffers(BuildBuffers &b) {
    if (!AllocTokens(b, kInitialCount)) return false;
    return Ensure(b.calls, b.callCap, kInitialCount) &&
           Ensure(b.assigns, b.assignCap, kInitialCount) &&
           Ensure(b.jumps, b.jumpCap, kInitialCount) && Ensure(b.code, b.codeCap, kInitialCount) &&
           Ensure(b.ints, b.intCap, kInitialInts) && EnsureValues(b, DomainInt, kInitialCount) &&
           EnsureValues(b, DomainReal, kInitialCount) &&
           EnsureValues(b, DomainComplex, kInitialCount);
}

void FreeBuildBuffers(BuildBuffers &b) {
    ReleaseTokens(b);
    Release(b.calls, b.callCap);
    Release(b.assigns, b.assignCap);
    Release(b.jumps, b.jumpCap);
    Release(b.code, b.codeCap);
    Release(b.ints, b.intCap);
    for (int i = 0; i < 3; ++i) {
        qfree(b.values[i]);
        b.values[i] = nullptr;
        b.valueCap[i] = 0;
    }
}

bool GrowBuildBuffers(BuildBuffers &b, int growCode, int domain) {
    switch (growCode) {
        case GrowTokens: {
            int n = GrownCount(b.tokenCap);
            ReleaseTokens(b);
            return AllocTokens(b, n);
        }
        case GrowCodeBuf: return Regrow(b.code, b.codeCap);
        case GrowInts: return Regrow(b.ints, b.intCap);
        case GrowValues: {
            int i = domain - 1;
            int n = GrownCount(b.valueCap[i]);
            qfree(b.values[i]);
            b.values[i] = nullptr;
            b.valueCap[i] = 0;
            return EnsureValues(b, domain, n);
        }
        case GrowCalls: return Regrow(b.calls, b.callCap);
        case GrowJumps: return Regrow(b.jumps, b.jumpCap);
        case GrowAssigns: return Regrow(b.assigns, b.assignCap);
        default:
            return false;
    }
}

}  // namespace quorel
