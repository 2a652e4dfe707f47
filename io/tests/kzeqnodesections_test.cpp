// Node, object, hierarchy, take and time-warp sections read from hand-made
// field files: the edge cases of each record and the faults a file can name.

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqskeleton.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqimporter.h"
#include "object/kstreamoptions.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqscenerecords.h"
#include "io/tests/zeqroundtrip.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "scene/tests/kfiletakelayers_support.h"
#include "scene/tests/kfiletransform_support.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

const KTime kSecond(46186158000LL);

struct SectionsTest : ::testing::Test {
    // The scene read from a main section of the given text; null on failure.
    KZeqScene* Read(int version, const std::string& fields) {
        const std::string path = mDir / "s.zeq";
        MakeZeqFile(path, version, 0, fields);
        return ReadZeqFile(mManager, path, "", &mError);
    }
    // Model A of the file, read with the baking of layers and time warps (option 10) as asked, its
    // take "T" current; null, with a failure, when the read or either of them fails.
    KZeqNode* ReadTakeT(const std::string& path, bool merge) {
        KZeqImporter importer(mManager);
        auto* options = importer.Initialize(path.c_str())
                            ? static_cast<KStreamOptionsZeq*>(importer.GetImportOptions())
                            : nullptr;
        if (!options) {
            ADD_FAILURE() << "no options for " << path;
            return nullptr;
        }
        options->SetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP, merge);
        KZeqScene* scene = mManager.CreateKZeqScene();
        const bool read = importer.Import(*scene, options);
        importer.ReleaseImportOptions(options);
        KZeqNode* a = read ? scene->GetRootNode()->FindChild("A") : nullptr;
        if (!a || !a->SetCurrentTakeNode("T")) {
            ADD_FAILURE() << "no take T of model A: " << importer.GetLastErrorString();
            return nullptr;
        }
        return a;
    }
    static std::string Names(KZeqNode& parent) {
        std::string names;
        for (int i = 0; i < parent.GetChildCount(); ++i) names += std::string(parent.GetChild(i)->GetName()) + " ";
        return names;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    std::string mError;
};

void Key(KFCurve* curve, KTime time, float value) {
    KFCurveKey key;
    key.Set(time, value, KFCURVE_INTERPOLATION_LINEAR, 0, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE, 0.3333333f, 0.3333333f,
            0.0f, 0.0f);
    curve->KeyAdd(time, key);
}

}  // namespace

// A type listed twice is read once; unlisted types and unknown subtypes are
// skipped; connections are made once and only between registered objects.
TEST_F(SectionsTest, DefinitionsObjectsAndConnections) {
    KZeqScene* scene = Read(6000,
                            "Definitions: {;ObjectType: \"Model\" {;Count: 2;};ObjectType: \"Deformer\";"
                            "ObjectType: \"Model\";};"
                            "Objects: {;Model: \"Model::A\", \"Null\" {;Type: \"Null\";};"
                            "Deformer: \"Deformer::D\", \"BlendShape\" {;};Material: \"Material::M\", \"\" {;};"
                            "Model: \"Model::B\", \"Null\" {;Type: \"Null\";};};"
                            "Connections: {;Connect: \"OO\", \"Model::A\", \"Model::Scene\";"
                            "Connect: \"OO\", \"Model::A\", \"Model::Scene\";Connect: \"OO\", \"Model::B\", \"Model::Nowhere\";"
                            "Connect: \"PO\", \"Model::B\", \"Lcl Scaling\", \"Model::Scene\";"
                            "Connect: \"PP\", \"Model::B\", \"Visibility\", \"Model::A\", \"Visibility\";};");
    ASSERT_NE(nullptr, scene) << mError;
    // B, under nothing the file holds, comes under the root after every connection.
    EXPECT_EQ("Model::A Model::B ", Names(*scene->GetRootNode()));
    EXPECT_EQ(2, scene->GetRootNode()->GetPropertyHandler()->GetSrcCount());
    EXPECT_EQ(0, scene->GetEntity()->GetMaterialCount());
    EXPECT_EQ(0, scene->GetRootNode()->GetChild(0)->GetChildCount());
}

// ---- One parent per model -----------------------------------------------------------------------

namespace {

// Null models and the "OO" records that hang them (child, parent) in file order; the tree the read
// must give ("RootNode(B(A))": A under B under the root) and the line of the importer's message.
struct ParentRow {
    const char* mName;
    std::vector<std::string> mModels;
    std::vector<std::pair<std::string, std::string>> mLinks;
    const char* mTree;
    const char* mMessage;
};
const ParentRow kParentRows[] = {
    {"GroupFirst", {"group", "aim"}, {{"aim", "group"}, {"aim", "Scene"}, {"group", "Scene"}}, "RootNode(group(aim))",
     "Model::aim is connected under Model::Scene too: a model has one parent; it stays under Model::group."},
    {"SceneFirst", {"group", "aim"}, {{"aim", "Scene"}, {"aim", "group"}, {"group", "Scene"}}, "RootNode(aim group)",
     "Model::aim is connected under Model::group too: a model has one parent; it stays under Model::Scene."},
    // Under C too, A would let C under A close a cycle the check (up the first parent) misses.
    {"Cycle", {"A", "B", "C"}, {{"B", "Scene"}, {"A", "B"}, {"A", "C"}, {"C", "A"}}, "RootNode(B(A(C)))",
     "Model::A is connected under Model::C too: a model has one parent; it stays under Model::B."},
    // Under A, the root would have left the scene before A joined it: the scene had no root.
    {"RootUnderAModel", {"A"}, {{"Scene", "A"}, {"A", "Scene"}}, "RootNode(A)",
     "Model::Scene is connected under Model::A: the scene root is no model's child; the connection is set aside."},
    // Connections name the first A; the second was left out without a word.
    {"ModelDefinedAgain", {"A", "B", "A"}, {{"B", "A"}, {"A", "Scene"}}, "RootNode(A(B))",
     "Model::A is defined again: a scene holds one model of a name; the first one holds, this one is left out."},
    // Models no path joins to the root vanished without a word: each goes under the root, named.
    {"CycleAlone", {"A", "B", "C"}, {{"C", "Scene"}, {"A", "B"}, {"B", "A"}}, "RootNode(C B(A))",
     "Model::B is connected under Model::A, which is below it: it is put under the scene root, with the 1 model "
     "below it."},
    {"LongerCycle", {"A", "B", "C", "D"}, {{"A", "B"}, {"B", "C"}, {"D", "A"}, {"C", "A"}}, "RootNode(C(B(A(D))))",
     "Model::C is connected under Model::A, which is below it: it is put under the scene root, with the 3 models "
     "below it."},
    {"UnderItself", {"A", "B"}, {{"A", "A"}, {"B", "A"}}, "RootNode(A(B))",
     "Model::A is connected under itself: it is put under the scene root, with the 1 model below it."},
    // B has no connection; C's names a parent the file lacks (the first such one is named).
    {"UnderNoModel", {"A", "B", "C"}, {{"A", "Scene"}, {"C", "Nowhere"}, {"C", "Elsewhere"}}, "RootNode(A B C)",
     "Model::B is connected under no model of the scene: it is put under the scene root.\n"
     "Model::C is connected under Model::Nowhere, which the file does not define: it is put under the scene "
     "root."},
    // A parent the file lacks, then one it holds: the latter holds, unsaid.
    {"UnderAnUndefinedModelThenADefinedOne", {"A", "B"}, {{"A", "Scene"}, {"B", "Ghost"}, {"B", "A"}},
     "RootNode(A(B))", ""},
    // A model named "Scene": the writer names the root apart ("Scene~1" where "Scene" is taken).
    {"ModelNamedScene", {"Scene", "A"}, {{"A", "Scene"}, {"Scene", "Scene~1"}}, "RootNode(Scene(A))", ""},
    {"ModelsNamedSceneAndSceneTilde1", {"Scene~1", "Scene", "A"}, {{"A", "Scene~1"}, {"Scene", "Scene~2"}, {"Scene~1", "Scene"}},
     "RootNode(Scene(Scene~1(A)))", ""},
    // Another program's file, whose records name the root "Model::Scene" beside a model of that
    // name: a parent of that name is the root, a child the model, and messages name them apart.
    {"ModelNamedSceneElsewhere", {"Scene", "A"}, {{"A", "Scene"}, {"Scene", "Scene"}}, "RootNode(A Scene)", ""},
    {"ModelNamedSceneUnderAModelElsewhere", {"Scene", "A"}, {{"A", "Scene"}, {"Scene", "A"}}, "RootNode(A(Scene))",
     ""},
    {"ModelNamedSceneUnderTwoParentsElsewhere", {"Scene", "A"}, {{"A", "Scene"}, {"Scene", "Scene"}, {"Scene", "A"}},
     "RootNode(A Scene)",
     "Model::Scene is connected under Model::A too: a model has one parent; it stays under the scene root."},
    {"ModelUnderTwoParentsElsewhere", {"Scene", "A", "B"},
     {{"A", "Scene"}, {"Scene", "Scene"}, {"B", "A"}, {"B", "Scene"}}, "RootNode(A(B) Scene)",
     "Model::B is connected under the scene root too: a model has one parent; it stays under Model::A."},
    // The same naming "Model::Scene~1", an object it lacks, as a child or as a parent: the name
    // the writer gives the root beside a model "Scene" is not taken for it.
    {"ASceneTilde1ChildElsewhere", {"Scene", "A"}, {{"A", "Scene"}, {"Scene", "Scene"}, {"Scene~1", "Scene"}},
     "RootNode(A Scene)", ""},
    {"ASceneTilde1ParentElsewhere", {"Scene", "A", "B"}, {{"A", "Scene"}, {"Scene", "Scene"}, {"B", "Scene~1"}},
     "RootNode(A Scene B)",
     "Model::B is connected under Model::Scene~1, which the file does not define: it is put under the scene root."},
};

void PrintTo(const ParentRow& row, std::ostream* out) { *out << row.mName; }

struct OneParentTest : ::testing::TestWithParam<std::tuple<ParentRow, int>> {
    zeqtest::TempDir mDir;
};

}  // namespace

