// The calculator's behaviour, driven through the in-memory window.
#include "calc_fixture.h"

TEST_F(Calc, EnterCalculatesAndASecondEnterClears) {
    start();
    enter("1+2");
    EXPECT_EQ(history(), "1+2=3\n");
    EXPECT_EQ(expression(), "3");
    EXPECT_TRUE(red());
    EXPECT_EQ(controller.lastResult(), "3");
    EXPECT_EQ(controller.lastRecord(), "1+2=3");
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"init", "com:1+2", "cal", "free"}));
    EXPECT_TRUE(controller.onExpressionKey(KeyKind::Enter));
    EXPECT_EQ(expression(), "");
    EXPECT_EQ(controller.lastRecord(), "");  // nothing calculated this time
    EXPECT_EQ(history(), "1+2=3\n");
    EXPECT_EQ(engine.calls.size(), 4u);  // the clearing Enter does not calculate
}

TEST_F(Calc, DigitsReplaceAResultOperatorsContinueIt) {
    start();
    enter("1+2");
    view.type(controller, "*2");
    EXPECT_EQ(expression(), "3*2");
    EXPECT_EQ(view.textColour(Box::Expression), InputColour);
    controller.onExpressionKey(KeyKind::Enter);
    EXPECT_EQ(expression(), "6");
    view.type(controller, "5");
    EXPECT_EQ(expression(), "5");
    EXPECT_EQ(view.textColour(Box::Expression), InputColour);
}

TEST_F(Calc, DigitsKeptAndTrailingZeros) {
    start();
    view.setDigitsIndex(1);  // "2"
    enter("1/3");
    EXPECT_EQ(expression(), "0.33");
    view.setText(Box::Expression, "");
    enter("2/2");
    EXPECT_EQ(expression(), "1");
    view.setChecked(tarnu::Check::KeepZeros, true);
    view.setText(Box::Expression, "");
    enter("2/2");
    EXPECT_EQ(expression(), "1.00");
    EXPECT_EQ(history(), "1/3=0.33\n2/2=1\n2/2=1.00\n");
}

TEST_F(Calc, ValueGoesThroughItsThirteenDigitText) {
    start();
    view.setDigitsIndex(8);
    enter("0.1+0.2");
    EXPECT_EQ(expression(), "0.3");
}

TEST_F(Calc, OperatorDisplayOnlyInTheRecord) {
    start();
    view.setChecked(tarnu::Check::ConvertOperators, true);
    view.setChecked(tarnu::Check::CopyExpression, true);
    enter("6*7/2");
    EXPECT_EQ(engine.calls[1], "com:6*7/2");
    EXPECT_EQ(history(), "6×7÷2=21\n");
    EXPECT_EQ(controller.lastRecord(), "6×7÷2=21");
    EXPECT_EQ(view.clipboard.back(), "6×7÷2=21");
}

TEST_F(Calc, RejectedExpressionChangesNothing) {
    start();
    enter("1+2");
    view.type(controller, "+");
    view.setText(Box::Expression, "12+");
    size_t clips = view.clipboard.size();
    view.setChecked(tarnu::Check::CopyResult, true);
    controller.onExpressionKey(KeyKind::Enter);
    EXPECT_EQ(expression(), "12+");
    EXPECT_EQ(history(), "1+2=3\n");
    EXPECT_EQ(controller.lastResult(), "3");
    EXPECT_EQ(view.clipboard.size(), clips);
    EXPECT_EQ(engine.open, 0);  // the engine was released after the failed compile
    EXPECT_EQ(engine.calls.back(), "free");
}

TEST_F(Calc, AutoCopy) {
    start();
    view.setChecked(tarnu::Check::CopyResult, true);
    enter("1+2");
    EXPECT_EQ(view.clipboard, std::vector<std::string>{"3"});
    view.setChecked(tarnu::Check::CopyExpression,
                    true);  // both ticked (by a settings file): the second copy wins
    view.setText(Box::Expression, "");
    enter("5*6");
    EXPECT_EQ(view.clipboard.back(), "5*6=30");
}

