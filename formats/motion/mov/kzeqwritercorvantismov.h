#ifndef ZEQ_FORMATS_MOTION_MOV_KZEQWRITERCORVANTISMOV_H
#define ZEQ_FORMATS_MOTION_MOV_KZEQWRITERCORVANTISMOV_H

#include <memory>

#include "base/karray.h"
#include "base/ktime.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KZeqFileCorvantisMov;
class KZeqNode;

// Corvantis MOV export (row 14): per frame the time, then for every selected
// node (optical reference nodes left out) its global translation, rotation and
// scaling as enabled (options 0 to 2), each value followed by a tab.
class KZeqWriterCorvantisMov : public KZeqWriter {
public:
    explicit KZeqWriterCorvantisMov(KZeqSdkManager& manager);
    ~KZeqWriterCorvantisMov() override;

    bool FileCreate(const char* fileName) override;
    // False (error 3) when what was written could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

    bool WriteFrame(KArrayTemplate<KZeqNode*>& nodes, KTime time, bool t, bool r, bool s);
    bool WriteNode(KZeqNode* node, KTime time, bool t, bool r, bool s);
    // Depth first from node: the selected nodes without an optical reference.
    void FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNode* node);

private:
    bool OutOfDiskSpace();

    std::unique_ptr<KZeqFileCorvantisMov> mFile;
};

}  // namespace zeqsdk_400

#endif
