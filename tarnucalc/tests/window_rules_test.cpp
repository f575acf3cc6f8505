// Start-up, shutdown, settings and history files, keypad, buttons and geometry rules.
#include <algorithm>

#include "calc_fixture.h"
#include "files.h"
#include "settings.h"

namespace {

const std::string kHistoryGb = "1+2=3\r\n\xD6\xD0\r\n";  // "1+2=3", "中"

}  // namespace

TEST_F(Calc, FreshStartWithoutFiles) {
    start();
    EXPECT_EQ(view.digitsIndex(), 0);
    for (int n = 1; n <= tarnu::kCheckCount; ++n) EXPECT_FALSE(view.checked(tarnu::Check(n))) << n;
    EXPECT_FALSE(view.keypadExists());
    EXPECT_EQ(view.main, (Rect{50, 50, 312, 330}));
    EXPECT_EQ(view.appliedSkin, "");
    EXPECT_EQ(history(), "");
    EXPECT_EQ(view.caption, "公式：");
    EXPECT_EQ(view.text(Box::FormulaEditor), kDefaultFormulaText);
    EXPECT_EQ(view.textColour(Box::Cache), InputColour);
    EXPECT_EQ(view.focused, Box::Expression);
    EXPECT_EQ(controller.fullSize(), (Size{312, 330}));
    // Closing with nothing asked for writes nothing.
    controller.onClose();
    EXPECT_FALSE(fileExists(dir.file("配置.ini")));
    EXPECT_FALSE(fileExists(dir.file("计算记录.txt")));
}

TEST_F(Calc, SettingsSurviveARestart) {
    start();
    view.setDigitsIndex(2);
    for (int n : {1, 2, 4, 5, 6, 8, 9}) view.setChecked(tarnu::Check(n), true);
    view.main = {200, 150, 312, 330};
    view.font = {"宋体", 14, 0x0000FF};
    controller.onKeypadButton();
    view.setSkinIndex(3);
    controller.onClose();
    EXPECT_FALSE(view.keypadExists());

    MemoryView next;
    Controller again(next, engine, locations());
    again.startUp();
    EXPECT_EQ(next.digitsIndex(), 2);
    for (int n : {1, 2, 4, 5, 6, 8, 9}) EXPECT_TRUE(next.checked(tarnu::Check(n))) << n;
    EXPECT_FALSE(next.checked(tarnu::Check::CopyResult) ||
                 next.checked(tarnu::Check::CopyExpression));
    EXPECT_TRUE(next.checked(tarnu::Check::OnTopMirror));  // mirrors 总在最前
    EXPECT_TRUE(next.onTop);
    EXPECT_EQ(next.main.left, 200);
    EXPECT_EQ(next.main.top, 150);
    EXPECT_EQ(next.font, (FontChoice{"宋体", 14, 0x0000FF}));
    EXPECT_TRUE(next.keypadExists());
    EXPECT_EQ(next.skinIndex(), 3);
}

TEST_F(Calc, StoredPositionOutsideTheScreenIsIgnored) {
    ProfileFile ini(dir.file("配置.ini"));
    for (auto [left, top] : {std::pair{0, 100}, {100, -5}, {5000, 100}, {100, 2000}}) {
        ini.set({{"保存窗口位置", "窗口左边", std::to_string(left)},
                 {"保存窗口位置", "窗口顶边", std::to_string(top)}});
        MemoryView v;
        Controller c(v, engine, locations());
        c.startUp();
        EXPECT_EQ(v.main, (Rect{50, 50, 312, 330})) << left << "," << top;
    }
}

TEST_F(Calc, OutOfRangeSelectorIndexesFallBackToTheFirstEntry) {
    ProfileFile ini(dir.file("配置.ini"));
    ini.set({{"保留位数", "保留位数", "12"}, {"皮肤文件", "组合框2现行选中项", "-1"}});
    start();
    EXPECT_EQ(view.digitsIndex(), 0);
    EXPECT_EQ(view.skinIndex(), 0);
}

