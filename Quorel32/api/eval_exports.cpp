// The evaluate exports of the three domains.
#include "../eval/evaluator.h"
#include "../include/Quorel32.h"

using namespace quorel;

static_assert(sizeof(int) == sizeof(std::int32_t));

extern "C" {

QUOREL_API int QUOREL_CALL IntCal(void *hFor, int *para) {
    return Evaluate<IntDomain>(static_cast<CompiledFormula *>(hFor), para);
}

QUOREL_API double QUOREL_CALL RealCal(void *hFor, double *para) {
    return Evaluate<RealDomain>(static_cast<CompiledFormula *>(hFor), para);
}

QUOREL_API QuorelComplex *QUOREL_CALL ComplexCal(QuorelComplex *result, void *hFor,
                                                 QuorelComplex *para) {
    QuorelComplex r = Evaluate<ComplexDomain>(static_cast<CompiledFormula *>(hFor), para);
    if (result) *result = r;
    return result;
}

}  // extern "C"
