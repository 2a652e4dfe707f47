#ifndef ZEQ_FORMATS_GEOMETRY_DXF_KZEQWRITERDXF_H
#define ZEQ_FORMATS_GEOMETRY_DXF_KZEQWRITERDXF_H

#include <cstdio>
#include <string>
#include <unordered_map>

#include "base/kstring.h"
#include "fileio/kfilereplacement.h"
#include "io/kzeqio.h"
#include "io/kzeqtextoutput.h"

namespace zeqsdk_400 {

class KZeqStaticPlacement;

class KZeqNode;

// Writes the meshes of a scene as an ASCII DXF file of release 10 layout:
// one layer and one polyface mesh (POLYLINE with VERTEX records) per mesh
// node, at its global transform, in the file's z-up axes (scene (x, y, z)
// as (x, -z, y)), colours reduced to the nearest AutoCAD colour index.
// NURBS and patches are triangulated in place first, meshes too under option
// 2; option 3 writes meshes as their shapes and links deform them. The file
// is written beside its name and takes it at FileClose, only when the write
// succeeded: a refused or failed export leaves the file it was to replace.
class KZeqWriterDxf : public KZeqWriter {
public:
    explicit KZeqWriterDxf(KZeqSdkManager& manager);
    ~KZeqWriterDxf() override;

    bool FileCreate(const char* fileName) override;
    // Puts the file in place when the last Write succeeded, else drops it;
    // false when it could not be stored.
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    // A new KStreamOptionsDxf with its defaults; the caller releases it.
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;

private:
    // One node, then its subtree when asked.
    void WriteLayerTable(KZeqNode* node, bool recursive);
    void WritePolyfaceMesh(KZeqNode* node, bool recursive, KZeqStaticPlacement& placement);
    // The node's layer name, given on first use.
    const std::string& Layer(const KZeqNode* node);
    // A group code right-aligned in three characters, then its value.
    void Group(int code, const char* value);
    void GroupInt(int code, int value);
    void GroupReal(int code, double value);
    // A write that could not be stored, with the system's error number behind it.
    void OutputFailed(const KString& failure, int systemError);

    std::FILE* mFile = nullptr;
    KString mFileName;
    KFileReplacement mReplacement;
    bool mWritten = false;
    KZeqTextOutput mOut;
    bool mForceTriangulation = true;
    bool mEvaluateDeformations = true;
    // Each mesh node's layer: one word, told apart from the others by the reader.
    KZeqWordNames mLayerNames;
    std::unordered_map<const KZeqNode*, std::string> mLayers;
};

}  // namespace zeqsdk_400

#endif
