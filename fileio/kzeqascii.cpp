#include "fileio/kzeqascii.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zeqsdk_400 {
namespace zeqdetail {

namespace {

constexpr int kMaxBlockDepth = KZeq::kMaxDepth;
// A value list continues on a new line once its line is this long.
constexpr std::size_t kWrapColumn = 100;
constexpr const char* kPasswordKdfName = "PBKDF2-SHA256";

bool IsBareNameChar(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::strchr("_-.|~+/()[]<>!?#$%&*=^", c) != nullptr;
}

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void AppendText(ZeqBuffer& out, std::string_view text) { out.Append(text.data(), text.size()); }

}  // namespace

std::size_t FormatDouble15(double v, char* out) {
    // Integers below 10^15 print as themselves in "%.15g".
    if (v == 0.0) {
        if (std::signbit(v)) {
            out[0] = '-';
            out[1] = '0';
            return 2;
        }
        out[0] = '0';
        return 1;
    }
    if (std::fabs(v) < 1e15 && v == std::trunc(v)) {
        return static_cast<std::size_t>(std::to_chars(out, out + 24, static_cast<std::int64_t>(v)).ptr - out);
    }
    // Values with a few decimals (the common case of hand-made and rounded data): the
    // shortest k for which m / 10^k reads back as v gives the digits "%.15g" prints,
    // for the same reason as below.
    const double magnitude = std::fabs(v);
    if (magnitude >= 1e-4 && magnitude < 1e10) {
        static const double kScale[5] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
        for (int k = 1; k < 5; ++k) {
            const double m = std::nearbyint(v * kScale[k]);
            if (m / kScale[k] != v) continue;
            std::int64_t whole = static_cast<std::int64_t>(std::fabs(m));
            std::size_t n = 0;
            if (v < 0) out[n++] = '-';
            char digits[24];
            const std::size_t count =
                static_cast<std::size_t>(std::to_chars(digits, digits + sizeof(digits), whole).ptr - digits);
            std::size_t fraction = static_cast<std::size_t>(k);
            // Drop trailing zeros of the fraction.
            std::size_t last = count;
            while (fraction > 0 && digits[last - 1] == '0') {
                --last;
                --fraction;
            }
            if (count <= fraction) {
                out[n++] = '0';
                out[n++] = '.';
                for (std::size_t i = count; i < fraction; ++i) out[n++] = '0';
                for (std::size_t i = 0; i < last; ++i) out[n++] = digits[i];
            } else {
                for (std::size_t i = 0; i < last - fraction; ++i) out[n++] = digits[i];
                if (fraction > 0) {
                    out[n++] = '.';
                    for (std::size_t i = last - fraction; i < last; ++i) out[n++] = digits[i];
                }
            }
            return n;
        }
    }
    if (std::isnormal(v)) {
        // The shortest digits that read back exactly; when there are at most 15 of
        // them they are also the digits "%.15g" prints (the rounding to 15 digits
        // cannot move a value that lies this close to a 15-digit number; subnormals
        // are too coarse for that and take the slow way).
        char sci[40];
        const char* end = std::to_chars(sci, sci + sizeof(sci), v, std::chars_format::scientific).ptr;
        const char* p = sci;
        std::size_t n = 0;
        if (*p == '-') {
            out[n++] = '-';
            ++p;
        }
        char digits[20];
        int count = 0;
        while (p < end && *p != 'e') {
            if (*p != '.') {
                if (count == 20) break;
                digits[count++] = *p;
            }
            ++p;
        }
        int exponent = 0;
        if (p < end && *p == 'e') std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
        if (count <= 15) {
            if (exponent < -4 || exponent >= 15) {
                out[n++] = digits[0];
                if (count > 1) {
                    out[n++] = '.';
                    for (int i = 1; i < count; ++i) out[n++] = digits[i];
                }
                out[n++] = 'e';
                out[n++] = exponent < 0 ? '-' : '+';
                const int magnitude = exponent < 0 ? -exponent : exponent;
                if (magnitude < 10) out[n++] = '0';
                n += static_cast<std::size_t>(std::to_chars(out + n, out + n + 4, magnitude).ptr - (out + n));
            } else if (exponent >= 0) {
                for (int i = 0; i <= exponent; ++i) out[n++] = i < count ? digits[i] : '0';
                if (count > exponent + 1) {
                    out[n++] = '.';
                    for (int i = exponent + 1; i < count; ++i) out[n++] = digits[i];
                }
            } else {
                out[n++] = '0';
                out[n++] = '.';
                for (int i = 0; i < -exponent - 1; ++i) out[n++] = '0';
                for (int i = 0; i < count; ++i) out[n++] = digits[i];
            }
            return n;
        }
    }
    return static_cast<std::size_t>(std::to_chars(out, out + 40, v, std::chars_format::general, 15).ptr - out);
}

void AppendQuoted(ZeqBuffer& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out.AppendByte('"');
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool plain = c >= 0x20 && c != 0x7F && c != '"' && c != '\\';
        if (plain) continue;
        out.Append(text.data() + run, i - run);
        run = i + 1;
        char escape[4] = {'\\', 0, 0, 0};
        std::size_t length = 2;
        switch (c) {
            case '"':
                escape[1] = '"';
                break;
            case '\\':
                escape[1] = '\\';
                break;
            case '\n':
                escape[1] = 'n';
                break;
            case '\r':
                escape[1] = 'r';
                break;
            case '\t':
                escape[1] = 't';
                break;
            case 0:
                escape[1] = '0';
                break;
            default:
                escape[1] = 'x';
                escape[2] = kHex[c >> 4];
                escape[3] = kHex[c & 15];
                length = 4;
                break;
        }
        out.Append(escape, length);
    }
    out.Append(text.data() + run, text.size() - run);
    out.AppendByte('"');
}