TEST_F(Calc, SavingWithoutPositionKeepsTheStoredOne) {
    ProfileFile ini(dir.file("配置.ini"));
    ini.set({{"保存窗口位置", "窗口左边", "300"}, {"保存窗口位置", "窗口顶边", "200"}});
    start();
    view.main.left = 10;
    controller.onSaveSettingsButton();
    Settings s = loadSettings(ini);
    EXPECT_EQ(s.left, 300);
    EXPECT_EQ(s.top, 200);
    EXPECT_EQ(s.skinFile, "无");  // index 0 rewrites its file name
}

TEST_F(Calc, HistoryIsReadAndWrittenFromOneFile) {
    spit(dir.file("计算记录.txt"), kHistoryGb);
    start();
    EXPECT_EQ(history(), "1+2=3\n中\n");
    view.setChecked(tarnu::Check::AutoSaveHistory, true);
    enter("5*6");
    controller.onClose();
    EXPECT_EQ(slurp(dir.file("计算记录.txt")), kHistoryGb + "5*6=30\r\n");
}

TEST_F(Calc, UnchangedHistoryKeepsItsBytes) {
    // Lone line feeds and a UTF-8 mark would not survive a rewrite: none happens.
    std::string original =
        "\xEF\xBB\xBF"
        "a\nb\r\n";
    spit(dir.file("计算记录.txt"), original);
    start();
    view.setChecked(tarnu::Check::AutoSaveHistory, true);
    controller.onClose();
    EXPECT_EQ(slurp(dir.file("计算记录.txt")), original);
}

TEST_F(Calc, ClearedHistoryIsWrittenEmpty) {
    spit(dir.file("计算记录.txt"), kHistoryGb);
    start();
    view.setChecked(tarnu::Check::AutoSaveHistory, true);
    controller.onClearHistoryButton();
    EXPECT_EQ(view.focused, Box::Expression);
    controller.onClose();
    EXPECT_EQ(slurp(dir.file("计算记录.txt")), "");
}

TEST_F(Calc, UnreadableHistoryIsNeverOverwritten) {
    std::filesystem::create_directory(fsPath(dir.file("计算记录.txt")));
    start();
    EXPECT_EQ(history(), "");
    view.setChecked(tarnu::Check::AutoSaveHistory, true);
    enter("1+2");
    controller.onClose();
    EXPECT_TRUE(std::filesystem::is_directory(fsPath(dir.file("计算记录.txt"))));
}

// A NUL byte ends the text the box shows; the bytes after it, and bytes that do not
// decode, are no longer in the file the save writes: the file as it was is kept beside.
TEST_F(Calc, PartlyShownHistoryIsKeptBeforeItIsReplaced) {
    const std::string damaged = std::string("1+2=3\r\n\0older records", 21) + "\x81";
    spit(dir.file("计算记录.txt"), damaged);
    start();
    EXPECT_EQ(history(), "1+2=3\n");
    view.setChecked(tarnu::Check::AutoSaveHistory, true);
    enter("5*6");
    controller.onClose();
    EXPECT_EQ(slurp(dir.file("计算记录.txt")), "1+2=3\r\n5*6=30\r\n");
    EXPECT_EQ(slurp(dir.file("计算记录.txt.bak")), damaged);
    // A whole history needs no copy.
    MemoryView next;
    Controller again(next, engine, locations());
    again.startUp();
    next.setChecked(tarnu::Check::AutoSaveHistory, true);
    next.appendText(Box::History, "x\n");
    std::filesystem::remove(fsPath(dir.file("计算记录.txt.bak")));
    again.onClose();
    EXPECT_FALSE(std::filesystem::exists(fsPath(dir.file("计算记录.txt.bak"))));
}

