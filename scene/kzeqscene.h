#ifndef ZEQ_SCENE_KZEQSCENE_H
#define ZEQ_SCENE_KZEQSCENE_H

#include <memory>
#include <unordered_set>
#include <vector>

#include "base/karray.h"
#include "base/kerror.h"
#include "base/knameindex.h"
#include "base/kstring.h"

namespace zeqsdk_400 {

class KZeqActor;
class KZeqCharacter;
class KZeqCharacterPose;
class KZeqCameraSwitcher;
class KZeqControlSetPlug;
class KZeqDeformer;
class KZeqEntity;
class KZeqGenericNode;
class KZeqGlobalCameraSettings;
class KZeqGlobalLightSettings;
class KZeqGlobalTimeSettings;
class KZeqMarkerSet;
class KZeqMaterial;
class KZeqNode;
class KZeqObject;
class KZeqPose;
class KZeqSceneInfo;
class KZeqSdkManager;
class KZeqTakeInfo;
class KZeqTexture;

// One scene: its entity (root node and shared content), a hidden camera
// switcher node outside the root, the character objects it makes and ends
// itself, the poses it lists, a record per take and the global settings.
// It also moves every animated object of the scene to another take at once.
// Made and ended by the manager only.
class KZeqScene {
public:
    enum EError { eTakeError = 0, eErrorCount = 1 };

    explicit KZeqScene(KZeqSdkManager& manager);
    KZeqScene(const KZeqScene&) = delete;
    KZeqScene& operator=(const KZeqScene&) = delete;
    // The entity first; the root node stays with the manager.
    ~KZeqScene();

    // Back to a new scene's content: the root's subtrees, extra takes,
    // scene information, character objects, pose list, generic nodes and take
    // records go, the settings take their defaults. The entity, root, switcher
    // node and settings objects stay, as do materials, textures, gobos and
    // deformers.
    void Clear();

    // ---- Content, mostly the entity's -------------------------------------------------------
    KZeqEntity* GetEntity() const { return mEntity.get(); }
    KZeqNode* GetRootNode() const;
    KZeqNode* GetCameraSwitcher() const { return mCameraSwitcher; }
    bool ValidateNewName(KZeqObject& object, const char* name);
    // The caller's array is emptied first.
    void FillTextureArray(KArrayTemplate<KZeqTexture*>& textures);
    void FillMaterialArray(KArrayTemplate<KZeqMaterial*>& materials);
    int GetGenericNodeCount() const;
    KZeqGenericNode* GetGenericNode(int index);
    // False for null.
    bool AddGenericNode(KZeqGenericNode* node);
    bool RemoveGenericNode(KZeqGenericNode* node);
    // Types: 0 any, 1 skin, 2 cluster. A deformer added here knows the
    // entity, so that it leaves the list when it ends.
    int GetDeformerCount(int type = 0) const;
    KZeqDeformer* GetDeformer(const char* name) const;
    KZeqDeformer* GetDeformer(int index, int type = 0) const;
    // False for null.
    bool AddDeformer(KZeqDeformer* deformer);
    bool RemoveDeformer(KZeqDeformer* deformer);

    // ---- Character objects: made with the manager under their prefix,
    // owned, ended with Destruct and deletion ---------------------------------------------------
    // Creation answers the new index. Get answers null, Destroy does nothing,
    // for an index outside the list. A character, or actor, naming an actor
    // or character that ends forgets it; so does an actor its marker set.
    int GetMarkerSetCount() const { return static_cast<int>(mMarkerSets.size()); }
    KZeqMarkerSet* GetMarkerSet(int index) const;
    int CreateMarkerSet(const char* name);  // "MarkerSet::"
    void DestroyMarkerSet(int index);
    int GetActorCount() const { return static_cast<int>(mActors.size()); }
    KZeqActor* GetActor(int index) const;
    int CreateActor(const char* name);  // "Constraint::"
    void DestroyActor(int index);
    int GetCharacterCount() const { return static_cast<int>(mCharacters.size()); }
    KZeqCharacter* GetCharacter(int index) const;
    int CreateCharacter(const char* name);  // "Constraint::"
    void DestroyCharacter(int index);
    int GetControlSetPlugCount() const { return static_cast<int>(mControlSetPlugs.size()); }
    KZeqControlSetPlug* GetControlSetPlug(int index) const;
    int CreateControlSetPlug(const char* name);  // "ControlSetPlug::"
    void DestroyControlSetPlug(int index);
    int GetCharacterPoseCount() const { return static_cast<int>(mCharacterPoses.size()); }
    KZeqCharacterPose* GetCharacterPose(int index) const;
    int CreateCharacterPose(const char* name);  // "Pose::"
    void DestroyCharacterPose(int index);

    // ---- Poses: listed, not owned --------------------------------------------------------------
    int GetPoseCount() const { return static_cast<int>(mPoses.size()); }
    KZeqPose* GetPose(int index) const;
    // False for null or a pose listed already.
    bool AddPose(KZeqPose* pose);
    // False when not listed; the pose lives on.
    bool RemovePose(KZeqPose* pose);
    bool RemovePose(int index);

