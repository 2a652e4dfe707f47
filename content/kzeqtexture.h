#ifndef ZEQ_CONTENT_KZEQTEXTURE_H
#define ZEQ_CONTENT_KZEQTEXTURE_H

#include "base/kerror.h"
#include "base/kgemath.h"
#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqTexture;

// The enumerations of a texture, apart so that its properties can hold them;
// reached as KZeqTexture::ETextureUse6 and so on.
struct KZeqTextureTypes {
    // Stored in "TextureTypeUse".
    enum ETextureUse6 : int {
        eTEXTURE_USE_6_STANDARD = 0,
        eTEXTURE_USE_6_SPHERICAL_REFLEXION_MAP = 1,
        eTEXTURE_USE_6_SPHERE_REFLEXION_MAP = 2,
        eTEXTURE_USE_6_SHADOW_MAP = 3,
        eTEXTURE_USE_6_LIGHT_MAP = 4,
        eTEXTURE_USE_6_BUMP_NORMAL_MAP = 5
    };
    // What SetTextureUse takes.
    enum ETextureUse : int {
        eSTANDARD = 0,
        eSHADOW_MAP = 1,
        eLIGHT_MAP = 2,
        eSPHERICAL_REFLEXION_MAP = 3,
        eSPHERE_REFLEXION_MAP = 4,
        eBUMP_NORMAL_MAP = 5
    };
    enum EBlendMode : int { eTRANSLUCENT = 0, eADDITIVE = 1, eMODULATE = 2, eMODULATE2 = 3 };
    enum EUnifiedMappingType : int {
        eUMT_UV = 0,
        eUMT_Z = 1,
        eUMT_X = 2,
        eUMT_Y = 3,
        eUMT_SPHERICAL = 4,
        eUMT_CYLINDRICAL = 5,
        eUMT_ENVIRONMENT = 6,
        eUMT_PROJECTION = 7,
        eUMT_BOX = 8,
        eUMT_FACE = 9,
        eUMT_NO_MAPPING = 10
    };
    enum EWrapMode : int { eREPEAT = 0, eCLAMP = 1 };
    enum EMappingType : int {
        eNULL = 0,
        ePLANAR = 1,
        eSPHERICAL = 2,
        eCYLINDRICAL = 3,
        eBOX = 4,
        eFACE = 5,
        eUV = 6,
        eENVIRONMENT = 7
    };
    enum EPlanarMappingNormal : int { ePLANAR_NORMAL_X = 0, ePLANAR_NORMAL_Y = 1, ePLANAR_NORMAL_Z = 2 };
    enum EAlphaSource : int { eNONE = 0, eRGB_INTENSITY = 1, eBLACK = 2 };
    // 0: the texture uses the model's material.
    enum EMaterialUse : int { eMODEL_MATERIAL = 0, eDEFAULT_MATERIAL = 1 };
};

// The texture's settings as properties of the object model, after the four
// animated ones ("Translation", "Rotation", "Scaling", "Texture alpha").
// Connected as a source of a node's property set, it enters the texture into
// the node's entity.
class KZeqTextureProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqTextureProperties)

public:
    explicit KZeqTextureProperties(KZeqTakeNodeContainer* owner);

    KZeqTakeNodeContainer* GetKZeqObject() override { return mOwner; }
    KZeqTexture* GetKZeqTexture();
    void DefaultValueChanged(KZeqUserProperty* property) override;
    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override;

    // Display texts; null outside their tables.
    const char* TextureTypeUseAsString(KZeqTextureTypes::ETextureUse6 value);
    const char* CurrentTextureBlendModeAsString(KZeqTextureTypes::EBlendMode value);
    const char* CurrentMappingTypeAsString(KZeqTextureTypes::EUnifiedMappingType value);
    const char* WrapModeUAsString(KZeqTextureTypes::EWrapMode value);
    const char* WrapModeVAsString(KZeqTextureTypes::EWrapMode value);

    // Pivots keep their stored fourth component and read back with it 1.
