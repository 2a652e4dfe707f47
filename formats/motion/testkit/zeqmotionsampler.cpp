// World positions of a subtree over a take, and their comparison.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "formats/motion/testkit/zeqmotiontestkit.h"

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqmotiontest {

using namespace zeqsdk_400;

std::vector<KTime> FrameTimes(KTime start, KTime period, int count) {
    std::vector<KTime> times;
    for (int i = 0; i < count; ++i) times.push_back(start + period * i);
    return times;
}

std::vector<int> FirstMiddleLast(int count) {
    std::vector<int> frames;
    if (count <= 0) return frames;
    for (int f : {0, (count - 1) / 2, count - 1})
        if (f >= 0 && (frames.empty() || frames.back() != f)) frames.push_back(f);
    return frames;
}

MotionSnapshot SampleMotion(KZeqNode* top, const std::vector<KTime>& times) {
    MotionSnapshot sample;
    if (!top) return sample;
    std::vector<KZeqNode*> nodes;
    // Depth first, children in order, on a stack of (node, parent index).
    std::vector<std::pair<KZeqNode*, int>> pending{{top, -1}};
    while (!pending.empty()) {
        const auto entry = pending.back();
        pending.pop_back();
        const int index = static_cast<int>(nodes.size());
        nodes.push_back(entry.first);
        sample.mNames.push_back(entry.first->GetNameWithoutNameSpacePrefix().Buffer());
        sample.mParents.push_back(entry.second);
        KZeqVector4 t;
        entry.first->GetDefaultT(t);
        sample.mOffsets.push_back({t[0], t[1], t[2]});
        for (int i = entry.first->GetChildCount(); i-- > 0;) pending.emplace_back(entry.first->GetChild(i), index);
    }
    for (KTime time : times) {
        std::vector<Vec3> positions;
        for (KZeqNode* node : nodes) {
            const KZeqVector4 p = node->GetGlobalFromCurrentTake(time).GetT();
            positions.push_back({p[0], p[1], p[2]});
        }
        sample.mPositions.push_back(std::move(positions));
    }
    return sample;
}

namespace {

bool Near(const Vec3& a, const Vec3& b, double tolerance) {
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(a[i] - b[i]) <= tolerance)) return false;
    return true;
}

std::string Text(const Vec3& v) {
    std::ostringstream out;
    out << "(" << v[0] << ", " << v[1] << ", " << v[2] << ")";
    return out.str();
}

}  // namespace

testing::AssertionResult CompareMotion(const MotionSnapshot& expected, const MotionSnapshot& actual, double tolerance,
                                       CompareParts parts) {
    std::ostringstream out;
    out.precision(9);
    int reported = 0;
    const int kMaxReports = 6;
    auto report = [&](const std::string& line) {
        if (reported++ < kMaxReports) out << "\n  " << line;
    };
    if (expected.mNames.size() != actual.mNames.size()) {
        out << "node counts differ: " << expected.mNames.size() << " expected, " << actual.mNames.size() << " read";
        const std::size_t n = std::min(expected.mNames.size(), actual.mNames.size());
        for (std::size_t i = 0; i < n; ++i)
            if (expected.mNames[i] != actual.mNames[i]) {
                out << "; first difference at node " << i << ": " << expected.mNames[i] << " / " << actual.mNames[i];
                break;
            }
        return testing::AssertionFailure() << out.str();
    }
    const std::size_t count = expected.mNames.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& name = expected.mNames[i];
        if (parts.mNames && name != actual.mNames[i]) report("node " + std::to_string(i) + ": " + name + " / " + actual.mNames[i]);
        if (parts.mHierarchy && expected.mParents[i] != actual.mParents[i])
            report(name + ": parent " + std::to_string(expected.mParents[i]) + " / " + std::to_string(actual.mParents[i]));
        if (parts.mOffsets && !Near(expected.mOffsets[i], actual.mOffsets[i], tolerance))
            report(name + ": offset " + Text(expected.mOffsets[i]) + " / " + Text(actual.mOffsets[i]));
    }
    if (parts.mPositions) {
        if (expected.mPositions.size() != actual.mPositions.size()) {
            report("sample counts " + std::to_string(expected.mPositions.size()) + " / " +
                   std::to_string(actual.mPositions.size()));
        } else {
            double worst = 0.0;
            for (std::size_t s = 0; s < expected.mPositions.size(); ++s)
                for (std::size_t i = 0; i < count; ++i) {
                    const Vec3& a = expected.mPositions[s][i];
                    const Vec3& b = actual.mPositions[s][i];
                    for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(a[k] - b[k]));
                    if (!Near(a, b, tolerance))
                        report(expected.mNames[i] + " at sample " + std::to_string(s) + ": " + Text(a) + " / " + Text(b));
                }
            if (reported > 0) out << "\n  largest position difference " << worst;
        }
    }
    if (reported == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << reported << " difference(s), expected / actual, tolerance " << tolerance
                                       << out.str();
}

testing::AssertionResult UnrollChangesNoKey(zeqsdk_400::KZeqNode* top) {
    using namespace zeqsdk_400;
    int checked = 0;
    std::vector<KZeqNode*> pending{top};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        if (!take || take == node->GetDefaultTakeNode()) continue;
        KFCurve* curves[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        if (!curves[0] || !curves[1] || !curves[2] || curves[0]->KeyGetCount() < 2) continue;
        std::vector<std::vector<float>> before(3);
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < curves[c]->KeyGetCount(); ++k) before[c].push_back(curves[c]->KeyGetPtr(k)->GetValue());
        KFCurveFilterUnroll unroll;
        unroll.Apply(curves, 3);
        for (int c = 0; c < 3; ++c) {
            if (before[c].size() != static_cast<std::size_t>(curves[c]->KeyGetCount()))
                return testing::AssertionFailure() << node->GetName() << " curve " << c << ": key count changed";
            for (int k = 0; k < curves[c]->KeyGetCount(); ++k)
                if (before[c][static_cast<std::size_t>(k)] != curves[c]->KeyGetPtr(k)->GetValue())
                    return testing::AssertionFailure() << node->GetName() << " curve " << c << " key " << k << ": "
                                                       << before[c][static_cast<std::size_t>(k)] << " became "
                                                       << curves[c]->KeyGetPtr(k)->GetValue();
        }
        ++checked;
    }
    if (checked == 0) return testing::AssertionFailure() << "no rotation curves with keys below " << top->GetName();
    return testing::AssertionSuccess();
}

}  // namespace zeqmotiontest
