// DAG paths: the chain of nodes from a top-level node down; the empty path is the world.
#pragma once

#include <vector>

#include "tmath.h"
#include "tobject.h"

class TDagPathArray;

class TDagPath {
public:
    TDagPath() = default;

    bool operator==(const TDagPath& o) const { return nodes_ == o.nodes_; }
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

    // Implementation access for the stand-in itself.
    const std::vector<TObject>& nodes() const { return nodes_; }
    explicit TDagPath(std::vector<TObject> nodes) : nodes_(std::move(nodes)) {}

private:
    bool usable(const char* user, TStatus* status) const;
    std::vector<TObject> nodes_;
};

class TDagPathArray : public TArray<TDagPath> {
public:
    using TArray::TArray;
};
