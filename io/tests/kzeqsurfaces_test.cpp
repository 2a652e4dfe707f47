// NURBS surfaces, patches, skin links, deformers and shapes: round trips
// through both writers in their three encodings, and the record readers on
// hand-written fields.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "content/kzeqdeformer.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqwriterzeq6.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

std::string Values(int count, double (*value)(int)) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(value(i));
    return text;
}

// ---- Round trips ------------------------------------------------------------------------------------

struct SurfaceFileTest : ::testing::TestWithParam<ZeqFileCase> {
    SurfaceFileTest() {
        KZeqNode* root = mScene->GetRootNode();
        KZeqNode* rig = Node(root, "Rig", mManager.CreateKZeqNull());
        KZeqNode* bones[3];
        for (int i = 0; i < 3; ++i)
            bones[i] = Node(rig, ("Bone" + std::to_string(i)).c_str(), mManager.CreateKZeqNull());
        const KZeqNurb::ENurbType types[3] = {KZeqNurb::eOPEN, KZeqNurb::eCLOSED, KZeqNurb::ePERIODIC};
        for (int t = 0; t < 3; ++t) {
            KZeqNurb* nurb = mManager.CreateKZeqNurb();
            nurb->SetOrder(4, 3 - t / 2);
            EXPECT_TRUE(nurb->InitControlPoints(4 + t, types[t], 4, types[2 - t]));
            nurb->SetStep(8 + t, 6), nurb->SetSurfaceMode(KZeqGeometry::eLOW);
            for (int i = 0; i < nurb->GetControlPointsCount(); ++i)
                nurb->GetControlPoints()[i] = KZeqVector4(i % 4, i / 4 + 0.25 * t, 0.1 * i, 1.0 + 0.5 * (i % 3));
            for (int i = 0; i < nurb->GetUKnotCount(); ++i) nurb->GetUKnotVector()[i] = i / 3.0;
            for (int i = 0; i < nurb->GetVKnotCount(); ++i) nurb->GetVKnotVector()[i] = i * 0.5;
            nurb->GetUMultiplicityVector()[0] = 3, nurb->GetVMultiplicityVector()[3] = 2;
            mSurfaces[t] = Node(root, ("Nurb" + std::to_string(t)).c_str(), nurb);
        }
        for (int t = 0; t < 5; ++t) {
            KZeqPatch* patch = mManager.CreateKZeqPatch();
            patch->InitControlPoints(2 + t, static_cast<KZeqPatch::EPatchType>(t), 3,
                                     static_cast<KZeqPatch::EPatchType>(4 - t));
            patch->SetStep(t, 2 * t), patch->SetClosed(t % 2, t % 3 == 0);
            patch->SetUCapped(t == 1, t == 2), patch->SetVCapped(t == 3, t == 4);
            for (int i = 0; i < patch->GetControlPointsCount(); ++i)
                patch->GetControlPoints()[i] = KZeqVector4(i, -i, 0.125 * t, 1.0);
            Node(root, ("Patch" + std::to_string(t)).c_str(), patch);
        }
        // Three links with an associate model and a parent transform, one mirrored.
        KZeqGeometry* skinned = mSurfaces[0]->GetGeometry();
        for (int l = 0; l < 3; ++l) {
            KZeqLink* link = mManager.CreateKZeqLink();
            link->SetLink(bones[l]);
            link->SetLinkMode(static_cast<KZeqLink::ELinkMode>(l));
            link->SetUserData("id" + KString(std::to_string(l).c_str()), "data");
            for (int i = l; i < 16; i += 2) link->AddControlPointIndex(i, 0.125 * (i + 1));
            const double mirror = l == 2 ? -1.0 : 1.0;
            link->SetTransformMatrix(KZeqXMatrix(KZeqVector4(1, 2, 3, 1), KZeqVector4(10, 20 * l, 30, 1),
                                                 KZeqVector4(mirror, 2 * mirror, 0.5 * mirror, 1)));
            link->SetTransformLinkMatrix(
                KZeqXMatrix(KZeqVector4(-4, l, 6, 1), KZeqVector4(45, -30, 15 * l, 1), KZeqVector4(1.5, 1.5, 1.5, 1)));
            link->SetAssociateModel(rig);
            link->SetTransformAssociateModelMatrix(
                KZeqXMatrix(KZeqVector4(0, 5, 0, 1), KZeqVector4(0, 90, 0, 1), KZeqVector4(2, 2, 2, 1)));
            if (l == 1)
                link->SetTransformParentMatrix(
                    KZeqXMatrix(KZeqVector4(7, 8, 9, 1), KZeqVector4(5, 5, 5, 1), KZeqVector4(1, 1, 1, 1)));
            skinned->AddLink(link);
        }
        // Shapes on a surface: one moved point, one moved by a hair in Z only, one equal to the base.
        for (int s = 0; s < 3; ++s) {
            KZeqGeometry* geometry = mSurfaces[1]->GetGeometry();
            KZeqShape* shape = mManager.CreateKZeqShape();
            shape->InitControlPoints(geometry->GetControlPointsCount());
            for (int i = 0; i < geometry->GetControlPointsCount(); ++i)
                shape->GetControlPoints()[i] = geometry->GetControlPoints()[i];
            if (s == 0) shape->GetControlPoints()[5][0] += 2.5, shape->GetControlPoints()[17][1] -= 1.0;
            if (s == 1) shape->GetControlPoints()[3][2] += 1e-12;
            // Surface shapes take these names in the version-5 form anyway.
            EXPECT_NE(-1, geometry->AddShape(shape, ("Shape 0" + std::to_string(s + 1)).c_str()));
        }
    }
    KZeqNode* Node(KZeqNode* parent, const char* name, KZeqNodeAttribute* attribute) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        node->SetNodeAttribute(attribute);
        parent->AddChild(node);
        return node;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqNode* mSurfaces[3] = {};
};

