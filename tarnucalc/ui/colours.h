// Colours are kept as the settings store them, in the Windows 0x00BBGGRR layout.
#pragma once
#include <QColor>

#include "view.h"

namespace tarnucalc::ui {

inline QColor FromColourRef(tarnu::Colour c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

inline tarnu::Colour ToColourRef(const QColor &c) {
    return static_cast<tarnu::Colour>(c.red()) | static_cast<tarnu::Colour>(c.green()) << 8 |
           static_cast<tarnu::Colour>(c.blue()) << 16;
}

}  // namespace tarnucalc::ui
