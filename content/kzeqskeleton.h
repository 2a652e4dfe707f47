#ifndef ZEQ_CONTENT_KZEQSKELETON_H
#define ZEQ_CONTENT_KZEQSKELETON_H

#include "base/kgemath.h"
#include "base/kzeqvector.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

// The skeleton's values as properties of the object model.
class KZeqSkeletonProperties : public KObject {
    KZEQ_CLASS_DECLARE(KZeqSkeletonProperties)

public:
    KZeqSkeletonProperties();
    virtual void SizeSet(double size) { Size.Value() = size; }
    virtual double SizeGet() { return Size.Value(); }
    virtual void LimbLengthSet(double length) { LimbLength.Value() = length; }
    virtual double LimbLengthGet() { return LimbLength.Value(); }
    virtual void ColorSet(KgeRGBVector color) { Color.Value() = color; }
    virtual KgeRGBVector ColorGet() { return Color.Value(); }

    KPropertyTemplate<double> Size;  // the limb node size
    KPropertyTemplate<double> LimbLength;
    KPropertyTemplate<KgeRGBVector> Color;  // the limb node colour
};

// A bone: the root of a chain, a limb with a length, or a limb node drawn
// with a size and a colour. Each value remembers whether a setter stored it.
class KZeqSkeleton : public KZeqNodeAttribute {
public:
    enum ESkeletonType : int { eROOT = 0, eLIMB = 1, eLIMB_NODE = 2, eEFFECTOR = 3 };

    explicit KZeqSkeleton(KZeqSdkManager& manager);
    ~KZeqSkeleton() override;
    // The values through the setters, then the other's is-set flags.
    KZeqSkeleton& operator=(KZeqSkeleton& other);

    EAttributeType GetAttributeType() const override { return eSKELETON; }
    // Type root, the defaults, no value set.
    void Reset();

    // Any value is stored; the colour is written to files only for limbs and limb nodes.
    void SetSkeletonType(ESkeletonType type);
    ESkeletonType GetSkeletonType() const { return mSkeletonType; }
    bool GetSkeletonTypeIsSet() const { return mSkeletonTypeIsSet; }
    static ESkeletonType GetSkeletonTypeDefaultValue() { return eROOT; }

    // Only a limb takes a length: false, nothing changed, for other types.
    bool SetLimbLength(double length);
    double GetLimbLength() const;
    bool GetLimbLengthIsSet() const { return mLimbLengthIsSet; }
    static double GetLimbLengthDefaultValue() { return 1.0; }

    bool SetLimbNodeSize(double size);
    double GetLimbNodeSize() const;
    bool GetLimbNodeSizeIsSet() const { return mLimbNodeSizeIsSet; }
    static double GetLimbNodeSizeDefaultValue() { return 100.0; }

    // Only limbs and limb nodes take a colour (alpha dropped); the colour
    // read back always has alpha 1.
    bool SetLimbNodeColor(const KZeqColor& color);
    KZeqColor GetLimbNodeColor() const;
    bool GetLimbNodeColorIsSet() const { return mLimbNodeColorIsSet; }
    static KZeqColor GetLimbNodeColorDefaultValue() { return KZeqColor(0.8, 0.8, 0.8, 1.0); }

    KZeqSkeletonProperties* GetPropertyHandler() const { return mProperties; }
    void FillPropertyList(void* list) override;
    // "Root" (effectors too), "Limb", "LimbNode"; empty for other values.
    KString GetTypeName() const override;
    KStringList GetTypeFlags() const override;

private:
    // "Color" is kept out of files unless the type is a limb or a limb node.
    void MarkColorStored();

    KZeqSkeletonProperties* mProperties;
    ESkeletonType mSkeletonType = eROOT;
    bool mLimbLengthIsSet = false;
    bool mLimbNodeSizeIsSet = false;
    bool mLimbNodeColorIsSet = false;
    bool mSkeletonTypeIsSet = false;
};

}  // namespace zeqsdk_400

#endif
