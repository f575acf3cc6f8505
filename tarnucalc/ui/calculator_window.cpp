#include "calculator_window.h"

#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

#include "fonts.h"
#include "keypad_window.h"
#include "window_entry.h"

namespace tarnucalc::ui {

namespace {

std::unique_ptr<AbortableEngine> ChooseEngine(tarnu::Engine &inProcess, const std::string &host) {
    if (!host.empty() && ::access(host.c_str(), X_OK) == 0)
        return std::make_unique<EngineProcess>(host);
    return std::make_unique<InProcessEngine>(inProcess);
}

}  // namespace

CalculatorWindow::CalculatorWindow(tarnu::Engine &inProcess, const tarnu::Locations &locations,
                                   const std::string &hostPath, std::unique_ptr<Dialogs> given,
                                   int busyDelayMs)
    : engine(ChooseEngine(inProcess, hostPath)),
      dialogs(given ? std::move(given) : std::make_unique<QtDialogs>()),
      view(window, *engine, *dialogs, busyDelayMs),
      controller(view, *engine, locations) {
    window.setWindowIcon(AppIcon());
}

CalculatorWindow::~CalculatorWindow() {
    view.destroyKeypad();
}

void CalculatorWindow::start() {
    controller.startUp();
    view.attach(controller);
    window.show();
    if (KeypadWindow *k = view.keypad(); k && !k->isVisible()) k->show();
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2f74d0));
        p.drawRoundedRect(QRectF(1 * u, 0.5 * u, 14 * u, 15 * u), 2 * u, 2 * u);
        p.setBrush(QColor(0xf4f8ff));
        p.drawRect(QRectF(3 * u, 2.5 * u, 10 * u, 3.5 * u));
        p.setBrush(QColor(0xdd3333));
        p.drawRect(QRectF(9 * u, 3.3 * u, 3 * u, 1.9 * u));
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                p.setBrush(col == 2 && row == 2 ? QColor(0xffc83d) : QColor(0xdce9f9));
                p.drawRect(QRectF((3 + col * 3.5) * u, (7.5 + row * 2.7) * u, 2.6 * u, 1.9 * u));
            }
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

void LoadQtTranslations(QCoreApplication &app) {
    // The program speaks Chinese whatever the locale, and so do Qt's own dialogs and menus.
    auto *qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
}

}  // namespace tarnucalc::ui

namespace tarnu {

int runWindow(int argc, char **argv, Engine &engine, const Locations &locations) {
    int count = argc;  // QApplication keeps a reference to it
    QApplication app(count, argv);
    QApplication::setApplicationName(QStringLiteral("tarnucalc"));
    QApplication::setDesktopFileName(QStringLiteral("tarnucalc"));
    QApplication::setWindowIcon(tarnucalc::ui::AppIcon());
    QApplication::setFont(tarnucalc::ui::UiFont(tarnucalc::ui::kDefaultPixels));
    tarnucalc::ui::LoadQtTranslations(app);
    tarnucalc::ui::CalculatorWindow calculator(engine, locations);
    calculator.start();
    return app.exec();
}

}  // namespace tarnu
