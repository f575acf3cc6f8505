// Settings and history through the real files, across restarts of the window.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "themes.h"
#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

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

    void historyFontIsKeptAtOnce() {
        f->open(TARNU_FAKE_ENGINE_HOST);
        f->view().fontDialogHook = [](const tarnu::FontChoice &initial) {
            tarnu::FontChoice font = initial;
            font.face = "宋体";
            font.size = 16;
            return std::optional<tarnu::FontChoice>(font);
        };
        f->view().showPage(1);
        f->click(f->find<QPushButton>("字体设置按钮"));
        f->close();
        f->open(TARNU_FAKE_ENGINE_HOST);
        QCOMPARE(f->view().historyFont().face, std::string("宋体"));
        QCOMPARE(f->view().historyFont().size, 16);
        QCOMPARE(f->find("编辑框2")->font().pixelSize(), 16);
    }

  private:
    std::unique_ptr<Fixture> f;
};

static Register settings([] { return std::make_unique<SettingsTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_settings_test.moc"
