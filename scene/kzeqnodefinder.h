#ifndef ZEQ_SCENE_KZEQNODEFINDER_H
#define ZEQ_SCENE_KZEQNODEFINDER_H

#include <string>
#include <unordered_set>

#include "base/karray.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;
class KZeqEntity;
class KZeqGenericNode;
class KZeqGeometry;
class KZeqGobo;
class KZeqMaterial;
class KZeqNode;
class KZeqTexture;

// Walks a node tree, a node before its children, and collects the nodes its
// test accepts. Results add up over Apply calls until Reset.
class KZeqNodeFinder {
public:
    KZeqNodeFinder() = default;
    KZeqNodeFinder(const KZeqNodeFinder&) = delete;
    KZeqNodeFinder& operator=(const KZeqNodeFinder&) = delete;
    virtual ~KZeqNodeFinder() = default;

    KArrayTemplate<KZeqNode*>& Apply(KZeqNode& root);
    virtual void Reset() { mFoundNodes.Clear(); }
    KZeqNode* GetRootNode() const { return mRootNode; }

protected:
    virtual void ApplyRecursive(KZeqNode& node);
    virtual bool CheckNode(KZeqNode& node) = 0;

private:
    KZeqNode* mRootNode = nullptr;
    KArrayTemplate<KZeqNode*> mFoundNodes;
};

// Nodes with a scaled bone, a negative or a non-uniform scale, in the default
// take's values (static) and in the current take's scaling curves sampled every
// 1/24 second where they hold keys (animated; a current take without scaling keys
// counts as static, once).
class KZeqNodeFinderBadScale : public KZeqNodeFinder {
public:
    enum ECode { eNone = 0, eBoneScale = 1, eNegativeScale = 2, eNonUniformScale = 3 };

    KZeqNodeFinderBadScale();
    // Empties the six arrays and the found nodes; switches and epsilon stay.
    void Reset() override;

    bool GetCheckBoneScale() const { return mCheckBoneScale; }
    void SetCheckBoneScale(bool check) { mCheckBoneScale = check; }
    bool GetCheckNegativeScale() const { return mCheckNegativeScale; }
    void SetCheckNegativeScale(bool check) { mCheckNegativeScale = check; }
    bool GetCheckNonUniformScale() const { return mCheckNonUniformScale; }
    void SetCheckNonUniformScale(bool check) { mCheckNonUniformScale = check; }
    double GetEpsilon() const { return mEpsilon; }
    void SetEpsilon(double epsilon) { mEpsilon = epsilon; }

    KArrayTemplate<KZeqNode*>& BoneScaleStaticNodeArray() { return mBoneScaleStatic; }
    KArrayTemplate<KZeqNode*>& BoneScaleAnimatedNodeArray() { return mBoneScaleAnimated; }
    KArrayTemplate<KZeqNode*>& NegativeScaleStaticNodeArray() { return mNegativeScaleStatic; }
    KArrayTemplate<KZeqNode*>& NegativeScaleAnimatedNodeArray() { return mNegativeScaleAnimated; }
    KArrayTemplate<KZeqNode*>& NonUniformScaleStaticNodeArray() { return mNonUniformScaleStatic; }
    KArrayTemplate<KZeqNode*>& NonUniformScaleAnimatedNodeArray() { return mNonUniformScaleAnimated; }

    // The first failing test over up to three values, in order: bone scale
    // (away from 1), negative, non-uniform (away from the first value).
    ECode CheckValue(const double* values, int count) const;
    // The X, Y, Z curves under "S" of a take's tree (null when missing).
    void GetCurve(KFCurveNode* root, KFCurve* curves[3]) const;
    // The values without keys when no curve has keys; else samples from the
    // earliest first key to the latest last key, where a negative scale ends
    // the search.
    ECode CheckCurve(KFCurve* curves[3]) const;
    // Records the node in the array of its finding; bone and non-uniform
    // findings only for nodes with children.
    bool CheckKFCurveNode(KZeqNode& node, KFCurveNode* root, KArrayTemplate<KZeqNode*>& bone,
                          KArrayTemplate<KZeqNode*>& negative, KArrayTemplate<KZeqNode*>& nonUniform);

protected:
    // The bone test runs only on skeleton nodes.
    bool CheckNode(KZeqNode& node) override;

private:
    KTime mPeriod;
    bool mCheckBoneScale = true;
    KArrayTemplate<KZeqNode*> mBoneScaleStatic;
    KArrayTemplate<KZeqNode*> mBoneScaleAnimated;
    bool mCheckNegativeScale = true;
    KArrayTemplate<KZeqNode*> mNegativeScaleStatic;
    KArrayTemplate<KZeqNode*> mNegativeScaleAnimated;
    bool mCheckNonUniformScale = true;
    KArrayTemplate<KZeqNode*> mNonUniformScaleStatic;
    KArrayTemplate<KZeqNode*> mNonUniformScaleAnimated;
    double mEpsilon = 2.220446049250313e-16;
};

