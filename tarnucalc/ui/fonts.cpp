#include "fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace tarnucalc::ui {

namespace {

// Serif families first: they are closest to the look the windows were drawn with.
const char *const kPreferred[] = {
    "宋体",
    "SimSun",
    "NSimSun",
    "新宋体",
    "Noto Serif CJK SC",
    "Source Han Serif SC",
    "AR PL UMing CN",
    "Noto Sans CJK SC",
    "Source Han Sans SC",
    "WenQuanYi Zen Hei",
    "WenQuanYi Micro Hei",
    "Droid Sans Fallback",
};

QString FindFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char *name : kPreferred) {
        const QString family = QString::fromUtf8(name);
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    }
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString &family : chinese) {
        if (!QFontDatabase::isPrivateFamily(family)) return family;
    }
    return QGuiApplication::font().family();
}

}  // namespace

QString CjkFamily() {
    static const QString family = FindFamily();
    return family;
}

QFont UiFont(int pixels, bool bold, const QString &family) {
    QFont font(family.isEmpty() ? CjkFamily() : family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace tarnucalc::ui
