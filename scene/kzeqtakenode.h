#ifndef ZEQ_SCENE_KZEQTAKENODE_H
#define ZEQ_SCENE_KZEQTAKENODE_H

#include "base/kerror.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KDataType;
class KFCurve;
class KFCurveNode;
class KZeqGeometry;
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
    KZeqTakeNode& operator=(const KZeqTakeNode&) = delete;
    ~KZeqTakeNode();

    void SetName(const char* name) { mName = name; }
    const char* GetName() const { return mName.Buffer(); }
    KFCurveNode* GetKFCurveNode() const { return mRoot; }
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

private:
    // The node at the end of the path (null elements skipped); null when a
    // name is not found.
    KFCurveNode* FindPath(const char* group, const char* node) const;
    KFCurve* Found(KFCurveNode* node);

    KString mName;
    KFCurveNode* mRoot;
    KError mError;
};

// "T", "R", "S" for "Lcl Translation", "Lcl Rotation", "Lcl Scaling"; any other name as it is.
KString GetEffectivePropertyName(KString name);
// The channel of the property of that name below a take's root: the
// transform's "T", "R" or "S" for the local transform, else the root's own
// child of that name (ignoring case). Never deeper: a property named "X" or
// "S" (a shape's weight) is not the transform's channel of that name.
KFCurveNode* FindPropertyChannel(KFCurveNode* root, const KString& name);
KFCurveNode* FindPropertyChannel(KFCurveNode* root, const char* name);

}  // namespace zeqsdk_400

#endif
