#include "importtest_support.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "base/klib.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "tulo.h"

using namespace zeqsdk_400;

namespace importtest {

bool SameWords(const std::string& x, const std::string& y) {
    std::istringstream wx(x), wy(y);
    for (std::string u, v;;) {
        const bool more = static_cast<bool>(wx >> u), other = static_cast<bool>(wy >> v);
        if (!more || !other) return more == other;
        char* endU = nullptr;
        char* endV = nullptr;
        const double p = std::strtod(u.c_str(), &endU), q = std::strtod(v.c_str(), &endV);
        if (u != v && !(!*endU && !*endV && std::fabs(p - q) <= 1e-5 * std::max({1.0, std::fabs(p), std::fabs(q)})))
            return false;
    }
}

::testing::AssertionResult SameDump(const std::string& want, const std::string& got) {
    const auto lines = [](const std::string& text) {
        std::vector<std::string> kept;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("time ", 0) != 0 && !(line.rfind("  limit ", 0) == 0 && line.find(" enabled 0 ") != std::string::npos))
                kept.push_back(line);
        return kept;
    };
    const std::vector<std::string> a = lines(want), b = lines(got);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string x = i < a.size() ? a[i] : "", y = i < b.size() ? b[i] : "";
        if (!SameWords(x, y))
            return ::testing::AssertionFailure() << "line " << i + 1 << ": " << x << "\n  against " << y;
    }
    return ::testing::AssertionSuccess();
}

bool WriteScene(const std::string& path, const Builder& build, bool ascii, std::string* error) {
    return WriteSceneAs(path, build, ascii ? KZeqExporter::eZEQ_ASCII : KZeqExporter::eZEQ_BINARY, error);
}

bool WriteSceneAs(const std::string& path, const Builder& build, int row, std::string* error, const char* password) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    build(manager, *scene);
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(row);
    if (password) exporter.SetPassword(password);
    KStreamOptionsZeq options;
    exporter.SetExportOptionsInfo(&options);
    const bool written = exporter.Export(*scene);
    if (!written && error) *error = exporter.GetLastErrorString();
    return written;
}

KZeqNode* AddNode(KZeqSdkManager& manager, KZeqNode* parent, const char* name, const char* kind) {
    KZeqNode* node = manager.CreateKZeqNode(name);
    const std::string k = kind;
    if (k == "null") {
        node->SetNodeAttribute(manager.CreateKZeqNull());
    } else if (k.rfind("skeleton:", 0) == 0) {
        KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
        node->SetNodeAttribute(skeleton);
        skeleton->SetSkeletonType(static_cast<KZeqSkeleton::ESkeletonType>(std::stoi(k.substr(9))));
    } else if (k == "mesh") {
        node->SetNodeAttribute(manager.CreateKZeqMesh());
    } else if (k == "camera") {
        node->SetNodeAttribute(manager.CreateKZeqCamera());
    } else if (k.rfind("light:", 0) == 0) {
        KZeqLight* light = manager.CreateKZeqLight();
        node->SetNodeAttribute(light);
        light->SetLightType(static_cast<KZeqLight::ELightType>(std::stoi(k.substr(6))));
    }
    if (parent) parent->AddChild(node);
    return node;
}

KZeqMesh* AddTriangle(KZeqSdkManager& manager, KZeqNode* parent, const char* name) {
    KZeqMesh* mesh = AddNode(manager, parent, name, "mesh")->GetMesh();
    mesh->InitControlPoints(3);
    mesh->GetControlPoints()[1] = KZeqVector4(1, 0, 0, 1);
    mesh->GetControlPoints()[2] = KZeqVector4(0, 1, 0, 1);
    mesh->BeginPolygon();
    for (int v : {0, 1, 2}) mesh->AddPolygon(v);
    mesh->EndPolygon();
    return mesh;
}

void Key(KFCurve* curve, double seconds, float value) {
    KTime time;
    time.SetSecondDouble(seconds);
    KFCurveKey key;
    key.Set(time, value, KFCURVE_INTERPOLATION_LINEAR, 0, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE, 0.3333333f, 0.3333333f,
            0.0f, 0.0f);
    curve->KeyAdd(time, key);
}

