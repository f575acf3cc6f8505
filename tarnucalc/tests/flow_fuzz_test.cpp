// Randomized sessions of the controller and the console on an engine that answers
// anything, with damaged files around them.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cfloat>
#include <cmath>
#include <functional>
#include <sstream>

#include "console.h"
#include "controller.h"
#include "encoding.h"
#include "files.h"
#include "format.h"
#include "fuzz_support.h"
#include "memory_view.h"
#include "quorel_library.h"
#include "temp_dir.h"

using namespace tarnu;

namespace {

// Refuses some texts and gives the others an awkward value, the same for the same text.
class AnyEngine : public Engine {
  public:
    void init() override { ++open; }
    int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) override {
        size_t h = std::hash<std::string>{}(text);
        if (h % 5 == 0) {
            *errBegin = static_cast<int>(h % 7) - 3;
            *errEnd = static_cast<int>(h % 1000) - 500;
            return 1 + static_cast<int>(h % 60);
        }
        static const double values[] = {0,         -0.0,    1e-9,          -1e-7,
                                        0.5,       -2.5,    1.0 / 3,       1e13,
                                        1e300,     DBL_MAX, DBL_TRUE_MIN,  INFINITY,
                                        -INFINITY, NAN,     123456789.125, -9999999999999.995};
        slot = values[h / 5 % (sizeof values / sizeof *values)];
        *handle = &slot;
        return 0;
    }
    double calculate(void *handle) override { return *static_cast<double *>(handle); }
    void release() override { --open; }

    double slot = 0;
    int open = 0;
};

std::string expressionText(Fuzz &f) {
    static const std::vector<std::string> parts = {"1", "+", "*", "/",  "2.5", "(",  ")", "sin(",
                                                   "×", "e", "=", "９", "中",  "\t", " "};
    std::string s;
    for (size_t n = f.below(8); n > 0; --n) s += f.pick(parts);
    if (f.chance(10)) s += f.text(20);
    if (f.chance(3)) s += std::string(f.below(5000), '9');
    return s;
}

std::string damaged(Fuzz &f) {
    std::string bytes = encodeFileText(
        f.text(80), f.pick<FileEncoding>({FileEncoding::Gb18030, FileEncoding::Utf8,
                                          FileEncoding::Utf8Bom, FileEncoding::Utf16Le}));
    if (f.chance(30) && !bytes.empty()) bytes.resize(f.below(bytes.size()));
    if (f.chance(20)) bytes += f.bytes(10);
    return bytes;
}

// Everything inside the test's own directory, as for a program installed there.
Locations inDir(const TempDir &dir) {
    return resolveLocations(dir.path(), dir.path());
}

}  // namespace

