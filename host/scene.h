// The stand-in's scene store: nodes, attributes, values, connections, DAG links and curves.
// Internal to the library; the public API reaches it through handles.
#pragma once

#include <array>
#include <iosfwd>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "tmath.h"
#include "tobject.h"
#include "tplug.h"

namespace tulo_detail {

struct PathLink;

// Stores a call's status where the caller asked for it, and returns it.
inline TStatus put(TStatus* status, TStatus value) {
    if (status) *status = value;
    return value;
}

constexpr std::int32_t kNoIndex = -1;     // entry of an attribute that is not an array
constexpr std::int32_t kArrayPlug = -2;   // the array plug itself (last entry only)
constexpr std::int32_t kUnresolved = -3;  // array ancestor without an index

using PathEntry = TPlugEntry;
// From the top-level attribute down to the plug's own attribute.
using PlugPath = std::vector<PathEntry>;

enum class AttrKind { Numeric, Compound, Message, Matrix, String, Enum, Geometry };
enum class UnitKind { None = 0, Angle = 1, Distance = 2, Time = 3 };

struct AttrRec {
    std::uint32_t gen = 0;  // 0: slot free
    std::string longName, shortName;
    AttrKind kind = AttrKind::Numeric;
    int apiType = TFn::kNumericAttribute;
    int dataType = 0;  // numeric data type code (1 bool ... 15 three doubles)
    UnitKind unit = UnitKind::None;
    bool array = false, isStatic = false;
    std::int32_t parent = -1;
    std::vector<std::uint32_t> children;
    double def = 0;
    bool hasMin = false, hasMax = false, hasSoftMin = false, hasSoftMax = false;
    double min = 0, max = 0, softMin = 0, softMax = 0;
    bool connectable = true, storable = true, hidden = false, keyable = false, internal = false;
    bool usedAsColor = false;
    std::vector<std::pair<std::string, int>> fields;  // enum fields
    // Dynamic attributes: the node they were added to (id + 1, 0 when unattached) and the order key.
    std::uint32_t owner = 0, ownerGen = 0;
    std::uint64_t addSeq = 0;
};

struct Value {
    double num = 0;
    std::string str;
    TObject geometry;  // geometry data: the shape node whose geometry it is
    std::array<double, 16> m{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
};

struct TypeRec {
    std::string name;
    int code = 0;
    bool dag = false, shape = false;
    std::vector<std::uint32_t> attrs;  // static, inherited first, depth-first
    std::unordered_map<std::string, std::uint32_t> byName;
    int typeId = 0;
    std::vector<bool> ownsStatic;  // by static id: byName finds the id by its long name
};

struct Key {
    double t = 0;  // seconds, or the driver's value for driven keys
    double v = 0;
    int inType = 0, outType = 0;
    double inM = 0, outM = 0;  // internal value per second
    double inL = 0, outL = 0;  // seconds (weighted curves)
    bool tangentsLocked = true, weightsLocked = false;
};

struct CurveData {
    int type = 3;  // 0 TA, 1 TL, 2 TT, 3 TU, 4-7 driven
    bool weighted = false;
    std::vector<Key> keys;
};

struct Limits {
    bool enabled[24] = {}, set[24] = {};
    double value[24] = {};
};

// The face-vertices of each vertex: those of vertex v are faceVertices[offsets[v] .. offsets[v + 1]).
struct MeshAdjacency {
    std::vector<int> offsets, faceVertices;
};

// A polygon mesh. Face-vertex arrays run polygon by polygon; offsets has one entry more than
// counts. Normals are indexed per face-vertex; UV and colour ids are -1 where unassigned.
struct MeshData {
    std::vector<float> points;  // x y z per vertex
    std::vector<int> counts, offsets, connects;
    std::vector<float> normals;  // x y z per normal
    std::vector<int> normalIds;  // per face-vertex
    struct UVSet {
        std::string name;
        std::vector<float> u, v;
        std::vector<int> ids;  // per face-vertex, or empty when none assigned
        std::vector<std::uint32_t> textures;  // linked texture nodes
    };
    std::vector<UVSet> uvSets;
    std::vector<float> colors;  // r g b a per face-vertex, or empty when uncoloured
    std::vector<int> colorIds;  // per face-vertex: running index, -1 uncoloured
    std::size_t numVertices() const { return points.size() / 3; }
    std::size_t numPolygons() const { return counts.size(); }
    // Face-vertices by vertex, built when first needed and kept while a function set or iterator
    // that asked for it holds it (the topology of a mesh never changes once made).
    std::shared_ptr<const MeshAdjacency> adjacency() const;
    mutable std::weak_ptr<const MeshAdjacency> adjacencyCache;
    void smoothNormals();  // one per vertex, from the polygons
    void hardNormals();    // one per face-vertex: its polygon's normal
};

// A NURBS surface: CVs x y z w, U-major (V fastest), repeats of periodic forms included.
struct NurbsData {
    std::vector<double> cvs;
    int numU = 0, numV = 0, degreeU = 0, degreeV = 0, formU = 1, formV = 1;
    std::vector<double> knotsU, knotsV;
    bool rational = false;
};

struct SetMember {
    std::vector<TObject> path;  // a DAG path, or the node alone for a dependency node
    TObject component;
};

// Skin weights per output geometry: influence-major, weights[i * points + p].
struct SkinData {
    std::vector<std::uint32_t> influences;
    std::map<std::int32_t, std::vector<float>> weights;  // by output logical index
    std::map<std::int32_t, std::size_t> points;
};

struct BlendData {
    std::vector<std::uint32_t> bases;
    std::map<std::pair<std::size_t, std::int32_t>, std::vector<std::uint32_t>> targets;  // (base, weight) -> shapes
};

struct ComponentRec {
    std::uint32_t gen = 0;
    int type = 0;                      // 537 vertices, 525 CVs, own face code
    std::vector<int> first, second;    // element indices (second: V of CVs)
    int complete = -1;                 // >= 0: all elements 0 .. complete - 1
};

struct NodeRec {
    std::uint32_t gen = 0;  // 0: dead
    const TypeRec* type = nullptr;
    std::string name;
    std::vector<std::uint32_t> dynAttrs;  // top-level dynamic attributes in addition order
    // Each long and short name of the dynamic attributes and their children: the first in that
    // order (depth first) holding it.
    std::unordered_map<std::string, std::uint32_t> dynNames;
    // The dynamic attributes with their children, depth first: attribute(i) past the static ones.
    std::vector<std::uint32_t> dynAttrList;
    std::map<PlugPath, Value> values;
    std::map<PlugPath, std::vector<std::int32_t>> elements;  // key ends with {array attr, kArrayPlug}
    std::set<PlugPath> locks;
    std::map<PlugPath, std::string> labels;
    std::vector<std::uint32_t> in, out;  // connection ids
    std::vector<std::uint32_t> parents, children;  // DAG; the world is node 0
    std::unique_ptr<CurveData> curve;
    std::unique_ptr<Limits> limits;
    std::shared_ptr<MeshData> mesh;
    std::shared_ptr<NurbsData> nurbs;
    std::unique_ptr<SkinData> skin;
    std::unique_ptr<BlendData> blend;
    std::vector<SetMember> members;  // sets, in order
    int restriction = 0;             // sets: 5 for a shading group
    // DAG answers kept while the scene's DAG epoch stays: the number of paths and instance 0.
    mutable std::uint64_t pathCountEpoch = 0, firstPathEpoch = 0;
    mutable std::uint32_t pathCount = 0;
    mutable std::shared_ptr<const PathLink> firstPath;
};

struct Conn {
    std::uint32_t src = 0, dst = 0;
    PlugPath srcPath, dstPath;
};

struct Fault {
    std::string kind, text;
};

struct Scene {
    std::vector<NodeRec> nodes;
    std::vector<AttrRec> attrs;  // dynamic attributes; id = static count + index
    std::vector<Conn> conns;
    std::vector<std::uint32_t> connGen;  // 0: disconnected
    std::vector<std::pair<std::uint32_t, Value>> data;  // {gen, matrix data or geometry reference}
    std::vector<ComponentRec> components;
    std::uint32_t nextGen = 1;
    std::uint64_t nextAddSeq = 1;
    // Counts every change of DAG links that can make a path invalid or change a node's paths (a
    // removed or added parent, a deleted node, a reset; not a new node); never goes back.
    std::uint64_t dagEpoch = 1;
    // Names: every live node by full name; first-free-number hints per scope.
    std::unordered_map<std::string, std::vector<std::uint32_t>> byName;
    std::unordered_map<std::string, std::uint32_t> dgNameCount;  // of byName's entries, the non-DAG nodes
    struct Hint {
        std::uint64_t next = 1, epoch = 0;
    };
    std::unordered_map<std::string, Hint> hints;        // key: scope id + "|" + base
    std::unordered_map<std::string, std::uint64_t> freedEpoch;  // per base
    std::set<std::string> namespaces;  // full names without leading ':'
    std::string currentNamespace;      // "" = root
    // Units and time (units survive a reset).
    int uiTime = 6, uiDistance = 6, uiAngle = 2;
    double currentTime = 0, minTime = 0, maxTime = 1;
    // Active selection: {path nodes (a DG node alone), component}.
    std::vector<std::pair<std::vector<TObject>, TObject>> selection;
    std::vector<Fault> faults;
    std::vector<std::string> transcript;
    // Set members by the node their path ends at (a dependency node: itself): {set, index in its
    // members}, by set and then by index. A deleted set's entries stay behind it (its gen is 0).
    std::unordered_map<std::uint32_t, std::vector<std::pair<std::uint32_t, std::uint32_t>>> membersByEnd;

