#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFSETTINGS3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_KFSETTINGS3DS_H

// The keyframer's animation settings (0xB00A length, 0xB009 current frame, 0xB008
// active segment) and the track flags every motion record carries.

#include <cstdint>

namespace zeqsdk_400 {

struct database3ds;

// Track flags: play mode in the two low bits, then locks and unlinks; carried unchanged.
constexpr std::uint16_t TrackSingle3ds = 0;
constexpr std::uint16_t TrackRepeats3ds = 2;
constexpr std::uint16_t TrackLoops3ds = 3;
constexpr std::uint16_t TrackLockX3ds = 0x8, TrackLockY3ds = 0x10, TrackLockZ3ds = 0x20;
constexpr std::uint16_t TrackNoLinkX3ds = 0x100, TrackNoLinkY3ds = 0x200, TrackNoLinkZ3ds = 0x400;

struct kfkeyinfo3ds {
    std::int32_t length;    // frames
    std::int32_t curframe;
};

struct kfsegment3ds {
    std::uint8_t use;  // an active segment is set
    std::int32_t begin, end;
};

struct kfsets3ds {
    kfkeyinfo3ds anim;
    kfsegment3ds seg;
};

void InitKeyInfo3ds(kfkeyinfo3ds* info);
void InitKfSegment3ds(kfsegment3ds* seg);
void InitKfSets3ds(kfsets3ds** sets);
void ReleaseKfSets3ds(kfsets3ds** sets);
void GetKfSets3ds(database3ds* db, kfsets3ds** sets);
void PutKfSets3ds(database3ds* db, const kfsets3ds* sets);
void CopyKfSets3ds(database3ds* dst, database3ds* src);
void GetKeyInfo3ds(database3ds* db, kfkeyinfo3ds* info);
void PutKeyInfo3ds(database3ds* db, const kfkeyinfo3ds* info);
void GetKfSegment3ds(database3ds* db, kfsegment3ds* seg);
void PutKfSegment3ds(database3ds* db, const kfsegment3ds* seg);

}  // namespace zeqsdk_400

#endif
