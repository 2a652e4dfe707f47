#include "tfnattribute.h"

#include "scene.h"

using namespace tulo_detail;

// Static attributes are created in table order: message, visibility, worldMatrix first.
const TObject TPxTransform::worldMatrix(TObject::kAttributeKind, 2, 1);

namespace {
AttrRec* rec(const TObject& o) { return attr(o); }

// Single numeric attributes, and the three-value compounds (721 floats, 722 doubles) with their
// three children.
bool numericRec(const TObject& o) {
    const AttrRec* a = attr(o);
    if (!a) return false;
    if (a->apiType == TFn::kAttribute3Float || a->apiType == TFn::kAttribute3Double)
        return a->kind == AttrKind::Compound && a->children.size() == 3;
    return a->kind == AttrKind::Numeric && a->unit == UnitKind::None && a->apiType == TFn::kNumericAttribute;
}

bool tripleRec(const AttrRec& a) { return a.kind == AttrKind::Compound; }

std::uint32_t newAttr(AttrRec a) {
    Scene& s = scene();
    a.gen = s.nextGen++;
    s.attrs.push_back(std::move(a));
    return static_cast<std::uint32_t>(staticAttrCount() + s.attrs.size() - 1);
}
}  // namespace

bool TFnAttribute::attachedAttr(const char* user) const {
    if (rec(object_)) return true;
    fault(object_.isNull() ? "unattached function set" : "dead node",
          std::string(user) + (object_.isNull() ? " without an attribute" : " on a deleted attribute"));
    return false;
}

TFnAttribute::TFnAttribute(const TObject& a, TStatus* status) { put(status, TFnAttribute::setObject(a)); }

