#ifndef ZEQ_CONTENT_KZEQMATERIAL_H
#define ZEQ_CONTENT_KZEQMATERIAL_H

#include "base/kerror.h"
#include "base/kgemath.h"
#include "base/kzeqvector.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqMaterial;

// The material's seven values as properties of the object model (the
// shininess on its 0 to 128 scale). Connected as a source of a node's
// property set, it enters the material into the node's entity.
class KZeqMaterialProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqMaterialProperties)

public:
    explicit KZeqMaterialProperties(KZeqTakeNodeContainer* owner);

    KZeqTakeNodeContainer* GetKZeqObject() override { return mOwner; }
    KZeqMaterial* GetKZeqMaterial();
    void DefaultValueChanged(KZeqUserProperty* property) override;
    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override;

#define KZEQ_MATERIAL_MEMBER(Name, Type)                            \
    KPropertyTemplate<Type> Name;                                   \
    virtual void Name##Set(Type value) { Name.Value() = value; }    \
    virtual Type Name##Get() { return Name.Value(); }
    KZEQ_MATERIAL_MEMBER(Emissive, KgeRGBVector)
    KZEQ_MATERIAL_MEMBER(Ambient, KgeRGBVector)
    KZEQ_MATERIAL_MEMBER(Diffuse, KgeRGBVector)
    KZEQ_MATERIAL_MEMBER(Specular, KgeRGBVector)
    KZEQ_MATERIAL_MEMBER(Opacity, double)
    KZEQ_MATERIAL_MEMBER(Reflectivity, double)
    KZEQ_MATERIAL_MEMBER(Shininess, double)
#undef KZEQ_MATERIAL_MEMBER

private:
    KZeqTakeNodeContainer* mOwner;
};

// A surface material: a shading-model name and seven animatable values, kept
// in step between the properties and the curves of the "Default" take. The
// default-value accessors read and write those curves; when a Default take
// lacks them (a file may bring one), getters answer the built-in default and
// setters do nothing.
class KZeqMaterial : public KZeqTakeNodeContainer {
public:
    enum EError { eTakeNodeError = 0, eErrorCount = 1 };

    // The name as given (the manager has prefixed it).
    KZeqMaterial(KZeqSdkManager& manager, const char* name);
    ~KZeqMaterial() override;
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return eMaterial; }
    KZeqMaterialProperties* GetPropertyHandler() override { return mProperties; }
    static int GetClassID() { return KZeqMaterialProperties::ClassId; }

    // The takes back to a lone Default; shading model "phong", not multi-layer.
    // The properties keep their values.
    void Reset();

    void SetShadingModel(const char* model) { mShadingModel = model; }
    const char* GetShadingModel() const { return mShadingModel.Buffer(); }
    void SetMultiLayer(bool multiLayer) { mMultiLayer = multiLayer; }
    bool GetMultiLayer() const { return mMultiLayer; }

    // Red, green and blue (as floats) in the channel's X, Y, Z curves; alpha
    // is neither written nor read.
    void SetDefaultAmbientColor(const KZeqColor& color) { SetColor(kAmbient, color); }
    void SetDefaultDiffuseColor(const KZeqColor& color) { SetColor(kDiffuse, color); }
    void SetDefaultSpecularColor(const KZeqColor& color) { SetColor(kSpecular, color); }
    void SetDefaultEmissiveColor(const KZeqColor& color) { SetColor(kEmissive, color); }
    KZeqColor& GetDefaultAmbientColor(KZeqColor& color) const { return GetColor(kAmbient, color); }
    KZeqColor& GetDefaultDiffuseColor(KZeqColor& color) const { return GetColor(kDiffuse, color); }
    KZeqColor& GetDefaultSpecularColor(KZeqColor& color) const { return GetColor(kSpecular, color); }
    KZeqColor& GetDefaultEmissiveColor(KZeqColor& color) const { return GetColor(kEmissive, color); }
    // Clamped to [0, 1].
    void SetDefaultOpacity(double opacity);
    double GetDefaultOpacity() const;
    void SetDefaultReflectivity(double reflectivity);
    double GetDefaultReflectivity() const;
    // On [0, 1], stored on the 0 to 128 scale; clamped both ways.
    void SetDefaultShininess(double shininess);
    double GetDefaultShininess() const;

    void SetAmbient(const KZeqColor& color) { SetDefaultAmbientColor(color); }
    void SetDiffuse(const KZeqColor& color) { SetDefaultDiffuseColor(color); }
    void SetSpecular(const KZeqColor& color) { SetDefaultSpecularColor(color); }
    void SetEmissive(const KZeqColor& color) { SetDefaultEmissiveColor(color); }
    // Opaque.
    KZeqColor GetAmbient() const;
    KZeqColor GetDiffuse() const;
    KZeqColor GetSpecular() const;
    KZeqColor GetEmissive() const;
    void SetOpacity(double opacity) { SetDefaultOpacity(opacity); }
    double GetOpacity() const { return GetDefaultOpacity(); }
    void SetShininess(double shininess) { SetDefaultShininess(shininess); }
    double GetShininess() const { return GetDefaultShininess(); }
    void SetReflectivity(double reflectivity) { SetDefaultReflectivity(reflectivity); }
    double GetReflectivity() const { return GetDefaultReflectivity(); }

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

    // Names and takes, then the shading model; not the multi-layer flag.
    KZeqMaterial& operator=(KZeqMaterial& other);
    // Names exactly, the default colours (red, green, blue), opacity,
    // shininess and reflectivity exactly, shading models ignoring case.
    bool operator==(const KZeqMaterial& other) const;
    bool operator!=(const KZeqMaterial& other) const { return !(*this == other); }

    // Wraps each property without a user property in one.
    void PublishProperties();
    void FillPropertyList(void* list) override;
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    // The seven channels, starting from the property values; registered with
    // the properties only in a take named "Default" in any case.
    void AddChannels(KZeqTakeNode* take) override;

private:
    enum EColor { kEmissive, kAmbient, kDiffuse, kSpecular };
    enum ENumber { kOpacity, kReflectivity, kShininess };
    void SetColor(EColor which, const KZeqColor& color);
    KZeqColor& GetColor(EColor which, KZeqColor& color) const;
    void SetNumber(ENumber which, double value);
    double GetNumber(ENumber which) const;

    KError mError;
    KZeqMaterialProperties* mProperties;
    KString mShadingModel;
    bool mMultiLayer = false;
};

}  // namespace zeqsdk_400

#endif
