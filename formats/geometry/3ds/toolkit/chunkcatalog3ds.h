#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CHUNKCATALOG3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CHUNKCATALOG3DS_H

// The per-tag table of the toolkit: each known tag's write-order value, where its
// first child begins after the header, and the layout of its data as a list of
// fields of its data record. Inside the toolkit only.

#include <cstdint>
#include <vector>

namespace zeqsdk_400 {
struct chunk3ds;
namespace toolkit3ds {

enum class FieldKind : std::uint8_t {
    U8, I8, U16, I16, U32, I32, F32,  // `count` scalars in a row at `offset`
    String,        // `count` owned char* in a row at `offset`: NUL-terminated in the file
    FixedString,   // owned char* at `offset`: a field of `param` bytes in the file
    LengthString,  // owned char* at `offset`: the rest of the chunk up to its NUL
    Array16,       // u16 count at `offset`, owned array at `offset2` of `param`-byte elements of `width`-byte scalars
    LengthArray32, // u16 count at `offset`, owned u32 array at `offset2`: the rest of the chunk
    Raw,           // rawdata3ds: the rest of the chunk
    Track,         // trackdata3ds; `param` is the value size, `width` 1 for a name slot
};

struct FieldSpec {
    FieldKind kind;
    std::uint8_t count;
    std::uint16_t offset;
    std::uint16_t offset2;
    std::uint16_t param;
    std::uint8_t width;
};

enum class DataKind : std::uint8_t {
    None,          // no data of its own
    Fields,        // a record laid out by `fields`
    Uncatalogued,  // an opaque block of the whole content, sub-chunks included
    Memory,        // a string held only in memory: never read from a file nor written
};

enum class SkipKind : std::uint8_t {
    Bytes,        // `skipbytes` of data, then the children
    String,       // a NUL-terminated string
    StringThen6,  // a string, then 6 bytes
    KfHeader,     // a 16-bit value, a string, a 32-bit value
    FaceList,     // a 16-bit count n, then 8 x n bytes
    Rest,         // the whole rest of the chunk: no children
};

struct CatalogEntry {
    std::uint16_t tag;
    std::uint8_t value;
    SkipKind skip;
    std::uint16_t skipbytes;
    DataKind data;
    const FieldSpec* fields;
    std::uint8_t nfields;
    std::uint16_t recordsize;
    bool owns;                // the record owns strings or arrays to free with it
    std::uint16_t scalarbytes; // file bytes of a layout of scalars only, 0 for others
};

// Appends the file form of a chunk's data record (nothing without one).
void AppendChunkData(const chunk3ds* chunk, std::vector<std::uint8_t>& out);
// True when the chunk's data record holds its whole content, sub-chunks included.
bool HoldsWholeContent(const chunk3ds* chunk);

extern const CatalogEntry* const kCatalogEntries3ds;
extern const std::uint16_t* const kCatalogIndex3ds;  // entry + 1 by tag, 0 for none

// The entry of a tag, or null for a tag the toolkit does not know (value 0, whole
// rest skipped, data an opaque block).
inline const CatalogEntry* FindCatalogEntry(std::uint32_t tag) {
    if (tag > 0xFFFF) return nullptr;
    const std::uint16_t at = kCatalogIndex3ds[tag];
    return at ? &kCatalogEntries3ds[at - 1] : nullptr;
}

}  // namespace toolkit3ds
}  // namespace zeqsdk_400

#endif
