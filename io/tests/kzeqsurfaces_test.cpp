// NURBS, patches, links, deformers and shapes: round trips through both
// writers in their three encodings; record readers on hand-written fields.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqwriterzeq6.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "io/tests/zeqsurfacecounts.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzequserproperty.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

typedef KZeqVector4 V;
// Open, closed and periodic surfaces, the five patch types, three links
// (associate model, parent transform, one mirrored) and three shapes: one
// moved, one moved by 1e-12 in Z alone, one equal to its base.
struct SurfaceFileTest : ::testing::TestWithParam<ZeqFileCase> {
    SurfaceFileTest() {
        KZeqNode* rig = Node(mScene->GetRootNode(), "Rig", mManager.CreateKZeqNull());
        for (int t = 0; t < 3; ++t) {
            KZeqNurb* nurb = mManager.CreateKZeqNurb();
            const KZeqNurb::ENurbType types[3] = {KZeqNurb::eOPEN, KZeqNurb::eCLOSED, KZeqNurb::ePERIODIC};
            nurb->SetOrder(4, 3 - t / 2), nurb->InitControlPoints(4 + t, types[t], 4, types[2 - t]);
            nurb->SetStep(8 + t, 6), nurb->SetSurfaceMode(KZeqGeometry::eLOW);
            for (int i = 0; i < nurb->GetControlPointsCount(); ++i)
                nurb->GetControlPoints()[i] = V(i % 4, i / 4 + 0.25 * t, 0.1 * i, 1.0 + 0.5 * (i % 3));
            for (int i = 0; i < nurb->GetUKnotCount(); ++i) nurb->GetUKnotVector()[i] = i / 3.0;
            for (int i = 0; i < nurb->GetVKnotCount(); ++i) nurb->GetVKnotVector()[i] = i * 0.5;
            nurb->GetUMultiplicityVector()[0] = 3, nurb->GetVMultiplicityVector()[3] = 2;
            mSurfaces[t] = Node(mScene->GetRootNode(), ("Nurb" + std::to_string(t)).c_str(), nurb);
        }
        for (int p = 0; p < 5; ++p) {
            KZeqPatch* patch = mManager.CreateKZeqPatch();
            patch->InitControlPoints(2 + p, KZeqPatch::EPatchType(p), 3, KZeqPatch::EPatchType(4 - p));
            patch->SetStep(p, 2 * p), patch->SetClosed(p % 2, p % 3 == 0);
            patch->SetUCapped(p == 1, p == 2), patch->SetVCapped(p == 3, p == 4);
            for (int i = 0; i < patch->GetControlPointsCount(); ++i) patch->GetControlPoints()[i] = V(i, -i, p, 1);
            Node(mScene->GetRootNode(), ("Patch" + std::to_string(p)).c_str(), patch);
        }
        for (int l = 0; l < 3; ++l) {
            KZeqLink* link = mManager.CreateKZeqLink();
            link->SetLink(Node(rig, ("Bone" + std::to_string(l)).c_str(), mManager.CreateKZeqNull()));
            link->SetLinkMode(KZeqLink::ELinkMode(l)), link->SetUserData("id", "data");
            for (int i = l; i < 16; i += 2) link->AddControlPointIndex(i, 0.125 * (i + 1));
            const double m = l == 2 ? -1.0 : 1.0;
            link->SetTransformMatrix(KZeqXMatrix(V(1, 2, 3, 1), V(10, 20 * l, 30, 1), V(m, 2 * m, 0.5 * m, 1)));
            // The last link's turn lies within a tenth of a degree of a quarter turn about Y.
            link->SetTransformLinkMatrix(
                KZeqXMatrix(V(-4, l, 6, 1), V(45, l == 2 ? -89.95 : -30, 15 * l, 1), V(1.5, 1.5, 1.5, 1)));
            link->SetAssociateModel(rig);
            link->SetTransformAssociateModelMatrix(KZeqXMatrix(V(0, 5, 0, 1), V(0, 90, 0, 1), V(2, 2, 2, 1)));
            if (l == 1) link->SetTransformParentMatrix(KZeqXMatrix(V(7, 8, 9, 1), V(5, 5, 5, 1), V(1, 1, 1, 1)));
            mSurfaces[0]->GetGeometry()->AddLink(link);
        }
        KZeqGeometry* geometry = mSurfaces[1]->GetGeometry();
        for (int s = 0; s < 3; ++s) {
            KZeqShape* shape = mManager.CreateKZeqShape();
            shape->InitControlPoints(geometry->GetControlPointsCount());
            std::copy_n(geometry->GetControlPoints(), geometry->GetControlPointsCount(), shape->GetControlPoints());
            if (s == 0) shape->GetControlPoints()[5][0] += 2.5, shape->GetControlPoints()[17][1] -= 1.0;
            if (s == 1) shape->GetControlPoints()[3][2] += 1e-12;
            // Surface shapes take these names in the version-5 form anyway.
            geometry->AddShape(shape, ("Shape 0" + std::to_string(s + 1)).c_str());
        }
        // A skinned quad with a shape: links and shapes ride on the mesh record too.
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = V(i % 2, i / 2, 0, 0);
        mesh->BeginPolygon(), mesh->AddPolygon(0), mesh->AddPolygon(1), mesh->AddPolygon(3), mesh->AddPolygon(2);
        mesh->EndPolygon(), Node(mScene->GetRootNode(), "Quad", mesh);
        KZeqLink* skin = mManager.CreateKZeqLink();
        skin->SetLink(rig->GetChild(0)), skin->AddControlPointIndex(1, 0.5), skin->AddControlPointIndex(3, 1.0);
        skin->SetTransformMatrix(KZeqXMatrix()), skin->SetTransformLinkMatrix(KZeqXMatrix(V(1, 0, 0, 1), V(), V(1, 1, 1, 1)));
        mesh->AddLink(skin);
        KZeqShape* smile = mManager.CreateKZeqShape();
        smile->InitControlPoints(4), std::copy_n(mesh->GetControlPoints(), 4, smile->GetControlPoints());
        smile->GetControlPoints()[2][2] = 0.75, mesh->AddShape(smile, "Smile");
    }
    KZeqNode* Node(KZeqNode* parent, const char* name, KZeqNodeAttribute* attribute) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        return node->SetNodeAttribute(attribute), parent->AddChild(node), node;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqNode* mSurfaces[3] = {};
};

