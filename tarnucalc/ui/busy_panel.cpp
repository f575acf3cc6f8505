#include "busy_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimerEvent>

#include "fonts.h"

namespace tarnucalc::ui {

namespace {
const char kWorking[] = "正在计算";
}

BusyPanel::BusyPanel(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("计算进行中"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    label_ = new QLabel(QString::fromUtf8(kWorking), this);
    label_->setObjectName(QStringLiteral("计算进行中标签"));
    label_->setFont(UiFont(kDefaultPixels));
    cancel_ = new QPushButton(QString::fromUtf8("取消 (Esc)"), this);
    cancel_->setObjectName(QStringLiteral("取消计算按钮"));
    cancel_->setFont(UiFont(kDefaultPixels));
    cancel_->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 1, 2, 1);
    row->addWidget(label_, 1);
    row->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, &BusyPanel::cancelRequested);
    hide();
}

void BusyPanel::showEvent(QShowEvent *event) {
    dots_ = 0;
    label_->setText(QString::fromUtf8(kWorking));
    if (!timer_) timer_ = startTimer(400);
    QFrame::showEvent(event);
}

void BusyPanel::hideEvent(QHideEvent *event) {
    if (timer_) killTimer(timer_);
    timer_ = 0;
    QFrame::hideEvent(event);
}

// A few moving dots show that the program is alive, not hung.
void BusyPanel::timerEvent(QTimerEvent *event) {
    if (event->timerId() != timer_) return QFrame::timerEvent(event);
    dots_ = (dots_ + 1) % 4;
    label_->setText(QString::fromUtf8(kWorking) + QString(dots_, QChar(0x2026)));
}

}  // namespace tarnucalc::ui
