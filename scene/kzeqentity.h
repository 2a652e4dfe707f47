#ifndef ZEQ_SCENE_KZEQENTITY_H
#define ZEQ_SCENE_KZEQENTITY_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kerror.h"
#include "base/kstring.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqobjectlist.h"

namespace zeqsdk_400 {

class KZeqDeformer;
class KZeqGenericNode;
class KZeqGobo;
class KZeqMaterial;
class KZeqNode;
class KZeqObject;
class KZeqSdkManager;
class KZeqTexture;

// The content record of a scene: its root node and the nodes, gobos and other
// shared objects that belong to it. Nodes are members once; shared objects
// are counted references, so each user inside the scene adds and removes its
// own. The entity owns none of the objects.
class KZeqEntity {
public:
    enum EError {
        eNodeIsNull = 0,
        eNodeAlreadyOwned = 1,
        eNodeNotOwned = 2,
        eOutOfRange = 3,
        eMaterialInUse = 4,
        eMaterialNotFound = 5,
        eTextureInUse = 6,
        eTextureNotFound = 7,
        eGoboInUse = 8,
        eGoboNotFound = 9,
        eGoboNameClash = 10,
        eGenericNodeInUse = 11,
        eGenericNodeNotFound = 12,
        eDeformerInUse = 14,
        eDeformerNotFound = 15,
        eErrorCount = 17
    };
    struct KZeqObjectReference {
        KZeqObject* mObject;
        int mCount;
    };

    // Makes the root node "Model::RootNode" through the manager and its first member.
    explicit KZeqEntity(KZeqSdkManager& manager);
    KZeqEntity(const KZeqEntity&) = delete;
    KZeqEntity& operator=(const KZeqEntity&) = delete;
    // Clears; the root node stays with the manager.
    ~KZeqEntity();

    KZeqNode* GetRootNode() const { return mRootNode; }

    bool AddNode(KZeqNode* node);
    // Removing the root leaves the entity without one.
    bool RemoveNode(KZeqNode* node);
    int GetNodeCount() const { return mNodes.GetCount(); }
    KZeqNode* GetNode(int index) const { return static_cast<KZeqNode*>(mNodes.GetAt(index)); }
    // The nodes with an attribute of that type: those under the root (a node
    // before its children) when fromRoot, else the members in list order.
    void FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNodeAttribute::EAttributeType type, bool fromRoot);

    // Materials and textures: by index null with "Parameter is out of range."
    // outside the list; by exact name null (or -1) with "... not found.".
    int GetMaterialCount() const { return SharedCount(eMaterials); }
    KZeqMaterial* GetMaterial(int index);
    KZeqMaterial* GetMaterial(const KString& name);
    int GetMaterialIndex(const KString& name);
    // Raises the count of a listed material; false for null.
    bool AddMaterial(KZeqMaterial* material);
    // True once the last reference is gone.
    bool RemoveMaterial(KZeqMaterial* material);
    int GetTextureCount() const { return SharedCount(eTextures); }
    KZeqTexture* GetTexture(int index);
    KZeqTexture* GetTexture(const KString& name);
    bool AddTexture(KZeqTexture* texture);
    bool RemoveTexture(KZeqTexture* texture);
    // Generic nodes join and leave through KZeqGenericNode::SetEntity; by name
    // null without error when none.
    int GetGenericNodeCount() const { return SharedCount(eGenericNodes); }
    KZeqGenericNode* GetGenericNode(int index);
    KZeqGenericNode* GetGenericNode(const char* name);
    bool AddGenericNode(KZeqGenericNode* node);
    bool RemoveGenericNode(KZeqGenericNode* node);

    // Deformers join and leave through KZeqDeformer::SetEntity. By type:
    // 0 any, 1 skin, 2 cluster; another type counts 0 and finds null. By
    // index among those of the type, null without error when out of range;
    // by exact name, null without error when none.
    int GetDeformerCount(int type = 0) const;
    KZeqDeformer* GetDeformer(int index, int type = 0) const;
    KZeqDeformer* GetDeformer(const char* name) const;
    bool AddDeformer(KZeqDeformer* deformer);
    bool RemoveDeformer(KZeqDeformer* deformer);

    int GetGoboCount() const { return SharedCount(eGobos); }
    // Null with "Parameter is out of range." outside the list.
    KZeqGobo* GetGobo(int index);
    // Raises the count of a listed gobo; refuses another gobo of a listed name.
    bool AddGobo(KZeqGobo* gobo);
    // True once the last reference is gone.
    bool RemoveGobo(KZeqGobo* gobo);

    // Whether the name is taken within the entity for an object of that
    // object's kind: true when any list its namespace consults holds it, with
    // its position in that list sorted by name. The lists keep their order.
    bool ValidateName(KZeqObject& object, const char* name, unsigned int* index = nullptr);
    bool ValidateNewName(KZeqObject& object, const char* name) { return !ValidateName(object, name); }

    // Every member node leaves (its geometry and shapes forget the entity);
    // the root is forgotten; material, texture and gobo references go.
    // Generic nodes and deformers stay.
    void Clear();

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    friend class KZeqNode;
    friend class KZeqGenericNode;
    friend class KZeqDeformer;
    // The kinds held by counted reference.
    enum EShared { eMaterials, eTextures, eGobos, eGenericNodes, eDeformers, eSharedCount };
    typedef std::vector<std::unique_ptr<KZeqObjectReference>> References;

    int SharedCount(EShared kind) const { return static_cast<int>(mShared[kind].size()); }
    KZeqObject* SharedAt(EShared kind, int index);
    int FindShared(EShared kind, const KZeqObject* object) const;
    void AddShared(EShared kind, KZeqObject* object);
    bool RemoveShared(EShared kind, KZeqObject* object, EError inUse, EError notFound);
    // The first listed object of that exact name, with its index; null, -1 when none.
    KZeqObject* FindSharedByName(EShared kind, const char* name, int* index = nullptr) const;
    // Told by a node that ends while a member.
    void ForgetNode(KZeqNode* node);
    // Told by a generic node that ends: its record goes, whatever its count.
    void ForgetGenericNode(KZeqGenericNode* node);
    // The listed generic nodes that point here stop doing so.
    void ForgetGenericNodes();
    // The same for deformers.
    void ForgetDeformer(KZeqDeformer* deformer);
    void ForgetDeformers();
    // The node's geometry and its shapes stop pointing here (their
    // references are not taken out).
    void ForgetContainers(KZeqNode& node);

    KZeqNode* mRootNode = nullptr;
    KZeqObjectList mNodes;
    References mShared[eSharedCount];
    KError mError;
};

}  // namespace zeqsdk_400

#endif
