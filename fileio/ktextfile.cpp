#include "fileio/ktextfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "fileio/kfilereplacement.h"
#include "fileio/kpath.h"

namespace zeqsdk_400 {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// True when keyword is a prefix of text, ignoring case. text ends with a zero
// byte, which never equals a keyword character, so the walk stays inside it.
bool StartsWithNoCase(const char* text, const char* keyword) {
    for (; *keyword; ++keyword, ++text) {
        if (LowerAscii(*text) != LowerAscii(*keyword)) return false;
    }
    return true;
}

// strtod's value and end for the number at text (line ends at limit), by
// std::from_chars for the plain decimal forms: several times faster on the
// long number columns of motion files. Hexadecimal, out-of-range and anything
// else from_chars does not take go to strtod, whose reading stays the rule.
double ParseNumber(const char* text, const char* limit, const char** end) {
    const char* p = text;
    while (p < limit && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')) ++p;
    // from_chars takes no '+'; a sign after it ("+-1") is no number for strtod either.
    if (p + 1 < limit && *p == '+' && p[1] != '-' && p[1] != '+') ++p;
    if (p < limit && *p != '+') {
        double value = 0.0;
        const std::from_chars_result result = std::from_chars(p, limit, value);
        if (result.ec == std::errc() && (result.ptr == limit || (*result.ptr != 'x' && *result.ptr != 'X'))) {
            *end = result.ptr;
            return value;
        }
    }
    char* stop = nullptr;
    const double value = std::strtod(text, &stop);
    *end = stop;
    return value;
}

void FillTable(bool (&table)[256], const char* characters) {
    std::memset(table, 0, sizeof(table));
    for (const char* c = characters; c && *c; ++c) table[static_cast<unsigned char>(*c)] = true;
}

std::string Format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void Report(bool enabled, const KTextFile::MessageCallback& callback, const char* kind, const char* type, int line,
            const char* format, va_list args) {
    if (!enabled || !callback || !format) return;
    char prefix[64];
    std::snprintf(prefix, sizeof(prefix), " read %s (line %d): ", kind, line);
    std::string message = type;
    message += prefix;
    message += Format(format, args);
    callback(message.c_str());
}

}  // namespace

KTextFile::KTextFile(const char* type, const char* delimiters, const char* comments, bool caseSensitive, bool messages)
    : mType(type ? type : ""),
      mDelimiters(delimiters ? delimiters : ""),
      mCaseSensitive(caseSensitive),
      mMessages(messages) {
    FillTable(mIsDelimiter, mDelimiters.c_str());
    FillTable(mIsComment, comments);
    mLine.reserve(kInitialLineSize);
}

KTextFile::~KTextFile() { Close(); }

bool KTextFile::Open(const char* path, const char* mode) {
    Close();
    mSystemError = 0;
    if (!path || !*path) return true;
    if (!mode || !*mode) mode = "r";
    // Reading takes a regular file only: a pipe would hold the open, a folder has no lines.
    if (mode[0] == 'r') {
        mFile = KOpenFileForReading(path, mode);
    } else if (mode[0] == 'a') {
        KString refusal;
        mFile = KFileReplacement::OpenForAppending(path, refusal, &mSystemError);
    } else {
        mReplacement = std::make_unique<KFileReplacement>();
        if (mReplacement->Begin(path)) mFile = mReplacement->OpenStream(mode);
        if (!mFile) {
            mSystemError = mReplacement->GetSystemError() != 0 ? mReplacement->GetSystemError() : errno;
            mReplacement.reset();
        }
    }
    if (!mFile) return true;
    Start(mode);
    return false;
}

bool KTextFile::Adopt(std::FILE* stream, const char* mode) {
    Close();
    mSystemError = 0;
    if (!stream) return true;
    if (!mode || !*mode) {
        std::fclose(stream);
        return true;
    }
    mFile = stream;
    Start(mode);
    return false;
}

void KTextFile::Start(const char* mode) {
    mReadable = std::strchr(mode, 'r') != nullptr || std::strchr(mode, '+') != nullptr;
    mEnd = false;
    mLineNumber = 0;
    if (mReadable) FirstLine();
}

bool KTextFile::Close() {
    bool ok = true;
    if (mFile) {
        ok = WriteChecked();
        errno = 0;
        if (std::fclose(mFile) != 0) {
            if (mSystemError == 0) mSystemError = errno;
            ok = false;
        }
    }
    // A file written takes its name only complete.
    if (mReplacement && ok && !mReplacement->Commit()) {
        if (mSystemError == 0) mSystemError = mReplacement->GetSystemError();
        ok = false;
    }
    mReplacement.reset();
    mFile = nullptr;
    mReadable = false;
    mEnd = true;
    mFailed = false;
    mBlock.clear();
    mBlock.shrink_to_fit();
    mBlockPos = mBlockLen = 0;
    mPendingCR = false;
    ClearLine();
    return ok;
}

bool KTextFile::Flush() {
    if (!mFile) return false;
    errno = 0;
    std::fflush(mFile);
    return WriteChecked();
}

bool KTextFile::WriteChecked() {
    if (std::ferror(mFile) == 0) return true;
    // Print and Flush clear errno before they write: what it holds now says why a write failed.
    if (mSystemError == 0) mSystemError = errno;
    return false;
}

void KTextFile::ClearLine() {
    mLine.clear();
    mPos = 0;
}

bool KTextFile::FillBuffer() {
    if (mBlock.size() != kBlockSize) mBlock.resize(kBlockSize);
    mBlockPos = 0;
    mBlockLen = std::fread(mBlock.data(), 1, mBlock.size(), mFile);
    return mBlockLen > 0;
}

KTextFile::ReadResult KTextFile::ReadRawLine() {
    mLine.clear();
    bool consumed = false;
    for (;;) {
        if (mBlockPos == mBlockLen && !FillBuffer()) {
            if (std::ferror(mFile)) return ReadResult::kFailed;
            return consumed ? ReadResult::kLine : ReadResult::kEnd;
        }
        if (mPendingCR) {
            mPendingCR = false;
            if (mBlock[mBlockPos] == '\n') {
                ++mBlockPos;
                continue;
            }
        }
        const char* data = mBlock.data();
        const std::size_t start = mBlockPos;
        std::size_t end = start;
        while (end < mBlockLen && data[end] != '\n' && data[end] != '\r') ++end;
        if (mLine.size() + (end - start) > kMaxLineLength) return ReadResult::kFailed;
        mLine.append(data + start, end - start);
        consumed = true;
        mBlockPos = end;
        if (end < mBlockLen) {
            mPendingCR = data[end] == '\r';
            ++mBlockPos;
            break;
        }
    }
    // The tokenizer works on zero-terminated text: a zero byte ends the line.
    const std::size_t zero = mLine.find('\0');
    if (zero != std::string::npos) mLine.resize(zero);
    return ReadResult::kLine;
}

bool KTextFile::LoadLine(bool skipComments) {
    if (!mFile || !mReadable || mFailed || mEnd) {
        if (!mFile) mEnd = true;
        ClearLine();
        return false;
    }
    for (;;) {
        const ReadResult result = ReadRawLine();
        if (result == ReadResult::kEnd) {
            mEnd = true;
            ClearLine();
            return false;
        }
        if (mLineNumber < INT_MAX) ++mLineNumber;
        if (result == ReadResult::kFailed) {
            mFailed = true;
            ClearLine();
            Error("line cannot be read\n");
            return false;
        }
        mPos = 0;
        SkipDelimiters();
        if (AtLineEnd()) continue;
        if (skipComments && mIsComment[static_cast<unsigned char>(mLine[mPos])]) continue;
        return true;
    }
}

bool KTextFile::FirstLine() {
    ClearLine();
    if (!mFile || !mReadable) {
        mEnd = true;
        return false;
    }
    mBlockPos = mBlockLen = 0;
    mPendingCR = false;
    mLineNumber = 0;
    mEnd = false;
    mFailed = false;
    if (std::fseek(mFile, 0, SEEK_SET) != 0) {
        mFailed = true;
        return false;
    }
    return LoadLine(false);
}

bool KTextFile::NextLine() { return LoadLine(true); }

void KTextFile::SkipDelimiters() {
    while (mPos < mLine.size() && IsDelimiter(mLine[mPos])) ++mPos;
}

std::size_t KTextFile::WordLength() const {
    std::size_t end = mPos;
    while (end < mLine.size() && !IsDelimiter(mLine[end])) ++end;
    return end - mPos;
}

void KTextFile::InitTokens(KToken* table) {
    for (KToken* token = table; token && token->mKeyword && *token->mKeyword; ++token) token->mCount = 0;
}

int KTextFile::Check(const KToken* table) const {
    if (!table || AtLineEnd()) return -1;
    const char* cursor = GetCursor();
    for (int i = 0; table[i].mKeyword && *table[i].mKeyword; ++i) {
        if (StartsWithNoCase(cursor, table[i].mKeyword)) return i;
    }
    return -1;
}

int KTextFile::Handle(KToken* table) {
    const int index = Check(table);
    if (index < 0) return -1;
    mPos += std::strlen(table[index].mKeyword);
    SkipDelimiters();
    if (table[index].mCount < INT_MAX) ++table[index].mCount;
    return index;
}

bool KTextFile::GetString(char* buffer, int max) {
    if (!buffer) return false;
    if (max < 0) max = 0;
    if (AtLineEnd()) {
        buffer[0] = '\0';
        return false;
    }
    const std::size_t length = WordLength();
    const std::size_t count = std::min(length, static_cast<std::size_t>(max));
    std::memcpy(buffer, mLine.data() + mPos, count);
    buffer[count] = '\0';
    mPos += length;
    SkipDelimiters();
    return true;
}

bool KTextFile::GetString(KString& text) {
    char buffer[kMaxStringLength + 1];
    if (!GetString(buffer, kMaxStringLength)) return false;
    text = buffer;
    return true;
}

bool KTextFile::GetInteger(int& value) {
    if (AtLineEnd()) return false;
    const char* start = GetCursor();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(start, &end, 10);
    if (end == start) return false;
    // Out-of-range text saturates rather than wrapping.
    value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    mPos += static_cast<std::size_t>(end - start);
    SkipDelimiters();
    return true;
}

bool KTextFile::GetDouble(double& value, double scale) {
    if (AtLineEnd()) return false;
    std::string_view rest(mLine.data() + mPos, mLine.size() - mPos);
    while (!rest.empty() && IsDelimiter(rest.back())) rest.remove_suffix(1);
    const bool sensitive = mCaseSensitive;
    auto same = [sensitive](std::string_view a, std::string_view b) { return sensitive ? a == b : EqualNoCase(a, b); };
    if (same(rest, "inf") || same(rest, "-inf")) {
        const double infinity = std::numeric_limits<double>::infinity();
        value = (rest[0] == '-' ? -infinity : infinity) * scale;
        mPos = mLine.size();
        return true;
    }
    const char* start = GetCursor();
    const char* end = nullptr;
    const double number = ParseNumber(start, mLine.data() + mLine.size(), &end);
    if (end == start) return false;
    value = number * scale;
    mPos += static_cast<std::size_t>(end - start);
    SkipDelimiters();
    return true;
}

bool KTextFile::ReadPairValue(double& value) {
    if (AtLineEnd()) return false;
    const std::string_view word(mLine.data() + mPos, WordLength());
    const double infinity = std::numeric_limits<double>::infinity();
    if (EqualNoCase(word, "inf") || EqualNoCase(word, "-inf")) {
        value = word[0] == '-' ? -infinity : infinity;
        mPos += word.size();
    } else {
        const char* start = GetCursor();
        const char* end = nullptr;
        value = ParseNumber(start, mLine.data() + mLine.size(), &end);
        if (end == start) return false;
        mPos += static_cast<std::size_t>(end - start);
    }
    SkipDelimiters();
    return true;
}

bool KTextFile::GetPair(double* values, double scale) {
    if (!values) return false;
    const std::size_t saved = mPos;
    double first = 0.0;
    double second = 0.0;
    if (!ReadPairValue(first) || !ReadPairValue(second)) {
        mPos = saved;
        return false;
    }
    values[0] = first * scale;
    values[1] = second * scale;
    return true;
}

bool KTextFile::GetVector(double* values, double scale) {
    if (!values || AtLineEnd()) return false;
    const char* cursor = GetCursor();
    double read[3];
    const char* limit = mLine.data() + mLine.size();
    for (double& v : read) {
        const char* end = nullptr;
        v = ParseNumber(cursor, limit, &end);
        if (end == cursor) return false;
        cursor = end;
    }
    for (int i = 0; i < 3; ++i) values[i] = read[i] * scale;
    mPos = static_cast<std::size_t>(cursor - mLine.c_str());
    SkipDelimiters();
    return true;
}

bool KTextFile::GetChar(char& c) {
    if (AtLineEnd()) return false;
    c = mLine[mPos++];
    return true;
}

bool KTextFile::PeakChar(char& c) const {
    if (AtLineEnd()) return false;
    c = mLine[mPos];
    return true;
}

KString KTextFile::SetDel(const char* delimiters) {
    KString previous(mDelimiters.c_str(), mDelimiters.size());
    mDelimiters = delimiters ? delimiters : "";
    FillTable(mIsDelimiter, mDelimiters.c_str());
    return previous;
}

bool KTextFile::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Report(mMessages, mErrorCallback, "error", mType.Buffer(), mLineNumber, format, args);
    va_end(args);
    return true;
}

bool KTextFile::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Report(mMessages, mWarningCallback, "warning", mType.Buffer(), mLineNumber, format, args);
    va_end(args);
    return false;
}

bool KTextFile::Print(int indent, const char* format, ...) {
    if (!mFile || !format) return false;
    errno = 0;
    // A block of blanks at a time: the lines of a deep hierarchy are mostly indentation.
    static const std::string kBlanks(1024, ' ');
    for (std::size_t left = indent > 0 ? 2 * static_cast<std::size_t>(indent) : 0; left > 0;) {
        const std::size_t part = std::min(left, kBlanks.size());
        std::fwrite(kBlanks.data(), 1, part, mFile);
        left -= part;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(mFile, format, args);
    va_end(args);
    return WriteChecked();
}

}  // namespace zeqsdk_400
