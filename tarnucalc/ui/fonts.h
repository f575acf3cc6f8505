// Fonts of the calculator's windows. The windows were drawn for 宋体 with pixel heights;
// where 宋体 is missing (most Linux machines) another CJK family takes its place so that
// Chinese captions render at the same metrics instead of as boxes.
#pragma once
#include <QFont>
#include <QString>

namespace tarnucalc::ui {

// The family used for every control: 宋体 (or its Latin alias) when installed, otherwise
// the first installed CJK family from a list of common ones, otherwise any family that
// covers Simplified Chinese, otherwise the application default.
QString CjkFamily();

// A font of `family` (CjkFamily() when empty) with a character height of `pixels`.
QFont UiFont(int pixels, bool bold = false, const QString &family = QString());

// Character height of controls that name no font of their own.
inline constexpr int kDefaultPixels = 12;

}  // namespace tarnucalc::ui
