#ifndef _WIN32
#include <errno.h>
#include <iconv.h>

#include <algorithm>

#include "text_convert.h"

namespace tarnu {

bool convertText(const char *to, const char *from, const std::string &in, std::string &out,
                 bool strict, const std::string &replacement, size_t unit) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    std::string input = in;
    char *ip = input.data();
    size_t il = input.size();
    char buf[4096];
    bool ok = true;
    while (il > 0) {
        char *op = buf;
        size_t ol = sizeof buf;
        size_t rc = iconv(cd, &ip, &il, &op, &ol);
        out.append(buf, static_cast<size_t>(op - buf));
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (strict) {
            ok = false;
            break;
        }
        // EILSEQ or EINVAL (a cut sequence at the end): skip one unit.
        size_t skip = std::min(unit, il);
        out += replacement;
        ip += skip;
        il -= skip;
    }
    if (ok) {
        char *op = buf;
        size_t ol = sizeof buf;
        iconv(cd, nullptr, nullptr, &op, &ol);
        out.append(buf, static_cast<size_t>(op - buf));
    }
    iconv_close(cd);
    return ok;
}

}  // namespace tarnu
#endif
