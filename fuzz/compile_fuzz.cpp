// Compiles arbitrary text with the three compile exports. The first byte picks the
// domain and the module number; the rest, up to a NUL byte, is the formula text.
// A refused text must report offsets inside it; an accepted one a handle, and where it
// runs by a fast path, the same results as a twin on the general evaluator.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Quorel32.h"
#include "twin_check.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void ClearError() {
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1 || !InitQuorel()) return 0;
    int domain = data[0] % 3 + 1, module = (data[0] / 3) % 5 - 2;
    std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    int len = static_cast<int>(std::strlen(text.c_str()));
    void *handle = nullptr, *para = nullptr;
    int nPara = -1, begin = -1, end = -1, r;
    if (domain == 1) {
        r = IntCom(text.c_str(), module, &handle, &nPara, reinterpret_cast<int **>(&para), &begin,
                   &end);
    } else if (domain == 2) {
        r = RealCom(text.c_str(), module, &handle, &nPara, reinterpret_cast<double **>(&para),
                    &begin, &end);
    } else {
        r = ComplexCom(text.c_str(), module, &handle, &nPara,
                       reinterpret_cast<QuorelComplex **>(&para), &begin, &end);
    }
    if (r == 0) {
        Check(handle != nullptr && nPara >= -1);
        ClearError();
        twin::Check(domain, text.c_str(), module, handle, para, data[0], 0);
    } else if (r != 1) {  // an out-of-memory result may leave the offsets unwritten
        Check(begin >= 0 && begin <= end + 1 && end <= len);
    }
    ClearError();
    FreeQuorel();
    return 0;
}
