#include "fileio/kconfigfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/klib.h"
#include "fileio/kfilereplacement.h"
#include "fileio/kownfolders.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

namespace {

// Settings files are small; anything larger is not one and is left alone.
constexpr std::size_t kMaxFileSize = 16u << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string_view CutComment(std::string_view line) {
    const std::size_t semicolon = line.find(';');
    return semicolon == std::string_view::npos ? line : line.substr(0, semicolon);
}

// The section a header line opens; false for other lines.
bool ParseSection(std::string_view line, std::string_view& name) {
    const std::string_view text = Trim(CutComment(line));
    if (text.empty() || text.front() != '[') return false;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(text.substr(1, close - 1));
    return true;
}

// The key and value of a "key = value" line; false for blank and comment lines.
bool ParseEntry(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view text = CutComment(line);
    const std::size_t equal = text.find('=');
    if (equal == std::string_view::npos) {
        key = Trim(text);
        value = std::string_view();
    } else {
        key = Trim(text.substr(0, equal));
        std::size_t start = equal;
        while (start < text.size() && (text[start] == '=' || IsBlank(text[start]))) ++start;
        value = Trim(text.substr(start));
    }
    return !key.empty();
}

void SplitLines(const std::string& content, std::vector<std::string>& lines) {
    std::size_t start = 0;
    const std::size_t size = content.size();
    while (start < size) {
        std::size_t end = start;
        while (end < size && content[end] != '\n' && content[end] != '\r') ++end;
        lines.emplace_back(content, start, end - start);
        if (end < size && content[end] == '\r' && end + 1 < size && content[end + 1] == '\n') ++end;
        start = end + 1;
    }
}

// Host names become part of a file name: keep only harmless characters.
std::string HostNameForFile() {
    char host[256] = {};
    if (::gethostname(host, sizeof(host) - 1) != 0 || host[0] == '\0') return "unknown-host";
    std::string name(host);
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        if (!plain) c = '_';
    }
    return name;
}

std::string FileNameFor(const char* name) {
    std::string file = name ? name : "";
    if (file.empty() || file[0] != '@') return file;
    file.erase(0, 1);
    // "@name.ext" becomes "name@host.ext": one file per computer, still recognisable.
    const std::size_t slash = file.find_last_of("/\\");
    std::size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = file.size();
    file.insert(dot, "@" + HostNameForFile());
    return file;
}

// A text that would break the line structure cannot be stored.
bool FitsInLine(const char* text, const char* forbidden) {
    return std::strpbrk(text, "\r\n") == nullptr && std::strpbrk(text, forbidden) == nullptr;
}

