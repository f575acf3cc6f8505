// The strip that says a calculation is still running and offers to cancel it. It appears
// only after a calculation has taken a noticeable time, so quick ones never flicker.
#pragma once
#include <QFrame>

class QLabel;
class QPushButton;

namespace tarnucalc::ui {

class BusyPanel : public QFrame {
    Q_OBJECT
  public:
    explicit BusyPanel(QWidget *parent);
    QPushButton *cancelButton() const { return cancel_; }

  signals:
    void cancelRequested();

  protected:
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    QLabel *label_;
    QPushButton *cancel_;
    int timer_ = 0;
    int dots_ = 0;
};

}  // namespace tarnucalc::ui
