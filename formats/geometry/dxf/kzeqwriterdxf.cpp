#include "formats/geometry/dxf/kzeqwriterdxf.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/deform/kzeqdeformation.h"
#include "formats/geometry/dxf/kdxfcolors.h"
#include "io/kstreamoptionsdxf.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Face records of groups 71 to 74 hold 16-bit numbers.
constexpr int kMostFaceIndex = 32767;

// The nearest colour index of a material's diffuse colour; 0 without one.
int ColorIndex(KZeqMaterial* material) { return material ? GetACIFromZEQColor(material->GetDiffuse()) : 0; }

// Every node of a subtree, parents first, with a stack of its own.
template <class Visit>
void ForEachNode(KZeqNode* node, bool recursive, Visit&& visit) {
    std::vector<KZeqNode*> pending{node};
    while (!pending.empty()) {
        KZeqNode* at = pending.back();
        pending.pop_back();
        visit(at);
        if (!recursive) continue;
        for (int i = at->GetChildCount() - 1; i >= 0; --i) pending.push_back(at->GetChild(i));
    }
}

}  // namespace

KZeqWriterDxf::KZeqWriterDxf(KZeqSdkManager& manager) : KZeqWriter(manager) {}

KZeqWriterDxf::~KZeqWriterDxf() {
    // Dropped without FileClose: nothing written is kept.
    mWritten = false;
    KZeqWriterDxf::FileClose();
}

bool KZeqWriterDxf::FileCreate(const char* fileName) {
    if (mFile) FileClose();
    mWritten = false;
    // Through the descriptor the temporary was created with: never reopened by name.
    if (fileName && mReplacement.Begin(fileName)) mFile = mReplacement.OpenStream("wb");
    if (!mFile) {
        // Why the file was refused (not a regular file, no directory ...).
        ReplacementFailed(mReplacement, eFileNotOpened);
        mReplacement.Discard();
        return false;
    }
    mFileName = fileName;
    mOut.Reset(mFile);
    return true;
}

bool KZeqWriterDxf::FileClose() {
    if (!mFile) return true;
    const bool flushed = mOut.Flush();
    const KString failure = mOut.GetFailure();
    const int flushError = mOut.GetSystemError();
    mOut.Reset(nullptr);
    const bool closed = std::fclose(mFile) == 0;
    const int error = errno;
    mFile = nullptr;
    if (!flushed || !closed)
        OutputFailed(flushed ? KString(std::strerror(error)) : failure, flushed ? error : flushError);
    bool stored = flushed && closed;
    if (mWritten && stored && !mReplacement.Commit()) {
        // Not the disk: the system's reason why the file could not take the name.
        ReplacementFailed(mReplacement, eFileNotCreated);
        stored = false;
    }
    mReplacement.Discard();
    mWritten = false;
    mFileName.Empty();
    return stored;
}

KStreamOptions* KZeqWriterDxf::GetWriteOptions() { return new KStreamOptionsDxf; }

void KZeqWriterDxf::OutputFailed(const KString& failure, int systemError) {
    mError.SetLastErrorID(eOutOfDiskSpace);
    mError.SetLastSystemError(systemError);
    mMessage += KString("Error writing \"") + mFileName + "\": " + failure + "\n";
}

void KZeqWriterDxf::Group(int code, const char* value) {
    mOut.Padded(code, 3) << "\n" << value << "\n";
}

void KZeqWriterDxf::GroupInt(int code, int value) {
    mOut.Padded(code, 3) << "\n   " << value << "\n";
}

void KZeqWriterDxf::GroupReal(int code, double value) {
    mOut.Padded(code, 3) << "\n";
    mOut.Fixed(value) << "\n";
}

const std::string& KZeqWriterDxf::Layer(const KZeqNode* node) {
    auto layer = mLayers.find(node);
    if (layer == mLayers.end())
        layer = mLayers.emplace(node, mLayerNames.Give(node->GetNameWithoutNameSpacePrefix().Buffer())).first;
    return layer->second;
}