    Scene();
    void reset();
};

Scene& scene();
void freshScene();  // world, the default cameras, root namespace, playback 0 to 1 s
void fault(const std::string& kind, const std::string& text);
inline void dagChanged() { ++scene().dagEpoch; }
void note(const std::string& line);  // transcript

// Type table and its static attributes (ids below staticAttrCount()).
std::size_t staticAttrCount();
AttrRec& staticAttr(std::uint32_t id);
const TypeRec* typeByName(const std::string& name);
const TypeRec* typeByCode(int code);
int typeParent(int code);
const char* typeCodeName(int code);

// Handles.
NodeRec* node(const TObject& o);  // null for null, dead or non-node handles
NodeRec* liveNode(const TObject& o, const char* user);  // records a dead-node fault
TObject handle(std::uint32_t id);
AttrRec* attr(const TObject& o);
AttrRec& attrAt(std::uint32_t id);
TObject attrHandle(std::uint32_t id);

// Nodes.
TObject createNode(const TypeRec& type, const std::string& name, std::uint32_t parent);
void destroyNode(std::uint32_t id);
bool isDag(const NodeRec& n);
// Attribute lookup on a node by long or short name, children included; UINT32_MAX when absent.
std::uint32_t findAttr(const NodeRec& n, const std::string& name);
// Keep dynNames and dynAttrList in step: after a dynamic attribute is appended, after one is removed.
void indexDynAttr(NodeRec& n, std::uint32_t attr);
void reindexDynAttrs(NodeRec& n);
bool nodeHasAttr(const NodeRec& n, std::uint32_t attr);
std::vector<std::uint32_t> nodeAttrs(const NodeRec& n);  // attribute(i) order
std::size_t nodeAttrCount(const NodeRec& n);             // nodeAttrs(n).size()
std::uint32_t nodeAttrAt(const NodeRec& n, std::size_t index);  // nodeAttrs(n)[index], index below the count
std::uint64_t attrOrder(std::uint32_t attr);             // sorts like attribute(i)
PlugPath pathFor(std::uint32_t attr);                    // array ancestors unresolved, leaf array plug

// Values and connections.
bool resolved(const PlugPath& p);
void markElements(NodeRec& n, const PlugPath& p);
Value* storedValue(NodeRec& n, const PlugPath& p);
// The source feeding a plug (directly or through a connected compound ancestor).
bool sourceOf(std::uint32_t nodeId, const PlugPath& p, std::uint32_t& srcNode, PlugPath& srcPath);
bool connect(std::uint32_t src, const PlugPath& sp, std::uint32_t dst, const PlugPath& dp);
bool disconnect(std::uint32_t src, const PlugPath& sp, std::uint32_t dst, const PlugPath& dp);
std::vector<std::uint32_t> sortedConns(const NodeRec& n, bool outgoing);
void removeValuesUnder(NodeRec& n, std::uint32_t attr);
// Set membership: whether a live set holds the member already; appending one (indexed by its end).
bool setHolds(std::uint32_t set, const SetMember& member);
void appendMember(std::uint32_t set, SetMember&& member);
// membersByEnd's entries of a node (empty when none).
const std::vector<std::pair<std::uint32_t, std::uint32_t>>& membersEndingAt(std::uint32_t id);
// Plug values (tplug.cpp).
std::uint32_t dagWorldMatrixAttr();
std::string nodeDisplayName(std::uint32_t id);  // DAG nodes: partial path of instance 0
std::vector<std::int32_t> existingElements(std::uint32_t nodeId, const PlugPath& arrayPath);
std::int64_t toInt64(double v);          // truncates, saturating; NaN gives 0
double castTo(int dataType, double v);   // C cast to the numeric data type
TStatus readValue(std::uint32_t nodeId, const PlugPath& path, Value& out, int depth);
double evalCurve(const CurveData& c, double t);  // constant extrapolation
double curveInput(std::uint32_t curveNode);       // current time or the driver's value

// Names.
std::string sanitizeName(const std::string& name);
bool isValidAttrName(const std::string& name);
std::string withNamespace(const std::string& name);  // prefixes the current namespace
std::string uniqueName(std::uint32_t id, const std::string& wanted);
void setNodeName(std::uint32_t id, const std::string& name);  // indexes it
void unindexName(std::uint32_t id);
bool namespaceAdd(const std::string& name);  // under the current one
bool namespaceSet(const std::string& name);  // ":" the root; relative, then absolute
std::vector<std::string> namespaceChildren();  // of the current one, full names

// DAG.
bool reparent(std::uint32_t child, std::uint32_t parent, unsigned index, bool keepExistingParents);
std::uint32_t pathCount(std::uint32_t id);
std::vector<std::vector<std::uint32_t>> pathsTo(std::uint32_t id);
std::string shortestSuffix(const std::vector<std::uint32_t>& path);
double plugNumber(std::uint32_t id, const char* name);  // evaluated; 0 when absent
TTransformationMatrix transformationOf(std::uint32_t id);
TMatrix localMatrix(std::uint32_t id);
TMatrix worldMatrix(const std::vector<std::uint32_t>& path);

// Geometry of a shape node in the canonical dump (nothing for other nodes).
void dumpGeometry(std::uint32_t id, std::ostream& out);
// The shape whose geometry a geometry plug carries: through connections and, past a deformer,
// from its output to the matching input (deformers do not deform).
bool geometrySource(std::uint32_t nodeId, const PlugPath& path, std::uint32_t& shape, int depth);
// The first shape (of `type`, 0 any) reached from a plug over connections, up- or downstream.
std::uint32_t shapeFrom(std::uint32_t nodeId, const PlugPath& path, bool downstream, int type);
// The node of a DAG path whose end may be a transform: the first direct shape child of the type.
std::uint32_t shapeOf(const TObject& node, int type);
// A new skin cluster's data: the influences (transforms) in order with zero weights for the
// shape's points, each bound where it stands (bindPreMatrix, a joint's bindPose or a bind dag
// pose), geomMatrix the shape's world matrix. Wiring is the caller's.
void bindSkin(std::uint32_t skin, std::uint32_t shape, const std::vector<std::uint32_t>& influences);
// An element plug path: the array attribute at its logical index.
PlugPath elementPath(std::uint32_t nodeId, const char* arrayAttr, std::int32_t index);

}  // namespace tulo_detail
