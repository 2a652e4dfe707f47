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

// The translation, X-first angles and scaling of m, the scaling with the signs of was (the node's
// own scaling) where they give a rotation: a scaling pivot scales about the same point only under
// the same scaling, which a mirror taken as all three axes negated is not. Close to gimbal lock the
// SDK's decomposition takes the matrix for one (within 1e-6 of it), which would move a node
// composed there by up to a tenth of a degree; these angles are exact up to the lock itself.
struct Parts {
    KZeqVector4 mT, mR, mS;
};
Parts Decompose(const KZeqXMatrix& m, const KZeqVector4& was) {
    Parts parts{m.GetT(), m.GetR(), m.GetS()};
    KZeqVector4& s = parts.mS;
    if (s[0] == 0 || s[1] == 0 || s[2] == 0) return parts;
    // GetS negates all three axes of a mirror.
    const bool mirrors = s[0] < 0;
    bool odd = false;
    for (int i = 0; i < 3; ++i) odd = odd != (was[i] < 0);
    bool resigned = false;
    if (odd == mirrors)
        for (int i = 0; i < 3; ++i) {
            const double signedLength = was[i] < 0 ? -std::fabs(s[i]) : std::fabs(s[i]);
            resigned = resigned || signedLength != s[i];
            s[i] = signedLength;
        }
    double r[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = m.mData[i][j] / s[i];
    const double cy = std::hypot(r[0][0], r[0][1]);
    if (cy < 1e-12) {
        // At the lock itself GetR's angles hold for its own signs only.
        if (resigned) KmRtoVord(parts.mR.mData, r, 0);
        return parts;
    }
    const double toDegrees = 180.0 / M_PI;
    parts.mR = KZeqVector4(std::atan2(r[1][2], r[2][2]) * toDegrees, std::atan2(-r[0][2], cy) * toDegrees,
                           std::atan2(r[0][1], r[0][0]) * toDegrees, 0);
    return parts;
}

// The current take's translation, rotation and scaling curves.
void TransformCurves(KZeqTakeNode& take, KFCurve* (&curves)[9]) {
    KFCurve* all[9] = {take.GetTranslationX(), take.GetTranslationY(), take.GetTranslationZ(),
                       take.GetEulerRotationX(), take.GetEulerRotationY(), take.GetEulerRotationZ(),
                       take.GetScaleX(), take.GetScaleY(), take.GetScaleZ()};
    std::copy(all, all + 9, curves);
}

double Part(const Parts& parts, int i) { return (i < 3 ? parts.mT : i < 6 ? parts.mR : parts.mS)[i % 3]; }

// The values of the nine curves: at time where a curve has keys (with a time), else its value; the
// neutral value for a curve missing.
void ValuesOf(KFCurve* const (&curves)[9], const KTime* time, double (&values)[9]) {
    for (int i = 0; i < 9; ++i) {
        KFCurve* curve = curves[i];
        if (!curve)
            values[i] = i < 6 ? 0.0 : 1.0;
        else
            values[i] = time && curve->KeyGetCount() > 0 ? curve->Evaluate(*time) : curve->GetValue();
    }
}

// Translation, rotation X first and scaling of the nine values.
KZeqXMatrix XFirstMatrix(const double (&values)[9]) {
    return KZeqXMatrix(KZeqMatrix(KZeqVector4(values[0], values[1], values[2], 1),
                                  KZeqVector4(values[3], values[4], values[5], 1),
                                  KZeqVector4(values[6], values[7], values[8], 1)));
}

KZeqVector4 ScalingOf(const double (&values)[9]) { return KZeqVector4(values[6], values[7], values[8], 0); }

bool IsZero(const KZeqVector4& v) { return v[0] == 0 && v[1] == 0 && v[2] == 0; }

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::max(std::fabs(a), std::fabs(b))); }

// Whether the 3x3 block of m is a rotation times a uniform scale, and that scale.
bool Similarity(const KZeqXMatrix& m, double& scale) {
    double dot[3][3];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) {
            dot[i][k] = 0;
            for (int j = 0; j < 3; ++j) dot[i][k] += m.mData[i][j] * m.mData[k][j];
        }
    scale = std::sqrt(dot[0][0]);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            if (!Near(dot[i][k], i == k ? dot[0][0] : 0.0)) return false;
    return true;
}

