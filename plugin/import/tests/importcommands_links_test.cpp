// ZEQRead and ZEQImport as root through another user's symbolic link, in a folder its group may
// write, to a Zeq file of root's without a "Summary": the file is read through the link, no
// "Summary" is written into it, and the import's log says why once.
#include "importtest_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"
#include "io/tests/zeqroundtrip.h"

namespace {

class CommandsLinksTest : public ZeqTuloImportTest {
protected:
    CommandsLinksTest() { mForOtherUsers = true; }
    void SetUp() override {
        ZeqTuloImportTest::SetUp();
        ZEQ_SKIP_UNLESS_ROOT("root's files and another user");
    }
};

TEST_F(CommandsLinksTest, NoSummaryIsWrittenBackThroughAnotherUsersLink) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    const zeqtest::RootsSecret roots(mDirectory + "root");
    const std::string zeq = roots.Unmade("scene.zeq");
    zeqiotest::MakeZeqFile(zeq, 6000, 1, "Takes: {;Current: \"A\";Take: \"A\";Take: \"B\";}");
    ASSERT_EQ(0, ::chmod(zeq.c_str(), 0600));
    const std::string before = zeqtest::ReadFile(zeq);
    const std::string group = mDirectory + "group", link = group + "/scene.zeq";
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, group, 0775, zeqtest::kUnprivileged));
    ASSERT_EQ(0, other.PlantLink(zeq, link));

    std::string takes;
    ASSERT_TRUE(Run("ZEQRead \"" + link + "\"") && Run("ZEQGetTakeCount", &takes));
    EXPECT_EQ("2", takes);
    EXPECT_TRUE(before == zeqtest::ReadFile(zeq)) << "ZEQRead wrote root's file";
    ASSERT_TRUE(Run("ZEQImport -f \"" + link + "\""));
    EXPECT_TRUE(before == zeqtest::ReadFile(zeq)) << "ZEQImport wrote root's file";
    const std::string refusal = "Cannot write \"" + link + "\": " + zeqtest::OthersLinkRefusal(link) + ".";
    const std::string log = Log();
    EXPECT_NE(log.find(refusal), std::string::npos) << log;
    EXPECT_EQ(log.find(refusal), log.rfind(refusal)) << log;

    // Root's own link there, where they may have renamed it onto the name (the folder is not
    // sticky): not followed either, and said.
    const std::string own = group + "/own.zeq";
    ASSERT_EQ(0, ::symlink(zeq.c_str(), own.c_str()));
    ASSERT_TRUE(Run("ZEQImport -f \"" + own + "\""));
    EXPECT_TRUE(before == zeqtest::ReadFile(zeq)) << "ZEQImport wrote root's file";
    struct stat folder{};
    ASSERT_EQ(0, ::stat(group.c_str(), &folder));
    const std::string where = zeqtest::FolderOthersWrite(folder.st_uid, folder.st_mode, folder.st_gid);
    EXPECT_NE(Log().find("Cannot write \"" + own + "\": " + zeqtest::RenamableLinkRefusal(own, where) + "."),
              std::string::npos)
        << Log();
    // In a folder of root's alone it is: the "Summary" is written, without a word.
    const std::string alone = roots.Unmade("own.zeq");
    ASSERT_EQ(0, ::symlink(zeq.c_str(), alone.c_str()));
    const std::string said = Log();
    ASSERT_TRUE(Run("ZEQImport -f \"" + alone + "\""));
    EXPECT_FALSE(before == zeqtest::ReadFile(zeq));
    EXPECT_EQ(said, Log());
}

}  // namespace
