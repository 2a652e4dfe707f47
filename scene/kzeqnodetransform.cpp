// The node's global matrix from its default values under a pivot set, the
// readers of that matrix, the animation interval of a subtree, and the
// conversions between local and global matrices with separate scales.
#include <cmath>
#include <utility>
#include <vector>

#include "base/kgemath.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

namespace {

bool IsActive(const KZeqNodeProperties::KZeqPivot& pivot) { return pivot.mPivotState == KZeqNode::ePIVOT_STATE_ACTIVE; }

// The x, y, z of a vector property's value (the node's own are vectors:
// read directly, without the general conversion).
void ReadXYZ(KProperty* property, double* out) {
    double values[4] = {out[0], out[1], out[2], 0.0};
    if (property && property->GetValueType() == kPropertyTypeVector)
        property->GetData(values);
    else if (property)
        property->GetDataAsDoubles(values, 3);
    for (int i = 0; i < 3; ++i) out[i] = values[i];
}

// A 3x3 product, a applied first: out = a . b (out may be a or b).
void Mul3(KgeAMatrix& out, const KgeAMatrix& a, const KgeAMatrix& b) {
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

double RowLength(const double* row) { return std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]); }

double Determinant(const KgeAMatrix& m) {
    return (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * m[2][0] + (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * m[2][1] +
           (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * m[2][2];
}

// The signed row scales of a block (all negative when it mirrors, also for
// a determinant that is not a number) and the block with each row divided
// by its scale; a zero row stays zero.
void SplitScale(const KgeAMatrix& m, double* scale, KgeAMatrix& rotation) {
    const double sign = Determinant(m) >= 0.0 ? 1.0 : -1.0;
    for (int i = 0; i < 3; ++i) {
        scale[i] = sign * RowLength(m[i]);
        for (int j = 0; j < 3; ++j) rotation[i][j] = scale[i] != 0.0 ? m[i][j] / scale[i] : 0.0;
    }
}

// The rotation block of Euler XYZ angles in degrees; false, with the block
// left as it is, for no rotation at all (the common case spares the trigonometry).
bool Rotation(KZeqMatrix& m, const double* angles) {
    if (angles[0] == 0.0 && angles[1] == 0.0 && angles[2] == 0.0) return false;
    KmXYZtoR(m, angles[0], angles[1], angles[2]);
    return true;
}

// Scale and pure rotation of a matrix, the rotation rebuilt from its Euler XYZ angles.
void Decompose(const KgeAMatrix& m, double* scale, KgeAMatrix& rotation) {
    SplitScale(m, scale, rotation);
    double angles[3];
    KmRtoVord(angles, rotation, 0);
    KmXYZtoR(rotation, angles[0], angles[1], angles[2]);
}

// Row i of the output = scale i x row i of the rotation; row 3 = t.
void Compose(KgeAMatrix& out, const double* scale, const KgeAMatrix& rotation, const double* t) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) out[i][j] = scale[i] * rotation[i][j];
        out[3][i] = t[i];
    }
}

// Point p (x, y, z, 1) through an affine matrix.
void TransformPoint(double* out, const KgeAMatrix& m, const double* p) {
    for (int j = 0; j < 3; ++j) out[j] = m[0][j] * p[0] + m[1][j] * p[1] + m[2][j] * p[2] + m[3][j];
}

}  // namespace

// ---- Global matrix per pivot set ----------------------------------------------------------

KZeqXMatrix& KZeqNode::GetGlobalMatrix(EPivotSet set, bool force) {
    KZeqNodeProperties::KZeqPivot& pivot = Pivot(set);
    if (!force && pivot.mGlobalMatrixValid) return pivot.mGlobalMatrix;
    KZeqNode* root = this;
    while (KZeqNode* parent = root->GetParent()) root = parent;
    root->ComputeGlobalMatrix(set);
    return pivot.mGlobalMatrix;
}

void KZeqNode::ComputeGlobalMatrix(EPivotSet set) {
    // Depth first with a stack of its own (hierarchies may be deeper than the
    // call stack), each node with its parent.
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pending{{this, GetParent()}};
    while (!pending.empty()) {
        const std::pair<KZeqNode*, KZeqNode*> entry = pending.back();
        pending.pop_back();
        KZeqNode* node = entry.first;
        node->ComputeOwnGlobalMatrix(set, entry.second);
        const std::vector<KZeqNode*>& children = node->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.emplace_back(*it, node);
    }
}

