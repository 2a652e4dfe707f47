// Characters, control sets, constraints and character poses through both
// writers and from hand-made records.

#include <gtest/gtest.h>

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
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

struct CharacterTest : ::testing::Test {
    KZeqNode* Node(KZeqScene& scene, const char* name) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        node->SetNodeAttribute(mManager.CreateKZeqNull());
        scene.GetRootNode()->AddChild(node);
        return node;
    }
    KZeqCharacter* Character(KZeqScene& scene, const char* name) {
        return scene.GetCharacter(scene.CreateCharacter(name));
    }
    static void Link(KZeqCharacter& character, int id, KZeqNode* node, const char* templateName = "", double t = 0) {
        KZeqCharacterLink link;
        link.mNode = node, link.mTemplateName = templateName;
        link.mOffsetT[0] = t, link.mOffsetR[1] = 2 * t, link.mOffsetS[2] = 1 + t;
        character.SetCharacterLink(static_cast<ECharacterNodeId>(id), link);
    }
    // Two characters: links in every group (version-4500 elements and
    // template names too), changed filter parameters, control sets with
    // effectors and auxiliary nodes; the first driven by the second. A
    // character pose holds a scene of its own.
    void Build(KZeqScene& scene) {
        std::vector<KZeqNode*> nodes;
        for (int i = 0; i < 24; ++i) nodes.push_back(Node(scene, ("N" + std::to_string(i)).c_str()));
        KZeqCharacter* a = Character(scene, "Alpha");
        KZeqCharacter* b = Character(scene, "Beta");
        for (int group = 0; group < kCharacterGroupCount; ++group)
            for (int i = 0; i < KZeqCharacterGroups::GetCharacterGroupCount(static_cast<ECharacterGroupId>(group)); i += 3)
                Link(*a, KZeqCharacterGroups::GetCharacterGroupElementByIndex(static_cast<ECharacterGroupId>(group), i),
                     nodes[static_cast<std::size_t>((group + i) % 20)], i % 2 ? "Tpl" : "", 0.5 * i);
        Link(*a, eCharacterReference, nodes[20], "", 3.0);
        Link(*a, eCharacterLeftFloor, nullptr, "Floor");
        Link(*b, eCharacterHips, nodes[21]);
        a->SetInput(eCharacterInputCharacter, b);
        b->SetInput(eCharacterInputActor, nullptr);
        KZeqFilterSet& filter = *a->GetFilterSet();
        filter.SetParameterValue(filter.GetParameterIndex("HipsTOffsetY"), 2.5);
        filter.SetParameterValue(3, 0.25);
        KZeqControlSet& controls = *a->GetControlSet();
        controls.SetType(static_cast<KZeqControlSet::EType>(1)), controls.SetLockTransform(true);
        KZeqControlSetLink control;
        control.mNode = nodes[22];
        controls.SetControlSetLink(eCharacterHips, control);
        control.mNode = nullptr, control.mTemplateName = "OnlyName";
        controls.SetControlSetLink(eCharacterNeck1, control);
        KZeqEffector effector;
        effector.mNode = nodes[23], effector.mShow = false, effector.mRActive = true;
        controls.SetEffector(eLeftWristEffector, effector);
        controls.SetEffectorAux(eLeftWristEffector, nodes[4], eEffectorSetFirst);
        KZeqCharacterPose* pose = scene.GetCharacterPose(scene.CreateCharacterPose("Stance"));
        KZeqScene& inner = *pose->GetPoseScene();
        Link(*Character(inner, "Posed"), eCharacterHips, Node(inner, "PosedHips"), "", 1.5);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

struct CharacterFileTest : CharacterTest, ::testing::WithParamInterface<ZeqFileCase> {};

}  // namespace

TEST_P(CharacterFileTest, TwoCharactersAndAPose) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    Build(*scene);
    const std::string path = mDir / "characters.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    // The write's plugs are gone again.
    EXPECT_EQ(0, scene->GetControlSetPlugCount());
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
    // Content counts: two characters, no actor.
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str()));
    KStreamOptions* options = importer.GetImportOptions(KZeqImporter::eParseFile);
    ASSERT_NE(nullptr, options);
    EXPECT_EQ(2,
              static_cast<KStreamOptionsZeq*>(options)->GetContentCount(KStreamOptionsZeq::eCONSTRAINT_COUNT));
    importer.ReleaseImportOptions(options);
}

