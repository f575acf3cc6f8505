// The C++ layer: errors carry their place, formulas clean up after themselves, host
// callables of every domain are reached, and nothing of it outlives its engine.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "quorel.hpp"

namespace {

using Quorel::Complex;

TEST(CppApi, CompileErrorCarriesCodeOffsetsAndCaret) {
    Quorel::Engine engine;
    try {
        Quorel::RealFormula f("f(x) = x +\n  2 * y + 1");
        FAIL() << "compiled";
    } catch (const Quorel::CompileError &e) {
        EXPECT_EQ(e.code(), QUOREL_ERR_UNKNOWN_NAME);
        EXPECT_EQ(e.begin(), 17);
        EXPECT_EQ(e.end(), 17);
        // Only the faulty line is shown, with the caret under the name.
        EXPECT_EQ(std::string(e.what()),
                  std::string(e.text()) + " (error 24)\n  2 * y + 1\n      ^");
    }
    try {
        Quorel::RealFormula f("sin(1, 2)");
        FAIL();
    } catch (const Quorel::CompileError &e) {
        std::string w = e.what();
        std::string caret = w.substr(w.rfind('\n') + 1);
        EXPECT_EQ(caret.find('^'), static_cast<std::size_t>(e.begin()));
        EXPECT_EQ(caret.size(), static_cast<std::size_t>(e.end() + 1));
    }
    // A pending run-time error places nothing: no caret line.
    SetRunErr(77, nullptr, 0, 0, nullptr);
    try {
        Quorel::RealFormula f("1");
        FAIL();
    } catch (const Quorel::CompileError &e) {
        EXPECT_EQ(e.code(), QUOREL_ERR_RUN_ERROR_PENDING);
        EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    }
    auto err = engine.runError();
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(err->type, 77);
    EXPECT_EQ(err->text(), nullptr);
    EXPECT_FALSE(engine.runError().has_value());
    EXPECT_THROW(Quorel::Engine(), std::logic_error);
}

TEST(CppApi, FormulasOfEachDomainEvaluateAndDeleteThemselves) {
    auto engine = std::make_unique<Quorel::Engine>();
    engine->constant("k", 0.5);
    engine->constant("n", 2);
    engine->constant("w", Complex(0, 1));
    {
        Quorel::RealFormula f("f(x, y) = x * y + k");
        EXPECT_EQ(f.name(), "f");
        EXPECT_EQ(f({3, 4}), 12.5);
        f.params()[0] = 2;
        f.params()[1] = 5;
        EXPECT_EQ(f(), 10.5);
        Quorel::RealFormula g = std::move(f);
        EXPECT_EQ(g(), 10.5);
        EXPECT_THROW(g({1}), std::length_error);
        EXPECT_EQ(Quorel::IntFormula("m(a) = a * n")({21}), 42);
        EXPECT_EQ(Quorel::ComplexFormula("z(v) = v * w")({Complex(3, 0)}), Complex(0, 3));
    }
    // Deleted at the end of the scope: the names are free again.
    EXPECT_NO_THROW(Quorel::RealFormula("f(x) = x"));
    EXPECT_NO_THROW(Quorel::IntFormula("m(a) = a"));
    // A formula that outlives its engine is forgotten, not deleted twice.
    Quorel::RealFormula late("late(x) = x");
    engine.reset();
    Quorel::Engine again;
    Quorel::RealFormula other("other(x) = x + 1");
    EXPECT_EQ(other({1}), 2.0);
}

TEST(CppApi, HostCallablesOfEveryDomain) {
    Quorel::Engine engine;
    int calls = 0;
    engine.function<double>("scaled", 2, [&calls](std::span<double> x) {
        ++calls;
        return x[0] * x[1];
    });
    engine.function<int>("count", [](std::span<int> x) { return static_cast<int>(x.size()); });
    engine.function<Complex>("conjugate", 1, [](std::span<Complex> x, CallerInfo *c) {
        return c->type == QUOREL_COMPLEX ? std::conj(x[0]) : 0.0;
    });
    engine.function<double>("fails", 1, [](std::span<double>) -> double { throw 1; });

    EXPECT_EQ(Quorel::RealFormula("scaled(3, 4) + scaled(1, 1)")(), 13.0);
    EXPECT_EQ(calls, 2);
    EXPECT_THROW(Quorel::RealFormula("scaled(1)"), Quorel::CompileError);
    EXPECT_EQ(Quorel::IntFormula("count(1, 2, 3)")(), 3);
    EXPECT_EQ(Quorel::ComplexFormula("conjugate(1 + 2*i)")(), Complex(1, -2));

    // An exception from a callable becomes a run-time error of its domain.
    Quorel::RealFormula f("fails(1) + 5");
    EXPECT_EQ(f(), 5.0);
    auto err = engine.runError();
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(err->type, QUOREL_RUNERR_REAL);
    EXPECT_STREQ(err->function, "fails");
    EXPECT_EQ(err->code, -1);

    // Removed, the function is gone for formulas that call it; its name is free again.
    Quorel::RealFormula caller("scaled(1, 2)");
    engine.removeFunction<double>("scaled");
    EXPECT_EQ(caller(), 0.0);
    EXPECT_EQ(engine.runError()->type, QUOREL_RUNERR_FUNCTION_DELETED);
    EXPECT_THROW(Quorel::RealFormula("scaled(1, 2)"), Quorel::CompileError);
    engine.function<double>("scaled", 2, [](std::span<double> x) { return x[0] - x[1]; });
    EXPECT_EQ(Quorel::RealFormula("scaled(1, 2)")(), -1.0);
}

TEST(CppApi, RunLimitStopsARunawayFormula) {
    Quorel::Engine engine;
    Quorel::Engine::runLimit(1000);
    Quorel::RealFormula forever("( : n) = while(1, n = n + 1), n");
    EXPECT_EQ(forever(), 0.0);
    Quorel::Engine::runLimit(0);
    auto err = engine.runError();
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(err->type, QUOREL_RUNERR_STEP_LIMIT);
    EXPECT_EQ(err->formula, forever.handle());
}

TEST(CppApi, BatchOverColumns) {
    Quorel::Engine engine;
    Quorel::RealFormula f("f(x, y) = x * y");
    std::vector<double> xs = {1, 2, 3}, out(3);
    f.params()[1] = 10;
    f.batch({xs, {}}, out);
    EXPECT_EQ(out, (std::vector<double>{10, 20, 30}));
    EXPECT_THROW(f.batch({xs}, out), std::length_error);
    std::vector<double> shortColumn = {1};
    EXPECT_THROW(f.batch({xs, shortColumn}, out), std::length_error);
}

}  // namespace
