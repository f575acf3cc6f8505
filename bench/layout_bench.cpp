// Whether evaluation speed depends on where things happen to lie in memory: a
// million RealCal calls of a two-parameter formula, as a new host would write them,
// timed with the heap shifted by a padding allocation made before the engine starts.
// The environment's size shifts the stack; scripts vary both from outside:
//
//   env PAD=$(head -c 1000 /dev/zero | tr '\0' x) build/bench/layout_bench 1 slots 2048
//
// Arguments: order (0: sin(x*t)+x^2/2, 1: x^2/2+sin(x*t)), where the parameters go
// ("slots": the formula's own area, "array": an array of the host's), heap padding
// in bytes. Prints the best of seven runs in milliseconds of processor time (shared
// machines make wall-clock time meaningless).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "Quorel32.h"

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: layout_bench order slots|array heap-padding\n");
        return 2;
    }
    const char *text = argv[1][0] == '0' ? "(x,t)=sin(x*t)+x^2/2" : "(x,t)=x^2/2+sin(x*t)";
    bool slots = std::strcmp(argv[2], "slots") == 0;
    void *pad = std::malloc(static_cast<std::size_t>(std::atoi(argv[3])) + 1);
    InitQuorel();
    void *h = nullptr;
    int n, b, e;
    double *para;
    if (RealCom(text, 0, &h, &n, &para, &b, &e) != 0) return 1;
    double own[2];
    double *p = slots ? para : own;
    double best = 1e9, sink = 0;
    for (int run = 0; run < 7; ++run) {
        std::clock_t t0 = std::clock();
        for (int i = 0; i < 1000000; ++i) {
            p[0] = i * 1e-6;
            p[1] = 0.5;
            sink += RealCal(h, p);
        }
        double ms = 1000.0 * static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
        if (ms < best) best = ms;
    }
    std::printf("%.2f\n", best);
    FreeQuorel();
    std::free(pad);
    return sink == 42 ? 3 : 0;
}
