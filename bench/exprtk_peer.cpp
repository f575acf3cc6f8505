// The ExprTk peer (see exprtk_peer.h).
#include "exprtk_peer.h"

#include <exprtk.hpp>

struct ExprtkPeer {
    double *x, *y;
    exprtk::symbol_table<double> symbols;
    exprtk::expression<double> expression;
};

ExprtkPeer *ExprtkCompile(const char *text, double *x, double *y) {
    auto *p = new ExprtkPeer{x, y, {}, {}};
    p->symbols.add_variable("x", *x);
    p->symbols.add_variable("y", *y);
    p->expression.register_symbol_table(p->symbols);
    exprtk::parser<double> parser;
    if (!parser.compile(text, p->expression)) {
        delete p;
        return nullptr;
    }
    return p;
}

void ExprtkFree(ExprtkPeer *p) {
    delete p;
}

double ExprtkValue(ExprtkPeer *p) {
    return p->expression.value();
}

double ExprtkSweep(ExprtkPeer *p, const double *xs, int nx, const double *ys, int ny) {
    double sum = 0;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) {
            *p->x = xs[i];
            *p->y = ys[j];
            sum += p->expression.value();
        }
    return sum;
}

bool ExprtkCompileOnly(const char *text) {
    double x = 0, y = 0;
    ExprtkPeer *p = ExprtkCompile(text, &x, &y);
    ExprtkFree(p);
    return p != nullptr;
}
