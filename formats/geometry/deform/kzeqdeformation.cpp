#include "formats/geometry/deform/kzeqdeformation.h"

#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqgeometryconverter.h"
#include "content/kzeqlink.h"
#include "content/kzeqshape.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// The entries of an array grouped by the control point they follow, so that
// one link pair reaches all of them; without a map entry k is point k.
class EntriesByPoint {
public:
    EntriesByPoint(int pointCount, int count, const int* controlPoints) : mCount(count), mMap(controlPoints) {
        if (!mMap) return;
        mStart.assign(static_cast<std::size_t>(pointCount) + 1, 0);
        for (int e = 0; e < count; ++e)
            if (InRange(mMap[e], pointCount)) ++mStart[static_cast<std::size_t>(mMap[e]) + 1];
        for (std::size_t k = 1; k < mStart.size(); ++k) mStart[k] += mStart[k - 1];
        mEntries.resize(static_cast<std::size_t>(mStart.back()));
        std::vector<int> next(mStart.begin(), mStart.end() - 1);
        for (int e = 0; e < count; ++e)
            if (InRange(mMap[e], pointCount)) mEntries[static_cast<std::size_t>(next[mMap[e]]++)] = e;
    }

    // Calls visit(entry) for every entry following point k.
    template <class Visit>
    void ForEach(int k, Visit&& visit) const {
        if (!mMap) {
            if (k < mCount) visit(k);
            return;
        }
        for (int i = mStart[static_cast<std::size_t>(k)]; i < mStart[static_cast<std::size_t>(k) + 1]; ++i)
            visit(mEntries[static_cast<std::size_t>(i)]);
    }

    static bool InRange(int k, int count) { return k >= 0 && k < count; }

private:
    int mCount;
    const int* mMap;
    std::vector<int> mStart;
    std::vector<int> mEntries;
};

// Binding space to current space of one link's points.
KZeqXMatrix VertexTransform(KZeqLink& link, const KZeqXMatrix& global, bool additive,
                            KZeqStaticPlacement& placement) {
    KZeqXMatrix referenceInit, referenceCurrent = global, linkInit;
    link.GetTransformMatrix(referenceInit);
    if (additive && link.GetAssociateModel()) {
        link.GetTransformAssociateModelMatrix(referenceInit);
        referenceCurrent = placement.GlobalPosition(*link.GetAssociateModel());
    }
    link.GetTransformLinkMatrix(linkInit);
    const KZeqXMatrix linkCurrent = placement.GlobalPosition(*link.GetLink());
    // Geometry at binding -> link space at binding; link space now -> geometry now.
    const KZeqXMatrix relativeInit = linkInit.Inverse() * referenceInit;
    const KZeqXMatrix relativeCurrent = referenceCurrent.Inverse() * linkCurrent;
    return relativeCurrent * relativeInit;
}

void SetXYZ(KZeqVector4& point, const KZeqVector4& value) {
    point[0] = value[0], point[1] = value[1], point[2] = value[2];
}

}  // namespace

void KZeqDeformation::ComputeShapeDeformation(KZeqGeometry* geometry, KZeqVector4* points, int count,
                                              const int* controlPoints) {
    if (!geometry || !points || count <= 0) return;
    const int n = geometry->GetControlPointsCount();
    const KZeqVector4* base = geometry->GetControlPoints();
    // Differences against the geometry's own points, never the partly blended ones.
    std::vector<KZeqVector4> offsets(static_cast<std::size_t>(count));
    bool moved = false;
    for (int s = 0; s < geometry->GetShapeCount(); ++s) {
        KZeqShape* shape = geometry->GetShape(s);
        const double weight = geometry->GetDefaultShape(s);
        if (!shape || weight == 0.0 || shape->GetControlPointsCount() < n) continue;
        const KZeqVector4* target = shape->GetControlPoints();
        for (int e = 0; e < count; ++e) {
            const int k = controlPoints ? controlPoints[e] : e;
            if (!EntriesByPoint::InRange(k, n)) continue;
            for (int axis = 0; axis < 3; ++axis) offsets[e][axis] += (target[k][axis] - base[k][axis]) * weight;
        }
        moved = true;
    }
    if (!moved) return;
    for (int e = 0; e < count; ++e)
        for (int axis = 0; axis < 3; ++axis) points[e][axis] += offsets[e][axis];
}

