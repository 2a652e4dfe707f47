// C3D files, as read and written here. A file is a run of 512-byte blocks,
// numbered from 1; 16-bit words are numbered from 1 within the header block.
//
//   Header (block 1), in the file's processor layout:
//     word 1      byte 1 the parameter section's first block, byte 2 the key 0x50
//                 (read as a little-endian word: 0x5000 | block)
//     word 2      points per frame            word 3   analog values per frame
//     word 4      first frame                 word 5   last frame
//     word 6      largest interpolation gap   words 7-8  scale factor (float;
//                 negative: points stored as floats, else as 16-bit integers)
//     word 9      first block of the data     word 10  analog samples per frame
//     words 11-12 frame rate (float)
//     word 150    key 12345                   word 151 event count (at most 18)
//     words 153-188 event times (floats), words 189-197 one display byte per
//                 event (0: shown), words 199-234 4-character event labels
//   Parameter section (from the block named in word 1):
//     byte 1 reserved, byte 2 key 0x50, byte 3 number of parameter blocks,
//     byte 4 processor: 84 Intel, 85 DEC, 86 MIPS (anything else read as Intel)
//     then records until one whose first or second byte is 0:
//       name length (signed byte; negative: locked), id (signed byte; negative:
//       a group of that number, positive: a parameter of that group), the name,
//       a 16-bit offset from this word to the next record (0: the last one),
//       for a parameter: type (-1 characters, 1 byte, 2 16-bit integer,
//       4 float), dimension count, the dimensions fastest first, the values;
//       then a description length byte and the description.
//   Data (from the block of word 9), frame after frame: per point x, y, z and a
//     fourth value (16-bit integers: residual in the low byte, camera mask in
//     the high byte, negative when the point is invalid; floats: negative when
//     invalid), then the frame's analog values (16-bit or float, as the points).
//
// Processor layouts: Intel is little-endian IEEE; DEC has little-endian
// integers and VAX F floats (16-bit halves in little-endian order, exponent
// bias 129: 1.0 is 80 40 00 00); MIPS is big-endian IEEE.
#include "formats/motion/marker/kviconloaderbase.h"

#include "formats/motion/kzeqmotionkeys.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zeqsdk_400 {

namespace {

constexpr std::size_t kReadBufferSize = 128 * KViconLoaderBase::kBlockSize;
constexpr std::size_t kWriteBufferSize = 128 * KViconLoaderBase::kBlockSize;
constexpr long kHeaderKeyOffset = 298;   // word 150
constexpr long kEventTimesOffset = 304;  // word 153
constexpr long kEventFlagsOffset = 376;  // word 189
constexpr long kEventLabelsOffset = 396;  // word 199

std::uint32_t BitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float FloatOf(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

bool ReadAt(std::FILE* file, long offset, void* out, std::size_t count) {
    return std::fseek(file, offset, SEEK_SET) == 0 && std::fread(out, 1, count, file) == count;
}

}  // namespace

float KViconLoaderBase::DecodeFloat(int type, const unsigned char* b) {
    if (type == KViconLoaderBase::eMips)
        return FloatOf(std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3]);
    if (type != KViconLoaderBase::eDec)
        return FloatOf(std::uint32_t(b[3]) << 24 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[1]) << 8 | b[0]);
    const std::uint32_t high = std::uint32_t(b[1]) << 8 | b[0];
    const std::uint32_t low = std::uint32_t(b[3]) << 8 | b[2];
    const std::uint32_t sign = high & 0x8000u;
    const int exponent = static_cast<int>((high >> 7) & 0xFFu);
    const std::uint32_t fraction = (high & 0x7Fu) << 16 | low;
    // Exponent 0 is zero (with the sign bit: VAX's reserved operand, read as zero too).
    if (exponent == 0) return 0.0f;
    // VAX: 0.1f x 2^(e - 128) = 1.f x 2^(e - 129); IEEE biases by 127.
    if (exponent > 2) return FloatOf(sign << 16 | std::uint32_t(exponent - 2) << 23 | fraction);
    const float magnitude = std::ldexp(static_cast<float>(fraction | 0x800000u), exponent - 129 - 23);
    return sign ? -magnitude : magnitude;
}

