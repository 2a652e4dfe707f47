#include "content/kzeqskeleton.h"

#include <gtest/gtest.h>

#include <string>

#include "content/kzeqnull.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Flags(const KStringList& list) {
    std::string text;
    for (int i = 0; i < list.GetCount(); ++i) text += std::string(i ? "," : "") + list.GetStringAt(i);
    return text;
}

bool ColorInFiles(KZeqSkeleton& s) { return !s.GetPropertyHandler()->Color.GetPropertyFlag(kPropertyFlagNotSavable); }

std::vector<double> Values(const KZeqSkeleton& s) {
    const KZeqColor c = s.GetLimbNodeColor();
    return {s.GetLimbLength(), s.GetLimbNodeSize(), c.mRed, c.mGreen, c.mBlue, c.mAlpha};
}

}  // namespace

TEST(KZeqSkeleton, NamesFlagsAndColourStorageByType) {
    KZeqSdkManager manager;
    KZeqSkeleton* s = manager.CreateKZeqSkeleton();
    EXPECT_EQ(std::vector<double>({1.0, 100.0, 0.8, 0.8, 0.8, 1.0}), Values(*s));
    EXPECT_FALSE(s->GetSkeletonTypeIsSet() || s->GetLimbNodeSizeIsSet() || ColorInFiles(*s));
    const struct {
        int mType;
        const char* mName;
        const char* mFlags;
    } rows[] = {{1, "Limb", "Skeleton"},
                {2, "LimbNode", "Skeleton"},
                {3, "Root", "Null,Skeleton,Root"},  // an effector reads as a root
                {7, "", ""},
                {0, "Root", "Null,Skeleton,Root"}};
    for (const auto& row : rows) {
        s->SetSkeletonType(static_cast<KZeqSkeleton::ESkeletonType>(row.mType));
        EXPECT_STREQ(row.mName, s->GetTypeName().Buffer()) << row.mType;
        EXPECT_EQ(row.mFlags, Flags(s->GetTypeFlags())) << row.mType;
        EXPECT_EQ(row.mType == 1 || row.mType == 2, ColorInFiles(*s)) << row.mType;
    }
}

TEST(KZeqSkeleton, LengthOnlyOnALimbColourOnlyOnLimbsBothKeptAcrossTypeChanges) {
    KZeqSdkManager manager;
    KZeqSkeleton* s = manager.CreateKZeqSkeleton();
    EXPECT_FALSE(s->SetLimbLength(5.0) || s->SetLimbNodeColor(KZeqColor(0.1, 0.2, 0.3, 0.5)));
    EXPECT_FALSE(s->GetLimbLengthIsSet() || s->GetLimbNodeColorIsSet());
    s->SetSkeletonType(KZeqSkeleton::eLIMB);
    EXPECT_TRUE(s->SetLimbLength(5.0) && s->GetLimbLengthIsSet());
    s->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
    EXPECT_FALSE(s->SetLimbLength(6.0));
    EXPECT_TRUE(s->SetLimbNodeColor(KZeqColor(0.1, 0.2, 0.3, 0.5)));
    s->SetSkeletonType(KZeqSkeleton::eROOT);
    EXPECT_EQ(std::vector<double>({5.0, 100.0, 0.1, 0.2, 0.3, 1.0}), Values(*s));
    EXPECT_FALSE(ColorInFiles(*s));
}

TEST(KZeqSkeleton, CopyGoesThroughTheSettersThenTakesTheSourceFlags) {
    KZeqSdkManager manager;
    KZeqSkeleton* from = manager.CreateKZeqSkeleton();
    KZeqSkeleton* to = manager.CreateKZeqSkeleton();
    from->SetSkeletonType(KZeqSkeleton::eLIMB);
    from->GetPropertyHandler()->LimbLengthSet(7.0);  // a value no setter stored
    to->SetLimbNodeSize(3.0);
    *to = *from;
    EXPECT_EQ(std::vector<double>({7.0, 100.0}), std::vector<double>({to->GetLimbLength(), to->GetLimbNodeSize()}));
    EXPECT_TRUE(to->GetSkeletonTypeIsSet());
    EXPECT_FALSE(to->GetLimbLengthIsSet() || to->GetLimbNodeSizeIsSet());
    // Through a node copy: a null is replaced by a new skeleton; a root's length is not copied.
    from->SetSkeletonType(KZeqSkeleton::eROOT);
    KZeqNode* source = manager.CreateKZeqNode("source");
    KZeqNode* target = manager.CreateKZeqNode("target");
    source->SetNodeAttribute(from);
    target->SetNodeAttribute(manager.CreateKZeqNull());
    *target = *source;
    ASSERT_TRUE(target->GetSkeleton() && target->GetSkeleton() != from);
    EXPECT_EQ(1.0, target->GetSkeleton()->GetLimbLength());
    EXPECT_EQ(nullptr, target->GetNull());
}
