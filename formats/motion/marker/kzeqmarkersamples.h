#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQMARKERSAMPLES_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQMARKERSAMPLES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

// The points a marker read has met so far, kept compactly until they become
// curve keys: x, y and z as the floats the keys will hold (already scaled to
// centimetres) and one occlusion bit, about 12 bytes a point. Storage grows
// with the frames read, in fixed blocks, so a header that claims more frames
// or markers than the file holds costs nothing.
class KZeqMarkerSamples {
public:
    struct Point {
        float mX, mY, mZ;
    };

    KZeqMarkerSamples() = default;
    KZeqMarkerSamples(const KZeqMarkerSamples&) = delete;
    KZeqMarkerSamples& operator=(const KZeqMarkerSamples&) = delete;

    // Appends one frame, each coordinate multiplied by scale; w above 0 marks a
    // point occluded. With carryOccluded, an occluded point takes the position
    // of the same point in the frame before, when that frame has one.
    void AddFrame(const KArrayTemplate<KZeqVector4>& frame, double scale, bool carryOccluded);

    int GetFrameCount() const { return static_cast<int>(mFrameStart.size()) - 1; }
    int GetPointCount(int frame) const {
        return static_cast<int>(mFrameStart[static_cast<std::size_t>(frame) + 1] - mFrameStart[static_cast<std::size_t>(frame)]);
    }
    // Point i of a frame; the caller keeps i below GetPointCount(frame).
    const Point& GetPoint(int frame, int i) const { return At(mFrameStart[static_cast<std::size_t>(frame)] + static_cast<std::uint64_t>(i)); }
    bool IsOccluded(int frame, int i) const {
        const std::uint64_t at = mFrameStart[static_cast<std::size_t>(frame)] + static_cast<std::uint64_t>(i);
        return (mOccluded[at >> 6] >> (at & 63)) & 1u;
    }

    // Bytes held for the points, the occlusion bits and the frame table.
    std::size_t GetByteCount() const;
    void Clear();

private:
    static constexpr int kBlockShift = 12;  // 4096 points, 48 KB a block
    static constexpr std::uint64_t kBlockMask = (std::uint64_t(1) << kBlockShift) - 1;

    Point& At(std::uint64_t i) { return mBlocks[i >> kBlockShift][i & kBlockMask]; }
    const Point& At(std::uint64_t i) const { return mBlocks[i >> kBlockShift][i & kBlockMask]; }
    void Append(const Point& point, bool occluded);

    std::vector<std::unique_ptr<Point[]>> mBlocks;
    std::vector<std::uint64_t> mOccluded;           // one bit a point
    std::vector<std::uint64_t> mFrameStart{0};      // index of each frame's first point, and the total
};

}  // namespace zeqsdk_400

#endif
