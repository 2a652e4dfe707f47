#include "formats/geometry/3ds/toolkit/kfnodes3ds.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

nodeinfo3ds* nodeList = nullptr;
const std::uint32_t nodeTags[7] = {0xB004, 0xB002, 0xB003, 0xB005, 0xB006, 0xB007, 0};

namespace {

nodeinfo3ds* gTail = nullptr;
// Lookups over the list, made once it is complete: first element per id, and
// first element per "name" (no instance) or "name\x01instance", where a camera
// or spotlight goes before its target of the same name.
bool gIndexed = false;
std::unordered_map<std::int16_t, nodeinfo3ds*> gById;
std::unordered_map<std::string, nodeinfo3ds*> gByName;

std::string NameKey(const char* name, const char* instance) {
    std::string key = name ? name : "";
    if (instance && *instance) {
        key.push_back('\x01');
        key += instance;
    }
    return key;
}

bool IsTarget(const nodeinfo3ds* node) { return node->tag == 0xB004 || node->tag == 0xB006; }

void Index() {
    if (gIndexed) return;
    gById.clear();
    gByName.clear();
    for (nodeinfo3ds* n = nodeList; n; n = n->next) {
        gById.emplace(n->id, n);
        // A target is written before its camera or spotlight: a child naming
        // that name means the camera or spotlight.
        auto named = gByName.emplace(NameKey(n->name, n->instance), n);
        if (!named.second && IsTarget(named.first->second) && !IsTarget(n)) named.first->second = n;
    }
    gIndexed = true;
}

std::string ParentName(const nodeinfo3ds* parent) {
    std::string name = parent->name ? parent->name : "";
    if (parent->instance && *parent->instance) {
        name.push_back('.');
        name += parent->instance;
    }
    return name;
}

// A record changed in place must survive the write, which drops file-backed data.
void KeepInMemory(chunk3ds* chunk) { chunk->readindex = 255; }

chunk3ds* Section(database3ds* db) {
    chunk3ds* section = nullptr;
    if (db->top) FindChunk3ds(db->top, 0xB000, &section);
    return section;
}

void AssignNames(database3ds* db) {
    chunk3ds* section = Section(db);
    if (!section) return;
    Index();
    for (const std::uint32_t* tag = nodeTags; *tag; ++tag) {
        chunk3ds* node = nullptr;
        FindChunk3ds(section, *tag, &node);
        for (; node; FindNextChunk3ds(node->sibling, *tag, &node)) {
            chunk3ds* header = nullptr;
            chunk3ds* idChunk = nullptr;
            FindChunk3ds(node, 0xB010, &header);
            FindChunk3ds(node, 0xB030, &idChunk);
            if (!header || !idChunk) continue;
            auto* idData = static_cast<shortdata3ds*>(ReadChunkData3ds(idChunk));
            if (!idData) {
                if (Stop3ds()) return;
                continue;
            }
            const std::int16_t id = idData->value;
            FreeFileChunkData3ds(idChunk);
            nodeinfo3ds* self = findNodeById(id);
            if (!self || self->parent == -1) continue;
            nodeinfo3ds* parent = findNodeById(self->parent);
            if (!parent) continue;
            const std::string name = ParentName(parent);
            chunk3ds* existing = FindChild3ds(header, 0x80F0);
            if (existing) {
                auto* data = static_cast<stringdata3ds*>(existing->data ? existing->data : InitChunkData3ds(existing));
                if (!data) return;
                char* copy = strdup3ds(name.c_str());
                if (!copy) return;
                std::free(data->value);
                data->value = copy;
            } else {
                kfAddParentName(header, name.c_str());
            }
            if (Stop3ds()) return;
        }
    }
}

void ComputeIds(database3ds* db) {
    chunk3ds* section = Section(db);
    if (!section) return;
    std::int32_t counter = 0;
    for (chunk3ds* node = section->children; node; node = node->sibling) {
        if (node->tag == 0xB001) {
            setNodeId(node, -1);
        } else if (IsNode3ds(node->tag)) {
            // Node ids are 16-bit: more nodes than they can number are refused.
            if (counter >= kMaxNodes3ds) {
                PushErrList3ds(ERR_TOO_MANY_NODES);
                return;
            }
            setNodeId(node, static_cast<std::int16_t>(counter++));
            addToNodeList(node);
        }
        if (Stop3ds()) return;
    }
    Index();
    for (chunk3ds* node = section->children; node; node = node->sibling) {
        if (!IsNode3ds(node->tag)) continue;
        chunk3ds* header = FindChild3ds(node, 0xB010);
        auto* data = header ? static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
        if (!data) {
            if (Stop3ds()) return;
            continue;
        }
        KeepInMemory(header);
        data->parentindex = -1;
        chunk3ds* parentName = FindChild3ds(header, 0x80F0);
        const auto* name = parentName ? static_cast<stringdata3ds*>(parentName->data) : nullptr;
        if (name && name->value) {
            if (nodeinfo3ds* parent = findObjNodeByName(name->value)) data->parentindex = parent->id;
        }
    }
}

}  // namespace

