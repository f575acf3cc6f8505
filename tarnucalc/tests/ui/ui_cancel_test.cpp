// A calculation that does not end: the window stays responsive, shows that it works, and
// Esc or the cancel button stop it without a trace.
#include <signal.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "busy_panel.h"
#include "engine_process.h"
#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

class CancelTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        f = std::make_unique<Fixture>();
        f->open(TARNU_FAKE_ENGINE_HOST);
        expr = f->find<QLineEdit>("编辑框1");
        f->view().setText(Box::History, "1+1=2\n");
    }
    void cleanup() { f.reset(); }

    void escapeCancelsARunawayCalculation() {
        f->type(expr, "slow");
        int ticks = 0;
        // Enter starts the calculation; the checks run inside it, from the event loop.
        QTimer::singleShot(50, [&] {
            ++ticks;  // the window still handles events
            QVERIFY(f->view().calculating());
            QVERIFY(!f->w().busy->isVisible());  // quick ones never flicker
        });
        QTimer::singleShot(900, [&] {
            QVERIFY(f->w().busy->isVisible());
            Screenshot(f->w(), QStringLiteral("platform-calculating"));
            f->type(expr, "9");  // held back, delivered after the calculation
            QTest::keyClick(expr, Qt::Key_Escape);
        });
        QElapsedTimer clock;
        clock.start();
        f->press(expr, Qt::Key_Return);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(ticks, 1);
        QVERIFY(!f->view().calculating());
        QVERIFY(!f->w().busy->isVisible());
        QCOMPARE(expr->text(), QStringLiteral("slow"));
        QCOMPARE(f->text(Box::History), std::string("1+1=2\n"));
        QCOMPARE(f->controller().lastResult(), std::string());
        QTRY_COMPARE(expr->text(), QStringLiteral("slow9"));

        // The next calculation gets a fresh engine process.
        expr->clear();
        f->type(expr, "8");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("8"));
        QCOMPARE(f->text(Box::History), std::string("1+1=2\n8=8\n"));
    }

    void cancelButtonStopsItToo() {
        f->type(expr, "slow");
        QTimer::singleShot(800, [&] {
            QPushButton *cancel = f->w().busy->cancelButton();
            QVERIFY(cancel->isVisible());
            f->click(cancel);
        });
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("slow"));
        QCOMPARE(f->text(Box::History), std::string("1+1=2\n"));
    }

    void enterOnHistoryLineCancelledLeavesTheLine() {
        auto *history = f->find<QPlainTextEdit>("编辑框2");
        history->setPlainText(QStringLiteral("slow"));
        history->moveCursor(QTextCursor::End);
        QTimer::singleShot(100, [&] { f->view().cancelCalculation(); });
        f->press(history, Qt::Key_Return);
        QCOMPARE(history->toPlainText(), QStringLiteral("slow"));
    }

    void closingDuringACalculationCancelsItFirst() {
        f->view().showPage(1);
        f->click(f->find("选择框6"));
        f->type(expr, "slow");
        QTimer::singleShot(100, [&] { f->w().close(); });
        f->press(expr, Qt::Key_Return);
        QTRY_VERIFY(!f->w().isVisible());
        QCOMPARE(f->fileBytes(f->locations.historyFile), QByteArray("1+1=2\r\n"));
    }

    // An engine that dies takes nothing with it: the window treats the calculation as not
    // done and the next one gets a new engine process.
    void crashedEngineLeavesTheWindowAlone() {
        f->type(expr, "crash");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("crash"));
        QCOMPARE(f->text(Box::History), std::string("1+1=2\n"));
        QVERIFY(f->fatalMessages.empty());
        expr->clear();
        f->type(expr, "7");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(f->text(Box::History), std::string("1+1=2\n7=7\n"));
    }

    void helperKilledWhileIdleIsReplacedQuietly() {
        f->type(expr, "4");
        f->press(expr, Qt::Key_Return);
        auto *process = dynamic_cast<EngineProcess *>(f->calc->engine.get());
        QVERIFY(process && process->hostPid() > 0);
        ::kill(process->hostPid(), SIGKILL);
        QTest::qWait(50);
        expr->setText(QStringLiteral("5"));
        f->press(expr, Qt::Key_Return);
        QCOMPARE(expr->text(), QStringLiteral("5"));
        QCOMPARE(f->text(Box::History), std::string("1+1=2\n4=4\n5=5\n"));
    }

    void missingEngineShowsTheFatalMessage() {
        f->type(expr, "unbound");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(f->fatalMessages.size(), size_t(1));
        QCOMPARE(f->fatalMessages[0], std::string("no engine here"));
        QCOMPARE(f->exits, 1);
    }

  private:
    std::unique_ptr<Fixture> f;
    QLineEdit *expr = nullptr;
};

static Register cancel([] { return std::make_unique<CancelTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_cancel_test.moc"
