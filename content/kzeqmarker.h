#ifndef ZEQ_CONTENT_KZEQMARKER_H
#define ZEQ_CONTENT_KZEQMARKER_H

#include "base/kgemath.h"
#include "base/kzeqvector.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

class KZeqMarkerProperties;

// A motion-capture marker or an effector. Display values and the IK pivot
// are properties; the animated values are channels of the node's takes, and
// which channels exist follows the marker type.
class KZeqMarker : public KZeqNodeAttribute {
public:
    enum EType : int { eMARKER = 0, eOPTICAL_MARKER = 1, eIK_EFFECTOR = 2, eFK_EFFECTOR = 3 };
    enum ELook : int { eCUBE = 0, eHARD_CROSS = 1, eLIGHT_CROSS = 2, eSPHERE = 3 };

    explicit KZeqMarker(KZeqSdkManager& manager);
    ~KZeqMarker() override;
    // The type value as it is (channels untouched), look, size, colour and
    // label; not the IK pivot.
    KZeqMarker& operator=(KZeqMarker& other);

    EAttributeType GetAttributeType() const override { return KZeqNodeAttribute::eMARKER; }
    // Display values and IK pivot back to their defaults, type 0; channels untouched.
    void Reset();

    // A new type on an attached marker rebuilds its channels in every take;
    // channels only the old type had stay.
    void SetType(EType type);
    EType GetType() const { return mType; }
    void SetLook(ELook look);
    ELook GetLook() const;
    void SetSize(double size);
    double GetSize() const;
    void SetShowLabel(bool show);
    bool GetShowLabel() const;
    // Alpha is dropped; the colour read back has alpha 1.
    void SetColor(KZeqColor color);
    KZeqColor GetColor() const;
    void SetDefaultColor(KZeqColor& color) { SetColor(color); }
    KZeqColor& GetDefaultColor(KZeqColor& color) const {
        color = GetColor();
        return color;
    }
    void SetIKPivot(KZeqVector4& pivot);
    // (x, y, z, 1).
    KZeqVector4 GetIKPivot() const;

    // The default-take values of the type's channels: 0.0 and no change for
    // a type without that channel. A marker on no node keeps them itself, and
    // its channels start from them once attached.
    double GetDefaultOcclusion() const;
    void SetDefaultOcclusion(double occlusion);
    double GetDefaultIKReachTranslation() const;
    void SetDefaultIKReachTranslation(double reach);
    double GetDefaultIKReachRotation() const;
    void SetDefaultIKReachRotation(double reach);

    // New channels each time: existing ones are not looked for.
    void AddChannels(KZeqTakeNode* take) override;
    void RemoveChannels(KZeqTakeNode* take) override;

    KZeqMarkerProperties* GetPropertyHandler() const { return mProperties; }
    void FillPropertyList(void* list) override;
    // Unknown types are named "Marker".
    KString GetTypeName() const override;
    KStringList GetTypeFlags() const override;

private:
    double GetDefaultValue(int channel) const;
    void SetDefaultValue(int channel, double value);

    EType mType = eMARKER;
    KZeqMarkerProperties* mProperties;
    double mDetached[3] = {0.0, 0.0, 0.0};  // occlusion, IK reach translation and rotation
};

// The marker's display values and IK pivot as properties of the object model.
class KZeqMarkerProperties : public KObject {
    KZEQ_CLASS_DECLARE(KZeqMarkerProperties)

public:
    KZeqMarkerProperties();
    virtual void LookSet(KZeqMarker::ELook look) { Look.Value() = look; }
    virtual KZeqMarker::ELook LookGet() { return Look.Value(); }
    virtual void SizeSet(double size) { Size.Value() = size; }
    virtual double SizeGet() { return Size.Value(); }
    virtual void ColorSet(KgeRGBVector color) { Color.Value() = color; }
    virtual KgeRGBVector ColorGet() { return Color.Value(); }
    virtual void ShowLabelSet(bool show) { ShowLabel.Value() = show; }
    virtual bool ShowLabelGet() { return ShowLabel.Value(); }
    // x, y and z; the fourth component stays.
    virtual void IKPivotSet(KgeTVector pivot);
    // (x, y, z, 1).
    virtual KgeTVector IKPivotGet();
    // Null for a look outside the table.
    const char* LookAsString(KZeqMarker::ELook look);

    KPropertyTemplate<KZeqMarker::ELook> Look;
    KPropertyTemplate<double> Size;
    KPropertyTemplate<KgeRGBVector> Color;
    KPropertyTemplate<bool> ShowLabel;
    KPropertyTemplate<KgeTVector> IKPivot;
};

}  // namespace zeqsdk_400

#endif
