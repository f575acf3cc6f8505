// The controller on an in-memory window, a stand-in engine and files in a fresh directory.
#ifndef TARNU_TESTS_CALC_FIXTURE_H
#define TARNU_TESTS_CALC_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>

#include "controller.h"
#include "fake_engine.h"
#include "memory_view.h"
#include "temp_dir.h"

using namespace tarnu;

class Calc : public ::testing::Test {
  protected:
    Calc() : controller(view, engine, locations()) {
        controller.setExitHandler([this](int code) { exitCode = code; });
        engine.values = {{"1+2", 3},        {"2/2", 1},    {"1/3", 1.0 / 3},
                         {"6*7/2", 21},     {"5*6", 30},   {"3*2", 6},
                         {"1e-9", 1e-9},    {"0", 0},      {"1-1", 0},
                         {"5", 5},          {"12", 12},    {"1/0", INFINITY},
                         {"F(x,y)=x+y", 0}, {"F(1,2)", 3}, {"F(2.5,4)", 6.5},
                         {"G(x)=x*2/4", 0}, {"G(8)", 4},   {"0.1+0.2", 0.1 + 0.2},
                         {"12+", NAN}};
        engine.values.erase("12+");
    }

    // Everything inside the test's own directory, as for a program installed there.
    Locations locations() { return resolveLocations(dir.path(), dir.path()); }

    void start() { controller.startUp(); }

    // Types an expression and presses Enter.
    void enter(const std::string &text) {
        view.type(controller, text);
        EXPECT_TRUE(controller.onExpressionKey(KeyKind::Enter));
    }

    std::string expression() const { return view.text(Box::Expression); }
    std::string history() const { return view.text(Box::History); }
    bool red() const { return view.textColour(Box::Expression) == ResultColour; }

    TempDir dir;
    MemoryView view;
    FakeEngine engine;
    Controller controller;
    int exitCode = -1;
};

#endif
