#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "formats/geometry/3ds/toolkit/blockpool3ds.h"
#include "formats/geometry/3ds/toolkit/bytestream3ds.h"
#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkcatalog3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/filecontext3ds.h"
#include "formats/geometry/3ds/toolkit/readcache3ds.h"

// Chunk data is read, written, copied and freed by walking the field list of the
// tag's catalogue entry over its data record. Reading is bounded by the chunk's
// end and the file's size: a layout that needs more bytes than are there, or a
// count that promises more elements than the bytes left hold, is ERR_INVALID_CHUNK
// and leaves the chunk without data. On a little-endian host arrays of points,
// faces, texture vertices and masks move in one call.

namespace zeqsdk_400 {

using toolkit3ds::CatalogEntry;
using toolkit3ds::DataKind;
using toolkit3ds::FieldKind;
using toolkit3ds::FieldSpec;
using toolkit3ds::FindCatalogEntry;

namespace {

constexpr bool kLittleEndian =
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    false;
#else
    true;
#endif

// File bytes of `count` scalars of `width` bytes to host values, or back.
void Convert(const void* src, void* dst, std::size_t count, std::size_t width) {
    if (kLittleEndian || width == 1) {
        std::memcpy(dst, src, count * width);
        return;
    }
    const auto* s = static_cast<const std::uint8_t*>(src);
    auto* d = static_cast<std::uint8_t*>(dst);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t b = 0; b < width; ++b) d[i * width + b] = s[i * width + width - 1 - b];
}

std::size_t ScalarWidth(FieldKind kind) {
    switch (kind) {
        case FieldKind::U8:
        case FieldKind::I8:
            return 1;
        case FieldKind::U16:
        case FieldKind::I16:
            return 2;
        default:
            return 4;
    }
}

template <typename T>
T& At(void* record, std::size_t offset) {
    return *reinterpret_cast<T*>(static_cast<std::uint8_t*>(record) + offset);
}

char* CopyString(const char* s, std::size_t length) {
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, s, length);
    copy[length] = 0;
    return copy;
}

// Bytes of one chunk's data: from the file's read window when they fit there (most
// chunks are small), else read at their offsets in the file while `remaining`
// lasts, or from a buffer once slurped (tracks are parsed from memory).
class Source {
public:
    Source(file3ds* file, std::uint64_t at, std::uint64_t remaining)
        : mFile(file), mAt(at), mRemaining(remaining), mBytes(ViewAt3ds(file, at, static_cast<std::size_t>(remaining))) {}

    std::uint64_t Remaining() const { return mRemaining; }

    bool Bytes(void* dst, std::size_t n) {
        if (n > mRemaining) return Fail(ERR_INVALID_CHUNK);
        if (n == 0) return true;
        if (mBytes) {
            std::memcpy(dst, mBytes, n);
            mBytes += n;
        } else if (!ReadAt3ds(mFile, mAt, dst, n)) {
            return Fail(ERR_READING_FILE);
        }
        mAt += n;
        mRemaining -= n;
        return true;
    }

    // A NUL-terminated string inside the chunk; `keep` caps what is returned.
    bool String(char** out, std::size_t keep = static_cast<std::size_t>(-1)) {
        std::string text;
        for (;;) {
            if (mRemaining == 0) return Fail(ERR_INVALID_CHUNK);
            int c;
            if (mBytes) {
                c = *mBytes++;
            } else if ((c = ByteAt3ds(mFile, mAt)) < 0) {
                return Fail(ERR_READING_FILE);
            }
            ++mAt;
            --mRemaining;
            if (c == 0) break;
            if (text.size() < keep) text.push_back(static_cast<char>(c));
        }
        if (out) {
            *out = CopyString(text.data(), text.size());
            if (!*out) return Fail(ERR_NO_MEM);
        }
        return true;
    }

