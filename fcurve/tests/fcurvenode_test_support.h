#ifndef ZEQ_FCURVE_TESTS_FCURVENODE_TEST_SUPPORT_H
#define ZEQ_FCURVE_TESTS_FCURVENODE_TEST_SUPPORT_H

// Curve nodes, key lists and rotation comparisons for the tests of curve-node
// trees, filters, plotting and the curve utilities.

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurve_test_support.h"
#include "object/kdatatype.h"

namespace nodetest {

using namespace zeqsdk_400;
using fcurvetest::Add;
using fcurvetest::kConstant;
using fcurvetest::kCubic;
using fcurvetest::kLinear;
using fcurvetest::MakeKey;
using fcurvetest::Sec;

constexpr kLongLong kSecond = KTime::kTicksPerSecond;
constexpr unsigned int kAuto = KFCURVE_TANGEANT_AUTO;
constexpr unsigned int kUser = KFCURVE_TANGEANT_USER;
constexpr unsigned int kUserBreak = KFCURVE_TANGEANT_USER_BREAK;
constexpr unsigned int kTcb = KFCURVE_TANGEANT_TCB;

// Key i's interpolation and tangent mode (disjoint flags), to compare both at once.
inline unsigned int Kind(const KFCurve& curve, int i) {
    return curve.KeyGetPtr(i)->GetInterpolation() | curve.KeyGetPtr(i)->GetTangeantMode();
}

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

// A node with a curve of its own holding value.
inline KFCurveNode* Leaf(const char* name, float value = 0.0f, int layerType = KFCL_NOLAYER) {
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), layerType, 0);
    node->FCurveSet(KFCurveCreate(), true);
    node->FCurveGet()->SetValue(value);
    return node;
}

inline const char* const kChannelNames[] = {"X", "Y", "Z", "W", "U", "V", "P", "Q"};

// A node whose channels "X", "Y", "Z", "W", ... are leaves holding values.
inline KFCurveNode* Vector(const char* name, KDataType* type, int layerType, std::initializer_list<float> values) {
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    int i = 0;
    for (float v : values) node->Add(Leaf(kChannelNames[i++], v));
    return node;
}

// The same with count channels holding zero.
inline KFCurveNode* Vector(const char* name, KDataType* type, int layerType, int count = 3) {
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    for (int i = 0; i < count; ++i) node->Add(Leaf(kChannelNames[i]));
    return node;
}

// An Euler XYZ rotation node "R" (or of another layer type) with empty channels.
inline NodePtr RotationNode(int layerType = KFCL_EULER_XYZ) {
    return NodePtr(Vector("R", &KDataTypeLclRotation, layerType));
}

// "Transform" holding "T" (additive), the rotation (Euler XYZ) and "S"
// (multiplicative), three channels each.
inline KFCurveNode* TransformNode(const char* rotationName = "R") {
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    transform->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    transform->Add(Vector(rotationName, &KDataTypeLclRotation, KFCL_EULER_XYZ));
    transform->Add(Vector("S", &KDataTypeLclScaling, KFCL_MULT));
    return transform;
}

inline KFCurve& C(KFCurveNode& node, int channel) { return *node.Get(channel)->FCurveGet(); }
inline KFCurve& C(const NodePtr& node, int channel) { return C(*node, channel); }

// Layer id of node (created where missing), its channels given the values.
inline KFCurveNode* LayerAt(KFCurveNode& node, int id, std::initializer_list<float> values = {}) {
    node.CreateLayerAt(id);
    KFCurveNode* layer = node.LayerGet(id);
    int i = 0;
    for (float v : values) C(*layer, i++).SetValue(v);
    return layer;
}

// Keys (seconds, value): cubic ones with auto tangents, others with user ones.
inline void Keys(KFCurve& curve, std::initializer_list<std::pair<double, float>> keys,
                 unsigned int interpolation = kCubic) {
    for (auto [s, v] : keys)
        Add(curve, s,
            MakeKey(v, interpolation, interpolation == kCubic ? KFCURVE_TANGEANT_AUTO : KFCURVE_TANGEANT_USER));
}

// Keys every channel of node at seconds, with one value per channel.
inline void KeyAll(KFCurveNode& node, double seconds, std::initializer_list<float> values) {
    int c = 0;
    for (float v : values) Keys(C(node, c++), {{seconds, v}});
}
inline void KeyAll(const NodePtr& node, double seconds, std::initializer_list<float> values) {
    KeyAll(*node, seconds, values);
}

// Keys every channel of node at 0, 1, 2, ... s, one row of values per second.
inline void KeyRows(KFCurveNode& node, std::initializer_list<std::initializer_list<float>> rows) {
    double seconds = 0.0;
    for (const auto& row : rows) KeyAll(node, seconds++, row);
}
inline void KeyRows(const NodePtr& node, std::initializer_list<std::initializer_list<float>> rows) {
    KeyRows(*node, rows);
}

