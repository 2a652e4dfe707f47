// Every format writer row replaces a file only with a complete one: an export
// over an existing file that is refused, or whose writes fail as on a full
// device, leaves the file byte for byte as it was, makes no new file and
// leaves nothing beside it; one that succeeds replaces the file.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "fileio/tests/kfilesizelimit.h"
#include "fileio/tests/kotheruseract.h"
#include "formats/kzeqformats.h"
#include "formats/tests/kzeqwriterrows.h"
#include "io/kstreamoptionsbase.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;
using zeqtest::ReadFile;
using zeqtest::WriteFile;
using zeqwritertest::ExportRow;
using zeqwritertest::ExportRowName;
using zeqwritertest::ExportRowsWhere;
using zeqwritertest::kPrevious;

// The format writers' rows, the field file's own aside.
std::vector<ExportRow> FormatRows() {
    return ExportRowsWhere([](const ExportRow& row) { return !zeqwritertest::IsFieldFileRow(row); });
}

// The rows that refuse a scene without a single selected root.
bool NeedsRoot(const ExportRow& row) {
    for (const std::string_view name : {"BVH", "HTR", "ASF", "AMC"})
        if (row.mName == name) return true;
    return false;
}

class WriterReplacement : public zeqwritertest::ExportRowTest {
protected:
    WriterReplacement() {
        mSpec.mFrames = 40;
        mSpec.mTextured = true;
        mSpec.mCube = true;
    }

    void SetUp() override {
        fs::create_directories(mOut);
        MakeImage();
    }

    void BuildScene() { ExportRowTest::BuildScene(mSpec); }

    // Exports through the row (through exporter when given, to look at its
    // error afterwards); wrongOptions hands the writer options of another
    // family, which every writer refuses.
    bool Export(const std::string& path, bool wrongOptions = false, KZeqExporter* given = nullptr) {
        KZeqExporter own(mManager);
        std::unique_ptr<KStreamOptions, void (*)(KStreamOptions*)> other(
            GetParam().mSkeleton ? static_cast<KStreamOptions*>(new KStreamOptionsBase)
                                 : static_cast<KStreamOptions*>(KStreamOptionsMotionCreate()),
            [](KStreamOptions* o) { o->Destroy(); });
        return ExportRowTest::Export(given ? *given : own, path, wrongOptions ? other.get() : nullptr);
    }

    // A skeleton of 40 frames, or a cube's four sides with the material and the texture.
    zeqwritertest::SceneSpec mSpec;
};

TEST_P(WriterReplacement, ASuccessfulExportReplacesTheFile) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    ASSERT_TRUE(Export(mTarget));
    EXPECT_NE(kPrevious, ReadFile(mTarget));
    EXPECT_FALSE(ReadFile(mTarget).empty());
    for (const std::string& name : OutEntries()) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

TEST_P(WriterReplacement, ARefusedExportLeavesTheFileAndMakesNone) {
    // The 3DS writer goes on with its current flags.
    if (GetParam().mRow == KZeqExporter::e3D_STUDIO_3DS) GTEST_SKIP() << "writes with its current flags";
    BuildScene();
    WriteFile(mTarget, kPrevious);
    EXPECT_FALSE(Export(mTarget, true));
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());

    fs::remove(mTarget);
    EXPECT_FALSE(Export(mTarget, true));
    EXPECT_TRUE(OutEntries().empty());
}

TEST_P(WriterReplacement, AFailingWriteLeavesTheFileAndMakesNone) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    {
        zeqtest::ScopedFileSizeLimit full(64);
        EXPECT_FALSE(Export(mTarget));
    }
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());

    fs::remove(mTarget);
    {
        zeqtest::ScopedFileSizeLimit full(64);
        EXPECT_FALSE(Export(mTarget));
    }
    EXPECT_TRUE(OutEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, WriterReplacement, testing::ValuesIn(FormatRows()), ExportRowName);

