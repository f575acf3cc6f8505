// The console front end: options, output lines, errors and exit status.
#include "console.h"

#include <gtest/gtest.h>

#include <sstream>

#include "fake_engine.h"
#include "temp_dir.h"

using namespace tarnu;

namespace {

struct Console : ::testing::Test {
    Console() {
        engine.values = {
            {"1/3", 1.0 / 3}, {"6*7/2", 21}, {"100.5", 100.5}, {"F(x)=x", 0}, {"F(2)", 2}};
        locations.settingsFile = dir.file("配置.ini");
        locations.historyFile = dir.file("计算记录.txt");
    }

    int run(std::vector<std::string> args, const std::string &input = "") {
        std::vector<char *> argv = {const_cast<char *>("tarnucalc")};
        for (std::string &a : args) argv.push_back(a.data());
        ConsoleOptions options;
        std::string error;
        if (!parseConsoleArgs(static_cast<int>(argv.size()), argv.data(), options, error)) {
            err << error;
            return 2;
        }
        std::istringstream in(input);
        return runConsole(options, engine, locations, in, out, err);
    }

    TempDir dir;
    FakeEngine engine;
    Locations locations;
    std::ostringstream out, err;
};

}  // namespace

TEST_F(Console, ExpressionsPrintAsTheHistoryRecordsThem) {
    EXPECT_EQ(run({"-e", "1/3", "--digits", "2", "-e", "6*7/2", "--ops"}), 0);
    EXPECT_EQ(out.str(), "1÷3=0.33\n6×7÷2=21\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(Console, SettingsFileGivesTheDefaults) {
    spit(locations.settingsFile, "[保留位数]\r\n保留位数=2\r\n保留\"0\"位=真\r\n");
    EXPECT_EQ(run({"-e", "1/3", "-e", "6*7/2"}), 0);
    EXPECT_EQ(out.str(), "1/3=0.333\n6*7/2=21.000\n");
}

TEST_F(Console, StandardInputLineByLine) {
    EXPECT_EQ(run({"--keep-zeros", "--digits", "1", "--money"}, "100.5\r\n\n1/3\n"), 0);
    EXPECT_EQ(out.str(), "100.5=100.5\t壹佰元零伍角整\n1/3=0.3\t叁角整\n");
}

TEST_F(Console, RefusedTextIsReportedAndTheRestGoesOn) {
    EXPECT_EQ(run({"-e", "1+", "-e", "1/3"}), 1);
    EXPECT_EQ(out.str(), "1/3=0.3\n");
    EXPECT_EQ(err.str(),
              "tarnucalc: the engine cannot compile this text (error 23: two in a row):\n"
              "    1+\n"
              "    ^^\n");
}

TEST_F(Console, FormulaFile) {
    spit(dir.file("f.txt"), "F(x)=x\r\nF(2)\r\nnote");
    EXPECT_EQ(run({"--formula", dir.file("f.txt")}), 0);
    EXPECT_EQ(out.str(), "F(x)=x\nF(2)=2\n");
    spit(dir.file("g.txt"), "F(x)=x");
    EXPECT_EQ(run({"--formula", dir.file("g.txt")}), 1);
    EXPECT_NE(err.str().find("公式有误"), std::string::npos);
    EXPECT_EQ(run({"--formula", dir.file("missing.txt")}), 2);
}

TEST_F(Console, BadOptions) {
    EXPECT_EQ(run({"--digits", "x"}), 2);
    EXPECT_EQ(run({"--digits", "99"}), 2);
    EXPECT_EQ(run({"-e"}), 2);
    EXPECT_EQ(run({"--what"}), 2);
    err.str("");
    EXPECT_EQ(run({"-e", ""}), 1);  // refused with a word, not silently
    EXPECT_EQ(err.str(), "tarnucalc: an empty expression has nothing to calculate\n");
}

TEST_F(Console, MissingEngineStops) {
    engine.missing = true;
    EXPECT_EQ(run({"-e", "1/3", "-e", "1/3"}), 3);
    EXPECT_EQ(err.str(), "missing\n");
    EXPECT_EQ(out.str(), "");
}

TEST(MarkFaultyText, ColumnsOfWideCharacters) {
    EXPECT_EQ(markFaultyText("1+", 1, 1), "    1+\n     ^\n");
    EXPECT_EQ(markFaultyText("中+x", 3, 3), "    中+x\n      ^\n");
    EXPECT_EQ(markFaultyText("ab", 0, 0), "    ab\n    ^\n");
    EXPECT_EQ(markFaultyText("ab", 5, 9), "    ab\n      ^\n");  // offsets beyond the text
    EXPECT_EQ(markFaultyText("a\x1b[2J", 1, 1), "    a?[2J\n     ^\n");
}
