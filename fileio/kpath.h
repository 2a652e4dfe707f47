#ifndef ZEQ_FILEIO_KPATH_H
#define ZEQ_FILEIO_KPATH_H

#include <sys/types.h>

#include <cstdio>

#include "base/kstring.h"

namespace zeqsdk_400 {

// Path helpers. Both '/' and '\' separate directories on input.

// Text after the last '.' of the file part, "" when none.
KString ExtractFileExtension(const char* path);
// Part after the last separator; without keepExtension the text from the last '.' is cut too.
KString ExtractFileName(const char* path, bool keepExtension = true);
// Part before the last separator, "" when none.
KString ExtractDirectoryFromFilePath(const char* path);
// The path with its extension replaced (extension given with its dot).
KString ChangeFileExtension(const char* path, const char* extension);
// directory + '/' + path, cleaned; an absolute path is taken unchanged (cleaned).
KString MakeFullPath(const char* directory, const char* path);
// path relative to directory when it lies below it, else path unchanged.
KString MakeRelativePath(const char* directory, const char* path);
// Splits at '/' and '\', drops "." parts, resolves ".." against the previous part, rejoins with '/'.
void KCleanPath(char* path);
KString KCleanPath(const KString& path);
bool IsAbsolutePath(const char* path);

KString KGetCurrentDirectory();
// True when the file can be opened for binary reading.
bool FileExist(const char* path);
bool DirectoryExist(const char* path);
// What a file of this mode is, for messages: "a directory", "a named pipe", ...
const char* KFileKindOf(mode_t mode);
// Opens path for reading with an fopen mode starting with 'r' ("r", "rb", "r+b")
// and answers the descriptor (blocking, closed on exec), or -1. Only a regular
// file, or a link to one, opens; anything else (a named pipe, a device, a
// directory, a socket) is refused without waiting on it, where a plain open of a
// pipe nobody writes would wait for ever. On failure refusal, when given, says
// why with the path made absolute ("Cannot read \"/d/a.zeq\": No such file or
// directory", "\"/d/p.zeq\" is not read: it is a named pipe, not a regular file";
// a link names the file it links to), and systemError takes the system's error
// number behind it: errno of an open that failed, EISDIR for a directory, 0 for
// the other refusals. errno is left at the same number.
int KOpenRegularFile(const char* path, const char* mode, KString* refusal = nullptr, int* systemError = nullptr);
// The same as a stdio stream, null on failure.
std::FILE* KOpenFileForReading(const char* path, const char* mode, KString* refusal = nullptr,
                               int* systemError = nullptr);
// One line of at most size - 1 characters; LF, CR and CRLF end a line (CRLF becomes LF). Null at the end.
char* KFgets(char* buffer, int size, std::FILE* stream);
// "TMPDIR" with a trailing '/', else a fixed default; never writes more than size bytes. Answers the length.
unsigned int GetTempPath(unsigned int size, char* buffer);
// Creates the directory part of a file path with its parents.
bool KEnsureDirectoryExistance(const char* filePath);
// Creates a directory with its parents.
bool KCreateDirectory(const char* directory);
// Removes a directory with everything below it, without a shell and without
// following symbolic links out of it. True when nothing is left.
bool KRemoveDirectory(const char* directory);

class KFile {
public:
    // Deletes a file from disk; true when it is gone.
    static bool Remove(const KString& path);
};

}  // namespace zeqsdk_400

#endif
