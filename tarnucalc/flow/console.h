// The calculator without a window, for scripts and headless machines: the same
// controller on an in-memory window, printing what the history would record.
#ifndef TARNU_FLOW_CONSOLE_H
#define TARNU_FLOW_CONSOLE_H

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine.h"
#include "locations.h"

namespace tarnu {

struct ConsoleOptions {
    std::vector<std::string> expressions;  // -e EXPR, in order
    std::string formulaFile;               // --formula FILE
    std::optional<int> digits;             // --digits N
    bool keepZeros = false;                // --keep-zeros
    bool operators = false;                // --ops
    bool money = false;                    // --money
    bool help = false;                     // -h, --help
    // Neither -e nor --formula: expressions come from standard input.
    bool fromInput() const { return expressions.empty() && formulaFile.empty(); }
    // Any option that only the console understands.
    bool any = false;
};

// False with a message for an unknown option or a missing or bad value.
bool parseConsoleArgs(int argc, char **argv, ConsoleOptions &options, std::string &error);

std::string consoleUsage();

// Exit status: 0 when everything calculated, 1 when the engine refused a text, 2 for a
// file that could not be read, 3 when the engine library could not be bound.
int runConsole(const ConsoleOptions &options, Engine &engine, const Locations &locations,
               std::istream &in, std::ostream &out, std::ostream &err);

// "    1+\n      ^\n": the text with the faulty bytes [begin, end] marked beneath.
std::string markFaultyText(const std::string &text, int begin, int end);

}  // namespace tarnu

#endif
