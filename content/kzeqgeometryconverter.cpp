// Triangulation: meshes split into triangles, patches and NURBS surfaces
// tessellated into triangle meshes, and the shared machinery that carries
// layer elements, shapes and skin links to the new geometry.
#include "content/kzeqgeometryconverter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/ktriangulation.h"
#include "content/kzeqgeometryconverter_internal.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqnurbsurfaceevaluator.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "content/kzeqsurfaceevaluator.h"
#include "content/kzeqweightedmapping.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace geometryconversion {

void RemapArray(const KBaseArray& from, KBaseArray& to, const std::vector<int>& map, bool indices) {
    // Reading and writing one array needs the old items kept aside.
    std::unique_ptr<KBaseArray> kept;
    const KBaseArray* source = &from;
    if (&from == &to) {
        kept.reset(new KBaseArray(from));
        source = kept.get();
    }
    const int count = static_cast<int>(map.size());
    to.Clear();
    if (!to.SetCount(count)) return;
    const int size = to.GetItemSize();
    if (size != source->GetItemSize()) return;
    for (int k = 0; k < count; ++k) {
        const int at = map[static_cast<std::size_t>(k)];
        if (at >= 0 && at < source->GetCount())
            std::memcpy(to.GetItem(k), source->GetItem(at), static_cast<std::size_t>(size));
        else if (indices)
            *static_cast<int*>(to.GetItem(k)) = -1;
    }
}

void RemapElements(const KZeqLayerContainer& from, KZeqLayerContainer& to, KZeqLayerElement::EMappingMode mode,
                   const std::vector<int>& map) {
    typedef KZeqLayerElement E;
    const int layers = std::min(from.GetLayerCount(), to.GetLayerCount());
    for (int l = 0; l < layers; ++l)
        for (int t = E::eNORMAL; t < E::eLAST_ELEMENT_TYPE; ++t) {
            const E::ELayerElementType type = static_cast<E::ELayerElementType>(t);
            const E* source = from.GetLayer(l)->GetLayerElementOfType(type);
            E* target = to.GetLayer(l)->GetLayerElementOfType(type);
            if (!source || !target || source->GetMappingMode() != mode) continue;
            if (source->GetReferenceMode() == E::eDIRECT) {
                if ((type == E::eMATERIAL || type == E::eTEXTURE) && to.GetEntity()) continue;
                RemapArray(source->GetDirectArrayBase(), target->GetDirectArrayBase(), map, false);
            } else {
                RemapArray(source->GetIndexArray(), target->GetIndexArray(), map, true);
            }
        }
}

}  // namespace geometryconversion

using namespace geometryconversion;