// Nodes, materials, textures and gobos whose full names repeat within the
// walked trees or clash with those of an entity. Names compare byte for byte.
class KZeqNodeFinderDuplicateName : public KZeqNodeFinder {
public:
    enum EState { eNODE = 0, eMATERIAL = 1, eTEXTURE = 2, eGOBO = 3, eGENERIC_NODE = 4, eStateCount = 5 };

    // entity may be null.
    explicit KZeqNodeFinderDuplicateName(KZeqEntity* entity);
    // Empties the arrays and the found nodes; switches and entity stay.
    void Reset() override;

    // Switches 0 to 4; another index names none (false, nothing set).
    bool GetState(int index) const { return index >= 0 && index < eStateCount && mStates[index]; }
    void SetState(int index, bool on) {
        if (index >= 0 && index < eStateCount) mStates[index] = on;
    }

    KArrayTemplate<KZeqNode*>& GetNodeArray() { return mNodes; }
    KArrayTemplate<KZeqNode*>& GetDuplicateNodeArray() { return mDuplicateNodes; }
    KArrayTemplate<KZeqMaterial*>& GetMaterialArray() { return mMaterials; }
    KArrayTemplate<KZeqMaterial*>& GetDuplicateMaterialArray() { return mDuplicateMaterials; }
    KArrayTemplate<KZeqTexture*>& GetTextureArray() { return mTextures; }
    KArrayTemplate<KZeqTexture*>& GetDuplicateTextureArray() { return mDuplicateTextures; }
    KArrayTemplate<KZeqGobo*>& GetGoboArray() { return mGobos; }
    KArrayTemplate<KZeqGobo*>& GetDuplicateGoboArray() { return mDuplicateGobos; }
    KArrayTemplate<KZeqGenericNode*>& GetGenericNodeArray() { return mGenericNodes; }
    KArrayTemplate<KZeqGenericNode*>& GetDuplicateGenericNodeArray() { return mDuplicateGenericNodes; }

    // Each true when it recorded a duplicate.
    bool CheckNodeName(KZeqNode& node);
    bool CheckGoboName(KZeqGobo* gobo);
    // The materials of the geometry's layers (not those in index mode) and
    // the textures of all its layers; one result for the whole geometry.
    bool CheckMaterialName(KZeqGeometry* geometry);
    bool CheckTextureName(KZeqGeometry* geometry);
    // For callers holding generic nodes outside any tree: records the first
    // entity generic node, else the first collected one, named name. Nothing
    // is added to the generic-node array.
    bool CheckGenericNodeName(const char* name);

protected:
    bool CheckNode(KZeqNode& node) override;

private:
    // The names of the content the node's attribute carries (materials,
    // textures, gobos), by kind; false for attributes that carry none.
    bool CheckContentNames(KZeqNode& node);

    bool mStates[eStateCount] = {true, false, false, true, true};
    KArrayTemplate<KZeqNode*> mNodes;
    KArrayTemplate<KZeqNode*> mDuplicateNodes;
    KArrayTemplate<KZeqMaterial*> mMaterials;
    KArrayTemplate<KZeqMaterial*> mDuplicateMaterials;
    KArrayTemplate<KZeqTexture*> mTextures;
    KArrayTemplate<KZeqTexture*> mDuplicateTextures;
    KArrayTemplate<KZeqGobo*> mGobos;
    KArrayTemplate<KZeqGobo*> mDuplicateGobos;
    KArrayTemplate<KZeqGenericNode*> mGenericNodes;
    KArrayTemplate<KZeqGenericNode*> mDuplicateGenericNodes;
    KZeqEntity* mEntity;
    // The node array's members and their names as they were collected, so
    // that each test is a look-up instead of a walk.
    std::unordered_set<const KZeqNode*> mNodeSet;
    std::unordered_set<std::string> mNodeNames;
    // The only node collected while the sets are still empty: they are filled
    // when a second one comes (a single leaf, the common case, needs none).
    KZeqNode* mFirstNode = nullptr;
};

}  // namespace zeqsdk_400

#endif
