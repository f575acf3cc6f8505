#include "help_text.h"

#include "help.h"

namespace tarnucalc::ui {

QString HelpText() {
    return QString::fromUtf8(tarnu::kHelpText);
}

}  // namespace tarnucalc::ui
