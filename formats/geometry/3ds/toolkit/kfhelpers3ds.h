#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFHELPERS3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFHELPERS3DS_H

// Builders and finders of keyframer nodes shared by the motion records: the
// keyframer section, node chunks with their id and header, tracks, targets,
// lookups by name and kind, and the extended data a replaced node hands on.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;
struct database3ds;
struct namelist3ds;

void kfGetKfSeg(chunk3ds* top, chunk3ds** section);
chunk3ds* kfPutGenericNode(std::uint32_t tag, chunk3ds* parent);
void kfPutNodeId(chunk3ds* node);
void kfPutNodeHeader(const char* name, std::int16_t flags1, std::int16_t flags2, const char* parent, chunk3ds* node);
void kfPutPosTrack(std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys, const point3ds* values,
                   chunk3ds* node);
void kfPutColorTrack(std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys, const fcolor3ds* values,
                     chunk3ds* node);
void kfPutRollTrack(std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys, const float* values,
                    chunk3ds* node);
chunk3ds* kfPutTargetTrack(const char* parent, std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys,
                           const point3ds* values, const char* name, std::int16_t flags1, std::int16_t flags2,
                           std::int32_t camera, chunk3ds* section);
void kfFindNamedAndTaggedChunk(database3ds* db, const char* name, std::uint32_t tag, chunk3ds** node);
void kfExtractXdata(database3ds* db, const char* name, std::uint32_t tag, chunk3ds** xdata);
std::uint32_t kfGetGenericNodeCount(database3ds* db, std::uint32_t tag);
void kfGetGenericNodeNameList(database3ds* db, std::uint32_t tag, namelist3ds** list);
chunk3ds* kfAddGenericNodeXData(database3ds* db, const char* name, void* a, std::uint32_t tag, void* b);

// A track chunk of `tag` under `node` holding copies of the keys and values (value
// size by tag); nothing when the track has no keys or arrays. False on failure.
bool kfPutTrack3ds(std::uint32_t tag, std::uint32_t count, std::uint16_t flags, const keyheader3ds* keys,
                   const void* values, chunk3ds* node);

}  // namespace zeqsdk_400

#endif