// Freed under one parent and reached again through the other, a model under two parents broke
// clearing and destroying the scene; the first parent holds, in either encoding, and the scene
// and the manager end cleanly.
TEST_P(OneParentTest, TheFirstParentHolds) {
    const ParentRow& row = std::get<0>(GetParam());
    const std::string path = mDir / "parents.zeq";
    MakeZeqFile(path, 6000, std::get<1>(GetParam()), NullModelFields(row.mModels, row.mLinks));
    auto manager = std::make_unique<KZeqSdkManager>();
    {
        KZeqImporter importer(*manager);
        KZeqScene* scene = manager->CreateKZeqScene();
        ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
        EXPECT_EQ(row.mTree, ModelTree(*scene->GetRootNode()));
        KString message;
        importer.GetMessage(message);
        EXPECT_STREQ(row.mMessage, message.Buffer());
        scene->Clear();
        EXPECT_EQ(0, scene->GetRootNode()->GetChildCount());
        // Read again into the same scene, which the manager then ends: the message is this read's alone.
        ASSERT_TRUE(importer.Import(*scene));
        importer.GetMessage(message);
        EXPECT_STREQ(row.mMessage, message.Buffer());
    }
    manager.reset();
}
INSTANTIATE_TEST_SUITE_P(Rows, OneParentTest,
                         ::testing::Combine(::testing::ValuesIn(kParentRows), ::testing::Values(0, 1)),
                         [](const testing::TestParamInfo<std::tuple<ParentRow, int>>& info) {
                             return std::string(std::get<0>(info.param).mName) +
                                    (std::get<1>(info.param) ? "Binary" : "Ascii");
                         });

// ---- Targets the file names but does not define -----------------------------------------------

namespace {

// A camera "crane" whose look-at and up-vector targets the file names, in a 6.0 file's connections
// or a 5.8 file's records; "aim" is defined, "Ghost" and "Phantom" are not.
struct TargetRow {
    const char* mName;
    int mVersion;
    const char* mTargets;  // 6.0: "Connect" records; 5.8: fields of crane's record
    const char* mAim;      // crane's look-at target after the read, or ""
    const char* mUp;       // its up-vector target, or ""
    const char* mMessage;
};
const TargetRow kTargetRows[] = {
    {"SixLookAt", 6000, "Connect: \"OP\", \"Model::Ghost\", \"Model::crane\", \"LookAtProperty\";", "", "",
     "Model::crane's look-at target Model::Ghost is not defined in the file: the target is dropped."},
    {"SixUpVectorBesideADefinedAim",
     6000,
     "Connect: \"OP\", \"Model::aim\", \"Model::crane\", \"LookAtProperty\";"
     "Connect: \"OP\", \"Model::Phantom\", \"Model::crane\", \"UpVectorProperty\";",
     "aim", "", "Model::crane's up-vector target Model::Phantom is not defined in the file: the target is dropped."},
    {"SixDefined", 6000,
     "Connect: \"OP\", \"Model::aim\", \"Model::crane\", \"UpVectorProperty\";", "", "aim", ""},
    {"FiveEightBoth", 5800, "LookAtModel: \"Model::Ghost\";UpVectorModel: \"Phantom\";", "", "",
     "Model::crane's look-at target Model::Ghost is not defined in the file: the target is dropped.\n"
     "Model::crane's up-vector target Model::Phantom is not defined in the file: the target is dropped."},
    {"FiveEightDefinedAim", 5800, "LookAtModel: \"Model::aim\";UpVectorModel: \"Model::Ghost\";", "aim", "",
     "Model::crane's up-vector target Model::Ghost is not defined in the file: the target is dropped."},
};

void PrintTo(const TargetRow& row, std::ostream* out) { *out << row.mName; }

std::string TargetName(KZeqNode* node) { return node ? std::string(node->GetName()).substr(7) : ""; }

struct TargetTest : ::testing::TestWithParam<std::tuple<TargetRow, int>> {
    zeqtest::TempDir mDir;
};

}  // namespace

// Such a target was dropped without a word: the message names the node, the property and the name.
TEST_P(TargetTest, AnUndefinedTargetIsNamed) {
    const TargetRow& row = std::get<0>(GetParam());
    std::string fields;
    if (row.mVersion == 6000) {
        fields = NullModelFields({"crane", "aim"}, {{"crane", "Scene"}, {"aim", "Scene"}});
        fields.insert(fields.size() - 1, row.mTargets);
    } else {
        fields = std::string("Model: \"Model::crane\" {;Type: \"Null\";") + row.mTargets +
                 "};Model: \"Model::aim\" {;Type: \"Null\";};";
    }
    const std::string path = mDir / "targets.zeq";
    MakeZeqFile(path, row.mVersion, std::get<1>(GetParam()), fields);
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    KZeqScene* scene = manager.CreateKZeqScene();
    ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
    KZeqNode* crane = scene->GetRootNode()->FindChild("crane");
    ASSERT_NE(nullptr, crane);
    EXPECT_EQ(row.mAim, TargetName(crane->GetTarget()));
    EXPECT_EQ(row.mUp, TargetName(crane->GetTargetUp()));
    KString message;
    importer.GetMessage(message);
    EXPECT_STREQ(row.mMessage, message.Buffer());
}
INSTANTIATE_TEST_SUITE_P(Rows, TargetTest,
                         ::testing::Combine(::testing::ValuesIn(kTargetRows), ::testing::Values(0, 1)),
                         [](const testing::TestParamInfo<std::tuple<TargetRow, int>>& info) {
                             return std::string(std::get<0>(info.param).mName) +
                                    (std::get<1>(info.param) ? "Binary" : "Ascii");
                         });

