#include "formats/geometry/obj/kobjrecords.h"

#include <climits>

#include "formats/geometry/obj/kobjtext.h"

namespace zeqsdk_400 {

namespace {

// Stands for an index beyond int: out of range for every list.
constexpr int kOverflowingIndex = INT_MIN;

// A field's number as "%d" reads it: a sign, then digits as far as they go;
// 0 (as the caller's "missing") when there is none, kOverflowingIndex when it
// does not fit an int.
int FieldNumber(const char* at, const char* end) {
    bool negative = false;
    if (at < end && (*at == '-' || *at == '+')) negative = *at++ == '-';
    long long value = 0;
    const char* digits = at;
    bool overflow = false;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) {
        if (!overflow) value = value * 10 + (*at - '0');
        overflow = overflow || value > 2147483648LL;
    }
    if (at == digits) return 0;
    value = negative ? -value : value;
    return overflow || value < INT_MIN || value > INT_MAX ? kOverflowingIndex : static_cast<int>(value);
}

// The next run of blank-separated text; empty at the end.
std::string_view NextField(std::string_view text, std::size_t& at) {
    while (at < text.size() && KObjScanner::IsBlank(text[at])) ++at;
    const std::size_t start = at;
    while (at < text.size() && !KObjScanner::IsBlank(text[at])) ++at;
    return text.substr(start, at - start);
}

}  // namespace

int ConvertIndex(int index, int count) {
    if (index < 0 && index >= -count) return count + index;
    if (index >= 1 && index <= count) return index - 1;
    return -1;
}

bool ParseVertexGroup(std::string_view text, const KObjCounts& counts, KIndexGroup& group) {
    // The fields between slashes, empty ones skipped; "//" anywhere means
    // the second field is the normal.
    const char* fields[3][2] = {};
    int count = 0;
    bool doubleSlash = false;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at < end) {
        const char* start = at;
        while (at < end && *at != '/') ++at;
        if (at > start && count < 3) fields[count][0] = start, fields[count][1] = at, ++count;
        if (at + 1 < end && at[1] == '/') doubleSlash = true;
        if (at < end) ++at;
    }
    const auto Field = [&](int index) { return index < count ? FieldNumber(fields[index][0], fields[index][1]) : 0; };
    const int position = Field(0);
    const int texture = doubleSlash ? 0 : Field(1);
    const int normal = doubleSlash ? Field(1) : Field(2);
    if (position == 0) return false;
    group.mPosition = ConvertIndex(position, counts.mPositions);
    group.mTexture = ConvertIndex(texture, counts.mTextures);
    group.mNormal = ConvertIndex(normal, counts.mNormals);
    return true;
}

bool KObjMesh::AddFace(std::string_view text, const KObjCounts& counts, unsigned int smoothing, int material,
                       bool textured) {
    KObjFace face;
    face.mFirst = static_cast<int>(mCorners.size());
    face.mMaterial = material;
    face.mTextured = textured;
    int fields = 0;
    std::size_t at = 0;
    for (std::string_view field = NextField(text, at); !field.empty(); field = NextField(text, at), ++fields) {
        KIndexGroup group;
        if (!ParseVertexGroup(field, counts, group)) {
            mCorners.resize_down(static_cast<std::size_t>(face.mFirst));
            return false;
        }
        if (group.mPosition < 0) continue;
        if (group.mNormal < 0) face.mAllNormals = false;
        if (group.mTexture < 0) face.mAllTextures = false;
        mCorners.push_back(group);
    }
    face.mCount = static_cast<int>(mCorners.size()) - face.mFirst;
    if (fields < 3 || face.mCount == 0) {
        mCorners.resize_down(static_cast<std::size_t>(face.mFirst));
        return false;
    }
    if (!mLastList || smoothing != mLastSmoothing) {
        mLastList = &mGroups[smoothing];
        mLastSmoothing = smoothing;
    }
    mLastList->push_back(face);
    if (!face.mAllNormals) mAllNormals = false;
    if (!face.mAllTextures) mAllTextures = false;
    if (textured)
        mSomeTextured = true;
    else
        mAllTextured = false;
    ++mCount;
    return true;
}

bool KObjSurf::Parse(std::string_view text, const KObjCounts& counts) {
    KObjScanner scanner(text);
    if (!scanner.Double(mS0) || !scanner.Double(mS1) || !scanner.Double(mT0) || !scanner.Double(mT1)) return false;
    for (std::string_view field = scanner.Word(); !field.empty(); field = scanner.Word()) {
        KIndexGroup group;
        if (!ParseVertexGroup(field, counts, group)) return false;
        if (group.mPosition >= 0) mControlPoints.push_back(group.mPosition);
    }
    return true;
}

bool KObjSurf::ReadParm(std::string_view text) {
    KObjScanner scanner(text);
    const std::string_view direction = scanner.Word();
    if (direction.empty() || scanner.AtEnd()) return false;
    std::vector<double>* values = direction[0] == 'u' ? &mU : direction[0] == 'v' ? &mV : nullptr;
    if (!values) return true;
    double value = 0.0;
    while (scanner.Double(value)) values->push_back(value);
    return true;
}

}  // namespace zeqsdk_400
