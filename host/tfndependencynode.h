// Function sets on dependency nodes.
#pragma once

#include "tplug.h"

class TTypeId {
public:
    TTypeId(unsigned id = 0) : id_(id) {}
    unsigned id() const { return id_; }
    bool operator==(const TTypeId& o) const { return id_ == o.id_; }
    bool operator!=(const TTypeId& o) const { return id_ != o.id_; }

private:
    unsigned id_;
};

class TFnBase {
public:
    virtual ~TFnBase() = default;
    TObject object(TStatus* status = nullptr) const;
    virtual TStatus setObject(const TObject& object);
    bool hasObj(const TObject& object) const { return object.hasFn(TFn::kDependencyNode); }

protected:
    // The attached node when it is alive; a dead or unattached use is a recorded fault.
    bool attached(const char* user) const;
    TObject object_;
};

class TFnDependencyNode : public TFnBase {
public:
    // Static attributes have class 1; attributes added to a node have class 2, kNormalAttr.
    enum TAttrClass { kInvalidAttr = 0, kStaticAttr = 1, kNormalAttr = 2 };

    TFnDependencyNode() = default;
    TFnDependencyNode(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;

    // A dependency node of the named type ("file", "place2dTexture", "layeredTexture", "phong",
    // "lambert", "objectSet", ...) named `name` (empty: after the type), in the current namespace;
    // the set is attached to it. Fails on unknown and abstract types, on DAG types (TFnDagNode
    // makes those) and on deformers and curves, which their own function sets make wired.
    TObject create(const TString& type, const TString& name, TStatus* status = nullptr);
    TObject create(const TString& type, TStatus* status = nullptr) { return create(type, TString(), status); }

    TString name(TStatus* status = nullptr) const;
    // Sanitises, applies the current namespace and numbers a clash; returns the final name.
    TString setName(const TString& name, TStatus* status = nullptr);
    TString typeName(TStatus* status = nullptr) const;
    TTypeId typeId(TStatus* status = nullptr) const;

    unsigned attributeCount(TStatus* status = nullptr) const;
    // Static attributes depth-first, then dynamic ones in addition order, children included.
    TObject attribute(unsigned index, TStatus* status = nullptr) const;
    TObject attribute(const TString& name, TStatus* status = nullptr) const;
    TAttrClass attributeClass(const TObject& attribute, TStatus* status = nullptr) const;
    bool hasAttribute(const TString& name, TStatus* status = nullptr) const;
    // Class 2 only: 3 on a name clash, 1 for an invalid name or an attribute already added.
    TStatus addAttribute(const TObject& attribute, TAttrClass type = kNormalAttr);
    TStatus addAttribute(const TObject& attribute, int type) { return addAttribute(attribute, TAttrClass(type)); }
    TStatus removeAttribute(const TObject& attribute, TAttrClass type = kNormalAttr);
    TStatus removeAttribute(const TObject& attribute, int type) { return removeAttribute(attribute, TAttrClass(type)); }
    // A null plug when the node has no such attribute.
    TPlug findPlug(const TString& name, TStatus* status = nullptr) const;
    TPlug findPlug(const char* name, TStatus* status = nullptr) const { return findPlug(TString(name), status); }
    TPlug findPlug(const TObject& attribute, TStatus* status = nullptr) const;
    TStatus getConnections(TPlugArray& plugs) const;
};
