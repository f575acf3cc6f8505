#include "themes.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <cmath>

#include "controller.h"

namespace tarnucalc::ui {

namespace {

struct ThemeColours {
    QRgb window, base, alternate, text, button, buttonText, highlight, light, dark;
};

// By skin selector index; index 0 is never painted from this table: it keeps the
// platform's own palette.
const ThemeColours kThemes[kThemeCount] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0xdce9f9, 0xffffff, 0xeef4fc, 0x10253f, 0xb9d3f2, 0x0f2a4d, 0x2f74d0, 0xf2f7fe, 0x7f9fc8},
    {0xe3e5e8, 0xffffff, 0xf1f2f4, 0x1c1e21, 0xcdd1d6, 0x1c1e21, 0x6d7f96, 0xf8f9fa, 0x8e949c},
    {0x1c1c1e, 0x38383c, 0x404045, 0xe6e6e6, 0x333337, 0xeeeeee, 0x5a7db5, 0x4a4a50, 0x0e0e10},
    {0x45484d, 0x303338, 0x383b41, 0xf2f2f2, 0x5a5e65, 0xf5f5f5, 0x7da2d6, 0x73787f, 0x2c2e32},
    {0x161d2b, 0x2a3754, 0x31405f, 0xdde6f5, 0x26344f, 0xe4ecfa, 0x3f74c8, 0x3a4b6e, 0x0b0f18},
    {0x143162, 0x224a85, 0x28528f, 0xeaf1ff, 0x21487f, 0xf2f6ff, 0x4f8ee8, 0x3a65a6, 0x08172f},
    {0xfbfbfb, 0xffffff, 0xf5f5f5, 0x202020, 0xffffff, 0x202020, 0x3b82f6, 0xffffff, 0xc8c8c8},
};

int g_current = 0;

// The look the platform gave, so that going back to 无 restores it.
struct PlatformLook {
    QString style;
    QPalette palette;
    bool saved = false;
};
PlatformLook g_platform;

QPalette PaletteOf(const ThemeColours &t) {
    QPalette p;
    p.setColor(QPalette::Window, QColor(t.window));
    p.setColor(QPalette::WindowText, QColor(t.text));
    p.setColor(QPalette::Base, QColor(t.base));
    p.setColor(QPalette::AlternateBase, QColor(t.alternate));
    p.setColor(QPalette::Text, QColor(t.text));
    p.setColor(QPalette::PlaceholderText, QColor(t.dark));
    p.setColor(QPalette::Button, QColor(t.button));
    p.setColor(QPalette::ButtonText, QColor(t.buttonText));
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Highlight, QColor(t.highlight));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(t.light));
    p.setColor(QPalette::Midlight, QColor(t.light).darker(110));
    p.setColor(QPalette::Mid, QColor(t.dark).lighter(130));
    p.setColor(QPalette::Dark, QColor(t.dark));
    p.setColor(QPalette::Shadow, QColor(t.dark).darker(150));
    p.setColor(QPalette::ToolTipBase, QColor(t.base));
    p.setColor(QPalette::ToolTipText, QColor(t.text));
    p.setColor(QPalette::Link, QColor(t.highlight));
    const QColor dim =
        QColor(t.text).value() > 128 ? QColor(t.text).darker(170) : QColor(t.text).lighter(300);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dim);
    return p;
}

// Relative luminance and contrast ratio as the usual legibility guidelines define them.
double Channel(double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(QColor c) {
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

}  // namespace

double ContrastRatio(QColor a, QColor b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

static_assert(tarnu::kSkins.size() == kThemeCount);

QString ThemeEntry(int index) {
    if (index < 0 || index >= kThemeCount) index = 0;
    return QString::fromUtf8(tarnu::kSkins[index].name);
}

int ThemeFromFile(const QString &file) {
    for (int i = 1; i < kThemeCount; ++i) {
        if (file.compare(QString::fromUtf8(tarnu::kSkins[i].file), Qt::CaseInsensitive) == 0)
            return i;
    }
    return 0;
}

void ApplyTheme(QApplication &app, int index) {
    if (!g_platform.saved) {
        g_platform = {app.style()->name(), app.palette(), true};
    }
    if (index <= 0 || index >= kThemeCount) {
        if (g_current != 0) {
            if (QStyle *style = QStyleFactory::create(g_platform.style)) app.setStyle(style);
            app.setPalette(g_platform.palette);
        }
        g_current = 0;
        return;
    }
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    app.setPalette(PaletteOf(kThemes[index]));
    g_current = index;
}

int CurrentTheme() {
    return g_current;
}

QColor LegibleOn(QColor colour, QColor background) {
    const bool dark = Luminance(background) < 0.18;
    int h, s, l, a;
    colour.getHsl(&h, &s, &l, &a);
    QColor shown = colour;
    // Keep the hue and move the lightness away from the background's until the text
    // stands out; black and white are the ends every colour reaches.
    while (ContrastRatio(shown, background) < kLegibleContrast && (dark ? l < 255 : l > 0)) {
        l = dark ? std::min(255, l + 6) : std::max(0, l - 6);
        shown = QColor::fromHsl(h, s, l, a);
    }
    return shown;
}

QColor BackgroundFor(QColor text, QColor themeBackground) {
    if (ContrastRatio(text, themeBackground) >= kLegibleContrast) return themeBackground;
    const QColor white(Qt::white), black(Qt::black);
    return ContrastRatio(text, white) >= ContrastRatio(text, black) ? white : black;
}

}  // namespace tarnucalc::ui
