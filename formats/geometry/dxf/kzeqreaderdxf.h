#ifndef ZEQ_FORMATS_GEOMETRY_DXF_KZEQREADERDXF_H
#define ZEQ_FORMATS_GEOMETRY_DXF_KZEQREADERDXF_H

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kname.h"
#include "base/kset.h"
#include "base/kstring.h"
#include "formats/geometry/dxf/kdxfmesharrays.h"
#include "formats/geometry/dxf/kdxfpairs.h"
#include "io/kstreamoptionsdxf.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KZeqMaterial;
class KZeqMesh;
class KZeqNode;

// Reads an ASCII DXF file into a scene: the polygon meshes its POLYLINE
// (polyface and 3D polyline), 3DFACE and LINE entities make, grouped into
// nodes by layer, by block or one per entity, and its block references
// (INSERT) as nodes carrying their placement. The file's z-up axes become the
// scene's y-up ones: (x, y, z) is read as (x, z, -y). One material per colour
// number, its diffuse colour that of the AutoCAD colour index. Reading ends
// with the ENTITIES section. A read that fails leaves nothing of its own.
class KZeqReaderDxf : public KZeqReader {
public:
    explicit KZeqReaderDxf(KZeqSdkManager& manager);
    ~KZeqReaderDxf() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    // A new KStreamOptionsDxf with its defaults; the caller releases it.
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

    // A block may place blocks at most this deep; deeper references are skipped.
    static constexpr int kMostNesting = 64;
    // Block references one read expands at most; the rest are skipped.
    static constexpr int kMostReferences = 100000;

private:
    // The seven placement values of a block reference, in file axes:
    // insertion x, y, z, scale x, y, z, rotation in degrees about z.
    struct Transform {
        double mValues[7] = {0, 0, 0, 1, 1, 1, 0};
    };

    bool ReadSections(KZeqNode* parent);
    bool ReadTables();
    // The three groupings of the ENTITIES section (and of ENDBLK-ended lists).
    bool ReadEntities(KZeqNode* parent);
    bool ReadEntitiesByLayer(KZeqNode* parent);
    // A node named name for the entities up to ENDBLK or ENDSEC. A block
    // read once (key: its name) is not read again: its arrays are kept, and
    // only its own references are read again from the file.
    bool ReadBlock(KZeqNode* parent, const char* name, const Transform& transform, bool topLevel,
                   double baseX, double baseY, double baseZ, const std::string* key = nullptr);
    // The block's node gets its mesh and placement and joins the parent;
    // a block with neither entities nor references makes none.
    struct BlockContent;
    bool FinishBlock(KZeqNode& node, KZeqNode& parent, const BlockContent& content, const Transform& transform,
                     double baseX, double baseY, double baseZ);
    // Called just after (0, "INSERT"): the referenced block as a node, then
    // the file positioned at the pair that ended the reference.
    bool ReadInsert(KZeqNode* parent);
    // Positions the file behind the name of the block's BLOCK entity.
    bool FindBlock(std::string_view name);
    bool ReadBlockHeader(double& x, double& y, double& z, int& flags);

    // kzeqreaderdxf_entities.cpp
    enum EEntity { eLINE, e3DFACE, ePOLYLINE, eOTHER };
    // The arrays of each layer, by upper-cased name (so in the order of the
    // names, ignoring case), with the name as first met.
    struct LayerArrays {
        std::string mName;
        KDxfMeshArrays mArrays;
    };
    typedef std::map<std::string, LayerArrays> Layers;
    static EEntity EntityOf(std::string_view name);
    // Reads the entity just after its (0, name) pair into arrays: the
    // arrays of its layer (layers given), or those given. Degenerate faces
    // are dropped when asked; points are welded when asked (never a
    // polyline's). False when nothing could be read of a polyline (no VERTEX
    // after it).
    bool ReadEntity(EEntity entity, KDxfMeshArrays* arrays, Layers* layers, bool weld, bool dropDegenerate);
    void ReadVertices(KDxfMeshArrays& arrays, int base, int color);
    // The colour number of an entity: its own, or its layer's for 0 and 256;
    // 0 (none) outside 1 to 255.
    int EntityColor(int color, std::string_view layer) const;
    // Null when the arrays make no mesh (a face of fewer than two points).
    KZeqMesh* CreateMeshFromArrays(const KDxfMeshArrays& arrays);
    // The same, freeing the arrays' welding index and points as it goes.
    KZeqMesh* ConsumeMeshArrays(KDxfMeshArrays& arrays);
    KZeqMesh* BuildMesh(const KDxfMeshArrays& arrays, KDxfMeshArrays* consumed);
    KZeqMaterial* MaterialOf(int color);

    // Node names made unique within the read.
    KString UniqueName(std::string_view name);
    // Applies a block reference's placement to its node.
    static void Place(KZeqNode& node, const Transform& transform, double baseX, double baseY, double baseZ);

    std::FILE* mFile = nullptr;
    KString mFileName;
    KDxfPairs mPairs;
    int mMaterialCounter = 0;
    KStreamOptionsDxf::EObjectDerivation mDerivation = KStreamOptionsDxf::eBY_LAYER;
    bool mWeld = true;
    bool mCreateReferenceNode = true;
    KNumberRenamingStrategy mRenamer;
    std::unordered_map<std::string, int> mLayerColors;  // by upper-cased name, the first entry of a name
    KZeqMaterial* mMaterials[256] = {};
    // Block positions by name (behind the name pair), indexed once.
    bool mBlocksIndexed = false;
    long long mBlocksPosition = -1;  // just behind (2, "BLOCKS"); -1 until read
    std::unordered_map<std::string, std::size_t> mBlocks;
    // What a block's definition gave: its arrays, whether it has entities,
    // and where each of its references begins (just behind its INSERT).
    struct BlockContent {
        KDxfMeshArrays mArrays;
        bool mGeometry = false;
        std::vector<std::size_t> mReferences;
    };
    std::unordered_map<std::string, BlockContent> mBlockContents;
    // The blocks being read, to refuse one that places itself.
    std::vector<std::string> mBlockStack;
    int mReferences = 0;
};

}  // namespace zeqsdk_400

#endif
