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
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "formats/tests/kzeqwriterrows.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;
using zeqtest::AccessOf;
using zeqtest::AttributeOf;
using zeqtest::ReadFile;
using zeqtest::SetAcl;
using zeqtest::WriteFile;
using zeqwritertest::kPrevious;

constexpr const char kList[] = "u::rw-,u:4242:r--,g::---,m::r--,o::---";
constexpr const char kDefaultList[] = "u::rwx,u:4242:rwx,g::r-x,m::rwx,o::---";

class WriterAcl : public zeqwritertest::ExportRowTest {
protected:
    void SetUp() override {
        fs::create_directories(mOut);
        // Another user writes here too.
        for (const fs::path& folder : {mDir.Path(), mOut}) fs::permissions(folder, fs::perms::all);
        BuildScene({});
    }

    // Exports through the row; the exporter's message in mMessage, its system error in mSystemError.
    bool Export() { return ExportRowTest::Export(mTarget); }

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
    // what failed, "" when nothing did, nothing when the other user could not run it.
    std::optional<std::string> AsEither(const std::function<std::string()>& check) {
        const std::string own = check();
        if (!own.empty()) return "as this user: " + own;
        const std::optional<std::string> other = zeqtest::AsUnprivileged(mOut.string(), check);
        if (!other) return std::nullopt;
        return other->empty() ? "" : "as another user: " + *other;
    }
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
    const std::optional<std::string> failed = AsEither([&]() -> std::string {
        if (!Export()) return "not written: " + mMessage;
        for (const std::string& file : Files()) {
            if (ReadFile(file) == kPrevious) return file + " not replaced";
            if (AccessOf(file) != access) return file + ": " + AccessOf(file);
            if (AttributeOf(file, "user.origin") != "scanner 7") return file + ": its user attribute was lost";
        }
        return "";
    });
    if (!failed) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut.string());
    EXPECT_EQ("", *failed);
}

// What touch would make, at a umask the default list overrides.
TEST_P(WriterAcl, ANewFileGetsWhatItsFoldersDefaultListGives) {
    if (!SetAcl(mOut.string(), kDefaultList, ACL_TYPE_DEFAULT)) GTEST_SKIP() << "no access control lists here";
    const std::optional<std::string> failed = AsEither([&]() -> std::string {
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
    });
    if (!failed) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut.string());
    EXPECT_EQ("", *failed);
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

INSTANTIATE_TEST_SUITE_P(Rows, WriterAcl,
                         testing::ValuesIn(zeqwritertest::ExportRowsNamed({"ZEQ", "BVH", "DXF", "OBJ", "3DS"})),
                         zeqwritertest::ExportRowName);

}  // namespace
}  // namespace zeqsdk_400
