#include <gtest/gtest.h>

#include <vector>

#include "io/kstreamoptions3ds.h"
#include "io/kstreamoptionsdxf.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionsobj.h"
#include "io/kstreamoptionszeq.h"
#include "object/khandle.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

TEST(KStreamOptionsZeqTest, ResetSwitchesOnTheContentAndOffMergingAndEmbedding) {
    KStreamOptionsZeq options;
    EXPECT_TRUE(options.Is(KStreamOptionsZeq::ClassId) && options.Is(KStreamOptions::ClassId));
    EXPECT_TRUE(!options.Is(KStreamOptionsMotion::ClassId) && !options.ObjectClone());
    for (int i = 0; i < 12; ++i) options.SetOption(i, i >= 10);
    options.SetContentCount(5, 7), options.SetPassword("p"), options.SetTemplate(true), options.AddTakeInfo({});
    options.Reset();
    for (int i = 0; i < 12; ++i) EXPECT_EQ(i < 10, options.GetOption(i)) << i;
    EXPECT_TRUE(options.GetContentCount(5) == 0 && options.GetPassword().IsEmpty() && !options.GetTemplate() && options.GetTakeInfoCount() == 0);
    // Indices outside the tables.
    options.SetOption(12, true), options.SetContentCount(6, 3), options.SetOption(-1, true);
    EXPECT_FALSE(options.GetOption(12) || options.GetOption(-1) || options.GetContentCount(6));
}

TEST(KStreamOptionsZeqTest, AssignmentCopiesTakesAndSharesSceneInformation) {
    KStreamOptionsZeq source, target;
    KZeqTakeInfo take;
    for (const char* name : {"one", "two"}) take.mName = name, source.AddTakeInfo(take);
    for (const char* name : {"x", "y", "z"}) take.mName = name, target.AddTakeInfo(take);
    KZeqSceneInfo sceneInfo, *info = &sceneInfo;  // only pointed to
    source.SetSceneInfo(info), source.SetCurrentTake("two"), source.SetOption(11, true);
    target = source;
    ASSERT_EQ(2, target.GetTakeInfoCount());
    EXPECT_TRUE(target.GetTakeInfo(1)->mName == "two" && source.GetTakeInfo(0) != target.GetTakeInfo(0));
    EXPECT_TRUE(target.GetSceneInfo() == info && target.GetCurrentTake() == "two" && target.GetOption(11));
}

TEST(KStreamOptionsMotionTest, ResetStateOptionsTimeModesAndFrames) {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    EXPECT_TRUE(options->Is(KStreamOptionsMotion::ClassId) && !options->Is(KStreamOptionsZeq::ClassId));
    for (int i = 0; i < 18; ++i) options->SetOption(i, KStreamOptionsMotion::eOn);
    options->SetOption(18, KStreamOptionsMotion::eOn), options->SetFrameCount(-5);
    EXPECT_TRUE(options->GetOption(17) == KStreamOptionsMotion::eOn && options->GetFrameCount() == 0);
    EXPECT_EQ(KStreamOptionsMotion::eUnset, options->GetOption(18));
    options->SetTakeName("t"), options->SetStart(KTime(5)), options->SetFrameCount(9);
    options->SetTimeMode(KTime::eModeDefault, 25.0004);  // close enough to 25
    EXPECT_EQ(KTime::eModePal, options->GetTimeMode());
    EXPECT_DOUBLE_EQ(25.0004, options->GetFrameRate());
    EXPECT_EQ(KTime::GetOneFrameValue(KTime::eModePal), options->GetFramePeriod());
    options->SetTimeMode(KTime::eModeDefault, 12.5);  // no mode of its own: the period comes from the rate
    EXPECT_EQ(KTime::eModeDefault, options->GetTimeMode());
    EXPECT_EQ(KTime(KTime::kTicksPerSecond * 2 / 25), options->GetFramePeriod());
    options->SetTimeMode(KTime::eMode24, 99.0);
    EXPECT_DOUBLE_EQ(24.0, options->GetFrameRate());
    options->Reset();
    for (int i = 0; i < 18; ++i) EXPECT_EQ(KStreamOptionsMotion::eUnset, options->GetOption(i));
    EXPECT_TRUE(options->GetTakeName().IsEmpty() && options->GetStart() == KTime() && options->GetFrameCount() == 0);
    EXPECT_EQ(KTime::GetGlobalTimeMode(), options->GetTimeMode());
    options->Destroy();
}