    // Reads the rest of the chunk into memory; later reads come from there.
    bool Slurp() {
        if (mBytes) return true;
        mBuffer.resize(static_cast<std::size_t>(mRemaining));
        if (!ReadAt3ds(mFile, mAt, mBuffer.data(), mBuffer.size())) return Fail(ERR_READING_FILE);
        mBytes = mBuffer.data();
        return true;
    }

private:
    static bool Fail(std::int32_t code) {
        PushErrList3ds(code);
        return false;
    }

    file3ds* mFile;
    std::uint64_t mAt;
    std::uint64_t mRemaining;
    const std::uint8_t* mBytes;  // the rest of the data in memory, or null
    std::vector<std::uint8_t> mBuffer;
};

// Frees what a record owns, by its fields; the record itself stays.
void FreeFields(const CatalogEntry& entry, void* record) {
    for (std::uint8_t i = 0; i < entry.nfields; ++i) {
        const FieldSpec& f = entry.fields[i];
        switch (f.kind) {
            case FieldKind::String:
                for (int k = 0; k < f.count; ++k) {
                    char*& s = At<char*>(record, f.offset + k * sizeof(char*));
                    std::free(s);
                    s = nullptr;
                }
                break;
            case FieldKind::FixedString:
            case FieldKind::LengthString: {
                char*& s = At<char*>(record, f.offset);
                std::free(s);
                s = nullptr;
                break;
            }
            case FieldKind::Array16:
            case FieldKind::LengthArray32: {
                void*& a = At<void*>(record, f.offset2);
                std::free(a);
                a = nullptr;
                break;
            }
            case FieldKind::Raw: {
                auto* raw = static_cast<rawdata3ds*>(record);
                std::free(raw->data);
                raw->data = nullptr;
                break;
            }
            case FieldKind::Track: {
                auto* track = static_cast<trackdata3ds*>(record);
                std::free(track->keys);
                std::free(track->values);
                track->keys = nullptr;
                track->values = nullptr;
                break;
            }
            default:
                break;
        }
    }
}

float keyheader3ds::*const kSpline[5] = {&keyheader3ds::tension, &keyheader3ds::continuity,
                                               &keyheader3ds::bias, &keyheader3ds::easeto, &keyheader3ds::easefrom};

bool ReadTrack(Source& src, const FieldSpec& f, trackdata3ds* track) {
    std::uint8_t head[14];
    if (!src.Bytes(head, sizeof(head))) return false;
    Convert(head, &track->header.flags, 1, 2);
    Convert(head + 2, &track->header.nu1, 1, 4);
    Convert(head + 6, &track->header.nu2, 1, 4);
    Convert(head + 10, &track->header.keycount, 1, 4);
    const std::uint64_t count = track->header.keycount;
    const bool nameSlot = f.width != 0;
    const std::uint64_t leastValue = nameSlot ? 1 : f.param;
    // Every key takes at least its 6-byte header and its value: a count the bytes
    // left cannot hold is refused before anything is allocated.
    if (count * (6 + leastValue) > src.Remaining()) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return false;
    }
    if (count == 0) return true;
    track->keys = static_cast<keyheader3ds*>(std::calloc(count, sizeof(keyheader3ds)));
    if (f.param) track->values = std::calloc(count, f.param);
    if (!track->keys || (f.param && !track->values)) {
        PushErrList3ds(ERR_NO_MEM);
        return false;
    }
    if (!src.Slurp()) return false;
    auto* values = static_cast<std::uint8_t*>(track->values);
    for (std::uint64_t k = 0; k < count; ++k) {
        keyheader3ds& key = track->keys[k];
        std::uint8_t kh[6];
        if (!src.Bytes(kh, 6)) return false;
        Convert(kh, &key.time, 1, 4);
        Convert(kh + 4, &key.rflags, 1, 2);
        for (int b = 0; b < 5; ++b) {
            if (!(key.rflags & (1u << b))) continue;
            std::uint8_t v[4];
            if (!src.Bytes(v, 4)) return false;
            Convert(v, &(key.*kSpline[b]), 1, 4);
        }
        if (nameSlot) {
            // Names beyond the slot are cut: 12 characters and a NUL.
            char* name = nullptr;
            if (!src.String(&name, MorphNameSlot3ds - 1)) return false;
            std::memcpy(values + k * MorphNameSlot3ds, name, std::strlen(name));
            std::free(name);
        } else if (f.param) {
            std::uint8_t v[16];
            if (!src.Bytes(v, f.param)) return false;
            Convert(v, values + k * f.param, f.param / 4, 4);
        }
    }
    return true;
}

