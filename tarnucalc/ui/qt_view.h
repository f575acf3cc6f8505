// The Qt windows as the controller's view: reads and writes controls for it, forwards the
// user's events to it, and runs each engine cycle on a worker thread while the window
// stays responsive (a cycle that takes long can be cancelled with Esc or the visible
// cancel button).
#pragma once
#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "controller.h"
#include "view.h"

class QKeyEvent;
class QWidget;

namespace tarnucalc::ui {

class AbortableEngine;
class KeypadWindow;
class MainWindow;

class QtView : public QObject, public tarnu::View {
    Q_OBJECT
  public:
    // `engine` is the engine the controller calls; the view cuts its cycles short.
    QtView(MainWindow &window, AbortableEngine &engine);
    ~QtView() override;

    // Connects the windows' events to `controller`.
    void attach(tarnu::Controller &controller);

    // Dialog stand-ins for tests (a dialog cannot be answered on the offscreen platform).
    std::function<std::string(const tarnu::FileDialogOptions &, bool save)> fileDialogHook;
    std::function<std::optional<tarnu::FontChoice>(const tarnu::FontChoice &)> fontDialogHook;
    std::function<void(const std::string &)> fatalMessageHook;

    // A cycle longer than this shows the busy strip.
    int busyDelayMs = 500;
    bool calculating() const { return busy_; }
    void cancelCalculation();
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
    bool blockInput(QObject *watched, QEvent *event);
    bool closeRequested();
    void afterJob();
    void placeBusyPanel();
    int frameShift() const;

    MainWindow &window_;
    AbortableEngine &engine_;
    tarnu::Controller *controller_ = nullptr;
    QPointer<KeypadWindow> keypad_;
    std::array<tarnu::Colour, 6> colours_{};
    tarnu::FontChoice historyFont_;
    bool busy_ = false;
    bool cancelled_ = false;
    bool closePending_ = false;
    bool movePending_ = false;
    bool resizePending_ = false;
    bool keypadMovePending_ = false;
    bool settingGeometry_ = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> deferredKeys_;
};

}  // namespace tarnucalc::ui
