#include "main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "busy_panel.h"
#include "controller.h"
#include "fonts.h"
#include "help_text.h"
#include "place.h"

namespace tarnucalc::ui {

namespace {

QString U(const char *text) {
    return QString::fromUtf8(text);
}

template <class W>
W *Captioned(QWidget *parent, const char *name, const char *caption, QRect rect, int px = 0) {
    W *w = Place<W>(parent, name, rect, px);
    w->setText(U(caption));
    return w;
}

const char *const kPageCaptions[5] = {"  计算  ", "  设置  ", "  帮助  ", "  键盘  ", "公式"};

struct PageButton {
    const char *name, *caption;
    QRect rect;
};
const PageButton kPageButtons[5] = {
    {"超级按钮1", "计算", {0, 271, 60, 21}},   {"超级按钮2", "设置", {60, 271, 60, 21}},
    {"超级按钮3", "帮助", {120, 271, 60, 21}}, {"超级按钮4", "键盘", {180, 271, 60, 21}},
    {"超级按钮5", "公式", {240, 271, 64, 21}},
};

// Check boxes of the settings page: index into checks[], name, caption, position.
struct CheckSpec {
    int index;
    const char *name, *caption;
    QRect rect;
};
const CheckSpec kSettingChecks[] = {
    {1, "选择框1", "总在最前", {15, 35, 72, 24}},
    {6, "选择框6", "退出自动保存记录", {162, 35, 116, 24}},
    {5, "选择框5", "退出自动保存设置", {162, 60, 120, 24}},
    {2, "选择框2", "保留\"0\"位", {15, 119, 75, 24}},
    {7, "选择框7", "自动复制算式", {15, 144, 96, 24}},
    {3, "选择框3", "自动复制结果", {15, 171, 96, 24}},
    {8, "选择框8", "结果显示大写", {15, 196, 96, 24}},
    {9, "选择框9", "*/号转×÷号", {15, 223, 96, 24}},
    {4, "选择框4", "保存窗口位置", {15, 248, 96, 24}},
};

}  // namespace

MainWindow::MainWindow(QWidget *parent) : QWidget(parent) {
    setObjectName(U("启动窗口"));
    setWindowTitle(U("Tarnu表达式计算器V3.0"));
    setFont(UiFont(kDefaultPixels));
    setGeometry(kMainDesign.left(), kMainDesign.top(), kMainDesign.width() - kClassicFrame.width(),
                kMainDesign.height() - kClassicFrame.height());

    tabs = Place<QTabWidget>(this, "选择夹1", {0, 0, 312, 336});
    tabs->setDocumentMode(true);
    for (const char *caption : kPageCaptions) {
        auto *page = new QWidget;
        page->setAutoFillBackground(true);
        tabs->addTab(page, U(caption));
    }
    // The page buttons stand in for the tab headers.
    tabs->tabBar()->hide();
    tabs->setFocusPolicy(Qt::NoFocus);

    BuildCalcPage(tabs->widget(0));
    BuildSettingsPage(tabs->widget(1));
    BuildHelpPage(tabs->widget(2));
    BuildFormulaPage(tabs->widget(4));
    BuildPageButtons();

    busy = new BusyPanel(this);
    busy->setGeometry(0, 55, width(), 24);
}

void MainWindow::BuildPageButtons() {
    for (int i = 0; i < 5; ++i) {
        const PageButton &b = kPageButtons[i];
        pageButtons[i] = Captioned<QPushButton>(this, b.name, b.caption, b.rect);
        pageButtons[i]->setFocusPolicy(Qt::NoFocus);
        pageButtons[i]->setCheckable(true);
        pageButtons[i]->raise();
    }
    // The strip shows the page in view (and the keypad button whether the keypad is open),
    // whatever a click on a checkable button would toggle.
    for (QPushButton *b : pageButtons)
        connect(b, &QPushButton::clicked, this, &MainWindow::MarkPage);
    connect(tabs, &QTabWidget::currentChanged, this, &MainWindow::MarkPage);
    MarkPage();
}

void MainWindow::MarkPage() {
    for (int i = 0; i < 5; ++i) {
        const bool on = i == 3 ? keypadOpen : i == tabs->currentIndex();
        pageButtons[i]->setChecked(on);
        QFont font = pageButtons[i]->font();
        font.setBold(on);
        pageButtons[i]->setFont(font);
    }
}

void MainWindow::BuildCalcPage(QWidget *page) {
    // Created first so that it lies beneath the buttons it overlaps: only its arrow shows,
    // at the right end of the button row.
    functions = Place<QComboBox>(page, "组合框3", {224, 57, 81, 22}, 14);
    for (const char *f : tarnu::kFunctionEntries) functions->addItem(U(f));
    functions->setFocusPolicy(Qt::NoFocus);
    functions->setToolTip(U("插入函数"));

    expression = Place<QLineEdit>(page, "编辑框1", {0, 21, 304, 32}, 19, true);
    cacheButton = Captioned<QPushButton>(page, "按钮2", "缓存", {3, 55, 34, 24});
    cache = Place<QLineEdit>(page, "编辑框3", {39, 55, 82, 24});
    appendCacheButton = Captioned<QPushButton>(page, "按钮3", "↑", {124, 55, 21, 24});
    clearExpressionButton = Captioned<QPushButton>(page, "按钮4", "C↑", {146, 55, 30, 24});
    clearHistoryButton = Captioned<QPushButton>(page, "按钮5", "C↓", {177, 55, 30, 24});
    compactButton = Captioned<QPushButton>(page, "按钮1", "<", {208, 55, 30, 24}, 14);
    wideButton = Captioned<QPushButton>(page, "按钮6", ">", {238, 55, 30, 24});
    topMirror = Place<QCheckBox>(page, "选择框10", {269, 55, 15, 24});
    topMirror->setToolTip(U("总在最前"));
    topMirror->setAutoFillBackground(true);
    checks[10] = topMirror;
    for (QPushButton *b : {cacheButton, appendCacheButton, clearExpressionButton,
                           clearHistoryButton, compactButton, wideButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoFillBackground(true);
    }
    cacheButton->setToolTip(U("存入缓存"));
    appendCacheButton->setToolTip(U("追加缓存"));
    clearExpressionButton->setToolTip(U("清空表达式"));
    clearHistoryButton->setToolTip(U("清空记录"));
    compactButton->setToolTip(U("收起/展开"));
    wideButton->setToolTip(U("加宽/还原"));

    history = Place<QPlainTextEdit>(page, "编辑框2", {0, 81, 304, 218}, 19);
    history->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Names for screen readers where the design gives no caption.
    expression->setAccessibleName(U("表达式"));
    cache->setAccessibleName(U("缓存"));
    history->setAccessibleName(U("计算记录"));
    functions->setAccessibleName(U("插入函数"));
    topMirror->setAccessibleName(U("总在最前"));
    history->setTabChangesFocus(true);
}

void MainWindow::BuildSettingsPage(QWidget *page) {
    for (const CheckSpec &c : kSettingChecks)
        checks[c.index] = Captioned<QCheckBox>(page, c.name, c.caption, c.rect);
    skins = Place<QComboBox>(page, "组合框2", {15, 62, 49, 20});
    for (const tarnu::SkinEntry &skin : tarnu::kSkins) skins->addItem(U(skin.name));
    skins->setAccessibleName(U("皮肤"));
    Captioned<QLabel>(page, "标签1", "皮肤(需重启)", {67, 62, 71, 20});
    digits = Place<QComboBox>(page, "组合框1", {15, 91, 38, 20});
    digits->setAccessibleName(U("保留位数"));
    for (int i = 1; i <= tarnu::kDigitsEntries; ++i) digits->addItem(QString::number(i));
    Captioned<QLabel>(page, "标签2", "保留位数", {57, 91, 51, 20});
    fontButton =
        Captioned<QPushButton>(page, "字体设置按钮", "记录窗口字体设置", {163, 195, 108, 30});
    saveButton = Captioned<QPushButton>(page, "保存按钮", "保存设置", {179, 233, 72, 30});
}

void MainWindow::BuildHelpPage(QWidget *page) {
    help = Place<QPlainTextEdit>(page, "编辑框4", {2, 22, 304, 266}, 12);
    help->setPlainText(HelpText());
    help->setReadOnly(true);
    help->setAccessibleName(U("帮助"));
    help->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void MainWindow::BuildFormulaPage(QWidget *page) {
    auto *divider = Place<QFrame>(page, "分隔条1", {0, 21, 320, 1});
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    formulaCaption = Captioned<QLabel>(page, "标签5", "公式：", {4, 27, 300, 14});
    formula = Place<QPlainTextEdit>(page, "编辑框5", {0, 46, 304, 170}, 16, true);
    formula->setLineWrapMode(QPlainTextEdit::NoWrap);
    formula->setPlainText(U(tarnu::kDefaultFormulaText));
    formula->setTabChangesFocus(true);
    calcFormulaButton = Captioned<QPushButton>(page, "按钮7", "计算公式", {90, 221, 72, 32});
    openFormulaButton = Captioned<QPushButton>(page, "按钮10", "打开公式", {186, 226, 56, 25});
    saveFormulaButton = Captioned<QPushButton>(page, "按钮11", "保存公式", {245, 226, 56, 25});
    Captioned<QLabel>(page, "标签6", "计算结果：", {6, 238, 64, 14});
    formulaResult = Place<QLineEdit>(page, "编辑框6", {0, 257, 304, 32}, 19, true);
    formula->setAccessibleName(U("公式"));
    // A one-line box would otherwise cut long texts at 32767 characters without a word.
    for (QLineEdit *box : {expression, cache, formulaResult}) box->setMaxLength(1 << 24);
    formulaResult->setAccessibleName(U("计算结果"));
}

QSize MainWindow::OuterSize() const {
    return size() + kClassicFrame;
}

void MainWindow::SetOuterSize(QSize outer) {
    resize((outer - kClassicFrame).expandedTo(QSize(1, 1)));
}

void MainWindow::FitControl(QWidget *control, int w, int h) {
    const QPoint at = control->mapTo(this, QPoint(0, 0));
    w = std::max(1, std::min(w, width() - at.x()));
    h = std::max(1, std::min(h, height() - at.y()));
    control->resize(w, h);
}

void MainWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    emit moved();
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    busy->setGeometry(busy->x(), busy->y(), width(), busy->height());
    emit resized();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (closeHandler && !closeHandler()) return event->ignore();
    QWidget::closeEvent(event);
}

}  // namespace tarnucalc::ui
