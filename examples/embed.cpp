// A small host of the Quorel32 engine, in C++ through quorel.hpp: the same steps as
// embed.c, with exceptions for refused texts and formulas that delete themselves.
//
// Build: c++ -std=c++20 embed.cpp $(pkg-config --cflags --libs quorel32) -o embed_cpp
#include <cstdio>
#include <vector>

#include "quorel.hpp"

int main() {
    Quorel::Engine engine;
    std::printf("%s\n", QuorelVer());

    engine.constant("tau", 6.283185307179586);
    engine.function<double>("clamp", 3, [](std::span<double> x) {
        if (x[1] > x[2]) throw std::invalid_argument("empty range");  // a run-time error
        return x[0] < x[1] ? x[1] : x[0] > x[2] ? x[2] : x[0];
    });

    Quorel::RealFormula wave("wave(t, a) = clamp(a * sin(tau * t), -0.5, 0.5)");
    std::vector<double> t, values(9);
    for (int i = 0; i <= 8; ++i) t.push_back(i / 8.0);
    wave.params()[1] = 2.0;       // a: the same for every point
    wave.batch({t, {}}, values);  // t: one value per point
    for (int i = 0; i <= 8; ++i) std::printf("wave(%.3f, 2) = % .6f\n", t[i], values[i]);

    // A refused text: the message names the fault and marks it.
    try {
        Quorel::RealFormula bad("wave(1, 2) + y");
    } catch (const Quorel::CompileError &e) {
        std::printf("refused: %s\n", e.what());
    }

    // Evaluation never throws: failures land in the run-time error slot.
    double v = Quorel::RealFormula("clamp(1, 2, 0) + 1")();
    if (auto err = engine.runError())
        std::printf("value %g; run-time error %d from %s (code %d)\n", v, err->type,
                    err->function ? err->function : "?", err->code);
    return 0;
}
