// The "Summary" a binary Zeq file read without one takes at its end is a write nobody asked for: it
// does not go through a symbolic link that another user put where others may write, at the end of
// the path or on the way, sticky folder or not. The read goes through it as before.
#include "io/kzeqimporter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <utility>

#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kplantedlinks.h"
#include "fileio/tests/test_users.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

const char* const kTwoTakes = "Takes: {;Current: \"B\";Take: \"A\";Take: \"B\";}";

// Root's binary Zeq file without a "Summary" (0600, in root's folder alone).
std::string RootsZeqFile(const zeqtest::RootsSecret& roots, const std::string& name) {
    const std::string path = roots.Unmade(name);
    zeqiotest::MakeZeqFile(path, 6000, 1, kTwoTakes);
    ::chmod(path.c_str(), 0600);
    return path;
}

int SummariesOf(const std::string& path) {
    KZeq file;
    return file.ProjectOpen(path.c_str()) ? file.ProjectGetExtensionSectionCount() : -1;
}

struct Read {
    bool mRead = false;
    int mTakes = 0;
    std::string mMessage;
};

// Root's import of the scene at path.
Read Import(KZeqSdkManager& manager, const std::string& path) {
    Read read;
    KZeqImporter importer(manager);
    if (!importer.Initialize(path.c_str())) return read;
    read.mTakes = importer.GetTakeCount();
    read.mRead = importer.Import(*manager.CreateKZeqScene());
    KString message;
    importer.GetMessage(message);
    read.mMessage = message.Buffer();
    return read;
}

}  // namespace

// The other user plants their link in a group's 0775 folder, a group's 2775 one, a folder of
// theirs, a sticky one of theirs everybody may write and one of root's everybody may write, naming
// root's file or, on the way, root's folder. Root's import reads both takes through it, root's file stays byte for byte, and the
// message says why once. Root's own links, in the group's folder and in theirs, take the "Summary".
TEST(ImporterLinksTest, NoSummaryIsWrittenBackThroughAnotherUsersLink) {
    ZEQ_SKIP_UNLESS_ROOT("another user's link to a file of root's");
    const zeqtest::ExchangingUser other;
    if (!other.Ready()) GTEST_SKIP() << zeqtest::NoOtherUser();
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const zeqtest::RootsSecret roots(dir.Path());
    const std::string zeq = RootsZeqFile(roots, "scene.zeq");
    const std::string before = zeqtest::ReadFile(zeq);
    const std::string rootsFolder = std::filesystem::path(zeq).parent_path().string();
    const struct {
        const char* mName;
        uid_t mOwner;
        mode_t mMode;
        gid_t mGroup;
        bool mOnTheWay;  // the link names root's folder, the file read below it
    } cases[] = {
        {"root's, its group may write", 0, 0775, zeqtest::kUnprivileged, false},
        {"root's, its group may write, its group kept", 0, 02775, zeqtest::kUnprivileged, false},
        {"theirs", zeqtest::kUnprivileged, 0755, zeqtest::kUnprivileged, false},
        {"theirs, sticky, everybody may write", zeqtest::kUnprivileged, 01777, zeqtest::kUnprivileged, false},
        {"root's, everybody may write", 0, 0777, 0, false},
        {"root's, its group may write; the link on the way", 0, 0775, zeqtest::kUnprivileged, true},
        {"root's, everybody may write; the link on the way", 0, 0777, 0, true},
        {"theirs; the link on the way", zeqtest::kUnprivileged, 0755, zeqtest::kUnprivileged, true},
    };
    KZeqSdkManager manager;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].mName);
        const std::string where = dir / ("f" + std::to_string(i));
        ASSERT_TRUE(zeqtest::MakeFolderOf(cases[i].mOwner, where, cases[i].mMode, cases[i].mGroup));
        const std::string link = where + (cases[i].mOnTheWay ? "/dir" : "/scene.zeq");
        ASSERT_EQ(0, other.PlantLink(cases[i].mOnTheWay ? rootsFolder : zeq, link));
        const std::string path = cases[i].mOnTheWay ? link + "/scene.zeq" : link;
        const Read read = Import(manager, path);
        EXPECT_TRUE(read.mRead);
        EXPECT_EQ(2, read.mTakes);
        EXPECT_TRUE(before == zeqtest::ReadFile(zeq)) << "root's file was written";
        const std::string refusal = "Cannot write \"" + path + "\": " + zeqtest::OthersLinkRefusal(link) + ".";
        EXPECT_EQ(refusal, read.mMessage.substr(0, read.mMessage.find('\n')));
        EXPECT_EQ(read.mMessage.find(refusal), read.mMessage.rfind(refusal)) << read.mMessage;
    }
    EXPECT_EQ(0, SummariesOf(zeq));

    // Root's own links, where the other user may write too: where the folder is not sticky (they
    // may have renamed the link onto the name) none is written back, and that is said; in root's
    // sticky folder, a "Summary" as for root's own file.
    const std::string sticky = dir / "sticky";
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, sticky, 01777, 0));
    const std::string ownIn[] = {dir / "f0", dir / "f2", dir / "f4", sticky};
    for (const std::string& folder : ownIn) {
        SCOPED_TRACE(folder);
        const std::string own = RootsZeqFile(roots, "own" + folder.substr(folder.size() - 1) + ".zeq");
        const std::string link = folder + "/own.zeq";
        ASSERT_EQ(0, ::symlink(own.c_str(), link.c_str()));
        const Read read = Import(manager, link);
        EXPECT_TRUE(read.mRead);
        // f0 is root's, its group may write.
        const std::string where = folder == dir / "f0"
                                      ? zeqtest::FolderOthersWrite(0, cases[0].mMode, cases[0].mGroup)
                                      : std::string("a folder others may write");
        EXPECT_EQ(
            folder == sticky ? "" : "Cannot write \"" + link + "\": " + zeqtest::RenamableLinkRefusal(link, where) + ".",
            read.mMessage.substr(0, read.mMessage.find('\n')));
        EXPECT_EQ(folder == sticky ? 1 : 0, SummariesOf(own));
    }
}

