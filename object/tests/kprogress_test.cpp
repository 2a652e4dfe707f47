#include "object/kprogress.h"

#include <gtest/gtest.h>

#include <string>

using namespace zeqsdk_400;

// Sections split the current one; the value never falls back.
TEST(KProgress, NestedSectionsAdvanceMonotonically) {
    KProgress* p = KGetGlobalProgress();
    ASSERT_EQ(p, KGetGlobalProgress());
    p->ProgressBegin();
    p->DivideSection(4);
    p->UpdateSection();
    EXPECT_DOUBLE_EQ(25.0, p->GetProgress());
    p->DivideSection(2);  // splits the second quarter
    p->UpdateSection("half", nullptr);
    EXPECT_TRUE(p->GetProgress() == 37.5 && std::string("half") == p->GetStatus());
    p->CloseSection();
    EXPECT_DOUBLE_EQ(50.0, p->GetProgress());
    p->UpdateSection();  // the parent's count does not fall back
    EXPECT_DOUBLE_EQ(50.0, p->GetProgress());
    for (int i = 0; i < 10; ++i) p->UpdateSection();
    p->CloseSection();
    p->CloseSection();  // none left: nothing
    EXPECT_DOUBLE_EQ(100.0, p->GetProgress());
    p->ProgressBegin();
    EXPECT_EQ(0.0, p->GetProgress());
    p->DivideSection(0);  // counts as one
    p->UpdateSection();
    p->Cancel();
    EXPECT_TRUE(p->GetProgress() == 100.0 && p->IsCanceled());
    p->ProgressDone();
    p->ProgressBegin();
    EXPECT_FALSE(p->IsCanceled());
}
