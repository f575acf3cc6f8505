// The Chinese upper-case amount, built from the lowest digit up.
#include <cmath>
#include <cstdint>
#include <string>

#include "format.h"

namespace tarnu {

namespace {

constexpr const char *kDigits[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
// Positional unit of digit position p (p >= 3) at index p - 3.
constexpr const char *kUnits[] = {"拾", "佰", "仟", "万", "拾", "佰",
                                  "仟", "亿", "拾", "佰", "仟", "万"};
constexpr double kLimit = 999999999999999.0;  // fen

struct MoneyWriter {
    std::string text;
    int zero = 0;  // 0 nothing yet, 2 previous digit non-zero, 1 "零" written for this run
    bool yuan = false;
    bool group = false;

    void prepend(const char *s) { text.insert(0, s); }

    void digit(int p, int d) {
        if (p == 6 || p == 10) group = false;
        if (d == 0) {
            if (zero == 2) prepend("零"), zero = 1;
            return;
        }
        zero = 2;
        if (p == 0) {
            prepend("分");
        } else if (p == 1) {
            prepend("角");
        } else {
            if (!yuan) prepend("元"), yuan = true;
            // The group's own unit digit was zero: name the group here.
            if (!group && p >= 6) {
                if (p >= 7 && p <= 9) prepend("万");
                if (p >= 11) prepend("亿");
                group = true;
            }
            if (p > 2) prepend(kUnits[p - 3]);
        }
        prepend(kDigits[d]);
    }
};

}  // namespace

std::string MoneyText(double x) {
    if (std::isnan(x)) return "溢出";
    bool negative = x < 0;
    double i;
    double r = std::modf(std::fabs(x) * 100 + 1e-12, &i);
    if (r >= 0.5) i += 1;
    if (!(i <= kLimit)) return "溢出";
    auto fen = static_cast<std::int64_t>(i);
    if (fen == 0) return "零";
    MoneyWriter w;
    if (fen % 10 == 0) w.text = "整";
    for (int p = 0; fen > 0; ++p, fen /= 10) w.digit(p, static_cast<int>(fen % 10));
    if (negative) w.prepend("负");
    return w.text;
}

}  // namespace tarnu
