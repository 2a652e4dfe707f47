#ifndef ZEQ_FORMATS_MOTION_HTR_KZEQFILEMOTIONANALYSISHTR_H
#define ZEQ_FORMATS_MOTION_HTR_KZEQFILEMOTIONANALYSISHTR_H

#include <memory>
#include <unordered_map>
#include <vector>

#include "base/kgemath.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "fileio/ktextfile.h"

namespace zeqsdk_400 {

class KFCurve;
class KStreamOptionsMotion;
class KZeqNode;
class KZeqPose;
class KZeqScene;
class KZeqSdkManager;

// One segment of an HTR file: its names, base position and the scene node and
// curves made for it (neither owned).
struct KZeqHtrSegment {
    static constexpr int kMaxNameLength = 255;

    void Init(const char* name, const char* parent, int tag);
    void SetBasePosition(const KgeTVector& t, const KgeRVector& r, int order, double length);

    char mName[kMaxNameLength + 1] = {0};
    char mParentName[kMaxNameLength + 1] = {0};
    int mTag = -1;
    KgeTVector mBaseTranslation;
    KgeRMatrix mBaseRotation = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    double mLength = 0.0;
    // Inverse of the node's global rest rotation.
    KgeRMatrix mRestOffset = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KZeqNode* mNode = nullptr;
    int mParent = -1;  // index of the parent segment, -1 for the root
    // Translation X, Y, Z, rotation X, Y, Z, scaling X, Y, Z.
    KFCurve* mCurves[9] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
};

// The Motion Analysis HTR text: parsed into segments that become skeleton
// nodes and curves, and printed section by section for the writer.
class KZeqFileMotionAnalysisHtr : public KTextFile {
public:
    // Deeper hierarchies are refused: the walks of the tree below recurse.
    static constexpr int kMaxDepth = 256;

    explicit KZeqFileMotionAnalysisHtr(bool messages);
    ~KZeqFileMotionAnalysisHtr() override;

    // The header only: frame count and rate into the options;
    // "ImportCreateReferenceNode" set on.
    bool ReadOptions(KStreamOptionsMotion* options);
    // Header, hierarchy and base positions; leaves the cursor on the first
    // line after the base positions.
    bool ReadMain(KStreamOptionsMotion* options);
    // One skeleton node per segment (with "<name>_End" end nodes) below parent,
    // each with a take of that name whose curves the segments keep. On failure
    // every node made here is destroyed again.
    bool CreateNodes(KZeqSdkManager& manager, KZeqNode* parent, const char* takeName, KStreamOptionsMotion* options);
    // The frame sections into the segments' curves. When every section holds
    // the same number of rows, fewer than the options ask for, those rows are
    // read and the options' frame count lowered to them; sections holding
    // different numbers of rows fail the read.
    bool ReadFrames(KStreamOptionsMotion* options, KZeqNode* top);
    // The frames the last ReadFrames found in every section when that was
    // fewer than it was asked for; -1 when all were there.
    int GetFramesHeld() const { return mFramesHeld; }
    // The "NumFrames" value of the header.
    int GetDeclaredFrameCount() const { return mFrameCount; }
    // Destroys the nodes CreateNodes made (after a later failure).
    void DestroyNodes(KZeqSdkManager& manager);

    bool StoreRestPose(KZeqSdkManager& manager, KZeqScene& scene, const char* name);
    static KZeqPose* RetrieveRestPose(KZeqScene& scene, const char* name);

    KZeqHtrSegment* GetSegmentByName(const char* name);
    KZeqHtrSegment* GetSegmentByNode(KZeqNode* node);
    int GetSegmentCount() const { return static_cast<int>(mSegments.size()); }
    KZeqHtrSegment* GetSegment(int index) { return mSegments[static_cast<std::size_t>(index)].get(); }
    // Whether MinimizeRotationOffset runs, from "@Application.txt".
    bool GetMinimizeRotationOffset() const { return mMinimizeOffset; }
    void SetMinimizeRotationOffset(bool minimize) { mMinimizeOffset = minimize; }

    // Printing; each false when a write failed.
    bool PrintHeader(int segments, int frames, int rate);
    bool PrintHierarchyHeader();
    bool PrintHierarchy(const char* name, const char* parent);
    bool PrintBasePositionHeader();
    bool PrintBasePosition(const char* name, const KgeTVector& t, const KgeRVector& r, double length);
    bool PrintAnimationHeader(const char* name);
    bool PrintAnimation(int frame, const KgeTVector& t, const KgeRVector& r);
    bool PrintFooter();

private:
    enum class EState { kNone, kHeader, kHierarchy, kBasePosition, kFrames };
    struct Tokens;

    bool ReadHeader(KStreamOptionsMotion* options);
    bool ReadSegments();
    bool ReadBasePosition();
    bool ReadFrame(KZeqHtrSegment& segment, int index, KTime time);
    // The frame k, or with kDefaultValues the nodes' default translation and rotation.
    static constexpr int kDefaultValues = -1;
    bool MinimizeRotationOffset(KZeqNode* node, const KgeAMatrix& a, const KgeAMatrix& b, int k);
    void SetLimits(KZeqHtrSegment& segment);
    void SetLimitsEnd(KZeqHtrSegment& segment);
    bool ReadNumber(double& value);
    bool ReadVector(double* values);

    std::unique_ptr<Tokens> mTokens;
    int mFileType = 0;
    int mDataType = 0;
    int mFileVersion = 1;
    int mSegmentCount = 0;
    int mFrameCount = 0;
    int mDataFrameRate = 60;
    int mEulerOrder = 0;
    int mCalibrationUnits = 0;
    int mRotationUnits = 0;
    int mGravityAxis = 1;
    int mBoneLengthAxis = 1;
    double mScaleFactor = 1.0;
    int mRotationOrder = 0;
    double mCalibrationFactor = 0.1;
    double mRotationFactor = 1.0;
    KgeRMatrix mBoneAxis = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    EState mState = EState::kNone;
    std::vector<std::unique_ptr<KZeqHtrSegment>> mSegments;
    std::unordered_map<const KZeqNode*, int> mSegmentOfNode;
    int mCounter = 0;
    int mFramesHeld = -1;
    bool mMinimizeOffset = true;
    std::vector<KZeqNode*> mCreated;  // nodes made by CreateNodes, for DestroyNodes
};

}  // namespace zeqsdk_400

#endif
