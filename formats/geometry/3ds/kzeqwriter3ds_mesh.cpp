// A scene mesh to a 3DS triangle mesh: vertices in file axes, polygons split
// into triangles, texture coordinates, smoothing groups for flat faces, and
// one material group (with its 3DS material) per material and texture pair.

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/ktriangulation.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

constexpr int kMaxCount3ds = 65535;

// The value an element gives for a control point or polygon vertex, by its
// mapping and reference modes; false when it has none there.
template <class T>
bool ElementValue(const KZeqLayerElementTemplate<T>* element, int controlPoint, int polygonVertex, int polygon,
                  T& out) {
    if (!element) return false;
    int at = -1;
    switch (element->GetMappingMode()) {
        case KZeqLayerElement::eBY_CONTROL_POINT: at = controlPoint; break;
        case KZeqLayerElement::eBY_POLYGON_VERTEX: at = polygonVertex; break;
        case KZeqLayerElement::eBY_POLYGON: at = polygon; break;
        case KZeqLayerElement::eALL_SAME: at = 0; break;
        default: return false;
    }
    if (element->GetReferenceMode() != KZeqLayerElement::eDIRECT) {
        const KArrayTemplate<int>& indices = element->GetIndexArray();
        if (at < 0 || at >= indices.GetCount()) return false;
        at = indices[at];
    }
    const KArrayTemplate<T>& direct = element->GetDirectArray();
    if (at < 0 || at >= direct.GetCount()) return false;
    out = direct[at];
    return true;
}

constexpr int kNoEntry = -2;

// An index of a material or texture element for a polygon (its index
// array); kNoEntry when the element holds none for it.
int ElementIndex(const KZeqLayerElement* element, int polygon, int controlPoint) {
    if (!element) return kNoEntry;
    const KArrayTemplate<int>& indices = element->GetIndexArray();
    int at = -1;
    switch (element->GetMappingMode()) {
        case KZeqLayerElement::eALL_SAME: at = 0; break;
        case KZeqLayerElement::eBY_POLYGON: at = polygon; break;
        case KZeqLayerElement::eBY_CONTROL_POINT: at = controlPoint; break;
        default: return kNoEntry;
    }
    return at >= 0 && at < indices.GetCount() ? indices[at] : kNoEntry;
}

// Row-vector rotation of Euler XYZ degrees with row i scaled by s[i].
void RotationScale(double (*m)[3], const double* r, const double* s) {
    const double D = 0.017453292519943295;
    const double a = r[0] * D, b = r[1] * D, c = r[2] * D;
    const double rows[3][3] = {
        {std::cos(b) * std::cos(c), std::cos(b) * std::sin(c), -std::sin(b)},
        {std::sin(a) * std::sin(b) * std::cos(c) - std::cos(a) * std::sin(c),
         std::sin(a) * std::sin(b) * std::sin(c) + std::cos(a) * std::cos(c), std::sin(a) * std::cos(b)},
        {std::cos(a) * std::sin(b) * std::cos(c) + std::sin(a) * std::sin(c),
         std::cos(a) * std::sin(b) * std::sin(c) - std::sin(a) * std::cos(c), std::cos(a) * std::cos(b)}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = rows[i][j] * s[i];
}

}  // namespace