bool KZeqWriterDxf::Write(KZeqScene& scene, KStreamOptions* options) {
    mWritten = false;
    if (!options || !options->Is(KStreamOptionsDxf::ClassId)) {
        mError.SetLastErrorID(eStreamOptionsNotSet);
        return false;
    }
    if (!mFile) {
        mError.SetLastErrorID(eFileNotOpened);
        return false;
    }
    if (RefuseSceneWithoutRoot(scene)) return false;
    const KStreamOptionsDxf& dxf = *static_cast<KStreamOptionsDxf*>(options);
    mForceTriangulation = dxf.GetOption(KStreamOptionsBase::eFORCE_TRIANGULATION) == 1;
    mEvaluateDeformations = dxf.GetOption(KStreamOptionsBase::eEVALUATE_DEFORMATIONS) == 1;
    KZeqNode* root = scene.GetRootNode();
    const int children = root->GetChildCount(true);
    mLayerNames.Clear();
    mLayers.clear();

    Group(999, "Vonex Zeq DXF");
    Group(0, "SECTION"), Group(2, "HEADER");
    Group(9, "$ACADVER"), Group(1, "AC1008");
    Group(9, "$UCSORG"), Group(10, "0.0"), Group(20, "0.0"), Group(30, "0.0");
    Group(9, "$UCSXDIR"), Group(10, "1.0"), Group(20, "0.0"), Group(30, "0.0");
    Group(9, "$TILEMODE"), GroupInt(70, 1);
    Group(9, "$UCSYDIR"), Group(10, "0.0"), Group(20, "1.0"), Group(30, "0.0");
    Group(0, "ENDSEC");

    Group(0, "SECTION"), Group(2, "TABLES");
    Group(0, "TABLE"), Group(2, "LTYPE"), GroupInt(70, 1);
    Group(0, "LTYPE"), Group(2, "CONTINUOUS"), GroupInt(70, 64), Group(3, "Solid line"), GroupInt(72, 65),
        GroupInt(73, 0), Group(40, "0.0");
    Group(0, "ENDTAB");
    Group(0, "TABLE"), Group(2, "LAYER"), GroupInt(70, children);
    for (int i = 0; i < root->GetChildCount(); ++i) WriteLayerTable(root->GetChild(i), true);
    Group(0, "ENDTAB");
    Group(0, "ENDSEC");

    Group(0, "SECTION"), Group(2, "BLOCKS"), Group(0, "ENDSEC");

    Group(0, "SECTION"), Group(2, "ENTITIES");
    KZeqStaticPlacement placement;
    for (int i = 0; i < root->GetChildCount(); ++i) WritePolyfaceMesh(root->GetChild(i), true, placement);
    Group(0, "ENDSEC");
    Group(0, "EOF");
    if (!mOut.Flush()) {
        OutputFailed(mOut.GetFailure(), mOut.GetSystemError());
        return false;
    }
    mWritten = true;
    return true;
}

void KZeqWriterDxf::WriteLayerTable(KZeqNode* start, bool recursive) {
    ForEachNode(start, recursive, [&](KZeqNode* node) {
        KZeqNodeAttribute* attribute = node->GetNodeAttribute();
        if (!attribute) return;
        const KZeqNodeAttribute::EAttributeType type = attribute->GetAttributeType();
        if (type == KZeqNodeAttribute::eNURB || type == KZeqNodeAttribute::ePATCH ||
            (type == KZeqNodeAttribute::eMESH && mForceTriangulation)) {
            // The scene changes: the entities below see the triangulated meshes.
            KZeqDeformation::TriangulateInPlace(mManager, node);
        }
        KZeqMesh* mesh = node->GetMesh();
        if (!mesh) return;
        const int materials = mesh->GetMaterialCount(0);
        const int color = materials > 0 ? ColorIndex(mesh->GetMaterial(materials - 1)) : 0;
        Group(0, "LAYER");
        Group(2, Layer(node).c_str());
        GroupInt(70, 0);
        GroupInt(62, node->GetVisibility() ? color : -color);
        Group(6, "CONTINUOUS");
    });
}