// A 6.0 file without "Connections": every model comes under the root, in file order. The message
// names the first kMaxModelsNamed and counts the rest in one line more, however many there are.
TEST_F(SectionsTest, TheModelsOfAFileWithoutConnectionsComeUnderTheRoot) {
    const int count = KZeqReaderZeq::kMaxModelsNamed + 2;
    std::vector<std::string> models;
    for (int i = 0; i < count; ++i) models.push_back("m" + std::to_string(i));
    std::string fields = NullModelFields(models, {});
    fields.erase(fields.find("Connections: {"));
    const std::string path = mDir / "unconnected.zeq";
    MakeZeqFile(path, 6000, 1, fields);
    KZeqImporter importer(mManager);
    KZeqScene* scene = mManager.CreateKZeqScene();
    ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
    ASSERT_EQ(count, scene->GetRootNode()->GetChildCount());
    EXPECT_STREQ("Model::m101", scene->GetRootNode()->GetChild(count - 1)->GetName());
    KString message;
    importer.GetMessage(message);
    const std::string text = message.Buffer();
    EXPECT_EQ(KZeqReaderZeq::kMaxModelsNamed, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(0u, text.find("Model::m0 is connected under no model of the scene: it is put under the scene root.\n"));
    EXPECT_NE(std::string::npos, text.find("\nModel::m99 is connected under no model"));
    EXPECT_EQ(std::string::npos, text.find("Model::m100"));
    EXPECT_NE(std::string::npos,
              text.find("\n2 more models with no path to the scene root are put under it, with what is below them."));
}

// The root put under a model before the model joins the scene, and a chain 30,000 deep under
// that model, in either encoding: the chain comes whole, under the root.
TEST_F(SectionsTest, ADeepChainUnderTheModelTheRootWasPutUnder) {
    const int depth = 30000;
    std::vector<std::string> models{"A"};
    std::vector<std::pair<std::string, std::string>> links{{"Scene", "A"}, {"A", "Scene"}};
    for (int i = 0; i < depth; ++i) {
        models.push_back("n" + std::to_string(i));
        links.emplace_back(models.back(), i ? "n" + std::to_string(i - 1) : "A");
    }
    const std::string fields = NullModelFields(models, links);
    for (int mode : {0, 1}) {
        const std::string path = mDir / "chain.zeq";
        MakeZeqFile(path, 6000, mode, fields);
        KZeqImporter importer(mManager);
        KZeqScene* scene = mManager.CreateKZeqScene();
        ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
        ASSERT_NE(nullptr, scene->GetRootNode()) << mode;
        int levels = 0;
        for (KZeqNode* node = scene->GetRootNode(); node->GetChildCount() == 1; node = node->GetChild(0)) ++levels;
        EXPECT_EQ(depth + 1, levels) << mode;
        EXPECT_EQ(depth + 2, scene->GetEntity()->GetNodeCount()) << mode;
        mManager.DestroyKZeqScene(scene, true);
    }
}

// Before version 6: a later claim wins in sorted order, a link that would
// close a cycle is skipped, an empty name ends the list, and the nodes no
// one claims join the root in the order of the file.
TEST_F(SectionsTest, ChildNamesBeforeVersion6) {
    KZeqScene* scene = Read(5800,
                            "Model: \"Model::P2\" {;Type: \"Null\";Children: \"X\";};"
                            "Model: \"Model::P1\" {;Type: \"Null\";Children: \"Model::X\";};"
                            "Model: \"Model::X\" {;Type: \"Null\";};"
                            "Model: \"Model::B\" {;Type: \"Null\";Children: \"Model::A\";};"
                            "Model: \"Model::A\" {;Type: \"Null\";Children: \"Model::B\";};"
                            "Model: \"Model::C\" {;Type: \"Null\";Children: \"Model::C\", \"\", \"Model::D\";};"
                            "Model: \"Model::D\" {;Type: \"Null\";};");
    ASSERT_NE(nullptr, scene) << mError;
    KZeqNode& root = *scene->GetRootNode();
    EXPECT_EQ("Model::P2 Model::P1 Model::A Model::C Model::D ", Names(root));
    EXPECT_EQ("Model::X ", Names(*root.FindChild("P2")));
    EXPECT_EQ("Model::B ", Names(*root.FindChild("A")));
    EXPECT_EQ(0, root.FindChild("C")->GetChildCount());
}

// Two models of one name in a 5.8 file: names in records mean the first model of that name, the
// later one is left out and named in the message (a scene holds one model of a name), and what it
// listed as its children is placed as if it had not. Every other model ends in the scene: the
// subtree that held both was refused whole, without a word.
TEST_F(SectionsTest, TwoModelsOfOneNameBeforeVersion6) {
    const struct {
        const char* mFields;
        const char* mTree;
    } cases[] = {
        {"Model: \"Model::A\" {;Type: \"Null\";};"
         "Model: \"Model::B\" {;Type: \"Null\";Children: \"Model::A\";};"
         "Model: \"Model::A\" {;Type: \"Null\";Children: \"Model::B\";};",
         "RootNode(B(A))"},
        // The later one first in the table's order would have claimed C, and held it out of the scene.
        {"Model: \"Model::P\" {;Type: \"Null\";Children: \"Model::A\";};"
         "Model: \"Model::A\" {;Type: \"Null\";};"
         "Model: \"Model::A\" {;Type: \"Null\";Children: \"Model::C\", \"Model::P\";};"
         "Model: \"Model::C\" {;Type: \"Null\";};",
         "RootNode(P(A) C)"},
    };
    for (const auto& c : cases) {
        for (int mode : {0, 1}) {
            const std::string path = mDir / "twice.zeq";
            MakeZeqFile(path, 5800, mode, c.mFields);
            KZeqImporter importer(mManager);
            KZeqScene* scene = mManager.CreateKZeqScene();
            ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
            EXPECT_EQ(c.mTree, ModelTree(*scene->GetRootNode())) << c.mFields;
            KString message;
            importer.GetMessage(message);
            EXPECT_STREQ(
                "Model::A is defined again: a scene holds one model of a name; the first one holds, this one is left out.",
                message.Buffer());
            mManager.DestroyKZeqScene(scene, true);
        }
    }
}

// ---- One node record, row by row -------------------------------------------------------------

namespace {

struct NodeRow {
    const char* mName;
    const char* mFields;
    std::function<void(KZeqNode&)> mCheck;
};

int AttributeType(KZeqNode& node) { return node.GetNodeAttribute() ? node.GetNodeAttribute()->GetAttributeType() : 0; }

// Limits, pivots, camera and light records: one line each.
#define ROW(name, fields, check) {#name, fields, [](KZeqNode& n) { check; }}
KZeqCamera& Cam(KZeqNode& n) { return *n.GetCamera(); }
const NodeRow kNodeRows[] = {
    {"Defaults", "Type: \"Null\"",
     [](KZeqNode& n) {
         EXPECT_TRUE(n.GetVisibility() && n.GetMultiLayer());
         EXPECT_EQ(0, n.GetShadingMode()); EXPECT_EQ(0, n.GetCullingType()); EXPECT_EQ(0, n.GetMultiTakeMode());
     }},
    {"HiddenInAnyCase", "Type: \"Null\";Hidden: \"tRUe\";Shading: \"U\";Culling: \"CullingOnCW\";MultiLayer: 0",
     [](KZeqNode& n) {
         EXPECT_FALSE(n.GetVisibility()); EXPECT_FALSE(n.GetMultiLayer());
         EXPECT_EQ(5, n.GetShadingMode()); EXPECT_EQ(2, n.GetCullingType());
     }},
    {"OtherTextsKeepDefaults", "Type: \"Null\";Hidden: \"yes\";Shading: \"Q\";Culling: \"cullingoncw\";MultiTake: 2",
     [](KZeqNode& n) {
         EXPECT_TRUE(n.GetVisibility());
         EXPECT_EQ(0, n.GetShadingMode()); EXPECT_EQ(0, n.GetCullingType()); EXPECT_EQ(2, n.GetMultiTakeMode());
     }},
    {"NoTypeIsAMesh", "", [](KZeqNode& n) { EXPECT_EQ(KZeqNodeAttribute::eMESH, AttributeType(n)); }},
    {"LowerCaseTypeIsNone", "Type: \"null\"", [](KZeqNode& n) { EXPECT_EQ(0, AttributeType(n)); }},
    {"TrailingBlankIsNone", "Type: \"Null \"", [](KZeqNode& n) { EXPECT_EQ(0, AttributeType(n)); }},
    {"OldLimbNodeSizeInMetres", "Type: \"LimbNode\";Size: 0.5",
     [](KZeqNode& n) { EXPECT_DOUBLE_EQ(50.0, n.GetSkeleton()->GetLimbNodeSize()); }},
    {"LimbNodeSizeInProperties", "Type: \"LimbNode\";Size: 0.5;Properties: {;Size: 3;}",
     [](KZeqNode& n) { EXPECT_DOUBLE_EQ(3.0, n.GetSkeleton()->GetLimbNodeSize()); }},
    {"EffectorReadsNothing", "Type: \"Effector\";Properties: {;Size: 3;}",
     [](KZeqNode& n) { EXPECT_EQ(KZeqSkeleton::eEFFECTOR, n.GetSkeleton()->GetSkeletonType()); }},
    {"MarkerColourFromItsChannel",
     "Type: \"Marker\";Channel: \"Visibility\" {;Default: 0;};Channel: \"Color\" {;Channel: \"X\" {;Default: 1;};"
     "Channel: \"Y\" {;Default: 0;};Channel: \"Z\" {;Default: 0;};}",
     [](KZeqNode& n) {
         const KZeqColor color = n.GetMarker()->GetColor();
         EXPECT_EQ(1.0, color.mRed); EXPECT_EQ(0.0, color.mGreen); EXPECT_EQ(0.0, color.mBlue);
         EXPECT_EQ(0.0f, n.GetDefaultTakeNode()->GetVisibility()->GetValue());  // channels read from the first
     }},
    {"MarkerPropertiesWinOverTheChannel",
     "Type: \"Marker\";Properties: {;Size: 3;};Channel: \"Color\" {;Channel: \"X\" {;Default: 0.25;};}",
     [](KZeqNode& n) { EXPECT_NE(0.25, n.GetMarker()->GetColor().mRed); }},
    {"IKEffectorReach", "Type: \"IKEffector\";IKReachTranslation: 0.5",
     [](KZeqNode& n) {
         EXPECT_EQ(0.5, n.GetMarker()->GetDefaultIKReachTranslation());
         EXPECT_NE(nullptr, n.GetMarker()->GetPropertyHandler()->FindPropertyByName("IK Reach Rotation"));
     }},
    {"UserProperties",
     "Type: \"Null\";UserProperty: {;Name: \"Weight\";Type: \"Real\";Value: 0.5;Max: 2;};"
     "UserProperty: {;Name: \"Dir\";Type: \"vEcToR\";};UserProperty: {;Name: \"Odd\";}",
     [](KZeqNode& n) {
         KZeqUserProperty* weight = n.FindPropertyByName("Weight (Real)");
         ASSERT_NE(nullptr, weight);
         double value = 0.0;
         weight->GetDefaultValue(value);
         EXPECT_EQ(0.5, value);
         EXPECT_TRUE(std::isinf(weight->GetMinLimit()) && weight->GetMinLimit() < 0); EXPECT_EQ(2.0, weight->GetMaxLimit());
         EXPECT_NE(nullptr, n.FindPropertyByName("Dir"));
         EXPECT_NE(nullptr, n.FindPropertyByName("Odd ()"));
     }},
    // With option 9 (on by default) the "Package" rotations replace those of the limits.
    ROW(PivotsAfterLimits, "Type: \"Null\";Limits: {;RXDefault: 7;};Pivots: {;Version: 1;Package: {;"
        "PivotEnabled: 0;PreRotation: 1,2,3;};File: {;PivotEnabled: 4;ScalingPivot: 5,6,7;}}",
        KZeqNode::EPivotState a; n.GetPivotState(KZeqNode::eSOURCE_SET, a);
        EXPECT_EQ(KZeqNode::ePIVOT_STATE_REFERENCE, a); EXPECT_EQ(1, n.GetPreRotation(KZeqNode::eSOURCE_SET)[0]);
        EXPECT_EQ(6, n.GetScalingPivot(KZeqNode::eDESTINATION_SET)[1])),
    ROW(CameraVersion116, "Type: \"Camera\";Version: 116;AspectW: 640.5;AspectType: 2",
        EXPECT_EQ(640.0, Cam(n).GetAspectWidth())),
    ROW(CameraVersion117, "Type: \"Camera\";Version: 117;AspectW: 640.5;AspectType: 2",
        EXPECT_EQ(640.5, Cam(n).GetAspectWidth())),
    ROW(CameraVersion209, "Type: \"Camera\";Version: 209;Aperture: 90;FocalLength: 80",
        EXPECT_NEAR(90.0, Cam(n).GetAngleOfView(), 1e-9)),
    ROW(CameraBackgroundBefore200, "Type: \"Camera\";Version: 150;BackgroundTexture: \"a.tif\";"
        "VideoClipTexture: \"b.tif\";Media: \"m\"",
        EXPECT_STREQ("b.tif", Cam(n).GetBackgroundFileName()); EXPECT_EQ(nullptr, Cam(n).GetBackgroundMediaName())),
    ROW(CameraUnknownFormats, "Type: \"Camera\";FormatName: \"pal\";ApertureFormat: \"35mm\"",
        EXPECT_EQ(KZeqCamera::eCUSTOM_FORMAT, Cam(n).GetFormat());
        EXPECT_EQ(KZeqCamera::eCUSTOM_APERTURE_FORMAT, Cam(n).GetApertureFormat())),
    ROW(CameraNoApertureFormat, "Type: \"Camera\";NearPlane: 0", EXPECT_EQ(0.001, Cam(n).GetNearPlane());
        EXPECT_EQ(KZeqCamera::e35MM_TV_PROJECTION, Cam(n).GetApertureFormat())),
    ROW(LightVersion201, "Type: \"Light\";LightTypeVersion: 201;Intensity: 80;LightType: 2",
        EXPECT_NE(80.0, n.GetLight()->GetDefaultIntensity()); EXPECT_EQ(KZeqLight::eSPOT, n.GetLight()->GetLightType());
        EXPECT_TRUE(n.GetLight()->GetCastLight())),
    ROW(LightVersion202WithoutIntensity, "Type: \"Light\";LightTypeVersion: 202;CastLight: 0",
        EXPECT_EQ(0.0, n.GetLight()->GetDefaultIntensity()); EXPECT_FALSE(n.GetLight()->GetCastLight())),
};
#undef ROW

struct NodeRecordTest : SectionsTest, ::testing::WithParamInterface<NodeRow> {};

}  // namespace

TEST_P(NodeRecordTest, ReadsAsItsRowSays) {
    KZeqScene* scene = Read(5800, std::string("Model: \"Model::N\" {;") + GetParam().mFields + ";}");
    ASSERT_NE(nullptr, scene) << mError;
    KZeqNode* node = scene->GetRootNode()->FindChild("N");
    ASSERT_NE(nullptr, node);
    GetParam().mCheck(*node);
}
INSTANTIATE_TEST_SUITE_P(Rows, NodeRecordTest, ::testing::ValuesIn(kNodeRows),
                         [](const ::testing::TestParamInfo<NodeRow>& info) { return std::string(info.param.mName); });

// ---- Takes --------------------------------------------------------------------------------------

// Offset type 0 moves a take's first key to the offset; a take without keys
// stays where it is (its start would be +infinity).
TEST_F(SectionsTest, ImportOffsetOfTypeZero) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqNode* node = mManager.CreateKZeqNode("Moved");
    scene->GetRootNode()->AddChild(node);
    for (const char* take : {"Keys", "Empty"}) scene->CreateTake(take);
    node->SetCurrentTakeNode("Keys");
    Key(node->GetCurrentTakeNode()->GetTranslationX(), kSecond * 2, 1.0f);
    Key(node->GetCurrentTakeNode()->GetTranslationX(), kSecond * 3, 2.0f);
    node->SetCurrentTakeNode(0);
    const std::string path = mDir / "offset.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, kZeqFileCases[1], path));
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str()));
    ASSERT_EQ(2, importer.GetTakeCount());
    for (int i = 0; i < 2; ++i) importer.GetTakeInfo(i)->mImportOffsetType = 0, importer.GetTakeInfo(i)->mImportOffset = kSecond * 10;
    KZeqScene* read = mManager.CreateKZeqScene();
    ASSERT_TRUE(importer.Import(*read)) << importer.GetLastErrorString();
    KZeqNode* moved = read->GetRootNode()->FindChild("Moved");
    ASSERT_TRUE(moved && moved->SetCurrentTakeNode("Keys"));
    KFCurve* x = moved->GetCurrentTakeNode()->GetTranslationX();
    ASSERT_EQ(2, x->KeyGetCount());
    EXPECT_EQ(kSecond * 10, x->KeyGet(0).GetTime()); EXPECT_EQ(kSecond * 11, x->KeyGet(1).GetTime());
    EXPECT_EQ(kSecond * 10, read->GetTakeInfo("Keys")->mLocalTimeSpan.GetStart());
    EXPECT_EQ(kSecond * 11, read->GetTakeInfo("Keys")->mLocalTimeSpan.GetStop());
    EXPECT_EQ(KTime(0), read->GetTakeInfo("Empty")->mLocalTimeSpan.GetStart());
    EXPECT_EQ(kSecond, read->GetTakeInfo("Empty")->mLocalTimeSpan.GetStop());
}

