#ifndef ZEQ_SCENE_KZEQTAKENODE_H
#define ZEQ_SCENE_KZEQTAKENODE_H

#include "base/kerror.h"
#include "base/kstepcount.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KDataType;
class KFCurve;
class KFCurveNode;
class KNameEpoch;
class KZeq;
class KZeqGeometry;
class KZeqNode;
class KZeqUserProperty;

// The animation of one object in one take: a tree of curve nodes under a root
// named "Defaults". The standard channels sit at fixed paths of up to three
// names (group, node, channel), each searched at any depth below the node the
// previous one found, ignoring case; a null name is skipped.
class KZeqTakeNode {
public:
    enum EError { eCurveNotFound = 0, eErrorCount = 1 };

    explicit KZeqTakeNode(const char* name);
    // A copy of the other take's tree with its curves, keys and defaults.
    KZeqTakeNode(KZeqTakeNode& other);
    // The same under another name.
    KZeqTakeNode(KZeqTakeNode& other, const char* name);
    KZeqTakeNode& operator=(const KZeqTakeNode&) = delete;
    ~KZeqTakeNode();

    void SetName(const char* name);
    // Each read counts as a search step, as a property's name does (what a search by name compares).
    const char* GetName() const {
        KCountSteps(KStepKind::eSearch, 1);
        return mName.Buffer();
    }
    // Advanced by every SetName: the containers indexing their takes by name then index them again.
    static const KNameEpoch& GetNameEpoch();
    // A take whose tree is deferred makes it here, on first use.
    KFCurveNode* GetKFCurveNode() const {
        if (!mRoot) MakeTree();
        return mRoot;
    }
    // Widens start and stop to cover every key of the tree; false without keys.
    bool GetAnimationInterval(KTime& start, KTime& stop);

    // The curve at a path; all three null gives the root's own. Null (with
    // "Curve not found") when a name is missing or the node has no curve; a
    // hit leaves the error alone.
    KFCurve* GetKFCurve(const char* group, const char* node, const char* channel);
    KFCurve* GetKFCurve(const char* group, const char* node, KDataType* channel);
    // A curve with at least one key at that path.
    bool IsChannelAnimated(const char* group, const char* node, const char* channel);
    bool IsChannelAnimated(const char* group, const char* node, KDataType* channel);

    // Standard channels. Colours are the "X", "Y", "Z" children of their node.
    KFCurve* GetTranslationX();
    KFCurve* GetTranslationY();
    KFCurve* GetTranslationZ();
    KFCurve* GetEulerRotationX();
    KFCurve* GetEulerRotationY();
    KFCurve* GetEulerRotationZ();
    KFCurve* GetScaleX();
    KFCurve* GetScaleY();
    KFCurve* GetScaleZ();
    KFCurve* GetVisibility();
    KFCurve* GetColorR();
    KFCurve* GetColorG();
    KFCurve* GetColorB();
    KFCurve* GetLightIntensity();
    KFCurve* GetLightConeAngle();
    KFCurve* GetLightFog();
    KFCurve* GetCameraFieldOfView();
    KFCurve* GetCameraFieldOfViewX();
    KFCurve* GetCameraFieldOfViewY();
    KFCurve* GetCameraOpticalCenterX();
    KFCurve* GetCameraOpticalCenterY();
    KFCurve* GetCameraRoll();
    KFCurve* GetCameraTurnTable();
    KFCurve* GetBackgroundColorR();
    KFCurve* GetBackgroundColorG();
    KFCurve* GetBackgroundColorB();
    KFCurve* GetCameraIndex();
    KFCurve* GetOcclusion();
    KFCurve* GetIKReachTranslation();
    KFCurve* GetIKReachRotation();
    KFCurve* GetTextureTranslationX();
    KFCurve* GetTextureTranslationY();
    KFCurve* GetTextureTranslationZ();
    KFCurve* GetTextureEulerRotationX();
    KFCurve* GetTextureEulerRotationY();
    KFCurve* GetTextureEulerRotationZ();
    KFCurve* GetTextureScaleX();
    KFCurve* GetTextureScaleY();
    KFCurve* GetTextureScaleZ();
    KFCurve* GetTextureAlpha();
    KFCurve* GetMaterialEmissiveColorR();
    KFCurve* GetMaterialEmissiveColorG();
    KFCurve* GetMaterialEmissiveColorB();
    KFCurve* GetMaterialAmbientColorR();
    KFCurve* GetMaterialAmbientColorG();
    KFCurve* GetMaterialAmbientColorB();
    KFCurve* GetMaterialDiffuseColorR();
    KFCurve* GetMaterialDiffuseColorG();
    KFCurve* GetMaterialDiffuseColorB();
    KFCurve* GetMaterialSpecularColorR();
    KFCurve* GetMaterialSpecularColorG();
    KFCurve* GetMaterialSpecularColorB();
    KFCurve* GetMaterialOpacity();
    KFCurve* GetMaterialReflectivity();
    KFCurve* GetMaterialShininess();

