// The converter's other conversions: patches to NURBS surfaces, NURBS
// surfaces with U and V swapped, and normals per polygon vertex emulated by
// one control point per polygon vertex.
#include <algorithm>
#include <utility>
#include <vector>

#include "content/kzeqgeometryconverter.h"
#include "content/kzeqgeometryconverter_internal.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "content/kzeqweightedmapping.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

using namespace geometryconversion;

namespace {

typedef KZeqLayerElement E;

// What a patch direction becomes. Bezier and B-spline directions are cubic,
// linear ones of order 2; a direction the patch leaves open is open.
struct NurbDirection {
    int mOrder;
    KZeqNurb::ENurbType mType;
};

NurbDirection DirectionOf(KZeqPatch::EPatchType type, bool closed) {
    const int order = type == KZeqPatch::eLINEAR ? 2 : 4;
    if (!closed || type == KZeqPatch::eBEZIER) return {order, KZeqNurb::eOPEN};
    return {order, type == KZeqPatch::eBSPLINE ? KZeqNurb::ePERIODIC : KZeqNurb::eCLOSED};
}

bool Supported(KZeqPatch::EPatchType type) {
    return type == KZeqPatch::eBEZIER || type == KZeqPatch::eBSPLINE || type == KZeqPatch::eLINEAR;
}

// The count knots of a direction. B-spline: 0, 1, 2, ...; linear: the ends
// doubled; Bezier: the ends four times and every segment joint three times.
// Bezier counts that are not whole segments still get exactly count
// clamped knots.
void FillKnots(double* knots, int count, KZeqPatch::EPatchType type) {
    if (!knots) return;
    for (int p = 0; p < count; ++p) {
        if (type == KZeqPatch::eBSPLINE)
            knots[p] = p;
        else if (p == 0)
            knots[p] = 0.0;
        else if (p == count - 1)
            knots[p] = knots[p - 1];
        else
            knots[p] = type == KZeqPatch::eLINEAR ? p - 1 : (p - 1) / 3;
    }
}

// Sets to 1 every fourth component at 0 or below.
void RaiseWeights(KZeqVector4* values, int count) {
    for (int i = 0; i < count; ++i)
        if (values[i][3] <= 0.0) values[i][3] = 1.0;
}

// The control points and every element by control point of a container,
// renumbered through map: new point k is old point map[k].
void RemapPoints(KZeqLayerContainer& container, const std::vector<int>& map) {
    const int count = container.GetControlPointsCount();
    const KZeqVector4* old = container.GetControlPoints();
    std::vector<KZeqVector4> points(map.size());
    for (std::size_t k = 0; k < map.size(); ++k)
        if (map[k] >= 0 && map[k] < count) points[k] = old[map[k]];
    const int size = static_cast<int>(points.size());
    container.InitControlPoints(size);
    if (size > 0 && container.GetControlPointsCount() == size)
        std::copy(points.begin(), points.end(), container.GetControlPoints());
    RemapElements(container, container, E::eBY_CONTROL_POINT, map);
}

// The transposition of a grid of countU x countV points: new point
// (i x countV + j) is old point (j x countU + i).
std::vector<int> Transposition(int countU, int countV) {
    std::vector<int> map(static_cast<std::size_t>(countU) * static_cast<std::size_t>(countV));
    for (int i = 0; i < countU; ++i)
        for (int j = 0; j < countV; ++j) map[static_cast<std::size_t>(i) * countV + j] = j * countU + i;
    return map;
}

}  // namespace

// ---- Patch to NURBS -------------------------------------------------------------------------------

KZeqNurb* KZeqGeometryConverter::CreateNurbFromPatch(KZeqPatch* patch) {
    if (!patch || !Supported(patch->GetPatchUType()) || !Supported(patch->GetPatchVType())) return nullptr;
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    if (!nurb) return nullptr;
    nurb->CopyLinks(patch);
    nurb->CopyShapes(patch);
    nurb->CopyLayers(patch);
    nurb->CopyPivot(patch);
    const NurbDirection u = DirectionOf(patch->GetPatchUType(), patch->GetUClosed());
    const NurbDirection v = DirectionOf(patch->GetPatchVType(), patch->GetVClosed());
    nurb->SetOrder(u.mOrder, v.mOrder);
    if (!nurb->InitControlPoints(patch->GetUCount(), u.mType, patch->GetVCount(), v.mType)) {
        mManager.DestroyKZeqNodeAttribute(nurb);
        return nullptr;
    }
    nurb->SetStep(patch->GetUStep(), patch->GetVStep());
    FillKnots(nurb->GetUKnotVector(), nurb->GetUKnotCount(), patch->GetPatchUType());
    FillKnots(nurb->GetVKnotVector(), nurb->GetVKnotCount(), patch->GetPatchVType());
    const int count = patch->GetControlPointsCount();
    nurb->KZeqLayerContainer::InitControlPoints(count);
    if (nurb->GetControlPointsCount() == count && count > 0) {
        std::copy(patch->GetControlPoints(), patch->GetControlPoints() + count, nurb->GetControlPoints());
        for (int i = 0; i < count; ++i) nurb->GetControlPoints()[i][3] = 1.0;
    }
    return nurb;
}

KZeqNurb* KZeqGeometryConverter::ConvertPatchToNurb(KZeqPatch* patch) {
    KZeqNurb* nurb = CreateNurbFromPatch(patch);
    if (nurb) CheckForZeroWeightInShape(nurb);
    return nurb;
}