TEST(FlowFuzz, SessionsNeverCrashAndKeepTheirHistory) {
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(12000 + round);
        for (int session = 0; session < 10; ++session) {
            TempDir dir;
            Locations where = inDir(dir);
            if (f.chance(60)) spit(where.historyFile, damaged(f));
            if (f.chance(60)) {
                std::string ini =
                    "[退出自动保存记录]\r\n退出自动保存记录=真\r\n[保留位数]\r\n保留位数=" +
                    f.pick<std::string>({"-1", "8", "9", "1e9", "nan", "x"}) +
                    "\r\n[公式]\r\n公式路径=" +
                    f.pick<std::string>({dir.file("f.txt"), dir.path(), dir.file("pipe"), "",
                                         dir.file("missing")}) +
                    "\r\n[显示键盘]\r\n显示键盘=1\r\n";
                spit(where.settingsFile, encodeFileText(ini, FileEncoding::Gb18030) + f.bytes(8));
            }
            spit(dir.file("f.txt"), damaged(f));
#ifndef _WIN32
            mkfifo(dir.file("pipe").c_str(), 0600);  // nobody ever writes to it
#endif
            MemoryView view;
            AnyEngine engine;
            Controller c(view, engine, where);
            c.setExitHandler([](int) { FAIL() << "no exit expected"; });
            c.startUp();
            for (int step = 0; step < 60; ++step) {
                switch (f.between(0, 11)) {
                    case 0:
                    case 1:
                        view.type(c, expressionText(f));
                        c.onExpressionKey(KeyKind::Enter);
                        break;
                    case 2: {
                        // A caret stands between characters, never inside one.
                        std::string h = view.text(Box::History);
                        size_t at = f.below(h.size() + 1);
                        while (at > 0 && at < h.size() && (h[at] & 0xC0) == 0x80) --at;
                        view.setCaret(Box::History, at);
                        c.onHistoryEnter();
                        break;
                    }
                    case 3:
                        view.setText(Box::FormulaEditor,
                                     f.chance(50) ? expressionText(f) + "\n" + expressionText(f)
                                                  : f.text(30));
                        c.onCalculateFormulaButton();
                        break;
                    case 4:
                        view.setChecked(tarnu::Check(f.between(1, 10)), f.chance(50));
                        c.onCheckBox(tarnu::Check(f.between(-2, 12)));
                        break;
                    case 5:
                        view.setDigitsIndex(f.between(-3, 12));
                        break;
                    case 6:
                        c.onKeypadKey(static_cast<KeypadKey>(f.between(0, 18)));
                        break;
                    case 7:
                        view.setText(Box::FormulaResult, expressionText(f));
                        c.onFormulaResultKey(f.chance(70) ? KeyKind::Enter : KeyKind::Delete);
                        break;
                    case 8:
                        view.dialogAnswers.push_back(f.pick<std::string>(
                            {dir.file("f.txt"), dir.path(), dir.file("new.txt"), "",
                             dir.file("pipe"), dir.file("no/such/dir/x.txt")}));
                        if (f.chance(50))
                            c.onOpenFormulaButton();
                        else
                            c.onSaveFormulaButton();
                        break;
                    case 9:
                        c.onFunctionChosen(f.between(-2, 12));
                        c.onPageButton(f.between(-1, 6));
                        break;
                    case 10:
                        view.setSkinIndex(f.between(-2, 10));
                        c.onSkinSelected(f.between(-2, 10));
                        c.onResize(f.between(-10, 2000), f.between(-10, 2000));
                        break;
                    default:
                        view.appendText(Box::History, f.chance(50) ? f.text(20) : "\n");
                        break;
                }
                ASSERT_EQ(engine.open, 0);
            }
            // Closing with the history saved, then starting again, shows the same history.
            view.setChecked(tarnu::Check::AutoSaveHistory, true);
            std::string history = view.text(Box::History);
            c.onClose();
            MemoryView again;
            Controller next(again, engine, where);
            next.startUp();
            if (history.find('\r') == std::string::npos &&
                history.find('\0') == std::string::npos) {
                EXPECT_EQ(again.text(Box::History), history);
            }
        }
    }
}

namespace {

// Whatever the bytes and offsets, the mark is the text on one line (control characters
// shown as "?") and under it at least one caret, so a terminal shows both whole.
void expectTwoLineMark(const std::string &text, int begin, int end) {
    std::string mark = markFaultyText(text, begin, end);
    size_t first = mark.find('\n');
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(first, text.size() + 4) << begin << " " << end;
    std::string carets = mark.substr(first + 1);
    ASSERT_FALSE(carets.empty());
    EXPECT_EQ(carets.back(), '\n');
    carets.pop_back();
    EXPECT_NE(carets.find('^'), std::string::npos);
    EXPECT_EQ(carets.find_first_not_of(" ^"), std::string::npos) << begin << " " << end;
}

}  // namespace

