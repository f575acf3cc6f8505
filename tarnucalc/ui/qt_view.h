// The Qt windows as the controller's view: reads and writes controls for it and forwards
// the user's events to it. Engine cycles go to an EngineJobRunner while an InputGate holds
// the user's input back; dialogs come from the Dialogs given.
#pragma once
#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "controller.h"
#include "engine_job_runner.h"
#include "input_gate.h"
#include "view.h"

class QKeyEvent;
class QWidget;

namespace tarnucalc::ui {

class AbortableEngine;
class Dialogs;
class KeypadWindow;
class MainWindow;

class QtView : public QObject, public tarnu::View {
    Q_OBJECT
  public:
    // `engine` is the engine the controller calls; the view cuts its cycles short. A cycle
    // longer than `busyDelayMs` shows the busy strip.
    QtView(MainWindow &window, AbortableEngine &engine, Dialogs &dialogs, int busyDelayMs = 500);
    ~QtView() override;

    // Connects the windows' events to `controller`.
    void attach(tarnu::Controller &controller);

    bool calculating() const { return runner_.running(); }
    void cancelCalculation() { runner_.cancel(); }
    KeypadWindow *keypad() const { return keypad_; }

    // View
    std::string text(tarnu::Box box) const override;
    void setText(tarnu::Box box, const std::string &text) override;
    tarnu::Colour textColour(tarnu::Box box) const override;
    void setTextColour(tarnu::Box box, tarnu::Colour colour) override;
    void replaceSelection(tarnu::Box box, const std::string &text) override;
    void appendText(tarnu::Box box, const std::string &text) override;
    void focus(tarnu::Box box) override;
    void sendKey(tarnu::Box box, tarnu::EditKey key) override;
    int caretLine(tarnu::Box box) const override;
    tarnu::FontChoice historyFont() const override;
    void setHistoryFont(const tarnu::FontChoice &font) override;
    void setFormulaCaption(const std::string &text) override;
    bool checked(tarnu::Check box) const override;
    void setChecked(tarnu::Check box, bool on) override;
    int digitsIndex() const override;
    void setDigitsIndex(int index) override;
    std::string digitsText() const override;
    int skinIndex() const override;
    void setSkinIndex(int index) override;
    std::string skinText() const override;
    int currentPage() const override;
    void showPage(int page) override;
    void setClipboard(const std::string &text) override;
    std::string openFileDialog(const tarnu::FileDialogOptions &options) override;
    std::string saveFileDialog(const tarnu::FileDialogOptions &options) override;
    std::optional<tarnu::FontChoice> fontDialog(const tarnu::FontChoice &initial) override;
    void showFatalMessage(const std::string &text) override;
    tarnu::Rect mainGeometry() const override;
    void setMainGeometry(const tarnu::Rect &rect) override;
    void setAlwaysOnTop(bool on) override;
    void applyLayout(const tarnu::MainLayout &layout) override;
    tarnu::Size screenSize() const override;
    bool keypadExists() const override;
    void createKeypad() override;
    void destroyKeypad() override;
    tarnu::Rect keypadGeometry() const override;
    void setKeypadGeometry(const tarnu::Rect &rect) override;
    void applySkin(const std::string &skinFile) override;
    bool runEngineJob(const std::function<void()> &job) override;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *widget(tarnu::Box box) const;
    void paintColour(tarnu::Box box);
    void connectControls();
    void connectKeypad();
    // Runs a user event unless a calculation is running (the controller is busy then).
    void forward(const std::function<void(tarnu::Controller &)> &event);
    bool boxKey(QObject *watched, QKeyEvent *key);
    bool closeRequested();
    bool ours(const QWidget *w) const;
    void showBusy();
    void afterJob();
    void placeBusyPanel();
    int frameShift() const;

    MainWindow &window_;
    Dialogs &dialogs_;
    EngineJobRunner runner_;
    InputGate gate_;
    tarnu::Controller *controller_ = nullptr;
    QPointer<KeypadWindow> keypad_;
    // The colours the controller gave each box; a box never given one shows the theme's.
    std::array<std::optional<tarnu::Colour>, 6> colours_{};
    tarnu::FontChoice historyFont_;
    bool jobCancelled_ = false;  // the last engine cycle was cut short
    bool closePending_ = false;
    bool movePending_ = false;
    bool resizePending_ = false;
    bool keypadMovePending_ = false;
    bool settingGeometry_ = false;
};

}  // namespace tarnucalc::ui