TEST_F(Calc, AutoCopyBoxesExcludeEachOther) {
    start();
    view.setChecked(tarnu::Check::CopyResult, true);
    controller.onCheckBox(tarnu::Check::CopyResult);
    EXPECT_TRUE(view.clipboard.empty());  // nothing calculated yet: clipboard untouched
    enter("1+2");
    view.setChecked(tarnu::Check::CopyExpression, true);
    controller.onCheckBox(tarnu::Check::CopyExpression);
    EXPECT_FALSE(view.checked(tarnu::Check::CopyResult));
    EXPECT_EQ(view.clipboard.back(), "3");
    view.setChecked(tarnu::Check::CopyExpression, false);
    size_t clips = view.clipboard.size();
    controller.onCheckBox(tarnu::Check::CopyExpression);
    EXPECT_EQ(view.clipboard.size(), clips);
    EXPECT_FALSE(view.checked(tarnu::Check::CopyResult));
}

TEST_F(Calc, DeleteEmptiesTheBox) {
    start();
    enter("1+2");
    EXPECT_FALSE(controller.onExpressionKey(KeyKind::Delete));
    EXPECT_EQ(expression(), "");
    EXPECT_EQ(view.textColour(Box::Expression), InputColour);
    view.type(controller, "12");
    controller.onExpressionKey(KeyKind::Delete);
    EXPECT_EQ(expression(), "");
}

TEST_F(Calc, NonFiniteResultsReadAsText) {
    start();
    enter("1/0");
    EXPECT_EQ(expression(), "inf");
    EXPECT_EQ(history(), "1/0=inf\n");
}

TEST_F(Calc, RecordsStartALineOfTheirOwn) {
    start();
    view.setText(Box::History, "7*8");  // typed into the box, no Enter
    enter("1+2");
    EXPECT_EQ(history(), "7*8\n1+2=3\n");
    view.setText(Box::History, "note");
    controller.calculateFormula();
    EXPECT_EQ(history(), "note\nF(x,y)=x+y\nF(1,2)=3\n\n");
}

TEST_F(Calc, HistoryLineRecalculation) {
    start();
    view.setText(Box::History, "1+2=3\n5*6\n\n");
    view.setCaret(Box::History, 9);  // end of "5*6"
    controller.onHistoryEnter();
    EXPECT_EQ(history(), "1+2=3\n5*6=30\n\n");
    EXPECT_EQ(expression(), "30");
    EXPECT_TRUE(red());
    // The empty line between, and the line after the last break, change nothing.
    for (size_t caret : {13u, 14u}) {
        view.setCaret(Box::History, caret);
        engine.calls.clear();
        controller.onHistoryEnter();
        EXPECT_TRUE(engine.calls.empty());
        EXPECT_EQ(history(), "1+2=3\n5*6=30\n\n");
    }
}

TEST_F(Calc, HistoryLineTinyAndZeroValues) {
    start();
    view.setText(Box::History, "1e-9\n1-1\n");
    view.setCaret(Box::History, 4);
    controller.onHistoryEnter();
    EXPECT_EQ(history(), "1e-9\n1-1\n");
    EXPECT_EQ(controller.lastResult(), "");
    view.setCaret(Box::History, 8);
    controller.onHistoryEnter();
    EXPECT_EQ(history(), "1e-9\n1-1=0\n");
    EXPECT_EQ(expression(), "0");
}

TEST_F(Calc, HistoryLineCopiesWithoutOperatorDisplay) {
    start();
    view.setChecked(tarnu::Check::CopyExpression, true);
    view.setChecked(tarnu::Check::ConvertOperators, true);
    view.setText(Box::History, "5*6");
    controller.onHistoryEnter();
    EXPECT_EQ(view.clipboard.back(), "5*6=30");
    // A line that does not compile is left alone.
    view.setText(Box::History, "5*6=30");
    controller.onHistoryEnter();
    EXPECT_EQ(history(), "5*6=30");
}

