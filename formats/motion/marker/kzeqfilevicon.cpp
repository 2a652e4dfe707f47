#include "formats/motion/marker/kzeqfilevicon.h"

#include "fileio/kpath.h"
#include "formats/motion/kzeqmotionkeys.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <strings.h>

namespace zeqsdk_400 {

namespace {

// A parameter row may hold 255 texts; longer lists go on in LABELS2, LABELS3 ...
constexpr int kRowsPerParameter = 255;

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// A label as a name: up to a zero byte, without blanks around it.
std::string Trimmed(std::string text) {
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The scale from a UNITS text to centimetres.
double UnitScale(const std::string& units) {
    const std::string text = Trimmed(units);
    const char first = text.empty() ? '\0' : static_cast<char>(text[0] | 0x20);
    switch (first) {
        case 'c': return 1.0;
        case 'f': return 30.48;
        case 'i': return 2.54;
        case 'm': return text.size() > 1 && (text[1] | 0x20) == 'm' ? 0.1 : 100.0;
        default: return 0.1;
    }
}

// A screen axis text ("+Y", "-z", "X") as a signed axis number (1 = x); 0 when unknown.
int ScreenAxis(const std::string& value) {
    const std::string text = Trimmed(value);
    std::size_t at = 0;
    int sign = 1;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) sign = text[at++] == '-' ? -1 : 1;
    if (at >= text.size()) return 0;
    const char letter = static_cast<char>(text[at] | 0x20);
    return letter >= 'x' && letter <= 'z' ? sign * (letter - 'x' + 1) : 0;
}

std::string TextOf(const KViconParameter* parameter) {
    const KViconArray* array = parameter ? parameter->GetArray() : nullptr;
    return array && array->GetType() == KViconArray::eChar ? array->GetRow(0) : std::string();
}

long FileSize(std::FILE* file) {
    struct stat info;
    return file && ::fstat(::fileno(file), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

}  // namespace

KZeqFileVicon::KZeqFileVicon() = default;

KZeqFileVicon::~KZeqFileVicon() { Close(); }

IKObject* KZeqFileVicon::IQuery(unsigned long interfaceId, int) {
    return interfaceId == kIZeqFileMotionBaseInterfaceId || interfaceId == kIKObjectInterfaceId ? this : nullptr;
}

void KZeqFileVicon::Destroy(int) { delete this; }

bool KZeqFileVicon::Open(const char* name, const char* mode) {
    Close();
    if (!name || !mode) return true;
    mWriting = mode[0] == 'w' || mode[0] == 'a';
    if (!mWriting) {
        // Reading takes a regular file only, without waiting on a pipe.
        mFile = KOpenFileForReading(name, mode);
        return mFile == nullptr;
    }
    // The file is written whole, its header patched at the end: there is nothing to append to.
    if (mode[0] == 'a') {
        errno = EINVAL;
        return true;
    }
    // Written beside the file, which takes its name only once complete (Close).
    if (!mReplacement.Begin(name)) {
        errno = mReplacement.GetSystemError();
        return true;
    }
    mFile = mReplacement.OpenStream("wb");
    if (!mFile) {
        const int reason = errno;
        mReplacement.Discard();
        errno = reason;
        return true;
    }
    BeginWrite(mFile);
    return false;
}

bool KZeqFileVicon::Adopt(std::FILE* stream, const char* mode) {
    Close();
    if (!stream) return true;
    if (!mode) {
        std::fclose(stream);
        return true;
    }
    mWriting = mode[0] == 'w' || mode[0] == 'a';
    mFile = stream;
    if (mWriting) BeginWrite(mFile);
    return false;
}

bool KZeqFileVicon::Close() {
    if (!mFile) return true;
    bool ok = !mWriting || FlushOutput();
    errno = 0;
    if (std::fclose(mFile) != 0) {
        if (mWriting) WriteFailed();
        ok = false;
    }
    mFile = nullptr;
    mParameters.clear();
    // What Open writes takes the file's name only when all of it was stored.
    if (mReplacement.IsActive() && ok && !mReplacement.Commit()) {
        errno = mReplacement.GetSystemError();
        WriteFailed();
        ok = false;
    }
    mReplacement.Discard();
    return ok;
}

const KViconParameter* KZeqFileVicon::FindParameter(int group, const char* name) const {
    for (const auto& parameter : mParameters)
        if (parameter->IsParameter() && parameter->Id() == group && SameName(parameter->GetName(), name))
            return parameter.get();
    return nullptr;
}

bool KZeqFileVicon::ReadParameters() {
    mParameters.clear();
    // The section ends where the data begins, else at the end of the file.
    const long sectionStart = (mParameterBlock - 1) * long(kBlockSize);
    long limit = FileSize(mFile);
    if (mDataStartBlock > mParameterBlock) limit = std::min(limit, (mDataStartBlock - 1) * long(kBlockSize));
    long next = sectionStart + 4;
    while (next >= 0 && next < limit && Seek(next)) {
        std::unique_ptr<KViconParameter> parameter = KViconParameter::Read(*this, limit, next);
        if (!parameter) break;
        mParameters.push_back(std::move(parameter));
    }
    return Goto(mParameterBlock - 1);
}

void KZeqFileVicon::ReadLongFrameRange(long& first, long& last) const {
    auto wide = [](const KViconParameter* parameter, long& value) {
        const KViconArray* array = parameter ? parameter->GetArray() : nullptr;
        if (!array || array->GetType() != KViconArray::eShort || array->GetElementCount() < 2) return false;
        // Two 16-bit halves, low first; a word that reads negative is its bits.
        auto half = [&](int i) { return static_cast<long>(static_cast<unsigned short>(static_cast<int>(array->GetValue(i)))); };
        value = half(0) | half(1) << 16;
        return true;
    };
    int trial = 0;
    for (const auto& parameter : mParameters)
        if (parameter->IsGroup() && SameName(parameter->GetName(), "TRIAL")) trial = parameter->Id();
    long start = 0, end = 0;
    if (!trial || !wide(FindParameter(trial, "ACTUAL_START_FIELD"), start) ||
        !wide(FindParameter(trial, "ACTUAL_END_FIELD"), end) || end < start)
        return;
    // Only where the header words are the same numbers, cut to 16 bits.
    auto agrees = [](long header, long wideValue) { return header == std::min(wideValue, 65535L) || header == (wideValue & 0xFFFF); };
    if (agrees(first, start) && agrees(last, end)) first = start, last = end;
}

bool KZeqFileVicon::ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate, double& scale) {
    if (!mFile || mWriting) return false;
    int parameterBlock = 0;
    if (!ReadKeyWord(mFile, parameterBlock)) return false;
    SetFileProcessorType(GetFileProcessorType(mFile, parameterBlock));
    if (!KViconLoaderBase::ReadHeader(mFile) || mPointCount <= 0 || !ReadParameters()) return false;
    long first = mFirstFrame, last = mLastFrame;
    ReadLongFrameRange(first, last);
    if (last < first - 1 || last - first + 1 > 2147483647L) return false;
    markerCount = mPointCount;
    start.SetSecondDouble(static_cast<double>(first) / mFrameRate);
    frameCount = static_cast<int>(last - first + 1);
    frameRate = mFrameRate;
    scale = 1.0;
    return true;
}

bool KZeqFileVicon::GetTimeCode(int& hours, int& minutes, int& seconds, int& frames) const {
    for (const auto& parameter : mParameters) {
        const KViconArray* array = parameter->GetArray();
        if (!SameName(parameter->GetName(), "TIMECODES") || !array) continue;
        if (array->GetType() != KViconArray::eShort || array->GetElementCount() < 4) return false;
        hours = static_cast<int>(array->GetValue(0));
        minutes = static_cast<int>(array->GetValue(1));
        seconds = static_cast<int>(array->GetValue(2));
        frames = static_cast<int>(array->GetValue(3));
        return true;
    }
    return false;
}

void KZeqFileVicon::ReadAxes() {
    int x = ScreenAxis(TextOf(FindParameter(mPointGroup, "X_SCREEN")));
    int y = ScreenAxis(TextOf(FindParameter(mPointGroup, "Y_SCREEN")));
    if (!x) x = 1;
    if (!y) y = 3;
    if (std::abs(x) == std::abs(y)) x = 1, y = 3;
    // The screen's right is scene -x, its up scene y, and scene z their
    // (-right) x up, so that the map stays a rotation.
    const int i = std::abs(x) - 1, j = std::abs(y) - 1, k = 3 - i - j;
    const int parity = (j - i + 3) % 3 == 1 ? 1 : -1;  // the sign of (e_i x e_j) . e_k
    const int sign = (x < 0 ? -1 : 1) * (y < 0 ? -1 : 1) * parity;
    mAxisMap[0] = -x;
    mAxisMap[1] = y;
    mAxisMap[2] = -sign * (k + 1);
}

bool KZeqFileVicon::ReadAnimationHeader(KArrayTemplate<KString*>& names, bool actorPrefix) {
    if (!mFile || mWriting) return false;
    mPointGroup = 1;
    bool usesPrefixes = false;
    for (const auto& parameter : mParameters) {
        if (parameter->IsGroup() && SameName(parameter->GetName(), "POINT")) mPointGroup = parameter->Id();
        if (SameName(parameter->GetName(), "USES_PREFIXES")) usesPrefixes = true;
    }
    mKeepPrefixes = actorPrefix && usesPrefixes;
    const KViconParameter* units = FindParameter(mPointGroup, "UNITS");
    mUnitScale = units ? UnitScale(TextOf(units)) : 0.1;
    ReadAxes();

    std::vector<std::string> labels;
    for (int part = 1; static_cast<int>(labels.size()) < names.GetCount(); ++part) {
        const std::string name = part == 1 ? "LABELS" : "LABELS" + std::to_string(part);
        const KViconParameter* parameter = FindParameter(mPointGroup, name.c_str());
        const KViconArray* array = parameter ? parameter->GetArray() : nullptr;
        if (!array || array->GetType() != KViconArray::eChar) break;
        const int rows = std::min(array->GetRowCount(), kRowsPerParameter);
        for (int r = 0; r < rows && static_cast<int>(labels.size()) < names.GetCount(); ++r)
            labels.push_back(Trimmed(array->GetRow(r)));
        if (rows < kRowsPerParameter) break;
    }
    for (int i = 0; i < names.GetCount(); ++i) {
        std::string name = i < static_cast<int>(labels.size()) ? labels[static_cast<std::size_t>(i)] : std::string();
        if (name.empty()) {
            char index[16];
            std::snprintf(index, sizeof(index), "%04d", i);
            name = index;
        }
        const std::size_t colon = name.find(':');
        if (!mKeepPrefixes && colon != std::string::npos) name.erase(0, colon + 1);
        std::replace(name.begin(), name.end(), ':', '_');
        *names[i] = name.c_str();
    }

    const bool integers = mScaleFactor >= 0.0f;
    mFrameBytes = static_cast<long>(mAnalogCount) * (integers ? 2 : 4);
    return mDataStartBlock >= 1 && Goto(mDataStartBlock - 1);
}

bool KZeqFileVicon::ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int markerCount, KTime& time,
                                       int& frameNumber, KTime period, bool) {
    if (!mFile || mWriting) return false;
    // The frame's points in one read, decoded in place.
    const std::size_t size = KViconDataRecord::Size(mScaleFactor);
    mFrame.resize(size * static_cast<std::size_t>(markerCount));
    const int first = frame.GetCount();
    if ((markerCount > 0 && !GetBytes(mFrame.data(), mFrame.size())) || !frame.SetCount(first + markerCount)) return false;
    KZeqVector4* points = frame.GetArray() + first;
    KViconDataRecord record;
    for (int i = 0; i < markerCount; ++i) {
        record.Decode(mFrame.data() + size * static_cast<std::size_t>(i), mFileProcessorType, mScaleFactor, mUnitScale);
        const double file[3] = {record.mX, record.mY, record.mZ};
        double scene[3];
        for (int c = 0; c < 3; ++c) {
            const int m = mAxisMap[c];
            scene[c] = m < 0 ? -file[-m - 1] : file[m - 1];
        }
        points[i].Set(scene[0], scene[1], scene[2], record.mValid ? 0.0 : 1.0);
    }
    // The frame's analog values must be there too, even though they are not kept.
    if (mFrameBytes > 0 && !Skip(mFrameBytes - 1)) return false;
    unsigned char last = 0;
    if (mFrameBytes > 0 && !GetChar(last)) return false;
    ++frameNumber;
    time += period;
    return true;
}

bool KZeqFileVicon::PrintHeader(int markerCount, KTime start, int frameCount, double frameRate, double scale) {
    // The header keeps the count in a 16-bit word.
    if (!mFile || !mWriting || markerCount > 65535 || markerCount < 0 || frameCount < 0) return false;
    mPointCount = markerCount;
    mAnalogCount = 0;
    const double first = std::floor(start.GetSecondDouble() * frameRate + 0.5);
    // Frame numbers are unsigned; a file of no frames still has first <= last + 1.
    mFirstFrameLong = first > 0.0 && first < 2147483647.0 ? static_cast<long>(first) : 0;
    if (frameCount == 0 && mFirstFrameLong == 0) mFirstFrameLong = 1;
    mLastFrameLong = mFirstFrameLong + frameCount - 1;
    mLongRange = mLastFrameLong > 65535;
    mFirstFrame = static_cast<int>(std::min(mFirstFrameLong, 65535L));
    mLastFrame = static_cast<int>(std::min(mLastFrameLong, 65535L));
    mMaxGap = 0;
    mScaleFactor = scale >= 0.0 ? kWriteScale : -1.0f;
    mDataStartBlock = 0;
    mAnalogSamplesPerFrame = 1;
    mFrameRate = motionkeys::ToFloat(frameRate);
    mEventCount = 0;
    mClippedCount = 0;
    return WriteHeader(mFile);
}

bool KZeqFileVicon::PrintAnimationHeader(KArrayTemplate<KString*>& names) {
    if (!mFile || !mWriting) return false;
    mSectionStart = WriteTell();
    bool ok = PutChar(1) && PutChar(0x50) && PutChar(0) && PutChar(83 + eDec);
    const int count = names.GetCount();
    const long frames = mLastFrameLong - mFirstFrameLong + 1;
    ok = KViconParameter("POINT", -1, nullptr).Write(*this) && ok;
    ok = KViconParameter("USED", 1, KViconArray::MakeShort({static_cast<short>(count)}, true)).Write(*this) && ok;
    ok = KViconParameter("FRAMES", 1, KViconArray::MakeShort({static_cast<short>(std::min(frames, 65535L))}, true))
             .Write(*this) && ok;
    ok = KViconParameter("DATA_START", 1, KViconArray::MakeShort({0}, true)).Write(*this) && ok;
    // The value sits before the record's empty description (one length byte).
    const long dataStartValue = WriteTell() - 3;
    ok = KViconParameter("SCALE", 1, KViconArray::MakeFloat(mScaleFactor)).Write(*this) && ok;
    ok = KViconParameter("RATE", 1, KViconArray::MakeFloat(mFrameRate)).Write(*this) && ok;
    ok = KViconParameter("X_SCREEN", 1, KViconArray::MakeChar({"+X"}, 2, true)).Write(*this) && ok;
    ok = KViconParameter("Y_SCREEN", 1, KViconArray::MakeChar({"+Z"}, 2, true)).Write(*this) && ok;
    ok = KViconParameter("UNITS", 1, KViconArray::MakeChar({"mm"}, 4, true)).Write(*this) && ok;

    std::vector<std::string> labels;
    std::size_t width = 1;
    for (int i = 0; i < count; ++i) {
        labels.emplace_back(names[i]->Buffer());
        width = std::max(width, std::min<std::size_t>(labels.back().size() + 1, 255));
    }
    for (int part = 0; part == 0 || part * kRowsPerParameter < count; ++part) {
        const auto from = labels.begin() + std::min(count, part * kRowsPerParameter);
        const auto to = labels.begin() + std::min(count, (part + 1) * kRowsPerParameter);
        const std::string suffix = part == 0 ? "" : std::to_string(part + 1);
        const std::vector<std::string> chunk(from, to), blanks(chunk.size());
        ok = KViconParameter(("LABELS" + suffix).c_str(), 1, KViconArray::MakeChar(chunk, static_cast<int>(width), false))
                 .Write(*this) && ok;
        ok = KViconParameter(("DESCRIPTIONS" + suffix).c_str(), 1, KViconArray::MakeChar(blanks, 32, false))
                 .Write(*this) && ok;
    }
    if (mLongRange) {
        auto wide = [](long value) {
            return std::vector<short>{static_cast<short>(value & 0xFFFF), static_cast<short>((value >> 16) & 0xFFFF)};
        };
        ok = KViconParameter("TRIAL", -2, nullptr).Write(*this) && ok;
        ok = KViconParameter("ACTUAL_START_FIELD", 2, KViconArray::MakeShort(wide(mFirstFrameLong), false)).Write(*this) && ok;
        ok = KViconParameter("ACTUAL_END_FIELD", 2, KViconArray::MakeShort(wide(mLastFrameLong), false)).Write(*this) && ok;
    }
    ok = PadToBlock() && ok;
    const long blocks = (WriteTell() - mSectionStart) / kBlockSize;
    const unsigned char blockCount = static_cast<unsigned char>(std::min(blocks, 255L));
    mDataStartBlock = static_cast<int>(WriteTell() / kBlockSize + 1);
    const unsigned short dataStart = static_cast<unsigned short>(std::min(mDataStartBlock, 65535));
    const unsigned char dataStartBytes[2] = {static_cast<unsigned char>(dataStart), static_cast<unsigned char>(dataStart >> 8)};
    ok = Patch(mSectionStart + 2, &blockCount, 1) && ok;
    ok = Patch(dataStartValue, dataStartBytes, 2) && ok;
    ok = mDataStartTag && mDataStartTag->Resolve(*this, dataStart) && ok;
    return ok && mDataStartBlock <= 65535;
}

bool KZeqFileVicon::PrintAnimationFrame(KZeqVector4* points, int count, KTime, int) {
    if (!mFile || !mWriting) return false;
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        const KZeqVector4& p = points[i];
        // Scene (x, y, z) is file (-x, z, y): X_SCREEN +X, Y_SCREEN +Z.
        const double xyz[3] = {-p.GetAt(0), p.GetAt(2), p.GetAt(1)};
        bool clipped = false;
        ok = KViconDataRecord::Write(*this, mScaleFactor, xyz, p.GetAt(3) <= 0.5, 0.1, clipped) && ok;
        if (clipped) ++mClippedCount;
    }
    return ok;
}

bool KZeqFileVicon::PrintFooter() {
    return mFile && mWriting && mKeyTag && mKeyTag->Resolve(*this, static_cast<unsigned short>(0x5000 | mParameterBlock)) &&
           FlushOutput();
}

}  // namespace zeqsdk_400