    // The geometry's curve of that shape in this take; null, with "Curve not
    // found", when there is none.
    KFCurve* GetShapeChannel(KZeqGeometry* geometry, int index);

    // One channel of a user property's curve node ("Lcl Translation",
    // "Lcl Rotation", "Lcl Scaling" are "T", "R", "S"): a node without children
    // answers index 0 only. Sets no error.
    KFCurve* GetPropertyAnimation(KZeqUserProperty* property, unsigned int channel);

    // Rotates the translation channels by Euler angles in degrees: each axis
    // gets a cubic auto key at every key time of the three, holding the rotated
    // value there, and the defaults are rotated too. False, with nothing
    // changed, when a translation curve is missing.
    bool AddRotationToTranslation(KZeqVector4 rotation);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

    // ---- A node's standard channels made on first use ------------------------------
    // The default values of a node's standard channels, in this order.
    enum EStandardValue { eTX, eTY, eTZ, eRX, eRY, eRZ, eSX, eSY, eSZ, eVisibility, eStandardValueCount };
    // While true, the tree is a node's standard channels ("Transform" with "T",
    // "R", "S" and their "X", "Y", "Z", then "Visibility"), not made yet: it
    // holds nothing else, and its default values are GetStandardValues().
    bool IsDeferred() const { return mDeferred; }
    // Deferred channels, to be made with these values and, for a node's
    // default take (node not null), with the node's default-take callbacks.
    void Defer(const float* values, KZeqNode* callbacksFor);
    float* GetStandardValues() { return mValues; }
    const float* GetStandardValues() const { return mValues; }
    // The node that gets the default-take callbacks when the tree is made;
    // cleared when the callbacks would have been unregistered.
    KZeqNode* GetDeferredCallbacks() const { return mCallbacksFor; }
    void DropDeferredCallbacks() { mCallbacksFor = nullptr; }
    // The tree, null while deferred: for walks that must not make it.
    KFCurveNode* GetMadeKFCurveNode() const { return mRoot; }
    // What KFCurve::SetValue on the made channel would do: the value and, on a
    // node's default take, the callback's write to the node's property.
    void SetStandardValue(int index, float value);
    // Each channel below the root stored by KFCurveNode::ZeqStore with these
    // arguments (field "Channel"); deferred channels are stored as they would
    // be once made, without making them.
    void StoreChannels(KZeq* file, bool onlyDefaults, bool shortNames, bool noUserName, bool color, bool version5);
    // Reads "Channel" fields into the tree as KFCurveNodeCreate(file, root,
    // ...) does, one after another. Deferred channels that the fields give
    // only default values stay deferred, with the values read (and, on a
    // default take, the callbacks' writes done); otherwise they are made.
    void ReadChannels(KZeq* file, bool onlyDefaults, bool createMissing, bool color);

private:
    // The node at the end of the path (null elements skipped); null when a
    // name is not found.
    KFCurveNode* FindPath(const char* group, const char* node) const;
    KFCurve* Found(KFCurveNode* node);
    void MakeTree() const;
    // Takes a tree of the standard channels read in place of the deferred one.
    void Adopt(KFCurveNode* root, KFCurve* const* curves, const bool* ended);

    KString mName;
    mutable KFCurveNode* mRoot = nullptr;
    KError mError;
    mutable bool mDeferred = false;
    KZeqNode* mCallbacksFor = nullptr;
    float mValues[eStandardValueCount] = {};
};

// "T", "R", "S" for "Lcl Translation", "Lcl Rotation", "Lcl Scaling"; any other name as it is.
KString GetEffectivePropertyName(KString name);
// The channel of the property of that name below a take's root: the
// transform's "T", "R" or "S" for the local transform, "Alpha" for a
// texture's "Texture alpha", "BackgroundColor (Color)" for a camera's
// "BackgroundColor" (when the root holds it), else the root's own child of
// that name (ignoring case). Never deeper: a property named "X" or "S" (a
// shape's weight) is not the transform's channel of that name.
KFCurveNode* FindPropertyChannel(KFCurveNode* root, const KString& name);
KFCurveNode* FindPropertyChannel(KFCurveNode* root, const char* name);

}  // namespace zeqsdk_400

#endif