// p (a row) through the 3x3 block of m.
KZeqVector4 Through(const KZeqVector4& p, const double (&m)[4][4]) {
    KZeqVector4 out;
    for (int j = 0; j < 3; ++j) out[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j];
    return out;
}

// p scaled by s axis by axis, or divided by it (an axis of scale 0 as it is).
KZeqVector4 Scaled(const KZeqVector4& p, const KZeqVector4& s) { return KZeqVector4(p[0] * s[0], p[1] * s[1], p[2] * s[2], 0); }
KZeqVector4 Unscaled(const KZeqVector4& p, const KZeqVector4& s) {
    KZeqVector4 out;
    for (int i = 0; i < 3; ++i) out[i] = s[i] != 0 ? p[i] / s[i] : p[i];
    return out;
}

}  // namespace

std::vector<KTime> TransformKeyTimes(KZeqNode& node) {
    std::set<kLongLong> times;
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take || take == node.GetDefaultTakeNode()) return {};
    KFCurve* curves[9];
    TransformCurves(*take, curves);
    for (KFCurve* curve : curves)
        if (curve)
            for (int k = 0; k < curve->KeyGetCount(); ++k) times.insert(curve->KeyGetPtr(k)->GetTime().Get());
    std::vector<KTime> out;
    for (kLongLong t : times) out.push_back(KTime(t));
    return out;
}

KZeqXMatrix TakeValuesMatrix(KZeqNode& node, KTime time) {
    KFCurve* curves[9] = {};
    if (KZeqTakeNode* take = node.GetCurrentTakeNode()) TransformCurves(*take, curves);
    double values[9];
    ValuesOf(curves, &time, values);
    return XFirstMatrix(values);
}

