#ifndef ZEQ_CONTENT_KZEQGENERICNODE_H
#define ZEQ_CONTENT_KZEQGENERICNODE_H

#include "base/kerror.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqEntity;
class KZeqGenericNode;

// Holds the properties of a generic node: one per user property added.
class KZeqGenericNodeProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqGenericNodeProperties)

public:
    explicit KZeqGenericNodeProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {}

    KZeqTakeNodeContainer* GetKZeqObject() override { return mOwner; }
    KZeqGenericNode* GetKZeqGenericNode();
    void DefaultValueChanged(KZeqUserProperty* property) override;

private:
    KZeqTakeNodeContainer* mOwner;
};

// A named, animated container of user properties outside the node tree. Its
// name takes no prefix; a scene lists it in its entity.
class KZeqGenericNode : public KZeqTakeNodeContainer {
public:
    enum EError { eError = 0, eErrorCount = 1 };

    KZeqGenericNode(KZeqSdkManager& manager, const char* name);
    // Leaves its entity, which must not keep listing it.
    ~KZeqGenericNode() override;
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return eNoPrefix; }
    KZeqGenericNodeProperties* GetPropertyHandler() override { return mProperties; }
    KString GetTypeName() const override { return KString("GenericNode"); }
    KStringList GetTypeFlags() const override;

    // Leaves the current entity and joins the new one (none for null); always true.
    bool SetEntity(KZeqEntity* entity);
    KZeqEntity* GetEntity() const { return mEntity; }

    // Wraps each property without a user property in one.
    void PublishProperties();
    void FillPropertyList(void* list) override;
    // A user property added gets a property of the property object, then its channels.
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    // The channels of every animatable property.
    void AddChannels(KZeqTakeNode* take) override;

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    friend class KZeqEntity;  // forgets it when the entity ends first

    KError mError;
    KZeqEntity* mEntity = nullptr;
    KZeqGenericNodeProperties* mProperties;
};

}  // namespace zeqsdk_400

#endif
