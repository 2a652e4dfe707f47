#include "plugin/export/zeqtuloexportnodeindex.h"

#include <vector>

#include "plugin/zeqtulonode.h"
#include "tdagpath.h"

ZeqTuloExportNodeIndex::ZeqTuloExportNodeIndex(ZeqTuloNode* root) : mRoot(root), mByOwnPath(root) {
    // The walk of the lookup: a node before its subtree, its own path before its host children,
    // host and Zeq children from the highest index; the first node met for a name keeps it. Valid
    // paths have distinct full names, so names stand for paths.
    std::vector<ZeqTuloNode*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        ZeqTuloNode* node = pending.back();
        pending.pop_back();
        if (const TDagPath* path = node->GetDagPath()) {
            if (path->isValid()) mStanding.emplace(path->fullPathName().asChar(), node);
            for (int i = static_cast<int>(path->childCount()) - 1; i >= 0; --i) {
                TStatus status;
                const TDagPath child = TDagPath::getAPathTo(path->child(static_cast<unsigned>(i)), &status);
                if (status) mStanding.emplace(child.fullPathName().asChar(), node);
            }
        }
        const int count = node->GetChildCount(false);
        for (int j = 0; j < count; ++j) pending.push_back(static_cast<ZeqTuloNode*>(node->GetChild(j)));
    }
}

ZeqTuloNode* ZeqTuloExportNodeIndex::StandingFor(const TDagPath& path) const {
    if (!path.isValid()) return nullptr;
    const auto found = mStanding.find(path.fullPathName().asChar());
    return found == mStanding.end() ? nullptr : found->second;
}
