#include "dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "font_dialog.h"

namespace tarnucalc::ui {

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

// "文本文件(*.txt)|*.txt" (caption|pattern) as a Qt name filter.
QString QtFilter(const std::string &filter) {
    const QString f = Q(filter);
    const int bar = f.indexOf(QLatin1Char('|'));
    if (bar < 0) return f;
    const QString caption = f.left(bar), pattern = f.mid(bar + 1);
    if (caption.contains(QLatin1Char('('))) return caption;  // "文本文件(*.txt)"
    return caption + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

}  // namespace

std::string QtDialogs::openFile(QWidget &parent, const tarnu::FileDialogOptions &options) {
    return QFileDialog::getOpenFileName(&parent, QString::fromUtf8("打开公式"),
                                        Q(options.initialDir), QtFilter(options.filter))
        .toStdString();
}

std::string QtDialogs::saveFile(QWidget &parent, const tarnu::FileDialogOptions &options) {
    QFileDialog dialog(&parent, QString::fromUtf8("保存公式"), Q(options.initialDir),
                       QtFilter(options.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QString ext = Q(options.defaultExt);
    if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    dialog.setDefaultSuffix(ext);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

std::optional<tarnu::FontChoice> QtDialogs::font(QWidget &parent,
                                                 const tarnu::FontChoice &initial) {
    return FontDialog::Ask(initial, &parent);
}

void QtDialogs::fatal(QWidget &parent, const std::string &text) {
    QMessageBox::critical(&parent, parent.windowTitle(), Q(text));
}

}  // namespace tarnucalc::ui