TEST_P(SurfaceFileTest, SurfacesPatchesLinksAndShapesComeBack) {
    const ZeqFileCase& form = GetParam();
    const std::string path = mDir / "surfaces.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    // The comparer also finds no deformer in either scene.
    EXPECT_EQ("", CompareScenes(*mScene, *read, form.mLosses).Report());
    KZeqGeometry* shaped = mSurfaces[1]->GetGeometry();
    EXPECT_STREQ("Shape 01", shaped->GetShapeName(0));  // the 5.8 names were turned back
    if (form.mMode == 0 && form.mFileVersion == 5800) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        for (const char* field : {"Type: \"Patch\"", "Type: \"Nurb\"", "Materials:", "Link: \"Model::Bone2\""})
            EXPECT_NE(std::string::npos, text.str().find(field)) << field;
    }
}
INSTANTIATE_TEST_SUITE_P(Forms, SurfaceFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

// A link without node is not written; a 6.0 write that cannot start leaves
// no deformer behind.
TEST_F(SurfaceFileTest, NodelessLinksAndFailedWrites) {
    mSurfaces[2]->GetGeometry()->AddLink(mManager.CreateKZeqLink());
    for (const ZeqFileCase& form : kZeqFileCases) {
        if (form.mMode != 0) continue;
        const std::string path = mDir / "nodeless.zeq";
        ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path));
        KZeqScene* read = ReadZeqFile(mManager, path);
        ASSERT_NE(nullptr, read);
        KZeqNode* nurb = read->GetRootNode()->FindChild("Nurb2");
        ASSERT_TRUE(nurb && nurb->GetGeometry());
        EXPECT_EQ(0, nurb->GetGeometry()->GetLinkCount());
    }
    KZeqExporter exporter(mManager);
    KZeqWriterZeq6 writer(mManager, exporter);
    KStreamOptionsZeq options;
    EXPECT_FALSE(writer.Write(*mScene, &options));  // no file
    EXPECT_EQ(0, mScene->GetDeformerCount());
    EXPECT_EQ(3, mSurfaces[0]->GetGeometry()->GetLinkCount());
}