void KZeqDeformation::ComputeLinkDeformation(const KZeqXMatrix& global, KZeqGeometry* geometry, KZeqVector4* points,
                                             int count, const int* controlPoints, KZeqStaticPlacement* placement) {
    if (!geometry || !points || count <= 0 || geometry->GetLinkCount() == 0) return;
    // Without the writer's, one for this geometry alone.
    KZeqStaticPlacement own;
    if (!placement) placement = &own;
    const int n = geometry->GetControlPointsCount();
    const KZeqLink::ELinkMode mode = geometry->GetLink(0)->GetLinkMode();
    const bool additive = mode == KZeqLink::eADDITIVE;
    const EntriesByPoint entries(n, count, controlPoints);
    // Modes other than additive sum the weighted transforms of the entry as given.
    std::vector<KZeqVector4> sums(additive ? 0 : static_cast<std::size_t>(count));
    std::vector<double> weights(additive ? 0 : static_cast<std::size_t>(count), 0.0);
    for (int l = 0; l < geometry->GetLinkCount(); ++l) {
        KZeqLink* link = geometry->GetLink(l);
        if (!link || !link->GetLink()) continue;
        const KZeqXMatrix transform = VertexTransform(*link, global, additive, *placement);
        const int* indices = link->GetControlPointIndices();
        const double* linkWeights = link->GetControlPointWeights();
        for (int i = 0; i < link->GetControlPointIndicesCount(); ++i) {
            const int k = indices[i];
            const double w = linkWeights[i];
            if (w == 0.0 || !EntriesByPoint::InRange(k, n)) continue;
            if (additive) {
                // Each pair applies w x transform + (1 - w) x identity after those before it.
                KZeqXMatrix step = transform;
                MatrixScale(step, w);
                MatrixAddToDiagonal(step, 1.0 - w);
                entries.ForEach(k, [&](int e) { SetXYZ(points[e], step.MultT(points[e])); });
            } else {
                entries.ForEach(k, [&](int e) {
                    sums[e] += transform.MultT(points[e]) * w;
                    weights[e] += w;
                });
            }
        }
    }
    if (additive) return;
    for (int e = 0; e < count; ++e) {
        const double w = weights[e];
        if (w == 0.0) continue;
        KZeqVector4 p = sums[e];
        if (mode == KZeqLink::eNORMALIZE) p /= w;
        if (mode == KZeqLink::eTOTAL1) p += points[e] * (1.0 - w);
        SetXYZ(points[e], p);
    }
}

void KZeqDeformation::Deform(const KZeqXMatrix& global, KZeqGeometry* geometry, KZeqVector4* points, int count,
                             const int* controlPoints, KZeqStaticPlacement* placement) {
    if (!geometry) return;
    if (geometry->GetShapeCount() > 0) ComputeShapeDeformation(geometry, points, count, controlPoints);
    if (geometry->GetLinkCount() > 0) ComputeLinkDeformation(global, geometry, points, count, controlPoints, placement);
}

bool KZeqDeformation::TriangulateInPlace(KZeqSdkManager& manager, KZeqNode* node) {
    KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
    if (!geometry) return false;
    std::vector<double> weights;
    for (int s = 0; s < geometry->GetShapeCount(); ++s) weights.push_back(geometry->GetDefaultShape(s));
    KZeqGeometryConverter* converter = manager.CreateKZeqGeometryConverter();
    if (!converter) return false;
    const bool done = converter->TriangulateInPlace(node);
    manager.DestroyKZeqGeometryConverter(converter);
    KZeqGeometry* made = node->GetGeometry();
    if (done && made)
        for (int s = 0; s < made->GetShapeCount() && s < static_cast<int>(weights.size()); ++s)
            made->SetDefaultShape(s, weights[static_cast<std::size_t>(s)]);
    return done;
}

KZeqXMatrix KZeqDeformation::GetLocalPosition(KZeqNode* node) {
    if (!node) return KZeqXMatrix();
    KZeqVector4 t, r, s;
    return KZeqXMatrix(node->GetDefaultT(t), node->GetDefaultR(r), node->GetDefaultS(s));
}

KZeqXMatrix KZeqDeformation::GetGlobalPosition(KZeqNode* node) {
    if (!node) return KZeqXMatrix();
    KZeqStaticPlacement placement;
    return placement.GlobalPosition(*node);
}

void KZeqDeformation::MatrixScale(KZeqXMatrix& matrix, double factor) {
    for (auto& row : matrix.mData)
        for (double& value : row) value *= factor;
}

void KZeqDeformation::MatrixAddToDiagonal(KZeqXMatrix& matrix, double value) {
    for (int i = 0; i < 4; ++i) matrix.mData[i][i] += value;
}

void KZeqDeformation::MatrixAdd(KZeqXMatrix& matrix, const KZeqXMatrix& other) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) matrix.mData[i][j] += other.mData[i][j];
}

// ---- Static placement ---------------------------------------------------------------------------

KZeqXMatrix KZeqStaticPlacement::Of(KZeqNode& node) {
    if (mFull.FullTransformUp(node)) return mFull.Global(node) * node.EvaluateGeometricTransform();
    // The pivot sets' matrices of the node's whole tree once, then each node's as computed.
    KZeqNode* root =
        KZeqComputeDown(mRoots, node, [](KZeqNode& at, KZeqNode* const* parent) { return parent ? *parent : &at; });
    if (mComputed.insert(root).second) root->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true);
    KZeqXMatrix global(node.GetGlobalMatrix(KZeqNode::eSOURCE_SET, false));
    for (int i = 0; i < 4; ++i) global.mData[i][3] = i == 3 ? 1.0 : 0.0;
    return global;
}

const KZeqXMatrix& KZeqStaticPlacement::GlobalPosition(KZeqNode& node) {
    // From the top down, the parent's applied last.
    return KZeqComputeDown(mPositions, node, [](KZeqNode& at, const KZeqXMatrix* parent) {
        return (parent ? *parent : KZeqXMatrix()) * KZeqDeformation::GetLocalPosition(&at);
    });
}

}  // namespace zeqsdk_400
