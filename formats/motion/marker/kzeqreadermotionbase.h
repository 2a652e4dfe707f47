#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQREADERMOTIONBASE_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQREADERMOTIONBASE_H

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "formats/motion/common/kzeqmotionfileio.h"

namespace zeqsdk_400 {

class IZeqFileMotionBase;
class KStreamOptionsMotion;
class KZeqMarkerSamples;
class KZeqNode;

// The reader shared by the optical marker formats: one marker node per
// trajectory of the file, with translation and occlusion curves in a take
// named after the file, under one reference node ("<prefix>:optical" or
// "<prefix>:reference"). A format gives its file class and its option defaults.
class KZeqReaderMotionBase : public KZeqMotionReaderBase {
public:
    explicit KZeqReaderMotionBase(KZeqSdkManager& manager);
    ~KZeqReaderMotionBase() override;

    // Reads the header; null (error 0) when it does not read. The caller owns
    // the options.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // Reads the whole file. On failure nothing of it is left in the scene or
    // with the manager.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

    const KString& GetTitle() const { return mTitle; }

protected:
    // A new file object opened on fileName, or null.
    virtual IZeqFileMotionBase* CreateFileObject(const char* fileName) = 0;
    // The format's defaults on options made by GetReadOptions.
    virtual void SetReadOptions(KStreamOptionsMotion* options) = 0;

    bool OpenFile(const char* path) override;
    void CloseFile() override;

    IZeqFileMotionBase* mFile = nullptr;
    KString mTitle;
    KString mPrefix;

private:
    bool ReadFrames(KStreamOptionsMotion& options, int markerCount, int frameCount, KTime period, double scale,
                    KZeqMarkerSamples& samples, int& maxExtra);
    bool CreateNodes(const KArrayTemplate<KString*>& names, int extra, KArrayTemplate<KZeqNode*>& nodes);
    // The reference node with the markers under it, not yet in the scene; null
    // (everything made destroyed, the user told) when two markers share a name.
    KZeqNode* InsertNodeArrayInScene(KStreamOptionsMotion& options, KArrayTemplate<KZeqNode*>& nodes);
    // False when a curve cannot hold the keys.
    bool CreateAnimation(KStreamOptionsMotion& options, KArrayTemplate<KZeqNode*>& nodes, const KString& takeName,
                         const KZeqMarkerSamples& samples, KTime start, KTime period);
};

}  // namespace zeqsdk_400

#endif
