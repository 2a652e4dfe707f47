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

namespace {

// Powers of ten that doubles hold exactly.
constexpr double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline std::uint64_t DigitPair(std::uint32_t v) {
    std::uint16_t pair;
    std::memcpy(&pair, kDigitPairs + 2 * v, 2);
    return pair;
}

// The eight digits of v < 10^8 as the bytes of a word, first digit lowest (the
// order memcpy stores them in). Built in registers: text stored in pieces and
// read back whole would stall on the store buffer.
inline std::uint64_t EightDigits(std::uint32_t v) {
    const std::uint32_t high = v / 10000;
    const std::uint32_t low = v % 10000;
    return DigitPair(high / 100) | DigitPair(high % 100) << 16 | DigitPair(low / 100) << 32 |
           DigitPair(low % 100) << 48;
}

// 10^(i - 6) as doubles (rounded below 1), to refine a decimal exponent guess.
constexpr double kPow10From6[23] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4, 1e5,
                                    1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};

constexpr std::uint64_t kZeroChars = 0x3030303030303030ull;

// a * b - p exactly, for p the rounded product (Dekker's splitting; no FMA needed).
double ProductError(double a, double b, double p) {
    auto split = [](double x, double& high, double& low) {
        const double c = 134217729.0 * x;  // 2^27 + 1
        high = c - (c - x);
        low = x - high;
    };
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// "%.15g" of a nonzero value of magnitude 1e-5 to 1e15 when that text reads back
// exactly, for most such values: a * 10^k
// with 10^k exact is off the exact product by at most half an ulp (1/16 below
// 10^15), so rounding it gives the 15 digits printf gives unless the product lies
// that close to a rounding midpoint. Answers 0 when it cannot decide or the
// text would not read back exactly. Writes up
// to 34 bytes into out, of which the answered count are the text.
std::size_t FormatScaled15(double v, char* out) {
    const double a = std::fabs(v);
    if (!(a >= 1e-5 && a < 1e15)) return 0;
    // Decimal exponent from the binary one (a is normal), refined by one comparison;
    // the loop below corrects what is left.
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof(bits));
    const int binary = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    int e = (binary * 1233) >> 12;
    if (a >= kPow10From6[e + 7]) ++e;
    std::uint64_t digits = 0;
    bool carried = false;
    for (int attempt = 0;; ++attempt) {
        const int k = 14 - e;
        if (attempt == 4 || k < 0 || k > 22) return 0;
        const double x = a * kExactPow10[k];
        if (x < 1e14 && !carried) {
            --e;
            continue;
        }
        if (x >= 1e16) return 0;
        // Adding 2^52 rounds to an integer, which the mantissa then holds.
        const double shifted = x + 0x1p52;
        const double distance = x - (shifted - 0x1p52);
        if (distance > 0.375 || distance < -0.375) return 0;
        std::uint64_t shiftedBits;
        std::memcpy(&shiftedBits, &shifted, sizeof(shiftedBits));
        const std::uint64_t rounded = shiftedBits - 0x4330000000000000ull;
        if (rounded >= 1000000000000000u) {
            // Too few digits before the point, or 9...9.5 rounding up to a power of ten.
            ++e;
            carried = true;
            continue;
        }
        // The fifteen digits read back as v only when v is the double nearest to
        // them: a * 10^k within half an ulp of a (scaled by 10^k) of them. The
        // product's rounding error is recovered exactly, so only near-ties are
        // left to the slow path.
        const double off = distance + ProductError(a, kExactPow10[k], x);
        int binaryExponent = 0;
        // Below a power of two the doubles lie twice as close: the closer bound.
        const bool powerOfTwo = std::frexp(a, &binaryExponent) == 0.5;
        const double halfUlp = std::ldexp(kExactPow10[k], binaryExponent - (powerOfTwo ? 55 : 54));
        if (!(std::fabs(off) < halfUlp * (1 - 1e-9))) return 0;
        digits = rounded;
        break;
    }
    // The fifteen digits and a '0' as two words of text.
    const std::uint64_t first = EightDigits(static_cast<std::uint32_t>(digits / 10000000));
    const std::uint64_t second = EightDigits(static_cast<std::uint32_t>(digits % 10000000) * 10);
    // Significant digits: up to the last that is not '0' (the first is not).
    const std::uint64_t firstMarks = first ^ kZeroChars;
    const std::uint64_t secondMarks = second ^ kZeroChars;
    const std::size_t countFirst = 8 - static_cast<std::size_t>(__builtin_clzll(firstMarks) >> 3);
    const std::size_t countSecond = secondMarks ? 16 - static_cast<std::size_t>(__builtin_clzll(secondMarks) >> 3) : 0;
    const std::size_t count = secondMarks ? countSecond : countFirst;
    std::size_t n = 0;
    if (v < 0) out[n++] = '-';
    if (e >= 0 && e < 15) {
        // The digits (the integer part's zeros among them), then the point and the
        // fraction's digits over what follows the integer part.
        const std::size_t whole = static_cast<std::size_t>(e) + 1;
        std::memcpy(out + n, &first, 8);
        std::memcpy(out + n + 8, &second, 8);
        n += whole;
        if (count > whole) {
            const unsigned shift = static_cast<unsigned>(8 * whole);
            const std::uint64_t low = shift < 64 ? (first >> shift) | (second << (64 - shift)) : second >> (shift - 64);
            const std::uint64_t high = shift < 64 ? second >> shift : 0;
            out[n] = '.';
            std::memcpy(out + n + 1, &low, 8);
            std::memcpy(out + n + 9, &high, 8);
            n += 1 + count - whole;
        }
    } else if (e < 0 && e >= -4) {
        std::memcpy(out + n, "0.000", 5);
        n += 1 + static_cast<std::size_t>(-e);
        std::memcpy(out + n, &first, 8);
        std::memcpy(out + n + 8, &second, 8);
        n += count;
    } else {
        char text[16];
        std::memcpy(text, &first, 8);
        std::memcpy(text + 8, &second, 8);
        out[n++] = text[0];
        if (count > 1) {
            out[n++] = '.';
            std::memcpy(out + n, text + 1, count - 1);
            n += count - 1;
        }
        out[n++] = 'e';
        out[n++] = e < 0 ? '-' : '+';
        const int magnitude = e < 0 ? -e : e;
        out[n++] = static_cast<char>('0' + magnitude / 10);
        out[n++] = static_cast<char>('0' + magnitude % 10);
    }
    return n;
}

}  // namespace

