// Mesh normals and hard edges: smooth normals, the winding test, and the split
// and merge of control points between normals by polygon vertex and normals
// by control point. Everything is linear in the mesh's size: per-point work
// goes through flat arrays sized once, equal positions are found through a
// grid of cells.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqshape.h"

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

KZeqLayerElementNormal* NormalsOf(KZeqLayerContainer& container) {
    KZeqLayer* layer = container.GetLayer(0);
    return layer ? layer->GetNormals() : nullptr;
}

// The smooth normal of a point from its corner sum and use count.
KZeqVector4 SmoothNormal(const double* sum, int uses) {
    if (uses == 0) return KZeqVector4(0.0, 0.0, 0.0, 1.0);
    KZeqVector4 normal(sum[0] / uses, sum[1] / uses, sum[2] / uses, 1.0);
    normal.Normalize();
    return normal;
}

// ---- Equal positions --------------------------------------------------------------------

// Points equal within the tolerance lie in the same or neighbouring cells of
// a grid a few tolerances wide; each point is compared only with the points
// of the cells its tolerance box touches.
class KPointGrid {
public:
    // Points with a coordinate that is not finite never equal anything and are left out.
    KPointGrid(const KZeqVector4* points, int count) : mPoints(points), mCellOf(count, -1) {
        std::size_t capacity = 16;
        while (capacity < 2 * static_cast<std::size_t>(count)) capacity *= 2;
        mTable.assign(capacity, -1);
        // Slots are random in a large table: the slot of a point some way
        // ahead is fetched while this one is inserted.
        constexpr int kAhead = 16;
        for (int i = 0; i < count; ++i) {
            if (i + kAhead < count && Finite(points[i + kAhead]))
                __builtin_prefetch(&mTable[Slot(KeyOf(points[i + kAhead]))]);
            if (Finite(points[i])) mCellOf[i] = Insert(KeyOf(points[i]));
        }
        // Each cell's points, by ascending index.
        mStart.assign(mKeys.size() + 1, 0);
        for (int cell : mCellOf)
            if (cell >= 0) ++mStart[cell + 1];
        for (std::size_t c = 0; c < mKeys.size(); ++c) mStart[c + 1] += mStart[c];
        mSorted.resize(mStart.back());
        std::vector<int> fill(mStart.begin(), mStart.end() - 1);
        for (int i = 0; i < count; ++i)
            if (mCellOf[i] >= 0) mSorted[fill[mCellOf[i]]++] = i;
    }

    // The points left in, cell by cell, each cell's by ascending index.
    const std::vector<int>& Sorted() const { return mSorted; }

    // The largest i below limit whose point equals point j; -1 when none.
    int LastEqualBefore(int j, int limit) const {
        if (mCellOf[j] < 0) return -1;
        const KZeqVector4& p = mPoints[j];
        std::int64_t low[3], high[3];
        for (int a = 0; a < 3; ++a) {
            // A box a little wider than the tolerance keeps rounding on the safe side.
            low[a] = Cell(p[a] - 1.5 * KZeqVector4::kEqualTolerance);
            high[a] = Cell(p[a] + 1.5 * KZeqVector4::kEqualTolerance);
        }
        int best = -1;
        for (std::int64_t x = low[0]; x <= high[0]; ++x)
            for (std::int64_t y = low[1]; y <= high[1]; ++y)
                for (std::int64_t z = low[2]; z <= high[2]; ++z) {
                    // The point's own cell is known: most boxes touch no other.
                    const KKey key{x, y, z};
                    const int cell = key == mKeys[mCellOf[j]] ? mCellOf[j] : Find(key);
                    if (cell < 0) continue;
                    const int* first = mSorted.data() + mStart[cell];
                    const int* at = std::lower_bound(first, mSorted.data() + mStart[cell + 1], limit);
                    // Downwards from the largest candidate: the first equal one is the cell's last.
                    while (at != first && *(at - 1) > best) {
                        --at;
                        if (mPoints[*at] == p) {
                            best = *at;
                            break;
                        }
                    }
                }
        return best;
    }

private:
    struct KKey {
        std::int64_t mX, mY, mZ;
        bool operator==(const KKey& o) const { return mX == o.mX && mY == o.mY && mZ == o.mZ; }
    };
    static constexpr double kCellSize = 16 * KZeqVector4::kEqualTolerance;
    // Far coordinates share the outermost cells: still correct, only slower there.
    static constexpr double kFarthestCell = 4611686018427387904.0;  // 2^62

