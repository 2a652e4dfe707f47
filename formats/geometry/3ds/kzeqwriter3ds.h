#ifndef ZEQ_FORMATS_GEOMETRY_3DS_KZEQWRITER3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_KZEQWRITER3DS_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/ktime.h"
#include "base/kzeqmatrix.h"
#include "base/kzeqvector.h"
#include "fileio/kfilereplacement.h"
#include "formats/geometry/3ds/kzeqswitches3ds.h"
#include "formats/geometry/3ds/toolkit/records3dsfwd.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KFCurve;
class KZeqCamera;
class KZeqLight;
class KZeqMesh;
class KZeqNode;
class KZeqScene;
class KZeqTakeNode;

// Writes a scene as a 3D Studio mesh file through the 3DS toolkit. Before the
// walk every node name of the manager is cut to 7 characters and every
// material name to 12, numbered apart where they clash (these names stay on
// the scene). The walk is depth-first and pre-order: meshes (NURBS and patches
// triangulated in the scene first), point and spot lights and cameras become
// records, with their motion resampled at every frame of 30 frames per second;
// other nodes become dummy objects. The file is Z-up: a scene point (x, y, z)
// is written as (x, -z, y).
//
// The file and its texture copies are written beside their names under
// temporary ones and take them together only once the file is complete, so a
// failed export leaves every file it was to write as it was.
class KZeqWriter3DS : public KZeqWriter, public KZeqSwitches3DS {
public:
    explicit KZeqWriter3DS(KZeqSdkManager& manager);
    ~KZeqWriter3DS() override;

    // False with "File not opened" when the output cannot be created.
    bool FileCreate(const char* fileName) override;
    // Drops an output that was not written; the target stays as it was.
    bool FileClose() override;
    bool IsFileOpen() override { return mFile3ds != nullptr; }
    // A new KStreamOptions3ds with its defaults; the caller releases it.
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

    // ---- Axis conversions of static values (scene Y-up to file Z-up) ----------------
    static void ConvTZeqto3DS(double* out, const KZeqVector4& v);
    static void ConvSZeqto3DS(double* out, const KZeqVector4& v);
    static void ConvRZeqto3DS(double* out, const KZeqVector4& v);

    // ---- Static records; each new, owned by the caller, null on failure --------------
    // The vertices at t, r, s, and first at geometric when given.
    mesh3ds* ConvMeshZeqto3DS(KZeqMesh* mesh, const KZeqVector4& t, const KZeqVector4& r, const KZeqVector4& s,
                              const char* name, const KZeqXMatrix* geometric = nullptr);
    material3ds* ConvMaterialZeqto3DS(KZeqMesh* mesh, int material, int texture, int texture2);
    light3ds* ConvOmnilightZeqto3DS(KZeqLight* light, const KZeqVector4& t, const char* name);
    light3ds* ConvSpotlightZeqto3DS(KZeqLight* light, const KZeqVector4& t, const KZeqVector4& r,
                                    const char* name);
    camera3ds* ConvCameraZeqto3DS(KZeqCamera* camera, const KZeqVector4& t, const char* name);
    // One control point and one UV per polygon vertex, UVs by control point;
    // made through the manager, which owns it.
    KZeqMesh* VertexToPoint(KZeqMesh* mesh);
    // Copies a texture file beside the output unless a file of its name is
    // there; the copy takes its name with the output, or not at all.
    bool CopyTextureFile(const char* path);

    // ---- Motion records ---------------------------------------------------------------
    kfmesh3ds* ConvMeshNodeZeqto3DS(KZeqNode* node);
    kfomni3ds* ConvOmnilightNodeZeqto3DS(KZeqNode* node);
    kfspot3ds* ConvSpotlightNodeZeqto3DS(KZeqNode* node);
    kfcamera3ds* ConvCameraNodeZeqto3DS(KZeqNode* node);

    // ---- Curves resampled into track keys at frames 0 to count - 1 (30 fps) -----------
    static bool Create3DSTransDataFromTCB(keyheader3ds* keys, point3ds* values, KFCurve* x, KFCurve* y, KFCurve* z,
                                          std::uint32_t count);
    static bool Create3DSRotDataFromTCB(keyheader3ds* keys, kfrotkey3ds* values, KFCurve* x, KFCurve* y,
                                        KFCurve* z, std::uint32_t count);
    static bool Create3DSScaleDataFromTCB(keyheader3ds* keys, point3ds* values, KFCurve* x, KFCurve* y, KFCurve* z,
                                          std::uint32_t count);
    static bool Create3DSColorDataFromTCB(keyheader3ds* keys, fcolor3ds* values, KFCurve* r, KFCurve* g,
                                          KFCurve* b, std::uint32_t count);
    static bool Create3DSScalarDataFromTCB(keyheader3ds* keys, float* values, KFCurve* c, std::uint32_t count);
    // The horizontal angle of a vertical field of view on the camera's film back.
    static double HorizontalFieldOfView(KZeqCamera* camera, double angle);