void KZeqWriterDxf::WritePolyfaceMesh(KZeqNode* start, bool recursive, KZeqStaticPlacement& placement) {
    ForEachNode(start, recursive, [&](KZeqNode* node) {
        KZeqMesh* mesh = node->GetMesh();
        if (!mesh) return;
        const int count = mesh->GetControlPointsCount();
        const int polygons = mesh->GetPolygonCount();
        const int materials = mesh->GetMaterialCount(0);
        const KZeqMesh::EMappingType mapping = mesh->GetMaterialMappingType();
        KZeqLayer* layer = mesh->GetLayer(0);
        const KZeqLayerElementMaterial* element = layer ? layer->GetMaterials() : nullptr;
        const KArrayTemplate<int>* indices = element ? &element->GetIndexArray() : nullptr;
        const auto MaterialAt = [&](int at) -> KZeqMaterial* {
            if (!indices || at < 0 || at >= indices->GetCount() || materials == 0) return nullptr;
            return mesh->GetMaterial((*indices)[at]);
        };
        const KString name = Layer(node).c_str();
        const KZeqXMatrix global = placement.Of(*node);

        // Deformation works on a copy: the scene keeps its rest shape.
        std::vector<KZeqVector4> points(mesh->GetControlPoints(), mesh->GetControlPoints() + count);
        if (mEvaluateDeformations) KZeqDeformation::Deform(global, mesh, points.data(), count, nullptr, &placement);

        if (count > kMostFaceIndex)
            mMessage += KString("Mesh \"") + name + "\" has more than " + kMostFaceIndex +
                        " points: its face records hold numbers that 16-bit readers cannot.\n";

        const int meshColor = materials > 0 ? ColorIndex(mesh->GetMaterial(materials - 1)) : 0;
        Group(0, "POLYLINE");
        Group(8, name.Buffer());
        if (materials > 0) GroupInt(62, meshColor);
        GroupInt(66, 1);
        Group(10, "0.0"), Group(20, "0.0"), Group(30, "0.0");
        GroupInt(70, 64);
        GroupInt(71, count);
        // Polygons, not face records: a polygon fanned into triangles is one.
        GroupInt(72, polygons);
        for (int i = 0; i < count; ++i) {
            const KZeqVector4 q = global.MultT(points[static_cast<std::size_t>(i)]);
            Group(0, "VERTEX");
            Group(8, name.Buffer());
            if (mapping == KZeqMesh::eBY_CONTROL_POINT)
                if (KZeqMaterial* material = MaterialAt(i)) GroupInt(62, ColorIndex(material));
            GroupReal(10, q[0]), GroupReal(20, -q[2]), GroupReal(30, q[1]);
            GroupInt(70, 192);
        }
        for (int p = 0; p < polygons; ++p) {
            int color = -1;
            if (mapping == KZeqMesh::eBY_POLYGON) {
                if (KZeqMaterial* material = MaterialAt(p)) color = ColorIndex(material);
            } else if (meshColor > 0) {
                color = meshColor;
            }
            const int size = mesh->GetPolygonSize(p);
            const auto Record = [&](const int* vertices, int n) {
                Group(0, "VERTEX");
                Group(8, name.Buffer());
                if (color >= 0) GroupInt(62, color);
                Group(10, "0.0"), Group(20, "0.0"), Group(30, "0.0");
                GroupInt(70, 128);
                // 1-based, in reverse order.
                for (int k = 0; k < n; ++k) GroupInt(71 + k, mesh->GetPolygonVertex(p, vertices[n - 1 - k]) + 1);
            };
            if (size <= 4) {
                const int vertices[4] = {0, 1, 2, 3};
                Record(vertices, size);
            } else {
                for (int v = 1; v + 1 < size; ++v) {
                    const int fan[3] = {0, v, v + 1};
                    Record(fan, 3);
                }
            }
        }
        Group(0, "SEQEND");
    });
}

}  // namespace zeqsdk_400
