#include "qt_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <cstdlib>

#include "busy_panel.h"
#include "colours.h"
#include "dialogs.h"
#include "engine_process.h"
#include "fonts.h"
#include "keypad_window.h"
#include "main_window.h"
#include "themes.h"

namespace tarnucalc::ui {

using tarnu::Box;

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}
std::string S(const QString &s) {
    return s.toStdString();
}

int Index(Box box) {
    return static_cast<int>(box);
}

const std::pair<Qt::Key, tarnu::KeypadKey> kKeypadTexts[] = {
    {Qt::Key_0, tarnu::KeypadKey::Digit0}, {Qt::Key_1, tarnu::KeypadKey::Digit1},
    {Qt::Key_2, tarnu::KeypadKey::Digit2}, {Qt::Key_3, tarnu::KeypadKey::Digit3},
    {Qt::Key_4, tarnu::KeypadKey::Digit4}, {Qt::Key_5, tarnu::KeypadKey::Digit5},
    {Qt::Key_6, tarnu::KeypadKey::Digit6}, {Qt::Key_7, tarnu::KeypadKey::Digit7},
    {Qt::Key_8, tarnu::KeypadKey::Digit8}, {Qt::Key_9, tarnu::KeypadKey::Digit9},
};

tarnu::KeypadKey KeypadKeyOf(const QString &text) {
    const QChar c = text.at(0);
    if (c.isDigit()) return kKeypadTexts[c.digitValue()].second;
    switch (c.toLatin1()) {
        case '.':
            return tarnu::KeypadKey::Point;
        case '(':
            return tarnu::KeypadKey::OpenBracket;
        case ')':
            return tarnu::KeypadKey::CloseBracket;
        case '+':
            return tarnu::KeypadKey::Plus;
        case '-':
            return tarnu::KeypadKey::Minus;
        case '*':
            return tarnu::KeypadKey::Times;
        default:
            return tarnu::KeypadKey::Divide;
    }
}

tarnu::KeyKind KindOf(const QKeyEvent *key) {
    const int k = key->key();
    if (k == Qt::Key_Return || k == Qt::Key_Enter) return tarnu::KeyKind::Enter;
    if (k == Qt::Key_Delete) return tarnu::KeyKind::Delete;
    if (key->modifiers() & Qt::KeypadModifier) return tarnu::KeyKind::Other;
    // Brackets share the digit keys (Shift+9, Shift+0) and start a new expression like
    // the keypad's bracket keys do; "*" (Shift+8) stays an operator that continues one.
    if ((k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_ParenLeft || k == Qt::Key_ParenRight)
        return tarnu::KeyKind::MainDigit;
    return tarnu::KeyKind::Other;
}

// Shift+Enter would put a line separator inside the line, which looks like a line break
// but is none for the history's lines, the formula's two lines or the files: it breaks
// the line like Enter does. True when it did.
bool PlainLineBreak(QPlainTextEdit *box, const QKeyEvent *key) {
    const int k = key->key();
    if ((k != Qt::Key_Return && k != Qt::Key_Enter) || !(key->modifiers() & Qt::ShiftModifier))
        return false;
    box->insertPlainText(QStringLiteral("\n"));
    box->ensureCursorVisible();
    return true;
}

// A carriage return without its line feed is no line break in the files' line form; the
// text document would make it one, so it is shown as the CR symbol and read back as CR.
constexpr char16_t kShownCr = 0x240D;

QString ForBox(const std::string &text) {
    QString t = Q(text);
    t.replace(QLatin1Char('\r'), QChar(kShownCr));
    return t;
}

// The box's text as it was given (toPlainText() would turn no-break spaces into spaces).
QString RawText(const QPlainTextEdit &box) {
    QString text = box.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar(kShownCr), QLatin1Char('\r'));
    return text;
}

}  // namespace

QtView::QtView(MainWindow &window, AbortableEngine &engine, Dialogs &dialogs, int busyDelayMs)
    : window_(window),
      dialogs_(dialogs),
      runner_(engine, busyDelayMs),
      gate_([this](const QWidget *w) { return ours(w); }, [this] { cancelCalculation(); }) {
    connect(&runner_, &EngineJobRunner::slow, this, &QtView::showBusy);
    // The page buttons form a strip along the top edge.
    for (QPushButton *b : window_.pageButtons) b->move(b->x(), 0);
    historyFont_.size = window_.history->font().pixelSize();
}

QtView::~QtView() {
    window_.closeHandler = nullptr;
}

bool QtView::ours(const QWidget *w) const {
    return w->window() == &window_ || (keypad_ && w->window() == keypad_);
}