// --- writer --------------------------------------------------------------------------------

void ZeqAsciiWriter::Reset() {
    mFields.clear();
    mDepth = 0;
    mLineStart = mOut->Size();
    mPendingComments.clear();
    mHavePendingComments = false;
    mFailed = false;
}

void ZeqAsciiWriter::Indent(int level) {
    std::uint8_t* p = mOut->Grow(static_cast<std::size_t>(level));
    if (p) std::memset(p, '\t', static_cast<std::size_t>(level));
}

void ZeqAsciiWriter::WriteCommentLines(std::string_view text) {
    const int level = mBaseIndent + mDepth;
    if (text.empty()) {
        mOut->AppendByte('\n');
        return;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        Indent(level);
        AppendText(*mOut, "; ");
        AppendText(*mOut, text.substr(start, end - start));
        mOut->AppendByte('\n');
        start = end + 1;
    }
    mLineStart = mOut->Size();
}

void ZeqAsciiWriter::FlushComments() {
    if (!mHavePendingComments) return;
    mHavePendingComments = false;
    // Each pending comment was stored with a trailing '\x01' separator.
    std::size_t start = 0;
    while (start < mPendingComments.size()) {
        const std::size_t end = mPendingComments.find('\x01', start);
        WriteCommentLines(std::string_view(mPendingComments).substr(start, end - start));
        start = end + 1;
    }
    mPendingComments.clear();
}

bool ZeqAsciiWriter::Comment(std::string_view text) {
    if (Failed()) return false;
    if (ValueOpen()) {
        // A comment cannot split a value list: it follows the field's line.
        mPendingComments.append(text.data(), text.size());
        mPendingComments.push_back('\x01');
        mHavePendingComments = true;
        return true;
    }
    WriteCommentLines(text);
    return !Failed();
}

