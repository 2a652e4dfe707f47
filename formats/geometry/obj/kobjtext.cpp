#include "formats/geometry/obj/kobjtext.h"

#include <cstring>

#include "io/kzeqtextscan.h"

namespace zeqsdk_400 {

namespace {

constexpr std::size_t kBlock = 1 << 18;

}  // namespace

KObjLineReader::KObjLineReader(std::FILE* file, bool continuations)
    : mFile(file), mContinuations(continuations), mBuffer(kBlock) {}

bool KObjLineReader::Fill() {
    if (mEof || mFailed || !mFile) return false;
    if (mBegin > 0) {
        std::memmove(mBuffer.data(), mBuffer.data() + mBegin, mEnd - mBegin);
        mEnd -= mBegin;
        mBegin = 0;
    }
    // A line longer than the buffer doubles it.
    if (mBuffer.size() - mEnd < kBlock / 2) mBuffer.resize(mBuffer.size() * 2);
    const std::size_t read = std::fread(mBuffer.data() + mEnd, 1, mBuffer.size() - mEnd, mFile);
    mEnd += read;
    if (read == 0) {
        if (std::ferror(mFile)) mFailed = true;
        mEof = true;
        return false;
    }
    return true;
}

bool KObjLineReader::NextLine(std::string_view& line) {
    std::size_t scanned = mBegin;
    for (;;) {
        if (mSkipLineFeed && mBegin < mEnd) {
            mSkipLineFeed = false;
            if (mBuffer[mBegin] == '\n') scanned = ++mBegin;
        }
        // Lines are short: a plain scan beats a library call per line.
        const char* eol = mBuffer.data() + scanned;
        const char* stop = mBuffer.data() + mEnd;
        while (eol < stop && *eol != '\n' && *eol != '\r') ++eol;
        if (eol < stop) {
            line = std::string_view(mBuffer.data() + mBegin, static_cast<std::size_t>(eol - (mBuffer.data() + mBegin)));
            mBegin = static_cast<std::size_t>(eol - mBuffer.data()) + 1;
            // CRLF ends one line; the LF may not have been read yet.
            if (*eol == '\r') {
                if (mBegin < mEnd) {
                    if (mBuffer[mBegin] == '\n') ++mBegin;
                } else {
                    mSkipLineFeed = true;
                }
            }
            return true;
        }
        const std::size_t pending = mEnd - mBegin;
        if (!Fill()) {
            if (pending == 0) return false;
            // The last line without a line ending.
            line = std::string_view(mBuffer.data() + mBegin, pending);
            mBegin = mEnd;
            return true;
        }
        scanned = mBegin + pending;
    }
}

bool KObjLineReader::Next(std::string_view& keyword, std::string_view& rest) {
    std::string_view line;
    for (;;) {
        if (!NextLine(line)) return false;
        line = KObjScanner::Trim(line);
        if (!line.empty()) break;
    }
    std::size_t word = 0;
    while (word < line.size() && !KObjScanner::IsBlank(line[word])) ++word;
    keyword = line.substr(0, word);
    rest = KObjScanner::Trim(line.substr(word));
    if (!mContinuations || rest.empty() || rest.back() != '\\') return true;
    // The joined text outlives the buffer's next refill: keep a copy.
    mJoined.assign(line.data(), line.size());
    const std::size_t restAt = static_cast<std::size_t>(rest.data() - line.data());
    while (!mJoined.empty() && mJoined.back() == '\\') {
        mJoined.back() = ' ';
        std::string_view next;
        if (!NextLine(next)) break;
        mJoined.append(next.data(), next.size());
        while (!mJoined.empty() && KObjScanner::IsBlank(mJoined.back())) mJoined.pop_back();
    }
    keyword = std::string_view(mJoined.data(), word);
    rest = KObjScanner::Trim(std::string_view(mJoined).substr(std::min(restAt, mJoined.size())));
    return true;
}

void KObjScanner::SkipBlanks() {
    while (mAt < mEnd && IsBlank(*mAt)) ++mAt;
}

bool KObjScanner::Double(double& value) {
    const char* next = ZeqScanDouble(mAt, mEnd, value);
    if (next == mAt) return false;
    mAt = next;
    return true;
}

bool KObjScanner::Int(int& value) {
    const char* next = ZeqScanInt(mAt, mEnd, value);
    if (next == mAt) return false;
    mAt = next;
    return true;
}

std::string_view KObjScanner::Word() {
    SkipBlanks();
    const char* start = mAt;
    while (mAt < mEnd && !IsBlank(*mAt)) ++mAt;
    return std::string_view(start, static_cast<std::size_t>(mAt - start));
}

bool KObjScanner::AtEnd() {
    SkipBlanks();
    return mAt == mEnd;
}

std::string_view KObjScanner::Trim(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

}  // namespace zeqsdk_400
