#ifndef ZEQ_FILEIO_KCONFIGFILE_H
#define ZEQ_FILEIO_KCONFIGFILE_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/kstring.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

class KFileReplacement;

// An INI-style settings file in the configuration directory:
//
//   [Section]
//   key = value ; comment
//
// ';' starts a comment; section and key names match whole and without regard to case.
class KConfigFile {
public:
    // The file is KLib_GetConfigDirectory() + "/" + name (the current directory
    // when none is set), found in the folder held for that directory where one is
    // (KGetConfigFolder: read and written there, never by the directory's path
    // again). A leading '@' makes the file per computer: "@name.ext"
    // becomes "name@<host>.ext". With keepInMemory false the file is read and
    // written on every call; with true it is read once and kept.
    KConfigFile(const char* name, bool keepInMemory);
    ~KConfigFile();
    KConfigFile(const KConfigFile&) = delete;
    KConfigFile& operator=(const KConfigFile&) = delete;

    // The value of key in section, trimmed, or defaultValue (which may be null)
    // when the file, section or key is absent. The text stays valid until the
    // next call on this object.
    const char* Get(const char* section, const char* key, const char* defaultValue);

    // Writes "key = value" (with " ; comment" when a comment is given) in the
    // section, replacing the key's line or adding it, and adding the section when
    // missing. The new content goes to a file of its own beside the settings
    // (KFileReplacement), which is flushed to disk and then renamed over them, so
    // an interruption leaves either the old or the new settings. Rewrites in one
    // directory take turns (an advisory lock on the directory, waited on for a few
    // seconds at most) and start from the file as it is on disk,
    // so concurrent writers lose no Set. A value that would not read back as
    // written (line breaks, ';', a leading '=') is refused. False when the file
    // could not be written, GetError() saying why. Nobody names a settings file
    // (KNamedBy::eNobody): another user's link (not root's) in a folder another
    // user may write, sticky or not, at the end of the path or on the way, is
    // neither read through nor written through; nor, in a folder that is sticky
    // and that its group or others may write, is another user's file (not the
    // folder owner's); nor, where another user may put a name, their file or one
    // with other hard links (KWhyFileIsNotTrusted).
    bool Set(const char* section, const char* key, const char* value, const char* comment = nullptr);
    // Several keys of one section in one rewrite, as Set would store them one by one; a refused
    // value is left out. False when one was refused or the file could not be written.
    bool Set(const char* section, const std::vector<std::pair<std::string, std::string>>& values);

    const KString& GetFilePath() const { return mFilePath; }
    // Why the last Set failed; "" after one that succeeded.
    const char* GetError() const { return mError.Buffer(); }
    // Why the last read did not use the settings file: another user may have put it under its name
    // (KWhyFileIsNotTrusted): "Cannot read \"<path>\": <why> and is not read: Permission denied"; ""
    // after a read that used it, found none, or failed for another reason.
    const char* GetRefusal() const { return mRefusal.Buffer(); }

private:
    using Lines = std::vector<std::string>;

    // Reads the file, where held names it when given (else by its path).
    bool LoadLines(Lines& lines, bool& exists, const KResolvedPath* held = nullptr);
    // Puts each (key, line) in the section and writes the file once.
    bool Rewrite(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries);
    bool WriteLines(const Lines& lines, KFileReplacement& replacement) const;
    const Lines* CurrentLines(Lines& scratch);

    KString mFilePath;
    // The configuration folder held when the object was made, and the file's name in it.
    KHeldFolder mFolder;
    std::string mName;
    bool mKeepInMemory;
    bool mLoaded = false;
    Lines mCache;
    KString mValue;
    KString mError;
    KString mRefusal;
};

}  // namespace zeqsdk_400

#endif
