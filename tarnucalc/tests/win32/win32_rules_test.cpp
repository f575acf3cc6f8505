// The Win32 window's rules that need no window: texts between the controller and the
// edit controls, and the themes' legibility.
#include <gtest/gtest.h>

#include "box_text.h"
#include "controller.h"
#include "theme_colours.h"

namespace tarnu::win32 {
namespace {

TEST(BoxText, ConversionsKeepEveryCharacterAndMarkWhatIsNoText) {
    const std::string mixed = "1+2=3 金额 \xF0\x9F\x98\x80";  // a character beyond 16 bits
    EXPECT_EQ(Utf8(Utf16(mixed)), mixed);
    EXPECT_EQ(Utf16("\xF0\x9F\x98\x80").size(), 2u);
    // Malformed input: a stray continuation byte, an overlong form, a cut sequence, and
    // half a surrogate pair each become one replacement character.
    EXPECT_EQ(Utf16("a\x80"
                    "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf16("\xE4\xB8"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
}

TEST(BoxText, MultiLineBoxesShowLineBreaksAndKeepLoneCarriageReturns) {
    const std::string text = "5*6=30\nA\rB\n\n";
    const std::u16string shown = ToMultiLine(text);
    EXPECT_EQ(shown, u"5*6=30\r\nA\u240DB\r\n\r\n");
    EXPECT_EQ(FromMultiLine(shown), text);
    // The caret's text line counts line breaks, however the box wraps.
    EXPECT_EQ(LineAt(shown, 0), 0);
    EXPECT_EQ(LineAt(shown, 8), 1);
    EXPECT_EQ(LineAt(shown, shown.size()), 3);
    EXPECT_EQ(LineAt(shown, 10000), 3);
}

TEST(BoxText, DialogFiltersAreNulSeparatedPairs) {
    EXPECT_EQ(DialogFilter("文本文件(*.txt)|*.txt"),
              std::u16string(u"文本文件(*.txt)\0*.txt\0\0", 19));
}

TEST(Themes, NamesMapToThemesAndEveryThemeIsLegible) {
    EXPECT_EQ(ThemeFromFile("LONGHORN.she"), 3);
    EXPECT_EQ(ThemeFromFile("无"), 0);
    EXPECT_EQ(ThemeFromFile(""), 0);
    for (int i = 1; i < kThemeCount; ++i) {
        const ThemeColours &t = Theme(i);
        SCOPED_TRACE(i);
        EXPECT_GE(Contrast(t.text, t.base), 4.5);
        EXPECT_GE(Contrast(t.text, t.window), 4.5);
        EXPECT_GE(Contrast(t.buttonText, t.button), 4.5);
        // The controller's blue and red, and a black history font, stay readable on
        // every box and keep their hue.
        for (Colour c : {InputColour, ResultColour, Colour{0}}) {
            const Colour shown = LegibleOn(c, t.base);
            EXPECT_GE(Contrast(shown, t.base),
                      i >= 3 && i <= 6 ? 4.5 : 2.0);  // dark boxes ask more
            if (c == ResultColour) EXPECT_GT(shown & 0xFF, shown >> 16 & 0xFF);
        }
    }
}

TEST(Themes, ColoursThatReadWellStayAsChosen) {
    EXPECT_EQ(LegibleOn(ResultColour, 0xFFFFFF), ResultColour);
    EXPECT_EQ(LegibleOn(InputColour, 0xFFFFFF), InputColour);
}

}  // namespace
}  // namespace tarnu::win32