TEST_F(Calc, FormulaFilesOpenSaveAndReopen) {
    start();
    std::string path = dir.file("公式/c.txt");
    view.setText(Box::FormulaEditor, "G(x)=x*2/4\nG(8)\n说明");
    view.dialogAnswers = {path};
    controller.onSaveFormulaButton();
    EXPECT_EQ(view.dialogsShown.back().initialDir, dir.file("公式"));
    EXPECT_EQ(view.dialogsShown.back().filter, "文本文件|*.txt");
    EXPECT_EQ(view.dialogsShown.back().defaultExt, ".txt");
    EXPECT_EQ(slurp(path), "G(x)=x*2/4\r\nG(8)\r\n\xCB\xB5\xC3\xF7");
    EXPECT_EQ(view.caption, "公式：c.txt");

    MemoryView next;
    Controller again(next, engine, locations());
    again.startUp();
    EXPECT_EQ(next.text(Box::FormulaEditor), "G(x)=x*2/4\nG(8)\n说明");
    EXPECT_EQ(next.caption, "公式：c.txt");

    // Opening another file, and cancelling, which changes nothing.
    spit(dir.file("d.txt"), "F(x,y)=x+y\r\nF(2.5,4)");
    next.dialogAnswers = {dir.file("d.txt"), ""};
    again.onOpenFormulaButton();
    EXPECT_EQ(next.dialogsShown.back().filter, "文本文件(*.txt)|*.txt");
    EXPECT_EQ(next.text(Box::FormulaEditor), "F(x,y)=x+y\nF(2.5,4)");
    EXPECT_EQ(next.caption, "公式：d.txt");
    again.onOpenFormulaButton();
    EXPECT_EQ(next.caption, "公式：d.txt");
    EXPECT_EQ(ProfileFile(dir.file("配置.ini")).getText("公式", "公式路径"), dir.file("d.txt"));

    // A file from a UTF-8 editor is saved back in UTF-8.
    spit(dir.file("u.txt"), "F(x,y)=x+y\nF(1,2)\n说明\n");
    next.dialogAnswers = {dir.file("u.txt"), dir.file("u.txt")};
    again.onOpenFormulaButton();
    next.appendText(Box::FormulaEditor, "二");
    again.onSaveFormulaButton();
    EXPECT_EQ(slurp(dir.file("u.txt")), "F(x,y)=x+y\r\nF(1,2)\r\n说明\r\n二");
}

TEST_F(Calc, FormulaFileFailuresLoseNothing) {
    ProfileFile(dir.file("配置.ini")).set("公式", "公式路径", dir.file("gone.txt"));
    start();
    EXPECT_EQ(view.text(Box::FormulaEditor), kDefaultFormulaText);
    EXPECT_EQ(view.caption, "公式：");
    view.dialogAnswers = {dir.file("gone.txt")};
    std::filesystem::create_directory(fsPath(dir.file("gone.txt")));
    controller.onOpenFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaEditor), kDefaultFormulaText);
    EXPECT_EQ(view.text(Box::FormulaResult), "无法读取公式文件");
    spit(dir.file("blocker"), "");
    view.dialogAnswers = {dir.file("blocker/f.txt")};
    controller.onSaveFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "无法保存公式文件");
    EXPECT_EQ(view.caption, "公式：");
}

TEST_F(Calc, KeypadKeysOnTheExpressionBox) {
    start();
    enter("12");
    controller.onKeypadKey(KeypadKey::Digit5);
    EXPECT_EQ(expression(), "5");
    enter("");  // "5" is not a result: Enter calculates it
    EXPECT_EQ(expression(), "5");
    EXPECT_TRUE(red());
    controller.onKeypadKey(KeypadKey::Plus);
    EXPECT_EQ(expression(), "5+");
    EXPECT_EQ(view.textColour(Box::Expression), InputColour);
    controller.onKeypadKey(KeypadKey::Times);
    controller.onKeypadKey(KeypadKey::Backspace);
    EXPECT_EQ(expression(), "5+");
    EXPECT_EQ(view.focused, Box::Expression);
    view.setText(Box::Expression, "");
    size_t calls = engine.calls.size();
    controller.onKeypadKey(KeypadKey::Equals);
    EXPECT_EQ(engine.calls.size(), calls);  // empty box: nothing to calculate
    for (KeypadKey k : {KeypadKey::OpenBracket, KeypadKey::Digit1, KeypadKey::Point,
                        KeypadKey::Digit0, KeypadKey::CloseBracket, KeypadKey::Divide})
        controller.onKeypadKey(k);
    EXPECT_EQ(expression(), "(1.0)/");
    EXPECT_STREQ(keypadCaption(KeypadKey::Times), "×");
}

