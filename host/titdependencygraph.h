// Walks over the dependency graph and over all dependency nodes.
#pragma once

#include <cstdint>
#include <deque>
#include <unordered_set>
#include <vector>

#include "tplug.h"

// From a start node (or plug) over connections: the start node first when it passes the filter,
// then every node reached, each once, in attribute/element/connection order. Nodes that fail the
// filter are passed through. At plug level the first hop from a plug follows that plug only.
class TItDependencyGraph {
public:
    enum Direction { kDownstream = 0, kUpstream = 1 };
    enum Traversal { kDepthFirst = 0, kBreadthFirst = 1 };
    enum Level { kNodeLevel = 0, kPlugLevel = 1 };

    TItDependencyGraph(const TObject& root, int filter = TFn::kInvalid, int direction = kDownstream,
                       int traversal = kDepthFirst, int level = kNodeLevel, TStatus* status = nullptr);
    TItDependencyGraph(const TPlug& root, int filter = TFn::kInvalid, int direction = kDownstream,
                       int traversal = kDepthFirst, int level = kNodeLevel, TStatus* status = nullptr);

    bool isDone(TStatus* status = nullptr) const;
    // Fails at the end.
    TStatus next();
    TObject thisNode(TStatus* status = nullptr) const;
    TObject currentItem(TStatus* status = nullptr) const { return thisNode(status); }
    TObject rootNode(TStatus* status = nullptr) const;
    TStatus reset();

private:
    void start(const TObject& root, const TPlug* plug, int filter, int direction, int traversal, int level,
               TStatus* status);
    bool advance();  // to the next node passing the filter
    void expand(std::uint32_t id, const TPlug* only);

    TObject root_;
    TPlug rootPlug_;
    bool hasRootPlug_ = false;
    int filter_ = 0, direction_ = 0, traversal_ = 0, level_ = 0;
    std::deque<std::uint32_t> pending_;
    std::unordered_set<std::uint32_t> seen_;
    TObject current_;
    bool valid_ = false;
};

class TItDependencyNodes {
public:
    explicit TItDependencyNodes(int filter = TFn::kInvalid, TStatus* status = nullptr);
    bool isDone(TStatus* status = nullptr) const;
    TStatus next();
    TObject item(TStatus* status = nullptr) const;
    TObject thisNode(TStatus* status = nullptr) const { return item(status); }
    TStatus reset();

private:
    void skip();
    int filter_ = 0;
    std::uint32_t index_ = 0;
};
