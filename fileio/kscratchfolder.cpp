#include "fileio/kscratchfolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fileio/kfilereplacement.h"

namespace zeqsdk_400 {

KScratchFolder::KScratchFolder(const char* prefix) {
    char temporary[4096];
    if (GetTempPath(sizeof(temporary), temporary) == 0) {
        mError = "the temporary folder's name is too long";
        return;
    }
    // Nobody named it: it is not made where another user's link leads.
    if (!mParent.Open(temporary, false, 0777, kAnyGroup, KNamedBy::eNobody)) {
        mError = std::string("Cannot open \"") + temporary + "\": " + std::strerror(errno);
        return;
    }
    // A name of TemporaryName's random form, made with mkdirat: a name taken is tried again.
    for (int round = 0; round < 16 && !mFolder.IsOpen(); ++round) {
        const KString random = KFileReplacement::TemporaryName(KString(prefix && *prefix ? prefix : "zeq"));
        std::string name(random.Buffer());
        // "<prefix>.tmp<pid>.<hex>" reads as "<prefix>-<pid>-<hex>".
        for (char& c : name)
            if (c == '.') c = '-';
        if (::mkdirat(mParent.Get(), name.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            mError = "Cannot make a folder in \"" + mParent.GetPath() + "\": " + std::strerror(errno);
            return;
        }
        mName = name;
        if (!mParent.OpenBelow(name.c_str(), false, true, mFolder)) {
            ::unlinkat(mParent.Get(), name.c_str(), AT_REMOVEDIR);
            mName.clear();
        }
    }
}

const char* KScratchFolder::GetError() const {
    if (IsOpen()) return "";
    if (*mFolder.GetError()) return mFolder.GetError();
    if (*mParent.GetError()) return mParent.GetError();
    return mError.empty() ? "no name could be made" : mError.c_str();
}

namespace {

// The folder RemoveWhenStopped removes on a stopping signal: descriptors of it and of the folder
// holding it, and its name there, kept where a signal handler can reach them.
int gStoppedFolder = -1;
int gStoppedParent = -1;
char gStoppedName[256];
const int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Removes what this user owns below the folder open at fd, at most depth folders deep; only calls
// a signal handler may make (the directory read through the system call itself, buffers on the
// stack).
void RemoveInside(int fd, int depth) {
    // What is removed while the folder is read may hide a later name: read again until a pass
    // removes nothing.
    for (bool removed = true; removed;) {
        removed = false;
        const int listing = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listing < 0) return;
        alignas(8) char buffer[2048];
        for (long n; (n = ::syscall(SYS_getdents64, listing, buffer, sizeof buffer)) > 0;) {
            for (long at = 0; at < n;) {
                struct Entry {
                    std::uint64_t mInode;
                    std::int64_t mOffset;
                    unsigned short mLength;
                    unsigned char mType;
                    char mName[1];
                };
                const Entry* entry = reinterpret_cast<const Entry*>(buffer + at);
                at += entry->mLength;
                const char* name = entry->mName;
                if ((name[0] == '.' && name[1] == '\0') || (name[0] == '.' && name[1] == '.' && name[2] == '\0'))
                    continue;
                struct stat st;
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != ::geteuid()) continue;
                if (S_ISDIR(st.st_mode) && depth > 0) {
                    const int below = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (below >= 0) {
                        RemoveInside(below, depth - 1);
                        ::close(below);
                    }
                }
                if (::unlinkat(fd, name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) == 0) removed = true;
            }
        }
        ::close(listing);
    }
}

void RemoveAndStop(int signal) {
    if (gStoppedFolder >= 0) {
        RemoveInside(gStoppedFolder, 64);
        ::unlinkat(gStoppedParent, gStoppedName, AT_REMOVEDIR);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void ForgetWhenStopped() {
    for (const int signal : kStoppingSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == &RemoveAndStop)
            ::signal(signal, SIG_DFL);
    }
    for (int* fd : {&gStoppedFolder, &gStoppedParent}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

}  // namespace

bool KScratchFolder::RemoveWhenStopped() {
    if (!IsOpen() || mName.size() >= sizeof gStoppedName) return false;
    ForgetWhenStopped();
    gStoppedFolder = ::fcntl(mFolder.Get(), F_DUPFD_CLOEXEC, 0);
    gStoppedParent = ::fcntl(mParent.Get(), F_DUPFD_CLOEXEC, 0);
    if (gStoppedFolder < 0 || gStoppedParent < 0) {
        ForgetWhenStopped();
        return false;
    }
    std::memcpy(gStoppedName, mName.c_str(), mName.size() + 1);
    mRemovedWhenStopped = true;
    struct sigaction action {};
    action.sa_handler = &RemoveAndStop;
    ::sigemptyset(&action.sa_mask);
    for (const int signal : kStoppingSignals) ::sigaddset(&action.sa_mask, signal);
    for (const int signal : kStoppingSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
    return true;
}

KScratchFolder::~KScratchFolder() {
    if (mRemovedWhenStopped && mName == gStoppedName) ForgetWhenStopped();
    if (mName.empty()) return;
    KResolvedPath self;
    self.mDirectory.Reset(::fcntl(mParent.Get(), F_DUPFD_CLOEXEC, 0));
    self.mName = mName;
    self.mPath = mParent.PathOf(mName.c_str());
    KRemoveDirectory(self);
}

namespace {

bool WriteReplacement(KFileReplacement& replacement, bool begun, const void* data, std::size_t size, KString* error) {
    std::FILE* out = begun ? replacement.OpenStream("wb") : nullptr;
    bool ok = out != nullptr;
    if (out) {
        ok = (size == 0 || std::fwrite(data, 1, size, out) == size);
        ok = std::fclose(out) == 0 && ok;
    }
    ok = ok && replacement.Commit();
    if (!ok && error)
        *error = *replacement.GetError() ? KString(replacement.GetError()) : KString(std::strerror(errno));
    return ok;
}

}  // namespace

bool KWriteWholeFile(const char* path, const void* data, std::size_t size, KString* error) {
    KFileReplacement replacement;
    const bool begun = replacement.Begin(path);
    return WriteReplacement(replacement, begun, data, size, error);
}

bool KWriteWholeFile(const KHeldFolder& folder, const char* name, const void* data, std::size_t size,
                     KString* error) {
    KFileReplacement replacement;
    const bool begun = replacement.Begin(folder, name);
    return WriteReplacement(replacement, begun, data, size, error);
}

bool KReadWholeFile(const char* path, std::string& content) {
    content.clear();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(KOpenFileForReading(path, "rb"), &std::fclose);
    if (!file) return false;
    char block[1 << 16];
    for (std::size_t n; (n = std::fread(block, 1, sizeof(block), file.get())) > 0;) content.append(block, n);
    return !std::ferror(file.get());
}

std::int64_t KFileSize(const char* path) {
    KPathWalk walk;
    if (!KWalkPath(path, walk) || !walk.mExists || !S_ISREG(walk.mStat.st_mode)) return -1;
    return static_cast<std::int64_t>(walk.mStat.st_size);
}

}  // namespace zeqsdk_400
