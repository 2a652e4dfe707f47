#ifndef ZEQ_SCENE_KZEQNODEATTRIBUTE_H
#define ZEQ_SCENE_KZEQNODEATTRIBUTE_H

#include "base/kstring.h"

namespace zeqsdk_400 {

class KZeqNode;
class KZeqSdkManager;
class KZeqTakeNode;

// What a node is. An attribute knows the node it is set on and, attached or
// detached, adds or removes its channels in every take of that node. Made and
// ended by the manager; a node only refers to it.
class KZeqNodeAttribute {
public:
    enum EAttributeType : int {
        eUNIDENTIFIED = 0,
        eNULL = 1,
        eMARKER = 2,
        eSKELETON = 3,
        eMESH = 4,
        eNURB = 5,
        ePATCH = 6,
        eCAMERA = 7,
        eCAMERA_SWITCHER = 8,
        eLIGHT = 9,
        eOPTICAL_REFERENCE = 10,
        eTypeCount = 11
    };

    explicit KZeqNodeAttribute(KZeqSdkManager& manager) : mManager(&manager) {}
    KZeqNodeAttribute(const KZeqNodeAttribute&) = delete;
    virtual ~KZeqNodeAttribute() = default;
    // Copies nothing here; each kind copies its own values.
    KZeqNodeAttribute& operator=(KZeqNodeAttribute&) { return *this; }

    virtual EAttributeType GetAttributeType() const = 0;
    // Records the node, then adds the channels to each of its takes in order.
    virtual void SetNode(KZeqNode& node);
    // Removes the channels from each take in order, then forgets the node;
    // nothing when detached.
    virtual void UnsetNode();
    virtual void AddChannels(KZeqTakeNode*) {}
    virtual void RemoveChannels(KZeqTakeNode*) {}
    // Appends the attribute's properties to a KArrayTemplate<KProperty*>.
    virtual void FillPropertyList(void*) {}
    virtual KString GetTypeName() const { return KString(); }
    virtual KStringList GetTypeFlags() const { return KStringList(); }

    KZeqNode* GetNode() const { return mNode; }
    KZeqSdkManager& GetSdkManager() const { return *mManager; }

private:
    KZeqNode* mNode = nullptr;
    KZeqSdkManager* mManager;
};

}  // namespace zeqsdk_400

#endif
