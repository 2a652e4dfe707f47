#include "tfnanimcurve.h"

#include <algorithm>
#include <cmath>

#include "curvemath.h"
#include "scene.h"

using namespace tulo_detail;

namespace {
const char* const kCurveTypes[] = {"animCurveTA", "animCurveTL", "animCurveTT", "animCurveTU",
                                   "animCurveUA", "animCurveUL", "animCurveUT", "animCurveUU"};

CurveData* curveOf(const TObject& o) {
    NodeRec* n = tulo_detail::node(o);
    return n ? n->curve.get() : nullptr;
}

// Internal units per UI unit of the curve's value kind, and UI input units per second.
double valueScale(const CurveData& c) {
    int kind = c.type % 4;
    if (kind == 0) return TAngle::radiansPer(TAngle::uiUnit());
    if (kind == 1) return TDistance::centimetresPer(TDistance::uiUnit());
    return 1;
}
double inputScale(const CurveData& c) { return c.type < 4 ? TTime::unitsPerSecond(TTime::uiUnit()) : 1; }

// Keys are sorted by time: only the neighbours of t's place can lie within 1e-9 s of it.
bool findsKey(const std::vector<Key>& keys, double t, std::size_t except) {
    auto at = std::lower_bound(keys.begin(), keys.end(), t - 1e-9, [](const Key& k, double x) { return k.t < x; });
    for (; at != keys.end() && at->t <= t + 1e-9; ++at)
        if (static_cast<std::size_t>(at - keys.begin()) != except && std::fabs(at->t - t) <= 1e-9) return true;
    return false;
}

// New keys start with a smooth slope and a third of their segments as lengths.
void initTangents(CurveData& c, std::size_t i) {
    Key& k = c.keys[i];
    // The smooth slope of the key as it stands, without copying the curve.
    const int inType = k.inType, outType = k.outType;
    k.inType = k.outType = kSmooth;
    const double slope = keySlope(c, i, true);
    k.inType = inType, k.outType = outType;
    k.inM = k.outM = slope;
    double in = i > 0 ? (k.t - c.keys[i - 1].t) / 3 : 0, out = i + 1 < c.keys.size() ? (c.keys[i + 1].t - k.t) / 3 : 0;
    k.inL = in > 0 ? in : (out > 0 ? out : 1.0 / 3);
    k.outL = out > 0 ? out : k.inL;
}
}  // namespace

bool TFnAnimCurve::curveOk(const char* user) const {
    if (!attached(user)) return false;
    return curveOf(object_) != nullptr;
}

bool TFnAnimCurve::keyOk(unsigned index, const char* user) const {
    if (!curveOk(user)) return false;
    std::size_t n = curveOf(object_)->keys.size();
    if (index < n) return true;
    indexFault(user, index, n);
    return false;
}

TFnAnimCurve::TFnAnimCurve(const TObject& curve, TStatus* status) { put(status, setObject(curve)); }

TStatus TFnAnimCurve::setObject(const TObject& object) {
    object_ = TObject();
    if (object.isNull() || !liveNode(object, "TFnAnimCurve") || !curveOf(object)) return TStatus::kFailure;
    object_ = object;
    return TStatus::kSuccess;
}

TFnAnimCurve::TFnAnimCurve(const TPlug& plug, TStatus* status) {
    if (plug.isNull()) {
        put(status, TStatus::kFailure);
        return;
    }
    std::uint32_t src;
    PlugPath srcPath;
    if (resolved(plug.entries()) && sourceOf(plug.node().id(), plug.entries(), src, srcPath) &&
        scene().nodes[src].curve && attrAt(srcPath.back().attr).longName == "output") {
        object_ = handle(src);
        put(status, TStatus::kSuccess);
        return;
    }
    put(status, TStatus::kNotFound);
}

TObject TFnAnimCurve::create(const TPlug& plug, TDGModifier* modifier, TStatus* status) {
    return create(plug, -1, modifier, status);
}

TObject TFnAnimCurve::create(const TPlug& plug, int type, TDGModifier*, TStatus* status) {
    if (plug.isNull() || !resolved(plug.entries()) || plug.isArray() || plug.isCompound() || type < -1 || type > 3)
        return put(status, TStatus::kFailure), TObject();
    const AttrRec& leaf = attrAt(plug.entries().back().attr);
    if (leaf.kind != AttrKind::Numeric && leaf.kind != AttrKind::Enum) return put(status, TStatus::kFailure), TObject();
    if (plug.isLocked()) {
        fault("curve on locked plug", std::string(plug.name().asChar()));
        return put(status, TStatus::kFailure), TObject();
    }
    std::uint32_t src;
    PlugPath srcPath;
    if (sourceOf(plug.node().id(), plug.entries(), src, srcPath)) return put(status, TStatus::kFailure), TObject();
    if (type < 0) type = leaf.unit == UnitKind::Angle ? 0 : leaf.unit == UnitKind::Distance ? 1 : leaf.unit == UnitKind::Time ? 2 : 3;
    // "<node>_<attr>", the label or the long name, with the element index.
    const NodeRec& n = scene().nodes[plug.node().id()];
    auto label = n.labels.find(plug.entries());
    std::string attrName = label != n.labels.end() ? label->second : leaf.longName;
    if (label == n.labels.end() && plug.entries().back().index >= 0) attrName += "_" + std::to_string(plug.entries().back().index);
    TObject curve = createNode(*typeByName(kCurveTypes[type]), n.name + "_" + attrName, 0);
    std::uint32_t out = findAttr(scene().nodes[curve.id()], "output");
    connect(curve.id(), pathFor(out), plug.node().id(), plug.entries());
    object_ = curve;
    put(status, TStatus::kSuccess);
    return curve;
}

