#include "formats/geometry/3ds/toolkit/mesh3ds.h"

#include <cstdlib>
#include <cstring>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// A mesh in the file:
//
//   0x4000 named object: name
//     0x4100 triangle mesh
//       0x4110 vertices       u16 n, n x (f32 x, y, z)
//       0x4140 texture verts  u16 n, n x (f32 u, v)
//       0x4170 mapping icon   86 bytes
//       0x4111 vertex flags   u16 n, n x u16
//       0x4160 local axes     12 x f32
//       0x4165 colour index   u8
//       0x4120 faces          u16 n, n x (u16 a, b, c, flags)
//         0x4130 material group  name, u16 n, n x u16 face
//         0x4150 smoothing       one u32 per face
//         0x4190 box map         6 material names
//       0x4181, 0x4182 procedure name and data
//     0x4010.. 0x4017 object flags (no data)

namespace zeqsdk_400 {

const objmat3ds DefObjMat3ds = {};

namespace {

// Object flag chunks in the order they are written, with their record fields.
struct FlagChunk {
    std::uint32_t tag;
    std::uint8_t mesh3ds::*field;
};
const FlagChunk kFlags[] = {{0x4010, &mesh3ds::hidden},      {0x4011, &mesh3ds::lofterflag},
                            {0x4013, &mesh3ds::matte},       {0x4012, &mesh3ds::nocastshadow},
                            {0x4014, &mesh3ds::fastdisplay}, {0x4017, &mesh3ds::norecvshadow},
                            {0x4016, &mesh3ds::frozen}};

template <typename T>
bool Resize(T*& array, std::size_t count, bool fill, const T& value) {
    if (count == 0) {
        std::free(array);
        array = nullptr;
        return true;
    }
    if (array) {
        T* grown = static_cast<T*>(std::realloc(array, count * sizeof(T)));
        if (!grown) return false;
        array = grown;
        return true;
    }
    array = static_cast<T*>(std::malloc(count * sizeof(T)));
    if (!array) return false;
    if (fill)
        for (std::size_t i = 0; i < count; ++i) array[i] = value;
    return true;
}

// Takes an array out of a chunk's data record.
template <typename T>
T* Take(T*& field) {
    T* taken = field;
    field = nullptr;
    return taken;
}

bool ReadEntry(chunk3ds* object, mesh3ds* m) {
    auto* name = static_cast<stringdata3ds*>(ReadChunkData3ds(object));
    if (!name) return !Stop3ds();
    CopyName3ds(m->name, sizeof(m->name), name->value);
    chunk3ds* mesh = FindChild3ds(object, 0x4100);
    for (chunk3ds* c = mesh->children; c; c = c->sibling) {
        void* data = ReadChunkData3ds(c);
        if (!data) {
            if (Stop3ds()) return false;
            continue;
        }
        switch (c->tag) {
            case 0x4110: {
                auto* d = static_cast<pointarraydata3ds*>(data);
                std::free(m->vertices);
                m->vertexcount = d->count;
                m->vertices = Take(d->points);
                break;
            }
            case 0x4111: {
                auto* d = static_cast<vflagarraydata3ds*>(data);
                std::free(m->vflags);
                m->vflagcount = d->count;
                m->vflags = Take(d->flags);
                break;
            }
            case 0x4140: {
                auto* d = static_cast<texvertdata3ds*>(data);
                std::free(m->texverts);
                m->texvertcount = d->count;
                m->texverts = Take(d->texverts);
                break;
            }
            case 0x4120: {
                auto* d = static_cast<facearraydata3ds*>(data);
                std::free(m->faces);
                m->facecount = d->count;
                m->faces = Take(d->faces);
                const std::uint16_t groups = GetMeshMatCount3ds(c);
                if (groups) {
                    RelMeshObjField3ds(m, RelMatArray3ds);
                    m->matgroups = static_cast<objmat3ds*>(std::calloc(groups, sizeof(objmat3ds)));
                    if (!m->matgroups) {
                        PushErrList3ds(ERR_NO_MEM);
                        return false;
                    }
                    m->matgroupcount = groups;
                    chunk3ds* group = nullptr;
                    FindChunk3ds(c, 0x4130, &group);
                    for (std::uint16_t i = 0; i < groups; ++i, FindNextChunk3ds(group->sibling, 0x4130, &group)) {
                        auto* g = static_cast<matgroupdata3ds*>(ReadChunkData3ds(group));
                        if (!g) return false;
                        CopyName3ds(m->matgroups[i].name, sizeof(m->matgroups[i].name), g->matname);
                        m->matgroups[i].nfaces = g->count;
                        m->matgroups[i].faces = Take(g->faces);
                    }
                }
                if (chunk3ds* smooth = FindChild3ds(c, 0x4150)) {
                    auto* s = static_cast<smoothgroupdata3ds*>(ReadChunkData3ds(smooth));
                    if (!s) return false;
                    // Its own count may differ: sized to the faces, zero-filled, extra ignored.
                    std::free(m->smoothgroups);
                    m->smoothgroups = nullptr;
                    if (m->facecount) {
                        m->smoothgroups = static_cast<std::uint32_t*>(std::calloc(m->facecount, 4));
                        if (!m->smoothgroups) {
                            PushErrList3ds(ERR_NO_MEM);
                            return false;
                        }
                        const std::size_t n = s->count < m->facecount ? s->count : m->facecount;
                        if (n) std::memcpy(m->smoothgroups, s->groups, n * 4);
                    }
                }
                if (chunk3ds* box = FindChild3ds(c, 0x4190)) {
                    auto* b = static_cast<boxmapdata3ds*>(ReadChunkData3ds(box));
                    if (!b) return false;
                    for (int i = 0; i < 6; ++i) CopyName3ds(m->boxmaps[i], sizeof(m->boxmaps[i]), b->names[i]);
                    m->hasboxmap = 1;
                }
                break;
            }
            case 0x4160:
                std::memcpy(m->localmatrix, static_cast<meshmatrixdata3ds*>(data)->xmatrix, sizeof(m->localmatrix));
                break;
            case 0x4165:
                m->colorindex = static_cast<bytedata3ds*>(data)->value;
                break;
            case 0x4170:
                m->hasmapinfo = 1;
                m->mapinfo = *static_cast<mapinfo3ds*>(data);
                break;
            case 0x4181:
                CopyName3ds(m->procname, sizeof(m->procname), static_cast<stringdata3ds*>(data)->value);
                break;
            case 0x4182: {
                auto* raw = static_cast<rawdata3ds*>(data);
                std::free(m->procdata);
                m->procsize = raw->size;
                m->procdata = static_cast<std::uint8_t*>(Take(raw->data));
                break;
            }
            default:
                break;
        }
    }
    // Vertex flags go with vertices: at most one per vertex, and room for all.
    if (m->vflagcount > m->vertexcount) m->vflagcount = m->vertexcount;
    if (m->vflags) {
        if (m->vertexcount == 0) {
            std::free(m->vflags);
            m->vflags = nullptr;
        } else if (std::uint16_t* grown =
                       static_cast<std::uint16_t*>(std::realloc(m->vflags, m->vertexcount * sizeof(std::uint16_t)))) {
            m->vflags = grown;
            std::memset(m->vflags + m->vflagcount, 0, (m->vertexcount - m->vflagcount) * sizeof(std::uint16_t));
        } else {
            PushErrList3ds(ERR_NO_MEM);
            return false;
        }
    }
    for (const FlagChunk& flag : kFlags) m->*flag.field = FindChild3ds(object, flag.tag) ? 1 : 0;
    m->hasprocedural = FindChild3ds(object, 0x4015) ? 1 : 0;
    return true;
}

}  // namespace

void CopyName3ds(char* dst, std::size_t room, const char* src) {
    if (!dst || room == 0) return;
    std::size_t n = src ? strnlen(src, room - 1) : 0;
    if (n) std::memcpy(dst, src, n);
    std::memset(dst + n, 0, room - n);
}

void InitMeshObj3ds(mesh3ds** obj, std::uint16_t vertexcount, std::uint16_t facecount, std::uint16_t extras) {
    if (!obj) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*obj) {
        *obj = static_cast<mesh3ds*>(std::calloc(1, sizeof(mesh3ds)));
        if (!*obj) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    mesh3ds* m = *obj;
    // An existing record keeps its arrays; the fields are reset around them.
    point3ds* vertices = m->vertices;
    std::uint16_t* vflags = m->vflags;
    textvert3ds* texverts = m->texverts;
    face3ds* faces = m->faces;
    std::uint32_t* smooth = m->smoothgroups;
    objmat3ds* groups = m->matgroups;
    std::uint8_t* proc = m->procdata;
    std::memset(m, 0, sizeof(mesh3ds));
    m->vertices = vertices;
    m->vflags = vflags;
    m->texverts = texverts;
    m->faces = faces;
    m->smoothgroups = smooth;
    m->matgroups = groups;
    m->procdata = proc;
    m->vertexcount = vertexcount;
    m->facecount = facecount;
    m->mapinfo.tilex = m->mapinfo.tiley = 1.0f;
    m->mapinfo.scale = 1.0f;
    m->mapinfo.matrix[0] = m->mapinfo.matrix[4] = 1.0f;
    m->mapinfo.pw = m->mapinfo.ph = m->mapinfo.ch = 1.0f;
    InitMeshObjField3ds(m, InitVertexArray3ds | InitFaceArray3ds);
    if (Stop3ds()) return;
    if (extras & InitTextArray3ds) {
        m->texvertcount = m->vertexcount;
        InitMeshObjField3ds(m, InitTextArray3ds);
        if (Stop3ds()) return;
    }
    if (extras & InitVFlagArray3ds) {
        m->vflagcount = m->vertexcount;
        InitMeshObjField3ds(m, InitVFlagArray3ds);
        if (Stop3ds()) return;
    }
    if (extras & InitSmoothArray3ds) InitMeshObjField3ds(m, InitSmoothArray3ds);
}

void InitMeshObjField3ds(mesh3ds* obj, std::uint16_t selector) {
    if (!obj) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    bool ok = true;
    if (selector & InitVertexArray3ds) ok = ok && Resize(obj->vertices, obj->vertexcount, true, DefPoint3ds);
    if (selector & InitTextArray3ds) ok = ok && Resize(obj->texverts, obj->texvertcount, true, DefTextVert3ds);
    if (selector & InitFaceArray3ds) ok = ok && Resize(obj->faces, obj->facecount, true, DefFace3ds);
    if (selector & InitMatArray3ds) {
        if (obj->matgroupcount == 0) {
            RelMeshObjField3ds(obj, RelMatArray3ds);
        } else if (!obj->matgroups) {
            obj->matgroups = static_cast<objmat3ds*>(std::calloc(obj->matgroupcount, sizeof(objmat3ds)));
            ok = ok && obj->matgroups;
        }
    }
    if (selector & InitSmoothArray3ds) ok = ok && Resize(obj->smoothgroups, obj->facecount, true, 0u);
    if (selector & InitProcData3ds) ok = ok && Resize(obj->procdata, obj->procsize, true, std::uint8_t(0));
    if (selector & InitVFlagArray3ds) ok = ok && Resize(obj->vflags, obj->vertexcount, true, std::uint16_t(0));
    if (!ok) PushErrList3ds(ERR_NO_MEM);
}

void InitMatArrayIndex3ds(mesh3ds* obj, std::uint16_t index, std::uint16_t count) {
    if (!obj || count == 0) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (obj->facecount == 0 || index >= obj->matgroupcount || !obj->matgroups) {
        PushErrList3ds(ERR_INVALID_DATA);
        return;
    }
    auto* faces = static_cast<std::uint16_t*>(std::calloc(count, sizeof(std::uint16_t)));
    if (!faces) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    std::free(obj->matgroups[index].faces);
    obj->matgroups[index].faces = faces;
}

void RelMeshObjField3ds(mesh3ds* obj, std::uint16_t selector) {
    if (!obj) return;
    auto release = [](auto*& array) {
        std::free(array);
        array = nullptr;
    };
    if (selector & RelVertexArray3ds) release(obj->vertices);
    if (selector & RelTextArray3ds) release(obj->texverts);
    if (selector & RelFaceArray3ds) release(obj->faces);
    if ((selector & RelMatArray3ds) && obj->matgroups) {
        for (std::uint16_t i = 0; i < obj->matgroupcount; ++i) release(obj->matgroups[i].faces);
        release(obj->matgroups);
    }
    if (selector & RelSmoothArray3ds) release(obj->smoothgroups);
    if (selector & RelProcData3ds) release(obj->procdata);
    if (selector & RelVFlagArray3ds) release(obj->vflags);
}

void RelMeshObj3ds(mesh3ds** obj) {
    if (!obj || !*obj) return;
    RelMeshObjField3ds(*obj, RelAll3ds);
    std::free(*obj);
    *obj = nullptr;
}

std::uint32_t GetMeshCount3ds(database3ds* db) { return CountNamedObjects3ds(db, 0x4100); }

void GetMeshNameList3ds(database3ds* db, namelist3ds** list) { GetObjectNameList3ds(db, 0x4100, list); }

void GetMeshEntryChunk3ds(chunk3ds* chunk, mesh3ds** obj) {
    if (!chunk || !obj) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (chunk->tag != 0x4000 || !FindChild3ds(chunk, 0x4100)) {
        PushErrList3ds(ERR_WRONG_OBJECT);
        return;
    }
    // A record that still holds arrays gives them up first.
    if (*obj) RelMeshObjField3ds(*obj, RelAll3ds);
    InitMeshObj3ds(obj, 0, 0, InitNoExtras3ds);
    if (Stop3ds() || !*obj) return;
    // Read from a private copy, whose arrays pass to the record.
    chunk3ds* copy = nullptr;
    CopyChunk3ds(chunk, &copy);
    const bool ok = !Stop3ds() && copy && ReadEntry(copy, *obj);
    ReleaseDetachedChunk3ds(&copy);
    if (!ok) {
        RelMeshObjField3ds(*obj, RelAll3ds);
        const std::uint8_t flag = toolkiterr3ds;
        InitMeshObj3ds(obj, 0, 0, InitNoExtras3ds);
        toolkiterr3ds = flag;
    }
}

void GetMeshByIndex3ds(database3ds* db, std::int32_t index, mesh3ds** obj) {
    if (!obj) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false) || index < 0) return;
    chunk3ds* object = FindNamedObjectByIndex3ds(db, 0x4100, static_cast<std::uint32_t>(index));
    if (Stop3ds() || !object) return;
    GetMeshEntryChunk3ds(object, obj);
}