namespace {

typedef KZeqLayerElement E;

struct EvaluatorEnd {
    void operator()(KZEQSurfaceEvaluator* evaluator) const { evaluator->Destroy(0); }
};
typedef std::unique_ptr<KZEQSurfaceEvaluator, EvaluatorEnd> EvaluatorPtr;

// A count, order or step read from a surface; a negative one evaluates nothing.
unsigned int NonNegative(int value) { return value < 0 ? 0u : static_cast<unsigned int>(value); }

// The grid of count points the evaluator reads: the container's own points
// when it has that many, else a copy padded with zero points.
double* GridSource(KZeqLayerContainer& container, int count, std::vector<KZeqVector4>& padded) {
    if (container.GetControlPointsCount() >= count) return Doubles(container.GetControlPoints());
    padded.assign(static_cast<std::size_t>(count), KZeqVector4());
    std::copy(container.GetControlPoints(), container.GetControlPoints() + container.GetControlPointsCount(),
              padded.begin());
    return Doubles(padded.data());
}

// U count x V count, 0 for negative counts.
int GridCount(int countU, int countV) {
    return countU > 0 && countV > 0 ? countU * countV : 0;  // the surfaces keep the product in int
}

// Per link: the destination elements it reaches and their summed weights.
// Kept between links so that a link costs what it touches, not the grid.
struct LinkScratch {
    std::vector<double> mWeights;
    std::vector<int> mTouched;
};

void ConvertLinkInto(int linkIndex, KZeqWeightedMapping& linkMapping, KZeqWeightedMapping& surfaceMapping,
                     KZeqLink* link, LinkScratch& scratch) {
    typedef KZeqWeightedMapping M;
    if (!link) return;
    const int count = surfaceMapping.GetElementCount(M::eDESTINATION);
    scratch.mWeights.assign(static_cast<std::size_t>(count > 0 ? count : 0), 0.0);
    scratch.mTouched.clear();
    const int relations = linkMapping.GetRelationCount(M::eSOURCE, linkIndex);
    for (int r = 0; r < relations; ++r) {
        const M::KElement point = linkMapping.GetRelation(M::eSOURCE, linkIndex, r);
        const int reached = surfaceMapping.GetRelationCount(M::eSOURCE, point.mIndex);
        for (int s = 0; s < reached; ++s) {
            const M::KElement vertex = surfaceMapping.GetRelation(M::eSOURCE, point.mIndex, s);
            if (vertex.mIndex < 0 || vertex.mIndex >= count) continue;
            double& weight = scratch.mWeights[static_cast<std::size_t>(vertex.mIndex)];
            if (weight == 0.0) scratch.mTouched.push_back(vertex.mIndex);
            weight += std::fabs(point.mWeight * vertex.mWeight);
        }
    }
    // In element order: a link reaching much of the grid scans it, a small one sorts what it reached.
    if (scratch.mTouched.size() > scratch.mWeights.size() / 16) {
        for (int vertex = 0; vertex < count; ++vertex)
            if (scratch.mWeights[static_cast<std::size_t>(vertex)] != 0.0)
                link->AddControlPointIndex(vertex, scratch.mWeights[static_cast<std::size_t>(vertex)]);
        return;
    }
    std::sort(scratch.mTouched.begin(), scratch.mTouched.end());
    for (std::size_t k = 0; k < scratch.mTouched.size(); ++k) {
        const int vertex = scratch.mTouched[k];
        const double weight = scratch.mWeights[static_cast<std::size_t>(vertex)];
        if ((k == 0 || vertex != scratch.mTouched[k - 1]) && weight != 0.0) link->AddControlPointIndex(vertex, weight);
    }
}

// Builds the triangles of one grid cell: v00 is the cell's first corner,
// v10 the next along U, v01 the next along V, v11 the opposite one. The
// cells that close a direction append their coordinates in another order
// (v00, v11, v01, v10), which the stored files carry.
class GridTriangles {
public:
    GridTriangles(KZeqMesh& mesh, KZeqLayerElementUV& uvs, double du, double dv, bool flip)
        : mMesh(mesh), mUVs(uvs.GetDirectArray()), mDu(du), mDv(dv), mFlip(flip) {}

    void Cell(int v00, int v10, int v01, int v11, unsigned int i, unsigned int j, bool closing) {
        const int base = mUVs.GetCount();
        const KZeqVector2 uv00 = UV(i, j), uv10 = UV(i + 1, j), uv01 = UV(i, j + 1), uv11 = UV(i + 1, j + 1);
        int at00 = base, at10 = base + 1, at01 = base + 2, at11 = base + 3;
        if (closing) std::swap(at10, at11);
        const KZeqVector2* order[4] = {&uv00, &uv10, &uv01, &uv11};
        if (closing) std::swap(order[1], order[3]);
        for (const KZeqVector2* uv : order) mUVs.Add(*uv);
        Triangle(v00, at00, v01, at01, v10, at10);
        Triangle(v10, at10, v01, at01, v11, at11);
    }

private:
    KZeqVector2 UV(unsigned int i, unsigned int j) const { return KZeqVector2(i / mDu, j / mDv); }
    // Flipped, the last two vertices swap.
    void Triangle(int a, int uvA, int b, int uvB, int c, int uvC) {
        if (mFlip) {
            std::swap(b, c);
            std::swap(uvB, uvC);
        }
        mMesh.BeginPolygon(-1, -1, -1);
        mMesh.AddPolygon(a, uvA);
        mMesh.AddPolygon(b, uvB);
        mMesh.AddPolygon(c, uvC);
        mMesh.EndPolygon();
    }

