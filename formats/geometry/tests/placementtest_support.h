#ifndef ZEQ_FORMATS_GEOMETRY_TESTS_PLACEMENTTEST_SUPPORT_H
#define ZEQ_FORMATS_GEOMETRY_TESTS_PLACEMENTTEST_SUPPORT_H

// Generated scenes for the geometry writers' placement tests: chains of a null holding a mesh
// holding a mesh, the three with the same transform features, and where the test-only evaluation
// of the values puts every vertex. A writer's file, read back by our reader or a peer, must hold
// the vertices there.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqmesh.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/kfiletakelayers_scene.h"
#include "scene/tests/kfiletransform_scene.h"
#include "scene/tests/kfiletransform_support.h"

namespace zeqtest {

using Point3 = std::array<double, 3>;

// A box off the origin with unequal sides, so that every turn, scale and pivot shows.
inline std::vector<Point3> BoxPoints() {
    std::vector<Point3> points;
    for (int i = 0; i < 8; ++i) points.push_back({i & 1 ? 1.5 : -1.0, i & 2 ? 2.0 : -0.5, i & 4 ? 0.75 : -1.25});
    return points;
}

struct PlacementCase {
    std::string mName;
    unsigned mFeatures = 0;
    int mOrder = 0;
    bool mKeyed = false;
    zeqsdk_400::KZeqNode* mNodes[3] = {nullptr, nullptr, nullptr};  // the null, its mesh, that mesh's mesh
    FileTransformValues mDefaults[3];
    std::vector<std::pair<double, FileTransformValues>> mKeys[3];  // at 0, 1 and 2 s when keyed
    TakeLayering mLayerings[3];                                    // the keyed take's warps and layers
};

// Beyond the transform features of a case: the null and the second mesh of the chain turned
// within a tenth of a degree of a quarter turn about one axis, at their default values and at
// their keys, so that the first mesh's global turn and the second's local one lie that near (the
// other two angles random with the rotation feature, else none, as for the first mesh).
constexpr unsigned kNearQuarterTurnX = 1u << 16, kNearQuarterTurnY = 1u << 17, kNearQuarterTurnZ = 1u << 18;

// Beyond them: the keyed take's time warps and layers, kinds of RandomTakeLayering shifted by
// kTakeKindsShift, on every node of the chain.
constexpr int kTakeKindsShift = 20;

// A warp on the translation, the rotation or the whole transform, a translation layer, a rotation
// layer, and both layers under a warp, on chains of every order with a pre-rotation and without
// (the other features apart: the full transform composes them alike).
inline std::vector<std::pair<unsigned, int>> TakeLayeringCases() {
    std::vector<std::pair<unsigned, int>> cases;
    for (unsigned kind : TakeLayeringKinds())
        for (int order = 0; order <= 6; ++order)
            for (unsigned pre : {0u, static_cast<unsigned>(kPreRotation)})
                cases.emplace_back(pre | kind << kTakeKindsShift, order);
    return cases;
}

// The feature sets of the cases: each alone, rotation alone and all together in every order;
// translation, rotation and uneven scaling together in every order (each mesh turned under an
// unevenly scaled parent, sheared); turns near a quarter turn about each axis alone, with the
// other angles (in every order), and with a rotation pivot or a geometric transform.
inline std::vector<std::pair<unsigned, int>> FeatureCases() {
    std::vector<std::pair<unsigned, int>> cases;
    for (int i = 0; i < 10; ++i)
        if ((1u << i) != kRotation) cases.emplace_back(1u << i, 0);
    for (int order = 0; order <= 6; ++order) {
        cases.emplace_back(kRotation, order);
        cases.emplace_back(kAllFeatures, order);
    }
    for (int order = 0; order <= 6; ++order) cases.emplace_back(kTranslation | kRotation | kScaling, order);
    const unsigned withTurns[] = {0, kRotation, kRotationPivot, kRotation | kRotationPivot, kRotation | kGeometric};
    for (unsigned turn : {kNearQuarterTurnX, kNearQuarterTurnY, kNearQuarterTurnZ}) {
        for (unsigned with : withTurns) cases.emplace_back(turn | with, 0);
        for (int order = 1; order <= 6; ++order) cases.emplace_back(turn | kRotation, order);
    }
    return cases;
}

// The names of a set's features, joined.
inline std::string FeatureSetName(unsigned features) {
    const unsigned transform = features & kAllFeatures;
    std::string name = transform == kAllFeatures ? "all" : transform == 0 ? "none" : "";
    for (int i = 0; i < 10 && transform != kAllFeatures; ++i)
        if (transform & (1u << i)) name += (name.empty() ? "" : "+") + std::string(FeatureName(1u << i));
    for (int axis = 0; axis < 3; ++axis)
        if (features & (kNearQuarterTurnX << axis)) name += std::string(", near a quarter turn about ") + "XYZ"[axis];
    if (features >> kTakeKindsShift) name += ", " + TakeKindsName(features >> kTakeKindsShift);
    return name;
}

// Node k of a chain turned within a tenth of a degree of a quarter turn (either way) about the
// set's axis, if any.
inline void TurnNearAQuarter(std::mt19937& random, unsigned features, int k, FileTransformValues& v) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!(features & (kNearQuarterTurnX << axis))) continue;
        if (!(features & kRotation)) v.r[0] = v.r[1] = v.r[2] = 0.0;
        if (k == 1) continue;
        const double off = 0.01 + 0.08 * (random() / 4294967296.0);
        v.r[axis] = Held((random() % 2 ? 90.0 : -90.0) - off);
    }
}

