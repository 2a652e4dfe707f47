// The shared sample files: read as listed and as lib3ds reads them; written
// and read back, by our reader and by lib3ds, equal to the first reading.

#include <cctype>
#include <cmath>
#include <filesystem>

#include "formats/geometry/3ds/tests/k3dspeer.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqtakeinfo.h"

namespace zeq3dstest {
namespace {

// What the table of a sample file says it holds (control points after the smoothing splits).
struct Expected {
    std::string mFile;
    int mMeshes, mVertices, mFaces, mControlPoints;
    int mMaterials;
    int mNodes;
    double mTakeSeconds;
};

const std::vector<Expected>& Table() {
    static const std::vector<Expected> table = {
        {"fels.3ds", 1, 386, 768, 386, 1, 1, 5.0},
        {"jeep1.3ds", 7, 1948, 2032, 1948, 1, 7, 5.0},
        {"test1.3ds", 9, 9 * 32, 9 * 12, 9 * 32, 3, 9, 5.0},
        {"cubes_with_alpha.3DS", 5, 5 * 26, 5 * 12, 5 * 30, 5, 5, 5.0},
        {"RotatingCube.3DS", 1, 26, 12, 30, 0, 1, 181.0 / 30.0},
        {"TargetCameraAnim.3ds", 1, 26, 12, 30, 0, 3, 3.0},
    };
    return table;
}

void PrintTo(const Expected& expected, std::ostream* out) { *out << expected.mFile; }

std::string TestName(const testing::TestParamInfo<Expected>& info) {
    std::string name = info.param.mFile;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class Samples3dsTest : public Scene3dsTest, public testing::WithParamInterface<Expected> {
protected:
    // The frames lib3ds and we compare: first, middle and last of the take.
    std::vector<float> Frames() const {
        const double last = std::floor(GetParam().mTakeSeconds * 30.0 + 1e-9);
        return {0.0f, static_cast<float>(std::floor(last / 2)), static_cast<float>(last)};
    }
    int TotalFaces(KZeqScene* scene) {
        int faces = 0;
        for (KZeqMesh* mesh : Meshes(scene)) faces += mesh->GetPolygonCount();
        return faces;
    }
    // Each node of the first read but the targets (a target comes back under
    // its camera's or light's name), with the node of back of the same name.
    std::vector<std::pair<KZeqNode*, KZeqNode*>> Counterparts(KZeqScene* back) {
        std::vector<std::pair<KZeqNode*, KZeqNode*>> pairs;
        const std::vector<KZeqNode*> first = Nodes();
        for (KZeqNode* node : first) {
            bool target = false;
            for (KZeqNode* owner : first) target = target || owner->GetTarget() == node;
            if (!target) pairs.emplace_back(node, Find(Plain(node->GetName()), back));
        }
        return pairs;
    }
};

TEST_P(Samples3dsTest, ReadsAsListed) {
    SKIP_WITHOUT_3DS_SAMPLES();
    const Expected& expected = GetParam();
    ASSERT_TRUE(Import3ds(Sample(expected.mFile))) << mError << " " << mMessage.Buffer();
    int controlPoints = 0;
    for (KZeqMesh* mesh : Meshes()) controlPoints += mesh->GetControlPointsCount();
    EXPECT_EQ(static_cast<int>(Meshes().size()), expected.mMeshes);
    EXPECT_EQ(TotalFaces(mScene), expected.mFaces);
    EXPECT_EQ(controlPoints, expected.mControlPoints);
    EXPECT_EQ(static_cast<int>(Nodes().size()), expected.mNodes);
    EXPECT_EQ(mManager.GetKZeqMaterialCount(), expected.mMaterials);
    const KZeqTakeInfo* take = mScene->GetTakeInfo("default take");
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(take->mLocalTimeSpan.GetStart().Get(), 0);
    EXPECT_NEAR(take->mLocalTimeSpan.GetStop().GetSecondDouble(), expected.mTakeSeconds, 1e-9);
    // Every mesh is a triangle mesh with a unit normal per control point.
    for (KZeqMesh* mesh : Meshes()) {
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) ASSERT_EQ(mesh->GetPolygonSize(p), 3);
        const KZeqVector4* normals = mesh->GetNormals();
        ASSERT_NE(normals, nullptr);
        for (int i = 0; i < mesh->GetControlPointsCount(); ++i)
            EXPECT_NEAR(normals[i].Length(), 1.0, 1e-9);
    }
}

TEST_P(Samples3dsTest, MatchesLib3ds) {
    SKIP_WITHOUT_3DS_SAMPLES();
    SKIP_WITHOUT_LIB3DS();
#ifdef ZEQ_HAVE_LIB3DS
    ASSERT_TRUE(Import3ds(Sample(GetParam().mFile)));
    h::Scene peer;
    ASSERT_TRUE(h::Load(Sample(GetParam().mFile), peer));
    ExpectSameAsPeer(Sample(GetParam().mFile), *mScene, 2.54 * (peer.masterScale > 0 ? peer.masterScale : 1.0),
                     Frames());
#endif
}

// Read, written and read again (by us and by lib3ds): the same meshes,
// corners, materials and motion.
TEST_P(Samples3dsTest, WrittenReadsBackEqual) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample(GetParam().mFile)));
    const std::string written = Path("written.3ds");
    ASSERT_TRUE(Export3ds(written)) << mError << " " << mMessage.Buffer();
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(written, nullptr, back)) << mError;

    ASSERT_EQ(Nodes().size(), Nodes(back).size());
    EXPECT_EQ(TotalFaces(back), GetParam().mFaces);
    for (const auto& [node, other] : Counterparts(back)) {
        ASSERT_NE(other, nullptr) << node->GetName();
        if (node->GetTarget()) {
            ASSERT_NE(other->GetTarget(), nullptr);
            for (float frame : Frames()) {
                const KTime time = Frame30(static_cast<long long>(frame));
                const KZeqXMatrix a = node->GetTarget()->GetGlobalFromCurrentTake(time);
                const KZeqXMatrix b = other->GetTarget()->GetGlobalFromCurrentTake(time);
                for (int i = 0; i < 3; ++i) EXPECT_NEAR(a.mData[3][i], b.mData[3][i], 1e-3 * (1 + std::fabs(a.mData[3][i])));
            }
        }
        const auto ParentOf = [](KZeqNode* n, KZeqScene* scene) {
            KZeqNode* parent = n->GetParent();
            return parent && parent != scene->GetRootNode() ? Plain(parent->GetName()) : std::string();
        };
        EXPECT_EQ(ParentOf(node, mScene), ParentOf(other, back));
        for (float frame : Frames()) {
            const KTime time = Frame30(static_cast<long long>(frame));
            const KZeqXMatrix a = node->GetGlobalFromCurrentTake(time), b = other->GetGlobalFromCurrentTake(time);
            for (int q = 0; q < 4; ++q) {
                const KZeqVector4 p(q == 1 ? 1 : 0, q == 2 ? 1 : 0, q == 3 ? 1 : 0, 1);
                const KZeqVector4 pa = a.MultT(p), pb = b.MultT(p);
                if (node->GetCamera() || Plain(node->GetName()).find(".Target") != std::string::npos) q = 4;
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(pa[i], pb[i], 1e-3 * (1 + std::fabs(pa[i]))) << node->GetName() << " frame " << frame;
            }
        }
        KZeqMesh* mesh = node->GetMesh();
        if (!mesh) continue;
        KZeqMesh* again = other->GetMesh();
        ASSERT_NE(again, nullptr);
        ASSERT_EQ(mesh->GetPolygonCount(), again->GetPolygonCount());
        for (int p = 0; p < mesh->GetPolygonCount(); ++p)
            for (int k = 0; k < 3; ++k) {
                const KZeqVector4& pa = mesh->GetControlPoints()[mesh->GetPolygonVertex(p, k)];
                const KZeqVector4& pb = again->GetControlPoints()[again->GetPolygonVertex(p, k)];
                for (int i = 0; i < 3; ++i) ASSERT_NEAR(pa[i], pb[i], 1e-4 * (1 + std::fabs(pa[i])));
            }
        for (int i = 0; i < mesh->GetMaterialCount(0); ++i) {
            const KZeqColor da = mesh->GetMaterial(i, 0)->GetDiffuse();
            const KZeqColor db = again->GetMaterial(i, 0)->GetDiffuse();
            EXPECT_NEAR(da.mRed, db.mRed, 1e-6);
            EXPECT_NEAR(da.mBlue, db.mBlue, 1e-6);
            EXPECT_NEAR(mesh->GetMaterial(i, 0)->GetOpacity(), again->GetMaterial(i, 0)->GetOpacity(), 1e-6);
        }
        EXPECT_EQ(mesh->GetTextureCount(0), again->GetTextureCount(0));
    }
