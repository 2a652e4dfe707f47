#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CHUNK3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CHUNK3DS_H

// The chunk tree: a 3DS file held in memory as nodes of tag, length, file position
// and lazily read data, with the chunk and name lists the record functions hand out.

#include <cstdint>

namespace zeqsdk_400 {

// Fields ordered so that a node takes 40 bytes: a file of small chunks is mostly nodes.
struct chunk3ds {
    std::uint32_t tag;        // 0 marks a deleted node, never written
    std::uint32_t size;       // length as the header gives it: header, data and sub-chunks
    std::uint32_t position;   // file offset of the header in the file it came from
    std::uint8_t readindex;   // file context the data is read from, 255 for none
    std::uint8_t writeindex;  // file context last written to, 255 for none
    std::uint16_t appendhint; // the tree functions' own: where appending to this node resumes
    void* data;               // the tag's data record (owned) or null while not read
    chunk3ds* sibling;
    chunk3ds* children;
};

struct chunklistentry3ds {
    char* name;       // owned
    chunk3ds* chunk;  // not owned
};

struct chunklist3ds {
    std::uint32_t count;
    chunklistentry3ds* list;
    std::uint32_t spaces;  // room in `list`
};

struct namelist3ds {
    std::uint32_t count;   // names in use
    std::uint32_t spaces;  // room in the array
    char** list;           // owned names or null
};

void InitChunk3ds(chunk3ds** chunk);
void InitChunkAs3ds(chunk3ds** chunk, std::uint32_t tag);
void* InitChunkAndData3ds(chunk3ds** chunk, std::uint32_t tag);
void ReleaseChunk3ds(chunk3ds** chunk);
void ReleaseSiblingChunk3ds(chunk3ds** chunk);
void DeleteChunk3ds(chunk3ds* chunk);
std::uint32_t CheckChunk3ds(chunk3ds* chunk);
void FindChunk3ds(chunk3ds* start, std::uint32_t tag, chunk3ds** out);
void FindNextChunk3ds(chunk3ds* start, std::uint32_t tag, chunk3ds** out);
void AddChild3ds(chunk3ds* parent, chunk3ds* child);
void AddChildOrdered3ds(chunk3ds* parent, chunk3ds* child);
void ReplaceOrAddChild3ds(chunk3ds* parent, std::uint32_t tag, chunk3ds** out);
void CopyChunk3ds(chunk3ds* src, chunk3ds** dst);
void DisconnectChunk3ds(chunk3ds* chunk);
void SeekChild3ds(chunk3ds* chunk);

void InitChunkList3ds(chunklist3ds** list, std::uint32_t count);
void ReleaseChunkList3ds(chunklist3ds** list);
void InitNameList3ds(namelist3ds** list, std::uint32_t count);
void AddToNameList3ds(namelist3ds** list, const char* name);
void ReleaseNameList3ds(namelist3ds** list);
char* strdup3ds(const char* s);

struct file3ds;
// Where the first child of `chunk` begins when its data starts at `from` in the
// file of `ctx` (the chunk's end for chunks whose children are not parsed); false
// with ERR_INVALID_CHUNK when the data runs past the chunk.
bool ChildOffset3ds(file3ds* ctx, const chunk3ds* chunk, std::uint64_t from, std::uint64_t* first);
// Releases a tree that hangs from no parent (a private copy) without the cost of
// invalidating other trees' appending hints.
void ReleaseDetachedChunk3ds(chunk3ds** chunk);
// Appends an entry with an owned copy of name, growing the list's room as needed.
bool AppendChunkList3ds(chunklist3ds* list, const char* name, chunk3ds* chunk);

}  // namespace zeqsdk_400

#endif
