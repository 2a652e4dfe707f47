#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_DATABASE3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_DATABASE3DS_H

// A 3DS file held in memory as a chunk tree, read from a file (chunk data on first
// use) or built by the record functions and written back, with the lookup lists of
// named objects, material entries and keyframe nodes.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/filecontext3ds.h"

namespace zeqsdk_400 {

struct databaseindex3ds;

struct database3ds {
    chunk3ds* top;
    std::uint8_t objectsdirty, materialsdirty, nodesdirty;
    chunklist3ds* objects;    // named objects (0x4000)
    chunklist3ds* materials;  // material entries (0xAFFF)
    chunklist3ds* nodes;      // keyframe nodes (0xB001 to 0xB007), "name.instance" for object nodes
    databaseindex3ds* index;  // lookup tables over the lists, owned
};

// Database types by top chunk.
constexpr std::uint32_t UnknownDatabase3ds = 0;
constexpr std::uint32_t MeshFile3ds = 1;       // 0x4D4D
constexpr std::uint32_t ProjectFile3ds = 2;    // 0xC23D
constexpr std::uint32_t MaterialFile3ds = 3;   // 0x3DAA

// Nesting deeper than this in a file is refused as a corrupt chunk structure.
constexpr int MaxChunkDepth3ds = 64;

void InitDatabase3ds(database3ds** db);
void ReleaseDatabase3ds(database3ds** db);
void CreateDatabase3ds(file3ds* file, database3ds* db);
void CreateNewDatabase3ds(database3ds* db, std::int32_t type);
std::uint32_t GetDatabaseType3ds(const database3ds* db);
void CopyDatabase3ds(database3ds* src, database3ds* dst);
void DisconnectDatabase3ds(database3ds* db);
void WriteDatabase3ds(file3ds* file, database3ds* db);
void ReadChildren3ds(chunk3ds* parent);
void ReadXDataEntryChildren3ds(chunk3ds* entry);
void WriteChunk3ds(chunk3ds* chunk, std::uint8_t fileindex);

void UpdateNamedObjectList3ds(database3ds* db);
void MakeNamedObjectListDirty3ds(database3ds* db);
chunk3ds* FindNamedObject3ds(database3ds* db, const char* name, chunk3ds** out);
chunk3ds* FindNamedObjectByIndex3ds(database3ds* db, std::uint32_t tag, std::uint32_t index);
void DeleteChunkTypeByIndex3ds(database3ds* db, std::uint32_t tag, std::uint32_t index);
void DeleteNamedObjectByName3ds(database3ds* db, const char* name);
void CopyNamedObjectByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t tag, std::uint32_t index);
void CopyNamedObjectByName3ds(database3ds* dst, database3ds* src, const char* name);

void UpdateMatEntryList3ds(database3ds* db);
void MakeMatEntryListDirty3ds(database3ds* db);
chunk3ds* FindMatEntry3ds(database3ds* db, const char* name, chunk3ds** out);
chunk3ds* FindMatEntryByIndex3ds(database3ds* db, std::uint32_t index);

void UpdateNodeTagList3ds(database3ds* db);
void MakeNodeTagListDirty3ds(database3ds* db);
chunk3ds* FindNodeTagByNameAndType3ds(database3ds* db, const char* name, std::uint32_t type);
chunk3ds* FindNodeTagByIndexAndType3ds(database3ds* db, std::uint32_t index, std::uint32_t type);
void DeleteNodeTagByIndexAndType3ds(database3ds* db, std::uint32_t index, std::uint32_t type);
void DeleteNodeTagByNameAndType3ds(database3ds* db, const char* name, std::uint32_t type);
void CopyNodeTagByIndexAndType3ds(database3ds* dst, database3ds* src, std::uint32_t index, std::uint32_t type);
void CopyNodeTagByNameAndType3ds(database3ds* dst, database3ds* src, const char* name, std::uint32_t type);

// Number of list entries (named objects, or keyframe nodes of a tag) that hold a
// chunk of `tag`, counted once per list version.
std::uint32_t CountNamedObjects3ds(database3ds* db, std::uint32_t tag);
std::uint32_t CountNodeTags3ds(database3ds* db, std::uint32_t type);

// After a record function inserted a new chunk: updates the matching list in place
// where the answer stays that of a rebuild, else marks it dirty.
void NoteNamedObjectAdded3ds(database3ds* db, chunk3ds* object);
void NoteMatEntryAdded3ds(database3ds* db, chunk3ds* entry);
void NoteNodeTagAdded3ds(database3ds* db, chunk3ds* section, chunk3ds* node);
// After a record function changed a listed chunk in place (same name).
void NoteNamedObjectChanged3ds(database3ds* db);

// The first chunk of `tag` among `parent`'s direct children, or null.
chunk3ds* FindChild3ds(chunk3ds* parent, std::uint32_t tag);
// The first `tag` under the top chunk (depth-first); when there is none, a new one
// inserted under the top chunk in write order. Null only on failure.
chunk3ds* FindOrAddSection3ds(database3ds* db, std::uint32_t tag);
// Checks of the record functions: null db (2), no top chunk (5), a top tag outside
// `accepted` (6, or `wrongcode`). False when the caller must return.
bool CheckDatabase3ds(const database3ds* db, bool mesh, bool project, bool library,
                      std::int32_t wrongcode = 6);

}  // namespace zeqsdk_400

#endif
