#include "formats/geometry/3ds/toolkit/filecontext3ds.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"
#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/readcache3ds.h"

namespace zeqsdk_400 {

file3ds** FileContextList3ds = nullptr;
std::uint8_t NextFileContext = 0;
file3ds* FileContext3ds = nullptr;
std::uint8_t CurrentFileContext = 0;
std::int32_t NewFileBufferSize3ds = 8192;

namespace {

// Frees a context that never got a stream, or whose stream is closed already.
// What was written and not committed is dropped with it: the file stays as it was.
void DiscardContext(file3ds* ctx) {
    DelContext3ds(ctx);
    ReleaseReadCache3ds(ctx);
    delete ctx->replacement;
    std::free(ctx->filename);
    std::free(ctx->buffer);
    std::free(ctx);
}

// A stream writing name beside it, in the context's replacement; null (errno
// set, and refusal saying why) when the name is refused or nothing can be made beside it.
std::FILE* OpenReplacement(file3ds* ctx, KString* refusal) {
    ctx->replacement = new (std::nothrow) KFileReplacement;
    if (!ctx->replacement) {
        errno = ENOMEM;
        return nullptr;
    }
    if (!ctx->replacement->Begin(ctx->filename)) {
        *refusal = ctx->replacement->GetError();
        errno = ctx->replacement->GetSystemError();
        return nullptr;
    }
    std::FILE* stream = ctx->replacement->OpenStream("wb");
    if (!stream) {
        const int code = errno;
        *refusal = (std::string("Cannot write \"") + ctx->replacement->GetTargetPath() + "\": " + std::strerror(code))
                       .c_str();
        errno = code;
    }
    return stream;
}

void GiveBuffer(file3ds* ctx) {
    if (ctx->buffer) std::setvbuf(ctx->stream, ctx->buffer, _IOFBF, static_cast<std::size_t>(ctx->buffersize));
}

std::uint64_t StreamSize(std::FILE* f) {
    const long at = std::ftell(f);
    if (std::fseek(f, 0, SEEK_END) != 0) return 0;
    const long end = std::ftell(f);
    std::fseek(f, at < 0 ? 0 : at, SEEK_SET);
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

}  // namespace

void InitContextList3ds() {
    FileContextList3ds = static_cast<file3ds**>(std::calloc(MaxFileContext, sizeof(file3ds*)));
    if (!FileContextList3ds) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    NextFileContext = 0;
    CurrentFileContext = 0;
}

void ReleaseContextList3ds() {
    std::free(FileContextList3ds);
    FileContextList3ds = nullptr;
    NextFileContext = 0;
    CurrentFileContext = 0;
}

void AddContext3ds(file3ds* ctx) {
    if (!ctx) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!FileContextList3ds) {
        InitContextList3ds();
        if (!FileContextList3ds) return;
    }
    int slot = NextFileContext;
    for (int i = 0; i < NextFileContext; ++i) {
        if (!FileContextList3ds[i]) {
            slot = i;
            break;
        }
    }
    if (slot >= MaxFileContext) {
        PushErrList3ds(ERR_TOO_MANY_FILES);
        return;
    }
    FileContextList3ds[slot] = ctx;
    ctx->index = static_cast<std::uint8_t>(slot);
    if (slot == NextFileContext) ++NextFileContext;
}

void DelContext3ds(file3ds* ctx) {
    if (!ctx || !FileContextList3ds || ctx->index >= MaxFileContext) return;
    if (FileContextList3ds[ctx->index] == ctx) {
        FileContextList3ds[ctx->index] = nullptr;
        ctx->index = InvalidFileContext3ds;
    }
}

void SetContextByIndex3ds(std::uint8_t i) {
    if (file3ds* ctx = GetContextByIndex3ds(i)) SetContext3ds(ctx);
}

file3ds* GetContextByName3ds(const char* name) {
    if (!name || !FileContextList3ds) return nullptr;
    for (int i = 0; i < NextFileContext; ++i) {
        file3ds* ctx = FileContextList3ds[i];
        if (ctx && !ctx->istemp && ctx->filename && std::strcmp(ctx->filename, name) == 0) return ctx;
    }
    return nullptr;
}

bool IsValidFileIndex3ds(std::uint8_t i) {
    return i != InvalidFileContext3ds && GetContextByIndex3ds(i) != nullptr;
}

file3ds* GetContext3ds() { return FileContext3ds; }

std::uint8_t GetContextIndex3ds() { return FileContext3ds ? FileContext3ds->index : InvalidFileContext3ds; }

void SetFileName3ds(const char* name) {
    if (!name || !FileContext3ds) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    strlenf3ds(name, 512);
    if (Stop3ds()) return;
    char* copy = strdup3ds(name);
    if (!copy) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    std::free(FileContext3ds->filename);
    FileContext3ds->filename = copy;
}

const char* GetFileName3ds() { return FileContext3ds ? FileContext3ds->filename : nullptr; }

void SetFile3ds(std::FILE* f) {
    if (!f || !FileContext3ds) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (FileContext3ds->stream != f) ReleaseReadCache3ds(FileContext3ds);  // its bytes were another stream's
    FileContext3ds->stream = f;
}

std::FILE* GetFile3ds() { return FileContext3ds ? FileContext3ds->stream : nullptr; }

void InitFile3ds(file3ds** out) {
    if (!out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    file3ds* ctx = static_cast<file3ds*>(std::calloc(1, sizeof(file3ds)));
    if (!ctx) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    ctx->index = InvalidFileContext3ds;
    *out = ctx;
}

namespace {

// A new context named filename in the list, without a stream yet; null with the error pushed.
file3ds* NewContext(const char* filename) {
    file3ds* ctx = nullptr;
    InitFile3ds(&ctx);
    if (Stop3ds() || !ctx) {
        if (ctx) std::free(ctx);
        PushErrList3ds(ERR_INIT_FAILED);
        return nullptr;
    }
    AddContext3ds(ctx);
    if (ctx->index == InvalidFileContext3ds) {
        std::free(ctx);
        return nullptr;
    }
    ctx->filename = strdup3ds(filename);
    if (!ctx->filename) {
        DiscardContext(ctx);
        PushErrList3ds(ERR_NO_MEM);
        return nullptr;
    }
    return ctx;
}

// The context's own buffer for its new stream, when one can be had.
void GiveNewBuffer(file3ds* ctx) {
    if (NewFileBufferSize3ds <= 0) return;
    ctx->buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(NewFileBufferSize3ds)));
    if (ctx->buffer) {
        ctx->buffersize = NewFileBufferSize3ds;
        GiveBuffer(ctx);
    }
}

}  // namespace

