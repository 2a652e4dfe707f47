// The lookup lists of a database (named objects, material entries, keyframe
// nodes) and the finds, deletes and copies over them. A list is rebuilt from the
// tree when marked dirty; the record functions' puts update it in place where the
// answer stays that of a rebuild, so that a writer putting thousands of records
// does not rebuild it after each one.

#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/databaseindex3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

namespace {

databaseindex3ds& IndexOf(database3ds* db) {
    if (!db->index) db->index = new databaseindex3ds;
    return *db->index;
}

void ResetList(chunklist3ds** list) {
    ReleaseChunkList3ds(list);
    InitChunkList3ds(list, 0);
}

std::string NodeKey(std::uint32_t tag, const char* name) { return std::to_string(tag) + ':' + (name ? name : ""); }

// The name a node is listed under: its header name, "name.instance" for an object
// node with an instance name; false for a node without a readable header.
bool NodeName(chunk3ds* node, std::string& name) {
    chunk3ds* header = FindChild3ds(node, 0xB010);
    const auto* data = header ? static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
    if (!data) return false;
    name = data->name ? data->name : "";
    FreeFileChunkData3ds(header);
    if (node->tag == 0xB002) {
        if (chunk3ds* instance = FindChild3ds(node, 0xB011)) {
            const auto* text = static_cast<stringdata3ds*>(ReadChunkData3ds(instance));
            if (text && text->value) {
                name.push_back('.');
                name += text->value;
            }
            FreeFileChunkData3ds(instance);
        }
    }
    return true;
}

bool ObjectName(chunk3ds* object, std::string& name) {
    const auto* data = static_cast<stringdata3ds*>(ReadChunkData3ds(object));
    if (!data || !data->value) return false;
    name = data->value;
    return true;
}

bool MaterialName(chunk3ds* entry, std::string& name) {
    chunk3ds* nameChunk = FindChild3ds(entry, 0xA000);
    const auto* data = nameChunk ? static_cast<stringdata3ds*>(ReadChunkData3ds(nameChunk)) : nullptr;
    if (!data || !data->value) return false;
    name = data->value;
    return true;
}

chunk3ds* MaterialParent(database3ds* db) {
    chunk3ds* parent = nullptr;
    FindChunk3ds(db->top, 0x3D3D, &parent);
    if (!parent) FindChunk3ds(db->top, 0x3DAA, &parent);
    return parent;
}

// Does the named object hold a chunk of the kind asked for (a spotlight: a light
// whose subtree holds 0x4610)?
bool HoldsKind(chunk3ds* object, std::uint32_t tag) {
    chunk3ds* found = nullptr;
    if (tag == 0x14600) {  // an omnilight: a light without a spotlight
        FindChunk3ds(object, 0x4600, &found);
        if (!found) return false;
        chunk3ds* spot = nullptr;
        FindChunk3ds(found, 0x4610, &spot);
        return spot == nullptr;
    }
    if (tag == 0x4610) {
        FindChunk3ds(object, 0x4600, &found);
        if (!found) return false;
        chunk3ds* spot = nullptr;
        FindChunk3ds(found, 0x4610, &spot);
        return spot != nullptr;
    }
    FindChunk3ds(object, tag, &found);
    return found != nullptr;
}

const std::vector<chunk3ds*>& ObjectsOfKind(database3ds* db, std::uint32_t tag) {
    databaseindex3ds& index = IndexOf(db);
    kindcache3ds& cache = index.objectkinds[tag];
    if (cache.version != index.objectversion) {
        cache.chunks.clear();
        for (std::uint32_t i = 0; db->objects && i < db->objects->count; ++i)
            if (HoldsKind(db->objects->list[i].chunk, tag)) cache.chunks.push_back(db->objects->list[i].chunk);
        cache.version = index.objectversion;
    }
    return cache.chunks;
}

const std::vector<chunk3ds*>& NodesOfKind(database3ds* db, std::uint32_t tag) {
    databaseindex3ds& index = IndexOf(db);
    kindcache3ds& cache = index.nodekinds[tag];
    if (cache.version != index.nodeversion) {
        cache.chunks.clear();
        for (std::uint32_t i = 0; db->nodes && i < db->nodes->count; ++i)
            if (db->nodes->list[i].chunk->tag == tag) cache.chunks.push_back(db->nodes->list[i].chunk);
        cache.version = index.nodeversion;
    }
    return cache.chunks;
}

chunk3ds* FirstByName(std::unordered_map<std::string, chunk3ds*>& names, bool& valid, const chunklist3ds* list,
                      const std::string& key, std::string (*keyOf)(const chunklistentry3ds&)) {
    if (!valid) {
        names.clear();
        for (std::uint32_t i = 0; list && i < list->count; ++i) names.emplace(keyOf(list->list[i]), list->list[i].chunk);
        valid = true;
    }
    auto it = names.find(key);
    return it == names.end() ? nullptr : it->second;
}

std::string PlainKey(const chunklistentry3ds& e) { return e.name; }
std::string TaggedKey(const chunklistentry3ds& e) { return NodeKey(e.chunk->tag, e.name); }

bool SourceAndDestination(database3ds* dst, database3ds* src) {
    if (!dst || !src) {
        PushErrList3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!src->top || !dst->top) {
        PushErrList3ds(ERR_INVALID_DATABASE);
        return false;
    }
    return CheckDatabase3ds(src, true, true, false) && CheckDatabase3ds(dst, true, true, false);
}

// The checks of a copy (`name` of a copy by name; a copy by index passes none).
// A copy into the database it comes from finds its object there already; going on
// would delete that object as the old one of its name and copy what is left of it.
bool CopyBetween(database3ds* dst, database3ds* src, const char* name = "") {
    if (!SourceAndDestination(dst, src)) return false;
    if (!name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return false;
    }
    return dst != src;
}

bool InsertEntry(chunklist3ds* list, std::uint32_t at, const std::string& name, chunk3ds* chunk) {
    if (!AppendChunkList3ds(list, name.c_str(), chunk)) return false;
    const chunklistentry3ds added = list->list[list->count - 1];
    std::memmove(&list->list[at + 1], &list->list[at], (list->count - 1 - at) * sizeof(chunklistentry3ds));
    list->list[at] = added;
    return true;
}

}  // namespace

