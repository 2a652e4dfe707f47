// Walk over every DAG path (instances included, the world excluded).
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "tdagpath.h"

class TItDag {
public:
    enum TraversalType { kInvalidType = 0, kDepthFirst = 1, kBreadthFirst = 2 };

    // The filter tests the node at the end of each path; 0 takes all.
    TItDag(int traversal = kDepthFirst, int filter = TFn::kInvalid, TStatus* status = nullptr);

    bool isDone(TStatus* status = nullptr) const;
    TStatus next();
    TStatus reset();
    TStatus getPath(TDagPath& path) const;
    TObject currentItem(TStatus* status = nullptr) const;
    TObject item(TStatus* status = nullptr) const { return currentItem(status); }
    TString fullPathName(TStatus* status = nullptr) const;
    TString partialPathName(TStatus* status = nullptr) const;
    unsigned depth(TStatus* status = nullptr) const;

private:
    bool advance();
    int traversal_ = kDepthFirst, filter_ = 0;
    std::deque<std::shared_ptr<const tulo_detail::PathLink>> pending_;
    std::shared_ptr<const tulo_detail::PathLink> current_;
    bool valid_ = false;
};