// Every writer, the Zeq ones too, follows one rule for what it replaces: a
// symbolic link is followed and the file it names replaced (the link stays);
// a named pipe, or a link to one, is refused with the reason and left as it is.
class WriterTarget : public WriterReplacement {};

TEST_P(WriterTarget, ALinkIsFollowedAndStaysALink) {
    BuildScene();
    const fs::path elsewhere = mDir.Path() / "elsewhere";
    fs::create_directories(elsewhere);
    const fs::path real = elsewhere / (std::string("real.") + GetParam().mExtension);
    WriteFile(real.string(), kPrevious);
    fs::create_symlink(fs::relative(real, mOut), mTarget);
    ASSERT_TRUE(Export(mTarget)) << mMessage;
    EXPECT_TRUE(fs::is_symlink(mTarget));
    EXPECT_NE(kPrevious, ReadFile(real.string()));
    EXPECT_FALSE(ReadFile(real.string()).empty());
    EXPECT_EQ(std::vector<std::string>{real.filename().string()}, EntriesOf(elsewhere));
    for (const std::string& name : OutEntries()) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

TEST_P(WriterTarget, APipeOrALinkToOneIsRefusedAndLeft) {
    BuildScene();
    ASSERT_EQ(0, ::mkfifo(mTarget.c_str(), 0600));
    EXPECT_FALSE(Export(mTarget));
    EXPECT_TRUE(fs::is_fifo(mTarget));
    EXPECT_NE(std::string::npos, mMessage.find("a named pipe, not a regular file")) << mMessage;
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());

    const fs::path link = mOut / (std::string("link.") + GetParam().mExtension);
    fs::create_symlink(mTarget, link);
    EXPECT_FALSE(Export(link.string()));
    EXPECT_TRUE(fs::is_symlink(link) && fs::is_fifo(mTarget));
    EXPECT_NE(std::string::npos, mMessage.find("a named pipe, not a regular file")) << mMessage;
    EXPECT_EQ(2u, OutEntries().size());
}

// The file replaced keeps its mode, and its owner and group where root writes it
// (another user's file). Another user's file needs root: any other writer checks
// the mode, and skips that half.
TEST_P(WriterTarget, AReplacedFileKeepsItsModeAndOwner) {
    BuildScene();
    const bool root = zeqtest::IsRoot();
    const uid_t owner = zeqtest::kUnprivileged;
    WriteFile(mTarget, kPrevious);
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0600));
    if (root) {
        ASSERT_EQ(0, ::chown(mTarget.c_str(), owner, owner));
    }
    ASSERT_TRUE(Export(mTarget)) << mMessage;
    struct stat st {};
    ASSERT_EQ(0, ::stat(mTarget.c_str(), &st));
    EXPECT_NE(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    if (!root) GTEST_SKIP() << zeqtest::NeedsRoot("the owner half: another user's file, whose owner and group it keeps");
    EXPECT_EQ(owner, st.st_uid);
    EXPECT_EQ(owner, st.st_gid);
}

// On ext4 the list and the attributes share the room of the inode and one block: a file
// holding them all is replaced with them all, whoever writes it.
TEST_P(WriterTarget, AFileWithAListAndALargeAttributeKeepsThemAll) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    if (!zeqtest::SetAcl(mTarget, "u::rw-,u:4242:r--,g::---,m::r--,o::---")) GTEST_SKIP() << "no access lists here";
    const std::string big(4000, 'b');
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"user.a", "a"}, {"user.empty", ""},
                                      {"user.big", big}})
        if (!zeqtest::SetAttribute(mTarget, name, value))
            GTEST_SKIP() << "this file system holds no " << name << " of " << value.size()
                         << " bytes beside the list: " << std::strerror(errno);
    const std::string access = zeqtest::AccessOf(mTarget);
    ASSERT_TRUE(Export(mTarget)) << mMessage;
    EXPECT_NE(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(access, zeqtest::AccessOf(mTarget));
    EXPECT_EQ("a", zeqtest::AttributeOf(mTarget, "user.a"));
    EXPECT_EQ("", zeqtest::AttributeOf(mTarget, "user.empty"));
    EXPECT_EQ(big, zeqtest::AttributeOf(mTarget, "user.big"));
}

