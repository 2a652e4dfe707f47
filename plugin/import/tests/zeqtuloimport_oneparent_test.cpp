// Files whose connections put a model under two parents, close a cycle through a second parent, or
// put the scene's root under a model, through ZEQImport: the first parent holds (the root stays the
// root), the host warns with the reader's line for the connection set aside and the log keeps it,
// the import ends, and the scene the pass destroys (and the next import's) frees each node once.
// Then files that name two models alike, or double their section line; files whose models no path
// joins to the root, a model named "Scene" through export and import, a stray section line.
#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "importtest_support.h"

#include "fcurve/kfcurve.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

// Null models and their "OO" records (child, parent) in file order; each model's host parent after
// the import ("" for the world); the reader's line for the record set aside.
struct ParentCase {
    const char* mName;
    std::vector<std::string> mModels;
    std::vector<std::pair<std::string, std::string>> mLinks;
    std::vector<std::pair<std::string, std::string>> mHostParents;
    const char* mMessage;
};
const ParentCase kParentCases[] = {
    {"GroupFirst",
     {"group", "aim"},
     {{"aim", "group"}, {"aim", "Scene"}, {"group", "Scene"}},
     {{"group", ""}, {"aim", "group"}},
     "Model::aim is connected under Model::Scene too: a model has one parent; it stays under Model::group."},
    {"SceneFirst",
     {"group", "aim"},
     {{"aim", "Scene"}, {"aim", "group"}, {"group", "Scene"}},
     {{"group", ""}, {"aim", ""}},
     "Model::aim is connected under Model::group too: a model has one parent; it stays under Model::Scene."},
    {"Cycle",
     {"A", "B", "C"},
     {{"B", "Scene"}, {"A", "B"}, {"A", "C"}, {"C", "A"}},
     {{"B", ""}, {"A", "B"}, {"C", "A"}},
     "Model::A is connected under Model::C too: a model has one parent; it stays under Model::B."},
    // The scene's root put under a model before that model is under the root.
    {"RootUnderModel",
     {"A"},
     {{"Scene", "A"}, {"A", "Scene"}},
     {{"A", ""}},
     "Model::Scene is connected under Model::A: the scene root is no model's child; the connection is set aside."},
    // Models no path joins to the root: each comes in under the world, named.
    {"CycleAlone",
     {"A", "B"},
     {{"A", "B"}, {"B", "A"}},
     {{"B", ""}, {"A", "B"}},
     "Model::B is connected under Model::A, which is below it: it is put under the scene root, with the 1 model "
     "below it."},
    {"UnderItself", {"A"}, {{"A", "A"}}, {{"A", ""}}, "Model::A is connected under itself: it is put under the scene root."},
    {"UnderNoModel",
     {"A", "B"},
     {{"A", "Scene"}, {"B", "Nowhere"}},
     {{"A", ""}, {"B", ""}},
     "Model::B is connected under Model::Nowhere, which the file does not define: it is put under the scene "
     "root."},
};

// The pass ends its scene's nodes a few at a time, their takes read ahead together: four more
// nodes under the root, linked before the row's last record, put the two places of a node under
// two parents in different batches.
std::vector<std::string> Models(const ParentCase& row) {
    std::vector<std::string> models{"n1", "n2", "n3", "n4"};
    models.insert(models.end(), row.mModels.begin(), row.mModels.end());
    return models;
}

std::vector<std::pair<std::string, std::string>> Links(const ParentCase& row) {
    std::vector<std::pair<std::string, std::string>> links = row.mLinks;
    for (const char* model : {"n1", "n2", "n3", "n4"}) links.emplace(links.end() - 1, model, "Scene");
    return links;
}

void PrintTo(const ParentCase& row, std::ostream* out) { *out << row.mName; }

class OneParentTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<std::tuple<ParentCase, int>> {};

