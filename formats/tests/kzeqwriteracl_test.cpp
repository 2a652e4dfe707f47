// Every kind of writer (the field file's rows, a motion row, DXF, OBJ with its
// material library, 3DS) gives a file it replaces the access control list and
// the user attributes it had, and a new file what its folder's default list
// gives a file made there; where the list cannot be given, the export fails and
// the file stays as it was. As root and as another user.

#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;
using zeqtest::AccessOf;
using zeqtest::AttributeOf;
using zeqtest::ReadFile;
using zeqtest::SetAcl;
using zeqtest::WriteFile;

struct AclRow {
    const char* mName;
    int mRow;
    const char* mExtension;
    // A skeleton with motion, else a mesh with a material.
    bool mSkeleton;
};

const AclRow kRows[] = {
    {"ZEQ", KZeqExporter::eZEQ_BINARY, "zeq", false},
    {"BVH", KZeqExporter::eBIOVISION_BVH, "bvh", true},
    {"DXF", KZeqExporter::eAUTOCAD_DXF, "dxf", false},
    {"OBJ", KZeqExporter::eVONEX_OBJ, "obj", false},
    {"3DS", KZeqExporter::e3D_STUDIO_3DS, "3ds", false},
};

// What ctest shows of the parameter (not its raw bytes).
void PrintTo(const AclRow& row, std::ostream* os) { *os << row.mName; }

constexpr const char kPrevious[] = "what the file held before the export\n";
constexpr const char kList[] = "u::rw-,u:4242:r--,g::---,m::r--,o::---";
constexpr const char kDefaultList[] = "u::rwx,u:4242:rwx,g::r-x,m::rwx,o::---";

class WriterAcl : public testing::TestWithParam<AclRow> {
protected:
    WriterAcl() : mScene(mManager.CreateKZeqScene()) { ZeqRegisterFormats(); }

    void SetUp() override {
        fs::create_directories(mOut);
        // Another user writes here too.
        for (const fs::path& folder : {mDir.Path(), mOut}) fs::permissions(folder, fs::perms::all);
        if (GetParam().mSkeleton) {
            zeqmotiontest::ChainSpec spec;
            spec.mFrames = 20;
            zeqmotiontest::MakeAnimatedChain(mManager, *mScene, spec);
            mScene->GetRootNode()->SetSelected(true, true);
            return;
        }
        KZeqNode* node = mManager.CreateKZeqNode("Box");
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i & 1, (i >> 1) & 1, 0, 1);
        mesh->BeginPolygon();
        for (int index : {0, 1, 3, 2}) mesh->AddPolygon(index);
        KZeqMaterial* material = mManager.CreateKZeqMaterial("paint");
        material->SetDiffuse(KZeqColor(1, 0, 0, 1));
        mesh->AddMaterial(material);
        node->SetNodeAttribute(mesh);
        mScene->GetRootNode()->AddChild(node);
    }

    // Exports through the row; the exporter's message in mMessage, its system error in mSystemError.
    bool Export() {
        KZeqExporter exporter(mManager);
        exporter.Initialize(mTarget.c_str());
        exporter.SetFileFormat(GetParam().mRow);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options) return false;
        if (options->Is(KStreamOptionsMotion::ClassId)) {
            auto* motion = static_cast<KStreamOptionsMotion*>(options);
            zeqmotiontest::SetRangeFromCurrentTake(*mScene, *motion, 30.0);
            if (motion->GetFrameCount() <= 0) motion->SetFrameCount(10);
        }
        const bool written = exporter.Export(*mScene, options);
        exporter.ReleaseExportOptions(options);
        KString message;
        exporter.GetMessage(message);
        mMessage = message.Buffer();
        mSystemError = exporter.GetError().GetLastSystemError();
        return written;
    }

    // The files an export writes: the OBJ writer's material library besides its file.
    std::vector<std::string> Files() const {
        std::vector<std::string> files = {mTarget};
        if (std::string(GetParam().mName) == "OBJ") files.push_back((mOut / "kept.mtl").string());
        return files;
    }

    bool NoTemporaryLeft() const {
        for (const auto& entry : fs::directory_iterator(mOut))
            if (entry.path().filename().string().find(".tmp") != std::string::npos) return false;
        return true;
    }

    // Runs check as this process, then as another user (where this one is root); answers
    // what failed, "" when nothing did.
    std::string AsEither(const std::function<std::string()>& check) {
        const std::string own = check();
        if (!own.empty()) return "as this user: " + own;
        const std::optional<std::string> other = zeqtest::AsUnprivileged(mOut.string(), check);
        if (!other) return "";
        return other->empty() ? "" : "as another user: " + *other;
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene;
    std::string mMessage;
    int mSystemError = 0;
    zeqtest::TempDir mDir{zeqtest::TempDir::kOtherUsers};
    fs::path mOut = mDir.Path() / "out";
    std::string mTarget = (mOut / (std::string("kept.") + GetParam().mExtension)).string();
};

