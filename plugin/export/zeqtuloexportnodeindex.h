#ifndef ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORTNODEINDEX_H
#define ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORTNODEINDEX_H

#include <unordered_map>

#include "plugin/zeqtulonodepathindex.h"

class TDagPath;
class ZeqTuloNode;

// The export's node look-ups from one root, gathered in one walk each, for the steps that look up
// many host paths in a tree they do not change (bindings and shapes): the same first-match answers
// as ZeqTuloExport::GetNodeWithThisChildren and GetZeqNodeFromDagPath, at the cost of a hash.
class ZeqTuloExportNodeIndex {
public:
    explicit ZeqTuloExportNodeIndex(ZeqTuloNode* root);
    ZeqTuloNode* GetRoot() const { return mRoot; }
    // The first node standing for the path: its own path, or the path of one of its host children.
    ZeqTuloNode* StandingFor(const TDagPath& path) const;
    // The first node whose own path is the path.
    ZeqTuloNode* WithPath(const TDagPath* path) const { return mByOwnPath.Find(path); }

private:
    ZeqTuloNode* mRoot;
    ZeqTuloNodePathIndex mByOwnPath;
    std::unordered_map<ZeqTuloPathKey, ZeqTuloNode*, ZeqTuloPathKeyHash> mStanding;  // path -> first node
};

#endif
