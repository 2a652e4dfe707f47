// The links DAG paths are made of: a path is its last link, each link knows the one above it. Links
// are interned, so equal paths share their links and compare by address, and each link keeps what
// was last worked out about it (valid, instance number) with the DAG epoch it holds for.
// Internal to the library.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tobject.h"

namespace tulo_detail {

struct PathLink {
    std::shared_ptr<const PathLink> parent;  // null for a top-level node's link
    TObject node;
    std::uint32_t depth = 1;  // nodes on the path
    mutable std::uint64_t validEpoch = 0, rankEpoch = 0;
    mutable bool valid = false;
    mutable std::uint32_t rank = 0;
    mutable std::unique_ptr<std::vector<TObject>> nodes;  // made when first asked for

    PathLink(std::shared_ptr<const PathLink> up, const TObject& end);
    PathLink(const PathLink&) = delete;
    PathLink& operator=(const PathLink&) = delete;
    // Releases the links above without recursing, however deep the path.
    ~PathLink();
};

using Link = std::shared_ptr<const PathLink>;

// The one link for `node` below `parent` (null: at the top).
Link pathLink(const Link& parent, const TObject& node);
// Every node alive and a child of the one before (the world for the first); false for null.
bool linkValid(const PathLink* link);
// The path's rank among all paths of its node, parents taken in order. The link must be valid.
std::uint32_t linkInstance(const PathLink* link);
// Instance 0 of a live DAG node (parent 0 at every step); null for the world.
Link firstPathTo(std::uint32_t id);
std::uint32_t cachedPathCount(std::uint32_t id);

}  // namespace tulo_detail
