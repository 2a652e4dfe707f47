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

void ZeqTuloImport::PropagateWorldTransformToChildrenOf(KZeqNode* node) {
    if (!mWorldCorrection || !node) return;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        KZeqNode* child = node->GetChild(i);
        if (NeedZeqRoot(child)) ComposeIntoLocal(*child, *mWorldCorrection);
    }
}
