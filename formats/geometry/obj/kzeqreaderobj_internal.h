#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_KZEQREADEROBJ_INTERNAL_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_KZEQREADEROBJ_INTERNAL_H

// What one OBJ read keeps while it goes, shared by the reader's two sources.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kzeqvector.h"
#include "formats/geometry/obj/kobjmaterials.h"
#include "formats/geometry/obj/kobjrecords.h"
#include "formats/geometry/obj/kzeqreaderobj.h"

namespace zeqsdk_400 {

// Three coordinates: positions and normals are kept without their fourth.
struct KObjPoint {
    double mXYZ[3];
};

struct KZeqReaderObj::ReadState {
    bool mCreateReferenceNode = true;
    bool mLibrarySeen = false;
    bool mTexturedMaterialUsed = false;

    KObjBlocks<KObjPoint> mPositions;
    KObjBlocks<double> mWeights;  // the positions' fourth values, once any is not 1
    KObjBlocks<KZeqVector2> mTextures;
    KObjBlocks<KObjPoint> mNormals;  // FillNormals appends the computed ones
    int mParameterVertices = 0;         // read and checked, not used

    KObjMtlLibrary mLibrary;
    std::vector<MaterialUse> mMaterials;
    std::unordered_map<std::string, int> mMaterialsByName;  // upper-cased name -> selection
    int mMaterial = -1;                                      // the current selection

    std::string mGroupName = "default";
    std::vector<std::unique_ptr<KObjMesh>> mMeshes;
    std::unordered_map<std::string, KObjMesh*> mMeshesByName;  // upper-cased group name
    KObjMesh* mMesh = nullptr;                                 // the current group's mesh, once it has one
    unsigned int mSmoothing = 0;

    KObjSurf::ECurveType mCurveType = KObjSurf::eNONE;
    bool mRational = false;
    int mDegreeU = 0;
    int mDegreeV = 0;

    // Scratch of FillNormals, one entry per position, -1 between uses.
    std::vector<int> mPositionSlots;

    KZeqVector4 Position(int i) const {
        const KObjPoint& p = mPositions[static_cast<std::size_t>(i)];
        return KZeqVector4(p.mXYZ[0], p.mXYZ[1], p.mXYZ[2], mWeights.empty() ? 1.0 : mWeights[static_cast<std::size_t>(i)]);
    }
    KZeqVector4 Normal(int i) const {
        const KObjPoint& n = mNormals[static_cast<std::size_t>(i)];
        return KZeqVector4(n.mXYZ[0], n.mXYZ[1], n.mXYZ[2], 0.0);
    }
    void AddNormal(const KZeqVector4& n) { mNormals.push_back(KObjPoint{{n[0], n[1], n[2]}}); }

    KObjCounts Counts() const {
        return KObjCounts{static_cast<int>(mPositions.size()), static_cast<int>(mTextures.size()),
                          static_cast<int>(mNormals.size())};
    }
};

// Names compare without regard to (ASCII) case.
std::string ObjUpperKey(std::string_view text);
// Text up to its first NUL, which C strings would stop at anyway.
std::string ObjText(std::string_view text);

}  // namespace zeqsdk_400

#endif