#define KZEQ_TEXTURE_MEMBER(Name, Type)                                                     \
    KPropertyTemplate<Type> Name;                                                           \
    virtual void Name##Set(Type value) { KZeqNodeValue<Type>::Store(Name.Value(), value); } \
    virtual Type Name##Get() { return KZeqNodeValue<Type>::Load(Name.Value()); }
    KZEQ_TEXTURE_MEMBER(TextureTypeUse, KZeqTextureTypes::ETextureUse6)
    KZEQ_TEXTURE_MEMBER(CurrentTextureBlendMode, KZeqTextureTypes::EBlendMode)
    KZEQ_TEXTURE_MEMBER(UseMaterial, bool)
    KZEQ_TEXTURE_MEMBER(UseMipMap, bool)
    KZEQ_TEXTURE_MEMBER(CurrentMappingType, KZeqTextureTypes::EUnifiedMappingType)
    KZEQ_TEXTURE_MEMBER(UVSwap, bool)
    KZEQ_TEXTURE_MEMBER(WrapModeU, KZeqTextureTypes::EWrapMode)
    KZEQ_TEXTURE_MEMBER(WrapModeV, KZeqTextureTypes::EWrapMode)
    KZEQ_TEXTURE_MEMBER(TextureRotationPivot, KgeTVector)
    KZEQ_TEXTURE_MEMBER(TextureScalingPivot, KgeTVector)
#undef KZEQ_TEXTURE_MEMBER

    KPropertyObjectList VideoProperty;
    KObject* VideoPropertyGet(int index) { return VideoProperty.GetAt(index); }
    void VideoPropertySet(int index, KObject* object) { VideoProperty.SetAt(index, object); }

    // The four animated properties, owned by the property list (null when
    // their data type is missing).
    KProperty* mTranslation;
    KProperty* mRotation;
    KProperty* mScaling;
    KProperty* mTextureAlpha;

private:
    KProperty* AddAnimatedProperty(const char* name, const char* dataTypeName);

    KZeqTakeNodeContainer* mOwner;
};

// A texture image and how it lies on a surface: file, cropping, alpha source,
// mapping, wrap and blend modes, use, swapped UVs, UV offset and scale, and an
// animatable placement (translation, rotation, scaling, alpha) whose static
// values are the curves of the "Default" take. When a Default take lacks
// those curves (a file may bring one), the placement getters answer the
// built-in defaults and the setters do nothing.
class KZeqTexture : public KZeqTakeNodeContainer, public KZeqTextureTypes {
public:
    enum EError { eTakeNodeError = 0, eErrorCount = 1 };

    // The name as given (the manager has prefixed it).
    KZeqTexture(KZeqSdkManager& manager, const char* name);
    ~KZeqTexture() override;
    ENameSpace GetNameSpace() const override { return eTexture; }
    KZeqTextureProperties* GetPropertyHandler() override { return mProperties; }
    static int GetClassID();
    // The takes back to a lone Default, then Init.
    void Reset();

    bool SetFileName(const char* name);
    const char* GetFileName() const { return mFileName.Buffer(); }
    bool SetRelativeFileName(const char* name);
    const char* GetRelativeFileName() const { return mRelativeFileName.Buffer(); }
    void SetMediaName(const char* name) { mMediaName = name; }
    KString& GetMediaName() { return mMediaName; }
    KString& GetTextureType() { return mTextureType; }
    KString GetTypeName() const override { return mTextureType; }

    void SetSwapUV(bool swap);
    bool GetSwapUV() const;
    void SetAlphaSource(EAlphaSource source) { mAlphaSource = source; }
    EAlphaSource GetAlphaSource() const { return mAlphaSource; }
    void SetCropping(int left, int top, int right, int bottom);
    int GetCroppingLeft() const { return mCroppingLeft; }
    int GetCroppingRight() const { return mCroppingRight; }
    int GetCroppingTop() const { return mCroppingTop; }
    int GetCroppingBottom() const { return mCroppingBottom; }
    // "CurrentMappingType" follows the mapping type and, when planar, the normal.
    void SetMappingType(EMappingType type);
    EMappingType GetMappingType() const { return mMappingType; }
    void SetPlanarMappingNormal(EPlanarMappingNormal normal);
    EPlanarMappingNormal GetPlanarMappingNormal() const { return mPlanarMappingNormal; }
    void SetMaterialUse(EMaterialUse use);
    EMaterialUse GetMaterialUse() const;
    // Stored under its six-code form; a use outside the table stores 0.
    void SetTextureUse(ETextureUse use);
    ETextureUse GetTextureUse() const;
    void SetWrapMode(EWrapMode u, EWrapMode v);
    EWrapMode GetWrapModeU() const;
    EWrapMode GetWrapModeV() const;
    void SetBlendMode(EBlendMode mode);
    EBlendMode GetBlendMode() const;