INSTANTIATE_TEST_SUITE_P(Forms, CharacterFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

namespace {

// Hand-made records of a file before version 6, and what they must give.
struct RecordCase {
    const char* mName;
    const char* mFields;
    const char* mExpected;  // "id=node" links, ';'-separated, and other facts
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
     "CHARACTER: {;FILTERSET: {;PARAM: {;NAME: \"HipsTOffset\";VALUE0: 1;VALUE1: 2;};PARAM: {;NAME: \"ChestTOffsetX\";VALUE: "
     "5;};};};",
     "HipsTOffsetX=1;HipsTOffsetY=2;HipsTOffsetZ=1;ChestTOffsetX=5;"},
    {"Version6BodyIgnoresRecordParts",
     "Definitions: {;ObjectType: \"Constraint\" {;};};Objects: {;Constraint: \"Constraint::C\", \"Character\" "
     "{;FILTERSET: {;PARAM: {;NAME: \"ChestTOffsetX\";VALUE: 5;};};VX_CONTROLSET: {;TYPE: 7;};INPUTOUTPUTTYPE: 1;"
     "BASE: {;LINK: \"Hips\" {;MODEL: \"H\";NAME: \"T\";};};};};",
     "names=Constraint::C;ChestTOffsetX=0;type=0;0=+;", 6000},
    {"PosesBesideABindPose",
     "SceneGenericPersistence: {;Pose: \"Pose::C\" {;Type: \"CharacterPose\";PoseScene: {;CHARACTER: {;};};};"
     "Pose: \"Pose::N\" {;Type: \"CharacterPose\";};Pose: \"Pose::B\" {;Type: \"BindPose\";};};CHARACTER: {;};",
     "poses=Pose::C/1;"},
    {"EffectorsAndBothControlSets",
     "CHARACTER: {;CONTROLSET: {;EFFECTOR: {;LINK: {;NAME: \"HeadEffector\";MODEL: \"H\";TACTIVE: 1;};LINK: "
     "{;NAME: \"HipsEffector\";MODEL: \"Gone\";};};EFFECTOR_AUX1: {;LINK: {;NAME: \"HeadEffector\";MODEL: "
     "\"K\";};};};VX_CONTROLSET: {;TYPE: 7;};};",
     "effector15=Model::H/3;effector0=-;aux15=Model::K;type=0;"},
};

std::string Describe(KZeqScene& scene, const std::string& expected) {
    std::string facts;
    KZeqCharacter* c = scene.GetCharacterCount() ? scene.GetCharacter(0) : nullptr;
    if (!c) return "no character";
    std::size_t at = 0;
    while (at < expected.size()) {
        const std::size_t end = expected.find(';', at);
        const std::string key = expected.substr(at, expected.find('=', at) - at);
        std::string value;
        KZeqCharacterLink link;
        KZeqEffector effector;
        KZeqNode* node = nullptr;
        KZeqFilterSet& filter = *c->GetFilterSet();
        if (key == "poses") {
            for (int i = 0; i < scene.GetCharacterPoseCount(); ++i)
                value += std::string(scene.GetCharacterPose(i)->GetName()) + "/" +
                         std::to_string(scene.GetCharacterPose(i)->GetPoseScene()->GetCharacterCount());
        } else if (key == "names") {
            for (int i = 0; i < scene.GetCharacterCount(); ++i) value += (i ? "," : "") + std::string(scene.GetCharacter(i)->GetName());
        } else if (key.rfind("input", 0) == 0) {
            KZeqObject* input = scene.GetCharacter(std::stoi(key.substr(5)))->GetInputObject();
            value = input ? input->GetName() : "-";
        } else if (key.rfind("effector", 0) == 0) {
            c->GetControlSet()->GetEffector(static_cast<EEffectorNodeId>(std::stoi(key.substr(8))), &effector);
            value = effector.mNode ? std::string(effector.mNode->GetName()) + "/" +
                                         std::to_string(effector.mShow | effector.mTActive << 1 | effector.mRActive << 2)
                                   : "-";
        } else if (key.rfind("aux", 0) == 0) {
            c->GetControlSet()->GetEffectorAux(static_cast<EEffectorNodeId>(std::stoi(key.substr(3))), &node, eEffectorSetFirst);
            value = node ? node->GetName() : "-";
        } else if (key == "type") {
            value = std::to_string(c->GetControlSet()->GetType());
        } else if (filter.GetParameterIndex(key.c_str()) >= 0) {
            char text[32];
            std::snprintf(text, sizeof(text), "%g", filter.GetParameterValue(filter.GetParameterIndex(key.c_str())));
            value = text;
        } else {
            c->GetCharacterLink(static_cast<ECharacterNodeId>(std::stoi(key)), &link);
            const bool expectsNode = expected.compare(expected.find('=', at) + 1, 6, "Model:") == 0;
            value = !link.IsSet() ? "-" : expectsNode && link.mNode ? link.mNode->GetName() : "+";
        }
        facts += key + "=" + value + ";";
        at = end + 1;
    }
    return facts;
}

struct RecordTest : CharacterTest, ::testing::WithParamInterface<RecordCase> {};

}  // namespace

TEST_P(RecordTest, ReadsAsTheRecordSays) {
    const std::string path = mDir / "r.zeq";
    MakeZeqFile(path, GetParam().mVersion, 0, std::string(kModels) + GetParam().mFields);
    std::string error;
    KZeqScene* scene = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, scene) << error;
    EXPECT_EQ(GetParam().mExpected, Describe(*scene, GetParam().mExpected));
}

INSTANTIATE_TEST_SUITE_P(Records, RecordTest, ::testing::ValuesIn(kRecords),
                         [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.mName); });

