// Helpers for the compiler tests: compile through the exports and look at what the
// compiler left in the record.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Quorel32.h"
#include "base/formula.h"

namespace quorel::test {

struct Compiled {
    int code = -99;
    int begin = -1, end = -1;
    CompiledFormula *f = nullptr;
    int nPara = -9;
};

inline Compiled RealC(const std::string &text, int module = 1, void *lock = nullptr) {
    Compiled r;
    void *h = lock;
    double *para = nullptr;
    r.code = RealCom(text.c_str(), module, &h, &r.nPara, &para, &r.begin, &r.end);
    if (r.code == 0) r.f = static_cast<CompiledFormula *>(h);
    return r;
}
inline Compiled IntC(const std::string &text, int module = 1) {
    Compiled r;
    void *h = nullptr;
    int *para = nullptr;
    r.code = IntCom(text.c_str(), module, &h, &r.nPara, &para, &r.begin, &r.end);
    if (r.code == 0) r.f = static_cast<CompiledFormula *>(h);
    return r;
}
inline Compiled ComplexC(const std::string &text, int module = 1) {
    Compiled r;
    void *h = nullptr;
    QuorelComplex *para = nullptr;
    r.code = ComplexCom(text.c_str(), module, &h, &r.nPara, &para, &r.begin, &r.end);
    if (r.code == 0) r.f = static_cast<CompiledFormula *>(h);
    return r;
}

// The instruction bytes, OpEnd included.
inline std::vector<int> Code(const CompiledFormula *f) {
    std::vector<int> out;
    if (!f) return {-1};
    for (Operand i = f->ints[CodeStart]; i < f->ints[CodeLength]; ++i) out.push_back(f->code[i]);
    return out;
}
// The operand stream.
inline std::vector<Operand> Operands(const CompiledFormula *f) {
    if (!f) return {};
    return std::vector<Operand>(f->ints + OperandStart, f->ints + f->ints[DepFirst]);
}
inline std::vector<Operand> Deps(const CompiledFormula *f) {
    if (!f) return {};
    return std::vector<Operand>(f->ints + f->ints[DepFirst], f->ints + f->ints[DepLast] + 1);
}
template <class V>
V ValueAt(const CompiledFormula *f, int i) {
    return static_cast<const V *>(f->values)[i];
}
inline double RealConst(const CompiledFormula *f, int k) {
    if (!f) return -12345;
    return ValueAt<double>(f, static_cast<int>(f->ints[VarCount]) + k);
}

class CompilerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override { FreeQuorel(); }
};

}  // namespace quorel::test