TFnAnimCurve::AnimCurveType TFnAnimCurve::animCurveType(TStatus* status) const {
    if (!curveOk("TFnAnimCurve::animCurveType")) return put(status, TStatus::kFailure), kAnimCurveUnknown;
    put(status, TStatus::kSuccess);
    return static_cast<AnimCurveType>(curveOf(object_)->type);
}

unsigned TFnAnimCurve::numKeys(TStatus* status) const {
    if (!curveOk("TFnAnimCurve::numKeys")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(curveOf(object_)->keys.size());
}

TTime TFnAnimCurve::time(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::time")) return put(status, TStatus::kFailure), TTime();
    put(status, TStatus::kSuccess);
    int ui = TTime::uiUnit();
    return TTime(TTime(curveOf(object_)->keys[index].t, TTime::kSeconds).as(ui), ui);
}

double TFnAnimCurve::value(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::value")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return curveOf(object_)->keys[index].v;
}

double TFnAnimCurve::unitlessInput(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::unitlessInput")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return curveOf(object_)->keys[index].t;
}

double TFnAnimCurve::evaluate(const TTime& time, TStatus* status) const {
    if (!curveOk("TFnAnimCurve::evaluate")) return put(status, TStatus::kFailure), 0;
    put(status, TStatus::kSuccess);
    return evalCurve(*curveOf(object_), time.seconds());
}

TStatus TFnAnimCurve::evaluate(const TTime& time, double& value) const {
    TStatus s;
    double v = evaluate(time, &s);
    if (s) value = v;
    return s;
}

TFnAnimCurve::TangentType TFnAnimCurve::inTangentType(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::inTangentType")) return put(status, TStatus::kFailure), kTangentGlobal;
    put(status, TStatus::kSuccess);
    return static_cast<TangentType>(curveOf(object_)->keys[index].inType);
}

TFnAnimCurve::TangentType TFnAnimCurve::outTangentType(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::outTangentType")) return put(status, TStatus::kFailure), kTangentGlobal;
    put(status, TStatus::kSuccess);
    return static_cast<TangentType>(curveOf(object_)->keys[index].outType);
}

TStatus TFnAnimCurve::setInTangentType(unsigned index, int type, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setInTangentType") || type < 0 || type > 8) return TStatus::kFailure;
    curveOf(object_)->keys[index].inType = type;
    return TStatus::kSuccess;
}

TStatus TFnAnimCurve::setOutTangentType(unsigned index, int type, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setOutTangentType") || type < 0 || type > 8) return TStatus::kFailure;
    curveOf(object_)->keys[index].outType = type;
    return TStatus::kSuccess;
}

// Unweighted: x = 1 / sqrt(1 + s^2), y = s x; weighted: x = 3 l f, y = x s; s = m / (k f).
// A weighted tangent is the Bezier segment's derivative at its end, three times the handle: the
// third-of-a-segment handle a curve gets when it turns weighted reads as the whole key interval.
TStatus TFnAnimCurve::getTangent(unsigned index, double& x, double& y, bool in) const {
    if (!keyOk(index, "TFnAnimCurve::getTangent")) return TStatus::kFailure;
    const CurveData& c = *curveOf(object_);
    double f = inputScale(c), s = keySlope(c, index, in) / (valueScale(c) * f);
    if (c.weighted) {
        x = 3 * keyLength(c, index, in) * f;
        y = x * s;
    } else {
        x = 1 / std::sqrt(1 + s * s);
        y = s * x;
    }
    return TStatus::kSuccess;
}

TStatus TFnAnimCurve::getTangent(unsigned index, float& x, float& y, bool in) const {
    double dx = 0, dy = 0;
    TStatus s = getTangent(index, dx, dy, in);
    if (s) x = static_cast<float>(dx), y = static_cast<float>(dy);
    return s;
}

// m = (y / x) k f; on weighted curves l = x / (3 f).
TStatus TFnAnimCurve::setTangent(unsigned index, double x, double y, bool in, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setTangent")) return TStatus::kFailure;
    CurveData& c = *curveOf(object_);
    if (!std::isfinite(x) || !std::isfinite(y) || x == 0 || (c.weighted && x < 0)) return TStatus::kFailure;
    double f = inputScale(c), m = y / x * valueScale(c) * f;
    Key& k = c.keys[index];
    (in ? k.inType : k.outType) = kFixed;
    (in ? k.inM : k.outM) = m;
    if (c.weighted) (in ? k.inL : k.outL) = x / (3 * f);
    return TStatus::kSuccess;
}

bool TFnAnimCurve::tangentsLocked(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::tangentsLocked")) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    return curveOf(object_)->keys[index].tangentsLocked;
}

TStatus TFnAnimCurve::setTangentsLocked(unsigned index, bool locked, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setTangentsLocked")) return TStatus::kFailure;
    curveOf(object_)->keys[index].tangentsLocked = locked;
    return TStatus::kSuccess;
}

bool TFnAnimCurve::weightsLocked(unsigned index, TStatus* status) const {
    if (!keyOk(index, "TFnAnimCurve::weightsLocked")) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    return curveOf(object_)->keys[index].weightsLocked;
}

TStatus TFnAnimCurve::setWeightsLocked(unsigned index, bool locked, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setWeightsLocked")) return TStatus::kFailure;
    curveOf(object_)->keys[index].weightsLocked = locked;
    return TStatus::kSuccess;
}

bool TFnAnimCurve::isWeighted(TStatus* status) const {
    if (!curveOk("TFnAnimCurve::isWeighted")) return put(status, TStatus::kFailure), false;
    put(status, TStatus::kSuccess);
    return curveOf(object_)->weighted;
}

TStatus TFnAnimCurve::setIsWeighted(bool weighted, TAnimCurveChange*) {
    if (!curveOk("TFnAnimCurve::setIsWeighted")) return TStatus::kFailure;
    CurveData& c = *curveOf(object_);
    if (weighted && !c.weighted)
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            double in = c.keys[i].inM, out = c.keys[i].outM;
            initTangents(c, i);
            c.keys[i].inM = in, c.keys[i].outM = out;
        }
    c.weighted = weighted;
    return TStatus::kSuccess;
}

