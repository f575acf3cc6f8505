// Pictures of every page, the keypad and two themes, saved under the build directory for
// people to look at (clipped text, overlaps and unreadable colours show there first).
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "font_dialog.h"
#include "themes.h"
#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { ApplyTheme(*qApp, 0); }

    void pagesAndKeypad() { Shoot(0, QStringLiteral("platform")); }
    void blueTheme() { Shoot(1, QStringLiteral("blue")); }
    void deepBlackTheme() { Shoot(3, QStringLiteral("deep-black")); }
    void otherThemes() {
        const char *tags[] = {"silver", "light-black", "blue-black", "deep-blue", "white"};
        for (int skin : {2, 4, 5, 6, 7}) Shoot(skin, QLatin1String(tags[skin == 2 ? 0 : skin - 3]));
    }
    void fontDialog() {
        FontDialog dialog({"宋体", 0, 0x0000FF}, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Screenshot(dialog, QStringLiteral("platform-font-dialog"));
    }

  private:
    static void Shoot(int skin, const QString &tag) {
        Fixture f;
        f.open(TARNU_FAKE_ENGINE_HOST);
        if (skin != 0) {
            emit f.find<QComboBox>("组合框2")->activated(skin);
            f.close();
            f.open(TARNU_FAKE_ENGINE_HOST);
        }
        f.view().setText(Box::History, "1+2=3\n6×7÷2=21\n5*6=30\n");
        f.type(f.find<QLineEdit>("编辑框1"), "1");
        f.press(f.find<QLineEdit>("编辑框1"), Qt::Key_Return);
        f.view().setText(Box::Cache, "7*8");
        f.click(f.find<QPushButton>("超级按钮4"));
        KeypadWindow *k = f.view().keypad();
        QVERIFY(k);
        f.view().setChecked(tarnu::Check::MoneyText, true);
        f.view().setText(Box::KeypadMoney, "壹元整");
        const char *names[] = {"calc", "settings", "help", "keypad-page", "formula"};
        for (int page : {0, 1, 2, 4}) {
            f.view().showPage(page);
            Screenshot(f.w(), tag + QLatin1Char('-') + QLatin1String(names[page]));
        }
        Screenshot(*k, tag + QStringLiteral("-keypad"));
        f.view().showPage(0);
        f.click(f.find<QPushButton>("按钮1"));
        QTRY_VERIFY(f.w().height() < 100);
        Screenshot(f.w(), tag + QStringLiteral("-compact"));
    }
};

static Register screenshots([] { return std::make_unique<ScreenshotTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_screenshot_test.moc"