// A missing take file fails a file before version 2000 with "File not
// opened"; later files read the take from its block.
TEST_F(SectionsTest, MissingTakeFileByVersion) {
    for (int version : {1000, 5800}) {
        SCOPED_TRACE(version);
        KZeqScene* scene = Read(version,
                                "Model: \"Model::A\" {;Type: \"Null\";};"
                                "Takes: {;Take: \"T\" {;FileName: \"gone.tak\";LocalTime: 1,2;Model: \"Model::A\" {;};};}");
        EXPECT_EQ(version == 5800, scene != nullptr);
        EXPECT_TRUE(scene ? scene->GetTakeInfo("T") != nullptr : mError.find("not opened") != std::string::npos) << mError;
    }
}

// ---- Time warps ------------------------------------------------------------------------------

namespace {

// A parent with its own time warp and a child curve of three keys.
struct WarpedNode {
    WarpedNode(std::initializer_list<double> warpSeconds) {
        warp->FCurveSet(KFCurveCreate(), true);
        for (double s : warpSeconds) Key(warp->FCurveGet(), KTime(static_cast<kLongLong>(s * 46186158000.0)), static_cast<float>(s / 2));
        parent->Add(child);
        child->FCurveSet(KFCurveCreate(), true);
        for (int i = 0; i < 3; ++i) Key(child->FCurveGet(), kSecond * i, static_cast<float>(i * 10));
        parent->TimeWarpSet(warp);
        // As the take's reader holds its warps while it reads: the bake lets go of the parent's hold.
        holder->TimeWarpSet(warp);
    }
    ~WarpedNode() {
        parent->Destroy();
        holder->Destroy();
    }
    KFCurveNode* parent = KFCurveNodeCreate("Parent");
    KFCurveNode* child = KFCurveNodeCreate("X");
    KFCurveNode* warp = KFCurveNodeCreate("Warp");
    KFCurveNode* holder = KFCurveNodeCreate("Holder");
};

}  // namespace

