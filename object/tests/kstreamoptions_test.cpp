#include "object/kstreamoptions.h"

#include <gtest/gtest.h>

#include <string>


using namespace zeqsdk_400;

namespace {

std::string gLast;
void Progress(const char* status, const char* message, float percent) {
    gLast = std::string(status ? status : "null") + "|" + message + "|" + std::to_string(static_cast<int>(percent));
}
int Ask(const char* caption, const char* message, const char*, const char*, const char*, int defaultButton) {
    gLast = std::string(caption) + "|" + message;
    return defaultButton + 1;
}

}  // namespace

TEST(KStreamOptions, CallbacksResetAndCopy) {
    KStreamOptions options;
    EXPECT_TRUE(options.Is(KStreamOptions::ClassId));
    EXPECT_TRUE(options.Is(KObject::ClassId));
    EXPECT_STREQ("KStreamOptions", options.GetClassIdName());
    gLast.clear();
    options.ProgressCallback(nullptr, "m", 5.0f);  // do-nothing default
    EXPECT_EQ(0, options.MessageCallback(1, "c", "m", "Ok", nullptr, nullptr, 0));
    EXPECT_TRUE(gLast.empty());

    options.SetProgressCallback(&Progress);
    options.SetMessageCallback(1, &Ask);
    options.ProgressCallback(nullptr, "Reading", 42.0f);
    EXPECT_EQ("null|Reading|42", gLast);
    EXPECT_EQ(2, options.MessageCallback(1, "Error", "bad", "Ok", nullptr, nullptr, 1));
    EXPECT_EQ("Error|bad", gLast);
    EXPECT_EQ(0, options.MessageCallback(3, "x", "y", nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, options.GetMessageCallback(-1));

    KStreamOptions copy;
    copy = options;
    EXPECT_EQ(&Progress, copy.GetProgressCallback());
    EXPECT_EQ(&Ask, copy.GetMessageCallback(1));
    KStreamOptions constructed(options);
    EXPECT_EQ(&Ask, constructed.GetMessageCallback(1));

    options.Reset();
    gLast.clear();
    options.ProgressCallback("s", "m", 1.0f);
    EXPECT_TRUE(gLast.empty());
    EXPECT_EQ(&Progress, copy.GetProgressCallback());
    options.SetProgressCallback(nullptr);  // stands for the do-nothing one
    options.ProgressCallback("s", "m", 1.0f);
}

