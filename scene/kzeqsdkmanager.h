#ifndef ZEQ_SCENE_KZEQSDKMANAGER_H
#define ZEQ_SCENE_KZEQSDKMANAGER_H

#include <cstdint>
#include <memory>

#include "base/kerror.h"
#include "base/kstring.h"
#include "scene/kzeqobjectlist.h"

namespace zeqsdk_400 {

class KName;
class KProperty;
class KZeqDeformer;
class KZeqExporter;
class KZeqGenericNode;
class KZeqGeometryConverter;
class KZeqImageConverter;
class KZeqImporter;
class KZeqGobo;
class KZeqLink;
class KZeqCamera;
class KZeqLight;
class KZeqMaterial;
class KZeqMarker;
class KZeqMesh;
class KZeqNode;
class KZeqNodeAttribute;
class KZeqNull;
class KZeqNurb;
class KZeqOpticalReference;
class KZeqPatch;
class KZeqPropertyHandler;
class KZeqPose;
class KZeqScene;
class KZeqSceneInfo;
class KZeqShape;
class KZeqTexture;
class KZeqSkeleton;
class KZeqThumbnail;
class KZeqUserProperty;

// Hears the names of the objects a manager creates (node, material or texture
// listener) and is emptied when the manager is cleared.
class KZeqNameListener {
public:
    virtual ~KZeqNameListener() = default;
    virtual void Clear() = 0;
    virtual void Add(KName* name) = 0;
};

// Factory and owner of every scene object. Each kind has its own list in
// creation order; creation goes through a virtual allocator per kind so that
// a subclass may substitute its own classes; a destroy finds the object by
// identity, removes it and ends it as its kind requires. Failures to find are
// recorded in the manager's error object.
class KZeqSdkManager {
public:
    enum EError { eObjectNotFound = 0, eErrorCount = 2 };
    enum EListener { eNodeListener, eMaterialListener, eTextureListener, eListenerCount };

    KZeqSdkManager();
    KZeqSdkManager(const KZeqSdkManager&) = delete;
    KZeqSdkManager& operator=(const KZeqSdkManager&) = delete;
    // Clears, deletes the listeners and gives back the manager's reference on the base library.
    virtual ~KZeqSdkManager();

    // A new manager; the caller deletes it.
    static KZeqSdkManager* CreateKZeqSdkManager();
    // The normal form of a name: everything through the first "::" dropped,
    // empty made "Name", then the prefix in front when there is one.
    static KString PrefixName(const char* prefix, const char* name);

    // Creation: null when the allocator refuses, with no error set.
    KZeqScene* CreateKZeqScene();
    // Named "Pose::" plus the normal form of name.
    KZeqPose* CreateKZeqPose(const char* name, bool bindPose);
    // Named "Model::" plus the normal form of name.
    KZeqNode* CreateKZeqNode(const char* name);
    KZeqNull* CreateKZeqNull();
    KZeqCamera* CreateKZeqCamera();
    KZeqLight* CreateKZeqLight();
    KZeqOpticalReference* CreateKZeqOpticalReference();
    KZeqMarker* CreateKZeqMarker();
    KZeqSkeleton* CreateKZeqSkeleton();
    KZeqMesh* CreateKZeqMesh();
    KZeqNurb* CreateKZeqNurb();
    KZeqPatch* CreateKZeqPatch();
    KZeqLink* CreateKZeqLink();
    // Made as a plain shape: the allocation hook is not asked.
    KZeqShape* CreateKZeqShape();
    // Named "SubDeformer::" (cluster) or "Deformer::" plus the normal form of name.
    KZeqDeformer* CreateKZeqDeformer(const char* name, const char* typeName);
    KZeqGobo* CreateKZeqGobo(const char* name);
    // Named "Material::" (or "Texture::") plus the normal form of name.
    KZeqMaterial* CreateKZeqMaterial(const char* name);
    KZeqTexture* CreateKZeqTexture(const char* name);
    // Named as given.
    KZeqGenericNode* CreateKZeqGenericNode(const char* name);
    KZeqUserProperty* CreateKZeqUserProperty(const char* name, const char* typeName, const char* label);
    KZeqUserProperty* CreateKZeqUserProperty(KProperty* property);
    KZeqThumbnail* CreateKZeqThumbnail();
    KZeqSceneInfo* CreateKZeqSceneInfo();
    KZeqGeometryConverter* CreateKZeqGeometryConverter();
    KZeqImageConverter* CreateKZeqImageConverter();
    // Made by the import/export layer, which links them in (zeq_io).
    KZeqImporter* CreateKZeqImporter();
    KZeqExporter* CreateKZeqExporter();