TStatus TFnAttribute::setObject(const TObject& a) {
    object_ = rec(a) ? a : TObject();
    return rec(a) ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnAttribute::make(const TString& longName, const TString& shortName, int kind, int apiType,
                           int dataType, int unit, double def, TStatus* status) {
    AttrRec a;
    a.longName = longName.str();
    a.shortName = shortName.length() ? shortName.str() : longName.str();
    a.kind = static_cast<AttrKind>(kind);
    a.apiType = apiType;
    a.dataType = dataType;
    a.unit = static_cast<UnitKind>(unit);
    a.def = def;
    a.keyable = false;
    bool triple = dataType == 12 || dataType == 15;
    if (triple) {
        a.kind = AttrKind::Compound;
        a.apiType = dataType == 12 ? TFn::kAttribute3Float : TFn::kAttribute3Double;
    }
    std::uint32_t id = newAttr(a);
    if (triple)
        for (const char* c : {"X", "Y", "Z"}) {
            AttrRec child;
            child.longName = a.longName + c;
            child.shortName = a.shortName + static_cast<char>(c[0] - 'A' + 'a');
            child.dataType = dataType == 12 ? 10 : 13;
            child.parent = static_cast<std::int32_t>(id);
            child.def = def;
            std::uint32_t cid = newAttr(child);
            attrAt(id).children.push_back(cid);
        }
    object_ = attrHandle(id);
    put(status, TStatus::kSuccess);
    return object_;
}

#define TULO_ATTR_GET(method, field)                                        \
    bool TFnAttribute::method(TStatus* status) const {                      \
        if (!attachedAttr("TFnAttribute::" #method)) return put(status, TStatus::kFailure), false; \
        put(status, TStatus::kSuccess);                                     \
        return rec(object_)->field;                                         \
    }
TULO_ATTR_GET(isUsedAsColor, usedAsColor)
TULO_ATTR_GET(isConnectable, connectable)
TULO_ATTR_GET(isStorable, storable)
TULO_ATTR_GET(isHidden, hidden)
TULO_ATTR_GET(isKeyable, keyable)
TULO_ATTR_GET(isInternal, internal)
TULO_ATTR_GET(isArray, array)
#undef TULO_ATTR_GET

bool TFnAttribute::isDynamic(TStatus* status) const {
    if (!attachedAttr("TFnAttribute::isDynamic")) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    return !rec(object_)->isStatic;
}

#define TULO_ATTR_SET(method, field)                                        \
    TStatus TFnAttribute::method(bool state) {                              \
        if (!attachedAttr("TFnAttribute::" #method)) return TStatus::kFailure; \
        rec(object_)->field = state;                                        \
        return TStatus::kSuccess;                                           \
    }
TULO_ATTR_SET(setConnectable, connectable)
TULO_ATTR_SET(setStorable, storable)
TULO_ATTR_SET(setHidden, hidden)
TULO_ATTR_SET(setKeyable, keyable)
TULO_ATTR_SET(setInternal, internal)
TULO_ATTR_SET(setUsedAsColor, usedAsColor)
#undef TULO_ATTR_SET

TStatus TFnAttribute::setArray(bool state) {
    // An attribute in use keeps its shape: its plugs' paths depend on it.
    if (!attachedAttr("TFnAttribute::setArray") || rec(object_)->isStatic || rec(object_)->owner != 0)
        return TStatus::kFailure;
    rec(object_)->array = state;
    return TStatus::kSuccess;
}

TString TFnAttribute::name(TStatus* status) const {
    if (!attachedAttr("TFnAttribute::name")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(rec(object_)->longName);
}

TString TFnAttribute::shortName(TStatus* status) const {
    if (!attachedAttr("TFnAttribute::shortName")) return put(status, TStatus::kFailure), TString();
    put(status, TStatus::kSuccess);
    return TString(rec(object_)->shortName);
}

TObject TFnAttribute::parent(TStatus* status) const {
    if (!attachedAttr("TFnAttribute::parent") || rec(object_)->parent < 0)
        return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return attrHandle(static_cast<std::uint32_t>(rec(object_)->parent));
}

TFnNumericAttribute::TFnNumericAttribute(const TObject& a, TStatus* status) { put(status, setObject(a)); }

TStatus TFnNumericAttribute::setObject(const TObject& a) {
    object_ = numericRec(a) ? a : TObject();
    return numericRec(a) ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnNumericAttribute::create(const TString& longName, const TString& shortName, int type,
                                    double defaultValue, TStatus* status) {
    if (type <= 0 || type >= TFnNumericData::kLast || longName.length() == 0)
        return put(status, TStatus::kFailure), TObject();
    return make(longName, shortName, static_cast<int>(AttrKind::Numeric), TFn::kNumericAttribute, type, 0,
                defaultValue, status);
}

TObject TFnNumericAttribute::createColor(const TString& longName, const TString& shortName, TStatus* status) {
    if (longName.length() == 0) return put(status, TStatus::kFailure), TObject();
    TObject o = make(longName, shortName, static_cast<int>(AttrKind::Compound), TFn::kAttribute3Float, 12, 0, 0,
                     status);
    AttrRec& a = attrAt(o.id());
    a.usedAsColor = true;
    const char* rgb[] = {"R", "G", "B"};
    for (std::size_t i = 0; i < a.children.size(); ++i) {
        attrAt(a.children[i]).longName = a.longName + rgb[i];
        attrAt(a.children[i]).shortName = a.shortName + static_cast<char>(rgb[i][0] - 'A' + 'a');
    }
    return o;
}

TFnNumericData::Type TFnNumericAttribute::unitType(TStatus* status) const {
    if (!attachedAttr("TFnNumericAttribute::unitType")) return put(status, TStatus::kFailure), TFnNumericData::kInvalid;
    put(status, TStatus::kSuccess);
    return static_cast<TFnNumericData::Type>(rec(object_)->dataType);
}

// A single form on a compound, or three values of the wrong width, fails and leaves the outputs.
TStatus TFnNumericAttribute::singleDefault(double& value) const {
    if (!attachedAttr("TFnNumericAttribute::getDefault")) return TStatus::kFailure;
    const AttrRec& a = *rec(object_);
    if (tripleRec(a)) return TStatus::kFailure;
    value = castTo(a.dataType, a.def);
    return TStatus::kSuccess;
}

template <class T>
TStatus TFnNumericAttribute::tripleDefault(T& a, T& b, T& c, int dataType) const {
    if (!attachedAttr("TFnNumericAttribute::getDefault")) return TStatus::kFailure;
    const AttrRec& r = *rec(object_);
    if (!tripleRec(r) || r.dataType != dataType) return TStatus::kFailure;
    // Children of a float compound hold float defaults already.
    a = static_cast<T>(castTo(attrAt(r.children[0]).dataType, attrAt(r.children[0]).def));
    b = static_cast<T>(castTo(attrAt(r.children[1]).dataType, attrAt(r.children[1]).def));
    c = static_cast<T>(castTo(attrAt(r.children[2]).dataType, attrAt(r.children[2]).def));
    return TStatus::kSuccess;
}

TStatus TFnNumericAttribute::getDefault(bool& value) const {
    double d = 0;
    TStatus s = singleDefault(d);
    if (s) value = d != 0;
    return s;
}
TStatus TFnNumericAttribute::getDefault(char& value) const {
    double d = 0;
    TStatus s = singleDefault(d);
    if (s) value = static_cast<char>(toInt64(d));
    return s;
}
TStatus TFnNumericAttribute::getDefault(short& value) const {
    double d = 0;
    TStatus s = singleDefault(d);
    if (s) value = static_cast<short>(toInt64(d));
    return s;
}
TStatus TFnNumericAttribute::getDefault(int& value) const {
    double d = 0;
    TStatus s = singleDefault(d);
    if (s) value = static_cast<int>(toInt64(d));
    return s;
}
TStatus TFnNumericAttribute::getDefault(float& value) const {
    double d = 0;
    TStatus s = singleDefault(d);
    if (s) value = static_cast<float>(castTo(TFnNumericData::kFloat, d));
    return s;
}
TStatus TFnNumericAttribute::getDefault(double& value) const { return singleDefault(value); }
TStatus TFnNumericAttribute::getDefault(float& a, float& b, float& c) const {
    return tripleDefault(a, b, c, TFnNumericData::k3Float);
}
TStatus TFnNumericAttribute::getDefault(double& a, double& b, double& c) const {
    return tripleDefault(a, b, c, TFnNumericData::k3Double);
}

TStatus TFnNumericAttribute::setDefault(double value) {
    if (!attachedAttr("TFnNumericAttribute::setDefault")) return TStatus::kFailure;
    rec(object_)->def = value;
    for (std::uint32_t c : rec(object_)->children) attrAt(c).def = value;
    return TStatus::kSuccess;
}

TStatus TFnNumericAttribute::setDefault(double a, double b, double c) {
    if (!attachedAttr("TFnNumericAttribute::setDefault")) return TStatus::kFailure;
    const auto& children = rec(object_)->children;
    if (children.size() != 3) return TStatus::kFailure;
    attrAt(children[0]).def = a;
    attrAt(children[1]).def = b;
    attrAt(children[2]).def = c;
    return TStatus::kSuccess;
}

#define TULO_LIMIT(Name, flag, field)                                                          \
    bool TFnNumericAttribute::has##Name(TStatus* status) const {                              \
        if (!attachedAttr("TFnNumericAttribute::has" #Name)) return put(status, TStatus::kFailure), false; \
        put(status, TStatus::kSuccess);                                                       \
        return rec(object_)->flag;                                                            \
    }                                                                                         \
    TStatus TFnNumericAttribute::get##Name(double& value) const {                             \
        if (!attachedAttr("TFnNumericAttribute::get" #Name) || !rec(object_)->flag) return TStatus::kFailure; \
        value = rec(object_)->field;                                                          \
        return TStatus::kSuccess;                                                             \
    }                                                                                         \
    TStatus TFnNumericAttribute::set##Name(double value) {                                    \
        if (!attachedAttr("TFnNumericAttribute::set" #Name)) return TStatus::kFailure;        \
        rec(object_)->flag = true;                                                            \
        rec(object_)->field = value;                                                          \
        return TStatus::kSuccess;                                                             \
    }
TULO_LIMIT(Min, hasMin, min)
TULO_LIMIT(Max, hasMax, max)
TULO_LIMIT(SoftMin, hasSoftMin, softMin)
TULO_LIMIT(SoftMax, hasSoftMax, softMax)
#undef TULO_LIMIT

TFnUnitAttribute::TFnUnitAttribute(const TObject& a, TStatus* status) { put(status, setObject(a)); }

TStatus TFnUnitAttribute::setObject(const TObject& a) {
    bool ok = rec(a) && rec(a)->unit != UnitKind::None && rec(a)->kind == AttrKind::Numeric;
    object_ = ok ? a : TObject();
    return ok ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnUnitAttribute::create(const TString& longName, const TString& shortName, int unitType,
                                 double defaultValue, TStatus* status) {
    if (unitType < kAngle || unitType > kTime || longName.length() == 0)
        return put(status, TStatus::kFailure), TObject();
    return make(longName, shortName, static_cast<int>(AttrKind::Numeric), TFn::kUnitAttribute, 13, unitType,
                defaultValue, status);
}

TFnUnitAttribute::Type TFnUnitAttribute::unitType(TStatus* status) const {
    if (!attachedAttr("TFnUnitAttribute::unitType")) return put(status, TStatus::kFailure), kInvalid;
    put(status, TStatus::kSuccess);
    return static_cast<Type>(rec(object_)->unit);
}

TStatus TFnUnitAttribute::setLimit(int which, int unit, double internalValue) {
    if (!attachedAttr("TFnUnitAttribute::set")) return TStatus::kFailure;
    AttrRec& a = *rec(object_);
    if (static_cast<int>(a.unit) != unit) return TStatus::kFailure;
    if (which == 0) a.def = internalValue;
    if (which == 1) a.hasMin = true, a.min = internalValue;
    if (which == 2) a.hasMax = true, a.max = internalValue;
    return TStatus::kSuccess;
}

TStatus TFnUnitAttribute::setDefault(const TAngle& v) { return setLimit(0, kAngle, v.asRadians()); }
TStatus TFnUnitAttribute::setDefault(const TDistance& v) { return setLimit(0, kDistance, v.asCentimeters()); }
TStatus TFnUnitAttribute::setDefault(const TTime& v) { return setLimit(0, kTime, v.as(TTime::kSeconds)); }
TStatus TFnUnitAttribute::setMin(const TAngle& v) { return setLimit(1, kAngle, v.asRadians()); }
TStatus TFnUnitAttribute::setMin(const TDistance& v) { return setLimit(1, kDistance, v.asCentimeters()); }
TStatus TFnUnitAttribute::setMin(const TTime& v) { return setLimit(1, kTime, v.as(TTime::kSeconds)); }
TStatus TFnUnitAttribute::setMax(const TAngle& v) { return setLimit(2, kAngle, v.asRadians()); }
TStatus TFnUnitAttribute::setMax(const TDistance& v) { return setLimit(2, kDistance, v.asCentimeters()); }
TStatus TFnUnitAttribute::setMax(const TTime& v) { return setLimit(2, kTime, v.as(TTime::kSeconds)); }

TStatus TFnUnitAttribute::getDefault(double& value) const {
    if (!attachedAttr("TFnUnitAttribute::getDefault")) return TStatus::kFailure;
    value = rec(object_)->def;
    return TStatus::kSuccess;
}

TFnEnumAttribute::TFnEnumAttribute(const TObject& a, TStatus* status) { put(status, setObject(a)); }

TStatus TFnEnumAttribute::setObject(const TObject& a) {
    bool ok = rec(a) && rec(a)->kind == AttrKind::Enum;
    object_ = ok ? a : TObject();
    return ok ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TFnEnumAttribute::create(const TString& longName, const TString& shortName, short defaultValue,
                                 TStatus* status) {
    if (longName.length() == 0) return put(status, TStatus::kFailure), TObject();
    return make(longName, shortName, static_cast<int>(AttrKind::Enum), TFn::kEnumAttribute, 4, 0, defaultValue,
                status);
}

TStatus TFnEnumAttribute::addField(const TString& name, short value) {
    if (!attachedAttr("TFnEnumAttribute::addField") || name.length() == 0) return TStatus::kFailure;
    for (const auto& f : rec(object_)->fields)
        if (f.first == name.str() || f.second == value) return TStatus::kFailure;
    rec(object_)->fields.emplace_back(name.str(), value);
    return TStatus::kSuccess;
}

TString TFnEnumAttribute::fieldName(short value, TStatus* status) const {
    if (attachedAttr("TFnEnumAttribute::fieldName"))
        for (const auto& f : rec(object_)->fields)
            if (f.second == value) return put(status, TStatus::kSuccess), TString(f.first);
    put(status, TStatus::kFailure);
    return TString();
}

TStatus TFnEnumAttribute::setDefault(short value) {
    if (!attachedAttr("TFnEnumAttribute::setDefault")) return TStatus::kFailure;
    rec(object_)->def = value;
    return TStatus::kSuccess;
}

TStatus TFnEnumAttribute::getDefault(short& value) const {
    if (!attachedAttr("TFnEnumAttribute::getDefault")) return TStatus::kFailure;
    value = static_cast<short>(rec(object_)->def);
    return TStatus::kSuccess;
}

TFnTypedAttribute::TFnTypedAttribute(const TObject& a, TStatus* status) {
    bool ok = rec(a) && rec(a)->kind == AttrKind::String;
    object_ = ok ? a : TObject();
    put(status, ok ? TStatus::kSuccess : TStatus::kFailure);
}

TObject TFnTypedAttribute::createString(const TString& longName, const TString& shortName, TStatus* status) {
    if (longName.length() == 0) return put(status, TStatus::kFailure), TObject();
    return make(longName, shortName, static_cast<int>(AttrKind::String), TFn::kTypedAttribute, 0, 0, 0, status);
}

TFnMatrixAttribute::TFnMatrixAttribute(const TObject& a, TStatus* status) {
    bool ok = rec(a) && rec(a)->kind == AttrKind::Matrix;
    object_ = ok ? a : TObject();
    put(status, ok ? TStatus::kSuccess : TStatus::kFailure);
}

TObject TFnMatrixAttribute::create(const TString& longName, const TString& shortName, TStatus* status) {
    if (longName.length() == 0) return put(status, TStatus::kFailure), TObject();
    return make(longName, shortName, static_cast<int>(AttrKind::Matrix), TFn::kMatrixAttribute, 0, 0, 0, status);
}

namespace {
const Value* dataRec(const TObject& o) {
    if (o.kind() != TObject::kDataKind || o.id() >= scene().data.size()) return nullptr;
    const auto& d = scene().data[o.id()];
    return d.first == o.generation() ? &d.second : nullptr;
}
}  // namespace

TFnMatrixData::TFnMatrixData(const TObject& data, TStatus* status) { put(status, setObject(data)); }

TStatus TFnMatrixData::setObject(const TObject& data) {
    object_ = dataRec(data) ? data : TObject();
    return dataRec(data) ? TStatus::kSuccess : TStatus::kFailure;
}

TMatrix TFnMatrixData::matrix(TStatus* status) const {
    const Value* v = dataRec(object_);
    if (!v) {
        fault(object_.isNull() ? "unattached function set" : "dead node", "TFnMatrixData::matrix");
        return put(status, TStatus::kFailure), TMatrix();
    }
    put(status, TStatus::kSuccess);
    TMatrix m;
    for (int k = 0; k < 16; ++k) m.matrix[k / 4][k % 4] = v->m[static_cast<std::size_t>(k)];
    return m;
}

TObject TFnMatrixData::create(const TMatrix& m, TStatus* status) {
    Scene& s = scene();
    Value v;
    for (int k = 0; k < 16; ++k) v.m[static_cast<std::size_t>(k)] = m.matrix[k / 4][k % 4];
    std::uint32_t gen = s.nextGen++;
    s.data.emplace_back(gen, v);
    object_ = TObject(TObject::kDataKind, static_cast<std::uint32_t>(s.data.size() - 1), gen);
    put(status, TStatus::kSuccess);
    return object_;
}