void KZeqNode::ComputeOwnGlobalMatrix(EPivotSet set, KZeqNode* parent) {
    KZeqNodeProperties::KZeqPivot& own = Pivot(set);
    KZeqMatrix parentGlobal;
    if (parent) {
        const KgeAMatrix& from = parent->GetGlobalMatrix(set, false);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) parentGlobal.mData[i][j] = from[i][j];
    }

    double t[3] = {0.0, 0.0, 0.0}, r[3] = {0.0, 0.0, 0.0}, s[3] = {1.0, 1.0, 1.0};
    ReadXYZ(mProperties->mLclTranslation, t);
    ReadXYZ(mProperties->mLclRotation, r);
    ReadXYZ(mProperties->mLclScaling, s);
    const bool active = IsActive(own);
    if (active)
        for (int i = 0; i < 3; ++i) t[i] += own.mRotationPivot[i];
    if (parent && IsActive(parent->Pivot(set))) {
        // The parent's pivot as its children see it: turned back by its post-rotation.
        const KZeqNodeProperties::KZeqPivot& up = parent->Pivot(set);
        KZeqMatrix post;
        Rotation(post, up.mPostRotation);
        for (int j = 0; j < 3; ++j)
            t[j] -= up.mRotationPivot[0] * post.mData[j][0] + up.mRotationPivot[1] * post.mData[j][1] +
                    up.mRotationPivot[2] * post.mData[j][2];
    }

    // Local block: scaling, post-rotation, rotation, pre-rotation, in that order.
    KZeqMatrix block;
    Rotation(block, r);
    if (active) {
        for (int i = 0; i < 3; ++i) t[i] += own.mRotationOffset[i];
        KZeqMatrix turn;
        if (Rotation(turn, own.mPostRotation)) Mul3(block, turn, block);
        if (Rotation(turn, own.mPreRotation)) Mul3(block, block, turn);
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) block.mData[i][j] *= s[i];

    // Then the parent's global matrix.
    KgeAMatrix& g = own.mGlobalMatrix;
    const KgeAMatrix& p = parentGlobal;
    Mul3(g, block, p);
    TransformPoint(g[3], p, t);
    own.mGlobalMatrixValid = true;
}

KZeqVector4 KZeqNode::GetGlobalT(EPivotSet set, bool force) {
    const KgeAMatrix& g = GetGlobalMatrix(set, force);
    return KZeqVector4(g[3][0], g[3][1], g[3][2], 0.0);
}

KZeqVector4 KZeqNode::GetGlobalR(EPivotSet set, bool force) {
    double scale[3], angles[3];
    KZeqMatrix rotation;
    SplitScale(GetGlobalMatrix(set, force), scale, rotation);
    KmRtoVord(angles, rotation, 0);
    return KZeqVector4(angles[0], angles[1], angles[2], 0.0);
}

KZeqVector4 KZeqNode::GetGlobalS(EPivotSet set, bool force) {
    double scale[3];
    KZeqMatrix rotation;
    SplitScale(GetGlobalMatrix(set, force), scale, rotation);
    return KZeqVector4(scale[0], scale[1], scale[2], 0.0);
}

// ---- Animation interval ---------------------------------------------------------------------

bool KZeqNode::GetAnimationInterval(KTime& start, KTime& stop) {
    KTime first = KTime::Infinite();
    KTime last = KTime::MinusInfinite();
    const bool found = GetAnimationIntervalRecursive(first, last);
    if (found) {
        if (first < start) start = first;
        if (last > stop) stop = last;
    }
    return found;
}

bool KZeqNode::GetAnimationIntervalRecursive(KTime& start, KTime& stop) {
    bool found = false;
    std::vector<KZeqNode*> pending{this};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        found = node->KZeqTakeNodeContainer::GetAnimationInterval(start, stop) || found;
        const std::vector<KZeqNode*>& children = node->Children();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return found;
}

// ---- Separate scale, rotation and translation -------------------------------------------------

KgeAMatrix& KZeqNode::ComputeLocalMatrixVeltrixStyle(KZeqXMatrix& local, KZeqXMatrix& parentGlobal,
                                                     KZeqXMatrix& global) {
    KZeqMatrix inverse, parentRotation, globalRotation, rotation;
    double parentScale[3], globalScale[3], scale[3], t[3];
    KmAi(inverse, parentGlobal);
    TransformPoint(t, inverse, static_cast<KgeAMatrix&>(global)[3]);
    Decompose(parentGlobal, parentScale, parentRotation);
    Decompose(global, globalScale, globalRotation);
    KmRiR(rotation, parentRotation, globalRotation);
    for (int i = 0; i < 3; ++i) scale[i] = parentScale[i] != 0.0 ? globalScale[i] / parentScale[i] : 0.0;
    KgeAMatrix& out = local;
    Compose(out, scale, rotation, t);
    return out;
}

KgeAMatrix& KZeqNode::ComputeGlobalMatrixVeltrixStyle(KZeqXMatrix& global, KZeqXMatrix& parentGlobal,
                                                      KZeqXMatrix& local) {
    KZeqMatrix parentRotation, localRotation, rotation;
    double parentScale[3], localScale[3], scale[3], t[3];
    TransformPoint(t, parentGlobal, static_cast<KgeAMatrix&>(local)[3]);
    Decompose(parentGlobal, parentScale, parentRotation);
    Decompose(local, localScale, localRotation);
    KmRR(rotation, parentRotation, localRotation);
    for (int i = 0; i < 3; ++i) scale[i] = localScale[i] * parentScale[i];
    KgeAMatrix& out = global;
    Compose(out, scale, rotation, t);
    return out;
}

}  // namespace zeqsdk_400
