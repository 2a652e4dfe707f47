#ifndef ZEQ_IO_KZEQREADERZEQ_STEPS_H
#define ZEQ_IO_KZEQREADERZEQ_STEPS_H

namespace zeqsdk_400 {

class KZeqReaderZeq;
class KZeqScene;

// The scene read, step by step. Each section's reader lives in its own
// source file and is named in its row of kZeqReadSteps; a row without a
// reader reads nothing (and succeeds).
typedef bool (*ZeqReadSection)(KZeqReaderZeq& reader, KZeqScene& scene);

enum EZeqLayout { eZeqAnyLayout, eZeqVersion6Layout, eZeqBeforeVersion6Layout };

enum EZeqReadStepFlags {
    eZeqEndsReadOnFailure = 1,
    // Runs right after a failed step; the failure then ends the read.
    eZeqRunsAfterFailure = 2,
    // Only with option 6 on and at least one take in the options.
    eZeqNeedsTakes = 4
};

struct ZeqReadStep {
    const char* mWhat;
    EZeqLayout mLayout;
    int mOption;  // the option that switches the step, -1 when always
    int mFlags;
    ZeqReadSection mRead;
};

extern const ZeqReadStep kZeqReadSteps[];
extern const int kZeqReadStepCount;

// Readers the shared steps call inside their sections; null until built.
struct ZeqReaderHooks {
    ZeqReadSection mGlobalLightSettings;
    ZeqReadSection mGlobalTimeSettings;           // inside "Version5"
    ZeqReadSection mGlobalCameraAndTimeSettings;  // top level, before version 6
    ZeqReadSection mPoses;
    // The character-pose reader answers 1 when it read the pose records.
    int (*mCharacterPoses)(KZeqReaderZeq& reader, KZeqScene& scene);
};
extern const ZeqReaderHooks kZeqReaderHooks;

// Steps of the front itself.
bool ZeqReadRewindMainSection(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadRegisterSceneRoot(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadSceneGenericPersistence(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadVersion5Block(KZeqReaderZeq& reader, KZeqScene& scene);
bool ZeqReadTopLevelGlobalSettings(KZeqReaderZeq& reader, KZeqScene& scene);

}  // namespace zeqsdk_400

#endif
