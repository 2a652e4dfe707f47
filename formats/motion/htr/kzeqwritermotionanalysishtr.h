#ifndef ZEQ_FORMATS_MOTION_HTR_KZEQWRITERMOTIONANALYSISHTR_H
#define ZEQ_FORMATS_MOTION_HTR_KZEQWRITERMOTIONANALYSISHTR_H

#include <array>
#include <memory>
#include <unordered_map>

#include "base/kgemath.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"

namespace zeqsdk_400 {

class KFCurve;
class KStreamOptionsMotion;
class KZeqPose;

// Exports a skeleton and its current take as an HTR file (export row 6),
// converting base pose and animation to HTR segment space on a temporary
// copy of the node tree.
class KZeqWriterMotionAnalysisHtr : public KZeqMotionFileWriter<KZeqFileMotionAnalysisHtr> {
public:
    explicit KZeqWriterMotionAnalysisHtr(KZeqSdkManager& manager);
    ~KZeqWriterMotionAnalysisHtr() override;

    KStreamOptions* GetWriteOptions() override;

    // A childless node with a manual rotation limit and no axis length: the
    // end nodes the reader makes. Neither written nor counted.
    static bool IsEndSite(KZeqNode* node);
    static int GetSegmentCount(KZeqNode* node);

protected:
    bool WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) override;

private:
    KZeqNode* CopyNodeTree(KZeqNode* node);
    void ConvertBasePosition(KZeqNode* node, KZeqNode* copy, KZeqPose* pose, const KgeAMatrix* offset);
    bool ConvertAnimationBegin(KZeqNode* node, KZeqNode* copy);
    void ConvertAnimation(KZeqNode* node, KZeqNode* copy, KTime time, double factor, const KgeAMatrix* offset,
                          bool& ok);
    void ConvertAnimationEnd(KZeqNode* node, KZeqNode* copy);
    bool WriteNodeHierarchy(KZeqNode* node, KZeqNode* parent);
    bool WriteNodeBasePosition(KZeqNode* node, KZeqNode* copy);
    bool WriteNodeAnimation(KZeqNode* node, KZeqNode* copy, int frames, int& counter, int segments);

    // Of each copy node, looked up once: its six animation curves, and its base translation and
    // rotation (its default values once converted), read for every frame.
    struct Segment {
        std::array<KFCurve*, 6> mCurves{};
        KZeqVector4 mBaseT;
        KZeqVector4 mBaseR;
    };
    KFCurve* const* Curves(KZeqNode* copy) { return mSegments[copy].mCurves.data(); }

    std::unordered_map<KZeqNode*, Segment> mSegments;
    KStreamOptionsMotion* mOptions = nullptr;
    KZeqNode* mRoot = nullptr;
    // One file unit in scene units: a millimetre.
    double mFileUnit = 0.1;
};

}  // namespace zeqsdk_400

#endif
