#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_KOBJRECORDS_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_KOBJRECORDS_H

#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "base/kstring.h"

namespace zeqsdk_400 {

// A list grown block by block: nothing is copied as it grows, short lists
// stay small (blocks double from 16 entries), and long ones keep at most one
// block of 16384 entries unused, where a vector would copy everything on each
// doubling and hold up to as much again in reserve.
template <class T>
class KObjBlocks {
public:
    std::size_t size() const { return mSize; }
    bool empty() const { return mSize == 0; }
    T& operator[](std::size_t i) { return mBlocks[Block(i)][Offset(i)]; }
    const T& operator[](std::size_t i) const { return mBlocks[Block(i)][Offset(i)]; }
    void push_back(const T& value) {
        if (mSize == mCapacity) {
            const std::size_t block = mSize < kFirst ? kFirst : mSize < kLarge ? mSize : kLarge;
            mBlocks.emplace_back(new T[block]);
            mCapacity += block;
        }
        (*this)[mSize++] = value;
    }
    // Drops the entries from count on (keeping the blocks).
    void resize_down(std::size_t count) {
        if (count < mSize) mSize = count;
    }
    void clear() {
        mBlocks.clear();
        mSize = mCapacity = 0;
    }

private:
    static constexpr std::size_t kFirst = 16;     // the first two blocks
    static constexpr std::size_t kLarge = 16384;  // every block from 16384 entries on
    static std::size_t Block(std::size_t i) {
        if (i < kFirst) return 0;
        if (i < kLarge) return static_cast<std::size_t>(63 - __builtin_clzll(i)) - 3;
        return i / kLarge + 10;
    }
    static std::size_t Offset(std::size_t i) {
        if (i < kFirst) return i;
        if (i < kLarge) return i - (std::size_t(1) << (63 - __builtin_clzll(i)));
        return i % kLarge;
    }

    std::vector<std::unique_ptr<T[]>> mBlocks;
    std::size_t mSize = 0;
    std::size_t mCapacity = 0;
};

// One corner of a face or surface: 0-based position, texture-coordinate and
// normal indices, -1 where absent. While a mesh is built the corner is
// rewritten in place with its control point and its texture-coordinate slot.
struct KIndexGroup {
    int mPosition = -1;
    int mTexture = -1;
    int mNormal = -1;
    bool operator==(const KIndexGroup& other) const {
        return mPosition == other.mPosition && mTexture == other.mTexture && mNormal == other.mNormal;
    }
};

// How many positions, texture coordinates and normals were read when a
// statement came: relative indices count back from there.
struct KObjCounts {
    int mPositions = 0;
    int mTextures = 0;
    int mNormals = 0;
};

// An OBJ index made 0-based: 1..count gives index - 1, -count..-1 counts back
// from the end of the list read so far; anything else (0, beyond the list)
// gives -1.
int ConvertIndex(int index, int count);

// A corner's text "p", "p/t", "p/t/n" or "p//n" (empty fields skipped,
// missing or unreadable ones 0), with its indices converted. False when the
// position index is 0 or unreadable.
bool ParseVertexGroup(std::string_view text, const KObjCounts& counts, KIndexGroup& group);

// One face: its corners lie at [mFirst, mFirst + mCount) of its mesh's
// corner list; mMaterial is the reader's material selection, -1 for none.
struct KObjFace {
    int mFirst = 0;
    int mCount = 0;
    int mMaterial = -1;
    bool mTextured = false;
    bool mAllNormals = true;
    bool mAllTextures = true;
};

// The faces of one group name, by smoothing group in ascending order, in the
// order they were read within each; the corners of all faces in one list.
class KObjMesh {
public:
    explicit KObjMesh(const char* name) : mName(name) {}

    // Appends the face parsed from a statement's text: corners separated by
    // blanks, at least three, every one valid; corners whose position lies
    // outside the positions read are dropped, and a face left without any is
    // too. False (nothing added) for a rejected face.
    bool AddFace(std::string_view text, const KObjCounts& counts, unsigned int smoothing, int material,
                 bool textured);

    int GetCount() const { return mCount; }
    const KString& GetName() const { return mName; }

    KString mName;
    KObjBlocks<KIndexGroup> mCorners;
    std::map<unsigned int, KObjBlocks<KObjFace>> mGroups;
    bool mAllNormals = true;
    bool mAllTextures = true;
    bool mAllTextured = true;
    bool mSomeTextured = false;

private:
    KObjBlocks<KObjFace>* mLastList = nullptr;  // the list of the last face's smoothing group
    unsigned int mLastSmoothing = 0;
    int mCount = 0;
};

// One free-form surface statement with its parameter values.
struct KObjSurf {
    enum ECurveType : int { eNONE = 0, eBMATRIX = 1, eBEZIER = 2, eBSPLINE = 3, eCARDINAL = 4, eTAYLOR = 5 };

    // "s0 s1 t0 t1" then corners: false for fewer than four numbers or an
    // invalid corner. Corners whose position lies outside are not listed.
    bool Parse(std::string_view text, const KObjCounts& counts);
    // "u" or "v" then values; false for fewer than two fields.
    bool ReadParm(std::string_view text);

    ECurveType mType = eNONE;
    bool mRational = false;
    int mDegreeU = 0;
    int mDegreeV = 0;
    int mMaterial = -1;
    double mS0 = 0.0, mS1 = 0.0, mT0 = 0.0, mT1 = 0.0;
    std::vector<int> mControlPoints;
    std::vector<double> mU;
    std::vector<double> mV;
};

}  // namespace zeqsdk_400

#endif
