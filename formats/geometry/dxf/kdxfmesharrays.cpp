#include "formats/geometry/dxf/kdxfmesharrays.h"

#include <cmath>

namespace zeqsdk_400 {

namespace {

constexpr double kTolerance = 1e-6;
// Cells much larger than the tolerance: a point's equals lie in its own cell
// or, near a border, in the next.
constexpr double kCell = 1e-3;
constexpr double kFarthest = 4e18;  // cell numbers beyond this share the last cell

std::int64_t CellOf(double value) {
    const double cell = std::floor(value / kCell);
    return cell > kFarthest ? std::int64_t(kFarthest) : cell < -kFarthest ? -std::int64_t(kFarthest) : std::int64_t(cell);
}

bool Equal(const KZeqVector4& a, const KZeqVector4& b) {
    return std::fabs(a[0] - b[0]) <= kTolerance && std::fabs(a[1] - b[1]) <= kTolerance &&
           std::fabs(a[2] - b[2]) <= kTolerance;
}

std::size_t Hash(const std::int64_t* cell) {
    std::uint64_t h = static_cast<std::uint64_t>(cell[0]) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<std::uint64_t>(cell[1]) * 0xC2B2AE3D27D4EB4Full + (h >> 29);
    h ^= static_cast<std::uint64_t>(cell[2]) * 0x165667B19E3779F9ull + (h >> 31);
    return static_cast<std::size_t>(h ^ (h >> 32));
}

}  // namespace

bool KDxfMeshArrays::Cell(const KZeqVector4& point, double offset, std::int64_t* cell) {
    for (int axis = 0; axis < 3; ++axis) {
        // A point with a NaN or an infinity equals nothing.
        if (!std::isfinite(point[axis])) return false;
        cell[axis] = CellOf(point[axis] + offset);
    }
    return true;
}

int* KDxfMeshArrays::Find(const std::int64_t* cell, bool insert) {
    if (mTable.empty()) {
        if (!insert) return nullptr;
        mTable.assign(64, -1);
    }
    std::int64_t at[3];
    if (insert && (mUsed + 1) * 2 > mTable.size()) {
        std::vector<int> old(mTable.size() * 2, -1);
        old.swap(mTable);
        mUsed = 0;
        for (const int head : old) {
            if (head < 0) continue;
            Cell(mPoints[static_cast<std::size_t>(head)], 0.0, at);
            *Find(at, true) = head, ++mUsed;
        }
    }
    const std::size_t mask = mTable.size() - 1;
    for (std::size_t slot = Hash(cell) & mask;; slot = (slot + 1) & mask) {
        int& head = mTable[slot];
        if (head < 0) return insert ? &head : nullptr;
        Cell(mPoints[static_cast<std::size_t>(head)], 0.0, at);
        if (at[0] == cell[0] && at[1] == cell[1] && at[2] == cell[2]) return &head;
    }
}

void KDxfMeshArrays::Index(int point) {
    mNext.push_back(-1);
    std::int64_t cell[3];
    if (!Cell(mPoints[static_cast<std::size_t>(point)], 0.0, cell)) return;
    int* head = Find(cell, true);
    if (*head < 0) ++mUsed;
    mNext[static_cast<std::size_t>(point)] = *head;
    *head = point;
}

int KDxfMeshArrays::AddPoint(const KZeqVector4& point, bool weld) {
    std::int64_t low[3], high[3];
    if (weld && Cell(point, -kTolerance, low) && Cell(point, kTolerance, high)) {
        // Every cell a point within the tolerance can lie in; the first such point wins.
        for (int axis = 0; axis < 3; ++axis)
            if (high[axis] > low[axis] + 1) high[axis] = low[axis] + 1;
        int found = -1;
        for (std::int64_t x = low[0]; x <= high[0]; ++x)
            for (std::int64_t y = low[1]; y <= high[1]; ++y)
                for (std::int64_t z = low[2]; z <= high[2]; ++z) {
                    const std::int64_t cell[3] = {x, y, z};
                    const int* head = Find(cell, false);
                    for (int at = head ? *head : -1; at >= 0; at = mNext[static_cast<std::size_t>(at)])
                        if ((found < 0 || at < found) && Equal(mPoints[static_cast<std::size_t>(at)], point)) found = at;
                }
        if (found >= 0) return found;
    }
    mPoints.push_back(point);
    Index(PointCount() - 1);
    return PointCount() - 1;
}

void KDxfMeshArrays::AddFace(int color, const int* indices, int count) {
    mFaces.push_back(Face{count, color, static_cast<int>(mIndices.size())});
    mIndices.insert(mIndices.end(), indices, indices + count);
    if (color > 0) mColored = true;
}

}  // namespace zeqsdk_400