bool ZeqAsciiWriter::FieldBegin(std::string_view name) {
    if (Failed()) return false;
    if (!mFields.empty() && !mFields.back().mBlockOpen) EndTop();
    if (mDepth >= kMaxBlockDepth + 1) return false;
    mLineStart = mOut->Size();
    Indent(mBaseIndent + mDepth);
    bool bare = !name.empty() && name[0] != '@';
    for (const char c : name) {
        if (!IsBareNameChar(static_cast<unsigned char>(c))) {
            bare = false;
            break;
        }
    }
    if (bare) {
        AppendText(*mOut, name);
    } else {
        AppendQuoted(*mOut, name);
    }
    mOut->AppendByte(':');
    mFields.push_back(OpenField{false, false, false});
    return !Failed();
}

void ZeqAsciiWriter::EndTop() {
    const OpenField field = mFields.back();
    mFields.pop_back();
    if (!field.mBlockDone) {
        mOut->AppendByte('\n');
        mLineStart = mOut->Size();
    }
    FlushComments();
}

bool ZeqAsciiWriter::FieldEnd() {
    if (mFields.empty()) return false;
    if (mFields.back().mBlockOpen) BlockEnd();
    EndTop();
    return !Failed();
}

bool ZeqAsciiWriter::BlockBegin() {
    if (Failed() || !ValueOpen()) return false;
    if (mDepth >= kMaxBlockDepth) {
        mFailed = true;
        return false;
    }
    AppendText(*mOut, " {\n");
    mLineStart = mOut->Size();
    mFields.back().mBlockOpen = true;
    ++mDepth;
    FlushComments();
    return !Failed();
}

bool ZeqAsciiWriter::BlockEnd() {
    if (mFields.empty()) return false;
    if (!mFields.back().mBlockOpen) {
        EndTop();
        if (mFields.empty() || !mFields.back().mBlockOpen) return false;
    }
    --mDepth;
    Indent(mBaseIndent + mDepth);
    AppendText(*mOut, "}\n");
    mLineStart = mOut->Size();
    mFields.back().mBlockOpen = false;
    mFields.back().mBlockDone = true;
    return !Failed();
}

void ZeqAsciiWriter::CloseAll() {
    while (!mFields.empty()) FieldEnd();
    FlushComments();
}

bool ZeqAsciiWriter::BeginValue() {
    if (Failed() || !ValueOpen()) return false;
    OpenField& field = mFields.back();
    if (!field.mHasValues) {
        field.mHasValues = true;
        return mOut->AppendByte(' ');
    }
    if (mOut->Size() - mLineStart > kWrapColumn) {
        mOut->Append(",\n", 2);
        mLineStart = mOut->Size();
        Indent(mBaseIndent + mDepth + 1);
        return !Failed();
    }
    return mOut->AppendByte(',');
}

bool ZeqAsciiWriter::WriteDouble(double v) {
    if (!BeginValue()) return false;
    char text[40];
    return mOut->Append(text, FormatDouble15(v, text));
}

bool ZeqAsciiWriter::WriteFloat(float v) {
    if (!BeginValue()) return false;
    char text[40];
    const auto result = std::to_chars(text, text + sizeof(text), v);
    return mOut->Append(text, static_cast<std::size_t>(result.ptr - text));
}

bool ZeqAsciiWriter::WriteInt(std::int32_t v) {
    if (!BeginValue()) return false;
    char text[16];
    const auto result = std::to_chars(text, text + sizeof(text), v);
    return mOut->Append(text, static_cast<std::size_t>(result.ptr - text));
}

bool ZeqAsciiWriter::WriteLong(std::int64_t v) {
    if (!BeginValue()) return false;
    char text[24];
    const auto result = std::to_chars(text, text + sizeof(text), v);
    return mOut->Append(text, static_cast<std::size_t>(result.ptr - text));
}

bool ZeqAsciiWriter::WriteChar(char v) {
    if (!BeginValue()) return false;
    if (IsLetter(static_cast<unsigned char>(v))) return mOut->AppendByte(static_cast<std::uint8_t>(v));
    AppendQuoted(*mOut, std::string_view(&v, 1));
    return !Failed();
}

