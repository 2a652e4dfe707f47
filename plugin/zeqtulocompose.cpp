// Composing a transform into nodes' local values, defaults and keys alike.
#include "plugin/zeqtulocompose.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

// The node's local matrix composed with the correction (the local one applied first).
KZeqXMatrix Corrected(const KZeqXMatrix& local, const KZeqXMatrix& correction) {
    KZeqXMatrix out;
    KmAA(out, correction, local);
    return out;
}

}  // namespace

std::vector<KTime> TransformKeyTimes(KZeqNode& node) {
    std::set<kLongLong> times;
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take || take == node.GetDefaultTakeNode()) return {};
    KFCurve* curves[9] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                          take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                          take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
    for (KFCurve* curve : curves)
        if (curve)
            for (int k = 0; k < curve->KeyGetCount(); ++k) times.insert(curve->KeyGetPtr(k)->GetTime().Get());
    std::vector<KTime> out;
    for (kLongLong t : times) out.push_back(KTime(t));
    return out;
}

std::size_t ComposeIntoLocal(KZeqNode& node, const KZeqXMatrix& above, bool* exact) {
    // Keys first, all read before any is written: a written key changes what the next reads.
    const std::vector<KTime> times = TransformKeyTimes(node);
    std::vector<KZeqXMatrix> keyed;
    keyed.reserve(times.size());
    for (KTime t : times) {
        node.SetLocalStateFromCurrentTake(t, false);
        keyed.push_back(Corrected(node.GetLocalState(), above));
    }
    for (std::size_t k = 0; k < times.size(); ++k) {
        node.SetLocalState(keyed[k]);
        node.SetCurrentTakeFromLocalState(times[k], false);
    }
    // The current take's values where it has no key: what the take gives between and without keys.
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (take && take != node.GetDefaultTakeNode()) {
        KFCurve* curves[9] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                              take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                              take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        double values[9] = {0, 0, 0, 0, 0, 0, 1, 1, 1};
        for (int i = 0; i < 9; ++i)
            if (curves[i]) values[i] = curves[i]->GetValue();
        const KZeqXMatrix corrected =
            Corrected(KZeqXMatrix(KZeqMatrix(KZeqVector4(values[0], values[1], values[2], 1),
                                             KZeqVector4(values[3], values[4], values[5], 1),
                                             KZeqVector4(values[6], values[7], values[8], 1))),
                      above);
        const KZeqVector4 parts[3] = {corrected.GetT(), corrected.GetR(), corrected.GetS()};
        for (int i = 0; i < 9; ++i)
            if (curves[i] && curves[i]->KeyGetCount() == 0) curves[i]->SetValue(static_cast<float>(parts[i / 3][i % 3]));
    }
    KZeqVector4 t, r, s;
    node.GetDefaultT(t), node.GetDefaultR(r), node.GetDefaultS(s);
    const KZeqXMatrix local(KZeqMatrix(t, r, s));
    const KZeqXMatrix corrected = Corrected(local, above);
    node.SetDefaultT(corrected.GetT());
    node.SetDefaultR(corrected.GetR());
    node.SetDefaultS(corrected.GetS());
    if (exact) {
        // A scaling that is not uniform under a rotation shears: no translation, rotation and
        // scaling give that matrix back.
        const KZeqMatrix back(corrected.GetT(), corrected.GetR(), corrected.GetS());
        *exact = true;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) {
                const double want = corrected.mData[i][j];
                if (std::fabs(back.mData[i][j] - want) > 1e-9 * std::max(1.0, std::fabs(want))) *exact = false;
            }
    }
    return times.size();
}

bool TakesPivots(const KZeqNode& node) {
    ERotationOrder order = eEULER_XYZ;
    node.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    if (order != eEULER_XYZ) return true;
    KZeqNode::EPivotState state;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return false;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    for (const KZeqVector4& v : {node.GetRotationOffset(set), node.GetRotationPivot(set), node.GetPreRotation(set),
                                 node.GetPostRotation(set), node.GetScalingOffset(set), node.GetScalingPivot(set)})
        if (v[0] != 0 || v[1] != 0 || v[2] != 0) return true;
    return false;
}

std::vector<std::string> ComposeIntoChildren(KZeqNode& parent, const KZeqXMatrix& turn, const std::string& about) {
    std::vector<std::string> notes;
    for (int i = 0; i < parent.GetChildCount(); ++i) {
        KZeqNode& child = *parent.GetChild(i);
        bool exact = true;
        const std::size_t keys = ComposeIntoLocal(child, turn, &exact);
        const std::string who = std::string(child.GetNameWithoutNameSpacePrefix().Buffer()) + ": ";
        if (!exact)
            notes.push_back(who + "the forward-axis turn of " + about +
                            " shears it, which its translation, rotation and scaling cannot hold; its place in the "
                            "world differs.");
        if (TakesPivots(child))
            notes.push_back(who + "the forward-axis turn of " + about +
                            " is composed into its transform without its pivots and rotation order; its place in "
                            "the world may differ.");
        if (keys > 0)
            notes.push_back(who + "its keys take the forward-axis turn of " + about +
                            " key by key; between keys its motion may differ.");
    }
    return notes;
}