    KZeqMesh& mMesh;
    KArrayTemplate<KZeqVector2>& mUVs;
    double mDu, mDv;
    bool mFlip;
};

}  // namespace

// ---- Meshes ------------------------------------------------------------------------------------

KZeqMesh* KZeqGeometryConverter::TriangulateMesh(KZeqMesh* source) {
    if (!source) return nullptr;
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    if (!mesh) return nullptr;
    *mesh = *source;
    mesh->mPolygons.Clear();
    mesh->mPolygonVertices.Clear();

    // Where each new polygon and polygon vertex comes from: the elements
    // mapped by polygon or by polygon vertex (materials, textures, UVs,
    // normals, colours, groups) follow the triangles through these.
    const int* vertices = source->mPolygonVertices.GetArray();
    const int vertexCount = source->mPolygonVertices.GetCount();
    // Fewer than 3 vertices make no triangle; a record reaching past the
    // vertices is damaged.
    auto usable = [&](const KZeqMesh::KZeqPolygon& polygon) {
        return polygon.mSize >= 3 && polygon.mIndex >= 0 && polygon.mIndex <= vertexCount - polygon.mSize;
    };
    long long triangles = 0;
    for (int p = 0; p < source->GetPolygonCount(); ++p)
        if (usable(source->mPolygons[p])) triangles += source->mPolygons[p].mSize - 2;
    if (3 * triangles > INT_MAX) return mesh;
    std::vector<int> polygonFrom, vertexFrom, table;
    polygonFrom.reserve(static_cast<std::size_t>(triangles));
    vertexFrom.reserve(3 * static_cast<std::size_t>(triangles));
    mesh->mPolygons.Reserve(static_cast<int>(triangles));
    mesh->mPolygonVertices.Reserve(static_cast<int>(3 * triangles));
    for (int p = 0; p < source->GetPolygonCount(); ++p) {
        const KZeqMesh::KZeqPolygon polygon = source->mPolygons[p];
        if (!usable(polygon)) continue;
        table.resize(3 * static_cast<std::size_t>(polygon.mSize - 2));
        KTriangulation(table.data(), polygon.mSize);
        for (std::size_t t = 0; t < table.size(); t += 3) {
            mesh->mPolygons.Add(KZeqMesh::KZeqPolygon{mesh->mPolygonVertices.GetCount(), 3, polygon.mGroup});
            polygonFrom.push_back(p);
            for (std::size_t k = t; k < t + 3; ++k) {
                mesh->mPolygonVertices.Add(vertices[polygon.mIndex + table[k]]);
                vertexFrom.push_back(polygon.mIndex + table[k]);
            }
        }
    }
    RemapElements(*source, *mesh, E::eBY_POLYGON, polygonFrom);
    RemapElements(*source, *mesh, E::eBY_POLYGON_VERTEX, vertexFrom);
    return mesh;
}

// ---- Surfaces ----------------------------------------------------------------------------------

KZeqMesh* KZeqGeometryConverter::CreateMeshFromParametricSurface(KZeqGeometry* geometry) {
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    if (mesh && geometry) {
        mesh->CopyLayers(geometry);
        mesh->CopyPivot(geometry);
    }
    return mesh;
}

void KZeqGeometryConverter::InitializeWeightInControlPoints(KZeqLayerContainer* container) {
    if (!container) return;
    KZeqVector4* points = container->GetControlPoints();
    for (int i = 0; i < container->GetControlPointsCount(); ++i) points[i][3] = 1.0;
}