    static KKey KeyOf(const KZeqVector4& p) { return KKey{Cell(p[0]), Cell(p[1]), Cell(p[2])}; }
    static bool Finite(const KZeqVector4& p) {
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    }
    // Cells are centred on multiples of their size, so that round coordinates
    // (whole numbers, halves, tenths) lie mid-cell and their boxes touch one cell.
    static std::int64_t Cell(double v) {
        const double cell = std::floor(v / kCellSize + 0.5);
        if (!(cell > -kFarthestCell)) return -static_cast<std::int64_t>(kFarthestCell);
        if (!(cell < kFarthestCell)) return static_cast<std::int64_t>(kFarthestCell);
        return static_cast<std::int64_t>(cell);
    }
    // Cell numbers are regular (multiples of the grid's spacing): every bit is mixed in.
    static std::uint64_t Mix(std::uint64_t h) {
        h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
        h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
        return h ^ (h >> 31);
    }
    std::size_t Slot(const KKey& key) const {
        const std::uint64_t h = Mix(Mix(Mix(static_cast<std::uint64_t>(key.mX)) ^ static_cast<std::uint64_t>(key.mY)) ^
                                    static_cast<std::uint64_t>(key.mZ));
        return static_cast<std::size_t>(h) & (mTable.size() - 1);
    }
    int Find(const KKey& key) const {
        for (std::size_t s = Slot(key);; s = (s + 1) & (mTable.size() - 1)) {
            if (mTable[s] < 0) return -1;
            if (mKeys[mTable[s]] == key) return mTable[s];
        }
    }
    int Insert(const KKey& key) {
        std::size_t s = Slot(key);
        for (; mTable[s] >= 0; s = (s + 1) & (mTable.size() - 1))
            if (mKeys[mTable[s]] == key) return mTable[s];
        mTable[s] = static_cast<int>(mKeys.size());
        mKeys.push_back(key);
        return mTable[s];
    }

    const KZeqVector4* mPoints;
    std::vector<int> mCellOf;  // by point; -1: left out
    std::vector<int> mTable;   // open addressing over mKeys
    std::vector<KKey> mKeys;
    std::vector<int> mStart;  // by cell, into mSorted
    std::vector<int> mSorted;
};

// Keeps the values of the points that stay (root[i] == i), moved down to
// their new positions to[i] (never above i); then size values, a shorter
// array (a shape with fewer points) filled with zeros.
template <class T>
void Compact(KArrayTemplate<T>& values, const std::vector<int>& root, const std::vector<int>& to, int size) {
    const int count = std::min(values.GetCount(), static_cast<int>(root.size()));
    int filled = 0;
    for (int i = 0; i < count; ++i)
        if (root[i] == i) {
            values[to[i]] = values[i];
            filled = to[i] + 1;
        }
    if (values.SetCount(filled)) values.SetCount(size);
}

}  // namespace

// ---- Smooth normals ----------------------------------------------------------------------

