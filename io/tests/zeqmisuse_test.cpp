// Zeq files under damage and misuse: a protected file whose "Summary" is gone,
// defaults set on attributes before they are attached, texture files that do
// not exist here, and exports that must leave the caller's scene as it was.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqmesh.h"
#include "content/kzeqshape.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "object/kproperty.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

struct MisuseTest : ::testing::TestWithParam<ZeqFileCase> {
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

std::uint64_t Load64(const std::string& bytes, std::size_t at) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// A byte in the middle of a binary file's section flipped: its checksum fails.
void FlipSectionByte(std::string& bytes, int section) {
    // The current section table: the slot with the higher sequence.
    const std::size_t slot = Load64(bytes, 32 + 16) >> 32 > Load64(bytes, 56 + 16) >> 32 ? 32 : 56;
    const std::size_t table = static_cast<std::size_t>(Load64(bytes, slot));
    ASSERT_EQ(0, bytes.compare(table, 4, "ZQTB"));
    ASSERT_LT(section, static_cast<int>(Load64(bytes, table + 4) & 0xFFFFFFFFu));
    const std::size_t entry = table + 8 + 96 * static_cast<std::size_t>(section);
    const std::size_t offset = static_cast<std::size_t>(Load64(bytes, entry));
    const std::size_t length = static_cast<std::size_t>(Load64(bytes, entry + 8));
    ASSERT_LT(offset + length, bytes.size());
    bytes[offset + length / 2] ^= 0x20;
}

// The "Summary" made unreadable: in a binary file a byte of its extension
// section flipped (its checksum fails); in an ASCII file the section cut off
// ("missing") or its field renamed ("damaged").
void DamageSummary(const std::string& path, int mode, bool cut) {
    std::string bytes = zeqtest::ReadFile(path);
    if (mode == 0) {
        const std::size_t second = bytes.find("@Section:", bytes.find("@Section:") + 1);
        ASSERT_NE(std::string::npos, second);
        if (cut) {
            bytes = bytes.substr(0, second) + "@End\n";
        } else {
            const std::size_t summary = bytes.find("Summary:", second);
            ASSERT_NE(std::string::npos, summary);
            bytes[summary + 6] = 'x';
        }
    } else {
        FlipSectionByte(bytes, 1);  // extension section 1
    }
    zeqtest::WriteFile(path, bytes);
}

}  // namespace

// A protected file whose "Summary" cannot be read imports with every take
// when the password is right (the options then come from the main section,
// unlocked), and not at all when it is wrong.
TEST_P(MisuseTest, ProtectedFileWithoutItsSummaryKeepsItsTakes) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildGeometryScene(mManager, *scene);
    for (bool cut : {false, true}) {
        if (cut && form.mMode != 0) continue;  // only text files can lose the section whole
        for (const char* password : {"", "pw"}) {
            SCOPED_TRACE(std::string(cut ? "missing" : "damaged") + " '" + password + "'");
            const std::string path = mDir / "protected.zeq";
            std::string error;
            ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, password, &error)) << error;
            DamageSummary(path, form.mMode, cut);
            for (int pass = 0; pass < 2; ++pass) {  // a binary file takes a new "Summary" back
                KZeqScene* read = ReadZeqFile(mManager, path, password, &error);
                ASSERT_NE(nullptr, read) << error;
                EXPECT_TRUE(read->GetTakeInfo(KString("Walk")) && read->GetTakeInfo(KString("Run")));
                EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
            }
            if (*password) {
                EXPECT_EQ(nullptr, ReadZeqFile(mManager, path, "wrong", &error));
            }
        }
    }
}