// Holds an exclusive advisory lock on the settings' directory, so that rewrites
// there take turns. Any user who may read the directory may hold its lock: past a
// few seconds, or where it cannot be locked, the rewrite goes on without it.
class DirectoryLock {
public:
    // The directory the replacement holds: never looked up by its path again.
    explicit DirectoryLock(const KResolvedPath& file) {
        mFd = ::openat(file.mDirectory.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (mFd >= 0) KFileReplacement::LockForAWhile(mFd);
    }
    ~DirectoryLock() {
        if (mFd >= 0) ::close(mFd);
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int mFd = -1;
};

}  // namespace

KConfigFile::KConfigFile(const char* name, bool keepInMemory) : mKeepInMemory(keepInMemory) {
    const std::string file = FileNameFor(name);
    std::string directory = KLib_GetConfigDirectory();
    // Without a configuration directory the current one is used, never the root.
    std::string path = directory.empty() ? file : directory + (directory.back() == '/' ? "" : "/") + file;
    mFilePath = KString(path.c_str(), path.size());
    if (const KHeldFolder* held = KGetConfigFolder()) {
        held->Duplicate(mFolder);
        mName = file;
    }
}

KConfigFile::~KConfigFile() = default;

bool KConfigFile::LoadLines(Lines& lines, bool& exists, const KResolvedPath* held) {
    lines.clear();
    exists = false;
    mRefusal = "";
    // Its folder may be one others write: nobody named the file, and another user's link there is
    // not followed, as it is not to write it.
    KPathWalk walk;
    if (!held) {
        const bool walked = mFolder.IsOpen() ? mFolder.Walk(mName.c_str(), walk, true, KNamedBy::eNobody)
                                             : KWalkPath(mFilePath.Buffer(), walk, true, false, KNamedBy::eNobody);
        if (!walked) return walk.mCode == ENOENT;
        if (!walk.mExists) return true;
        held = &walk.mPlace;
    }
    // A settings file that is no regular file (a folder, a pipe nobody writes) is not read, nor
    // waited on.
    std::FILE* file = KOpenResolvedForReading(*held, "rb");
    if (!file) return errno == ENOENT;
    // Nor is a file another user may have put under its name, judged as it is open: it is not this
    // user's settings (their file where they may put a name, or their hard link there, said; another
    // user's in a shared sticky folder).
    struct stat st;
    KFolderLook folder;
    if (::fstat(::fileno(file), &st) != 0 || !KLookAtFolder(held->mDirectory.Get(), folder)) {
        std::fclose(file);
        return false;
    }
    const std::string why = KWhyFileIsNotTrusted(st, folder);
    if (!why.empty() || !KMayUseInSharedFolder(st, folder)) {
        if (!why.empty())
            mRefusal = ("Cannot read \"" + held->mPath + "\": " + why + " and is not read: " + std::strerror(EACCES))
                           .c_str();
        std::fclose(file);
        return false;
    }
    std::string content;
    char block[4096];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(block, 1, sizeof(block), file);
        if (n == 0) break;
        if (content.size() + n > kMaxFileSize) {
            ok = false;
            break;
        }
        content.append(block, n);
    }
    if (std::ferror(file)) ok = false;
    std::fclose(file);
    if (!ok) return false;
    exists = true;
    SplitLines(content, lines);
    return true;
}

bool KConfigFile::WriteLines(const Lines& lines, KFileReplacement& replacement) const {
    std::string content;
    for (const std::string& line : lines) {
        content += line;
        content += '\n';
    }
    std::FILE* stream = replacement.OpenStream("wb");
    if (!stream) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), stream) == content.size();
    const bool closed = std::fclose(stream) == 0;
    return written && closed && replacement.Commit();
}

const KConfigFile::Lines* KConfigFile::CurrentLines(Lines& scratch) {
    bool exists = false;
    if (!mKeepInMemory) return LoadLines(scratch, exists) ? &scratch : nullptr;
    if (!mLoaded) {
        if (!LoadLines(mCache, exists)) return nullptr;
        mLoaded = true;
    }
    return &mCache;
}

const char* KConfigFile::Get(const char* section, const char* key, const char* defaultValue) {
    if (!section || !key) return defaultValue;
    Lines scratch;
    const Lines* lines = CurrentLines(scratch);
    if (!lines) return defaultValue;

    const std::string_view wantedSection = Trim(section);
    const std::string_view wantedKey = Trim(key);
    bool inSection = false;
    for (const std::string& line : *lines) {
        std::string_view name;
        if (ParseSection(line, name)) {
            inSection = EqualNoCase(name, wantedSection);
            continue;
        }
        std::string_view lineKey;
        std::string_view value;
        if (inSection && ParseEntry(line, lineKey, value) && EqualNoCase(lineKey, wantedKey)) {
            mValue = KString(value.data(), value.size());
            return mValue.Buffer();
        }
    }
    return defaultValue;
}

