#include "io/tests/zeqscenecompare.h"

#include <cstring>

#include "content/kzeqgenericnode.h"
#include "content/kzeqmarker.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kproperty.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace zeqiotest {

void CompareThumbnail(const std::string& path, const KZeqThumbnail* expected, const KZeqThumbnail* actual,
                      ZeqDiff& diff) {
    diff.Check(path + " present", expected != nullptr, actual != nullptr);
    if (!expected || !actual) return;
    diff.Check(path + ".format", static_cast<int>(expected->GetDataFormat()), static_cast<int>(actual->GetDataFormat()));
    diff.Check(path + ".size", static_cast<int>(expected->GetSize()), static_cast<int>(actual->GetSize()));
    const int bytes = expected->GetSizeInBytes();
    if (bytes == actual->GetSizeInBytes() && bytes > 0)
        diff.Check(path + ".image", 0, std::memcmp(expected->GetThumbnailImage(), actual->GetThumbnailImage(), bytes));
}

void CompareTakeInfo(const std::string& path, const KZeqTakeInfo& expected, const KZeqTakeInfo& actual,
                     ZeqDiff& diff) {
    diff.Check(path + ".mName", expected.mName.Uncounted(), actual.mName.Uncounted());
    diff.Check(path + ".mDescription", expected.mDescription, actual.mDescription);
    for (auto span : {&KZeqTakeInfo::mLocalTimeSpan, &KZeqTakeInfo::mReferenceTimeSpan}) {
        const std::string name = path + (span == &KZeqTakeInfo::mLocalTimeSpan ? ".mLocal" : ".mReference");
        diff.Check(name + "TimeSpan.start", (expected.*span).GetStart(), (actual.*span).GetStart());
        diff.Check(name + "TimeSpan.stop", (expected.*span).GetStop(), (actual.*span).GetStop());
    }
    CompareThumbnail(path + ".thumbnail", expected.GetTakeThumbnail(), actual.GetTakeThumbnail(), diff);
}

void CompareCurveNode(const std::string& path, KFCurveNode* expected, KFCurveNode* actual, ZeqDiff& diff,
                      const char* extra) {
    diff.Check(path + " present", expected != nullptr, actual != nullptr);
    if (!expected || !actual) return;
    KFCurve* a = expected->FCurveGet();
    KFCurve* b = actual->FCurveGet();
    diff.Check(path + " curve", a != nullptr, b != nullptr);
    if (a && b) {
        diff.Check(path + ".default", a->GetValue(), b->GetValue());
        diff.Check(path + ".keys", a->KeyGetCount(), b->KeyGetCount());
        for (int i = 0; i < a->KeyGetCount() && i < b->KeyGetCount(); ++i) {
            const KFCurveKey& x = *a->KeyGetPtr(i);
            const KFCurveKey& y = *b->KeyGetPtr(i);
            const std::string key = path + ".key" + std::to_string(i);
            diff.Check(key + ".time", x.GetTime(), y.GetTime());
            diff.Check(key + ".value", x.GetValue(), y.GetValue());
            diff.Check(key + ".interpolation", x.GetInterpolation(), y.GetInterpolation());
            diff.Check(key + ".tangent", x.GetTangeantMode(), y.GetTangeantMode());
            diff.Check(key + ".weightMode", x.GetTangeantWeightMode(), y.GetTangeantWeightMode());
            diff.Check(key + ".right", a->KeyGetRightDerivative(i), b->KeyGetRightDerivative(i));
            diff.Check(key + ".left", a->KeyGetLeftDerivative(i), b->KeyGetLeftDerivative(i));
        }
    }
    for (int i = 0; i < expected->GetCount(); ++i) {
        KFCurveNode* child = expected->Get(i);
        CompareCurveNode(path + "/" + child->GetName(), child, actual->Get(actual->Find(child->GetName())), diff, extra);
    }
    for (int i = 0; i < actual->GetCount(); ++i) {
        const std::string name = actual->Get(i)->GetName();
        if (expected->Find(name.c_str()) < 0 && ("|" + std::string(extra) + "|").find("|" + name + "|") == std::string::npos)
            diff.mFields.push_back(path + "/" + name + ": only in the scene read");
    }
    // Layers by id, each with its channels; time warps with theirs (where they are, not whom they are shared with).
    diff.Check(path + ".layerType", expected->GetLayerType(), actual->GetLayerType());
    KFCurveNode* layer = expected->LayerGet();
    KFCurveNode* other = actual->LayerGet();
    diff.Check(path + " next layer", layer ? layer->GetLayerID() : 0, other ? other->GetLayerID() : 0);
    if (layer && other) CompareCurveNode(path + "~layer" + std::to_string(layer->GetLayerID()), layer, other, diff, extra);
    KFCurveNode* warp = expected->TimeWarpGet();
    KFCurveNode* read = actual->TimeWarpGet();
    diff.Check(path + " time warp", warp != nullptr, read != nullptr);
    if (warp && read) CompareCurveNode(path + "~warp", warp, read, diff, extra);
}