void KZeqMesh::SumCornerNormals(bool clockwise, double* sums, int* uses) {
    const KZeqVector4* points = GetControlPoints();
    const int count = GetControlPointsCount();
    const int* vertices = mPolygonVertices.GetArray();
    const int vertexCount = mPolygonVertices.GetCount();
    auto valid = [count](int c) { return c >= 0 && c < count; };
    for (int p = 0; p < GetPolygonCount(); ++p) {
        const KZeqPolygon& polygon = mPolygons[p];
        if (polygon.mIndex < 0 || polygon.mSize <= 0 || polygon.mIndex > vertexCount - polygon.mSize) continue;
        const int* v = vertices + polygon.mIndex;
        for (int i = 0; i < polygon.mSize; ++i) {
            const int c = v[i];
            const int a = v[i == 0 ? polygon.mSize - 1 : i - 1];
            const int b = v[i + 1 == polygon.mSize ? 0 : i + 1];
            if (!valid(c) || !valid(a) || !valid(b)) continue;
            const double* P = points[c].mData;
            const double ax = points[a][0] - P[0], ay = points[a][1] - P[1], az = points[a][2] - P[2];
            const double bx = points[b][0] - P[0], by = points[b][1] - P[1], bz = points[b][2] - P[2];
            // b x a counter-clockwise, a x b clockwise.
            const double sign = clockwise ? -1.0 : 1.0;
            double* sum = sums + 3 * static_cast<std::size_t>(c);
            sum[0] += sign * (by * az - bz * ay);
            sum[1] += sign * (bz * ax - bx * az);
            sum[2] += sign * (bx * ay - by * ax);
            ++uses[c];
        }
    }
}

void KZeqMesh::ComputeVertexNormals(bool clockwise) {
    const int count = GetControlPointsCount();
    std::vector<double> sums(3 * static_cast<std::size_t>(count), 0.0);
    std::vector<int> uses(count, 0);
    SumCornerNormals(clockwise, sums.data(), uses.data());
    InitNormals(0);
    KZeqVector4* normals = GetNormals();
    if (!normals || NormalsOf(*this)->GetDirectArray().GetCount() != count) return;
    for (int k = 0; k < count; ++k) normals[k] = SmoothNormal(&sums[3 * static_cast<std::size_t>(k)], uses[k]);
}

bool KZeqMesh::CheckIfVertexNormalsCCW() {
    KZeqLayerElementNormal* element = NormalsOf(*this);
    if (!element || element->GetDirectArray().GetCount() == 0) return false;
    const int count = GetControlPointsCount();
    std::vector<double> sums(3 * static_cast<std::size_t>(count), 0.0);
    std::vector<int> uses(count, 0);
    SumCornerNormals(false, sums.data(), uses.data());
    const KArrayTemplate<KZeqVector4>& stored = element->GetDirectArray();
    const int compared = std::min(count, stored.GetCount());
    for (int k = 0; k < compared; ++k)
        if ((stored[k] - SmoothNormal(&sums[3 * static_cast<std::size_t>(k)], uses[k])).Length() < 0.01) return true;
    return false;
}

// ---- Split -------------------------------------------------------------------------------

void KZeqMesh::BuildSplitList(KSplitList& list, ESplitObject object) {
    if (object != eNORMALS) return;
    const int count = GetControlPointsCount();
    const int* vertices = mPolygonVertices.GetArray();
    const int vertexCount = mPolygonVertices.GetCount();
    auto valid = [count](int c) { return c >= 0 && c < count; };
    // Counted first, so that every point's array is allocated once at its size.
    std::vector<int> uses(count, 0);
    for (int j = 0; j < vertexCount; ++j)
        if (valid(vertices[j])) ++uses[vertices[j]];
    const int base = list.GetCount();
    if (count <= 0 || list.AddMultiple(count) < 0) return;
    for (int c = 0; c < count; ++c) {
        auto* inner = new (std::nothrow) KArrayTemplate<KDuplicateVertex>(std::max(1, uses[c]));
        if (inner && uses[c] > 0 && !inner->Reserve(uses[c])) {
            delete inner;
            inner = nullptr;
        }
        list[base + c] = inner;
    }
    KZeqLayerElementNormal* element = NormalsOf(*this);
    const KArrayTemplate<KZeqVector4>* normals = element ? &element->GetDirectArray() : nullptr;
    int next = count;
    for (int p = 0; p < GetPolygonCount(); ++p) {
        const KZeqPolygon& polygon = mPolygons[p];
        for (int v = 0; v < polygon.mSize; ++v) {
            const int j = PolygonVertexIndex(p, v);
            if (j < 0 || j >= vertexCount || !valid(vertices[j])) continue;
            KArrayTemplate<KDuplicateVertex>* inner = list[base + vertices[j]];
            if (!inner) continue;
            KDuplicateVertex use{j, inner->GetCount() == 0 ? vertices[j] : next, KZeqVector4()};
            if (normals && j < normals->GetCount()) use.mNormal = (*normals)[j];
            if (inner->Add(use) >= 0 && use.mControlPoint == next) ++next;
        }
    }
}

