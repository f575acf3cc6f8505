// Controls, window sizes and the keypad's docking; no calculation involved.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>

#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

// Room a caption needs: the text, plus the indicator of a check box or the frame of a
// button.
int NeededWidth(QWidget *w, const QString &caption) {
    int need = w->fontMetrics().horizontalAdvance(caption);
    if (qobject_cast<QCheckBox *>(w)) {
        need += w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
    } else if (qobject_cast<QPushButton *>(w)) {
        need += 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w) + 2;
    }
    return need;
}

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        f = std::make_unique<Fixture>();
        f->open(TARNU_FAKE_ENGINE_HOST);
    }
    void cleanup() { f.reset(); }

    void controlsCarryTheirDesignNamesAndPlaces() {
        QCOMPARE(f->w().windowTitle(), QString::fromUtf8("Tarnu表达式计算器V3.0"));
        QCOMPARE(f->find("编辑框1")->geometry(), QRect(0, 21, 304, 32));
        QCOMPARE(f->find("按钮6")->geometry(), QRect(238, 55, 30, 24));
        QCOMPARE(f->find("组合框3")->geometry(), QRect(224, 57, 81, 22));
        QCOMPARE(f->find("选择框4")->geometry(), QRect(15, 248, 96, 24));
        QCOMPARE(f->find("编辑框6")->geometry(), QRect(0, 257, 304, 32));
        QCOMPARE(f->find<QCheckBox>("选择框2")->text(), QString::fromUtf8("保留\"0\"位"));
        QCOMPARE(f->find<QPushButton>("字体设置按钮")->text(),
                 QString::fromUtf8("记录窗口字体设置"));
        // The page buttons form a strip along the top.
        for (const char *name : {"超级按钮1", "超级按钮2", "超级按钮3", "超级按钮4", "超级按钮5"})
            QCOMPARE(f->find(name)->y(), 0);
        // The strip marks the page in view.
        QVERIFY(f->find<QPushButton>("超级按钮1")->isChecked());
        f->click(f->find<QPushButton>("超级按钮5"));
        QVERIFY(f->find<QPushButton>("超级按钮5")->isChecked());
        QVERIFY(!f->find<QPushButton>("超级按钮1")->isChecked());
        f->click(f->find<QPushButton>("超级按钮5"));
        QVERIFY(f->find<QPushButton>("超级按钮5")->isChecked());
        QVERIFY(!f->find<QPushButton>("超级按钮4")->isChecked());
        auto *tabs = f->find<QTabWidget>("选择夹1");
        QCOMPARE(tabs->count(), 5);
        QCOMPARE(tabs->tabText(0), QString::fromUtf8("  计算  "));
        QCOMPARE(tabs->tabText(4), QString::fromUtf8("公式"));
        auto *skins = f->find<QComboBox>("组合框2");
        QCOMPARE(skins->count(), 8);
        QCOMPARE(skins->itemText(3), QString::fromUtf8("深黑"));
        QCOMPARE(f->find<QComboBox>("组合框1")->itemText(8), QStringLiteral("9"));
        const QString help = f->find<QPlainTextEdit>("编辑框4")->toPlainText();
        for (const char *line :
             {"主要功能：", "使用技巧：", "函数说明：", "平方根函数 sqrt(x)", "x^(1/3)：开立方"})
            QVERIFY2(help.contains(QString::fromUtf8(line)), line);
    }

    // Captions must fit their controls in the font actually used.
    void chineseCaptionsAreNotClipped() {
        f->click(f->find<QPushButton>("超级按钮4"));
        QStringList clipped;
        auto check = [&clipped](QWidget *window) {
            for (QWidget *w : window->findChildren<QWidget *>()) {
                if (!w->isVisible()) continue;
                QString caption;
                if (auto *b = qobject_cast<QAbstractButton *>(w)) caption = b->text();
                if (auto *l = qobject_cast<QLabel *>(w)) caption = l->text();
                if (!caption.isEmpty() && NeededWidth(w, caption) > w->width())
                    clipped << w->objectName() + QLatin1Char(' ') + caption;
            }
        };
        for (int page : {0, 1, 4}) {
            f->view().showPage(page);
            check(&f->w());  // the keypad is the main window's child: checked too
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(", "))));
    }

    // Whatever the history file held comes back out of the box unchanged, so an untouched
    // history is never rewritten differently.
    void multiLineBoxesKeepTheirTextExactly() {
        const std::string texts[] = {"",
                                     "\n",
                                     "a\n\nb",
                                     "tab\there\n",
                                     "nbsp\u00a0x\n",
                                     "cr\ralone\n",
                                     "\u2028sep\n",
                                     "中文\n末行无换行"};
        for (const std::string &t : texts) {
            f->view().setText(Box::History, t);
            QCOMPARE(f->text(Box::History), t);
            f->view().setText(Box::FormulaEditor, t);
            QCOMPARE(f->text(Box::FormulaEditor), t);
        }
    }

    void longExpressionsAreNotCut() {
        const std::string longText(40000, '1');
        f->view().setText(Box::Expression, longText);
        QCOMPARE(f->text(Box::Expression).size(), longText.size());
    }

    void functionListInsertsAtTheCaret() {
        auto *expr = f->find<QLineEdit>("编辑框1");
        auto *list = f->find<QComboBox>("组合框3");
        f->type(expr, "2");
        emit list->activated(3);  // sqrt()
        QTRY_COMPARE(expr->cursorPosition(), 6);
        QCOMPARE(expr->text(), QStringLiteral("2sqrt()"));
        f->type(expr, "9");
        QCOMPARE(expr->text(), QStringLiteral("2sqrt(9)"));
        expr->end(false);
        emit list->activated(9);  // ^2
        QCoreApplication::processEvents();
        QCOMPARE(expr->text(), QStringLiteral("2sqrt(9)^2"));
        QCOMPARE(expr->cursorPosition(), 10);
    }

    void cacheAndClearButtons() {
        auto *expr = f->find<QLineEdit>("编辑框1");
        f->type(expr, "7*8");
        f->click(f->find<QPushButton>("按钮2"));
        QCOMPARE(f->find<QLineEdit>("编辑框3")->text(), QStringLiteral("7*8"));
        f->click(f->find<QPushButton>("按钮4"));
        QCOMPARE(expr->text(), QString());
        f->click(f->find<QPushButton>("按钮3"));
        f->click(f->find<QPushButton>("按钮3"));
        QCOMPARE(expr->text(), QStringLiteral("7*87*8"));
        f->view().setText(Box::History, "1\n");
        f->click(f->find<QPushButton>("按钮5"));
        QCOMPARE(f->text(Box::History), std::string());
        // A history cleared by mistake comes back with Ctrl+Z.
        auto *history = f->find<QPlainTextEdit>("编辑框2");
        QTest::keyClick(history, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->text(Box::History), std::string("1\n"));
    }

    // The file dialogs are answered by the test; what they were asked and what the
    // buttons did with the answer are real.
    void formulaFilesOpenAndSave() {
        std::vector<tarnu::FileDialogOptions> asked;
        std::string answer;
        f->dialogs().file = [&](const tarnu::FileDialogOptions &o, bool) {
            asked.push_back(o);
            return answer;
        };
        f->click(f->find<QPushButton>("超级按钮5"));
        auto *editor = f->find<QPlainTextEdit>("编辑框5");
        auto *caption = f->find<QLabel>("标签5");
        editor->setPlainText(QStringLiteral("G(a)=a*2\nG(4)"));
        answer = f->dir.filePath(QStringLiteral("g.txt")).toStdString();
        f->click(f->find<QPushButton>("按钮11"));
        QCOMPARE(asked.back().initialDir, f->locations.formulaDir);
        QCOMPARE(asked.back().defaultExt, std::string(".txt"));
        QCOMPARE(f->fileBytes(answer), QByteArray("G(a)=a*2\r\nG(4)"));
        QCOMPARE(caption->text(), QString::fromUtf8("公式：g.txt"));

        editor->setPlainText(QStringLiteral("changed"));
        answer.clear();  // cancelled: nothing changes
        f->click(f->find<QPushButton>("按钮10"));
        QCOMPARE(editor->toPlainText(), QStringLiteral("changed"));
        answer = f->dir.filePath(QStringLiteral("g.txt")).toStdString();
        f->click(f->find<QPushButton>("按钮10"));
        QCOMPARE(asked.back().filter, std::string("文本文件(*.txt)|*.txt"));
        QCOMPARE(editor->toPlainText(), QStringLiteral("G(a)=a*2\nG(4)"));

        // The last file comes back at the next start.
        f->close();
        f->open(TARNU_FAKE_ENGINE_HOST);
        QCOMPARE(f->find<QPlainTextEdit>("编辑框5")->toPlainText(),
                 QStringLiteral("G(a)=a*2\nG(4)"));
        QCOMPARE(f->find<QLabel>("标签5")->text(), QString::fromUtf8("公式：g.txt"));
    }

    // The keypad is kept on top together with the main window, also when opened later.
    void alwaysOnTopIsMirrored() {
        f->click(f->find<QPushButton>("超级按钮4"));
        f->view().showPage(1);
        f->click(f->find<QCheckBox>("选择框1"));
        QVERIFY(f->find<QCheckBox>("选择框10")->isChecked());
        QVERIFY(f->w().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(f->view().keypad()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        f->click(f->find<QPushButton>("超级按钮4"));
        f->click(f->find<QPushButton>("超级按钮4"));
        QVERIFY(f->view().keypad()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(f->view().keypad()->isVisible());
        f->view().showPage(0);
        f->click(f->find<QCheckBox>("选择框10"));
        QVERIFY(!f->find<QCheckBox>("选择框1")->isChecked());
        QVERIFY(!f->w().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!f->view().keypad()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void compactAndWideReturnToStartSize() {
        const QSize start = f->w().size();
        auto *compact = f->find<QPushButton>("按钮1");
        f->click(compact);
        QTRY_VERIFY(f->w().height() < 100);
        // The expression box and the button row stay visible.
        QVERIFY(f->w().height() >= compact->mapTo(&f->w(), QPoint(0, compact->height())).y());
        f->click(compact);
        QTRY_COMPARE(f->w().size(), start);
        auto *wide = f->find<QPushButton>("按钮6");
        f->click(wide);
        QTRY_COMPARE(f->view().mainGeometry().width, 500);
        QTRY_COMPARE(f->find("编辑框2")->width(), f->w().width());
        f->click(wide);
        QTRY_COMPARE(f->w().size(), start);
        QCOMPARE(f->find("编辑框2")->geometry(), QRect(0, 81, 304, 218));
    }

    // Positions as the flow sees them (classic frame widths); the docked keypad touches the
    // main window's real frame.
    void keypadSnapsAndFollows() {
        f->click(f->find<QPushButton>("超级按钮4"));
        KeypadWindow *k = f->view().keypad();
        QVERIFY(k);
        QVERIFY(QTest::qWaitForWindowExposed(k));
        const tarnu::Rect main = f->view().mainGeometry();
        const int right = main.left + main.width;
        auto keypadLeft = [this] { return f->view().keypadGeometry().left; };
        QTRY_COMPARE(keypadLeft(), right);                     // a new keypad docks at once
        QCOMPARE(k->x(), f->w().frameGeometry().right() + 1);  // flush with the real frame
        QVERIFY(f->controller().keypadDocked());

        const int shift = k->x() - keypadLeft();
        k->move(right + 20 + shift, main.top + 40);
        QTRY_VERIFY(!f->controller().keypadDocked());
        QCOMPARE(keypadLeft(), right + 20);
        k->move(right + 10 + shift, main.top + 40);
        QTRY_VERIFY(f->controller().keypadDocked());
        QCOMPARE(keypadLeft(), right);
        QCOMPARE(k->y(), main.top);

        f->w().move(main.left + 30, main.top + 25);
        QTRY_COMPARE(keypadLeft(), right + 30);
        QCOMPARE(k->y(), main.top + 25);
        QVERIFY(f->controller().keypadDocked());
    }

  private:
    std::unique_ptr<Fixture> f;
};

static Register window([] { return std::make_unique<WindowTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_window_test.moc"
