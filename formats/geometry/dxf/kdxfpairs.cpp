#include "formats/geometry/dxf/kdxfpairs.h"

#include <algorithm>
#include <cstring>

#include "io/kzeqtextscan.h"

namespace zeqsdk_400 {

bool KDxfPairs::Load(std::FILE* file) {
    mFile = file;
    mBase = mLength = mAt = 0;
    mCode = 0;
    mValue.clear();
    mSize = 0;
    if (!file) return false;
    mStart = std::ftell(file);
    if (mStart < 0 || std::fseek(file, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file);
    if (end < mStart) return false;
    mSize = static_cast<std::size_t>(end - mStart);
    mWindow.assign(std::min(mSize, kWindowSize), '\0');
    return std::fseek(file, mStart, SEEK_SET) == 0;
}

bool KDxfPairs::Fill() {
    if (mAt >= mSize) return false;
    const bool inside = mAt >= mBase && mAt <= mBase + mLength;
    const std::size_t kept = inside ? mBase + mLength - mAt : 0;
    // A line longer than the window widens it.
    if (kept == mWindow.size()) mWindow.resize(std::min(mSize, 2 * mWindow.size() + 1));
    if (inside) {
        std::memmove(mWindow.data(), mWindow.data() + (mAt - mBase), kept);
    } else if (std::fseek(mFile, static_cast<long>(mStart + static_cast<long>(mAt)), SEEK_SET) != 0) {
        return false;
    }
    mBase = mAt;
    mLength = kept;
    // The file is read on from where the window ends.
    if (inside && std::fseek(mFile, static_cast<long>(mStart + static_cast<long>(mBase + mLength)), SEEK_SET) != 0)
        return false;
    const std::size_t read = std::fread(mWindow.data() + mLength, 1, mWindow.size() - mLength, mFile);
    mLength += read;
    return read > 0;
}

bool KDxfPairs::Line(std::string_view& line) {
    if (mAt >= mSize) return false;
    for (;;) {
        if (mAt >= mBase && mAt < mBase + mLength) {
            const char* start = mWindow.data() + (mAt - mBase);
            const std::size_t available = mBase + mLength - mAt;
            const char* end = static_cast<const char*>(std::memchr(start, '\n', available));
            // The last line of the file needs no ending.
            if (end || mBase + mLength >= mSize) {
                const std::size_t length = end ? static_cast<std::size_t>(end - start) : available;
                line = std::string_view(start, length);
                mAt += length + (end ? 1 : 0);
                return true;
            }
        }
        if (!Fill()) return false;
    }
}

bool KDxfPairs::Next() {
    const std::size_t at = mAt;
    std::string_view codeLine, valueLine;
    if (!Line(codeLine)) return false;
    // Parsed before the value line is read: that may move the window.
    int code = 0;
    const bool parsed = ZeqScanInt(codeLine.data(), codeLine.data() + codeLine.size(), code) != codeLine.data();
    if (!Line(valueLine)) {
        mAt = at;
        return false;
    }
    if (parsed) mCode = code;
    const char* word = valueLine.data();
    const char* end = word + valueLine.size();
    while (word < end && ZeqIsBlank(*word)) ++word;
    const char* stop = word;
    while (stop < end && !ZeqIsBlank(*stop)) ++stop;
    if (stop > word) mValue.assign(word, static_cast<std::size_t>(stop - word));
    return true;
}

double KDxfPairs::Double() const {
    double value = 0.0;
    return ZeqScanDouble(mValue.data(), mValue.data() + mValue.size(), value) != mValue.data() ? value : 0.0;
}

int KDxfPairs::Int() const {
    int value = 0;
    return ZeqScanInt(mValue.data(), mValue.data() + mValue.size(), value) != mValue.data() ? value : 0;
}

}  // namespace zeqsdk_400