void KZeqMesh::SplitPointsForHardEdge(KSplitList& list) {
    const int count = GetControlPointsCount();
    const int vertexCount = mPolygonVertices.GetCount();
    const int listed = std::min(list.GetCount(), count);
    // The new points a list of this mesh can name: the count on to one per later use.
    long long later = 0;
    for (int k = 0; k < listed; ++k)
        if (list[k] && list[k]->GetCount() > 1) later += list[k]->GetCount() - 1;
    const long long limit = std::min<long long>(static_cast<long long>(count) + later, INT_MAX);
    auto usable = [&](const KDuplicateVertex& use) {
        return use.mPolygonVertex >= 0 && use.mPolygonVertex < vertexCount && use.mControlPoint >= count &&
               use.mControlPoint < limit;
    };
    int newCount = count;
    for (int k = 0; k < listed; ++k)
        for (int u = 1; list[k] && u < list[k]->GetCount(); ++u)
            if (usable((*list[k])[u])) newCount = std::max(newCount, (*list[k])[u].mControlPoint + 1);
    // The arrays grow first, so that nothing refers to a point that could not be made.
    KArrayTemplate<KZeqVector4>& points = mControlPoints;
    KZeqLayerElementNormal* element = NormalsOf(*this);
    KArrayTemplate<KZeqVector4>* normals = element ? &element->GetDirectArray() : nullptr;
    if (!points.SetCount(newCount) || (normals && !normals->SetCount(newCount))) return;

    // Links: every later use gets the weight of the point it copies.
    for (int l = 0; l < GetLinkCount(); ++l) {
        KZeqLink* link = GetLink(l);
        const int pairs = link ? link->GetControlPointIndicesCount() : 0;
        for (int i = 0; i < pairs; ++i) {
            const int c = link->mIndices[i];
            const double weight = link->mWeights[i];
            if (c < 0 || c >= listed || !list[c]) continue;
            for (int u = 1; u < list[c]->GetCount(); ++u)
                if (usable((*list[c])[u])) link->AddControlPointIndex((*list[c])[u].mControlPoint, weight);
        }
    }

    // Points, normals and polygon vertices.
    for (int k = 0; k < listed; ++k) {
        const KArrayTemplate<KDuplicateVertex>* uses = list[k];
        if (!uses || uses->GetCount() == 0) continue;
        if (normals) (*normals)[k] = (*uses)[0].mNormal;
        for (int u = 1; u < uses->GetCount(); ++u) {
            const KDuplicateVertex& use = (*uses)[u];
            if (!usable(use)) continue;
            points[use.mControlPoint] = points[k];
            if (normals) (*normals)[use.mControlPoint] = use.mNormal;
            mPolygonVertices[use.mPolygonVertex] = use.mControlPoint;
        }
    }

    // Shapes: each copy takes the shape's point (and normal) of the point it copies.
    auto follow = [&](KArrayTemplate<KZeqVector4>& values) {
        const int kept = std::min(values.GetCount(), listed);
        if (!values.SetCount(kept) || !values.SetCount(newCount)) return;
        for (int k = 0; k < kept; ++k)
            for (int u = 1; list[k] && u < list[k]->GetCount(); ++u)
                if (usable((*list[k])[u])) values[(*list[k])[u].mControlPoint] = values[k];
    };
    for (int s = 0; s < GetShapeCount(); ++s) {
        KZeqShape* shape = GetShape(s);
        if (!shape) continue;
        follow(shape->mControlPoints);
        if (KZeqLayerElementNormal* shapeNormals = NormalsOf(*shape)) {
            follow(shapeNormals->GetDirectArray());
            shapeNormals->SetMappingMode(E::eBY_CONTROL_POINT);
            shapeNormals->SetReferenceMode(E::eDIRECT);
        }
    }
    SetNormalsMappingType(eBY_CONTROL_POINT);
}

