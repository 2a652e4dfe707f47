// Every import row reads regular files only: a named pipe, a device, a socket or
// a folder, or a link to one, is refused at once (a pipe nobody writes would hold
// a plain open for ever) with "File not opened" and a text naming the path and
// what it is; a folder keeps the system's reason instead. What the system refuses
// (a folder, a missing file, one the user may not read) is said with the path and
// the system's reason, for SDK callers as for the plug-in.

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kpipewatchdog.h"
#include "fileio/tests/kunixsocket.h"
#include "formats/kzeqformats.h"
#include "object/kstreamoptions.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;

struct ReaderRow {
    const char* mName;
    int mRow;
    const char* mExtension;
};
void PrintTo(const ReaderRow& row, std::ostream* os) { *os << row.mName; }

const ReaderRow kRows[] = {
    {"ZEQAscii", KZeqImporter::eZEQ_ASCII, "zeq"},
    {"ZEQ", KZeqImporter::eZEQ_BINARY, "zeq"},
    {"ZEQEncrypted", KZeqImporter::eZEQ_ENCRYPTED, "zeq"},
    {"BVH", KZeqImporter::eBIOVISION_BVH, "bvh"},
    {"HTR", KZeqImporter::eMOTION_ANALYSIS_HTR, "htr"},
    {"TRC", KZeqImporter::eMOTION_ANALYSIS_TRC, "trc"},
    {"ASF", KZeqImporter::eACCLAIM_ASF, "asf"},
    {"AMC", KZeqImporter::eACCLAIM_AMC, "amc"},
    {"C3D", KZeqImporter::eVICON_C3D, "c3d"},
    {"AOA", KZeqImporter::eADAPTIVE_OPTICS_AOA, "aoa"},
    {"MCD", KZeqImporter::eSUPERFLUO_MCD, "mcd"},
    {"VPM", KZeqImporter::ePUPPETEER_VPM, "vpm"},
    {"MOV", KZeqImporter::eCORVANTIS_MOV, "mov"},
    {"BRD", KZeqImporter::eASCENSION_BRD, "brd"},
    {"DXF", KZeqImporter::eAUTOCAD_DXF, "dxf"},
    {"3DS", KZeqImporter::e3D_STUDIO_3DS, "3ds"},
    {"OBJ", KZeqImporter::eVONEX_OBJ, "obj"},
};

class ReaderRefusal : public testing::TestWithParam<ReaderRow> {
protected:
    ReaderRefusal() { ZeqRegisterFormats(); }

    struct Outcome {
        bool mOpened;
        int mError;
        std::string mText;
        int mSystemError;
    };

    // The file opened through the row as a caller opens it: Initialize, then the options.
    Outcome Open(const std::string& path) {
        KZeqImporter importer(mManager);
        importer.SetFileFormat(GetParam().mRow);
        bool opened = importer.Initialize(path.c_str());
        if (opened) {
            KStreamOptions* options = importer.GetImportOptions();
            opened = options != nullptr;
            if (options) importer.ReleaseImportOptions(options);
        }
        return {opened, importer.GetLastErrorID(), importer.GetLastErrorString(),
                importer.GetError().GetLastSystemError()};
    }

    std::string Named(const char* stem) const { return mDir / (std::string(stem) + "." + GetParam().mExtension); }

    KZeqSdkManager mManager;
    zeqtest::TempDir mDir;
};

