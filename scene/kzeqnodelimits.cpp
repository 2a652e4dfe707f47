#include "scene/kzeqnodelimits.h"

namespace zeqsdk_400 {

bool KZeqLimits::GetLimitSomethingActive() const {
    for (int i = 0; i < 3; ++i)
        if (mMinActive[i] || mMaxActive[i]) return true;
    return false;
}

}  // namespace zeqsdk_400
