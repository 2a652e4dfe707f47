#include "object/kprogress.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

TEST(KProgress, NestedSectionsAdvanceMonotonically) {
    KProgress* progress = KGetGlobalProgress();
    ASSERT_EQ(progress, KGetGlobalProgress());
    progress->ProgressBegin();
    EXPECT_EQ(0.0, progress->GetProgress());
    progress->DivideSection(4);
    progress->UpdateSection();
    EXPECT_DOUBLE_EQ(25.0, progress->GetProgress());
    progress->DivideSection(2);  // splits the second quarter
    progress->UpdateSection("half", nullptr);
    EXPECT_DOUBLE_EQ(37.5, progress->GetProgress());
    EXPECT_STREQ("half", progress->GetStatus());
    progress->CloseSection();
    EXPECT_DOUBLE_EQ(50.0, progress->GetProgress());
    progress->UpdateSection();  // the parent's count does not fall back
    EXPECT_DOUBLE_EQ(50.0, progress->GetProgress());
    for (int i = 0; i < 10; ++i) progress->UpdateSection();
    EXPECT_DOUBLE_EQ(100.0, progress->GetProgress());
    progress->CloseSection();
    progress->CloseSection();  // none left: nothing
    progress->ProgressBegin();
    progress->DivideSection(0);  // counts as one
    progress->UpdateSection();
    EXPECT_DOUBLE_EQ(100.0, progress->GetProgress());
    progress->Cancel();
    EXPECT_TRUE(progress->IsCanceled());
    progress->ProgressDone();
    EXPECT_DOUBLE_EQ(100.0, progress->GetProgress());
    progress->ProgressBegin();
    EXPECT_FALSE(progress->IsCanceled());
}
