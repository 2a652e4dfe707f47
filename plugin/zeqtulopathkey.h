#ifndef ZEQ_PLUGIN_ZEQTULOPATHKEY_H
#define ZEQ_PLUGIN_ZEQTULOPATHKEY_H

#include <cstddef>
#include <cstdint>

#include "tdagpath.h"

// A host DAG path as a hash key: its last node and the path's instance number among that node's
// paths. Two valid paths have equal keys exactly when they are equal, and a key costs the same at
// any depth (a full path name grows with it).
struct ZeqTuloPathKey {
    std::uint32_t mId = 0, mGeneration = 0, mInstance = 0;
    bool operator==(const ZeqTuloPathKey& o) const {
        return mId == o.mId && mGeneration == o.mGeneration && mInstance == o.mInstance;
    }
    // The key of a valid, non-empty path; false for any other.
    static bool Of(const TDagPath& path, ZeqTuloPathKey& key) {
        if (path.length() == 0 || !path.isValid()) return false;
        const TObject node = path.node();
        key = ZeqTuloPathKey{node.id(), node.generation(), path.instanceNumber()};
        return true;
    }
    // The key of instance 0 of a node (what TDagPath::getAPathTo gives).
    static ZeqTuloPathKey FirstOf(const TObject& node) { return ZeqTuloPathKey{node.id(), node.generation(), 0}; }
};

struct ZeqTuloPathKeyHash {
    std::size_t operator()(const ZeqTuloPathKey& k) const {
        return (static_cast<std::size_t>(k.mId) * 0x9E3779B97F4A7C15ull) ^ (static_cast<std::size_t>(k.mGeneration) << 20) ^
               (static_cast<std::size_t>(k.mInstance) * 0xC2B2AE3D27D4EB4Full);
    }
};

#endif
