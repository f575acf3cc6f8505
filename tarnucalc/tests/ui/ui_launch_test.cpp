// The built program chooses between its window and its console by how it was started:
// a launcher gives it /dev/null as input, a script a pipe or a file.
#include <QProcess>
#include <QTemporaryFile>

#include "ui_fixture.h"

namespace tarnucalc::ui::test {

namespace {

void Start(QProcess &p, const QStringList &args = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TARNU_PROGRAM), args);
    QVERIFY(p.waitForStarted());
}

}  // namespace

class LaunchTest : public QObject {
    Q_OBJECT
  private slots:
    void launcherInputOpensTheWindow() {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        Start(p);
        // The console would read the empty input and end at once; the window stays.
        QVERIFY2(!p.waitForFinished(2500), p.readAllStandardError().constData());
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
    }

    void pipeAndFileInputCalculateOnTheConsole() {
        QProcess piped;
        Start(piped);
        piped.write("6*7\n");
        piped.closeWriteChannel();
        QVERIFY(piped.waitForFinished(10000));
        QCOMPARE(piped.readAllStandardOutput(), QByteArray("6*7=42\n"));

        QTemporaryFile input;
        QVERIFY(input.open());
        input.write("1+2\n");
        input.close();
        QProcess fromFile;
        fromFile.setStandardInputFile(input.fileName());
        Start(fromFile);
        QVERIFY(fromFile.waitForFinished(10000));
        QCOMPARE(fromFile.readAllStandardOutput(), QByteArray("1+2=3\n"));
    }
};

static Register registered([] { return std::make_unique<LaunchTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_launch_test.moc"