bool IsNode3ds(std::uint32_t tag) {
    for (const std::uint32_t* t = nodeTags; *t; ++t)
        if (*t == tag) return true;
    return false;
}

void InitNodeList() {
    if (nodeList) ReleaseNodeList();
}

void ReleaseNodeList() {
    while (nodeList) {
        nodeinfo3ds* next = nodeList->next;
        std::free(nodeList->name);
        std::free(nodeList->instance);
        std::free(nodeList);
        nodeList = next;
    }
    gTail = nullptr;
    gIndexed = false;
    gById.clear();
    gByName.clear();
}

nodeinfo3ds* makeNode(nodeinfo3ds** out) {
    auto* node = static_cast<nodeinfo3ds*>(std::calloc(1, sizeof(nodeinfo3ds)));
    if (out) *out = node;
    if (!node) return nullptr;
    node->id = -1;
    node->parent = -1;
    if (gTail)
        gTail->next = node;
    else
        nodeList = node;
    gTail = node;
    gIndexed = false;
    return node;
}

std::int16_t getChunkNodeId(chunk3ds* node) {
    chunk3ds* idChunk = nullptr;
    FindChunk3ds(node, 0xB030, &idChunk);
    if (!idChunk) return -1;
    const auto* data = static_cast<shortdata3ds*>(ReadChunkData3ds(idChunk));
    if (!data) return -1;
    const std::int16_t id = data->value;
    FreeFileChunkData3ds(idChunk);
    return id;
}

void setNodeId(chunk3ds* node, std::int16_t id) {
    chunk3ds* idChunk = nullptr;
    FindChunk3ds(node, 0xB030, &idChunk);
    if (!idChunk) return;
    auto* data = static_cast<shortdata3ds*>(ReadChunkData3ds(idChunk));
    if (!data) {
        if (Stop3ds()) return;
        data = static_cast<shortdata3ds*>(InitChunkData3ds(idChunk));
        if (!data) return;
    }
    data->value = id;
    KeepInMemory(idChunk);
}

void addToNodeList(chunk3ds* node) {
    chunk3ds* header = nullptr;
    FindChunk3ds(node, 0xB010, &header);
    const auto* data = header ? static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(header)) : nullptr;
    if (!data) return;
    char* name = strdup3ds(data->name ? data->name : "");
    const std::int16_t parent = data->parentindex;
    FreeFileChunkData3ds(header);
    if (!name) return;
    nodeinfo3ds* element = makeNode(nullptr);
    if (!element) {
        std::free(name);
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    element->name = name;
    element->id = getChunkNodeId(node);
    element->tag = node->tag;
    element->parent = parent;
    if (node->tag == 0xB002) {
        chunk3ds* instance = nullptr;
        FindChunk3ds(node, 0xB011, &instance);
        const auto* text = instance ? static_cast<stringdata3ds*>(ReadChunkData3ds(instance)) : nullptr;
        if (text && text->value && *text->value) element->instance = strdup3ds(text->value);
        if (instance) FreeFileChunkData3ds(instance);
    }
}