void CompareTakes(const std::string& path, KZeqTakeNodeContainer& expected, KZeqTakeNodeContainer& actual,
                  ZeqDiff& diff, const char* extra, int first) {
    diff.Check(path + ".takes", expected.GetTakeNodeCount(), actual.GetTakeNodeCount());
    for (int i = first; i < expected.GetTakeNodeCount(); ++i) {
        KZeqTakeNode* take = expected.GetTakeNode(i);
        KZeqTakeNode* other = nullptr;
        for (int j = 0; j < actual.GetTakeNodeCount() && !other; ++j)
            if (std::strcmp(actual.GetTakeNode(j)->GetName(), take->GetName()) == 0) other = actual.GetTakeNode(j);
        const std::string name = path + "[" + take->GetName() + "]";
        diff.Check(name + " present", true, other != nullptr);
        if (other) CompareCurveNode(name, take->GetKFCurveNode(), other->GetKFCurveNode(), diff, extra);
    }
}

namespace {

void CompareSceneInfo(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const KZeqSceneInfo* a = expected.GetSceneInfo();
    const KZeqSceneInfo* b = actual.GetSceneInfo();
    diff.Check("sceneInfo present", a != nullptr, b != nullptr);
    if (!a || !b) return;
    const struct {
        const char* mName;
        KString KZeqSceneInfo::*mText;
    } texts[] = {{"mTitle", &KZeqSceneInfo::mTitle},       {"mSubject", &KZeqSceneInfo::mSubject},
                 {"mAuthor", &KZeqSceneInfo::mAuthor},     {"mKeywords", &KZeqSceneInfo::mKeywords},
                 {"mRevision", &KZeqSceneInfo::mRevision}, {"mComment", &KZeqSceneInfo::mComment}};
    for (const auto& text : texts) diff.Check(std::string("sceneInfo.") + text.mName, a->*text.mText, b->*text.mText);
    CompareThumbnail("sceneInfo.thumbnail", a->GetSceneThumbnail(), b->GetSceneThumbnail(), diff);
}

void CompareTakeInfos(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    diff.Check("currentTake", KString(expected.GetCurrentTakeName()), KString(actual.GetCurrentTakeName()));
    KArrayTemplate<KString*> names;
    expected.FillTakeNameArray(names);
    for (int i = 0; i < names.GetCount(); ++i) {
        const KZeqTakeInfo* a = expected.GetTakeInfo(*names[i]);
        const KZeqTakeInfo* b = actual.GetTakeInfo(*names[i]);
        if (*names[i] != "Default") diff.Check("takeInfo[" + std::string(names[i]->Buffer()) + "] present", a != nullptr, b != nullptr);
        if (a && b) CompareTakeInfo("takeInfo[" + std::string(names[i]->Buffer()) + "]", *a, *b, diff);
        delete names[i];
    }
}

// Values of a property as doubles; none for properties without value.
std::vector<double> ValuesOf(KProperty* property) {
    double values[kPropertyMaxMembers] = {};
    const int count = property ? property->GetDataAsDoubles(values, kPropertyMaxMembers) : 0;
    return std::vector<double>(values, values + count);
}

std::string Join(const std::vector<double>& values) {
    std::string text;
    for (double value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
    return "(" + text + ")";
}

// User properties of expected by name: type, value and, for the object's own
// ones, label and limits. Without the property block only those and the
// transform and visibility defaults survive.
void CompareUserProperties(const std::string& path, KZeqObject& expected, KZeqObject& actual, ZeqDiff& diff) {
    static const char* const kCarried[] = {"Lcl Translation", "Lcl Rotation", "Lcl Scaling", "Visibility"};
    for (int i = 0; i < expected.GetPropertyCount(); ++i) {
        KZeqUserProperty* a = expected.GetProperty(i);
        const bool own = a->GetFlag(KZeqUserProperty::eUSER);
        bool carried = own || !(diff.mLosses & eZeqLosesPropertyBlock);
        for (const char* name : kCarried) carried = carried || a->GetName() == name;
        if (!carried || (a->GetPropertyType() == 0 && (diff.mLosses & eZeqLosesUserPropertyRecords))) continue;
        const std::string name = path + ".property[" + a->GetName().Buffer() + "]";
        KZeqUserProperty* b = actual.FindPropertyByName(a->GetName().Buffer());
        diff.Check(name + " present", true, b != nullptr);
        if (!b) continue;
        diff.Check(name + ".type", static_cast<int>(a->GetPropertyType()), static_cast<int>(b->GetPropertyType()));
        const std::vector<double> x = ValuesOf(a->GetKProperty()), y = ValuesOf(b->GetKProperty());
        bool same = x.size() == y.size();
        for (std::size_t k = 0; same && k < x.size(); ++k) same = diff.Equal(x[k], y[k]);
        if (!same) diff.mFields.push_back(name + ".value: " + Join(x) + " != " + Join(y));
        if (!own) continue;
        diff.Check(name + ".user", true, b->GetFlag(KZeqUserProperty::eUSER));
        if (diff.mLosses & eZeqLosesUserPropertyRecords) continue;
        diff.Check(name + ".label", a->GetLabel(true), b->GetLabel(true));
        diff.Check(name + ".min", a->GetMinLimit(), b->GetMinLimit());
        diff.Check(name + ".max", a->GetMaxLimit(), b->GetMaxLimit());
    }
}

void CompareAttribute(const std::string& path, KZeqNode& expected, KZeqNode& actual, ZeqDiff& diff) {
    KZeqNodeAttribute* attribute = expected.GetNodeAttribute();
    const int type = attribute ? attribute->GetAttributeType() : KZeqNodeAttribute::eNULL;
    diff.Check(path + ".attribute", type, actual.GetNodeAttribute() ? actual.GetNodeAttribute()->GetAttributeType() : 0);
    if (KZeqNull* a = expected.GetNull()) {
        if (KZeqNull* b = actual.GetNull()) diff.Check(path + ".null.size", a->GetSize(), b->GetSize());
    } else if (!attribute && actual.GetNull()) {
        diff.Check(path + ".null.size", KZeqNull::GetSizeDefaultValue(), actual.GetNull()->GetSize());
    }
    KZeqMarker* a = expected.GetMarker();
    KZeqMarker* b = actual.GetMarker();
    if (a && b) {
        diff.Check(path + ".marker.type", static_cast<int>(a->GetType()), static_cast<int>(b->GetType()));
        diff.Check(path + ".marker.look", static_cast<int>(a->GetLook()), static_cast<int>(b->GetLook()));
        diff.Check(path + ".marker.size", a->GetSize(), b->GetSize());
        diff.Check(path + ".marker.red", a->GetColor().mRed, b->GetColor().mRed);
        diff.Check(path + ".marker.green", a->GetColor().mGreen, b->GetColor().mGreen);
        diff.Check(path + ".marker.blue", a->GetColor().mBlue, b->GetColor().mBlue);
        diff.Check(path + ".marker.showLabel", a->GetShowLabel(), b->GetShowLabel());
        if (!(diff.mLosses & eZeqLosesPropertyBlock))
            for (int i = 0; i < 3; ++i)
                diff.Check(path + ".marker.ikPivot" + std::to_string(i), a->GetIKPivot()[i], b->GetIKPivot()[i]);
        diff.Check(path + ".marker.ikReachT", a->GetDefaultIKReachTranslation(), b->GetDefaultIKReachTranslation());
        diff.Check(path + ".marker.ikReachR", a->GetDefaultIKReachRotation(), b->GetDefaultIKReachRotation());
    }
    KZeqSkeleton* x = expected.GetSkeleton();
    KZeqSkeleton* y = actual.GetSkeleton();
    if (x && y) {
        const int kind = x->GetSkeletonType() == KZeqSkeleton::eEFFECTOR ? KZeqSkeleton::eROOT : x->GetSkeletonType();
        diff.Check(path + ".skeleton.type", kind, static_cast<int>(y->GetSkeletonType()));
        diff.Check(path + ".skeleton.size", x->GetLimbNodeSize(), y->GetLimbNodeSize());
        if (kind == KZeqSkeleton::eLIMB) diff.Check(path + ".skeleton.length", x->GetLimbLength(), y->GetLimbLength());
        if (kind == KZeqSkeleton::eLIMB || kind == KZeqSkeleton::eLIMB_NODE) {
            diff.Check(path + ".skeleton.red", x->GetLimbNodeColor().mRed, y->GetLimbNodeColor().mRed);
            diff.Check(path + ".skeleton.blue", x->GetLimbNodeColor().mBlue, y->GetLimbNodeColor().mBlue);
        }
    }
}

// The trees side by side, children in order.
void CompareNodes(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pending{{expected.GetRootNode(), actual.GetRootNode()}};
    while (!pending.empty()) {
        KZeqNode* a = pending.back().first;
        KZeqNode* b = pending.back().second;
        pending.pop_back();
        const std::string path = a->GetName();
        diff.Check(path + ".name", KString(a->GetName()), KString(b->GetName()));
        diff.Check(path + ".children", a->GetChildCount(), b->GetChildCount());
        for (int i = std::min(a->GetChildCount(), b->GetChildCount()); i-- > 0;)
            pending.emplace_back(a->GetChild(i), b->GetChild(i));
        if (a == expected.GetRootNode()) continue;
        diff.Check(path + ".visible", a->GetVisibility(), b->GetVisibility());
        diff.Check(path + ".shading", static_cast<int>(a->GetShadingMode()), static_cast<int>(b->GetShadingMode()));
        diff.Check(path + ".culling", static_cast<int>(a->GetCullingType()), static_cast<int>(b->GetCullingType()));
        diff.Check(path + ".multiLayer", a->GetMultiLayer(), b->GetMultiLayer());
        diff.Check(path + ".multiTake", static_cast<int>(a->GetMultiTakeMode()), static_cast<int>(b->GetMultiTakeMode()));
        CompareAttribute(path, *a, *b, diff);
        CompareLimitsTargetsCamerasAndLights(path, *a, *b, diff);
        CompareUserProperties(path, *a, *b, diff);
        // A marker record also carries its colour as a channel.
        CompareTakes(path, *a, *b, diff, a->GetMarker() ? "Color" : "");
    }
    // The switcher's own record (its default take) belongs to its section.
    CompareTakes("switcher", *expected.GetCameraSwitcher(), *actual.GetCameraSwitcher(), diff, "", 1);
}

void CompareGenericNodes(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    if (diff.mLosses & eZeqLosesPropertyBlock) return;
    diff.Check("genericNodes", expected.GetGenericNodeCount(), actual.GetGenericNodeCount());
    for (int i = 0; i < expected.GetGenericNodeCount() && i < actual.GetGenericNodeCount(); ++i) {
        KZeqGenericNode& a = *expected.GetGenericNode(i);
        KZeqGenericNode& b = *actual.GetGenericNode(i);
        const std::string path = std::string("generic[") + a.GetName() + "]";
        diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
        CompareUserProperties(path, a, b, diff);
        CompareTakes(path, a, b, diff);
    }
}

}  // namespace

const ZeqCompareRow kZeqCompareRows[] = {
    &CompareSceneInfo, &CompareTakeInfos, &CompareNodes,    &CompareGenericNodes, &CompareMeshes,
    &CompareMaterials, &CompareTextures,  &CompareSurfacesLinksAndShapes, &CompareSettings,
    &CompareSwitcher,  &CompareGobos,     &CompareMarkerSetsAndActors,  &ComparePoses,
    &CompareCharacters,
};
const int kZeqCompareRowCount = static_cast<int>(sizeof(kZeqCompareRows) / sizeof(kZeqCompareRows[0]));

ZeqDiff CompareScenes(KZeqScene& expected, KZeqScene& actual, int losses, double tolerance) {
    ZeqDiff diff;
    diff.mLosses = losses;
    diff.mTolerance = tolerance;
    for (int i = 0; i < kZeqCompareRowCount; ++i) kZeqCompareRows[i](expected, actual, diff);
    return diff;
}

}  // namespace zeqiotest
