// Geometry, cameras and lights whose host node has no shape (one the host refused, one its file
// contradicts, or a merged transform without one): the import goes on with the transform alone,
// says so in the log (a surface also as a warning, the reader's reason for one it left out), and no
// later step asks the transform for a shape it does not have (the fixture fails on host faults).
#include <fstream>
#include <functional>
#include <tuple>
#include <vector>

#include "importtest_support.h"

#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqsurfacecounts.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

// The binary Zeq file at `from` written again as ASCII at `to` by the SDK.
bool ToAscii(const std::string& from, const std::string& to) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    if (!importer->Initialize(from.c_str()) || !importer->Import(*scene)) return false;
    KZeqExporter* exporter = manager.CreateKZeqExporter();
    exporter->Initialize(to.c_str());
    exporter->SetFileFormat(KZeqExporter::eZEQ_ASCII);
    return exporter->Export(*scene);
}

using MissingShapeTest = ZeqTuloImportTest;

// The stand-in's rich scene as the plug-in writes it, in ASCII, with one number dropped from the
// "Points" of its NURBS surface "patch": the surface's shape is not made, and everything else is.
TEST_F(MissingShapeTest, RichSceneWithASurfaceShortOfOnePoint) {
    ASSERT_TRUE(Run("ZEQExportShowUI 0"));
    ASSERT_TRUE(Run("standin_scene rich"));
    const std::string binary = mDirectory + "rich.zeq", ascii = mDirectory + "rich_ascii.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + binary + "\""));
    ASSERT_TRUE(ToAscii(binary, ascii));
    std::string text = ZeqTuloReadFile(ascii);
    const std::size_t model = text.find("Model: \"Model::patch\",\"Nurb\"");
    ASSERT_NE(model, std::string::npos);
    const std::size_t points = text.find("Points: ", model);
    ASSERT_NE(points, std::string::npos);
    const std::size_t first = points + 8, comma = text.find(',', first);
    ASSERT_NE(comma, std::string::npos);
    text.erase(first, comma + 1 - first);
    const std::string damaged = mDirectory + "damaged.zeq";
    std::ofstream(damaged) << text;

    standin::clearTranscript();
    ASSERT_TRUE(Run("ZEQImport -f \"" + damaged + "\" -take 0"));
    // The reader's reason, once: the plug-in adds no warning of its own for the surface.
    const std::string line =
        "Model::patch: NURBS surface left out: Control point definition error (wrong number of data).";
    EXPECT_NE(Log().find(line), std::string::npos) << Log();
    EXPECT_EQ(Warnings("patch"), std::vector<std::string>{"// Warning: " + line});
    EXPECT_EQ(Log().find("NURBS surface patch:"), std::string::npos) << Log();
    EXPECT_NE(HostPath("patch"), "");
    EXPECT_EQ(ShapeCount("patch"), 0u);
    EXPECT_EQ(ShapeCount("tube"), 1u);  // the next surface is whole
}

// A surface whose counts contradict its values (a point value more or fewer, a knot more, a line
// of knots lost, a knot vector left out, a multiplicity more), in the 6.0 and 5.8 ASCII files the
// SDK wrote and edited and in a 6.0 binary one made of the edited text: its node comes with its
// transform alone, the host warns once with the reader's reason and the log says it, and the next
// surface is whole.
struct CountForm {
    const char* mName;
    int mRow;   // the exporter's row that wrote the ASCII file edited
    int mMode;  // the edited file imported as ASCII (0) or binary (1)
};
const CountForm kCountForms[] = {{"V60Ascii", KZeqExporter::eZEQ_ASCII, 0},
                                 {"V58Ascii", KZeqExporter::eZEQ_5_ASCII, 0},
                                 {"V60Binary", KZeqExporter::eZEQ_ASCII, 1}};
void PrintTo(const CountForm& form, std::ostream* out) { *out << form.mName; }

struct SurfaceDamage {
    std::string mName;
    std::function<bool(std::string&)> mEdit;
    std::string mCheck;  // the reader's reason
};
void PrintTo(const SurfaceDamage& damage, std::ostream* out) { *out << damage.mName; }

// Surf's "KnotVectorU" gone with every line it runs over.
bool DropKnotVectorU(std::string& text) {
    std::size_t field = text.find("Model: \"Model::Surf\"");
    while (field != std::string::npos) {
        field = text.find("KnotVectorU:", field + 1);
        if (field == std::string::npos || text[field - 1] == '\t' || text[field - 1] == '\n') break;
    }
    if (field == std::string::npos) return false;
    const std::size_t begin = text.rfind('\n', field) + 1;
    std::size_t end = text.find('\n', field);
    while (end != std::string::npos && text[end - 1] == ',') end = text.find('\n', end + 1);
    if (end == std::string::npos) return false;
    text.erase(begin, end + 1 - begin);
    return true;
}

// The count edits the SDK's tests share, and a knot vector left out.
std::vector<SurfaceDamage> SurfaceDamages() {
    std::vector<SurfaceDamage> damages;
    for (const zeqiotest::SurfaceCountEdit& edit : zeqiotest::kSurfaceCountEdits)
        damages.push_back({edit.mName, [&edit](std::string& text) { return zeqiotest::EditSurfaceCounts(text, edit); },
                           edit.mCheck});
    damages.push_back(
        {"KnotVectorULeftOut", DropKnotVectorU, "U knot vector definition error (wrong number of data)."});
    return damages;
}

