#ifndef ZEQ_CHARACTER_KZEQCONTROLSETPLUG_H
#define ZEQ_CHARACTER_KZEQCONTROLSETPLUG_H

#include <vector>

#include "base/kerror.h"
#include "character/kzeqcontrolset.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqControlSetPlug;

// The properties of a control set plug: "UseAxis", "ControlSetType", one list
// per named character node (entry 0: the property handler of its node) and
// one per effector (entry 0 the effector's node, then its auxiliary nodes),
// each list tagged with its identifier.
class KZeqControlSetPlugProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqControlSetPlugProperties)

public:
    explicit KZeqControlSetPlugProperties(KZeqTakeNodeContainer* owner);
    ~KZeqControlSetPlugProperties() override;

    void DefaultValueChanged(KZeqUserProperty* property) override;
    KZeqObject* GetKZeqObject() override { return mOwner; }
    KZeqControlSetPlug* GetKZeqControlSetPlug() const;

    virtual void ControlSetTypeSet(KZeqControlSet::EType type) { ControlSetType.Value() = type; }
    virtual KZeqControlSet::EType ControlSetTypeGet() { return ControlSetType.Value(); }
    virtual void UseAxisSet(bool on) { UseAxis.Value() = on; }
    virtual bool UseAxisGet() { return UseAxis.Value(); }
    // The type has no display text: null for every value.
    const char* ControlSetTypeAsString(KZeqControlSet::EType) { return nullptr; }

    KPropertyTemplate<KZeqControlSet::EType> ControlSetType;
    KPropertyTemplate<bool> UseAxis;
    // Ascending node identifiers (187 lists), effector identifiers (44 lists).
    std::vector<KPropertyObjectList*> mNodeLists;
    std::vector<KPropertyObjectList*> mEffectorLists;

private:
    KZeqTakeNodeContainer* mOwner;
};

// A control set as a scene object, so that it can be stored with properties
// and connections and rebuilt from them (KZeqControlSet::FromPlug, ToPlug).
// Made and ended by the scene.
class KZeqControlSetPlug : public KZeqTakeNodeContainer {
public:
    // The name as given (the scene has prefixed it).
    KZeqControlSetPlug(KZeqSdkManager& manager, const char* name);
    ~KZeqControlSetPlug() override;

    // Disconnects the property handler and ends its lists.
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return eControlSetPlug; }
    KZeqControlSetPlugProperties* GetPropertyHandler() override { return mProperties; }
    // Appends the handler's properties, in order, to a KArrayTemplate<KProperty*>.
    void FillPropertyList(void* list) override;
    KString GetTypeName() const override { return KString("ControlSetPlug"); }
    KStringList GetTypeFlags() const override;
    // The user property's own KProperty is made first and ended last.
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    // Channels of the animatable properties (none but user ones).
    void AddChannels(KZeqTakeNode* take) override;
    // Wraps each property not yet wrapped in a user property of the plug.
    void PublishProperties();

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    KZeqControlSetPlugProperties* mProperties = nullptr;  // owned; ended with Destroy
    KError mError;
};

}  // namespace zeqsdk_400

#endif