    // x, y, z (as floats) into the Default take's curves, then the property of
    // the same name set to (x, y, z, 1).
    void SetDefaultT(const KZeqVector4& t) { SetPlacement(kTranslation, t); }
    void SetDefaultR(const KZeqVector4& r) { SetPlacement(kRotation, r); }
    void SetDefaultS(const KZeqVector4& s) { SetPlacement(kScaling, s); }
    // The curves into x, y, z; w unchanged.
    KZeqVector4& GetDefaultT(KZeqVector4& t) const { return GetPlacement(kTranslation, t); }
    KZeqVector4& GetDefaultR(KZeqVector4& r) const { return GetPlacement(kRotation, r); }
    KZeqVector4& GetDefaultS(KZeqVector4& s) const { return GetPlacement(kScaling, s); }
    // The "Alpha" curve, then the "Texture alpha" property, which the getter reads.
    void SetDefaultAlpha(double alpha);
    double GetDefaultAlpha() const;
    void SetTranslation(double u, double v) { SetDefaultT(KZeqVector4(u, v, 0.0, 1.0)); }
    void SetRotation(double u, double v, double w) { SetDefaultR(KZeqVector4(u, v, w, 1.0)); }
    void SetScale(double u, double v) { SetDefaultS(KZeqVector4(u, v, 1.0, 1.0)); }
    double GetTranslationU() const { return Placement(kTranslation, 0); }
    double GetTranslationV() const { return Placement(kTranslation, 1); }
    double GetRotationU() const { return Placement(kRotation, 0); }
    double GetRotationV() const { return Placement(kRotation, 1); }
    double GetRotationW() const { return Placement(kRotation, 2); }
    double GetScaleU() const { return Placement(kScaling, 0); }
    double GetScaleV() const { return Placement(kScaling, 1); }
    void SetUVTranslation(const KZeqVector2& t) { mUVTranslation = t; }
    KZeqVector2& GetUVTranslation() { return mUVTranslation; }
    void SetUVScaling(const KZeqVector2& s) { mUVScaling = s; }
    KZeqVector2& GetUVScaling() { return mUVScaling; }

    // Shared by every texture: the last take-node error of any of them.
    static KError& GetError() { return smError; }
    static int GetLastErrorID() { return smError.GetLastErrorID(); }
    static const char* GetLastErrorString() { return smError.GetLastErrorString(); }

    // Takes and the settings; not the relative file name, mip-mapping, the
    // pivots, the video list or the animated properties.
    KZeqTexture& operator=(KZeqTexture& other);
    // Names without trailing digits and blanks, the placement (not translation
    // z or scaling z), alpha, cropping, alpha source, mapping, uses, swap, the
    // file, media and type names and the UV transform; not blend or wrap modes.
    bool operator==(const KZeqTexture& other) const;
    bool operator!=(const KZeqTexture& other) const { return !(*this == other); }

    void PublishProperties();
    void FillPropertyList(void* list) override;
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    // Translation, rotation, scaling and alpha channels with their built-in
    // defaults; none is tied to a property.
    void AddChannels(KZeqTakeNode* take) override;

private:
    enum EPlacement { kTranslation, kRotation, kScaling };
    void Init();
    void SetPlacement(EPlacement which, const KZeqVector4& value);
    KZeqVector4& GetPlacement(EPlacement which, KZeqVector4& value) const;
    double Placement(EPlacement which, int axis) const;

    static KError smError;

    int mCroppingLeft = 0;
    int mCroppingRight = 0;
    int mCroppingTop = 0;
    int mCroppingBottom = 0;
    EAlphaSource mAlphaSource = eNONE;
    EMappingType mMappingType = eUV;
    EPlanarMappingNormal mPlanarMappingNormal = ePLANAR_NORMAL_X;
    KString mFileName;
    KString mRelativeFileName;
    KString mMediaName;
    KString mTextureType;
    KZeqVector2 mUVScaling;
    KZeqVector2 mUVTranslation;
    KZeqTextureProperties* mProperties;
};

}  // namespace zeqsdk_400

#endif
