// Characters, control sets, constraints and character poses through both
// writers and from hand-made records.

#include <gtest/gtest.h>

#include "character/kzeqactor.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqfilterset.h"
#include "content/kzeqnull.h"
#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

struct CharacterTest : ::testing::Test {
    KZeqNode* Node(KZeqScene& scene, const char* name) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        node->SetNodeAttribute(mManager.CreateKZeqNull()), scene.GetRootNode()->AddChild(node);
        return node;
    }
    KZeqCharacter* Character(KZeqScene& scene, const char* name) {
        return scene.GetCharacter(scene.CreateCharacter(name));
    }
    static void Link(KZeqCharacter& character, int id, KZeqNode* node, const char* templateName = "", double t = 0) {
        KZeqCharacterLink link;
        link.mNode = node, link.mTemplateName = templateName, link.mOffsetT[0] = t, link.mOffsetR[1] = 2 * t;
        link.mOffsetS[2] = 1 + t;
        character.SetCharacterLink(static_cast<ECharacterNodeId>(id), link);
    }
    // Two characters: links in every group (version-4500 elements and
    // template names too), changed filter parameters, control sets with
    // effectors and auxiliary nodes; the first driven by the second. A
    // character pose holds a scene of its own.
    void Build(KZeqScene& scene) {
        std::vector<KZeqNode*> nodes;
        for (int i = 0; i < 24; ++i) nodes.push_back(Node(scene, ("N" + std::to_string(i)).c_str()));
        KZeqCharacter *a = Character(scene, "Alpha"), *b = Character(scene, "Beta");
        for (int g = 0; g < kCharacterGroupCount; ++g)
            for (int i = 0; i < KZeqCharacterGroups::GetCharacterGroupCount(static_cast<ECharacterGroupId>(g)); i += 3)
                Link(*a, KZeqCharacterGroups::GetCharacterGroupElementByIndex(static_cast<ECharacterGroupId>(g), i),
                     nodes[static_cast<std::size_t>((g + i) % 20)], i % 2 ? "Tpl" : "", 0.5 * i);
        Link(*a, eCharacterReference, nodes[20], "", 3.0), Link(*a, eCharacterLeftFloor, nullptr, "Floor");
        Link(*b, eCharacterHips, nodes[21]);
        a->SetInput(eCharacterInputCharacter, b);
        b->SetInput(eCharacterInputActor, scene.GetActor(scene.CreateActor("Act")));
        KZeqFilterSet& filter = *a->GetFilterSet();
        filter.SetParameterValue(filter.GetParameterIndex("HipsTOffsetY"), 2.5), filter.SetParameterValue(3, 0.25);
        KZeqControlSet& controls = *a->GetControlSet();
        controls.SetType(static_cast<KZeqControlSet::EType>(1)), controls.SetLockTransform(true);
        KZeqControlSetLink control{nodes[22], ""};
        controls.SetControlSetLink(eCharacterHips, control);
        control = {nullptr, "OnlyName"};
        controls.SetControlSetLink(eCharacterNeck1, control);
        controls.SetEffector(eLeftWristEffector, KZeqEffector{nodes[23], false, false, true});
        controls.SetEffectorAux(eLeftWristEffector, nodes[4], eEffectorSetFirst);
        KZeqScene& inner = *scene.GetCharacterPose(scene.CreateCharacterPose("Stance"))->GetPoseScene();
        Link(*Character(inner, "Posed"), eCharacterHips, Node(inner, "PosedHips"), "", 1.5);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

struct CharacterFileTest : CharacterTest, ::testing::WithParamInterface<ZeqFileCase> {};

TEST_P(CharacterFileTest, TwoCharactersAndAPose) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    Build(*scene);
    const std::string path = mDir / "characters.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    EXPECT_EQ(0, scene->GetControlSetPlugCount());  // the write's plugs are gone again
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
    // The options count the actor among the constraints.
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str()));
    for (auto generation : {KZeqImporter::eParseFile, KZeqImporter::eSummaryOnly}) {
        KStreamOptions* options = importer.GetImportOptions(generation);
        ASSERT_NE(nullptr, options);
        EXPECT_EQ(3, static_cast<KStreamOptionsZeq*>(options)->GetContentCount(KStreamOptionsZeq::eCONSTRAINT_COUNT));
        importer.ReleaseImportOptions(options);
    }
    // Without characters in the options no writer stores any.
    KZeqExporter exporter(mManager);
    ASSERT_TRUE(exporter.Initialize(path.c_str()));
    exporter.SetFileFormat(form.mExportRow), exporter.SetState(KZeqExporter::eCHARACTER, false);
    if (form.mExportRow < 0) return;  // no exporter row
    ASSERT_TRUE(exporter.Export(*scene) && (read = ReadZeqFile(mManager, path)) != nullptr);
    EXPECT_EQ(0, read->GetCharacterCount() + read->GetControlSetPlugCount() + read->GetCharacterPoseCount());
}

