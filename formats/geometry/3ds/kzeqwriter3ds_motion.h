#ifndef ZEQ_FORMATS_GEOMETRY_3DS_KZEQWRITER3DS_MOTION_H
#define ZEQ_FORMATS_GEOMETRY_3DS_KZEQWRITER3DS_MOTION_H

// Helpers the motion conversions of the 3DS writer share.

#include <cstdint>
#include <string>
#include <vector>

#include "base/ktime.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"

namespace zeqsdk_400 {

class KZeqNode;
class KZeqTakeNode;

namespace motion3ds {

// Curves a conversion makes for slots the scene holds no curve for; they go
// when the conversion ends, the scene's own curves are never touched.
class MadeCurves {
public:
    MadeCurves() = default;
    MadeCurves(const MadeCurves&) = delete;
    MadeCurves& operator=(const MadeCurves&) = delete;
    ~MadeCurves();

    // One TCB key at time 0 holding value: that value at every frame.
    KFCurve* Default(double value);
    // Room for count keys, to be written through KeyGetPtr and closed with KeyModifyEnd(count).
    KFCurve* Keyed(std::uint32_t count);
    // The curve, keyed or not (without keys it holds its own value, as the
    // take's evaluation gives it); a default curve of fallback where there is none.
    KFCurve* Use(KFCurve* curve, double fallback);

private:
    std::vector<KFCurve*> mMade;
};

// The channel triples of the motion records.
enum ETrack3ds { eTRANSLATION3DS, eROTATION3DS, eSCALE3DS, eCOLOR3DS };

// A track's three curves: the take's where it holds them and one-key curves of the defaults for the
// others; without a take (animation turned off), one-key curves of the defaults.
void TrackCurves(MadeCurves& made, KZeqTakeNode* take, ETrack3ds track, const double* defaults, KFCurve** out);
// The translation and (with r) rotation tracks of a light, camera or target: TrackCurves, or where
// the take holds layers or time warps, which its curves alone do not play, FullTransformCurves.
void PlayedTracks(MadeCurves& made, KZeqNode* node, KZeqTakeNode* take, std::uint32_t count, const double* T,
                  const double* R, KFCurve** t, KFCurve** r);
// One key a frame of the translation, Euler XYZ rotation and scaling that give the node's full local
// transform, frames 0 to count - 1 (its default values alone when not animating).
void FullTransformCurves(MadeCurves& made, KZeqNode* node, bool animating, std::uint32_t count, KFCurve** t,
                         KFCurve** r, KFCurve** s);

// Tracks hold one key per frame: an animation longer than this (about 55
// minutes) is refused rather than resampled into gigabytes.
constexpr long long kMaxFrames3ds = 100000;

// Widens start and stop over the keys of the time warps in the take: a warped
// channel plays as long as its warp runs, which may be past its own last key.
void WidenOverTimeWarps(KZeqTakeNode* take, KTime& start, KTime& stop);
// The frame at 30 frames per second that reaches a time: the first at or after it, so that the
// frame holds what the take plays there. A time within a tick of a frame is that frame: a time
// set from seconds may come a tick short of the frame it names.
long long FrameReaching(KTime time);
// Widens start and stop over the take's keys (and its time warps'); the frames 0 to the one
// reaching stop, at least one and at most kMaxFrames3ds.
std::uint32_t KeyCount(KZeqTakeNode* take, KTime& start, KTime& stop);
KTime FrameTime(std::uint32_t frame);
// Rows of the rotation of Euler XYZ degrees, points as row vectors.
void RotationRows(double (*rows)[3], double x, double y, double z);
// The node's name as the file gives it: without a "Model::" prefix (the
// writer's renaming has dropped it already; direct callers may not have).
std::string FileName(const KZeqNode* node);
// At most room - 1 characters of the name.
void CutName(char* out, std::size_t room, const std::string& name);

}  // namespace motion3ds

}  // namespace zeqsdk_400

#endif