TEST_F(SectionsTest, TimeWarpMerge) {
    KZeqImporter importer(mManager);
    KZeqReaderZeq reader(mManager, importer);
    const KTime period = KFCURVE_GetPlotPeriod();
    {
        // One warp key holds the take at one time (0.5 s): the child holds the value there, 5, as the
        // take's evaluation gives it, and the parent loses the warp.
        WarpedNode one({1.0});
        reader.MergeLayerAndTimeWarp(one.parent, nullptr);
        ASSERT_EQ(1, one.child->FCurveGet()->KeyGetCount());
        EXPECT_NEAR(5.0, one.child->FCurveGet()->Evaluate(kSecond * 2), 1e-4);
        EXPECT_EQ(nullptr, one.parent->TimeWarpGet());
    }
    {
        // Half speed over one second: samples at the plot period and at its end, as cubic keys.
        WarpedNode two({0.0, 1.0});
        KFCURVE_SetPlotPeriod(KTime(kSecond.Get() / 4));
        reader.MergeLayerAndTimeWarp(two.parent, nullptr);
        KFCurve* curve = two.child->FCurveGet();
        ASSERT_EQ(5, curve->KeyGetCount());
        EXPECT_EQ(KTime(kSecond.Get() * 3 / 4), curve->KeyGet(3).GetTime());
        EXPECT_NEAR(3.75, curve->KeyGet(3).GetValue(), 1e-4);
        EXPECT_EQ(8u, curve->KeyGet(3).GetInterpolation());
        // The warp's end reads the curve at 0.5 s: it holds 5 there and after, as the file means.
        EXPECT_EQ(kSecond, curve->KeyGet(4).GetTime());
        EXPECT_NEAR(5.0, curve->Evaluate(kSecond * 2), 1e-4);
        // Off the period's grid, the end is a sample all the same.
        WarpedNode off({0.0, 0.9});
        reader.MergeLayerAndTimeWarp(off.parent, nullptr);
        ASSERT_EQ(5, off.child->FCurveGet()->KeyGetCount());
        EXPECT_EQ(off.warp->FCurveGet()->KeyGet(1).GetTime(), off.child->FCurveGet()->KeyGet(4).GetTime());
        EXPECT_NEAR(4.5, off.child->FCurveGet()->KeyGet(4).GetValue(), 1e-4);
        // A plot period of zero would sample without end: the ends alone are samples.
        WarpedNode zero({0.0, 1.0});
        KFCURVE_SetPlotPeriod(KTime(0));
        reader.MergeLayerAndTimeWarp(zero.parent, nullptr);
        ASSERT_EQ(2, zero.child->FCurveGet()->KeyGetCount());
        EXPECT_NEAR(5.0, zero.child->FCurveGet()->KeyGet(1).GetValue(), 1e-4);
        EXPECT_EQ(nullptr, zero.parent->TimeWarpGet());
    }
    KFCURVE_SetPlotPeriod(period);
}

// Models before version 6 report "Retrieving models" at i x 100 / n.
TEST_F(SectionsTest, ModelProgressBeforeVersion6) {
    static std::vector<float> percents;
    percents.clear();
    MakeZeqFile(mDir / "p.zeq", 5800, 1, "Model: \"Model::A\";Model: \"Model::B\";Model: \"Model::C\"");
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize((mDir / "p.zeq").c_str()));
    KStreamOptions* options = importer.GetImportOptions(KZeqImporter::eParseFile);
    ASSERT_NE(nullptr, options);
    options->SetProgressCallback([](const char*, const char* message, float percent) {
        if (std::string(message) == "Retrieving models") percents.push_back(percent);
    });
    KZeqScene* scene = mManager.CreateKZeqScene();
    EXPECT_TRUE(importer.Import(*scene, options));
    importer.ReleaseImportOptions(options);
    ASSERT_EQ(4u, percents.size());  // the message first, then one per model
    EXPECT_FLOAT_EQ(0.0f, percents[1]);
    EXPECT_NEAR(33.333f, percents[2], 1e-3);
    EXPECT_NEAR(66.667f, percents[3], 1e-3);
    EXPECT_EQ(3, scene->GetRootNode()->GetChildCount());
}

