// A 3DS triangle mesh to a scene mesh: points out of the local frame, scaled
// and turned Y-up; vertices split along smoothing groups; faces with their
// materials, textures and texture coordinates on one or two layers; one
// normal per control point.

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/kzeqmatrix.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/toolkit/material3ds.h"
#include "formats/geometry/3ds/toolkit/mesh3ds.h"

namespace zeqsdk_400 {

namespace {

// Vertex slots: one control point each, standing for a file vertex with the
// smoothing groups of the faces around it that share its normal. The slots
// of one vertex form a chain in slot order, so a search looks only at them.
class SmoothingSlots {
public:
    explicit SmoothingSlots(int vertexCount)
        : mVertex(static_cast<std::size_t>(vertexCount), -1),
          mMask(static_cast<std::size_t>(vertexCount), ~0u),
          mNext(static_cast<std::size_t>(vertexCount), -1),
          mLast(static_cast<std::size_t>(vertexCount)) {
        for (int v = 0; v < vertexCount; ++v) mLast[static_cast<std::size_t>(v)] = v;
    }

    // The corner of vertex v in a face of mask s joins a slot.
    void Claim(int v, std::uint32_t s) {
        const auto at = static_cast<std::size_t>(v);
        if (mVertex[at] < 0) {
            mVertex[at] = v;
            mMask[at] = s;
            return;
        }
        const int slot = Find(v, s);
        if (slot >= 0) {
            mMask[static_cast<std::size_t>(slot)] |= s;
            return;
        }
        const int added = static_cast<int>(mVertex.size());
        mVertex.push_back(v);
        mMask.push_back(s);
        mNext.push_back(-1);
        mNext[static_cast<std::size_t>(mLast[at])] = added;
        mLast[at] = added;
    }

    // The first slot of v, in slot order, that shares a group with s (or
    // holds none when s holds none); -1 when there is none.
    int Find(int v, std::uint32_t s) const {
        for (int slot = v; slot >= 0; slot = mNext[static_cast<std::size_t>(slot)]) {
            const auto at = static_cast<std::size_t>(slot);
            if (mVertex[at] != v) return -1;
            const std::uint32_t mask = mMask[at];
            if ((mask & s) != 0 || (mask == 0 && s == 0)) return slot;
        }
        return -1;
    }