// The list keeps the owning group out of a file the mode alone would let it read.
TEST_P(WriterAcl, AReplacedFileKeepsItsListAndUserAttributes) {
    for (const std::string& file : Files()) {
        WriteFile(file, kPrevious);
        if (!SetAcl(file, kList)) GTEST_SKIP() << "no access control lists here";
        ASSERT_TRUE(zeqtest::SetAttribute(file, "user.origin", "scanner 7"));
        if (::geteuid() == 0) {
            ASSERT_EQ(0, ::chown(file.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
        }
    }
    const std::string access = AccessOf(mTarget);
    ASSERT_NE(std::string::npos, access.find("group::---")) << access;
    EXPECT_EQ("", AsEither([&]() -> std::string {
        if (!Export()) return "not written: " + mMessage;
        for (const std::string& file : Files()) {
            if (ReadFile(file) == kPrevious) return file + " not replaced";
            if (AccessOf(file) != access) return file + ": " + AccessOf(file);
            if (AttributeOf(file, "user.origin") != "scanner 7") return file + ": its user attribute was lost";
        }
        return "";
    }));
}

// What touch would make, at a umask the default list overrides.
TEST_P(WriterAcl, ANewFileGetsWhatItsFoldersDefaultListGives) {
    if (!SetAcl(mOut.string(), kDefaultList, ACL_TYPE_DEFAULT)) GTEST_SKIP() << "no access control lists here";
    EXPECT_EQ("", AsEither([&]() -> std::string {
        for (const mode_t mask : {022, 077}) {
            const mode_t saved = ::umask(mask);
            for (const std::string& file : Files()) ::unlink(file.c_str());
            const std::string expected = zeqtest::WhatANewFileGets(mOut.string());
            const bool written = Export();
            ::umask(saved);
            if (!written) return "not written: " + mMessage;
            for (const std::string& file : Files())
                if (AccessOf(file) != expected) return file + ": " + AccessOf(file) + " rather than " + expected;
        }
        return "";
    }));
}

TEST_P(WriterAcl, WhereTheListCannotBeGivenTheExportFailsAndTheFileStays) {
    for (const std::string& file : Files()) {
        WriteFile(file, kPrevious);
        if (!SetAcl(file, kList)) GTEST_SKIP() << "no access control lists here";
    }
    const std::string access = AccessOf(mTarget);
    struct NoListGiven {
        NoListGiven() { zeqdetail::gFileSystemLimits.mNoAclGiven = true; }
        ~NoListGiven() { zeqdetail::gFileSystemLimits.mNoAclGiven = false; }
    } noList;
    EXPECT_FALSE(Export());
    EXPECT_EQ(EOPNOTSUPP, mSystemError) << mMessage;
    EXPECT_NE(std::string::npos, mMessage.find("access control list")) << mMessage;
    for (const std::string& file : Files()) {
        EXPECT_EQ(kPrevious, ReadFile(file)) << file;
        EXPECT_EQ(access, AccessOf(file)) << file;
    }
    EXPECT_TRUE(NoTemporaryLeft());
}

INSTANTIATE_TEST_SUITE_P(Rows, WriterAcl, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<AclRow>& info) { return info.param.mName; });

}  // namespace
}  // namespace zeqsdk_400
