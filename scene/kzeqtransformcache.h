#ifndef ZEQ_SCENE_KZEQTRANSFORMCACHE_H
#define ZEQ_SCENE_KZEQTRANSFORMCACHE_H

#include <unordered_map>
#include <vector>

#include "base/ktime.h"
#include "base/kzeqmatrix.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

// Gives node, and each node above it that entries lacks, an entry, from the highest of them down:
// compute(node, its parent's entry or null) makes it. No recursion up a chain of any depth, and a
// node's entry is made once, however many nodes below it ask.
template <class Value, class Compute>
const Value& KZeqComputeDown(std::unordered_map<const KZeqNode*, Value>& entries, KZeqNode& node,
                             const Compute& compute) {
    std::vector<KZeqNode*> chain;
    const Value* above = nullptr;
    for (KZeqNode* at = &node; at; at = at->GetParent()) {
        const auto found = entries.find(at);
        if (found != entries.end()) {
            above = &found->second;
            break;
        }
        chain.push_back(at);
    }
    // Entries of an unordered map stay where they are while others are added.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        above = &entries.emplace(*it, compute(**it, above)).first->second;
    return *above;
}

// The full global transforms of nodes at one time of their current takes, or of their default
// values, each node's evaluated once while the cache lives: a writer that places every node of a
// scene pays once per node, whatever the depth, where asking each node for its global transform
// evaluates all its ancestors again. The answers are KZeqNode::EvaluateGlobalTransform's, bit for
// bit. The cache does not see the scene change: make a new one after a change.
class KZeqTransformCache {
public:
    // Of the default values, as EvaluateGlobalTransform() without a time.
    KZeqTransformCache() = default;
    // At time in the current takes, as EvaluateGlobalTransform(time).
    explicit KZeqTransformCache(KTime time) : mTimed(true), mTime(time) {}

    // The node's local transform, then its parents' up to the root.
    const KZeqXMatrix& Global(KZeqNode& node);
    // Whether the node or one above it needs its full transform (KZeqNode::NeedsFullTransform).
    bool FullTransformUp(KZeqNode& node);

private:
    bool mTimed = false;
    KTime mTime;
    std::unordered_map<const KZeqNode*, KZeqXMatrix> mGlobals;
    std::unordered_map<const KZeqNode*, bool> mFullUp;
};

}  // namespace zeqsdk_400

#endif