// A file its user may not write is refused ("Permission denied"), as opening
// it would be, and left as it was.
TEST_P(WriterTarget, AWriteProtectedFileIsRefused) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0444));
    fs::permissions(mDir.Path(), fs::perms::all);
    fs::permissions(mOut, fs::perms::all);
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mOut.string(), [&]() -> std::string {
        if (Export(mTarget)) return "written";
        if (mMessage.find("\"" + mTarget + "\": Permission denied") == std::string::npos)
            return "the message: " + mMessage;
        return "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut.string());
    EXPECT_EQ("", *answer);
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());
}

// A complete file that cannot take the name (another user's file in a sticky
// folder) fails with the system's reason, not as a full disk, and the file
// stays as it was.
TEST_P(WriterTarget, ARefusedRenameGivesTheSystemsReason) {
    ZEQ_SKIP_UNLESS_ROOT("a file of another user");
    BuildScene();
    WriteFile(mTarget, kPrevious);
    ASSERT_EQ(0, ::chmod(mTarget.c_str(), 0666));
    fs::permissions(mDir.Path(), fs::perms::all);
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 01777));
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mOut.string(), [&]() -> std::string {
        KZeqExporter exporter(mManager);
        if (Export(mTarget, false, &exporter)) return "written";
        const int reason = exporter.GetError().GetLastSystemError();
        if (reason != EPERM) return "the system error " + std::to_string(reason) + ", " + exporter.GetLastErrorString();
        if (std::string(exporter.GetLastErrorString()) == "Out of disk space") return "said to be a full disk";
        if (exporter.GetLastErrorID() != KZeqExporter::eFileNotCreated)
            return "the error " + std::to_string(exporter.GetLastErrorID()) + ", " + exporter.GetLastErrorString();
        // The format writers' messages say it too (the field file has only its error).
        const bool zeq = std::string(GetParam().mName).rfind("ZEQ", 0) == 0;
        if (!zeq && mMessage.find("\"" + mTarget + "\": Operation not permitted") == std::string::npos)
            return "the message: " + mMessage;
        return "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut.string());
    EXPECT_EQ("", *answer);
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    for (const std::string& name : OutEntries()) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

// Another user who may list the output folder, trying each temporary the
// moment it takes its name, opens none while root replaces its private file,
// the OBJ writer's private library and new texture copies with it, and not the
// field file's named ones where the file system makes no unnamed ones; not
// even under a umask of 000.
TEST_P(WriterTarget, NoOtherUserOpensATemporary) {
    constexpr int kRounds = 2;
    BuildScene();
    fs::permissions(mOut, fs::perms(0755));
    WriteFile(mTarget, kPrevious);
    const std::string library = (mOut / "kept.mtl").string();
    WriteFile(library, "private materials\n");
    for (const std::string& path : {mTarget, library}) ASSERT_EQ(0, ::chmod(path.c_str(), 0600));
    // As on a file system without unnamed files, for the field file's writers.
    struct Named {
        Named() { zeqdetail::gFileSystemLimits.mNoUnnamedFiles = true; }
        ~Named() { zeqdetail::gFileSystemLimits.mNoUnnamedFiles = false; }
    } named;
    const zeqtest::OtherUserOpensTemporaries other(mOut.string());
    if (!other.Started()) GTEST_SKIP() << zeqtest::NoOtherUser();
    bool written = true;
    for (const mode_t mask : {022, 0}) {
        const mode_t saved = ::umask(mask);
        for (int i = 0; i < kRounds; ++i) {
            written = Export(mTarget) && written;
            // Copied again next time.
            fs::remove(mOut / "wood.png");
        }
        ::umask(saved);
    }
    EXPECT_TRUE(written) << mMessage;
    EXPECT_EQ(2 * kRounds, other.NamedWith(mTarget + ".tmp"));
    if (std::string(GetParam().mName) == "OBJ") {
        EXPECT_EQ(2 * kRounds, other.NamedWith(library + ".tmp"));
        EXPECT_EQ(2 * kRounds, other.NamedWith((mOut / "wood.png.tmp").string()));
    }
    EXPECT_EQ(std::vector<std::string>{}, other.Opened());
    struct stat st {};
    ASSERT_EQ(0, ::stat(mTarget.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
}

// Another user of a folder everybody may write, without the sticky bit (a
// group's shared folder), swaps each temporary of the export for a symbolic
// link to a private file of root's elsewhere the moment it takes its name,
// the field file's unnamed ones too: nothing is written through the link, and
// the export fails, saying the temporary no longer holds what was written.
TEST_P(WriterTarget, ATemporarySwappedForALinkWritesNothingThroughIt) {
    constexpr int kRounds = 4;
    ZEQ_SKIP_UNLESS_ROOT("root's file and another user");
    BuildScene();
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 0777));
    const std::string secret = (mDir.Path() / "secret").string();
    const std::string kSecret = "root's own\n";
    WriteFile(secret, kSecret);
    ASSERT_EQ(0, ::chmod(secret.c_str(), 0600));
    zeqtest::OtherUserAct swapper([&](const std::string& temporary) {
        struct stat st {};
        return ::lstat(temporary.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(temporary.c_str()) == 0 &&
               ::symlink(secret.c_str(), temporary.c_str()) == 0;
    });
    if (!swapper.Started()) GTEST_SKIP() << "no other user to swap the temporaries";
    // The output folder's temporaries only (an AMC row writes its skeleton elsewhere first).
    std::vector<std::string> swapped;
    int named = 0;
    const zeqtest::AtTemporaryNamed seam([&](const std::string& temporary) {
        if (temporary.rfind(mOut.string() + "/", 0) != 0) return;
        ++named;
        if (swapper.ActOn(temporary)) swapped.push_back(temporary);
    });
    int mainSwaps = 0;
    for (int i = 0; i < kRounds; ++i) {
        // The field file's writers name an unnamed temporary just before it takes
        // the file's name; where the file system makes none, at once.
        zeqdetail::gFileSystemLimits.mNoUnnamedFiles = i % 2 == 1;
        // Each round from a plain file: the links a swap left go.
        for (const auto& entry : fs::directory_iterator(mOut)) fs::remove(entry.path());
        WriteFile(mTarget, kPrevious);
        swapped.clear();
        KZeqExporter exporter(mManager);
        const bool written = Export(mTarget, false, &exporter);
        zeqdetail::gFileSystemLimits.mNoUnnamedFiles = false;
        EXPECT_FALSE(written) << "round " << i;
        const std::string reason = mMessage + exporter.GetLastErrorString();
        EXPECT_TRUE(std::any_of(swapped.begin(), swapped.end(), [&](const std::string& temporary) {
            return reason.find("\"" + temporary + "\" no longer holds the content written there") != std::string::npos;
        })) << "round " << i << ": " << reason;
        EXPECT_EQ(kPrevious, ReadFile(mTarget)) << "round " << i;
        for (const std::string& temporary : swapped) {
            EXPECT_TRUE(fs::is_symlink(temporary)) << "the other user's link was removed: " << temporary;
            mainSwaps += temporary.rfind(mTarget + ".tmp", 0) == 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(kSecret, ReadFile(secret)) << "written through a link";
    EXPECT_EQ(named, swapper.Acts()) << "every temporary named was swapped";
    EXPECT_EQ(kRounds, mainSwaps) << "one temporary of the file itself each export";
}

INSTANTIATE_TEST_SUITE_P(Rows, WriterTarget, testing::ValuesIn(zeqwritertest::kExportRows), ExportRowName);

// The OBJ writer's side files follow the rule too: its material file through
// a link, and neither a material file nor a texture copy into a pipe (the
// export goes on without them and says why).
TEST(ObjSideFiles, FollowLinksAndLeavePipes) {
    ZeqRegisterFormats();
    zeqtest::TempDir dir;
    const fs::path images = dir.Path() / "images", out = dir.Path() / "out";
    fs::create_directories(images);
    fs::create_directories(out);
    WriteFile(images / "wood.png", "wood texels");
    auto exportTo = [&](std::string& message) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        KZeqNode* node = manager.CreateKZeqNode("Box");
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->InitControlPoints(3);
        for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i, i & 1, 0, 1);
        mesh->BeginPolygon();
        for (int index : {0, 1, 2}) mesh->AddPolygon(index);
        mesh->AddMaterial(manager.CreateKZeqMaterial("paint"));
        KZeqTexture* texture = manager.CreateKZeqTexture("wood");
        texture->SetFileName((images / "wood.png").c_str());
        mesh->AddTexture(texture);
        node->SetNodeAttribute(mesh);
        scene->GetRootNode()->AddChild(node);
        KZeqExporter exporter(manager);
        exporter.Initialize((out / "box.obj").c_str());
        exporter.SetFileFormat(KZeqExporter::eVONEX_OBJ);
        KStreamOptions* options = exporter.GetExportOptions();
        const bool written = options && exporter.Export(*scene, options);
        exporter.ReleaseExportOptions(options);
        KString text;
        exporter.GetMessage(text);
        message = text.Buffer();
        return written;
    };
    const fs::path shared = dir.Path() / "shared.mtl";
    WriteFile(shared.string(), "old materials");
    fs::create_symlink(shared, out / "box.mtl");
    std::string message;
    ASSERT_TRUE(exportTo(message)) << message;
    EXPECT_TRUE(fs::is_symlink(out / "box.mtl"));
    EXPECT_NE(std::string::npos, ReadFile(shared.string()).find("newmtl")) << ReadFile(shared.string());

    fs::remove(out / "box.mtl");
    fs::remove(out / "wood.png");
    ASSERT_EQ(0, ::mkfifo((out / "box.mtl").c_str(), 0600));
    ASSERT_EQ(0, ::mkfifo((out / "wood.png").c_str(), 0600));
    ASSERT_TRUE(exportTo(message)) << message;
    EXPECT_TRUE(fs::is_fifo(out / "box.mtl") && fs::is_fifo(out / "wood.png"));
    EXPECT_NE(std::string::npos, message.find("a named pipe, not a regular file")) << message;
    EXPECT_EQ(std::string::npos, ReadFile(out / "box.obj").find("mtllib"));
}

// The texture copies of the OBJ and 3DS rows: one that cannot be made says
// why, with the system's reason, and the export goes on without it, whether
// the image cannot be read, the copy cannot be written or it cannot take its name.
class TextureCopies : public WriterReplacement {
protected:
    // The box with its texture on the whole mesh, as the 3DS writer maps it too.
    void SetUp() override {
        WriterReplacement::SetUp();
        mSpec.mTextureOnWholeMesh = true;
        BuildScene();
    }
    KZeqTexture* Texture() { return mScene->GetRootNode()->GetChild(0)->GetMesh()->GetTexture(0); }
    std::string CopyFailure(const std::string& reason) const {
        return "Error writing texture file \"" + (mOut / "wood.png").string() + "\": " + reason + ".\n";
    }
};

// Another user's file of the texture's name in a sticky folder, which that
// user may write but not read: the copy is made and cannot take the name.
TEST_P(TextureCopies, ACopyThatCannotTakeItsNameIsLeftOut) {
    ZEQ_SKIP_UNLESS_ROOT("a file of another user");
    const std::string image = (mOut / "wood.png").string();
    WriteFile(image, "root's");
    ASSERT_EQ(0, ::chmod(image.c_str(), 0222));
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 01777));
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(mOut.string(), [&]() -> std::string {
        if (!Export(mTarget)) return "not written: " + mMessage;
        if (mMessage.find(CopyFailure("Operation not permitted")) == std::string::npos) return "the message: " + mMessage;
        return "";
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut.string());
    EXPECT_EQ("", *answer);
    EXPECT_FALSE(ReadFile(mTarget).empty());
    EXPECT_EQ("root's", ReadFile(image));
    for (const std::string& name : OutEntries()) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

// A copy gets no more access than its source: a private image stays private beside the file
// written, where a new file would otherwise get what the umask allows. Under an access list,
// the group gets what the image's owning group may do, not the mask its mode shows: an image
// only a named user may read beside its owner ("g::---,m::r--", shown 0640) is copied 0600 into
// a setgid folder of its group.
TEST_P(TextureCopies, ACopyGetsNoMoreAccessThanItsSource) {
    const mode_t mask = ::umask(022);
    const std::string image = (mImages / "wood.png").string(), copy = (mOut / "wood.png").string();
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 02755));
    // 0600, then that list.
    constexpr mode_t kListed = 0;
    for (const mode_t source : {mode_t{0600}, mode_t{0640}, mode_t{0604}, mode_t{0644}, mode_t{0666}, kListed}) {
        SCOPED_TRACE(source);
        fs::remove(copy);
        ASSERT_EQ(0, ::chmod(image.c_str(), source != kListed ? source : 0600));
        if (source == kListed && !zeqtest::SetAcl(image, "u::rw-,u:4242:r--,g::---,m::r--,o::---")) {
            ::umask(mask);
            GTEST_SKIP() << "no access control lists here (the modes were checked)";
        }
        ASSERT_TRUE(Export(mTarget)) << mMessage;
        struct stat st;
        ASSERT_EQ(0, ::stat(copy.c_str(), &st));
        EXPECT_EQ(source != kListed ? source & 0644 : 0600, st.st_mode & 07777);
    }
    ::umask(mask);
}

