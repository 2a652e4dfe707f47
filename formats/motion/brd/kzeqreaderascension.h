#ifndef ZEQ_FORMATS_MOTION_BRD_KZEQREADERASCENSION_H
#define ZEQ_FORMATS_MOTION_BRD_KZEQREADERASCENSION_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/brd/kzeqfileascension.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqNode;

// One sample of a sensor.
struct KFrameEntry {
    int mFrame = 0;
    KZeqVector4 mPosition;
    KZeqQuaternion mRotation;
    KTime mTime;
};

// The samples of one sensor, in ascending frame order, one per frame.
class KNodeEntry {
public:
    explicit KNodeEntry(int sensor) : mSensor(sensor) {}

    int GetSensor() const { return mSensor; }
    const std::vector<KFrameEntry>& GetFrames() const { return mFrames; }
    // Appends a sample; the caller keeps the order.
    void AppendFrameEntry(const KFrameEntry& entry) { mFrames.push_back(entry); }
    // The sample of frame, searched from cursor on (set past it when found, or
    // to the first later frame): asking in ascending order walks the list once.
    bool FindFrameEntry(int frame, KZeqVector4& position, KZeqQuaternion& rotation, int& cursor) const;

private:
    int mSensor;
    std::vector<KFrameEntry> mFrames;
};

// Ascension BRD import (row 13): one optical marker node "Marker<sensor>" per
// sensor, with translation, Euler rotation and occlusion curves over the frame
// range of the file, under "BRD:optical" or "BRD:reference". The frame rate
// comes from the time stamps of the smallest and largest frames.
class KZeqReaderAscension : public KZeqMotionFileReader<KZeqFileAscension> {
public:
    // Frame ranges beyond this are refused.
    static constexpr long long kMaxFrameSpan = 10000000;

    explicit KZeqReaderAscension(KZeqSdkManager& manager);
    ~KZeqReaderAscension() override;
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure nothing of the file is left in the scene or with the manager.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

    void ResetFileInfo();
    // Reads the whole file once; false (the information cleared) when a line
    // does not read or the frames span more than the reader takes.
    bool LoadFileInfo();
    int GetSensorCount() const { return static_cast<int>(mNodes.size()); }
    int GetFrameCount() const { return mFrameCount; }
    double GetFrameRate() const { return mFrameRate; }
    KTime GetStart() const { return mStart; }

    bool CreateNodeArray(KArrayTemplate<KZeqNode*>& nodes);
    // False when a curve cannot hold the keys.
    bool CreateAnimation(KStreamOptionsMotion* options, KArrayTemplate<KZeqNode*>& nodes, const KString& take);
    bool InsertNodeArrayInScene(KStreamOptionsMotion* options, KZeqScene& scene, KArrayTemplate<KZeqNode*>& nodes);

private:
    // The file's information.
    std::vector<KNodeEntry> mNodes;  // ascending sensor numbers
    bool mLoaded = false;
    KTime mStart;
    int mFrameCount = 0;
    double mFrameRate = 0.0;
    int mSmallestFrame = 0;
    KTime mSmallestTime;
    int mLargestFrame = 0;
    KTime mLargestTime;
};

}  // namespace zeqsdk_400

#endif