TEST_F(Calc, FormulaPage) {
    start();
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "3");
    EXPECT_EQ(view.focused, Box::FormulaResult);
    EXPECT_EQ(history(), "F(x,y)=x+y\nF(1,2)=3\n\n");
    EXPECT_EQ(expression(), "3");
    EXPECT_TRUE(red());
    EXPECT_EQ(engine.calls,
              (std::vector<std::string>{"init", "com:F(x,y)=x+y", "com:F(1,2)", "cal", "free"}));
    view.setText(Box::FormulaEditor, "F(x,y)=x+y\nF(2.5,4)\nnote");
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "6.5");
}

TEST_F(Calc, FormulaErrors) {
    start();
    view.setText(Box::FormulaEditor, "F(x,y)=x+\nF(1,2)");
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "公式有误");
    EXPECT_EQ(history(), "");
    EXPECT_EQ(engine.calls.back(), "free");
    // Line 1 fails even though line 2 alone compiles; line 2 is never compiled then.
    EXPECT_EQ(std::count(engine.calls.begin(), engine.calls.end(), "com:F(1,2)"), 0);
    for (const char *text : {"", "F(x,y)=x+y", "F(x,y)=x+y\n"}) {
        view.setText(Box::FormulaResult, "");
        view.setText(Box::FormulaEditor, text);
        controller.onCalculateFormulaButton();
        EXPECT_EQ(view.text(Box::FormulaResult), "公式有误") << text;
    }
    EXPECT_EQ(controller.lastResult(), "");
}

TEST_F(Calc, FormulaCopiesTheWholeTextConverted) {
    start();
    view.setChecked(tarnu::Check::CopyExpression, true);
    view.setChecked(tarnu::Check::ConvertOperators, true);
    view.setText(Box::FormulaEditor, "G(x)=x*2/4\nG(8)\n说明 a/b");
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.clipboard.back(), "G(x)=x×2÷4\nG(8)\n说明 a÷b\n=4");
    EXPECT_EQ(history(), "G(x)=x*2/4\nG(8)=4\n\n");
}

TEST_F(Calc, EnterInTheFormulaResultBox) {
    start();
    view.setText(Box::FormulaResult, "5*6");
    EXPECT_TRUE(controller.onFormulaResultKey(KeyKind::Enter));
    EXPECT_EQ(history(), "5*6=30\n");
    EXPECT_EQ(view.text(Box::FormulaResult), "30");
}

TEST_F(Calc, MoneyTextInTheKeypad) {
    start();
    view.setChecked(tarnu::Check::MoneyText, true);
    enter("12");
    EXPECT_EQ(view.text(Box::KeypadMoney), "");  // no keypad, nothing to show
    controller.onKeypadButton();
    view.setText(Box::Expression, "1/3");
    view.setDigitsIndex(1);
    controller.onExpressionKey(KeyKind::Enter);
    EXPECT_EQ(view.text(Box::KeypadMoney), "叁角叁分");
}

TEST_F(Calc, MissingEngineIsFatal) {
    start();
    engine.missing = true;
    enter("1+2");
    EXPECT_EQ(view.fatal, "missing");
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(history(), "");
}

TEST_F(Calc, CancelledCalculationShowsNothing) {
    struct CancellingView : MemoryView {
        bool runEngineJob(const std::function<void()> &) override { return false; }
    } cancelling;
    Controller c(cancelling, engine, locations());
    c.startUp();
    cancelling.setText(Box::Expression, "1+2");
    c.onExpressionKey(KeyKind::Enter);
    EXPECT_EQ(cancelling.text(Box::Expression), "1+2");
    EXPECT_EQ(cancelling.text(Box::History), "");
}
