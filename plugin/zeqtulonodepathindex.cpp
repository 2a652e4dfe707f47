#include "plugin/zeqtulonodepathindex.h"

#include <vector>

#include "plugin/zeqtulonode.h"
#include "plugin/zeqtuloutility.h"

ZeqTuloNodePathIndex::ZeqTuloNodePathIndex(ZeqTuloNode* root) : mRoot(root) {
    if (!root) return;
    // GetZeqNodeFromDagPath's order (a node before its children, the last child's subtree first);
    // the first node met for a path is its answer.
    std::vector<ZeqTuloNode*> pending(1, root);
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        const TDagPath* path = node->GetDagPath();
        ZeqTuloPathKey key;
        if (path && ZeqTuloPathKey::Of(*path, key)) mByPath.emplace(key, node);
        const int count = node->GetChildCount(false);
        for (int i = 0; i < count; ++i) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(i)));
    }
}

ZeqTuloNode* ZeqTuloNodePathIndex::Find(const TDagPath* path) const {
    if (!mRoot || !path) return nullptr;
    // A path that no longer names nodes (one was deleted or moved) is searched the long way.
    if (!path->isValid()) return GetZeqNodeFromDagPath(mRoot, path);
    ZeqTuloPathKey key;
    if (!ZeqTuloPathKey::Of(*path, key)) return nullptr;
    auto it = mByPath.find(key);
    return it == mByPath.end() ? nullptr : it->second;
}
