// The real engine library, bound at run time, under the controller.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "calc_fixture.h"
#include "quorel_library.h"

namespace {

class RealEngine : public ::testing::Test {
  protected:
    RealEngine() : library({TARNU_ENGINE_PATH}), controller(view, library, locations()) {
        controller.setExitHandler([](int) {});
    }
    Locations locations() {
        return {dir.file("配置.ini"), dir.file("计算记录.txt"), dir.file("公式"), dir.file("skin")};
    }
    void enter(const std::string &text) {
        view.setText(Box::Expression, text);
        view.setTextColour(Box::Expression, InputColour);
        controller.onExpressionKey(KeyKind::Enter);
    }

    TempDir dir;
    MemoryView view;
    QuorelLibrary library;
    Controller controller;
};

}  // namespace

TEST_F(RealEngine, ExpressionsAndResults) {
    controller.startUp();
    enter("1+2");
    EXPECT_EQ(view.text(Box::Expression), "3");
    view.setDigitsIndex(1);
    enter("1/3");
    EXPECT_EQ(view.text(Box::Expression), "0.33");
    view.setChecked(tarnu::Check::ConvertOperators, true);
    enter("6*7/2");
    enter("1+");
    EXPECT_EQ(view.text(Box::Expression), "1+");
    enter("sqrt(16)+2^3");
    EXPECT_EQ(view.text(Box::History), "1+2=3\n1/3=0.33\n6×7÷2=21\nsqrt(16)+2^3=12\n");
}

TEST_F(RealEngine, CompileErrorsCarryTheEngineCode) {
    EngineResult r = evaluateExpression(library, "1+");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.code, 0);
    r = evaluateExpression(library, "(1+2");
    EXPECT_EQ(r.code, 2);
    r = evaluateExpression(library, "2*(3+4)");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.value, 14);
}

// The engine takes NUL-terminated text: what follows a NUL would be dropped unseen and the
// result shown for the whole line.
TEST_F(RealEngine, NulByteIsAnIllegalCharacter) {
    EngineResult r = evaluateExpression(library, std::string("1+2\0*100", 8));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.errBegin, 3);
    EXPECT_EQ(r.errEnd, 3);
    EXPECT_STREQ(library.errorText(r.code), "illegal character, or a token that cannot stand here");
    r = evaluateFormula(library, "F(x)=x", std::string("F(2)\0", 5));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedLine, 2);
}

TEST_F(RealEngine, FormulaPageAndHistoryLines) {
    controller.startUp();
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "3");
    view.setText(Box::FormulaEditor, "F(x,y)=x+y\nF(2.5,4)");
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "6.5");
    view.setText(Box::FormulaEditor, "F(x,y)=x+\nF(1,2)");
    controller.onCalculateFormulaButton();
    EXPECT_EQ(view.text(Box::FormulaResult), "公式有误");
    view.setText(Box::History, "5*6\n1e-9\n0*5\n");
    for (size_t caret : {3u, 11u, 15u}) {  // the ends of the three lines as they become
        view.setCaret(Box::History, caret);
        controller.onHistoryEnter();
    }
    EXPECT_EQ(view.text(Box::History), "5*6=30\n1e-9\n0*5=0\n");
}

TEST(EngineBinding, MissingLibraryOrExportIsNamed) {
    QuorelLibrary none({"/nonexistent/libQuorel32.so"});
    try {
        none.init();
        FAIL() << "bound a library that does not exist";
    } catch (const BindingError &e) {
        EXPECT_EQ(e.what(), std::string("运行时出错!\n\n错误信息：无法找到指定DLL库文件“") +
                                kEngineFileName + "”中的输出命令“InitQuorel”");
    }
    QuorelLibrary wrong({"libm.so.6"});
    EXPECT_THROW(wrong.release(), BindingError);
    EXPECT_EQ(QuorelLibrary::bindingMessage(nullptr, "SendMessageA"),
              "运行时出错!\n\n错误信息：无法找到指定DLL库文件中的输出命令“SendMessageA”");
}

// A cancel without a helper process: the calculation in progress stops, the cycle ends,
// and the next one runs as usual.
TEST_F(RealEngine, InterruptStopsARunawayCycle) {
    EXPECT_FALSE(library.interrupt());  // nothing loaded, nothing to stop
    ASSERT_TRUE(evaluateExpression(library, "1").ok);
    EXPECT_TRUE(library.canInterrupt());
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        library.interrupt();
    });
    EngineResult r = evaluateExpression(library, "while(1, 1)");
    canceller.join();
    EXPECT_EQ(r.value, 0);
    r = evaluateExpression(library, "(: i) = i = 0, while(i < 10, i++), i");
    EXPECT_EQ(r.value, 10);
}
