#include "theme_colours.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include "controller.h"

namespace tarnu::win32 {

namespace {

// Written as 0xRRGGBB for reading; Ref() turns them into the 0x00BBGGRR layout.
constexpr Colour Ref(std::uint32_t rgb) {
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

constexpr ThemeColours Make(std::uint32_t window, std::uint32_t base, std::uint32_t text,
                            std::uint32_t button, std::uint32_t buttonText, std::uint32_t highlight,
                            std::uint32_t light, std::uint32_t dark) {
    return {Ref(window),     Ref(base),      Ref(text),  Ref(button),
            Ref(buttonText), Ref(highlight), Ref(light), Ref(dark)};
}

// The same palettes the Qt window uses for these names.
constexpr std::array<ThemeColours, kThemeCount> kThemes = {{
    Make(0xf0f0f0, 0xffffff, 0x000000, 0xf0f0f0, 0x000000, 0x0078d7, 0xffffff, 0xa0a0a0),
    Make(0xdce9f9, 0xffffff, 0x10253f, 0xb9d3f2, 0x0f2a4d, 0x2f74d0, 0xf2f7fe, 0x7f9fc8),
    Make(0xe3e5e8, 0xffffff, 0x1c1e21, 0xcdd1d6, 0x1c1e21, 0x6d7f96, 0xf8f9fa, 0x8e949c),
    Make(0x1c1c1e, 0x38383c, 0xe6e6e6, 0x333337, 0xeeeeee, 0x5a7db5, 0x4a4a50, 0x0e0e10),
    Make(0x45484d, 0x303338, 0xf2f2f2, 0x5a5e65, 0xf5f5f5, 0x7da2d6, 0x73787f, 0x2c2e32),
    Make(0x161d2b, 0x2a3754, 0xdde6f5, 0x26344f, 0xe4ecfa, 0x3f74c8, 0x3a4b6e, 0x0b0f18),
    Make(0x143162, 0x224a85, 0xeaf1ff, 0x21487f, 0xf2f6ff, 0x4f8ee8, 0x3a65a6, 0x08172f),
    Make(0xfbfbfb, 0xffffff, 0x202020, 0xffffff, 0x202020, 0x3b82f6, 0xffffff, 0xc8c8c8),
}};

double Channel(Colour c, int shift) {
    const double v = static_cast<double>(c >> shift & 0xFF) / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(Colour c) {
    return 0.2126 * Channel(c, 0) + 0.7152 * Channel(c, 8) + 0.0722 * Channel(c, 16);
}

struct Hsl {
    double h, s, l;  // h in [0, 6), s and l in [0, 1]
};

Hsl ToHsl(Colour c) {
    const double r = (c & 0xFF) / 255.0, g = (c >> 8 & 0xFF) / 255.0, b = (c >> 16 & 0xFF) / 255.0;
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b}), d = hi - lo;
    Hsl out{0, 0, (hi + lo) / 2};
    if (d <= 0) return out;
    out.s = d / (1 - std::fabs(2 * out.l - 1));
    if (hi == r)
        out.h = std::fmod((g - b) / d + 6, 6);
    else if (hi == g)
        out.h = (b - r) / d + 2;
    else
        out.h = (r - g) / d + 4;
    return out;
}

Colour FromHsl(const Hsl &c) {
    const double chroma = (1 - std::fabs(2 * c.l - 1)) * c.s;
    const double x = chroma * (1 - std::fabs(std::fmod(c.h, 2) - 1));
    const double m = c.l - chroma / 2;
    double rgb[3] = {0, 0, 0};
    const int sector = static_cast<int>(c.h) % 6;
    static constexpr int kOrder[6][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1},
                                         {2, 1, 0}, {1, 2, 0}, {0, 2, 1}};
    const double parts[3] = {chroma, x, 0};
    for (int k = 0; k < 3; ++k) rgb[k] = parts[kOrder[sector][k]];
    auto byte = [m](double v) {
        return static_cast<Colour>(std::clamp(std::lround((v + m) * 255), 0L, 255L));
    };
    return byte(rgb[0]) | byte(rgb[1]) << 8 | byte(rgb[2]) << 16;
}

bool SameName(const std::string &a, const char *b) {
    const std::string other(b);
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

static_assert(kSkins.size() == kThemeCount);

int ThemeFromFile(const std::string &file) {
    for (int i = 1; i < kThemeCount; ++i) {
        if (SameName(file, kSkins[static_cast<std::size_t>(i)].file)) return i;
    }
    return 0;
}

const ThemeColours &Theme(int index) {
    return kThemes[static_cast<std::size_t>(std::clamp(index, 0, kThemeCount - 1))];
}

double Contrast(Colour a, Colour b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Colour LegibleOn(Colour colour, Colour background) {
    const bool dark = Luminance(background) < 0.18;
    const double wanted = dark ? 4.5 : 2.0;
    Hsl hsl = ToHsl(colour);
    Colour shown = colour;
    for (int step = 0; step < 60 && Contrast(shown, background) < wanted; ++step) {
        hsl.l = std::clamp(hsl.l + (dark ? 0.025 : -0.025), 0.0, 1.0);
        shown = FromHsl(hsl);
    }
    return shown;
}

}  // namespace tarnu::win32
