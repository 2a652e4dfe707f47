#include "tfnnurbssurface.h"

#include <cmath>

#include "scene.h"

using namespace tulo_detail;

namespace {
bool knotsOk(const TDoubleArray& k) {
    for (std::size_t i = 0; i < k.length(); ++i)
        if (!std::isfinite(k.values()[i]) || (i && k.values()[i] < k.values()[i - 1])) return false;
    return true;
}

bool samePoint(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }
}  // namespace

bool TFnNurbsSurface::valid(const TPointArray& cvs, const TDoubleArray& knotsU, const TDoubleArray& knotsV,
                            unsigned degreeU, unsigned degreeV, int formU, int formV, bool rational) {
    if (degreeU < 1 || degreeV < 1 || degreeU > 7 || degreeV > 7 || formU < 1 || formU > 3 || formV < 1 || formV > 3)
        return false;
    long nu = static_cast<long>(knotsU.length()) - degreeU + 1, nv = static_cast<long>(knotsV.length()) - degreeV + 1;
    if (nu <= static_cast<long>(degreeU) || nv <= static_cast<long>(degreeV) || nu * nv != static_cast<long>(cvs.length()))
        return false;
    if (!knotsOk(knotsU) || !knotsOk(knotsV)) return false;
    for (const TPoint& p : cvs.values())
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) || !std::isfinite(p.w) ||
            (rational && !(p.w > 0)))
            return false;
    auto at = [&](long u, long v) { return cvs.values()[static_cast<std::size_t>(u * nv + v)]; };
    // Periodic directions repeat their first `degree` rows (or columns) at the end.
    for (long d = 0; formU == 3 && d < static_cast<long>(degreeU); ++d)
        for (long v = 0; v < nv; ++v)
            if (!samePoint(at(d, v), at(nu - static_cast<long>(degreeU) + d, v))) return false;
    for (long d = 0; formV == 3 && d < static_cast<long>(degreeV); ++d)
        for (long u = 0; u < nu; ++u)
            if (!samePoint(at(u, d), at(u, nv - static_cast<long>(degreeV) + d))) return false;
    return true;
}

