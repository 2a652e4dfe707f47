// A plug-in library file, judged as it was opened, and the library loaded from that open file.
// Internal to the library.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct link_map;

namespace tulo_detail {

// The file a plug-in path names, looked at once: the path is walked from the root one name at a
// time, each folder judged as it is entered and held open (the next name is opened in it, never by
// a path again), each link read through its own descriptor, and the file at the end is held open.
// Code in it runs as the one running the host, so it is judged by who may have put it, or anything
// on the way to it, under its name, and who may write into it: a link of a user other than root and
// this one, a file of such a user, one such a user may write (its group counts unless it is the
// owner's alone: othersMayWrite) or anything but a regular file, a file or link with more than one
// name in a folder another user may write (a hard link bears its file's owner, not its maker's),
// and anything in a folder another user may rename it in (theirs, or one they may write that is not
// sticky) are refused.
class PluginFile {
public:
    // Called with a folder's path (free of links) on the walk once the folder is judged, before the
    // next name in it is opened: a test swaps folders there.
    using FolderJudged = std::function<void(const std::string& folder)>;

    PluginFile() = default;
    explicit PluginFile(const std::string& path, const FolderJudged& judged = {});
    ~PluginFile();
    PluginFile(PluginFile&& other) noexcept;
    PluginFile& operator=(PluginFile&& other) noexcept;
    PluginFile(const PluginFile&) = delete;
    PluginFile& operator=(const PluginFile&) = delete;

    // The file may be loaded: held open.
    bool accepted() const { return descriptor_ >= 0; }
    // Why it is not loaded ("the plug-in file "<path>" is not loaded: ..."); "" when it is accepted,
    // and when nothing this user may read stands under the name (passed over without a word).
    const std::string& refusal() const { return refusal_; }
    // Hands the open file over; -1 when none.
    int release();

private:
    int descriptor_ = -1;
    std::string refusal_;
};

// A user other than the owner of the file or folder held (st as fstat describes it) may write it:
// others may, or its group may and is not the owner's alone (for root, whose process may change any
// mode, no group is; elsewhere by the system's user and group databases:
// groupIsOwnersAloneBySystem), or an access list may give another the write its group bits show.
bool othersMayWrite(int held, const struct stat& st);

// A library loaded from an accepted PluginFile. The loader is given the open file by its name in
// /proc/self/fd, so that a name changed after the look changes nothing of what runs; the library
// shows the path it was found under (dladdr: a plug-in finds its own file so), as after a load by
// that path.
class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads file, found at path; false with the loader's reason, naming path.
    bool load(PluginFile& file, const std::string& path, std::string& error);
    void* handle() const { return handle_; }
    // Unloads it (its static destructors run).
    void close();

private:
    int descriptor_ = -1;
    std::string loaderName_;
    void* handle_ = nullptr;
    // Where the library shows the path it was found under: its entry, the loader's own name for
    // it (put back before it is unloaded) and the path shown instead, allocated as the loader
    // allocates its names: where the library outlives the plug-in, the loader frees it with the
    // library.
    struct Free {
        void operator()(char* text) const { std::free(text); }
    };
    link_map* map_ = nullptr;
    char* loaderOwn_ = nullptr;
    std::unique_ptr<char, Free> shown_;
};

}  // namespace tulo_detail
