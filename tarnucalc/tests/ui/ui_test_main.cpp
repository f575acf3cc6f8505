// Runs every registered widget test class on one application object. A first argument
// that names a class (WindowTest) runs only that class; the rest go to Qt Test.
#include <QApplication>
#include <QtTest>

#include "calculator_window.h"
#include "fonts.h"
#include "ui_fixture.h"

int main(int argc, char **argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(tarnucalc::ui::UiFont(tarnucalc::ui::kDefaultPixels));
    tarnucalc::ui::LoadQtTranslations(app);
    QString only;
    if (argc > 1 && argv[1][0] != '-') {
        only = QString::fromLocal8Bit(argv[1]);
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    int failed = 0;
    for (const auto &make : tarnucalc::ui::test::Registry()) {
        std::unique_ptr<QObject> test = make();
        const QString name = QString::fromLatin1(test->metaObject()->className());
        if (!only.isEmpty() && !name.endsWith(QStringLiteral("::") + only)) continue;
        failed += QTest::qExec(test.get(), argc, argv) != 0;
    }
    return failed == 0 ? 0 : 1;
}
