#include "formats/geometry/dxf/kdxfpairs.h"

#include <cstring>

#include "io/kzeqtextscan.h"

namespace zeqsdk_400 {

bool KDxfPairs::Load(std::FILE* file) {
    mText.clear();
    mAt = 0;
    char block[1 << 16];
    for (std::size_t read; (read = std::fread(block, 1, sizeof(block), file)) > 0;) mText.append(block, read);
    return !std::ferror(file);
}

bool KDxfPairs::Line(std::string_view& line) {
    if (mAt >= mText.size()) return false;
    const char* start = mText.data() + mAt;
    const char* end = static_cast<const char*>(std::memchr(start, '\n', mText.size() - mAt));
    const std::size_t length = end ? static_cast<std::size_t>(end - start) : mText.size() - mAt;
    line = std::string_view(start, length);
    mAt += length + (end ? 1 : 0);
    return true;
}

bool KDxfPairs::Next() {
    const std::size_t at = mAt;
    std::string_view codeLine, valueLine;
    if (!Line(codeLine) || !Line(valueLine)) {
        mAt = at;
        return false;
    }
    int code = 0;
    if (ZeqScanInt(codeLine.data(), codeLine.data() + codeLine.size(), code) != codeLine.data()) mCode = code;
    const char* word = valueLine.data();
    const char* end = word + valueLine.size();
    while (word < end && ZeqIsBlank(*word)) ++word;
    const char* stop = word;
    while (stop < end && !ZeqIsBlank(*stop)) ++stop;
    if (stop > word) mValue = std::string_view(word, static_cast<std::size_t>(stop - word));
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
