// Polygon meshes: points, polygons, normals, UV sets and vertex colours, and an empty blend-shape
// deformer for meshes with shapes. Polygons the host would drop (fewer than three distinct
// vertices, or a vertex out of range) are left out first, so that normals, UVs and colours stay
// paired with the polygons the host keeps.
#include <algorithm>
#include <string>
#include <vector>

#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/import/zeqtuloimport_meshpolygons.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

KeptPolygons KeepPolygons(KZeqMesh& mesh, int pointCount) {
    KeptPolygons kept;
    const int count = mesh.GetPolygonCount();
    kept.mPolygon.reserve(static_cast<std::size_t>(count));
    kept.mFirst.reserve(static_cast<std::size_t>(count));
    std::vector<int> seen;
    int first = 0;
    for (int p = 0; p < count; ++p) {
        const int size = std::max(0, mesh.GetPolygonSize(p));
        seen.clear();
        bool valid = true;
        for (int k = 0; k < size && valid; ++k) {
            const int v = mesh.GetPolygonVertex(p, k);
            valid = v >= 0 && v < pointCount;
            seen.push_back(v);
        }
        std::sort(seen.begin(), seen.end());
        const std::size_t distinct = static_cast<std::size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
        if (valid && distinct >= 3) {
            kept.mPolygon.push_back(p);
            kept.mFirst.push_back(first);
            kept.mFaceVertices += size;
        } else {
            ++kept.mDropped;
        }
        first += size;
    }
    return kept;
}

