// The small keypad window ("小键盘"), owned by the main window and not modal. Its keys
// never take the keyboard focus, so typing continues in the main window after a click.
#pragma once
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace tarnucalc::ui {

inline constexpr QRect kKeypadDesign{50, 50, 172, 330};

class KeypadWindow : public QWidget {
    Q_OBJECT
  public:
    explicit KeypadWindow(QWidget *owner);

    QPlainTextEdit *money;  // the keypad's own 编辑框1

  signals:
    // A text key: its inserted text ("0"…"9", ".", "(", ")", "+", "-", "*", "/").
    void textKey(const QString &text);
    void backspaceKey();
    void equalsKey();
    void moved();

  protected:
    void moveEvent(QMoveEvent *event) override;
};

}  // namespace tarnucalc::ui