TEST(KStreamOptionsMotionTest, AnOwnedSkeletonSceneEndsWithTheOptions) {
    KObject *owned = new KObject, *lent = new KObject;
    HdlKObject ownedHandle(owned), lentHandle(lent);
    {
        KStreamOptionsMotion options;
        options.SetASFScene(owned, true), options.Reset();
        EXPECT_TRUE(!ownedHandle.IsValid() && !options.GetASFScene());
        options.SetASFScene(lent, false);
    }
    EXPECT_TRUE(lentHandle.IsValid());
    lent->Destroy();
}

TEST(KStreamOptionsGeometryTest, EachFormatDefinesItsNumberedOptions) {
    KStreamOptionsObj obj;
    KStreamOptionsDxf dxf;
    EXPECT_TRUE(obj.Is(KStreamOptionsObj::ClassId) && obj.Is(KStreamOptionsBase::ClassId) && !obj.Is(KStreamOptionsDxf::ClassId));
    EXPECT_TRUE(dxf.Is(KStreamOptionsDxf::ClassId) && !dxf.Is(KStreamOptionsObj::ClassId) && !dxf.Is(KStreamOptionsMotion::ClassId));
    // Obj: reference node on, triangulation off, deformations on; nothing else.
    EXPECT_EQ((std::vector<int>{1, 0, 1}), (std::vector<int>{obj.GetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE),
                                                             obj.GetOption(KStreamOptionsBase::eFORCE_TRIANGULATION),
                                                             obj.GetOption(KStreamOptionsBase::eEVALUATE_DEFORMATIONS)}));
    EXPECT_FALSE(obj.IsOptionValid(KStreamOptionsBase::eWELD_VERTICES) || obj.SetOption(KStreamOptionsBase::eWELD_VERTICES, 1));
    EXPECT_EQ(0, obj.GetOption(KStreamOptionsBase::eWELD_VERTICES));
    EXPECT_STREQ("Evaluate Link/Shape deformations", obj.GetOptionName(KStreamOptionsBase::eEVALUATE_DEFORMATIONS));
    // Dxf: four switches on, a label and its choice.
    for (auto option : {KStreamOptionsBase::eCREATE_REFERENCE_NODE, KStreamOptionsBase::eFORCE_TRIANGULATION,
                        KStreamOptionsBase::eEVALUATE_DEFORMATIONS, KStreamOptionsBase::eWELD_VERTICES})
        EXPECT_EQ(1, dxf.GetOption(option)) << option;
    EXPECT_EQ(KStreamOptionsBase::eLABEL, dxf.GetOptionType(KStreamOptionsBase::eOBJECT_DERIVATION));
    EXPECT_STREQ("Layer~Block~Entity", dxf.GetOptionName(KStreamOptionsBase::eLAYER_BLOCK_ENTITY));
    const KStreamOptionsDxf::EObjectDerivation derivations[] = {KStreamOptionsDxf::eBY_LAYER, KStreamOptionsDxf::eBY_BLOCK,
                                                                KStreamOptionsDxf::eBY_ENTITY, KStreamOptionsDxf::eBY_LAYER};
    for (int choice = 0; choice < 4; ++choice) {
        EXPECT_TRUE(dxf.SetOption(KStreamOptionsBase::eLAYER_BLOCK_ENTITY, choice));
        EXPECT_EQ(derivations[choice], dxf.GetObjectDerivation()) << choice;
    }
    dxf.SetTakeName("take");
    dxf.Reset();
    EXPECT_TRUE(dxf.GetTakeName().IsEmpty() && dxf.GetObjectDerivation() == KStreamOptionsDxf::eBY_LAYER);
    EXPECT_FALSE(dxf.IsOptionValid(KStreamOptionsBase::eOptionCount) || dxf.IsOptionValid(static_cast<KStreamOptionsBase::EOption>(-1)));
    // 3DS: options 1 and 7 to 17, shown in mode 2 but "Reduce Keys" (0) and
    // "UV per polygon" (1); on but the reference node and the key reduction.
    KStreamOptions3ds threeDs;
    for (int n = 0; n <= KStreamOptionsBase::eOptionCount; ++n) {
        const auto option = static_cast<KStreamOptionsBase::EOption>(n);
        const bool valid = n == 1 || (n >= 7 && n <= 17);
        EXPECT_EQ(valid, threeDs.IsOptionValid(option)) << n;
        EXPECT_EQ(!valid || n == 15 ? 0 : n == 17 ? 1 : 2, threeDs.GetOptionMode(option)) << n;
        EXPECT_EQ(valid && n != 1 && n != 15 ? 1 : 0, threeDs.GetOption(option)) << n;
    }
}