// A link without node is not written; no deformer is left by a 6.0 write that cannot start, by a write or a read.
TEST_P(SurfaceFileTest, SurfacesPatchesLinksAndShapesComeBack) {
    const std::string path = mDir / "surfaces.zeq";
    std::string error;
    KZeqGeometry* skinned = mSurfaces[0]->GetGeometry();
    skinned->AddLink(mManager.CreateKZeqLink());
    KZeqExporter exporter(mManager);
    KStreamOptionsZeq options;
    EXPECT_FALSE(KZeqWriterZeq6(mManager, exporter).Write(*mScene, &options));  // no file
    EXPECT_TRUE(mScene->GetDeformerCount() == 0 && skinned->GetLinkCount() == 4);
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, GetParam(), path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    mManager.DestroyKZeqLink(skinned->RemoveLink(3));
    EXPECT_EQ("", CompareScenes(*mScene, *read, GetParam().mLosses).Report());
}
// Skins take their names from their nodes after the first "::": nodes
// "a::body" and "c::body" would give two skins "Deformer::body", which a
// reader binds by name to one, so that each quad came back with the other's
// link too. Numbered, each quad gets its own link back in every form.
TEST_P(SurfaceFileTest, SkinsOfNodesNamedAlikeStayApart) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    for (int q = 0; q < 2; ++q) {
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(3);
        mesh->BeginPolygon(), mesh->AddPolygon(0), mesh->AddPolygon(1), mesh->AddPolygon(2), mesh->EndPolygon();
        Node(scene->GetRootNode(), q ? "Model::c::body" : "Model::a::body", mesh);
        KZeqLink* link = mManager.CreateKZeqLink();
        link->SetLink(Node(scene->GetRootNode(), q ? "BoneC" : "BoneA", mManager.CreateKZeqNull()));
        link->AddControlPointIndex(q, 0.5);
        mesh->AddLink(link);
    }
    const std::string path = mDir / "alike.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, GetParam(), path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    for (int q = 0; q < 2; ++q) {
        KZeqNode* node = read->GetRootNode()->FindChild(q ? "Model::c::body" : "Model::a::body");
        ASSERT_TRUE(node && node->GetGeometry());
        ASSERT_EQ(1, node->GetGeometry()->GetLinkCount()) << q;
        KZeqLink* link = node->GetGeometry()->GetLink(0);
        EXPECT_STREQ(q ? "Model::BoneC" : "Model::BoneA", link->GetLink() ? link->GetLink()->GetName() : "");
        ASSERT_EQ(1, link->GetControlPointIndicesCount());
        EXPECT_EQ(q, link->GetControlPointIndices()[0]);
    }
}

