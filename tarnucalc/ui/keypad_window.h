// The small keypad window ("小键盘"): a tool window of the main window (above it,
// minimised with it), not modal. It never takes the keyboard focus, so typing continues
// in the main window's box after a click on a key.
#pragma once
#include <QWidget>
#include <optional>

class QPlainTextEdit;
class QPushButton;

namespace tarnucalc::ui {

inline constexpr QRect kKeypadDesign{50, 50, 172, 330};

class KeypadWindow : public QWidget {
    Q_OBJECT
  public:
    explicit KeypadWindow(QWidget *owner);

    // Puts the window's frame (title bar included) at `frameTopLeft`, also when the
    // window manager frames the window only after this.
    void placeFrameAt(QPoint frameTopLeft);

    QPlainTextEdit *money;  // the keypad's own 编辑框1

  signals:
    // A text key: its inserted text ("0"…"9", ".", "(", ")", "+", "-", "*", "/").
    void textKey(const QString &text);
    void backspaceKey();
    void equalsKey();
    void moved();

  protected:
    void moveEvent(QMoveEvent *event) override;

  private:
    std::optional<QPoint> wanted_;
    bool framed_ = false;
};

}  // namespace tarnucalc::ui
