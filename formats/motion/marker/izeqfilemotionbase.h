#ifndef ZEQ_FORMATS_MOTION_MARKER_IZEQFILEMOTIONBASE_H
#define ZEQ_FORMATS_MOTION_MARKER_IZEQFILEMOTIONBASE_H

#include <cstdio>

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "object/ikobject.h"

namespace zeqsdk_400 {

// Interface identifier of IZeqFileMotionBase for IQuery.
constexpr unsigned long kIZeqFileMotionBaseInterfaceId = 39402;

// What the marker-motion reader and writer need of a file class (TRC, C3D,
// AOA/MCD): a header, marker names and one frame of points at a time. Points
// travel as (x, y, z, w): the position in file units, w 1.0 for an occluded
// point and 0.0 for a visible one. Every operation answers true on success,
// except Open, which answers true on failure.
class IZeqFileMotionBase : public IKObject {
public:
    virtual bool Open(const char* name, const char* mode) = 0;
    // Takes stream, open for writing with the fopen mode, as the file (Close
    // closes it; so does a failure). Answers as Open.
    virtual bool Adopt(std::FILE* stream, const char* mode) = 0;
    // False when the file could not be closed cleanly (a write that failed).
    virtual bool Close() = 0;
    // The system's error number (errno) of the first write that failed since
    // Open, 0 while none did (kept by Close).
    virtual int GetSystemError() const = 0;

    // scale takes file units to scene centimetres.
    virtual bool ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate, double& scale) = 0;
    // names holds one empty string per marker, filled in place.
    virtual bool ReadAnimationHeader(KArrayTemplate<KString*>& names, bool actorPrefix) = 0;
    // Appends the next frame's points to frame (more or fewer than markerCount
    // when the file says so).
    virtual bool ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int markerCount, KTime& time, int& frameNumber,
                                    KTime period, bool exactZeroIsOccluded) = 0;
    virtual bool ReadFooter() = 0;

    // scale < 0 asks a format that can for floating-point data.
    virtual bool PrintHeader(int markerCount, KTime start, int frameCount, double frameRate, double scale) = 0;
    virtual bool PrintAnimationHeader(KArrayTemplate<KString*>& names) = 0;
    // points are in scene centimetres; frameIndex counts from 1.
    virtual bool PrintAnimationFrame(KZeqVector4* points, int count, KTime time, int frameIndex) = 0;
    // Finishes the file; false when something written before could not be stored.
    virtual bool PrintFooter() = 0;

protected:
    ~IZeqFileMotionBase() override = default;
};

// A new file object of class File opened on name with the fopen mode; null
// (the object destroyed) when it does not open.
template <class File>
IZeqFileMotionBase* ZeqOpenMotionFile(const char* name, const char* mode) {
    File* file = new File;
    if (file->Open(name, mode)) {
        file->Destroy(0);
        return nullptr;
    }
    return file;
}

// A new file object of class File writing on stream (see Adopt); null when
// it cannot take it.
template <class File>
IZeqFileMotionBase* ZeqAdoptMotionFile(std::FILE* stream, const char* mode) {
    File* file = new File;
    if (file->Adopt(stream, mode)) {
        file->Destroy(0);
        return nullptr;
    }
    return file;
}

}  // namespace zeqsdk_400

#endif
