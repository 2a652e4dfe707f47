// Why a test skips for want of a user, said one way by every test. A test that needs another
// user's files, or needs to act as another user, needs root: as root that user is kUnprivileged
// (nobody); run as anyone else, there is nobody else to be. A test of what an access check
// refuses needs a user other than root, whom the checks bind.
//
//     ZEQ_SKIP_UNLESS_ROOT("a file of another user");
//     if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(folder);
#ifndef ZEQ_FILEIO_TESTS_TEST_USERS_H
#define ZEQ_FILEIO_TESTS_TEST_USERS_H

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/scratch_root.h"

namespace zeqtest {

// The user a test running as root becomes to be refused what others are: `nobody`.
inline constexpr uid_t kUnprivileged = kTestUser;

inline bool IsRoot() { return ::geteuid() == 0; }

// The name the system knows user by (a refusal names a link's owner so), else "user <number>".
inline std::string UserName(uid_t user) {
    char buffer[16384];
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer, sizeof(buffer), &found) == 0 && found && *found->pw_name)
        return found->pw_name;
    return "user " + std::to_string(user);
}

// The name the system knows group by, else "group <number>".
inline std::string GroupName(gid_t group) {
    char buffer[16384];
    struct group entry;
    struct group* found = nullptr;
    if (::getgrgid_r(group, &entry, buffer, sizeof(buffer), &found) == 0 && found && *found->gr_name)
        return found->gr_name;
    return "group " + std::to_string(group);
}

// How a refusal names a folder (of owner, mode and group) where another user may put a name: by
// others, or by its group where its group's write alone makes it so for this user (for root, every
// group's; for another user, one the system does not confirm as the folder owner's alone).
inline std::string FolderOthersWrite(uid_t owner, mode_t mode, gid_t group) {
    if (owner == ::geteuid() && (mode & S_IWOTH) == 0 && (mode & S_IWGRP) != 0)
        return "a folder its group (" + GroupName(group) + ") may write, a group that may hold other users";
    return "a folder others may write";
}

// What a write nobody named (a log, settings, a write-back, an extraction) says of the link of
// another user's it does not follow.
inline std::string OthersLinkRefusal(const std::string& link, uid_t owner = kUnprivileged) {
    return "the symbolic link \"" + link + "\" is another user's (" + UserName(owner) +
           "), in a folder others may write, and is not written through: Permission denied";
}

// What a write nobody named says of a link that is not another user's but that another user may have
// put under its name: one with more than one name (a hard link bears the owner of the link it names),
// or one in a folder another user may write that is not sticky (where they may rename any link).
// folder: how the folder is named (FolderOthersWrite).
inline std::string HardLinkedLinkRefusal(const std::string& link,
                                         const std::string& folder = "a folder others may write") {
    return "the symbolic link \"" + link + "\" has more than one name, in " + folder +
           ", and is not written through: Permission denied";
}
inline std::string RenamableLinkRefusal(const std::string& link,
                                        const std::string& folder = "a folder others may write") {
    if (folder != "a folder others may write")
        return "the symbolic link \"" + link + "\" is in " + folder +
               ", that is not sticky, where they may rename a link to its name, and is not written through: "
               "Permission denied";
    return "the symbolic link \"" + link +
           "\" is in a folder others may write that is not sticky (or is another user's), where they may rename a "
           "link to its name, and is not written through: Permission denied";
}

inline constexpr gid_t kNoGroup = static_cast<gid_t>(-1);

// A group this user may give a file or folder whose write counts as another user's, whatever the
// user database holds: kUnprivileged's as root (that user's primary group), else one of this user's
// other than its primary one (never its owner's alone); kNoGroup where it is in none.
inline gid_t GroupOthersAreIn() {
    if (IsRoot()) return kUnprivileged;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    for (const gid_t group : groups)
        if (group != ::getegid()) return group;
    return kNoGroup;
}

inline std::string NeedsRoot(const std::string& what) {
    return "needs root, for " + what + " (run as user " + std::to_string(::geteuid()) + ")";
}

inline std::string NeedsNonRoot(const std::string& what) {
    return "needs a user other than root, for " + what + " (root passes every access check)";
}

// Why a process of another user (zeqtest::OtherUserAct) did not start.
inline std::string NoOtherUser() {
    return IsRoot() ? "cannot start a process as user " + std::to_string(kUnprivileged) + " (nobody)"
                    : NeedsRoot("a process of another user");
}

// Why zeqtest::AsUnprivileged answered nothing for directory.
inline std::string NoUnprivilegedUser(const std::string& directory) {
    return IsRoot() ? "cannot become user " + std::to_string(kUnprivileged) + " (nobody) with access to " + directory
                    : "cannot write " + directory;
}

}  // namespace zeqtest

#define ZEQ_SKIP_UNLESS_ROOT(what)                                         \
    do {                                                                   \
        if (!::zeqtest::IsRoot()) GTEST_SKIP() << ::zeqtest::NeedsRoot(what); \
    } while (0)

#define ZEQ_SKIP_IF_ROOT(what)                                               \
    do {                                                                     \
        if (::zeqtest::IsRoot()) GTEST_SKIP() << ::zeqtest::NeedsNonRoot(what); \
    } while (0)

#endif