namespace {

std::string MeshName(const ZeqTuloNode& node) { return node.GetNameWithoutNameSpacePrefix().Buffer(); }

// Every face-vertex of the kept polygons whose value the element holds, as take(h, v, at): the host
// polygon h, the control point v and the value's place in the element's direct array.
template <class Element, class Take>
void ForEachFaceVertexValue(KZeqMesh& mesh, const KeptPolygons& kept, const Element& element, Take take) {
    const KZeqLayerElement::EMappingMode mode = element.GetMappingMode();
    for (std::size_t h = 0; h < kept.mPolygon.size(); ++h) {
        const int p = kept.mPolygon[h];
        const int size = mesh.GetPolygonSize(p);
        for (int k = 0; k < size; ++k) {
            const int v = mesh.GetPolygonVertex(p, k);
            const int at = ValueIndex(element, MappedEntry(mode, p, kept.mFirst[h] + k, v));
            if (at >= 0) take(static_cast<int>(h), v, at);
        }
    }
}

// Face-vertex normals of the kept polygons, or per-vertex normals when mapped by control point.
void SetNormals(KZeqMesh& mesh, TFnMesh& host, const KeptPolygons& kept) {
    KZeqLayer* layer = mesh.GetLayer(0);
    KZeqLayerElementNormal* normals = layer ? layer->GetNormals() : nullptr;
    if (!normals || normals->GetDirectArray().GetCount() == 0) return;
    const KArrayTemplate<KZeqVector4>& direct = normals->GetDirectArray();
    const KZeqLayerElement::EMappingMode mode = normals->GetMappingMode();
    if (mode == KZeqLayerElement::eBY_CONTROL_POINT) {
        TVectorArray values;
        TIntArray vertices;
        const int points = mesh.GetControlPointsCount();
        for (int i = 0; i < points; ++i) {
            const int at = ValueIndex(*normals, i);
            if (at < 0) continue;
            values.append(TVector(direct[at][0], direct[at][1], direct[at][2]));
            vertices.append(i);
        }
        host.setVertexNormals(values, vertices, TSpace::kObject);
        return;
    }
    if (mode == KZeqLayerElement::eNONE) return;
    TVectorArray values;
    TIntArray faces, vertices;
    values.setLength(static_cast<unsigned>(kept.mFaceVertices));
    faces.setLength(static_cast<unsigned>(kept.mFaceVertices));
    vertices.setLength(static_cast<unsigned>(kept.mFaceVertices));
    unsigned n = 0;
    ForEachFaceVertexValue(mesh, kept, *normals, [&](int h, int v, int at) {
        values[n] = TVector(direct[at][0], direct[at][1], direct[at][2]);
        faces[n] = h;
        vertices[n] = v;
        ++n;
    });
    values.setLength(n), faces.setLength(n), vertices.setLength(n);
    host.setFaceVertexNormals(values, faces, vertices, TSpace::kObject);
}

// UV layer i as the host set "uvSet" + (i + 1); the first renames the host's "map1".
void SetUVLayer(KZeqMesh& mesh, TFnMesh& host, const KeptPolygons& kept, int i, const TIntArray& counts,
                ZeqTuloImport& driver, const ZeqTuloNode& node) {
    KZeqLayer* layer = mesh.GetLayer(i, KZeqLayerElement::eUV);
    KZeqLayerElementUV* uvs = layer ? layer->GetUVs() : nullptr;
    if (!uvs || uvs->GetDirectArray().GetCount() == 0) return;
    const TString set(("uvSet" + std::to_string(i + 1)).c_str());
    if (i == 0)
        host.renameUVSet("map1", set);
    else
        host.createUVSet(set);

    const KArrayTemplate<KZeqVector2>& direct = uvs->GetDirectArray();
    const unsigned count = static_cast<unsigned>(direct.GetCount());
    TFloatArray u, v;
    u.setLength(count), v.setLength(count);
    for (unsigned k = 0; k < count; ++k) {
        u[k] = static_cast<float>(direct[static_cast<int>(k)][0]);
        v[k] = static_cast<float>(direct[static_cast<int>(k)][1]);
    }
    TStatus status = host.setUVs(u, v, &set);
    if (!status) status.perror("UVs set problems");

    const KZeqLayerElement::EMappingMode mode = uvs->GetMappingMode();
    if (mode == KZeqLayerElement::eNONE) return;
    TIntArray ids;
    ids.setLength(static_cast<unsigned>(kept.mFaceVertices));
    unsigned n = 0;
    bool complete = true;
    for (std::size_t h = 0; h < kept.mPolygon.size() && complete; ++h) {
        const int p = kept.mPolygon[h];
        const int size = mesh.GetPolygonSize(p);
        for (int k = 0; k < size && complete; ++k) {
            const int at = ValueIndex(*uvs, MappedEntry(mode, p, kept.mFirst[h] + k, mesh.GetPolygonVertex(p, k)));
            complete = at >= 0;
            ids[n++] = at;
        }
    }
    if (!complete) {
        const std::string line = "Mesh " + MeshName(node) + ": UV layer " + std::to_string(i + 1) +
                                 " names UVs it does not hold; its UVs are set but not assigned.";
        driver.LogLine(line.c_str());
        return;
    }
    status = host.assignUVs(counts, ids, &set);
    if (!status) status.perror("UV assign problems");
}

}  // namespace

