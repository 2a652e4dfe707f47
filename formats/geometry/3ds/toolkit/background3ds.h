#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_BACKGROUND3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_BACKGROUND3DS_H

// The background of the mesh section: a bitmap, a solid colour and a vertical
// gradient, and which of them is in use.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct database3ds;

struct background3ds {
    char* bitmapname;  // owned
    fcolor3ds solid;
    float gradientpercent;  // position of the middle colour
    fcolor3ds gradienttop, gradientmiddle, gradientbottom;
    std::uint32_t used;  // 0 none, 1 solid colour, 2 gradient, 3 bitmap
};

void InitBackground3ds(background3ds** bg);
void ReleaseBackground3ds(background3ds** bg);
void GetBackground3ds(database3ds* db, background3ds** bg);
void PutBackground3ds(database3ds* db, const background3ds* bg);
void CopyBackground3ds(database3ds* dst, database3ds* src);

}  // namespace zeqsdk_400

#endif
