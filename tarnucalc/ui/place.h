// Controls are placed at the pixel positions the windows were designed with, and carry
// their design names as object names so that tests and accessibility tools find them.
#pragma once
#include <QRect>
#include <QString>
#include <QWidget>

#include "fonts.h"

namespace tarnucalc::ui {

template <class W>
W *Place(QWidget *parent, const char *name, QRect rect, int fontPixels = 0, bool bold = false) {
    auto *w = new W(parent);
    w->setObjectName(QString::fromUtf8(name));
    w->setGeometry(rect);
    if (fontPixels > 0) w->setFont(UiFont(fontPixels, bold));
    return w;
}

}  // namespace tarnucalc::ui
