// The whole windowed calculator: main window, engine process, view and controller, wired
// together. runWindow() shows one; the widget tests build their own.
#pragma once
#include <memory>
#include <string>

#include "controller.h"
#include "engine_process.h"
#include "locations.h"
#include "main_window.h"
#include "qt_view.h"

namespace tarnucalc::ui {

class CalculatorWindow {
  public:
    // Calculations go to the helper program at `hostPath` when it exists, else to
    // `inProcess` on a worker thread.
    CalculatorWindow(tarnu::Engine &inProcess, const tarnu::Locations &locations,
                     const std::string &hostPath = EngineProcess::defaultHostPath());
    ~CalculatorWindow();

    // Start-up of the controller, then the windows appear.
    void start();

    MainWindow window;
    std::unique_ptr<AbortableEngine> engine;
    QtView view;
    tarnu::Controller controller;
};

// The program's icon, drawn rather than loaded so that it needs no image plugin.
QIcon AppIcon();

}  // namespace tarnucalc::ui
