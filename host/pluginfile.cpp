// A plug-in library file judged as it was opened, and the library loaded from that open file.
#include "pluginfile.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "grouprule.h"

namespace tulo_detail {

namespace {

// As the system bounds the links of one resolution.
constexpr int kMostLinks = 40;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) reset(std::exchange(other.fd_, -1));
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

Descriptor openHeld(int at, const char* name) {
    return Descriptor(::openat(at, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
}

std::string userName(uid_t user) {
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found && *found->pw_name)
        return std::string("user ") + found->pw_name;
    return "user " + std::to_string(user);
}

// Root and the user running the host may place code the host runs; another user's would run as
// this one.
bool mayRun(uid_t owner) { return owner == 0 || owner == ::geteuid(); }

// Who besides its owner may write the file or folder: none, its group (where that is not its
// owner's alone), or others (by its mode or an access list).
enum class Writers { owner, group, others };

// Who may write the file or folder held besides its owner. Its group counts as others' unless it is
// the owner's alone: for root, who may change any mode, none is; elsewhere by the system's databases
// (groupIsOwnersAloneBySystem). Where it is, an access list may still give anyone else the write the
// group bits show (they are then its mask, which covers every user and group it names). The SDK's
// writes judge folders by the same rule, in code of their own: the host takes nothing of the SDK.
Writers writersOf(int held, const struct stat& st) {
    if ((st.st_mode & S_IWOTH) != 0) return Writers::others;
    if ((st.st_mode & S_IWGRP) == 0) return Writers::owner;
    if (::geteuid() == 0 || !groupIsOwnersAloneBySystem(st.st_uid, st.st_gid)) return Writers::group;
    const std::string name = "/proc/self/fd/" + std::to_string(held);
    return ::getxattr(name.c_str(), "system.posix_acl_access", nullptr, 0) < 0 && errno == ENODATA ? Writers::owner
                                                                                                    : Writers::others;
}

// A group by name, for messages; by number where the system knows no name.
std::string groupName(gid_t group) {
    std::vector<char> buffer(16384);
    struct group entry;
    struct group* found = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == 0 && found && *found->gr_name)
        return found->gr_name;
    return "group " + std::to_string(group);
}

// Why its group's write counts as other users', for messages.
std::string groupMayHoldOthers(gid_t group) {
    return "its group (" + groupName(group) + ") may write, a group that may hold other users";
}

// A folder on the walk, judged once as it is entered: who else may put a name in it or rename one.
struct Folder {
    Descriptor held;
    struct stat st {};
    // Another user may put a name in it, a hard link among them, sticky or not.
    bool othersMayWriteIn = false;
    // Who else may, for messages: others, or its group, that may hold other users.
    std::string writable;
    // What it is when another user may rename anything in it ("" when none may): theirs, or one
    // they may write that is not sticky (in a sticky one of root's or this user's, each name is
    // kept to its owner).
    std::string renamable;

    bool enter(Descriptor folder) {
        held = std::move(folder);
        if (held.get() < 0 || ::fstat(held.get(), &st) != 0) {
            held.reset();
            return false;
        }
        const Writers writers = writersOf(held.get(), st);
        othersMayWriteIn = !mayRun(st.st_uid) || writers != Writers::owner;
        writable = mayRun(st.st_uid) && writers == Writers::group ? "a folder " + groupMayHoldOthers(st.st_gid)
                                                                    : "a folder others may write";
        renamable = !mayRun(st.st_uid) ? "a folder of " + userName(st.st_uid) + "'s"
                    : (st.st_mode & S_ISVTX) != 0 || writers == Writers::owner ? ""
                    : writers == Writers::group ? writable + ", that is not sticky"
                                                : "a folder others may write that is not sticky";
        return true;
    }
};

// A component still to walk, and whether a link's text gave it.
struct Pending {
    std::string part;
    bool fromLink;
};

// Pushes the components of text so that the first comes off first; a text ending in '/' ends in
// "." (what it names must be a folder).
void pushComponents(const std::string& text, std::vector<Pending>& pending, bool fromLink) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!text.empty() && text.back() == '/') parts.push_back(".");
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) pending.push_back({std::move(*part), fromLink});
}