QWidget *QtView::widget(Box box) const {
    switch (box) {
        case Box::Expression:
            return window_.expression;
        case Box::History:
            return window_.history;
        case Box::Cache:
            return window_.cache;
        case Box::FormulaEditor:
            return window_.formula;
        case Box::FormulaResult:
            return window_.formulaResult;
        case Box::KeypadMoney:
            return keypad_ ? keypad_->money : nullptr;
    }
    return nullptr;
}

// ---- edit boxes ----

std::string QtView::text(Box box) const {
    QWidget *w = widget(box);
    if (auto *line = qobject_cast<QLineEdit *>(w)) return S(line->text());
    if (auto *multi = qobject_cast<QPlainTextEdit *>(w)) return S(RawText(*multi));
    return {};
}

void QtView::setText(Box box, const std::string &text) {
    QWidget *w = widget(box);
    if (auto *line = qobject_cast<QLineEdit *>(w)) {
        line->setText(Q(text));
        line->end(false);
    } else if (auto *multi = qobject_cast<QPlainTextEdit *>(w)) {
        if (text.empty()) {
            // Emptied as an edit, so Ctrl+Z brings back a history cleared by a slip on "C↓".
            QTextCursor all(multi->document());
            all.select(QTextCursor::Document);
            all.removeSelectedText();
        } else {
            multi->setPlainText(ForBox(text));
        }
        multi->moveCursor(QTextCursor::End);
    }
}

tarnu::Colour QtView::textColour(Box box) const {
    return colours_[Index(box)].value_or(0);
}

void QtView::setTextColour(Box box, tarnu::Colour colour) {
    colours_[Index(box)] = colour;
    if (box == Box::History) historyFont_.colour = colour;
    paintColour(box);
}

void QtView::paintColour(Box box) {
    QWidget *w = widget(box);
    if (!w) return;
    QPalette p = QApplication::palette(w);  // the theme's, then the box's own colours
    const std::optional<tarnu::Colour> chosen = colours_[Index(box)];
    if (chosen) {
        const QColor themeBase = p.color(QPalette::Base);
        QColor text = FromColourRef(*chosen), base = themeBase;
        if (box == Box::History)
            base = BackgroundFor(text, themeBase);  // the user's colour, as chosen
        else
            text = LegibleOn(text, themeBase);
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(group, QPalette::Text, text);
            p.setColor(group, QPalette::Base, base);
        }
    }
    w->setPalette(p);
}

void QtView::replaceSelection(Box box, const std::string &text) {
    QWidget *w = widget(box);
    if (auto *line = qobject_cast<QLineEdit *>(w))
        line->insert(Q(text));
    else if (auto *multi = qobject_cast<QPlainTextEdit *>(w))
        multi->insertPlainText(ForBox(text));
}

void QtView::appendText(Box box, const std::string &text) {
    QWidget *w = widget(box);
    if (auto *line = qobject_cast<QLineEdit *>(w)) {
        line->end(false);
        line->insert(Q(text));
    } else if (auto *multi = qobject_cast<QPlainTextEdit *>(w)) {
        multi->moveCursor(QTextCursor::End);
        multi->insertPlainText(ForBox(text));
        multi->ensureCursorVisible();
    }
}

void QtView::focus(Box box) {
    QWidget *w = widget(box);
    if (!w) return;
    if (box != Box::KeypadMoney && !window_.isActiveWindow() && window_.isVisible())
        window_.activateWindow();
    w->setFocus(Qt::OtherFocusReason);
}

// Like a simulated key press, the key arrives after the current event has been handled,
// and goes through the box's own key handling.
void QtView::sendKey(Box box, tarnu::EditKey key) {
    QWidget *w = widget(box);
    if (!w) return;
    const int code = key == tarnu::EditKey::Backspace ? Qt::Key_Backspace : Qt::Key_Left;
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, code, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, code, Qt::NoModifier));
}

int QtView::caretLine(Box box) const {
    auto *multi = qobject_cast<QPlainTextEdit *>(widget(box));
    if (!multi) return 0;
    const QTextCursor c = multi->textCursor();
    return multi->document()->findBlock(c.selectionStart()).blockNumber();
}

// ---- history font ----

tarnu::FontChoice QtView::historyFont() const {
    return historyFont_;
}

