#ifndef ZEQ_CONTENT_KZEQNULL_H
#define ZEQ_CONTENT_KZEQNULL_H

#include "object/kobject.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

// The null's values as properties of the object model.
class KZeqNullProperties : public KObject {
    KZEQ_CLASS_DECLARE(KZeqNullProperties)

public:
    KZeqNullProperties();
    virtual void SizeSet(double size) { mSize = size; }
    virtual double SizeGet() { return mSize; }

    KPropertyTemplate<double> Size;

private:
    double mSize = 0.0;
};

// A locator with a display size.
class KZeqNull : public KZeqNodeAttribute {
public:
    explicit KZeqNull(KZeqSdkManager& manager);
    ~KZeqNull() override;
    // Size and whether it was set; an unset null copies as unset.
    KZeqNull& operator=(KZeqNull& other);

    EAttributeType GetAttributeType() const override { return eNULL; }
    void Reset();
    void SetSize(double size);
    double GetSize() const { return mProperties->SizeGet(); }
    bool GetSizeIsSet() const { return mSizeIsSet; }
    static double GetSizeDefaultValue() { return 100.0; }

    KObject* GetPropertyHandler() const { return mProperties; }
    void FillPropertyList(void* list) override;
    KString GetTypeName() const override { return KString("Null"); }
    KStringList GetTypeFlags() const override;

private:
    bool mSizeIsSet = false;
    KZeqNullProperties* mProperties;
};

}  // namespace zeqsdk_400

#endif