bool ZeqAsciiWriter::WriteString(std::string_view text) {
    if (!BeginValue()) return false;
    AppendQuoted(*mOut, text);
    return !Failed();
}

bool ZeqAsciiWriter::WriteDoubles(const double* v, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!WriteDouble(v[i])) return false;
    }
    return !Failed() && ValueOpen();
}

bool ZeqAsciiWriter::WriteFloats(const float* v, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!WriteFloat(v[i])) return false;
    }
    return !Failed() && ValueOpen();
}

bool ZeqAsciiWriter::WriteInts(const std::int32_t* v, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!WriteInt(v[i])) return false;
    }
    return !Failed() && ValueOpen();
}

bool ZeqAsciiWriter::WriteLongs(const std::int64_t* v, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!WriteLong(v[i])) return false;
    }
    return !Failed() && ValueOpen();
}

// --- file-level text ----------------------------------------------------------------------

bool AppendAsciiPrologue(ZeqBuffer& out, const KZeqFileHeaderInfo& header) {
    AppendText(out, "; Zeq ASCII field file\n@Zeq: ");
    char number[16];
    const auto result = std::to_chars(number, number + sizeof(number), header.mFileVersion);
    out.Append(number, static_cast<std::size_t>(result.ptr - number));
    AppendText(out, "\n@Header: {\n");
    // The header record is the same set of fields as in binary files.
    ZeqAsciiWriter writer(out, 1);
    writer.Reset();
    auto text = [](const KString& s) { return std::string_view(s.Buffer(), s.GetLen()); };
    writer.FieldBegin("CameraName");
    writer.WriteString(text(header.mCameraName));
    writer.FieldBegin("ResolutionMode");
    writer.WriteString(text(header.mResolutionMode));
    writer.FieldBegin("ResolutionWidth");
    writer.WriteDouble(header.mResolutionW);
    writer.FieldBegin("ResolutionHeight");
    writer.WriteDouble(header.mResolutionH);
    writer.FieldBegin("CreationTimeStamp");
    const kLocalTime& t = header.mCreationTimeStamp;
    const std::int32_t stamp[7] = {t.mYear, t.mMonth, t.mDay, t.mHour, t.mMinute, t.mSecond, t.mMillisecond};
    writer.WriteInts(stamp, 7);
    writer.FieldBegin("Creator");
    writer.WriteString(text(header.mCreator));
    writer.CloseAll();
    AppendText(out, "}\n");
    return !out.Failed();
}

bool AppendAsciiSectionStart(ZeqBuffer& out, int version, const ZeqPasswordInfo& password) {
    AppendText(out, "@Section: ");
    char number[16];
    const auto result = std::to_chars(number, number + sizeof(number), version);
    out.Append(number, static_cast<std::size_t>(result.ptr - number));
    out.AppendByte('\n');
    if (password.Has()) {
        AppendText(out, "@Password: ");
        AppendQuoted(out, kPasswordKdfName);
        AppendText(out, ", ");
        AppendQuoted(out, ToHex(password.mSalt, kSaltSize));
        AppendText(out, ", ");
        AppendQuoted(out, ToHex(password.mVerifier, kVerifierSize));
        out.AppendByte('\n');
    }
    return !out.Failed();
}

bool AppendAsciiEnd(ZeqBuffer& out) {
    AppendText(out, "@End\n");
    return !out.Failed();
}

// --- parser -----------------------------------------------------------------------------------

namespace {

class AsciiParser {
public:
    AsciiParser(const std::uint8_t* text, std::size_t size)
        : mPos(reinterpret_cast<const char*>(text)), mEnd(reinterpret_cast<const char*>(text) + size) {}

    ZeqOpenResult Parse(ZeqAsciiFile& file);

private:
    struct Value {
        enum Kind { eInt, eLong, eDouble, eChar, eString } mKind = eInt;
        std::int64_t mLong = 0;
        double mDouble = 0.0;
        char mChar = 0;
    };

