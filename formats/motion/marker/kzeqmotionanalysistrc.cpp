#include "formats/motion/marker/kzeqmotionanalysistrc.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "fileio/kpath.h"
#include "formats/motion/marker/kzeqfilemotionanalysistrc.h"
#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

namespace {

// The time-code question and its messages go through the first callback.
constexpr int kTimeCodeCallback = 0;
constexpr const char* kTimeCodeTitle = "Time Code File";

// Whether System Clock runs at the rate: 24, 25, 29.97, 30, 50, 60, 100 or 120 frames a second
// (by its whole part).
bool IsSystemClockRate(double rate) {
    if (!(rate < 1000.0)) return false;
    switch (static_cast<long>(std::floor(rate))) {
        case 120: case 100: case 60: case 50: case 30: case 29: case 25: case 24: return true;
        default: return false;
    }
}

// A line of the file as a message quotes it: without its line feed, control
// characters shown as '?', at most 40 characters.
std::string Quoted(const char* line) {
    std::string text;
    for (const char* c = line; *c && *c != '\n' && text.size() < 40; ++c)
        text += static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F ? '?' : *c;
    if (std::strlen(line) > text.size() + (std::strchr(line, '\n') ? 1 : 0)) text += "...";
    return "\"" + text + "\"";
}

// One field of "h:m:s:f": digits, within int; a minus before them is read (and the time refused as
// negative later), a plus or a blank is no part of a time code.
bool TimeField(const char*& at, int& value) {
    if (!std::isdigit(static_cast<unsigned char>(at[*at == '-' ? 1 : 0]))) return false;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(at, &end, 10);
    if (end == at || errno == ERANGE || number < INT_MIN || number > INT_MAX) return false;
    value = static_cast<int>(number);
    at = end;
    return true;
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

bool KZeqReaderMotionAnalysisTrc::ParseTimeCode(const char* path, KTime& time, KString* reason) {
    const auto invalid = [&](const std::string& what) {
        if (reason) *reason = what.c_str();
        return false;
    };
    KString refusal;
    std::FILE* file = KOpenFileForReading(path, "rt", &refusal);
    if (!file) return invalid(refusal.Buffer());
    const std::string named = std::string("\"") + MakeFullPath(KGetCurrentDirectory().Buffer(), path).Buffer() + "\"";
    char lines[3][256];
    int count = 0;
    bool cut = false;
    for (; count < 3 && KFgets(lines[count], sizeof(lines[0]), file); ++count) {
        // The time or the standard filling the buffer without its end would be read as two
        // lines; the rate's line may run on.
        const std::size_t length = std::strlen(lines[count]);
        if (count < 2 && length + 1 == sizeof(lines[0]) && lines[count][length - 1] != '\n' &&
            std::fgetc(file) != EOF) {
            cut = true;
            ++count;
            break;
        }
    }
    std::fclose(file);
    if (cut) return invalid(named + " line " + std::to_string(count) + " is longer than " +
                            std::to_string(sizeof(lines[0]) - 2) + " characters");
    if (count < 3)
        return invalid(named + " holds " + std::to_string(count) + (count == 1 ? " line" : " lines") +
                       ", not the 3 of a time code (the time, the standard, the frame rate)");
    int fields[4] = {0, 0, 0, 0};
    const char* at = lines[0];
    // Blanks may come before the time, as after it.
    while (*at == ' ' || *at == '\t') ++at;
    for (int i = 0; i < 4; ++i)
        if ((i > 0 && *at++ != ':') || !TimeField(at, fields[i]))
            return invalid(named + " line 1 " + Quoted(lines[0]) + " is no time (hours:minutes:seconds:frames)");
    // Blanks and the line's end may follow the frames; anything else makes no time.
    while (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n') ++at;
    if (*at)
        return invalid(named + " line 1 " + Quoted(lines[0]) + " is no time (hours:minutes:seconds:frames): " +
                       Quoted(at) + " follows the frames");
    const int hours = fields[0], minutes = fields[1], seconds = fields[2], frames = fields[3];
    if (hours < 0 || minutes < 0 || seconds < 0 || frames < 0)
        return invalid(named + " line 1 " + Quoted(lines[0]) + " holds a negative number");
    if (minutes > 59 || seconds > 59)
        return invalid(named + " line 1 " + Quoted(lines[0]) + ": " + (minutes > 59 ? "minute " : "second ") +
                       std::to_string(minutes > 59 ? minutes : seconds) + " is beyond 59");
    char* end = nullptr;
    const float rate = std::strtof(lines[2], &end);
    if (end == lines[2] || !std::isfinite(rate) || rate < 0.0f)
        return invalid(named + " line 3 " + Quoted(lines[2]) + " is no frame rate");
    char rateText[32];
    std::snprintf(rateText, sizeof(rateText), "%g", static_cast<double>(rate));
    // The rate the frames are counted at: the file's own, whatever it is, except under EBU.
    double frameRate = rate;
    const char* standard = lines[1];
    const auto beyondTheRate = [&] {
        return invalid(named + ": frame " + std::to_string(frames) + " is not below the frame rate, " + rateText);
    };
    if (std::strncmp(standard, "SMPTE", 5) == 0) {
        if (frames >= rate) return beyondTheRate();
    } else if (std::strncmp(standard, "EBU", 3) == 0) {
        if (frames > 24) return invalid(named + ": frame " + std::to_string(frames) + " is beyond EBU's last, 24");
        frameRate = KTime::GetFrameRate(KTime::eModePal);
    } else if (strncasecmp(standard, "System Clock", 12) == 0) {
        if (!IsSystemClockRate(rate))
            return invalid(named + ": System Clock runs at 24, 25, 29.97, 30, 50, 60, 100 or 120 frames per second, "
                                   "not " + std::string(rateText));
        if (frames >= rate) return beyondTheRate();
    } else {
        return invalid(named + " line 2 " + Quoted(standard) + " is no standard (SMPTE, EBU or System Clock)");
    }
    // The frames come to less than a second: a start the take's time cannot hold would wrap round
    // to another.
    const double wholeSeconds = (static_cast<double>(hours) * 60.0 + minutes) * 60.0 + seconds;
    if ((wholeSeconds + 1.0) * static_cast<double>(KTime::kTicksPerSecond) >= 9.2e18)
        return invalid(named + " line 1 " + Quoted(lines[0]) + " is later than a take can start");
    // A rate a time mode has is counted in that mode's frames (29.97 in NTSC's exact ones); any
    // other in frames of its own length.
    const KTime::ETimeMode mode = KTime::ConvertFrameRateToTimeMode(frameRate, 1e-3);
    const kLongLong frameTicks =
        mode != KTime::eModeDefault
            ? frames * KTime::GetOneFrameValue(mode).Get()
            : std::llround(static_cast<double>(frames) * static_cast<double>(KTime::kTicksPerSecond) / frameRate);
    time = KTime(static_cast<kLongLong>(wholeSeconds) * KTime::kTicksPerSecond + frameTicks);
    if (reason) *reason = "";
    return true;
}

void KZeqReaderMotionAnalysisTrc::ApplyTimeCodeFile(KStreamOptionsMotion* options) {
    if (!smLoadTCFile) return;
    const KString candidate = ChangeFileExtension(mFileName.Buffer(), ".tc");
    // Only a missing one goes without a word: one that is there but cannot be
    // read (a folder, a socket, no permission) is reported below as a pipe is.
    KPathWalk walk;
    if (!KWalkPath(candidate.Buffer(), walk) ? walk.mCode == ENOENT || walk.mCode == ENOTDIR : !walk.mExists) return;
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
    KString reason;
    if (ParseTimeCode(candidate.Buffer(), time, &reason))
        options->SetStart(time);
    else
        tell(name + " is invalid: " + reason);
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