// Shape weights (their channels and the node's shape properties) come back
// from every form, and shapes named like transform channels leave the
// node's transform alone.
TEST_P(SurfaceFileTest, ShapeWeightsComeBackAndMoveNothing) {
    KZeqNode* quad = mScene->GetRootNode()->FindChild("Model::Quad");
    ASSERT_NE(nullptr, quad);
    for (const char* name : {"X", "s", "T"}) {
        KZeqShape* shape = mManager.CreateKZeqShape();
        shape->InitControlPoints(4), std::copy_n(quad->GetGeometry()->GetControlPoints(), 4, shape->GetControlPoints());
        ASSERT_GE(quad->GetGeometry()->AddShape(shape, name), 0) << name;
    }
    quad->SetDefaultT(V(5, 6, 7, 1)), quad->SetDefaultS(V(2, 3, 4, 1));
    KZeqNode* nodes[] = {quad, mSurfaces[1]};
    for (KZeqNode* node : nodes)
        for (int s = 0; s < node->GetGeometry()->GetShapeCount(); ++s)
            node->GetGeometry()->SetDefaultShape(s, 0.25 * s + 0.125);
    const std::string path = mDir / "shapes.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, GetParam(), path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    for (KZeqNode* node : nodes) {
        KZeqNode* back = read->GetRootNode()->FindChild(node->GetName());
        ASSERT_TRUE(back && back->GetGeometry());
        ASSERT_EQ(node->GetGeometry()->GetShapeCount(), back->GetGeometry()->GetShapeCount());
        KZeqTakeNode* take = back->GetDefaultTakeNode();
        KFCurve* transform[] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                                take->GetScaleX(),       take->GetScaleY(),       take->GetScaleZ()};
        const float expected[] = {5, 6, 7, 2, 3, 4};
        for (int c = 0; node == quad && c < 6; ++c) EXPECT_EQ(expected[c], transform[c]->GetValue()) << c;
        for (int s = 0; s < back->GetGeometry()->GetShapeCount(); ++s) {
            const char* name = back->GetGeometry()->GetShapeName(s);
            EXPECT_EQ(0.25 * s + 0.125, back->GetGeometry()->GetDefaultShape(s)) << name;
            double weight = -1.0;
            if (KZeqUserProperty* property = back->FindPropertyByName(name)) property->GetDefaultValue(weight);
            EXPECT_EQ(0.25 * s + 0.125, weight) << name;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Forms, SurfaceFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

struct RecordTest : ::testing::Test {
    KZeq& Open(const std::string& fields) {
        MakeZeqFile(mDir / "r.zeq", 5800, 0, fields);
        EXPECT_TRUE(mReader.FileOpen((mDir / "r.zeq").c_str()) && mReader.GetZeqObject()->ProjectOpenMainSection());
        mReader.SetIsBeforeVersion6WithMainSection(false);
        return *mReader.GetZeqObject();
    }
    KZeqNode* Read(const std::string& fields, int version, const char* node) {
        MakeZeqFile(mDir / "s.zeq", version, 1, fields);
        KStreamOptionsZeq options;
        mScene = mManager.CreateKZeqScene();
        EXPECT_TRUE(mReader.FileOpen((mDir / "s.zeq").c_str()) && mReader.Read(*mScene, &options));
        return mScene->GetRootNode()->FindChild(node);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqImporter mImporter{mManager};
    KZeqReaderZeq mReader{mManager, mImporter};
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

std::string Points(int count, const char* weight = "1") {
    std::string text = "Points: ";
    for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::string(i % 4 < 3 ? "0.5" : i == 23 ? weight : "1");
    return text + ";";
}

std::string Nurb(const char* form, const std::string& points, int knotsU = 8, int multiplicitiesV = 4) {
    const std::string knots = "0,1,2,3,4,5,6,7,8,9,10";
    return std::string("NurbOrder: 4,4;Form: ") + form + ";Dimensions: 4,4;" + points + "MultiplicityU: 1,1,1,1;" +
           "MultiplicityV: 1" + std::string(",1,1,1").substr(0, 2 * (multiplicitiesV - 1)) + ";KnotVectorU: " +
           knots.substr(0, knotsU == 8 ? 15 : 22) + ";KnotVectorV: " + knots + ";";
}

struct NurbRow {
    const char* mName;
    std::string mFields;
    int mError, mCode, mPoints, mUType;  // the reader's error number (-1: sound record), the field file's
    double mWeight;     // of point 5, stored even when it fails
    const char* mText;  // how the message starts
};
const char* const kOpenClosed = "\"Open\",\"Closed\"";
const NurbRow kNurbRows[] = {
    {"FormInAnyCase", Nurb("\"open\",\"CLOSED\"", Points(64)), -1, -1, 16, 2, 1, ""},
    {"SixtyThreePoints", "NurbOrder: 4,4;Dimensions: 4,4;" + Points(63), 1, 9, 0, 0, 0, "Control point"},
    {"WeightAtTheLimit", Nurb(kOpenClosed, Points(64, "0.00001")), 2, 10, 16, 2, 0.00001, "Weight of"},
    {"WeightJustAbove", Nurb(kOpenClosed, Points(64, "0.00002")), -1, -1, 16, 2, 0.00002, ""},
    {"UnknownForm", Nurb("\"Spiral\",\"Closed\"", Points(64), 11), 0, 10, 16, 0, 1, "Type of nurb"},
    // Counts that contradict the values leave the surface out: no zeros stand in for what is missing.
    {"ShortMultiplicityV", Nurb(kOpenClosed, Points(64), 8, 3), 4, 9, 0, 0, 0, "Multiplicity V"},
    {"WrongKnotCountU", Nurb(kOpenClosed, Points(64), 11), 5, 9, 0, 0, 0, "U knot vector"},
    {"OnePointValueTooMany", Nurb(kOpenClosed, Points(65)), 1, 9, 0, 0, 0, "Control point"},
    {"KnotVectorVLeftOut",
     "NurbOrder: 4,4;Form: \"Open\",\"Closed\";Dimensions: 4,4;" + Points(64) +
         "MultiplicityU: 1,1,1,1;MultiplicityV: 1,1,1,1;KnotVectorU: 0,1,2,3,4,5,6,7;",
     6, 9, 0, 0, 0, "V knot vector"},
    {"NegativeDimensions", "NurbOrder: 4,4;Dimensions: -4,4;" + Points(64), 1, 9, 0, 0, 0, "Control point"},
    {"OverflowingDimensions", "NurbOrder: 4,4;Dimensions: 65536,65536;" + Points(64), 1, 9, 0, 0, 0, "Control point"},
    {"DimensionsBeyondThePoints", "NurbOrder: 4,4;Dimensions: 1000,1000;" + Points(64), 1, 9, 0, 0, 0, "Control point"},
    {"HugeOrder", "NurbOrder: 1000000000,4;Dimensions: 4,4;" + Points(64), 1, 9, 0, 0, 0, "Control point"},
};

struct NurbRecordTest : RecordTest, ::testing::WithParamInterface<NurbRow> {};
TEST_P(NurbRecordTest, ChecksAndTheirMessages) {
    const NurbRow& row = GetParam();
    KZeq& file = Open(row.mFields);
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    EXPECT_TRUE((row.mError < 0) == mReader.ReadKZeqNurb(*nurb) && row.mPoints == nurb->GetControlPointsCount());
    const std::string text = mReader.GetLastErrorString();
    EXPECT_TRUE(row.mError < 0 || (row.mError == mReader.GetLastErrorID() && row.mCode == file.GetLastErrorID() &&
                                   text.rfind(row.mText, 0) == 0 && text == file.GetLastErrorString()));
    // Knots: count + order when open, else count + 2 x order - 1; the V type is closed.
    EXPECT_TRUE(row.mPoints > 0 || (!nurb->GetUKnotVector() && !nurb->GetVKnotVector() &&
                                    !nurb->GetUMultiplicityVector() && !nurb->GetVMultiplicityVector()));
    EXPECT_TRUE(row.mPoints == 0 || (row.mUType == nurb->GetNurbUType() && nurb->GetNurbVType() == 1 &&
                                     nurb->GetUKnotCount() == (row.mUType == 2 ? 8 : 11) &&
                                     nurb->GetVKnotCount() == 11 && row.mWeight == nurb->GetControlPoints()[5][3]));
}
INSTANTIATE_TEST_SUITE_P(Rows, NurbRecordTest, ::testing::ValuesIn(kNurbRows),
                         [](const testing::TestParamInfo<NurbRow>& info) { return std::string(info.param.mName); });

// ---- Surfaces whose counts contradict their values -------------------------------------------

struct CountForm {
    const char* mName;
    const ZeqFileCase* mWritten;  // the ASCII form the writer wrote and the edit changed
    int mMode;                    // the mode the edited file is read in
};
const CountForm kCountForms[] = {{"V60Ascii", &kZeqFileCases[0], 0},
                                 {"V58Ascii", &kZeqFileCases[3], 0},
                                 {"V60Binary", &kZeqFileCases[0], 1}};
void PrintTo(const CountForm& form, std::ostream* out) { *out << form.mName; }

struct SurfaceCountTest : ::testing::TestWithParam<std::tuple<SurfaceCountEdit, CountForm>> {
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

// A point value more or fewer, a knot more, a line of knots lost, a multiplicity more: the read
// goes on, the node keeps its transform, its surface is left out (never built of zeros), the
// message names the node and the check, and the next surface is whole.
TEST_P(SurfaceCountTest, SurfaceLeftOutAndSaidSo) {
    const SurfaceCountEdit& edit = std::get<0>(GetParam());
    const CountForm& form = std::get<1>(GetParam());
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildSurfaceCountScene(mManager, *scene);
    const std::string written = mDir / "written.zeq", path = mDir / "counts.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, *form.mWritten, written, "", &error)) << error;
    std::string text = zeqtest::ReadFile(written);
    ASSERT_TRUE(EditSurfaceCounts(text, edit)) << text;
    zeqtest::WriteFile(written, text);
    ASSERT_TRUE(ConvertZeqFile(written, path, form.mMode));

    KZeqImporter importer(mManager);
    KZeqScene* read = mManager.CreateKZeqScene();
    ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*read)) << importer.GetLastErrorString();
    KString message;
    importer.GetMessage(message);
    EXPECT_EQ(std::string("Model::Surf: NURBS surface left out: ") + edit.mCheck, message.Buffer());
    KZeqNode* surf = read->GetRootNode()->FindChild("Surf");
    ASSERT_TRUE(surf && surf->GetNurb());
    KZeqVector4 t;
    EXPECT_EQ(V(1, 2, 3, 1), surf->GetDefaultT(t));
    KZeqNurb* nurb = surf->GetNurb();
    EXPECT_TRUE(nurb->GetControlPointsCount() == 0 && nurb->GetUCount() == 0 && nurb->GetVCount() == 0);
    EXPECT_TRUE(!nurb->GetUKnotVector() && !nurb->GetVKnotVector() && !nurb->GetUMultiplicityVector() &&
                !nurb->GetVMultiplicityVector());
    KZeqNurb* whole = read->GetRootNode()->FindChild("Whole")->GetNurb();
    KZeqNurb* original = scene->GetRootNode()->FindChild("Whole")->GetNurb();
    ASSERT_TRUE(whole && whole->GetControlPointsCount() == original->GetControlPointsCount() &&
                whole->GetVKnotCount() == original->GetVKnotCount());
    EXPECT_TRUE(std::equal(whole->GetControlPoints(), whole->GetControlPoints() + whole->GetControlPointsCount(),
                           original->GetControlPoints()));
    EXPECT_TRUE(std::equal(whole->GetVKnotVector(), whole->GetVKnotVector() + whole->GetVKnotCount(),
                           original->GetVKnotVector()));
}
INSTANTIATE_TEST_SUITE_P(Edits, SurfaceCountTest,
                         ::testing::Combine(::testing::ValuesIn(kSurfaceCountEdits), ::testing::ValuesIn(kCountForms)),
                         [](const testing::TestParamInfo<std::tuple<SurfaceCountEdit, CountForm>>& info) {
                             return std::string(std::get<0>(info.param).mName) + std::get<1>(info.param).mName;
                         });

// Any other type is linear, also without "PatchType"; counts beyond the points are refused.
TEST_F(RecordTest, PatchTypesStepsAndPoints) {
    Open("PatchType: \"bspline\",\"Hermite\";Dimensions: 2,1;SurfaceDisplay: 1,4,4;Step: 8,8;Closed: 0,3;"
         "VCapped: 1,0;Points: 1,2,3,4,5,6");
    KZeqPatch* patch = mManager.CreateKZeqPatch();
    EXPECT_TRUE(mReader.ReadKZeqPatch(*patch) && patch->GetPatchUType() == 3 && patch->GetPatchVType() == 4 &&
                patch->GetUStep() == 8 && patch->GetVStep() == 8 && patch->GetSurfaceMode() == 1);
    EXPECT_TRUE(!patch->GetUClosed() && patch->GetVClosed() && patch->GetVCappedBottom() && !patch->GetVCappedTop());
    EXPECT_TRUE(patch->GetControlPointsCount() == 2 && patch->GetControlPoints()[1] == V(4, 5, 6, 1));
    Open("Dimensions: 1000,1000;Points: 1,2,3");
    KZeqPatch* bare = mManager.CreateKZeqPatch();
    EXPECT_TRUE(mReader.ReadKZeqPatch(*bare) && bare->GetControlPointsCount() == 0 && bare->GetPatchVType() == 4);
}

// Offsets at the indices that name a point; seven values are two entries; no
// "Vertices": no points, yet the normals element of a mesh shape.
TEST_F(RecordTest, ShapesOnAMesh) {
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    mesh->InitControlPoints(4), mesh->CreateLayer();
    auto* normals = new KZeqLayerElementNormal;
    for (int i = 0; i < 4; ++i)
        mesh->GetControlPoints()[i] = V(i, 0, 0, 1), normals->GetDirectArray().Add(V(0, 0, 1, 0));
    mesh->GetLayer(0)->SetNormals(normals);
    KZeq& file = Open("Shape: \"a\" {;Indexes: 1,3,9,-1;Vertices: 1,1,1,2,2,2,5,5,5,7,7,7;Normals: 0.5,0,0,0,0.5,0;};"
                      "Shape: \"b\" {;Indexes: 0,2;Vertices: 1,1,1,2,2,2,9;};Shape: \"c\" {;Indexes: 0;};");
    KZeqShape* shapes[3];
    for (KZeqShape*& shape : shapes) {
        shape = mManager.CreateKZeqShape();
        ASSERT_TRUE(file.FieldReadBegin("Shape") && mReader.ReadKZeqShape(*shape, *mesh));
    }
    const V* a = shapes[0]->GetControlPoints();
    EXPECT_TRUE(a[1] == V(2, 1, 1, 1) && a[3] == V(5, 2, 2, 1) && a[2] == V(2, 0, 0, 1));
    const KZeqLayerElementNormal* read = shapes[0]->GetLayer(0)->GetNormals();
    EXPECT_TRUE(read->GetMappingMode() == KZeqLayerElement::eBY_CONTROL_POINT && read->GetReferenceMode() == 0 &&
                read->GetDirectArray()[1] == V(0.5, 0, 1, 0) && read->GetDirectArray()[3] == V(0, 0.5, 1, 0));
    EXPECT_TRUE(shapes[1]->GetControlPoints()[2] == V(4, 2, 2, 1) && shapes[2]->GetControlPointsCount() == 0 &&
                shapes[2]->GetLayer(0)->GetNormals()->GetDirectArray().GetCount() == 4);
}

// Link fields; pairs naming no control point are dropped in both layouts; version 6 reads a lower-case cluster
// under a skin as a link, no deformer kept; one reader reads both files (the mirrored cluster: round trips).
TEST_F(RecordTest, LinksOfBothLayoutsAreBounded) {
    const std::string surface = "Type: \"Nurb\";NurbOrder: 2,2;Form: \"Open\",\"Open\";Dimensions: 2,2;" + Points(16) +
                                "KnotVectorU: 0,0,1,1;KnotVectorV: 0,0,1,1;";
    KZeqNode* v5 = Read("Model: \"Model::Bone\" {;Type: \"Null\";};Model: \"Model::Surf\" {;" + surface +
                            "Link: \"Model::Bone\" {;Mode: \"total1\";UserData: \"k\",\"v\";Indexes: 7,1,3,-2;"
                            "Weights: 1,2;};Link: \"Model::Bone\";}",
                        5800, "Surf");
    ASSERT_TRUE(v5 && v5->GetNurb() && v5->GetNurb()->GetLinkCount() == 2);
    KZeqLink* link = v5->GetNurb()->GetLink(0);
    // Missing weights read 0; a link without block keeps the manager's mode.
    EXPECT_TRUE(link->GetControlPointIndicesCount() == 2 && link->GetControlPointIndices()[1] == 3 &&
                link->GetControlPointWeights()[0] == 2.0 && link->GetControlPointWeights()[1] == 0.0);
    EXPECT_TRUE(link->GetLinkMode() == KZeqLink::eTOTAL1 && link->GetUserData("K") == "v" &&
                v5->GetNurb()->GetLink(1)->GetLinkMode() == KZeqLink::eADDITIVE &&
                mScene->GetRootNode()->FindChild("Bone") == link->GetLink());
    const std::string connect = "Connect: \"OO\", \"";
    KZeqNode* v6 = Read("Definitions: {;ObjectType: \"Model\" {;};ObjectType: \"Deformer\" {;};};Objects: {;"
                        "Model: \"Model::Surf\", \"Nurb\" {;" + surface + "};Model: \"Model::Bone\", \"Null\" {;"
                        "Type: \"Null\";};Deformer: \"Deformer::Skin\", \"skin\" {;Version: 100;};Deformer: "
                        "\"SubDeformer::C\", \"cluster\" {;Indexes: -1,0,3,4;Weights: 0.1,0.2,0.3,0.4;};};"
                        "Connections: {;" + connect + "Model::Surf\", \"Model::Scene\";" + connect +
                        "Model::Bone\", \"Model::Scene\";" + connect + "Deformer::Skin\", \"Model::Surf\";" + connect +
                        "Model::Bone\", \"SubDeformer::C\";" + connect + "SubDeformer::C\", \"Deformer::Skin\";}",
                        6000, "Surf");
    ASSERT_TRUE(v6 && v6->GetNurb() && v6->GetNurb()->GetLinkCount() == 1);
    link = v6->GetNurb()->GetLink(0);
    KZeqXMatrix transform;  // none in the file: identity
    EXPECT_TRUE(link->GetControlPointIndicesCount() == 2 && link->GetControlPointIndices()[1] == 3 &&
                link->GetControlPointWeights()[1] == 0.3 && link->GetTransformMatrix(transform) == KZeqXMatrix());
    EXPECT_TRUE(link->GetLink() == mScene->GetRootNode()->FindChild("Bone") && mScene->GetDeformerCount() == 0);
}

}  // namespace
