#include "content/kzeqlink.h"

#include <algorithm>

#include "content/kzeqdeformer.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

KZeqLink::KZeqLink() { Reset(); }

void KZeqLink::Reset() {
    mLink = nullptr;
    mLinkName = "";
    mLinkMode = eADDITIVE;
    mAssociateModel = nullptr;
    mAssociateModelName = "";
    mUserDataID = "";
    mUserData = "";
    for (auto& set : mSets) {
        set[0].Set(0.0, 0.0, 0.0, 1.0);
        set[1].Set(0.0, 0.0, 0.0, 1.0);
        set[2].Set(1.0, 1.0, 1.0, 1.0);
    }
    mParentSet = false;
    mIndices.Clear();
    mWeights.Clear();
}

void KZeqLink::SetLink(KZeqNode* node) {
    if (!node) return;
    mLink = node;
    mLinkName = node->GetName();
}

void KZeqLink::SetAssociateModel(KZeqNode* node) {
    mAssociateModel = node;
    mAssociateModelName = node ? node->GetName() : "";
}

KString KZeqLink::GetAssociateModelName() {
    if (mAssociateModel) mAssociateModelName = mAssociateModel->GetName();
    return mAssociateModelName;
}

void KZeqLink::SetUserData(const KString& id, const KString& data) {
    mUserDataID = id;
    mUserData = data;
}

KString KZeqLink::GetUserData(const KString& id) const {
    return mUserDataID.CompareNoCase(id.Buffer()) == 0 ? mUserData : KString();
}

void KZeqLink::Store(int set, int part, const KZeqVector4& value) {
    mSets[set][part] = value;
    if (set == 3) mParentSet = true;
}

void KZeqLink::StoreMatrix(int set, const KZeqXMatrix& matrix) {
    Store(set, 1, matrix.GetEulerXYZ());
    Store(set, 0, matrix.GetT());
    Store(set, 2, matrix.GetS());
}

KZeqXMatrix& KZeqLink::ComposeMatrix(int set, KZeqXMatrix& matrix) const {
    matrix.SetTRS(mSets[set][0], mSets[set][1], mSets[set][2]);
    return matrix;
}

void KZeqLink::AddControlPointIndex(int index, double weight) {
    if (index < 0) return;
    mIndices.Add(index);
    mWeights.Add(weight);
}

KZeqLink& KZeqLink::operator=(const KZeqLink& other) {
    if (this == &other) return *this;
    Reset();
    SetLink(other.mLink);
    SetAssociateModel(other.mAssociateModel);
    SetUserData(other.mUserDataID, other.mUserData);
    SetLinkMode(other.mLinkMode);
    for (int set = 0; set < kSetCount; ++set)
        for (int part = 0; part < 3; ++part) mSets[set][part] = other.mSets[set][part];
    mParentSet = other.mParentSet;
    mIndices = other.mIndices;
    mWeights = other.mWeights;
    return *this;
}

KZeqLink& KZeqLink::operator=(const KZeqDeformer& deformer) {
    Reset();
    if (deformer.GetDeformerType() != KZeqDeformer::eCLUSTER) return *this;
    SetLinkMode(deformer.mLinkMode);
    SetUserData(deformer.mUserDataID, deformer.mUserData);
    const int pairs = std::min(deformer.mIndices.GetCount(), deformer.mWeights.GetCount());
    mIndices.Reserve(pairs);
    mWeights.Reserve(pairs);
    for (int i = 0; i < pairs; ++i) AddControlPointIndex(deformer.mIndices[i], deformer.mWeights[i]);
    SetTransformMatrix(KZeqXMatrix(deformer.mTransform));
    SetTransformLinkMatrix(KZeqXMatrix(deformer.mTransformLink));
    SetTransformAssociateModelMatrix(KZeqXMatrix(deformer.mTransformAssociateModel));
    SetTransformParentMatrix(KZeqXMatrix(deformer.mTransformParent));
    mParentSet = deformer.mTransformParentSet;
    return *this;
}

}  // namespace zeqsdk_400
