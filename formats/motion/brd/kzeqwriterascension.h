#ifndef ZEQ_FORMATS_MOTION_BRD_KZEQWRITERASCENSION_H
#define ZEQ_FORMATS_MOTION_BRD_KZEQWRITERASCENSION_H

#include <memory>

#include "base/karray.h"
#include "base/ktime.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KZeqFileAscension;
class KZeqNode;

// Ascension BRD export (row 15): frame after frame, one line per selected node
// (optical reference nodes left out) with its position and quaternion
// (w >= 0) relative to the export root; the sensor number is the node's place
// in the list. With option 11 "ExportGapsAsValidData" at 0, occluded samples
// are left out.
class KZeqWriterAscension : public KZeqWriter {
public:
    explicit KZeqWriterAscension(KZeqSdkManager& manager);
    ~KZeqWriterAscension() override;

    bool FileCreate(const char* fileName) override;
    // False (error 3) when what was written could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

    void FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node);
    bool WriteFrame(KArrayTemplate<KZeqNode*>& nodes, KTime time, int frame, bool skipOccluded);
    bool WriteNode(KZeqNode* node, KTime time, int frame, int sensor, bool skipOccluded);

private:
    bool OutOfDiskSpace();

    std::unique_ptr<KZeqFileAscension> mFile;
};

}  // namespace zeqsdk_400

#endif
