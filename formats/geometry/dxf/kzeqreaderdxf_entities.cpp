// The entities of a DXF file as mesh arrays, and the meshes and materials
// built from them.

#include <cmath>
#include <cstdlib>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/dxf/kdxfcolors.h"
#include "formats/geometry/dxf/kzeqreaderdxf.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// File axes to scene axes: (x, y, z) becomes (x, z, -y).
KZeqVector4 Mapped(const double* p) { return KZeqVector4(p[0], p[2], -p[1], 1.0); }

// Vertex flags of a polyline's VERTEX records, compared as whole words.
constexpr int k3DPolylineVertex = 32;
constexpr int kPolyfaceVertex = 192;
constexpr int kPolyfaceFace = 128;
constexpr int kClosed3DPolyline = 9;

std::string UpperName(std::string_view text) {
    std::string key(text.substr(0, text.find('\0')));
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return key;
}

}  // namespace

KZeqReaderDxf::EEntity KZeqReaderDxf::EntityOf(std::string_view name) {
    if (name == "LINE") return eLINE;
    if (name == "3DFACE") return e3DFACE;
    if (name == "POLYLINE") return ePOLYLINE;
    return eOTHER;
}

int KZeqReaderDxf::EntityColor(int color, std::string_view layer) const {
    if (color == 0 || color == 256) {
        auto found = mLayerColors.find(UpperName(layer));
        color = found == mLayerColors.end() ? 0 : std::abs(found->second);
    }
    return color >= 1 && color <= 255 ? color : 0;
}

bool KZeqReaderDxf::ReadEntity(EEntity entity, KDxfMeshArrays* arrays, Layers* layers, bool weld,
                               bool dropDegenerate) {
    // The entity's own pairs, up to the next code 0.
    std::string layer = "0";
    int color = 0, flags = 0;
    double points[4][3] = {};
    std::size_t end = mPairs.Tell();
    for (;;) {
        end = mPairs.Tell();
        if (!mPairs.Next() || mPairs.Code() == 0) break;
        const int code = mPairs.Code();
        if (code == 8) {
            layer.assign(mPairs.Value().data(), mPairs.Value().size());
        } else if (code == 62) {
            color = mPairs.Int();
        } else if (code == 70) {
            flags = mPairs.Int();
        } else if (entity != ePOLYLINE && code >= 10 && code <= 33 && code % 10 <= 3) {
            // 10-13, 20-23, 30-33: corner (or end) code % 10, axis code / 10 - 1.
            points[code % 10][code / 10 - 1] = mPairs.Double();
        }
    }
    color = EntityColor(color, layer);
    if (layers) {
        auto inserted = layers->try_emplace(UpperName(layer));
        if (inserted.second) inserted.first->second.mName = layer.substr(0, layer.find('\0'));
        arrays = &inserted.first->second.mArrays;
    }
    if (entity == eLINE) {
        mPairs.Seek(end);
        const int start = arrays->AddPoint(Mapped(points[0]), weld);
        const int stop = arrays->AddPoint(Mapped(points[1]), weld);
        const int indices[3] = {start, stop, start};
        arrays->AddFace(color, indices, 3);
        return true;
    }
    if (entity == e3DFACE) {
        mPairs.Seek(end);
        const KZeqVector4 c1(points[0][0], points[0][1], points[0][2], 1.0), c2(points[1][0], points[1][1], points[1][2], 1.0),
            c3(points[2][0], points[2][1], points[2][2], 1.0);
        if (dropDegenerate && c1 == c2 && c1 == c3) return true;
        const bool triangle = points[3][0] == points[2][0] && points[3][1] == points[2][1] && points[3][2] == points[2][2];
        const int count = triangle ? 3 : 4;
        // Corners in reverse order.
        int indices[4];
        for (int k = 0; k < count; ++k) indices[k] = arrays->AddPoint(Mapped(points[count - 1 - k]), weld);
        arrays->AddFace(color, indices, count);
        return true;
    }
    // A polyline: its VERTEX records follow, up to SEQEND. Its points are never welded.
    if (!mPairs.Is(0, "VERTEX")) {
        mPairs.Seek(end);
        return false;
    }
    const int base = arrays->PointCount();
    ReadVertices(*arrays, base, color);
    if (flags == kClosed3DPolyline && arrays->PointCount() > base) {
        const int indices[3] = {base, arrays->PointCount() - 1, base};
        arrays->AddFace(color, indices, 3);
    }
    return true;
}

