#include "tfntransform.h"

#include <cmath>

#include "scene.h"

using namespace tulo_detail;

namespace {
bool spaceOk(int space) { return TSpace::valid(space); }

// Row-normalised rotation block of a matrix.
TMatrix rotationPart(const TMatrix& m) {
    TMatrix r;
    for (int i = 0; i < 3; ++i) {
        double l = std::sqrt(m[i][0] * m[i][0] + m[i][1] * m[i][1] + m[i][2] * m[i][2]);
        for (int j = 0; j < 3; ++j) r.matrix[i][j] = l > 0 ? m[i][j] / l : (i == j ? 1 : 0);
    }
    return r;
}

bool validLimit(int type) { return (type >= 0 && type <= 5) || (type >= 12 && type <= 23); }

// Of the angle triples that give e's orientation in its order, the one nearest `near` axis by axis:
// the other solution (first and last angles turned by pi, the middle one mirrored), each angle
// moved by whole turns towards the one it replaces.
TEulerRotation nearestSolution(const TEulerRotation& e, const TEulerRotation& near) {
    static const int kMiddleAxis[6] = {1, 2, 0, 2, 0, 1};
    const double turn = 2 * M_PI;
    TEulerRotation other = e;
    for (unsigned axis = 0; axis < 3; ++axis)
        other[axis] = static_cast<int>(axis) == kMiddleAxis[e.order] ? M_PI - e[axis] : e[axis] + M_PI;
    TEulerRotation best = e;
    double bestDistance = -1;
    for (TEulerRotation candidate : {e, other}) {
        double distance = 0;
        for (unsigned axis = 0; axis < 3; ++axis) {
            candidate[axis] += turn * std::round((near[axis] - candidate[axis]) / turn);
            distance += std::fabs(candidate[axis] - near[axis]);
        }
        if (bestDistance < 0 || distance < bestDistance) best = candidate, bestDistance = distance;
    }
    return best;
}
}  // namespace

