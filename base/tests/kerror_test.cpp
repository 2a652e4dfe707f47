#include "base/kerror.h"

#include <gtest/gtest.h>

using namespace zeqsdk_400;

TEST(KError, TableTextsOverridesAndIdsBeyondTheTable) {
    const char* const table[] = {"File is corrupted", nullptr, "File not opened"};
    KError error(table, 3), none(nullptr, 4);
    EXPECT_EQ(-1, error.GetLastErrorID());
    error.SetLastErrorID(2);
    EXPECT_STREQ("File not opened", error.GetLastErrorString());
    error.SetLastError(0, "File is corrupted: bad block");
    EXPECT_STREQ("File is corrupted: bad block", error.GetLastErrorString());
    for (int id : {1, 57, -5}) {  // a null entry, beyond the table, negative
        error.SetLastErrorID(id);
        EXPECT_TRUE(error.GetLastErrorID() == id && !*error.GetLastErrorString()) << id;
    }
    error.ClearLastError();
    none.SetLastErrorID(2);
    EXPECT_TRUE(error.GetLastErrorID() == -1 && !*none.GetLastErrorString());
}

// The system's error number stays beside the table's text, goes with a copy and is forgotten by
// the next error.
TEST(KError, SystemErrorNumbers) {
    const char* const table[] = {"File is corrupted", "File not opened"};
    KError file(table, 2), reader(table, 2);
    file.SetLastErrorID(1);
    file.SetLastSystemError(2);
    reader.CopyLastError(1, file);
    EXPECT_STREQ("File not opened", reader.GetLastErrorString());
    EXPECT_EQ(2, reader.GetLastSystemError());
    reader.SetLastError(0, "File is corrupted: bad block");
    EXPECT_EQ(0, reader.GetLastSystemError());
    file.ClearLastError();
    EXPECT_EQ(0, file.GetLastSystemError());
}