// The 5.8 writer stores a material take's shininess a hundred times larger
// and leaves the scene's curve as it was; reading a take of a file before
// version 6 divides again.
TEST_F(SectionsTest, MaterialShininessBeforeVersion6) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqMaterial* material = mManager.CreateKZeqMaterial("Shiny");
    ASSERT_TRUE(scene->GetEntity()->AddMaterial(material));
    scene->CreateTake("Walk");
    ASSERT_TRUE(material->SetCurrentTakeNode("Walk"));
    KFCurve* shininess = material->GetCurrentTakeNode()->GetMaterialShininess();
    ASSERT_NE(nullptr, shininess);
    Key(shininess, kSecond, 0.5f);
    material->SetCurrentTakeNode(0);
    const std::string path = mDir / "shiny.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, kZeqFileCases[3], path));
    EXPECT_EQ(0.5f, shininess->KeyGet(0).GetValue());

    KZeqScene* read = mManager.CreateKZeqScene();
    KZeqMaterial* copy = mManager.CreateKZeqMaterial("Shiny");
    read->GetEntity()->AddMaterial(copy);
    for (bool before6 : {true, false}) {
        KZeqTakeInfo take;
        take.mName = take.mImportName = before6 ? "Walk" : "Again";
        KZeqImporter importer(mManager);
        KZeqReaderZeq reader(mManager, importer);
        ASSERT_TRUE(reader.FileOpen(path.c_str()));
        reader.GetZeqObject()->SetIsBeforeVersion6(before6);  // the main file's layout decides
        std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
        IZeqObject& file = *stream;
        ASSERT_TRUE(file.ProjectOpen(path.c_str(), true, true));
        ASSERT_TRUE(file.FieldReadBegin("Takes") && file.FieldReadBlockBegin() && file.FieldReadBegin("Take") &&
                    file.FieldReadBlockBegin());
        reader.ReadNodeAnimation(file, *read, &take);
        ASSERT_TRUE(copy->SetCurrentTakeNode(take.mName.Buffer()));
        KFCurve* curve = copy->GetCurrentTakeNode()->GetMaterialShininess();
        ASSERT_TRUE(curve && curve->KeyGetCount() == 1);
        EXPECT_FLOAT_EQ(before6 ? 0.5f : 50.0f, curve->KeyGet(0).GetValue());
    }
}

// A take holding a time warp (half speed over one
// second) that T's X channel names, read with the baking of option 10 off and
// on. Off, T holds the warp and X its keys. On, T is sampled at the plot
// period through the warp over its interval, its end included, with a layer
// (X + 5) or without; the warp and the layer are gone.
TEST_F(SectionsTest, TimeWarpsOfATake) {
    const std::string warp = "TimeWarps: {;Version: 100;TW: 1 {;Channel: \"W\" {;Default: 0;KeyVer: 4004;KeyCount: 2;"
                             "Key: 0,0,L,46186158000,0.5,L;};};};";
    const std::string x = "Channel: \"X\" {;Default: 0;TimeWarpID: 1;KeyVer: 4004;KeyCount: 2;"
                          "Key: 0,0,L,46186158000,10,L;};";
    const std::string layer = "LayerChannel: \"T\" {;LayerID: 1;Channel: \"X\" {;Default: 5;KeyVer: 4004;KeyCount: 1;"
                              "Key: 0,5,L;};};";
    const KTime period = KFCURVE_GetPlotPeriod();
    KFCURVE_SetPlotPeriod(KTime(kSecond.Get() / 4));
    // Keys as "quarter:value".
    const char* const expected[2][2] = {{"0:0 4:10 ", "0:0 1:1.25 2:2.5 3:3.75 4:5 "},
                                        {"0:0 4:10 ", "0:5 1:6.25 2:7.5 3:8.75 4:10 "}};
    for (bool withLayer : {false, true}) {
        for (bool merge : {false, true}) {
            SCOPED_TRACE(std::string(withLayer ? "layer" : "no layer") + (merge ? ", merged" : ""));
            const std::string path = mDir / "warps.zeq";
            MakeZeqFile(path, 5800, 0,
                        "Model: \"Model::A\" {;Type: \"Null\";};Takes: {;Current: \"T\";Take: \"T\" {;" + warp +
                            "Model: \"Model::A\" {;Version: 1.1;Channel: \"Transform\" {;Channel: \"T\" {;" + x +
                            (withLayer ? layer : "") + "};};};};}");
            KZeqNode* a = ReadTakeT(path, merge);
            ASSERT_NE(nullptr, a);
            KFCurveNode* t = a->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T");
            ASSERT_NE(nullptr, t);
            // What the bake has baked is gone from the take: nothing plays it twice.
            if (merge) {
                EXPECT_EQ(nullptr, t->TimeWarpGet());
                EXPECT_EQ(nullptr, t->LayerGet());
            } else {
                ASSERT_TRUE(t->TimeWarpGet() && t->TimeWarpGet()->FCurveGet());
                EXPECT_FLOAT_EQ(0.5f, t->TimeWarpGet()->FCurveGet()->Evaluate(kSecond));
                EXPECT_EQ(withLayer, t->LayerGet() != nullptr);
            }
            KFCurve* curve = a->GetCurrentTakeNode()->GetTranslationX();
            std::ostringstream keys;
            for (int i = 0; i < curve->KeyGetCount(); ++i)
                keys << curve->KeyGet(i).GetTime().Get() / (kSecond.Get() / 4) << ":" << curve->KeyGet(i).GetValue() << " ";
            EXPECT_EQ(expected[withLayer][merge], keys.str());
        }
    }
    KFCURVE_SetPlotPeriod(period);
}

// A take's time warps and layers read without the baking (option 10 off, as the SDK's callers
// read): the take's tree keeps them, and every model evaluates where the file puts it, at the keys,
// between them and after the curves' last key, in every order with a pre-rotation and without.
TEST_F(SectionsTest, UnmergedWarpsAndLayersPlayAsTheFileMeans) {
    using namespace zeqtest;
    std::mt19937 random(61);
    const auto value = [&random](double range) { return FieldNumber(range * (random() / 2147483648.0 - 1.0)); };
    for (unsigned kind : TakeLayeringKinds()) {
        SCOPED_TRACE(TakeKindsName(kind));
        struct Model {
            FileTransformValues mValues;  // order and pre-rotation
            ScalarKeys mT[3], mR[3];
            TakeLayering mLayering;
        };
        std::vector<Model> models(14);
        std::string objects, connections, takes;
        for (std::size_t i = 0; i < models.size(); ++i) {
            Model& m = models[i];
            m.mValues.rotationOrder = static_cast<int>(i % 7);
            for (int axis = 0; axis < 3; ++axis) {
                if (i >= 7) m.mValues.preRotation[axis] = std::stod(value(170));
                for (double seconds : {0.0, 1.0, 2.0}) {
                    m.mT[axis].emplace_back(seconds, std::stod(value(5)));
                    m.mR[axis].emplace_back(seconds, std::stod(value(170)));
                }
            }
            m.mLayering = RandomTakeLayering(random, kind);
            const std::string name = "\"Model::N" + std::to_string(i) + "\"";
            const double* pre = m.mValues.preRotation;
            objects += "Model: " + name + ", \"Null\" {;Properties60: {;Property: \"RotationOrder\", \"enum\", \"\", " +
                       std::to_string(m.mValues.rotationOrder) + ";Property: \"PreRotation\", \"Vector3D\", \"\", " +
                       FieldNumber(pre[0]) + "," + FieldNumber(pre[1]) + "," + FieldNumber(pre[2]) +
                       ";Property: \"RotationActive\", \"bool\", \"\", 1;};Type: \"Null\";};";
            connections += "Connect: \"OO\", " + name + ", \"Model::Scene\";";
            takes += TakeModelField(name, m.mT, m.mR, m.mLayering);
        }
        const std::string path = mDir / "layered.zeq";
        MakeZeqFile(path, 6000, 0,
                    "Definitions: {;ObjectType: \"Model\";};Objects: {;" + objects + "};Connections: {;" +
                        connections + "};Takes: {;Current: \"T\";Take: \"T\" {;" + TimeWarpsField() + takes +
                        "};};");
        KZeqImporter importer(mManager);
        ASSERT_TRUE(importer.Initialize(path.c_str()));
        auto* options = static_cast<KStreamOptionsZeq*>(importer.GetImportOptions());
        ASSERT_FALSE(options->GetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP));
        KZeqScene* scene = mManager.CreateKZeqScene();
        ASSERT_TRUE(importer.Import(*scene, options)) << importer.GetLastErrorString();
        importer.ReleaseImportOptions(options);
        for (std::size_t i = 0; i < models.size(); ++i) {
            const Model& m = models[i];
            KZeqNode* node = scene->GetRootNode()->FindChild(("N" + std::to_string(i)).c_str());
            ASSERT_TRUE(node && node->SetCurrentTakeNode("T")) << "N" << i;
            EXPECT_TRUE(node->IsTakeLayeredOrWarped());
            for (double seconds : {0.0, 0.5, 1.0, 1.25, 2.0, 3.0, 4.0}) {
                const Mat4 expected = FileLocalMatrix(LayeredValues(m.mLayering, seconds, [&m](double at) {
                    FileTransformValues v = m.mValues;
                    for (int axis = 0; axis < 3; ++axis) {
                        v.t[axis] = At(m.mT[axis], at);
                        v.r[axis] = At(m.mR[axis], at);
                    }
                    return v;
                }));
                KTime time;
                time.SetSecondDouble(seconds);
                const KZeqXMatrix actual = node->EvaluateGlobalTransform(time);
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 3; ++c)
                        EXPECT_NEAR(expected[r][c], actual.mData[r][c], 1e-4)
                            << "N" << i << " (order " << m.mValues.rotationOrder << ") at " << seconds << " s, [" << r
                            << "][" << c << "]";
            }
        }
    }
}

