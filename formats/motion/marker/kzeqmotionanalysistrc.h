#ifndef ZEQ_FORMATS_MOTION_MARKER_KZEQMOTIONANALYSISTRC_H
#define ZEQ_FORMATS_MOTION_MARKER_KZEQMOTIONANALYSISTRC_H

#include "base/ktime.h"
#include "formats/motion/marker/kzeqreadermotionbase.h"
#include "formats/motion/marker/kzeqwritermotionbase.h"

namespace zeqsdk_400 {

// TRC import (row 5). While its options are made, a ".tc" time-code file
// beside the TRC file may give the take's start: the user is asked through
// the options' first message callback unless smDoNotAskForTCFile is set.
class KZeqReaderMotionAnalysisTrc : public KZeqReaderMotionBase {
public:
    explicit KZeqReaderMotionAnalysisTrc(KZeqSdkManager& manager);

    // Process-wide: whether time-code files are looked for, and whether they
    // are loaded without asking (the host's "do not ask again").
    static bool smLoadTCFile;
    static bool smDoNotAskForTCFile;

    // The time of a time-code file's three lines ("h:m:s:f", the standard:
    // "SMPTE", "EBU" or "System Clock", the frame rate); false when invalid,
    // with reason, when given, naming the file and what is wrong with it.
    static bool ParseTimeCode(const char* path, KTime& time, KString* reason = nullptr);

protected:
    IZeqFileMotionBase* CreateFileObject(const char* fileName) override;
    void SetReadOptions(KStreamOptionsMotion* options) override;

private:
    void ApplyTimeCodeFile(KStreamOptionsMotion* options);
};

// TRC export (row 7).
class KZeqWriterMotionAnalysisTrc : public KZeqWriterMotionBase {
public:
    explicit KZeqWriterMotionAnalysisTrc(KZeqSdkManager& manager);

protected:
    IZeqFileMotionBase* CreateFileObject(std::FILE* stream) override;
    void SetWriteOptions(KStreamOptionsMotion* options) override;
};

}  // namespace zeqsdk_400

#endif