namespace {

using Targets = std::vector<std::pair<std::string, std::string>>;  // camera name with '@' or '^', target

// Makes the nodes of the text from at up to its end or an unmatched ")" under parent.
void ParseNodes(KZeqSdkManager& manager, KZeqScene& scene, KZeqNode* parent, const std::string& text, std::size_t& at,
                SceneNodes& made, Targets& targets) {
    auto next = [&](char c) { return at < text.size() && text[at] == c ? (++at, true) : false; };
    auto word = [&] {
        const std::size_t start = at;
        while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_')) ++at;
        if (at == start) throw std::invalid_argument("no name at " + std::to_string(start) + " of " + text);
        return text.substr(start, at - start);
    };
    while (at < text.size() && text[at] != ')') {
        if (next(' ')) continue;
        const std::string name = word();
        std::string kind = next('=') ? word() : "";
        const bool keyed = next('*');
        const std::size_t aims = targets.size();
        while (at < text.size() && (text[at] == '@' || text[at] == '^')) {
            const char how = text[at++];
            targets.emplace_back(name + how, word());
        }
        if (kind.empty()) kind = targets.size() > aims ? "camera" : "null";
        KZeqNode* node = nullptr;
        if (kind == "mesh") {
            node = AddTriangle(manager, parent, name.c_str())->GetNode();
        } else {
            node = AddNode(manager, parent, name.c_str(),
                           kind == "joint"   ? "skeleton:2"
                           : kind == "light" ? "light:0"
                                             : kind.c_str());
            if (kind == "light") node->GetLight()->SetDefaultIntensity(50);
        }
        if (keyed) {
            scene.CreateTake("Take 001");
            node->SetCurrentTakeNode("Take 001");
            for (KFCurve* curve :
                 {node->GetCurrentTakeNode()->GetTranslationX(), node->GetCurrentTakeNode()->GetEulerRotationY()}) {
                Key(curve, 0.0, 0.0f);
                Key(curve, 1.0, 5.0f);
            }
        }
        made[name] = {node, kind + (keyed ? "*" : "")};
        if (next('(')) {
            ParseNodes(manager, scene, node, text, at, made, targets);
            if (!next(')')) throw std::invalid_argument("\"(\" without \")\" in " + text);
        }
    }
}

}  // namespace

SceneNodes BuildScene(KZeqSdkManager& manager, KZeqScene& scene, const std::string& text) {
    SceneNodes made;
    Targets targets;
    std::size_t at = 0;
    ParseNodes(manager, scene, scene.GetRootNode(), text, at, made, targets);
    if (at != text.size()) throw std::invalid_argument("\")\" without \"(\" in " + text);
    for (const auto& [from, to] : targets) {
        if (!made.count(to)) throw std::invalid_argument("no node " + to + " in " + text);
        KZeqNode* node = made.at(from.substr(0, from.size() - 1)).mNode;
        if (from.back() == '@')
            node->SetTarget(made.at(to).mNode);
        else
            node->SetTargetUp(made.at(to).mNode);
    }
    return made;
}

std::string HostPath(const std::string& name) {
    TObject node = standin::find(name);
    if (node.isNull()) return "";
    return TFnDagNode(node).fullPathName().asChar();
}

std::string HostParent(const std::string& name) {
    TObject node = standin::find(name);
    if (node.isNull()) return "<none>";
    TFnDagNode dag(node);
    TObject parent = dag.parent(0);
    return parent.isNull() ? "" : TFnDependencyNode(parent).name().asChar();
}

std::string HostChildren(const std::string& name) {
    TFnDagNode dag(standin::find(name));
    std::string text = name + ":";
    for (unsigned i = 0; i < dag.childCount(); ++i)
        if (!dag.child(i).hasFn(TFn::kShape)) text += " " + std::string(TFnDependencyNode(dag.child(i)).name().asChar());
    return text;
}

void ExpectGroupAndCameraLog(const char* group, const char* line, const std::string& log) {
    if (*group) {
        const std::string name(group, std::strchr(group, ':'));
        EXPECT_EQ(HostChildren(name), group);
        EXPECT_EQ(HostType(name), "lookAt");
    }
    if (*line) {
        EXPECT_NE(log.find(line), std::string::npos) << log;
    } else {
        EXPECT_EQ(log.find("Camera "), std::string::npos) << log;
    }
}