#ifdef ZEQ_HAVE_LIB3DS
    ExpectSameAsPeer(written, *back, 1.0, Frames());
#endif
}

// Each node's default pose, read, written and read again: the same, and
// where the take puts the node at its first frame.
TEST_P(Samples3dsTest, WrittenKeepsTheDefaultPose) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample(GetParam().mFile)));
    ASSERT_TRUE(Export3ds(Path("pose.3ds"))) << mError << " " << mMessage.Buffer();
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(Path("pose.3ds"), nullptr, back)) << mError;

    const auto ExpectNearMatrix = [](const KZeqXMatrix& a, const KZeqXMatrix& b, const std::string& what) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(a.mData[r][c], b.mData[r][c], 1e-3 * (1 + std::fabs(a.mData[r][c])))
                    << what << " [" << r << "][" << c << "]";
    };
    const auto ExpectAtFirstFrame = [&](KZeqScene* scene, const char* which) {
        const KTime start = scene->GetTakeInfo("default take")->mLocalTimeSpan.GetStart();
        for (KZeqNode* node : Nodes(scene))
            ExpectNearMatrix(KZeqXMatrix(node->GetGlobalFromDefaultTake()), node->GetGlobalFromCurrentTake(start),
                             std::string(which) + " " + node->GetName());
    };
    ExpectAtFirstFrame(mScene, "read");
    ExpectAtFirstFrame(back, "read back");

    for (const auto& [node, other] : Counterparts(back)) {
        ASSERT_NE(other, nullptr) << node->GetName();
        std::vector<std::pair<KZeqNode*, KZeqNode*>> pairs = {{node, other}};
        if (node->GetTarget()) {
            ASSERT_NE(other->GetTarget(), nullptr) << node->GetName();
            pairs.emplace_back(node->GetTarget(), other->GetTarget());
        }
        for (const auto& pair : pairs) {
            const std::string name = pair.first->GetName();
            KZeqVector4 a[3], b[3];
            pair.first->GetDefaultT(a[0]), pair.first->GetDefaultR(a[1]), pair.first->GetDefaultS(a[2]);
            pair.second->GetDefaultT(b[0]), pair.second->GetDefaultR(b[1]), pair.second->GetDefaultS(b[2]);
            for (int part = 0; part < 3; ++part)
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(a[part][i], b[part][i], 1e-3 * (1 + std::fabs(a[part][i])))
                        << name << (part == 0 ? " translation " : part == 1 ? " rotation " : " scaling ") << i;
            ExpectNearMatrix(KZeqXMatrix(pair.first->GetGlobalFromDefaultTake()),
                             pair.second->GetGlobalFromDefaultTake(), name + " global");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Samples3dsTest, testing::ValuesIn(Table()), TestName);

class Details3dsTest : public Scene3dsTest {};

TEST_F(Details3dsTest, JeepAmbientAndTexture) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample("jeep1.3ds")));
    const KZeqColor ambient = mScene->GetGlobalLightSettings()->GetAmbientColor();
    EXPECT_NEAR(ambient.mRed, 0.3, 1e-6);
    ASSERT_NE(mManager.FindKZeqMaterial("Material01"), nullptr);
    KZeqTexture* texture = mManager.FindKZeqTexture("jeep1.jpg");
    ASSERT_NE(texture, nullptr);
    EXPECT_STREQ(texture->GetRelativeFileName(), "jeep1.jpg");
    // The file the sample names, by its path free of links, wherever the samples' folder is reached
    // through a link.
    const std::filesystem::path named(texture->GetFileName());
    EXPECT_TRUE(named.is_absolute()) << named;
    EXPECT_TRUE(std::filesystem::equivalent(named, Sample("jeep1.jpg"))) << named;
    EXPECT_EQ(named, std::filesystem::canonical(named));
}