void ParseDb(database3ds* db) {
    if (!db) return;
    chunk3ds* section = Section(db);
    if (!section) return;
    for (chunk3ds* node = section->children; node; node = node->sibling) {
        if (!IsNode3ds(node->tag)) continue;
        addToNodeList(node);
        if (Stop3ds()) return;
    }
    checkListNodeIds();
}

void checkListNodeIds() {
    bool missing = false;
    for (nodeinfo3ds* n = nodeList; n && !missing; n = n->next) missing = n->id == -1;
    if (!missing) return;
    std::int16_t id = 0;
    for (nodeinfo3ds* n = nodeList; n; n = n->next) n->id = id++;
    gIndexed = false;
}

nodeinfo3ds* findNodeById(std::int16_t id) {
    Index();
    auto it = gById.find(id);
    return it == gById.end() ? nullptr : it->second;
}

nodeinfo3ds* findObjNodeByName(const char* name) {
    if (!name) return nullptr;
    Index();
    const char* dot = std::strchr(name, '.');
    if (dot && dot[1]) {  // an empty instance matches no element
        auto it = gByName.find(NameKey(std::string(name, dot).c_str(), dot + 1));
        if (it != gByName.end()) return it->second;
    }
    // A name that holds a dot of its own ("Cube.001") without being name and
    // instance is a plain name.
    auto it = gByName.find(name);
    return it == gByName.end() ? nullptr : it->second;
}

void AssignParentNames(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    ReleaseNodeList();
    ParseDb(db);
    if (!Stop3ds()) AssignNames(db);
    ReleaseNodeList();
}

void ComputeNodeIds(database3ds* db) {
    if (!db) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    ReleaseNodeList();
    ComputeIds(db);
    ReleaseNodeList();
}

void PrintNodeList(std::FILE* out) {
    if (!out) return;
    for (nodeinfo3ds* n = nodeList; n; n = n->next) {
        const char* name = n->name ? n->name : "";  // an element made by makeNode and not yet named
        if (n->instance)
            std::fprintf(out, "ID:%d\tName:%s.%s\tParent:%d\n", n->id, name, n->instance, n->parent);
        else
            std::fprintf(out, "ID:%d\tName:%s\tParent:%d\n", n->id, name, n->parent);
    }
}

void PrintHierarchy(std::FILE* out) {
    for (nodeinfo3ds* n = nodeList; n; n = n->next)
        if (n->parent == -1) printNode(out, n, 0);
}

void printNode(std::FILE* out, nodeinfo3ds* node, std::int32_t depth) {
    if (!out || !node || depth > 256) return;  // ids repeated in a damaged file can loop
    for (std::int32_t i = 0; i < depth; ++i) std::fputc('-', out);
    std::fprintf(out, "%s\n", node->name ? node->name : "");
    for (nodeinfo3ds* n = nodeList; n; n = n->next)
        if (n->parent == node->id && n != node) printNode(out, n, depth + 1);
}

void kfAddParentName(chunk3ds* header, const char* parent) {
    if (!header || !parent) return;
    chunk3ds* chunk = nullptr;
    auto* data = static_cast<stringdata3ds*>(InitChunkAndData3ds(&chunk, 0x80F0));
    if (!data) {
        ReleaseDetachedChunk3ds(&chunk);
        return;
    }
    data->value = strdup3ds(parent);
    if (!data->value) {
        ReleaseDetachedChunk3ds(&chunk);
        return;
    }
    AddChildOrdered3ds(header, chunk);
}

void kfGetParentName(chunk3ds* header, char* out) {
    if (!out) return;
    out[0] = 0;
    if (!header) return;
    chunk3ds* chunk = nullptr;
    FindChunk3ds(header, 0x80F0, &chunk);
    if (!chunk) return;
    const auto* data = static_cast<stringdata3ds*>(ReadChunkData3ds(chunk));
    if (data && data->value) {
        std::strncpy(out, data->value, 21);
        out[21] = 0;
    }
    FreeFileChunkData3ds(chunk);
}

}  // namespace zeqsdk_400