// A binary file whose main section fails its checksum is corrupted, whether
// its "Summary" (read first, for the options) is intact or damaged too.
TEST_P(MisuseTest, BinaryFileWhoseMainSectionCannotBeOpenedIsCorrupted) {
    const ZeqFileCase& form = GetParam();
    if (form.mMode == 0) return;  // damaged text fails the open itself
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildGeometryScene(mManager, *scene);
    const std::string path = mDir / "damaged.zeq";
    for (bool summaryToo : {false, true}) {
        SCOPED_TRACE(summaryToo ? "main section and summary" : "main section");
        std::string error;
        ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
        ASSERT_NE(nullptr, ReadZeqFile(mManager, path, "", &error)) << error;  // 5.8: writes the "Summary" back
        std::string bytes = zeqtest::ReadFile(path);
        FlipSectionByte(bytes, 0);
        if (summaryToo) FlipSectionByte(bytes, 1);
        zeqtest::WriteFile(path, bytes);
        KZeqImporter importer(mManager);
        ASSERT_TRUE(importer.Initialize(path.c_str()));
        // Without the "Summary" the options come from the main section: they fail alike.
        if (summaryToo) {
            EXPECT_EQ(0, importer.GetTakeCount());
            EXPECT_EQ(KZeqIO::eFileCorrupted, importer.GetLastErrorID());
        }
        KZeqScene* read = mManager.CreateKZeqScene();
        EXPECT_FALSE(importer.Import(*read));
        EXPECT_EQ(KZeqIO::eFileCorrupted, importer.GetLastErrorID());
        EXPECT_STREQ("File is corrupted", importer.GetLastErrorString());
    }
}

namespace {

// The default-take values of lights, cameras, markers and shapes, one per accessor.
struct DefaultRow {
    const char* mName;
    KZeqNodeAttribute* (*mMake)(KZeqSdkManager&);
    void (*mSet)(KZeqNodeAttribute&, double);
    double (*mGet)(KZeqNodeAttribute&);
};
KZeqNodeAttribute* Light(KZeqSdkManager& m) { return m.CreateKZeqLight(); }
KZeqNodeAttribute* Camera(KZeqSdkManager& m) { return m.CreateKZeqCamera(); }
KZeqNodeAttribute* Optical(KZeqSdkManager& m) {
    KZeqMarker* marker = m.CreateKZeqMarker();
    marker->SetType(KZeqMarker::eOPTICAL_MARKER);
    return marker;
}
KZeqNodeAttribute* Mesh(KZeqSdkManager& m) {
    KZeqMesh* mesh = m.CreateKZeqMesh();
    mesh->InitControlPoints(3);
    mesh->BeginPolygon();
    for (int v = 0; v < 3; ++v) mesh->AddPolygon(v);
    mesh->EndPolygon();
    KZeqShape* shape = m.CreateKZeqShape();
    shape->InitControlPoints(3);
    mesh->AddShape(shape, "Smile");
    return mesh;
}
KZeqLight& L(KZeqNodeAttribute& a) { return static_cast<KZeqLight&>(a); }
KZeqCamera& C(KZeqNodeAttribute& a) { return static_cast<KZeqCamera&>(a); }
const DefaultRow kDefaultRows[] = {
    {"Intensity", Light, [](KZeqNodeAttribute& a, double v) { L(a).SetDefaultIntensity(v); },
     [](KZeqNodeAttribute& a) { return L(a).GetDefaultIntensity(); }},
    {"ConeAngle", Light, [](KZeqNodeAttribute& a, double v) { L(a).SetDefaultConeAngle(v); },
     [](KZeqNodeAttribute& a) { return L(a).GetDefaultConeAngle(); }},
    {"Fog", Light, [](KZeqNodeAttribute& a, double v) { L(a).SetDefaultFog(v); },
     [](KZeqNodeAttribute& a) { return L(a).GetDefaultFog(); }},
    {"Green", Light, [](KZeqNodeAttribute& a, double v) { L(a).SetDefaultColor(KZeqColor(1, v / 100, 1, 1)); },
     [](KZeqNodeAttribute& a) {
         KZeqColor color;
         return L(a).GetDefaultColor(color).mGreen * 100;
     }},
    {"FieldOfView", Camera, [](KZeqNodeAttribute& a, double v) { C(a).SetDefaultFieldOfView(v); },
     [](KZeqNodeAttribute& a) { return C(a).GetDefaultFieldOfView(); }},
    {"Roll", Camera, [](KZeqNodeAttribute& a, double v) { C(a).SetDefaultRoll(v); },
     [](KZeqNodeAttribute& a) { return C(a).GetDefaultRoll(); }},
    {"ShapeWeight", Mesh,
     [](KZeqNodeAttribute& a, double v) { static_cast<KZeqGeometry&>(a).SetDefaultShape(0, v / 100); },
     [](KZeqNodeAttribute& a) { return static_cast<KZeqGeometry&>(a).GetDefaultShape(0) * 100; }},
    {"Occlusion", Optical,
     [](KZeqNodeAttribute& a, double v) { static_cast<KZeqMarker&>(a).SetDefaultOcclusion(v / 100); },
     [](KZeqNodeAttribute& a) { return static_cast<KZeqMarker&>(a).GetDefaultOcclusion() * 100; }},
};

}  // namespace