// ---- Records on hand-written fields ------------------------------------------------------------------------

struct RecordTest : ::testing::Test {
    // The reader standing in the main section of a file of those fields.
    KZeq& Open(const std::string& fields, int version = 5800) {
        MakeZeqFile(mDir / "r.zeq", version, 0, fields);
        EXPECT_TRUE(mReader.FileOpen((mDir / "r.zeq").c_str()) && mReader.GetZeqObject()->ProjectOpenMainSection());
        mReader.SetIsBeforeVersion6WithMainSection(false);
        return *mReader.GetZeqObject();
    }
    KZeqScene* Read(const std::string& fields, int version) {
        MakeZeqFile(mDir / "s.zeq", version, 1, fields);
        KStreamOptionsZeq options;
        EXPECT_TRUE(mReader.FileOpen((mDir / "s.zeq").c_str()) && mReader.Read(*mScene, &options));
        return mScene;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqImporter mImporter{mManager};
    KZeqReaderZeq mReader{mManager, mImporter};
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

struct NurbRow {
    const char* mName;
    std::string mFields;
    int mError;     // the reader's error number, -1 when the record is sound
    int mFileCode;  // the field file's
    int mPoints;    // control points after the read
    int mUType, mVType;
};

std::string Points(int count, double weight = 1.0, int at = -1) {
    std::string text = "Points: ";
    for (int i = 0; i < count; ++i)
        text += (i ? "," : "") + std::string(i % 4 == 3 ? (i / 4 == at ? std::to_string(weight) : "1") : "0.5");
    return text + ";";
}

std::string Nurb(const std::string& head, const std::string& points, const char* knotsU = "8",
                 const char* mults = "4") {
    return "NurbOrder: 4,4;" + head + points + "MultiplicityU: " + Values(4, [](int) { return 1.0; }) +
           ";MultiplicityV: " + Values(std::atoi(mults), [](int) { return 1.0; }) +
           ";KnotVectorU: " + Values(std::atoi(knotsU), [](int i) { return i * 1.0; }) +
           ";KnotVectorV: " + Values(11, [](int i) { return i * 1.0; }) + ";";
}

const NurbRow kNurbRows[] = {
    {"FormInAnyCase", Nurb("Form: \"open\",\"CLOSED\";Dimensions: 4,4;", Points(64)), -1, -1, 16, 2, 1},
    {"SixtyThreePoints", "NurbOrder: 4,4;Dimensions: 4,4;" + Points(63), 1, 9, 0, 2, 1},
    {"WeightAtTheLimit", Nurb("Form: \"Open\",\"Closed\";Dimensions: 4,4;", Points(64, 0.00001, 5)), 2, 10, 16, 2, 1},
    {"WeightJustAbove", Nurb("Form: \"Open\",\"Closed\";Dimensions: 4,4;", Points(64, 0.00002, 5)), -1, -1, 16, 2, 1},
    {"UnknownForm", Nurb("Form: \"Spiral\",\"Closed\";Dimensions: 4,4;", Points(64), "11"), 0, 10, 16, 0, 1},
    {"ShortMultiplicityV", Nurb("Form: \"Open\",\"Closed\";Dimensions: 4,4;", Points(64), "8", "3"), 4, 9, 16, 2, 1},
    {"WrongKnotCountU", Nurb("Form: \"Open\",\"Closed\";Dimensions: 4,4;", Points(64), "11"), 5, 9, 16, 2, 1},
    {"NegativeDimensions", "NurbOrder: 4,4;Dimensions: -4,4;" + Points(64), 1, 9, 0, 2, 2},
    {"OverflowingDimensions", "NurbOrder: 4,4;Dimensions: 65536,65536;" + Points(64), 1, 9, 0, 2, 2},
    {"DimensionsBeyondThePoints", "NurbOrder: 4,4;Dimensions: 1000,1000;" + Points(64), 1, 9, 0, 2, 2},
    {"HugeOrder", "NurbOrder: 1000000000,4;Form: \"Open\",\"Open\";Dimensions: 4,4;" + Points(64), 1, 9, 0, 2, 2},
};

struct NurbRecordTest : RecordTest, ::testing::WithParamInterface<NurbRow> {};

TEST_P(NurbRecordTest, ChecksAndTheirMessages) {
    static const char* const kTexts[] = {"Type of nurb unknown (invalid data).",
                                         "Control point definition error (wrong number of data).",
                                         "Weight of control point must be greater than 0 (invalid data).",
                                         "",
                                         "Multiplicity V definition error (wrong number of data).",
                                         "U knot vector definition error (wrong number of data)."};
    const NurbRow& row = GetParam();
    KZeq& file = Open(row.mFields);
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    EXPECT_EQ(row.mError < 0, mReader.ReadKZeqNurb(*nurb));
    EXPECT_EQ(row.mPoints, nurb->GetControlPointsCount());
    if (row.mError >= 0) {
        EXPECT_EQ(row.mError, mReader.GetLastErrorID());
        EXPECT_STREQ(kTexts[row.mError], mReader.GetLastErrorString());
        EXPECT_EQ(row.mFileCode, file.GetLastErrorID());
        EXPECT_STREQ(kTexts[row.mError], file.GetLastErrorString());
    }
    if (row.mPoints > 0) {
        EXPECT_EQ(row.mUType, nurb->GetNurbUType());
        EXPECT_EQ(row.mVType, nurb->GetNurbVType());
        // Knots: count + order open, count + 2 x order - 1 otherwise.
        EXPECT_EQ(row.mUType == 2 ? 8 : 11, nurb->GetUKnotCount());
        EXPECT_EQ(0.5, nurb->GetControlPoints()[0][0]);
        if (row.mError == 2) {
            EXPECT_EQ(0.00001, nurb->GetControlPoints()[5][3]);  // stored all the same
        }
    }
    mManager.DestroyKZeqNodeAttribute(nurb);
}
INSTANTIATE_TEST_SUITE_P(Rows, NurbRecordTest, ::testing::ValuesIn(kNurbRows),
                         [](const testing::TestParamInfo<NurbRow>& info) { return std::string(info.param.mName); });

TEST_F(RecordTest, PatchTypesStepsAndPoints) {
    Open(
        "PatchType: \"bspline\",\"Hermite\";Dimensions: 2,1;SurfaceDisplay: 1,4,4;Step: 8,8;Closed: 0,3;"
        "VCapped: 1,0;Points: 1,2,3,4,5,6");
    KZeqPatch* patch = mManager.CreateKZeqPatch();
    EXPECT_TRUE(mReader.ReadKZeqPatch(*patch));
    EXPECT_TRUE(patch->GetPatchUType() == KZeqPatch::eBSPLINE && patch->GetPatchVType() == KZeqPatch::eLINEAR);
    EXPECT_TRUE(patch->GetUStep() == 8 && patch->GetVStep() == 8 && patch->GetSurfaceMode() == 1);
    EXPECT_TRUE(!patch->GetUClosed() && patch->GetVClosed() && patch->GetVCappedBottom() && !patch->GetVCappedTop());
    ASSERT_EQ(2, patch->GetControlPointsCount());
    EXPECT_TRUE(patch->GetControlPoints()[1] == KZeqVector4(4, 5, 6, 1.0));
    // Without "PatchType" both types are linear; counts beyond the points are refused.
    Open("Dimensions: 1000,1000;Points: 1,2,3");
    KZeqPatch* bare = mManager.CreateKZeqPatch();
    EXPECT_TRUE(mReader.ReadKZeqPatch(*bare));
    EXPECT_TRUE(bare->GetPatchUType() == KZeqPatch::eLINEAR && bare->GetPatchVType() == KZeqPatch::eLINEAR);
    EXPECT_EQ(0, bare->GetControlPointsCount());
    mManager.DestroyKZeqNodeAttribute(patch), mManager.DestroyKZeqNodeAttribute(bare);
}

TEST_F(RecordTest, LinkFields) {
    KZeq& file = Open(
        "Link: \"Model::Bare\";Link: \"Model::B\" {;Mode: \"additive\";UserData: \"k\",\"v\";"
        "Indexes: 4,2,9;Weights: 0.5;TransformParent: " +
        Values(16, [](int i) { return i % 5 == 0 ? 1.0 : 0.0; }) + ";}");
    KZeqLink* bare = mManager.CreateKZeqLink();
    bare->SetUserData("kept", "kept");
    ASSERT_TRUE(file.FieldReadBegin("Link") && mReader.ReadKZeqLink(*bare));
    EXPECT_TRUE(bare->GetLinkName() == "Model::Bare" && bare->GetUserData() == "kept" && !bare->GetLink());
    EXPECT_EQ(KZeqLink::eADDITIVE, bare->GetLinkMode());  // as the manager made it
    file.FieldReadEnd();
    KZeqLink* link = mManager.CreateKZeqLink();
    ASSERT_TRUE(file.FieldReadBegin("Link") && mReader.ReadKZeqLink(*link));
    EXPECT_TRUE(link->GetLinkMode() == KZeqLink::eADDITIVE && link->GetUserData("K") == "v");
    ASSERT_EQ(3, link->GetControlPointIndicesCount());
    EXPECT_TRUE(link->GetControlPointWeights()[0] == 0.5 && link->GetControlPointWeights()[2] == 0.0);
    KZeqXMatrix identity, transform;
    EXPECT_TRUE(link->GetTransformMatrix(transform) == identity);
    KZeqReaderZeq::DropLinkIndicesOutside(*link, 5);
    ASSERT_EQ(2, link->GetControlPointIndicesCount());
    EXPECT_TRUE(link->GetControlPointIndices()[1] == 2 && link->GetControlPointWeights()[0] == 0.5);
    mManager.DestroyKZeqLink(bare), mManager.DestroyKZeqLink(link);
}

// Mirror, defaults and fields of the other kind; "cluster" in lower case.
TEST_F(RecordTest, ClusterAndSkinFields) {
    const std::string mirror = "Transform: -2,0,0,0, 0,-1,0,0, 0,0,-3,0, 1,2,3,1;";
    Open("Mode: \"TOTAL1\";Link_DeformAcuracy: 7;Indexes: 1,2;Weights: 0.25,0.75,9;" + mirror +
         "AssociateModel: \"ignored\" {;Transform: " + Values(16, [](int i) { return i % 5 == 0 ? 2.0 : 0.0; }) + ";}");
    KZeqDeformer* cluster = mManager.CreateKZeqDeformer("c", "cluster");
    EXPECT_TRUE(mReader.ReadKZeqDeformer(*cluster));
    EXPECT_TRUE(cluster->GetDeformerType() == KZeqDeformer::eCLUSTER && cluster->mLinkMode == KZeqLink::eTOTAL1);
    EXPECT_EQ(50.0, cluster->mLinkDeformAccuracy);
    EXPECT_TRUE(cluster->mWeights.GetCount() == 2 && cluster->mWeights[1] == 0.75);
    const KZeqXMatrix transform(cluster->mTransform);
    EXPECT_TRUE(transform.GetS()[0] < 0 && transform.GetS()[1] < 0 && transform.GetS()[2] < 0);
    EXPECT_NEAR(-3.0, transform.GetS()[2], 1e-12);
    EXPECT_EQ(2.0, cluster->mTransform.mData[3][1]);
    EXPECT_TRUE(cluster->mTransformLink == KZeqMatrix() && !cluster->mTransformParentSet);
    EXPECT_EQ(2.0, cluster->mTransformAssociateModel.mData[1][1]);
    Open("Mode: \"Additive\";Link_DeformAcuracy: 7;MultiLayer: 1");
    KZeqDeformer* skin = mManager.CreateKZeqDeformer("s", "Skin");
    EXPECT_TRUE(mReader.ReadKZeqDeformer(*skin));
    EXPECT_TRUE(skin->mLinkDeformAccuracy == 7.0 && skin->mLinkMode == KZeqLink::eNORMALIZE && skin->GetMultiLayer());
    Open("Version: 100");
    KZeqDeformer* bare = mManager.CreateKZeqDeformer("b", "Cluster");
    mReader.ReadKZeqDeformer(*bare);
    EXPECT_TRUE(bare->mTransform == KZeqMatrix() && bare->mTransformLink == KZeqMatrix());
    for (KZeqDeformer* deformer : {cluster, skin, bare}) mManager.DestroyKZeqDeformer(deformer);
}

TEST_F(RecordTest, ShapesOnAMeshAndOnASurface) {
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    mesh->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i, 0, 0, 1);
    mesh->CreateLayer();
    auto* normals = new KZeqLayerElementNormal;
    for (int i = 0; i < 4; ++i) normals->GetDirectArray().Add(KZeqVector4(0, 0, 1, 0));
    mesh->GetLayer(0)->SetNormals(normals);
    KZeq& file = Open(
        "Shape: \"a\" {;Indexes: 1,3,9,-1;Vertices: 1,1,1,2,2,2,5,5,5,7,7,7;Normals: 0.5,0,0,0,0.5,0;};"
        "Shape: \"b\" {;Indexes: 0,2;Vertices: 1,1,1,2,2,2,9;};Shape: \"c\" {;Indexes: 0;};");
    KZeqShape* shapes[3];
    for (KZeqShape*& shape : shapes) {
        shape = mManager.CreateKZeqShape();
        ASSERT_TRUE(file.FieldReadBegin("Shape") && mReader.ReadKZeqShape(*shape, *mesh));
        file.FieldReadEnd();
    }
    EXPECT_TRUE(shapes[0]->GetControlPoints()[1] == KZeqVector4(2, 1, 1, 1) &&
                shapes[0]->GetControlPoints()[3] == KZeqVector4(5, 2, 2, 1) &&
                shapes[0]->GetControlPoints()[2] == KZeqVector4(2, 0, 0, 1));
    const KZeqLayerElementNormal* read = shapes[0]->GetLayer(0)->GetNormals();
    EXPECT_TRUE(read->GetMappingMode() == KZeqLayerElement::eBY_CONTROL_POINT &&
                read->GetReferenceMode() == KZeqLayerElement::eDIRECT);
    EXPECT_TRUE(read->GetDirectArray()[1] == KZeqVector4(0.5, 0, 1, 0) &&
                read->GetDirectArray()[3] == KZeqVector4(0, 0.5, 1, 0));
    // Seven values are two entries.
    EXPECT_TRUE(shapes[1]->GetControlPoints()[2] == KZeqVector4(4, 2, 2, 1));
    // No "Vertices": no points, yet a mesh shape gets its normals element.
    EXPECT_EQ(0, shapes[2]->GetControlPointsCount());
    EXPECT_EQ(4, shapes[2]->GetLayer(0)->GetNormals()->GetDirectArray().GetCount());
    // A surface's shape has no layer.
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    nurb->InitControlPoints(2, KZeqNurb::eOPEN, 1, KZeqNurb::eOPEN);
    KZeq& again = Open("Shape: \"n\" {;Vertices: 0,0,1;Normals: 1,1,1;}");
    KZeqShape* surface = mManager.CreateKZeqShape();
    ASSERT_TRUE(again.FieldReadBegin("Shape") && mReader.ReadKZeqShape(*surface, *nurb));
    EXPECT_TRUE(surface->GetControlPointsCount() == 2 && surface->GetLayerCount() == 0);
    for (KZeqShape* shape : {shapes[0], shapes[1], shapes[2], surface}) mManager.DestroyKZeqShape(shape);
    mManager.DestroyKZeqNodeAttribute(mesh), mManager.DestroyKZeqNodeAttribute(nurb);
}

// Version 6: a lower-case cluster under a skin becomes a link whose pairs
// naming no control point are dropped; no deformer stays in the scene.
TEST_F(RecordTest, DeformersOfAVersion6FileBecomeBoundedLinks) {
    KZeqScene* scene = Read(
        "Definitions: {;ObjectType: \"Model\" {;};ObjectType: \"Deformer\" {;};};"
        "Objects: {;Model: \"Model::Surf\", \"Nurb\" {;Type: \"Nurb\";NurbOrder: 2,2;Form: \"Open\",\"Open\";"
        "Dimensions: 2,2;" +
            Points(16) +
            "};Model: \"Model::Bone\", \"Null\" {;Type: \"Null\";};"
            "Deformer: \"Deformer::Skin\", \"skin\" {;Version: 100;};"
            "Deformer: \"SubDeformer::C\", \"cluster\" {;Indexes: -1,0,3,4;Weights: 0.1,0.2,0.3,0.4;};};"
            "Connections: {;Connect: \"OO\", \"Model::Surf\", \"Model::Scene\";Connect: \"OO\", \"Model::Bone\", "
            "\"Model::Scene\";"
            "Connect: \"OO\", \"Deformer::Skin\", \"Model::Surf\";Connect: \"OO\", \"SubDeformer::C\", "
            "\"Deformer::Skin\";"
            "Connect: \"OO\", \"Model::Bone\", \"SubDeformer::C\";}",
        6000);
    KZeqNode* surface = scene->GetRootNode()->FindChild("Surf");
    ASSERT_TRUE(surface && surface->GetNurb());
    ASSERT_EQ(1, surface->GetNurb()->GetLinkCount());
    KZeqLink* link = surface->GetNurb()->GetLink(0);
    ASSERT_EQ(2, link->GetControlPointIndicesCount());
    EXPECT_TRUE(link->GetControlPointIndices()[1] == 3 && link->GetControlPointWeights()[1] == 0.3);
    EXPECT_TRUE(link->GetLink() && link->GetLink() == scene->GetRootNode()->FindChild("Bone"));
    EXPECT_EQ(0, scene->GetDeformerCount());
}

// Before version 6 the link pairs are bounded when the geometry is read.
TEST_F(RecordTest, LinksOfAVersion5FileAreBounded) {
    KZeqScene* scene = Read(
        "Model: \"Model::Bone\" {;Type: \"Null\";};Model: \"Model::Surf\" {;Type: \"Nurb\";"
        "NurbOrder: 2,2;Form: \"Open\",\"Open\";Dimensions: 2,2;" +
            Points(16) + "Link: \"Model::Bone\" {;Indexes: 7,1,-2;Weights: 1,2,3;};Link: \"Model::Bone\";}",
        5800);
    KZeqNode* surface = scene->GetRootNode()->FindChild("Surf");
    ASSERT_TRUE(surface && surface->GetNurb() && surface->GetNurb()->GetLinkCount() == 2);
    KZeqLink* link = surface->GetNurb()->GetLink(0);
    EXPECT_TRUE(link->GetControlPointIndicesCount() == 1 && link->GetControlPointWeights()[0] == 2.0);
    EXPECT_EQ(scene->GetRootNode()->FindChild("Bone"), link->GetLink());
}

}  // namespace
