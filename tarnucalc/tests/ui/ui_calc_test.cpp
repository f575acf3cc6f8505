// The calculator page driven by keys and clicks, with the real engine behind it.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "busy_panel.h"
#include "colours.h"
#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

class CalcPageTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        if (!EngineCanCompile()) QSKIP("the engine library cannot compile yet");
        f = std::make_unique<Fixture>();
        f->open();
        expr = f->find<QLineEdit>("编辑框1");
        history = f->find<QPlainTextEdit>("编辑框2");
        QVERIFY(expr && history);
    }
    void cleanup() { f.reset(); }

    void enterShowsRedResultAndRecordsHistory() {
        f->type(expr, "1+2");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("3"));
        QCOMPARE(history->toPlainText(), QStringLiteral("1+2=3\n"));
        QCOMPARE(f->view().textColour(Box::Expression), tarnu::ResultColour);
        // Red, darkened only as far as a contrast of 4.5:1 on white asks.
        const QColor shown = expr->palette().color(QPalette::Text);
        QCOMPARE(shown.hue(), 0);
        QVERIFY(shown.red() >= 0xE0 && shown.green() == 0);
        // Enter on a shown result clears it.
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QString());
        QCOMPARE(history->toPlainText(), QStringLiteral("1+2=3\n"));
        QCOMPARE(f->exits, 0);
    }

    void digitReplacesResultOperatorContinuesIt() {
        f->type(expr, "1+2");
        f->press(expr, Qt::Key_Return);
        f->type(expr, "*2");
        QCOMPARE(expr->text(), QStringLiteral("3*2"));
        QCOMPARE(expr->palette().color(QPalette::Text), QColor(Qt::blue));
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("6"));
        f->type(expr, "5");
        QCOMPARE(expr->text(), QStringLiteral("5"));
        QCOMPARE(history->toPlainText(), QStringLiteral("1+2=3\n3*2=6\n"));
        f->press(expr, Qt::Key_Return);
        f->type(expr, "(");  // a bracket starts afresh, like the keypad's
        QCOMPARE(expr->text(), QStringLiteral("("));
        // Digits of the numeric keypad are not digit keys: they continue a result.
        f->press(expr, Qt::Key_Delete);
        f->type(expr, "4");
        f->press(expr, Qt::Key_Return);
        QTest::keyClick(expr, Qt::Key_1, Qt::KeypadModifier);
        QCOMPARE(expr->text(), QStringLiteral("41"));
    }

    void rejectedExpressionChangesNothing() {
        f->type(expr, "1+");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("1+"));
        QCOMPARE(history->toPlainText(), QString());
        QVERIFY(f->fatalMessages.empty());
    }

    void deleteEmptiesTheBox() {
        f->type(expr, "12+3");
        expr->setCursorPosition(0);
        f->press(expr, Qt::Key_Delete);
        QCOMPARE(expr->text(), QString());
    }

    void enterOnHistoryLineRecalculatesIt() {
        history->setPlainText(QStringLiteral("5*6\n7-2\n"));
        QTextCursor c = history->textCursor();
        c.setPosition(3);  // end of the first line
        history->setTextCursor(c);
        f->press(history, Qt::Key_Return);
        QCOMPARE(history->toPlainText(), QStringLiteral("5*6=30\n\n7-2\n"));
        QCOMPARE(expr->text(), QStringLiteral("30"));
        QCOMPARE(f->view().textColour(Box::Expression), tarnu::ResultColour);
        // On the empty line after the last break only the break goes in.
        history->moveCursor(QTextCursor::End);
        f->press(history, Qt::Key_Return);
        QCOMPARE(history->toPlainText(), QStringLiteral("5*6=30\n\n7-2\n\n"));
    }

    void keypadWritesIntoExpressionOrFormulaByPage() {
        f->click(f->find<QPushButton>("超级按钮4"));
        QVERIFY(f->view().keypadExists());
        f->type(expr, "12");
        f->press(expr, Qt::Key_Return);  // shows 12
        f->click(f->keypadControl<QPushButton>("按键5"));
        QCOMPARE(expr->text(), QStringLiteral("5"));
        f->click(f->keypadControl<QPushButton>("乘法键"));
        f->click(f->keypadControl<QPushButton>("按键2"));
        QCOMPARE(expr->text(), QStringLiteral("5*2"));
        f->click(f->keypadControl<QPushButton>("等号键"));
        QCOMPARE(expr->text(), QStringLiteral("10"));
        f->click(f->keypadControl<QPushButton>("加法键"));
        QCOMPARE(expr->text(), QStringLiteral("10+"));

        f->click(f->find<QPushButton>("超级按钮5"));
        auto *editor = f->find<QPlainTextEdit>("编辑框5");
        editor->moveCursor(QTextCursor::End);
        const QString before = editor->toPlainText();
        f->click(f->keypadControl<QPushButton>("按键7"));
        f->click(f->keypadControl<QPushButton>("正括号键"));
        QCOMPARE(editor->toPlainText(), before + QStringLiteral("7("));
        f->click(f->keypadControl<QPushButton>("消除键"));
        QTRY_COMPARE(editor->toPlainText(), before + QStringLiteral("7"));
        QCOMPARE(expr->text(), QStringLiteral("10+"));
        // Closing the keypad with the page button.
        f->click(f->find<QPushButton>("超级按钮4"));
        QVERIFY(!f->view().keypadExists());
    }

    // A click on the keypad activates nothing: the keyboard stays with the expression box.
    void keypadKeysLeaveTheKeyboardInTheBox() {
        f->click(f->find<QPushButton>("超级按钮4"));
        KeypadWindow *k = f->view().keypad();
        QVERIFY(QTest::qWaitForWindowExposed(k));
        // The offscreen platform activates every window it shows; a window manager leaves
        // the main window active, as here.
        f->w().activateWindow();
        QTRY_VERIFY(f->w().isActiveWindow());
        expr->setFocus();
        k->activateWindow();  // what a window manager does with a window clicked on
        QTest::qWait(50);
        QVERIFY(!k->isActiveWindow());
        for (const char *key : {"按键7", "加法键", "按键2"})
            f->click(f->keypadControl<QPushButton>(key));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(expr));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("9"));
    }

    void formulaPageCalculatesDesignedText() {
        f->click(f->find<QPushButton>("超级按钮5"));
        f->click(f->find<QPushButton>("按钮7"));
        QCOMPARE(f->find<QLineEdit>("编辑框6")->text(), QStringLiteral("3"));
        QCOMPARE(history->toPlainText(), QStringLiteral("F(x,y)=x+y\nF(1,2)=3\n\n"));
        QCOMPARE(expr->text(), QStringLiteral("3"));
        // A faulty first line is reported in the result box and changes nothing else.
        f->find<QPlainTextEdit>("编辑框5")->setPlainText(QStringLiteral("F(x,y)=x+\nF(1,2)"));
        f->click(f->find<QPushButton>("按钮7"));
        QCOMPARE(f->find<QLineEdit>("编辑框6")->text(), QString::fromUtf8("公式有误"));
        QCOMPARE(history->toPlainText(), QStringLiteral("F(x,y)=x+y\nF(1,2)=3\n\n"));
    }

    // Shift+Enter breaks lines like Enter, not with a separator inside the line.
    void shiftEnterBreaksLinesInMultiLineBoxes() {
        f->click(f->find<QPushButton>("超级按钮5"));
        auto *editor = f->find<QPlainTextEdit>("编辑框5");
        editor->setPlainText(QStringLiteral("F(x,y)=x*y"));
        editor->moveCursor(QTextCursor::End);
        QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
        f->type(editor, "F(2,3)");
        f->click(f->find<QPushButton>("按钮7"));
        QCOMPARE(f->find<QLineEdit>("编辑框6")->text(), QStringLiteral("6"));
        history->setPlainText(QStringLiteral("5*6"));
        history->moveCursor(QTextCursor::End);
        QTest::keyClick(history, Qt::Key_Return, Qt::ShiftModifier);
        f->type(history, "7*8");
        f->press(history, Qt::Key_Return);
        QCOMPARE(f->text(Box::History), std::string("5*6=30\n7*8=56\n"));
    }

    // The real engine's endless loop: stopped by Esc, and the next calculation works.
    void escapeStopsAnEndlessLoop() {
        f->type(expr, "while(1,1)");
        QTimer::singleShot(700, [this] {
            QVERIFY(f->w().busy->isVisible());
            QTest::keyClick(expr, Qt::Key_Escape);
        });
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("while(1,1)"));
        QCOMPARE(history->toPlainText(), QString());
        expr->clear();
        f->type(expr, "2*21");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("42"));
    }

    // Each calculation crosses to the engine process and back; it must still feel instant.
    void calculationsStayQuick() {
        QElapsedTimer clock;
        clock.start();
        const int runs = 50;
        for (int i = 0; i < runs; ++i) {
            expr->setText(QStringLiteral("1+%1").arg(i));
            f->press(expr, Qt::Key_Return);
            QCOMPARE(expr->text(), QString::number(i + 1));
        }
        const double each = double(clock.elapsed()) / runs;
        qInfo("%.2f ms per calculation through the window", each);
        QVERIFY(each < 100);
    }

  private:
    std::unique_ptr<Fixture> f;
    QLineEdit *expr = nullptr;
    QPlainTextEdit *history = nullptr;
};

static Register calcPage([] { return std::make_unique<CalcPageTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_calc_test.moc"
