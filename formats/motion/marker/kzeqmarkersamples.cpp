#include "formats/motion/marker/kzeqmarkersamples.h"

#include "formats/motion/kzeqmotionkeys.h"

namespace zeqsdk_400 {

void KZeqMarkerSamples::Append(const Point& point, bool occluded) {
    const std::uint64_t at = mFrameStart.back();
    if ((at >> kBlockShift) >= mBlocks.size()) mBlocks.emplace_back(new Point[std::size_t(1) << kBlockShift]);
    if ((at >> 6) >= mOccluded.size()) mOccluded.push_back(0);
    At(at) = point;
    if (occluded) mOccluded[at >> 6] |= std::uint64_t(1) << (at & 63);
    ++mFrameStart.back();
}

void KZeqMarkerSamples::AddFrame(const KArrayTemplate<KZeqVector4>& frame, double scale, bool carryOccluded) {
    const int previous = GetFrameCount() - 1;
    const int previousCount = previous >= 0 ? GetPointCount(previous) : 0;
    mFrameStart.push_back(mFrameStart.back());
    for (int i = 0; i < frame.GetCount(); ++i) {
        const KZeqVector4& v = frame[i];
        const bool occluded = v.GetAt(3) > 0.0;
        Point point{motionkeys::ToFloat(v.GetAt(0) * scale), motionkeys::ToFloat(v.GetAt(1) * scale),
                    motionkeys::ToFloat(v.GetAt(2) * scale)};
        // The frame before is complete in the store: an occluded run holds the
        // last position seen.
        if (occluded && carryOccluded && i < previousCount) point = GetPoint(previous, i);
        Append(point, occluded);
    }
}

std::size_t KZeqMarkerSamples::GetByteCount() const {
    return mBlocks.size() * (sizeof(Point) << kBlockShift) + mOccluded.capacity() * sizeof(std::uint64_t) +
           mFrameStart.capacity() * sizeof(std::uint64_t);
}

void KZeqMarkerSamples::Clear() {
    mBlocks.clear();
    mOccluded.clear();
    mFrameStart.assign(1, 0);
}

}  // namespace zeqsdk_400