    bool AtEnd() const { return mPos >= mEnd; }
    // Spaces and tabs (and CR) on the current line.
    void SkipInline() {
        while (mPos < mEnd && (*mPos == ' ' || *mPos == '\t' || *mPos == '\r')) ++mPos;
    }
    // Everything blank, line breaks and comments.
    void SkipAll() {
        while (mPos < mEnd) {
            const char c = *mPos;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++mPos;
            } else if (c == ';') {
                const void* eol = std::memchr(mPos, '\n', static_cast<std::size_t>(mEnd - mPos));
                mPos = eol ? static_cast<const char*>(eol) + 1 : mEnd;
            } else {
                break;
            }
        }
    }
    // True at a place where a field's line may end.
    bool AtLineEnd() const { return AtEnd() || *mPos == '\n' || *mPos == ';' || *mPos == '}'; }
    static bool IsDelimiter(char c) { return kDelimiters.mTable[static_cast<unsigned char>(c)]; }

    struct DelimiterTable {
        bool mTable[256] = {};
        DelimiterTable() {
            for (const char c : std::string_view(",  \t\r\n{};\":")) mTable[static_cast<unsigned char>(c)] = true;
        }
    };
    static const DelimiterTable kDelimiters;

    bool ParseQuoted(std::string& out);
    bool ParseBareToken(std::string_view& out);
    bool ParseValue(Value& value);
    bool WriteValue(ZeqBodyWriter& writer, const Value& value);
    // Fields up to the '}' closing the enclosing block (nested) or up to the next
    // directive or the end of the text (top level).
    bool ParseFields(ZeqBodyWriter& writer, bool nested);
    bool ParseDirectiveInt(int& out);
    bool ParsePassword(ZeqPasswordInfo& password);

    const char* mPos;
    const char* mEnd;
    std::string mText;
};

const AsciiParser::DelimiterTable AsciiParser::kDelimiters;

bool AsciiParser::ParseQuoted(std::string& out) {
    out.clear();
    if (AtEnd() || *mPos != '"') return false;
    ++mPos;
    while (mPos < mEnd) {
        const char c = *mPos++;
        if (c == '"') return true;
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (AtEnd()) return false;
        const char e = *mPos++;
        switch (e) {
            case '"':
            case '\\':
                out.push_back(e);
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '0':
                out.push_back('\0');
                break;
            case 'x': {
                if (mEnd - mPos < 2) return false;
                std::uint8_t byte = 0;
                if (!FromHex(std::string_view(mPos, 2), &byte, 1)) return false;
                out.push_back(static_cast<char>(byte));
                mPos += 2;
                break;
            }
            default:
                return false;
        }
    }
    return false;
}

bool AsciiParser::ParseBareToken(std::string_view& out) {
    const char* start = mPos;
    while (mPos < mEnd && !IsDelimiter(*mPos)) ++mPos;
    out = std::string_view(start, static_cast<std::size_t>(mPos - start));
    return !out.empty();
}