// A model's rotation curves are in its rotation order: the merge of a layer on "R", or of a warp
// on "Transform" that "R" inherits, and the unroll after it keep their turn in that order. The
// keys jump from (0, 0, 0) to (170, 170, 170), which the unroll takes to its other solution,
// (-10, 10, -10) in Euler XYZ and another in each order whose middle axis is not Y.
TEST_F(SectionsTest, MergedRotationsKeepTheirTurnInTheModelsOrder) {
    const std::string warp = "TimeWarps: {;Version: 100;TW: 1 {;Channel: \"W\" {;Default: 0;KeyVer: 4004;KeyCount: 2;"
                             "Key: 0,0,L,46186158000,1,L;};};};";
    std::string axes;
    for (const char* axis : {"X", "Y", "Z"})
        axes += std::string("Channel: \"") + axis +
                "\" {;Default: 0;KeyVer: 4004;KeyCount: 2;Key: 0,0,C,s,23093079000,170,C,s;};";
    const std::string layer = "LayerChannel: \"R\" {;LayerID: 1;Channel: \"X\" {;Default: 0;};"
                              "Channel: \"Y\" {;Default: 0;};Channel: \"Z\" {;Default: 0;};};";
    const KTime period = KFCURVE_GetPlotPeriod();
    KFCURVE_SetPlotPeriod(KTime(kSecond.Get() / 8));
    for (bool withLayer : {false, true}) {
        for (int order = eEULER_XYZ; order < eSPHERIC_XYZ; ++order) {
            SCOPED_TRACE(std::string(withLayer ? "layer" : "warp") + ", order " + std::to_string(order));
            const std::string path = mDir / "orders.zeq";
            MakeZeqFile(path, 6000, 0,
                        "Definitions: {;ObjectType: \"Model\";};Objects: {;Model: \"Model::A\", \"Null\" {;"
                        "Properties60: {;Property: \"RotationOrder\", \"enum\", \"\", " +
                            std::to_string(order) +
                            ";};Type: \"Null\";};};Connections: {;Connect: \"OO\", \"Model::A\", \"Model::Scene\";};"
                            "Takes: {;Current: \"T\";Take: \"T\" {;" +
                            warp + "Model: \"Model::A\" {;Version: 1.1;Channel: \"Transform\" {;Channel: \"R\" {;" +
                            axes + (withLayer ? layer : "") + "};" + (withLayer ? "" : "TimeWarpID: 1;") + "};};};};");
            KFCurve* curves[2][3] = {};
            for (bool merge : {false, true}) {
                KZeqNode* a = ReadTakeT(path, merge);
                ASSERT_NE(nullptr, a);
                ERotationOrder read = eEULER_XYZ;
                a->GetRotationOrder(KZeqNode::eSOURCE_SET, read);
                ASSERT_EQ(order, read);
                KZeqTakeNode* take = a->GetCurrentTakeNode();
                KFCurve* r[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
                for (int c = 0; c < 3; ++c) ASSERT_NE(nullptr, curves[merge][c] = r[c]);
            }
            ASSERT_GE(curves[1][0]->KeyGetCount(), 2);
            bool unrolled = false;
            for (int k = 0; k < curves[1][0]->KeyGetCount(); ++k) {
                const KTime t = curves[1][0]->KeyGet(k).GetTime();
                double before[3], after[3];
                for (int c = 0; c < 3; ++c) {
                    before[c] = curves[0][c]->Evaluate(t);
                    after[c] = curves[1][c]->Evaluate(t);
                    unrolled = unrolled || std::fabs(after[c] - before[c]) > 1.0;
                }
                const zeqtest::Mat4 expected = zeqtest::EulerMatrix(before, order);
                const zeqtest::Mat4 merged = zeqtest::EulerMatrix(after, order);
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j) EXPECT_NEAR(expected[i][j], merged[i][j], 1e-5) << "key " << k;
            }
            EXPECT_TRUE(unrolled);  // the jump was taken to the other solution
        }
    }
    KFCURVE_SetPlotPeriod(period);
}

// A 6.0 file whose property block says another thing than the channels (as files written before
// the blocks took the channels' values do): the properties read take the channels', which come
// last. A texture's block alone gives its "Alpha" channel the "Texture alpha" value.
TEST_F(SectionsTest, PropertiesAndChannelsAgreeAfterAVersion6Read) {
    KZeqScene* scene =
        Read(6000, "Definitions: {;ObjectType: \"Model\" {;Count: 1;};ObjectType: \"Texture\" {;Count: 1;};};"
                   "Objects: {;Model: \"Model::Lamp\", \"Light\" {;Type: \"Light\";LightTypeVersion: 202;"
                   "Intensity: 200;"
                   "Properties60: {;Property: \"Intensity\", \"Intensity\", \"AK\", 100;};"
                   "Channel: \"Intensity\" {;Default: 200;};};"
                   "Texture: \"Texture::t\", \"\" {;Type: \"TextureVideoClip\";Version: 202;"
                   "Properties60: {;Property: \"Texture alpha\", \"Number\", \"AK\", 0.5;};};};"
                   "Connections: {;Connect: \"OO\", \"Model::Lamp\", \"Model::Scene\";};");
    ASSERT_NE(nullptr, scene) << mError;
    KZeqNode* lamp = scene->GetRootNode()->FindChild("Lamp");
    ASSERT_TRUE(lamp && lamp->GetLight());
    EXPECT_EQ(200.0, lamp->GetLight()->GetPropertyHandler()->mIntensity->AsDouble());
    EXPECT_EQ(200.0, lamp->GetLight()->GetDefaultIntensity());
    ASSERT_EQ(1, scene->GetEntity()->GetTextureCount());
    KZeqTexture* texture = scene->GetEntity()->GetTexture(0);
    EXPECT_EQ(0.5, texture->GetDefaultAlpha());
    EXPECT_EQ(0.5f, texture->GetDefaultTakeNode()->GetTextureAlpha()->GetValue());
}

// ---- User properties through 5.8 files -----------------------------------------------------------