KZeqMesh* KZeqWriter3DS::VertexToPoint(KZeqMesh* mesh) {
    if (!mesh) return nullptr;
    KZeqMesh* split = mManager.CreateKZeqMesh();
    if (!split) return nullptr;
    KZeqLayer* layer = mesh->GetLayer(0);
    const KZeqLayerElementMaterial* materials = layer ? layer->GetMaterials() : nullptr;
    const KZeqLayerElementTexture* textures = layer ? layer->GetTextures() : nullptr;
    const KZeqLayerElementUV* uvs = layer ? layer->GetUVs() : nullptr;
    const KZeqLayerElementNormal* normals = layer ? layer->GetNormals() : nullptr;
    const int polygons = mesh->GetPolygonCount();
    int corners = 0;
    for (int p = 0; p < polygons; ++p) corners += mesh->GetPolygonSize(p);
    split->InitControlPoints(corners);
    if (normals) split->InitNormals(0);
    const bool byPolygonMaterial = materials && materials->GetMappingMode() == KZeqLayerElement::eBY_POLYGON;
    const bool byPolygonTexture = textures && textures->GetMappingMode() == KZeqLayerElement::eBY_POLYGON;
    split->InitMaterialIndices(byPolygonMaterial ? KZeqMesh::eBY_POLYGON : KZeqMesh::eALL_SAME);
    if (textures) split->InitTextureIndices(byPolygonTexture ? KZeqMesh::eBY_POLYGON : KZeqMesh::eALL_SAME);
    // Same materials and textures in the same order, so that indices carry over.
    for (int i = 0; i < mesh->GetMaterialCount(0); ++i) split->AddMaterial(mesh->GetMaterial(i, 0));
    for (int i = 0; i < mesh->GetTextureCount(0); ++i) split->AddTexture(mesh->GetTexture(i, 0));
    split->InitTextureUVIndices(KZeqMesh::eBY_CONTROL_POINT);
    KArrayTemplate<KZeqVector2>& splitUVs = split->GetLayer(0)->GetUVs()->GetDirectArray();
    splitUVs.SetCount(corners);
    const KZeqVector4* points = mesh->GetControlPoints();
    KZeqVector4* splitPoints = split->GetControlPoints();
    KZeqVector4* splitNormals = split->GetNormals();
    int next = 0;
    for (int p = 0; p < polygons; ++p) {
        const int material = byPolygonMaterial ? std::max(ElementIndex(materials, p, -1), -1) : 0;
        const int texture = byPolygonTexture ? std::max(ElementIndex(textures, p, -1), -1) : 0;
        KZeqTexture* used = byPolygonTexture ? mesh->GetTexture(texture, 0) : nullptr;
        const bool swap = used && used->GetSwapUV();
        split->BeginPolygon(material, texture, -1);
        for (int v = 0; v < mesh->GetPolygonSize(p); ++v, ++next) {
            const int cp = mesh->GetPolygonVertex(p, v);
            splitPoints[next] = points && cp >= 0 && cp < mesh->GetControlPointsCount() ? points[cp] : KZeqVector4();
            KZeqVector4 normal;
            if (splitNormals && ElementValue(normals, cp, next, p, normal)) splitNormals[next] = normal;
            KZeqVector2 uv;
            if (ElementValue(uvs, cp, next, p, uv)) splitUVs[next] = swap ? KZeqVector2(uv[1], uv[0]) : uv;
            split->AddPolygon(next);
        }
        split->EndPolygon();
    }
    return split;
}

std::string KZeqWriter3DS::UniqueMaterialName(const std::string& full) {
    auto known = mMaterialNames.find(full);
    if (known != mMaterialNames.end()) return known->second;
    std::string name = full.size() <= 14 ? full : full.substr(0, 15);
    // Two different names cut to the same text are numbered apart.
    for (int n = 1; mMaterialNamesGiven.count(name) != 0; ++n) {
        const std::string number = std::to_string(n);
        name = full.substr(0, 15 - number.size()) + number;
    }
    mMaterialNamesGiven.insert(name);
    mMaterialNames.emplace(full, name);
    return name;
}

