// The whole windowed calculator: main window, engine process, view and controller, wired
// together. runWindow() shows one; the widget tests build their own.
#pragma once
#include <QCoreApplication>
#include <memory>
#include <string>

#include "controller.h"
#include "dialogs.h"
#include "engine_process.h"
#include "locations.h"
#include "main_window.h"
#include "qt_view.h"

namespace tarnucalc::ui {

class CalculatorWindow {
  public:
    // Calculations go to the helper program at `hostPath` when it exists, else to
    // `inProcess` on a worker thread. Without `dialogs`, Qt's own are asked.
    CalculatorWindow(tarnu::Engine &inProcess, const tarnu::Locations &locations,
                     const std::string &hostPath = EngineProcess::defaultHostPath(),
                     std::unique_ptr<Dialogs> dialogs = nullptr, int busyDelayMs = 500);
    ~CalculatorWindow();

    // Start-up of the controller, then the windows appear.
    void start();

    MainWindow window;
    std::unique_ptr<AbortableEngine> engine;
    std::unique_ptr<Dialogs> dialogs;
    QtView view;
    tarnu::Controller controller;
};

// The program's icon, drawn rather than loaded so that it needs no image plugin.
QIcon AppIcon();

// Qt's own Chinese texts (standard buttons, context menus, file and colour dialogs).
void LoadQtTranslations(QCoreApplication &app);

}  // namespace tarnucalc::ui