// A character reset and linked anew, renamed or not, is written with its new
// node: no writer may take the old one from the link lists.
TEST_P(CharacterFileTest, LinkedAnewAfterReset) {
    const ZeqFileCase& form = GetParam();
    for (const char* rename : {"", "Hero2"}) {
        KZeqScene* scene = mManager.CreateKZeqScene();
        KZeqNode *before = Node(*scene, "Before"), *after = Node(*scene, "After");
        KZeqCharacter* hero = Character(*scene, "Hero");
        Link(*hero, eCharacterHips, before), Link(*hero, eCharacterHead, before);
        hero->Reset();
        if (*rename) hero->SetName(rename);
        Link(*hero, eCharacterHips, after);
        const std::string path = mDir / "relinked.zeq";
        std::string error;
        ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
        KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
        ASSERT_TRUE(read && read->GetCharacterCount() == 1) << error;
        KZeqCharacterLink link;
        ASSERT_TRUE(read->GetCharacter(0)->GetCharacterLink(eCharacterHips, &link)) << rename;
        ASSERT_NE(nullptr, link.mNode) << rename;
        EXPECT_EQ(KString(after->GetName()), KString(link.mNode->GetName())) << rename;
        EXPECT_FALSE(read->GetCharacter(0)->GetCharacterLink(eCharacterHead, nullptr)) << rename;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, CharacterFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

// Hand-made records of a file before version 6, and what they must give.
struct RecordCase {
    const char *mName, *mFields, *mExpected;  // "id=node" links and other facts, ';'-separated
    int mVersion = 5000;
};

const char* const kModels = "Model: \"Model::H\" {;Type: \"Null\";};Model: \"Model::K\" {;Type: \"Null\";};";

const RecordCase kRecords[] = {
    {"HipsInsideNeck", "CHARACTER: {;NECK: {;LINK: \"Hips\" {;MODEL: \"H\";};LINK: \"Neck1\" {;MODEL: \"K\";};};};",
     "0=Model::H;92=-;"},
    {"Neck1InsideBase", "CHARACTER: {;BASE: {;LINK: \"Neck1\" {;MODEL: \"K\";};LINK: \"Spine\" {;MODEL: \"K\";};};};",
     "92=-;9=Model::K;"},
    {"ByPosition", "CHARACTER: {;SPINE: {;LINK: \"\" {;MODEL: \"H\";};LINK: \"\" {;};LINK: \"\" {;NAME: \"T\";};};};",
     "10=Model::H;29=-;30=+;31=-;"},
    {"UnnamedAndInputs",
     "CHARACTER: {;INPUTOUTPUTTYPE: 1;CHARACTERINDEX: 1;};CHARACTER: {;INPUTOUTPUTTYPE: 0;ACTORINDEX: 0;};",
     "names=Constraint::Character,Constraint::Character1;input0=Constraint::Character1;input1=-;"},
    {"HipsTOffsetWithoutValue2",
     "CHARACTER: {;FILTERSET: {;PARAM: {;NAME: \"HipsTOffset\";VALUE0: 1;VALUE1: 2;};"
     "PARAM: {;NAME: \"ChestTOffsetX\";VALUE: 5;};};};",
     "HipsTOffsetX=1;HipsTOffsetY=2;HipsTOffsetZ=1;ChestTOffsetX=5;"},
    {"Version6BodyIgnoresRecordParts",
     "Definitions: {;ObjectType: \"Constraint\" {;};};Objects: {;Constraint: \"Constraint::C\", \"Character\" "
     "{;FILTERSET: {;PARAM: {;NAME: \"ChestTOffsetX\";VALUE: 5;};};VX_CONTROLSET: {;TYPE: 7;};INPUTOUTPUTTYPE: 1;"
     "BASE: {;LINK: \"Hips\" {;MODEL: \"H\";NAME: \"T\";};};};};",
     "names=Constraint::C;ChestTOffsetX=0;type=0;0=+;", 6000},
    {"PosesBesideABindPose",
     "SceneGenericPersistence: {;Pose: \"Pose::C\" {;Type: \"CharacterPose\";PoseScene: {;CHARACTER: {;};};};"
     "Pose: \"Pose::N\" {;Type: \"CharacterPose\";};Pose: \"Pose::B\" {;Type: \"BindPose\";};};CHARACTER: {;};",
     "poses=1 bind or rest, Pose::C/1;"},
    {"EffectorsAndBothControlSets",
     "CHARACTER: {;CONTROLSET: {;EFFECTOR: {;LINK: {;NAME: \"HeadEffector\";MODEL: \"H\";TACTIVE: 1;};LINK: "
     "{;NAME: \"HipsEffector\";MODEL: \"Gone\";};};EFFECTOR_AUX1: {;LINK: {;NAME: \"HeadEffector\";MODEL: "
     "\"K\";};};};VX_CONTROLSET: {;TYPE: 7;};};",
     "effector15=Model::H/3/Model::K;effector0=-;type=0;"},
};

std::string Describe(KZeqScene& scene, const std::string& expected) {
    if (!scene.GetCharacterCount()) return "no character";
    KZeqCharacter& c = *scene.GetCharacter(0);
    KZeqControlSet& controls = *c.GetControlSet();
    KZeqFilterSet& filter = *c.GetFilterSet();  // its values as ints
    auto name = [](KZeqObject* object) { return std::string(object ? object->GetName() : "-"); };
    std::string facts;
    for (std::size_t at = 0, end; at < expected.size(); at = end + 1) {
        end = expected.find(';', at);
        const std::size_t equals = expected.find('=', at);
        const std::string key = expected.substr(at, equals - at);
        const std::size_t digit = key.find_first_of("0123456789");
        const int n = digit == std::string::npos ? 0 : std::stoi(key.substr(digit));
        std::string value = key == "poses" || key == "names" ? "" : "-";
        KZeqEffector effector;
        KZeqNode* node = nullptr;
        KZeqCharacterLink link;  // named where a node is expected, else "+" for a set link
        if (key == "poses") {
            value = std::to_string(scene.GetPoseCount()) + " bind or rest, ";  // read once
            for (int i = 0; i < scene.GetCharacterPoseCount(); ++i)
                value += name(scene.GetCharacterPose(i)) + "/" +
                         std::to_string(scene.GetCharacterPose(i)->GetPoseScene()->GetCharacterCount());
        } else if (key == "names") {
            for (int i = 0; i < scene.GetCharacterCount(); ++i) value += (i ? "," : "") + name(scene.GetCharacter(i));
        } else if (key.rfind("input", 0) == 0) {
            value = name(scene.GetCharacter(n)->GetInputObject());
        } else if (key.rfind("effector", 0) == 0 && controls.GetEffector(static_cast<EEffectorNodeId>(n), &effector)) {
            controls.GetEffectorAux(static_cast<EEffectorNodeId>(n), &node, eEffectorSetFirst);
            value = name(effector.mNode) + "/" + std::to_string(effector.mShow | effector.mTActive << 1) + "/" + name(node);
        } else if (key == "type") {
            value = std::to_string(controls.GetType());
        } else if (filter.GetParameterIndex(key.c_str()) >= 0) {
            value = std::to_string(static_cast<int>(filter.GetParameterValue(filter.GetParameterIndex(key.c_str()))));
        } else if (c.GetCharacterLink(static_cast<ECharacterNodeId>(n), &link)) {
            value = link.mNode && expected[equals + 1] == 'M' ? name(link.mNode) : "+";
        }
        facts += key + "=" + value + ";";
    }
    return facts;
}

struct CharacterRecordTest : CharacterTest, ::testing::WithParamInterface<RecordCase> {};

}  // namespace

TEST_P(CharacterRecordTest, ReadsAsTheRecordSays) {
    MakeZeqFile(mDir / "r.zeq", GetParam().mVersion, 0, std::string(kModels) + GetParam().mFields);
    std::string error;
    KZeqScene* scene = ReadZeqFile(mManager, mDir / "r.zeq", "", &error);
    ASSERT_NE(nullptr, scene) << error;
    EXPECT_EQ(GetParam().mExpected, Describe(*scene, GetParam().mExpected));
}

INSTANTIATE_TEST_SUITE_P(Records, CharacterRecordTest, ::testing::ValuesIn(kRecords),
                         [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.mName); });

