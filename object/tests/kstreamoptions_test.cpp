#include "object/kstreamoptions.h"

#include <gtest/gtest.h>

#include <string>

using namespace zeqsdk_400;

namespace {

std::string gLast;
void Progress(const char*, const char* message, float) { gLast = message; }
int Ask(const char* caption, const char*, const char*, const char*, const char*, int defaultButton) {
    gLast = caption;
    return defaultButton + 1;
}

}  // namespace

TEST(KStreamOptions, DefaultsDoNothingIndicesAreCheckedAndCopiesKeepTheirCallbacks) {
    KStreamOptions options;
    options.ProgressCallback(nullptr, "m", 5.0f);
    EXPECT_TRUE(options.MessageCallback(1, "c", "m", "Ok", nullptr, nullptr, 0) == 0 && gLast.empty());
    options.SetProgressCallback(&Progress);
    options.SetMessageCallback(1, &Ask);
    EXPECT_TRUE(options.MessageCallback(1, "Error", "bad", "Ok", nullptr, nullptr, 1) == 2 && gLast == "Error");
    EXPECT_TRUE(options.MessageCallback(3, "x", "y", nullptr, nullptr, nullptr, 0) == 0 && !options.GetMessageCallback(-1));
    KStreamOptions copy(options);
    options.Reset();
    options.SetProgressCallback(nullptr);  // stands for the do-nothing one
    options.ProgressCallback("s", "m", 1.0f);
    EXPECT_EQ("Error", gLast);
    copy.ProgressCallback(nullptr, "Reading", 42.0f);
    EXPECT_TRUE(gLast == "Reading" && copy.GetMessageCallback(1) == &Ask);
}