void QtView::setHistoryFont(const tarnu::FontChoice &font) {
    historyFont_ = font;
    // A face that is not installed (宋体 on most Linux machines) is kept in the settings
    // but drawn with the CJK family, so the text stays legible.
    QString face = Q(font.face);
    if (face.isEmpty() || !QFontDatabase::hasFamily(face)) face = CjkFamily();
    // A hand-edited size beyond any screen is drawn at a bound, not handed to the font
    // engine; the stored value stays as it is.
    constexpr int kLargestPixels = 400;
    int pixels = font.size > 0 ? font.size : window_.history->font().pixelSize();
    if (pixels > kLargestPixels) pixels = kLargestPixels;
    window_.history->setFont(UiFont(pixels, false, face));
    setTextColour(Box::History, font.colour);
}

void QtView::setFormulaCaption(const std::string &text) {
    window_.formulaCaption->setText(Q(text));
}

// ---- check boxes and selectors ----

bool QtView::checked(tarnu::Check box) const {
    return tarnu::IsCheck(box) && window_.checks[static_cast<int>(box)]->isChecked();
}

void QtView::setChecked(tarnu::Check box, bool on) {
    if (!tarnu::IsCheck(box)) return;
    QCheckBox *c = window_.checks[static_cast<int>(box)];
    QSignalBlocker quiet(c);
    c->setChecked(on);
}

int QtView::digitsIndex() const {
    return window_.digits->currentIndex();
}

void QtView::setDigitsIndex(int index) {
    QSignalBlocker quiet(window_.digits);
    window_.digits->setCurrentIndex(index >= 0 && index < window_.digits->count() ? index : -1);
}

std::string QtView::digitsText() const {
    return S(window_.digits->currentText());
}

int QtView::skinIndex() const {
    return window_.skins->currentIndex();
}

void QtView::setSkinIndex(int index) {
    QSignalBlocker quiet(window_.skins);
    window_.skins->setCurrentIndex(index >= 0 && index < window_.skins->count() ? index : -1);
}

std::string QtView::skinText() const {
    return S(window_.skins->currentText());
}

int QtView::currentPage() const {
    return window_.tabs->currentIndex();
}

void QtView::showPage(int page) {
    window_.tabs->setCurrentIndex(page);
    placeBusyPanel();
}

void QtView::setClipboard(const std::string &text) {
    QGuiApplication::clipboard()->setText(Q(text));
}

// ---- dialogs ----

std::string QtView::openFileDialog(const tarnu::FileDialogOptions &options) {
    return dialogs_.openFile(window_, options);
}

std::string QtView::saveFileDialog(const tarnu::FileDialogOptions &options) {
    return dialogs_.saveFile(window_, options);
}

std::optional<tarnu::FontChoice> QtView::fontDialog(const tarnu::FontChoice &initial) {
    return dialogs_.font(window_, initial);
}

void QtView::showFatalMessage(const std::string &text) {
    dialogs_.fatal(window_, text);
}

// ---- windows ----

tarnu::Rect QtView::mainGeometry() const {
    const QSize outer = window_.OuterSize();
    return {window_.x(), window_.y(), outer.width(), outer.height()};
}

void QtView::setMainGeometry(const tarnu::Rect &rect) {
    settingGeometry_ = true;
    window_.move(rect.left, rect.top);
    window_.SetOuterSize({rect.width, rect.height});
    settingGeometry_ = false;
}

namespace {
void KeepOnTop(QWidget &w, bool on) {
    if (w.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
    const bool shown = w.isVisible();
    w.setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) w.show();  // changing window flags hides a window
}
}  // namespace

// The keypad stays above the main window, so it is kept on top together with it.
void QtView::setAlwaysOnTop(bool on) {
    KeepOnTop(window_, on);
    if (keypad_) KeepOnTop(*keypad_, on);
}

void QtView::applyLayout(const tarnu::MainLayout &l) {
    window_.FitControl(window_.expression, l.expressionWidth, window_.expression->height());
    window_.FitControl(window_.formula, l.formulaEditorWidth, window_.formula->height());
    window_.FitControl(window_.formulaResult, l.formulaResultWidth,
                       window_.formulaResult->height());
    // The tab control may reach past the window like the designed one does.
    window_.tabs->resize(std::max(1, l.tab.width), std::max(1, l.tab.height));
    window_.FitControl(window_.history, l.history.width, l.history.height);
    window_.FitControl(window_.help, l.help.width, l.help.height);
}

tarnu::Size QtView::screenSize() const {
    const QScreen *screen = window_.screen() ? window_.screen() : QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->geometry().width(), screen->geometry().height()};
}

bool QtView::keypadExists() const {
    return !keypad_.isNull();
}