// What the 5.8 writer leaves out: nodes of another scene (a template name
// keeps a link), and empty version-4500 elements.
TEST_F(CharacterTest, WritesOnlyWhatCounts) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqNode* foreign = Node(*mManager.CreateKZeqScene(), "Foreign");
    KZeqCharacter& character = *Character(*scene, "C");
    Link(character, eCharacterHips, foreign, "Kept"), Link(character, eCharacterSpine, foreign);
    character.GetControlSet()->SetEffector(eHeadEffector, KZeqEffector{foreign}),
        character.GetControlSet()->SetEffectorAux(eHeadEffector, foreign, eEffectorSetFirst);
    KZeq file;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, kZeqFileCases[3], mDir / "w.zeq"));
    ASSERT_TRUE(file.ProjectOpen((mDir / "w.zeq").c_str(), true, true));
    auto enter = [&](const char* name) { return file.FieldReadBegin(name) && file.FieldReadBlockBegin(); };
    auto leave = [&]() { file.FieldReadBlockEnd(), file.FieldReadEnd(); };
    ASSERT_TRUE(enter("CHARACTER") && enter("BASE"));
    EXPECT_EQ(15, file.FieldGetInstanceCount("LINK"));  // every element is of version 4000
    ASSERT_TRUE(enter("LINK"));
    EXPECT_EQ("Model::Foreign", std::string(file.FieldReadC("MODEL", "").Buffer()));
    EXPECT_EQ("Kept", std::string(file.FieldReadC("NAME", "").Buffer()));
    leave();
    ASSERT_TRUE(enter("LINK"));  // Spine: a default record
    EXPECT_TRUE(file.FieldGetInstanceCount("MODEL") == 0 && file.FieldReadD("SOFFSETY", 0.0) == 1.0);
    leave(), leave();
    EXPECT_TRUE(enter("NECK") && file.FieldGetBlockFieldCount() == 0);
    leave();
    EXPECT_TRUE(enter("VX_CONTROLSET") && enter("EFFECTOR") && file.FieldGetBlockFieldCount() == 0);
    leave();
    EXPECT_TRUE(enter("EFFECTOR_AUX1") && file.FieldGetBlockFieldCount() == 0);
}

