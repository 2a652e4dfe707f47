#ifndef ZEQ_SCENE_KZEQOBJECT_H
#define ZEQ_SCENE_KZEQOBJECT_H

#include "base/karray.h"
#include "base/kname.h"
#include "base/kstring.h"
#include "scene/kzequserproperty.h"

namespace zeqsdk_400 {

class KZeqSdkManager;
class KZeqPropertyHandler;

// Root of the SDK object classes: hooks run after construction and before
// deletion, nothing by default.
class KZeqPlug {
public:
    KZeqPlug() = default;
    KZeqPlug(const KZeqPlug&) = delete;
    KZeqPlug& operator=(const KZeqPlug&) = delete;
    virtual ~KZeqPlug() = default;

    virtual void Construct() {}
    virtual void Destruct() {}
};

// Named SDK object. The name's form is fixed by the namespace code the class
// reports; the object lists its user properties, which the manager owns.
class KZeqObject : public KZeqPlug {
public:
    enum ENameSpace : int {
        eNoNameSpace = 0,
        eModel = 1,
        eTexture = 2,
        eMaterial = 3,
        eVideo = 4,
        eVideoOther = 5,
        eActor = 6,
        eMarkerSet = 7,
        eCharacter = 8,
        eCharacterPose = 9,
        eNoPrefix = 10,
        ePose = 11,
        eControlSetPlug = 12
    };

    // The name is taken as given: the manager's creation operations have
    // already put it in its normal form.
    KZeqObject(KZeqSdkManager& manager, const char* name);
    ~KZeqObject() override;

    virtual ENameSpace GetNameSpace() const = 0;
    // The object holding this object's properties; none by default.
    virtual KZeqPropertyHandler* GetPropertyHandler() { return nullptr; }
    virtual void FillPropertyList(void* list);
    virtual KString GetTypeName() const { return KString(); }
    virtual KStringList GetTypeFlags() const { return KStringList(); }
    // Told after a user property joined or left the list.
    virtual void PropertyAdded(KZeqUserProperty* property);
    virtual void PropertyRemoved(KZeqUserProperty* property);

    // The current name becomes the normal form of name under the prefix of
    // the object's own namespace code.
    void SetName(const char* name);
    const char* GetName() const { return mName.GetCurrentName(); }
    KString GetNameWithoutNameSpacePrefix() const;
    // Also resets the current name to it.
    void SetInitialName(const char* name) { mName.SetInitialName(name); }
    const char* GetInitialName() const { return mName.GetInitialName(); }
    KString GetNameSpacePrefix() const { return GetDefaultNameSpacePrefix(GetNameSpace()); }
    // The prefix of a code; empty for codes without one.
    static KString GetDefaultNameSpacePrefix(ENameSpace nameSpace);
    // The text after the last ':' (all of it when there is none).
    static KString RemovePrefix(const char* name);

    // Copies both names, only between objects of the same namespace code.
    KZeqObject& operator=(KZeqObject& other);

    KZeqSdkManager& GetSdkManager() const { return *mManager; }

    int GetPropertyCount() const { return mProperties.GetCount(); }
    // The user properties on which GetFlag(flags) is true.
    int GetPropertyCount(KZeqUserProperty::EFlags flags) const;
    // Null outside 0..count-1.
    KZeqUserProperty* GetProperty(int index) const { return mProperties.GetAt(index); }
    // The first user property wrapping that very property; null for null.
    KZeqUserProperty* GetProperty(KProperty* property) const;
    // The first user property of that exact name; null for null.
    KZeqUserProperty* FindPropertyByName(const char* name) const;
    // Null and properties already listed are ignored.
    void AddProperty(KZeqUserProperty* property);
    void RemoveProperty(KZeqUserProperty* property);

private:
    friend class KZeqSdkManager;  // hands the name record to its listeners

    KName mName;
    KArrayTemplate<KZeqUserProperty*> mProperties;
    KZeqSdkManager* mManager;
};

}  // namespace zeqsdk_400

#endif
