// Global translation, rotation and scaling of every node: the host's local matrix, turned for the
// forward axis of lights and cameras, chained through the parent's stored global values.
#include <cmath>
#include <vector>

#include "base/kgemath.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtuloutility.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

const double kQuarterTurn = 1.5707963267948966;

// The matrix of a node's stored global values: rotation rows scaled by the scaling, translation
// in the last row. Shear of an ancestor does not come through.
void StoredGlobal(const ZeqTuloNode& node, double (*m)[4]) {
    const double* t = node.GetGlobalTranslation();
    const double* r = node.GetGlobalRotation();
    const double* s = node.GetGlobalScaling();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
    KmXYZtoR(m, r[0], r[1], r[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] *= s[i];
    for (int j = 0; j < 3; ++j) m[3][j] = t[j];
}

void StoreGlobal(ZeqTuloNode& node, const double (*m)[4]) {
    const double* r0 = m[0];
    const double* r1 = m[1];
    const double* r2 = m[2];
    const double d = (r0[1] * r1[2] - r0[2] * r1[1]) * r2[0] + (r0[2] * r1[0] - r0[0] * r1[2]) * r2[1] +
                     (r0[0] * r1[1] - r0[1] * r1[0]) * r2[2];
    const double sign = d >= 0 ? 1.0 : -1.0;
    double lengths[3];
    KgeRMatrix rotation = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    bool degenerate = false;
    for (int i = 0; i < 3; ++i) {
        const double sum = m[i][0] * m[i][0] + m[i][1] * m[i][1] + m[i][2] * m[i][2];
        lengths[i] = sum == 0 ? 0.0 : std::sqrt(sum);
        if (lengths[i] == 0) degenerate = true;
        for (int j = 0; j < 3; ++j) rotation[i][j] = lengths[i] == 0 ? 0.0 : m[i][j] / (sign * lengths[i]);
    }
    KgeRVector angles(0, 0, 0);
    // A flattened axis leaves no rotation to read: it is stored as none. The general extraction:
    // the X-first one takes a turn within a tenth of a degree of a quarter turn about Y for the
    // quarter turn itself, which the children would inherit.
    if (!degenerate) KmRtoVord(angles.mData, rotation, 0);
    node.SetGlobalTranslation(KgeTVector(m[3][0], m[3][1], m[3][2]));
    node.SetGlobalRotation(angles);
    node.SetGlobalScaling(KgeSVector(sign * lengths[0], sign * lengths[1], sign * lengths[2]));
}

}  // namespace

void ZeqTuloExport::ExtractGlobalTransforms(ZeqTuloNode* start) {
    if (!start) return;
    // Parent before children, children from the last to the first, without recursion.
    std::vector<ZeqTuloNode*> pending{start};
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        const int count = node->GetChildCount(false);
        for (int i = 0; i < count; ++i) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(i)));

        const TDagPath* path = node->GetDagPath();
        if (!path) continue;
        TStatus status;
        const TObject transformNode = path->transform(&status);
        if (!status) continue;
        const TFnTransform transform(transformNode, &status);
        if (!status) continue;
        TTransformationMatrix local = transform.transformation();
        if (path->hasFn(kHostSpotLight) || path->hasFn(kHostDirectionalLight))
            local.rotateBy(TEulerRotation(kQuarterTurn, 0, 0, TEulerRotation::kXYZ), TSpace::kTransform);
        if (path->hasFn(kHostCamera) && !path->hasFn(kHostLocator))
            local.rotateBy(TEulerRotation(0, kQuarterTurn, 0, TEulerRotation::kXYZ), TSpace::kTransform);

        double m[4][4];
        ConvertMatrixTuloToZEQ(local, m);
        if (auto* parent = static_cast<ZeqTuloNode*>(node->GetParent())) {
            double p[4][4];
            StoredGlobal(*parent, p);
            KmAA(m, p, m);
        }
        StoreGlobal(*node, m);
    }
}
