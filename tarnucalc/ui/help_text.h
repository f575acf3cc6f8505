// The fixed text of the help page.
#pragma once
#include <QString>

namespace tarnucalc::ui {

QString HelpText();

}  // namespace tarnucalc::ui