std::size_t FormatDouble(double v, char* out) {
    if (v == 0.0) {
        if (std::signbit(v)) {
            out[0] = '-';
            out[1] = '0';
            return 2;
        }
        out[0] = '0';
        return 1;
    }
    // Integers below 10^15 print as themselves.
    if (std::fabs(v) < 1e15) {
        const std::int64_t whole = static_cast<std::int64_t>(v);
        if (static_cast<double>(whole) == v) return static_cast<std::size_t>(std::to_chars(out, out + 24, whole).ptr - out);
    }
    if (const std::size_t n = FormatScaled15(v, out)) return n;
    // The shortest digits that read back exactly. For decimal exponents -4 to 14
    // (where the values that need more than 15 digits mostly lie) the shorter of
    // the two notations is the plain one, as "%g" lays it out; beyond, "%g" uses
    // d.ddde+XX.
    const char* end = std::to_chars(out, out + 32, v).ptr;
    if (std::fabs(v) >= 1e15 && std::memchr(out, 'e', static_cast<std::size_t>(end - out)) == nullptr) {
        end = std::to_chars(out, out + 32, v, std::chars_format::scientific).ptr;
    }
    return static_cast<std::size_t>(end - out);
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
    mFlushed = 0;
    mLineStart = End();
    mPendingComments.clear();
    mHavePendingComments = false;
    mFailed = false;
}

bool ZeqAsciiWriter::Flush() {
    if (!mSink || mOut->Size() == 0) return !Failed();
    if (Failed()) return false;
    if (!mSink->PutText(mOut->Data(), mOut->Size())) {
        mFailed = true;
        return false;
    }
    mFlushed += mOut->Size();
    mOut->Clear();
    return true;
}

std::uint8_t* ZeqAsciiWriter::Room(std::size_t count) {
    if (mSink && mOut->Size() >= kChunkBytes && !Flush()) return nullptr;
    return mOut->Room(count);
}

void ZeqAsciiWriter::Indent(int level) {
    std::uint8_t* p = Room(static_cast<std::size_t>(level));
    if (!p) return;
    std::memset(p, '\t', static_cast<std::size_t>(level));
    mOut->Advance(static_cast<std::size_t>(level));
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
    mLineStart = End();
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
    mLineStart = End();
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
        mLineStart = End();
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
    mLineStart = End();
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
    mLineStart = End();
    mFields.back().mBlockOpen = false;
    mFields.back().mBlockDone = true;
    return !Failed();
}

