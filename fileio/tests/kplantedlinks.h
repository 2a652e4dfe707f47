#ifndef ZEQ_FILEIO_TESTS_KPLANTEDLINKS_H
#define ZEQ_FILEIO_TESTS_KPLANTEDLINKS_H

// Tests only: what another user of the machine does in a folder both may write.
// They plant a symbolic link (or, where the system lets them, a hard link) to a
// file of root's under a name a writer will write; or, at the fixed point just
// before a temporary is renamed to its file (gReplacementSeams.mBeforeRename),
// they exchange the temporary's name with a link of theirs; or, once a walk has resolved a path through a folder of theirs
// (gReplacementSeams.mResolved), they rename that folder away and put a link of
// theirs under its name. All need a test running as root.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/kfilereplacement.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kotheruseract.h"

namespace zeqtest {

// Root's own file (mode 0600) in a folder only root may enter: what a planted link names.
class RootsSecret {
public:
    explicit RootsSecret(const std::filesystem::path& base)
        : mFolder(base / "private"), mPath((base / "private" / "secret").string()) {
        std::filesystem::create_directories(mFolder);
        ::chmod(mFolder.c_str(), 0700);
        WriteFile(mPath, kText);
        ::chmod(mPath.c_str(), 0600);
    }
    static constexpr const char* kText = "root's own, in a folder of root's alone\n";
    const std::string& Path() const { return mPath; }
    // A name in root's folder that names nothing yet.
    std::string Unmade(const std::string& name) const { return (mFolder / name).string(); }
    // The file is as it was, byte for byte, and still a file.
    bool Intact() const {
        return std::filesystem::is_regular_file(std::filesystem::symlink_status(mPath)) && ReadFile(mPath) == kText;
    }

private:
    std::filesystem::path mFolder;
    std::string mPath;
};

// The group what a test gives owner gets where no group is given: this user's own (its effective
// group, whatever its number) for this user's, else the group numbered as owner (root's; nobody's,
// as root gives it), which that user has as primary group.
inline gid_t GroupOf(uid_t owner) { return owner == ::geteuid() ? ::getegid() : static_cast<gid_t>(owner); }

// A symbolic link at link naming target that belongs to owner, as one that user made would
// (root makes it and gives it away: the rule looks at the link's owner alone).
inline bool MakeLinkOf(uid_t owner, const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0 && ::lchown(link.c_str(), owner, GroupOf(owner)) == 0;
}

// A folder of owner's that everybody may write, with mode (01777: sticky, as /tmp is), of
// GroupOf(owner), or of group where one is given.
inline bool MakeFolderOf(uid_t owner, const std::filesystem::path& folder, mode_t mode = 01777,
                         gid_t group = static_cast<gid_t>(-1)) {
    std::filesystem::create_directories(folder);
    return ::chown(folder.c_str(), owner, group == static_cast<gid_t>(-1) ? GroupOf(owner) : group) == 0 &&
           ::chmod(folder.c_str(), mode) == 0;
}

// Folders without the sticky bit where another user (kUnprivileged) may put a name, each made as
// MakeFolderOf(mOwner, folder, mMode, mGroup): root's that everybody may write, root's that its
// group may write with that user in the group (their own), and one of theirs. A write nobody named
// follows none of their links there.
struct FolderOthersMayWrite {
    const char* mName;
    uid_t mOwner;
    mode_t mMode;
    gid_t mGroup;
};
inline constexpr FolderOthersMayWrite kFoldersOthersMayWrite[] = {
    {"root's folder everybody may write", 0, 0777, 0},
    {"root's folder its group may write, the other user in the group", 0, 0775, kUnprivileged},
    {"the other user's own folder", kUnprivileged, 0755, kUnprivileged},
};

// Everything below folder, in the order listed: what was made there shows.
inline std::vector<std::string> ListedBelow(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) names.push_back(entry.path());
    return names;
}

// Another user (kUnprivileged, of group kUnprivileged), in a process of their own, who
// exchanges two names (renameat2 with RENAME_EXCHANGE), puts a link in a folder's place, or
// plants a link, when asked, and answers once it is done: a test has them act at a fixed
// point, every time, or plant what only their rights let them. Only a test running as root
// has one.
class ExchangingUser {
public:
    ExchangingUser() : mUser(&Act) {}