    // ---- Deformed positions: a toolbox the export itself does not call ----------------
    // Each works on points the caller owns; the mesh is never changed.
    void ComputeShapeDeformation(KZeqNode* node, KZeqMesh* mesh, KZeqVector4* points);
    void ComputeLinkDeformation(KZeqXMatrix& global, KZeqMesh* mesh, KZeqVector4* points);
    static void MatrixScale(KZeqXMatrix& matrix, double factor);
    static void MatrixAddToDiagonal(KZeqXMatrix& matrix, double value);
    static void MatrixAdd(KZeqXMatrix& matrix, KZeqXMatrix& other);
    static KZeqXMatrix GetLocalPosition(KZeqNode* node);
    static KZeqXMatrix GetGlobalPosition(KZeqNode* node);

private:
    bool InitWrite(KStreamOptions* options);
    // The node and those below it, depth first in child order, on a stack of
    // its own: trees read from files may be deeper than the call stack allows.
    void ExportZeqNode(KZeqNode* node);
    // The node's own records.
    void ExportOneNode(KZeqNode* node);
    bool CleanupWrite();
    // Releases the database and mesh settings and drops the temporary output.
    void Abandon();
    // Records a failure with its text at the front of the message; the text is
    // also the error's, but for a full disk.
    void Fail(int error, const std::string& text);
    // Records that the file could not be written: a full disk with the system's
    // reason where it gave one (no space, a file too large), else what the
    // toolkit refused (more nodes than a file numbers ...).
    void WriteFailed();
    void RenameAll();
    // The parent name a motion record gives: the parent's own name for a
    // geometry, light or camera, else its dummy "$$$DUMMY.<name>".
    std::string ParentName(KZeqNode* node, bool rootCase) const;
    // The 3DS name of a material name: whole up to 14 characters, else cut to
    // 15, and numbered apart from a different name cut to the same text.
    std::string UniqueMaterialName(const std::string& full);
    // A spot's or camera's target as the file names it.
    std::string TargetName(KZeqNode* target) const;
    // A spot's or camera's motion record: its name, its parent, its target's parent (the target's
    // own, or the node's parent for a computed target) and its position track
    // (kzeqwriter3ds_targets.cpp).
    template <class Record>
    void NameTargetedMotion(Record& record, KZeqNode* node, KZeqNode* target, KFCurve* const* t,
                            std::uint32_t count) const;
    // False when the node lacks a take node while animating: it is then written as static.
    bool Animating(KZeqNode* node) const;
    // The take whose curves the node's tracks hold: its current take unless animation is turned
    // off (then its defaults); when the scene's keys span no time, that take at frame 0 alone.
    KZeqTakeNode* CurvesTake(KZeqNode* node) const;
    // The frames of the node's tracks: those of its take's keys while animating, else one.
    std::uint32_t FrameCount(KZeqNode* node, KTime& start, KTime& stop) const;

    file3ds* mFile3ds = nullptr;
    database3ds* mDatabase = nullptr;
    meshset3ds* mMeshSettings = nullptr;
    double mMasterScale = 1.0;
    int mMeshCount = 0;
    KZeqScene* mScene = nullptr;
    KZeqNode* mRootNode = nullptr;
    KTime mAnimStart;
    KTime mAnimStop;
    bool mExportAnim = true;

    // Targets of the spotlights and cameras written: their motion is the
    // target track, so they are not written again as dummy objects.
    std::unordered_set<const KZeqNode*> mTargets;
    std::unordered_map<std::string, std::string> mMaterialNames;  // full name -> name written
    std::unordered_set<std::string> mMaterialNamesGiven;
    std::string mTargetPath;  // the file asked for
    KFileReplacement mReplacement;  // where it is written until complete
    // Texture copies waiting for the file to be complete.
    std::vector<std::unique_ptr<KFileReplacement>> mTextureCopies;
};

}  // namespace zeqsdk_400

#endif
