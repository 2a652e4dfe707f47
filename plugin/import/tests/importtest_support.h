// Import tests: scenes built with the SDK and written as Zeq files, then imported into the stand-in
// through the module's commands (ZeqTuloModuleTest) or through a driver linked into the test.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "scene/tests/kfiletransform_support.h"
#include "zeqtulo_test_support.h"

class ZeqTuloUserParams;

namespace zeqsdk_400 {
class KFCurve;
class KZeqMesh;
class KZeqNode;
class KZeqScene;
class KZeqSdkManager;
class KTime;
}  // namespace zeqsdk_400

namespace importtest {

using Builder = std::function<void(zeqsdk_400::KZeqSdkManager&, zeqsdk_400::KZeqScene&)>;

// The scene the builder fills, written at path (binary Zeq 6.0, or ASCII); false with the
// exporter's error.
bool WriteScene(const std::string& path, const Builder& build, bool ascii = false, std::string* error = nullptr);
// The same through a row of the exporter (KZeqExporter::EFileFormat), protected by the password
// when one is given.
bool WriteSceneAs(const std::string& path, const Builder& build, int row, std::string* error = nullptr,
                  const char* password = nullptr);

// Scene-building helpers: a node of the kind under parent ("null", "skeleton:<type>", "mesh",
// "camera", "light:<type>", "none" for no attribute).
zeqsdk_400::KZeqNode* AddNode(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqNode* parent, const char* name,
                              const char* kind = "null");
// The mesh of a new mesh node under parent holding one triangle: (0, 0, 0), (1, 0, 0), (0, 1, 0).
zeqsdk_400::KZeqMesh* AddTriangle(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqNode* parent, const char* name);
// A linear key.
void Key(zeqsdk_400::KFCurve* curve, double seconds, float value);

// A scene in a line of text, its nodes separated by blanks: "name[=kind][*][@aim][^up][(children)]".
// Kinds are AddNode's, and "mesh" is a triangle, "light" a point light at 50 percent, "joint" a limb
// node; without a kind a node that aims is a camera, another a null. "*" keys its x position and y
// rotation in the take "Take 001"; "@" and "^" name its look-at and up-vector targets, which may come
// later. "G(Cam@A^B A=mesh B=light)": a null G holding a camera aimed at the mesh A beside it, its
// up vector at the light B. The nodes by name, with their kinds ("*" added when keyed).
struct SceneNode {
    zeqsdk_400::KZeqNode* mNode;
    std::string mKind;
};
using SceneNodes = std::map<std::string, SceneNode>;
SceneNodes BuildScene(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, const std::string& text);

// A host node by name or path suffix, as a path; an empty path when none or several.
std::string HostPath(const std::string& name);
// The host node's parent's name ("" for the world).
std::string HostParent(const std::string& name);
// "<name>: <child> ...", the node's transform children in order.
std::string HostChildren(const std::string& name);
// What a camera case expects of the host and the log: the look-at group holding its nodes in
// order ("group: child ...", nothing checked when empty), and the log holding the line given, or
// no line on cameras when it is empty.
void ExpectGroupAndCameraLog(const char* group, const char* line, const std::string& log);
// The host's type name of the node ("transform", "joint", ...).
std::string HostType(const std::string& name);
// The plug's values as "getAttr" gives them, joined by blanks; "<failed>" when the host refuses.
std::string HostAttr(const std::string& plug);
// The host warnings of the transcript that hold the text.
std::vector<std::string> Warnings(const std::string& text);
// How many NURBS surface shapes the transform has.
unsigned ShapeCount(const std::string& transform);

// Two texts alike word by word, numbers within 1e-5 relative (what a float file rounds).
bool SameWords(const std::string& x, const std::string& y);
// Two dumps of the host alike, line by line (SameWords). Left out: the playback range, which
// follows the take's keys, and the value of a disabled limit, which does nothing.
::testing::AssertionResult SameDump(const std::string& want, const std::string& got);

// The world matrices a Zeq file gives its models at each of the times (by name), from its values
// alone: the take "Take 001" where the file has one, else the default take, through the format's
// own transform (kfiletransform_support.h, written apart from the SDK).
std::map<std::string, std::vector<zeqtest::Mat4>> FileWorlds(const std::string& path,
                                                             const std::vector<double>& times);
// The same by the SDK's own evaluation of the file (KZeqNode::EvaluateGlobalTransform).
std::map<std::string, std::vector<zeqtest::Mat4>> SdkWorlds(const std::string& path, const std::vector<double>& times);
// Within 1e-5 of the larger of the two and 10 (float values of a few levels of nodes), the last
// column aside.
::testing::AssertionResult NearWorld(const zeqtest::Mat4& want, const zeqtest::Mat4& got);
// The host's world matrix of its node of that name at the time.
zeqtest::Mat4 HostWorld(const std::string& name, double seconds);

}  // namespace importtest

// A module test whose scenes are written in its directory.
class ZeqTuloImportTest : public ZeqTuloModuleTest {
protected:
    void SetUp() override;
    // Writes the scene as <name>.zeq in the test's directory; the path.
    std::string Write(const char* name, const importtest::Builder& build, bool ascii = false);
    // Runs a host script text; its status, and the string result when asked.
    bool Run(const std::string& command, std::string* result = nullptr);
    std::string Log() const { return ZeqTuloReadFile(mDirectory + "zeqtulolog.txt"); }
};

// Imports in the module's import modes.
class ImportModeTest : public ZeqTuloImportTest {
protected:
    // The module keeps its settings over a reload without a settings file: every case starts and
    // ends in the mode of a new scene.
    void SetUp() override;
    void TearDown() override;
    // The module reads the import mode ("kCreate", "kMerge", "kExclusiveMerge") from its settings
    // when it loads.
    void LoadMode(const std::string& mode);
    bool ImportAtZero(const std::string& path);
};

// A test of the driver linked into the test itself (its own user parameters: show-UI off, the
// create mode), on the shared host scene.
class ImportDriverTest : public HostTest {
protected:
    void SetUp() override;
    static ZeqTuloUserParams* Params();
    std::string Write(const char* name, const importtest::Builder& build);
    // Imports the file through a fresh driver; its status.
    bool Import(const std::string& path, const char* take = "");
    std::string Log() const { return ZeqTuloReadFile(mDirectory + "zeqtulolog.txt"); }

    std::string mDirectory;
};