// The feature cases and the take's warps and layers after them, for the static exports, which
// write the default values whatever the current take plays.
inline std::vector<std::pair<unsigned, int>> StaticExportCases() {
    std::vector<std::pair<unsigned, int>> cases = FeatureCases();
    const std::vector<std::pair<unsigned, int>> layered = TakeLayeringCases();
    cases.insert(cases.end(), layered.begin(), layered.end());
    return cases;
}

// Nodes without anything a take's local matrix leaves out: translation, rotation XYZ (or
// spheric) and scaling, some of them with pivot set 0 active but holding nothing.
inline std::vector<std::pair<unsigned, int>> PlainCases() {
    return {{kTranslation | kRotation | kScaling, 0}, {kTranslation | kRotation | kScaling, 6}, {kRotation, 0}};
}

inline zeqsdk_400::KZeqMesh* AddBox(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqNode& node) {
    using namespace zeqsdk_400;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    const std::vector<Point3> points = BoxPoints();
    mesh->InitControlPoints(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
        mesh->GetControlPoints()[i] = KZeqVector4(points[i][0], points[i][1], points[i][2], 1.0);
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& face : faces) {
        mesh->BeginPolygon();
        for (int v : face) mesh->AddPolygon(v);
        mesh->EndPolygon();
    }
    node.SetNodeAttribute(mesh);
    return mesh;
}

// One chain per feature set, unkeyed and keyed, below the scene's root; names "P<n>H", "P<n>B",
// "P<n>L" (null, mesh, mesh).
inline std::vector<PlacementCase> AddPlacementCases(zeqsdk_400::KZeqSdkManager& manager,
                                                    zeqsdk_400::KZeqScene& scene,
                                                    const std::vector<std::pair<unsigned, int>>& sets,
                                                    unsigned seed, bool plain = false) {
    using namespace zeqsdk_400;
    std::mt19937 random(seed);
    std::vector<PlacementCase> cases;
    for (const auto& set : sets) {
        for (bool keyed : {false, true}) {
            PlacementCase c;
            c.mFeatures = set.first;
            c.mOrder = set.second;
            c.mKeyed = keyed;
            c.mName = std::string("P") + std::to_string(cases.size()) + " (" + FeatureSetName(set.first) +
                      ", order " + std::to_string(set.second) + (keyed ? ", keyed)" : ")");
            KZeqNode* parent = scene.GetRootNode();
            for (int k = 0; k < 3; ++k) {
                const std::string name = "P" + std::to_string(cases.size()) + "HBL"[k];
                KZeqNode* node = manager.CreateKZeqNode(name.c_str());
                c.mDefaults[k] = RandomFileValues(random, set.first & kAllFeatures, set.second);
                TurnNearAQuarter(random, set.first, k, c.mDefaults[k]);
                SetFileValues(*node, c.mDefaults[k]);
                // Plain chains hold an inactive pivot set above active empty ones.
                if (plain && k == 0) node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
                if (k > 0) AddBox(manager, *node);
                if (keyed) {
                    for (double seconds : {0.0, 1.0, 2.0}) {
                        const FileTransformValues v =
                            RandomFileValues(random, kTranslation | kRotation | kScaling, set.second);
                        FileTransformValues keyedValues = c.mDefaults[k];
                        std::copy(v.t, v.t + 3, keyedValues.t);
                        std::copy(v.r, v.r + 3, keyedValues.r);
                        std::copy(v.s, v.s + 3, keyedValues.s);
                        TurnNearAQuarter(random, set.first, k, keyedValues);
                        c.mKeys[k].emplace_back(seconds, keyedValues);
                    }
                    KeyFileValues(*node, "Take 001", c.mKeys[k]);
                    if (set.first >> kTakeKindsShift) {
                        c.mLayerings[k] = RandomTakeLayering(random, set.first >> kTakeKindsShift);
                        AddTakeLayering(*node, "Take 001", c.mLayerings[k]);
                    }
                }
                parent->AddChild(node);
                c.mNodes[k] = node;
                parent = node;
            }
            cases.push_back(c);
        }
    }
    return cases;
}

