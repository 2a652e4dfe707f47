// Whole exports through the host program, strict and without dialogs: every stand-in scene writes
// a file the SDK's importer reads back with its links, poses, shapes, cameras, lights and the
// animation of "Take 001" over the playback range.
#include "zeqtuloexport_anim_support.h"

#include <map>
#include <memory>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kzeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqscenerecords.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace {

// A file read back into a scene of a manager of the test's own.
struct ReadBack {
    std::unique_ptr<KZeqSdkManager> mManager{KZeqSdkManager::CreateKZeqSdkManager()};
    KZeqScene* mScene = nullptr;
    bool mOk = false;

    explicit ReadBack(const std::string& file) {
        mScene = mManager->CreateKZeqScene();
        KZeqImporter* importer = mManager->CreateKZeqImporter();
        mOk = importer && importer->Initialize(file.c_str()) && importer->Import(*mScene);
    }
    KZeqNode* Node(const char* name) const { return mScene->GetRootNode()->FindChild(name, true); }
    KZeqGeometry* Geometry(const char* name) const {
        KZeqNode* node = Node(name);
        return node ? static_cast<KZeqGeometry*>(node->GetNodeAttribute()) : nullptr;
    }
    KZeqPose* Pose(const char* name) const {
        for (int i = 0; i < mScene->GetPoseCount(); ++i)
            if (mScene->GetPose(i)->GetNameWithoutNameSpacePrefix() == name) return mScene->GetPose(i);
        return nullptr;
    }
    static KFCurve* InTake(KZeqNode* node, KFCurve* (KZeqTakeNode::*channel)()) {
        if (!node || !node->SetCurrentTakeNode("Take 001")) return nullptr;
        return (node->GetCurrentTakeNode()->*channel)();
    }
};

class RoundTripTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory();
        ASSERT_EQ(symlink(ZEQTULO_MODULE, (mDirectory + "libzeqtulo.so").c_str()), 0);
    }
    // Exports the named scene through the host program; the file's path.
    std::string Export(const std::string& scene) {
        const std::string file = mDirectory + scene + ".zeq";
        std::string output;
        EXPECT_EQ(RunStandin(mDirectory,
                             "--strict -c 'standin_scene " + scene + "; ZEQExportShowUI 0; ZEQExport -f \"" + file + "\"'",
                             output),
                  0)
            << output;
        return file;
    }
    std::string mDirectory;
};

struct FixtureCase {
    const char* name;
    bool skin;   // the skinned, blended leg
    bool patch;  // the NURBS patch with its cluster
};

class FixtureRoundTrip : public RoundTripTest, public ::testing::WithParamInterface<FixtureCase> {};