std::string HostType(const std::string& name) {
    TObject node = standin::find(name);
    return node.isNull() ? "<none>" : TFnDependencyNode(node).typeName().asChar();
}


std::string HostAttr(const std::string& plug) {
    TStringArray out;
    if (!TGlobal::executeCommand(TString(("getAttr " + plug).c_str()), out, false, false)) return "<failed>";
    std::string text;
    for (unsigned i = 0; i < out.length(); ++i) text += (i ? " " : "") + std::string(out[i].asChar());
    return text;
}

// The host warnings of the transcript that hold the text.
std::vector<std::string> Warnings(const std::string& text) {
    std::vector<std::string> found;
    for (const std::string& line : standin::transcript())
        if (line.rfind("// Warning: ", 0) == 0 && line.find(text) != std::string::npos) found.push_back(line);
    return found;
}

unsigned ShapeCount(const std::string& transform) {
    TObject node = standin::find(transform);
    if (node.isNull()) return 0;
    TFnDagNode dag(node);
    unsigned shapes = 0;
    for (unsigned i = 0; i < dag.childCount(); ++i) shapes += dag.child(i).hasFn(2002) ? 1 : 0;
    return shapes;
}

namespace {

// The file read by the SDK, its take "Take 001" current where it has one: each node's world matrix
// at each of the times by name, world(node, time, its parent's world or null) giving it, parents first.
using WorldOf = std::function<zeqtest::Mat4(KZeqNode&, KTime, const zeqtest::Mat4*)>;
std::map<std::string, std::vector<zeqtest::Mat4>> Worlds(const std::string& path, const std::vector<double>& times,
                                                         const WorldOf& world) {
    std::map<std::string, std::vector<zeqtest::Mat4>> worlds;
    KZeqSdkManager manager;
    KZeqScene& scene = *manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    if (!importer->Initialize(path.c_str()) || !importer->Import(scene)) return worlds;
    scene.SetCurrentTake("Take 001");
    KZeqNode* root = scene.GetRootNode();
    for (const double seconds : times) {
        KTime time;
        time.SetSecondDouble(seconds);
        std::map<const KZeqNode*, zeqtest::Mat4> global;
        VisitDepthFirst(root, [&](KZeqNode& node) {
            if (&node == root) return;
            const auto above = global.find(node.GetParent());
            const zeqtest::Mat4 m = world(node, time, above != global.end() ? &above->second : nullptr);
            global[&node] = m;
            worlds[node.GetNameWithoutNameSpacePrefix().Buffer()].push_back(m);
        });
    }
    return worlds;
}

}  // namespace

std::map<std::string, std::vector<zeqtest::Mat4>> FileWorlds(const std::string& path,
                                                             const std::vector<double>& times) {
    return Worlds(path, times, [](KZeqNode& node, KTime time, const zeqtest::Mat4* above) {
        KZeqTakeNode* take = node.GetCurrentTakeNode();
        if (!take) take = node.GetDefaultTakeNode();
        const auto at = [&](KFCurve* curve, double otherwise) {
            return curve ? static_cast<double>(curve->Evaluate(time)) : otherwise;
        };
        KZeqNodeProperties& p = *node.GetPropertyHandler();
        zeqtest::FileTransformValues v;
        KFCurve* t[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        KFCurve* r[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        KFCurve* s[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        for (int i = 0; i < 3; ++i) {
            v.t[i] = at(t[i], 0.0);
            v.r[i] = at(r[i], 0.0);
            v.s[i] = at(s[i], 1.0);
            v.rotationOffset[i] = p.RotationOffset.Value().mData[i];
            v.rotationPivot[i] = p.RotationPivot.Value().mData[i];
            v.preRotation[i] = p.PreRotation.Value().mData[i];
            v.postRotation[i] = p.PostRotation.Value().mData[i];
            v.scalingOffset[i] = p.ScalingOffset.Value().mData[i];
            v.scalingPivot[i] = p.ScalingPivot.Value().mData[i];
        }
        v.rotationOrder = static_cast<int>(p.RotationOrder.Value());
        v.rotationActive = p.RotationActive.Value();
        const zeqtest::Mat4 local = zeqtest::FileLocalMatrix(v);
        return above ? zeqtest::Multiply(local, *above) : local;
    });
}

std::map<std::string, std::vector<zeqtest::Mat4>> SdkWorlds(const std::string& path,
                                                            const std::vector<double>& times) {
    return Worlds(path, times, [](KZeqNode& node, KTime time, const zeqtest::Mat4*) {
        const KZeqXMatrix global = node.EvaluateGlobalTransform(time);
        zeqtest::Mat4 world{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) world[i][j] = global.mData[i][j];
        return world;
    });
}

::testing::AssertionResult NearWorld(const zeqtest::Mat4& want, const zeqtest::Mat4& got) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(want[i][j] - got[i][j]) >
                1e-5 * std::max({10.0, std::fabs(want[i][j]), std::fabs(got[i][j])}))
                return ::testing::AssertionFailure()
                       << "[" << i << "][" << j << "] " << got[i][j] << " where the file has " << want[i][j];
    return ::testing::AssertionSuccess();
}

zeqtest::Mat4 HostWorld(const std::string& name, double seconds) {
    TAnimControl::setCurrentTime(TTime(seconds, TTime::kSeconds));
    TDagPath path;
    zeqtest::Mat4 m{};
    if (!TDagPath::getAPathTo(standin::find(HostPath(name)), path)) return m;
    const TMatrix matrix = path.inclusiveMatrix();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = matrix.matrix[i][j];
    return m;
}

}  // namespace importtest