bool ReadFields(Source& src, const CatalogEntry& entry, void* record) {
    for (std::uint8_t i = 0; i < entry.nfields; ++i) {
        const FieldSpec& f = entry.fields[i];
        switch (f.kind) {
            case FieldKind::U8:
            case FieldKind::I8:
            case FieldKind::U16:
            case FieldKind::I16:
            case FieldKind::U32:
            case FieldKind::I32:
            case FieldKind::F32: {
                const std::size_t width = ScalarWidth(f.kind);
                std::uint8_t bytes[128];
                if (!src.Bytes(bytes, width * f.count)) return false;
                Convert(bytes, static_cast<std::uint8_t*>(record) + f.offset, f.count, width);
                break;
            }
            case FieldKind::String:
                for (int k = 0; k < f.count; ++k)
                    if (!src.String(&At<char*>(record, f.offset + k * sizeof(char*)))) return false;
                break;
            case FieldKind::LengthString:
                if (!src.String(&At<char*>(record, f.offset))) return false;
                break;
            case FieldKind::FixedString: {
                std::vector<char> field(f.param);
                if (!src.Bytes(field.data(), f.param)) return false;
                char*& s = At<char*>(record, f.offset);
                s = CopyString(field.data(), strnlen(field.data(), f.param - 1));
                if (!s) {
                    PushErrList3ds(ERR_NO_MEM);
                    return false;
                }
                break;
            }
            case FieldKind::Array16: {
                std::uint8_t bytes[2];
                if (!src.Bytes(bytes, 2)) return false;
                std::uint16_t& count = At<std::uint16_t>(record, f.offset);
                Convert(bytes, &count, 1, 2);
                const std::size_t size = static_cast<std::size_t>(count) * f.param;
                if (size > src.Remaining()) {
                    count = 0;
                    PushErrList3ds(ERR_INVALID_CHUNK);
                    return false;
                }
                if (count == 0) break;
                void* array = std::malloc(size);
                if (!array) {
                    count = 0;
                    PushErrList3ds(ERR_NO_MEM);
                    return false;
                }
                At<void*>(record, f.offset2) = array;
                if (!src.Bytes(array, size)) return false;
                if (!kLittleEndian) Convert(array, array, size / f.width, f.width);
                break;
            }
            case FieldKind::LengthArray32: {
                const std::uint64_t n = src.Remaining() / 4;
                if (n > 0xFFFF) {
                    PushErrList3ds(ERR_INVALID_CHUNK);
                    return false;
                }
                At<std::uint16_t>(record, f.offset) = static_cast<std::uint16_t>(n);
                if (n == 0) break;
                void* array = std::malloc(n * 4);
                if (!array) {
                    PushErrList3ds(ERR_NO_MEM);
                    return false;
                }
                At<void*>(record, f.offset2) = array;
                if (!src.Bytes(array, n * 4)) return false;
                if (!kLittleEndian) Convert(array, array, n, 4);
                break;
            }
            case FieldKind::Raw: {
                auto* raw = static_cast<rawdata3ds*>(record);
                raw->size = static_cast<std::uint32_t>(src.Remaining());
                if (raw->size == 0) break;
                raw->data = std::malloc(raw->size);
                if (!raw->data) {
                    PushErrList3ds(ERR_NO_MEM);
                    return false;
                }
                if (!src.Bytes(raw->data, raw->size)) return false;
                break;
            }
            case FieldKind::Track:
                if (!ReadTrack(src, f, static_cast<trackdata3ds*>(record))) return false;
                break;
        }
    }
    return true;
}

