#ifndef ZEQ_SCENE_KZEQPATH_H
#define ZEQ_SCENE_KZEQPATH_H

#include "base/karray.h"

namespace zeqsdk_400 {

class KZeqNode;

// Where a node sits in its tree: its root and, level by level from the root
// down, the index of the child taken. Paths of nodes at the same place in two
// trees compare equal.
class KZeqPath {
public:
    KZeqPath() = default;
    explicit KZeqPath(KZeqNode* node) { Set(node); }
    KZeqPath(const KZeqPath& other) { Set(other); }
    KZeqPath& operator=(const KZeqPath& other) {
        Set(other);
        return *this;
    }

    // A child found nowhere among its parent's children counts as index 0.
    void Set(KZeqNode* node);
    void Set(const KZeqPath& other);

    KZeqNode* GetNode() const { return mNode; }
    KZeqNode* GetRootNode() const { return mRootNode; }
    // The depth of the node: 0 for a root.
    int GetParentCount() const { return mIndices.GetCount(); }
    // The root below level 1; the node reached by the first level indices
    // from the root otherwise (the node itself at GetParentCount()). Null
    // above GetParentCount() or where the tree no longer has that child.
    KZeqNode* GetParentNode(int level) const;
    KZeqNode* operator[](int level) const { return GetParentNode(level); }
    // Null where GetParentNode is.
    const char* GetParentNodeName(int level) const;

    // The indices alone decide; nodes and roots are not compared.
    bool operator==(const KZeqPath& other) const;
    bool operator!=(const KZeqPath& other) const { return !(*this == other); }

private:
    KZeqNode* mNode = nullptr;
    KZeqNode* mRootNode = nullptr;
    KArrayTemplate<int> mIndices{16};
};

}  // namespace zeqsdk_400

#endif