TEST_F(Calc, KeypadKeysOnTheFormulaPage) {
    start();
    enter("12");
    view.showPage(4);
    view.setText(Box::FormulaEditor, "F(");
    controller.onKeypadKey(KeypadKey::Digit5);
    controller.onKeypadKey(KeypadKey::Times);
    EXPECT_EQ(view.text(Box::FormulaEditor), "F(5*");
    EXPECT_EQ(expression(), "12");
    EXPECT_TRUE(red());
    controller.onKeypadKey(KeypadKey::Backspace);
    EXPECT_EQ(view.text(Box::FormulaEditor), "F(5");
    view.setText(Box::Expression, "5*6");
    view.setTextColour(Box::Expression, InputColour);
    controller.onKeypadKey(KeypadKey::Equals);
    EXPECT_EQ(expression(), "30");
}

TEST_F(Calc, FunctionInsertion) {
    start();
    view.setText(Box::Expression, "2+");
    controller.onFunctionChosen(3);
    EXPECT_EQ(expression(), "2+sqrt()");
    EXPECT_EQ(view.caret(Box::Expression), 7u);  // between the brackets
    view.setText(Box::Expression, "3");
    controller.onFunctionChosen(9);
    EXPECT_EQ(expression(), "3^2");
    EXPECT_EQ(view.caret(Box::Expression), 3u);
    EXPECT_EQ(view.textColour(Box::Expression), InputColour);
    controller.onFunctionChosen(11);
    EXPECT_EQ(expression(), "3^2");
}

TEST_F(Calc, CacheAndClearButtons) {
    start();
    view.setText(Box::Expression, "1+");
    controller.onCacheButton();
    EXPECT_EQ(view.text(Box::Cache), "1+");
    view.setText(Box::Expression, "");
    enter("5*6");
    controller.onCacheUpButton();  // a shown result is replaced
    EXPECT_EQ(expression(), "1+");
    controller.onCacheUpButton();  // typed text is continued
    EXPECT_EQ(expression(), "1+1+");
    controller.onClearExpressionButton();
    EXPECT_EQ(expression(), "");
    EXPECT_EQ(view.focused, Box::Expression);
}

TEST_F(Calc, AlwaysOnTopMirrors) {
    start();
    view.setChecked(tarnu::Check::OnTopMirror, true);
    controller.onCheckBox(tarnu::Check::OnTopMirror);
    EXPECT_TRUE(view.onTop);
    EXPECT_TRUE(view.checked(tarnu::Check::OnTop));
    view.setChecked(tarnu::Check::OnTop, false);
    controller.onCheckBox(tarnu::Check::OnTop);
    EXPECT_FALSE(view.onTop);
    EXPECT_FALSE(view.checked(tarnu::Check::OnTopMirror));
}

TEST_F(Calc, CompactHeightAndWideMode) {
    start();
    controller.onCompactButton();
    EXPECT_EQ(view.main.height, static_cast<int>(330 * 0.355));
    controller.onCompactButton();
    EXPECT_EQ(view.main.height, 330);
    view.setSkinIndex(1);  // 蓝
    controller.onCompactButton();
    EXPECT_EQ(view.main.height, static_cast<int>(330 * 0.34));
    controller.onWideButton();
    EXPECT_EQ(view.main.width, 500);
    controller.onWideButton();
    EXPECT_EQ(view.main.width, 312);
    view.main.width = 640;
    controller.onWideButton();
    EXPECT_EQ(view.main.width, 312);
}

