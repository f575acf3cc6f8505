// The three compile exports.
#include "../compiler/compile.h"

using namespace quorel;

extern "C" {

QUOREL_API int QUOREL_CALL IntCom(const char *text, int module, void **hFor, int *nPara, int **para,
                                  int *errBegin, int *errEnd) {
    return Compile<IntDomain>(text, module, hFor, nPara, para, errBegin, errEnd);
}

QUOREL_API int QUOREL_CALL RealCom(const char *text, int module, void **hFor, int *nPara,
                                   double **para, int *errBegin, int *errEnd) {
    return Compile<RealDomain>(text, module, hFor, nPara, para, errBegin, errEnd);
}

QUOREL_API int QUOREL_CALL ComplexCom(const char *text, int module, void **hFor, int *nPara,
                                      QuorelComplex **para, int *errBegin, int *errEnd) {
    return Compile<ComplexDomain>(text, module, hFor, nPara, para, errBegin, errEnd);
}

}  // extern "C"