// ---- Named objects ----

void MakeNamedObjectListDirty3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    db->objectsdirty = 1;
    databaseindex3ds& index = IndexOf(db);
    ++index.objectversion;
    index.objectnamesvalid = false;
}

void NoteNamedObjectChanged3ds(database3ds* db) {
    if (db) ++IndexOf(db).objectversion;
}

void UpdateNamedObjectList3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->objectsdirty && db->objects) return;
    db->objectsdirty = 0;
    databaseindex3ds& index = IndexOf(db);
    ++index.objectversion;
    index.objectnamesvalid = false;
    ResetList(&db->objects);
    if (!db->objects || !db->top) return;
    chunk3ds* section = nullptr;
    FindChunk3ds(db->top, 0x3D3D, &section);
    chunk3ds* object = nullptr;
    if (section) FindChunk3ds(section, 0x4000, &object);
    std::string name;
    for (; object; FindNextChunk3ds(object->sibling, 0x4000, &object)) {
        // An object whose name does not read is left out of the list.
        if (!ObjectName(object, name)) continue;
        if (!AppendChunkList3ds(db->objects, name.c_str(), object)) return;
    }
}

void NoteNamedObjectAdded3ds(database3ds* db, chunk3ds* object) {
    if (!db || !object) return;
    databaseindex3ds& index = IndexOf(db);
    ++index.objectversion;
    std::string name;
    if (db->objectsdirty || !db->objects || !ObjectName(object, name)) {
        MakeNamedObjectListDirty3ds(db);
        return;
    }
    // Appended when it stands right after the last listed object (only other
    // kinds of chunks between them); anything else is left to a rebuild.
    bool after = false;
    if (db->objects->count > 0) {
        for (chunk3ds* c = db->objects->list[db->objects->count - 1].chunk->sibling; c && !after; c = c->sibling) {
            if (c == object) after = true;
            else if (c->tag == 0x4000) break;
        }
    }
    if (!after) {
        MakeNamedObjectListDirty3ds(db);
        return;
    }
    for (chunk3ds* c = object->sibling; c; c = c->sibling) {
        if (c->tag == 0x4000) {
            MakeNamedObjectListDirty3ds(db);
            return;
        }
    }
    if (!AppendChunkList3ds(db->objects, name.c_str(), object)) {
        MakeNamedObjectListDirty3ds(db);
        return;
    }
    if (index.objectnamesvalid) index.objectnames.emplace(name, object);
}

