#include "fileio/kscratchfolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

KScratchFolder::~KScratchFolder() {
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