bool AsciiParser::ParseValue(Value& value) {
    if (AtEnd()) return false;
    if (*mPos == '"') {
        value.mKind = Value::eString;
        return ParseQuoted(mText);
    }
    std::string_view token;
    if (!ParseBareToken(token)) return false;
    const char* first = token.data();
    const char* last = first + token.size();
    if (*first == '+') ++first;
    const char* digits = first != last && *first == '-' ? first + 1 : first;
    bool integral = digits != last;
    for (const char* p = digits; p < last && integral; ++p) integral = *p >= '0' && *p <= '9';
    if (integral) {
        std::int64_t whole = 0;
        const auto result = std::from_chars(first, last, whole);
        // "-0" is the text of a negative zero double, never of an int.
        if (result.ec == std::errc() && result.ptr == last && !(whole == 0 && *first == '-')) {
            value.mLong = whole;
            value.mKind = whole >= std::numeric_limits<std::int32_t>::min() &&
                                  whole <= std::numeric_limits<std::int32_t>::max()
                              ? Value::eInt
                              : Value::eLong;
            return true;
        }
    }
    if (first != last) {
        double real = 0.0;
        const auto result = std::from_chars(first, last, real);
        if (result.ptr == last && result.ec == std::errc()) {
            value.mDouble = real;
            value.mKind = Value::eDouble;
            return true;
        }
        if (result.ptr == last && result.ec == std::errc::result_out_of_range) {
            // Beyond the double range: infinity, or zero below it.
            const std::size_t e = token.find_first_of("eE");
            const bool tiny = e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-';
            const bool negative = *first == '-';
            value.mDouble = tiny ? 0.0 : std::numeric_limits<double>::infinity();
            if (negative) value.mDouble = -value.mDouble;
            value.mKind = Value::eDouble;
            return true;
        }
    }
    if (token.size() == 1) {
        value.mChar = token[0];
        value.mKind = Value::eChar;
        return true;
    }
    // A bare word: read as a string.
    mText.assign(token.data(), token.size());
    value.mKind = Value::eString;
    return true;
}

bool AsciiParser::WriteValue(ZeqBodyWriter& writer, const Value& value) {
    switch (value.mKind) {
        case Value::eInt:
            return writer.WriteInt(static_cast<std::int32_t>(value.mLong));
        case Value::eLong:
            return writer.WriteLong(value.mLong);
        case Value::eDouble:
            return writer.WriteDouble(value.mDouble);
        case Value::eChar:
            return writer.WriteChar(value.mChar);
        case Value::eString:
            return writer.WriteString(mText);
    }
    return false;
}

bool AsciiParser::ParseFields(ZeqBodyWriter& writer, bool nested) {
    const int baseDepth = writer.Depth();
    for (;;) {
        SkipAll();
        if (AtEnd()) return !nested && writer.Depth() == baseDepth;
        const char c = *mPos;
        if (c == '}') {
            ++mPos;
            if (writer.Depth() == baseDepth) return nested;
            if (!writer.BlockEnd() || !writer.FieldEnd()) return false;
            continue;
        }
        if (c == '@') return !nested && writer.Depth() == baseDepth;
        // Field name.
        if (c == '"') {
            if (!ParseQuoted(mText)) return false;
            if (!writer.FieldBegin(mText)) return false;
        } else {
            std::string_view name;
            if (!ParseBareToken(name) || !writer.FieldBegin(name)) return false;
        }
        SkipInline();
        if (AtEnd() || *mPos != ':') return false;
        ++mPos;
        SkipInline();
        // Values.
        if (!AtEnd() && *mPos != '{' && !AtLineEnd()) {
            for (;;) {
                Value value;
                if (!ParseValue(value) || !WriteValue(writer, value)) return false;
                SkipInline();
                if (AtEnd() || *mPos != ',') break;
                ++mPos;
                SkipAll();
            }
        }
        if (!AtEnd() && *mPos == '{') {
            ++mPos;
            if (writer.Depth() >= kMaxBlockDepth || !writer.BlockBegin()) return false;
            continue;
        }
        if (!AtLineEnd()) return false;
        if (!writer.FieldEnd()) return false;
    }
}

bool AsciiParser::ParseDirectiveInt(int& out) {
    SkipInline();
    if (AtEnd() || *mPos != ':') return false;
    ++mPos;
    SkipInline();
    Value value;
    if (!ParseValue(value) || value.mKind != Value::eInt) return false;
    out = static_cast<int>(value.mLong);
    SkipInline();
    // The line must be complete: a number cut by a truncation is no version.
    return !AtEnd() && AtLineEnd();
}

