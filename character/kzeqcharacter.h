#ifndef ZEQ_CHARACTER_KZEQCHARACTER_H
#define ZEQ_CHARACTER_KZEQCHARACTER_H

#include <memory>

#include "base/kerror.h"
#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "character/kzeqcharacternodeid.h"
#include "object/khandle.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KPropertyObjectList;
class KZeqCharacterProperties;
class KZeqControlSet;
class KZeqFilterSet;
class KZeqNode;

// What drives a character: an actor, another character, or nothing (the value
// of a new or reset character). Other values are kept but admit no object.
enum ECharacterInputType : int { eCharacterInputActor = 0, eCharacterInputCharacter = 1, eCharacterInputNone = 4 };

// The scene node that plays one character node, with offsets kept for it.
// Copies share the node and never take the link list along.
struct KZeqCharacterLink {
    KZeqCharacterLink() { Reset(); }
    KZeqCharacterLink(const KZeqCharacterLink& other) { *this = other; }
    // Node, template name and offsets; the target keeps its own link list.
    KZeqCharacterLink& operator=(const KZeqCharacterLink& other);
    // No node, no name, offsets (0, 0, 0, 1) twice and (1, 1, 1, 1), no link list.
    void Reset();
    // A node or a name.
    bool IsSet() const { return mNode || !mTemplateName.IsEmpty(); }
    // The character's list property for this node; null for a copy, an
    // unnamed node, after a reset, or once the list has ended.
    KPropertyObjectList* GetLinkProperty() const;

    KZeqNode* mNode = nullptr;  // not owned
    KString mTemplateName;
    KZeqVector4 mOffsetT;
    KZeqVector4 mOffsetR;
    KZeqVector4 mOffsetS;

private:
    friend class KZeqCharacterProperties;
    HdlKPlug mLinkProperty;  // by handle: the list may end first
};

// A character definition: the scene node of each of the 191 character nodes,
// the object that drives it, and its control set, solver parameters (filter
// set) and property set, which it owns. Every node it links carries a record
// (this, 0, id, 0); a node that ends clears its slots itself. The group
// lookups are statics of this class.
class KZeqCharacter : public KZeqTakeNodeContainer, public KZeqCharacterGroups {
public:
    // The name as given (the scene has prefixed it).
    KZeqCharacter(KZeqSdkManager& manager, const char* name);
    ~KZeqCharacter() override;

    // Disconnects the property set and ends its link lists.
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return eCharacter; }
    KZeqPropertyHandler* GetPropertyHandler() override;
    KZeqCharacterProperties* GetProperties() const { return mProperties; }
    // Appends the property set's properties, in order, to a KArrayTemplate<KProperty*>.
    void FillPropertyList(void* list) override;
    KString GetTypeName() const override { return KString("Character"); }
    KStringList GetTypeFlags() const override;
    // Channels of every animatable property.
    void AddChannels(KZeqTakeNode* take) override;
    // Wraps each property not yet wrapped in a user property of the character.
    void PublishProperties();

    // No name, no input, no links (their "%sLink" lists emptied, still tied to
    // them), control set reset; the solver settings stay.
    void Reset();
    // The type is always kept; the object only when it is an actor under type
    // 0 or another character under type 1.
    void SetInput(ECharacterInputType type, KZeqObject* object);
    ECharacterInputType GetInputType() const { return mInputType; }
    KZeqObject* GetInputObject() const;

    // False for an identifier outside 0..190. With updateProperty the node's
    // property handler goes to entry 0 of the node's link list (cleared
    // without a node).
    bool SetCharacterLink(ECharacterNodeId id, const KZeqCharacterLink& link, bool updateProperty = true);
    // False outside 0..190 and for a link with neither node nor name; link may be null.
    bool GetCharacterLink(ECharacterNodeId id, KZeqCharacterLink* link) const;

    KZeqControlSet* GetControlSet() const { return mControlSet.get(); }
    KZeqFilterSet* GetFilterSet() const { return mFilterSet.get(); }

    KError& GetError() { return mError; }

    // Input, set links, solver parameters by name, and the control set's
    // type, links, effectors and auxiliary set 1.
    KZeqCharacter& operator=(KZeqCharacter& source);

private:
    friend class KZeqCharacterProperties;
    friend void KZeqCharacterClearNodeSlot(KZeqCharacter* character, int kind, int index, int subIndex);

    bool Matches(ECharacterInputType type, const KZeqObject* object) const;

    KZeqCharacterProperties* mProperties = nullptr;  // owned; ended with Destroy
    KError mError;
    ECharacterInputType mInputType = eCharacterInputNone;
    KZeqObject* mInputObject = nullptr;
    KZeqCharacterLink mLinks[kCharacterNodeIdCount];
    std::unique_ptr<KZeqControlSet> mControlSet;
    std::unique_ptr<KZeqFilterSet> mFilterSet;
};

// A node that ends drops itself from the slot one of its records names: kind
// 0 the character's link (name and offsets stay), 1 to 3 the control set's
// link, effector or auxiliary node. Touches no node and no record.
void KZeqCharacterClearNodeSlot(KZeqCharacter* character, int kind, int index, int subIndex);

}  // namespace zeqsdk_400

#endif
