// Test API of the stand-in host: builds and inspects scenes and reports host faults.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tdagpath.h"
#include "tplug.h"

namespace standin {

struct Fault {
    std::string kind;  // "index out of range", "unresolved plug", "dead node", ...
    std::string text;
};

// A fresh scene: world, cameras persp/top/front/side (+ perspShape ...), root namespace, playback
// 0 to 1 s. Units survive.
void reset();
// Host session state back to its start (dialogs, rig fakes, option variables, editor state, batch
// off, records); loaded plug-ins stay.
void resetSession();
const std::vector<Fault>& faults();
std::vector<Fault> takeFaults();  // returns the faults and clears them
const std::vector<std::string>& transcript();
void clearTranscript();

// Any node type by name ("transform", "groupId", "animCurveTU", ...); DAG nodes go under
// `parent` (null: the world). Null on an unknown or abstract type.
TObject createNode(const std::string& type, const std::string& name = "", const TObject& parent = TObject());
bool connect(const TPlug& source, const TPlug& destination);
bool disconnect(const TPlug& source, const TPlug& destination);
// The label that a plug's name() shows instead of its attribute path ("blend1.Smile").
bool setLabel(const TPlug& plug, const std::string& label);
// A plug by "node.attr[2].child" text (node by name or DAG path); null when nothing matches.
TPlug plug(const std::string& text);
// A live node by name or unique DAG path suffix; null when none or several match.
TObject find(const std::string& name);

// DAG edits: moves `child` under `parent` (null: the world), or adds an instance there.
bool parent(const TObject& child, const TObject& parent, bool addInstance = false);

// Namespaces: add under the current one; set ":" (root), relative, then absolute; the current
// one (":" at the root) and its children (full names).
bool addNamespace(const std::string& name);
bool setNamespace(const std::string& name);
std::string currentNamespace();
std::vector<std::string> namespaces();

// A driven-key curve (type 4 to 7): driver -> curve input, curve output -> driven.
TObject createDrivenCurve(const TPlug& driver, const TPlug& driven, int type);
// Key tangent in internal units: slope per second (or per driver unit) and length; makes it fixed.
bool setKeyTangent(const TObject& curve, unsigned index, bool inTangent, double slope, double length);

// The answer of "upAxis -q -axis": "y" (the default) or "z"; false, unchanged, for anything else.
// Session state: resetSession sets "y" again.
bool setUpAxis(const std::string& axis);

// UI units: distance 1..8, angle 1..2, time 1..11 (other codes act as seconds).
bool setUnits(int distance, int angle, int time);

// How many live nodes a name or DAG path suffix names.
std::size_t countMatches(const std::string& name);

// Dialogs: each confirmDialog pops the next queued answer; an answer with a title is meant for
// that dialog only (another title is a host fault). An empty queue answers the dismiss string
// and is a host fault too.
struct DialogAnswer {
    std::string text, title;
};
struct DialogRecord {
    std::string title, message;  // the message with real line breaks
    std::vector<std::string> buttons;
    std::string answer;
    bool answered = false;
};
class Dialogs {
public:
    void push(const std::string& answer, const std::string& title = "");
    std::size_t pending() const;
    // The answers no dialog asked for: each a host fault ("unused answer"); the queue is emptied.
    std::vector<DialogAnswer> reportUnused();
    const std::vector<DialogRecord>& records() const;
    void clear();  // the queue and the records
};
Dialogs& dialogs();

// The rig tool's script procedures, faked: off until enabled. Groups 1..12 hold 15, 7, 9, 8, 1,
// 30, 30, 5, 12, 9, 30, 30 links; group 0 holds the reference link 0.
class Rig {
public:
    void enable(bool on = true);
    void clear();
    int addCharacter(const std::string& name);
    bool setLink(int character, int group, int index, const std::string& node);
    std::size_t characterCount() const;
    std::string name(int character) const;
    std::string link(int character, int group, int index) const;  // "" when none
    std::vector<double> offsets(int character, int group, int index) const;  // t, r, s; empty when none
    bool characterized(int character) const;
};
Rig& rig();

// The host program's texts: a script file or a -c argument, named by `source` in error messages
// ("<source>, line <n>: ..."); displayed like any script. False when a statement failed.
bool runProgramText(const std::string& text, const std::string& source);
// From now on a crash prints which plug-in command was running before the process ends by its
// signal (the host program's choice; tests leave the default handlers alone).
void reportCrashes();

// Batch mode (the "about -b" answer): off in the library, on in the host program.
void setBatch(bool batch);
// Display lines (results, errors, plug-in messages) also go to this sink.
void setEcho(std::function<void(const std::string&)> echo);
// Incidental commands kept as sent (bake, delete channels).
const std::vector<std::string>& records();

// Plug-ins: a path, or a name looked for on TULO_PLUG_IN_PATH (name, name.so, libname.so);
// loading calls initializePlugin, unloading uninitializePlugin. Registrations left after unloading
// are host faults and are removed.
bool loadPlugin(const std::string& nameOrPath, std::string* error = nullptr);
bool unloadPlugin(const std::string& name, std::string* error = nullptr);
bool unloadAllPlugins(std::string* error = nullptr);
std::vector<std::string> loadedPlugins();
bool hasCommand(const std::string& name);
bool hasTranslator(const std::string& name);
// Runs hook (while set; null clears it) once a plug-in file was found and judged and before it is
// loaded, with the path it was found under: a test renames names there.
void setBeforePluginLoad(std::function<void(const std::string& path)> hook);
// Runs hook (while set; null clears it) on the walk of a plug-in path each time a folder on it was
// judged, before the next name in it is opened, with the folder's path (free of links): a test
// swaps folders there.
void setDuringPluginWalk(std::function<void(const std::string& folder)> hook);

// ---- Geometry, shading and deformer builders (raw: they skip the API's validation where noted).

// A cube of edge `size` centred on the origin under a new transform `name`: 8 vertices, 6 quads,
// normals smooth (8) or hard (24). Returns the shape.
TObject createCube(const std::string& name, bool hard, double size = 2, const TObject& parent = TObject());
// A flat grid of n x m quads in the XZ plane, (n + 1) x (m + 1) vertices. Returns the shape.
TObject createGrid(const std::string& name, int n, int m, const TObject& parent = TObject());
// A surface without the API's checks (for bad data); CVs x y z w U-major. Returns the shape.
TObject createNurbs(const std::string& name, const std::vector<double>& cvs, const std::vector<double>& knotsU,
                    const std::vector<double>& knotsV, int degreeU, int degreeV, int formU, int formV,
                    const TObject& parent = TObject());
// Sets: members in order; a shading group is a set with restriction 5 fed by a shader's outColor.
TObject createSet(const std::string& name, int restriction = 0);
bool addToSet(const TObject& set, const TDagPath& path, const TObject& component = TObject());
TObject createShadingGroup(const TObject& shader, const std::string& name = "");
// Faces of a mesh path into a shading group (none listed: the whole instance).
bool assignFaces(const TObject& shadingGroup, const TDagPath& mesh, const std::vector<int>& faces = {});
// A file texture with its placement node feeding "uv", its outColor into `into` when not null.
TObject createFileTexture(const std::string& name, const std::string& file, const TPlug& into = TPlug());
bool linkUVSetTexture(const TObject& mesh, const std::string& uvSet, const TObject& texture);
// r g b a per face-vertex; a negative r leaves the face-vertex uncoloured.
bool setFaceVertexColors(const TObject& mesh, const std::vector<float>& rgba);
// original (outMesh or local) -> input[index].inputGeometry, outputGeometry[index] -> final.
bool connectDeformer(const TObject& deformer, int index, const TObject& original, const TObject& final);
// A skin cluster from `original` to `final` with its influences and their weights (one list per
// influence, one weight per point); bind poses: joints get "bindPose", other influences a dag pose.
TObject createSkin(const std::string& name, const TObject& original, const TObject& final,
                   const std::vector<TObject>& influences, const std::vector<std::vector<float>>& weights);
// A cluster deforming one member (a path and a component) with a handle under `handleParent`,
// its set linked through "message", the member's weights in "wl[0].w[element]".
TObject createCluster(const std::string& name, const TObject& handleParent, const TDagPath& member,
                      const TObject& component, const std::vector<float>& weights, bool relative);

// Canonical text of the whole scene, sorted by path or name: equal scenes dump equally.
std::string dump();
// Named scenes for tests and "standin_scene <name>"; false for an unknown name.
bool buildScene(const std::string& name);
std::vector<std::string> sceneNames();

}  // namespace standin
