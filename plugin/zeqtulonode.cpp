#include "plugin/zeqtulonode.h"

#include <algorithm>

#include "base/kgemath.h"
#include "base/kstepcount.h"

using namespace zeqsdk_400;

ZeqTuloNode::ZeqTuloNode(KZeqSdkManager& manager, const char* name) : KZeqNode(manager, name) {}

ZeqTuloNode::~ZeqTuloNode() = default;

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

bool ZeqTuloNode::LessNoCase::operator()(const std::string& a, const std::string& b) const {
    const auto upper = [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u >= 'a' && u <= 'z' ? u - ('a' - 'A') : u;
    };
    // A search of the map compares every level it goes down: counted as one step each.
    KCountSteps(KStepKind::eSearch, 1);
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return upper(x) < upper(y); });
}

const KString* ZeqTuloNode::GetUserPropertyName(const char* label) const {
    if (!label) return nullptr;
    const auto found = mUserPropertyNames.find(label);
    return found == mUserPropertyNames.end() ? nullptr : &found->second;
}

void ZeqTuloNode::SetUserPropertyName(const char* label, const char* attributeName) {
    if (label) mUserPropertyNames[label] = KString(attributeName ? attributeName : "");
}
