// Sets and surface shaders. A shading group is a set with restriction 5; lambert is the base of
// reflect, reflect of phong.
#pragma once

#include "tfndependencynode.h"
#include "tselectionlist.h"

class TFnSet : public TFnDependencyNode {
public:
    enum Restriction { kNone = 0, kVerticesOnly = 1, kEdgesOnly = 2, kFacetsOnly = 3, kEditPointsOnly = 4,
                       kRenderableOnly = 5 };
    TFnSet() = default;
    TFnSet(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // A new set ("set1" until named) with the restriction (5 makes a shading group) and the list's
    // items as members, in order; fails, making nothing, when an item could not be a member.
    TObject create(const TSelectionList& members, Restriction restriction, TStatus* status = nullptr);
    // A DAG path (a valid one) with an optional component: faces or vertices of the mesh at the
    // path's end, CVs of its surface, each element inside the shape. A member held already (the
    // same path and component) is not added again.
    TStatus addMember(const TDagPath& path, const TObject& component = TObject::kNullObj);
    // A dependency node that is not in the DAG.
    TStatus addMember(const TObject& node);
    // Every item of the list, or none when one could not be a member.
    TStatus addMembers(const TSelectionList& members);
    Restriction restriction(TStatus* status = nullptr) const;
    // The members in order (paths with their components); members deleted since are left out.
    TStatus getMembers(TSelectionList& members, bool flatten) const;
};

class TFnLambertShader : public TFnDependencyNode {
public:
    TFnLambertShader() = default;
    TFnLambertShader(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TColor color(TStatus* status = nullptr) const;
    TStatus setColor(const TColor& color);
    TColor transparency(TStatus* status = nullptr) const;
    TStatus setTransparency(const TColor& color);
    TColor ambientColor(TStatus* status = nullptr) const;
    TStatus setAmbientColor(const TColor& color);

protected:
    TColor triple(const char* attr, TStatus* status) const;
    TStatus setTriple(const char* attr, const TColor& color);
    bool fits(const TObject& object, int type);
};

class TFnReflectShader : public TFnLambertShader {
public:
    TFnReflectShader() = default;
    TFnReflectShader(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TColor specularColor(TStatus* status = nullptr) const;
    TStatus setSpecularColor(const TColor& color);
};

class TFnPhongShader : public TFnReflectShader {
public:
    TFnPhongShader() = default;
    TFnPhongShader(const TObject& object, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // A new phong node ("phong1"); the flag (interface notification) has no effect here.
    TObject create(bool notify = true, TStatus* status = nullptr);
    float cosPower(TStatus* status = nullptr) const;
    TStatus setCosPower(float power);
};