// What the walk says of the links it followed: the first that another user put where others may
// write, wherever it stands on the way; not one of root's, nor the reader's own.
TEST(ImporterLinksTest, TheWalkNamesTheFirstLinkAnotherUserPutWhereOthersMayWrite) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user's");
    const zeqtest::TempDir dir(zeqtest::TempDir::kOtherUsers);
    const std::string theirs = dir / "theirs", group = dir / "group", mine = dir / "mine";
    ASSERT_TRUE(zeqtest::MakeFolderOf(zeqtest::kUnprivileged, theirs, 0755));
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, group, 0775, zeqtest::kUnprivileged));
    ASSERT_TRUE(zeqtest::MakeFolderOf(0, mine, 0755, 0));
    zeqtest::WriteFile(mine + "/file", "x");
    // Another user's link in root's own folder: only root could have put it there.
    ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, mine, mine + "/given"));
    ASSERT_TRUE(zeqtest::MakeLinkOf(0, mine, theirs + "/roots"));
    ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, mine + "/file", group + "/named"));
    ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, group + "/named", theirs + "/chain"));
    const std::pair<std::string, std::string> cases[] = {
        {mine + "/given/file", ""},
        {theirs + "/roots/file", ""},
        {group + "/named", group + "/named"},
        {theirs + "/chain", theirs + "/chain"},
    };
    for (const auto& [path, others] : cases) {
        KPathWalk walk;
        ASSERT_TRUE(KWalkPath(path.c_str(), walk)) << path;
        EXPECT_TRUE(walk.mExists) << path;
        EXPECT_EQ(others, walk.mOthersLink) << path;
    }
}