void ZeqAsciiWriter::CloseAll() {
    while (!mFields.empty()) FieldEnd();
    FlushComments();
}

std::uint8_t* ZeqAsciiWriter::Separator(std::uint8_t* p, OpenField& field) {
    if (!field.mHasValues) {
        field.mHasValues = true;
        *p++ = ' ';
    } else if (mFlushed + static_cast<std::size_t>(p - mOut->Data()) - mLineStart > kWrapColumn) {
        *p++ = ',';
        *p++ = '\n';
        mLineStart = mFlushed + static_cast<std::size_t>(p - mOut->Data());
        const std::size_t indent = static_cast<std::size_t>(mBaseIndent + mDepth + 1);
        std::memset(p, '\t', indent);
        p += indent;
    } else {
        *p++ = ',';
    }
    return p;
}

bool ZeqAsciiWriter::BeginValue() {
    if (Failed() || !ValueOpen()) return false;
    std::uint8_t* p = Room(kSeparatorRoom + static_cast<std::size_t>(mBaseIndent + mDepth));
    if (!p) return false;
    mOut->Advance(static_cast<std::size_t>(Separator(p, mFields.back()) - p));
    return true;
}

// Each value formatted straight into the text: one room check, no copy.
template <class T, class Format>
bool ZeqAsciiWriter::WriteNumbers(const T* v, std::size_t count, Format format) {
    if (Failed() || !ValueOpen()) return false;
    OpenField& field = mFields.back();
    const std::size_t room = kSeparatorRoom + static_cast<std::size_t>(mBaseIndent + mDepth) + kNumberRoom;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* const p = Room(room);
        if (!p) return false;
        std::uint8_t* q = Separator(p, field);
        q += format(v[i], reinterpret_cast<char*>(q));
        mOut->Advance(static_cast<std::size_t>(q - p));
    }
    return true;
}

namespace {

std::size_t FormatFloat(float v, char* out) {
    return static_cast<std::size_t>(std::to_chars(out, out + ZeqAsciiWriter::kNumberRoom, v).ptr - out);
}
std::size_t FormatInt(std::int32_t v, char* out) {
    return static_cast<std::size_t>(std::to_chars(out, out + ZeqAsciiWriter::kNumberRoom, v).ptr - out);
}
std::size_t FormatLong(std::int64_t v, char* out) {
    return static_cast<std::size_t>(std::to_chars(out, out + ZeqAsciiWriter::kNumberRoom, v).ptr - out);
}

}  // namespace

bool ZeqAsciiWriter::WriteDouble(double v) { return WriteNumbers(&v, 1, FormatDouble); }
bool ZeqAsciiWriter::WriteInt(std::int32_t v) { return WriteNumbers(&v, 1, FormatInt); }
bool ZeqAsciiWriter::WriteLong(std::int64_t v) { return WriteNumbers(&v, 1, FormatLong); }

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

bool ZeqAsciiWriter::WriteDoubles(const double* v, std::size_t count) { return WriteNumbers(v, count, FormatDouble); }
bool ZeqAsciiWriter::WriteFloats(const float* v, std::size_t count) { return WriteNumbers(v, count, FormatFloat); }
bool ZeqAsciiWriter::WriteInts(const std::int32_t* v, std::size_t count) { return WriteNumbers(v, count, FormatInt); }
bool ZeqAsciiWriter::WriteLongs(const std::int64_t* v, std::size_t count) { return WriteNumbers(v, count, FormatLong); }

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

bool AppendAsciiSectionStart(ZeqBuffer& out, int version) {
    AppendText(out, "@Section: ");
    char number[16];
    const auto result = std::to_chars(number, number + sizeof(number), version);
    out.Append(number, static_cast<std::size_t>(result.ptr - number));
    out.AppendByte('\n');
    return !out.Failed();
}

bool AppendAsciiPassword(ZeqBuffer& out, const ZeqPasswordInfo& password) {
    if (!password.Has()) return !out.Failed();
    AppendText(out, "@Password: ");
    AppendQuoted(out, kPasswordKdfName);
    AppendText(out, ", ");
    AppendQuoted(out, ToHex(password.mSalt, kSaltSize));
    AppendText(out, ", ");
    AppendQuoted(out, ToHex(password.mVerifier, kVerifierSize));
    out.AppendByte('\n');
    return !out.Failed();
}

bool AppendAsciiEnd(ZeqBuffer& out) {
    AppendText(out, "@End\n");
    return !out.Failed();
}

