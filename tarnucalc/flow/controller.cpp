#include "controller.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "files.h"
#include "format.h"

namespace tarnu {

namespace {

constexpr const char *kFormulaCaption = "公式：";
constexpr const char *kOpenFilter = "文本文件(*.txt)|*.txt";
constexpr const char *kSaveFilter = "文本文件|*.txt";
constexpr const char *kUnreadableFormula = "无法读取公式文件";
constexpr const char *kUnwritableFormula = "无法保存公式文件";

// Lines of a box text; a final empty piece after the last break is not a line.
std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

// Margins of the history and help boxes by skin: the skins draw frames of their own.
struct Margins {
    int a, b, c;
};
constexpr Margins kMargins[] = {{5, 112, 55}, {2, 108, 50}, {13, 114, 58}, {9, 114, 55},
                                {9, 110, 50}, {9, 114, 55}, {9, 114, 55},  {6, 107, 50}};

const char *const kKeypadCaptions[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                       ".", "(", ")", "+", "-", "×", "/", "←", "="};
const char *const kKeypadInserts[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                      ".", "(", ")", "+", "-", "*", "/", "",  ""};

}  // namespace

const char *keypadCaption(KeypadKey key) {
    return kKeypadCaptions[static_cast<int>(key)];
}

Controller::Controller(View &view, Engine &engine, Locations locations)
    : view_(view),
      engine_(engine),
      locations_(std::move(locations)),
      exit_([](int code) { std::exit(code); }) {}

// ---- start-up and shutdown ----

void Controller::startUp() {
    applySettings();
    view_.applySkin(skinFile_);
    view_.focus(Box::Expression);
    loadHistory();
    view_.setTextColour(Box::Cache, InputColour);
    bool onTop = view_.checked(Check::OnTop);
    view_.setAlwaysOnTop(onTop);
    view_.setChecked(Check::OnTopMirror, onTop);
    if (keypadShown_) openKeypad();
    Rect g = view_.mainGeometry();
    fullHeight_ = g.height;
    fullWidth_ = g.width;
}

void Controller::applySettings() {
    ProfileFile ini(locations_.settingsFile);
    Settings s = loadSettings(ini);
    view_.setDigitsIndex(s.digitsIndex >= 0 && s.digitsIndex < kDigitsEntries ? s.digitsIndex : 0);
    view_.setChecked(Check::KeepZeros, s.keepZeros);
    view_.setChecked(Check::OnTop, s.alwaysOnTop);
    view_.setChecked(Check::CopyResult, s.copyResult);
    view_.setChecked(Check::CopyExpression, s.copyExpression);
    view_.setChecked(Check::MoneyText, s.moneyText);
    view_.setChecked(Check::ConvertOperators, s.convertOperators);
    view_.setChecked(Check::SavePosition, s.savePosition);
    Size screen = view_.screenSize();
    if (s.left > 0 && s.top > 0 && s.left < screen.width && s.top < screen.height) {
        Rect g = view_.mainGeometry();
        view_.setMainGeometry({s.left, s.top, g.width, g.height});
    }
    view_.setChecked(Check::AutoSaveSettings, s.saveSettingsOnExit);
    view_.setChecked(Check::AutoSaveHistory, s.saveHistoryOnExit);
    view_.setHistoryFont({s.fontFace, s.fontSize, s.fontColour});
    keypadShown_ = s.keypadShown == 1;
    int skins = static_cast<int>(kSkins.size());
    view_.setSkinIndex(s.skinIndex >= 0 && s.skinIndex < skins ? s.skinIndex : 0);
    skinFile_ = s.skinFile;
    reopenFormula();
}

Settings Controller::gatherSettings() const {
    Settings s;
    s.digitsIndex = view_.digitsIndex();
    s.keepZeros = view_.checked(Check::KeepZeros);
    s.alwaysOnTop = view_.checked(Check::OnTop);
    s.copyResult = view_.checked(Check::CopyResult);
    s.copyExpression = view_.checked(Check::CopyExpression);
    s.moneyText = view_.checked(Check::MoneyText);
    s.convertOperators = view_.checked(Check::ConvertOperators);
    s.savePosition = view_.checked(Check::SavePosition);
    Rect g = view_.mainGeometry();
    s.left = g.left;
    s.top = g.top;
    s.saveSettingsOnExit = view_.checked(Check::AutoSaveSettings);
    s.saveHistoryOnExit = view_.checked(Check::AutoSaveHistory);
    FontChoice font = view_.historyFont();
    s.fontSize = font.size;
    s.fontFace = font.face;
    s.fontColour = font.colour;
    s.keypadShown = keypadShown_ ? 1 : 0;
    s.skinIndex = view_.skinIndex();
    return s;
}

void Controller::loadHistory() {
    TextFile file = readTextFile(locations_.historyFile);
    historyUnreadable_ = file.status == ReadStatus::Unreadable;
    historyPartial_ =
        file.status == ReadStatus::Ok && encodeFileText(file.text, file.encoding) != file.raw;
    historyEncoding_ = file.encoding;
    historyLoaded_ = toBoxLines(file.text);
    view_.setText(Box::History, historyLoaded_);
}

void Controller::saveHistory() {
    std::string text = view_.text(Box::History);
    // Unchanged: the file already holds exactly this. Unreadable: writing would replace
    // a history nobody has seen with this session's.
    if (historyUnreadable_ || text == historyLoaded_) return;
    if (historyPartial_) {
        std::string old;
        if (readFileBytes(locations_.historyFile, old) != ReadStatus::Ok ||
            !replaceFile(locations_.historyFile + ".bak", old))
            return;
        historyPartial_ = false;
    }
    if (writeTextFile(locations_.historyFile, toFileLines(text), historyEncoding_))
        historyLoaded_ = text;
}

void Controller::onClose() {
    if (view_.checked(Check::AutoSaveSettings)) onSaveSettingsButton();
    if (view_.checked(Check::AutoSaveHistory)) saveHistory();
    if (view_.keypadExists()) view_.destroyKeypad();
}

void Controller::onSaveSettingsButton() {
    ProfileFile ini(locations_.settingsFile);
    saveSettings(ini, gatherSettings());
}

// ---- calculations ----

bool Controller::runCycle(const std::function<EngineResult()> &cycle, EngineResult &out) {
    std::string fatal;
    bool done = view_.runEngineJob([&] {
        try {
            out = cycle();
        } catch (const BindingError &e) {
            fatal = e.what();
        }
    });
    if (!fatal.empty()) {
        view_.showFatalMessage(fatal);
        exit_(1);
        return false;
    }
    return done;
}

void Controller::reportCompileError(const std::string &text, const EngineResult &r) {
    if (compileError_) compileError_(text, r);
}

std::string Controller::presentResult(double value) const {
    double digits = std::trunc(TextToNumber(view_.digitsText()));
    int d = std::isfinite(digits) && std::fabs(digits) < 1000 ? static_cast<int>(digits) : 0;
    if (view_.checked(Check::KeepZeros)) return FixedDecimals(value, d);
    return NumberToText(RoundHalfUp(value, d));
}

bool Controller::showsResult(Box box) const {
    return view_.text(box) == lastResult_ && view_.textColour(box) == ResultColour;
}

void Controller::copyResult(const std::string &expressionText) {
    if (view_.checked(Check::CopyResult)) view_.setClipboard(lastResult_);
    if (view_.checked(Check::CopyExpression)) view_.setClipboard(expressionText);
}

void Controller::updateMoneyBox() {
    if (!view_.keypadExists() || !view_.checked(Check::MoneyText)) return;
    view_.setText(Box::KeypadMoney, MoneyText(TextToNumber(view_.text(Box::Expression))));
}

// The expression box shows the new result; the history and the clipboard record it.
void Controller::showResult(const std::string &historyText, const std::string &copyText) {
    if (!historyText.empty()) {
        // A record starts a line of its own, also after text typed at the end of the box:
        // "7*8" followed by "1+2=3" would read as 7*81+2=3.
        const std::string box = view_.text(Box::History);
        const bool open = !box.empty() && box.back() != '\n';
        view_.appendText(Box::History, (open ? "\n" : "") + historyText);
    }
    view_.setText(Box::Expression, lastResult_);
    view_.setTextColour(Box::Expression, ResultColour);
    copyResult(copyText);
    updateMoneyBox();
}

void Controller::calculateExpression() {
    lastRecord_.clear();
    if (showsResult(Box::Expression)) {
        view_.setText(Box::Expression, "");
        return;
    }
    std::string expr = view_.text(Box::Expression);
    if (expr.empty()) return;
    EngineResult r;
    if (!runCycle([&] { return evaluateExpression(engine_, expr); }, r)) return;
    if (!r.ok) return reportCompileError(expr, r);
    lastResult_ = presentResult(ThroughText(r.value));
    if (view_.checked(Check::ConvertOperators)) expr = ConvertOperators(expr);
    lastRecord_ = expr + "=" + lastResult_;
    showResult(lastRecord_ + "\n", lastRecord_);
}

void Controller::recalculateHistoryLine() {
    lastRecord_.clear();
    std::vector<std::string> lines = splitLines(view_.text(Box::History));
    int n = view_.caretLine(Box::History);
    if (n < 0 || n >= static_cast<int>(lines.size())) return;
    const std::string line = lines[static_cast<size_t>(n)];
    if (line.empty()) return;
    EngineResult r;
    if (!runCycle([&] { return evaluateExpression(engine_, line); }, r)) return;
    if (!r.ok) return reportCompileError(line, r);
    double v = ThroughText(r.value);
    // A leftover of rounding noise such as 1e-9 is not worth a result.
    if (v != 0 && std::fabs(v) <= 1e-7) return;
    lastResult_ = presentResult(v);
    view_.replaceSelection(Box::History, "=" + lastResult_);
    lastRecord_ = line + "=" + lastResult_;
    showResult("", lastRecord_);
}

void Controller::calculateFormula() {
    lastRecord_.clear();
    std::string text = view_.text(Box::FormulaEditor);
    std::vector<std::string> lines = splitLines(text);
    EngineResult r;
    if (lines.size() < 2) {
        view_.setText(Box::FormulaResult, kFormulaError);
        return;
    }
    if (!runCycle([&] { return evaluateFormula(engine_, lines[0], lines[1]); }, r)) return;
    if (!r.ok) {
        view_.setText(Box::FormulaResult, kFormulaError);
        reportCompileError(lines[static_cast<size_t>(r.failedLine == 2 ? 1 : 0)], r);
        return;
    }
    lastResult_ = presentResult(r.value);
    view_.setText(Box::FormulaResult, lastResult_);
    view_.focus(Box::FormulaResult);
    if (view_.checked(Check::ConvertOperators)) text = ConvertOperators(text);
    lastRecord_ = lines[0] + "\n" + lines[1] + "=" + lastResult_;
    showResult(lastRecord_ + "\n\n", text + "\n=" + lastResult_);
}

// ---- keys ----

bool Controller::handleResultBoxKey(Box box, KeyKind key) {
    switch (key) {
        case KeyKind::MainDigit:
            if (showsResult(box)) view_.setText(box, "");
            view_.setTextColour(box, InputColour);
            return false;
        case KeyKind::Delete:
            view_.setText(box, "");
            view_.setTextColour(box, InputColour);
            return false;
        case KeyKind::Other:
            view_.setTextColour(box, InputColour);
            return false;
        case KeyKind::Enter:
            return true;
    }
    return false;
}

bool Controller::onExpressionKey(KeyKind key) {
    if (key == KeyKind::Enter) calculateExpression();
    return handleResultBoxKey(Box::Expression, key);
}

bool Controller::onFormulaResultKey(KeyKind key) {
    if (key == KeyKind::Enter) {
        view_.setText(Box::Expression, view_.text(Box::FormulaResult));
        calculateExpression();
        view_.setText(Box::FormulaResult, lastResult_);
    }
    return handleResultBoxKey(Box::FormulaResult, key);
}

void Controller::onHistoryEnter() {
    recalculateHistoryLine();
}

void Controller::onKeypadKey(KeypadKey key) {
    Box target = view_.currentPage() == 4 ? Box::FormulaEditor : Box::Expression;
    switch (key) {
        case KeypadKey::Equals:
            if (!view_.text(Box::Expression).empty()) calculateExpression();
            return;
        case KeypadKey::Backspace:
            view_.focus(target);
            view_.sendKey(target, EditKey::Backspace);
            return;
        case KeypadKey::Plus:
        case KeypadKey::Minus:
        case KeypadKey::Times:
        case KeypadKey::Divide:
            // An operator continues a shown result.
            if (target == Box::Expression) view_.setTextColour(target, InputColour);
            break;
        default:
            if (target == Box::Expression && showsResult(target)) {
                view_.setText(target, "");
                view_.setTextColour(target, InputColour);
            }
            break;
    }
    view_.replaceSelection(target, kKeypadInserts[static_cast<int>(key)]);
}

void Controller::onFunctionChosen(int index) {
    if (index < 0 || index >= static_cast<int>(kFunctionEntries.size())) return;
    view_.replaceSelection(Box::Expression, kFunctionEntries[static_cast<size_t>(index)]);
    view_.setTextColour(Box::Expression, InputColour);
    view_.focus(Box::Expression);
    // Put the caret between the brackets of "sin()" and its kind.
    if (index <= 6) view_.sendKey(Box::Expression, EditKey::Left);
}

// ---- buttons ----

void Controller::onPageButton(int page) {
    switch (page) {
        case 0:
            view_.showPage(0);
            view_.focus(Box::Expression);
            break;
        case 1:
        case 2:
            view_.showPage(page);
            break;
        case 3:
            onKeypadButton();
            break;
        case 4:
            view_.showPage(4);
            view_.focus(Box::FormulaResult);
            break;
        default:
            break;
    }
}

void Controller::onCacheButton() {
    view_.setText(Box::Cache, view_.text(Box::Expression));
    view_.focus(Box::Expression);
}

void Controller::onCacheUpButton() {
    if (showsResult(Box::Expression)) {
        view_.setText(Box::Expression, "");
        view_.setTextColour(Box::Expression, InputColour);
    }
    view_.appendText(Box::Expression, view_.text(Box::Cache));
    view_.focus(Box::Expression);
}

void Controller::onClearExpressionButton() {
    view_.setText(Box::Expression, "");
    view_.focus(Box::Expression);
}

void Controller::onClearHistoryButton() {
    view_.setText(Box::History, "");
    view_.focus(Box::Expression);
}

void Controller::onCompactButton() {
    std::string skin = view_.skinText();
    double f = skin == "蓝" || skin == "浅黑" || skin == "白" ? 0.34 : 0.355;
    Rect g = view_.mainGeometry();
    g.height = g.height <= 300 ? fullHeight_ : static_cast<int>(fullHeight_ * f);
    view_.setMainGeometry(g);
    view_.focus(Box::Expression);
}

void Controller::onWideButton() {
    Rect g = view_.mainGeometry();
    g.width = g.width >= 500 ? fullWidth_ : 500;
    view_.setMainGeometry(g);
    view_.focus(Box::Expression);
}

void Controller::onKeypadButton() {
    if (view_.keypadExists()) {
        view_.destroyKeypad();
        keypadShown_ = false;
        view_.focus(Box::Expression);
        return;
    }
    openKeypad();
}

void Controller::onFontButton() {
    ProfileFile ini(locations_.settingsFile);
    Settings s = loadSettings(ini);
    auto choice = view_.fontDialog({s.fontFace, s.fontSize, s.fontColour});
    if (!choice) return;
    view_.setHistoryFont(*choice);
    FontChoice font = view_.historyFont();
    saveFontKeys(ini, font.face, font.size, font.colour);
}

void Controller::onCalculateFormulaButton() {
    calculateFormula();
}

// ---- formula files ----

void Controller::showFormulaFile(const std::string &path) {
    ProfileFile ini(locations_.settingsFile);
    saveFormulaPath(ini, path);
    view_.setFormulaCaption(std::string(kFormulaCaption) + fileNamePart(path));
}

void Controller::reopenFormula() {
    std::string path = loadSettings(ProfileFile(locations_.settingsFile)).formulaPath;
    TextFile file;
    if (!path.empty() && fileExists(path)) file = readTextFile(path);
    if (file.status != ReadStatus::Ok) {
        view_.setFormulaCaption(kFormulaCaption);
        return;
    }
    view_.setText(Box::FormulaEditor, toBoxLines(file.text));
    view_.setFormulaCaption(std::string(kFormulaCaption) + fileNamePart(path));
}

void Controller::onOpenFormulaButton() {
    // The dialogs open inside the formula folder, which exists from its first use on.
    makeDirectories(locations_.formulaDir);
    std::string path = view_.openFileDialog({locations_.formulaDir, kOpenFilter, ""});
    if (path.empty()) return;
    TextFile file = readTextFile(path);
    // An unreadable file must not cost the user the text in the editor.
    if (file.status != ReadStatus::Ok) {
        view_.setText(Box::FormulaResult, kUnreadableFormula);
        return;
    }
    view_.setText(Box::FormulaEditor, toBoxLines(file.text));
    showFormulaFile(path);
}

void Controller::onSaveFormulaButton() {
    makeDirectories(locations_.formulaDir);
    std::string path = view_.saveFileDialog({locations_.formulaDir, kSaveFilter, ".txt"});
    if (path.empty()) return;
    // A file that is replaced keeps its encoding, so the editor that wrote it still reads it.
    TextFile existing = readTextFile(path);
    FileEncoding encoding =
        existing.status == ReadStatus::Ok ? existing.encoding : FileEncoding::Gb18030;
    if (!writeTextFile(path, toFileLines(view_.text(Box::FormulaEditor)), encoding)) {
        view_.setText(Box::FormulaResult, kUnwritableFormula);
        return;
    }
    showFormulaFile(path);
}

// ---- check boxes and selectors ----

void Controller::onCheckBox(Check number) {
    if (!IsCheck(number)) return;
    bool on = view_.checked(number);
    switch (number) {
        case Check::OnTop:
        case Check::OnTopMirror:
            view_.setAlwaysOnTop(on);
            view_.setChecked(number == Check::OnTop ? Check::OnTopMirror : Check::OnTop, on);
            view_.focus(Box::Expression);
            break;
        case Check::CopyResult:
        case Check::CopyExpression:
            if (!on) break;
            view_.setChecked(
                number == Check::CopyResult ? Check::CopyExpression : Check::CopyResult, false);
            // Nothing calculated yet: leave the user's clipboard alone.
            if (!lastResult_.empty()) view_.setClipboard(lastResult_);
            break;
        default:
            break;
    }
}

void Controller::onSkinSelected(int index) {
    if (index < 0 || index >= static_cast<int>(kSkins.size())) return;
    ProfileFile ini(locations_.settingsFile);
    saveSkinKeys(ini, index, kSkins[static_cast<size_t>(index)].file);
}

// ---- geometry ----

void Controller::onResize(int width, int height) {
    int skin = view_.skinIndex();
    const Margins &m = kMargins[skin >= 0 && skin < 8 ? skin : 0];
    MainLayout layout;
    layout.expressionWidth = layout.formulaEditorWidth = layout.formulaResultWidth = width;
    layout.tab = {width, height};
    layout.history = {width - m.a, height - m.b};
    layout.help = {width - m.a, height - m.c};
    view_.applyLayout(layout);
}

void Controller::openKeypad() {
    view_.createKeypad();
    Rect main = view_.mainGeometry();
    Rect k = view_.keypadGeometry();
    view_.setKeypadGeometry({main.left + main.width + 1, main.top, k.width, k.height});
    keypadShown_ = true;
    // The move of a new window is a move like any other: it snaps.
    snapKeypad(true);
}

void Controller::snapKeypad(bool keypadMoved) {
    if (!view_.keypadExists()) return;
    Rect main = view_.mainGeometry();
    int right = main.left + main.width;
    Rect k = view_.keypadGeometry();
    if (std::abs(k.left - right) - 15 > 1e-7) {
        keypadDocked_ = false;
    } else {
        view_.setKeypadGeometry({right, main.top, k.width, k.height});
        keypadDocked_ = true;
    }
    if (keypadMoved && std::abs(view_.keypadGeometry().left - right) - 5 > 1e-7)
        keypadDocked_ = false;
}

void Controller::onMainMoved() {
    if (!view_.keypadExists()) return;
    if (keypadDocked_) {
        Rect main = view_.mainGeometry();
        Rect k = view_.keypadGeometry();
        view_.setKeypadGeometry({main.left + main.width + 1, main.top, k.width, k.height});
    }
    snapKeypad(false);
}

void Controller::onKeypadMoved() {
    snapKeypad(true);
}

}  // namespace tarnu