TEST_F(Calc, LayoutAfterResize) {
    start();
    controller.onResize(400, 500);
    EXPECT_EQ(view.layout, (MainLayout{400, 400, 400, {400, 500}, {395, 388}, {395, 445}}));
    view.setSkinIndex(2);
    controller.onResize(400, 500);
    EXPECT_EQ(view.layout.history, (Size{387, 386}));
    EXPECT_EQ(view.layout.help, (Size{387, 442}));
    view.setSkinIndex(7);
    controller.onResize(312, 330);
    EXPECT_EQ(view.layout.history, (Size{306, 223}));
}

TEST_F(Calc, SkinAndFontWritesHappenAtOnce) {
    start();
    controller.onSkinSelected(5);
    Settings s = loadSettings(ProfileFile(dir.file("配置.ini")));
    EXPECT_EQ(s.skinIndex, 5);
    EXPECT_EQ(s.skinFile, "darkroyale.she");
    view.fontAnswer = std::nullopt;
    controller.onFontButton();
    EXPECT_EQ(view.fontOffered, (FontChoice{"", 0, 0}));
    view.fontAnswer = FontChoice{"楷体", 16, 0x00FF00};
    controller.onFontButton();
    EXPECT_EQ(view.font, (FontChoice{"楷体", 16, 0x00FF00}));
    s = loadSettings(ProfileFile(dir.file("配置.ini")));
    EXPECT_EQ(s.fontFace, "楷体");
    EXPECT_EQ(s.fontSize, 16);
    EXPECT_EQ(s.fontColour, 0x00FF00u);
}

TEST_F(Calc, KeypadOpensDockedAndFollows) {
    start();
    controller.onPageButton(3);
    ASSERT_TRUE(view.keypadExists());
    EXPECT_TRUE(controller.keypadShown());
    EXPECT_EQ(view.keypad.left, 362);  // flush with the main window's right edge
    EXPECT_EQ(view.keypad.top, 50);
    EXPECT_TRUE(controller.keypadDocked());
    view.main.left = 100;
    view.main.top = 70;
    controller.onMainMoved();
    EXPECT_EQ(view.keypad.left, 412);
    EXPECT_EQ(view.keypad.top, 70);
    controller.onKeypadButton();
    EXPECT_FALSE(view.keypadExists());
    EXPECT_FALSE(controller.keypadShown());
}

TEST_F(Calc, KeypadSnapsWithinFifteenPixels) {
    start();
    controller.onKeypadButton();
    view.keypad.left = 362 + 20;
    view.keypad.top = 300;
    controller.onKeypadMoved();
    EXPECT_FALSE(controller.keypadDocked());
    EXPECT_EQ(view.keypad.left, 382);
    view.main.left += 5;
    controller.onMainMoved();  // undocked: it stays where it is, 15 away → snaps now
    EXPECT_TRUE(controller.keypadDocked());
    EXPECT_EQ(view.keypad.left, 367);
    view.keypad.left = 367 + 10;
    view.keypad.top = 300;
    controller.onKeypadMoved();
    EXPECT_TRUE(controller.keypadDocked());
    EXPECT_EQ(view.keypad.left, 367);
    EXPECT_EQ(view.keypad.top, 50);
    view.keypad.left = 367 - 16;
    controller.onKeypadMoved();
    EXPECT_FALSE(controller.keypadDocked());
}

TEST_F(Calc, PageButtons) {
    start();
    controller.onPageButton(4);
    EXPECT_EQ(view.page, 4);
    EXPECT_EQ(view.focused, Box::FormulaResult);
    controller.onPageButton(1);
    EXPECT_EQ(view.page, 1);
    controller.onPageButton(0);
    EXPECT_EQ(view.page, 0);
    EXPECT_EQ(view.focused, Box::Expression);
}
