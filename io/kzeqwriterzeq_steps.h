#ifndef ZEQ_IO_KZEQWRITERZEQ_STEPS_H
#define ZEQ_IO_KZEQWRITERZEQ_STEPS_H

namespace zeqsdk_400 {

class KZeqNode;
class KZeqScene;
class KZeqWriterZeqBase;

// The main section of a Zeq write, step by step. Each section's writer lives
// in its own source file and is named in its row; a row without a writer
// writes nothing.
typedef bool (*ZeqWriteSection)(KZeqWriterZeqBase& writer, KZeqScene& scene);
typedef bool (*ZeqWriteNodeRecord)(KZeqWriterZeqBase& writer, KZeqNode& node);

enum EZeqWriteStepFlags {
    // The scene's part of the progress is done after this step.
    eZeqAdvancesProgress = 1,
    // Runs even after a failed step, and is not followed by the error test.
    eZeqRunsAlways = 2
};

// A step's result is not looked at: a field-file error after it ends the steps.
struct ZeqWriteStep {
    const char* mWhat;
    int mOption;  // the option that switches the step, -1 when always
    int mFlags;
    ZeqWriteSection mWrite;
};

// What tells the two layouts apart.
struct ZeqWriterLayout {
    int mFileVersion;
    bool mBeforeVersion6;
    const ZeqWriteStep* mSteps;
    int mStepCount;
    ZeqWriteSection mBeforeSteps;  // run before the steps, even when nothing is written
    ZeqWriteSection mAfterSteps;   // and after them
    // The models step: the animated materials and textures are found first,
    // then every node's record is written.
    ZeqWriteSection mFindAnimatedChannels;
    ZeqWriteNodeRecord mNodeRecord;
    // Inside "SceneGenericPersistence": character poses (option 7), then poses.
    ZeqWriteSection mCharacterPoses;
    ZeqWriteSection mPoses;
};

extern const ZeqWriterLayout kZeq58Layout;
extern const ZeqWriterLayout kZeq6Layout;

// Steps of the front itself.
bool ZeqWriteModels(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWritePassword(KZeqWriterZeqBase& writer, KZeqScene& scene);
bool ZeqWriteSceneGenericPersistence(KZeqWriterZeqBase& writer, KZeqScene& scene);

}  // namespace zeqsdk_400

#endif