void KZeqGeometryConverter::InitializeWeightInNormals(KZeqLayerContainer* container) {
    KZeqLayer* layer = container ? container->GetLayer(0, E::eNORMAL) : nullptr;
    if (!layer) return;
    KArrayTemplate<KZeqVector4>& normals = layer->GetNormals()->GetDirectArray();
    for (int i = 0; i < normals.GetCount(); ++i) normals[i][3] = 1.0;
}

bool KZeqGeometryConverter::PrepareGrid(KZeqLayerContainer& target, KZEQSurfaceEvaluator& evaluator) {
    const unsigned long long count =
        static_cast<unsigned long long>(evaluator.GetCurvePointCountX()) * evaluator.GetCurvePointCountY();
    target.InitControlPoints(count <= INT_MAX ? static_cast<int>(count) : 0);
    target.InitNormals(0);
    const KZeqLayerElementNormal* normals = target.GetLayer(0)->GetNormals();
    if (count == 0 || target.GetControlPointsCount() != static_cast<int>(count) ||
        normals->GetDirectArray().GetCount() != static_cast<int>(count)) {
        target.InitControlPoints(0);
        target.InitNormals(0);
        return false;
    }
    evaluator.SetDestinationArray(Doubles(target.GetControlPoints()));
    evaluator.SetDestinationNormalArray(Doubles(target.GetNormals()));
    InitializeWeightInControlPoints(&target);
    InitializeWeightInNormals(&target);
    return true;
}

void KZeqGeometryConverter::Tessellate(KZeqGeometry& surface, KZeqMesh& mesh, KZEQSurfaceEvaluator& evaluator,
                                       int countU, int countV) {
    if (!PrepareGrid(mesh, evaluator)) return;
    // The mapping only serves the links: a surface without any is evaluated without one.
    std::unique_ptr<KZeqWeightedMapping> mapping;
    if (surface.GetLinkCount() > 0)
        mapping.reset(new KZeqWeightedMapping(surface.GetControlPointsCount(), mesh.GetControlPointsCount()));
    evaluator.EvaluateSurface(mapping.get());
    ConvertShapes(&surface, &mesh, &evaluator, countU, countV);
    if (mapping) ConvertLinks(&surface, &mesh, mapping.get());
    TriangulateContinuousSurface(&mesh, &evaluator, evaluator.GetCurvePointCountX(), evaluator.GetCurvePointCountY(),
                                 false);
}

KZeqMesh* KZeqGeometryConverter::TriangulatePatch(KZeqPatch* patch) {
    if (!patch) return nullptr;
    KZeqMesh* mesh = CreateMeshFromParametricSurface(patch);
    if (!mesh) return nullptr;
    EvaluatorPtr evaluator(ZEQCreateGeneralUniformSurface(patch->GetPatchUType(), patch->GetPatchVType()));
    if (!evaluator) return mesh;
    evaluator->SetEvaluationModeU(patch->GetUClosed() ? 1 : 0);
    evaluator->SetEvaluationModeV(patch->GetVClosed() ? 1 : 0);
    evaluator->SetEvaluationStepU(NonNegative(patch->GetUStep()));
    evaluator->SetEvaluationStepV(NonNegative(patch->GetVStep()));
    const int countU = patch->GetUCount(), countV = patch->GetVCount();
    std::vector<KZeqVector4> padded;
    evaluator->SetSourceArray(GridSource(*patch, GridCount(countU, countV), padded), NonNegative(countU),
                              NonNegative(countV));
    Tessellate(*patch, *mesh, *evaluator, countU, countV);
    return mesh;
}