TEST(FlowFuzz, ConsoleTakesAnyInput) {
    TempDir dir;
    Locations where = inDir(dir);
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(13000 + round);
        for (int i = 0; i < 60; ++i) {
            spit(dir.file("f.txt"), damaged(f));
            if (f.chance(30)) spit(where.settingsFile, damaged(f));
            std::vector<std::string> args = {"tarnucalc"};
            for (size_t n = f.below(5); n > 0; --n) {
                switch (f.between(0, 5)) {
                    case 0:
                        args.push_back("-e");
                        args.push_back(expressionText(f));
                        break;
                    case 1:
                        args.push_back("--digits");
                        args.push_back(
                            f.pick<std::string>({"-15", "15", "16", "x", "", "2", "-0"}));
                        break;
                    case 2:
                        args.push_back("--formula");
                        args.push_back(f.pick<std::string>({dir.file("f.txt"), dir.path(), ""}));
                        break;
                    case 3:
                        args.push_back(
                            f.pick<std::string>({"--money", "--ops", "--keep-zeros", "-h"}));
                        break;
                    default:
                        args.push_back(f.text(4));
                        break;
                }
            }
            std::vector<char *> argv;
            for (std::string &a : args) argv.push_back(a.data());
            ConsoleOptions options;
            std::string error;
            if (!parseConsoleArgs(static_cast<int>(argv.size()), argv.data(), options, error)) {
                EXPECT_FALSE(error.empty());
                continue;
            }
            std::string input;
            for (size_t n = f.below(6); n > 0; --n)
                input += expressionText(f) + f.pick<std::string>({"\n", "\r\n", "", "\r"});
            std::istringstream in(input);
            std::ostringstream out, err;
            AnyEngine engine;
            int status = runConsole(options, engine, where, in, out, err);
            EXPECT_TRUE(status == 0 || status == 1 || status == 2) << status;
            EXPECT_EQ(engine.open, 0);
            EXPECT_EQ(status != 0, !err.str().empty()) << err.str();
            std::string faulty = f.bytes(6);
            for (int b = -3; b < 6; ++b) expectTwoLineMark(faulty, b, f.between(-3, 8));
        }
    }
}

namespace {

// Arithmetic the engine knows, in any order, so that most of it is refused somewhere.
// Loops are left out: a loop that never ends is the user's to cancel.
std::string engineText(Fuzz &f, const std::vector<std::string> &names) {
    static const std::vector<std::string> tokens = {
        "1",     "0",     "2.5",  "1e308", "1e-320", "-",    "+",
        "*",     "/",     "^",    "%",     "(",      ")",    ",",
        "sin(",  "sqrt(", "lg(",  "ln(",   "exp(",   "abs(", "atan2(",
        "fmod(", "max(",  "min(", "modf(", "sign(",  "dim(", "1/0",
        "0/0",   "\"s\"", "!",    "=",     "F(",     "  ",   "9999999999999999999999"};
    std::string s;
    for (size_t n = f.below(14); n > 0; --n)
        s += f.chance(15) && !names.empty() ? f.pick(names) : f.pick(tokens);
    if (f.chance(5)) s += f.bytes(6);
    return s;
}

}  // namespace

TEST(FlowFuzz, RealEngineTakesAnyText) {
    QuorelLibrary library({TARNU_ENGINE_PATH});
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(14000 + round);
        for (int i = 0; i < 500; ++i) {
            std::string expr = engineText(f, {});
            // Each calculation is a whole engine cycle: nothing carries over to the next.
            EngineResult r = evaluateExpression(library, expr);
            EngineResult again = evaluateExpression(library, expr);
            EXPECT_EQ(r.ok, again.ok) << expr;
            EXPECT_EQ(r.code, again.code) << expr;
            if (r.ok && !std::isnan(r.value)) EXPECT_EQ(r.value, again.value) << expr;
            if (r.ok) (void)MoneyText(ThroughText(r.value));
            // A definition refused with one use is refused with any other.
            std::string line1 = "F(x,y)=" + engineText(f, {"x", "y"});
            EngineResult g = evaluateFormula(
                library, line1, "F(" + engineText(f, {}) + "," + engineText(f, {}) + ")");
            EXPECT_EQ(g.failedLine == 1, evaluateFormula(library, line1, "F(1,2)").failedLine == 1)
                << line1;
        }
    }
}
