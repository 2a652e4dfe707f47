#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_TESTS_OBJTEST_SUPPORT_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_TESTS_OBJTEST_SUPPORT_H

#include <map>
#include <set>

#include "formats/geometry/tests/geometrytest_support.h"

namespace zeqsdk_400 {
class KZeqMaterial;
class KZeqMesh;
class KZeqTexture;
}  // namespace zeqsdk_400

namespace zeqtest {

// What the meshes of a subtree hold together.
struct Totals {
    int mMeshes = 0;
    int mControlPoints = 0;
    int mPolygons = 0;
    int mPolygonsWithUVs = 0;
    std::map<int, int> mPolygonsOfSize;
    std::set<KZeqMaterial*> mMaterials;
    std::set<KZeqTexture*> mTextures;  // not counting "_empty_"
};
Totals Count(KZeqNode* root);

// A polygon as a file holds it: its material's name and its corners at their
// global positions, with their texture coordinates and unit normals.
struct Corner {
    double mPosition[3] = {0, 0, 0};
    bool mHasUV = false;
    double mUV[2] = {0, 0};
    bool mHasNormal = false;
    double mNormal[3] = {0, 0, 0};
};
struct Face {
    std::string mMaterial;
    std::vector<Corner> mCorners;
};
// The polygons of the meshes of a subtree.
std::vector<Face> Faces(KZeqNode* root);
// The same faces in any order, values within tolerance.
void ExpectSameFaces(std::vector<Face> expected, std::vector<Face> actual, double tolerance);

class ObjTest : public GeometryFormatTest {
protected:
    using GeometryFormatTest::GeometryFormatTest;
    bool ImportObj(const std::string& path, bool reference = false) {
        return Import(path, KZeqImporter::eVONEX_OBJ, [&](KStreamOptionsBase& options) {
            options.SetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE, reference);
        });
    }
    // Reads OBJ text (and an MTL file beside it) written into the directory.
    bool ReadText(const std::string& obj, const std::string& mtl = "", bool reference = false) {
        if (!mtl.empty()) WriteText("test.mtl", mtl);
        return ImportObj(WriteText("test.obj", obj), reference);
    }
    // The mesh of the first node of that name.
    KZeqMesh* Mesh(const char* name);
};

}  // namespace zeqtest

#endif
