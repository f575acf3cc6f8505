// The compile driver, written once for the three domains.
#pragma once
#include "../base/domain.h"

namespace quorel {

// Compiles `text` into module `module`; the export arguments of RealCom and friends.
template <class D>
int Compile(const char *text, int module, void **hFor, int *nPara, typename D::Value **para,
            int *errBegin, int *errEnd);

}  // namespace quorel