// With characters on, the character poses of "SceneGenericPersistence" are
// read and the bind pose beside them is left to the pose reader; with them
// off, only the bind pose is read.
TEST_F(CharacterTest, GenericPersistencePosesByTheCharacterOption) {
    const std::string poses = "Pose: \"Pose::C\" {;Type: \"CharacterPose\";PoseScene: {;CHARACTER: {;};};};";
    const std::string bind = "Pose: \"Pose::B\" {;Type: \"BindPose\";NbPoseNodes: 1;PoseNode: {;Node: \"A\";};};";
    for (bool withBind : {false, true}) {
        MakeZeqFile(mDir / "poses.zeq", 5800, 0, "SceneGenericPersistence: {;" + poses + (withBind ? bind : "") + "};");
        for (bool characters : {false, true}) {
            SCOPED_TRACE(std::string(withBind ? "bind pose, " : "") + (characters ? "characters" : "no characters"));
            KZeqImporter importer(mManager);
            ASSERT_TRUE(importer.Initialize((mDir / "poses.zeq").c_str()));
            KStreamOptions* options = importer.GetImportOptions();
            ASSERT_NE(nullptr, options);
            static_cast<KStreamOptionsZeq*>(options)->SetOption(KStreamOptionsZeq::eCHARACTER, characters);
            KZeqScene* scene = mManager.CreateKZeqScene();
            ASSERT_TRUE(importer.Import(*scene, options));
            importer.ReleaseImportOptions(options);
            EXPECT_EQ(characters ? 1 : 0, scene->GetCharacterPoseCount());
            if (characters) {
                EXPECT_EQ(1, scene->GetCharacterPose(0)->GetPoseScene()->GetCharacterCount());
            }
            ASSERT_EQ(withBind ? 1 : 0, scene->GetPoseCount());
            if (withBind) {
                EXPECT_STREQ("Pose::B", scene->GetPose(0)->GetName());
            }
        }
    }
}

// Poses nested deeper than sixteen scenes are dropped, not read on and on.
TEST_F(CharacterTest, DeepPoseNestingIsCut) {
    std::string fields, close;
    for (int i = 0; i < 40; ++i)
        fields += "SceneGenericPersistence: {;Pose: \"P\" {;Type: \"CharacterPose\";PoseScene: {;", close += "};};};";
    MakeZeqFile(mDir / "deep.zeq", 5000, 1, fields + close);
    int depth = 0;
    for (KZeqScene* scene = ReadZeqFile(mManager, mDir / "deep.zeq"); scene && scene->GetCharacterPoseCount(); ++depth)
        scene = scene->GetCharacterPose(0)->GetPoseScene();
    EXPECT_EQ(16, depth);
}