// The disk fills while the image is copied; the file and its library fit.
TEST_P(TextureCopies, ACopyOnAFullDiskIsLeftOut) {
    WriteFile((mImages / "wood.png").string(), std::string(200000, 'w'));
    const std::optional<std::string> answer = zeqtest::OnAFullDevice(mOut.string(), [&]() -> std::string {
        const std::string filler = (mOut / "filler").string();
        if (::truncate(filler.c_str(), static_cast<off_t>(fs::file_size(filler)) - 4 * 4096) != 0) return "no room made";
        if (!Export(mTarget)) return "not written: " + mMessage;
        if (mMessage.find(CopyFailure("No space left on device")) == std::string::npos) return "the message: " + mMessage;
        if (fs::exists(mOut / "wood.png")) return "a partial copy was left";
        for (const std::string& name : OutEntries())
            if (name.find(".tmp") != std::string::npos) return "a temporary was left: " + name;
        return ReadFile(mTarget).empty() ? "nothing written" : "";
    });
    if (!answer) GTEST_SKIP() << "no memory file system to fill here";
    EXPECT_EQ("", *answer);
}

// An image that cannot be read: the reason follows its name.
TEST_P(TextureCopies, AnImageThatCannotBeReadSaysWhy) {
    const std::string pipe = (mImages / "pipe.png").string(), folder = (mImages / "folder.png").string();
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0644));
    fs::create_directories(folder);
    const auto located = [&](const std::string& image, const std::string& reason) -> std::string {
        Texture()->SetFileName(image.c_str());
        if (!Export(mTarget)) return "not written: " + mMessage;
        if (mMessage.find("Unable to locate texture file \"" + image + "\": " + reason + ".\n") == std::string::npos)
            return "the message: " + mMessage;
        return "";
    };
    EXPECT_EQ("", located(pipe, "\"" + pipe + "\" is not read: it is a named pipe, not a regular file"));
    EXPECT_EQ("", located(folder, "Is a directory"));
    EXPECT_EQ("", located((mImages / "none.png").string(), "No such file or directory"));
    // An image no user but root may read, exported by a user whom access checks bind: this one,
    // or nobody where this is root.
    const std::string secret = (mImages / "secret.png").string();
    WriteFile(secret, "root's");
    ASSERT_EQ(0, ::chmod(secret.c_str(), 0200));
    // The other user's export makes its own files.
    for (const auto& entry : fs::directory_iterator(mOut)) fs::remove(entry.path());
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 0777));
    const std::optional<std::string> answer =
        zeqtest::AsUnprivileged(mOut.string(), [&] { return located(secret, "Permission denied"); });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut.string());
    EXPECT_EQ("", *answer);
}

