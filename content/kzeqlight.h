#ifndef ZEQ_CONTENT_KZEQLIGHT_H
#define ZEQ_CONTENT_KZEQLIGHT_H

#include "base/kzeqvector.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

class KFCurve;
class KZeqEntity;
class KZeqGobo;

// The light's enumeration, apart so that its properties can hold it; reached
// as KZeqLight::ELightType.
struct KZeqLightTypes {
    enum ELightType : int { ePOINT = 0, eINFINITE = 1, eSPOT = 2 };
};

// The light's values as properties: type and cast flag, then the animated
// "Color", "Intensity", "Cone angle" and "Fog" (null when their data type is
// unknown).
class KZeqLightProperties : public KObject {
    KZEQ_CLASS_DECLARE(KZeqLightProperties)

public:
    KZeqLightProperties();

    virtual void LightTypeSet(KZeqLightTypes::ELightType type) { LightType.Value() = type; }
    virtual KZeqLightTypes::ELightType LightTypeGet() { return LightType.Value(); }
    virtual void CastLightOnObjectSet(bool cast) { CastLightOnObject.Value() = cast; }
    virtual bool CastLightOnObjectGet() { return CastLightOnObject.Value(); }
    // Null outside 0 to 2.
    const char* LightTypeAsString(KZeqLightTypes::ELightType type);

    KPropertyTemplate<KZeqLightTypes::ELightType> LightType;
    KPropertyTemplate<bool> CastLightOnObject;
    KProperty* mColor;
    KProperty* mIntensity;
    KProperty* mConeAngle;
    KProperty* mFog;
};

// A point, infinite or spot light that may project a gobo. Colour,
// intensity, cone angle and fog are channels in every take of its node; the
// properties keep a copy of the default values. The gobo is listed by the
// node's entity for as long as the light is attached to one of its nodes.
class KZeqLight : public KZeqNodeAttribute, public KZeqLightTypes {
public:
    explicit KZeqLight(KZeqSdkManager& manager);
    ~KZeqLight() override;
    // Type, gobo and cast flag; not the default values, which belong to the
    // node's takes.
    KZeqLight& operator=(KZeqLight& other);

    EAttributeType GetAttributeType() const override { return eLIGHT; }
    KZeqLightProperties* GetPropertyHandler() const { return mProperties; }

    // No range check.
    void SetLightType(ELightType type) { mProperties->LightTypeSet(type); }
    ELightType GetLightType() const { return mProperties->LightTypeGet(); }
    void SetCastLight(bool cast) { mProperties->CastLightOnObjectSet(cast); }
    bool GetCastLight() const { return mProperties->CastLightOnObjectGet(); }

    // Leaves the former gobo's entity record; false, and no gobo, when the
    // entity refuses the new one.
    bool SetGobo(KZeqGobo* gobo);
    KZeqGobo* GetGobo() const { return mGobo; }

    // Setters write the Default take's curve (as a float) when attached, then
    // the property; getters read that curve, or the property when detached
    // or the curve is missing. Colours move red, green and blue.
    void SetDefaultColor(const KZeqColor& color);
    void SetDefaultIntensity(double intensity) { SetDefaultValue(eIntensity, intensity); }
    void SetDefaultConeAngle(double angle) { SetDefaultValue(eConeAngle, angle); }
    void SetDefaultFog(double fog) { SetDefaultValue(eFog, fog); }
    KZeqColor& GetDefaultColor(KZeqColor& color) const;
    double GetDefaultIntensity() const { return GetDefaultValue(eIntensity); }
    double GetDefaultConeAngle() const { return GetDefaultValue(eConeAngle); }
    double GetDefaultFog() const { return GetDefaultValue(eFog); }

    // The gobo joins (leaves) the node's entity.
    void SetNode(KZeqNode& node) override;
    void UnsetNode() override;
    // Channels are found or made, then given the starting values, which
    // overwrite theirs.
    void AddChannels(KZeqTakeNode* take) override;
    void RemoveChannels(KZeqTakeNode* take) override;
    void FillPropertyList(void* list) override;
    KString GetTypeName() const override { return KString("Light"); }
    KStringList GetTypeFlags() const override;

private:
    enum EValue { eIntensity, eConeAngle, eFog, eValueCount };
    KFCurve* DefaultCurve(const char* group, const char* name) const;
    KProperty* ValueProperty(EValue which) const;
    void SetDefaultValue(EValue which, double value);
    double GetDefaultValue(EValue which) const;
    // The entity of the node the light is attached to, null when none.
    KZeqEntity* Entity() const;

    KZeqLightProperties* mProperties;
    KZeqGobo* mGobo = nullptr;
};

}  // namespace zeqsdk_400

#endif
