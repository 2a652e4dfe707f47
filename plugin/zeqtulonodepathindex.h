#ifndef ZEQ_PLUGIN_ZEQTULONODEPATHINDEX_H
#define ZEQ_PLUGIN_ZEQTULONODEPATHINDEX_H

#include <unordered_map>

#include "plugin/zeqtulopathkey.h"

class TDagPath;
class ZeqTuloNode;

// GetZeqNodeFromDagPath's answers for one subtree, gathered in one walk, for callers that look up
// many paths in a tree that does not change meanwhile (the smooth-binding export, once per
// influence): a lookup costs a hash, not a walk of the tree.
class ZeqTuloNodePathIndex {
public:
    explicit ZeqTuloNodePathIndex(ZeqTuloNode* root);
    // What GetZeqNodeFromDagPath(root, path) answers.
    ZeqTuloNode* Find(const TDagPath* path) const;

private:
    ZeqTuloNode* mRoot;
    std::unordered_map<ZeqTuloPathKey, ZeqTuloNode*, ZeqTuloPathKeyHash> mByPath;  // path -> first node in search order
};

#endif
