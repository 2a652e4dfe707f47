#include "formats/geometry/obj/kzeqwriterobj.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "formats/geometry/deform/kzeqdeformation.h"
#include "io/kstreamoptionsobj.h"
#include "io/kzeqtextscan.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

// Where an element's value for one polygon vertex lies in its direct array;
// -1 when the element has none for it.
int ElementIndex(const KZeqLayerElement* element, int directCount, int polygon, int polygonVertex,
                 int controlPoint) {
    if (!element) return -1;
    int at = -1;
    switch (element->GetMappingMode()) {
        case E::eBY_CONTROL_POINT: at = controlPoint; break;
        case E::eBY_POLYGON_VERTEX: at = polygonVertex; break;
        case E::eBY_POLYGON: at = polygon; break;
        case E::eALL_SAME: at = 0; break;
        default: return -1;
    }
    if (element->GetReferenceMode() != E::eDIRECT) {
        const KArrayTemplate<int>& indices = element->GetIndexArray();
        if (at < 0 || at >= indices.GetCount()) return -1;
        at = indices[at];
    }
    return at >= 0 && at < directCount ? at : -1;
}

// The index an index array gives at a position, -1 outside it.
int IndexAt(const KZeqLayerElement* element, int at) {
    if (!element) return -1;
    const KArrayTemplate<int>& indices = element->GetIndexArray();
    return at >= 0 && at < indices.GetCount() ? indices[at] : -1;
}

// A statement of numbers, each as "%lf".
void WriteValues(KZeqTextOutput& out, const char* keyword, std::initializer_list<double> values) {
    out << keyword;
    for (double value : values) out << " ", out.Fixed(value);
    out << "\n";
}

// The name of an object without its namespace prefix.
KString PlainName(const KZeqObject& object) { return object.GetNameWithoutNameSpacePrefix(); }

// A name as the word of a statement: blanks go in KZeqWordNames, and a
// backslash at its end would join the next line to the statement.
std::string StatementWord(const KString& name) {
    std::string word(name.Buffer());
    if (!word.empty() && word.back() == '\\') word.back() = '_';
    return word;
}

// The normals of a mesh laid out as the file will hold them: one per control
// point, polygon vertex, polygon or one for all, as the mesh maps them.
struct NormalLayout {
    enum EBy { eNONE, eCONTROL_POINT, ePOLYGON_VERTEX, ePOLYGON, eALL } mBy = eNONE;
    std::vector<KZeqVector4> mValues;
    std::vector<int> mControlPoints;  // by polygon vertex: the control point of each

    int Slot(int polygon, int polygonVertex, int controlPoint) const {
        switch (mBy) {
            case eCONTROL_POINT: return controlPoint;
            case ePOLYGON_VERTEX: return polygonVertex;
            case ePOLYGON: return polygon;
            default: return 0;
        }
    }
};

