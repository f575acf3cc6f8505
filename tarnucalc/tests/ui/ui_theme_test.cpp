// Every text of both windows stands out from its background in every theme, by the
// colours each widget is actually drawn with.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>

#include "colours.h"
#include "font_dialog.h"
#include "themes.h"
#include "ui_fixture.h"

using tarnu::Box;

namespace tarnucalc::ui::test {

namespace {

// Text and background roles a widget of this kind is drawn with; false when it bears no
// text.
bool Roles(const QWidget *w, QPalette::ColorRole &text, QPalette::ColorRole &back) {
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w)) {
        text = QPalette::Text, back = QPalette::Base;
    } else if (qobject_cast<const QPushButton *>(w) || qobject_cast<const QComboBox *>(w)) {
        text = QPalette::ButtonText, back = QPalette::Button;
    } else if (qobject_cast<const QLabel *>(w) || qobject_cast<const QAbstractButton *>(w) ||
               qobject_cast<const QTabBar *>(w)) {
        text = QPalette::WindowText, back = QPalette::Window;
    } else {
        return false;
    }
    return true;
}

void CheckContrast(QWidget &window, const QString &where) {
    for (QWidget *w : window.findChildren<QWidget *>()) {
        QPalette::ColorRole text, back;
        if (!Roles(w, text, back)) continue;
        const QPalette &p = w->palette();
        const double ratio =
            ContrastRatio(p.color(QPalette::Active, text), p.color(QPalette::Active, back));
        QVERIFY2(
            ratio >= kLegibleContrast,
            qPrintable(QStringLiteral("%1 %2: %3 on %4, %5:1")
                           .arg(where, w->objectName(), p.color(text).name(), p.color(back).name())
                           .arg(ratio, 0, 'f', 2)));
    }
}

}  // namespace

class ThemeTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { ApplyTheme(*qApp, 0); }

    void everyTextStandsOutInEveryTheme() {
        for (int skin = 0; skin < kThemeCount; ++skin) {
            Fixture f;
            f.open(TARNU_FAKE_ENGINE_HOST);
            emit f.find<QComboBox>("组合框2")->activated(skin);
            f.close();
            f.open(TARNU_FAKE_ENGINE_HOST);
            f.click(f.find<QPushButton>("超级按钮4"));
            QVERIFY(f.view().keypad());
            const QString theme = ThemeEntry(skin);
            // As the controller colours the boxes: typing, a shown result.
            for (tarnu::Colour c : {tarnu::InputColour, tarnu::ResultColour}) {
                for (Box b : {Box::Expression, Box::FormulaResult, Box::Cache, Box::KeypadMoney})
                    f.view().setTextColour(b, c);
                CheckContrast(f.w(), theme);
                CheckContrast(*f.view().keypad(), theme);
            }
            // The user's own history colour is drawn as chosen, on a background that shows it.
            for (tarnu::Colour chosen : {0x000000u, 0x00FFFFu, 0xFFFFFFu, 0x808080u}) {
                f.view().setHistoryFont({"", 0, chosen});
                auto *history = f.find<QPlainTextEdit>("编辑框2");
                QCOMPARE(history->palette().color(QPalette::Text), FromColourRef(chosen));
                CheckContrast(f.w(), theme + QStringLiteral(" history"));
            }
        }
    }

    void fontPreviewShowsTheChosenColour() {
        FontDialog dialog({"", 0, 0x0000FF}, nullptr);
        auto *preview = dialog.findChild<QLabel *>(QString::fromUtf8("预览"));
        QVERIFY(preview);
        QCOMPARE(preview->palette().color(preview->foregroundRole()), QColor(Qt::red));
    }

    void qtTextsAreChinese() {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("取消"));
    }
};

static Register registered([] { return std::make_unique<ThemeTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_theme_test.moc"
