// The standard dialogs as the user meets them: the formula dialogs open inside the
// formula folder, with no file name typed in.
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "ui_fixture.h"

namespace tarnucalc::ui::test {

class DialogTest : public QObject {
    Q_OBJECT
  private slots:
    void formulaDialogsOpenInsideTheFormulaFolder() {
        Fixture f;
        QDir(f.dir.path()).rmdir(QString::fromUtf8("公式"));
        f.open(TARNU_FAKE_ENGINE_HOST);
        f.view().showPage(4);
        const QString folder = QString::fromStdString(f.locations.formulaDir);
        for (const char *button : {"按钮10", "按钮11"}) {
            QString dir, name = QStringLiteral("?");
            QTimer poll;
            connect(&poll, &QTimer::timeout, [&] {
                auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                if (!d) return;
                dir = d->directory().absolutePath();
                if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                    name = edit->text();
                d->reject();
            });
            poll.start(20);
            f.click(f.find<QPushButton>(button));
            QCOMPARE(dir, folder);
            QCOMPARE(name, QString());
        }
    }
};

static Register registered([] { return std::make_unique<DialogTest>(); });

}  // namespace tarnucalc::ui::test

#include "ui_dialog_test.moc"