KZeqMesh* KZeqGeometryConverter::TriangulateNurb(KZeqNurb* nurb) {
    if (!nurb) return nullptr;
    KZeqMesh* mesh = CreateMeshFromParametricSurface(nurb);
    if (!mesh) return nullptr;
    const int countU = nurb->GetUCount(), countV = nurb->GetVCount();
    const int count = GridCount(countU, countV);
    // Freed after the evaluator, which reads them to the end.
    std::vector<KZeqVector4> padded;
    std::unique_ptr<double[]> weights(new (std::nothrow) double[static_cast<std::size_t>(count) + 1]);
    std::unique_ptr<double[]> work(new (std::nothrow) double[3 * static_cast<std::size_t>(count) + 1]);
    if (!weights || !work) return mesh;
    EvaluatorPtr evaluator(
        KZEQNURBSurfaceEvaluatorCreate(NonNegative(nurb->GetUOrder()), NonNegative(nurb->GetVOrder())));
    if (!evaluator) return mesh;
    evaluator->SetEvaluationModeU(nurb->GetNurbUType() != KZeqNurb::eOPEN ? 1 : 0);
    evaluator->SetEvaluationModeV(nurb->GetNurbVType() != KZeqNurb::eOPEN ? 1 : 0);
    evaluator->SetEvaluationStepU(NonNegative(nurb->GetUStep()));
    evaluator->SetEvaluationStepV(NonNegative(nurb->GetVStep()));
    double* source = GridSource(*nurb, count, padded);
    evaluator->SetSourceArray(source, NonNegative(countU), NonNegative(countV));
    for (int i = 0; i < count; ++i) weights[i] = source[4 * static_cast<std::size_t>(i) + 3];
    evaluator->SetAuxSourceArray(1, nurb->GetUKnotVector());
    evaluator->SetAuxSourceArray(2, nurb->GetVKnotVector());
    evaluator->SetAuxSourceArray(0, weights.get());
    evaluator->SetAuxSourceArray(5, work.get());
    Tessellate(*nurb, *mesh, *evaluator, countU, countV);
    evaluator.reset();
    return mesh;
}

void KZeqGeometryConverter::TriangulateContinuousSurface(KZeqMesh* mesh, KZEQSurfaceEvaluator* evaluator,
                                                         unsigned int countX, unsigned int countY, bool flip) {
    // Fewer than two points either way is no cell; counts whose triangles
    // would not fit the mesh's int indices are refused alike.
    if (!mesh || !evaluator || countX < 2 || countY < 2) return;
    const bool closedU = evaluator->GetEvaluationModeU() == 1;
    const bool closedV = evaluator->GetEvaluationModeV() == 1;
    const unsigned long long X = countX, Y = countY;
    const unsigned long long cells = (X - 1 + closedU) * (Y - 1 + closedV);
    if (X * Y > INT_MAX || 6 * cells > static_cast<unsigned long long>(INT_MAX - mesh->mPolygonVertices.GetCount()))
        return;

    if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
    KZeqLayer* layer = mesh->GetLayer(0);
    if (!layer->GetUVs()) layer->SetUVs(new KZeqLayerElementUV);
    KZeqLayerElementUV& uvs = *layer->GetUVs();
    uvs.SetMappingMode(E::eBY_POLYGON_VERTEX);
    uvs.SetReferenceMode(E::eINDEX_TO_DIRECT);
    // Indices past the polygon vertices (kept from the surface's layers) name nothing.
    uvs.GetIndexArray().SetCount(mesh->mPolygonVertices.GetCount());
    if (static_cast<unsigned long long>(uvs.GetDirectArray().GetCount()) + 4 * cells > INT_MAX) return;
    uvs.GetDirectArray().Reserve(uvs.GetDirectArray().GetCount() + static_cast<int>(4 * cells));
    uvs.GetIndexArray().Reserve(mesh->mPolygonVertices.GetCount() + static_cast<int>(6 * cells));
    mesh->mPolygonVertices.Reserve(mesh->mPolygonVertices.GetCount() + static_cast<int>(6 * cells));
    mesh->mPolygons.Reserve(mesh->GetPolygonCount() + static_cast<int>(2 * cells));

    GridTriangles grid(*mesh, uvs, closedU ? countX : countX - 1.0, closedV ? countY : countY - 1.0, flip);
    const int x = static_cast<int>(countX), y = static_cast<int>(countY);
    for (int j = 0; j + 1 < y; ++j) {
        for (int i = 0; i + 1 < x; ++i) {
            const int c = j * x + i;
            grid.Cell(c, c + 1, c + x, c + x + 1, i, j, false);
        }
        if (closedU) {
            const int c = j * x + x - 1;  // the row's last point, joined to its first
            grid.Cell(c, c - x + 1, c + x, c + 1, x - 1, j, true);
        }
    }
    if (closedV) {
        const int last = (y - 1) * x;  // the last row, joined to row 0
        for (int i = 0; i + 1 < x; ++i) grid.Cell(last + i, last + i + 1, i, i + 1, i, y - 1, false);
        if (closedU) grid.Cell(last + x - 1, last, x - 1, 0, x - 1, y - 1, true);
    }
}