TEST_P(FixtureRoundTrip, ReadsBack) {
    ReadBack back(Export(GetParam().name));
    ASSERT_TRUE(back.mOk);
    EXPECT_GT(back.mScene->GetRootNode()->GetChildCount(false), 0);
    KZeqGeometry* leg = back.Geometry("leg");
    EXPECT_EQ(leg ? leg->GetLinkCount() : 0, GetParam().skin ? 4 : 0);
    EXPECT_EQ(leg ? leg->GetShapeCount() : 0, GetParam().skin ? 1 : 0);
    EXPECT_EQ(back.Pose("legSkin") != nullptr, GetParam().skin);
    KZeqGeometry* patch = back.Geometry("patch");
    EXPECT_EQ(patch ? patch->GetLinkCount() : 0, GetParam().patch ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureRoundTrip,
                         ::testing::Values(FixtureCase{"cube", false, false}, FixtureCase{"skinRig", true, false},
                                           FixtureCase{"nurbs", false, true}, FixtureCase{"cameras", false, false},
                                           FixtureCase{"sample", true, true}, FixtureCase{"rich", true, true}),
                         [](const ::testing::TestParamInfo<FixtureCase>& info) { return std::string(info.param.name); });

TEST_F(RoundTripTest, SkinRigKeepsLinksPoseAndShape) {
    ReadBack back(Export("skinRig"));
    ASSERT_TRUE(back.mOk);
    KZeqGeometry* leg = back.Geometry("leg");
    ASSERT_NE(leg, nullptr);
    ASSERT_EQ(leg->GetLinkCount(), 4);
    int points = 0;
    for (int i = 0; i < leg->GetLinkCount(); ++i) points += leg->GetLink(i)->GetControlPointIndicesCount();
    EXPECT_EQ(points, 30);
    KZeqPose* pose = back.Pose("legSkin");
    ASSERT_NE(pose, nullptr);
    EXPECT_TRUE(pose->IsBindPose());
    for (const char* name : {"Model::leg", "Model::hip", "Model::knee", "Model::ankle", "Model::ctrl"})
        EXPECT_GE(pose->Find(name), 0) << name;
    ASSERT_EQ(leg->GetShapeCount(), 1);
    EXPECT_STREQ(leg->GetShapeName(0), "slegBlend.Smile");
    // The target left the scene as a node.
    EXPECT_EQ(back.Node("Smile"), nullptr);
}

TEST_F(RoundTripTest, NurbsClusterIsALink) {
    ReadBack back(Export("nurbs"));
    ASSERT_TRUE(back.mOk);
    KZeqGeometry* patch = back.Geometry("patch");
    ASSERT_NE(patch, nullptr);
    ASSERT_EQ(patch->GetLinkCount(), 1);
    EXPECT_EQ(patch->GetLink(0)->GetLinkMode(), KZeqLink::eADDITIVE);
    EXPECT_EQ(patch->GetLink(0)->GetControlPointIndicesCount(), 4);
    EXPECT_STREQ(patch->GetLink(0)->GetUserData("Tulo_ClusterHint").Buffer(), "WeightedCluster");
}

// An animated hierarchy with lights and an aimed camera: the take spans the playback range, the
// curves come back, the camera keeps its targets and the lights their defaults.
TEST_F(RoundTripTest, RichSceneAnimationReadsBackInTake001) {
    ReadBack back(Export("rich"));
    ASSERT_TRUE(back.mOk);
    KZeqTakeInfo* take = back.mScene->GetTakeInfo("Take 001");
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(take->mLocalTimeSpan.GetStart().Get(), 0);
    EXPECT_EQ(take->mLocalTimeSpan.GetStop().Get(), KTime::kTicksPerSecond);

    KZeqNode* dancer = back.Node("dancer");
    ASSERT_NE(dancer, nullptr);
    KFCurve* tx = ReadBack::InTake(dancer, &KZeqTakeNode::GetTranslationX);
    ASSERT_NE(tx, nullptr);
    EXPECT_GE(tx->KeyGetCount(), 9);
    KFCurve* ry = ReadBack::InTake(dancer, &KZeqTakeNode::GetEulerRotationY);
    ASSERT_NE(ry, nullptr);
    EXPECT_GE(ry->KeyGetCount(), 3);

    KZeqNode* crane = back.Node("crane");
    ASSERT_NE(crane, nullptr);
    ASSERT_NE(crane->GetTarget(), nullptr);
    EXPECT_STREQ(crane->GetTarget()->GetName(), "Model::crane_aim");
    ASSERT_NE(crane->GetTargetUp(), nullptr);

    KFCurve* intensity = ReadBack::InTake(back.Node("lamp"), &KZeqTakeNode::GetLightIntensity);
    ASSERT_NE(intensity, nullptr);
    ASSERT_EQ(intensity->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(intensity->KeyGetPtr(1)->GetValue(), 300.0f);

    KZeqGeometry* leg = back.Geometry("leg");
    ASSERT_NE(leg, nullptr);
    ASSERT_EQ(leg->GetShapeCount(), 1);
    KZeqNode* legNode = back.Node("leg");
    ASSERT_TRUE(legNode->SetCurrentTakeNode("Take 001"));
    KFCurve* weight = leg->GetShapeChannel(legNode->GetCurrentTakeNode(), 0);
    ASSERT_NE(weight, nullptr);
    EXPECT_EQ(weight->KeyGetCount(), 3);
    EXPECT_FLOAT_EQ(weight->KeyGetPtr(1)->GetValue(), 100.0f);
}

// ---- One value in the file for each light and texture value -------------------------------------

// What a 6.0 file tells of each object of a kind: its record's number fields, its property block
// and its default channels ("Color.X" for a child), by name, each as floats (channels hold floats).
typedef std::map<std::string, std::vector<float>> Numbers;
typedef std::map<std::string, Numbers> ObjectInFile;

std::vector<float> ReadNumbers(KZeq& file) {
    std::vector<float> numbers;
    while (file.FieldReadGetRemain() > 0) numbers.push_back(static_cast<float>(file.FieldReadD()));
    return numbers;
}

void ReadChannels(KZeq& file, const std::string& prefix, Numbers& channels) {
    while (file.FieldReadBegin("Channel")) {
        const std::string name = prefix + file.FieldReadC().Buffer();
        if (file.FieldReadBlockBegin()) {
            if (file.FieldReadBegin("Default")) channels[name] = ReadNumbers(file), file.FieldReadEnd();
            ReadChannels(file, name + ".", channels);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
}

std::map<std::string, ObjectInFile> ObjectsInFile(const std::string& path, const char* kind) {
    std::map<std::string, ObjectInFile> objects;
    KZeq file;
    if (!file.ProjectOpen(path.c_str(), true, true) || !file.FieldReadBegin("Objects") || !file.FieldReadBlockBegin())
        return objects;
    while (file.FieldReadBegin(kind)) {
        ObjectInFile& object = objects[file.FieldReadC().Buffer()];
        if (file.FieldReadBlockBegin()) {
            for (const char* field : {"Color", "Intensity", "ConeAngle", "Fog"})
                if (file.FieldReadBegin(field)) object["field"][field] = ReadNumbers(file), file.FieldReadEnd();
            if (file.FieldReadBegin("Properties60") && file.FieldReadBlockBegin()) {
                while (file.FieldReadBegin("Property")) {
                    const std::string name = file.FieldReadC().Buffer();
                    file.FieldReadC(), file.FieldReadC();
                    object["property"][name] = ReadNumbers(file);
                    file.FieldReadEnd();
                }
                file.FieldReadBlockEnd(), file.FieldReadEnd();
            }
            ReadChannels(file, "", object["channel"]);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return objects;
}

// Each light's colour, intensity, cone angle and fog: the record, the property block and the
// default channels tell one value, the host's.
TEST_F(RoundTripTest, LightValuesAreOneValueInTheFile) {
    auto models = ObjectsInFile(Export("lights"), "Model");
    int lights = 0;
    for (auto& model : models) {
        Numbers& fields = model.second["field"];
        Numbers& properties = model.second["property"];
        Numbers& channels = model.second["channel"];
        if (fields.empty()) continue;
        ++lights;
        channels["Color"] = {channels["Color.X"][0], channels["Color.Y"][0], channels["Color.Z"][0]};
        for (const auto& row : {std::make_pair("Color", "Color"), std::make_pair("Intensity", "Intensity"),
                                std::make_pair("ConeAngle", "Cone angle"), std::make_pair("Fog", "Fog")}) {
            EXPECT_EQ(fields[row.first], properties[row.second]) << model.first << " " << row.second;
            EXPECT_EQ(fields[row.first], channels[row.second]) << model.first << " " << row.second;
        }
    }
    EXPECT_EQ(3, lights);  // the ambient light is a null in the file
    EXPECT_EQ(std::vector<float>{200.0f}, models["Model::bulb"]["property"]["Intensity"]);
    EXPECT_EQ((std::vector<float>{1.0f, 0.5f, 0.25f}), models["Model::bulb"]["property"]["Color"]);
}

// The textures' alphas (the layered texture's 0.5, 0.75, 1) in their property blocks; read back,
// each texture's placement and alpha channels hold its properties' values.
TEST_F(RoundTripTest, TextureValuesAreOneValueInTheFile) {
    const std::string path = Export("meshes");
    auto textures = ObjectsInFile(path, "Texture");
    const std::map<std::string, float> alphas = {{"grime", 0.5f}, {"paint", 0.75f}, {"metal", 1.0f}};
    for (const auto& alpha : alphas)
        EXPECT_EQ(std::vector<float>{alpha.second}, textures["Texture::" + alpha.first]["property"]["Texture alpha"])
            << alpha.first;
    ReadBack back(path);
    ASSERT_TRUE(back.mOk);
    KZeqEntity* entity = back.mScene->GetEntity();
    ASSERT_GE(entity->GetTextureCount(), 4);
    for (int i = 0; i < entity->GetTextureCount(); ++i) {
        KZeqTexture* texture = entity->GetTexture(i);
        KFCurveNode* root = texture->GetDefaultTakeNode()->GetKFCurveNode();
        for (const auto& name : {std::make_pair("Translation", "Translation"), std::make_pair("Rotation", "Rotation"),
                                 std::make_pair("Scaling", "Scaling"), std::make_pair("Texture alpha", "Alpha")}) {
            double values[4] = {};
            KProperty* property = texture->GetPropertyHandler()->FindPropertyByName(name.first);
            const int count = property->GetDataAsDoubles(values, 4);
            KFCurveNode* channel = root->Get(root->Find(name.second));
            ASSERT_NE(nullptr, channel);
            for (int k = 0; k < std::min(count, 3); ++k) {
                KFCurve* curve = count == 1 ? channel->FCurveGet() : channel->Get(k)->FCurveGet();
                EXPECT_EQ(static_cast<float>(values[k]), curve->GetValue()) << texture->GetName() << " " << name.first;
            }
        }
    }
}

// ---- User properties through 5.8 files ----------------------------------------------------------

// The dancer's user properties by the name a file stores them under, with their values.
std::map<std::string, std::vector<double>> DancerProperties(ReadBack& back) {
    std::map<std::string, std::vector<double>> values;
    KZeqNode* dancer = back.Node("dancer");
    for (int i = 0; dancer && i < dancer->GetPropertyCount(); ++i) {
        if (!dancer->PeekFlag(i, KZeqUserProperty::eUSER)) continue;
        KString name = dancer->GetProperty(i)->GetName();
        RemoveTypeIdentifierFromName(name);
        double members[4] = {};
        const int count = dancer->GetProperty(i)->GetKProperty()->GetDataAsDoubles(members, 4);
        values[name.Buffer()] = std::vector<double>(members, members + count);
    }
    return values;
}

// The keys of the dancer's user properties in "Take 001" ("name[channel]" -> "tick:value ..."), by
// the name a file stores them under.
std::map<std::string, std::string> DancerKeys(ReadBack& back) {
    std::map<std::string, std::string> keys;
    KZeqNode* dancer = back.Node("dancer");
    if (!dancer || !dancer->SetCurrentTakeNode("Take 001")) return keys;
    for (int i = 0; i < dancer->GetPropertyCount(); ++i) {
        if (!dancer->PeekFlag(i, KZeqUserProperty::eUSER)) continue;
        KString name = dancer->GetProperty(i)->GetName();
        RemoveTypeIdentifierFromName(name);
        for (unsigned channel = 0; channel < 3; ++channel) {
            KFCurve* curve = dancer->GetCurrentTakeNode()->GetPropertyAnimation(dancer->GetProperty(i), channel);
            for (int k = 0; curve && k < curve->KeyGetCount(); ++k)
                keys[std::string(name.Buffer()) + "[" + std::to_string(channel) + "]"] +=
                    std::to_string(curve->KeyGet(k).GetTime().Get()) + ":" + std::to_string(curve->KeyGet(k).GetValue()) + " ";
        }
    }
    dancer->SetCurrentTakeNode(0);
    return keys;
}

// The rich scene read from its 6.0 file and written as 5.8, ASCII and binary: the user properties
// read back keep their values (cc 3, lv 200 and the others) and the tint its keys in "Take 001";
// imported into the host, each file animates the tint's green ("ti.tiG") again.
TEST_F(RoundTripTest, RichUserPropertiesKeepTheirValuesAndKeysThrough58) {
    ReadBack first(Export("rich"));
    ASSERT_TRUE(first.mOk);
    const auto expected = DancerProperties(first);
    ASSERT_EQ(6u, expected.size());
    EXPECT_TRUE(expected.at("cc") == std::vector<double>{3} && expected.at("lv") == std::vector<double>{200});
    const auto keys = DancerKeys(first);
    ASSERT_EQ(1u, keys.size());
    EXPECT_EQ(1u, keys.count("ti[1]"));
    std::vector<std::string> paths;
    for (int format : {KZeqExporter::eZEQ_5_ASCII, KZeqExporter::eZEQ_5_BINARY}) {
        paths.push_back(mDirectory + "rich58-" + std::to_string(format) + ".zeq");
        KZeqExporter* exporter = first.mManager->CreateKZeqExporter();
        ASSERT_TRUE(exporter->Initialize(paths.back().c_str()));
        exporter->SetFileFormat(format);
        ASSERT_TRUE(exporter->Export(*first.mScene)) << exporter->GetLastErrorString();
        ReadBack again(paths.back());
        EXPECT_EQ(expected, DancerProperties(again)) << format;
        EXPECT_EQ(keys, DancerKeys(again)) << format;
    }
    setenv("TULO_PLUG_IN_PATH", mDirectory.c_str(), 1);
    std::string error;
    ASSERT_TRUE(standin::loadPlugin("zeqtulo", &error)) << error;
    TStringArray result;
    ASSERT_TRUE(TGlobal::executeCommand(TString("ZEQImportShowUI 0"), result));
    for (const std::string& path : paths) {
        ASSERT_TRUE(TGlobal::executeCommand(TString(("ZEQImport -f \"" + path + "\" -take 0").c_str()), result)) << path;
        TStatus status;
        TFnAnimCurve tint(standin::find("dancer_tiG"), &status);
        ASSERT_TRUE(status) << path;
        ASSERT_EQ(2u, tint.numKeys()) << path;
        EXPECT_EQ(0.0, tint.value(0));
        EXPECT_EQ(1.0, tint.value(1));
        EXPECT_NEAR(0.25, tint.time(1).as(TTime::kSeconds), 1e-9);
    }
    EXPECT_TRUE(standin::unloadAllPlugins(&error)) << error;
}

}  // namespace
