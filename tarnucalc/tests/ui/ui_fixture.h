// One calculator window for a test: files in a fresh directory, the real engine process
// (or a stand-in), and short ways to reach its controls by their design names.
#pragma once
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calculator_window.h"
#include "keypad_window.h"
#include "quorel_library.h"

namespace tarnucalc::ui::test {

// Test classes register themselves; main runs them in order.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TestFactory> &Registry();
struct Register {
    explicit Register(TestFactory f) { Registry().push_back(std::move(f)); }
};

// Qt's own dialogs unless a test answers them; a fatal message box is only recorded.
class TestDialogs : public QtDialogs {
  public:
    std::function<std::string(const tarnu::FileDialogOptions &, bool save)> file;
    std::vector<std::string> *fatalMessages = nullptr;

    std::string openFile(QWidget &parent, const tarnu::FileDialogOptions &o) override {
        return file ? file(o, false) : QtDialogs::openFile(parent, o);
    }
    std::string saveFile(QWidget &parent, const tarnu::FileDialogOptions &o) override {
        return file ? file(o, true) : QtDialogs::saveFile(parent, o);
    }
    void fatal(QWidget &, const std::string &text) override { fatalMessages->push_back(text); }
};

// True when the engine library can compile (the calculation tests need it).
bool EngineCanCompile();

class Fixture {
  public:
    Fixture();
    ~Fixture();

    // Starts a window over this fixture's files; a second call after close() restarts.
    void open(const std::string &host = TARNU_ENGINE_HOST);
    void close();  // as the user closes the main window

    MainWindow &w() { return calc->window; }
    QtView &view() { return calc->view; }
    tarnu::Controller &controller() { return calc->controller; }
    TestDialogs &dialogs() { return static_cast<TestDialogs &>(*calc->dialogs); }

    template <class T = QWidget>
    T *find(const char *name) {
        return calc->window.findChild<T *>(QString::fromUtf8(name));
    }
    template <class T = QWidget>
    T *keypadControl(const char *name) {
        KeypadWindow *k = calc->view.keypad();
        return k ? k->findChild<T *>(QString::fromUtf8(name)) : nullptr;
    }

    void type(QWidget *box, const char *text) { QTest::keyClicks(box, QString::fromUtf8(text)); }
    void press(QWidget *box, Qt::Key key) { QTest::keyClick(box, key); }
    void click(QWidget *button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::string text(tarnu::Box box) { return calc->view.text(box); }
    QByteArray fileBytes(const std::string &path) const;

    QTemporaryDir dir;
    tarnu::Locations locations;
    tarnu::QuorelLibrary library;
    std::unique_ptr<CalculatorWindow> calc;
    std::vector<std::string> fatalMessages;
    int exits = 0;
};

// Saves a picture of a window for people to look at.
void Screenshot(QWidget &window, const QString &name);

}  // namespace tarnucalc::ui::test
