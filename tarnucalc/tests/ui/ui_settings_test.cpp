// Settings and history through the real files, across restarts of the window.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "encoding.h"
#include "font_dialog.h"
#include "themes.h"
#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

namespace {
void WriteFile(const std::string &path, const std::string &bytes) {
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}
}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() {
        f.reset();
        ApplyTheme(*qApp, 0);
    }

    void settingsSurviveARestart() {
        f->open(TARNU_FAKE_ENGINE_HOST);
        f->view().showPage(1);
        auto *digits = f->find<QComboBox>("组合框1");
        digits->setCurrentIndex(4);
        f->click(f->find<QCheckBox>("选择框2"));
        f->click(f->find<QCheckBox>("选择框9"));
        f->click(f->find<QCheckBox>("选择框4"));
        f->w().move(120, 90);
        f->click(f->find<QPushButton>("保存按钮"));
        f->close();
        QVERIFY(!f->fileBytes(f->locations.settingsFile).isEmpty());

        f->open(TARNU_FAKE_ENGINE_HOST);
        QCOMPARE(f->find<QComboBox>("组合框1")->currentIndex(), 4);
        QVERIFY(f->find<QCheckBox>("选择框2")->isChecked());
        QVERIFY(f->find<QCheckBox>("选择框9")->isChecked());
        QVERIFY(f->find<QCheckBox>("选择框4")->isChecked());
        QVERIFY(!f->find<QCheckBox>("选择框3")->isChecked());
        QCOMPARE(f->w().pos(), QPoint(120, 90));
    }

    void skinChoiceTakesEffectAtNextStart() {
        f->open(TARNU_FAKE_ENGINE_HOST);
        emit f->find<QComboBox>("组合框2")->activated(3);
        QCOMPARE(CurrentTheme(), 0);  // "皮肤(需重启)"
        f->close();
        f->open(TARNU_FAKE_ENGINE_HOST);
        QCOMPARE(CurrentTheme(), 3);
        QCOMPARE(f->find<QComboBox>("组合框2")->currentText(), QString::fromUtf8("深黑"));
        // Dark theme: the red of a result is lightened to stay legible on the dark box.
        auto *expr = f->find<QLineEdit>("编辑框1");
        f->view().setTextColour(Box::Expression, tarnu::ResultColour);
        const QColor shown = expr->palette().color(QPalette::Text);
        QVERIFY(shown.red() > 200 && shown.lightness() > 150);
    }

    void unknownSkinNamesGiveThePlatformLook() {
        QCOMPARE(ThemeFromFile(QString()), 0);
        QCOMPARE(ThemeFromFile(QStringLiteral("无")), 0);
        QCOMPARE(ThemeFromFile(QStringLiteral("nonsense.she")), 0);
        QCOMPARE(ThemeFromFile(QStringLiteral("storm.she")), 4);
        QCOMPARE(ThemeFromFile(QStringLiteral("DOGMAX.SHE")), 7);
    }

    void unchangedRunLeavesFilesByteIdentical() {
        f->open(TARNU_FAKE_ENGINE_HOST);
        f->view().showPage(1);
        f->click(f->find<QCheckBox>("选择框5"));  // save settings at exit
        f->click(f->find<QCheckBox>("选择框6"));  // save history at exit
        auto *expr = f->find<QLineEdit>("编辑框1");
        f->type(expr, "42");
        f->press(expr, Qt::Key_Return);
        QCOMPARE(f->text(Box::History), std::string("42=42\n"));
        f->close();
        const QByteArray settings = f->fileBytes(f->locations.settingsFile);
        const QByteArray history = f->fileBytes(f->locations.historyFile);
        QVERIFY(!settings.isEmpty());
        QCOMPARE(history, QByteArray("42=42\r\n"));

        for (int run = 0; run < 2; ++run) {
            f->open(TARNU_FAKE_ENGINE_HOST);
            QCOMPARE(f->text(Box::History), std::string("42=42\n"));
            f->close();
            QCOMPARE(f->fileBytes(f->locations.settingsFile), settings);
            QCOMPARE(f->fileBytes(f->locations.historyFile), history);
        }
    }

    // Files written by hand (or in GB2312 on Windows): comments, foreign sections, a
    // history without a final line break. (A file that lacks keys gains them at the first
    // save, as the settings are saved whole.) With every save-at-exit option on
    // and nothing touched, both files come back unchanged.
    void handWrittenFilesSurviveAnUntouchedRun() {
        const std::string ini =
            "; written by hand\r\n"
            "[保留位数]\r\n保留位数=2\r\n保留\"0\"位=真\r\n"
            "[总在最前]\r\n总在最前=假\r\n"
            "[其他]\r\n随便=什么\r\n"
            "[自动复制结果]\r\n自动复制结果=假\r\n自动复制算式=真\r\n结果显示大写=假\r\n"
            "*/号转×÷号=真\r\n"
            "[保存窗口位置]\r\n保存窗口位置=真\r\n窗口左边=200\r\n窗口顶边=150\r\n"
            "[退出自动保存设置]\r\n退出自动保存设置=真\r\n"
            "[退出自动保存记录]\r\n退出自动保存记录=真\r\n"
            "[字体设置]\r\n文字大小=15\r\n文字字体=宋体\r\n文字颜色=255\r\n"
            "[显示键盘]\r\n显示键盘=1\r\n"
            "[皮肤文件]\r\n组合框2现行选中项=5\r\n皮肤文件=darkroyale.she\r\n";
        const std::string history = "1+2=3\r\n\r\n中文行\r\n5*6";
        WriteFile(f->locations.settingsFile,
                  tarnu::encodeFileText(ini, tarnu::FileEncoding::Gb18030));
        WriteFile(f->locations.historyFile,
                  tarnu::encodeFileText(history, tarnu::FileEncoding::Gb18030));
        const QByteArray iniBytes = f->fileBytes(f->locations.settingsFile);
        const QByteArray historyBytes = f->fileBytes(f->locations.historyFile);

        f->open(TARNU_FAKE_ENGINE_HOST);
        QCOMPARE(f->w().pos(), QPoint(200, 150));
        QVERIFY(f->view().keypadExists());
        QCOMPARE(f->find<QComboBox>("组合框1")->currentText(), QStringLiteral("3"));
        QCOMPARE(CurrentTheme(), 5);
        f->close();
        QCOMPARE(f->fileBytes(f->locations.settingsFile), iniBytes);
        QCOMPARE(f->fileBytes(f->locations.historyFile), historyBytes);
    }

    // The real dialog, answered from the event loop: a face the user did not touch stays
    // as stored (宋体 need not be installed), size and colour are taken, and the keys are
    // written at once.
    void historyFontIsKeptAtOnce() {
        f->open(TARNU_FAKE_ENGINE_HOST);
        f->view().setHistoryFont({"宋体", 0, 0});
        f->view().showPage(1);
        f->click(f->find<QPushButton>("保存按钮"));  // the dialog starts from the file
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<FontDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->objectName(), QString::fromUtf8("通用对话框1"));
            dialog->findChild<QSpinBox *>(QString::fromUtf8("文字大小"))->setValue(16);
            dialog->accept();
        });
        f->click(f->find<QPushButton>("字体设置按钮"));
        QCOMPARE(f->find("编辑框2")->font().pixelSize(), 16);
        f->close();  // no save at exit: the keys were written by the dialog
        f->open(TARNU_FAKE_ENGINE_HOST);
        QCOMPARE(f->view().historyFont().face, std::string("宋体"));
        QCOMPARE(f->view().historyFont().size, 16);
        QCOMPARE(f->find("编辑框2")->font().pixelSize(), 16);

        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        f->click(f->find<QPushButton>("字体设置按钮"));  // cancelled: nothing changes
        QCOMPARE(f->view().historyFont().size, 16);
    }

    // A size no screen can show, from a hand-edited settings file, is drawn at a bounded
    // size instead of asking the font engine for glyphs a hundred million pixels high;
    // the stored value is left as it was.
    void absurdFontSizeIsDrawnBounded() {
        f->open(TARNU_FAKE_ENGINE_HOST);
        f->view().setHistoryFont({"宋体", 99999999, 0});
        QVERIFY(f->find("编辑框2")->font().pixelSize() <= 400);
        QCOMPARE(f->view().historyFont().size, 99999999);
    }

  private:
    std::unique_ptr<Fixture> f;
};

static Register settings([] { return std::make_unique<SettingsTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_settings_test.moc"
