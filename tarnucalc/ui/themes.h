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

// Text colours are stored as the user chose them (blue input, red results, the history
// font colour); on a dark edit background they are lightened just enough to stay legible.
QColor LegibleOn(QColor colour, QColor background);

}  // namespace tarnucalc::ui
