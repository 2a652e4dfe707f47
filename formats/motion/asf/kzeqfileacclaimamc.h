#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQFILEACCLAIMAMC_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQFILEACCLAIMAMC_H

#include <memory>

#include "base/kgemath.h"
#include "base/ktime.h"
#include "fileio/ktextfile.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqAsfNode;
class KZeqAsfScene;
class KZeqCarriedScaling;
class KZeqJointNotes;
class KZeqMotionJointLocals;

// The Acclaim AMC motion text of an ASF skeleton: read into the bones'
// curves, printed frame by frame from the bones' bound curve nodes.
class KZeqFileAcclaimAmc : public KTextFile {
public:
    explicit KZeqFileAcclaimAmc(bool messages);
    ~KZeqFileAcclaimAmc() override;

    // Scans the file for its rate, range and frame count into the options.
    bool ReadOptions(KStreamOptionsMotion* options);
    // Reads the frames into new curves of the bones (StopSamplingData run,
    // the curves owned by the bones); on failure the bones own no curves.
    bool Read(KZeqAsfScene* scene, KStreamOptionsMotion* options);

    // Each false when a write failed.
    bool WriteHeader(KZeqAsfScene* scene, bool writeRate, double rate, bool writeRange, int first, int last);
    // matrix: the root's parent's global matrix, or null. A bone takes its
    // bound node's full transform (KZeqMotionJoint) where it has one, else the
    // curves bound, else (the node in its default take) the default values.
    // notes, when given, hear of the bones without translation dofs whose
    // full transform moves them off the skeleton's offsets. exact: the scaling
    // carried into the translations of the bones below is followed as a
    // matrix where a bone is turned under an uneven scaling (KZeqCarriedScaling).
    // locals, when given, has the full transforms the rest of the write shares.
    bool WriteFrame(KZeqAsfScene* scene, KTime time, int frame, const KgeAMatrix* matrix,
                    KZeqJointNotes* notes = nullptr, bool exact = false, KZeqMotionJointLocals* locals = nullptr);
    bool WriteBone(KZeqAsfScene* scene, KZeqAsfNode* bone, KTime time, const KgeAMatrix* matrix,
                   KZeqJointNotes* notes = nullptr, bool exact = false, KZeqMotionJointLocals* locals = nullptr);

private:
    struct Reading;

    // above: what the bone's parent carries. turning: matrix turns the bone
    // too (the root's parent's global matrix), else it carries scaling alone.
    bool WriteBone(KZeqAsfScene* scene, KZeqAsfNode* bone, KTime time, const KgeAMatrix* matrix, bool turning,
                   const KZeqCarriedScaling& above, KZeqJointNotes* notes, KZeqMotionJointLocals* locals);

    // The first line, past a leading comment line.
    bool LoadFirstLine();
    // Whether the line's first word is a number, and which.
    bool IsFrameLine(double* number) const;
    // Bone lines up to the next frame line or the end of the file.
    bool ReadFrame(Reading& reading, KTime time);
    int SkipFrame();
    // After a line failed to load: true at the end of the file, false (reported) for a read error.
    bool EndOrError();

    struct Tokens;
    std::unique_ptr<Tokens> mTokens;
};

}  // namespace zeqsdk_400

#endif