    bool Ready() const { return mUser.Started(); }
    // Exchanges a and b as that user: 0 once done, else the system's error number.
    int Exchange(const std::string& a, const std::string& b) const { return Ask('x', a, b); }
    // Renames their folder to folder + ".moved" and puts a link of theirs to target under its
    // name, as that user: 0 once done, else the system's error number.
    int PutLinkInPlaceOf(const std::string& folder, const std::string& target) const {
        return Ask('l', folder, target);
    }
    // Makes a symbolic link of theirs at link naming target: 0 once done, else the system's error number.
    int PlantLink(const std::string& target, const std::string& link) const { return Ask('s', target, link); }
    // Makes a hard link at link to the file target as that user, where the system lets them (a
    // file they may write, or any where the machine leaves its rule for hard links off): 0 once
    // done, else the system's error number.
    int PlantHardLink(const std::string& target, const std::string& link) const { return Ask('h', target, link); }

private:
    // A request is the act's letter and its two names, each ended by a NUL.
    static bool Act(const std::string& request) {
        const std::size_t second = request.find('\0', 1);
        if (request.size() < 2 || second == std::string::npos) return false;
        const std::string a = request.substr(1, second - 1);
        const std::string b = request.substr(second + 1, request.size() - second - 2);
        if (request[0] == 'x') return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
        if (request[0] == 's') return ::symlink(a.c_str(), b.c_str()) == 0;
        if (request[0] == 'h') return ::link(a.c_str(), b.c_str()) == 0;
        return ::rename(a.c_str(), (a + ".moved").c_str()) == 0 && ::symlink(b.c_str(), a.c_str()) == 0;
    }
    int Ask(char act, const std::string& a, const std::string& b) const {
        std::string request(1, act);
        request += a;
        request += '\0';
        request += b;
        request += '\0';
        return mUser.ActOn(request) ? 0 : mUser.LastError();
    }

    // Asked from the seams, which hold the user as const.
    mutable OtherUserAct mUser;
};

// While it lives: just before the first temporary whose file is named fileName ("" for any
// file) is renamed to it, after every check of the writer's, the user exchanges the
// temporary's name with theirs (a name of theirs in the same folder).
class ExchangeBeforeRename {
public:
    ExchangeBeforeRename(const ExchangingUser& user, const std::string& theirs, const std::string& fileName,
                         zeqsdk_400::zeqdetail::ZeqReplacementSeams& seams = zeqsdk_400::zeqdetail::gReplacementSeams)
        : mSeams(seams) {
        Now() = {&user, theirs, fileName, 0, -1};
        mSeams.mBeforeRename = &Act;
    }
    ~ExchangeBeforeRename() {
        mSeams.mBeforeRename = nullptr;
        Now() = State();
    }
    ExchangeBeforeRename(const ExchangeBeforeRename&) = delete;
    ExchangeBeforeRename& operator=(const ExchangeBeforeRename&) = delete;

    // True once the exchange was done.
    bool Done() const { return Now().mDone > 0 && Now().mResult == 0; }
    // The system's error number of the exchange (-1 before it).
    int Result() const { return Now().mResult; }

private:
    struct State {
        const ExchangingUser* mUser = nullptr;
        std::string mTheirs;
        std::string mFileName;
        int mDone = 0;
        int mResult = -1;
    };
    static State& Now() {
        static State state;
        return state;
    }
    static void Act(const char* temporary, const char* file) {
        State& state = Now();
        if (!state.mUser || state.mDone > 0) return;
        if (!state.mFileName.empty() && std::filesystem::path(file).filename() != state.mFileName) return;
        ++state.mDone;
        state.mResult = state.mUser->Exchange(temporary, state.mTheirs);
    }

    zeqsdk_400::zeqdetail::ZeqReplacementSeams& mSeams;
};

// While it lives: once a walk has resolved path (exactly; gReplacementSeams.mResolved), the
// user renames their folder away and puts a link of theirs to target under its name.
class LinkInPlaceOfFolderOnceResolved {
public:
    LinkInPlaceOfFolderOnceResolved(const ExchangingUser& user, const std::string& path, const std::string& folder,
                                    const std::string& target,
                                    zeqsdk_400::zeqdetail::ZeqReplacementSeams& seams =
                                        zeqsdk_400::zeqdetail::gReplacementSeams)
        : mSeams(seams) {
        Now() = {&user, path, folder, target, -1};
        mSeams.mResolved = &Act;
    }
    ~LinkInPlaceOfFolderOnceResolved() {
        mSeams.mResolved = nullptr;
        Now() = State();
    }
    LinkInPlaceOfFolderOnceResolved(const LinkInPlaceOfFolderOnceResolved&) = delete;
    LinkInPlaceOfFolderOnceResolved& operator=(const LinkInPlaceOfFolderOnceResolved&) = delete;

    // The system's error number of the act: 0 once done, -1 before it.
    int Result() const { return Now().mResult; }

private:
    struct State {
        const ExchangingUser* mUser = nullptr;
        std::string mPath, mFolder, mTarget;
        int mResult = -1;
    };
    static State& Now() {
        static State state;
        return state;
    }
    static void Act(const char* path) {
        State& state = Now();
        if (state.mUser && state.mResult < 0 && state.mPath == path)
            state.mResult = state.mUser->PutLinkInPlaceOf(state.mFolder, state.mTarget);
    }

    zeqsdk_400::zeqdetail::ZeqReplacementSeams& mSeams;
};

}  // namespace zeqtest

#endif