class SurfaceCountTest : public ZeqTuloImportTest,
                         public ::testing::WithParamInterface<std::tuple<SurfaceDamage, CountForm>> {};

TEST_P(SurfaceCountTest, TransformAloneWithAWarning) {
    const SurfaceDamage& damage = std::get<0>(GetParam());
    const CountForm& form = std::get<1>(GetParam());
    const std::string written = mDirectory + "written.zeq", path = mDirectory + "counts.zeq";
    std::string error;
    ASSERT_TRUE(WriteSceneAs(written, zeqiotest::BuildSurfaceCountScene, form.mRow, &error)) << error;
    std::string text = ZeqTuloReadFile(written);
    ASSERT_TRUE(damage.mEdit(text));
    std::ofstream(written, std::ios::binary) << text;
    ASSERT_TRUE(zeqiotest::ConvertZeqFile(written, path, form.mMode));

    standin::clearTranscript();
    ASSERT_TRUE(Run("ZEQImport -f \"" + path + "\""));
    const std::string line = "Model::Surf: NURBS surface left out: " + damage.mCheck;
    EXPECT_EQ(Warnings("Surf"), std::vector<std::string>{"// Warning: " + line});
    EXPECT_NE(Log().find(line), std::string::npos) << Log();
    EXPECT_EQ(Log().find("NURBS surface Surf:"), std::string::npos) << Log();
    EXPECT_EQ(HostAttr("Surf.translate"), "1 2 3");
    EXPECT_EQ(ShapeCount("Surf"), 0u);
    EXPECT_EQ(HostAttr("Whole.translate"), "4 5 6");
    EXPECT_EQ(ShapeCount("Whole"), 1u);
}
INSTANTIATE_TEST_SUITE_P(Edits, SurfaceCountTest,
                         ::testing::Combine(::testing::ValuesIn(SurfaceDamages()), ::testing::ValuesIn(kCountForms)),
                         [](const testing::TestParamInfo<std::tuple<SurfaceDamage, CountForm>>& info) {
                             return std::get<0>(info.param).mName + std::get<1>(info.param).mName;
                         });

// Shapes that refer to a base the host does not have are left out, with a line in the log; the
// camera's and the light's settings pass by transforms without their shape.
using MissingShapeDriverTest = ImportDriverTest;

TEST_F(MissingShapeDriverTest, MergedTransformsWithoutShapes) {
    for (const char* name : {"head", "sheet", "cam", "lamp"}) standin::createNode("transform", name);
    Params()->SetImportType(KZeqUserParams::kMerge);
    ASSERT_TRUE(Import(Write("shapeless", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddTriangle(m, s.GetRootNode(), "head");
        KZeqShape* smile = m.CreateKZeqShape();
        smile->InitControlPoints(3);
        mesh->AddShape(smile, "Smile");
        KZeqNode* sheet = AddNode(m, s.GetRootNode(), "sheet", "none");
        KZeqNurb* nurb = m.CreateKZeqNurb();
        nurb->SetOrder(2, 2);
        nurb->InitControlPoints(2, KZeqNurb::eOPEN, 2, KZeqNurb::eOPEN);
        sheet->SetNodeAttribute(nurb);
        KZeqShape* lift = m.CreateKZeqShape();
        lift->InitControlPoints(4);
        nurb->AddShape(lift, "Lift");
        AddNode(m, s.GetRootNode(), "cam", "camera");
        KZeqNode* lamp = AddNode(m, s.GetRootNode(), "lamp", "light:2");
        s.CreateTake("Take 001");
        for (KZeqNode* node : {mesh->GetNode(), lamp}) {
            node->SetCurrentTakeNode("Take 001");
            Key(node->GetCurrentTakeNode()->GetTranslationX(), 0.0, 0.0f);
            Key(node->GetCurrentTakeNode()->GetTranslationX(), 1.0, 2.0f);
        }
        Key(lamp->GetCurrentTakeNode()->GetLightIntensity(), 0.0, 50.0f);
        Key(lamp->GetCurrentTakeNode()->GetLightIntensity(), 1.0, 100.0f);
    }), "Take 001"));
    const std::string log = Log();
    EXPECT_NE(log.find("Node head: no host shape; its blend shapes are left out."), std::string::npos) << log;
    EXPECT_NE(log.find("Node sheet: no host shape; its blend shapes are left out."), std::string::npos) << log;
    EXPECT_NE(log.find("Node cam: no host camera; its camera settings are left out."), std::string::npos) << log;
    EXPECT_NE(log.find("Node lamp: no host light; its light settings are left out."), std::string::npos) << log;
    for (const char* name : {"head", "sheet", "cam", "lamp"}) EXPECT_EQ(ShapeCount(name), 0u) << name;
    // The transforms still take their animation.
    EXPECT_EQ(HostAttr("head.translateX"), "0");
    EXPECT_NE(TFnAnimCurve(standin::plug("lamp.translateX")).numKeys(), 0u);
}

}  // namespace