    // ---- Scene information and settings --------------------------------------------------------
    KZeqSceneInfo* GetSceneInfo() const { return mSceneInfo; }
    // The record must come from the manager: the scene destroys it at Clear
    // and when it ends, not when another is set.
    void SetSceneInfo(KZeqSceneInfo* info) { mSceneInfo = info; }
    KZeqGlobalLightSettings* GetGlobalLightSettings() const { return mLightSettings.get(); }
    KZeqGlobalCameraSettings* GetGlobalCameraSettings() const { return mCameraSettings.get(); }
    KZeqGlobalTimeSettings* GetGlobalTimeSettings() const { return mTimeSettings.get(); }

    // ---- Takes ------------------------------------------------------------------------------
    // Every distinct take name of the switcher, the entity's nodes, textures,
    // materials and generic nodes, in order of first appearance, as new
    // strings the caller owns; the strings held before are deleted.
    void FillTakeNameArray(KArrayTemplate<KString*>& names);
    // Stores the name, then moves the switcher and every node, texture,
    // material and generic node of the entity to that take (each one, even
    // after a failure). False when one of them lacks it, with the error
    // "Not all nodes have a take node called " and the name.
    bool SetCurrentTake(const char* name);
    const char* GetCurrentTakeName() const { return mCurrentTakeName.Buffer(); }
    // The take in the switcher and every node, texture and material (not the
    // generic nodes); false when one of them already (did not) have it.
    bool CreateTake(const char* name);
    bool RemoveTake(const char* name);
    // False, nothing stored, unless some object has a take of that name;
    // the name's record is then replaced, or a new one appended.
    bool SetTakeInfo(const KZeqTakeInfo& info);
    // The first record of the name; null when none.
    KZeqTakeInfo* GetTakeInfo(const KString& name) const;
    // The same record, only to be read: it cannot be renamed through this, so the searches by name
    // stay with the index (a record given out by GetTakeInfo is compared on every search since).
    const KZeqTakeInfo* GetTakeInfoConst(const KString& name) const;

    // ---- Storage conversions, run around scene-file writes and reads -------------------------
    // Before a write: the materials and textures of the layer elements become
    // connections to the nodes, the skin links skin and cluster deformers.
    void ConnectMaterials();
    void ConnectTextures();
    void BuildKZeqDeformerFromKZeqLink();
    // After a read: the reverse.
    void BuildMaterialLayersDirectArray();
    void BuildTextureLayersDirectArray();
    void BuildKZeqLinkFromKZeqDeformer();
    // Every deformer out of the entity and destroyed, clusters first.
    void RemoveKZeqDeformers();

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    typedef std::unordered_set<const KZeqObject*> ObjectSet;

    // Whether some object of the scene has a take of that name.
    bool FindTakeName(const KString& name);
    // The index of the first record of the name, -1 when none; through an index of the names once
    // there are many. A record given out by GetTakeInfo may be renamed by its holder: it is compared
    // on every search since.
    int FindTakeInfo(const KString& name) const;
    // The switcher node, then the entity's nodes, textures and materials,
    // then, with generic nodes, its generic nodes.
    template <class Visit>
    void VisitTakeContainers(bool genericNodes, Visit visit);
    // Ends the five character families in order, list by list.
    void DestroyCharacterObjects();
    // Every character (of this scene and of all the manager's scenes) whose
    // input is one of the objects forgets it; so does every actor whose
    // marker set is one of them.
    void ForgetInputs(const ObjectSet& ending);
    void DestroySceneInfo();
    void DeleteTakeInfos();

    KZeqSdkManager& mManager;
    std::unique_ptr<KZeqEntity> mEntity;
    KZeqNode* mCameraSwitcher = nullptr;  // the manager's
    // Made and ended by the scene, wherever it is attached by then.
    KZeqCameraSwitcher* mSwitcherAttribute = nullptr;
    std::vector<KZeqMarkerSet*> mMarkerSets;
    std::vector<KZeqActor*> mActors;
    std::vector<KZeqCharacter*> mCharacters;
    std::vector<KZeqControlSetPlug*> mControlSetPlugs;
    std::vector<KZeqCharacterPose*> mCharacterPoses;
    std::vector<KZeqPose*> mPoses;
    std::unique_ptr<KZeqGlobalLightSettings> mLightSettings;
    std::unique_ptr<KZeqGlobalCameraSettings> mCameraSettings;
    std::unique_ptr<KZeqGlobalTimeSettings> mTimeSettings;
    KString mCurrentTakeName;
    std::vector<std::unique_ptr<KZeqTakeInfo>> mTakeInfos;
    mutable std::vector<char> mTakeInfoGivenOut;  // by record, kept in step with mTakeInfos
    mutable std::unique_ptr<KNameIndex> mTakeInfoIndex;
    KZeqSceneInfo* mSceneInfo = nullptr;
    KError mError;
};

}  // namespace zeqsdk_400

#endif