bool AsciiParser::ParsePassword(ZeqPasswordInfo& password) {
    SkipInline();
    if (AtEnd() || *mPos != ':') return false;
    ++mPos;
    std::string parts[3];
    for (int i = 0; i < 3; ++i) {
        SkipInline();
        if (!ParseQuoted(parts[i])) return false;
        SkipInline();
        if (i < 2) {
            if (AtEnd() || *mPos != ',') return false;
            ++mPos;
        }
    }
    if (!AtLineEnd() || parts[0] != kPasswordKdfName) return false;
    password.mKdf = kKdfPbkdf2Sha256;
    return FromHex(parts[1], password.mSalt, kSaltSize) && FromHex(parts[2], password.mVerifier, kVerifierSize);
}

ZeqOpenResult AsciiParser::Parse(ZeqAsciiFile& file) {
    file.mSections.clear();
    SkipAll();
    std::string_view directive;
    if (AtEnd() || *mPos != '@') return ZeqOpenResult::eCorrupted;
    ++mPos;
    if (!ParseBareToken(directive) || directive != "Zeq") return ZeqOpenResult::eCorrupted;
    int version = 0;
    if (!ParseDirectiveInt(version)) return ZeqOpenResult::eCorrupted;
    if (version >= KZeq::kFirstUnsupportedFileVersion) return ZeqOpenResult::eTooNew;
    if (version < KZeq::kMinimumFileVersion) return ZeqOpenResult::eTooOld;
    file.mFileVersion = version;
    file.mHeader.mFileVersion = version;
    bool sawHeader = false;
    for (;;) {
        SkipAll();
        if (AtEnd() || *mPos != '@') return ZeqOpenResult::eCorrupted;
        ++mPos;
        if (!ParseBareToken(directive)) return ZeqOpenResult::eCorrupted;
        if (directive == "Header") {
            if (sawHeader || !file.mSections.empty()) return ZeqOpenResult::eCorrupted;
            sawHeader = true;
            SkipInline();
            if (AtEnd() || *mPos != ':') return ZeqOpenResult::eCorrupted;
            ++mPos;
            SkipInline();
            if (AtEnd() || *mPos != '{') return ZeqOpenResult::eCorrupted;
            ++mPos;
            ZeqBuffer body;
            ZeqBodyWriter writer(body);
            if (!ParseFields(writer, true)) return ZeqOpenResult::eCorrupted;
            writer.CloseAll();
            if (writer.Failed()) return ZeqOpenResult::eCorrupted;
            DecodeHeaderInfo(body.Data(), body.Size(), file.mHeader);
            SkipInline();
            if (!AtLineEnd()) return ZeqOpenResult::eCorrupted;
        } else if (directive == "Section") {
            int sectionVersion = 0;
            if (!ParseDirectiveInt(sectionVersion) || sectionVersion < 0) return ZeqOpenResult::eCorrupted;
            file.mSections.emplace_back();
            ZeqSectionInfo& section = file.mSections.back();
            section.mVersion = sectionVersion;
            SkipAll();
            if (mEnd - mPos > 9 && std::memcmp(mPos, "@Password", 9) == 0 && IsDelimiter(mPos[9])) {
                mPos += 9;
                if (!ParsePassword(section.mPassword)) return ZeqOpenResult::eCorrupted;
            }
            ZeqBodyWriter writer(section.mBody);
            if (!ParseFields(writer, false)) return ZeqOpenResult::eCorrupted;
            writer.CloseAll();
            if (writer.Failed()) return ZeqOpenResult::eCorrupted;
        } else if (directive == "End") {
            SkipAll();
            if (!AtEnd() || file.mSections.empty()) return ZeqOpenResult::eCorrupted;
            return ZeqOpenResult::eOk;
        } else {
            return ZeqOpenResult::eCorrupted;
        }
    }
}

}  // namespace

ZeqOpenResult ParseAsciiFile(const std::uint8_t* text, std::size_t size, ZeqAsciiFile& file) {
    AsciiParser parser(text, size);
    return parser.Parse(file);
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