// --- parser -----------------------------------------------------------------------------------

namespace {

// A bare or quoted value of the text, as parsed.
struct AsciiValue {
    enum Kind { eInt, eLong, eDouble, eChar, eString } mKind = eInt;
    std::int64_t mLong = 0;
    double mDouble = 0.0;
    char mChar = 0;
};

// A number as the writers write it and as text files hold it: an optional
// sign ('+' or '-', one), then digits with an optional fraction and exponent,
// or "inf" or "nan" (as a double prints them, also in the "1.#INF" family
// other platforms print), the whole token. Ints are
// integral tokens that fit 64 bits, "-0" excepted (a double's text).
bool ParseNumber(std::string_view token, AsciiValue& value) {
    const char* last = token.data() + token.size();
    const char* first = PastPlusSign(token.data(), last);
    if (!first || first == last) return false;
    const char* digits = *first == '-' ? first + 1 : first;
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
                              ? AsciiValue::eInt
                              : AsciiValue::eLong;
            return true;
        }
    }
    double real = 0.0;
    const auto result = std::from_chars(first, last, real);
    if (result.ptr != last) {
        if (!ParsePlatformNonFinite(token, value.mDouble)) return false;
        value.mKind = AsciiValue::eDouble;
        return true;
    }
    if (result.ec == std::errc()) {
        value.mDouble = real;
        value.mKind = AsciiValue::eDouble;
        return true;
    }
    if (result.ec != std::errc::result_out_of_range) return false;
    // Beyond the double range: infinity, or zero below it.
    const std::size_t e = token.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-';
    value.mDouble = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (*first == '-') value.mDouble = -value.mDouble;
    value.mKind = AsciiValue::eDouble;
    return true;
}

// A digit first, or after a sign or a point.
bool BeginsAsNumber(std::string_view token) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (token.empty()) return false;
    if (digit(token[0])) return true;
    if (token.size() < 2) return false;
    if (token[0] == '.') return digit(token[1]);
    if (token[0] != '+' && token[0] != '-') return false;
    return digit(token[1]) || (token[1] == '.' && token.size() > 2 && digit(token[2]));
}

// Parses text read from a stream through a window of about a chunk (grown only
// for a token that does not fit), so a big file is neither copied whole nor held
// in memory beside the values parsed from it. Nothing keeps pointers into the
// window across a refill but mPos and mEnd. A '\0' follows the window's text, so
// scans for digits or blanks stop there without testing the end at every byte.
class AsciiParser {
public:
    AsciiParser(KChainedFile& stream, std::uint64_t size, std::size_t window)
        : mStream(&stream), mLeft(size), mWindowSize(window < 1 ? 1 : window) {}

    ZeqOpenResult Parse(ZeqAsciiFile& file);
    // The stream ended before the size it was given.
    bool ReadFailed() const { return mReadFailed; }

private:
    using Value = AsciiValue;

    // Reads on: keeps [mPos, mEnd), moved to the window's start, and adds up to a
    // window of text, room for at least want more bytes made. False when nothing
    // more came.
    bool More(std::size_t want);
    // At least count bytes ahead where the text has them.
    void Ensure(std::size_t count) {
        if (static_cast<std::size_t>(mEnd - mPos) < count && mLeft > 0) More(count);
    }
    // Everything of the text is in [mPos, mEnd).
    bool Whole() const { return mLeft == 0; }
    bool AtEnd() { return mPos >= mEnd && !More(mWindowSize); }
    // Spaces and tabs (and CR) on the current line.
    void SkipInline() {
        do {
            while (mPos < mEnd && (*mPos == ' ' || *mPos == '\t' || *mPos == '\r')) ++mPos;
        } while (mPos == mEnd && More(mWindowSize));
    }
    // Everything blank, line breaks and comments.
    void SkipAll() {
        while (!AtEnd()) {
            const char c = *mPos;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++mPos;
            } else if (c == ';') {
                // To the end of the line, however far.
                for (;;) {
                    const void* eol = std::memchr(mPos, '\n', static_cast<std::size_t>(mEnd - mPos));
                    if (eol) {
                        mPos = static_cast<const char*>(eol) + 1;
                        break;
                    }
                    mPos = mEnd;
                    if (!More(mWindowSize)) return;
                }
            } else {
                break;
            }
        }
    }
    // True at a place where a field's line may end.
    bool AtLineEnd() { return AtEnd() || *mPos == '\n' || *mPos == ';' || *mPos == '}'; }
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
    bool ParseNumberFast(ZeqBodyWriter& writer, bool& written);
    bool WriteValue(ZeqBodyWriter& writer, const Value& value);
    // Fields up to the '}' closing the enclosing block (nested) or up to the next
    // directive or the end of the text (top level).
    bool ParseFields(ZeqBodyWriter& writer, bool nested);
    bool ParseDirectiveInt(int& out);
    bool ParsePassword(ZeqPasswordInfo& password);

    const char* mPos = nullptr;
    const char* mEnd = nullptr;
    KChainedFile* mStream = nullptr;
    // Bytes of the stream not read yet.
    std::uint64_t mLeft = 0;
    std::size_t mWindowSize = 0;
    ZeqBuffer mWindow;
    bool mReadFailed = false;
    std::string mText;
};