// A value set before the attribute is attached answers after it, and both
// writers keep it, as one set after attaching.
TEST_P(MisuseTest, DefaultsSetBeforeAttachingAreKept) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    for (const DefaultRow& row : kDefaultRows)
        for (bool before : {true, false}) {
            const double value = before ? 35.0 : 55.0;
            KZeqNodeAttribute* attribute = row.mMake(mManager);
            KZeqNode* node = mManager.CreateKZeqNode((std::string(row.mName) + (before ? "Before" : "After")).c_str());
            if (before) row.mSet(*attribute, value);
            node->SetNodeAttribute(attribute);
            if (!before) row.mSet(*attribute, value);
            scene->GetRootNode()->AddChild(node);
            EXPECT_NEAR(value, row.mGet(*attribute), 1e-5) << node->GetName();
        }
    const std::string path = mDir / "defaults.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    for (const DefaultRow& row : kDefaultRows)
        for (bool before : {true, false}) {
            const std::string name = std::string("Model::") + row.mName + (before ? "Before" : "After");
            KZeqNode* node = read->GetRootNode()->FindChild(name.c_str());
            ASSERT_TRUE(node && node->GetNodeAttribute()) << name;
            EXPECT_NEAR(before ? 35.0 : 55.0, row.mGet(*node->GetNodeAttribute()), 1e-5) << name;
        }
}

// A texture whose file does not exist here keeps the path as written.
TEST_P(MisuseTest, TextureWithoutItsFileKeepsItsPath) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildGeometryScene(mManager, *scene);  // its texture files are nowhere
    const std::string path = mDir / "textures.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    KZeqEntity& entity = *scene->GetEntity();
    ASSERT_EQ(entity.GetTextureCount(), read->GetEntity()->GetTextureCount());
    for (int i = 0; i < entity.GetTextureCount(); ++i) {
        KZeqTexture* texture = read->GetEntity()->GetTexture(KString(entity.GetTexture(i)->GetName()));
        ASSERT_NE(nullptr, texture) << entity.GetTexture(i)->GetName();
        EXPECT_STREQ(entity.GetTexture(i)->GetFileName(), texture->GetFileName());
    }
}

namespace {

// Every property value of every node, by node name, as text.
std::string NodeProperties(KZeqScene& scene) {
    std::string text;
    KZeqEntity& entity = *scene.GetEntity();
    for (int n = 0; n < entity.GetNodeCount(); ++n) {
        KZeqNode* node = entity.GetNode(n);
        KArrayTemplate<KProperty*> properties;
        node->FillPropertyList(&properties);
        for (int i = 0; i < properties.GetCount(); ++i) {
            double values[kPropertyMaxMembers] = {};
            const int count = properties[i]->GetDataAsDoubles(values, kPropertyMaxMembers);
            text += std::string(node->GetName()) + "." + properties[i]->GetPropertyName() + ":";
            for (int v = 0; v < count; ++v) text += " " + std::to_string(values[v]);
            text += "\n";
        }
    }
    return text;
}

}  // namespace

// Exporting leaves the caller's scene as it found it: a built scene, and one
// read from a 5.8 file, compare equal to their twins after each export.
TEST_P(MisuseTest, ExportLeavesTheSceneAsItWas) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* built[2] = {mManager.CreateKZeqScene(), mManager.CreateKZeqScene()};
    for (KZeqScene* scene : built) {
        BuildGeometryScene(mManager, *scene);
        AddCamerasLightsSurfacesPosesAndCharacters(mManager, *scene);
    }
    const std::string older = mDir / "older.zeq";
    ASSERT_TRUE(WriteZeqFile(mManager, *built[1], kZeqFileCases[4], older));
    KZeqScene* read[2] = {ReadZeqFile(mManager, older), ReadZeqFile(mManager, older)};
    ASSERT_TRUE(read[0] && read[1]);
    for (KZeqScene** pair : {built, read}) {
        const std::string before = NodeProperties(*pair[0]);
        ASSERT_TRUE(WriteZeqFile(mManager, *pair[0], form, mDir / "export.zeq"));
        EXPECT_EQ("", CompareScenes(*pair[1], *pair[0]).Report());
        EXPECT_EQ(before, NodeProperties(*pair[0]));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, MisuseTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);
