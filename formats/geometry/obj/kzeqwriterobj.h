#ifndef ZEQ_FORMATS_GEOMETRY_OBJ_KZEQWRITEROBJ_H
#define ZEQ_FORMATS_GEOMETRY_OBJ_KZEQWRITEROBJ_H

#include <cstdio>
#include <memory>
#include <vector>

#include "base/kstring.h"
#include "fileio/kfilereplacement.h"
#include "io/kzeqio.h"
#include "io/kzeqtextoutput.h"

namespace zeqsdk_400 {

class KZeqStaticPlacement;

class KZeqMaterial;
class KZeqMesh;
class KZeqNode;
class KZeqTexture;

// Writes the meshes of a scene as an OBJ file, at their global transforms
// and, when option 3 says so, as their shapes and links deform them, with an
// MTL file beside it for their materials and the texture images copied next
// to it. NURBS and patches are triangulated in place first (meshes too under
// option 2). Position, texture-coordinate and normal numbers run on across
// the meshes of the file. The three kinds of file are written beside their
// names and take them together at FileClose, only when the write succeeded: a
// refused or failed export leaves every file it was to write as it was.
class KZeqWriterObj : public KZeqWriter {
public:
    explicit KZeqWriterObj(KZeqSdkManager& manager);
    ~KZeqWriterObj() override;

    bool FileCreate(const char* fileName) override;
    // Puts the files written in place when the last Write succeeded, else
    // drops them; false when a file could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    // A new KStreamOptionsObj with its defaults; the caller releases it.
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

private:
    // One entry of the material file.
    struct KObjMaterial {
        KZeqMaterial* mMaterial;
        KZeqTexture* mTexture;
        KString mName;
    };

    // Triangulates what must be, depth first; notes whether any geometry has
    // materials or textures.
    void InitNodes(KZeqNode* root);
    // The node's mesh, placed as placement says (one for the whole write).
    void WriteNode(KZeqNode* node, KZeqStaticPlacement& placement);
    // The material file beside the OBJ file, its name lower-cased, with its
    // header; false when it cannot be created.
    bool CreateMaterialFile();
    // "usemtl" for the pair, its entry written first when new.
    void UseMaterial(KZeqMaterial* material, KZeqTexture* texture);
    int FindObjMaterial(KZeqMaterial* material, KZeqTexture* texture) const;
    bool WriteMaterial(const char* name, KZeqMaterial* material, KZeqTexture* texture);
    // Into the OBJ file's directory, unless a file of that name is there or
    // is already to be copied; put in place with the OBJ file.
    void CopyTextureFile(const char* path);
    // Flushes and closes the material file; false when that failed.
    bool CloseMaterialFile();
    // Records a write to path that could not be stored, with its text in the
    // message and the system's error number behind it.
    void OutputFailed(const char* path, const KString& failure, int systemError);

    std::FILE* mFile = nullptr;
    KString mPath;
    KFileReplacement mReplacement;
    KFileReplacement mMtlReplacement;
    // Texture copies waiting for the file to be complete.
    std::vector<std::unique_ptr<KFileReplacement>> mTextures;
    bool mWritten = false;
    KZeqTextOutput mOut;
    std::FILE* mMtlFile = nullptr;
    KString mMtlPath;
    KZeqTextOutput mMtl;
    bool mForceTriangulation = false;
    bool mEvaluateDeformations = true;
    bool mHasMaterials = false;
    int mNextPosition = 1;
    int mNextTexture = 1;
    int mNextNormal = 1;
    KZeqMaterial* mDefaultMaterial = nullptr;
    std::vector<KObjMaterial> mMaterials;
    // Material entries and groups, each name one word the reader tells apart.
    KZeqWordNames mMaterialNames;
    KZeqWordNames mGroupNames;
    bool mFailed = false;
};

}  // namespace zeqsdk_400

#endif
