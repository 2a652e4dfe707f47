#include "formats/geometry/3ds/toolkit/camera3ds.h"

#include <cstdlib>

#include "formats/geometry/3ds/toolkit/chunk3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/database3ds.h"
#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/mesh3ds.h"
#include "formats/geometry/3ds/toolkit/recordhelpers3ds.h"

// A camera in the file:
//
//   0x4000 named object: name
//     0x4700 camera       position, target (3 x f32 each), f32 roll, f32 lens
//       0x4710 show cone  no data
//       0x4720 ranges     f32 near, f32 far

namespace zeqsdk_400 {

namespace {

constexpr float kLensFactor = 2400.0f;

bool ReadCamera(chunk3ds* object, camera3ds* cam) {
    const auto* name = static_cast<stringdata3ds*>(ReadChunkData3ds(object));
    if (!name) return false;
    CopyName3ds(cam->name, sizeof(cam->name), name->value);
    chunk3ds* camera = FindChild3ds(object, 0x4700);
    const auto* data = static_cast<cameradata3ds*>(ReadChunkData3ds(camera));
    if (!data) return false;
    cam->position = data->position;
    cam->target = data->target;
    cam->roll = data->bank;
    // A lens of 0 has no field of view: the default stands.
    cam->fov = data->focal != 0.0f ? kLensFactor / data->focal : 45.0f;
    for (chunk3ds* c = camera->children; c; c = c->sibling) {
        if (c->tag == 0x4710) cam->showcone = 1;
        if (c->tag != 0x4720) continue;
        const auto* ranges = static_cast<camerarangesdata3ds*>(ReadChunkData3ds(c));
        if (!ranges) return false;
        cam->nearrange = ranges->nearplane;
        cam->farrange = ranges->farplane;
    }
    return true;
}

}  // namespace

void InitCamera3ds(camera3ds** cam) {
    if (!cam) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*cam) {
        *cam = static_cast<camera3ds*>(std::calloc(1, sizeof(camera3ds)));
        if (!*cam) {
            PushErrList3ds(ERR_NO_MEM);
            return;
        }
    }
    camera3ds& c = **cam;
    c = camera3ds{};
    c.target = {1, 1, 1};
    c.fov = 45.0f;
    c.nearrange = 10.0f;
    c.farrange = 1000.0f;
}

void ReleaseCamera3ds(camera3ds** cam) {
    if (!cam || !*cam) return;
    std::free(*cam);
    *cam = nullptr;
}

std::uint32_t GetCameraCount3ds(database3ds* db) { return CountNamedObjects3ds(db, 0x4700); }

void GetCameraNameList3ds(database3ds* db, namelist3ds** list) { GetObjectNameList3ds(db, 0x4700, list); }

void GetCameraEntry3ds(chunk3ds* object, camera3ds** cam) {
    if (!object || !cam) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (object->tag != 0x4000 || !FindChild3ds(object, 0x4700)) {
        PushErrList3ds(ERR_WRONG_OBJECT);
        return;
    }
    InitCamera3ds(cam);
    if (Stop3ds() || !*cam) return;
    chunk3ds* copy = nullptr;
    CopyChunk3ds(object, &copy);
    const bool ok = !Stop3ds() && copy && ReadCamera(copy, *cam);
    ReleaseDetachedChunk3ds(&copy);
    if (!ok) {
        const std::uint8_t flag = toolkiterr3ds;
        InitCamera3ds(cam);
        toolkiterr3ds = flag;
    }
}

void GetCameraByIndex3ds(database3ds* db, std::uint32_t index, camera3ds** cam) {
    if (!db || !cam) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* object = FindNamedObjectByIndex3ds(db, 0x4700, index);
    if (Stop3ds() || !object) return;
    GetCameraEntry3ds(object, cam);
}

void GetCameraByName3ds(database3ds* db, const char* name, camera3ds** cam) {
    if (!db || !name || !cam) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name, &object);
    if (Stop3ds() || !object) return;
    GetCameraEntry3ds(object, cam);
}

void PutCamera3ds(database3ds* db, const camera3ds* cam) {
    if (!cam) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabase3ds(db, true, false, false)) return;
    if (!(cam->fov > 0.0f)) {
        PushErrList3ds(ERR_INVALID_DATA);  // no lens for it
        return;
    }
    char name[11];
    CopyName3ds(name, sizeof(name), cam->name);
    // An object of the name gives up its extended data and makes room for a new one.
    chunk3ds* kept = nullptr;
    chunk3ds* old = nullptr;
    FindNamedObject3ds(db, name, &old);
    if (Stop3ds()) return;
    if (old) {
        chunk3ds* xdata = nullptr;
        FindChunk3ds(old, 0x8000, &xdata);
        if (xdata) CopyChunk3ds(xdata, &kept);
        DeleteChunk3ds(old);
        MakeNamedObjectListDirty3ds(db);
    }
    chunk3ds* object = PutNamedObject3ds(db, name, nullptr);
    chunk3ds* camera = nullptr;
    auto* data = object ? AddData3ds<cameradata3ds>(object, 0x4700, &camera) : nullptr;
    bool ok = data != nullptr;
    if (ok) {
        data->position = cam->position;
        data->target = cam->target;
        data->bank = cam->roll;
        data->focal = kLensFactor / cam->fov;
        if (cam->showcone) ok = AddChunk3ds(camera, 0x4710) != nullptr;
        auto* ranges = ok ? AddData3ds<camerarangesdata3ds>(camera, 0x4720) : nullptr;
        ok = ranges != nullptr;
        if (ranges) {
            ranges->nearplane = cam->nearrange;
            ranges->farplane = cam->farrange;
        }
        if (ok && kept) {
            AddChildOrdered3ds(camera, kept);
            kept = nullptr;
        }
    }
    ReleaseDetachedChunk3ds(&kept);
    if (!ok && !toolkiterr3ds) PushErrList3ds(ERR_NO_MEM);
}

void DeleteCameraByIndex3ds(database3ds* db, std::uint32_t index) { DeleteChunkTypeByIndex3ds(db, 0x4700, index); }
void DeleteCameraByName3ds(database3ds* db, const char* name) { DeleteNamedObjectByName3ds(db, name); }
void CopyCameraByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index) {
    CopyNamedObjectByIndex3ds(dst, src, 0x4700, index);
}
void CopyCameraByName3ds(database3ds* dst, database3ds* src, const char* name) {
    CopyNamedObjectByName3ds(dst, src, name);
}

}  // namespace zeqsdk_400