// The models as nulls side by side, each moving in "Take 001", written by the SDK as ASCII; then
// the file's connections are the row's (the take makes the pass read each node's animation ahead).
TEST_P(OneParentTest, TheFirstParentHolds) {
    const ParentCase& row = std::get<0>(GetParam());
    const std::string written = mDirectory + "written.zeq", path = mDirectory + "parents.zeq";
    std::string error;
    ASSERT_TRUE(WriteScene(written, [&](KZeqSdkManager& manager, KZeqScene& scene) {
        for (const std::string& model : Models(row)) AddNode(manager, scene.GetRootNode(), model.c_str());
        scene.CreateTake("Take 001");
        for (int i = 0; i < scene.GetRootNode()->GetChildCount(); ++i) {
            KZeqNode* node = scene.GetRootNode()->GetChild(i);
            node->SetCurrentTakeNode("Take 001");
            Key(node->GetCurrentTakeNode()->GetTranslationX(), 0.0, 0.0f);
            Key(node->GetCurrentTakeNode()->GetTranslationX(), 1.0, 2.0f);
        }
    }, true, &error)) << error;
    std::string text = ZeqTuloReadFile(written);
    const std::string section = "Connections: {\n";
    const std::size_t begin = text.find(section) + section.size(), end = text.find("\n}", begin);
    ASSERT_TRUE(begin >= section.size() && end != std::string::npos);
    std::string links;
    for (const auto& [child, parent] : Links(row))
        links += "\tConnect: \"OO\",\"Model::" + child + "\",\"Model::" + parent + "\"\n";
    text.replace(begin, end + 1 - begin, links);
    std::ofstream(written, std::ios::binary) << text;
    ASSERT_TRUE(zeqiotest::ConvertZeqFile(written, path, std::get<1>(GetParam())));
    // Twice: the second import's new scene replaces the first's host nodes.
    const std::string warning = std::string("// Warning: ") + row.mMessage;
    for (int pass = 0; pass < 2; ++pass) {
        standin::clearTranscript();
        ASSERT_TRUE(Run("ZEQImport -f \"" + path + "\" -take 0")) << pass;
        for (const auto& [model, parent] : row.mHostParents) {
            EXPECT_EQ(parent, HostParent(model)) << model;
            EXPECT_EQ(1u, standin::countMatches(model)) << model;
        }
        EXPECT_EQ(1, std::count(standin::transcript().begin(), standin::transcript().end(), warning)) << pass;
    }
    const std::string log = Log();
    const std::size_t first = log.find(row.mMessage);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find(row.mMessage, first + 1), std::string::npos) << "a line per import: " << log;
}
INSTANTIATE_TEST_SUITE_P(Files, OneParentTest,
                         ::testing::Combine(::testing::ValuesIn(kParentCases), ::testing::Values(0, 1)),
                         [](const testing::TestParamInfo<std::tuple<ParentCase, int>>& info) {
                             return std::string(std::get<0>(info.param).mName) +
                                    (std::get<1>(info.param) ? "Binary" : "Ascii");
                         });

// A 5.8 file that defines a model twice, the second time as the parent of the model that is the
// first's parent: the first holds, the second is left out and named, and every other model comes
// in (before, the whole subtree was dropped without a word).
TEST_F(ZeqTuloImportTest, AModelDefinedTwiceIsNamedAndTheRestComesIn) {
    const std::string path = mDirectory + "twice.zeq";
    std::ofstream(path, std::ios::binary) << "; Zeq ASCII field file\n@Zeq: 5800\n@Section: 5800\n"
                                             "Model: \"Model::A\" {\n\tType: \"Null\"\n}\n"
                                             "Model: \"Model::B\" {\n\tType: \"Null\"\n\tChildren: \"Model::A\"\n}\n"
                                             "Model: \"Model::A\" {\n\tType: \"Null\"\n\tChildren: \"Model::B\"\n}\n"
                                             "@End\n";
    const char* line = "Model::A is defined again: a scene holds one model of a name; the first one holds, this one is left out.";
    standin::clearTranscript();
    ASSERT_TRUE(Run("ZEQImport -f \"" + path + "\""));
    EXPECT_EQ("", HostParent("B"));
    EXPECT_EQ("B", HostParent("A"));
    EXPECT_EQ(1u, standin::countMatches("A"));
    const std::string warning = std::string("// Warning: ") + line;
    EXPECT_EQ(1, std::count(standin::transcript().begin(), standin::transcript().end(), warning));
    EXPECT_NE(Log().find(line), std::string::npos) << Log();
}