namespace {

// A dancer whose user properties are named with their type suffixes or without (as a 6.0 read
// names them), written in the case's form and read back.
struct UserPropertiesBefore6 : SectionsTest, ::testing::WithParamInterface<ZeqFileCase> {
    KZeqScene* Scene(bool suffixed, std::vector<const char*> types = {"Integer", "Real", "Bool"}) {
        KZeqScene* scene = mManager.CreateKZeqScene();
        KZeqNode* node = mManager.CreateKZeqNode("Dancer");
        scene->GetRootNode()->AddChild(node);
        for (const char* type : types) {
            // A vector's name never carries its type.
            const bool suffix = suffixed && std::string(type) != "Vector";
            const std::string name = std::string(type).substr(0, 2) + (suffix ? std::string(" (") + type + ")" : "");
            KZeqUserProperty* property = mManager.CreateKZeqUserProperty(name.c_str(), type, "");
            property->ModifyFlag(KZeqUserProperty::eUSER, true);
            property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
            node->AddProperty(property);
            property->SetDefaultValue(type[0] == 'R' ? 2.5 : 1.0);
        }
        return scene;
    }
    // The values read back, by name.
    std::map<std::string, double> ThroughFile(KZeqScene& scene, KZeqScene** read = nullptr) {
        const std::string path = mDir / "dancer.zeq";
        EXPECT_TRUE(WriteZeqFile(mManager, scene, GetParam(), path, "", &mError)) << mError;
        KZeqScene* back = ReadZeqFile(mManager, path, "", &mError);
        KZeqNode* node = back ? back->GetRootNode()->FindChild("Dancer") : nullptr;
        std::map<std::string, double> values;
        for (int i = 0; node && i < node->GetPropertyCount(); ++i)
            if (node->PeekFlag(i, KZeqUserProperty::eUSER))
                node->GetProperty(i)->GetDefaultValue(values[node->GetProperty(i)->GetName().Buffer()]);
        if (read) *read = back;
        return values;
    }
};

// The keys of the dancer's user properties in take "Walk" ("name[channel]" -> "second:value ..."), by
// the name a file stores them under; a property named with its type that also has a channel under
// that name is listed as "stray", with the takes that hold one.
std::map<std::string, std::string> WalkKeys(KZeqScene& scene) {
    std::map<std::string, std::string> keys;
    KZeqNode* node = scene.GetRootNode()->FindChild("Dancer");
    if (!node) return keys;
    for (int i = 0; i < node->GetPropertyCount(); ++i) {
        if (!node->PeekFlag(i, KZeqUserProperty::eUSER)) continue;
        KZeqUserProperty* property = node->GetProperty(i);
        KString name = property->GetName();
        RemoveTypeIdentifierFromName(name);
        for (int take = 0; take < node->GetTakeNodeCount() && name != property->GetName(); ++take)
            if (FindPropertyChannel(node->GetTakeNode(take)->GetKFCurveNode(), name))
                keys[std::string("stray ") + name.Buffer()] += node->GetTakeNode(take)->GetName();
        KZeqTakeNode* walk = node->SetCurrentTakeNode("Walk") ? node->GetCurrentTakeNode() : nullptr;
        for (unsigned channel = 0; walk && channel < 3; ++channel) {
            KFCurve* curve = walk->GetPropertyAnimation(property, channel);
            if (!curve) continue;
            std::ostringstream text;
            for (int k = 0; k < curve->KeyGetCount(); ++k)
                text << curve->KeyGet(k).GetTime().Get() / kSecond.Get() << ":" << curve->KeyGet(k).GetValue() << " ";
            keys[std::string(name.Buffer()) + "[" + std::to_string(channel) + "]"] = text.str();
        }
    }
    node->SetCurrentTakeNode(0);
    return keys;
}

}  // namespace

// Channels stored with or without the type suffix read back the values, and so does a scene read
// from 5.8, changed and written again.
TEST_P(UserPropertiesBefore6, KeepTheirValues) {
    const std::map<std::string, double> expected = {{"In (Integer)", 1}, {"Re (Real)", 2.5}, {"Bo (Bool)", 1}};
    for (bool suffixed : {false, true}) {
        SCOPED_TRACE(suffixed ? "with suffixes" : "without suffixes");
        KZeqScene* read = nullptr;
        EXPECT_EQ(expected, ThroughFile(*Scene(suffixed), &read));
        ASSERT_NE(nullptr, read);
        read->GetRootNode()->FindChild("Dancer")->FindPropertyByName("Bo (Bool)")->SetDefaultValue(false);
        auto changed = expected;
        changed["Bo (Bool)"] = 0;
        EXPECT_EQ(changed, ThroughFile(*read));
    }
}

// Properties animated in a take other than the default one keep their keys, whether their channels
// are stored with the type suffix or without (as a scene read from 6.0 stores them); and a 5.8 read
// leaves the animation on the property's own channel, with no second one under the stored name.
TEST_P(UserPropertiesBefore6, KeepTheirAnimation) {
    for (bool suffixed : {false, true}) {
        SCOPED_TRACE(suffixed ? "with suffixes" : "without suffixes");
        KZeqScene* scene = Scene(suffixed, {"Integer", "Real", "Bool", "Vector", "Color"});
        KZeqNode* node = scene->GetRootNode()->FindChild("Dancer");
        ASSERT_TRUE(scene->CreateTake("Walk") && node->SetCurrentTakeNode("Walk"));
        int keyed = 0;
        for (int i = 0; i < node->GetPropertyCount(); ++i) {
            for (unsigned channel = 0; channel < 3 && node->PeekFlag(i, KZeqUserProperty::eUSER); ++channel) {
                if (KFCurve* curve = node->GetCurrentTakeNode()->GetPropertyAnimation(node->GetProperty(i), channel)) {
                    Key(curve, kSecond, static_cast<float>(++keyed));
                    Key(curve, kSecond * 2, static_cast<float>(keyed * 10));
                }
            }
        }
        node->SetCurrentTakeNode(0);
        const auto expected = WalkKeys(*scene);
        ASSERT_EQ(9u, expected.size());
        KZeqScene* read = nullptr;
        ThroughFile(*scene, &read);
        ASSERT_NE(nullptr, read);
        EXPECT_EQ(expected, WalkKeys(*read));
        // Written again from the 5.8 read: the channels now stand under the whole names.
        ThroughFile(*read, &read);
        ASSERT_NE(nullptr, read);
        EXPECT_EQ(expected, WalkKeys(*read));
    }
}
INSTANTIATE_TEST_SUITE_P(Forms, UserPropertiesBefore6, ::testing::Values(kZeqFileCases[3], kZeqFileCases[4]),
                         ZeqFileCaseName);

// In a take of a 5.8 file, a channel under a user property's whole name wins over the one under
// its stored name, which stays; a stored name that another property of the node goes by
// ("Visibility") stays that property's channel.
TEST_F(SectionsTest, TakeChannelsOfUserPropertiesBefore6) {
    const auto channel = [](const char* name, int value) {
        return std::string("Channel: \"") + name + "\" {;Default: 0;KeyVer: 4004;KeyCount: 1;Key: 46186158000," +
               std::to_string(value) + ",L;};";
    };
    KZeqScene* scene = Read(5800, "Model: \"Model::A\" {;Type: \"Null\";"
                                  "UserProperty: {;Name: \"W\";Type: \"Real\";};UserProperty: {;Name: \"V\";Type: \"Real\";};"
                                  "UserProperty: {;Name: \"Visibility\";Type: \"Bool\";};};"
                                  "Takes: {;Take: \"T\" {;Model: \"Model::A\" {;" +
                                      channel("W (Real)", 1) + channel("W", 2) + channel("V", 3) +
                                      channel("Visibility", 4) + "};};}");
    ASSERT_NE(nullptr, scene) << mError;
    KZeqNode* node = scene->GetRootNode()->FindChild("A");
    ASSERT_TRUE(node && node->SetCurrentTakeNode("T"));
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    const auto value = [](KFCurve* curve) { return curve && curve->KeyGetCount() == 1 ? curve->KeyGet(0).GetValue() : -1.0f; };
    const auto animation = [&](const char* name) {
        return value(take->GetPropertyAnimation(node->FindPropertyByName(name), 0));
    };
    EXPECT_EQ(1.0f, animation("W (Real)"));
    KFCurveNode* stored = FindPropertyChannel(take->GetKFCurveNode(), "W");
    EXPECT_EQ(2.0f, value(stored ? stored->FCurveGet() : nullptr));
    EXPECT_EQ(3.0f, animation("V (Real)"));
    EXPECT_EQ(nullptr, FindPropertyChannel(take->GetKFCurveNode(), "V"));
    EXPECT_EQ(-1.0f, animation("Visibility (Bool)"));
    EXPECT_EQ(4.0f, value(take->GetVisibility()));
}
