#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFOBJECT3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFOBJECT3DS_H

// Object motion: a keyframer object node (0xB002) with its position, rotation,
// scale, morph and hide tracks, as one plain record.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

// A dummy object only holds a place in the hierarchy.
constexpr const char* DummyName3ds = "$$$DUMMY";

// Node flag words, carried unchanged.
constexpr std::uint16_t KfNodeOff3ds = 0x8, KfHideNode3ds = 0x800, KfFastNode3ds = 0x1000;
constexpr std::uint16_t KfNodeHasPath3ds = 0x1, KfNodeAutoSmooth3ds = 0x2, KfNodeFrozen3ds = 0x4,
                        KfMotionBlur3ds = 0x10, KfBlurBranch3ds = 0x20, KfMorphMtl3ds = 0x40, KfMorphOb = 0x80;

struct kfmesh3ds {
    char name[11];
    char parent[22];  // "name" or "name.instance" of the parent node, empty at the top
    std::uint16_t flags1, flags2;  // bit 0x1 of flags2: the morph smoothing angle is stored
    point3ds pivot;
    char instance[11];
    point3ds bboxmin, bboxmax;  // stored for dummies only
    std::uint32_t npkeys;
    std::uint16_t npflag;
    keyheader3ds* pkeys;
    point3ds* pos;
    std::uint32_t nrkeys;
    std::uint16_t nrflag;
    keyheader3ds* rkeys;
    kfrotkey3ds* rot;
    std::uint32_t nskeys;
    std::uint16_t nsflag;
    keyheader3ds* skeys;
    point3ds* scale;
    std::uint32_t nmkeys;
    std::uint16_t nmflag;
    keyheader3ds* mkeys;
    char (*morph)[13];  // the object to morph into, per key
    std::uint32_t nhkeys;
    std::uint16_t nhflag;
    keyheader3ds* hkeys;  // each key toggles visibility
    float msangle;
};

void InitObjectMotion3ds(kfmesh3ds** rec, std::uint32_t npkeys, std::uint32_t nrkeys, std::uint32_t nskeys,
                         std::uint32_t nmkeys, std::uint32_t nhkeys);
void ReleaseObjectMotion3ds(kfmesh3ds** rec);
std::uint32_t GetObjectNodeCount3ds(database3ds* db);
void GetObjectNodeNameList3ds(database3ds* db, namelist3ds** list);
void GetObjectMotionByName3ds(database3ds* db, const char* name, kfmesh3ds** rec);
void GetObjectMotionByIndex3ds(database3ds* db, std::uint32_t index, kfmesh3ds** rec);
void GetObjectMotion3ds(chunk3ds* node, kfmesh3ds** rec);
void PutObjectMotion3ds(database3ds* db, const kfmesh3ds* rec);
void DeleteObjectMotionByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteObjectMotionByName3ds(database3ds* db, const char* name);
void CopyObjectMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyObjectMotionByName3ds(database3ds* dst, database3ds* src, const char* name);

}  // namespace zeqsdk_400

#endif