void KViconLoaderBase::EncodeFloat(int type, float value, unsigned char* b) {
    std::uint32_t bits = BitsOf(value);
    if (type == KViconLoaderBase::eMips) {
        b[0] = static_cast<unsigned char>(bits >> 24), b[1] = static_cast<unsigned char>(bits >> 16);
        b[2] = static_cast<unsigned char>(bits >> 8), b[3] = static_cast<unsigned char>(bits);
        return;
    }
    if (type != KViconLoaderBase::eDec) {
        b[0] = static_cast<unsigned char>(bits), b[1] = static_cast<unsigned char>(bits >> 8);
        b[2] = static_cast<unsigned char>(bits >> 16), b[3] = static_cast<unsigned char>(bits >> 24);
        return;
    }
    const std::uint32_t sign = bits & 0x80000000u;
    const int exponent = static_cast<int>((bits >> 23) & 0xFFu);
    std::uint32_t vax = 0;  // zero, IEEE denormals (below VAX's range) and NaN
    if (exponent == 0xFF && (bits & 0x7FFFFFu)) {
        vax = 0;
    } else if (exponent >= 254) {
        vax = sign | 0x7FFFFFFFu;  // beyond VAX's range: its largest value
    } else if (exponent > 0) {
        vax = sign | std::uint32_t(exponent + 2) << 23 | (bits & 0x7FFFFFu);
    }
    const std::uint32_t high = vax >> 16, low = vax & 0xFFFFu;
    b[0] = static_cast<unsigned char>(high), b[1] = static_cast<unsigned char>(high >> 8);
    b[2] = static_cast<unsigned char>(low), b[3] = static_cast<unsigned char>(low >> 8);
}

bool KViconTag::Resolve(KViconLoaderBase& loader, unsigned short value) {
    mValue = value;
    const unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    return loader.Patch(mPosition, bytes, 2);
}

KViconLoaderBase::KViconLoaderBase() = default;

KViconLoaderBase::~KViconLoaderBase() = default;

int KViconLoaderBase::GetFileProcessorType(std::FILE* file, int parameterBlock) {
    unsigned char byte = 0;
    if (!file || parameterBlock < 1 || !ReadAt(file, (parameterBlock - 1) * long(kBlockSize) + 3, &byte, 1)) return 0;
    std::rewind(file);
    return byte - 83;
}

bool KViconLoaderBase::ReadKeyWord(std::FILE* file, int& parameterBlock) {
    unsigned char word[2];
    if (!file || !ReadAt(file, 0, word, 2)) return false;
    const unsigned value = unsigned(word[1]) << 8 | word[0];
    if ((value & 0xF000u) != 0x5000u) return false;
    parameterBlock = static_cast<int>(value & 0x0FFFu);
    return true;
}

void KViconLoaderBase::ResetReader(std::FILE* file) {
    mFile = file;
    if (mBuffer.size() != kReadBufferSize) mBuffer.resize(kReadBufferSize);
    mBufferOffset = 0;
    mBufferPos = mBufferLength = 0;
}

bool KViconLoaderBase::Refill() {
    mBufferOffset += static_cast<long>(mBufferLength);
    mBufferPos = 0;
    mBufferLength = 0;
    if (!mFile || std::fseek(mFile, mBufferOffset, SEEK_SET) != 0) return false;
    mBufferLength = std::fread(mBuffer.data(), 1, mBuffer.size(), mFile);
    return mBufferLength > 0;
}

