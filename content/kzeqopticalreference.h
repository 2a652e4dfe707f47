#ifndef ZEQ_CONTENT_KZEQOPTICALREFERENCE_H
#define ZEQ_CONTENT_KZEQOPTICALREFERENCE_H

#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

// A reference point of optical motion capture; no data of its own.
class KZeqOpticalReference : public KZeqNodeAttribute {
public:
    explicit KZeqOpticalReference(KZeqSdkManager& manager) : KZeqNodeAttribute(manager) {}
    KZeqOpticalReference& operator=(KZeqOpticalReference&) { return *this; }

    EAttributeType GetAttributeType() const override { return eOPTICAL_REFERENCE; }
    KString GetTypeName() const override { return KString("Optical"); }
    KStringList GetTypeFlags() const override {
        KStringList flags;
        flags.Add("Marker");
        return flags;
    }
};

}  // namespace zeqsdk_400

#endif
