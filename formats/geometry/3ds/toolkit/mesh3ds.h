#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_MESH3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_MESH3DS_H

// Triangle meshes: a named object (0x4000) holding a mesh chunk (0x4100) seen as
// one plain record, with count, name list, get by index or name, put, delete and
// copy.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"
#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

// One material group: the faces drawn with a material.
struct objmat3ds {
    char name[17];
    std::uint16_t nfaces;
    std::uint16_t* faces;  // owned
};

struct mesh3ds {
    char name[11];
    std::uint8_t hidden, lofterflag, matte, nocastshadow, fastdisplay, norecvshadow, frozen;
    std::uint16_t vertexcount;
    point3ds* vertices;
    std::uint16_t vflagcount;
    std::uint16_t* vflags;
    std::uint16_t texvertcount;
    textvert3ds* texverts;
    std::uint8_t hasmapinfo;
    mapinfo3ds mapinfo;
    float localmatrix[12];
    std::uint16_t facecount;
    face3ds* faces;
    std::uint32_t* smoothgroups;  // one bit set per face, facecount entries
    std::uint8_t hasboxmap;
    char boxmaps[6][17];
    std::uint8_t colorindex;
    std::uint16_t matgroupcount;
    objmat3ds* matgroups;
    std::uint8_t hasprocedural;
    std::uint32_t procsize;
    char procname[13];
    std::uint8_t* procdata;
};

// Field selectors of InitMeshObjField3ds and RelMeshObjField3ds.
constexpr std::uint16_t InitNoExtras3ds = 0;
constexpr std::uint16_t InitVertexArray3ds = 0x01, RelVertexArray3ds = 0x01;
constexpr std::uint16_t InitTextArray3ds = 0x02, RelTextArray3ds = 0x02;
constexpr std::uint16_t InitFaceArray3ds = 0x04, RelFaceArray3ds = 0x04;
constexpr std::uint16_t InitMatArray3ds = 0x08, RelMatArray3ds = 0x08;
constexpr std::uint16_t InitSmoothArray3ds = 0x10, RelSmoothArray3ds = 0x10;
constexpr std::uint16_t InitProcData3ds = 0x20, RelProcData3ds = 0x20;
constexpr std::uint16_t InitVFlagArray3ds = 0x40, RelVFlagArray3ds = 0x40;
constexpr std::uint16_t RelAll3ds = 0x7F;

// Smoothing group n is bit n - 1.
constexpr std::uint32_t Smooth01Group3ds = 1u << 0;
constexpr std::uint32_t Smooth32Group3ds = 1u << 31;

extern const objmat3ds DefObjMat3ds;

void InitMeshObj3ds(mesh3ds** obj, std::uint16_t vertexcount, std::uint16_t facecount, std::uint16_t extras);
void InitMeshObjField3ds(mesh3ds* obj, std::uint16_t selector);
void InitMatArrayIndex3ds(mesh3ds* obj, std::uint16_t index, std::uint16_t count);
void RelMeshObjField3ds(mesh3ds* obj, std::uint16_t selector);
void RelMeshObj3ds(mesh3ds** obj);
std::uint32_t GetMeshCount3ds(database3ds* db);
void GetMeshNameList3ds(database3ds* db, namelist3ds** list);
void GetMeshByIndex3ds(database3ds* db, std::int32_t index, mesh3ds** obj);
void GetMeshByName3ds(database3ds* db, const char* name, mesh3ds** obj);
void GetMeshEntryChunk3ds(chunk3ds* chunk, mesh3ds** obj);
std::uint16_t GetMeshMatCount3ds(chunk3ds* chunk);
void PutMesh3ds(database3ds* db, const mesh3ds* obj);
void DeleteMeshByName3ds(database3ds* db, const char* name);
void DeleteMeshByIndex3ds(database3ds* db, std::uint32_t index);
void CopyMeshByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyMeshByName3ds(database3ds* dst, database3ds* src, const char* name);

// Copies at most room - 1 characters and a NUL: names longer than their field are cut.
void CopyName3ds(char* dst, std::size_t room, const char* src);

}  // namespace zeqsdk_400

#endif