// Appends the record's file form to `out`.
void WriteFields(const CatalogEntry& entry, const void* record, std::vector<std::uint8_t>& out) {
    auto bytes = [&out](const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    auto scalars = [&out](const void* p, std::size_t count, std::size_t width) {
        const std::size_t at = out.size();
        out.resize(at + count * width);
        Convert(p, out.data() + at, count, width);
    };
    auto string = [&bytes](const char* s) {
        if (!s) s = "";
        bytes(s, std::strlen(s) + 1);
    };
    const auto* base = static_cast<const std::uint8_t*>(record);
    for (std::uint8_t i = 0; i < entry.nfields; ++i) {
        const FieldSpec& f = entry.fields[i];
        switch (f.kind) {
            case FieldKind::U8:
            case FieldKind::I8:
            case FieldKind::U16:
            case FieldKind::I16:
            case FieldKind::U32:
            case FieldKind::I32:
            case FieldKind::F32:
                scalars(base + f.offset, f.count, ScalarWidth(f.kind));
                break;
            case FieldKind::String:
                for (int k = 0; k < f.count; ++k)
                    string(*reinterpret_cast<char* const*>(base + f.offset + k * sizeof(char*)));
                break;
            case FieldKind::LengthString:
                string(*reinterpret_cast<char* const*>(base + f.offset));
                break;
            case FieldKind::FixedString: {
                const char* s = *reinterpret_cast<char* const*>(base + f.offset);
                std::vector<std::uint8_t> field(f.param, 0);
                if (s) std::memcpy(field.data(), s, strnlen(s, f.param - 1));
                bytes(field.data(), field.size());
                break;
            }
            case FieldKind::Array16:
            case FieldKind::LengthArray32: {
                const std::uint16_t count = *reinterpret_cast<const std::uint16_t*>(base + f.offset);
                const void* array = *reinterpret_cast<void* const*>(base + f.offset2);
                const std::uint16_t n = array ? count : 0;
                if (f.kind == FieldKind::Array16) scalars(&n, 1, 2);
                if (n) scalars(array, static_cast<std::size_t>(n) * f.param / f.width, f.width);
                break;
            }
            case FieldKind::Raw: {
                const auto* raw = static_cast<const rawdata3ds*>(record);
                if (raw->data) bytes(raw->data, raw->size);
                break;
            }
            case FieldKind::Track: {
                const auto* track = static_cast<const trackdata3ds*>(record);
                const std::uint32_t count = track->keys ? track->header.keycount : 0;
                scalars(&track->header.flags, 1, 2);
                scalars(&track->header.nu1, 1, 4);
                scalars(&track->header.nu2, 1, 4);
                scalars(&count, 1, 4);
                const auto* values = static_cast<const std::uint8_t*>(track->values);
                for (std::uint32_t k = 0; k < count; ++k) {
                    const keyheader3ds& key = track->keys[k];
                    scalars(&key.time, 1, 4);
                    scalars(&key.rflags, 1, 2);
                    for (int b = 0; b < 5; ++b)
                        if (key.rflags & (1u << b)) scalars(&(key.*kSpline[b]), 1, 4);
                    if (f.width) {
                        const char* name = values ? reinterpret_cast<const char*>(values + k * MorphNameSlot3ds) : "";
                        bytes(name, strnlen(name, MorphNameSlot3ds - 1));
                        out.push_back(0);
                    } else if (f.param) {
                        if (values)
                            scalars(values + k * f.param, f.param / 4, 4);
                        else
                            out.resize(out.size() + f.param, 0);
                    }
                }
                break;
            }
        }
    }
}

void* Duplicate(const void* p, std::size_t n) {
    if (!p || n == 0) return nullptr;
    void* copy = std::malloc(n);
    if (copy) std::memcpy(copy, p, n);
    return copy;
}

// Deep copy of what a record owns; `copy` starts as a byte copy of `record`.
bool CopyFields(const CatalogEntry& entry, const void* record, void* copy) {
    bool ok = true;
    auto dupString = [&ok](char*& s) {
        if (!s) return;
        s = CopyString(s, std::strlen(s));
        ok = ok && s;
    };
    for (std::uint8_t i = 0; i < entry.nfields; ++i) {
        const FieldSpec& f = entry.fields[i];
        switch (f.kind) {
            case FieldKind::String:
                for (int k = 0; k < f.count; ++k) dupString(At<char*>(copy, f.offset + k * sizeof(char*)));
                break;
            case FieldKind::FixedString:
            case FieldKind::LengthString:
                dupString(At<char*>(copy, f.offset));
                break;
            case FieldKind::Array16:
            case FieldKind::LengthArray32: {
                void*& a = At<void*>(copy, f.offset2);
                const std::size_t n = static_cast<std::size_t>(At<std::uint16_t>(copy, f.offset)) * f.param;
                const void* from = a;
                a = Duplicate(from, n);
                ok = ok && (a || !from || n == 0);
                break;
            }
            case FieldKind::Raw: {
                auto* raw = static_cast<rawdata3ds*>(copy);
                const void* from = raw->data;
                raw->data = Duplicate(from, raw->size);
                ok = ok && (raw->data || !from || raw->size == 0);
                break;
            }
            case FieldKind::Track: {
                auto* track = static_cast<trackdata3ds*>(copy);
                const std::size_t count = track->header.keycount;
                const void* keys = track->keys;
                const void* values = track->values;
                track->keys = static_cast<keyheader3ds*>(Duplicate(keys, count * sizeof(keyheader3ds)));
                track->values = Duplicate(values, count * f.param);
                ok = ok && (track->keys || !keys || count == 0) && (track->values || !values || count == 0 || !f.param);
                break;
            }
            default:
                break;
        }
    }
    (void)record;
    return ok;
}

// Bytes of a leaf chunk past its layout (a writer's extra fields): kept beside the
// record, out of the callers' sight, and written back after it. Few chunks have
// any, so they live in a table by record instead of in every record.
using TailTable = std::unordered_map<const void*, std::vector<std::uint8_t>>;

TailTable& Tails() {
    static TailTable* tails = new TailTable;  // never destroyed: records may outlive static destructors
    return *tails;
}

const std::vector<std::uint8_t>* TailOf(const void* record) {
    TailTable& tails = Tails();
    if (tails.empty()) return nullptr;
    auto it = tails.find(record);
    return it == tails.end() ? nullptr : &it->second;
}

void* AllocRecord(std::size_t recordsize) { return toolkit3ds::AllocBlock3ds(recordsize); }

// Frees the record itself and its tail; what its fields own is freed before.
void FreeRecord(void* record) {
    TailTable& tails = Tails();
    if (!tails.empty()) tails.erase(record);
    toolkit3ds::FreeBlock3ds(record);
}

const CatalogEntry kUncatalogued = {0, 0, toolkit3ds::SkipKind::Rest, 0, DataKind::Uncatalogued,
                                    nullptr, 0, sizeof(rawdata3ds), true, 0};

const CatalogEntry& EntryOf(std::uint32_t tag) {
    const CatalogEntry* entry = FindCatalogEntry(tag);
    return entry ? *entry : kUncatalogued;
}

// Field list of an entry: uncatalogued tags are one raw block.
const FieldSpec kRawField = {FieldKind::Raw, 1, 0, 0, 0, 0};

CatalogEntry Fields(const CatalogEntry& entry) {
    CatalogEntry e = entry;
    if (e.data == DataKind::Uncatalogued) {
        e.fields = &kRawField;
        e.nfields = 1;
    }
    return e;
}

// Layouts of scalars only (most small chunks) straight from the read window when
// the chunk holds them whole in the file: then the general reader would find no
// tail to keep and nothing to refuse either. Null when that does not hold.
void* ReadScalars(chunk3ds* chunk) {
    const CatalogEntry* entry = FindCatalogEntry(chunk->tag);
    if (!entry || !entry->scalarbytes) return nullptr;
    const std::uint32_t n = entry->scalarbytes;
    if (entry->skip == toolkit3ds::SkipKind::Rest ? chunk->size != 6 + n : chunk->size < 6 + n) return nullptr;
    file3ds* ctx = GetContextByIndex3ds(chunk->readindex);
    if (!ctx || !ctx->stream || static_cast<std::uint64_t>(chunk->position) + chunk->size > ctx->filesize)
        return nullptr;
    const std::uint8_t* bytes = ViewAt3ds(ctx, static_cast<std::uint64_t>(chunk->position) + 6, n);
    if (!bytes) return nullptr;
    auto* record = static_cast<std::uint8_t*>(AllocRecord(entry->recordsize));
    if (!record) return nullptr;
    SetContext3ds(ctx);
    for (std::uint8_t i = 0; i < entry->nfields; ++i) {
        const FieldSpec& f = entry->fields[i];
        const std::size_t width = ScalarWidth(f.kind);
        Convert(bytes, record + f.offset, f.count, width);
        bytes += width * f.count;
    }
    chunk->data = record;
    return record;
}

}  // namespace