    // Allocation hooks, one per kind.
    virtual KZeqScene* AllocateKZeqScene();
    virtual KZeqPose* AllocateKZeqPose(const char* name, bool bindPose);
    virtual KZeqNode* AllocateKZeqNode(const char* name);
    virtual KZeqNull* AllocateKZeqNull();
    virtual KZeqCamera* AllocateKZeqCamera();
    virtual KZeqLight* AllocateKZeqLight();
    virtual KZeqOpticalReference* AllocateKZeqOpticalReference();
    virtual KZeqMarker* AllocateKZeqMarker();
    virtual KZeqSkeleton* AllocateKZeqSkeleton();
    virtual KZeqMesh* AllocateKZeqMesh();
    virtual KZeqPatch* AllocateKZeqPatch();
    virtual KZeqNurb* AllocateKZeqNurb();
    virtual KZeqLink* AllocateKZeqLink();
    virtual KZeqShape* AllocateKZeqShape();
    // Null when the name or the type name is null.
    virtual KZeqDeformer* AllocateKZeqDeformer(const char* name, const char* typeName);
    virtual KZeqGobo* AllocateKZeqGobo(const char* name);
    virtual KZeqMaterial* AllocateKZeqMaterial(const char* name);
    virtual KZeqTexture* AllocateKZeqTexture(const char* name);
    // Null for a null name.
    virtual KZeqGenericNode* AllocateKZeqGenericNode(const char* name);
    // Null when the name or the label is null.
    virtual KZeqUserProperty* AllocateKZeqUserProperty(const char* name, const char* typeName, const char* label);
    // Null for a null property.
    virtual KZeqUserProperty* AllocateKZeqUserProperty(KProperty* property);
    virtual KZeqThumbnail* AllocateKZeqThumbnail();
    virtual KZeqSceneInfo* AllocateKZeqSceneInfo();
    virtual KZeqGeometryConverter* AllocateKZeqGeometryConverter();
    virtual KZeqImageConverter* AllocateKZeqImageConverter();
    // A new importer or exporter on this manager (made by the import/export
    // layer); an override returns its own subclass, made with new.
    virtual KZeqExporter* AllocateKZeqExporter();
    virtual KZeqImporter* AllocateKZeqImporter();