TEST_F(Details3dsTest, TargetCameraAnimCamera) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample("TargetCameraAnim.3ds")));
    KZeqNode* node = Find("Camera01");
    ASSERT_TRUE(node && node->GetCamera());
    KZeqCamera* camera = node->GetCamera();
    EXPECT_NEAR(camera->GetFocalLength(), 53.333, 1e-3);
    EXPECT_NEAR(camera->GetNearPlane(), 0.001, 1e-9);
    EXPECT_NEAR(camera->GetFarPlane(), 25400.0, 1e-6);
    ASSERT_NE(Find("Camera01.Target"), nullptr);
    EXPECT_EQ(node->GetTarget(), Find("Camera01.Target"));
}

TEST_F(Details3dsTest, RotatingCubeKeysAndLib3dsRotation) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample("RotatingCube.3DS")));
    KZeqNode* box = Find("Box01");
    ASSERT_NE(box, nullptr);
    KFCurve* x = box->GetCurrentTakeNode()->GetEulerRotationX();
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->KeyGetCount(), 182);
    // Written and evaluated by lib3ds at frames 0, 90 and 181: the scene's rotation.
    const std::string written = Path("cube.3ds");
    ASSERT_TRUE(Export3ds(written));
#ifdef ZEQ_HAVE_LIB3DS
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(written, nullptr, back));
    ExpectSameAsPeer(written, *back, 1.0, {0.0f, 90.0f, 181.0f});
    std::vector<h::Frame> frames;
    ASSERT_TRUE(h::Evaluate(written, {0.0f, 90.0f, 181.0f}, frames));
    for (const h::Frame& frame : frames)
        for (const h::NodeValues& values : frame.nodes) {
            if (values.name != "Box01") continue;
            const KZeqXMatrix& global = box->GetGlobalFromCurrentTake(Frame30(static_cast<long long>(frame.frame)));
            // The node's X axis, mapped into file axes, is lib3ds's.
            const double axis[3] = {global.mData[0][0], -global.mData[0][2], global.mData[0][1]};
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(values.matrix[0][a], axis[a], 1e-3) << frame.frame;
        }
#endif
}

TEST_F(Details3dsTest, Test1MapsNotBesideTheTestAreReported) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample("test1.3ds")));
    ASSERT_NE(mManager.FindKZeqTexture("CWALL02.JPG"), nullptr);
    ASSERT_TRUE(Export3ds(Path("test1.3ds")));
    EXPECT_NE(std::string(mMessage.Buffer()).find("Unable to locate texture file"), std::string::npos);
}

}  // namespace
}  // namespace zeq3dstest
