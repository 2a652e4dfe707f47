#ifndef ZEQ_SCENE_TESTS_KFILETRANSFORM_SCENE_H
#define ZEQ_SCENE_TESTS_KFILETRANSFORM_SCENE_H

// Nodes given generated file transform values, for tests that compare what the SDK or a writer
// makes of them with the test-only evaluation of kfiletransform_support.h.

#include <array>
#include <random>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletransform_support.h"

namespace zeqtest {

// The features of a node's transform, one bit each.
enum FileTransformFeature : unsigned {
    kTranslation = 1u << 0,
    kRotation = 1u << 1,
    kScaling = 1u << 2,
    kPreRotation = 1u << 3,
    kPostRotation = 1u << 4,
    kRotationOffset = 1u << 5,
    kRotationPivot = 1u << 6,
    kScalingOffset = 1u << 7,
    kScalingPivot = 1u << 8,
    kGeometric = 1u << 9,
    kAllFeatures = (1u << 10) - 1,
};

inline const char* FeatureName(unsigned feature) {
    static const char* const kNames[] = {"translation",     "rotation",       "scaling",       "pre-rotation",
                                         "post-rotation",   "rotation offset", "rotation pivot", "scaling offset",
                                         "scaling pivot",   "geometric"};
    for (int i = 0; i < 10; ++i)
        if (feature == (1u << i)) return kNames[i];
    return feature == kAllFeatures ? "all" : "some";
}

// Values a float holds exactly, so that what a curve keeps is what the reference is given.
inline double Held(double v) { return static_cast<double>(static_cast<float>(v)); }

// Generated values of the features asked, the rest neutral; scales stay away from zero. Drawn
// from the engine's raw numbers alone, which the standard fixes, so that every toolchain makes
// the same values.
inline FileTransformValues RandomFileValues(std::mt19937& random, unsigned features, int order) {
    struct Range {
        double mLow, mHigh;
    };
    const Range offset{-3.0, 3.0}, angle{-170.0, 170.0}, scale{0.5, 2.0};
    FileTransformValues v;
    auto fill = [&](double(&out)[3], const Range& range) {
        for (double& x : out) x = Held(range.mLow + (range.mHigh - range.mLow) * (random() / 4294967296.0));
    };
    if (features & kTranslation) fill(v.t, offset);
    if (features & kRotation) fill(v.r, angle);
    if (features & kScaling) {
        fill(v.s, scale);
        if (random() % 5 == 0) v.s[1] = -v.s[1];
    }
    if (features & kPreRotation) fill(v.preRotation, angle);
    if (features & kPostRotation) fill(v.postRotation, angle);
    if (features & kRotationOffset) fill(v.rotationOffset, offset);
    if (features & kRotationPivot) fill(v.rotationPivot, offset);
    if (features & kScalingOffset) fill(v.scalingOffset, offset);
    if (features & kScalingPivot) fill(v.scalingPivot, offset);
    if (features & kGeometric) {
        fill(v.geometricT, offset);
        fill(v.geometricR, angle);
        fill(v.geometricS, scale);
    }
    v.rotationOrder = order;
    return v;
}

inline zeqsdk_400::KZeqVector4 Vec(const double (&v)[3], double w = 0.0) {
    return zeqsdk_400::KZeqVector4(v[0], v[1], v[2], w);
}

// The node's default values and pivot set 0 (made active) as v says.
inline void SetFileValues(zeqsdk_400::KZeqNode& node, const FileTransformValues& v) {
    using zeqsdk_400::KZeqNode;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    node.SetDefaultT(Vec(v.t));
    node.SetDefaultR(Vec(v.r));
    node.SetDefaultS(Vec(v.s));
    node.SetRotationOffset(set, Vec(v.rotationOffset, 1.0));
    node.SetRotationPivot(set, Vec(v.rotationPivot, 1.0));
    node.SetPreRotation(set, Vec(v.preRotation, 1.0));
    node.SetPostRotation(set, Vec(v.postRotation, 1.0));
    node.SetScalingOffset(set, Vec(v.scalingOffset, 1.0));
    node.SetScalingPivot(set, Vec(v.scalingPivot, 1.0));
    node.SetGeometricTranslation(set, Vec(v.geometricT, 1.0));
    node.SetGeometricRotation(set, Vec(v.geometricR, 1.0));
    node.SetGeometricScaling(set, Vec(v.geometricS, 1.0));
    node.SetRotationOrder(set, static_cast<zeqsdk_400::ERotationOrder>(v.rotationOrder));
    node.SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
    node.GetPropertyHandler()->RotationActive.Value() = v.rotationActive;
}

// Linear keys of translation, rotation and scaling at the given times (seconds), one set of
// values per time, in the node's take of that name (made when missing, made current).
inline void KeyFileValues(zeqsdk_400::KZeqNode& node, const char* take,
                          const std::vector<std::pair<double, FileTransformValues>>& keys) {
    using namespace zeqsdk_400;
    const int index = node.FindTakeNode(take);
    KZeqTakeNode* takeNode = index >= 0 ? node.GetTakeNode(index) : node.CreateTakeNode(take);
    KFCurve* curves[9] = {takeNode->GetTranslationX(), takeNode->GetTranslationY(), takeNode->GetTranslationZ(),
                          takeNode->GetEulerRotationX(), takeNode->GetEulerRotationY(), takeNode->GetEulerRotationZ(),
                          takeNode->GetScaleX(),       takeNode->GetScaleY(),       takeNode->GetScaleZ()};
    for (const auto& key : keys) {
        KTime time;
        time.SetSecondDouble(key.first);
        const double* values[3] = {key.second.t, key.second.r, key.second.s};
        for (int c = 0; c < 9; ++c) {
            KFCurveKey k{};
            k.Set(KTime(0), static_cast<float>(values[c / 3][c % 3]), KFCURVE_INTERPOLATION_LINEAR,
                  KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT,
                  0, 0);
            curves[c]->KeyAdd(time, k);
        }
    }
    node.SetCurrentTakeNode(take);
}

// The values at seconds of linear keys as KeyFileValues made them (held before the first and
// after the last).
inline FileTransformValues ValuesBetweenKeys(const std::vector<std::pair<double, FileTransformValues>>& keys,
                                             double seconds) {
    FileTransformValues v = keys.front().second;
    if (seconds <= keys.front().first) return v;
    if (seconds >= keys.back().first) return keys.back().second;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (seconds > keys[i].first) continue;
        const FileTransformValues &a = keys[i - 1].second, &b = keys[i].second;
        const double f = (seconds - keys[i - 1].first) / (keys[i].first - keys[i - 1].first);
        for (int k = 0; k < 3; ++k) {
            v.t[k] = a.t[k] + f * (b.t[k] - a.t[k]);
            v.r[k] = a.r[k] + f * (b.r[k] - a.r[k]);
            v.s[k] = a.s[k] + f * (b.s[k] - a.s[k]);
        }
        break;
    }
    return v;
}

}  // namespace zeqtest

#endif
