#include "scene/kzeqtakenode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/knameindex.h"
#include "base/kzeqmatrix.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kzeq.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"
#include "scene/kzequserproperty.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqTakeNode::eErrorCount] = {"Curve not found"};

constexpr int kReferenceContainer = KFCURVENODE_CONTAINER;

// Reference containers list nodes owned elsewhere: the nested ones are ended
// from the inside out, last first, before the tree itself.
void DeleteRecursive(KFCurveNode* node) {
    for (int i = node->GetCount() - 1; i >= 0; --i) {
        KFCurveNode* child = node->Get(i);
        if (child->GetContainerType() != kReferenceContainer) continue;
        DeleteRecursive(child);
        node->Delete(i);
    }
}

struct LclName {
    const char* mProperty;
    const char* mNode;
};
constexpr LclName kLclNames[] = {{"Lcl Translation", "T"}, {"Lcl Rotation", "R"}, {"Lcl Scaling", "S"}};

// Properties whose channel below the root bears another name.
struct RenamedChannel {
    const char* mProperty;
    const char* mChannel;
};
constexpr RenamedChannel kRenamedChannels[] = {{"Texture alpha", "Alpha"},
                                               {"BackgroundColor", "BackgroundColor (Color)"}};

// What a curve holds beyond its keys and default, kept across a rewrite.
struct CurveLook {
    explicit CurveLook(KFCurve& curve)
        : mPre(curve.GetPreExtrapolation()),
          mPreCount(curve.GetPreExtrapolationCount()),
          mPost(curve.GetPostExtrapolation()),
          mPostCount(curve.GetPostExtrapolationCount()) {
        std::memcpy(mColor, curve.GetColor(), sizeof mColor);
    }
    void Restore(KFCurve& curve) const {
        curve.SetColor(mColor);
        curve.SetPreExtrapolation(mPre);
        curve.SetPreExtrapolationCount(mPreCount);
        curve.SetPostExtrapolation(mPost);
        curve.SetPostExtrapolationCount(mPostCount);
    }
    float mColor[3];
    int mPre;
    unsigned mPreCount;
    int mPost;
    unsigned mPostCount;
};

}  // namespace

KString GetEffectivePropertyName(KString name) {
    for (const LclName& row : kLclNames)
        if (name == row.mProperty) return KString(row.mNode);
    return name;
}

KFCurveNode* FindPropertyChannel(KFCurveNode* root, const char* name) {
    if (!root) return nullptr;
    if (!name) name = "";
    for (const LclName& row : kLclNames) {
        if (std::strcmp(name, row.mProperty) != 0) continue;
        KFCurveNode* transform = root->Get(root->Find("Transform"));
        return transform ? transform->Get(transform->Find(row.mNode)) : root->FindRecursive(row.mNode);
    }
    for (const RenamedChannel& row : kRenamedChannels) {
        if (std::strcmp(name, row.mProperty) != 0) continue;
        if (KFCurveNode* channel = root->Get(root->Find(row.mChannel))) return channel;
        break;
    }
    return root->Get(root->Find(name));
}

KFCurveNode* FindPropertyChannel(KFCurveNode* root, const KString& name) {
    // A name holding a zero byte is none of the local transform's.
    if (std::strlen(name.Buffer()) != name.GetLen()) return root ? root->Get(root->Find(name.Buffer())) : nullptr;
    return FindPropertyChannel(root, name.Buffer());
}

KZeqTakeNode::KZeqTakeNode(const char* name) : mName(name), mError(kErrorTable, eErrorCount) {}

// A deferred tree is copied as deferred, without callbacks, as a copy of the
// made tree would be.
namespace {
KNameEpoch gTakeNameEpoch;
}

const KNameEpoch& KZeqTakeNode::GetNameEpoch() { return gTakeNameEpoch; }

void KZeqTakeNode::SetName(const char* name) {
    gTakeNameEpoch.Advance();
    mName = name;
}

KZeqTakeNode::KZeqTakeNode(KZeqTakeNode& other, const char* name) : KZeqTakeNode(other) { mName = name; }