std::uint32_t GetChunkValue3ds(std::uint32_t tag) {
    const CatalogEntry* entry = FindCatalogEntry(tag);
    return entry ? entry->value : 0;
}

bool IsTrackTag3ds(std::uint32_t tag) { return tag >= 0xB020 && tag <= 0xB029; }

std::uint32_t TrackValueSize3ds(std::uint32_t tag) {
    if (!IsTrackTag3ds(tag)) return 0;
    return EntryOf(tag).fields[0].param;
}

void* InitChunkData3ds(chunk3ds* chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    const CatalogEntry& entry = EntryOf(chunk->tag);
    if (entry.data == DataKind::None) {
        FreeChunkData3ds(chunk);
        return nullptr;
    }
    if (entry.data == DataKind::Uncatalogued) {
        if (chunk->size <= 6) return chunk->data;
        auto* raw = static_cast<rawdata3ds*>(AllocRecord(sizeof(rawdata3ds)));
        if (raw) raw->data = std::calloc(chunk->size - 6, 1);
        if (!raw || !raw->data) {
            if (raw) FreeRecord(raw);
            PushErrList3ds(ERR_NO_MEM);
            return nullptr;
        }
        raw->size = chunk->size - 6;
        FreeChunkData3ds(chunk);
        chunk->data = raw;
        return raw;
    }
    void* record = AllocRecord(entry.recordsize);
    if (!record) {
        PushErrList3ds(ERR_NO_MEM);
        return nullptr;
    }
    FreeChunkData3ds(chunk);
    chunk->data = record;
    return record;
}