mesh3ds* KZeqWriter3DS::ConvMeshZeqto3DS(KZeqMesh* sceneMesh, const KZeqVector4& t, const KZeqVector4& r,
                                         const KZeqVector4& s, const char* name, const KZeqXMatrix* geometric) {
    if (!sceneMesh) return nullptr;
    KZeqMesh* mesh = sceneMesh;
    const bool texturing = mTextureMapping && sceneMesh->GetTextureCount(0) > 0;
    if (texturing && mUVPerPolygon && sceneMesh->GetTextureUVMappingType() == KZeqMesh::eBY_POLYGON_VERTEX) {
        // Converted from a split copy: the scene's mesh keeps its points, which shapes and links index.
        mesh = VertexToPoint(sceneMesh);
        if (!mesh) return nullptr;
    }
    struct CopyEnd {
        KZeqSdkManager& mManager;
        KZeqMesh* mCopy;
        ~CopyEnd() {
            if (mCopy) mManager.DestroyKZeqNodeAttribute(mCopy);
        }
    } copyEnd{mManager, mesh != sceneMesh ? mesh : nullptr};

    const int polygons = mesh->GetPolygonCount(), points = mesh->GetControlPointsCount();
    if (polygons == 0 || points == 0) return nullptr;
    long long triangles = 0;
    for (int p = 0; p < polygons; ++p) triangles += mesh->GetPolygonSize(p) >= 3 ? mesh->GetPolygonSize(p) - 2 : 0;
    if (points > kMaxCount3ds || triangles > kMaxCount3ds) {
        mMessage += (std::string("Mesh \"") + name + "\" has " + std::to_string(points) + " vertices and " +
                     std::to_string(triangles) + " triangles; a 3DS mesh holds at most 65535 of each: not written.\n")
                        .c_str();
        return nullptr;
    }
    ++mMeshCount;
    mesh3ds* record = nullptr;
    InitMeshObj3ds(&record, static_cast<std::uint16_t>(points), static_cast<std::uint16_t>(triangles), 0xFFFF);
    if (Stop3ds() || !record || !record->vertices || (triangles > 0 && !record->faces)) {
        RelMeshObj3ds(&record);
        return nullptr;
    }
    CopyName3ds(record->name, sizeof(record->name), name);

    double ft[3], fr[3], fs[3], m[3][3];
    ConvTZeqto3DS(ft, t);
    ConvRZeqto3DS(fr, r);
    ConvSZeqto3DS(fs, s);
    RotationScale(m, fr, fs);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) record->localmatrix[i * 3 + j] = static_cast<float>(m[i][j]);
    for (int j = 0; j < 3; ++j) record->localmatrix[9 + j] = static_cast<float>(ft[j]);

    // Vertices at the node's base transform, in file axes.
    const double sr[3] = {r[0], r[1], r[2]}, ss[3] = {s[0], s[1], s[2]};
    RotationScale(m, sr, ss);
    const KZeqVector4* source = mesh->GetControlPoints();
    // The node's own geometric transform is the mesh's shape: it goes into the points.
    std::vector<KZeqVector4> shaped;
    if (geometric) {
        shaped.reserve(static_cast<std::size_t>(points));
        for (int i = 0; i < points; ++i) shaped.push_back(geometric->MultT(source[i]));
        source = shaped.data();
    }
    std::vector<KZeqVector4> placed(static_cast<std::size_t>(points));
    for (int i = 0; i < points; ++i) {
        KZeqVector4& v = placed[static_cast<std::size_t>(i)];
        for (int j = 0; j < 3; ++j) v[j] = source[i][0] * m[0][j] + source[i][1] * m[1][j] + source[i][2] * m[2][j] + t[j];
        record->vertices[i] = point3ds{static_cast<float>(v[0]), static_cast<float>(-v[2]), static_cast<float>(v[1])};
    }

    KZeqLayer* layer = mesh->GetLayer(0);
    const KZeqLayerElementUV* uvs = layer ? layer->GetUVs() : nullptr;
    const KZeqLayerElement::EMappingMode uvMapping =
        uvs ? uvs->GetMappingMode() : KZeqLayerElement::eNONE;
    if (texturing && record->texverts) {
        if (uvMapping == KZeqLayerElement::eBY_CONTROL_POINT) {
            const KArrayTemplate<KZeqVector2>& direct = uvs->GetDirectArray();
            for (int i = 0; i < points && i < direct.GetCount(); ++i)
                record->texverts[i] = textvert3ds{static_cast<float>(direct[i][0]), static_cast<float>(direct[i][1])};
        } else if (uvMapping != KZeqLayerElement::eBY_POLYGON_VERTEX) {
            // Planar over the points' X/Y extent; a flat extent maps to 0.
            double lo[2] = {source[0][0], source[0][1]}, hi[2] = {lo[0], lo[1]};
            for (int i = 1; i < points; ++i)
                for (int a = 0; a < 2; ++a) {
                    lo[a] = std::min(lo[a], source[i][a]);
                    hi[a] = std::max(hi[a], source[i][a]);
                }
            for (int i = 0; i < points; ++i) {
                const KZeqVector4& v = placed[static_cast<std::size_t>(i)];
                const double u = hi[0] > lo[0] ? (v[0] - lo[0]) / (hi[0] - lo[0]) : 0.0;
                const double w = hi[1] > lo[1] ? (v[1] - lo[1]) / (hi[1] - lo[1]) : 0.0;
                record->texverts[i] = textvert3ds{static_cast<float>(u), static_cast<float>(w)};
            }
        }
    }

    // A textured mesh without material gets a grey one, in the scene too.
    if (mesh->GetMaterialCount(0) == 0 && mesh->GetTextureCount(0) > 0) {
        if (KZeqMaterial* grey = mManager.CreateKZeqMaterial("Default")) {
            grey->SetAmbient(KZeqColor(0.588, 0.588, 0.588, 1.0));
            grey->SetDiffuse(KZeqColor(0.588, 0.588, 0.588, 1.0));
            grey->SetSpecular(KZeqColor(0.0, 0.0, 0.0, 1.0));
            grey->SetInitialName("Default");
            if (mesh != sceneMesh) sceneMesh->AddMaterial(grey);
            mesh->AddMaterial(grey);
        }
    }
    const int materialCount = mesh->GetMaterialCount(0);
    const int textureCount = mesh->GetTextureCount(0);
    const bool booking = mMaterials && materialCount > 0;
    const bool twoTextureLayers = mesh->GetLayerCount(KZeqLayerElement::eTEXTURE) > 1 && textureCount > 1;
    KZeqLayer* textureLayer1 = twoTextureLayers ? mesh->GetLayer(1, KZeqLayerElement::eTEXTURE) : nullptr;
    const KZeqLayerElement* materialElement = layer ? layer->GetMaterials() : nullptr;
    const KZeqLayerElement* textureElement0 = layer ? layer->GetTextures() : nullptr;
    const KZeqLayerElement* textureElement1 = textureLayer1 ? textureLayer1->GetTextures() : nullptr;
    const int none = textureCount;  // "no texture" in the usage keys
    // Only the combinations met are counted: (material, first, second) -> faces.
    std::map<std::tuple<int, int, int>, int> usage;
    std::vector<std::tuple<int, int, int>> faceUse;
    if (booking) faceUse.reserve(static_cast<std::size_t>(triangles));
    const KZeqVector4* normals = layer && layer->GetNormals() ? mesh->GetNormals() : nullptr;
    const KZeqLayerElementNormal* normalElement = layer ? layer->GetNormals() : nullptr;
    std::uint32_t nextFlat = 4;
    int flatFaces = 0;
    std::vector<int> corners, local;
    int face = 0, polygonVertex = 0;
    for (int p = 0; p < polygons; ++p) {
        const int size = mesh->GetPolygonSize(p);
        corners.resize(static_cast<std::size_t>(size));
        for (int i = 0; i < size; ++i) corners[static_cast<std::size_t>(i)] = mesh->GetPolygonVertex(p, i);
        if (uvMapping == KZeqLayerElement::eBY_POLYGON_VERTEX && record->texverts)
            for (int i = 0; i < size; ++i) {
                KZeqVector2 uv;
                const int cp = corners[static_cast<std::size_t>(i)];
                if (cp >= 0 && cp < points && ElementValue(uvs, cp, polygonVertex + i, p, uv))
                    record->texverts[cp] = textvert3ds{static_cast<float>(uv[0]), static_cast<float>(uv[1])};
            }
        int material = -1, first = -1, second = -1;
        if (booking) {
            // A mesh whose element says nothing for the polygon draws it with its first material.
            material = ElementIndex(materialElement, p, corners.empty() ? -1 : corners[0]);
            if (material == kNoEntry) material = 0;
            if (texturing) {
                const int cp = corners.empty() ? -1 : corners[0];
                if (textureElement1 && textureElement0 &&
                    textureElement0->GetMappingMode() == KZeqLayerElement::eBY_POLYGON) {
                    first = ElementIndex(textureElement1, p, cp);
                    second = ElementIndex(textureElement0, p, cp);
                } else {
                    first = ElementIndex(textureElement0, p, cp);
                    if (textureElement1) second = ElementIndex(textureElement1, p, cp);
                }
            }
        }
        polygonVertex += size;
        if (size < 3) continue;
        local.resize(static_cast<std::size_t>(3 * (size - 2)));
        KTriangulation(local.data(), size);
        for (int k = 0; k + 2 < static_cast<int>(local.size()); k += 3, ++face) {
            const int a = corners[static_cast<std::size_t>(local[static_cast<std::size_t>(k)])];
            const int b = corners[static_cast<std::size_t>(local[static_cast<std::size_t>(k + 1)])];
            const int c = corners[static_cast<std::size_t>(local[static_cast<std::size_t>(k + 2)])];
            const bool inside = a >= 0 && a < points && b >= 0 && b < points && c >= 0 && c < points;
            record->faces[face] = face3ds{static_cast<std::uint16_t>(inside ? a : 0),
                                          static_cast<std::uint16_t>(inside ? b : 0),
                                          static_cast<std::uint16_t>(inside ? c : 0),
                                          static_cast<std::uint16_t>(FaceCAVisable3ds | FaceBCVisable3ds |
                                                                     FaceABVisable3ds)};
            std::uint32_t word = 1;
            if (inside && normals && normalElement) {
                const KZeqVector4 &pa = source[a], &pb = source[b], &pc = source[c];
                const double u[3] = {pc[0] - pb[0], pc[1] - pb[1], pc[2] - pb[2]};
                const double w[3] = {pa[0] - pb[0], pa[1] - pb[1], pa[2] - pb[2]};
                KZeqVector4 n(u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0], 0.0);
                n.Normalize();
                bool flat = true;
                const int pvs[3] = {polygonVertex - size + local[static_cast<std::size_t>(k)],
                                    polygonVertex - size + local[static_cast<std::size_t>(k + 1)],
                                    polygonVertex - size + local[static_cast<std::size_t>(k + 2)]};
                const int cps[3] = {a, b, c};
                for (int i = 0; i < 3 && flat; ++i) {
                    KZeqVector4 stored;
                    flat = ElementValue(normalElement, cps[i], pvs[i], p, stored) &&
                           std::fabs(stored[0] - n[0]) <= 1e-6 && std::fabs(stored[1] - n[1]) <= 1e-6 &&
                           std::fabs(stored[2] - n[2]) <= 1e-6;
                }
                if (flat) {
                    word = flatFaces < 15 ? nextFlat : 0;
                    ++flatFaces;
                    nextFlat <<= 2;
                }
            }
            if (record->smoothgroups) record->smoothgroups[face] = word;
            if (!booking) continue;
            // Indices outside the mesh's lists stand for no material or texture.
            const bool hasMaterial = material >= 0 && material < materialCount;
            const bool hasFirst = first >= 0 && first < textureCount;
            const bool hasSecond = second >= 0 && second < textureCount;
            std::tuple<int, int, int> use{hasMaterial ? material : -1, hasFirst ? first : none,
                                          hasSecond ? second : none};
            if (!hasFirst && hasSecond) use = std::make_tuple(std::get<0>(use), second, none);
            faceUse.push_back(use);
            if (hasMaterial) ++usage[use];
        }
    }

    if (booking && !usage.empty()) {
        record->matgroupcount = static_cast<std::uint16_t>(std::min<std::size_t>(usage.size(), kMaxCount3ds));
        InitMeshObjField3ds(record, 0xFFF);
        std::map<std::tuple<int, int, int>, int> groupOf;
        int g = 0;
        for (const auto& entry : usage) {
            if (g >= record->matgroupcount) break;
            InitMatArrayIndex3ds(record, static_cast<std::uint16_t>(g), static_cast<std::uint16_t>(entry.second));
            record->matgroups[g].nfaces = 0;
            const int m = std::get<0>(entry.first), t1 = std::get<1>(entry.first), t2 = std::get<2>(entry.first);
            if (material3ds* converted = ConvMaterialZeqto3DS(mesh, m, t1, t2)) {
                CopyName3ds(record->matgroups[g].name, sizeof(record->matgroups[g].name), converted->name);
                PutMaterial3ds(mDatabase, converted);
                ReleaseMaterial3ds(&converted);
            }
            groupOf.emplace(entry.first, g++);
        }
        for (std::size_t f = 0; f < faceUse.size(); ++f) {
            auto found = groupOf.find(faceUse[f]);
            if (found == groupOf.end() || !record->matgroups[found->second].faces) continue;
            objmat3ds& group = record->matgroups[found->second];
            group.faces[group.nfaces++] = static_cast<std::uint16_t>(f);
        }
    }
    record->fastdisplay = 1;
    return record;
}

}  // namespace zeqsdk_400
