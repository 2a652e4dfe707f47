// Where the DXF writer puts vertices of nodes with pivots, offsets, pre- and post-rotation,
// rotation orders and geometric transforms: where the full transform of their default values
// does (whatever time warps and animation layers the current take holds), read back by our reader
// and the peer; and scenes without any of that as before, byte for byte.
#include "formats/geometry/dxf/tests/dxfpeer.h"
#include "formats/geometry/dxf/tests/dxftest_support.h"
#include "formats/geometry/tests/placementtest_support.h"

namespace zeqtest {
namespace {

class DxfPlacementTest : public DxfTest {
protected:
    std::string Write(const char* name) {
        const std::string path = mDir / name;
        EXPECT_TRUE(Export(path, KZeqExporter::eAUTOCAD_DXF)) << mError << " " << mMessage.Buffer();
        return path;
    }
};

// A point of the file's axes (Z up) in the scene's (Y up).
Point3 FromFile(const std::vector<double>& p) { return {p[0], p[2], -p[1]}; }

TEST_F(DxfPlacementTest, OurReaderFindsEveryVertexWhereTheFullTransformPutsIt) {
    const std::vector<PlacementCase> cases = AddPlacementCases(mManager, *mScene, StaticExportCases(), 217);
    const std::string path = Write("placed.dxf");
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(path, KZeqImporter::eAUTOCAD_DXF, [](KStreamOptionsBase& options) {
        options.SetOption(KStreamOptionsBase::eLAYER_BLOCK_ENTITY, 0);
    }, back)) << mError;
    for (const PlacementCase& c : cases)
        for (int k = 1; k <= 2; ++k) {
            const std::vector<Point3> expected = ExpectedPoints(c, k, nullptr);
            const std::string name = c.mNodes[k]->GetNameWithoutNameSpacePrefix().Buffer();
            KZeqNode* node = back->GetRootNode()->FindChild(name.c_str(), true, false);
            ASSERT_NE(node, nullptr) << name;
            ExpectSamePoints(expected, PlacedPoints(*node, nullptr), 1e-4 * SizeOf(expected),
                             c.mName + " node " + std::to_string(k));
        }
}

TEST_F(DxfPlacementTest, ThePeerFindsEveryVertexWhereTheFullTransformPutsIt) {
    if (!PeerAvailable()) GTEST_SKIP() << "the peer DXF reader (python3-ezdxf) is not installed";
    const std::vector<PlacementCase> cases = AddPlacementCases(mManager, *mScene, StaticExportCases(), 218);
    PeerSummary summary;
    ASSERT_TRUE(ReadWithPeer(Write("placed.dxf"), summary));
    // The meshes in the order the writer walks the scene: each case's two, case by case.
    ASSERT_EQ(summary.mPolylines.size(), 2 * cases.size());
    for (std::size_t i = 0; i < summary.mPolylines.size(); ++i) {
        const PlacementCase& c = cases[i / 2];
        const int k = 1 + static_cast<int>(i % 2);
        std::vector<Point3> read;
        for (const std::vector<double>& p : summary.mPolylines[i].mPoints) read.push_back(FromFile(p));
        const std::vector<Point3> expected = ExpectedPoints(c, k, nullptr);
        ExpectSamePoints(expected, read, 1e-4 * SizeOf(expected), c.mName + " node " + std::to_string(k));
    }
}

// Translation, rotation XYZ and scaling alone, keyed in a current take or not, under pivot sets
// inactive or active and empty: the file as the writer has always written it, but for the meshes
// turned under an unevenly scaled parent (the first four chains), which keep their shear.
TEST_F(DxfPlacementTest, ScenesWithoutPivotsAreWrittenAsBefore) {
    AddPlacementCases(mManager, *mScene, PlainCases(), 7, true);
    EXPECT_EQ(17747160487710683297ull, FileHash(Write("plain.dxf")));
}

}  // namespace
}  // namespace zeqtest
