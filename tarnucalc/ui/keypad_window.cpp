#include "keypad_window.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "fonts.h"
#include "main_window.h"
#include "place.h"

namespace tarnucalc::ui {

namespace {

struct Key {
    const char *name, *caption, *inserts;
    int left, top;
};

// inserts: nullptr for the two keys that act instead of inserting.
const Key kKeys[] = {
    {"正括号键", "(", "(", 6, 6},      {"反括号键", ")", ")", 46, 6},
    {"乘法键", "×", "*", 86, 6},       {"除法键", "/", "/", 126, 6},
    {"按键7", "7", "7", 6, 38},        {"按键8", "8", "8", 46, 38},
    {"按键9", "9", "9", 86, 38},       {"加法键", "+", "+", 126, 38},
    {"按键4", "4", "4", 6, 70},        {"按键5", "5", "5", 46, 70},
    {"按键6", "6", "6", 86, 70},       {"减法键", "-", "-", 126, 70},
    {"按键1", "1", "1", 6, 102},       {"按键2", "2", "2", 46, 102},
    {"按键3", "3", "3", 86, 102},      {"等号键", "=", nullptr, 126, 102},
    {"按键0", "0", "0", 6, 134},       {"按键小数点", ".", ".", 46, 134},
    {"消除键", "←", nullptr, 86, 134},
};

}  // namespace

KeypadWindow::KeypadWindow(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("小键盘窗口"));
    setWindowTitle(QString::fromUtf8("小键盘"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(UiFont(kDefaultPixels));
    setFixedSize(kKeypadDesign.size() - kClassicFrame);

    for (const Key &k : kKeys) {
        const bool equals = !k.inserts && k.caption[0] == '=';
        const bool two = k.caption[0] == '2';
        auto *b =
            Place<QPushButton>(this, k.name, {k.left, k.top, 32, equals ? 56 : 24}, two ? 19 : 16);
        b->setText(QString::fromUtf8(k.caption));
        b->setFocusPolicy(Qt::NoFocus);
        if (k.inserts) {
            const QString text = QString::fromUtf8(k.inserts);
            connect(b, &QPushButton::clicked, this, [this, text] { emit textKey(text); });
        } else if (equals) {
            connect(b, &QPushButton::clicked, this, &KeypadWindow::equalsKey);
        } else {
            connect(b, &QPushButton::clicked, this, &KeypadWindow::backspaceKey);
        }
    }
    auto *bar = Place<QFrame>(this, "按钮1", {-10, 163, 190, 3});
    bar->setFrameShape(QFrame::HLine);
    bar->setFrameShadow(QFrame::Sunken);
    auto *label = Place<QLabel>(this, "标签1", {47, 171, 71, 24});
    label->setText(QString::fromUtf8("结果金额大写"));
    // Six characters need 72 pixels at the 12-pixel height: a pixel more than designed.
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    money = Place<QPlainTextEdit>(this, "编辑框1", {3, 198, 160, 91}, 14);
    money->setReadOnly(true);
    money->setFocusPolicy(Qt::ClickFocus);
}

void KeypadWindow::placeFrameAt(QPoint frameTopLeft) {
    wanted_ = frameTopLeft;
    move(frameTopLeft);
}

// A window manager frames the window a moment after it is shown and may put the client
// area where the frame was meant to be, the title bar above it. The first move that shows
// a frame puts the frame where it was placed; that move is not the user's.
void KeypadWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    if (!framed_ && frameGeometry() != geometry()) {
        framed_ = true;
        if (wanted_ && frameGeometry().topLeft() != *wanted_) {
            move(*wanted_);
            return;
        }
    }
    emit moved();
}

}  // namespace tarnucalc::ui