void* ReadChunkData3ds(chunk3ds* chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    if (chunk->data) return chunk->data;
    if (void* record = ReadScalars(chunk)) return record;
    const CatalogEntry& entry = EntryOf(chunk->tag);
    if (chunk->tag == 0 || entry.data == DataKind::None || entry.data == DataKind::Memory) return nullptr;
    if (entry.data == DataKind::Uncatalogued && chunk->size <= 6) return nullptr;
    if (chunk->readindex == InvalidFileContext3ds) return nullptr;  // made in memory: nothing to read
    file3ds* ctx = GetContextByIndex3ds(chunk->readindex);
    if (!ctx || !ctx->stream) {
        PushErrList3ds(ERR_READING_FILE);
        return nullptr;
    }
    SetContext3ds(ctx);
    const std::uint64_t start = static_cast<std::uint64_t>(chunk->position) + 6;
    std::uint64_t end = static_cast<std::uint64_t>(chunk->position) + chunk->size;
    if (end > ctx->filesize) end = ctx->filesize;
    if (chunk->size < 6 || start > end) {
        PushErrList3ds(ERR_INVALID_CHUNK);
        return nullptr;
    }
    if (entry.data == DataKind::Uncatalogued && end - start < chunk->size - 6u) {
        PushErrList3ds(ERR_INVALID_CHUNK);  // the file ends inside the block
        return nullptr;
    }
    const CatalogEntry fields = Fields(entry);
    void* record = AllocRecord(fields.recordsize);
    if (!record) {
        PushErrList3ds(ERR_NO_MEM);
        return nullptr;
    }
    Source src(ctx, start, end - start);
    bool ok = ReadFields(src, fields, record);
    if (ok && entry.skip == toolkit3ds::SkipKind::Rest && src.Remaining() > 0) {
        std::vector<std::uint8_t> tail(static_cast<std::size_t>(src.Remaining()));
        ok = src.Bytes(tail.data(), tail.size());
        if (ok) Tails()[record] = std::move(tail);
    }
    if (!ok) {
        FreeFields(fields, record);
        FreeRecord(record);
        return nullptr;
    }
    chunk->data = record;
    return record;
}

