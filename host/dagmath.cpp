// Local and world matrices of DAG nodes, read from their (evaluated) transform plugs.
#include "scene.h"

namespace tulo_detail {

double plugNumber(std::uint32_t id, const char* name) {
    const NodeRec& n = scene().nodes[id];
    std::uint32_t a = findAttr(n, name);
    if (a == UINT32_MAX) return 0;
    Value v;
    return readValue(id, pathFor(a), v, 0) ? v.num : 0;
}

TTransformationMatrix transformationOf(std::uint32_t id) {
    TTransformationMatrix t;
    const NodeRec& n = scene().nodes[id];
    if (!tuloTypeIsA(n.type->code, TFn::kTransform)) return t;
    auto triple = [&](const char* base, double out[3]) {
        std::string b = base;
        out[0] = plugNumber(id, (b + "X").c_str());
        out[1] = plugNumber(id, (b + "Y").c_str());
        out[2] = plugNumber(id, (b + "Z").c_str());
    };
    double v[3];
    triple("translate", v);
    t.translate = TVector(v[0], v[1], v[2]);
    triple("rotate", v);
    int order = static_cast<int>(plugNumber(id, "rotateOrder"));
    t.rotation = TEulerRotation(v[0], v[1], v[2], order);
    triple("scale", t.scale);
    triple("rotateAxis", v);
    t.rotateAxis = TEulerRotation(v[0], v[1], v[2]);
    triple("rotatePivot", v);
    t.rotatePivotPoint = TPoint(v[0], v[1], v[2]);
    triple("rotatePivotTranslation", v);
    t.rotatePivotTrans = TVector(v[0], v[1], v[2]);
    triple("scalePivot", v);
    t.scalePivotPoint = TPoint(v[0], v[1], v[2]);
    triple("scalePivotTranslation", v);
    t.scalePivotTrans = TVector(v[0], v[1], v[2]);
    if (tuloTypeIsA(n.type->code, TFn::kJoint)) {
        triple("jointOrient", v);
        t.jointOrient = TEulerRotation(v[0], v[1], v[2]);
    }
    return t;
}

TMatrix localMatrix(std::uint32_t id) { return transformationOf(id).asMatrix(); }

TMatrix worldMatrix(const std::vector<std::uint32_t>& path) {
    TMatrix m;
    for (std::size_t i = path.size(); i-- > 0;) m = m * localMatrix(path[i]);
    return m;
}

}  // namespace tulo_detail
