// Holds back the user's input to the calculator's windows while the controller is busy
// with an engine cycle: key presses wait and are delivered afterwards in their order,
// clicks are dropped, Esc asks to cancel.
#pragma once
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace tarnucalc::ui {

class InputGate : public QObject {
    Q_OBJECT
  public:
    // `guarded` tells whether a widget belongs to the windows the gate guards.
    InputGate(std::function<bool(const QWidget *)> guarded, std::function<void()> onEscape);
    ~InputGate() override;

    // From now on input is held back, except for `exempt` (the cancel button).
    void close(const QWidget *exempt);
    // Input flows again; the keys held back follow, after the current event.
    void open();
    bool isClosed() const { return closed_; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    std::function<bool(const QWidget *)> guarded_;
    std::function<void()> onEscape_;
    const QWidget *exempt_ = nullptr;
    bool closed_ = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

}  // namespace tarnucalc::ui