void KZeqReaderDxf::ReadVertices(KDxfMeshArrays& arrays, int base, int polylineColor) {
    // Called just after each (0, "VERTEX"); ends when the pair that ends a record is another.
    for (;;) {
        double point[3] = {0, 0, 0};
        int color = polylineColor, flags = 0, faces[4] = {0, 0, 0, 0};
        bool more = false;
        while (mPairs.Next()) {
            const int code = mPairs.Code();
            if (code == 0) {
                more = mPairs.Value() == "VERTEX";
                break;
            }
            if (code == 10 || code == 20 || code == 30) point[code / 10 - 1] = mPairs.Double();
            else if (code == 62) color = mPairs.Int();
            else if (code == 70) flags = mPairs.Int();
            else if (code >= 71 && code <= 74) faces[code - 71] = mPairs.Int();
        }
        // 0 and 256 take the polyline's colour; numbers without a colour, none.
        if (color == 0 || color == 256) color = polylineColor;
        if (color < 0 || color > 255) color = 0;
        if (flags == k3DPolylineVertex) {
            const int index = arrays.AddPoint(Mapped(point), false);
            if (index > base) {
                const int indices[3] = {index, index - 1, index};
                arrays.AddFace(color, indices, 3);
            }
        } else if (flags == kPolyfaceVertex) {
            arrays.AddPoint(Mapped(point), false);
        } else if (flags == kPolyfaceFace && faces[0] != 0 && faces[1] != 0) {
            if (color > 0) arrays.mColored = true;
            const int count = faces[2] == 0 ? 2 : faces[3] != 0 ? 4 : 3;
            // Reversed, but a segment keeps its order.
            static const int kOrder[3][4] = {{0, 1}, {2, 1, 0}, {3, 2, 1, 0}};
            int indices[4];
            bool inside = true;
            for (int k = 0; k < count; ++k) {
                const long long number = std::llabs(static_cast<long long>(faces[kOrder[count - 2][k]]));
                const long long index = base + number - 1;
                // A face naming a vertex the polyline does not have is dropped.
                inside = inside && index >= base && index < arrays.PointCount();
                indices[k] = static_cast<int>(inside ? index : 0);
            }
            if (inside) arrays.AddFace(color, indices, count);
        }
        if (!more) return;
    }
}

KZeqMaterial* KZeqReaderDxf::MaterialOf(int color) {
    KZeqMaterial*& material = mMaterials[color];
    if (!material) {
        material = mManager.CreateKZeqMaterial((KString("Material") + mMaterialCounter++).Buffer());
        KZeqColor diffuse;
        if (material && TranslateColor(color, diffuse)) material->SetDiffuse(diffuse);
    }
    return material;
}

KZeqMesh* KZeqReaderDxf::CreateMeshFromArrays(const KDxfMeshArrays& arrays) { return BuildMesh(arrays, nullptr); }

KZeqMesh* KZeqReaderDxf::ConsumeMeshArrays(KDxfMeshArrays& arrays) { return BuildMesh(arrays, &arrays); }

KZeqMesh* KZeqReaderDxf::BuildMesh(const KDxfMeshArrays& arrays, KDxfMeshArrays* consumed) {
    for (const KDxfMeshArrays::Face& face : arrays.mFaces)
        if (face.mCount < 2) return nullptr;
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    if (!mesh) return nullptr;
    // What the mesh no longer needs goes as it is built: the peak stays near
    // the size of the mesh.
    if (consumed) consumed->ReleaseIndex();
    mesh->InitControlPoints(arrays.PointCount());
    std::copy(arrays.mPoints.begin(), arrays.mPoints.end(), mesh->GetControlPoints());
    if (consumed) std::vector<KZeqVector4>().swap(consumed->mPoints);
    if (arrays.mColored) mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    // The mesh's index of each colour's material, once it has one; faces
    // without a colour have no material.
    int indices[256];
    std::fill(indices, indices + 256, -1);
    for (const KDxfMeshArrays::Face& face : arrays.mFaces) {
        const int color = face.mColor;
        if (color > 0 && indices[color] < 0)
            if (KZeqMaterial* material = MaterialOf(color)) indices[color] = mesh->AddMaterial(material);
        mesh->BeginPolygon(color > 0 ? indices[color] : -1, -1, -1);
        const int* vertices = &arrays.mIndices[static_cast<std::size_t>(face.mFirst)];
        for (int v = 0; v < face.mCount; ++v) mesh->AddPolygon(vertices[v]);
        if (face.mCount == 2) mesh->AddPolygon(vertices[0]);
        mesh->EndPolygon();
    }
    return mesh;
}

}  // namespace zeqsdk_400
