#include "console.h"

#include <cstdlib>
#include <istream>
#include <ostream>

#include "controller.h"
#include "files.h"
#include "format.h"
#include "memory_view.h"
#include "settings.h"

namespace tarnu {

namespace {

// Digits kept may be any count here, not only the selector's 1 to 9.
class ConsoleView : public MemoryView {
  public:
    std::optional<int> digitsOverride;
    std::ostream *err = nullptr;
    std::string digitsText() const override {
        return digitsOverride ? std::to_string(*digitsOverride) : MemoryView::digitsText();
    }
    void showFatalMessage(const std::string &text) override { *err << text << "\n"; }
};

bool isWide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
}

// Terminal columns taken by text[0, end).
size_t columns(const std::string &text, size_t end) {
    size_t cols = 0;
    for (size_t i = 0; i < end && i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        char32_t cp = c;
        if (len > 1 && i + len <= text.size()) {
            cp = c & (0x7F >> len);
            for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
        }
        cols += c == '\t' ? 1 : isWide(cp) ? 2 : 1;
        i += len;
    }
    return cols;
}

bool parseInt(const std::string &s, int &value) {
    if (s.empty()) return false;
    char *end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < -15 || v > 15) return false;
    value = static_cast<int>(v);
    return true;
}

class ConsoleRun {
  public:
    ConsoleRun(const ConsoleOptions &o, Engine &engine, const Locations &locations,
               std::ostream &out, std::ostream &err)
        : options_(o), out_(out), err_(err), controller_(view_, engine, locations) {
        view_.err = &err;
        controller_.setExitHandler([this](int) { fatal_ = true; });
        controller_.setCompileErrorHandler(
            [this, eng = &engine](const std::string &text, const EngineResult &r) {
                const char *why = eng->errorText(r.code);
                err_ << "tarnucalc: the engine cannot compile this text (error " << r.code
                     << (why ? std::string(": ") + why : std::string()) << "):\n"
                     << markFaultyText(text, r.errBegin, r.errEnd);
            });
        applySettings(locations);
    }

    // 0 done, 1 refused, 3 fatal.
    int expression(const std::string &text) {
        if (text.empty()) {
            err_ << "tarnucalc: an empty expression has nothing to calculate\n";
            return 1;
        }
        view_.setText(Box::Expression, text);
        view_.setTextColour(Box::Expression, InputColour);
        controller_.calculateExpression();
        if (fatal_) return 3;
        if (controller_.lastRecord().empty()) return 1;
        printRecord(controller_.lastRecord());
        return 0;
    }

    int formula(const std::string &text) {
        view_.setText(Box::FormulaEditor, text);
        view_.setText(Box::FormulaResult, "");
        controller_.calculateFormula();
        if (fatal_) return 3;
        if (controller_.lastRecord().empty()) {
            err_ << "tarnucalc: " << kFormulaError
                 << " (line 1 defines the formula, line 2 uses it with values)\n";
            return 1;
        }
        printRecord(controller_.lastRecord());
        return 0;
    }

  private:
    void applySettings(const Locations &locations) {
        Settings s = loadSettings(ProfileFile(locations.settingsFile));
        view_.setDigitsIndex(s.digitsIndex >= 0 && s.digitsIndex < kDigitsEntries ? s.digitsIndex
                                                                                  : 0);
        view_.digitsOverride = options_.digits;
        view_.setChecked(Check::KeepZeros, s.keepZeros || options_.keepZeros);
        view_.setChecked(Check::ConvertOperators, s.convertOperators || options_.operators);
        view_.setChecked(Check::MoneyText, options_.money);
        // The money text goes to the keypad's box: give it one.
        if (options_.money) view_.createKeypad();
    }

    void printRecord(const std::string &record) {
        out_ << record;
        if (options_.money) out_ << "\t" << view_.text(Box::KeypadMoney);
        out_ << "\n";
    }

    const ConsoleOptions &options_;
    std::ostream &out_;
    std::ostream &err_;
    ConsoleView view_;
    Controller controller_;
    bool fatal_ = false;
};

}  // namespace

std::string markFaultyText(const std::string &text, int begin, int end) {
    size_t b = begin < 0 ? 0 : std::min(static_cast<size_t>(begin), text.size());
    size_t e = end < begin ? b : std::min(static_cast<size_t>(end) + 1, text.size());
    size_t from = columns(text, b);
    size_t width = std::max<size_t>(columns(text, e) - from, 1);
    // Control characters would act on the terminal instead of showing.
    std::string shown = text;
    for (char &c : shown)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = '?';
    return "    " + shown + "\n    " + std::string(from, ' ') + std::string(width, '^') + "\n";
}

std::string consoleUsage() {
    return "Usage: tarnucalc [options]\n"
           "  (no options)        the calculator window, when a display is available\n"
           "  -e EXPR             calculate EXPR and print EXPR=RESULT (may be repeated)\n"
           "  --formula FILE      calculate a formula file: line 1 defines, line 2 uses\n"
           "  --digits N          decimals kept (default from the settings: 1)\n"
           "  --keep-zeros        keep trailing zeros to N decimals\n"
           "  --ops               record * and / as × and ÷\n"
           "  --money             also print the amount in Chinese upper-case money text\n"
           "  -h, --help          this text\n"
           "Without -e and --formula, expressions are read from standard input, one a line.\n";
}

bool parseConsoleArgs(int argc, char **argv, ConsoleOptions &o, std::string &error) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= argc) {
                error = "option " + a + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        o.any = true;
        std::string v;
        if (a == "-e" || a == "--expression") {
            if (!value(v)) return false;
            o.expressions.push_back(v);
        } else if (a == "--formula") {
            if (!value(o.formulaFile)) return false;
            if (o.formulaFile.empty()) {
                error = "--formula needs a file name";
                return false;
            }
        } else if (a == "--digits") {
            int n;
            if (!value(v)) return false;
            if (!parseInt(v, n)) {
                error = "--digits takes a whole number from -15 to 15, not \"" + v + "\"";
                return false;
            }
            o.digits = n;
        } else if (a == "--keep-zeros") {
            o.keepZeros = true;
        } else if (a == "--ops") {
            o.operators = true;
        } else if (a == "--money") {
            o.money = true;
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else {
            error = "unknown option \"" + a + "\"";
            return false;
        }
    }
    return true;
}

int runConsole(const ConsoleOptions &options, Engine &engine, const Locations &locations,
               std::istream &in, std::ostream &out, std::ostream &err) {
    ConsoleRun run(options, engine, locations, out, err);
    int status = 0;
    auto record = [&](int result) {
        if (result == 3) return false;
        if (result != 0) status = 1;
        return true;
    };
    for (const std::string &e : options.expressions)
        if (!record(run.expression(e))) return 3;
    if (!options.formulaFile.empty()) {
        TextFile file = readTextFile(options.formulaFile);
        if (file.status != ReadStatus::Ok) {
            err << "tarnucalc: cannot read the formula file " << options.formulaFile << "\n";
            return 2;
        }
        if (!record(run.formula(toBoxLines(file.text)))) return 3;
    }
    if (options.fromInput()) {
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            if (!record(run.expression(line))) return 3;
        }
    }
    return status;
}

}  // namespace tarnu
