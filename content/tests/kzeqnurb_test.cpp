#include "content/kzeqnurb.h"

#include <gtest/gtest.h>

#include <climits>

#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

struct KnotCase {
    const char* mName;
    unsigned int mOrder;
    int mCount;
    KZeqNurb::ENurbType mType;
    int mKnots;
};

class KnotCount : public ::testing::TestWithParam<KnotCase> {};

}  // namespace

TEST_P(KnotCount, FollowsTypeOrderAndCount) {
    const KnotCase& c = GetParam();
    KZeqSdkManager manager;
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(c.mOrder, 2);
    ASSERT_TRUE(nurb->InitControlPoints(c.mCount, c.mType, 5, KZeqNurb::ePERIODIC));
    EXPECT_EQ(c.mKnots, nurb->GetUKnotCount());
    EXPECT_EQ(8, nurb->GetVKnotCount());
    EXPECT_EQ(c.mCount * 5, nurb->GetControlPointsCount());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(1, nurb->GetVMultiplicityVector()[i]);
    nurb->GetUKnotVector()[c.mKnots - 1] = 1.0;  // the whole vector is there to write
}

INSTANTIATE_TEST_SUITE_P(Examples, KnotCount,
                         ::testing::Values(KnotCase{"Open4x6", 4, 6, KZeqNurb::eOPEN, 10},
                                           KnotCase{"Periodic4x6", 4, 6, KZeqNurb::ePERIODIC, 13},
                                           KnotCase{"Closed4x6", 4, 6, KZeqNurb::eCLOSED, 13},
                                           KnotCase{"Open3x3", 3, 3, KZeqNurb::eOPEN, 6}),
                         [](const ::testing::TestParamInfo<KnotCase>& info) { return info.param.mName; });

TEST(KZeqNurb, OrderAfterPointsResetAndCopies) {
    KZeqSdkManager manager;
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    EXPECT_TRUE(nurb->GetNurbUType() == KZeqNurb::eOPEN && nurb->GetSurfaceMode() == KZeqGeometry::eHIGH &&
                !nurb->GetUKnotVector());
    nurb->SetOrder(2, 2);
    nurb->InitControlPoints(3, KZeqNurb::eOPEN, 2, KZeqNurb::eOPEN);
    for (int i = 0; i < 5; ++i) nurb->GetUKnotVector()[i] = i;
    // A later order resizes the vectors, keeping the values, so callers can fill them.
    nurb->SetOrder(4, 1);
    ASSERT_EQ(7, nurb->GetUKnotCount());
    EXPECT_TRUE(nurb->GetUKnotVector()[4] == 4.0 && nurb->GetUKnotVector()[6] == 0.0 && nurb->GetVKnotCount() == 3);
    for (int i = 0; i < 7; ++i) nurb->GetUKnotVector()[i] = 10 + i;

    KZeqNurb* copy = manager.CreateKZeqNurb();
    nurb->SetApplyFlipUV(true);
    *copy = *nurb;
    EXPECT_TRUE(copy->GetUOrder() == 4 && copy->GetUKnotVector()[6] == 16.0 && copy->GetApplyFlipUV() &&
                copy->GetControlPointsCount() == 6 && copy->GetUMultiplicityVector()[2] == 1);

    // Reset drops the vectors only; a copy of such a source has none either.
    nurb->Reset();
    EXPECT_TRUE(!nurb->GetUKnotVector() && !nurb->GetVMultiplicityVector() && nurb->GetControlPointsCount() == 6);
    nurb->SetOrder(3, 3);
    *copy = *nurb;
    EXPECT_TRUE(!copy->GetUKnotVector() && !copy->GetVKnotVector() && copy->GetUOrder() == 3);

    EXPECT_FALSE(nurb->InitControlPoints(-1, KZeqNurb::eOPEN, 2, KZeqNurb::eOPEN));
    EXPECT_FALSE(nurb->InitControlPoints(65536, KZeqNurb::eOPEN, 65536, KZeqNurb::eOPEN));
    nurb->SetOrder(UINT_MAX, 1);
    EXPECT_FALSE(nurb->InitControlPoints(INT_MAX, KZeqNurb::ePERIODIC, 1, KZeqNurb::eOPEN));
    EXPECT_EQ(6, nurb->GetControlPointsCount());
}

TEST(KZeqPatch, DefaultsAndCopy) {
    KZeqSdkManager manager;
    KZeqPatch* patch = manager.CreateKZeqPatch();
    EXPECT_TRUE(patch->GetPatchUType() == KZeqPatch::eLINEAR && patch->GetPatchVType() == KZeqPatch::eLINEAR &&
                patch->GetSurfaceMode() == KZeqGeometry::eHIGH && patch->GetTypeName() == "Patch");
    patch->InitControlPoints(4, KZeqPatch::eBSPLINE, 3, KZeqPatch::eBEZIER);
    patch->SetUCapped(false, true);
    patch->SetStep(5, 6);
    KZeqPatch* copy = manager.CreateKZeqPatch();
    *copy = *patch;
    EXPECT_TRUE(copy->GetUCount() == 4 && copy->GetVCount() == 3 && copy->GetControlPointsCount() == 12 &&
                copy->GetPatchUType() == KZeqPatch::eBSPLINE && copy->GetUCappedTop() && copy->GetVStep() == 6);
    EXPECT_FALSE(copy->InitControlPoints(-2, KZeqPatch::eLINEAR, 1, KZeqPatch::eLINEAR));
}

TEST(KZeqShape, CopyTakesPointsAndLayersButNotTheEntity) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    KZeqShape *source = manager.CreateKZeqShape(), *copy = manager.CreateKZeqShape();
    source->InitControlPoints(2);
    source->InitNormals();
    source->SetEntity(&entity);
    *copy = *source;
    EXPECT_TRUE(copy->GetControlPointsCount() == 2 && copy->GetNormals() && !copy->GetEntity() &&
                copy->GetAttributeType() == KZeqNodeAttribute::eUNIDENTIFIED);
    EXPECT_TRUE(manager.DestroyKZeqShape(copy) && !manager.DestroyKZeqShape(copy));
    source->SetEntity(nullptr);
}
