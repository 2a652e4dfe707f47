#include "tfnlight.h"

#include <cmath>

#include "scene.h"

using namespace tulo_detail;

TFnLight::TFnLight(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TFnLight::TFnLight(const TDagPath& path, TStatus* status) { put(status, setObject(path)); }
TStatus TFnLight::setObject(const TObject& object) { return attachShape(object, kind_); }
TStatus TFnLight::setObject(const TDagPath& path) { return attachShape(path, kind_); }

TFnPointLight::TFnPointLight(const TObject& o, TStatus* status) : TFnLight(TFn::kPointLight) { put(status, setObject(o)); }
TFnPointLight::TFnPointLight(const TDagPath& p, TStatus* status) : TFnLight(TFn::kPointLight) { put(status, setObject(p)); }
TFnDirectionalLight::TFnDirectionalLight(const TObject& o, TStatus* status) : TFnLight(TFn::kDirectionalLight) {
    put(status, setObject(o));
}
TFnDirectionalLight::TFnDirectionalLight(const TDagPath& p, TStatus* status) : TFnLight(TFn::kDirectionalLight) {
    put(status, setObject(p));
}
TFnSpotLight::TFnSpotLight(const TObject& o, TStatus* status) : TFnLight(TFn::kSpotLight) { put(status, setObject(o)); }
TFnSpotLight::TFnSpotLight(const TDagPath& p, TStatus* status) : TFnLight(TFn::kSpotLight) { put(status, setObject(p)); }

TColor TFnLight::color(TStatus* status) const {
    TStatus s[3];
    TColor c(static_cast<float>(number("colorR", &s[0])), static_cast<float>(number("colorG", &s[1])),
             static_cast<float>(number("colorB", &s[2])));
    put(status, s[0] && s[1] && s[2] ? TStatus::kSuccess : TStatus::kFailure);
    return c;
}

TStatus TFnLight::setColor(const TColor& c) {
    if (!setNumber("colorR", c.r) || !setNumber("colorG", c.g) || !setNumber("colorB", c.b)) return TStatus::kFailure;
    return TStatus::kSuccess;
}

float TFnLight::intensity(TStatus* status) const { return static_cast<float>(number("intensity", status)); }
TStatus TFnLight::setIntensity(float v) { return setNumber("intensity", v); }

double TFnSpotLight::coneAngle(TStatus* status) const { return number("coneAngle", status); }
TStatus TFnSpotLight::setConeAngle(double radians) {
    // A cone opens between nothing and a half turn.
    return radians > 0 && radians < M_PI ? setNumber("coneAngle", radians) : TStatus::kFailure;
}

TObject TFnLight::createLight(const TObject& parent, bool makeTransform, TStatus* status) {
    const NodeRec* p = tulo_detail::node(parent);
    if (!parent.isNull() && !p) liveNode(parent, "light create");
    bool parentOk = parent.isNull() ? makeTransform : p && isDag(*p) && tuloTypeIsA(p->type->code, TFn::kTransform);
    const TypeRec* type = typeByCode(kind_);
    if (!parentOk || !type || !type->shape) return put(status, TStatus::kFailure), TObject();
    std::uint32_t under = parent.isNull() ? 0 : parent.id();
    if (makeTransform) under = createNode(*typeByName("transform"), type->name + "1", under).id();
    TObject shape = createNode(*type, "", under);
    setObject(shape);
    put(status, TStatus::kSuccess);
    return shape;
}
