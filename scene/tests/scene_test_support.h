#ifndef ZEQ_SCENE_TESTS_SCENE_TEST_SUPPORT_H
#define ZEQ_SCENE_TESTS_SCENE_TEST_SUPPORT_H

#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace scenetest {

using namespace zeqsdk_400;

inline KTime Sec(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

inline void Key(KFCurve* curve, double seconds, float value) {
    KFCurveKey key{};
    key.Set(KTime(0), value, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
    curve->KeyAdd(Sec(seconds), key);
}

// The curve at a path of names below parent, nodes made where missing; the
// last node gets the data type when given.
inline KFCurve* MakePath(KFCurveNode* parent, std::vector<const char*> names, KDataType* type = nullptr) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        KFCurveNode* next = i + 1 == names.size() && type ? KFCurveNodeCreate(names[i], type) : nullptr;
        if (next) parent->Add(next);
        parent = next ? next : parent->FindOrCreate(names[i], false);
    }
    if (!parent->FCurveGet()) parent->FCurveSet(KFCurveCreate(), true);
    return parent->FCurveGet();
}

inline KFCurve* CurveAt(KFCurveNode* root, const char* path) {
    KFCurveNode* node = root->FindRecursive(path);
    return node ? node->FCurveGet() : nullptr;
}

}  // namespace scenetest

#endif