KZeqTakeNode::KZeqTakeNode(KZeqTakeNode& other)
    : mName(other.mName),
      mRoot(other.mRoot ? other.mRoot->Clone(false) : nullptr),
      mError(kErrorTable, eErrorCount),
      mDeferred(other.mDeferred) {
    std::copy(other.mValues, other.mValues + eStandardValueCount, mValues);
}

KZeqTakeNode::~KZeqTakeNode() {
    if (!mRoot) return;
    if (mRoot->GetContainerType() == kReferenceContainer) DeleteRecursive(mRoot);
    mRoot->Destroy();
}

void KZeqTakeNode::Defer(const float* values, KZeqNode* callbacksFor) {
    if (mRoot) {
        mRoot->Destroy();
        mRoot = nullptr;
    }
    mDeferred = true;
    mCallbacksFor = callbacksFor;
    std::copy(values, values + eStandardValueCount, mValues);
}

void KZeqTakeNode::MakeTree() const {
    mRoot = KFCurveNodeCreate("Defaults");
    if (!mDeferred) return;
    mDeferred = false;
    KZeqNode::MakeStandardChannels(*mRoot, mValues, mCallbacksFor);
}

void KZeqTakeNode::SetStandardValue(int index, float value) {
    if (index < 0 || index >= eStandardValueCount) return;
    if (!mDeferred) {
        const char* const paths[][3] = {{"Transform", "T", "X"}, {"Transform", "T", "Y"}, {"Transform", "T", "Z"},
                                        {"Transform", "R", "X"}, {"Transform", "R", "Y"}, {"Transform", "R", "Z"},
                                        {"Transform", "S", "X"}, {"Transform", "S", "Y"}, {"Transform", "S", "Z"}};
        KFCurve* curve = index == eVisibility ? GetVisibility()
                                              : GetKFCurve(paths[index][0], paths[index][1], paths[index][2]);
        if (curve) curve->SetValue(value);
        return;
    }
    mValues[index] = value;
    if (mCallbacksFor) mCallbacksFor->StandardValueChanged(index, value);
}

namespace {

struct TreeEnder {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using Tree = std::unique_ptr<KFCurveNode, TreeEnder>;

// The curves of a standard tree in the order of the standard values.
void StandardCurves(KFCurveNode& root, KFCurve** curves) {
    KFCurveNode* transform = root.Get(0);
    for (int c = 0; c < 3; ++c)
        for (int axis = 0; axis < 3; ++axis) curves[3 * c + axis] = transform->Get(c)->Get(axis)->FCurveGet();
    curves[KZeqTakeNode::eVisibility] = root.Get(1)->FCurveGet();
}

// Standard channels of one thread, given a take's values to be stored or read
// into. What their curves hear while a read runs is recorded: the writes a
// default take's callbacks make are done afterwards.
struct StandardScratch {
    struct Event {
        int mIndex;
        float mValue;
    };
    KFCurve* mCurves[KZeqTakeNode::eStandardValueCount] = {};
    bool mRecording = false;
    bool mEnded[KZeqTakeNode::eStandardValueCount] = {};
    std::vector<Event> mEvents;
    Tree mRoot;  // last: ended first, while the rest still stands

    static void Hear(KFCurve* curve, KFCurveEvent* event, void* data) {
        auto* scratch = static_cast<StandardScratch*>(data);
        if (!scratch->mRecording || !curve || !event) return;
        int index = 0;
        while (index < KZeqTakeNode::eStandardValueCount && scratch->mCurves[index] != curve) ++index;
        if (index == KZeqTakeNode::eStandardValueCount) return;
        if (event->mType & KFCURVEEVENT_DEFAULT_VALUE) scratch->mEvents.push_back(Event{index, curve->GetValue()});
        if (event->mType & KFCURVEEVENT_DESTROY) scratch->mEnded[index] = true;
    }

