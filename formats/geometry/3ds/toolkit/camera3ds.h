#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CAMERA3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CAMERA3DS_H

// Cameras: a named object (0x4000) holding a camera chunk (0x4700).

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

struct camera3ds {
    char name[11];
    point3ds position;
    point3ds target;
    float roll;  // degrees
    float fov;   // degrees; the file holds the lens 2400 / fov
    std::uint8_t showcone;
    float nearrange, farrange;
};

void InitCamera3ds(camera3ds** cam);
void ReleaseCamera3ds(camera3ds** cam);
std::uint32_t GetCameraCount3ds(database3ds* db);
void GetCameraNameList3ds(database3ds* db, namelist3ds** list);
void GetCameraByIndex3ds(database3ds* db, std::uint32_t index, camera3ds** cam);
void GetCameraByName3ds(database3ds* db, const char* name, camera3ds** cam);
void GetCameraEntry3ds(chunk3ds* object, camera3ds** cam);
void PutCamera3ds(database3ds* db, const camera3ds* cam);
void DeleteCameraByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteCameraByName3ds(database3ds* db, const char* name);
void CopyCameraByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyCameraByName3ds(database3ds* dst, database3ds* src, const char* name);

}  // namespace zeqsdk_400

#endif
