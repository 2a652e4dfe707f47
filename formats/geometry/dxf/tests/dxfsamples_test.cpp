// The shared sample files of other producers: what each reads as in each
// grouping, each written file read back equal, and the peer reader's view of
// the samples and of our files.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "formats/geometry/dxf/kdxfcolors.h"
#include "formats/geometry/dxf/tests/dxfpeer.h"
#include "formats/geometry/dxf/tests/dxftest_support.h"

namespace zeqtest {
namespace {

struct Sample {
    const char* mFile;
    const char* mNode;  // the mesh node, by layer
    int mPoints;
    int mPolygons;
    int mQuads;
    std::vector<int> mColors;  // of the materials, in order
};

const Sample kSamples[] = {
    {"PinkEggFromLW.dxf", "0", 266, 288, 288, {}},
    {"wuson.dxf", "Mesh", 3205, 3732, 0, {254}},
    {"issue_2229.dxf", "0", 768, 1290, 230, {7, 250}},
    {"lineTest.dxf", "1", 6, 3, 1, {1}},
    {"AC1003_LINE_Example.dxf", "1", 20, 13, 0, {5, 130, 3}},
    {"Leica_Disto_S910.dxf", "LEICA_DISTO_3D", 11, 10, 0, {5}},
    {"POLI-ALL210_12.DXF", "0", 4, 1, 1, {7}},
};

class DxfSampleTest : public DxfTest, public testing::WithParamInterface<Sample> {
protected:
    void SetUp() override {
        mSamples = SampleDir("dxf");
        if (mSamples.empty()) GTEST_SKIP() << "sample files not found (ZEQ_TESTDATA_DIR/dxf)";
    }
    std::string Path() const { return mSamples + "/" + GetParam().mFile; }
    bool ReadSample(int grouping = 0, bool weld = true) {
        mScene = mManager.CreateKZeqScene();
        return Import(Path(), KZeqImporter::eAUTOCAD_DXF, [&](KStreamOptionsBase& options) {
            options.SetOption(KStreamOptionsBase::eLAYER_BLOCK_ENTITY, grouping);
            options.SetOption(KStreamOptionsBase::eWELD_VERTICES, weld);
        });
    }
    std::string mSamples;
};

TEST_P(DxfSampleTest, ReadsAsCounted) {
    const Sample& sample = GetParam();
    ASSERT_TRUE(ReadSample()) << mError;
    const std::string file = sample.mFile;
    KZeqNode* reference = Node((file.substr(0, file.find('.')) + "_root").c_str());
    ASSERT_TRUE(reference);
    KZeqNode* node = reference->FindChild(sample.mNode, true, false);
    ASSERT_TRUE(node && node->GetMesh());
    KZeqMesh* mesh = node->GetMesh();
    EXPECT_EQ(sample.mPoints, mesh->GetControlPointsCount());
    EXPECT_EQ(sample.mPolygons, mesh->GetPolygonCount());
    int quads = 0;
    for (int p = 0; p < mesh->GetPolygonCount(); ++p) quads += mesh->GetPolygonSize(p) == 4;
    EXPECT_EQ(sample.mQuads, quads);
    ASSERT_EQ(static_cast<int>(sample.mColors.size()), mesh->GetMaterialCount(0));
    for (int i = 0; i < mesh->GetMaterialCount(0); ++i) {
        KZeqColor expected;
        TranslateColor(sample.mColors[static_cast<std::size_t>(i)], expected);
        const KZeqColor diffuse = mesh->GetMaterial(i)->GetDiffuse();
        EXPECT_TRUE(std::fabs(diffuse.mRed - expected.mRed) < 1e-6 && std::fabs(diffuse.mGreen - expected.mGreen) < 1e-6 &&
                    std::fabs(diffuse.mBlue - expected.mBlue) < 1e-6)
            << i;
    }
    EXPECT_EQ(1, reference->GetChildCount());
}

// Without welding, per entity, as blocks.
TEST_P(DxfSampleTest, OtherGroupings) {
    const std::string file = GetParam().mFile;
    if (file == "PinkEggFromLW.dxf") {
        ASSERT_TRUE(ReadSample(0, false));
        EXPECT_EQ(1152, Node("0")->GetMesh()->GetControlPointsCount());
        ASSERT_TRUE(ReadSample(2));
        EXPECT_EQ(288, Node("PinkEggFromLW_root")->GetChildCount());
        EXPECT_TRUE(Node("3DFACE") && Node("3DFACE287") && !Node("3DFACE288"));
    }
    if (file == "wuson.dxf")
        for (int grouping : {1, 2}) {
            ASSERT_TRUE(ReadSample(grouping));
            KZeqNode* mesh = Node("Mesh");
            ASSERT_TRUE(mesh && mesh->GetMesh()) << grouping;
            EXPECT_EQ(3205, mesh->GetMesh()->GetControlPointsCount());
            EXPECT_EQ(1, Node("wuson_root")->GetChildCount());
        }
    for (int grouping : {1, 2}) EXPECT_TRUE(ReadSample(grouping)) << grouping;
}

// Our file of what we read reads back the same, and the peer finds in it
// what we wrote: no fault in its recover mode, the points at their place in
// its axes and the faces with their colours.
TEST_P(DxfSampleTest, WrittenFileReadsBackEqual) {
    ASSERT_TRUE(ReadSample());
    const std::string written = mDir / "written.dxf";
    ASSERT_TRUE(Export(written, KZeqExporter::eAUTOCAD_DXF)) << Str(mMessage);
    // The mesh nodes in the order the writer visits them.
    std::vector<KZeqNode*> meshes;
    std::vector<KZeqNode*> pending{mScene->GetRootNode()};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (node->GetMesh()) meshes.push_back(node);
        for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
    }
    KZeqScene* again = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(written, KZeqImporter::eAUTOCAD_DXF, nullptr, again));
    for (KZeqNode* before : meshes) {
        KZeqNode* after = again->GetRootNode()->FindChild(before->GetNameWithoutNameSpacePrefix().Buffer(), true, false);
        ASSERT_TRUE(after && after->GetMesh()) << before->GetName();
        KZeqMesh* a = before->GetMesh();
        KZeqMesh* b = after->GetMesh();
        ASSERT_EQ(a->GetControlPointsCount(), b->GetControlPointsCount());
        ASSERT_EQ(a->GetPolygonCount(), b->GetPolygonCount());
        const KZeqXMatrix global(before->GetGlobalT(KZeqNode::eSOURCE_SET, true), before->GetGlobalR(KZeqNode::eSOURCE_SET),
                                 before->GetGlobalS(KZeqNode::eSOURCE_SET));
        for (int k = 0; k < a->GetControlPointsCount(); ++k) {
            const KZeqVector4 p = global.MultT(a->GetControlPoints()[k]), q = b->GetControlPoints()[k];
            for (int axis = 0; axis < 3; ++axis) ASSERT_NEAR(p[axis], q[axis], 1e-6 * std::max(1.0, std::fabs(p[axis])));
        }
        for (int p = 0; p < a->GetPolygonCount(); ++p) ASSERT_EQ(Polygon(a, p), Polygon(b, p)) << p;
    }

