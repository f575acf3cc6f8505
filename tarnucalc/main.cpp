// tarnucalc: the calculator window when there is a display to show it on, the console
// otherwise (or when asked for a calculation on the command line or through a pipe).
#include <cstdlib>
#include <iostream>

#include "console.h"
#include "console_streams.h"
#include "locations.h"
#include "quorel_library.h"
#ifdef TARNU_WITH_WINDOW
#include "window_entry.h"
#endif
#ifdef TARNU_WITH_WIN32_WINDOW
#include "win32_entry.h"
#endif

namespace {

#ifdef TARNU_WITH_WINDOW
bool displayAvailable() {
#ifdef _WIN32
    return true;  // the desktop is always there
#else
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
#endif
}
#endif

}  // namespace

int main(int argc, char **argv) {
#ifdef TARNU_WITH_WIN32_WINDOW
    // The window runs its calculations in a second copy of the program.
    if (int status = tarnu::win32::ServeEngineIfAsked(argc, argv); status >= 0) return status;
#endif
    tarnu::useConsoleCodePage();
    tarnu::ConsoleOptions options;
    std::string error;
    if (!tarnu::parseConsoleArgs(argc, argv, options, error)) {
        std::cerr << "tarnucalc: " << error << "\n" << tarnu::consoleUsage();
        return 2;
    }
    if (options.help) {
        std::cout << tarnu::consoleUsage();
        return 0;
    }
    std::string programDir = tarnu::programDirectory();
    tarnu::Locations locations = tarnu::resolveLocations(programDir, tarnu::workingDirectory());
    tarnu::QuorelLibrary engine(tarnu::QuorelLibrary::defaultCandidates(programDir));
#ifdef TARNU_WITH_WINDOW
    if (!options.any && !tarnu::inputIsData() && displayAvailable())
        return tarnu::runWindow(argc, argv, engine, locations);
#endif
    if (options.fromInput() && tarnu::inputIsInteractive()) {
#ifdef _WIN32
        std::cerr << "tarnucalc: type expressions, one a line (Ctrl-Z and Enter end)\n";
#else
        std::cerr << "tarnucalc: no display for the window; type expressions, one a line"
                     " (Ctrl-D ends)\n";
#endif
    }
    return tarnu::runConsole(options, engine, locations, std::cin, std::cout, std::cerr);
}