void ZeqTuloImport::CreateMeshGeometry(ZeqTuloNode* node) {
    if (!node) return;
    TFnTransform transform;
    TDagPath path;
    if (!CreateNodeTransform(*node, "Cannot create Mesh Node", transform, path)) return;
    TStatus status;
    KZeqMesh* mesh = node->GetMesh();
    if (!mesh) return;

    const int pointCount = mesh->GetControlPointsCount();
    const KZeqVector4* source = mesh->GetControlPoints();
    const KeptPolygons kept = KeepPolygons(*mesh, pointCount);
    if (kept.mDropped > 0) {
        const std::string line = "Mesh " + MeshName(*node) + ": " + std::to_string(kept.mDropped) +
                                 (kept.mDropped == 1 ? " polygon" : " polygons") +
                                 " left out (fewer than three distinct vertices, or a vertex out of range).";
        LogLine(line.c_str());
    }

    TFloatPointArray points;
    points.setLength(static_cast<unsigned>(pointCount));
    for (int i = 0; i < pointCount; ++i)
        points[static_cast<unsigned>(i)] = TFloatPoint(static_cast<float>(source[i][0]),
                                                        static_cast<float>(source[i][1]),
                                                        static_cast<float>(source[i][2]), 1.0f);
    TIntArray counts, connects;
    counts.setLength(static_cast<unsigned>(kept.mPolygon.size()));
    connects.setLength(static_cast<unsigned>(kept.mFaceVertices));
    unsigned at = 0;
    for (std::size_t h = 0; h < kept.mPolygon.size(); ++h) {
        const int p = kept.mPolygon[h];
        const int size = mesh->GetPolygonSize(p);
        counts[static_cast<unsigned>(h)] = size;
        for (int k = 0; k < size; ++k) connects[at++] = mesh->GetPolygonVertex(p, k);
    }
    TFnMesh host;
    host.create(pointCount, static_cast<int>(kept.mPolygon.size()), points, counts, connects, path.node(), &status);
    if (!status) {
        status.perror("Cannot create Mesh");
        return;
    }
    points.clear();
    connects.clear();
    const int hostPolygons = host.numPolygons();
    if (hostPolygons != static_cast<int>(kept.mPolygon.size())) {
        // Kept polygons are the host's own: a difference here is the host's, reported as it stands.
        TString text("Mesh definition warning: the number of polygons from the source object (");
        text += static_cast<int>(kept.mPolygon.size());
        text += ") don't match in the destination mesh (";
        text += hostPolygons;
        text += ")\npossibly because of triangles defined with 2 vertices only.";
        TStatus(TStatus::kFailure).perror(text);
        return;
    }

    SetNormals(*mesh, host, kept);
    KZeqLayer* colors = mesh->GetLayer(0, KZeqLayerElement::eVERTEX_COLOR);
    if (colors && colors->GetVertexColors() && colors->GetVertexColors()->GetDirectArray().GetCount() > 0)
        SetVertexColors(mesh, host);
    const int uvLayers = mesh->GetLayerCount(KZeqLayerElement::eUV);
    for (int i = 0; i < uvLayers; ++i) SetUVLayer(*mesh, host, kept, i, counts, *this, *node);
    AddUserProperties(transform, node);
    host.updateSurface();
    if (mesh->GetShapeCount() > 0) {
        TFnBlendShapeDeformer deformer;
        deformer.create(path.node(), TFnBlendShapeDeformer::kLocalOrigin, &status);
    }
}

void ZeqTuloImport::SetVertexColors(KZeqMesh* mesh, TFnMesh& host) {
    KZeqLayer* layer = mesh ? mesh->GetLayer(0, KZeqLayerElement::eVERTEX_COLOR) : nullptr;
    KZeqLayerElementVertexColor* colors = layer ? layer->GetVertexColors() : nullptr;
    if (!colors || colors->GetDirectArray().GetCount() == 0) return;
    if (colors->GetMappingMode() == KZeqLayerElement::eNONE) return;
    const KeptPolygons kept = KeepPolygons(*mesh, mesh->GetControlPointsCount());
    // The host's polygons are the kept ones only when it holds as many.
    if (host.numPolygons() != static_cast<int>(kept.mPolygon.size())) return;
    const KArrayTemplate<KZeqColor>& direct = colors->GetDirectArray();
    TColorArray values;
    TIntArray faces, vertices;
    values.setLength(static_cast<unsigned>(kept.mFaceVertices));
    faces.setLength(static_cast<unsigned>(kept.mFaceVertices));
    vertices.setLength(static_cast<unsigned>(kept.mFaceVertices));
    unsigned n = 0;
    ForEachFaceVertexValue(*mesh, kept, *colors, [&](int h, int v, int at) {
        const KZeqColor& c = direct[at];
        values[n] = TColor(static_cast<float>(c.mRed), static_cast<float>(c.mGreen), static_cast<float>(c.mBlue),
                           static_cast<float>(c.mAlpha));
        faces[n] = h;
        vertices[n] = v;
        ++n;
    });
    values.setLength(n), faces.setLength(n), vertices.setLength(n);
    host.setFaceVertexColors(values, faces, vertices);
}
