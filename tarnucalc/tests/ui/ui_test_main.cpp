// Runs every registered widget test class on one application object.
#include <QApplication>
#include <QtTest>

#include "fonts.h"
#include "ui_fixture.h"

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setFont(tarnucalc::ui::UiFont(tarnucalc::ui::kDefaultPixels));
    int failed = 0;
    for (const auto &make : tarnucalc::ui::test::Registry()) {
        std::unique_ptr<QObject> test = make();
        failed += QTest::qExec(test.get(), argc, argv) != 0;
    }
    return failed == 0 ? 0 : 1;
}
