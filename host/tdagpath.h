// DAG paths: the chain of nodes from a top-level node down; the empty path is the world. A path is a
// handle to its last link, links are shared and equal paths share theirs, so copies, comparisons
// and one-node steps cost the same at any depth.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tmath.h"
#include "tobject.h"

class TDagPathArray;
namespace tulo_detail {
struct PathLink;
}

class TDagPath {
public:
    TDagPath() = default;

    bool operator==(const TDagPath& o) const { return end_ == o.end_; }
    bool operator!=(const TDagPath& o) const { return !(*this == o); }

    // Null, with a failure, for the empty path.
    TObject node(TStatus* status = nullptr) const;
    // The node itself when it is a transform, else the nearest transform above it.
    TObject transform(TStatus* status = nullptr) const;
    TString fullPathName(TStatus* status = nullptr) const;
    // The shortest suffix that names no other path.
    TString partialPathName(TStatus* status = nullptr) const;
    TFn::Type apiType(TStatus* status = nullptr) const;
    // Also true for a transform whose direct shape child has the type.
    bool hasFn(int type, TStatus* status = nullptr) const;
    unsigned length(TStatus* status = nullptr) const;
    unsigned childCount(TStatus* status = nullptr) const;
    TObject child(unsigned index, TStatus* status = nullptr) const;
    TStatus push(const TObject& child);
    // Fails past the world.
    TStatus pop(unsigned count = 1);
    // Fails unless the path ends at a shape or at a transform with exactly one shape.
    TStatus extendToShape();
    bool isInstanced(TStatus* status = nullptr) const;
    // The path's rank among all paths of its node, parents taken in order.
    unsigned instanceNumber(TStatus* status = nullptr) const;
    // Non-empty, every node alive and each still a child of the one before.
    bool isValid(TStatus* status = nullptr) const;
    TMatrix inclusiveMatrix(TStatus* status = nullptr) const;
    TMatrix exclusiveMatrix(TStatus* status = nullptr) const;

    // Instance 0; fails for objects off the DAG.
    static TStatus getAPathTo(const TObject& object, TDagPath& path);
    static TDagPath getAPathTo(const TObject& object, TStatus* status = nullptr);
    static TStatus getAllPathsTo(const TObject& object, TDagPathArray& paths);

    // Implementation access for the stand-in itself. nodes() is made on first use and kept with the
    // path's last link: loops over paths use empty(), back() and ids() instead.
    const std::vector<TObject>& nodes() const;
    bool empty() const { return !end_; }
    TObject back() const;  // null for the empty path
    std::vector<std::uint32_t> ids() const;
    explicit TDagPath(const std::vector<TObject>& nodes);
    explicit TDagPath(std::shared_ptr<const tulo_detail::PathLink> end) : end_(std::move(end)) {}
    const std::shared_ptr<const tulo_detail::PathLink>& link() const { return end_; }

private:
    bool usable(const char* user, TStatus* status) const;
    std::shared_ptr<const tulo_detail::PathLink> end_;
};

class TDagPathArray : public TArray<TDagPath> {
public:
    using TArray::TArray;
};
