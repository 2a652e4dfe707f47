#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_MESHSET3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_MESHSET3DS_H

// Scene-wide settings of the mesh section (0x3D3D): master scale, shadows,
// ambient light and construction origin.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct database3ds;

struct meshset3ds {
    float masterscale;          // 0x0100
    float shadowbias;           // 0x1400
    float raytracebias;         // 0x1460
    std::int16_t shadowmapsize; // 0x1420
    float shadowfilter;         // 0x1450
    fcolor3ds ambientlight;     // 0x2100, components 0 to 1
    point3ds origin;            // 0x1500, construction origin
};

void InitMeshSet3ds(meshset3ds** settings);
void ReleaseMeshSet3ds(meshset3ds** settings);
void GetMeshSet3ds(database3ds* db, meshset3ds** settings);
void PutMeshSet3ds(database3ds* db, const meshset3ds* settings);
void CopyMeshSet3ds(database3ds* dst, database3ds* src);

}  // namespace zeqsdk_400

#endif
