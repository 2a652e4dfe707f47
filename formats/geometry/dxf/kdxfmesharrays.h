#ifndef ZEQ_FORMATS_GEOMETRY_DXF_KDXFMESHARRAYS_H
#define ZEQ_FORMATS_GEOMETRY_DXF_KDXFMESHARRAYS_H

#include <cstdint>
#include <vector>

#include "base/kzeqvector.h"

namespace zeqsdk_400 {

// The points and face records one mesh is built from: a layer's, a block's
// or one entity's. Welding finds the first point already there within 1e-6
// on each axis through a grid of cells, so that each point costs about the
// same however many there are.
class KDxfMeshArrays {
public:
    struct Face {
        int mCount;   // 2 for a segment, made a triangle (a, b, a) when built
        int mColor;   // the colour number, 0 for none
        int mFirst;   // into mIndices
    };

    // The point's index: with weld, that of the first equal point when there
    // is one, else a new one.
    int AddPoint(const KZeqVector4& point, bool weld);
    void AddFace(int color, const int* indices, int count);

    int PointCount() const { return static_cast<int>(mPoints.size()); }
    // Frees the welding index: no point is added after it.
    void ReleaseIndex() {
        std::vector<int>().swap(mTable);
        std::vector<int>().swap(mNext);
        mUsed = 0;
    }
    bool Empty() const { return mPoints.empty() && mFaces.empty(); }

    std::vector<KZeqVector4> mPoints;
    std::vector<Face> mFaces;
    std::vector<int> mIndices;
    bool mColored = false;  // some face has a colour number above 0

private:
    // The cell of a coordinate, and whether the point can be indexed at all.
    static bool Cell(const KZeqVector4& point, double offset, std::int64_t* cell);
    // The slot of a cell: the last point indexed in it, -1 for a free slot. A
    // slot holds only that point, its cell found again from it, so that the
    // index costs a few bytes a point.
    int* Find(const std::int64_t* cell, bool insert);
    void Index(int point);

    std::vector<int> mTable;
    std::size_t mUsed = 0;
    std::vector<int> mNext;  // per point: the point before it in its cell, -1 at the end
};

}  // namespace zeqsdk_400

#endif
