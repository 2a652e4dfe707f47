#include "base/kerror.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

namespace {
const char* const kTable[] = {"File is corrupted", nullptr, "File not opened"};
}

TEST(KError, TableTextsOverridesAndIdsBeyondTheTable) {
    KError error(kTable, 3);
    EXPECT_EQ(-1, error.GetLastErrorID());
    error.SetLastErrorID(2);
    EXPECT_EQ(2, error.GetLastErrorID());
    EXPECT_STREQ("File not opened", error.GetLastErrorString());
    error.SetLastErrorID(1);  // null entry
    EXPECT_STREQ("", error.GetLastErrorString());
    error.SetLastError(0, "File is corrupted: bad block");
    EXPECT_STREQ("File is corrupted: bad block", error.GetLastErrorString());
    error.SetLastErrorID(57);
    EXPECT_EQ(57, error.GetLastErrorID());
    EXPECT_STREQ("", error.GetLastErrorString());
    error.SetLastErrorID(-5);
    EXPECT_STREQ("", error.GetLastErrorString());
    error.ClearLastError();
    EXPECT_EQ(-1, error.GetLastErrorID());

    KError none(nullptr, 4);
    none.SetLastErrorID(2);
    EXPECT_STREQ("", none.GetLastErrorString());
}