// Deformed normals need one entry per control point they follow: normals
// for a whole polygon or mesh are then laid out by polygon vertex.
NormalLayout LayOutNormals(KZeqMesh& mesh, bool deform) {
    NormalLayout layout;
    KZeqLayer* layer = mesh.GetLayer(0);
    const KZeqLayerElementNormal* normals = layer ? layer->GetNormals() : nullptr;
    if (!normals || normals->GetDirectArray().GetCount() == 0) return layout;
    const int direct = normals->GetDirectArray().GetCount();
    const KZeqVector4* values = normals->GetDirectArray().GetArray();
    const auto Value = [&](int polygon, int polygonVertex, int controlPoint) {
        const int at = ElementIndex(normals, direct, polygon, polygonVertex, controlPoint);
        return at >= 0 ? values[at] : KZeqVector4();
    };
    switch (normals->GetMappingMode()) {
        case E::eBY_CONTROL_POINT: layout.mBy = NormalLayout::eCONTROL_POINT; break;
        case E::eBY_POLYGON_VERTEX: layout.mBy = NormalLayout::ePOLYGON_VERTEX; break;
        case E::eBY_POLYGON: layout.mBy = deform ? NormalLayout::ePOLYGON_VERTEX : NormalLayout::ePOLYGON; break;
        case E::eALL_SAME: layout.mBy = deform ? NormalLayout::ePOLYGON_VERTEX : NormalLayout::eALL; break;
        default: return layout;
    }
    if (layout.mBy == NormalLayout::eCONTROL_POINT) {
        for (int k = 0; k < mesh.GetControlPointsCount(); ++k) layout.mValues.push_back(Value(-1, -1, k));
    } else if (layout.mBy == NormalLayout::eALL) {
        layout.mValues.push_back(Value(0, 0, 0));
    } else {
        int polygonVertex = 0;
        for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
            if (layout.mBy == NormalLayout::ePOLYGON) layout.mValues.push_back(Value(p, -1, -1));
            for (int v = 0; v < mesh.GetPolygonSize(p); ++v, ++polygonVertex) {
                if (layout.mBy != NormalLayout::ePOLYGON_VERTEX) continue;
                const int controlPoint = mesh.GetPolygonVertex(p, v);
                layout.mValues.push_back(Value(p, polygonVertex, controlPoint));
                layout.mControlPoints.push_back(controlPoint);
            }
        }
    }
    return layout;
}

}  // namespace

KZeqWriterObj::KZeqWriterObj(KZeqSdkManager& manager) : KZeqWriter(manager) {}

KZeqWriterObj::~KZeqWriterObj() {
    // Dropped without FileClose: nothing written is kept.
    mWritten = false;
    KZeqWriterObj::FileClose();
}

bool KZeqWriterObj::FileCreate(const char* fileName) {
    if (mFile) FileClose();
    mWritten = false;
    // Through the descriptor the temporary was created with: never reopened by name. The
    // folders on the way are made in the same walk.
    if (fileName && mReplacement.Begin(fileName, true)) mFile = mReplacement.OpenStream("wb");
    if (!mFile) {
        // Why the file was refused (not a regular file, no directory ...).
        ReplacementFailed(mReplacement, eFileNotOpened);
        mReplacement.Discard();
        return false;
    }
    mPath = fileName;
    mOut.Reset(mFile);
    return true;
}

bool KZeqWriterObj::FileClose() {
    if (!mFile) return true;
    bool stored = CloseMaterialFile();
    const bool flushed = mOut.Flush();
    const KString failure = mOut.GetFailure();
    const int flushError = mOut.GetSystemError();
    mOut.Reset(nullptr);
    const bool closed = std::fclose(mFile) == 0;
    const int error = errno;
    mFile = nullptr;
    if (!flushed || !closed)
        OutputFailed(mPath.Buffer(), flushed ? KString(std::strerror(error)) : failure, flushed ? error : flushError);
    stored = stored && flushed && closed;
    if (mWritten && stored) {
        // The material file and texture copies take their names with the OBJ
        // file that names them (it goes last), all or none.
        std::vector<KFileReplacement*> group{&mMtlReplacement};
        for (auto& texture : mTextures) group.push_back(texture.get());
        group.push_back(&mReplacement);
        if (const KFileReplacement* failed = KFileReplacement::CommitTogether(group.data(), group.size())) {
            ReplacementFailed(*failed, eFileNotCreated);
            stored = false;
        }
        // A texture copy that could not take its name was left out alone.
        if (stored) ReportTextureCopiesLeftOut(mTextures);
    }
    mMtlReplacement.Discard();
    mTextures.clear();
    mReplacement.Discard();
    mWritten = false;
    mPath.Empty();
    return stored;
}

KStreamOptions* KZeqWriterObj::GetWriteOptions() { return new KStreamOptionsObj; }

