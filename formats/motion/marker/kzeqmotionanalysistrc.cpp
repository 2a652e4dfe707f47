#include "formats/motion/marker/kzeqmotionanalysistrc.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "fileio/kpath.h"
#include "formats/motion/marker/kzeqfilemotionanalysistrc.h"
#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

namespace {

// The time-code question and its messages go through the first callback.
constexpr int kTimeCodeCallback = 0;
constexpr const char* kTimeCodeTitle = "Time Code File";

// The time mode of a time code's frame rate.
KTime::ETimeMode TimeCodeMode(double rate) {
    switch (static_cast<long>(std::floor(rate))) {
        case 120: return KTime::eMode120;
        case 100: return KTime::eMode100;
        case 60: return KTime::eMode60;
        case 50: return KTime::eMode50;
        case 30: return KTime::eMode30;
        case 29: return KTime::eModeNtscDrop;
        case 25: return KTime::eModePal;
        case 24: return KTime::eMode24;
        default: return KTime::eModeDefault;
    }
}

}  // namespace

bool KZeqReaderMotionAnalysisTrc::smLoadTCFile = true;
bool KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = false;

KZeqReaderMotionAnalysisTrc::KZeqReaderMotionAnalysisTrc(KZeqSdkManager& manager) : KZeqReaderMotionBase(manager) {
    mTitle = "Motion Analysis TRC File Importer";
    mPrefix = "TRC";
}

IZeqFileMotionBase* KZeqReaderMotionAnalysisTrc::CreateFileObject(const char* fileName) {
    return ZeqOpenMotionFile<KZeqFileMotionAnalysisTrc>(fileName, "r");
}

void KZeqReaderMotionAnalysisTrc::SetReadOptions(KStreamOptionsMotion* options) {
    options->SetOption(KStreamOptionsMotion::eUnusedSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOn);
    ApplyTimeCodeFile(options);
}

bool KZeqReaderMotionAnalysisTrc::ParseTimeCode(const char* path, KTime& time) {
    std::FILE* file = KOpenFileForReading(path, "rt");
    if (!file) return false;
    char lines[3][256];
    bool read = true;
    for (char* line : lines) read = read && KFgets(line, sizeof(lines[0]), file);
    std::fclose(file);
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    float rate = 0.0f;
    if (!read || std::sscanf(lines[0], "%d:%d:%d:%d", &hours, &minutes, &seconds, &frames) != 4 ||
        std::sscanf(lines[2], "%f", &rate) != 1 || hours < 0 || minutes < 0 || seconds < 0 || frames < 0)
        return false;
    KTime::ETimeMode mode = TimeCodeMode(rate);
    const char* standard = lines[1];
    if (std::strncmp(standard, "SMPTE", 5) == 0) {
        if (frames > rate) return false;
    } else if (std::strncmp(standard, "EBU", 3) == 0) {
        if (frames > 24) return false;
        mode = KTime::eModePal;
    } else if (strncasecmp(standard, "System Clock", 12) == 0) {
        if (frames > rate || mode == KTime::eModeDefault) return false;
    } else {
        return false;
    }
    time.SetTime(hours, minutes, seconds, frames, 0, mode);
    return true;
}

void KZeqReaderMotionAnalysisTrc::ApplyTimeCodeFile(KStreamOptionsMotion* options) {
    if (!smLoadTCFile) return;
    const KString candidate = ChangeFileExtension(mFileName.Buffer(), ".tc");
    // Only a missing one goes without a word: one that is there but cannot be
    // read (a folder, a socket, no permission) is reported below as a pipe is.
    struct stat info;
    if (::stat(candidate.Buffer(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) return;
    const KString name = ExtractFileName(candidate.Buffer(), true);
    if (!smDoNotAskForTCFile) {
        const int answer = options->MessageCallback(kTimeCodeCallback, kTimeCodeTitle, (KString("Load ") + name + "?").Buffer(),
                                                    "Yes", "No", nullptr, 1);
        if (answer != 1) {
            if (smDoNotAskForTCFile) smLoadTCFile = false;
            return;
        }
    }
    // The options are new: their callbacks may go nowhere, so the reader's message says it too.
    const auto tell = [&](const KString& text) {
        options->MessageCallback(kTimeCodeCallback, kTimeCodeTitle, text.Buffer(), "Ok", nullptr, nullptr, 0);
        if (!mMessage.IsEmpty()) mMessage += "\n";
        mMessage += text;
    };
    // A time-code file that is no regular file (a pipe) is refused, not waited on.
    KString refusal;
    std::FILE* probe = KOpenFileForReading(candidate.Buffer(), "rt", &refusal);
    if (!probe) {
        tell(KString("Unable to open ") + name + ": " + refusal);
        return;
    }
    std::fclose(probe);
    KTime time;
    if (ParseTimeCode(candidate.Buffer(), time))
        options->SetStart(time);
    else
        tell(name + " is invalid");
}

KZeqWriterMotionAnalysisTrc::KZeqWriterMotionAnalysisTrc(KZeqSdkManager& manager) : KZeqWriterMotionBase(manager) {
    mTitle = "Motion Analysis TRC File Exporter";
}

IZeqFileMotionBase* KZeqWriterMotionAnalysisTrc::CreateFileObject(std::FILE* stream) {
    return ZeqAdoptMotionFile<KZeqFileMotionAnalysisTrc>(stream, "w");
}

void KZeqWriterMotionAnalysisTrc::SetWriteOptions(KStreamOptionsMotion* options) {
    options->SetOption(KStreamOptionsMotion::eUnusedSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
}

}  // namespace zeqsdk_400
