// The eight looks behind the skin selector, as colours for the controls' colour messages.
// Each entry of the selector once named a skin file for an outside skin library; here each
// names one of our own themes, so the stored settings keep their meaning. Free of Windows
// calls so that the contrast rules can be checked anywhere.
#ifndef TARNU_WIN32_THEME_COLOURS_H
#define TARNU_WIN32_THEME_COLOURS_H

#include <string>

#include "view.h"

namespace tarnu::win32 {

inline constexpr int kThemeCount = 8;

// Colours in the 0x00BBGGRR layout.
struct ThemeColours {
    Colour window;      // dialog background, labels, check boxes
    Colour base;        // edit boxes and lists
    Colour text;        // text on window and base
    Colour button;      // push button face
    Colour buttonText;  // push button caption
    Colour highlight;   // pressed button, focus frame
    Colour light;       // upper left button edge
    Colour dark;        // lower right button edge
};

// The theme a stored skin file name stands for; empty or unknown names give 0.
int ThemeFromFile(const std::string &file);

// Index 1 to 7; index 0 (无) is never painted from a table: it keeps the system's look.
const ThemeColours &Theme(int index);

// WCAG contrast ratio of two colours (1 to 21).
double Contrast(Colour a, Colour b);

// Text colours stay as the user chose them (blue input, red results, the history font
// colour) unless they would be hard to read on the box: the lightness moves away from the
// background's, keeping the hue, until the text reaches 4.5:1 on a dark box (thin glyphs
// blur sooner there) and 2:1 on a light one.
Colour LegibleOn(Colour colour, Colour background);

}  // namespace tarnu::win32

#endif