INSTANTIATE_TEST_SUITE_P(Rows, TextureCopies, testing::ValuesIn(zeqwritertest::ExportRowsNamed({"OBJ", "3DS"})),
                         ExportRowName);

// The skeleton rows refuse a scene whose selected root is not alone below the
// scene's root ("Can not find root node."), saying so in the error and the
// message rather than as a full disk.
class WriterRootRefusal : public WriterReplacement {};

TEST_P(WriterRootRefusal, ASceneWithoutASingleRootLeavesTheFile) {
    BuildScene();
    mScene->GetRootNode()->AddChild(mManager.CreateKZeqNode("Second"));
    WriteFile(mTarget, kPrevious);
    KZeqExporter exporter(mManager);
    EXPECT_FALSE(Export(mTarget, false, &exporter));
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());
    const std::string text = exporter.GetLastErrorString();
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, exporter.GetLastErrorID());
    EXPECT_NE(std::string::npos, text.find("root node.")) << text;
    EXPECT_EQ(0, exporter.GetError().GetLastSystemError());
    EXPECT_EQ(text, mMessage);
}

INSTANTIATE_TEST_SUITE_P(SkeletonRows, WriterRootRefusal, testing::ValuesIn(ExportRowsWhere(NeedsRoot)), ExportRowName);

