#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"

namespace zeqsdk_400 {

chunk3ds* AddChunk3ds(chunk3ds* parent, std::uint32_t tag) {
    chunk3ds* chunk = nullptr;
    InitChunkAs3ds(&chunk, tag);
    if (chunk) AddChildOrdered3ds(parent, chunk);
    return chunk;
}

chunk3ds* PutNamedObject3ds(database3ds* db, const char* name, chunk3ds** kept) {
    chunk3ds* section = FindOrAddSection3ds(db, 0x3D3D);
    if (!section) return nullptr;
    chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name, &object);
    if (Stop3ds()) return nullptr;
    const bool replacing = object != nullptr;
    if (replacing) {
        if (kept) {
            chunk3ds* xdata = nullptr;
            FindChunk3ds(object, 0x8000, &xdata);
            if (xdata) CopyChunk3ds(xdata, kept);
        }
        DeleteChunk3ds(object);
        object->tag = 0x4000;
    } else {
        InitChunkAs3ds(&object, 0x4000);
        if (!object) return nullptr;
    }
    auto* data = static_cast<stringdata3ds*>(InitChunkData3ds(object));
    if (data) data->value = strdup3ds(name);
    if (!replacing) {
        AddChildOrdered3ds(section, object);
        NoteNamedObjectAdded3ds(db, object);
    } else {
        NoteNamedObjectChanged3ds(db);
    }
    return data && data->value ? object : nullptr;
}

void GetObjectNameList3ds(database3ds* db, std::uint32_t tag, namelist3ds** list) {
    if (!db || !list) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    const std::uint32_t count = CountNamedObjects3ds(db, tag);
    if (Stop3ds()) return;
    InitNameList3ds(list, count);
    if (Stop3ds()) return;
    for (std::uint32_t i = 0, at = 0; db->objects && i < db->objects->count && at < count; ++i) {
        if (FindNamedObjectByIndex3ds(db, tag, at) != db->objects->list[i].chunk) continue;
        (*list)->list[at++] = strdup3ds(db->objects->list[i].name);
    }
}

}  // namespace zeqsdk_400
