// Geometry, cameras and lights whose host node has no shape (one the host refused, or a merged
// transform without one): the import goes on with the transform alone, says so in the log, and no
// later step asks the transform for a shape it does not have (the fixture fails on host faults).
#include <fstream>

#include "importtest_support.h"

#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
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

unsigned ShapeCount(const std::string& transform) {
    TObject node = standin::find(transform);
    if (node.isNull()) return 0;
    TFnDagNode dag(node);
    unsigned shapes = 0;
    for (unsigned i = 0; i < dag.childCount(); ++i) shapes += dag.child(i).hasFn(2002) ? 1 : 0;
    return shapes;
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

    ASSERT_TRUE(Run("ZEQImport -f \"" + damaged + "\" -take 0"));
    EXPECT_NE(Log().find("NURBS surface patch: its control points do not match its counts; only its transform is made."),
              std::string::npos)
        << Log();
    EXPECT_NE(HostPath("patch"), "");
    EXPECT_EQ(ShapeCount("patch"), 0u);
    EXPECT_EQ(ShapeCount("tube"), 1u);  // the next surface is whole
}

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
