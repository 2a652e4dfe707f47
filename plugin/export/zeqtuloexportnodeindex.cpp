#include "plugin/export/zeqtuloexportnodeindex.h"

#include <vector>

#include "plugin/zeqtulonode.h"
#include "tdagpath.h"

ZeqTuloExportNodeIndex::ZeqTuloExportNodeIndex(ZeqTuloNode* root) : mRoot(root), mByOwnPath(root) {
    // The walk of the lookup: a node before its subtree, its own path before its host children,
    // host and Zeq children from the highest index; the first node met for a path keeps it. A host
    // child stands by its first path (what TDagPath::getAPathTo gives).
    std::vector<ZeqTuloNode*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        if (const TDagPath* path = node->GetDagPath()) {
            ZeqTuloPathKey key;
            if (ZeqTuloPathKey::Of(*path, key)) mStanding.emplace(key, node);
            for (int i = static_cast<int>(path->childCount()) - 1; i >= 0; --i)
                mStanding.emplace(ZeqTuloPathKey::FirstOf(path->child(static_cast<unsigned>(i))), node);
        }
        const int count = node->GetChildCount(false);
        for (int j = 0; j < count; ++j) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(j)));
    }
}

ZeqTuloNode* ZeqTuloExportNodeIndex::StandingFor(const TDagPath& path) const {
    ZeqTuloPathKey key;
    if (!ZeqTuloPathKey::Of(path, key)) return nullptr;
    const auto found = mStanding.find(key);
    return found == mStanding.end() ? nullptr : found->second;
}
