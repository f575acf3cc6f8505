#include "controller.h"

namespace tarnu {

Controller::Controller(View &view, Engine &engine, Locations locations)
    : view_(view), engine_(engine), locations_(std::move(locations)) {}

void Controller::startUp() {}
void Controller::onClose() {}
bool Controller::onExpressionKey(KeyKind) {
    return false;
}
bool Controller::onFormulaResultKey(KeyKind) {
    return false;
}
void Controller::onHistoryEnter() {}
void Controller::onKeypadKey(KeypadKey) {}
void Controller::onFunctionChosen(int) {}
void Controller::onPageButton(int) {}
void Controller::onCacheButton() {}
void Controller::onCacheUpButton() {}
void Controller::onClearExpressionButton() {}
void Controller::onClearHistoryButton() {}
void Controller::onCompactButton() {}
void Controller::onWideButton() {}
void Controller::onKeypadButton() {}
void Controller::onSaveSettingsButton() {}
void Controller::onFontButton() {}
void Controller::onCalculateFormulaButton() {}
void Controller::onOpenFormulaButton() {}
void Controller::onSaveFormulaButton() {}
void Controller::onCheckBox(int) {}
void Controller::onSkinSelected(int) {}
void Controller::onMainMoved() {}
void Controller::onKeypadMoved() {}
void Controller::onResize(int, int) {}
void Controller::calculateExpression() {}
void Controller::recalculateHistoryLine() {}
void Controller::calculateFormula() {}

const char *keypadCaption(KeypadKey) {
    return "";
}

}  // namespace tarnu