    int Count() const { return static_cast<int>(mVertex.size()); }

private:
    std::vector<int> mVertex;
    std::vector<std::uint32_t> mMask;
    std::vector<int> mNext;
    std::vector<int> mLast;  // by file vertex: the end of its chain
};

}  // namespace

bool KZeqReader3DS::ConvertMesh(const mesh3ds& record, KZeqMesh& mesh) {
    const int vertexCount = record.vertices ? record.vertexcount : 0;
    const int faceCount = record.faces ? record.facecount : 0;
    const bool hasTexVerts = record.texverts && record.texvertcount > 0;
    const int texVertCount = hasTexVerts ? record.texvertcount : 0;
    const bool smoothing = mSmoothGroup && record.smoothgroups;

    // Faces whose corners name vertices the mesh lacks are left out.
    std::vector<char> valid(static_cast<std::size_t>(faceCount), 0);
    for (int f = 0; f < faceCount; ++f) {
        const face3ds& face = record.faces[f];
        valid[static_cast<std::size_t>(f)] = face.a < vertexCount && face.b < vertexCount && face.c < vertexCount;
    }
    const auto Corner = [&record](int f, int k) -> int {
        const face3ds& face = record.faces[f];
        return k == 0 ? face.a : k == 1 ? face.b : face.c;
    };
    const auto Mask = [&record, smoothing](int f) { return smoothing ? record.smoothgroups[f] : 0u; };

    SmoothingSlots slots(vertexCount);
    if (smoothing)
        for (int f = 0; f < faceCount; ++f)
            if (valid[static_cast<std::size_t>(f)])
                for (int k = 0; k < 3; ++k) slots.Claim(Corner(f, k), Mask(f));

    mesh.InitControlPoints(slots.Count());
    mesh.InitNormals(0);
    mesh.InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh.InitTextureIndices(KZeqMesh::eBY_POLYGON);
    mesh.InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    KZeqLayer* layer0 = mesh.GetLayer(0);
    if (!layer0 || !layer0->GetUVs()) return false;
    {
        KArrayTemplate<KZeqVector2>& uvs = layer0->GetUVs()->GetDirectArray();
        if (!uvs.SetCount(vertexCount)) return false;
        for (int v = 0; v < vertexCount; ++v)
            uvs[v] = v < texVertCount ? KZeqVector2(record.texverts[v].u, record.texverts[v].v) : KZeqVector2();
    }

    // Local frame, taken out of the points; a flat frame is left alone.
    KZeqXMatrix local;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) local.mData[r][c] = record.localmatrix[r * 3 + c];
    const double(*m)[4] = local.mData;
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::fabs(det) < static_cast<double>(1.0e-6f)) local.SetIdentity();
    const KZeqXMatrix inverse = local.Inverse();

    // Materials, textures and texture layers per face.
    std::vector<int> faceMaterial(static_cast<std::size_t>(faceCount), 0);
    std::vector<int> faceTexture1(static_cast<std::size_t>(faceCount), 0);
    std::vector<int> faceTexture2(static_cast<std::size_t>(faceCount), 0);
    std::unordered_map<const void*, int> materialIndex, textureIndex;
    const auto MaterialIndex = [&](KZeqMaterial* material) {
        auto found = materialIndex.find(material);
        if (found != materialIndex.end()) return found->second;
        const int index = mesh.AddMaterial(material);
        return materialIndex.emplace(material, index).first->second;
    };
    const auto TextureIndex = [&](KZeqTexture* texture) {
        auto found = textureIndex.find(texture);
        if (found != textureIndex.end()) return found->second;
        const int index = mesh.AddTexture(texture);
        return textureIndex.emplace(texture, index).first->second;
    };
    bool secondLayer = false;
    for (int g = 0; g < (record.matgroups ? record.matgroupcount : 0); ++g) {
        const objmat3ds& group = record.matgroups[g];
        const int entry = mMaterials ? FindMaterialEntry(group.name) : -1;
        int material = 0, texture1 = 0, texture2 = 0;
        if (entry >= 0 && mMaterialEntries[static_cast<std::size_t>(entry)].mMaterial) {
            const MaterialEntry& found = mMaterialEntries[static_cast<std::size_t>(entry)];
            material = MaterialIndex(found.mMaterial);
            if (hasTexVerts && mTextureMapping && found.mRecord->texture1.name[0] != '\0') {
                if (found.mTextures[0]) texture1 = TextureIndex(found.mTextures[0]);
                if (found.mTextures[1]) {
                    texture2 = TextureIndex(found.mTextures[1]);
                    secondLayer = true;
                }
            }
        }
        for (int i = 0; i < (group.faces ? group.nfaces : 0); ++i) {
            const int f = group.faces[i];
            if (f >= faceCount) continue;
            faceMaterial[static_cast<std::size_t>(f)] = material;
            faceTexture1[static_cast<std::size_t>(f)] = texture1;
            faceTexture2[static_cast<std::size_t>(f)] = texture2;
        }
    }

    KZeqLayer* layer1 = nullptr;
    if (secondLayer) {
        while (mesh.GetLayerCount() < 2) mesh.CreateLayer();
        layer1 = mesh.GetLayer(1);
        if (!layer1) return false;
        if (!layer1->GetMaterials()) {
            auto* element = new KZeqLayerElementMaterial;
            element->SetMappingMode(KZeqLayerElement::eBY_POLYGON);
            element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
            layer1->SetMaterials(element);
        }
        if (!layer1->GetTextures()) {
            auto* element = new KZeqLayerElementTexture;
            element->SetMappingMode(KZeqLayerElement::eBY_POLYGON);
            element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
            element->SetBlendMode(static_cast<KZeqLayerElementTexture::EBlendMode>(1));
            element->SetAlpha(1.0);
            layer1->SetTextures(element);
        }
        if (!layer1->GetUVs()) {
            auto* element = new KZeqLayerElementUV;
            element->SetMappingMode(KZeqLayerElement::eBY_POLYGON_VERTEX);
            element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
            layer1->SetUVs(element);
        }
    }

    KZeqVector4* points = mesh.GetControlPoints();
    const double scale = mCreateReferenceNode ? 1.0 : mScaleFactor;
    for (int f = 0; f < faceCount; ++f) {
        if (!valid[static_cast<std::size_t>(f)]) continue;
        const auto at = static_cast<std::size_t>(f);
        const int material = mMaterials && faceMaterial[at] >= 0 ? faceMaterial[at] : 0;
        const int texture1 = mTextureMapping && faceTexture1[at] >= 0 ? faceTexture1[at] : 0;
        int texture0 = texture1, textureOf1 = 0;
        if (mTextureMapping && faceTexture2[at] > 0) {
            texture0 = faceTexture2[at];
            textureOf1 = texture1;
        }
        mesh.BeginPolygon(material, texture0, -1);
        if (layer1) {
            const int polygons = mesh.GetPolygonCount();
            KArrayTemplate<int>& materials = layer1->GetMaterials()->GetIndexArray();
            materials.SetCount(polygons);
            materials[polygons - 1] = material;
            KArrayTemplate<int>& textures = layer1->GetTextures()->GetIndexArray();
            textures.SetCount(polygons);
            textures[polygons - 1] = textureOf1;
        }
        for (int k = 0; k < 3; ++k) {
            const int v = Corner(f, k);
            const point3ds& source = record.vertices[v];
            KZeqVector4 p = inverse.MultT(KZeqVector4(source.x, source.y, source.z, 1.0));
            const int c = smoothing ? slots.Find(v, Mask(f)) : v;
            const int point = c >= 0 ? c : v;
            points[point] = KZeqVector4(p[0] * scale, p[2] * scale, -p[1] * scale, 0.0);
            mesh.AddPolygon(point, v);
        }
        mesh.EndPolygon();
    }
    if (layer1) {
        KZeqLayerElementUV* uvs1 = layer1->GetUVs();
        uvs1->GetDirectArray() = layer0->GetUVs()->GetDirectArray();
        uvs1->GetIndexArray() = layer0->GetUVs()->GetIndexArray();
    }

    // Normals: the unnormalised face normals summed at each control point.
    KZeqVector4* normals = mesh.GetNormals();
    if (!normals) return true;
    for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
        const int i0 = mesh.GetPolygonVertex(p, 0), i1 = mesh.GetPolygonVertex(p, 1), i2 = mesh.GetPolygonVertex(p, 2);
        const KZeqVector4 &p0 = points[i0], &p1 = points[i1], &p2 = points[i2];
        const double ax = p2[0] - p1[0], ay = p2[1] - p1[1], az = p2[2] - p1[2];
        const double bx = p0[0] - p1[0], by = p0[1] - p1[1], bz = p0[2] - p1[2];
        const KZeqVector4 n(ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx, 0.0);
        for (int i : {i0, i1, i2})
            for (int a = 0; a < 3; ++a) normals[i][a] += n[a];
    }
    for (int i = 0; i < mesh.GetControlPointsCount(); ++i) normals[i].Normalize();
    return true;
}

}  // namespace zeqsdk_400