TEST_P(ReaderRefusal, RefusesWhatIsNoRegularFileAtOnce) {
    const std::string pipe = Named("pipe"), toPipe = Named("to-pipe"), toDevice = Named("to-device");
    const std::string socket = Named("socket"), toSocket = Named("to-socket");
    const std::string folder = Named("folder"), empty = Named("empty");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    const zeqtest::BoundUnixSocket bound(socket);
    ASSERT_TRUE(bound.IsBound()) << socket;
    fs::create_symlink(pipe, toPipe);
    fs::create_symlink("/dev/null", toDevice);
    fs::create_symlink(socket, toSocket);
    fs::create_directory(folder);
    zeqtest::WriteFile(empty, "");
    const std::string real = fs::canonical(pipe).string();
    const struct {
        std::string mPath;
        std::string mText;
    } refused[] = {
        {pipe, "\"" + pipe + "\" is not read: it is a named pipe, not a regular file"},
        {toPipe, "\"" + toPipe + "\" is not read: it links to \"" + real + "\", a named pipe, not a regular file"},
        {toDevice, "\"" + toDevice + "\" is not read: it links to \"/dev/null\", a character device, not a regular file"},
        {socket, "\"" + socket + "\" is not read: it is a socket, not a regular file"},
        {toSocket, "\"" + toSocket + "\" is not read: it links to \"" + fs::canonical(socket).string() +
                       "\", a socket, not a regular file"},
    };
    for (const auto& c : refused) {
        Outcome outcome{};
        EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] { outcome = Open(c.mPath); })) << c.mPath;
        EXPECT_FALSE(outcome.mOpened) << c.mPath;
        EXPECT_EQ(KZeqIO::eFileNotOpened, outcome.mError) << c.mPath;
        EXPECT_EQ(c.mText, outcome.mText);
        EXPECT_EQ(0, outcome.mSystemError) << c.mPath;
    }
    const Outcome inFolder = Open(folder);
    EXPECT_FALSE(inFolder.mOpened);
    EXPECT_EQ(KZeqIO::eFileNotOpened, inFolder.mError);
    EXPECT_EQ("File not opened: " + folder + " (Is a directory)", inFolder.mText);
    EXPECT_EQ(EISDIR, inFolder.mSystemError);
    // A regular file opens; what it holds is the format's to judge.
    EXPECT_NE(KZeqIO::eFileNotOpened, Open(empty).mError);
    EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST_P(ReaderRefusal, WhatTheSystemRefusesIsSaidWithThePathAndTheReason) {
    zeqtest::TempDir shared(zeqtest::TempDir::kOtherUsers);
    const std::string folder = shared / (std::string("folder.") + GetParam().mExtension);
    const std::string missing = shared / (std::string("missing.") + GetParam().mExtension);
    const std::string locked = shared / (std::string("locked.") + GetParam().mExtension);
    const std::string underFile = locked + "/x." + GetParam().mExtension;
    fs::create_directory(folder);
    zeqtest::WriteFile(locked, "what no user but root may read\n");
    ASSERT_EQ(0, ::chmod(locked.c_str(), 0200));
    const struct {
        std::string mPath;
        int mReason;
    } cases[] = {{folder, EISDIR}, {missing, ENOENT}, {underFile, ENOTDIR}};
    for (const auto& c : cases) {
        const Outcome outcome = Open(c.mPath);
        EXPECT_FALSE(outcome.mOpened) << c.mPath;
        EXPECT_EQ(KZeqIO::eFileNotOpened, outcome.mError) << c.mPath;
        EXPECT_EQ("File not opened: " + c.mPath + " (" + std::strerror(c.mReason) + ")", outcome.mText);
        EXPECT_EQ(c.mReason, outcome.mSystemError) << c.mPath;
    }
    // Read by a user whom access checks bind: this one, or nobody where this is root.
    fs::permissions(shared.Path(), fs::perms::all);
    const std::optional<std::string> answer = zeqtest::AsUnprivileged(shared.Path().string(), [&]() -> std::string {
        const Outcome outcome = Open(locked);
        const std::string expected = "File not opened: " + locked + " (Permission denied)";
        if (outcome.mOpened || outcome.mError != KZeqIO::eFileNotOpened || outcome.mSystemError != EACCES)
            return "error " + std::to_string(outcome.mError) + ", reason " + std::to_string(outcome.mSystemError);
        return outcome.mText == expected ? "" : outcome.mText;
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(shared.Path().string());
    EXPECT_EQ("", *answer);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReaderRefusal, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<ReaderRow>& info) { return std::string(info.param.mName); });

}  // namespace
}  // namespace zeqsdk_400