// ---- Shapes and links ----------------------------------------------------------------------------

void KZeqGeometryConverter::ConvertShapes(KZeqGeometry* source, KZeqGeometry* destination,
                                          KZEQSurfaceEvaluator* evaluator, int countU, int countV) {
    if (!source || !destination || !evaluator) return;
    std::vector<KZeqVector4> padded;
    for (int s = 0; s < source->GetShapeCount(); ++s) {
        KZeqShape* from = source->GetShape(s);
        evaluator->SetSourceArray(GridSource(*from, GridCount(countU, countV), padded), NonNegative(countU),
                                  NonNegative(countV));
        KZeqShape* shape = mManager.CreateKZeqShape();
        if (!shape) continue;
        *shape = *from;
        if (PrepareGrid(*shape, *evaluator)) evaluator->EvaluateSurface(nullptr);
        if (destination->AddShape(shape, source->GetShapeName(s)) < 0) mManager.DestroyKZeqShape(shape);
    }
}

void KZeqGeometryConverter::ConvertLinks(KZeqGeometry* source, KZeqGeometry* destination,
                                         KZeqWeightedMapping* mapping) {
    if (!source || !destination || source == destination) return;
    KArrayTemplate<KZeqLink*> links(256), made(256);
    for (int i = 0; i < source->GetLinkCount(); ++i) links.Add(source->GetLink(i));
    for (int i = 0; i < destination->GetLinkCount(); ++i) mManager.DestroyKZeqLink(destination->GetLink(i));
    destination->ClearLink();
    ConvertLinks(links, source->GetControlPointsCount(), made, destination->GetControlPointsCount(), mapping);
    for (int i = 0; i < made.GetCount(); ++i) destination->AddLink(made[i]);
}

void KZeqGeometryConverter::ConvertLinks(KArrayTemplate<KZeqLink*>& sourceLinks, int sourceCount,
                                         KArrayTemplate<KZeqLink*>& destinationLinks, int,
                                         KZeqWeightedMapping* mapping) {
    if (sourceLinks.GetCount() == 0 || !mapping) return;
    typedef KZeqWeightedMapping M;
    const KZeqLink::ELinkMode mode = sourceLinks[0] ? sourceLinks[0]->GetLinkMode() : KZeqLink::eADDITIVE;
    mapping->Normalize(M::eDESTINATION, true);
    KZeqWeightedMapping linkMapping(sourceLinks.GetCount(), sourceCount);
    BuildLinkToSourceMapping(sourceLinks, &linkMapping);
    if (mode == KZeqLink::eNORMALIZE) linkMapping.Normalize(M::eDESTINATION, true);
    LinkScratch scratch;
    for (int i = 0; i < sourceLinks.GetCount(); ++i) {
        KZeqLink* link = mManager.CreateKZeqLink();
        if (!link) continue;
        if (const KZeqLink* from = sourceLinks[i]) {
            link->SetLink(from->GetLink());
            link->SetAssociateModel(from->GetAssociateModel());
            link->SetUserData(from->GetUserDataID(), from->GetUserData());
            KZeqVector4 v;
            link->SetTransformT(from->GetTransformT(v));
            link->SetTransformR(from->GetTransformR(v));
            link->SetTransformS(from->GetTransformS(v));
            link->SetTransformLinkT(from->GetTransformLinkT(v));
            link->SetTransformLinkR(from->GetTransformLinkR(v));
            link->SetTransformLinkS(from->GetTransformLinkS(v));
            link->SetTransformAssociateModelT(from->GetTransformAssociateModelT(v));
            link->SetTransformAssociateModelR(from->GetTransformAssociateModelR(v));
            link->SetTransformAssociateModelS(from->GetTransformAssociateModelS(v));
        }
        link->SetLinkMode(mode == KZeqLink::eNORMALIZE ? KZeqLink::eTOTAL1 : mode);
        ConvertLinkInto(i, linkMapping, *mapping, link, scratch);
        destinationLinks.Add(link);
    }
}