bool KZeqGeometryConverter::ConvertPatchToNurbInPlace(KZeqNode* node) {
    KZeqPatch* patch = node ? node->GetPatch() : nullptr;
    KZeqNurb* nurb = patch ? ConvertPatchToNurb(patch) : nullptr;
    if (!nurb) return false;
    ReplaceAttribute(node, patch, nurb);
    return true;
}

void KZeqGeometryConverter::CheckForZeroWeightInShape(KZeqGeometry* geometry) {
    if (!geometry) return;
    for (int s = 0; s < geometry->GetShapeCount(); ++s) {
        KZeqShape* shape = geometry->GetShape(s);
        RaiseWeights(shape->GetControlPoints(), shape->GetControlPointsCount());
        for (int l = 0; l < shape->GetLayerCount(); ++l)
            if (KZeqLayerElementNormal* normals = shape->GetLayer(l)->GetNormals())
                RaiseWeights(normals->GetDirectArray().GetArray(), normals->GetDirectArray().GetCount());
    }
}

// ---- Flip -------------------------------------------------------------------------------------------

KZeqNurb* KZeqGeometryConverter::FlipNurb(KZeqNurb* nurb, bool swapUV, bool swapLinks) {
    if (!nurb) return nullptr;
    KZeqNurb* flipped = mManager.CreateKZeqNurb();
    if (!flipped) return nullptr;
    *flipped = *nurb;
    const int countU = nurb->GetUCount(), countV = nurb->GetVCount();
    const int grid = countU * countV;
    if (swapUV) {
        KZeqNurb& f = *flipped;
        std::swap(f.mUType, f.mVType);
        std::swap(f.mUCount, f.mVCount);
        std::swap(f.mUStep, f.mVStep);
        std::swap(f.mUOrder, f.mVOrder);
        std::swap(f.mUKnots, f.mVKnots);
        std::swap(f.mUMultiplicities, f.mVMultiplicities);
        // The points and all that follows them (elements by control point,
        // the shapes' points and elements) take the transposed numbering;
        // arrays not of the grid's size are left as they are.
        const std::vector<int> map = Transposition(countU, countV);
        if (f.GetControlPointsCount() == grid) RemapPoints(f, map);
        for (int s = 0; s < f.GetShapeCount(); ++s)
            if (f.GetShape(s)->GetControlPointsCount() == grid) RemapPoints(*f.GetShape(s), map);
    }
    if (swapLinks && grid > 0)
        for (int l = 0; l < flipped->GetLinkCount(); ++l) {
            KZeqLink* link = flipped->GetLink(l);
            int* indices = link->GetControlPointIndices();
            // Indices outside the grid name no point and are not moved onto one.
            for (int k = 0; k < link->GetControlPointIndicesCount(); ++k)
                if (indices[k] < grid) indices[k] = (indices[k] % countU) * countV + indices[k] / countU;
        }
    return flipped;
}

// ---- Normals by polygon vertex ------------------------------------------------------------------

void KZeqGeometryConverter::DuplicateControlPoints(KArrayTemplate<KZeqVector4>& points, KArrayTemplate<int>& indices) {
    RemapArray(points, points, std::vector<int>(indices.GetArray(), indices.GetArray() + indices.GetCount()), false);
}

bool KZeqGeometryConverter::EmulateNormalsByPolygonVertex(KZeqMesh* mesh) {
    if (!mesh) return false;
    const int vertexCount = mesh->mPolygonVertices.GetCount();
    const int pointCount = mesh->GetControlPointsCount();
    auto normalsOf = [](KZeqLayerContainer& container) -> KZeqLayerElementNormal* {
        KZeqLayer* first = container.GetLayer(0);
        return first ? first->GetNormals() : nullptr;
    };
    KZeqLayerElementNormal* normals = normalsOf(*mesh);
    if (!normals || normals->GetDirectArray().GetCount() != vertexCount) return false;
    const std::vector<int> map(mesh->mPolygonVertices.GetArray(), mesh->mPolygonVertices.GetArray() + vertexCount);
    for (int index : map)
        if (index < 0 || index >= pointCount) return false;
    for (int s = 0; s < mesh->GetShapeCount(); ++s) {
        KZeqShape* shape = mesh->GetShape(s);
        KZeqLayerElementNormal* shapeNormals = normalsOf(*shape);
        if (shape->GetControlPointsCount() != pointCount || !shapeNormals ||
            shapeNormals->GetDirectArray().GetCount() != vertexCount)
            return false;
    }

    // Elements by control point follow the points; the normals, by polygon
    // vertex until now, are then by control point as they stand.
    RemapPoints(*mesh, map);
    normals->SetMappingMode(E::eBY_CONTROL_POINT);
    for (int s = 0; s < mesh->GetShapeCount(); ++s) {
        KZeqShape* shape = mesh->GetShape(s);
        RemapPoints(*shape, map);
        normalsOf(*shape)->SetMappingMode(E::eBY_CONTROL_POINT);
    }

    // The old links leave the mesh (the manager keeps them); new ones give
    // each duplicate the weight of the point it copies.
    KArrayTemplate<KZeqLink*> links(256), made(256);
    for (int i = 0; i < mesh->GetLinkCount(); ++i) links.Add(mesh->GetLink(i));
    mesh->ClearLink();
    KZeqWeightedMapping mapping(pointCount, vertexCount);
    for (int i = 0; i < vertexCount; ++i) mapping.Add(map[static_cast<std::size_t>(i)], i, 1.0);
    ConvertLinks(links, pointCount, made, vertexCount, &mapping);
    for (int i = 0; i < made.GetCount(); ++i) mesh->AddLink(made[i]);

    for (int i = 0; i < vertexCount; ++i) mesh->mPolygonVertices[i] = i;
    return true;
}

}  // namespace zeqsdk_400