bool KViconLoaderBase::Seek(long offset) {
    if (offset < 0) return false;
    if (offset >= mBufferOffset && offset <= mBufferOffset + static_cast<long>(mBufferLength)) {
        mBufferPos = static_cast<std::size_t>(offset - mBufferOffset);
        return true;
    }
    // Read from there on the next request.
    mBufferOffset = offset;
    mBufferPos = mBufferLength = 0;
    return true;
}

bool KViconLoaderBase::GetBytesSlow(void* out, std::size_t count) {
    auto* target = static_cast<unsigned char*>(out);
    while (count > 0) {
        if (mBufferPos == mBufferLength && !Refill()) return false;
        const std::size_t part = std::min(count, mBufferLength - mBufferPos);
        std::memcpy(target, mBuffer.data() + mBufferPos, part);
        mBufferPos += part;
        target += part;
        count -= part;
    }
    return true;
}

bool KViconLoaderBase::GetShort(short& value) {
    if (!GetBytes(&value, 2)) return false;
    ConvertShort(mFileProcessorType, eIntel, &value);
    return true;
}

bool KViconLoaderBase::GetShort(unsigned short& value) {
    if (!GetBytes(&value, 2)) return false;
    ConvertUShort(mFileProcessorType, eIntel, &value);
    return true;
}

bool KViconLoaderBase::GetFloat(float& value) {
    unsigned char bytes[4];
    if (!GetBytes(bytes, 4)) return false;
    value = DecodeFloat(mFileProcessorType, bytes);
    return true;
}

void KViconLoaderBase::ConvertShort(int from, int to, short* value) {
    ConvertUShort(from, to, reinterpret_cast<unsigned short*>(value));
}

void KViconLoaderBase::ConvertUShort(int from, int to, unsigned short* value) {
    // Only MIPS orders the two bytes the other way.
    if (from != to && (from == eMips || to == eMips))
        *value = static_cast<unsigned short>((*value >> 8) | (*value << 8));
}

void KViconLoaderBase::ConvertFloat(int from, int to, float* value) {
    if (from == to) return;
    unsigned char bytes[4];
    std::memcpy(bytes, value, 4);
    // The bytes as they lay in the source layout, to the host value, to the target layout.
    EncodeFloat(to, DecodeFloat(from, bytes), bytes);
    std::memcpy(value, bytes, 4);
}

bool KViconLoaderBase::ReadHeader(std::FILE* file) {
    ResetReader(file);
    int parameterBlock = 0;
    if (!ReadKeyWord(file, parameterBlock) || parameterBlock < 2) return false;
    mParameterBlock = parameterBlock;
    unsigned short words[12];
    float scale = 0.0f, rate = 0.0f;
    if (!Seek(2)) return false;
    for (int i = 1; i < 6; ++i)
        if (!GetShort(words[i])) return false;
    if (!GetFloat(scale) || !GetShort(words[8]) || !GetShort(words[9]) || !GetFloat(rate)) return false;
    mPointCount = words[1];
    mAnalogCount = words[2];
    mFirstFrame = words[3];
    mLastFrame = words[4];
    mMaxGap = words[5];
    mDataStartBlock = words[8];
    mAnalogSamplesPerFrame = words[9];
    if (scale >= 0.0f && !(scale > 0.001f && scale < 1000.0f)) scale = kDefaultScale;
    mScaleFactor = scale;
    mFrameRate = rate > 0.001f && rate < 1000.0f ? rate : 30.0f;

    // Events sit at their fixed words; at most 18 of them.
    unsigned short key = 0, events = 0;
    mEventCount = 0;
    if (!Seek(kHeaderKeyOffset) || !GetShort(key) || !GetShort(events)) return false;
    if (key == 12345) {
        mEventCount = std::min<int>(events, kMaxEvents);
        for (int i = 0; i < mEventCount; ++i) {
            Event& event = mEvents[i];
            unsigned char display = 0;
            if (!Seek(kEventTimesOffset + 4 * i) || !GetFloat(event.mTime) || !Seek(kEventFlagsOffset + i) ||
                !GetChar(display) || !Seek(kEventLabelsOffset + 4 * i) || !GetBytes(event.mLabel, 4))
                return false;
            event.mLabel[4] = '\0';
            event.mDisplay = display == 0;
        }
    }
    return Goto(mParameterBlock - 1);
}