TFnTransform::TFnTransform(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TFnTransform::TFnTransform(const TDagPath& path, TStatus* status) { put(status, setObject(path)); }

TStatus TFnTransform::setObject(const TObject& object) {
    if (!TFnDagNode::setObject(object)) return TStatus::kFailure;
    if (object.hasFn(TFn::kTransform)) return TStatus::kSuccess;
    object_ = TObject();
    return TStatus::kFailure;
}

TStatus TFnTransform::setObject(const TDagPath& path) {
    if (!TFnDagNode::setObject(path)) {
        if (!path.empty() && !path.isValid())
            fault("invalid path", "TFnTransform on a path whose nodes were deleted or reparented");
        return TStatus::kFailure;
    }
    if (object_.hasFn(TFn::kTransform)) return TStatus::kSuccess;
    object_ = TObject();
    path_ = TDagPath();
    return TStatus::kFailure;
}

bool TFnTransform::transformOk(const char* user) const { return attachedDag(user); }

TObject TFnTransform::create(const TObject& parent, TStatus* status) { return TFnDagNode::create("transform", parent, status); }

TStatus TFnTransform::getTriple(const char* base, double out[3]) const {
    std::string b = base;
    for (int i = 0; i < 3; ++i) {
        TPlug p = findPlug(TString(b + "XYZ"[i]));
        if (p.isNull() || !p.getValue(out[i])) return TStatus::kFailure;
    }
    return TStatus::kSuccess;
}

TStatus TFnTransform::setTriple(const char* base, const double v[3]) {
    std::string b = base;
    TStatus result;
    for (int i = 0; i < 3; ++i) {
        TPlug p = findPlug(TString(b + "XYZ"[i]));
        if (p.isNull() || !p.setValue(v[i])) result = TStatus::kFailure;
    }
    return result;
}

TMatrix TFnTransform::parentMatrix() const {
    TDagPath p;
    if (!getPath(p)) return TMatrix();
    return p.exclusiveMatrix();
}

TTransformationMatrix TFnTransform::transformation(TStatus* status) const {
    if (!transformOk("TFnTransform::transformation")) return put(status, TStatus::kFailure), TTransformationMatrix();
    put(status, TStatus::kSuccess);
    return transformationOf(object_.id());
}

TVector TFnTransform::translation(int space, TStatus* status) const {
    double t[3];
    if (!transformOk("TFnTransform::translation") || !spaceOk(space) || !getTriple("translate", t))
        return put(status, TStatus::kFailure), TVector();
    put(status, TStatus::kSuccess);
    if (space != TSpace::kWorld) return TVector(t[0], t[1], t[2]);
    return TVector(TPoint(t[0], t[1], t[2]) * parentMatrix());
}

TStatus TFnTransform::setTranslation(const TVector& vec, int space) {
    if (!transformOk("TFnTransform::setTranslation") || !spaceOk(space)) return TStatus::kFailure;
    TVector v = space == TSpace::kWorld ? TVector(TPoint(vec) * parentMatrix().inverse()) : vec;
    double t[3] = {v.x, v.y, v.z};
    return setTriple("translate", t);
}

TStatus TFnTransform::getRotation(TEulerRotation& rotation, int space) const {
    double r[3];
    if (!transformOk("TFnTransform::getRotation") || !spaceOk(space) || !getTriple("rotate", r)) return TStatus::kFailure;
    TEulerRotation e(r[0], r[1], r[2], rotationOrder() - 1);
    if (space == TSpace::kWorld) e = TEulerRotation::decompose(e.asMatrix() * rotationPart(parentMatrix()), e.order);
    rotation = e;
    return TStatus::kSuccess;
}

TStatus TFnTransform::setRotation(const double rotation[3], int order) {
    if (!transformOk("TFnTransform::setRotation") || order < 1 || order > 6 || !rotation) return TStatus::kFailure;
    TEulerRotation e(rotation[0], rotation[1], rotation[2], order - 1);
    int own = rotationOrder() - 1;
    if (order - 1 != own) e = e.reorder(own);
    double r[3] = {e.x, e.y, e.z};
    return setTriple("rotate", r);
}

TStatus TFnTransform::setRotation(const TEulerRotation& rotation, int space) {
    if (!transformOk("TFnTransform::setRotation") || !spaceOk(space)) return TStatus::kFailure;
    TEulerRotation e = rotation;
    if (space == TSpace::kWorld)
        e = TEulerRotation::decompose(e.asMatrix() * rotationPart(parentMatrix()).inverse(), e.order);
    double r[3] = {e.x, e.y, e.z};
    return setRotation(r, e.order + 1);
}

TStatus TFnTransform::getRotationQuaternion(double& x, double& y, double& z, double& w, int space) const {
    TEulerRotation e;
    if (!getRotation(e, space)) return TStatus::kFailure;
    TQuaternion q = e.asQuaternion();
    x = q.x, y = q.y, z = q.z, w = q.w;
    return TStatus::kSuccess;
}

TStatus TFnTransform::setRotationQuaternion(double x, double y, double z, double w, int space) {
    if (!transformOk("TFnTransform::setRotationQuaternion") || !spaceOk(space)) return TStatus::kFailure;
    auto order = static_cast<TEulerRotation::RotationOrder>(rotationOrder() - 1);
    return setRotation(TEulerRotation::decompose(TQuaternion(x, y, z, w).asMatrix(), order), space);
}

TStatus TFnTransform::getScale(double scale[3]) const {
    if (!transformOk("TFnTransform::getScale") || !scale) return TStatus::kFailure;
    return getTriple("scale", scale);
}

TStatus TFnTransform::setScale(const double scale[3]) {
    if (!transformOk("TFnTransform::setScale") || !scale) return TStatus::kFailure;
    return setTriple("scale", scale);
}

TTransformationMatrix::RotationOrder TFnTransform::rotationOrder(TStatus* status) const {
    short o = 0;
    if (!transformOk("TFnTransform::rotationOrder") || !findPlug("rotateOrder").getValue(o))
        return put(status, TStatus::kFailure), TTransformationMatrix::kInvalid;
    put(status, TStatus::kSuccess);
    return o >= 0 && o <= 5 ? static_cast<TTransformationMatrix::RotationOrder>(o + 1) : TTransformationMatrix::kXYZ;
}

TStatus TFnTransform::setRotationOrder(int order, bool reorder) {
    if (!transformOk("TFnTransform::setRotationOrder") || order < 1 || order > 6) return TStatus::kFailure;
    // The order the transform has already: nothing changes, its angles least of all.
    if (order == rotationOrder()) return TStatus::kSuccess;
    TEulerRotation now;
    if (!getRotation(now)) return TStatus::kFailure;
    if (!findPlug("rotateOrder").setValue(static_cast<short>(order - 1))) return TStatus::kFailure;
    if (!reorder) return TStatus::kSuccess;
    const TEulerRotation e = nearestSolution(now.reorder(order - 1), now);
    double r[3] = {e.x, e.y, e.z};
    return setTriple("rotate", r);
}

TQuaternion TFnTransform::rotateOrientation(int space, TStatus* status) const {
    double ra[3];
    if (!transformOk("TFnTransform::rotateOrientation") || !spaceOk(space) || !getTriple("rotateAxis", ra))
        return put(status, TStatus::kFailure), TQuaternion();
    put(status, TStatus::kSuccess);
    TMatrix m = TEulerRotation(ra[0], ra[1], ra[2]).asMatrix();
    return TQuaternion(space == TSpace::kWorld ? m * rotationPart(parentMatrix()) : m);
}

TPoint TFnTransform::rotatePivot(int space, TStatus* status) const {
    double p[3];
    if (!transformOk("TFnTransform::rotatePivot") || !spaceOk(space) || !getTriple("rotatePivot", p))
        return put(status, TStatus::kFailure), TPoint();
    put(status, TStatus::kSuccess);
    TPoint pt(p[0], p[1], p[2]);
    return space == TSpace::kWorld ? pt * dagPath().inclusiveMatrix() : pt;
}

TPoint TFnTransform::scalePivot(int space, TStatus* status) const {
    double p[3];
    if (!transformOk("TFnTransform::scalePivot") || !spaceOk(space) || !getTriple("scalePivot", p))
        return put(status, TStatus::kFailure), TPoint();
    put(status, TStatus::kSuccess);
    TPoint pt(p[0], p[1], p[2]);
    return space == TSpace::kWorld ? pt * dagPath().inclusiveMatrix() : pt;
}

TVector TFnTransform::rotatePivotTranslation(int space, TStatus* status) const {
    double v[3];
    if (!transformOk("TFnTransform::rotatePivotTranslation") || !spaceOk(space) ||
        !getTriple("rotatePivotTranslation", v))
        return put(status, TStatus::kFailure), TVector();
    put(status, TStatus::kSuccess);
    TVector vec(v[0], v[1], v[2]);
    return space == TSpace::kWorld ? vec * parentMatrix() : vec;
}

TVector TFnTransform::scalePivotTranslation(int space, TStatus* status) const {
    double v[3];
    if (!transformOk("TFnTransform::scalePivotTranslation") || !spaceOk(space) ||
        !getTriple("scalePivotTranslation", v))
        return put(status, TStatus::kFailure), TVector();
    put(status, TStatus::kSuccess);
    TVector vec(v[0], v[1], v[2]);
    return space == TSpace::kWorld ? vec * parentMatrix() : vec;
}

// Balancing keeps the matrix: for the rotate pivot, rpt' = rpt + d - d * RA with d = rp - rp'
// and RA = Ra * R * Jo; for the scale pivot, spt' = spt + d - d * S.
TStatus TFnTransform::setRotatePivot(const TPoint& point, int space, bool balance) {
    if (!transformOk("TFnTransform::setRotatePivot") || !spaceOk(space)) return TStatus::kFailure;
    TPoint local = space == TSpace::kWorld ? point * dagPath().inclusiveMatrix().inverse() : point;
    TTransformationMatrix t = transformationOf(object_.id());
    double p[3] = {local.x, local.y, local.z};
    if (balance) {
        TVector d = TVector(t.rotatePivotPoint) - TVector(local);
        TMatrix ra = TEulerRotation(t.rotateAxis.x, t.rotateAxis.y, t.rotateAxis.z).asMatrix() *
                     t.rotation.asMatrix() * TEulerRotation(t.jointOrient.x, t.jointOrient.y, t.jointOrient.z).asMatrix();
        TVector rpt = t.rotatePivotTrans + d - d * ra;
        double v[3] = {rpt.x, rpt.y, rpt.z};
        if (!setTriple("rotatePivotTranslation", v)) return TStatus::kFailure;
    }
    return setTriple("rotatePivot", p);
}

TStatus TFnTransform::setScalePivot(const TPoint& point, int space, bool balance) {
    if (!transformOk("TFnTransform::setScalePivot") || !spaceOk(space)) return TStatus::kFailure;
    TPoint local = space == TSpace::kWorld ? point * dagPath().inclusiveMatrix().inverse() : point;
    TTransformationMatrix t = transformationOf(object_.id());
    double p[3] = {local.x, local.y, local.z};
    if (balance) {
        TVector d = TVector(t.scalePivotPoint) - TVector(local);
        TVector spt(t.scalePivotTrans.x + d.x - d.x * t.scale[0], t.scalePivotTrans.y + d.y - d.y * t.scale[1],
                    t.scalePivotTrans.z + d.z - d.z * t.scale[2]);
        double v[3] = {spt.x, spt.y, spt.z};
        if (!setTriple("scalePivotTranslation", v)) return TStatus::kFailure;
    }
    return setTriple("scalePivot", p);
}

TStatus TFnTransform::setRotatePivotTranslation(const TVector& vec, int space) {
    if (!transformOk("TFnTransform::setRotatePivotTranslation") || !spaceOk(space)) return TStatus::kFailure;
    TVector v = space == TSpace::kWorld ? vec * parentMatrix().inverse() : vec;
    double t[3] = {v.x, v.y, v.z};
    return setTriple("rotatePivotTranslation", t);
}

TStatus TFnTransform::setScalePivotTranslation(const TVector& vec, int space) {
    if (!transformOk("TFnTransform::setScalePivotTranslation") || !spaceOk(space)) return TStatus::kFailure;
    TVector v = space == TSpace::kWorld ? vec * parentMatrix().inverse() : vec;
    double t[3] = {v.x, v.y, v.z};
    return setTriple("scalePivotTranslation", t);
}

bool TFnTransform::isLimited(int type, TStatus* status) const {
    if (!transformOk("TFnTransform::isLimited") || !validLimit(type)) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    const auto& l = scene().nodes[object_.id()].limits;
    return l && l->enabled[type];
}

double TFnTransform::limitValue(int type, TStatus* status) const {
    if (!transformOk("TFnTransform::limitValue") || !validLimit(type)) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    const auto& l = scene().nodes[object_.id()].limits;
    // Unset limits read -1 (minimum) and 1 (maximum).
    return l && l->set[type] ? l->value[type] : (type % 2 ? 1 : -1);
}

TStatus TFnTransform::enableLimit(int type, bool flag) {
    if (!transformOk("TFnTransform::enableLimit") || !validLimit(type)) return TStatus::kFailure;
    auto& l = scene().nodes[object_.id()].limits;
    if (!l) l = std::make_unique<Limits>();
    l->enabled[type] = flag;
    return TStatus::kSuccess;
}

TStatus TFnTransform::setLimit(int type, double value) {
    if (!transformOk("TFnTransform::setLimit") || !validLimit(type)) return TStatus::kFailure;
    auto& l = scene().nodes[object_.id()].limits;
    if (!l) l = std::make_unique<Limits>();
    l->value[type] = value;
    l->set[type] = true;
    return TStatus::kSuccess;
}

TFnIkJoint::TFnIkJoint(const TObject& object, TStatus* status) { put(status, setObject(object)); }

TFnIkJoint::TFnIkJoint(const TDagPath& path, TStatus* status) {
    TStatus s = TFnTransform::setObject(path);
    if (s && !object_.hasFn(TFn::kJoint)) {
        object_ = TObject();
        path_ = TDagPath();
        s = TStatus::kFailure;
    }
    put(status, s);
}

TStatus TFnIkJoint::setObject(const TObject& object) {
    if (!TFnTransform::setObject(object)) return TStatus::kFailure;
    if (object.hasFn(TFn::kJoint)) return TStatus::kSuccess;
    object_ = TObject();
    return TStatus::kFailure;
}

TObject TFnIkJoint::create(const TObject& parent, TStatus* status) { return TFnDagNode::create("joint", parent, status); }
