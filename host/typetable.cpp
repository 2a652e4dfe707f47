// Node types, their type codes and their static attributes, as data. The table is built once;
// static attributes are created parent type first and depth-first, so their ids sort like
// `attribute(i)` and `worldMatrix` of DAG nodes gets a fixed id.
#include <cctype>
#include <cmath>
#include <cstring>

#include "scene.h"

namespace tulo_detail {
namespace {

struct TypeRow {
    const char* name;
    int code;
    int parent;
    bool abstract;
};

// Parents come before their children.
const TypeRow kTypes[] = {
    {"dependNode", TFn::kDependencyNode, 0, true},
    {"dagNode", TFn::kDagNode, TFn::kDependencyNode, true},
    {"world", TFn::kWorld, TFn::kDagNode, true},
    {"transform", TFn::kTransform, TFn::kDagNode, false},
    {"joint", TFn::kJoint, TFn::kTransform, false},
    {"lookAt", TFn::kLookAt, TFn::kTransform, false},
    {"shape", TFn::kShape, TFn::kDagNode, true},
    {"camera", TFn::kCamera, TFn::kShape, false},
    {"clusterHandle", TFn::kClusterHandle, TFn::kShape, false},
    {"locator", TFn::kLocator, TFn::kShape, false},
    {"nurbsSurface", TFn::kNurbsSurface, TFn::kShape, false},
    {"nurbsSurfaceAlt", TFn::kNurbsSurfaceOther, TFn::kShape, false},
    {"mesh", TFn::kMesh, TFn::kShape, false},
    {"light", TFn::kLight, TFn::kShape, true},
    {"ambientLight", TFn::kAmbientLight, TFn::kLight, false},
    {"areaLight", TFn::kAreaLight, TFn::kLight, false},
    {"directionalLight", TFn::kDirectionalLight, TFn::kLight, false},
    {"pointLight", TFn::kPointLight, TFn::kLight, false},
    {"spotLight", TFn::kSpotLight, TFn::kLight, false},
    {"volumeLight", TFn::kVolumeLight, TFn::kLight, false},
    {"geometryFilter", TFn::kGeometryFilter, TFn::kDependencyNode, true},
    {"blendShape", TFn::kBlendShape, TFn::kGeometryFilter, false},
    {"cluster", TFn::kCluster, TFn::kGeometryFilter, false},
    {"clusterAlt", TFn::kClusterOther, TFn::kGeometryFilter, false},
    {"skinCluster", TFn::kSkinCluster, TFn::kGeometryFilter, false},
    {"wrap", TFn::kWrap, TFn::kGeometryFilter, false},
    {"objectSet", TFn::kSet, TFn::kDependencyNode, false},
    {"file", TFn::kFileTexture, TFn::kDependencyNode, false},
    {"layeredTexture", TFn::kLayeredTexture, TFn::kDependencyNode, false},
    {"dagPose", TFn::kDagPose, TFn::kDependencyNode, false},
    {"polySmoothFacet", TFn::kSmoothFacet, TFn::kDependencyNode, false},
    {"lambert", TFn::kLambert, TFn::kDependencyNode, false},
    {"reflect", TFn::kReflect, TFn::kLambert, true},
    {"phong", TFn::kPhong, TFn::kReflect, false},
    {"place2dTexture", TFn::kPlace2dTexture, TFn::kDependencyNode, false},
    {"animCurve", TFn::kAnimCurve, TFn::kDependencyNode, true},
    {"animCurveTA", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveTL", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveTT", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveTU", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveUA", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveUL", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveUT", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"animCurveUU", TFn::kAnimCurve, TFn::kAnimCurve, false},
    {"groupId", TFn::kGroupId, TFn::kDependencyNode, false},
};

// Codes that are no node types: attributes, data, components.
const std::pair<int, int> kOtherCodes[] = {
    {TFn::kNumericAttribute, TFn::kAttribute}, {TFn::kCompoundAttribute, TFn::kAttribute},
    {TFn::kAttribute3Float, TFn::kCompoundAttribute}, {TFn::kAttribute3Double, TFn::kCompoundAttribute},
    {TFn::kMessageAttribute, TFn::kAttribute}, {TFn::kMatrixAttribute, TFn::kAttribute},
    {TFn::kTypedAttribute, TFn::kAttribute}, {TFn::kEnumAttribute, TFn::kAttribute},
    {TFn::kUnitAttribute, TFn::kAttribute}, {TFn::kGenericAttribute, TFn::kAttribute},
    {TFn::kAttribute, 0}, {TFn::kData, 0}, {TFn::kMatrixData, TFn::kData}, {TFn::kComponent, 0},
    {TFn::kMeshData, TFn::kData}, {TFn::kNurbsSurfaceData, TFn::kData}, {TFn::kMeshPolygonComponent, TFn::kComponent},
    {TFn::kDoubleIndexedComponent, TFn::kComponent}, {TFn::kSingleIndexedComponent, TFn::kComponent},
};

// depth 0 rows are top-level; deeper rows are children of the last row one level up. Kinds:
// bool byte short int float double angle distance time enum message matrix string geometry
// compound, the triples color (R/G/B) double3 angle3 distance3 (X/Y/Z), float2 (U/V); "[]" marks
// an array.
struct AttrRow {
    const char* type;
    int depth;
    const char* longName;
    const char* shortName;
    const char* kind;
    double def;
};

const AttrRow kAttrs[] = {
    {"dependNode", 0, "message", "msg", "message", 0},
    {"dagNode", 0, "visibility", "v", "bool", 1},
    {"dagNode", 0, "worldMatrix", "wm", "matrix[]", 0},
    {"transform", 0, "translate", "t", "distance3", 0},
    {"transform", 0, "rotate", "r", "angle3", 0},
    {"transform", 0, "scale", "s", "double3", 1},
    {"transform", 0, "rotateAxis", "ra", "angle3", 0},
    {"transform", 0, "rotatePivot", "rp", "distance3", 0},
    {"transform", 0, "rotatePivotTranslation", "rpt", "distance3", 0},
    {"transform", 0, "scalePivot", "sp", "distance3", 0},
    {"transform", 0, "scalePivotTranslation", "spt", "distance3", 0},
    {"transform", 0, "rotateOrder", "ro", "enum", 0},
    {"joint", 0, "jointOrient", "jo", "angle3", 0},
    {"joint", 0, "bindPose", "bps", "matrix", 0},
    {"lookAt", 0, "twist", "tws", "angle", 0},
    {"camera", 0, "focalLength", "fl", "double", 35},
    {"camera", 0, "horizontalFilmAperture", "hfa", "double", 1.41732},
    {"camera", 0, "verticalFilmAperture", "vfa", "double", 0.94488},
    {"camera", 0, "lensSqueezeRatio", "lsr", "double", 1},
    {"camera", 0, "filmFit", "ff", "enum", 1},
    {"camera", 0, "nearClipPlane", "ncp", "distance", 0.1},
    {"camera", 0, "farClipPlane", "fcp", "distance", 10000},
    {"camera", 0, "focusDistance", "fd", "distance", 5},
    {"camera", 0, "orthographic", "o", "bool", 0},
    {"camera", 0, "clippingPlanes", "cpl", "bool", 1},
    {"light", 0, "color", "cl", "color", 1},
    {"light", 0, "intensity", "in", "float", 1},
    {"spotLight", 0, "coneAngle", "ca", "angle", 0.6981317007977318},
    {"mesh", 0, "inMesh", "i", "geometry", 0},
    {"mesh", 0, "outMesh", "o", "geometry", 0},
    {"nurbsSurface", 0, "create", "cr", "geometry", 0},
    {"nurbsSurface", 0, "local", "l", "geometry", 0},
    {"nurbsSurface", 0, "curvePrecision", "cp", "short", 4},
    {"nurbsSurface", 0, "curvePrecisionShaded", "cps", "short", 4},
    {"nurbsSurfaceAlt", 0, "create", "cr", "geometry", 0},
    {"nurbsSurfaceAlt", 0, "local", "l", "geometry", 0},
    {"nurbsSurfaceAlt", 0, "curvePrecision", "cp", "short", 4},
    {"nurbsSurfaceAlt", 0, "curvePrecisionShaded", "cps", "short", 4},
    {"geometryFilter", 0, "envelope", "en", "float", 1},
    {"geometryFilter", 0, "input", "ip", "compound[]", 0},
    {"geometryFilter", 1, "inputGeometry", "ig", "geometry", 0},
    {"geometryFilter", 1, "groupId", "gi", "int", 0},
    {"geometryFilter", 0, "outputGeometry", "og", "geometry[]", 0},
    {"skinCluster", 0, "geomMatrix", "gm", "matrix", 0},
    {"skinCluster", 0, "bindPreMatrix", "pm", "matrix[]", 0},
    {"cluster", 0, "weightList", "wl", "compound[]", 0},
    {"cluster", 1, "weights", "w", "float[]", 1},
    {"cluster", 0, "relative", "rel", "bool", 0},
    {"cluster", 0, "handle", "hdl", "message", 0},
    {"clusterAlt", 0, "weightList", "wl", "compound[]", 0},
    {"clusterAlt", 1, "weights", "w", "float[]", 1},
    {"clusterAlt", 0, "relative", "rel", "bool", 0},
    {"clusterAlt", 0, "handle", "hdl", "message", 0},
    {"blendShape", 0, "weight", "w", "float[]", 0},
    {"dagPose", 0, "members", "m", "message[]", 0},
    {"dagPose", 0, "worldMatrix", "wm", "matrix[]", 0},
    {"dagPose", 0, "xformMatrix", "xm", "matrix[]", 0},
    {"dagPose", 0, "bindPose", "bp", "bool", 0},
    {"polySmoothFacet", 0, "divisions", "dv", "int", 1},
    {"objectSet", 0, "surfaceShader", "ss", "color", 0},
    {"objectSet", 0, "usedBy", "ub", "message[]", 0},
    {"lambert", 0, "color", "c", "color", 0.5},
    {"lambert", 0, "transparency", "it", "color", 0},
    {"lambert", 0, "ambientColor", "ambc", "color", 0},
    {"lambert", 0, "outColor", "oc", "color", 0},
    {"reflect", 0, "specularColor", "sc", "color", 0.5},
    {"phong", 0, "cosPower", "cp", "float", 20},
    {"file", 0, "fileTextureName", "ftn", "string", 0},
    {"file", 0, "uv", "uv", "float2", 0},
    {"file", 0, "outColor", "oc", "color", 0},
    {"place2dTexture", 0, "offsetU", "ofu", "float", 0},
    {"place2dTexture", 0, "offsetV", "ofv", "float", 0},
    {"place2dTexture", 0, "translateFrameU", "tfu", "float", 0},
    {"place2dTexture", 0, "translateFrameV", "tfv", "float", 0},
    {"place2dTexture", 0, "rotateFrame", "rf", "angle", 0},
    {"place2dTexture", 0, "rotateUV", "ro", "angle", 0},
    {"place2dTexture", 0, "repeatU", "reu", "float", 1},
    {"place2dTexture", 0, "repeatV", "rev", "float", 1},
    {"place2dTexture", 0, "outUV", "ouv", "float2", 0},
    {"layeredTexture", 0, "inputs", "cs", "compound[]", 0},
    {"layeredTexture", 1, "color", "c", "color", 0},
    {"layeredTexture", 1, "alpha", "a", "float", 1},
    {"layeredTexture", 1, "blendMode", "bm", "enum", 1},
    {"layeredTexture", 0, "outColor", "oc", "color", 0},
    {"animCurveTA", 0, "input", "i", "time", 0},
    {"animCurveTA", 0, "output", "o", "angle", 0},
    {"animCurveTL", 0, "input", "i", "time", 0},
    {"animCurveTL", 0, "output", "o", "distance", 0},
    {"animCurveTT", 0, "input", "i", "time", 0},
    {"animCurveTT", 0, "output", "o", "time", 0},
    {"animCurveTU", 0, "input", "i", "time", 0},
    {"animCurveTU", 0, "output", "o", "double", 0},
    {"animCurveUA", 0, "input", "i", "double", 0},
    {"animCurveUA", 0, "output", "o", "angle", 0},
    {"animCurveUL", 0, "input", "i", "double", 0},
    {"animCurveUL", 0, "output", "o", "distance", 0},
    {"animCurveUT", 0, "input", "i", "double", 0},
    {"animCurveUT", 0, "output", "o", "time", 0},
    {"animCurveUU", 0, "input", "i", "double", 0},
    {"animCurveUU", 0, "output", "o", "double", 0},
    {"groupId", 0, "groupId", "id", "int", 0},
};

struct EnumRow {
    const char* attr;
    const char* fields;  // separated by '|', numbered from 0
};
const EnumRow kEnums[] = {
    {"rotateOrder", "xyz|yzx|zxy|xzy|yxz|zyx"},
    {"filmFit", "Fill|Horizontal|Vertical|Overscan"},
    {"blendMode", "None|Over|In|Out|Add|Subtract|Multiply"},
};

struct Kind {
    const char* name;
    AttrKind kind;
    int apiType;
    int dataType;
    UnitKind unit;
    const char* suffixes;  // triples and pairs
};
const Kind kKinds[] = {
    {"bool", AttrKind::Numeric, TFn::kNumericAttribute, 1, UnitKind::None, nullptr},
    {"byte", AttrKind::Numeric, TFn::kNumericAttribute, 2, UnitKind::None, nullptr},
    {"short", AttrKind::Numeric, TFn::kNumericAttribute, 4, UnitKind::None, nullptr},
    {"int", AttrKind::Numeric, TFn::kNumericAttribute, 7, UnitKind::None, nullptr},
    {"float", AttrKind::Numeric, TFn::kNumericAttribute, 10, UnitKind::None, nullptr},
    {"double", AttrKind::Numeric, TFn::kNumericAttribute, 13, UnitKind::None, nullptr},
    {"angle", AttrKind::Numeric, TFn::kUnitAttribute, 13, UnitKind::Angle, nullptr},
    {"distance", AttrKind::Numeric, TFn::kUnitAttribute, 13, UnitKind::Distance, nullptr},
    {"time", AttrKind::Numeric, TFn::kUnitAttribute, 13, UnitKind::Time, nullptr},
    {"enum", AttrKind::Enum, TFn::kEnumAttribute, 4, UnitKind::None, nullptr},
    {"message", AttrKind::Message, TFn::kMessageAttribute, 0, UnitKind::None, nullptr},
    {"matrix", AttrKind::Matrix, TFn::kMatrixAttribute, 0, UnitKind::None, nullptr},
    {"string", AttrKind::String, TFn::kTypedAttribute, 0, UnitKind::None, nullptr},
    {"geometry", AttrKind::Geometry, TFn::kGenericAttribute, 0, UnitKind::None, nullptr},
    {"compound", AttrKind::Compound, TFn::kCompoundAttribute, 0, UnitKind::None, nullptr},
    {"color", AttrKind::Compound, TFn::kAttribute3Float, 12, UnitKind::None, "RGB"},
    {"double3", AttrKind::Compound, TFn::kAttribute3Double, 15, UnitKind::None, "XYZ"},
    {"angle3", AttrKind::Compound, TFn::kAttribute3Double, 15, UnitKind::Angle, "XYZ"},
    {"distance3", AttrKind::Compound, TFn::kAttribute3Double, 15, UnitKind::Distance, "XYZ"},
    {"float2", AttrKind::Compound, TFn::kCompoundAttribute, 11, UnitKind::None, "UV"},
};

const Kind& kindOf(const std::string& name) {
    for (const Kind& k : kKinds)
        if (name == k.name) return k;
    return kKinds[0];
}

struct Table {
    std::vector<AttrRec> attrs;  // static attributes; ids 0 .. size - 1
    std::vector<std::unique_ptr<TypeRec>> types;
    std::unordered_map<std::string, const TypeRec*> byName;
    std::unordered_map<int, const TypeRec*> byCode;  // first (base) type of a code
    std::unordered_map<int, int> parentOf;
    std::vector<int> parentByCode;  // parentOf as a table by code (0 where absent)
};

std::uint32_t newStaticAttr(Table& s, AttrRec rec) {
    rec.gen = 1;
    rec.isStatic = true;
    s.attrs.push_back(std::move(rec));
    return static_cast<std::uint32_t>(s.attrs.size() - 1);
}

bool isA(const Table& t, int code, int type) {
    for (int c = code, guard = 0; c != 0 && guard < 16; ++guard) {
        if (c == type) return true;
        auto it = t.parentOf.find(c);
        c = it == t.parentOf.end() || it->second == c ? 0 : it->second;
    }
    return false;
}

// One row (and, for triples, its three children) appended to the type's attributes.
std::uint32_t addRow(Table& s, TypeRec& t, const AttrRow& row, std::int32_t parent) {
    std::string kind = row.kind;
    bool array = kind.size() > 2 && kind.compare(kind.size() - 2, 2, "[]") == 0;
    if (array) kind.resize(kind.size() - 2);
    const Kind& k = kindOf(kind);
    AttrRec a;
    a.longName = row.longName;
    a.shortName = row.shortName;
    a.kind = k.kind;
    a.apiType = k.apiType;
    a.dataType = k.dataType;
    a.unit = k.suffixes ? UnitKind::None : k.unit;
    a.array = array;
    a.parent = parent;
    a.def = row.def;
    a.usedAsColor = kind == "color";
    a.keyable = k.kind == AttrKind::Numeric || k.kind == AttrKind::Enum;
    for (const EnumRow& e : kEnums) {
        if (k.kind != AttrKind::Enum || a.longName != e.attr) continue;
        std::string f = e.fields;
        int value = 0;
        for (std::size_t start = 0; start <= f.size();) {
            std::size_t bar = f.find('|', start);
            if (bar == std::string::npos) bar = f.size();
            a.fields.emplace_back(f.substr(start, bar - start), value++);
            start = bar + 1;
        }
    }
    std::uint32_t id = newStaticAttr(s, a);
    t.attrs.push_back(id);
    if (parent >= 0) s.attrs[static_cast<std::size_t>(parent)].children.push_back(id);
    if (k.suffixes) {
        for (const char* c = k.suffixes; *c; ++c) {
            AttrRec child;
            child.longName = std::string(row.longName) + *c;
            child.shortName = std::string(row.shortName) + static_cast<char>(std::tolower(*c));
            child.kind = AttrKind::Numeric;
            child.dataType = (k.dataType == 12 || k.dataType == 11) ? 10 : 13;
            child.unit = k.unit;
            child.apiType = k.unit == UnitKind::None ? int(TFn::kNumericAttribute) : int(TFn::kUnitAttribute);
            child.parent = static_cast<std::int32_t>(id);
            child.def = row.def;
            child.keyable = true;
            std::uint32_t cid = newStaticAttr(s, child);
            s.attrs[id].children.push_back(cid);
            t.attrs.push_back(cid);
        }
    }
    return id;
}

Table build() {
    Table table;
    Table& s = table;
    for (const auto& oc : kOtherCodes) table.parentOf[oc.first] = oc.second;
    int typeId = 1;
    for (const TypeRow& row : kTypes) {
        auto t = std::make_unique<TypeRec>();
        t->name = row.name;
        t->code = row.code;
        t->typeId = typeId++;
        table.parentOf.emplace(row.code, row.parent);
        const TypeRec* base = nullptr;
        // The parent type is the one named by code, or for the curve kinds the abstract curve.
        for (const auto& other : table.types)
            if (other->code == (row.code == row.parent ? row.code : row.parent) && !base) base = other.get();
        if (base) t->attrs = base->attrs;
        t->dag = isA(table, row.code, TFn::kDagNode);
        t->shape = isA(table, row.code, TFn::kShape) && row.code != TFn::kShape && row.code != TFn::kLight;
        std::vector<std::int32_t> stack;
        for (const AttrRow& a : kAttrs) {
            if (std::strcmp(a.type, row.name) != 0) continue;
            stack.resize(static_cast<std::size_t>(a.depth));
            std::int32_t parent = a.depth > 0 ? stack.back() : -1;
            stack.push_back(static_cast<std::int32_t>(addRow(s, *t, a, parent)));
        }
        for (std::uint32_t id : t->attrs) {
            t->byName.emplace(s.attrs[id].longName, id);
            t->byName.emplace(s.attrs[id].shortName, id);
        }
        // Which static ids the type owns: those its long name finds.
        for (std::uint32_t id : t->attrs) {
            if (id >= t->ownsStatic.size()) t->ownsStatic.resize(id + 1, false);
            auto owner = t->byName.find(s.attrs[id].longName);
            t->ownsStatic[id] = owner != t->byName.end() && owner->second == id;
        }
        if (!table.byCode.count(row.code)) table.byCode[row.code] = t.get();
        if (!row.abstract || row.code == TFn::kWorld) table.byName[row.name] = t.get();
        table.types.push_back(std::move(t));
    }
    for (const auto& entry : table.parentOf) {
        if (entry.first < 0) continue;
        const std::size_t code = static_cast<std::size_t>(entry.first);
        if (code >= table.parentByCode.size()) table.parentByCode.resize(code + 1, 0);
        table.parentByCode[code] = entry.second;
    }
    return table;
}

Table& table() {
    static Table t = build();
    return t;
}

}  // namespace

std::size_t staticAttrCount() { return table().attrs.size(); }
AttrRec& staticAttr(std::uint32_t id) { return table().attrs[id]; }

const TypeRec* typeByName(const std::string& name) {
    auto it = table().byName.find(name);
    return it == table().byName.end() ? nullptr : it->second;
}

const TypeRec* typeByCode(int code) {
    auto it = table().byCode.find(code);
    return it == table().byCode.end() ? nullptr : it->second;
}

int typeParent(int code) {
    const std::vector<int>& parents = table().parentByCode;
    return code >= 0 && static_cast<std::size_t>(code) < parents.size() ? parents[static_cast<std::size_t>(code)] : 0;
}

const char* typeCodeName(int code) {
    const TypeRec* t = typeByCode(code);
    return t ? t->name.c_str() : "";
}

}  // namespace tulo_detail

bool tuloTypeIsA(int code, int type) {
    if (type == 0 || code == 0) return false;
    for (int c = code, guard = 0; c != 0 && guard < 16; c = tulo_detail::typeParent(c), ++guard)
        if (c == type) return true;
    return false;
}