// ---- Writing ----

bool KViconLoaderBase::BeginWrite(std::FILE* file) {
    mFile = file;
    mOut.clear();
    mOut.reserve(kWriteBufferSize);
    mOutOffset = 0;
    mWriteFailed = false;
    mWriteError = 0;
    return file != nullptr;
}

void KViconLoaderBase::WriteFailed() {
    // errno was cleared before the call that failed: it holds that call's reason.
    if (!mWriteFailed) mWriteError = errno;
    mWriteFailed = true;
}

void KViconLoaderBase::StoreBuffer() {
    errno = 0;
    if (!mFile || std::fwrite(mOut.data(), 1, mOut.size(), mFile) != mOut.size()) WriteFailed();
    mOutOffset += static_cast<long>(mOut.size());
    mOut.clear();
}

bool KViconLoaderBase::FlushOutput() {
    if (!mOut.empty()) StoreBuffer();
    errno = 0;
    if (mFile && std::fflush(mFile) != 0) WriteFailed();
    return !mWriteFailed;
}

bool KViconLoaderBase::PutChar(char c) {
    mOut.push_back(static_cast<unsigned char>(c));
    if (mOut.size() >= kWriteBufferSize) StoreBuffer();
    return !mWriteFailed;
}

bool KViconLoaderBase::PutShort(unsigned short value) {
    return PutChar(static_cast<char>(value & 0xFF)) && PutChar(static_cast<char>(value >> 8));
}

bool KViconLoaderBase::PutFloat(float value) {
    unsigned char bytes[4];
    EncodeFloat(eDec, value, bytes);
    bool ok = true;
    for (unsigned char b : bytes) ok = PutChar(static_cast<char>(b)) && ok;
    return ok;
}

bool KViconLoaderBase::PutString(const char* text, int count) {
    bool ended = text == nullptr;
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        if (!ended && text[i] == '\0') ended = true;
        ok = PutChar(ended ? ' ' : text[i]) && ok;
    }
    return ok;
}

bool KViconLoaderBase::PadChar(char c, long count) {
    bool ok = true;
    for (long i = 0; i < count; ++i) ok = PutChar(c) && ok;
    return ok;
}

std::unique_ptr<KViconTag> KViconLoaderBase::PutShortTag(unsigned short value) {
    std::unique_ptr<KViconTag> tag(new KViconTag(WriteTell()));
    PutShort(value);
    return tag;
}

bool KViconLoaderBase::Patch(long position, const void* bytes, std::size_t count) {
    if (position < 0 || position + static_cast<long>(count) > WriteTell()) return false;
    if (position >= mOutOffset) {
        std::memcpy(mOut.data() + (position - mOutOffset), bytes, count);
        return true;
    }
    if (!FlushOutput()) return false;
    errno = 0;
    if (std::fseek(mFile, position, SEEK_SET) != 0 || std::fwrite(bytes, 1, count, mFile) != count ||
        std::fseek(mFile, 0, SEEK_END) != 0)
        WriteFailed();
    return !mWriteFailed;
}

bool KViconLoaderBase::WriteHeader(std::FILE* file) {
    BeginWrite(file);
    mKeyTag = PutShortTag(0x5002);
    PutShort(static_cast<unsigned short>(mPointCount));
    PutShort(static_cast<unsigned short>(mAnalogCount));
    PutShort(static_cast<unsigned short>(mFirstFrame));
    PutShort(static_cast<unsigned short>(mLastFrame));
    PutShort(static_cast<unsigned short>(mMaxGap));
    PutFloat(mScaleFactor);
    mDataStartTag = PutShortTag(10);
    PutShort(static_cast<unsigned short>(mAnalogSamplesPerFrame));
    PutFloat(mFrameRate);
    PadChar(0, kHeaderKeyOffset - WriteTell());
    PutShort(12345);
    PutShort(static_cast<unsigned short>(mEventCount));
    return PadToBlock();
}