    if (!PeerAvailable()) GTEST_SKIP() << "the peer DXF reader (python3-ezdxf) is not installed";
    PeerSummary peer;
    ASSERT_TRUE(ReadWithPeer(written, peer));
    EXPECT_EQ(0, peer.mErrors);
    EXPECT_EQ(0, peer.mFixes);
    ASSERT_EQ(meshes.size(), peer.mPolylines.size());
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        KZeqMesh* mesh = meshes[m]->GetMesh();
        const PeerPolyline& polyline = peer.mPolylines[m];
        ASSERT_EQ(mesh->GetControlPointsCount(), polyline.mVertices);
        ASSERT_EQ(mesh->GetPolygonCount(), polyline.mFaces);
        for (int k = 0; k < polyline.mVertices; ++k) {
            const KZeqNode* node = meshes[m];
            const KZeqVector4 p = KZeqXMatrix(const_cast<KZeqNode*>(node)->GetGlobalT(KZeqNode::eSOURCE_SET, true),
                                              const_cast<KZeqNode*>(node)->GetGlobalR(KZeqNode::eSOURCE_SET),
                                              const_cast<KZeqNode*>(node)->GetGlobalS(KZeqNode::eSOURCE_SET))
                                      .MultT(mesh->GetControlPoints()[k]);
            const double expected[3] = {p[0], -p[2], p[1]};
            for (int axis = 0; axis < 3; ++axis)
                ASSERT_NEAR(expected[axis], polyline.mPoints[static_cast<std::size_t>(k)][static_cast<std::size_t>(axis)],
                            1e-6 * std::max(1.0, std::fabs(expected[axis])));
        }
        const int* materials = mesh->GetMaterialIndices();
        for (int f = 0; f < polyline.mFaces && mesh->GetMaterialCount(0) > 0; ++f) {
            KZeqMaterial* material = mesh->GetMaterial(materials[f]);
            const int expected = material ? GetACIFromZEQColor(material->GetDiffuse()) : 256;
            ASSERT_EQ(expected, polyline.mFaceRecords[static_cast<std::size_t>(f)][0]) << f;
        }
    }
}

// The peer counts the same entities in the sample: per entity we make a node
// of each model-space LINE, 3DFACE and POLYLINE, with a polyface's vertices
// and faces.
TEST_P(DxfSampleTest, PeerCountsTheSameEntities) {
    if (!PeerAvailable()) GTEST_SKIP() << "the peer DXF reader (python3-ezdxf) is not installed";
    PeerSummary peer;
    ASSERT_TRUE(ReadWithPeer(Path(), peer));
    ASSERT_TRUE(ReadSample(2));
    std::map<std::string, int> ours;
    std::vector<KZeqMesh*> polylines;
    const std::string file = GetParam().mFile;
    KZeqNode* reference = Node((file.substr(0, file.find('.')) + "_root").c_str());
    for (int i = 0; i < reference->GetChildCount(); ++i) {
        const std::string name = reference->GetChild(i)->GetName();
        for (const char* type : {"LINE", "3DFACE", "POLYLINE"})
            if (name.compare(7, std::string(type).size(), type) == 0 && name.find_first_not_of("0123456789", 7 + std::strlen(type)) == std::string::npos) {
                ++ours[std::string("model ") + type];
                if (std::string(type) == "POLYLINE") polylines.push_back(reference->GetChild(i)->GetMesh());
            }
    }
    for (const char* type : {"LINE", "3DFACE", "POLYLINE"}) {
        const std::string key = std::string("model ") + type;
        EXPECT_EQ(peer.mCounts[key], ours[key]) << type;
    }
    std::size_t next = 0;
    for (const PeerPolyline& polyline : peer.mPolylines) {
        if (polyline.mSpace != "model") continue;
        ASSERT_LT(next, polylines.size());
        KZeqMesh* mesh = polylines[next++];
        if (polyline.mFlags != 64) continue;
        EXPECT_EQ(polyline.mVertices, mesh->GetControlPointsCount());
        EXPECT_EQ(polyline.mFaces, mesh->GetPolygonCount());
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, DxfSampleTest, testing::ValuesIn(kSamples),
                         [](const testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.mFile;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace zeqtest