chunk3ds* FindNamedObject3ds(database3ds* db, const char* name, chunk3ds** out) {
    if (!db || !name || !out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    *out = nullptr;
    UpdateNamedObjectList3ds(db);
    if (Stop3ds()) return nullptr;
    databaseindex3ds& index = IndexOf(db);
    *out = FirstByName(index.objectnames, index.objectnamesvalid, db->objects, name, PlainKey);
    return *out;
}

chunk3ds* FindNamedObjectByIndex3ds(database3ds* db, std::uint32_t tag, std::uint32_t index) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    UpdateNamedObjectList3ds(db);
    if (Stop3ds()) return nullptr;
    const std::vector<chunk3ds*>& kind = ObjectsOfKind(db, tag);
    return index < kind.size() ? kind[index] : nullptr;
}

std::uint32_t CountNamedObjects3ds(database3ds* db, std::uint32_t tag) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return 0;
    }
    UpdateNamedObjectList3ds(db);
    if (Stop3ds()) return 0;
    return static_cast<std::uint32_t>(ObjectsOfKind(db, tag).size());
}

void DeleteChunkTypeByIndex3ds(database3ds* db, std::uint32_t tag, std::uint32_t index) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* object = FindNamedObjectByIndex3ds(db, tag, index);
    if (Stop3ds() || !object) return;
    DeleteChunk3ds(object);
    MakeNamedObjectListDirty3ds(db);
}

void DeleteNamedObjectByName3ds(database3ds* db, const char* name) {
    if (!db || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name, &object);
    if (Stop3ds()) return;
    if (object) DeleteChunk3ds(object);
    MakeNamedObjectListDirty3ds(db);
}

namespace {

void CopyNamedObject(database3ds* dst, chunk3ds* object) {
    std::string name;
    if (!ObjectName(object, name)) return;
    chunk3ds* section = FindOrAddSection3ds(dst, 0x3D3D);
    if (!section) return;
    DeleteNamedObjectByName3ds(dst, name.c_str());
    if (Stop3ds()) return;
    chunk3ds* copy = nullptr;
    CopyChunk3ds(object, &copy);
    if (Stop3ds()) {
        ReleaseDetachedChunk3ds(&copy);
        return;
    }
    AddChildOrdered3ds(section, copy);
    MakeNamedObjectListDirty3ds(dst);
}

}  // namespace

void CopyNamedObjectByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t tag, std::uint32_t index) {
    if (!CopyBetween(dst, src)) return;
    chunk3ds* object = FindNamedObjectByIndex3ds(src, tag, index);
    if (Stop3ds() || !object) return;
    CopyNamedObject(dst, object);
}

void CopyNamedObjectByName3ds(database3ds* dst, database3ds* src, const char* name) {
    if (!CopyBetween(dst, src, name)) return;
    chunk3ds* object = nullptr;
    FindNamedObject3ds(src, name, &object);
    if (Stop3ds() || !object) return;
    CopyNamedObject(dst, object);
}

// ---- Material entries ----

void MakeMatEntryListDirty3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    db->materialsdirty = 1;
    IndexOf(db).materialnamesvalid = false;
}

void UpdateMatEntryList3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->materialsdirty && db->materials) return;
    db->materialsdirty = 0;
    IndexOf(db).materialnamesvalid = false;
    ResetList(&db->materials);
    if (!db->materials || !db->top) return;
    chunk3ds* parent = MaterialParent(db);
    chunk3ds* entry = nullptr;
    if (parent) FindChunk3ds(parent, 0xAFFF, &entry);
    std::string name;
    for (; entry; FindNextChunk3ds(entry->sibling, 0xAFFF, &entry)) {
        if (!MaterialName(entry, name)) continue;  // an entry without a name is left out
        if (!AppendChunkList3ds(db->materials, name.c_str(), entry)) return;
    }
}