    // False with "Object not found" when the manager does not list the object.
    // With recursive, the node's subtree and attributes end with it (false
    // when one of them was not listed); without, they stay.
    virtual bool DestroyKZeqNode(KZeqNode* node, bool recursive = false);
    // With recursive, the scene's root node (fetched first) ends with its
    // subtree once the scene is gone; without, the nodes stay listed.
    virtual bool DestroyKZeqScene(KZeqScene* scene, bool recursive = false);
    // Scenes listing the pose stop doing so.
    virtual bool DestroyKZeqPose(KZeqPose* pose);
    // An attribute still set on a node leaves it first.
    virtual bool DestroyKZeqNodeAttribute(KZeqNodeAttribute* attribute);
    virtual bool DestroyKZeqLink(KZeqLink* link);
    virtual bool DestroyKZeqShape(KZeqShape* shape);
    virtual bool DestroyKZeqDeformer(KZeqDeformer* deformer);
    virtual bool DestroyKZeqGobo(KZeqGobo* gobo);
    virtual bool DestroyKZeqMaterial(KZeqMaterial* material);
    virtual bool DestroyKZeqTexture(KZeqTexture* texture);
    virtual bool DestroyKZeqGenericNode(KZeqGenericNode* node);
    // The KProperty a user property wraps survives it.
    virtual bool DestroyKZeqUserProperty(KZeqUserProperty* property);
    virtual bool DestroyKZeqThumbnail(KZeqThumbnail* thumbnail);
    virtual bool DestroyKZeqSceneInfo(KZeqSceneInfo* info);
    bool DestroyKZeqGeometryConverter(KZeqGeometryConverter* converter);
    bool DestroyKZeqImageConverter(KZeqImageConverter* converter);
    bool DestroyKZeqImporter(KZeqImporter* importer);
    bool DestroyKZeqExporter(KZeqExporter* exporter);

    // The index-th node (in creation order) named "Model::" plus the normal
    // form of name; null with "Object not found" when there is none.
    virtual KZeqNode* FindKZeqNode(const char* name, int index = 0);
    // Null outside 0..count-1, with no error.
    int GetKZeqNodeCount() const { return mLists[eNodes].GetCount(); }
    KZeqNode* GetKZeqNode(int index) const;
    // The index-th gobo (in creation order) named "Model::" plus the normal
    // form of name; gobos keep their names as given, so only names of that
    // form are found. Null with "Object not found" when there is none.
    virtual KZeqGobo* FindKZeqGobo(const char* name, int index = 0);
    // The index-th material (texture) named "Material::" ("Texture::") plus
    // the normal form of name; null with "Object not found" when there is none.
    virtual KZeqMaterial* FindKZeqMaterial(const char* name, int index = 0);
    virtual KZeqTexture* FindKZeqTexture(const char* name, int index = 0);
    // The first generic node of exactly that name; null with "Object not found".
    virtual KZeqGenericNode* FindKZeqGenericNode(const char* name);
    // Null outside 0..count-1, with no error.
    int GetKZeqMaterialCount() const { return mLists[eMaterials].GetCount(); }
    KZeqMaterial* GetKZeqMaterial(int index) const;
    int GetKZeqTextureCount() const { return mLists[eTextures].GetCount(); }
    KZeqTexture* GetKZeqTexture(int index) const;
    // Image converters in creation order; null outside 0..count-1.
    int GetKZeqImageConverterCount() const { return mLists[eImageConverters].GetCount(); }
    KZeqImageConverter* GetKZeqImageConverter(int index) const;
    int GetKZeqLinkCount() const { return mLists[eLinks].GetCount(); }
    KZeqLink* GetKZeqLink(int index) const;
    // The first pose of exactly that name; null with "Object not found".
    virtual KZeqPose* FindKZeqPose(const char* name);
    int GetKZeqPoseCount() const { return mLists[ePoses].GetCount(); }
    KZeqPose* GetKZeqPose(int index) const;
    // The first user property of exactly that name; null, with no error, when none.
    virtual KZeqUserProperty* FindKZeqUserProperty(const char* name);

    // Ends every object of every list, then clears the listeners. The manager
    // stays usable.
    virtual void Clear();

    // Owned from then on; a listener set before is deleted.
    void SetListener(EListener which, KZeqNameListener* listener);

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    // Poses validate against, and scenes clear inputs across, every scene.
    friend class KZeqPose;
    friend class KZeqScene;
    // An ending object ends the user properties made to wrap its own
    // properties (those without a record of their own) that this manager
    // still lists; other user properties stay the caller's.
    friend class KZeqObject;
    void EndPropertyWrapper(KZeqUserProperty* property);
    // Places in the creation order of user properties: one for a user
    // property, a run of kOrderRun for the built-in wrappers an object may make.
    static constexpr std::uint64_t kOrderRun = 256;
    std::uint64_t TakeCreationOrder() { return mNextOrder += kOrderRun; }
    // A wrapper of an object's built-in property (null when it has ended),
    // listed, with the handler set, at the creation place given.
    KZeqUserProperty* MakeBuiltInWrapper(KProperty* property, KZeqPropertyHandler* handler, std::uint64_t order);
    int SceneCount() const { return mLists[eScenes].GetCount(); }
    KZeqScene* SceneAt(int index) const;

