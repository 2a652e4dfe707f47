// Tests only: a child process with mounts of its own, and in it a user database of the test's own.
// Standalone (no SDK, no test framework), so that the host's tests use it too.
#ifndef ZEQ_FILEIO_TESTS_KOWNMOUNTS_H
#define ZEQ_FILEIO_TESTS_KOWNMOUNTS_H

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zeqtest {

// Everything left to read on fd, which is then closed.
inline std::string ReadToEnd(int fd) {
    std::string text;
    char block[4096];
    for (ssize_t n; (n = ::read(fd, block, sizeof(block))) > 0;) text.append(block, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

// Runs body in a child process and answers its text, or nothing when body answered nothing (the
// child could not set up what the test needs: the caller skips then). A child that dies answers
// why. Tests in the child report through the text, not through assertions.
inline std::optional<std::string> ChildAnswer(const std::function<std::optional<std::string>()>& body) {
    constexpr int kNothing = 77;
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe to the child";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const std::optional<std::string> answer = body();
        if (!answer) ::_exit(kNothing);
        for (std::size_t done = 0; done < answer->size();) {
            const ssize_t n = ::write(fds[1], answer->data() + done, answer->size() - done);
            if (n <= 0) ::_exit(3);
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    const std::string text = ReadToEnd(fds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return "no child process";
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNothing) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child ended with status " + std::to_string(status);
    return text;
}

// Gives the calling process (a child: ChildAnswer's body) mounts of its own, none of them shared
// back: a mount namespace of its own, and where this process is not root a user namespace of its
// own too, whose root it is (its user and group mapped to 0), as an unprivileged user may make
// one. False where the system allows neither.
inline bool InMountsOfItsOwn() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return false;
    } else {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        const auto put = [](const char* file, const std::string& text) {
            std::ofstream out(file);
            return static_cast<bool>(out << text << std::flush);
        };
        if (!put("/proc/self/setgroups", "deny") || !put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// In a process with mounts of its own (InMountsOfItsOwn), once they are made: the process becomes
// user and group (not root), in a user namespace of its own that maps them to this process's user and
// group, so that what this process owns is theirs there. False where no such namespace can be made.
inline bool AsAnotherUser(uid_t user, gid_t group) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER) != 0) return false;
    const auto put = [](const char* file, const std::string& text) {
        std::ofstream out(file);
        return static_cast<bool>(out << text << std::flush);
    };
    return put("/proc/self/setgroups", "deny") &&
           put("/proc/self/uid_map", std::to_string(user) + " " + std::to_string(uid) + " 1") &&
           put("/proc/self/gid_map", std::to_string(group) + " " + std::to_string(gid) + " 1") &&
           ::geteuid() == user;
}

// Why a test that needs InMountsOfItsOwn skips.
inline std::string NoMountsOfItsOwn() {
    return ::geteuid() == 0 ? "no mount namespace can be made here"
                            : "no user namespace can be made here, for a mount";
}

// Whether the system's user database knows the user name.
inline bool KnowsUser(const std::string& name) {
    char buffer[4096];
    struct passwd entry;
    struct passwd* found = nullptr;
    return ::getpwnam_r(name.c_str(), &entry, buffer, sizeof(buffer), &found) == 0 && found;
}

// In a process with mounts of its own (InMountsOfItsOwn): the system's user database is passwdLines
// and groupLines (and gshadowLines), written in folder (a fresh one of the test's) and mounted over
// /etc/passwd, /etc/group and /etc/gshadow, readable to all; false where that cannot be done, or
// where the database is not read from them (another source answers first), which the user name
// witness (listed there) tells.
inline bool WithUserDatabase(const std::string& folder, const std::string& passwdLines,
                             const std::string& groupLines, const std::string& witness,
                             const std::string& gshadowLines = "") {
    const auto mountOver = [&](const std::string& name, const std::string& text, const char* over) {
        const std::string file = folder + "/" + name;
        std::ofstream out(file);
        return static_cast<bool>(out << text << std::flush) && ::chmod(file.c_str(), 0644) == 0 &&
               ::mount(file.c_str(), over, nullptr, MS_BIND, nullptr) == 0;
    };
    if (!mountOver("passwd", passwdLines, "/etc/passwd") || !mountOver("group", groupLines, "/etc/group"))
        return false;
    // Where the system keeps no gshadow, there is none to mount over (one is written only to be read).
    if ((::access("/etc/gshadow", F_OK) == 0 || !gshadowLines.empty()) &&
        !mountOver("gshadow", gshadowLines, "/etc/gshadow"))
        return false;
    return KnowsUser(witness);
}

// In a process with mounts of its own (InMountsOfItsOwn): /etc is folder/etc (made here, in a fresh
// folder of the test's), where files (name, text) are regular files that the test may change in place
// or rename over, and every other name of the system's /etc a link to it, through folder/system-etc,
// where the system's is mounted read-only (nothing written through a link reaches the machine's).
// False where that cannot be done, or where the user database is not read from there (another source
// answers first), which the user name witness (listed there) tells.
inline bool WithEtcOfItsOwn(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files,
                            const std::string& witness) {
    const std::string system = folder + "/system-etc", own = folder + "/etc";
    struct statvfs mounted {};
    if (::mkdir(system.c_str(), 0755) != 0 || ::mkdir(own.c_str(), 0755) != 0 ||
        ::mount("/etc", system.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0 ||
        ::statvfs(system.c_str(), &mounted) != 0)
        return false;
    // A remount keeps the flags it may not drop (a user namespace's mount may not lose them).
    unsigned long kept = 0;
    for (const auto& flag : {std::pair<unsigned long, unsigned long>{ST_NOSUID, MS_NOSUID}, {ST_NODEV, MS_NODEV},
                             {ST_NOEXEC, MS_NOEXEC}, {ST_NOATIME, MS_NOATIME}, {ST_NODIRATIME, MS_NODIRATIME},
                             {ST_RELATIME, MS_RELATIME}})
        if ((mounted.f_flag & flag.first) != 0) kept |= flag.second;
    if (::mount(nullptr, system.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY | kept, nullptr) != 0) return false;
    for (const auto& file : files) {
        std::ofstream out(own + "/" + file.first);
        if (!(out << file.second << std::flush) || ::chmod((own + "/" + file.first).c_str(), 0644) != 0) return false;
    }
    DIR* listing = ::opendir(system.c_str());
    if (!listing) return false;
    bool linked = true;
    for (const dirent* entry; linked && (entry = ::readdir(listing));) {
        const std::string name = entry->d_name;
        bool given = name == "." || name == "..";
        for (const auto& file : files) given = given || file.first == name;
        linked = given || ::symlink((system + "/" + name).c_str(), (own + "/" + name).c_str()) == 0;
    }
    ::closedir(listing);
    return linked && ::mount(own.c_str(), "/etc", nullptr, MS_BIND, nullptr) == 0 && KnowsUser(witness);
}

// In a process with mounts of its own (InMountsOfItsOwn): /run is folder (made here, in a fresh folder
// of the test's), empty but for what the test puts there next (a daemon's socket, the user
// database's drop-in files); false where that cannot be done.
inline bool WithRunOfItsOwn(const std::string& folder) {
    return ::mkdir(folder.c_str(), 0755) == 0 && ::mount(folder.c_str(), "/run", nullptr, MS_BIND, nullptr) == 0;
}

}  // namespace zeqtest

#endif
