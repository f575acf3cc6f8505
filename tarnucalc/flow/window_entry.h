// The entry point of the Qt window, implemented by the tarnu_ui library when it is built.
#ifndef TARNU_FLOW_WINDOW_ENTRY_H
#define TARNU_FLOW_WINDOW_ENTRY_H

#include "engine.h"
#include "locations.h"

namespace tarnu {

// Shows the main window and runs until it closes; returns the process exit status.
int runWindow(int argc, char **argv, Engine &engine, const Locations &locations);

}  // namespace tarnu

#endif
