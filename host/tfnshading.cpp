#include "tfnshading.h"

#include "scene.h"

using namespace tulo_detail;

TFnSet::TFnSet(const TObject& object, TStatus* status) { put(status, setObject(object)); }

TStatus TFnSet::setObject(const TObject& object) {
    object_ = object.hasFn(TFn::kSet) ? object : TObject();
    if (object_.isNull()) liveNode(object, "TFnSet");
    return object_.isNull() ? TStatus::kFailure : TStatus::kSuccess;
}

TFnSet::Restriction TFnSet::restriction(TStatus* status) const {
    if (!attached("TFnSet::restriction")) return put(status, TStatus::kFailure), kNone;
    put(status, TStatus::kSuccess);
    return static_cast<Restriction>(scene().nodes[object_.id()].restriction);
}

TStatus TFnSet::getMembers(TSelectionList& members, bool) const {
    if (!attached("TFnSet::getMembers")) return TStatus::kFailure;
    members.clear();
    for (const SetMember& m : scene().nodes[object_.id()].members) {
        if (m.path.size() == 1 && node(m.path[0]) && !isDag(scene().nodes[m.path[0].id()])) {
            members.add(m.path[0]);
            continue;
        }
        TDagPath p(m.path);
        if (p.isValid()) members.add(p, m.component);
    }
    return TStatus::kSuccess;
}

bool TFnLambertShader::fits(const TObject& object, int type) {
    object_ = object.hasFn(type) ? object : TObject();
    if (object_.isNull()) liveNode(object, "shader function set");
    return !object_.isNull();
}

TFnLambertShader::TFnLambertShader(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnLambertShader::setObject(const TObject& object) {
    return fits(object, TFn::kLambert) ? TStatus::kSuccess : TStatus::kFailure;
}

TColor TFnLambertShader::triple(const char* attr, TStatus* status) const {
    TColor c;
    if (!attached(attr)) return put(status, TStatus::kFailure), c;
    TPlug p = findPlug(attr);
    double v[3] = {0, 0, 0};
    for (unsigned i = 0; i < 3; ++i)
        if (!p.child(i).getValue(v[i])) return put(status, TStatus::kFailure), c;
    put(status, TStatus::kSuccess);
    return TColor(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]), 1);
}

TStatus TFnLambertShader::setTriple(const char* attr, const TColor& c) {
    if (!attached(attr)) return TStatus::kFailure;
    TPlug p = findPlug(attr);
    for (unsigned i = 0; i < 3; ++i)
        if (!p.child(i).setValue(static_cast<double>(c[i]))) return TStatus::kFailure;
    return TStatus::kSuccess;
}

TColor TFnLambertShader::color(TStatus* status) const { return triple("color", status); }
TStatus TFnLambertShader::setColor(const TColor& c) { return setTriple("color", c); }
TColor TFnLambertShader::transparency(TStatus* status) const { return triple("transparency", status); }
TStatus TFnLambertShader::setTransparency(const TColor& c) { return setTriple("transparency", c); }
TColor TFnLambertShader::ambientColor(TStatus* status) const { return triple("ambientColor", status); }
TStatus TFnLambertShader::setAmbientColor(const TColor& c) { return setTriple("ambientColor", c); }

TFnReflectShader::TFnReflectShader(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnReflectShader::setObject(const TObject& object) {
    return fits(object, TFn::kReflect) ? TStatus::kSuccess : TStatus::kFailure;
}
TColor TFnReflectShader::specularColor(TStatus* status) const { return triple("specularColor", status); }
TStatus TFnReflectShader::setSpecularColor(const TColor& c) { return setTriple("specularColor", c); }

TFnPhongShader::TFnPhongShader(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TStatus TFnPhongShader::setObject(const TObject& object) {
    return fits(object, TFn::kPhong) ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnPhongShader::create(bool, TStatus* status) {
    TObject o = createNode(*typeByName("phong"), "phong1", 0);
    setObject(o);
    put(status, TStatus::kSuccess);
    return o;
}

float TFnPhongShader::cosPower(TStatus* status) const {
    double v = 0;
    if (!attached("TFnPhongShader::cosPower") || !findPlug("cosPower").getValue(v)) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<float>(v);
}

TStatus TFnPhongShader::setCosPower(float power) {
    if (!attached("TFnPhongShader::setCosPower") || !(power > 0)) return TStatus::kFailure;
    return findPlug("cosPower").setValue(power);
}
