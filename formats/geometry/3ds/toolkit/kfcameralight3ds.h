#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFCAMERALIGHT3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFCAMERALIGHT3DS_H

// Camera and light motion: keyframer camera nodes (0xB003) with their targets
// (0xB004), omnilight nodes (0xB005), and spotlight nodes (0xB007) with their
// targets (0xB006). A node and its target carry the same name and are paired by it.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

struct kfcamera3ds {
    char name[11];
    char parent[22];
    std::uint16_t flags1, flags2;
    std::uint32_t npkeys;
    std::uint16_t npflag;
    keyheader3ds* pkeys;
    point3ds* pos;
    std::uint32_t nfkeys;
    std::uint16_t nfflag;
    keyheader3ds* fkeys;
    float* fov;
    std::uint32_t nrkeys;
    std::uint16_t nrflag;
    keyheader3ds* rkeys;
    float* roll;
    char tparent[22];
    std::uint32_t ntkeys;
    std::uint16_t ntflag;
    keyheader3ds* tkeys;
    point3ds* tpos;
    std::uint16_t tflags1, tflags2;
};

struct kfomni3ds {
    char name[11];
    char parent[22];
    std::uint16_t flags1, flags2;
    std::uint32_t npkeys;
    std::uint16_t npflag;
    keyheader3ds* pkeys;
    point3ds* pos;
    std::uint32_t nckeys;
    std::uint16_t ncflag;
    keyheader3ds* ckeys;
    fcolor3ds* color;
};

struct kfspot3ds {
    char name[11];
    char parent[22];
    std::uint16_t flags1, flags2;
    std::uint32_t npkeys;
    std::uint16_t npflag;
    keyheader3ds* pkeys;
    point3ds* pos;
    std::uint32_t nckeys;
    std::uint16_t ncflag;
    keyheader3ds* ckeys;
    fcolor3ds* color;
    std::uint32_t nhkeys;
    std::uint16_t nhflag;
    keyheader3ds* hkeys;
    float* hot;
    std::uint32_t nfkeys;
    std::uint16_t nfflag;
    keyheader3ds* fkeys;
    float* fall;
    std::uint32_t nrkeys;
    std::uint16_t nrflag;
    keyheader3ds* rkeys;
    float* roll;
    char tparent[22];
    std::uint32_t ntkeys;
    std::uint16_t ntflag;
    keyheader3ds* tkeys;
    point3ds* tpos;
    std::uint16_t tflags1, tflags2;
};

void InitCameraMotion3ds(kfcamera3ds** rec, std::uint32_t npkeys, std::uint32_t nfkeys, std::uint32_t nrkeys,
                         std::uint32_t ntkeys);
void ReleaseCameraMotion3ds(kfcamera3ds** rec);
std::uint32_t GetCameraNodeCount3ds(database3ds* db);
void GetCameraNodeNameList3ds(database3ds* db, namelist3ds** list);
void GetCameraMotionByName3ds(database3ds* db, const char* name, kfcamera3ds** rec);
void GetCameraMotionByIndex3ds(database3ds* db, std::uint32_t index, kfcamera3ds** rec);
void GetCameraMotion3ds(chunk3ds* camera, chunk3ds* target, kfcamera3ds** rec);
void PutCameraMotion3ds(database3ds* db, const kfcamera3ds* rec);
void DeleteCameraMotionByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteCameraMotionByName3ds(database3ds* db, const char* name);
void CopyCameraMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyCameraMotionByName3ds(database3ds* dst, database3ds* src, const char* name);

void InitOmnilightMotion3ds(kfomni3ds** rec, std::uint32_t npkeys, std::uint32_t nckeys);
void ReleaseOmnilightMotion3ds(kfomni3ds** rec);
std::uint32_t GetOmnilightNodeCount3ds(database3ds* db);
void GetOmnilightNodeNameList3ds(database3ds* db, namelist3ds** list);
void GetOmnilightMotionByName3ds(database3ds* db, const char* name, kfomni3ds** rec);
void GetOmnilightMotionByIndex3ds(database3ds* db, std::uint32_t index, kfomni3ds** rec);
void GetOmnilightMotion3ds(chunk3ds* omni, kfomni3ds** rec);
void PutOmnilightMotion3ds(database3ds* db, const kfomni3ds* rec);
void DeleteOmnilightMotionByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteOmnilightMotionByName3ds(database3ds* db, const char* name);
void CopyOmnilightMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopyOmnilightMotionByName3ds(database3ds* dst, database3ds* src, const char* name);

void InitSpotlightMotion3ds(kfspot3ds** rec, std::uint32_t npkeys, std::uint32_t nckeys, std::uint32_t nhkeys,
                            std::uint32_t nfkeys, std::uint32_t nrkeys, std::uint32_t ntkeys);
void ReleaseSpotlightMotion3ds(kfspot3ds** rec);
std::uint32_t GetSpotlightNodeCount3ds(database3ds* db);
void GetSpotlightNodeNameList3ds(database3ds* db, namelist3ds** list);
void GetSpotlightMotionByName3ds(database3ds* db, const char* name, kfspot3ds** rec);
void GetSpotlightMotionByIndex3ds(database3ds* db, std::uint32_t index, kfspot3ds** rec);
void GetSpotlightMotion3ds(chunk3ds* spot, chunk3ds* target, kfspot3ds** rec);
void PutSpotlightMotion3ds(database3ds* db, const kfspot3ds* rec);
void DeleteSpotlightMotionByIndex3ds(database3ds* db, std::uint32_t index);
void DeleteSpotlightMotionByName3ds(database3ds* db, const char* name);
void CopySpotlightMotionByIndex3ds(database3ds* dst, database3ds* src, std::uint32_t index);
void CopySpotlightMotionByName3ds(database3ds* dst, database3ds* src, const char* name);

}  // namespace zeqsdk_400

#endif
