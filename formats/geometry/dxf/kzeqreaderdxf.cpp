#include "formats/geometry/dxf/kzeqreaderdxf.h"

#include <algorithm>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "fileio/kpath.h"
#include "io/kzeqscenerollback.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

std::string Upper(std::string_view text) {
    std::string key(text);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return key;
}

// A file value as a C string: up to its first NUL.
std::string Text(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

}  // namespace

KZeqReaderDxf::KZeqReaderDxf(KZeqSdkManager& manager) : KZeqReader(manager) {}

KZeqReaderDxf::~KZeqReaderDxf() { KZeqReaderDxf::FileClose(); }

bool KZeqReaderDxf::FileOpen(const char* fileName) {
    if (mFile) FileClose();
    if (!fileName) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    mFile = OpenFileForReading(fileName, "rb");
    if (!mFile) return false;
    mFileName = fileName;
    return true;
}

bool KZeqReaderDxf::FileClose() {
    bool closed = true;
    if (mFile) closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    mFileName.Empty();
    return closed;
}

KStreamOptions* KZeqReaderDxf::GetReadOptions(bool) { return new KStreamOptionsDxf; }

KString KZeqReaderDxf::UniqueName(std::string_view name) {
    KName unique(Text(name).c_str());
    mRenamer.Rename(unique);
    return KString(unique.GetCurrentName());
}

