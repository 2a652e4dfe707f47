#include "scene/kzeqpath.h"

#include <vector>

#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

void KZeqPath::Set(KZeqNode* node) {
    mIndices.Clear();
    mNode = node;
    mRootNode = nullptr;
    // Gathered from the node up, stored from the root down.
    std::vector<int> upward;
    KZeqNode* current = node;
    while (current) {
        KZeqNode* parent = current->GetParent();
        if (!parent) {
            mRootNode = current;
            break;
        }
        int index = 0;
        const int count = parent->GetChildCount(false);
        for (int i = 0; count > 1 && i < count; ++i) {
            if (parent->GetChild(i) == current) {
                index = i;
                break;
            }
        }
        upward.push_back(index);
        current = parent;
    }
    for (auto it = upward.rbegin(); it != upward.rend(); ++it) mIndices.Add(*it);
}

void KZeqPath::Set(const KZeqPath& other) {
    if (this == &other) return;
    mNode = other.mNode;
    mRootNode = other.mRootNode;
    mIndices = other.mIndices;
}

KZeqNode* KZeqPath::GetParentNode(int level) const {
    if (level < 1) return mRootNode;
    if (level > GetParentCount()) return nullptr;
    KZeqNode* node = mRootNode;
    for (int i = 0; node && i < level; ++i) node = node->GetChild(mIndices[i]);
    return node;
}

const char* KZeqPath::GetParentNodeName(int level) const {
    KZeqNode* node = GetParentNode(level);
    return node ? node->GetName() : nullptr;
}

bool KZeqPath::operator==(const KZeqPath& other) const {
    if (GetParentCount() != other.GetParentCount()) return false;
    for (int i = 0; i < GetParentCount(); ++i)
        if (mIndices[i] != other.mIndices[i]) return false;
    return true;
}

}  // namespace zeqsdk_400