TFnNurbsSurface::TFnNurbsSurface(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TFnNurbsSurface::TFnNurbsSurface(const TDagPath& path, TStatus* status) { put(status, setObject(path)); }

TStatus TFnNurbsSurface::setObject(const TObject& object) {
    if (object.kind() == TObject::kDataKind && object.apiType() == TFn::kNurbsSurfaceData) {
        path_ = TDagPath();
        object_ = object;
        shape_ = scene().data[object.id()].second.geometry.id();
        return TStatus::kSuccess;
    }
    TStatus s = attachShape(object, TFn::kNurbsSurface);
    shape_ = s ? object_.id() : 0;
    return s;
}

TStatus TFnNurbsSurface::setObject(const TDagPath& path) {
    TStatus s = attachShape(path, TFn::kNurbsSurface);
    shape_ = s ? object_.id() : 0;
    return s;
}

const NurbsData* TFnNurbsSurface::view(const char* user) const {
    if (object_.kind() == TObject::kDataKind) {
        if (object_.apiType() == TFn::kNurbsSurfaceData)
            return scene().nodes[shape_].nurbs.get();
        fault("dead node", std::string(user) + " on surface data whose shape was deleted");
        return nullptr;
    }
    if (!attachedDag(user)) return nullptr;
    return scene().nodes[shape_].nurbs.get();
}

TMatrix TFnNurbsSurface::worldOf() const {
    TDagPath p;
    if (object_.kind() == TObject::kDataKind || !getPath(p)) return TMatrix();
    return worldMatrix(p.ids());
}

TObject TFnNurbsSurface::create(const TPointArray& cvs, const TDoubleArray& knotsU, const TDoubleArray& knotsV,
                                unsigned degreeU, unsigned degreeV, int formU, int formV, bool rational,
                                const TObject& parent, TStatus* status) {
    const NodeRec* p = tulo_detail::node(parent);
    if (!parent.isNull() && !p) liveNode(parent, "TFnNurbsSurface::create");
    bool parentOk = parent.isNull() || (p && tuloTypeIsA(p->type->code, TFn::kTransform));
    if (!parentOk || !valid(cvs, knotsU, knotsV, degreeU, degreeV, formU, formV, rational))
        return put(status, TStatus::kFailure), TObject();
    auto s = std::make_shared<NurbsData>();
    s->degreeU = static_cast<int>(degreeU);
    s->degreeV = static_cast<int>(degreeV);
    s->formU = formU;
    s->formV = formV;
    s->knotsU = knotsU.values();
    s->knotsV = knotsV.values();
    s->numU = static_cast<int>(knotsU.length() - degreeU + 1);
    s->numV = static_cast<int>(knotsV.length() - degreeV + 1);
    s->rational = rational;
    for (const TPoint& c : cvs.values()) s->cvs.insert(s->cvs.end(), {c.x, c.y, c.z, c.w});
    std::uint32_t under = parent.isNull() ? createNode(*typeByName("transform"), "nurbsSurface1", 0).id() : parent.id();
    TObject shape = createNode(*typeByName("nurbsSurface"), "", under);
    scene().nodes[shape.id()].nurbs = s;
    setObject(shape);
    put(status, TStatus::kSuccess);
    return parent.isNull() ? handle(under) : shape;
}

#define NURBS_GETTER(fn, expr, type)                                  \
    type TFnNurbsSurface::fn(TStatus* status) const {                 \
        const NurbsData* s = view("TFnNurbsSurface::" #fn);          \
        put(status, s ? TStatus::kSuccess : TStatus::kFailure);       \
        return s ? static_cast<type>(expr) : type();                  \
    }
NURBS_GETTER(degreeU, s->degreeU, int)
NURBS_GETTER(degreeV, s->degreeV, int)
NURBS_GETTER(formInU, s->formU, TFnNurbsSurface::Form)
NURBS_GETTER(formInV, s->formV, TFnNurbsSurface::Form)
NURBS_GETTER(numCVsInU, s->numU, int)
NURBS_GETTER(numCVsInV, s->numV, int)
NURBS_GETTER(numKnotsInU, s->knotsU.size(), int)
NURBS_GETTER(numKnotsInV, s->knotsV.size(), int)
#undef NURBS_GETTER

double TFnNurbsSurface::knotInU(int i, TStatus* status) const {
    const NurbsData* s = view("TFnNurbsSurface::knotInU");
    if (!s || i < 0 || static_cast<std::size_t>(i) >= s->knotsU.size()) {
        if (s) indexFault("TFnNurbsSurface::knotInU", static_cast<unsigned>(i), s->knotsU.size());
        return put(status, TStatus::kFailure), 0;
    }
    put(status, TStatus::kSuccess);
    return s->knotsU[static_cast<std::size_t>(i)];
}

double TFnNurbsSurface::knotInV(int i, TStatus* status) const {
    const NurbsData* s = view("TFnNurbsSurface::knotInV");
    if (!s || i < 0 || static_cast<std::size_t>(i) >= s->knotsV.size()) {
        if (s) indexFault("TFnNurbsSurface::knotInV", static_cast<unsigned>(i), s->knotsV.size());
        return put(status, TStatus::kFailure), 0;
    }
    put(status, TStatus::kSuccess);
    return s->knotsV[static_cast<std::size_t>(i)];
}

TStatus TFnNurbsSurface::getCV(int u, int v, TPoint& point, int space) const {
    const NurbsData* s = view("TFnNurbsSurface::getCV");
    if (!s || !TSpace::valid(space)) return TStatus::kFailure;
    if (u < 0 || v < 0 || u >= s->numU || v >= s->numV) {
        indexFault("TFnNurbsSurface::getCV", static_cast<unsigned>(u < 0 || u >= s->numU ? u : v),
                   static_cast<std::size_t>(u < 0 || u >= s->numU ? s->numU : s->numV));
        return TStatus::kFailure;
    }
    std::size_t i = 4 * (static_cast<std::size_t>(u) * static_cast<std::size_t>(s->numV) + static_cast<std::size_t>(v));
    point = TPoint(s->cvs[i], s->cvs[i + 1], s->cvs[i + 2], s->cvs[i + 3]);
    if (space == TSpace::kWorld) point = point * worldOf();
    return TStatus::kSuccess;
}

TStatus TFnNurbsSurface::getCVs(TPointArray& points, int space) const {
    const NurbsData* s = view("TFnNurbsSurface::getCVs");
    if (!s) return TStatus::kFailure;
    points.clear();
    for (int u = 0; u < s->numU; ++u)
        for (int v = 0; v < s->numV; ++v) {
            TPoint p;
            if (!getCV(u, v, p, space)) return TStatus::kFailure;
            points.append(p);
        }
    return TStatus::kSuccess;
}