file3ds* OpenFile3ds(const char* filename, const char* mode) {
    if (!filename || !mode) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    file3ds* existing = GetContextByName3ds(filename);
    file3ds* ctx = NewContext(filename);
    if (!ctx) return nullptr;
    const std::uint32_t length = strlenf3ds(mode, 30);
    for (std::uint32_t i = 0; i < length && ctx->mode == 0; ++i) {
        if (mode[i] == 'r') ctx->mode = 1;
        if (mode[i] == 'w') ctx->mode = 2;
    }
    if (ctx->mode == 0) {
        // A context without a stream serves nobody: drop it at once.
        DiscardContext(ctx);
        PushErrList3ds(ERR_INIT_FAILED);
        return nullptr;
    }
    if (existing && existing->mode == ctx->mode) {
        DiscardContext(ctx);
        return existing;
    }
    // A file being written is read as it is once complete.
    if (existing && existing->mode == 2) CloseFile3ds(existing);
    // Reading takes a regular file only: a named pipe is refused at once instead
    // of holding the open until someone writes it.
    KString refusal;
    ctx->stream = ctx->mode == 1 ? KOpenFileForReading(ctx->filename, "rb", &refusal) : OpenReplacement(ctx, &refusal);
    if (!ctx->stream) {
        const int code = errno;
        DiscardContext(ctx);
        errno = code;
        // Which file, and why: the toolkit's own words say neither.
        PushSystemErrList3ds(ERR_OPENING_FILE, refusal.Buffer());
        return nullptr;
    }
    if (existing) {
        // Read on from the content it opened; the name now stands for the file written.
        RenameFileToTemp3ds(existing);
        if (Stop3ds()) {
            std::fclose(ctx->stream);
            DiscardContext(ctx);
            return nullptr;
        }
    }
    GiveNewBuffer(ctx);
    if (ctx->mode == 1) ctx->filesize = StreamSize(ctx->stream);
    return ctx;
}

file3ds* AdoptFile3ds(std::FILE* stream, const char* filename) {
    file3ds* ctx = stream && filename ? NewContext(filename) : nullptr;
    if (!ctx) {
        if (stream) std::fclose(stream);
        if (!stream || !filename) PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    ctx->mode = 2;
    ctx->stream = stream;
    GiveNewBuffer(ctx);
    return ctx;
}

void CloseFile3ds(file3ds* ctx) {
    if (!ctx) return;
    bool failed = false;
    int code = 0;
    if (ctx->stream) {
        // A write that failed leaves its mark on the stream: such a file is not put in place.
        const bool written = !ctx->replacement || !std::ferror(ctx->stream);
        errno = 0;
        failed = std::fclose(ctx->stream) != 0 || !written;
        code = errno;
    }
    ctx->stream = nullptr;
    if (ctx->replacement && !failed && !ctx->replacement->Commit()) {
        failed = true;
        code = ctx->replacement->GetSystemError();
    }
    if (FileContext3ds == ctx) FileContext3ds = nullptr;
    DiscardContext(ctx);
    if (failed) {
        errno = code;
        PushSystemErrList3ds(ERR_CLOSING_FILE);
    }
}

void CloseAllFiles3ds() {
    // Every file is closed even when one close fails; each failure is on the stack after.
    for (int i = 0; FileContextList3ds && i < NextFileContext; ++i)
        if (file3ds* ctx = FileContextList3ds[i]) CloseFile3ds(ctx);
    ReleaseContextList3ds();
}

std::int32_t GetFilePosition3ds() {
    std::FILE* f = GetFile3ds();
    if (!f) return -1;
    return static_cast<std::int32_t>(std::ftell(f));
}

std::int16_t FileSeek3ds(std::int32_t pos) {
    std::FILE* f = GetFile3ds();
    if (!f || pos < 0) return -1;
    return std::fseek(f, pos, SEEK_SET) == 0 ? 0 : -1;
}

void RenameFileToTemp3ds(file3ds* ctx) {
    if (!ctx || !ctx->filename || !ctx->stream) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    // The stream holds the file it opened, whatever is put under its name later.
    ctx->istemp = 1;
}

}  // namespace zeqsdk_400
