#ifndef ZEQ_CHARACTER_KZEQCHARACTERPOSE_H
#define ZEQ_CHARACTER_KZEQCHARACTERPOSE_H

#include "scene/kzeqobject.h"

namespace zeqsdk_400 {

class KZeqCharacter;
class KZeqNode;
class KZeqScene;

// A posed copy of a character with the nodes it is linked to, kept in a scene
// of its own: the node tree under that scene's root and the scene's
// character 0, "PoseCharacter". Copies relink by node name.
class KZeqCharacterPose : public KZeqObject {
public:
    // The name as given (the scene has prefixed it).
    KZeqCharacterPose(KZeqSdkManager& manager, const char* name);
    // The scene goes with every node under its root.
    ~KZeqCharacterPose() override;

    ENameSpace GetNameSpace() const override { return eCharacterPose; }

    // The scene cleared, then one character "PoseCharacter" made in it.
    void Reset();
    KZeqNode* GetRootNode() const;
    // Null when the scene holds no character.
    KZeqCharacter* GetCharacter() const;
    // The pose's own scene, which the readers and writers store as a nested scene.
    KZeqScene* GetPoseScene() const { return mPoseScene; }

    // The name (same kind only), then the source's node tree added under this
    // root beside what is there, then its character onto this one, relinked
    // to the new nodes. Nothing for the pose itself.
    KZeqCharacterPose& operator=(KZeqCharacterPose& source);
    // Under destination, new nodes copying the subtree below source as it was
    // when the call began, in sibling order.
    void CopyNode(KZeqNode* source, KZeqNode* destination);
    // The source's input, links, solver parameters and control set onto the
    // destination, each node replaced by the first node of its name below
    // root (depth first). Nothing when either character is null.
    void CopyCharacter(KZeqCharacter* source, KZeqCharacter* destination, KZeqNode* root);

private:
    KZeqScene* mPoseScene = nullptr;  // the manager lists it; the pose ends it
};

}  // namespace zeqsdk_400

#endif