// A motion row's write that fails says why: the system's error number, and its
// text in the message after the file's name.
class MotionWriteFailure : public WriterReplacement {};

TEST_P(MotionWriteFailure, AWriteRefusedForItsSizeGivesTheSystemsReason) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    KZeqExporter exporter(mManager);
    mWriteLimit = 64;
    EXPECT_FALSE(Export(mTarget, false, &exporter));
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, exporter.GetLastErrorID());
    EXPECT_EQ(EFBIG, exporter.GetError().GetLastSystemError());
    EXPECT_NE(std::string::npos, mMessage.find("Error writing \"" + mTarget + "\": File too large")) << mMessage;
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
}

TEST_P(MotionWriteFailure, AFullDeviceSaysSo) {
    BuildScene();
    const std::optional<std::string> answer = zeqtest::OnAFullDevice(mOut.string(), [&]() -> std::string {
        KZeqExporter exporter(mManager);
        if (Export(mTarget, false, &exporter)) return "written";
        const int reason = exporter.GetError().GetLastSystemError();
        if (exporter.GetLastErrorID() != KZeqIO::eOutOfDiskSpace || reason != ENOSPC)
            return std::string(exporter.GetLastErrorString()) + ", system error " + std::to_string(reason);
        if (mMessage.find("Error writing \"" + mTarget + "\": No space left on device") == std::string::npos)
            return "the message: " + mMessage;
        return "";
    });
    if (!answer) GTEST_SKIP() << "no memory file system to fill here";
    EXPECT_EQ("", *answer);
}

INSTANTIATE_TEST_SUITE_P(MotionRows, MotionWriteFailure,
                         testing::ValuesIn(ExportRowsWhere([](const ExportRow& row) { return row.mSkeleton; })),
                         ExportRowName);

}  // namespace
}  // namespace zeqsdk_400