void KZeqWriterObj::OutputFailed(const char* path, const KString& failure, int systemError) {
    mFailed = true;
    mError.SetLastErrorID(eOutOfDiskSpace);
    mError.SetLastSystemError(systemError);
    mMessage += KString("Error writing \"") + path + "\": " + failure + "\n";
}

bool KZeqWriterObj::Write(KZeqScene& scene, KStreamOptions* options) {
    mWritten = false;
    if (!options || !options->Is(KStreamOptionsObj::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    if (RefuseSceneWithoutRoot(scene)) return false;
    const KStreamOptionsObj& obj = *static_cast<KStreamOptionsObj*>(options);
    mForceTriangulation = obj.GetOption(KStreamOptionsBase::eFORCE_TRIANGULATION) != 0;
    mEvaluateDeformations = obj.GetOption(KStreamOptionsBase::eEVALUATE_DEFORMATIONS) != 0;
    KZeqNode* root = scene.GetRootNode();
    if (!root) return false;
    mFailed = false;
    InitNodes(root);

    mOut << "# \n# Corvantis OBJ file\n# Written by the Zeq SDK\n# \n";
    if (mHasMaterials) {
        if (CreateMaterialFile())
            mOut << "mtllib " << ExtractFileName(mMtlPath.Buffer(), true).Buffer() << "\n\n";
        else
            mMessage += KString("Unable to create material file \"") + mMtlPath + "\"" +
                        (*mMtlReplacement.GetError() ? KString(": ") + mMtlReplacement.GetError() : KString()) +
                        ": the OBJ file names no materials.\n";
        mDefaultMaterial = mManager.CreateKZeqMaterial(mMaterialNames.Give("default").c_str());
    }

    // Depth first in child order, with a stack of its own.
    KZeqStaticPlacement placement;
    std::vector<KZeqNode*> pending{root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        WriteNode(node, placement);
        for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
    }

    if (mDefaultMaterial) mManager.DestroyKZeqMaterial(mDefaultMaterial);
    mDefaultMaterial = nullptr;
    mMaterials.clear();
    CloseMaterialFile();
    if (!mOut.Flush()) OutputFailed(mPath.Buffer(), mOut.GetFailure(), mOut.GetSystemError());
    mWritten = !mFailed;
    return mWritten;
}

void KZeqWriterObj::InitNodes(KZeqNode* root) {
    std::vector<KZeqNode*> pending{root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        for (int i = node->GetChildCount() - 1; i >= 0; --i) pending.push_back(node->GetChild(i));
        KZeqNodeAttribute* attribute = node->GetNodeAttribute();
        if (!attribute) continue;
        const KZeqNodeAttribute::EAttributeType type = attribute->GetAttributeType();
        if (type != KZeqNodeAttribute::eMESH && type != KZeqNodeAttribute::eNURB && type != KZeqNodeAttribute::ePATCH)
            continue;
        if (type != KZeqNodeAttribute::eMESH || mForceTriangulation) KZeqDeformation::TriangulateInPlace(mManager, node);
        KZeqGeometry* geometry = node->GetGeometry();
        if (geometry && (geometry->GetMaterialCount(0) > 0 || geometry->GetTextureCount(0) > 0)) mHasMaterials = true;
    }
}

bool KZeqWriterObj::CreateMaterialFile() {
    // The OBJ file's name as it is: lower-cased, "Box.obj" would replace the library "box.obj" names.
    KString name = ChangeFileExtension(ExtractFileName(mPath.Buffer(), true).Buffer(), ".mtl");
    if (name == ExtractFileName(mPath.Buffer(), true)) name += ".mtl";
    // "mtllib" names its libraries one word each.
    for (char* c = name.Buffer(); *c; ++c)
        if (ZeqIsBlank(*c)) *c = '_';
    // Beside the OBJ file, in the folder its replacement holds: never found by a walk of its own.
    KHeldFolder folder;
    const bool held = mReplacement.GetFolder(folder);
    mMtlPath = held ? KString(folder.PathOf(name.Buffer()).c_str())
                    : MakeFullPath(ExtractDirectoryFromFilePath(mPath.Buffer()).Buffer(), name.Buffer());
    if (held && mMtlReplacement.Begin(folder, name.Buffer())) mMtlFile = mMtlReplacement.OpenStream("wb");
    if (!mMtlFile) {
        mMtlReplacement.Discard();
        return false;
    }
    mMtl.Reset(mMtlFile);
    mMtl << "# \n# Corvantis material file\n# Written by the Zeq SDK\n# \n";
    return true;
}

bool KZeqWriterObj::CloseMaterialFile() {
    if (!mMtlFile) return true;
    const bool flushed = mMtl.Flush();
    const KString failure = mMtl.GetFailure();
    const int flushError = mMtl.GetSystemError();
    mMtl.Reset(nullptr);
    const bool closed = std::fclose(mMtlFile) == 0;
    const int error = errno;
    mMtlFile = nullptr;
    if (!flushed || !closed)
        OutputFailed(mMtlPath.Buffer(), flushed ? KString(std::strerror(error)) : failure,
                     flushed ? error : flushError);
    mMtlPath.Empty();
    return flushed && closed;
}

int KZeqWriterObj::FindObjMaterial(KZeqMaterial* material, KZeqTexture* texture) const {
    for (std::size_t i = 0; i < mMaterials.size(); ++i)
        if (mMaterials[i].mMaterial == material && mMaterials[i].mTexture == texture) return static_cast<int>(i);
    return -1;
}

void KZeqWriterObj::UseMaterial(KZeqMaterial* material, KZeqTexture* texture) {
    // Without its library the file names no material: a name no file defines means nothing.
    if (!mMtlFile) return;
    int index = FindObjMaterial(material, texture);
    if (index < 0) {
        const std::string name = mMaterialNames.Give(StatementWord(PlainName(*material)));
        mMaterials.push_back(KObjMaterial{material, texture, KString(name.c_str())});
        index = static_cast<int>(mMaterials.size()) - 1;
        WriteMaterial(mMaterials.back().mName.Buffer(), material, texture);
    }
    mOut << "usemtl " << mMaterials[static_cast<std::size_t>(index)].mName.Buffer() << "\n";
}

bool KZeqWriterObj::WriteMaterial(const char* name, KZeqMaterial* material, KZeqTexture* texture) {
    if (!mMtlFile) return false;
    mMtl << "\nnewmtl " << name << "\n";
    if (texture && texture->GetTextureUse() == KZeqTexture::eSTANDARD) {
        CopyTextureFile(texture->GetFileName());
        mMtl << "map_Kd " << ExtractFileName(texture->GetFileName(), true).Buffer() << "\n";
    }
    const KZeqColor ambient = material->GetAmbient(), diffuse = material->GetDiffuse(),
                    specular = material->GetSpecular();
    WriteValues(mMtl, "Ka", {ambient.mRed, ambient.mGreen, ambient.mBlue});
    WriteValues(mMtl, "Kd", {diffuse.mRed, diffuse.mGreen, diffuse.mBlue});
    WriteValues(mMtl, "Ks", {specular.mRed, specular.mGreen, specular.mBlue});
    mMtl << "illum 2\n";
    WriteValues(mMtl, "Ns", {material->GetShininess() * 100.0});
    // The opacity itself, as the reader takes it.
    WriteValues(mMtl, "Tr", {material->GetOpacity()});
    return true;
}

void KZeqWriterObj::CopyTextureFile(const char* path) {
    CopyTextureBeside(path, mReplacement, mTextures);
}

void KZeqWriterObj::WriteNode(KZeqNode* node, KZeqStaticPlacement& placement) {
    KZeqMesh* mesh = node->GetMesh();
    if (!mesh) return;
    const int pointCount = mesh->GetControlPointsCount();
    const int polygonCount = mesh->GetPolygonCount();
    const int materialCount = mesh->GetMaterialCount(0);
    const int textureCount = mesh->GetTextureCount(0);
    KZeqLayer* layer = mesh->GetLayer(0);
    const KZeqLayerElementMaterial* materials = layer ? layer->GetMaterials() : nullptr;
    const KZeqLayerElementTexture* textures = layer ? layer->GetTextures() : nullptr;
    const KZeqLayerElementUV* uvElement = layer ? layer->GetUVs() : nullptr;
    const int uvCount = uvElement ? uvElement->GetDirectArray().GetCount() : 0;
    const KZeqMesh::EMappingType materialMapping = mesh->GetMaterialMappingType();
    const KZeqMesh::EMappingType textureMapping = mesh->GetTextureMappingType();
    const int positionBase = mNextPosition, textureBase = mNextTexture, normalBase = mNextNormal;

    const KZeqXMatrix global = placement.Of(*node);
    const KZeqXMatrix normalTransform = global.Inverse().Transpose();
    mOut << "g " << mGroupNames.Give(StatementWord(PlainName(*node))) << "\n";

    // Deformation works on copies: the scene keeps its rest shape.
    const bool deform = mEvaluateDeformations && (mesh->GetShapeCount() > 0 || mesh->GetLinkCount() > 0);
    std::vector<KZeqVector4> points(mesh->GetControlPoints(), mesh->GetControlPoints() + pointCount);
    NormalLayout normals = LayOutNormals(*mesh, deform);
    if (deform) {
        // Normal tips go through the deformation with their control points.
        const int* map = normals.mBy == NormalLayout::ePOLYGON_VERTEX ? normals.mControlPoints.data() : nullptr;
        std::vector<KZeqVector4> tips = normals.mValues;
        for (std::size_t e = 0; e < tips.size(); ++e) {
            const int k = map ? map[e] : static_cast<int>(e);
            if (k >= 0 && k < pointCount) tips[e] += points[static_cast<std::size_t>(k)];
        }
        KZeqDeformation::Deform(global, mesh, points.data(), pointCount, nullptr, &placement);
        KZeqDeformation::Deform(global, mesh, tips.data(), static_cast<int>(tips.size()), map, &placement);
        for (std::size_t e = 0; e < tips.size(); ++e) {
            const int k = map ? map[e] : static_cast<int>(e);
            if (k >= 0 && k < pointCount) normals.mValues[e] = tips[e] - points[static_cast<std::size_t>(k)];
        }
    }

    for (const KZeqVector4& point : points) {
        const KZeqVector4 p = global.MultT(point);
        WriteValues(mOut, "v", {p[0], p[1], p[2]});
    }

    // Texture coordinates: per polygon corner when textures change by
    // polygon (each swapped as its polygon's texture says), else the mesh's
    // own list in order. A corner without one gets no number.
    const bool perCorner = uvCount > 0 && textureCount > 0 && textureMapping == KZeqMesh::eBY_POLYGON;
    std::vector<int> cornerTexture;  // per polygon vertex: the texture-coordinate number, 0 for none
    if (uvCount > 0) {
        const KZeqVector2* uvs = uvElement->GetDirectArray().GetArray();
        const auto WriteUV = [&](const KZeqVector2& uv, bool swap) {
            WriteValues(mOut, "vt", {uv[swap ? 1 : 0], uv[swap ? 0 : 1]});
            ++mNextTexture;
        };
        if (!perCorner) {
            KZeqTexture* last = textureCount > 0 ? mesh->GetTexture(textureCount - 1) : nullptr;
            const bool swap = last && textureMapping == KZeqMesh::eALL_SAME && last->GetSwapUV();
            for (int i = 0; i < uvCount; ++i) WriteUV(uvs[i], swap);
        }
        int polygonVertex = 0;
        for (int p = 0; p < polygonCount; ++p) {
            KZeqTexture* texture = perCorner ? mesh->GetTexture(IndexAt(textures, p)) : nullptr;
            for (int v = 0; v < mesh->GetPolygonSize(p); ++v, ++polygonVertex) {
                const int at = ElementIndex(uvElement, uvCount, p, polygonVertex, mesh->GetPolygonVertex(p, v));
                if (at < 0) {
                    cornerTexture.push_back(0);
                } else if (perCorner) {
                    cornerTexture.push_back(mNextTexture);
                    WriteUV(uvs[at], texture && texture->GetSwapUV());
                } else {
                    cornerTexture.push_back(textureBase + at);
                }
            }
        }
    }

    for (KZeqVector4 normal : normals.mValues) {
        normal = normalTransform.MultT(normal);
        normal.Normalize();
        WriteValues(mOut, "vn", {normal[0], normal[1], normal[2]});
    }
    mNextNormal += static_cast<int>(normals.mValues.size());
    mNextPosition += pointCount;

    const bool hasMaterials = materialCount > 0 || textureCount > 0;
    const bool uniform = !((materialCount > 0 && materialMapping != KZeqMesh::eALL_SAME) ||
                           (textureCount > 0 && textureMapping != KZeqMesh::eALL_SAME));
    if (hasMaterials && uniform) {
        KZeqMaterial* material = materialCount > 0 ? mesh->GetMaterial(materialCount - 1) : nullptr;
        KZeqTexture* texture = textureCount > 0 ? mesh->GetTexture(textureCount - 1) : nullptr;
        if (material || mDefaultMaterial) UseMaterial(material ? material : mDefaultMaterial, texture);
    } else if (!hasMaterials && mDefaultMaterial) {
        UseMaterial(mDefaultMaterial, nullptr);
    }

    int polygonVertex = 0;
    bool first = true;
    KZeqMaterial* lastMaterial = nullptr;
    KZeqTexture* lastTexture = nullptr;
    for (int p = 0; p < polygonCount; ++p) {
        if (hasMaterials && !uniform) {
            KZeqMaterial* material = nullptr;
            if (materialCount > 0 && materialMapping == KZeqMesh::eALL_SAME)
                material = mesh->GetMaterial(materialCount - 1);
            else if (materialCount > 0 && materialMapping == KZeqMesh::eBY_POLYGON)
                material = mesh->GetMaterial(IndexAt(materials, p));
            else if (materialCount > 0 && materialMapping == KZeqMesh::eBY_CONTROL_POINT)
                material = mesh->GetMaterial(IndexAt(materials, mesh->GetPolygonVertex(p, 0)));
            KZeqTexture* texture = nullptr;
            if (textureCount > 0 && textureMapping == KZeqMesh::eALL_SAME)
                texture = mesh->GetTexture(textureCount - 1);
            else if (textureCount > 0 && textureMapping == KZeqMesh::eBY_POLYGON)
                texture = mesh->GetTexture(IndexAt(textures, p));
            // A polygon without a material takes the default one rather than its predecessor's.
            if (!material) material = mDefaultMaterial;
            if ((first || material != lastMaterial || texture != lastTexture) && material)
                UseMaterial(material, texture);
            first = false;
            lastMaterial = material, lastTexture = texture;
        }
        mOut << "f";
        for (int v = 0; v < mesh->GetPolygonSize(p); ++v, ++polygonVertex) {
            const int controlPoint = mesh->GetPolygonVertex(p, v);
            mOut << " " << positionBase + controlPoint;
            const int texture = cornerTexture.empty() ? 0 : cornerTexture[static_cast<std::size_t>(polygonVertex)];
            if (normals.mBy != NormalLayout::eNONE) {
                mOut << "/";
                if (texture > 0) mOut << texture;
                mOut << "/" << normalBase + normals.Slot(p, polygonVertex, controlPoint);
            } else if (texture > 0) {
                mOut << "/" << texture;
            }
        }
        mOut << "\n";
    }
}

}  // namespace zeqsdk_400