    // The lists, one per kind of object.
    enum EList {
        eScenes,
        eNodes,
        eNodeAttributes,
        eLinks,
        eMaterials,
        eShapes,
        eTextures,
        eGobos,
        ePoses,
        eUserProperties,
        eThumbnails,
        eSceneInfos,
        eGenericNodes,
        eDeformers,
        eGeometryConverters,
        eImageConverters,
        eExporters,
        eImporters,
        eListCount
    };
    // What the manager needs to know of one kind: how its objects end and,
    // for named kinds, an object's current name. Each kind defines its row
    // beside its own class.
    struct KindOps {
        void (*mEnd)(void* object);
        const char* (*mName)(const void* object);  // null for kinds without names
    };
    struct ListRow {
        const KindOps* mKind;  // null until the kind is built: its list stays empty
        int mListener;         // -1: none
    };
    static const ListRow kListRows[eListCount];
    static const EList kClearOrder[eListCount];
    static const KindOps kNodeOps;
    static const KindOps kNodeAttributeOps;
    static const KindOps kGoboOps;
    static const KindOps kLinkOps;
    static const KindOps kShapeOps;
    static const KindOps kDeformerOps;
    static const KindOps kMaterialOps;
    static const KindOps kTextureOps;
    static const KindOps kGenericNodeOps;
    static const KindOps kGeometryConverterOps;
    static const KindOps kImageConverterOps;
    static const KindOps kUserPropertyOps;
    static const KZeqObjectList::SlotKeeper kUserPropertySlots;
    static const KindOps kThumbnailOps;
    static const KindOps kSceneInfoOps;
    static const KindOps kSceneOps;
    static const KindOps kPoseOps;
    // Importers and exporters end through the import/export layer, which
    // sets this when it makes its first one.
    static const KindOps kImportExportOps;
    static void (*sEndImportExport)(void* object);
    // The import/export layer's makers, set with sEndImportExport: this layer
    // cannot see those classes.
    static KZeqExporter* (*sNewExporter)(KZeqSdkManager& manager);
    static KZeqImporter* (*sNewImporter)(KZeqSdkManager& manager);

    // Lists what an allocator made (null passes through) and tells the list's
    // listener, if any, of the name record.
    void* Listed(EList list, void* object, KName* name = nullptr);
    // Attributes are listed as their base, the form their row ends them in.
    template <class T>
    T* ListedAttribute(T* attribute) {
        KZeqNodeAttribute* base = attribute;
        return static_cast<T*>(static_cast<KZeqNodeAttribute*>(Listed(eNodeAttributes, base)));
    }
    // Finds by identity, removes and ends; false with the error when absent.
    bool DestroyListed(EList list, void* object);
    // The index-th object of a named kind's list whose current name equals
    // key; null with the error when there is none.
    void* FindNamed(EList list, const char* key, int index);
    void NotFound() { mError.SetLastErrorID(eObjectNotFound); }

    KZeqObjectList mLists[eListCount];
    std::uint64_t mNextOrder = 0;
    bool mClearing = false;  // Clear ends the user properties list by list itself
    std::unique_ptr<KZeqNameListener> mListeners[eListenerCount];
    KError mError;
};

// "SubDeformer::" for the type name "Cluster" in any letter case, else "Deformer::".
const char* GetDeformerPrefixFromTypeName(const char* typeName);

}  // namespace zeqsdk_400

#endif