// The walk of PluginFile: the file held open, or why it is refused (refusal), or neither where
// nothing this user may read stands under the name. Each folder is judged as it is entered and
// walked on as held, so that what stands under its path afterwards changes nothing.
Descriptor judge(const std::string& path, std::string& refusal, const PluginFile::FolderJudged& judged) {
    std::string text = path;
    if (text.empty()) return Descriptor();
    if (text.front() != '/') {
        char here[PATH_MAX];
        if (!::getcwd(here, sizeof here)) return Descriptor();
        text = std::string(here) + "/" + text;
    }
    // The first reason met on the way: said only where the path leads to something, so that a
    // name that names nothing is passed over without a word, as it is elsewhere.
    std::string why;
    const auto note = [&](const std::string& reason) {
        if (why.empty()) why = reason;
    };
    const auto verdict = [&](Descriptor file) {
        if (why.empty()) return file;
        refusal = "the plug-in file \"" + path + "\" is not loaded: " + why;
        return Descriptor();
    };
    std::vector<Pending> pending;
    pushComponents(text, pending, false);
    Folder at;
    std::string resolved;  // the path of the folder held, free of links; "" for the root
    const auto enter = [&](Descriptor folder) {
        if (!at.enter(std::move(folder))) return false;
        if (judged) judged(resolved.empty() ? "/" : resolved);
        return true;
    };
    int links = 0;
    if (!enter(Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)))) return Descriptor();
    while (!pending.empty()) {
        const Pending next = std::move(pending.back());
        pending.pop_back();
        const bool last = pending.empty();
        if (next.part == "." || next.part == "..") {
            if (next.part == "..") {
                resolved.erase(resolved.empty() ? 0 : resolved.rfind('/'));
                if (!enter(openHeld(at.held.get(), ".."))) return Descriptor();
            }
            if (!last) continue;
            note("it is no regular file");
            return verdict(Descriptor());
        }
        const std::string entry = resolved + "/" + next.part;
        const auto lies = [&](const std::string& what) {
            return what + " lies in \"" + (resolved.empty() ? std::string("/") : resolved) + "\", " + at.renamable +
                   ", where they may put something else under its name";
        };
        // Nothing under the name, or nothing this user may look at, is passed over without a word.
        Descriptor named = openHeld(at.held.get(), next.part.c_str());
        struct stat st;
        if (named.get() < 0 || ::fstat(named.get(), &st) != 0) return Descriptor();
        // The name given itself, a link on the way, or the file its links lead to.
        const bool given = last && !next.fromLink;
        if (S_ISLNK(st.st_mode)) {
            const std::string link = given ? "the symbolic link" : "the symbolic link \"" + entry + "\"";
            if (!mayRun(st.st_uid))
                note(link + " is " + userName(st.st_uid) + "'s, neither root's nor this user's");
            else if (st.st_nlink > 1 && at.othersMayWriteIn)
                note(link + " has more than one name, in " + at.writable);
            else if (!at.renamable.empty())
                note(lies(link));
            if (++links > kMostLinks) return Descriptor();
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
            const ssize_t length = ::readlinkat(named.get(), "", target.data(), target.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return Descriptor();
            target.resize(static_cast<std::size_t>(length));
            pushComponents(target, pending, true);
            if (target.front() == '/') {
                resolved.clear();
                if (!enter(Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)))) return Descriptor();
            }
            continue;
        }
        const std::string subject = given ? "it" : last ? "it leads to \"" + entry + "\", which" : "\"" + entry + "\"";
        if (!last) {
            if (!S_ISDIR(st.st_mode)) return Descriptor();
            if (!at.renamable.empty()) note(lies(subject));
            resolved = entry;
            if (!enter(std::move(named))) return Descriptor();
            continue;
        }
        // A named pipe would hold the load; a device is no library either.
        if (!S_ISREG(st.st_mode))
            note(subject + " is no regular file");
        else if (!mayRun(st.st_uid))
            note(subject + " is " + userName(st.st_uid) + "'s, neither root's nor this user's");
        else if (const Writers writers = writersOf(named.get(), st); writers != Writers::owner)
            note(writers == Writers::others ? (given ? "other users may write it" : subject + " other users may write")
                 : given ? "its group (" + groupName(st.st_gid) + ") may write it, a group that may hold other users"
                         : subject + " " + groupMayHoldOthers(st.st_gid));
        else if (st.st_nlink > 1 && at.othersMayWriteIn)
            note(subject + " has other hard links, in " + at.writable);
        else if (!at.renamable.empty())
            note(lies(subject));
        if (why.empty() && ::faccessat(at.held.get(), next.part.c_str(), R_OK, 0) != 0) return Descriptor();
        return verdict(std::move(named));
    }
    return Descriptor();
}

}  // namespace

bool othersMayWrite(int held, const struct stat& st) { return writersOf(held, st) != Writers::owner; }

PluginFile::PluginFile(const std::string& path, const FolderJudged& judged) {
    descriptor_ = judge(path, refusal_, judged).release();
}

PluginFile::~PluginFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

PluginFile::PluginFile(PluginFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), refusal_(std::move(other.refusal_)) {}

PluginFile& PluginFile::operator=(PluginFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        refusal_ = std::move(other.refusal_);
    }
    return *this;
}

int PluginFile::release() { return std::exchange(descriptor_, -1); }

bool PluginLibrary::load(PluginFile& file, const std::string& path, std::string& error) {
    descriptor_ = file.release();
    loaderName_ = "/proc/self/fd/" + std::to_string(descriptor_);
    handle_ = ::dlopen(loaderName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error = ::dlerror();
        for (std::size_t at; (at = error.find(loaderName_)) != std::string::npos;)
            error.replace(at, loaderName_.size(), path);
        ::close(std::exchange(descriptor_, -1));
        return false;
    }
    // Where the loader took it in just now under the descriptor's name, it shows the path instead
    // (a library it held already keeps the name it was first loaded by, as after any load).
    link_map* map = nullptr;
    if (::dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && loaderName_ == map->l_name) {
        shown_.reset(::strdup(path.c_str()));
        if (!shown_) return true;
        map_ = map;
        loaderOwn_ = std::exchange(map->l_name, shown_.get());
    }
    return true;
}

void PluginLibrary::close() {
    if (!handle_) return;
    // The loader frees its own name with the library.
    if (map_) map_->l_name = loaderOwn_;
    ::dlclose(std::exchange(handle_, nullptr));
    void* still = ::dlopen(loaderName_.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!still) {
        ::close(std::exchange(descriptor_, -1));
        map_ = nullptr;
        return;
    }
    // Still in memory (held by another handle, or kept for good): it keeps showing the path, its
    // own name freed as the loader frees it, and the descriptor stays open for good, since the
    // loader knows the library by its number too and would take a later file opened under that
    // number for it.
    if (map_) {
        map_->l_name = shown_.release();
        std::free(loaderOwn_);
    }
    map_ = nullptr;
    descriptor_ = -1;
    ::dlclose(still);
}

PluginLibrary::~PluginLibrary() {
    // Loaded still when the host ends: the library keeps what it shows, and the descriptor.
    if (handle_) (void)shown_.release();
    else if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace tulo_detail
