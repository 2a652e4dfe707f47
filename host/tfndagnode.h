// Function set on DAG nodes.
#pragma once

#include "tdagpath.h"
#include "tfndependencynode.h"

class TFnDagNode : public TFnDependencyNode {
public:
    static constexpr unsigned kNextPos = 0xFFFFFFFFu;

    TFnDagNode() = default;
    TFnDagNode(const TObject& object, TStatus* status = nullptr);
    TFnDagNode(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TStatus setObject(const TDagPath& path);

    // A node of the named type under `parent` (null: the world). A shape without a transform
    // parent gets a new transform, which is returned.
    TObject create(const TString& type, const TObject& parent = TObject::kNullObj, TStatus* status = nullptr);
    TObject create(const TString& type, const TString& name, const TObject& parent = TObject::kNullObj,
                   TStatus* status = nullptr);

    // The path given at attachment, else instance 0.
    TStatus getPath(TDagPath& path) const;
    TDagPath dagPath(TStatus* status = nullptr) const;
    TString fullPathName(TStatus* status = nullptr) const;
    TString partialPathName(TStatus* status = nullptr) const;
    // Top-level nodes have the world as their one parent.
    unsigned parentCount(TStatus* status = nullptr) const;
    TObject parent(unsigned index, TStatus* status = nullptr) const;
    unsigned childCount(TStatus* status = nullptr) const;
    TObject child(unsigned index, TStatus* status = nullptr) const;
    bool isInstanced(bool indirect = true, TStatus* status = nullptr) const;
    unsigned instanceCount(bool total = true, TStatus* status = nullptr) const;
    // Moves `child` under this node (local values kept), or adds an instance.
    TStatus addChild(TObject& child, unsigned index = kNextPos, bool keepExistingParents = false);
    TStatus removeChild(TObject& child);

protected:
    bool attachedDag(const char* user) const;
    // Attaches to a node of the type, or to the first direct shape child of a transform that has
    // it (a path is then extended to the shape).
    TStatus attachShape(const TObject& object, int type);
    TStatus attachShape(const TDagPath& path, int type);
    // Reads and writes a numeric attribute of the attached node (internal units).
    double number(const char* attr, TStatus* status) const;
    TStatus setNumber(const char* attr, double value);
    TDagPath path_;
};