void ZeqTuloImportTest::SetUp() {
    ZeqTuloModuleTest::SetUp();
    ASSERT_TRUE(Run("ZEQImportShowUI 0"));
}

std::string ZeqTuloImportTest::Write(const char* name, const importtest::Builder& build, bool ascii) {
    const std::string path = mDirectory + name + ".zeq";
    std::string error;
    EXPECT_TRUE(importtest::WriteScene(path, build, ascii, &error)) << error;
    return path;
}

bool ZeqTuloImportTest::Run(const std::string& command, std::string* result) {
    TStringArray out;
    const TStatus status = TGlobal::executeCommand(TString(command.c_str()), out, false, false);
    if (result) *result = out.length() > 0 ? out[0].asChar() : "";
    return static_cast<bool>(status);
}

void ImportModeTest::SetUp() {
    ZeqTuloImportTest::SetUp();
    LoadMode("kCreate");
}

void ImportModeTest::TearDown() {
    LoadMode("kCreate");
    ZeqTuloImportTest::TearDown();
}

void ImportModeTest::LoadMode(const std::string& mode) {
    // Where SetUp failed before making the test's folder, a relative name would land in the
    // folder the test runs in (the checkout).
    ASSERT_FALSE(mDirectory.empty()) << "the test has no folder of its own";
    Unload();
    std::string settings = Settings();
    const std::string line = "kImportLoadMode = " + mode;
    const std::size_t at = settings.find("kImportLoadMode = ");
    if (at == std::string::npos)
        settings = "[Tulo60]\n" + line + "\n";
    else
        settings.replace(at, settings.find('\n', at) - at, line);
    std::ofstream(mDirectory + "zeqplugins6.0registry.txt") << settings;
    std::string error;
    ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
    ASSERT_TRUE(Run("ZEQImportShowUI 0") && Run("ZEQExportShowUI 0"));
}

bool ImportModeTest::ImportAtZero(const std::string& path) {
    if (!Run("ZEQImport -f \"" + path + "\" -take 0")) return false;
    TAnimControl::setCurrentTime(TTime(0.0, TTime::kSeconds));
    return true;
}

void ImportDriverTest::SetUp() {
    HostTest::SetUp();
    mDirectory = ZeqTuloTestDirectory();
    KLib_SetMasterDirectory(mDirectory.c_str());
    Params()->Reset();
    Params()->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    Params()->SetImportType(KZeqUserParams::kCreate);
}

ZeqTuloUserParams* ImportDriverTest::Params() { return ZeqTuloUserParams::Instance(); }

std::string ImportDriverTest::Write(const char* name, const importtest::Builder& build) {
    const std::string path = mDirectory + name + ".zeq";
    std::string error;
    EXPECT_TRUE(importtest::WriteScene(path, build, false, &error)) << error;
    return path;
}

bool ImportDriverTest::Import(const std::string& path, const char* take) {
    ZeqTuloImport driver;
    driver.OpenProject(TString(path.c_str()));
    driver.SetTakeName(take);
    return static_cast<bool>(driver.Import());
}
