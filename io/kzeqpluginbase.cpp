#include "io/kzeqpluginbase.h"

#include <cmath>
#include <cstring>

#include "base/kzeqmatrix.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

namespace {

// The 3x3 block and the translation row against the identity; the fourth
// column does not take part.
bool IsIdentity(const KgeAMatrix& m) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            if (std::fabs(m[row][column] - (row == column ? 1.0 : 0.0)) > 0.0001) return false;
    return true;
}

void SetIdentity(KgeAMatrix& m) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) m[row][column] = row == column ? 1.0 : 0.0;
}

}  // namespace

KZeqPluginBase::KZeqPluginBase() : mZeqRootNodeName("Zeq_Root") {}

KZeqPluginBase::~KZeqPluginBase() = default;

bool KZeqPluginBase::IsZeqRootNode(KZeqNode* node) {
    if (!node) return false;
    if (std::strstr(node->GetName(), mZeqRootNodeName.Buffer())) return true;
    return IsAlternativeZeqRootNode(node);
}

bool KZeqPluginBase::IsAlternativeZeqRootNode(KZeqNode*) { return false; }

KZeqPluginImportBase::KZeqPluginImportBase() : mPreprocessed(16), mExcludedRoots(16) {}

KZeqPluginImportBase::~KZeqPluginImportBase() = default;

bool KZeqPluginImportBase::IsExcludedZeqRoot(KZeqNode* node) {
    return IsZeqRootNode(node) && mExcludedRoots.Find(node) >= 0;
}

bool KZeqPluginImportBase::NeedZeqRoot(KZeqNode* node) {
    if (mPreprocessed.Find(node) >= 0) return false;
    return !IsExcludedZeqRoot(node);
}

void KZeqPluginImportBase::CustomApplyWorldTransform(KZeqNode* node, KgeAMatrix& matrix, bool) {
    if (!node) return;
    KZeqXMatrix transform;
    std::memcpy(static_cast<KgeAMatrix&>(transform), matrix, sizeof(KgeAMatrix));
    node->SetDefaultT(transform.GetT());
    node->SetDefaultR(transform.GetEulerXYZ());
    node->SetDefaultS(transform.GetS());
    node->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true);
}

void KZeqPluginImportBase::Preprocess(KZeqNode* root) {
    if (!root) return;
    KgeAMatrix correction;
    SetIdentity(correction);
    ComputeWorldTransform(correction);
    const bool identity = IsIdentity(correction);

    KArrayTemplate<KZeqNode*> roots;
    for (int i = 0; i < root->GetChildCount(); ++i)
        if (IsZeqRootNode(root->GetChild(i))) roots.Add(root->GetChild(i));
    mPreprocessed.Clear();

    for (int i = 0; i < roots.GetCount(); ++i) {
        KZeqNode* node = roots[i];
        const KgeAMatrix& global = node->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true);
        KgeAMatrix corrected;
        SetIdentity(corrected);
        KmAA(corrected, correction, global);  // the global matrix first, then the correction
        if (IsIdentity(corrected)) {
            for (int child = 0; child < node->GetChildCount(); ++child) mPreprocessed.Add(node->GetChild(child));
            mExcludedRoots.Add(node);
        } else {
            mPreprocessed.Add(node);
        }
    }
    CustomApplyWorldTransform(root, correction, identity);
}

}  // namespace zeqsdk_400
