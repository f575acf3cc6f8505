#include "input_gate.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace tarnucalc::ui {

namespace {

bool IsInput(QEvent::Type t) {
    switch (t) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}

}  // namespace

InputGate::InputGate(std::function<bool(const QWidget *)> guarded, std::function<void()> onEscape)
    : guarded_(std::move(guarded)), onEscape_(std::move(onEscape)) {}

InputGate::~InputGate() {
    if (closed_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void InputGate::close(const QWidget *exempt) {
    exempt_ = exempt;
    if (closed_) return;
    closed_ = true;
    QCoreApplication::instance()->installEventFilter(this);
}

void InputGate::open() {
    if (!closed_) return;
    closed_ = false;
    QCoreApplication::instance()->removeEventFilter(this);
    for (auto &[receiver, event] : held_) {
        if (receiver) QCoreApplication::postEvent(receiver, event.release());
    }
    held_.clear();
}

bool InputGate::eventFilter(QObject *watched, QEvent *event) {
    const auto type = event->type();
    if (!closed_ || !IsInput(type)) return QObject::eventFilter(watched, event);
    if (type == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        onEscape_();
        return true;
    }
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || !guarded_(w) || w == exempt_) return false;
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        if (!static_cast<QKeyEvent *>(event)->isAutoRepeat() || type == QEvent::KeyPress)
            held_.emplace_back(watched, std::unique_ptr<QEvent>(event->clone()));
    }
    return true;
}

}  // namespace tarnucalc::ui