unsigned TFnAnimCurve::addKey(const TTime& time, double value, int inType, int outType, TAnimCurveChange*,
                              TStatus* status) {
    double t = time.seconds();
    if (!curveOk("TFnAnimCurve::addKey") || inType < 0 || inType > 8 || outType < 0 || outType > 8 ||
        !std::isfinite(t) || !std::isfinite(value))
        return put(status, TStatus::kFailure), 0;
    CurveData& c = *curveOf(object_);
    if (findsKey(c.keys, t, c.keys.size())) return put(status, TStatus::kFailure), 0;
    auto at = std::upper_bound(c.keys.begin(), c.keys.end(), t, [](double x, const Key& k) { return x < k.t; });
    std::size_t index = static_cast<std::size_t>(at - c.keys.begin());
    Key k;
    k.t = t;
    k.v = value;
    k.inType = inType;
    k.outType = outType;
    c.keys.insert(at, k);
    initTangents(c, index);
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(index);
}

TStatus TFnAnimCurve::remove(unsigned index, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::remove")) return TStatus::kFailure;
    auto& keys = curveOf(object_)->keys;
    keys.erase(keys.begin() + index);
    return TStatus::kSuccess;
}

TStatus TFnAnimCurve::setTime(unsigned index, const TTime& time, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setTime")) return TStatus::kFailure;
    auto& keys = curveOf(object_)->keys;
    double t = time.seconds();
    if (!std::isfinite(t) || findsKey(keys, t, index)) return TStatus::kFailure;
    Key k = keys[index];
    k.t = t;
    keys.erase(keys.begin() + index);
    keys.insert(std::upper_bound(keys.begin(), keys.end(), t, [](double x, const Key& key) { return x < key.t; }), k);
    return TStatus::kSuccess;
}

TStatus TFnAnimCurve::setValue(unsigned index, double value, TAnimCurveChange*) {
    if (!keyOk(index, "TFnAnimCurve::setValue") || !std::isfinite(value)) return TStatus::kFailure;
    curveOf(object_)->keys[index].v = value;
    return TStatus::kSuccess;
}

namespace {
TTime inUi(double seconds) {
    int ui = TTime::uiUnit();
    return TTime(TTime(seconds, TTime::kSeconds).as(ui), ui);
}
}  // namespace

TTime TAnimControl::currentTime() { return inUi(scene().currentTime); }
TTime TAnimControl::minTime() { return inUi(scene().minTime); }
TTime TAnimControl::maxTime() { return inUi(scene().maxTime); }

TStatus TAnimControl::setCurrentTime(const TTime& time) {
    if (!std::isfinite(time.seconds())) return TStatus::kFailure;
    scene().currentTime = time.seconds();
    return TStatus::kSuccess;
}

TStatus TAnimControl::setMinTime(const TTime& time) { return setMinMaxTime(time, inUi(scene().maxTime)); }
TStatus TAnimControl::setMaxTime(const TTime& time) { return setMinMaxTime(inUi(scene().minTime), time); }

TStatus TAnimControl::setMinMaxTime(const TTime& min, const TTime& max) {
    double a = min.seconds(), b = max.seconds();
    if (!std::isfinite(a) || !std::isfinite(b) || a > b) return TStatus::kFailure;
    scene().minTime = a;
    scene().maxTime = b;
    return TStatus::kSuccess;
}
