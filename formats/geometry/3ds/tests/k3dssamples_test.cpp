// The shared sample files read as listed, beside lib3ds's reading.

#include <cstdio>

#include "formats/geometry/3ds/tests/k3dstest_support.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqtakeinfo.h"

namespace zeq3dstest {
namespace {

class Samples3dsTest : public Scene3dsTest, public testing::WithParamInterface<std::string> {};

TEST_P(Samples3dsTest, Dump) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample(GetParam()))) << mError << " " << mMessage.Buffer();
    for (KZeqNode* node : Nodes()) {
        std::printf("node %s parent %s", node->GetName(), node->GetParent() ? node->GetParent()->GetName() : "-");
        if (KZeqMesh* mesh = node->GetMesh())
            std::printf(" mesh cp %d poly %d mats %d tex %d", mesh->GetControlPointsCount(), mesh->GetPolygonCount(),
                        mesh->GetMaterialCount(0), mesh->GetTextureCount(0));
        if (node->GetCamera())
            std::printf(" camera focal %g near %g far %g", node->GetCamera()->GetFocalLength(),
                        node->GetCamera()->GetNearPlane(), node->GetCamera()->GetFarPlane());
        std::printf("\n");
    }
    const KZeqTakeInfo* take = mScene->GetTakeInfo("default take");
    if (take)
        std::printf("take %g %g\n", take->mLocalTimeSpan.GetStart().GetSecondDouble(),
                    take->mLocalTimeSpan.GetStop().GetSecondDouble());
    for (int i = 0; i < mManager.GetKZeqMaterialCount(); ++i)
        std::printf("material %s opacity %g\n", mManager.GetKZeqMaterial(i)->GetName(),
                    mManager.GetKZeqMaterial(i)->GetOpacity());
    for (int i = 0; i < mManager.GetKZeqTextureCount(); ++i)
        std::printf("texture %s file %s\n", mManager.GetKZeqTexture(i)->GetName(),
                    mManager.GetKZeqTexture(i)->GetFileName());
    KZeqColor a = mScene->GetGlobalLightSettings()->GetAmbientColor();
    std::printf("ambient %g %g %g\n", a.mRed, a.mGreen, a.mBlue);
}

INSTANTIATE_TEST_SUITE_P(Files, Samples3dsTest, testing::ValuesIn(SampleNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace zeq3dstest