namespace {

// The line "key = value ; comment" for Set, or false for text that would not read back as
// written (a value starting with '=' would read back without it: "k = =v" reads "v").
bool MakeEntry(const char* section, const char* key, const char* value, const char* comment, std::string& entry) {
    if (!section || !key) return false;
    if (!value) value = "";
    const std::string_view keyName = Trim(key);
    if (keyName.empty() || !FitsInLine(section, ";[]") || !FitsInLine(key, ";=[") || !FitsInLine(value, ";") ||
        Trim(value).substr(0, 1) == "=" || (comment && std::strpbrk(comment, "\r\n"))) {
        return false;
    }
    entry = std::string(keyName) + " = " + value;
    if (comment && *comment) {
        entry += " ; ";
        entry += comment;
    }
    return true;
}

// Replaces the key's line in the first section of that name, or adds it after the section's
// last non-blank line (and the section when missing).
void PutEntry(std::vector<std::string>& lines, std::string_view sectionName, std::string_view keyName,
              const std::string& entry) {
    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (ParseSection(lines[i], name) && EqualNoCase(name, sectionName)) {
            header = i;
            break;
        }
    }
    if (header == lines.size()) {
        lines.push_back("[" + std::string(sectionName) + "]");
        lines.push_back(entry);
        return;
    }
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        std::string_view name;
        if (ParseSection(lines[i], name)) break;
        std::string_view lineKey;
        std::string_view lineValue;
        if (ParseEntry(lines[i], lineKey, lineValue) && EqualNoCase(lineKey, keyName)) {
            lines[i] = entry;
            return;
        }
        // New keys go after the section's last non-blank line, before any spacing.
        if (!Trim(lines[i]).empty()) insertAt = i + 1;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
}

}  // namespace

bool KConfigFile::Set(const char* section, const char* key, const char* value, const char* comment) {
    mError = "";
    std::string entry;
    if (!MakeEntry(section, key, value, comment, entry)) {
        mError = "The value cannot be stored as a settings line";
        return false;
    }
    return Rewrite(Trim(section), {{std::string(Trim(key)), entry}});
}

bool KConfigFile::Set(const char* section, const std::vector<std::pair<std::string, std::string>>& values) {
    mError = "";
    if (!section) return false;
    std::vector<std::pair<std::string, std::string>> entries;
    bool all = true;
    for (const auto& kv : values) {
        std::string entry;
        if (MakeEntry(section, kv.first.c_str(), kv.second.c_str(), nullptr, entry))
            entries.emplace_back(std::string(Trim(kv.first)), entry);
        else
            all = false;
    }
    return Rewrite(Trim(section), entries) && all;
}

bool KConfigFile::Rewrite(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries) {
    // Read, rewrite and rename under the lock, from the file as it is now (another
    // process may have changed it since this object last read it).
    // Written beside the settings under a name no one else can hold (the folder
    // may be a shared one) and renamed over them only once complete; begun before
    // the lock, so that what a dead writer left there can go first.
    KFileReplacement replacement;
    const bool begun = mFolder.IsOpen() ? replacement.Begin(mFolder, mName.c_str(), KNamedBy::eNobody)
                                        : replacement.Begin(mFilePath.Buffer(), false, KNamedBy::eNobody);
    if (!begun) {
        mError = replacement.GetError();
        return false;
    }
    const DirectoryLock lock(replacement.GetFile());
    Lines lines;
    bool exists = false;
    // An unreadable settings file is not overwritten. Read where the replacement
    // holds it: the file it replaces, whatever took the path's name since.
    if (!LoadLines(lines, exists, &replacement.GetFile())) {
        mError = *GetRefusal() ? mRefusal
                               : KString(("The settings file \"" + std::string(replacement.GetFilePath()) +
                                          "\" cannot be read").c_str());
        return false;
    }
    for (const auto& e : entries) PutEntry(lines, section, e.first, e.second);
    if (!WriteLines(lines, replacement)) {
        mError = *replacement.GetError() ? replacement.GetError()
                                         : ("Cannot write \"" + std::string(replacement.GetFilePath()) + "\"").c_str();
        return false;
    }
    if (mKeepInMemory) {
        mCache = std::move(lines);
        mLoaded = true;
    }
    return true;
}

}  // namespace zeqsdk_400