// A model named "Scene", at the top and below another, with what is under it: the 6.0 writer named
// the root alike, and the import put its children under the world and dropped it. Written by the
// SDK, imported, exported by the plug-in and imported again, it stays where it was, without a word.
TEST_F(ZeqTuloImportTest, AModelNamedSceneComesBackThroughExportAndImport) {
    for (const bool nested : {false, true}) {
        SCOPED_TRACE(nested);
        const std::string path = mDirectory + "scene.zeq", again = mDirectory + "again.zeq";
        std::string error;
        ASSERT_TRUE(WriteScene(path, [&](KZeqSdkManager& manager, KZeqScene& scene) {
            KZeqNode* parent = nested ? AddNode(manager, scene.GetRootNode(), "group") : scene.GetRootNode();
            KZeqNode* named = AddNode(manager, parent, "Scene");
            AddNode(manager, AddNode(manager, named, "A"), "leaf");
            AddNode(manager, named, "B");
        }, true, &error)) << error;
        ASSERT_TRUE(Run("ZEQExportShowUI 0"));
        for (const std::string& file : {path, again}) {
            standin::clearTranscript();
            ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\"")) << Log();
            EXPECT_EQ(nested ? "group" : "", HostParent("Scene")) << file;
            EXPECT_EQ("Scene", HostParent("A")) << file;
            EXPECT_EQ("A", HostParent("leaf")) << file;
            EXPECT_EQ("Scene", HostParent("B")) << file;
            EXPECT_EQ(1u, standin::countMatches("Scene")) << file;
            EXPECT_TRUE(Warnings("Model::").empty()) << file;
            if (file == path) {
                ASSERT_TRUE(Run("ZEQExport -f \"" + again + "\""));
            }
        }
    }
}

// A section line out of place in an ASCII file: written twice (the main section reads empty), or
// between the records (the scene's later records in a section no read looks at). The import fails
// with the reason, rather than answer a success with the models gone or left unconnected.
TEST_F(ZeqTuloImportTest, ASectionLineOutOfPlaceFailsTheImportWithTheReason) {
    const std::string written = mDirectory + "written.zeq", path = mDirectory + "section.zeq";
    std::string error;
    ASSERT_TRUE(WriteScene(written, [&](KZeqSdkManager& manager, KZeqScene& scene) {
        AddNode(manager, scene.GetRootNode(), "A");
    }, true, &error)) << error;
    const std::string line = "@Section: 6000\n";
    const std::string stray = "a section line splits the scene, and its \"";
    struct Case {
        std::string mBefore;  // the line goes before the first of this text
        std::string mReason;
    };
    for (const Case& row : {Case{line, "the main section is empty and another section follows it"},
                            Case{"Objects: {", stray + "Objects\" record lies outside the main section"},
                            Case{"Connections: {", stray + "Connections\" record lies outside the main section"}}) {
        std::string text = ZeqTuloReadFile(written);
        const std::size_t at = text.find(row.mBefore);
        ASSERT_NE(at, std::string::npos) << row.mBefore;
        text.insert(at, line);
        std::ofstream(path, std::ios::binary) << text;
        standin::clearTranscript();
        EXPECT_FALSE(Run("ZEQImport -f \"" + path + "\"")) << row.mBefore;
        EXPECT_EQ(0u, standin::countMatches("A")) << row.mBefore;
        EXPECT_NE(Log().find(row.mReason), std::string::npos) << Log();
        EXPECT_TRUE(std::any_of(standin::transcript().begin(), standin::transcript().end(),
                                [&](const std::string& entry) { return entry.find(row.mReason) != std::string::npos; }));
    }
}

}  // namespace
