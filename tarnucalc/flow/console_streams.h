// The program's text is UTF-8. On Windows the console shows and types text in its own
// code page: std::cin, std::cout and std::cerr are converted on the way in and out.
// Elsewhere the terminal takes UTF-8 as it is and this does nothing.
#ifndef TARNU_FLOW_CONSOLE_STREAMS_H
#define TARNU_FLOW_CONSOLE_STREAMS_H

namespace tarnu {

void useConsoleCodePage();

// True when standard input is a terminal or console, not a pipe or file.
bool inputIsInteractive();

// True when standard input is a pipe or a file, so there is input to calculate. A launcher
// (a desktop menu, a file manager) gives the program a device instead, which must not take
// the window away.
bool inputIsData();

}  // namespace tarnu

#endif
