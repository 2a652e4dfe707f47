// The shared sample files of other producers: what each reads as, each
// written file read back equal, and the peer reader's view of both.

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/obj/tests/objtest_support.h"

#ifdef ZEQ_HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

namespace zeqtest {
namespace {

struct Sample {
    const char* mName;
    int mMeshes;
    int mMaterials;
    int mControlPoints;
    int mPolygons;
    int mPolygonSize;        // every polygon's size
    int mPolygonsWithUVs;    // polygons whose corners all have a texture coordinate
    int mTexturedMaterials;  // materials with a texture
    std::map<std::string, int> mPolygonsByMaterial;  // of those listed
};

const Sample kSamples[] = {
    {"cornell_box", 8, 5, 72, 18, 4, 0, 0, {{"white", 15}, {"light", 1}}},
    {"regr01", 55, 12, 8130, 2710, 3, 668, 0, {}},
    {"spider", 19, 4, 974, 1368, 3, 1368, 4, {}},
    {"segment", 1, 2, 936, 768, 4, 0, 0, {{"Orange", 616}, {"Silver", 152}}},
};

class ObjSampleTest : public ObjTest, public testing::WithParamInterface<Sample> {
protected:
    void SetUp() override {
        mSamples = SampleDir("obj");
        if (mSamples.empty()) GTEST_SKIP() << "sample files not found (ZEQ_TESTDATA_DIR/obj)";
    }
    std::string Path() const { return mSamples + "/" + GetParam().mName + ".obj"; }
    KZeqNode* Reference() { return Node((std::string(GetParam().mName) + "_root").c_str()); }
    std::string mSamples;
};

TEST_P(ObjSampleTest, ReadsAsCounted) {
    const Sample& sample = GetParam();
    ASSERT_TRUE(ImportObj(Path(), true)) << mError;
    ASSERT_TRUE(Reference());
    Totals totals = Count(Reference());
    EXPECT_EQ(sample.mMeshes, totals.mMeshes);
    // Materials selected, also by an object without faces.
    EXPECT_EQ(sample.mMaterials, mManager.GetKZeqMaterialCount());
    EXPECT_EQ(sample.mControlPoints, totals.mControlPoints);
    EXPECT_EQ(sample.mPolygons, totals.mPolygons);
    EXPECT_EQ(sample.mPolygons, totals.mPolygonsOfSize[sample.mPolygonSize]);
    EXPECT_EQ(sample.mPolygonsWithUVs, totals.mPolygonsWithUVs);
    EXPECT_EQ(sample.mTexturedMaterials, totals.mTextures.size());
    const std::vector<Face> faces = Faces(Reference());
    for (const auto& listed : sample.mPolygonsByMaterial)
        EXPECT_EQ(listed.second, std::count_if(faces.begin(), faces.end(), [&](const Face& face) {
                      return face.mMaterial == listed.first;
                  })) << listed.first;
}

TEST_P(ObjSampleTest, WrittenFileReadsBackEqual) {
    ASSERT_TRUE(ImportObj(Path(), true)) << mError;
    const std::string written = mDir / "written.obj";
    ASSERT_TRUE(Export(written, KZeqExporter::eVONEX_OBJ)) << mError << " " << Str(mMessage);
    const std::vector<Face> before = Faces(Reference());
    KZeqScene* again = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(written, KZeqImporter::eVONEX_OBJ, nullptr, again)) << mError;
    ExpectSameFaces(before, Faces(again->GetRootNode()), 1e-6);
}

#ifdef ZEQ_HAVE_TINYOBJLOADER
// The faces the peer reads, in the same form as ours.
std::vector<Face> PeerFaces(const std::string& path, int* shapes, std::string* error) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapeList;
    std::vector<tinyobj::material_t> materials;
    std::string warning;
    const std::string base = path.substr(0, path.find_last_of('/') + 1);
    if (!tinyobj::LoadObj(&attrib, &shapeList, &materials, &warning, error, path.c_str(), base.c_str(), false))
        return {};
    *shapes = static_cast<int>(shapeList.size());
    std::vector<Face> faces;
    for (const tinyobj::shape_t& shape : shapeList) {
        std::size_t at = 0;
        for (std::size_t f = 0; f < shape.mesh.num_face_vertices.size(); ++f) {
            Face face;
            const int id = shape.mesh.material_ids[f];
            face.mMaterial = id >= 0 ? materials[static_cast<std::size_t>(id)].name : "";
            for (int v = 0; v < shape.mesh.num_face_vertices[f]; ++v, ++at) {
                const tinyobj::index_t& index = shape.mesh.indices[at];
                Corner corner;
                for (int axis = 0; axis < 3; ++axis)
                    corner.mPosition[axis] = attrib.vertices[3 * static_cast<std::size_t>(index.vertex_index) + axis];
                corner.mHasUV = index.texcoord_index >= 0;
                if (corner.mHasUV)
                    for (int axis = 0; axis < 2; ++axis)
                        corner.mUV[axis] = attrib.texcoords[2 * static_cast<std::size_t>(index.texcoord_index) + axis];
                face.mCorners.push_back(corner);
            }
            faces.push_back(face);
        }
    }
    return faces;
}

// The peer finds the same shapes and faces in the sample, and the same
// faces in the file we write of it.
TEST_P(ObjSampleTest, PeerReadsTheSampleAndOurFileAlike) {
    ASSERT_TRUE(ImportObj(Path(), true)) << mError;
    std::vector<Face> ours = Faces(Reference());
    for (Face& face : ours)
        for (Corner& corner : face.mCorners) corner.mHasNormal = false;  // the peer's normals are not compared
    int shapes = 0;
    std::string error;
    std::vector<Face> peer = PeerFaces(Path(), &shapes, &error);
    ASSERT_FALSE(peer.empty()) << error;
    EXPECT_EQ(GetParam().mMeshes, shapes);
    ExpectSameFaces(ours, peer, 1e-9);

    const std::string written = mDir / "written.obj";
    ASSERT_TRUE(Export(written, KZeqExporter::eVONEX_OBJ)) << mError;
    peer = PeerFaces(written, &shapes, &error);
    ASSERT_FALSE(peer.empty()) << error;
    EXPECT_EQ(GetParam().mMeshes, shapes);
    // Our material names as written: blanks made "_".
    ExpectSameFaces(ours, peer, 1e-6);
}
#else
TEST_P(ObjSampleTest, PeerReadsTheSampleAndOurFileAlike) {
    GTEST_SKIP() << "the peer OBJ reader (libtinyobjloader-dev) is not installed";
}
#endif

INSTANTIATE_TEST_SUITE_P(Samples, ObjSampleTest, testing::ValuesIn(kSamples),
                         [](const testing::TestParamInfo<Sample>& info) { return info.param.mName; });

}  // namespace
}  // namespace zeqtest
