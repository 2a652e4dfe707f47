#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_KZEQREADEROBJ_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_KZEQREADEROBJ_H

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kname.h"
#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "formats/geometry/obj/kobjmaterials.h"
#include "formats/geometry/obj/kobjrecords.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KZeqGeometry;
class KZeqMaterial;
class KZeqMesh;
class KZeqNode;
class KZeqTexture;

// Reads an OBJ file with its MTL material libraries into a scene: one mesh
// node per group (or object) name, under a reference node named after the
// file when option 1 says so, and one NURBS node per rational B-spline
// surface. Meshes get one control point per distinct (position, texture
// coordinate, normal) corner, normals computed per smoothing group where the
// file gives none, and per-polygon materials and textures. A read that fails
// leaves nothing of its own in the scene.
class KZeqReaderObj : public KZeqReader {
public:
    explicit KZeqReaderObj(KZeqSdkManager& manager);
    ~KZeqReaderObj() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    // A new KStreamOptionsObj with its defaults; the caller releases it.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

private:
    // What a "usemtl" statement selected.
    struct MaterialUse {
        KZeqMaterial* mMaterial;
        KZeqTexture* mTexture;
    };
    // The state of one read.
    struct ReadState;

    bool ReadStatements(KZeqScene& scene, ReadState& state);
    // Each returns false when the statement ends the read with failure.
    bool ReadVertex(std::string_view keyword, std::string_view rest, ReadState& state);
    void ReadMaterialLibraries(std::string_view rest, ReadState& state);
    void UseMaterial(std::string_view rest, ReadState& state);
    void ReadFace(std::string_view rest, ReadState& state);
    // A node under the scene's root for a surface that converts.
    bool AddSurface(const KObjSurf& surface, KZeqScene& scene, ReadState& state);
    bool BuildScene(KZeqScene& scene, ReadState& state);

    // kzeqreaderobj_mesh.cpp
    // Gives every corner a normal, one per face in smoothing group 0, one
    // per position and smoothing group elsewhere; false for a mesh without faces.
    bool FillNormals(KObjMesh& mesh, ReadState& state);
    KZeqMesh* CreateZeqMeshFromObjMesh(KObjMesh& mesh, ReadState& state);
    KZeqGeometry* CreateZeqGeometryFromObjSurf(const KObjSurf& surface, ReadState& state);

    std::FILE* mFile = nullptr;
    KString mPath;
    KNumberRenamingStrategy mRenamer;
};

// The unit normal of the triangle, counter-clockwise by the right-hand rule;
// zero for a degenerate one.
KZeqVector4 ComputeDefaultNormal(const KZeqVector4& p0, const KZeqVector4& p1, const KZeqVector4& p2);

// Where control point i of a surface listed with u fastest lands when v runs
// fastest: index / columns + (index mod columns) x rows.
int SwapArrayIndex(int index, int rows, int columns);

}  // namespace zeqsdk_400

#endif
