#ifndef ZEQ_FCURVE_TESTS_ROTATION_TEST_SUPPORT_H
#define ZEQ_FCURVE_TESTS_ROTATION_TEST_SUPPORT_H

// Rotation nodes and key lists for the rotation filter tests.

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"
#include "object/kdatatype.h"

namespace rotationtest {

using namespace zeqsdk_400;
using fcurvetest::Sec;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

// "R" of Euler layer type (or another) with channels "X", "Y", "Z" holding empty curves.
inline NodePtr RotationNode(int layerType = KFCL_EULER_XYZ, int order = 0) {
    NodePtr node(new KFCurveNode("R", "R", &KDataTypeLclRotation, layerType));
    node->SetRotationOrder(order);
    for (const char* axis : {"X", "Y", "Z"}) node->FindOrCreate(axis, true);
    return node;
}

inline KFCurve* Channel(KFCurveNode& node, int c) { return node.Get(c)->FCurveGet(); }

// Cubic auto keys (seconds, value).
inline void Keys(KFCurve& curve, std::initializer_list<std::pair<double, float>> keys) {
    for (auto [s, v] : keys) fcurvetest::Add(curve, s, fcurvetest::MakeKey(v, fcurvetest::kCubic, KFCURVE_TANGEANT_AUTO));
}

// Keys all three channels at seconds.
inline void KeyTriple(KFCurveNode& node, double seconds, float x, float y, float z) {
    const float values[3] = {x, y, z};
    for (int c = 0; c < 3; ++c) Keys(*Channel(node, c), {{seconds, values[c]}});
}

inline std::vector<float> Values(KFCurve& curve) {
    std::vector<float> values;
    for (int i = 0; i < curve.KeyGetCount(); ++i) values.push_back(curve.KeyGetPtr(i)->GetValue());
    return values;
}

inline std::vector<KTime> Times(KFCurve& curve) {
    std::vector<KTime> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime());
    return times;
}

inline std::vector<KTime> Secs(std::initializer_list<double> seconds) {
    std::vector<KTime> times;
    for (double s : seconds) times.push_back(Sec(s));
    return times;
}

}  // namespace rotationtest

#endif