void NoteMatEntryAdded3ds(database3ds* db, chunk3ds* entry) {
    if (!db || !entry) return;
    std::string name;
    if (db->materialsdirty || !db->materials || db->materials->count == 0 || !MaterialName(entry, name)) {
        MakeMatEntryListDirty3ds(db);
        return;
    }
    bool after = false;
    for (chunk3ds* c = db->materials->list[db->materials->count - 1].chunk->sibling; c && !after; c = c->sibling) {
        if (c == entry) after = true;
        else if (c->tag == 0xAFFF) break;
    }
    for (chunk3ds* c = entry->sibling; after && c; c = c->sibling)
        if (c->tag == 0xAFFF) after = false;
    if (!after || !AppendChunkList3ds(db->materials, name.c_str(), entry)) {
        MakeMatEntryListDirty3ds(db);
        return;
    }
    databaseindex3ds& index = IndexOf(db);
    if (index.materialnamesvalid) index.materialnames.emplace(name, entry);
}

chunk3ds* FindMatEntry3ds(database3ds* db, const char* name, chunk3ds** out) {
    if (!db || !name || !out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    *out = nullptr;
    if (!CheckDatabase3ds(db, true, true, true)) return nullptr;
    UpdateMatEntryList3ds(db);
    if (Stop3ds()) return nullptr;
    databaseindex3ds& index = IndexOf(db);
    *out = FirstByName(index.materialnames, index.materialnamesvalid, db->materials, name, PlainKey);
    return *out;
}

chunk3ds* FindMatEntryByIndex3ds(database3ds* db, std::uint32_t index) {
    if (!CheckDatabase3ds(db, true, true, true)) return nullptr;
    UpdateMatEntryList3ds(db);
    if (Stop3ds() || !db->materials || index >= db->materials->count) return nullptr;
    return db->materials->list[index].chunk;
}

// ---- Keyframe nodes ----

void MakeNodeTagListDirty3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    db->nodesdirty = 1;
    databaseindex3ds& index = IndexOf(db);
    ++index.nodeversion;
    index.nodenamesvalid = false;
}

void UpdateNodeTagList3ds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->nodesdirty && db->nodes) return;
    db->nodesdirty = 0;
    databaseindex3ds& index = IndexOf(db);
    ++index.nodeversion;
    index.nodenamesvalid = false;
    index.nodesection = nullptr;
    ResetList(&db->nodes);
    if (!db->nodes || !db->top) return;
    chunk3ds* section = nullptr;
    FindChunk3ds(db->top, 0xB000, &section);
    index.nodesection = section;
    std::string name;
    for (chunk3ds* node = section ? section->children : nullptr; node; node = node->sibling) {
        if (node->tag < 0xB001 || node->tag > 0xB007) continue;
        if (!NodeName(node, name)) continue;  // a node without a header is left out
        if (!AppendChunkList3ds(db->nodes, name.c_str(), node)) return;
    }
}

void NoteNodeTagAdded3ds(database3ds* db, chunk3ds* section, chunk3ds* node) {
    if (!db || !node) return;
    databaseindex3ds& index = IndexOf(db);
    std::string name;
    if (db->nodesdirty || !db->nodes || index.nodesection != section || !NodeName(node, name)) {
        MakeNodeTagListDirty3ds(db);
        return;
    }
    std::uint32_t later = 0;
    for (chunk3ds* c = node->sibling; c; c = c->sibling)
        if (c->tag >= 0xB001 && c->tag <= 0xB007) ++later;
    const std::string key = NodeKey(node->tag, name.c_str());
    if (later > db->nodes->count || (later > 0 && index.nodenamesvalid && index.nodenames.count(key))) {
        MakeNodeTagListDirty3ds(db);
        return;
    }
    if (!InsertEntry(db->nodes, db->nodes->count - later, name, node)) {
        MakeNodeTagListDirty3ds(db);
        return;
    }
    ++index.nodeversion;
    if (index.nodenamesvalid) index.nodenames.emplace(key, node);
}