bool KZeqReaderDxf::Read(KZeqScene& scene, KStreamOptions* options) {
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    if (!options || !options->Is(KStreamOptionsDxf::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    const KStreamOptionsDxf& dxf = *static_cast<KStreamOptionsDxf*>(options);
    mDerivation = dxf.GetObjectDerivation();
    mWeld = dxf.GetOption(KStreamOptionsBase::eWELD_VERTICES) == 1;
    mCreateReferenceNode = dxf.GetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE) == 1;
    KZeqSceneRollback rollback(mManager, &scene);
    bool read = mPairs.Load(mFile);
    if (read) {
        KZeqNode* parent = scene.GetRootNode();
        if (mCreateReferenceNode) {
            const KString name = ExtractFileName(mFileName.Buffer(), false) + "_root";
            KZeqNode* reference = mManager.CreateKZeqNode(UniqueName(name.Buffer()).Buffer());
            read = reference && parent->AddChild(reference);
            parent = reference;
        }
        read = read && ReadSections(parent);
    }
    if (read) return true;
    // A file that ends early leaves nothing behind, its materials included.
    rollback.Undo();
    for (KZeqMaterial*& material : mMaterials) material = nullptr;
    mError.SetLastErrorID(eFileCorrupted);
    return false;
}

bool KZeqReaderDxf::ReadSections(KZeqNode* parent) {
    while (mPairs.Next()) {
        if (mPairs.Is(0, "EOF")) return true;
        if (!mPairs.Is(0, "SECTION")) continue;
        if (!mPairs.Next()) return false;
        if (mPairs.Is(2, "TABLES")) {
            if (!ReadTables()) return false;
        } else if (mPairs.Is(2, "BLOCKS")) {
            // Read only through the references; skipped pair by pair here.
            mBlocksPosition = static_cast<long long>(mPairs.Tell());
        } else if (mPairs.Is(2, "ENTITIES")) {
            // Nothing after the entities is read.
            switch (mDerivation) {
                case KStreamOptionsDxf::eBY_ENTITY: return ReadEntities(parent);
                case KStreamOptionsDxf::eBY_BLOCK: return ReadBlock(parent, "ENTITIES", Transform(), true, 0, 0, 0);
                default: return ReadEntitiesByLayer(parent);
            }
        }
    }
    return false;
}

bool KZeqReaderDxf::ReadTables() {
    while (mPairs.Next()) {
        if (mPairs.Is(0, "ENDSEC")) return true;
        if (!mPairs.Is(0, "TABLE")) continue;
        if (!mPairs.Next()) return false;
        if (!mPairs.Is(2, "LAYER")) {
            while (!mPairs.Is(0, "ENDTAB"))
                if (!mPairs.Next()) return false;
            continue;
        }
        // Name and colour carry over: an entry without a colour takes the one before.
        std::string name;
        int color = 0;
        bool entry = false;
        while (mPairs.Next()) {
            if (mPairs.Code() == 0) {
                if (entry && !name.empty()) mLayerColors.emplace(Upper(name), color);
                entry = mPairs.Value() == "LAYER";
                if (mPairs.Value() == "ENDTAB") break;
            } else if (entry && mPairs.Code() == 2) {
                name = Text(mPairs.Value());
            } else if (entry && mPairs.Code() == 62) {
                color = mPairs.Int();
            }
        }
        if (!mPairs.Is(0, "ENDTAB")) return false;
    }
    return false;
}

bool KZeqReaderDxf::ReadEntities(KZeqNode* parent) {
    while (mPairs.Next()) {
        if (mPairs.Is(0, "ENDSEC") || mPairs.Is(0, "ENDBLK")) return true;
        if (mPairs.Code() != 0) continue;
        if (mPairs.Value() == "INSERT") {
            if (!ReadInsert(parent)) return false;
            continue;
        }
        const EEntity entity = EntityOf(mPairs.Value());
        if (entity == eOTHER) continue;
        KZeqNode* node = mManager.CreateKZeqNode(UniqueName(mPairs.Value()).Buffer());
        if (!node) return false;
        KDxfMeshArrays arrays;
        KZeqMesh* mesh = ReadEntity(entity, &arrays, nullptr, false, false) ? ConsumeMeshArrays(arrays) : nullptr;
        if (!mesh) {
            mManager.DestroyKZeqNode(node, true);
            continue;
        }
        node->SetNodeAttribute(mesh);
        if (entity == eLINE) node->SetShadingMode(KZeqNode::eWIRE_FRAME);
        if (!parent->AddChild(node)) return false;
    }
    return false;
}

bool KZeqReaderDxf::ReadEntitiesByLayer(KZeqNode* parent) {
    Layers layers;
    bool ended = false;
    while (!ended && mPairs.Next()) {
        if (mPairs.Is(0, "ENDSEC") || mPairs.Is(0, "ENDBLK")) {
            ended = true;
        } else if (mPairs.Is(0, "INSERT")) {
            if (!ReadInsert(parent)) return false;
        } else if (mPairs.Code() == 0) {
            const EEntity entity = EntityOf(mPairs.Value());
            if (entity != eOTHER) ReadEntity(entity, nullptr, &layers, mWeld, true);
        }
    }
    if (!ended) return false;
    for (auto& layer : layers) {
        // A layer whose entities gave nothing (2D polylines) makes no node.
        if (layer.second.mArrays.Empty()) continue;
        KZeqMesh* mesh = ConsumeMeshArrays(layer.second.mArrays);
        layer.second.mArrays = KDxfMeshArrays();
        if (!mesh) continue;
        KZeqNode* node = mManager.CreateKZeqNode(UniqueName(layer.second.mName).Buffer());
        if (!node) {
            mManager.DestroyKZeqNodeAttribute(mesh);
            return false;
        }
        node->SetNodeAttribute(mesh);
        auto color = mLayerColors.find(layer.first);
        if (color != mLayerColors.end() && color->second < 0) node->SetVisibility(false);
        if (!parent->AddChild(node)) return false;
    }
    return true;
}

bool KZeqReaderDxf::ReadBlock(KZeqNode* parent, const char* name, const Transform& transform, bool topLevel,
                              double baseX, double baseY, double baseZ, const std::string* key) {
    KZeqNode* node = mManager.CreateKZeqNode(name);
    if (!node) return false;
    auto known = key ? mBlockContents.find(*key) : mBlockContents.end();
    const BlockContent* content = known != mBlockContents.end() ? &known->second : nullptr;
    if (content) {
        // Placed before: its own references are read again, in order.
        for (std::size_t reference : content->mReferences) {
            mPairs.Seek(reference);
            if (!ReadInsert(node)) return false;
        }
    } else {
        BlockContent read;
        bool ended = false;
        while (!ended && mPairs.Next()) {
            if (mPairs.Is(0, "ENDSEC") || mPairs.Is(0, "ENDBLK")) {
                ended = true;
            } else if (mPairs.Is(0, "INSERT")) {
                // References at the top level are no references of the top-level node.
                if (!topLevel) read.mReferences.push_back(mPairs.Tell());
                if (!ReadInsert(topLevel ? parent : node)) return false;
            } else if (mPairs.Code() == 0) {
                const EEntity entity = EntityOf(mPairs.Value());
                if (entity != eOTHER) {
                    ReadEntity(entity, &read.mArrays, nullptr, mWeld, true);
                    read.mGeometry = true;
                }
            }
        }
        if (!ended) return false;
        read.mArrays.ReleaseIndex();
        content = key ? &(mBlockContents[*key] = std::move(read)) : nullptr;
        if (!content) return FinishBlock(*node, *parent, read, transform, baseX, baseY, baseZ);
    }
    return FinishBlock(*node, *parent, *content, transform, baseX, baseY, baseZ);
}

bool KZeqReaderDxf::FinishBlock(KZeqNode& node, KZeqNode& parent, const BlockContent& content,
                                const Transform& transform, double baseX, double baseY, double baseZ) {
    if (!content.mGeometry && content.mReferences.empty()) return mManager.DestroyKZeqNode(&node, true);
    if (content.mGeometry)
        if (KZeqMesh* mesh = CreateMeshFromArrays(content.mArrays)) node.SetNodeAttribute(mesh);
    Place(node, transform, baseX, baseY, baseZ);
    return parent.AddChild(&node);
}

void KZeqReaderDxf::Place(KZeqNode& node, const Transform& transform, double baseX, double baseY, double baseZ) {
    const double* v = transform.mValues;
    // File axes (x, y, z) are the scene's (x, z, -y); the rotation about the
    // file's z axis turns about the scene's y.
    const KZeqVector4 scaling(v[3], v[5], v[4], 0.0), rotation(0.0, v[6], 0.0, 0.0);
    if (v[3] != 1.0 || v[4] != 1.0 || v[5] != 1.0) node.SetDefaultS(scaling);
    if (v[6] != 0.0) node.SetDefaultR(rotation);
    // The block's base point lands on the insertion point.
    KZeqVector4 translation(v[0], v[2], -v[1], 0.0);
    if (baseX != 0.0 || baseY != 0.0 || baseZ != 0.0)
        translation -= KZeqXMatrix(KZeqVector4(), rotation, scaling).MultT(KZeqVector4(baseX, baseZ, -baseY, 1.0));
    if (translation[0] != 0.0 || translation[1] != 0.0 || translation[2] != 0.0) node.SetDefaultT(translation);
}

bool KZeqReaderDxf::ReadInsert(KZeqNode* parent) {
    Transform transform;
    std::string name;
    std::size_t end = mPairs.Tell();
    for (;;) {
        end = mPairs.Tell();
        if (!mPairs.Next()) return false;
        if (mPairs.Code() == 0) break;
        switch (mPairs.Code()) {
            case 2: name = Text(mPairs.Value()); break;
            case 10: transform.mValues[0] = mPairs.Double(); break;
            case 20: transform.mValues[1] = mPairs.Double(); break;
            case 30: transform.mValues[2] = mPairs.Double(); break;
            case 41: transform.mValues[3] = mPairs.Double(); break;
            case 42: transform.mValues[4] = mPairs.Double(); break;
            case 43: transform.mValues[5] = mPairs.Double(); break;
            case 50: transform.mValues[6] = mPairs.Double(); break;
            default: break;
        }
    }
    // A block placing itself, directly or through others, would never end;
    // so would nesting without bound or references without number.
    bool read = true;
    if (name.empty()) {
        // Nothing to place.
    } else if (std::find(mBlockStack.begin(), mBlockStack.end(), name) != mBlockStack.end()) {
        mMessage += KString("Block \"") + name.c_str() + "\" places itself: the reference is skipped\n";
    } else if (static_cast<int>(mBlockStack.size()) >= kMostNesting) {
        mMessage += KString("Block \"") + name.c_str() + "\" is placed too deep: the reference is skipped\n";
    } else if (mReferences >= kMostReferences) {
        if (mReferences++ == kMostReferences) mMessage += "Too many block references: the rest are skipped\n";
    } else {
        double x = 0, y = 0, z = 0;
        int flags = 0;
        if (FindBlock(name) && ReadBlockHeader(x, y, z, flags)) {
            ++mReferences;
            mBlockStack.push_back(name);
            read = ReadBlock(parent, UniqueName(name).Buffer(), transform, false, x, y, z, &name);
            mBlockStack.pop_back();
        }
    }
    mPairs.Seek(end);
    return read;
}

bool KZeqReaderDxf::FindBlock(std::string_view name) {
    if (!mBlocksIndexed) {
        mBlocksIndexed = true;
        const std::size_t resume = mPairs.Tell();
        bool found = mBlocksPosition >= 0;
        if (found) {
            mPairs.Seek(static_cast<std::size_t>(mBlocksPosition));
        } else {
            // A BLOCKS section after the entities.
            while (!found && mPairs.Next())
                if (mPairs.Is(0, "SECTION") && mPairs.Next() && mPairs.Is(2, "BLOCKS")) found = true;
        }
        // Each BLOCK entity's own name: the first group 2 before its next code 0.
        bool inHeader = false;
        while (found && mPairs.Next() && !mPairs.Is(0, "ENDSEC") && !mPairs.Is(0, "EOF")) {
            if (mPairs.Code() == 0) {
                inHeader = mPairs.Value() == "BLOCK";
            } else if (inHeader && mPairs.Code() == 2) {
                mBlocks.emplace(Text(mPairs.Value()), mPairs.Tell());
                inHeader = false;
            }
        }
        mPairs.Seek(resume);
    }
    auto block = mBlocks.find(std::string(name));
    if (block == mBlocks.end()) return false;
    mPairs.Seek(block->second);
    return true;
}

bool KZeqReaderDxf::ReadBlockHeader(double& x, double& y, double& z, int& flags) {
    x = y = z = 0.0;
    flags = 0;
    for (;;) {
        const std::size_t before = mPairs.Tell();
        if (!mPairs.Next()) return false;
        switch (mPairs.Code()) {
            case 0: mPairs.Seek(before); return true;
            case 10: x = mPairs.Double(); break;
            case 20: y = mPairs.Double(); break;
            case 30: z = mPairs.Double(); break;
            case 70: flags = mPairs.Int(); break;
            default: break;
        }
    }
}

}  // namespace zeqsdk_400