namespace toolkit3ds {

void AppendChunkData(const chunk3ds* chunk, std::vector<std::uint8_t>& out) {
    if (!chunk->data || chunk->tag == 0) return;
    const CatalogEntry& entry = EntryOf(chunk->tag);
    if (entry.data == DataKind::None || entry.data == DataKind::Memory) return;
    const CatalogEntry fields = Fields(entry);
    WriteFields(fields, chunk->data, out);
    if (const std::vector<std::uint8_t>* tail = TailOf(chunk->data)) out.insert(out.end(), tail->begin(), tail->end());
}

bool HoldsWholeContent(const chunk3ds* chunk) {
    return chunk->data && EntryOf(chunk->tag).data == DataKind::Uncatalogued;
}

}  // namespace toolkit3ds

void WriteChunkData3ds(chunk3ds* chunk) {
    if (!chunk) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (file3ds* ctx = GetContextByIndex3ds(chunk->writeindex)) SetContext3ds(ctx);
    std::vector<std::uint8_t> out;
    toolkit3ds::AppendChunkData(chunk, out);
    if (out.empty()) return;
    std::FILE* f = GetFile3ds();
    if (!f)
        PushErrList3ds(ERR_WRITING_FILE);
    else if (std::fwrite(out.data(), out.size(), 1, f) != 1)
        PushSystemErrList3ds(ERR_WRITING_FILE);
}

void CopyChunkData3ds(const chunk3ds* src, chunk3ds* dst) {
    if (!src || !dst) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!src->data || dst->data) return;
    const CatalogEntry& entry = EntryOf(src->tag);
    if (entry.data == DataKind::None) return;
    const CatalogEntry fields = Fields(entry);
    void* copy = AllocRecord(fields.recordsize);
    if (!copy) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    std::memcpy(copy, src->data, fields.recordsize);
    bool ok = CopyFields(fields, src->data, copy);
    if (ok) {
        if (const std::vector<std::uint8_t>* tail = TailOf(src->data)) {
            std::vector<std::uint8_t> bytes = *tail;  // copied first: inserting may move the table
            Tails()[copy] = std::move(bytes);
        }
    }
    if (!ok) {
        FreeFields(fields, copy);
        FreeRecord(copy);
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    dst->data = copy;
}

void FreeChunkData3ds(chunk3ds* chunk) {
    if (!chunk || !chunk->data) return;
    const CatalogEntry& entry = EntryOf(chunk->tag);
    if (entry.owns) FreeFields(Fields(entry), chunk->data);
    FreeRecord(chunk->data);
    chunk->data = nullptr;
}

void FreeFileChunkData3ds(chunk3ds* chunk) {
    if (chunk && IsValidFileIndex3ds(chunk->readindex)) FreeChunkData3ds(chunk);
}

}  // namespace zeqsdk_400