chunk3ds* FindNodeTagByNameAndType3ds(database3ds* db, const char* name, std::uint32_t type) {
    if (!db || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    UpdateNodeTagList3ds(db);
    if (Stop3ds()) return nullptr;
    databaseindex3ds& index = IndexOf(db);
    return FirstByName(index.nodenames, index.nodenamesvalid, db->nodes, NodeKey(type, name), TaggedKey);
}

chunk3ds* FindNodeTagByIndexAndType3ds(database3ds* db, std::uint32_t index, std::uint32_t type) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    UpdateNodeTagList3ds(db);
    if (Stop3ds()) return nullptr;
    const std::vector<chunk3ds*>& kind = NodesOfKind(db, type);
    return index < kind.size() ? kind[index] : nullptr;
}

std::uint32_t CountNodeTags3ds(database3ds* db, std::uint32_t type) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return 0;
    }
    UpdateNodeTagList3ds(db);
    if (Stop3ds()) return 0;
    return static_cast<std::uint32_t>(NodesOfKind(db, type).size());
}

namespace {

std::uint32_t TargetOf(std::uint32_t type) { return type == 0xB003 ? 0xB004 : type == 0xB007 ? 0xB006 : 0; }

}  // namespace

void DeleteNodeTagByNameAndType3ds(database3ds* db, const char* name, std::uint32_t type) {
    if (!db || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* node = FindNodeTagByNameAndType3ds(db, name, type);
    if (Stop3ds()) return;
    if (node) {
        DeleteChunk3ds(node);
        MakeNodeTagListDirty3ds(db);
    }
    if (const std::uint32_t target = TargetOf(type)) DeleteNodeTagByNameAndType3ds(db, name, target);
}

void DeleteNodeTagByIndexAndType3ds(database3ds* db, std::uint32_t index, std::uint32_t type) {
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* node = FindNodeTagByIndexAndType3ds(db, index, type);
    if (Stop3ds() || !node) return;
    if (const std::uint32_t target = TargetOf(type)) {
        chunk3ds* header = FindChild3ds(node, 0xB010);
        const auto* data = header ? static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
        if (data && data->name) {
            const std::string name = data->name;
            FreeFileChunkData3ds(header);
            DeleteNodeTagByNameAndType3ds(db, name.c_str(), target);
            if (Stop3ds()) return;
        }
    }
    DeleteChunk3ds(node);
    MakeNodeTagListDirty3ds(db);
}

namespace {

void CopyNode(database3ds* dst, database3ds* src, chunk3ds* node, const std::string& name, std::uint32_t type) {
    chunk3ds* section = FindChild3ds(dst->top, 0xB000);
    if (!section) {
        InitChunkAs3ds(&section, 0xB000);
        if (!section) return;
        AddChildOrdered3ds(dst->top, section);
    }
    DeleteNodeTagByNameAndType3ds(dst, name.c_str(), type);
    if (Stop3ds()) return;
    if (const std::uint32_t target = TargetOf(type)) {
        CopyNodeTagByNameAndType3ds(dst, src, name.c_str(), target);
        if (Stop3ds()) return;
    }
    chunk3ds* copy = nullptr;
    CopyChunk3ds(node, &copy);
    if (Stop3ds()) {
        ReleaseDetachedChunk3ds(&copy);
        return;
    }
    AddChildOrdered3ds(section, copy);
    MakeNodeTagListDirty3ds(dst);
}

}  // namespace

void CopyNodeTagByIndexAndType3ds(database3ds* dst, database3ds* src, std::uint32_t index, std::uint32_t type) {
    if (!CopyBetween(dst, src)) return;
    chunk3ds* node = FindNodeTagByIndexAndType3ds(src, index, type);
    if (Stop3ds() || !node) return;
    std::string name;
    if (!NodeName(node, name)) return;
    CopyNode(dst, src, node, name, type);
}

void CopyNodeTagByNameAndType3ds(database3ds* dst, database3ds* src, const char* name, std::uint32_t type) {
    if (!CopyBetween(dst, src, name)) return;
    chunk3ds* node = FindNodeTagByNameAndType3ds(src, name, type);
    if (Stop3ds() || !node) return;
    CopyNode(dst, src, node, name, type);
}

}  // namespace zeqsdk_400
