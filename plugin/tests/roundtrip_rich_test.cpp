// The stand-in's rich scene (every kind of key, user attributes, limits, locks, pivots, a
// namespace, an instance, aimed cameras, skin and blend shape) merged back with its own export, in
// both merge modes, with the file's take and with none: no node comes or goes, and nothing changes
// but what the file form cannot carry (the list's reasons).
#include "roundtrip_support.h"

namespace {

struct RichMerge {
    const char* mMode;
    bool mFirstTake;
};

class RichMergeTest : public roundtrip::RoundTripTest {
protected:
    void Merges(const RichMerge& merge) {
        Load(merge.mMode);
        const std::string report = MergeRun(merge.mFirstTake);
        EXPECT_TRUE(report.empty()) << merge.mMode << (merge.mFirstTake ? " with the take" : " without a take")
                                    << "\n" << report;
    }
};

TEST_P(RichMergeTest, MergeWithTheTake) { Merges({"kMerge", true}); }
TEST_P(RichMergeTest, MergeWithoutATake) { Merges({"kMerge", false}); }
TEST_P(RichMergeTest, ExclusiveMergeWithTheTake) { Merges({"kExclusiveMerge", true}); }
TEST_P(RichMergeTest, ExclusiveMergeWithoutATake) { Merges({"kExclusiveMerge", false}); }

// With the setting that keeps locked attributes locked, the merge leaves crowdCount locked, at its
// value; by default (the list's line) it unlocks it.
TEST_P(RichMergeTest, LockedAttributesStayLockedAsTheSettingSays) {
    for (const char* mode : {"kMerge", "kExclusiveMerge"}) {
        Load(mode, "kSetLockedAttrib = 1\n");
        ASSERT_TRUE(Run("file -f -new") && Build());
        const std::string file = mDirectory + "locked.zeq";
        ASSERT_TRUE(Run("ZEQExport -f \"" + file + "\"") && Import(file, false));
        EXPECT_TRUE(standin::plug("dancer.crowdCount").isLocked()) << mode;
        EXPECT_EQ(roundtrip::PlugValue("dancer.crowdCount"), 3) << mode;
        std::string error;
        ASSERT_TRUE(standin::unloadAllPlugins(&error)) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Rich, RichMergeTest, ::testing::ValuesIn(roundtrip::Cases("rich")), roundtrip::CaseName);

}  // namespace
