#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_FILECONTEXT3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_FILECONTEXT3DS_H

// File contexts: up to 252 open 3DS files in numbered slots, one of them current.
// Chunks read from a file remember its slot and make it current again when their
// data is read later. Global state: one toolkit user at a time.
//
// A file opened for writing is written beside its name and takes it, complete,
// when its context is closed: until then, and for good when a write or the
// close fails, an existing file stays as it was. A context reading the file
// meanwhile goes on reading what it held when it was opened.

#include <cstdint>
#include <cstdio>

namespace zeqsdk_400 {

class KFileReplacement;

constexpr std::uint8_t InvalidFileContext3ds = 255;
constexpr int MaxFileContext = 252;

struct file3ds {
    std::FILE* stream;      // null until opened
    char* filename;         // owned copy of the path
    std::uint32_t mode;     // 1 read, 2 write, 0 not decided
    std::uint8_t index;     // slot in the context list, 255 while in none
    char* buffer;           // owned stream buffer or null
    std::int32_t buffersize;
    std::uint8_t istemp;    // its name was given to a file opened for writing since: it reads
                            // the old content and is no longer found by the name
    std::uint64_t filesize; // bytes in the file when opened for reading; bounds every read
    void* readcache;        // window of the file's bytes for the toolkit's own reads, owned
    KFileReplacement* replacement;  // the writing of a file opened by name, owned; null otherwise
};

extern file3ds** FileContextList3ds;
extern std::uint8_t NextFileContext;
extern file3ds* FileContext3ds;
extern std::uint8_t CurrentFileContext;
extern std::int32_t NewFileBufferSize3ds;

void InitContextList3ds();
void ReleaseContextList3ds();
void AddContext3ds(file3ds* ctx);
void DelContext3ds(file3ds* ctx);
// Inline: every lazy data read passes here.
inline file3ds* GetContextByIndex3ds(std::uint8_t i) {
    if (!FileContextList3ds || i >= NextFileContext) return nullptr;
    return FileContextList3ds[i];
}
void SetContextByIndex3ds(std::uint8_t i);
// The first context of that name that still stands for the file of that name
// (one whose name went to a file opened for writing since is passed over).
file3ds* GetContextByName3ds(const char* name);
bool IsValidFileIndex3ds(std::uint8_t i);
inline void SetContext3ds(file3ds* ctx) {
    FileContext3ds = ctx;
    CurrentFileContext = ctx ? ctx->index : InvalidFileContext3ds;
}
file3ds* GetContext3ds();
std::uint8_t GetContextIndex3ds();
void SetFileName3ds(const char* name);
const char* GetFileName3ds();
void SetFile3ds(std::FILE* f);
std::FILE* GetFile3ds();
void InitFile3ds(file3ds** out);
// A context reading filename (a regular file only, never waited on), or
// writing it through a replacement (see above). Null, with the error pushed,
// when it cannot be opened.
file3ds* OpenFile3ds(const char* filename, const char* mode);
// A context for writing on stream, open already (a writer's stream on the file
// it created, never reopened by name); filename names it in the list and in
// messages. The context owns the stream: CloseFile3ds closes it, and so does
// a failure here (null, with the error pushed).
file3ds* AdoptFile3ds(std::FILE* stream, const char* filename);
// Closes the stream; a file opened for writing then takes its name. When a
// write failed, or the close or the rename fails, the file keeps what it held
// and ERR_CLOSING_FILE is pushed.
void CloseFile3ds(file3ds* ctx);
void CloseAllFiles3ds();
std::int32_t GetFilePosition3ds();
std::int16_t FileSeek3ds(std::int32_t pos);
// Lets the name of a file ctx reads go to a new file written under it: ctx
// goes on reading the content it opened (its stream holds it whatever becomes
// of the name) and is no longer found by the name. Nothing is moved.
void RenameFileToTemp3ds(file3ds* ctx);

}  // namespace zeqsdk_400

#endif