std::size_t ComposeIntoLocal(KZeqNode& node, const KZeqXMatrix& above, bool* exact) {
    // Keys first, all read before any is written: a written key changes what the next reads.
    const std::vector<KTime> times = TransformKeyTimes(node);
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    KFCurve* curves[9] = {};
    if (take && take != node.GetDefaultTakeNode()) TransformCurves(*take, curves);
    std::vector<Parts> keyed;
    keyed.reserve(times.size());
    for (KTime t : times) {
        double values[9];
        ValuesOf(curves, &t, values);
        keyed.push_back(Decompose(Corrected(XFirstMatrix(values), above), ScalingOf(values)));
    }
    for (std::size_t k = 0; k < times.size(); ++k)
        for (int i = 0; i < 9; ++i) {
            const int key = curves[i] ? curves[i]->KeyInsert(times[k], nullptr) : -1;
            if (key >= 0) curves[i]->KeyGetPtr(key)->SetValue(static_cast<float>(Part(keyed[k], i)));
        }
    // The current take's values where it has no key: what the take gives between and without keys.
    if (take && take != node.GetDefaultTakeNode()) {
        double values[9];
        ValuesOf(curves, nullptr, values);
        const Parts parts = Decompose(Corrected(XFirstMatrix(values), above), ScalingOf(values));
        for (int i = 0; i < 9; ++i)
            if (curves[i] && curves[i]->KeyGetCount() == 0) curves[i]->SetValue(static_cast<float>(Part(parts, i)));
    }
    KZeqVector4 t, r, s;
    node.GetDefaultT(t), node.GetDefaultR(r), node.GetDefaultS(s);
    const KZeqXMatrix local(KZeqMatrix(t, r, s));
    const KZeqXMatrix corrected = Corrected(local, above);
    const Parts parts = Decompose(corrected, s);
    node.SetDefaultT(parts.mT);
    node.SetDefaultR(parts.mR);
    node.SetDefaultS(parts.mS);
    if (exact) {
        // A scaling that is not uniform under a rotation shears: no translation, rotation and
        // scaling give that matrix back.
        const KZeqMatrix back(parts.mT, parts.mR, parts.mS);
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
        if (!IsZero(v)) return true;
    return false;
}

bool PivotsHold(const KZeqNode& node, const KZeqXMatrix& above) {
    if (SameMatrix(above, KZeqXMatrix())) return true;
    // The values are read as XYZ angles and written back as such.
    ERotationOrder order = eEULER_XYZ;
    node.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    if (order != eEULER_XYZ) return false;
    KZeqNode::EPivotState state;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return true;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    // above = L followed by a translation: the rotation takes L in (R L), the translation takes
    // L and the translation. A pre-rotation sits between them, and the rotation pivot and offset
    // with the translation after the rotation: L must leave their sum where it is.
    if (!IsZero(node.GetPreRotation(set))) return false;
    const KZeqVector4 shift = node.GetRotationPivot(set) + node.GetRotationOffset(set);
    for (int j = 0; j < 3; ++j) {
        double moved = 0;
        for (int i = 0; i < 3; ++i) moved += shift[i] * above.mData[i][j];
        if (!Near(moved, shift[j])) return false;
    }
    // Before the rotation, the scaling takes L's scale (a uniform one), the post-rotation stays:
    // that holds when L is a rotation times a uniform scale; the scaling pivot and offset hold
    // only when that scale is 1.
    double scale = 0;
    const bool similar = Similarity(above, scale);
    if (!IsZero(node.GetPostRotation(set)) && !similar) return false;
    if (!IsZero(node.GetScalingPivot(set) + node.GetScalingOffset(set)) && !(similar && Near(scale, 1.0))) return false;
    return true;
}

KZeqXMatrix BeforeRotation(const KZeqNode& node, const KZeqVector4& scaling) {
    KZeqXMatrix out;
    for (int i = 0; i < 3; ++i) out.mData[i][i] = scaling[i];
    KZeqNode::EPivotState state;
    node.GetPivotState(KZeqNode::eSOURCE_SET, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return out;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    const KZeqVector4 pivot = node.GetScalingPivot(set);
    // A point p goes to (p - pivot) S + pivot + offset - rotation pivot, then through the
    // post-rotation's inverse.
    for (int j = 0; j < 3; ++j)
        out.mData[3][j] = pivot[j] - pivot[j] * scaling[j] + node.GetScalingOffset(set)[j] - node.GetRotationPivot(set)[j];
    const KZeqVector4& post = node.GetPostRotation(set);
    KZeqXMatrix undo;
    KmXYZtoR(undo.mData, post[0], post[1], post[2]);
    return undo.Transpose() * out;
}

std::vector<KZeqXMatrix> BeforeRotations(const KZeqNode& node, const std::vector<KZeqVector4>& scalings) {
    std::vector<KZeqXMatrix> out;
    out.reserve(scalings.size());
    for (const KZeqVector4& scaling : scalings) out.push_back(BeforeRotation(node, scaling));
    return out;
}

KZeqXMatrix ChildrenCorrection(const KZeqXMatrix& from, const KZeqXMatrix& to) { return to.Inverse() * from; }

KZeqXMatrix ChildrenCorrectionOverTime(const KZeqNode& node, const std::vector<KZeqXMatrix>& from,
                                       const std::vector<KZeqVector4>& to, bool& varies) {
    varies = false;
    if (from.empty() || to.size() != from.size()) return KZeqXMatrix();
    const KZeqXMatrix first = ChildrenCorrection(from[0], BeforeRotation(node, to[0]));
    for (std::size_t k = 1; k < from.size() && !varies; ++k)
        varies = !SameMatrix(ChildrenCorrection(from[k], BeforeRotation(node, to[k])), first);
    return first;
}

bool SameMatrix(const KZeqXMatrix& a, const KZeqXMatrix& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (std::fabs(a.mData[i][j] - b.mData[i][j]) > 1e-12) return false;
    return true;
}

bool KeepOriginThroughTurn(KZeqNode& node, const KZeqVector4& before, const std::vector<KZeqVector4>& from,
                           const std::vector<KZeqVector4>& to) {
    if (from.empty() || to.size() != from.size()) return true;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    KZeqNode::EPivotState state;
    node.GetPivotState(set, state);
    if (state != KZeqNode::ePIVOT_STATE_ACTIVE) return true;
    // Before the rotation a point p goes to (p - pivot) S + pivot + offset - rotation pivot, then
    // through the post-rotation's inverse; the origin's image, in the axes of the new post-rotation,
    // is the old one turned back by the turn.
    const KZeqVector4 pivot = node.GetScalingPivot(set), offset = node.GetScalingOffset(set);
    const KZeqVector4 rotationPivot = node.GetRotationPivot(set), after = node.GetPostRotation(set);
    double was[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    double now[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KmXYZtoR(was, before[0], before[1], before[2]);
    KmXYZtoR(now, after[0], after[1], after[2]);
    double back[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) back[i][j] = was[0][i] * now[0][j] + was[1][i] * now[1][j] + was[2][i] * now[2][j];
    const auto origin = [&](const KZeqVector4& scaling) {
        return Through(pivot - Scaled(pivot, scaling) + offset - rotationPivot, back);
    };
    // The scaling pivot where the new scaling and the turn put the old one.
    KZeqVector4 newPivot = Unscaled(Through(Scaled(pivot, to[0]), back), to[0]);
    KZeqVector4 newOffset = origin(from[0]) - newPivot + Scaled(newPivot, to[0]) + rotationPivot;
    newPivot[3] = pivot[3];
    newOffset[3] = offset[3];
    node.SetScalingPivot(set, newPivot);
    node.SetScalingOffset(set, newOffset);
    for (std::size_t k = 1; k < from.size(); ++k) {
        const KZeqVector4 want = origin(from[k]);
        const KZeqVector4 got = newPivot - Scaled(newPivot, to[k]) + newOffset - rotationPivot;
        for (int i = 0; i < 3; ++i)
            if (!Near(want[i], got[i])) return false;
    }
    return true;
}

std::string OriginAtOneTimeNote(const KZeqNode& node, const std::string& about) {
    return std::string(node.GetNameWithoutNameSpacePrefix().Buffer()) + ": " + about +
           " keeps its origin in place at one time only, its keyed scaling being about a scaling pivot; at other "
           "times its place in the world differs.";
}

std::vector<KZeqVector4> KeyedScalings(KZeqNode& node) {
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take || take == node.GetDefaultTakeNode()) return {};
    KFCurve* curves[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
    std::set<kLongLong> times;
    for (KFCurve* curve : curves)
        if (curve)
            for (int k = 0; k < curve->KeyGetCount(); ++k) times.insert(curve->KeyGetPtr(k)->GetTime().Get());
    std::vector<KZeqVector4> out;
    for (kLongLong t : times) {
        KZeqVector4 scaling(1, 1, 1, 0);
        for (int i = 0; i < 3; ++i)
            if (curves[i]) scaling[i] = curves[i]->KeyGetCount() > 0 ? curves[i]->Evaluate(KTime(t)) : curves[i]->GetValue();
        out.push_back(scaling);
    }
    return out;
}

std::vector<std::string> ComposeNoted(KZeqNode& node, const KZeqXMatrix& above, const std::string& about, bool varies) {
    std::vector<std::string> notes;
    const bool pivotsHold = PivotsHold(node, above);
    bool exact = true;
    const std::size_t keys = ComposeIntoLocal(node, above, &exact);
    const std::string who = std::string(node.GetNameWithoutNameSpacePrefix().Buffer()) + ": ";
    if (!exact)
        notes.push_back(who + about +
                        " shears it, which its translation, rotation and scaling cannot hold; its place in the world "
                        "differs.");
    if (!pivotsHold)
        notes.push_back(who + about +
                        " is composed into its transform without its pivots and rotation order; its place in the "
                        "world may differ.");
    if (varies)
        notes.push_back(who + about +
                        " changes with the keys of its parent and is composed into it as it is at one time only; at "
                        "other times its place in the world differs.");
    if (keys > 0) notes.push_back(who + "its keys take " + about + " key by key; between keys its motion may differ.");
    return notes;
}

std::vector<std::string> ComposeIntoChildren(KZeqNode& parent, const KZeqXMatrix& above, const std::string& about,
                                             bool varies) {
    std::vector<std::string> notes;
    for (int i = 0; i < parent.GetChildCount(); ++i)
        for (std::string& note : ComposeNoted(*parent.GetChild(i), above, about, varies)) notes.push_back(std::move(note));
    return notes;
}