void QtView::createKeypad() {
    if (keypad_) return;
    keypad_ = new KeypadWindow(&window_);
    KeepOnTop(*keypad_, window_.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Its own close box destroys it too.
    connect(keypad_, &QObject::destroyed, this, [this] {
        window_.keypadOpen = false;
        window_.MarkPage();
    });
    window_.keypadOpen = true;
    window_.MarkPage();
    connectKeypad();
    paintColour(Box::KeypadMoney);
    if (window_.isVisible()) keypad_->show();
}

void QtView::destroyKeypad() {
    if (!keypad_) return;
    KeypadWindow *k = keypad_;
    keypad_ = nullptr;
    k->disconnect(this);
    delete k;
    window_.keypadOpen = false;
    window_.MarkPage();
}

// Window sizes are counted with the classic frame, but a real window manager draws its
// own, usually thinner one (none at all offscreen). The keypad's left edge is shifted by
// the difference, so that a keypad docked at the main window's designed right edge sits
// flush against its real one.
int QtView::frameShift() const {
    const int realFrame = window_.frameGeometry().width() - window_.width();
    return kClassicFrame.width() - std::max(0, realFrame);
}

tarnu::Rect QtView::keypadGeometry() const {
    if (!keypad_) return {};
    const QSize outer = keypad_->size() + kClassicFrame;
    return {keypad_->x() + frameShift(), keypad_->y(), outer.width(), outer.height()};
}

void QtView::setKeypadGeometry(const tarnu::Rect &rect) {
    if (!keypad_) return;
    settingGeometry_ = true;
    keypad_->placeFrameAt({rect.left - frameShift(), rect.top});
    keypad_->resize(QSize(rect.width, rect.height) - kClassicFrame);
    settingGeometry_ = false;
}

void QtView::applySkin(const std::string &skinFile) {
    ApplyTheme(*qApp, ThemeFromFile(Q(skinFile)));
    for (int b = 0; b < static_cast<int>(colours_.size()); ++b) paintColour(static_cast<Box>(b));
}

// ---- wiring ----

void QtView::attach(tarnu::Controller &controller) {
    controller_ = &controller;
    connectControls();
}

void QtView::forward(const std::function<void(tarnu::Controller &)> &event) {
    if (!controller_ || runner_.running()) return;
    event(*controller_);
}

void QtView::connectControls() {
    MainWindow &w = window_;
    using C = tarnu::Controller;
    auto on = [this](auto *sender, auto signal, void (C::*method)()) {
        connect(sender, signal, this,
                [this, method] { forward([method](C &c) { (c.*method)(); }); });
    };
    for (int i = 0; i < 5; ++i) {
        connect(w.pageButtons[i], &QPushButton::clicked, this,
                [this, i] { forward([i](C &c) { c.onPageButton(i); }); });
    }
    on(w.cacheButton, &QPushButton::clicked, &C::onCacheButton);
    on(w.appendCacheButton, &QPushButton::clicked, &C::onCacheUpButton);
    on(w.clearExpressionButton, &QPushButton::clicked, &C::onClearExpressionButton);
    on(w.clearHistoryButton, &QPushButton::clicked, &C::onClearHistoryButton);
    on(w.compactButton, &QPushButton::clicked, &C::onCompactButton);
    on(w.wideButton, &QPushButton::clicked, &C::onWideButton);
    on(w.saveButton, &QPushButton::clicked, &C::onSaveSettingsButton);
    on(w.fontButton, &QPushButton::clicked, &C::onFontButton);
    on(w.calcFormulaButton, &QPushButton::clicked, &C::onCalculateFormulaButton);
    on(w.openFormulaButton, &QPushButton::clicked, &C::onOpenFormulaButton);
    on(w.saveFormulaButton, &QPushButton::clicked, &C::onSaveFormulaButton);
    for (int n = 1; n <= tarnu::kCheckCount; ++n) {
        const auto box = static_cast<tarnu::Check>(n);
        connect(w.checks[n], &QCheckBox::clicked, this,
                [this, box] { forward([box](C &c) { c.onCheckBox(box); }); });
    }
    connect(w.skins, &QComboBox::activated, this,
            [this](int i) { forward([i](C &c) { c.onSkinSelected(i); }); });
    connect(w.functions, &QComboBox::activated, this,
            [this](int i) { forward([i](C &c) { c.onFunctionChosen(i); }); });
    connect(&w, &MainWindow::moved, this, [this] {
        if (settingGeometry_) return;
        if (runner_.running())
            movePending_ = true;
        else
            forward([](C &c) { c.onMainMoved(); });
    });
    connect(&w, &MainWindow::resized, this, [this] {
        placeBusyPanel();
        if (runner_.running()) resizePending_ = true;
        const QSize outer = window_.OuterSize();
        forward([outer](C &c) { c.onResize(outer.width(), outer.height()); });
    });
    w.closeHandler = [this] { return closeRequested(); };
    connect(w.busy, &BusyPanel::cancelRequested, this, &QtView::cancelCalculation);
    for (QWidget *box :
         {static_cast<QWidget *>(w.expression), static_cast<QWidget *>(w.history),
          static_cast<QWidget *>(w.formulaResult), static_cast<QWidget *>(w.formula)})
        box->installEventFilter(this);
}

void QtView::connectKeypad() {
    using C = tarnu::Controller;
    KeypadWindow *k = keypad_;
    connect(k, &KeypadWindow::textKey, this, [this](const QString &t) {
        const tarnu::KeypadKey key = KeypadKeyOf(t);
        forward([key](C &c) { c.onKeypadKey(key); });
    });
    connect(k, &KeypadWindow::backspaceKey, this,
            [this] { forward([](C &c) { c.onKeypadKey(tarnu::KeypadKey::Backspace); }); });
    connect(k, &KeypadWindow::equalsKey, this,
            [this] { forward([](C &c) { c.onKeypadKey(tarnu::KeypadKey::Equals); }); });
    connect(k, &KeypadWindow::moved, this, [this] {
        if (settingGeometry_) return;
        if (runner_.running())
            keypadMovePending_ = true;
        else
            forward([](C &c) { c.onKeypadMoved(); });
    });
}

bool QtView::closeRequested() {
    if (runner_.running() && !runner_.canCancel()) {
        // An engine in this process cannot be stopped and may never return: save what the
        // user asked to keep (no engine involved) and leave without waiting for it.
        if (controller_) controller_->onClose();
        std::_Exit(0);
    }
    if (runner_.running()) {
        // Closing waits for the cancelled cycle to end; the controller is inside it.
        closePending_ = true;
        cancelCalculation();
        return false;
    }
    if (controller_) controller_->onClose();
    return true;
}

// ---- keys ----

bool QtView::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress && !runner_.running())
        return boxKey(watched, static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

bool QtView::boxKey(QObject *watched, QKeyEvent *key) {
    if (!controller_) return false;
    const tarnu::KeyKind kind = KindOf(key);
    if (watched == window_.expression) return controller_->onExpressionKey(kind);
    if (watched == window_.formulaResult) return controller_->onFormulaResultKey(kind);
    if (watched == window_.history && kind == tarnu::KeyKind::Enter) {
        jobCancelled_ = false;
        controller_->onHistoryEnter();
        // A cancelled recalculation leaves the line as it was, without the line break.
        return jobCancelled_ || PlainLineBreak(window_.history, key);
    }
    if (watched == window_.formula) return PlainLineBreak(window_.formula, key);
    return false;
}

void QtView::placeBusyPanel() {
    BusyPanel *b = window_.busy;
    if (window_.tabs->currentIndex() == 4)
        b->setGeometry(0, 221, window_.width(), 32);
    else
        b->setGeometry(0, 55, window_.width(), 24);
    b->raise();
}

void QtView::showBusy() {
    placeBusyPanel();
    window_.busy->show();
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

bool QtView::runEngineJob(const std::function<void()> &job) {
    gate_.close(window_.busy->cancelButton());
    // The window is back to normal before the controller shows the result (or before an
    // exception from the job leaves).
    struct Reopen {
        QtView &v;
        ~Reopen() {
            if (v.window_.busy->isVisible()) {
                v.window_.busy->hide();
                QApplication::restoreOverrideCursor();
            }
            v.gate_.open();
            QTimer::singleShot(0, &v, [&v = v] { v.afterJob(); });
        }
    } reopen{*this};
    const bool done = runner_.run(job);
    jobCancelled_ = !done;
    return done;
}

// What waited for the cycle: the user's moves and resizes, and a close.
void QtView::afterJob() {
    if (runner_.running()) return;
    if (std::exchange(resizePending_, false)) {
        const QSize outer = window_.OuterSize();
        forward([outer](tarnu::Controller &c) { c.onResize(outer.width(), outer.height()); });
    }
    if (std::exchange(movePending_, false)) forward([](tarnu::Controller &c) { c.onMainMoved(); });
    if (std::exchange(keypadMovePending_, false) && keypad_)
        forward([](tarnu::Controller &c) { c.onKeypadMoved(); });
    if (std::exchange(closePending_, false)) window_.close();
}

}  // namespace tarnucalc::ui
