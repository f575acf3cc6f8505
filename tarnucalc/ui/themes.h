// The eight looks behind the skin selector. Each entry of the selector once named a skin
// file for an outside skin library; here each names one of our own themes instead, so the
// stored settings keep their meaning while the program needs no outside library.
#pragma once
#include <QColor>
#include <QString>

class QApplication;

namespace tarnucalc::ui {

inline constexpr int kThemeCount = 8;

// Selector entry texts, index 0 to 7: 无 蓝 银 深黑 浅黑 蓝黑 深蓝 白.
QString ThemeEntry(int index);

// The theme a stored skin file name stands for; empty or unknown names give 0 (the
// platform style).
int ThemeFromFile(const QString &file);

// Restyles the whole application; index 0 leaves the platform style untouched.
void ApplyTheme(QApplication &app, int index);

// The theme applied last (0 before any).
int CurrentTheme();

// Every text must stand out from its background by this contrast ratio (the WCAG AA rule
// for normal text).
inline constexpr double kLegibleContrast = 4.5;
double ContrastRatio(QColor a, QColor b);

// The program's own text colours (blue input, red results) keep their hue and are made
// lighter on a dark background, darker on a light one, just enough to stay legible.
QColor LegibleOn(QColor colour, QColor background);

// The user's own text colour is shown as chosen: where the theme's background would hide
// it, the box takes white or black instead, whichever shows the colour better.
QColor BackgroundFor(QColor text, QColor themeBackground);

}  // namespace tarnucalc::ui