// A character pose nested in a 6.0 file is read back with the 6.0 steps.
TEST_F(CharacterTest, ConstraintsAndPosesOfA58File) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    Character(*scene, "One");
    scene->CreateActor("Act");
    const std::string path = mDir / "c.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, kZeqFileCases[4], path));
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str()));
    for (auto generation : {KZeqImporter::eParseFile, KZeqImporter::eSummaryOnly}) {
        KStreamOptions* options = importer.GetImportOptions(generation);
        ASSERT_NE(nullptr, options);
        EXPECT_EQ(2, static_cast<KStreamOptionsZeq*>(options)->GetContentCount(KStreamOptionsZeq::eCONSTRAINT_COUNT));
        importer.ReleaseImportOptions(options);
    }
}

TEST_F(CharacterTest, ConstraintGroupsAreCountedTogether) {
    const std::string path = mDir / "g.zeq";
    MakeZeqFile(path, 5800, 1, "Constraints: {;Group: \"A\" {;Constraint: \"x\";Constraint: \"y\";};"
                               "Group: \"B\" {;Constraint: \"x\";Constraint: \"y\";Constraint: \"z\";};};");
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str()));
    KStreamOptions* options = importer.GetImportOptions(KZeqImporter::eParseFile);
    ASSERT_NE(nullptr, options);
    EXPECT_EQ(5, static_cast<KStreamOptionsZeq*>(options)->GetContentCount(KStreamOptionsZeq::eCONSTRAINT_COUNT));
    importer.ReleaseImportOptions(options);
}

// What the 5.8 writer leaves out: nodes of another scene (a template name
// keeps a link), and empty version-4500 elements.
TEST_F(CharacterTest, WritesOnlyWhatCounts) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqScene* other = mManager.CreateKZeqScene();
    KZeqNode* foreign = Node(*other, "Foreign");
    KZeqCharacter& character = *Character(*scene, "C");
    Link(character, eCharacterHips, foreign, "Kept"), Link(character, eCharacterSpine, foreign);
    KZeqEffector effector;
    effector.mNode = foreign;
    character.GetControlSet()->SetEffector(eHeadEffector, effector);
    character.GetControlSet()->SetEffectorAux(eHeadEffector, foreign, eEffectorSetFirst);
    const std::string path = mDir / "w.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, kZeqFileCases[3], path));
    KZeq file;
    ASSERT_TRUE(file.ProjectOpen(path.c_str(), true, true));
    ASSERT_TRUE(file.FieldReadBegin("CHARACTER") && file.FieldReadBlockBegin());
    ASSERT_TRUE(file.FieldReadBegin("BASE") && file.FieldReadBlockBegin());
    EXPECT_EQ(15, file.FieldGetInstanceCount("LINK"));  // every element of version 4000
    ASSERT_TRUE(file.FieldReadBegin("LINK") && file.FieldReadBlockBegin());
    EXPECT_EQ("Model::Foreign", std::string(file.FieldReadC("MODEL", "").Buffer()));
    EXPECT_EQ("Kept", std::string(file.FieldReadC("NAME", "").Buffer()));
    file.FieldReadBlockEnd(), file.FieldReadEnd();
    ASSERT_TRUE(file.FieldReadBegin("LINK") && file.FieldReadBlockBegin());
    EXPECT_EQ(0, file.FieldGetInstanceCount("MODEL"));  // Spine: a default record
    EXPECT_EQ(1.0, file.FieldReadD("SOFFSETY", 0.0));
    file.FieldReadBlockEnd(), file.FieldReadEnd(), file.FieldReadBlockEnd(), file.FieldReadEnd();
    ASSERT_TRUE(file.FieldReadBegin("NECK") && file.FieldReadBlockBegin());
    EXPECT_EQ(0, file.FieldGetInstanceCount("LINK"));
    file.FieldReadBlockEnd(), file.FieldReadEnd();
    ASSERT_TRUE(file.FieldReadBegin("VX_CONTROLSET") && file.FieldReadBlockBegin());
    for (const char* name : {"EFFECTOR", "EFFECTOR_AUX1"}) {
        ASSERT_TRUE(file.FieldReadBegin(name) && file.FieldReadBlockBegin());
        EXPECT_EQ(0, file.FieldGetBlockFieldCount()) << name;
        file.FieldReadBlockEnd(), file.FieldReadEnd();
    }
}

// Without characters in the options neither writer stores any.
TEST_F(CharacterTest, CharactersOffWritesNone) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    Build(*scene);
    for (int row : {KZeqExporter::eZEQ_BINARY, KZeqExporter::eZEQ_5_BINARY}) {
        const std::string path = mDir / ("off" + std::to_string(row) + ".zeq");
        KZeqExporter exporter(mManager);
        ASSERT_TRUE(exporter.Initialize(path.c_str()));
        exporter.SetFileFormat(row);
        exporter.SetState(KZeqExporter::eCHARACTER, false);
        ASSERT_TRUE(exporter.Export(*scene));
        KZeqScene* read = ReadZeqFile(mManager, path);
        ASSERT_NE(nullptr, read);
        EXPECT_EQ(0, read->GetCharacterCount() + read->GetControlSetPlugCount() + read->GetCharacterPoseCount()) << row;
    }
}
