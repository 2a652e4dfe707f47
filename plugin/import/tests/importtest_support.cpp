#include "importtest_support.h"

#include <cctype>
#include <stdexcept>
#include <utility>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqtakenode.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "base/klib.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "tulo.h"

using namespace zeqsdk_400;

namespace importtest {

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

struct SceneNode {
    std::string mName, mKind;
    bool mKeyed = false;
    std::vector<std::pair<char, std::string>> mTargets;  // '@' or '^', name
    std::vector<SceneNode> mChildren;
};

bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }

// The nodes of the text from at up to its end or an unmatched ")".
std::vector<SceneNode> ParseNodes(const std::string& text, std::size_t& at) {
    auto word = [&] {
        const std::size_t start = at;
        while (at < text.size() && IsNameCharacter(text[at])) ++at;
        if (at == start) throw std::invalid_argument("a name is missing at " + std::to_string(start) + " of " + text);
        return text.substr(start, at - start);
    };
    std::vector<SceneNode> nodes;
    while (at < text.size() && text[at] != ')') {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        SceneNode node;
        node.mName = word();
        if (at < text.size() && text[at] == '=') ++at, node.mKind = word();
        if (at < text.size() && text[at] == '*') ++at, node.mKeyed = true;
        while (at < text.size() && (text[at] == '@' || text[at] == '^')) {
            const char how = text[at++];
            node.mTargets.emplace_back(how, word());
        }
        if (node.mKind.empty()) node.mKind = node.mTargets.empty() ? "null" : "camera";
        if (at < text.size() && text[at] == '(') {
            node.mChildren = ParseNodes(text, ++at);
            if (at >= text.size()) throw std::invalid_argument("\"(\" without \")\" in " + text);
            ++at;
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<SceneNode> ParseScene(const std::string& text) {
    std::size_t at = 0;
    std::vector<SceneNode> nodes = ParseNodes(text, at);
    if (at != text.size()) throw std::invalid_argument("\")\" without \"(\" in " + text);
    return nodes;
}

const SceneNode* FindSceneNode(const std::vector<SceneNode>& nodes, const std::string& name) {
    for (const SceneNode& node : nodes) {
        if (node.mName == name) return &node;
        if (const SceneNode* found = FindSceneNode(node.mChildren, name)) return found;
    }
    return nullptr;
}

void MakeSceneNodes(KZeqSdkManager& manager, KZeqScene& scene, KZeqNode* parent, const std::vector<SceneNode>& nodes,
                    std::map<std::string, KZeqNode*>& made) {
    for (const SceneNode& spec : nodes) {
        KZeqNode* node = nullptr;
        if (spec.mKind == "mesh") {
            AddTriangle(manager, parent, spec.mName.c_str());
            node = parent->FindChild(spec.mName.c_str(), false);
        } else if (spec.mKind == "light") {
            node = AddNode(manager, parent, spec.mName.c_str(), "light:0");
            node->GetLight()->SetDefaultIntensity(50);
        } else {
            const char* kind = spec.mKind == "joint" ? "skeleton:2" : spec.mKind.c_str();
            node = AddNode(manager, parent, spec.mName.c_str(), kind);
        }
        made[spec.mName] = node;
        if (spec.mKeyed) {
            scene.CreateTake("Take 001");
            node->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            Key(take->GetTranslationX(), 0.0, 0.0f);
            Key(take->GetTranslationX(), 1.0, 5.0f);
            Key(take->GetEulerRotationY(), 0.0, 0.0f);
            Key(take->GetEulerRotationY(), 1.0, 90.0f);
        }
        MakeSceneNodes(manager, scene, node, spec.mChildren, made);
    }
}

void ConnectSceneTargets(const std::vector<SceneNode>& nodes, std::map<std::string, KZeqNode*>& made) {
    for (const SceneNode& spec : nodes) {
        for (const auto& target : spec.mTargets) {
            const auto found = made.find(target.second);
            if (found == made.end()) throw std::invalid_argument("no node " + target.second + " to aim at");
            if (target.first == '@')
                made[spec.mName]->SetTarget(found->second);
            else
                made[spec.mName]->SetTargetUp(found->second);
        }
        ConnectSceneTargets(spec.mChildren, made);
    }
}

}  // namespace

std::map<std::string, KZeqNode*> BuildScene(KZeqSdkManager& manager, KZeqScene& scene, const std::string& text) {
    const std::vector<SceneNode> nodes = ParseScene(text);
    std::map<std::string, KZeqNode*> made;
    MakeSceneNodes(manager, scene, scene.GetRootNode(), nodes, made);
    ConnectSceneTargets(nodes, made);
    return made;
}

std::string SceneKind(const std::string& text, const std::string& name) {
    const std::vector<SceneNode> nodes = ParseScene(text);
    const SceneNode* node = FindSceneNode(nodes, name);
    return node ? node->mKind + (node->mKeyed ? "*" : "") : "";
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
