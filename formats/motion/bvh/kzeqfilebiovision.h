#ifndef ZEQ_FORMATS_MOTION_BVH_KZEQFILEBIOVISION_H
#define ZEQ_FORMATS_MOTION_BVH_KZEQFILEBIOVISION_H

#include <cstdint>
#include <memory>
#include <vector>

#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "fileio/ktextfile.h"
#include "formats/motion/kzeqmotionkeys.h"

namespace zeqsdk_400 {

class KFCurve;
class KStreamOptionsMotion;
class KZeqNode;
class KZeqSdkManager;

// One joint or end site of a BVH hierarchy, with the frame being read.
struct KBVHJoint {
    enum EChannel { eXposition = 0, eYposition, eZposition, eXrotation, eYrotation, eZrotation, eChannelKinds };
    static constexpr int kMaxNameLength = 127;
    static constexpr int kMaxChannels = 6;

    KBVHJoint* mParent = nullptr;
    std::vector<KBVHJoint*> mChildren;  // joints and end sites in file order, not owned
    char mName[kMaxNameLength + 1] = {};
    int mChannelCount = 0;
    int mChannelCodes[kMaxChannels] = {};  // EChannel values in file order
    bool mIsEndSite = false;
    KZeqVector4 mOffset{0.0, 0.0, 0.0, 1.0};
    KZeqVector4 mTranslation{0.0, 0.0, 0.0, 1.0};
    double mRotation[3] = {0.0, 0.0, 0.0};          // Euler XYZ degrees of the frame read
    motionkeys::ContinuousEuler mContinuity;  // from the frame keyed before
    KZeqNode* mNode = nullptr;
    KFCurve* mCurves[6] = {};  // translation X, Y, Z, rotation X, Y, Z of the node's take

    // Takes this joint's mChannelCount values of a row, in its channel order:
    // position values replace the offset's components; rotations compose with
    // the last listed channel applied first, as the files mean them, and end
    // as Euler XYZ angles.
    void SetFrame(const double* values);
    // Writes the frame as key keyIndex at time into the curves, which hold
    // room for it: translation for 6-channel joints only, rotation kept
    // continuous with the frame before.
    // With fromZero the first key too takes the Euler triple closest to
    // (0, 0, 0), as the unroll filter has it.
    void AddFrame(int keyIndex, KTime time, bool fromZero = false);
};

// The Biovision BVH text file: parses a hierarchy of joints with their
// channels and the frame rows into curves of skeleton nodes, and prints the
// pieces of a file for the writer.
class KZeqFileBiovision : public KTextFile {
public:
    explicit KZeqFileBiovision(bool messages);
    ~KZeqFileBiovision() override;

    // Opens like KTextFile::Open (false on success) and notes the file's size,
    // which bounds the frame rows it can hold.
    bool Open(const char* path, const char* mode);

    // ---- Reading: each false on the first missing keyword, number or line ----
    // The motion header into the options (rate, frame count), then
    // "ImportCreateReferenceNode" on.
    bool ReadOptions(KStreamOptionsMotion* options);
    // The hierarchy, then the motion header; the frame rows are left for
    // ReadFrames. A file whose motion comes without a hierarchy fails.
    bool ReadMain(KStreamOptionsMotion* options);
    bool ReadHierarchy();
    bool ReadRoot();
    // The motion header from the current line; options may be null.
    bool ReadMotionHeader(KStreamOptionsMotion* options);
    // count numbers of the current line; a count of 0 or less succeeds.
    bool ReadOneFrame(double* values, int count);
    // The options' frame count of rows into the joints' curves (the count is
    // first lowered to the file's).
    bool ReadFrames(KStreamOptionsMotion* options);
    // The joints as LimbNode skeleton nodes under parent, each with a take of
    // that name made current. False only when the manager refuses a node.
    bool CreateNodes(KZeqSdkManager& manager, KZeqNode* parent, const char* takeName, KStreamOptionsMotion* options);

    // ---- Printing: false when the text could not be written ----
    bool PrintJointBegin(const char* name, bool isRoot, const KZeqVector4& offset, int indent, bool rotationOnly,
                         bool zxyOrder);
    bool PrintJointEnd(int indent);
    bool PrintJointEndSite(const KZeqVector4& offset, int indent);
    bool PrintMotionHeader(int frameCount, double frameTime);
    bool PrintMotionFrameBegin() { return true; }
    bool PrintMotionFrameEnd();
    // The rotation's components are printed z, y, x: the caller arranges them
    // for the channel names of the hierarchy.
    bool PrintMotion(bool isRoot, const KZeqVector4& translation, const KZeqVector4& rotation, bool rotationOnly,
                     bool zxyOrder);

    // Every joint and end site in pre-order; the file object owns them.
    const std::vector<std::unique_ptr<KBVHJoint>>& GetJoints() const { return mJointList; }
    int GetTotalChannels() const { return mTotalChannels; }
    int GetFrameCount() const { return mFrameCount; }
    double GetFrameTime() const { return mFrameTime; }

private:
    // The block of a joint whose keyword line has been read: "{", OFFSET,
    // CHANNELS, then child blocks until "}". Iterative, so that no depth of
    // nesting exhausts the stack.
    bool ReadJointBlock(KBVHJoint* joint);
    // Keywords match as prefixes: the letters of a longer word ("OFFSETS")
    // before the numbers belong to the keyword.
    void SkipKeywordTail();
    bool ReadOffset(KBVHJoint* joint);
    bool ReadChannels(KBVHJoint* joint);
    // An end site of parent, from its "{" line to its "}".
    bool ReadEndSite(KBVHJoint* parent);
    KBVHJoint* NewJoint(KBVHJoint* parent, bool endSite);
    // The rest of the current line's first word as the joint's name.
    bool ReadName(KBVHJoint* joint);
    bool PrintOffset(const KZeqVector4& offset, int indent);

    // Keyword tables; Handle answers the index of the keyword it matched.
    KToken mMain[3] = {{"HIERARCHY", 0}, {"MOTION", 0}, {"", 0}};
    KToken mHierarchy[2] = {{"ROOT", 0}, {"", 0}};
    KToken mJoint[7] = {{"{", 0}, {"OFFSET", 0}, {"CHANNELS", 0}, {"JOINT", 0}, {"End Site", 0}, {"}", 0}, {"", 0}};
    KToken mChannels[7] = {{"Xposition", 0}, {"Yposition", 0}, {"Zposition", 0}, {"Xrotation", 0},
                           {"Yrotation", 0}, {"Zrotation", 0}, {"", 0}};
    KToken mMotion[3] = {{"Frames:", 0}, {"Frame Time:", 0}, {"", 0}};

    std::vector<std::unique_ptr<KBVHJoint>> mJointList;
    int mTotalChannels = 0;
    int mFrameCount = 0;
    double mFrameTime = 0.0;
    std::uint64_t mFileSize = 0;
};

}  // namespace zeqsdk_400

#endif