// ---- Merge -------------------------------------------------------------------------------

bool KZeqMesh::BuildMergeList(KArrayTemplate<int>& list, ESplitObject object, bool all) {
    if (object != eNORMALS) return false;
    const int count = GetControlPointsCount();
    if (!list.SetCount(count)) return false;
    // First the last earlier equal point of every point (-1: none), cell by
    // cell so that the neighbouring cells stay in the cache.
    const KPointGrid grid(GetControlPoints(), count);
    for (int i = 0; i < count; ++i) list[i] = -1;
    for (int j : grid.Sorted()) list[j] = grid.LastEqualBefore(j, j);
    int first = INT_MAX;  // the first point with an equal earlier one
    for (int j = 0; j < count && first == INT_MAX; ++j)
        if (list[j] >= 0) first = j;
    // Without all, only points before that first duplicate are joined to.
    if (!all && first != INT_MAX)
        for (int j : grid.Sorted())
            if (j > first && list[j] >= first) list[j] = grid.LastEqualBefore(j, first);
    // An entry no point claims names its own point, also past the first duplicate.
    for (int i = 0; i < count; ++i)
        if (list[i] < 0) list[i] = i;
    return first != INT_MAX;
}

void KZeqMesh::MergePointsForPolygonVerteNormals(KArrayTemplate<int>& list) {
    const int count = GetControlPointsCount();
    // Where each point ends: an entry counts only when it names an earlier
    // point (BuildMergeList makes no other kind), and chains are followed.
    std::vector<int> root(count);
    for (int i = 0; i < count; ++i) {
        const int entry = i < list.GetCount() ? list[i] : i;
        root[i] = entry >= 0 && entry < i ? root[entry] : i;
    }
    std::vector<int> to(count);
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (root[i] == i) to[i] = kept++;
    if (kept == count) return;

    // Each polygon vertex keeps the normal of its point before the join.
    const int vertexCount = mPolygonVertices.GetCount();
    KZeqLayerElementNormal* element = NormalsOf(*this);
    KArrayTemplate<KZeqVector4> byVertex(1024);
    if (element && !byVertex.SetCount(vertexCount)) return;
    for (int j = 0; j < vertexCount; ++j) {
        const int c = mPolygonVertices[j];
        if (c < 0 || c >= count) continue;
        if (element && c < element->GetDirectArray().GetCount()) byVertex[j] = element->GetDirectArray()[c];
        mPolygonVertices[j] = to[root[c]];
    }
    if (element) {
        element->GetDirectArray() = byVertex;
        element->SetReferenceMode(E::eDIRECT);
        SetNormalsMappingType(eBY_POLYGON_VERTEX);
    }

    for (int l = 0; l < GetLinkCount(); ++l) {
        KZeqLink* link = GetLink(l);
        if (!link) continue;
        int pairs = 0;
        for (int i = 0; i < link->mIndices.GetCount(); ++i) {
            const int c = link->mIndices[i];
            if (c < 0 || c >= count || root[c] != c) continue;
            link->mIndices[pairs] = to[c];
            link->mWeights[pairs++] = link->mWeights[i];
        }
        link->mIndices.SetCount(pairs);
        link->mWeights.SetCount(pairs);
    }

    Compact(mControlPoints, root, to, kept);
    for (int s = 0; s < GetShapeCount(); ++s) {
        KZeqShape* shape = GetShape(s);
        if (!shape) continue;
        Compact(shape->mControlPoints, root, to, kept);
        if (KZeqLayerElementNormal* shapeNormals = NormalsOf(*shape)) {
            Compact(shapeNormals->GetDirectArray(), root, to, kept);
            shapeNormals->SetMappingMode(E::eBY_CONTROL_POINT);
            shapeNormals->SetReferenceMode(E::eDIRECT);
        }
    }
}

}  // namespace zeqsdk_400
