#include "formats/geometry/obj/tests/objtest_support.h"

#include <algorithm>
#include <cmath>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"

namespace zeqtest {

Totals Count(KZeqNode* root) {
    Totals totals;
    std::vector<KZeqNode*> pending{root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        KZeqMesh* mesh = node->GetMesh();
        if (!mesh) continue;
        ++totals.mMeshes;
        totals.mControlPoints += mesh->GetControlPointsCount();
        totals.mPolygons += mesh->GetPolygonCount();
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
            ++totals.mPolygonsOfSize[mesh->GetPolygonSize(p)];
            bool uvs = mesh->GetTextureUVMappingType() == KZeqMesh::eBY_POLYGON_VERTEX;
            for (int v = 0; uvs && v < mesh->GetPolygonSize(p); ++v) uvs = mesh->GetTextureUVIndex(p, v) >= 0;
            if (uvs) ++totals.mPolygonsWithUVs;
        }
        for (int i = 0; i < mesh->GetMaterialCount(0); ++i) totals.mMaterials.insert(mesh->GetMaterial(i));
        for (int i = 0; i < mesh->GetTextureCount(0); ++i)
            if (KString("Texture::_empty_") != mesh->GetTexture(i)->GetName()) totals.mTextures.insert(mesh->GetTexture(i));
    }
    return totals;
}

std::vector<Face> Faces(KZeqNode* root) {
    std::vector<Face> faces;
    std::vector<KZeqNode*> pending{root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        KZeqMesh* mesh = node->GetMesh();
        if (!mesh) continue;
        const KZeqXMatrix global(node->GetGlobalT(KZeqNode::eSOURCE_SET, true), node->GetGlobalR(KZeqNode::eSOURCE_SET),
                                 node->GetGlobalS(KZeqNode::eSOURCE_SET));
        const KZeqXMatrix normalTransform = global.Inverse().Transpose();
        const KZeqVector4* points = mesh->GetControlPoints();
        const KZeqVector4* normals = mesh->GetNormals();
        const KZeqVector2* uvs = mesh->GetTextureUV();
        const int* materials = mesh->GetMaterialIndices();
        const bool byPolygon = mesh->GetMaterialMappingType() == KZeqMesh::eBY_POLYGON;
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
            Face face;
            KZeqMaterial* material = mesh->GetMaterialCount(0) == 0 ? nullptr
                                     : byPolygon                    ? mesh->GetMaterial(materials[p])
                                                                    : mesh->GetMaterial(mesh->GetMaterialCount(0) - 1);
            if (material) face.mMaterial = Str(material->GetNameWithoutNameSpacePrefix());
            for (int v = 0; v < mesh->GetPolygonSize(p); ++v) {
                Corner corner;
                const int k = mesh->GetPolygonVertex(p, v);
                const KZeqVector4 position = global.MultT(points[k]);
                for (int axis = 0; axis < 3; ++axis) corner.mPosition[axis] = position[axis];
                const int uv = mesh->GetTextureUVIndex(p, v);
                corner.mHasUV = uv >= 0 && uvs;
                if (corner.mHasUV) corner.mUV[0] = uvs[uv][0], corner.mUV[1] = uvs[uv][1];
                corner.mHasNormal = normals && mesh->GetNormalsMappingType() == KZeqMesh::eBY_CONTROL_POINT;
                if (corner.mHasNormal) {
                    KZeqVector4 normal = normalTransform.MultT(normals[k]);
                    normal.Normalize();
                    for (int axis = 0; axis < 3; ++axis) corner.mNormal[axis] = normal[axis];
                }
                face.mCorners.push_back(corner);
            }
            faces.push_back(face);
        }
    }
    return faces;
}

namespace {

// Faces in an order that does not depend on the file: by material, then
// by their corners' positions rounded well above any reader's error.
bool FaceLess(const Face& a, const Face& b) {
    if (a.mMaterial != b.mMaterial) return a.mMaterial < b.mMaterial;
    if (a.mCorners.size() != b.mCorners.size()) return a.mCorners.size() < b.mCorners.size();
    for (std::size_t c = 0; c < a.mCorners.size(); ++c)
        for (int axis = 0; axis < 3; ++axis) {
            const long long x = std::llround(a.mCorners[c].mPosition[axis] * 1e3);
            const long long y = std::llround(b.mCorners[c].mPosition[axis] * 1e3);
            if (x != y) return x < y;
        }
    return false;
}

}  // namespace

void ExpectSameFaces(std::vector<Face> expected, std::vector<Face> actual, double tolerance) {
    ASSERT_EQ(expected.size(), actual.size());
    std::stable_sort(expected.begin(), expected.end(), FaceLess);
    std::stable_sort(actual.begin(), actual.end(), FaceLess);
    int reported = 0;
    for (std::size_t f = 0; f < expected.size() && reported < 5; ++f) {
        const Face& a = expected[f];
        const Face& b = actual[f];
        bool same = a.mMaterial == b.mMaterial && a.mCorners.size() == b.mCorners.size();
        for (std::size_t c = 0; same && c < a.mCorners.size(); ++c) {
            const Corner& x = a.mCorners[c];
            const Corner& y = b.mCorners[c];
            for (int axis = 0; axis < 3; ++axis)
                same = same && std::fabs(x.mPosition[axis] - y.mPosition[axis]) <= tolerance * std::max(1.0, std::fabs(x.mPosition[axis]));
            same = same && x.mHasUV == y.mHasUV;
            for (int axis = 0; x.mHasUV && axis < 2; ++axis) same = same && std::fabs(x.mUV[axis] - y.mUV[axis]) <= tolerance;
            if (x.mHasNormal && y.mHasNormal)
                for (int axis = 0; axis < 3; ++axis) same = same && std::fabs(x.mNormal[axis] - y.mNormal[axis]) <= 1e-5;
        }
        if (!same) {
            ++reported;
            ADD_FAILURE() << "face " << f << " differs: material " << a.mMaterial << " / " << b.mMaterial
                          << ", first corner " << a.mCorners[0].mPosition[0] << " " << a.mCorners[0].mPosition[1] << " "
                          << a.mCorners[0].mPosition[2] << " / " << b.mCorners[0].mPosition[0] << " "
                          << b.mCorners[0].mPosition[1] << " " << b.mCorners[0].mPosition[2];
        }
    }
}

KZeqMesh* ObjTest::Mesh(const char* name) {
    KZeqNode* node = Node(name);
    return node ? node->GetMesh() : nullptr;
}

}  // namespace zeqtest