const AsciiParser::DelimiterTable AsciiParser::kDelimiters;

bool AsciiParser::More(std::size_t want) {
    if (!mStream || mLeft == 0) return false;
    const std::size_t keep = mPos < mEnd ? static_cast<std::size_t>(mEnd - mPos) : 0;
    if (keep > 0 && mPos != reinterpret_cast<const char*>(mWindow.Data())) std::memmove(mWindow.Data(), mPos, keep);
    const std::size_t room = std::max(mWindowSize, want);
    if (room > std::numeric_limits<std::size_t>::max() / 4 - keep || !mWindow.Reserve(keep + room + 1)) {
        mLeft = 0;
        mReadFailed = true;
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(mWindow.Capacity() - keep - 1, mLeft));
    const std::size_t got = mStream->Read(mWindow.Data() + keep, count);
    mLeft -= got;
    if (got < count) {
        mLeft = 0;
        mReadFailed = true;
    }
    mWindow.Data()[keep + got] = '\0';
    mPos = reinterpret_cast<const char*>(mWindow.Data());
    mEnd = mPos + keep + got;
    return got > 0;
}

bool AsciiParser::ParseQuoted(std::string& out) {
    out.clear();
    if (AtEnd() || *mPos != '"') return false;
    ++mPos;
    for (;;) {
        if (AtEnd()) return false;
        // Plain bytes in one piece, up to a quote or a backslash.
        const char* run = mPos;
        while (mPos < mEnd && *mPos != '"' && *mPos != '\\') ++mPos;
        out.append(run, static_cast<std::size_t>(mPos - run));
        if (mPos == mEnd) continue;
        if (*mPos++ == '"') return true;
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
                Ensure(2);
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
}

bool AsciiParser::ParseBareToken(std::string_view& out) {
    std::size_t length = 0;
    for (;;) {
        while (mPos + length < mEnd && !IsDelimiter(mPos[length])) ++length;
        // A token running to the window's end may go on: make room and look again.
        if (mPos + length < mEnd || !More(length + mWindowSize)) break;
    }
    out = std::string_view(mPos, length);
    mPos += length;
    return length > 0;
}

bool AsciiParser::ParseValue(Value& value) {
    if (AtEnd()) return false;
    if (*mPos == '"') {
        value.mKind = Value::eString;
        return ParseQuoted(mText);
    }
    std::string_view token;
    if (!ParseBareToken(token)) return false;
    if (ParseNumber(token, value)) return true;
    // Writers put nothing else bare but letters (chars); hand-written files
    // may have words. Either is printable ASCII, and only a damaged number
    // begins as a number without being one.
    if (BeginsAsNumber(token)) return false;
    for (const char c : token)
        if (c < '!' || c > '~') return false;
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

// Plain numbers, the bulk of a big file, in one pass over their text: an integer
// of up to 18 digits, or a decimal whose digits fit 2^53 and whose exponent is
// within 10^22 (then one multiplication or division of exact operands rounds
// correctly). Anything else, or a token that goes on past the number, is left to
// ParseValue (false, nothing consumed); written tells whether the writer took it.
bool AsciiParser::ParseNumberFast(ZeqBodyWriter& writer, bool& written) {
    // A number running to the window's end is left to the general path.
    Ensure(64);
    const bool whole = Whole();
    const char* p = mPos;
    if (p == mEnd) return false;
    const char first = *p;
    if (static_cast<unsigned char>(first - '0') >= 10 && first != '-') {
        // A one-byte token that is a letter is a char (any other is ParseValue's).
        if (!IsLetter(static_cast<unsigned char>(first)) || (p + 1 == mEnd ? !whole : !IsDelimiter(p[1]))) return false;
        mPos = p + 1;
        written = writer.WriteChar(first);
        return true;
    }
    const bool negative = first == '-';
    if (negative) ++p;
    // Past 19 digits the mantissa wraps; such numbers take the general path.
    const char* const digits = p;
    std::uint64_t mantissa = 0;
    while (static_cast<unsigned char>(*p - '0') < 10) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        ++p;
    }
    std::size_t count = static_cast<std::size_t>(p - digits);
    if (count == 0 || count > 18 || (p == mEnd && !whole)) return false;
    if (p == mEnd || IsDelimiter(*p)) {
        // "-0" is the text of a negative zero double, never of an int.
        if (negative && mantissa == 0) {
            mPos = p;
            written = writer.WriteDouble(-0.0);
            return true;
        }
        const std::int64_t value = negative ? -static_cast<std::int64_t>(mantissa) : static_cast<std::int64_t>(mantissa);
        mPos = p;
        if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
            written = writer.WriteInt(static_cast<std::int32_t>(value));
        } else {
            written = writer.WriteLong(value);
        }
        return true;
    }
    int exponent = 0;
    if (*p == '.') {
        ++p;
        const char* const fraction = p;
        while (static_cast<unsigned char>(*p - '0') < 10) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            ++p;
        }
        const std::size_t fractionCount = static_cast<std::size_t>(p - fraction);
        count += fractionCount;
        if (count > 18) return false;
        exponent = -static_cast<int>(fractionCount);
    }
    if (p < mEnd && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negativeExponent = p < mEnd && *p == '-';
        if (p < mEnd && (*p == '-' || *p == '+')) ++p;
        const char* const exponentDigits = p;
        int value = 0;
        while (p < mEnd && static_cast<unsigned char>(*p - '0') < 10 && p - exponentDigits < 4) {
            value = value * 10 + (*p - '0');
            ++p;
        }
        if (p == exponentDigits) return false;
        exponent += negativeExponent ? -value : value;
    }
    if ((p < mEnd ? !IsDelimiter(*p) : !whole) || mantissa > (std::uint64_t(1) << 53) || exponent < -22 ||
        exponent > 22) {
        return false;
    }
    double value = static_cast<double>(mantissa);
    value = exponent < 0 ? value / kExactPow10[-exponent] : value * kExactPow10[exponent];
    mPos = p;
    written = writer.WriteDouble(negative ? -value : value);
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
                bool written = false;
                if (ParseNumberFast(writer, written)) {
                    if (!written) return false;
                } else {
                    Value value;
                    if (!ParseValue(value) || !WriteValue(writer, value)) return false;
                }
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
            if (!DecodeHeaderInfo(body.Data(), body.Size(), file.mHeader, true)) return ZeqOpenResult::eCorrupted;
            SkipInline();
            if (!AtLineEnd()) return ZeqOpenResult::eCorrupted;
        } else if (directive == "Section") {
            int sectionVersion = 0;
            if (!ParseDirectiveInt(sectionVersion) || sectionVersion < 0) return ZeqOpenResult::eCorrupted;
            file.mSections.emplace_back();
            ZeqSectionInfo& section = file.mSections.back();
            section.mVersion = sectionVersion;
            SkipAll();
            Ensure(10);
            if (mEnd - mPos > 9 && std::memcmp(mPos, "@Password", 9) == 0 && IsDelimiter(mPos[9])) {
                mPos += 9;
                if (!ParsePassword(section.mPassword)) return ZeqOpenResult::eCorrupted;
            }
            ZeqBodyWriter writer(section.mBody);
            if (!ParseFields(writer, false)) return ZeqOpenResult::eCorrupted;
            writer.CloseAll();
            if (writer.Failed()) return ZeqOpenResult::eCorrupted;
        } else if (directive == "Password") {
            // After the section's fields, as writers put it: one per section.
            if (file.mSections.empty() || file.mSections.back().mPassword.Has()) return ZeqOpenResult::eCorrupted;
            if (!ParsePassword(file.mSections.back().mPassword)) return ZeqOpenResult::eCorrupted;
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
    KChainedMemoryFile stream(text, size);
    return ParseAsciiStream(stream, size, file, size);
}

ZeqOpenResult ParseAsciiStream(KChainedFile& stream, std::uint64_t size, ZeqAsciiFile& file, std::size_t window) {
    AsciiParser parser(stream, size, window);
    const ZeqOpenResult result = parser.Parse(file);
    return parser.ReadFailed() ? ZeqOpenResult::eIoError : result;
}

}  // namespace zeqdetail
}  // namespace zeqsdk_400