void GetMeshByName3ds(database3ds* db, const char* name, mesh3ds** obj) {
    if (!obj || !name) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name, &object);
    if (Stop3ds() || !object || !FindChild3ds(object, 0x4100)) return;
    GetMeshEntryChunk3ds(object, obj);
}

std::uint16_t GetMeshMatCount3ds(chunk3ds* chunk) {
    chunk3ds* group = nullptr;
    FindChunk3ds(chunk, 0x4130, &group);
    std::uint16_t count = 0;
    for (; group; FindNextChunk3ds(group->sibling, 0x4130, &group)) ++count;
    return count;
}

void PutMesh3ds(database3ds* db, const mesh3ds* obj) {
    if (!obj) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, true, false)) return;
    char name[11];
    CopyName3ds(name, sizeof(name), obj->name);
    chunk3ds* kept = nullptr;
    chunk3ds* object = PutNamedObject3ds(db, name, &kept);
    if (!object) {
        PushErrList3ds(ERR_PUTTING_MESH);
        return;
    }
    chunk3ds* mesh = AddChunk3ds(object, 0x4100);
    bool ok = mesh != nullptr;
    if (ok && obj->vertexcount && obj->vertices) {
        auto* d = AddData3ds<pointarraydata3ds>(mesh, 0x4110);
        ok = d && CopyArray3ds(d->points, obj->vertices, obj->vertexcount) && ((d->count = obj->vertexcount), true);
    }
    if (ok && obj->texvertcount && obj->texverts) {
        auto* d = AddData3ds<texvertdata3ds>(mesh, 0x4140);
        ok = d && CopyArray3ds(d->texverts, obj->texverts, obj->texvertcount) && ((d->count = obj->texvertcount), true);
    }
    if (ok && obj->hasmapinfo) {
        auto* d = AddData3ds<mapinfo3ds>(mesh, 0x4170);
        ok = d && ((*d = obj->mapinfo), true);
    }
    if (ok && obj->vflagcount && obj->vflags) {
        const std::uint16_t n = obj->vflagcount < obj->vertexcount ? obj->vflagcount : obj->vertexcount;
        auto* d = AddData3ds<vflagarraydata3ds>(mesh, 0x4111);
        ok = d && CopyArray3ds(d->flags, obj->vflags, n) && ((d->count = n), true);
    }
    if (ok) {
        auto* d = AddData3ds<meshmatrixdata3ds>(mesh, 0x4160);
        ok = d && (std::memcpy(d->xmatrix, obj->localmatrix, sizeof(d->xmatrix)), true);
    }
    if (ok) {
        auto* d = AddData3ds<bytedata3ds>(mesh, 0x4165);
        ok = d && ((d->value = obj->colorindex), true);
    }
    if (ok && obj->facecount && obj->faces) {
        chunk3ds* faces = nullptr;
        auto* d = AddData3ds<facearraydata3ds>(mesh, 0x4120, &faces);
        ok = d && CopyArray3ds(d->faces, obj->faces, obj->facecount) && ((d->count = obj->facecount), true);
        for (std::uint16_t i = 0; ok && obj->matgroups && i < obj->matgroupcount; ++i) {
            const objmat3ds& group = obj->matgroups[i];
            auto* g = AddData3ds<matgroupdata3ds>(faces, 0x4130);
            char groupName[17];
            CopyName3ds(groupName, sizeof(groupName), group.name);
            ok = g && (g->matname = strdup3ds(groupName)) != nullptr;
            if (ok && group.nfaces && group.faces) {
                ok = CopyArray3ds(g->faces, group.faces, group.nfaces);
                g->count = ok ? group.nfaces : 0;
            }
        }
        if (ok && obj->smoothgroups) {
            auto* s = AddData3ds<smoothgroupdata3ds>(faces, 0x4150);
            ok = s && CopyArray3ds(s->groups, obj->smoothgroups, obj->facecount) && ((s->count = obj->facecount), true);
        }
        if (ok && obj->hasboxmap) {
            auto* b = AddData3ds<boxmapdata3ds>(faces, 0x4190);
            for (int i = 0; ok && b && i < 6; ++i) {
                char boxName[17];
                CopyName3ds(boxName, sizeof(boxName), obj->boxmaps[i]);
                ok = (b->names[i] = strdup3ds(boxName)) != nullptr;
            }
            ok = ok && b;
        }
    }
    if (ok && obj->procdata) {
        char procName[13];
        CopyName3ds(procName, sizeof(procName), obj->procname);
        auto* n = AddData3ds<stringdata3ds>(mesh, 0x4181);
        ok = n && (n->value = strdup3ds(procName)) != nullptr;
        auto* raw = ok ? AddData3ds<rawdata3ds>(mesh, 0x4182) : nullptr;
        ok = ok && raw && CopyArray3ds(*reinterpret_cast<std::uint8_t**>(&raw->data), obj->procdata, obj->procsize) &&
             ((raw->size = obj->procsize), true);
    }
    if (ok && kept) {
        AddChildOrdered3ds(mesh, kept);
        kept = nullptr;
    }
    for (const FlagChunk& flag : kFlags)
        if (ok && obj->*flag.field) ok = AddChunk3ds(object, flag.tag) != nullptr;
    if (ok && obj->hasprocedural == 1 && obj->procdata) ok = AddChunk3ds(object, 0x4015) != nullptr;
    ReleaseDetachedChunk3ds(&kept);
    if (!ok) PushErrList3ds(ERR_PUTTING_MESH);
}

void DeleteMeshByName3ds(database3ds* db, const char* name) { DeleteNamedObjectByName3ds(db, name); }
void DeleteMeshByIndex3ds(database3ds* db, std::uint32_t index) { DeleteChunkTypeByIndex3ds(db, 0x4100, index); }
void CopyMeshByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNamedObjectByIndex3ds(dst, src, 0x4100, index);
}
void CopyMeshByName3ds(database3ds* dst, database3ds* src, const char* name) { CopyNamedObjectByName3ds(dst, src, name); }

}  // namespace zeqsdk_400