    KFCurveNode& Ready(const float* values) {
        if (!mRoot) {
            mRoot.reset(KFCurveNodeCreate("Defaults"));
            KZeqNode::MakeStandardChannels(*mRoot, values, nullptr);
            StandardCurves(*mRoot, mCurves);
            for (KFCurve* curve : mCurves) curve->CallbackRegister(&StandardScratch::Hear, this);
        } else {
            for (int i = 0; i < KZeqTakeNode::eStandardValueCount; ++i) mCurves[i]->SetValue(values[i]);
        }
        return *mRoot;
    }
};

thread_local StandardScratch tScratch;

// A pristine tree of the standard channels, to compare a read one with.
const KFCurveNode& Reference() {
    thread_local Tree tReference;
    if (!tReference) {
        const float zeros[KZeqTakeNode::eStandardValueCount] = {};
        tReference.reset(KFCurveNodeCreate("Defaults"));
        KZeqNode::MakeStandardChannels(*tReference, zeros, nullptr);
    }
    return *tReference;
}

// True when reading left the node as made: every part a read may change, but
// for curve default values.
bool SameShape(const KFCurveNode& read, const KFCurveNode& made) {
    if (read.GetCount() != made.GetCount() || read.GetLayerType() != made.GetLayerType() ||
        read.GetLayerID() != made.GetLayerID() || read.LayerGet() || read.TimeWarpGet() ||
        read.GetFlags() != made.GetFlags() || std::strcmp(read.GetTimeWarpName(), made.GetTimeWarpName()) != 0 ||
        std::strcmp(read.GetName(), made.GetName()) != 0 || read.GetDataType() != made.GetDataType() ||
        (read.FCurveGet() == nullptr) != (made.FCurveGet() == nullptr))
        return false;
    if (const KFCurve* curve = read.FCurveGet()) {
        const KFCurve* model = made.FCurveGet();
        float color[3], modelColor[3];
        read.GetColor(color);
        made.GetColor(modelColor);
        if (curve->KeyGetCount() != 0 || curve->GetPreExtrapolation() != model->GetPreExtrapolation() ||
            curve->GetPreExtrapolationCount() != model->GetPreExtrapolationCount() ||
            curve->GetPostExtrapolation() != model->GetPostExtrapolation() ||
            curve->GetPostExtrapolationCount() != model->GetPostExtrapolationCount() ||
            std::memcmp(color, modelColor, sizeof color) != 0)
            return false;
    }
    for (int i = 0; i < read.GetCount(); ++i)
        if (!SameShape(*read.Get(i), *made.Get(i))) return false;
    return true;
}

}  // namespace

void KZeqTakeNode::StoreChannels(KZeq* file, bool onlyDefaults, bool shortNames, bool noUserName, bool color,
                                 bool version5) {
    KFCurveNode* root = mDeferred ? &tScratch.Ready(mValues) : mRoot;
    for (int i = 0; root && i < root->GetCount(); ++i)
        root->Get(i)->ZeqStore(file, onlyDefaults, shortNames, noUserName, "Channel", color, version5);
}

namespace {

// The standard channels as writers store them: "Transform" with "T", "R", "S"
// (each "X", "Y", "Z" with a default value and, in a take other than the
// default one, a colour, then the layer type each has), then "Visibility".
constexpr double kAdd[] = {1}, kEuler[] = {2}, kMultiply[] = {3};
constexpr const char* kX[] = {"X"};
constexpr const char* kY[] = {"Y"};
constexpr const char* kZ[] = {"Z"};
constexpr const char* kT[] = {"T"};
constexpr const char* kR[] = {"R"};
constexpr const char* kS[] = {"S"};
constexpr const char* kTransformName[] = {"Transform"};
constexpr const char* kVisibilityName[] = {"Visibility"};
constexpr KZeqFieldPattern kAxis[] = {{"Default", nullptr, 0, 1, nullptr, false, nullptr, 0, nullptr},
                                      {"Color", nullptr, 0, -1, nullptr, true, nullptr, 0, nullptr}};
#define KZEQ_AXES(layer)                                                    \
    {{"Channel", kX, 1, 0, nullptr, false, kAxis, 2, nullptr},              \
     {"Channel", kY, 1, 0, nullptr, false, kAxis, 2, nullptr},              \
     {"Channel", kZ, 1, 0, nullptr, false, kAxis, 2, nullptr},              \
     {"LayerType", nullptr, 0, 1, nullptr, false, nullptr, 0, layer}}
constexpr KZeqFieldPattern kTranslation[] = KZEQ_AXES(kAdd);
constexpr KZeqFieldPattern kRotation[] = KZEQ_AXES(kEuler);
constexpr KZeqFieldPattern kScaling[] = KZEQ_AXES(kMultiply);
#undef KZEQ_AXES
constexpr KZeqFieldPattern kTransform[] = {{"Channel", kT, 1, 0, nullptr, false, kTranslation, 4, nullptr},
                                           {"Channel", kR, 1, 0, nullptr, false, kRotation, 4, nullptr},
                                           {"Channel", kS, 1, 0, nullptr, false, kScaling, 4, nullptr}};
constexpr KZeqFieldPattern kVisibility[] = {{"Default", nullptr, 0, 1, nullptr, false, nullptr, 0, nullptr},
                                            {"Color", nullptr, 0, -1, nullptr, true, nullptr, 0, nullptr},
                                            {"LayerType", nullptr, 0, 1, nullptr, false, nullptr, 0, kAdd}};
constexpr KZeqFieldPattern kStandard[] = {{"Channel", kTransformName, 1, 0, nullptr, false, kTransform, 3, nullptr},
                                          {"Channel", kVisibilityName, 1, 0, nullptr, false, kVisibility, 3, nullptr}};
// Where each number read lies among the standard values; -1 for the layer types.
constexpr int kNumberCount = 14;
constexpr int kNumberValue[kNumberCount] = {0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, -1};

}  // namespace

void KZeqTakeNode::ReadChannels(KZeq* file, bool onlyDefaults, bool createMissing, bool color) {
    if (!mDeferred) {
        KFCurveNode* root = GetKFCurveNode();
        while (KFCurveNodeCreate(file, root, onlyDefaults, createMissing, color)) {
        }
        return;
    }
    // The common case, the standard channels as written, straight from the
    // file's bytes; the channels only take their default values, one after
    // another, as when read field by field.
    double numbers[kNumberCount];
    int taken = 0;
    if (!color && file &&
        file->FieldReadPattern("Channel", kStandard, 2, true, numbers, kNumberCount, &taken) && taken == kNumberCount) {
        for (int i = 0; i < kNumberCount; ++i) {
            if (kNumberValue[i] < 0) continue;
            const float value = static_cast<float>(numbers[i]);
            mValues[kNumberValue[i]] = value;
            if (mCallbacksFor) mCallbacksFor->StandardValueChanged(kNumberValue[i], value);
        }
        return;
    }
    StandardScratch& scratch = tScratch;
    KFCurveNode& root = scratch.Ready(mValues);
    scratch.mEvents.clear();
    std::fill(scratch.mEnded, scratch.mEnded + eStandardValueCount, false);
    scratch.mRecording = true;
    while (KFCurveNodeCreate(file, &root, onlyDefaults, createMissing, color)) {
    }
    scratch.mRecording = false;
    bool ended = false;
    for (bool e : scratch.mEnded) ended = ended || e;
    if (!ended && SameShape(root, Reference())) {
        for (int i = 0; i < eStandardValueCount; ++i) mValues[i] = scratch.mCurves[i]->GetValue();
    } else {
        // Read into a shape of its own: the tree read becomes this take's.
        KFCurve* curves[eStandardValueCount];
        std::copy(scratch.mCurves, scratch.mCurves + eStandardValueCount, curves);
        bool gone[eStandardValueCount];
        std::copy(scratch.mEnded, scratch.mEnded + eStandardValueCount, gone);
        for (int i = 0; i < eStandardValueCount; ++i)
            if (!gone[i]) curves[i]->CallbackUnregister(&StandardScratch::Hear, &scratch);
        Adopt(scratch.mRoot.release(), curves, gone);
    }
    // What the default take's callbacks would have written while the fields were read.
    if (mCallbacksFor)
        for (const StandardScratch::Event& event : scratch.mEvents)
            mCallbacksFor->StandardValueChanged(event.mIndex, event.mValue);
}

void KZeqTakeNode::Adopt(KFCurveNode* root, KFCurve* const* curves, const bool* ended) {
    mRoot = root;
    mDeferred = false;
    if (mCallbacksFor) mCallbacksFor->RegisterStandardCallbacks(curves, ended);
}

bool KZeqTakeNode::GetAnimationInterval(KTime& start, KTime& stop) {
    if (mDeferred) return false;  // standard channels have no keys
    return GetKFCurveNode()->GetAnimationInterval(start, stop);
}

KFCurveNode* KZeqTakeNode::FindPath(const char* group, const char* node) const {
    KFCurveNode* current = GetKFCurveNode();
    for (const char* name : {group, node}) {
        if (!name) continue;
        current = current->FindRecursive(name);
        if (!current) return nullptr;
    }
    return current;
}

KFCurve* KZeqTakeNode::Found(KFCurveNode* node) {
    KFCurve* curve = node ? node->FCurveGet() : nullptr;
    if (!curve) mError.SetLastErrorID(eCurveNotFound);
    return curve;
}

KFCurve* KZeqTakeNode::GetKFCurve(const char* group, const char* node, const char* channel) {
    KFCurveNode* found = FindPath(group, node);
    if (found && channel) found = found->FindRecursive(channel);
    return Found(found);
}

KFCurve* KZeqTakeNode::GetKFCurve(const char* group, const char* node, KDataType* channel) {
    KFCurveNode* found = FindPath(group, node);
    if (found && channel) found = found->FindRecursive(channel);
    return Found(found);
}

bool KZeqTakeNode::IsChannelAnimated(const char* group, const char* node, const char* channel) {
    KFCurve* curve = GetKFCurve(group, node, channel);
    return curve && curve->KeyGetCount() > 0;
}

bool KZeqTakeNode::IsChannelAnimated(const char* group, const char* node, KDataType* channel) {
    KFCurve* curve = GetKFCurve(group, node, channel);
    return curve && curve->KeyGetCount() > 0;
}

// The fixed paths of the standard channels.
KFCurve* KZeqTakeNode::GetTranslationX() { return GetKFCurve("Transform", "T", "X"); }
KFCurve* KZeqTakeNode::GetTranslationY() { return GetKFCurve("Transform", "T", "Y"); }
KFCurve* KZeqTakeNode::GetTranslationZ() { return GetKFCurve("Transform", "T", "Z"); }
KFCurve* KZeqTakeNode::GetEulerRotationX() { return GetKFCurve("Transform", "R", "X"); }
KFCurve* KZeqTakeNode::GetEulerRotationY() { return GetKFCurve("Transform", "R", "Y"); }
KFCurve* KZeqTakeNode::GetEulerRotationZ() { return GetKFCurve("Transform", "R", "Z"); }
KFCurve* KZeqTakeNode::GetScaleX() { return GetKFCurve("Transform", "S", "X"); }
KFCurve* KZeqTakeNode::GetScaleY() { return GetKFCurve("Transform", "S", "Y"); }
KFCurve* KZeqTakeNode::GetScaleZ() { return GetKFCurve("Transform", "S", "Z"); }
KFCurve* KZeqTakeNode::GetVisibility() { return GetKFCurve(nullptr, nullptr, &KDataTypeVisibility); }
KFCurve* KZeqTakeNode::GetColorR() { return GetKFCurve(nullptr, "Color", "X"); }
KFCurve* KZeqTakeNode::GetColorG() { return GetKFCurve(nullptr, "Color", "Y"); }
KFCurve* KZeqTakeNode::GetColorB() { return GetKFCurve(nullptr, "Color", "Z"); }
KFCurve* KZeqTakeNode::GetLightIntensity() { return GetKFCurve(nullptr, nullptr, "Intensity"); }
KFCurve* KZeqTakeNode::GetLightConeAngle() { return GetKFCurve(nullptr, nullptr, "Cone angle"); }
KFCurve* KZeqTakeNode::GetLightFog() { return GetKFCurve(nullptr, nullptr, "Fog"); }
KFCurve* KZeqTakeNode::GetCameraFieldOfView() { return GetKFCurve(nullptr, nullptr, "FieldOfView"); }
KFCurve* KZeqTakeNode::GetCameraFieldOfViewX() { return GetKFCurve(nullptr, nullptr, "FieldOfViewX"); }
KFCurve* KZeqTakeNode::GetCameraFieldOfViewY() { return GetKFCurve(nullptr, nullptr, "FieldOfViewY"); }
KFCurve* KZeqTakeNode::GetCameraOpticalCenterX() { return GetKFCurve(nullptr, nullptr, "OpticalCenterX"); }
KFCurve* KZeqTakeNode::GetCameraOpticalCenterY() { return GetKFCurve(nullptr, nullptr, "OpticalCenterY"); }
KFCurve* KZeqTakeNode::GetCameraRoll() { return GetKFCurve(nullptr, nullptr, "Roll"); }
KFCurve* KZeqTakeNode::GetCameraTurnTable() { return GetKFCurve(nullptr, nullptr, "TurnTable"); }
KFCurve* KZeqTakeNode::GetBackgroundColorR() { return GetKFCurve(nullptr, "BackgroundColor (Color)", "X"); }
KFCurve* KZeqTakeNode::GetBackgroundColorG() { return GetKFCurve(nullptr, "BackgroundColor (Color)", "Y"); }
KFCurve* KZeqTakeNode::GetBackgroundColorB() { return GetKFCurve(nullptr, "BackgroundColor (Color)", "Z"); }
KFCurve* KZeqTakeNode::GetCameraIndex() { return GetKFCurve(nullptr, nullptr, "Camera Index"); }
KFCurve* KZeqTakeNode::GetOcclusion() { return GetKFCurve(nullptr, nullptr, &KDataTypeOcclusion); }
KFCurve* KZeqTakeNode::GetIKReachTranslation() { return GetKFCurve(nullptr, nullptr, &KDataTypeIKReachTranslation); }
KFCurve* KZeqTakeNode::GetIKReachRotation() { return GetKFCurve(nullptr, nullptr, &KDataTypeIKReachRotation); }
KFCurve* KZeqTakeNode::GetTextureTranslationX() { return GetKFCurve(nullptr, "Translation", "X"); }
KFCurve* KZeqTakeNode::GetTextureTranslationY() { return GetKFCurve(nullptr, "Translation", "Y"); }
KFCurve* KZeqTakeNode::GetTextureTranslationZ() { return GetKFCurve(nullptr, "Translation", "Z"); }
KFCurve* KZeqTakeNode::GetTextureEulerRotationX() { return GetKFCurve(nullptr, "Rotation", "X"); }
KFCurve* KZeqTakeNode::GetTextureEulerRotationY() { return GetKFCurve(nullptr, "Rotation", "Y"); }
KFCurve* KZeqTakeNode::GetTextureEulerRotationZ() { return GetKFCurve(nullptr, "Rotation", "Z"); }
KFCurve* KZeqTakeNode::GetTextureScaleX() { return GetKFCurve(nullptr, "Scaling", "X"); }
KFCurve* KZeqTakeNode::GetTextureScaleY() { return GetKFCurve(nullptr, "Scaling", "Y"); }
KFCurve* KZeqTakeNode::GetTextureScaleZ() { return GetKFCurve(nullptr, "Scaling", "Z"); }
KFCurve* KZeqTakeNode::GetTextureAlpha() { return GetKFCurve(nullptr, nullptr, "Alpha"); }
KFCurve* KZeqTakeNode::GetMaterialEmissiveColorR() { return GetKFCurve(nullptr, "Emissive", "X"); }
KFCurve* KZeqTakeNode::GetMaterialEmissiveColorG() { return GetKFCurve(nullptr, "Emissive", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialEmissiveColorB() { return GetKFCurve(nullptr, "Emissive", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialAmbientColorR() { return GetKFCurve(nullptr, "Ambient", "X"); }
KFCurve* KZeqTakeNode::GetMaterialAmbientColorG() { return GetKFCurve(nullptr, "Ambient", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialAmbientColorB() { return GetKFCurve(nullptr, "Ambient", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialDiffuseColorR() { return GetKFCurve(nullptr, "Diffuse", "X"); }
KFCurve* KZeqTakeNode::GetMaterialDiffuseColorG() { return GetKFCurve(nullptr, "Diffuse", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialDiffuseColorB() { return GetKFCurve(nullptr, "Diffuse", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialSpecularColorR() { return GetKFCurve(nullptr, "Specular", "X"); }
KFCurve* KZeqTakeNode::GetMaterialSpecularColorG() { return GetKFCurve(nullptr, "Specular", "Y"); }
KFCurve* KZeqTakeNode::GetMaterialSpecularColorB() { return GetKFCurve(nullptr, "Specular", "Z"); }
KFCurve* KZeqTakeNode::GetMaterialOpacity() { return GetKFCurve(nullptr, nullptr, "Opacity"); }
KFCurve* KZeqTakeNode::GetMaterialReflectivity() { return GetKFCurve(nullptr, nullptr, "Reflectivity"); }
KFCurve* KZeqTakeNode::GetMaterialShininess() { return GetKFCurve(nullptr, nullptr, "Shininess"); }

KFCurve* KZeqTakeNode::GetPropertyAnimation(KZeqUserProperty* property, unsigned int channel) {
    if (!property) return nullptr;
    KFCurveNode* node = FindPropertyChannel(GetKFCurveNode(), property->GetName());
    if (!node) return nullptr;
    if (node->GetCount() == 0) return channel == 0 ? node->FCurveGet() : nullptr;
    return channel < static_cast<unsigned>(node->GetCount()) ? node->Get(static_cast<int>(channel))->FCurveGet()
                                                               : nullptr;
}

bool KZeqTakeNode::AddRotationToTranslation(KZeqVector4 rotation) {
    KFCurve* axes[3] = {GetTranslationX(), GetTranslationY(), GetTranslationZ()};
    if (!axes[0] || !axes[1] || !axes[2]) return false;
    int counts[3];
    for (int k = 0; k < 3; ++k) counts[k] = axes[k]->KeyGetCount();

    KZeqXMatrix matrix;
    matrix.SetR(rotation);
    const KZeqVector4 defaults =
        matrix.MultT(KZeqVector4(axes[0]->GetValue(), axes[1]->GetValue(), axes[2]->GetValue(), 0.0));

    // One merge over the three key lists: each time of their union is met
    // once, in order, and appended to every axis without a search.
    std::unique_ptr<KFCurve> rotated[3] = {std::make_unique<KFCurve>(), std::make_unique<KFCurve>(),
                                           std::make_unique<KFCurve>()};
    for (auto& curve : rotated) curve->KeyModifyBegin();
    int next[3] = {0, 0, 0};
    int hints[3] = {0, 0, 0};
    while (next[0] < counts[0] || next[1] < counts[1] || next[2] < counts[2]) {
        KTime time = KTime::Infinite();
        for (int k = 0; k < 3; ++k)
            if (next[k] < counts[k]) time = std::min(time, axes[k]->KeyGetPtr(next[k])->GetTime());
        for (int k = 0; k < 3; ++k)
            if (next[k] < counts[k] && axes[k]->KeyGetPtr(next[k])->GetTime() == time) ++next[k];
        const KZeqVector4 value = matrix.MultT(KZeqVector4(axes[0]->Evaluate(time, &hints[0]),
                                                           axes[1]->Evaluate(time, &hints[1]),
                                                           axes[2]->Evaluate(time, &hints[2]), 0.0));
        for (int k = 0; k < 3; ++k) rotated[k]->KeyAppendFast(time, static_cast<float>(value[k]));
    }
    for (auto& curve : rotated) curve->KeyModifyEnd();

    for (int k = 0; k < 3; ++k) {
        KFCurve& axis = *axes[k];
        // The channel keeps its own colour and extrapolation: only its values turn.
        const CurveLook look(axis);
        axis.KeyModifyBegin();
        axis.Delete(KTime::MinusInfinite(), KTime::Infinite());
        axis.CopyFrom(*rotated[k], true);
        look.Restore(axis);
        axis.SetValue(static_cast<float>(defaults[k]));
        axis.KeyModifyEnd();
    }
    return true;
}

}  // namespace zeqsdk_400
