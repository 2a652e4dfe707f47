#ifndef ZEQ_SCENE_KZEQOBJECT_H
#define ZEQ_SCENE_KZEQOBJECT_H

#include <cstdint>
#include <memory>
#include <unordered_set>

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

    int GetPropertyCount() const { return BuiltInCount() + mProperties.GetCount(); }
    // The user properties on which GetFlag(flags) is true.
    int GetPropertyCount(KZeqUserProperty::EFlags flags) const;
    // Null outside 0..count-1.
    KZeqUserProperty* GetProperty(int index) const;
    // The first user property wrapping that very property; null for null.
    KZeqUserProperty* GetProperty(KProperty* property) const;
    // The first user property of that exact name; null for null.
    KZeqUserProperty* FindPropertyByName(const char* name) const;
    // Null and properties already listed are ignored.
    void AddProperty(KZeqUserProperty* property);
    void RemoveProperty(KZeqUserProperty* property);

    // What GetProperty(index)->GetKProperty() and GetProperty(index)->GetFlag(flags)
    // answer, without making a built-in property's wrapper (see PublishBuiltIns).
    KProperty* PeekProperty(int index) const;
    bool PeekFlag(int index, KZeqUserProperty::EFlags flags) const;
    // GetProperty(property) != null, without making a built-in property's wrapper.
    bool WrapsProperty(KProperty* property) const;
    // The list's first entries that stand for built-in properties (see
    // PublishBuiltIns), and whether one of them stands for property.
    int GetBuiltInEntryCount() const { return BuiltInCount(); }
    bool WrapsBuiltIn(KProperty* property) const;

protected:
    // The built-in properties of a property handler class, by a direct index:
    // how many there are, the property of a row (null once it has ended) and
    // the row of a property (-1 for any other).
    struct BuiltInRows {
        int mCount;
        KProperty* (*mAt)(KZeqPropertyHandler& handler, int row);
        int (*mRowOf)(KZeqPropertyHandler& handler, const KProperty* property);
    };
    // Publishes the handler's built-in properties, rows 0 to count-1, as the
    // first entries of the user-property list, each wrapped (by the manager,
    // with the handler set) only when first asked for: objects made by the
    // hundred thousand mostly never are. Nothing is told PropertyAdded: at
    // this point it would only give the curves the values they have. Only on
    // an object that lists nothing yet; false, with nothing done, otherwise.
    bool PublishBuiltIns(KZeqPropertyHandler& handler, const BuiltInRows& rows);
    // The entry index of a built-in property still standing for its wrapper
    // (none made yet) whose current name is name; -1 when none.
    int FindUnmadeBuiltIn(const char* name) const;
    // The property a built-in entry stands for.
    KProperty* BuiltInProperty(int index) const { return mRows->mAt(*mRowHandler, index); }

private:
    friend class KZeqSdkManager;  // hands the name record to its listeners, finds built-ins by name

    int BuiltInCount() const { return mRows ? mRows->mCount : 0; }
    // The wrapper of built-in entry index, made when missing.
    KZeqUserProperty* MadeBuiltIn(int index) const;
    // Index of a made built-in wrapper, -1 when it is none.
    int MadeIndexOf(const KZeqUserProperty* property) const;
    // Every built-in wrapper made and moved to the front of the plain list.
    void UnfoldBuiltIns();

    // Whether the plain list holds property: through a set of its entries once it is long.
    bool Lists(const KZeqUserProperty* property) const;

    KName mName;
    KArrayTemplate<KZeqUserProperty*> mProperties;  // after the built-in entries
    // The plain list's entries, made when a long list is first searched; kept in step with it.
    mutable std::unique_ptr<std::unordered_set<const KZeqUserProperty*>> mListed;
    KZeqSdkManager* mManager;
    const BuiltInRows* mRows = nullptr;  // null: no built-in entries
    KZeqPropertyHandler* mRowHandler = nullptr;
    mutable std::unique_ptr<KZeqUserProperty*[]> mMade;  // made wrappers by row, once one is made
    std::uint64_t mRowOrder = 0;  // the manager's creation order of row 0
};

}  // namespace zeqsdk_400

#endif
