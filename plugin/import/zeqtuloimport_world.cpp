// The host correction: the import scale and the host's up axis, applied to the scene's top nodes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "fcurve/kfcurve.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqtakenode.h"
#include "tglobal.h"

using namespace zeqsdk_400;

bool ZeqTuloImport::IsAlternativeZeqRootNode(KZeqNode* /*node*/) { return false; }

bool ZeqTuloImport::NeedZeqRoot(KZeqNode* node) {
    if (node && static_cast<ZeqTuloNode*>(node)->mIsPresent) return false;
    return KZeqPluginImportBase::NeedZeqRoot(node);
}

void ZeqTuloImport::ComputeWorldTransform(KgeAMatrix& matrix) {
    double scale = ZeqTuloUserParams::Instance()->GetDoubleParam(KZeqUserParams::kImportMasterScale);
    // A scale of 0, below 0 or not a number would flatten or mirror the whole scene.
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) matrix[row][column] = row == column ? 1.0 : 0.0;
    matrix[0][0] = matrix[1][1] = matrix[2][2] = scale;

    TStringArray axis;
    TGlobal::executeCommand("upAxis -q -axis", axis, false, false);
    if (axis.length() > 0 && std::strcmp(axis[0].asChar(), "z") == 0) {
        // Row vectors: the quarter turn about X that takes +Y to +Z (and +Z to -Y), after the scale.
        const KgeAMatrix turn = {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}};
        KgeAMatrix scaled;
        std::memcpy(scaled, matrix, sizeof(KgeAMatrix));
        KmAA(matrix, turn, scaled);
    }
}

void ZeqTuloImport::CustomApplyWorldTransform(KZeqNode* node, KgeAMatrix& matrix, bool identity) {
    KZeqPluginImportBase::CustomApplyWorldTransform(node, matrix, identity);
    if (identity) return;
    mWorldCorrection.reset(new KZeqXMatrix);
    std::memcpy(static_cast<KgeAMatrix&>(*mWorldCorrection), matrix, sizeof(KgeAMatrix));
}

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

void ZeqTuloImport::PropagateWorldTransformToChildrenOf(KZeqNode* node) {
    if (!mWorldCorrection || !node) return;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        KZeqNode* child = node->GetChild(i);
        if (NeedZeqRoot(child)) ComposeIntoLocal(*child, *mWorldCorrection);
    }
}