inline std::vector<float> Values(const KFCurve& curve) {
    std::vector<float> values;
    for (int i = 0; i < curve.KeyGetCount(); ++i) values.push_back(curve.KeyGetPtr(i)->GetValue());
    return values;
}

inline std::vector<KTime> Times(const KFCurve& curve) {
    std::vector<KTime> times;
    for (int i = 0; i < curve.KeyGetCount(); ++i) times.push_back(curve.KeyGetPtr(i)->GetTime());
    return times;
}

inline std::vector<KTime> Secs(std::initializer_list<double> seconds) {
    std::vector<KTime> times;
    for (double s : seconds) times.push_back(Sec(s));
    return times;
}

// The run of values a node writes at time (as many as it writes).
inline std::vector<double> Eval(KFCurveNode& node, KTime time, bool candidate = false) {
    std::vector<double> values(static_cast<std::size_t>(node.GetChannelCount()) + 4, -777.0);
    const double* end = node.GeneralEvaluate(values.data(), time, nullptr, candidate);
    values.resize(static_cast<std::size_t>(end - values.data()));
    return values;
}

inline void ExpectNear(const std::vector<double>& run, std::initializer_list<double> expected,
                       double tolerance = 1e-9) {
    ASSERT_EQ(run.size(), expected.size());
    std::size_t i = 0;
    for (double e : expected) EXPECT_NEAR(run[i++], e, tolerance) << "value " << i - 1;
}

inline void ExpectSameMatrix(const KgeRMatrix& a, const KgeRMatrix& b, double tolerance) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[r][c], b[r][c], tolerance) << "[" << r << "][" << c << "]";
}

// Two triples of angles in a rotation order are the same rotation.
inline void ExpectSameRotation(const double* a, const double* b, double tolerance = 1e-5, int order = 0) {
    KgeRMatrix ma, mb;
    KVXRotationOrder(order).V2M(ma, KgeRVector(a[0], a[1], a[2]));
    KVXRotationOrder(order).V2M(mb, KgeRVector(b[0], b[1], b[2]));
    ExpectSameMatrix(ma, mb, tolerance);
}

inline void CountEvents(KFCurve*, KFCurveEvent*, void* data) { ++*static_cast<int*>(data); }

// A filter against its straightforward reference on random curves, rounds
// times: make(rng) gives the input curves, run(rng, actual, expected) applies
// the filter to them and the reference to copies made before; the two must
// then hold the same keys, byte for byte, and the same default value.
template <class Make, class Run>
void AgainstReference(unsigned seed, int rounds, Make make, Run run) {
    std::mt19937 rng(seed);
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        std::vector<std::unique_ptr<KFCurve>> curves = make(rng), copies;
        std::vector<KFCurve*> actual, expected;
        for (auto& curve : curves) {
            copies.push_back(std::make_unique<KFCurve>());
            copies.back()->CopyFrom(*curve, true);
            actual.push_back(curve.get());
            expected.push_back(copies.back().get());
        }
        run(rng, actual, expected);
        for (std::size_t c = 0; c < curves.size(); ++c) {
            ASSERT_EQ(actual[c]->KeyGetCount(), expected[c]->KeyGetCount()) << "curve " << c;
            EXPECT_EQ(actual[c]->GetValue(), expected[c]->GetValue()) << "curve " << c;
            for (int k = 0; k < actual[c]->KeyGetCount(); ++k)
                ASSERT_EQ(std::memcmp(actual[c]->KeyGetPtr(k), expected[c]->KeyGetPtr(k), sizeof(KFCurveKey)), 0)
                    << "curve " << c << " key " << k;
            EXPECT_TRUE(actual[c]->CheckCurve());
        }
    }
}

// A key of a random kind (interpolations, tangent modes, weights, TCB) holding
// value, its user tangents sloping by slope; for the comparisons of filters
// with their straightforward methods.
inline KFCurveKey RandomKey(std::mt19937& rng, float value, float slope) {
    switch (rng() % 9) {
        case 0:
            return MakeKey(value, kLinear);
        case 1:
            return MakeKey(value, kConstant);
        case 2:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_AUTO, rng() % 3 == 0 ? 30.0f : 0.0f);
        case 3:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_AUTO_BREAK, 0.0f, rng() % 2 ? 20.0f : 0.0f);
        case 4:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER, slope, slope);
        case 5:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER_BREAK, slope, -slope, KFCURVE_WEIGHTED_ALL, 0.15f,
                           0.5f);
        case 6:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER_BREAK, 0.0f, slope);
        case 7:
            return fcurvetest::TcbKey(value, 0.2f, rng() % 2 ? 0.0f : -0.4f, rng() % 2 ? 0.0f : 0.3f);
        default:
            return MakeKey(value, kCubic, KFCURVE_TANGEANT_USER, slope, 0.0f, KFCURVE_WEIGHTED_ALL, 0.3f, 0.2f);
    }
}

}  // namespace nodetest

#endif
