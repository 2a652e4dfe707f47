#include "plugin/zeqtulonode.h"

#include "base/kgemath.h"

using namespace zeqsdk_400;

ZeqTuloNode::ZeqTuloNode(KZeqSdkManager& manager, const char* name)
    : KZeqNode(manager, name), mUserPropertyNames(20) {
    mUserPropertyNames.SetCaseSensitive(false);
}

ZeqTuloNode::~ZeqTuloNode() {
    for (int i = 0; i < mUserPropertyNames.GetCount(); ++i)
        delete reinterpret_cast<KString*>(mUserPropertyNames.GetFromIndex(i));
}

void ZeqTuloNode::SetDagPath(const TDagPath* path) {
    mHasDagPath = path != nullptr;
    mDagPath = path ? *path : TDagPath();
}

void ZeqTuloNode::SetShapeObject(const TObject* shape) {
    mHasShapeObject = shape != nullptr;
    mShapeObject = shape ? *shape : TObject();
}

void ZeqTuloNode::SetRelativePivot(double x, double y, double z) {
    mRelativePivot[0] = x, mRelativePivot[1] = y, mRelativePivot[2] = z;
}

void ZeqTuloNode::SetGlobalTranslation(const KgeTVector& t) {
    for (int i = 0; i < 3; ++i) mGlobalTranslation[i] = t.mData[i];
}

void ZeqTuloNode::SetGlobalRotation(const KgeRVector& r) {
    for (int i = 0; i < 3; ++i) mGlobalRotation[i] = r.mData[i];
}

void ZeqTuloNode::SetGlobalScaling(const KgeSVector& s) {
    for (int i = 0; i < 3; ++i) mGlobalScaling[i] = s.mData[i];
}

const KString* ZeqTuloNode::GetUserPropertyName(const char* label) const {
    return label ? reinterpret_cast<const KString*>(mUserPropertyNames.Get(label)) : nullptr;
}

void ZeqTuloNode::SetUserPropertyName(const char* label, const char* attributeName) {
    if (!label) return;
    int index = -1;
    mUserPropertyNames.Get(label, &index);
    KString* name = new KString(attributeName ? attributeName : "");
    if (index >= 0) {
        delete reinterpret_cast<KString*>(mUserPropertyNames.GetFromIndex(index));
        mUserPropertyNames.SetValueAtIndex(index, reinterpret_cast<kReference>(name));
    } else {
        mUserPropertyNames.Add(label, reinterpret_cast<kReference>(name));
    }
}
