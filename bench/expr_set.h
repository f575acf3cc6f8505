// The expressions in x and y that the evaluation benchmarks share, written for the
// engine and each peer, with the same computation as native C++.
#pragma once
#include <cmath>

struct Expr {
    const char *quorel;  // body in our language; compiled as (x,y)=body
    const char *muparser;
    const char *fparser;
    const char *exprtk;
    double (*native)(double x, double y);
};

namespace exprset {

inline double lg(double v) {
    return std::log10(v);
}

// The same text for every library.
#define SAME(t) t, t, t, t

// clang-format off
inline const Expr kExprs[] = {
    {SAME("x+y"), [](double x, double y) { return x + y; }},
    {SAME("x*y+1"), [](double x, double y) { return x * y + 1; }},
    {SAME("(y+x/y)*(x-y/x)"), [](double x, double y) { return (y + x / y) * (x - y / x); }},
    {SAME("((1.23*(x^2))/y)-123.123"),
     [](double x, double y) { return ((1.23 * (x * x)) / y) - 123.123; }},
    {SAME("x^2+y^2"), [](double x, double y) { return x * x + y * y; }},
    {"sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     "sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     "sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     "sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     [](double x, double y) {
         return std::sqrt(111.111 - std::sin(2 * x) + std::cos(3.14159 / y) / 333.333);
     }},
    {SAME("sin(x)*cos(y)+tan(x/7)"),
     [](double x, double y) { return std::sin(x) * std::cos(y) + std::tan(x / 7); }},
    {"exp(-x*x/10)*ln(y+2)", "exp(-x*x/10)*ln(y+2)", "exp(-x*x/10)*log(y+2)",
     "exp(-x*x/10)*log(y+2)",
     [](double x, double y) { return std::exp(-x * x / 10) * std::log(y + 2); }},
    {SAME("abs(x-y)/(1+abs(x+y))"),
     [](double x, double y) { return std::fabs(x - y) / (1 + std::fabs(x + y)); }},
    {SAME("(x+1)*(x+2)*(x+3)*(y+1)*(y+2)/(y+3)"),
     [](double x, double y) { return (x + 1) * (x + 2) * (x + 3) * (y + 1) * (y + 2) / (y + 3); }},
    {SAME("(x>y)*x+(x<=y)*y"), [](double x, double y) { return (x > y) * x + (x <= y) * y; }},
    {"atan(x/(abs(y)+1))+lg(abs(x*y)+1)*2.5", "atan(x/(abs(y)+1))+log10(abs(x*y)+1)*2.5",
     "atan(x/(abs(y)+1))+log10(abs(x*y)+1)*2.5", "atan(x/(abs(y)+1))+log10(abs(x*y)+1)*2.5",
     [](double x, double y) {
         return std::atan(x / (std::fabs(y) + 1)) + lg(std::fabs(x * y) + 1) * 2.5;
     }},
    {"(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+lg(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     "(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+log10(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     "(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+log10(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     "(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+log10(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     [](double x, double y) {
         return (x * x * x - 3 * x * y + y * y) / (1 + x * x) +
                std::sqrt(std::fabs(x * y)) * std::sin(x + y) -
                std::cos(x - y) * std::exp(-(x * x) / 100) +
                lg(std::fabs(y) + 1) * std::atan(x / (std::fabs(y) + 1));
     }},
    // conditionals
    {"which(x>y, x*x-y, y*y-x)+1", "(x>y ? x*x-y : y*y-x)+1", "if(x>y, x*x-y, y*y-x)+1",
     "if(x>y, x*x-y, y*y-x)+1",
     [](double x, double y) { return (x > y ? x * x - y : y * y - x) + 1; }},
    {"which(x<0, -x, x<1, x*x, sqrt(x))*y", "(x<0 ? -x : (x<1 ? x*x : sqrt(x)))*y",
     "if(x<0, -x, if(x<1, x*x, sqrt(x)))*y", "if(x<0, -x, if(x<1, x*x, sqrt(x)))*y",
     [](double x, double y) { return (x < 0 ? -x : (x < 1 ? x * x : std::sqrt(x))) * y; }},
    {"(x>0&y>1)|(x<(-1))", "(x>0&&y>1)||(x<-1)", "(x>0&y>1)|(x<-1)",
     "(x>0 and y>1) or (x<-1)",
     [](double x, double y) { return ((x > 0 && y > 1) || (x < -1)) ? 1.0 : 0.0; }},
    // sums of constant products
    {SAME("2*y+2*x"), [](double x, double y) { return 2 * y + 2 * x; }},
    {SAME("1.1*x+2.2*y+3.3*x*y+4.4"),
     [](double x, double y) { return 1.1 * x + 2.2 * y + 3.3 * x * y + 4.4; }},
    // a long chain
    {SAME("x+y-x*y+x/y-y/3+x*2-y*0.5+x*x-y*y+1"),
     [](double x, double y) {
         return x + y - x * y + x / y - y / 3 + x * 2 - y * 0.5 + x * x - y * y + 1;
     }},
    // powers with small integer constants
    {SAME("x^3+2*x^2-y^2+1"),
     [](double x, double y) { return std::pow(x, 3) + 2 * (x * x) - y * y + 1; }},
    {SAME("(x*0.5+y*0.25)^2-(x-y)^4/4"),
     [](double x, double y) {
         double a = x * 0.5 + y * 0.25;
         return a * a - std::pow(x - y, 4) / 4;
     }},
    // mixed intrinsics
    {SAME("sin(x)^2+cos(y)^2+exp(-abs(y))"),
     [](double x, double y) {
         double s = std::sin(x), c = std::cos(y);
         return s * s + c * c + std::exp(-std::fabs(y));
     }},
};
// clang-format on
#undef SAME

inline constexpr int kExprCount = sizeof(kExprs) / sizeof(kExprs[0]);

}  // namespace exprset