// The values of node k of a case: its default values without a time, else its take's at seconds.
inline FileTransformValues CaseValues(const PlacementCase& c, int k, const double* seconds) {
    if (!seconds || !c.mKeyed) return c.mDefaults[k];
    return LayeredValues(c.mLayerings[k], *seconds, [&c, k](double at) { return ValuesBetweenKeys(c.mKeys[k], at); });
}

// Where the test-only evaluation puts the box of mesh node k (1 or 2) of a case.
inline std::vector<Point3> ExpectedPoints(const PlacementCase& c, int k, const double* seconds) {
    Mat4 m = FileGeometricMatrix(c.mDefaults[k]);
    for (int at = k; at >= 0; --at) m = Multiply(m, FileLocalMatrix(CaseValues(c, at, seconds)));
    std::vector<Point3> points;
    for (const Point3& p : BoxPoints()) points.push_back(Apply(m, p));
    return points;
}

// The largest extent of the points along an axis, at least 1.
inline double SizeOf(const std::vector<Point3>& points) {
    double size = 1.0;
    for (int a = 0; a < 3; ++a) {
        double low = points.front()[a], high = low;
        for (const Point3& p : points) low = std::min(low, p[a]), high = std::max(high, p[a]);
        size = std::max(size, high - low);
    }
    return size;
}

// Every expected point has a read point within tolerance and every read point an expected one:
// readers may weld, split or reorder the points of a mesh.
inline void ExpectSamePoints(const std::vector<Point3>& expected, const std::vector<Point3>& actual,
                             double tolerance, const std::string& what) {
    ASSERT_FALSE(actual.empty()) << what << ": no points read";
    const auto nearest = [](const Point3& p, const std::vector<Point3>& among) {
        double best = INFINITY;
        for (const Point3& q : among)
            best = std::min(best, std::max({std::fabs(p[0] - q[0]), std::fabs(p[1] - q[1]), std::fabs(p[2] - q[2])}));
        return best;
    };
    for (const Point3& p : expected)
        EXPECT_LE(nearest(p, actual), tolerance)
            << what << ": nothing read near (" << p[0] << ", " << p[1] << ", " << p[2] << ")";
    for (const Point3& p : actual)
        EXPECT_LE(nearest(p, expected), tolerance)
            << what << ": read (" << p[0] << ", " << p[1] << ", " << p[2] << ") where none should be";
}

// The control points of a read mesh node where its node puts them (at seconds, or its default values).
inline std::vector<Point3> PlacedPoints(zeqsdk_400::KZeqNode& node, const double* seconds) {
    using namespace zeqsdk_400;
    KTime time;
    if (seconds) time.SetSecondDouble(*seconds);
    const KZeqXMatrix global = seconds ? node.EvaluateGlobalTransform(time) : node.EvaluateGlobalTransform();
    const KZeqXMatrix m = global * node.EvaluateGeometricTransform();
    std::vector<Point3> points;
    KZeqMesh* mesh = node.GetMesh();
    for (int i = 0; mesh && i < mesh->GetControlPointsCount(); ++i) {
        const KZeqVector4 p = m.MultT(mesh->GetControlPoints()[i]);
        points.push_back({p[0], p[1], p[2]});
    }
    return points;
}

// FNV-1a of a file's bytes.
inline std::uint64_t FileHash(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 1469598103934665603ull;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) {
        hash ^= static_cast<unsigned char>(*it);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace zeqtest

#endif