// ---- Data records ----

bool KViconDataRecord::Read(KViconLoaderBase& loader, float scale, double unitScale) {
    unsigned char bytes[16];
    if (!loader.GetBytes(bytes, Size(scale))) return false;
    Decode(bytes, loader.GetFileProcessorType(), scale, unitScale);
    return true;
}

void KViconDataRecord::Decode(const unsigned char* bytes, int type, float scale, double unitScale) {
    if (scale >= 0.0f) {
        short values[4];
        for (int i = 0; i < 4; ++i) values[i] = KViconLoaderBase::DecodeShort(type, bytes + 2 * i);
        const double step = static_cast<double>(scale) * unitScale;
        mX = values[0] * step, mY = values[1] * step, mZ = values[2] * step;
        // The fourth word: the residual in its low byte (signed), six camera bits and the invalid
        // flag (the sign) in its high byte.
        mResidual = static_cast<signed char>(values[3] & 0xFF) * unitScale;
        mCameras = (values[3] >> 8) & 0x3F;
        mValid = values[3] >= 0;
    } else {
        float values[4];
        for (int i = 0; i < 4; ++i) values[i] = KViconLoaderBase::DecodeFloat(type, bytes + 4 * i);
        mX = values[0] * unitScale, mY = values[1] * unitScale, mZ = values[2] * unitScale;
        mResidual = 0.0;
        mCameras = 0;
        // The fourth value truncated to an integer is negative for an invalid point.
        mValid = !(values[3] <= -1.0f);
    }
    if (!std::isfinite(mX) || !std::isfinite(mY) || !std::isfinite(mZ)) {
        mX = mY = mZ = 0.0;
        mValid = false;
    }
}

bool KViconDataRecord::Write(KViconLoaderBase& loader, float scale, const double* xyz, bool valid, double unitScale,
                             bool& clipped) {
    clipped = false;
    if (scale < 0.0f) {
        bool ok = true;
        for (int c = 0; c < 3; ++c) ok = loader.PutFloat(motionkeys::ToFloat(xyz[c] / unitScale)) && ok;
        return loader.PutFloat(valid ? 0.0f : -1.0f) && ok;
    }
    const double step = static_cast<double>(scale) * unitScale;
    long steps[3] = {0, 0, 0};
    for (int c = 0; c < 3 && valid; ++c) {
        const double v = std::round(xyz[c] / step);
        if (!(std::fabs(v) <= 32767.0)) {
            clipped = true;
            valid = false;
            break;
        }
        steps[c] = static_cast<long>(v);
    }
    bool ok = true;
    for (long s : steps) ok = loader.PutShort(static_cast<unsigned short>(valid ? s : 0)) && ok;
    ok = loader.PutChar(0) && ok;
    return loader.PutChar(valid ? 0 : static_cast<char>(0x80)) && ok;
}

void Strip(char* dst, const char* src, int n) {
    if (!dst) return;
    int end = 0;
    for (int i = 0; src && i < n && src[i] != '\0'; ++i)
        if (src[i] != ' ') end = i + 1;
    if (end > 0) std::memcpy(dst, src, static_cast<std::size_t>(end));
    dst[end] = '\0';
}

void RemovePrefix(char* dst, const char* text) {
    if (!dst) return;
    if (!text) {
        *dst = '\0';
        return;
    }
    const char* colon = std::strchr(text, ':');
    const char* from = colon ? colon + 1 : text;
    std::memmove(dst, from, std::strlen(from) + 1);
}

void ReplaceChar(char* text, char from, char to) {
    if (!text || from == '\0') return;
    for (char* c = text; *c != '\0'; ++c)
        if (*c == from) *c = to;
}

}  // namespace zeqsdk_400
