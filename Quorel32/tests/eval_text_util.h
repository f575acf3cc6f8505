// Compile formula text through the exports and evaluate it, for the evaluator and
// built-in tests.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Quorel32.h"

namespace evaltext {

inline void *RealF(const std::string &text, int module = 1) {
    void *h = nullptr;
    int n, b = -1, e = -1;
    double *para;
    int r = RealCom(text.c_str(), module, &h, &n, &para, &b, &e);
    EXPECT_EQ(r, 0) << text << " [" << b << ", " << e << "]";
    return r == 0 ? h : nullptr;
}
inline void *IntF(const std::string &text, int module = 1) {
    void *h = nullptr;
    int n, b = -1, e = -1;
    int *para;
    int r = IntCom(text.c_str(), module, &h, &n, &para, &b, &e);
    EXPECT_EQ(r, 0) << text << " [" << b << ", " << e << "]";
    return r == 0 ? h : nullptr;
}
inline void *ComplexF(const std::string &text, int module = 1) {
    void *h = nullptr;
    int n, b = -1, e = -1;
    QuorelComplex *para;
    int r = ComplexCom(text.c_str(), module, &h, &n, &para, &b, &e);
    EXPECT_EQ(r, 0) << text << " [" << b << ", " << e << "]";
    return r == 0 ? h : nullptr;
}

// Throwaway formulas go into private modules of their own, so their names never
// clash with each other; the public formulas they call are still found.
inline int NextPrivateModule() {
    static int m = -100;
    return --m;
}

inline double Real(const std::string &text, std::vector<double> args = {}) {
    void *h = RealF(text, NextPrivateModule());
    return h ? RealCal(h, args.empty() ? nullptr : args.data()) : std::nan("");
}
inline int Int(const std::string &text, std::vector<int> args = {}) {
    void *h = IntF(text, NextPrivateModule());
    return h ? IntCal(h, args.empty() ? nullptr : args.data()) : -999999;
}
inline QuorelComplex Complex(const std::string &text, std::vector<QuorelComplex> args = {}) {
    void *h = ComplexF(text, NextPrivateModule());
    QuorelComplex r{std::nan(""), std::nan("")};
    if (h) ComplexCal(&r, h, args.empty() ? nullptr : args.data());
    return r;
}

struct Err {
    int type = 0;
    std::string name;
    int code = 0;
    int forType = 0;
    void *handle = nullptr;
};
inline Err TakeErr() {
    Err e;
    char *name = nullptr;
    GetRunErr(&e.type, &name, &e.code, &e.forType, &e.handle);
    if (name) e.name = name;
    return e;
}

class EvalText : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override {
        TakeErr();
        FreeQuorel();
    }
};

}  // namespace evaltext