void KZeqGeometryConverter::BuildLinkToSourceMapping(KArrayTemplate<KZeqLink*>& links, KZeqWeightedMapping* mapping) {
    if (!mapping) return;
    for (int i = 0; i < links.GetCount(); ++i) {
        KZeqLink* link = links[i];
        if (!link) continue;
        const int* indices = link->GetControlPointIndices();
        const double* weights = link->GetControlPointWeights();
        for (int k = 0; k < link->GetControlPointIndicesCount(); ++k) mapping->Add(i, indices[k], weights[k]);
    }
}

void KZeqGeometryConverter::ConvertLink(int linkIndex, KZeqWeightedMapping& linkMapping,
                                        KZeqWeightedMapping& surfaceMapping, KZeqLink* link) {
    LinkScratch scratch;
    ConvertLinkInto(linkIndex, linkMapping, surfaceMapping, link, scratch);
}

// ---- In place ------------------------------------------------------------------------------------

bool KZeqGeometryConverter::TriangulateInPlace(KZeqNode* node) {
    if (!node) return false;
    KZeqGeometry* old = nullptr;
    KZeqMesh* made = nullptr;
    if (KZeqMesh* mesh = node->GetMesh()) {
        old = mesh;
        made = TriangulateMesh(mesh);
    } else if (KZeqPatch* patch = node->GetPatch()) {
        old = patch;
        made = TriangulatePatch(patch);
    } else if (KZeqNurb* nurb = node->GetNurb()) {
        old = nurb;
        made = TriangulateNurb(nurb);
    }
    if (!made) return false;
    ReplaceAttribute(node, old, made);
    return true;
}

void KZeqGeometryConverter::ReplaceAttribute(KZeqNode* node, KZeqGeometry* old, KZeqGeometry* replacement) {
    // The new attribute's channels start empty: the animated shape weights
    // of the takes are copied across; the default take keeps its defaults.
    struct CurveEnd {
        void operator()(KFCurve* curve) const { delete curve; }
    };
    std::vector<std::unique_ptr<KFCurve, CurveEnd>> saved;
    const int takes = node->GetTakeNodeCount(), shapes = old->GetShapeCount();
    for (int t = 1; t < takes; ++t)
        for (int s = 0; s < shapes; ++s) {
            KFCurve* curve = old->GetShapeChannel(node->GetTakeNode(t), s);
            saved.emplace_back(curve ? curve->Copy() : nullptr);
        }
    node->SetNodeAttribute(replacement);
    std::size_t k = 0;
    for (int t = 1; t < takes; ++t)
        for (int s = 0; s < shapes; ++s, ++k) {
            KFCurve* curve = saved[k].get();
            KFCurve* to = curve && s < replacement->GetShapeCount()
                              ? replacement->GetShapeChannel(node->GetTakeNode(t), s)
                              : nullptr;
            if (to) to->CopyFrom(*curve, true);
        }
    mManager.DestroyKZeqNodeAttribute(old);
    while (!saved.empty()) saved.pop_back();
}

}  // namespace zeqsdk_400
