// Geometry records of every file version: the mesh record; from version 6 its
// layer elements and "Layer" records; before version 6 the geometry's own
// materials, textures and texture layers, and the mesh's fixed fields.

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqshape.h"
#include "content/kzeqtexture.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

// All values of the open field.
std::vector<int> IntsOfField(KZeq& file) {
    const int count = file.FieldReadGetRemain();
    std::vector<int> values(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0) values.resize(static_cast<std::size_t>(file.FieldReadIn(values.data(), count)));
    return values;
}

std::vector<double> DoublesOfField(KZeq& file) {
    const int count = file.FieldReadGetRemain();
    std::vector<double> values(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0) values.resize(static_cast<std::size_t>(file.FieldReadDn(values.data(), count)));
    return values;
}

bool ReadInts(KZeq& file, const char* name, std::vector<int>& values) {
    if (!file.FieldReadBegin(name)) return false;
    values = IntsOfField(file);
    file.FieldReadEnd();
    return true;
}

bool ReadDoubles(KZeq& file, const char* name, std::vector<double>& values) {
    if (!file.FieldReadBegin(name)) return false;
    values = DoublesOfField(file);
    file.FieldReadEnd();
    return true;
}

// Arrays grow once per field rather than once per value.
void Append(KArrayTemplate<int>& array, const std::vector<int>& values) {
    const int first = array.GetCount(), count = static_cast<int>(values.size());
    if (count == 0 || !array.SetCount(first + count)) return;
    std::copy(values.begin(), values.end(), array.GetArray() + first);
}

// Appends value count / width items, each made from width consecutive values.
template <class T, int Width, class Make>
void AppendItems(KArrayTemplate<T>& array, const std::vector<double>& values, Make make) {
    const int first = array.GetCount(), count = static_cast<int>(values.size() / Width);
    if (count == 0 || !array.SetCount(first + count)) return;
    T* items = array.GetArray() + first;
    for (int i = 0; i < count; ++i) items[i] = make(&values[static_cast<std::size_t>(i) * Width]);
}

// Appends the values of the next field of that name straight into the array.
bool AppendInts(KZeq& file, const char* name, KArrayTemplate<int>& array) {
    if (!file.FieldReadBegin(name)) return false;
    const int first = array.GetCount(), count = file.FieldReadGetRemain();
    if (count > 0 && array.SetCount(first + count)) array.SetCount(first + file.FieldReadIn(array.GetArray() + first, count));
    file.FieldReadEnd();
    return true;
}

KZeqVector4 MakeNormal(const double* v) { return KZeqVector4(v[0], v[1], v[2], 0.0); }
KZeqColor MakeColor(const double* v) { return KZeqColor(v[0], v[1], v[2], v[3]); }
KZeqVector2 MakeUV(const double* v) { return KZeqVector2(v[0], v[1]); }

KZeqLayer& LayerZero(KZeqGeometry& geometry) {
    if (geometry.GetLayerCount() == 0) geometry.CreateLayer();
    return *geometry.GetLayer(0);
}

int PolygonVertexCount(KZeqMesh& mesh) {
    int count = 0;
    for (int p = 0; p < mesh.GetPolygonCount(); ++p) count += mesh.GetPolygonSize(p);
    return count;
}

// Indices outside the direct array they point into become -1.
template <class T>
void BoundIndices(KZeqLayerElementTemplate<T>* element) {
    if (!element || element->GetReferenceMode() != E::eINDEX_TO_DIRECT) return;
    KArrayTemplate<int>& indices = element->GetIndexArray();
    const int size = element->GetDirectArray().GetCount();
    for (int i = 0; i < indices.GetCount(); ++i)
        if (indices[i] < 0 || indices[i] >= size) indices[i] = -1;
}

// The six element kinds of the version-6 records, in the order they are read.
enum { kMaterial, kNormal, kColor, kGroup, kTexture, kUV, kKindCount };
const char* const kElementRecords[kKindCount] = {"LayerElementMaterial",     "LayerElementNormal",  "LayerElementColor",
                                                 "LayerElementPolygonGroup", "LayerElementTexture", "LayerElementUV"};

// An element of a kind, its deletion and its place in a layer.
struct ElementSlot {
    E* mElement;
    int mKind;
    bool mAttached;
};

void DeleteElement(E* element, int kind) {
    switch (kind) {
        case kMaterial:
            delete static_cast<KZeqLayerElementMaterial*>(element);
            break;
        case kNormal:
            delete static_cast<KZeqLayerElementNormal*>(element);
            break;
        case kColor:
            delete static_cast<KZeqLayerElementVertexColor*>(element);
            break;
        case kGroup:
            delete static_cast<KZeqLayerElementPolygonGroup*>(element);
            break;
        case kTexture:
            delete static_cast<KZeqLayerElementTexture*>(element);
            break;
        default:
            delete static_cast<KZeqLayerElementUV*>(element);
            break;
    }
}

// Sets the element in its slot; the element it replaces is freed.
void SetElement(KZeqLayer& layer, E* element, int kind) {
    E* former = nullptr;
    switch (kind) {
        case kMaterial:
            former = layer.GetMaterials(), layer.SetMaterials(static_cast<KZeqLayerElementMaterial*>(element));
            break;
        case kNormal:
            former = layer.GetNormals(), layer.SetNormals(static_cast<KZeqLayerElementNormal*>(element));
            break;
        case kColor:
            former = layer.GetVertexColors(), layer.SetVertexColors(static_cast<KZeqLayerElementVertexColor*>(element));
            break;
        case kGroup:
            former = layer.GetPolygonGroups(),
            layer.SetPolygonGroups(static_cast<KZeqLayerElementPolygonGroup*>(element));
            break;
        case kTexture:
            former = layer.GetTextures(), layer.SetTextures(static_cast<KZeqLayerElementTexture*>(element));
            break;
        default:
            former = layer.GetUVs(), layer.SetUVs(static_cast<KZeqLayerElementUV*>(element));
            break;
    }
    if (former && former != element) DeleteElement(former, kind);
}

}  // namespace

// ---- Mesh record ---------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadKZeqMesh(KZeqMesh& mesh) {
    KZeq& file = *mFile;
    const int version = file.FieldReadI("GeometryVersion", 0);
    ReadKZeqMeshVertices(mesh);
    if (!mFile->IsBeforeVersion6()) {
        ReadKZeqMeshPolygonIndex(mesh);
        ReadLayerElements(mesh);
        ReadKZeqGeometryLinks(mesh);
        ReadKZeqGeometryShapes(mesh);
        // The groups travel in layer 0's element only.
        KZeqLayer* layer = mesh.GetLayer(0);
        KZeqLayerElementPolygonGroup* groups = layer ? layer->GetPolygonGroups() : nullptr;
        if (groups && groups->GetMappingMode() == E::eBY_POLYGON &&
            groups->GetIndexArray().GetCount() == mesh.GetPolygonCount())
            for (int p = 0; p < mesh.GetPolygonCount(); ++p) mesh.SetPolygonGroup(p, groups->GetIndexArray()[p]);
        CheckMeshIndices(mesh);
        return true;
    }
    ReadKZeqMeshPolygonIndex(mesh);
    ReadKZeqMeshNormals(mesh);
    ReadKZeqMeshPolyGroupIndex(mesh);
    ReadKZeqMeshVertexColors(mesh);
    ReadKZeqGeometry(mesh);
    ReadKZeqMeshAssignation(mesh);
    ReadKZeqMeshMaterialsID(mesh);
    ReadKZeqMeshTexturesID(mesh);
    ReadKZeqMeshParameters(mesh);
    // The UV fields lie in "GeometryUVInfo" when there is one, else in the model block.
    const bool uvBlock = file.FieldReadBegin("GeometryUVInfo");
    const bool uvEntered = uvBlock && file.FieldReadBlockBegin();
    ReadKZeqMeshTextureType(mesh);
    ReadKZeqMeshTextureUV(mesh);
    ReadKZeqMeshTextureIndex(mesh);
    if (uvEntered) file.FieldReadBlockEnd();
    if (uvBlock) file.FieldReadEnd();
    if (version < 124) CorrectTextureLayers(mesh);
    CheckMeshIndices(mesh);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshVertices(KZeqMesh& mesh) {
    std::vector<double> values;
    if (!ReadDoubles(*mFile, "Vertices", values)) return true;
    const int count = static_cast<int>(values.size() / 3);
    mesh.InitControlPoints(count);
    KZeqVector4* points = mesh.GetControlPoints();
    for (int i = 0; i < count && points; ++i)
        points[i] = KZeqVector4(values[3 * i], values[3 * i + 1], values[3 * i + 2], 0.0);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshPolygonIndex(KZeqMesh& mesh) {
    std::vector<int> values;
    if (!ReadInts(*mFile, "PolygonVertexIndex", values) || values.empty()) return true;
    std::vector<int> groups;
    const bool grouped = mFile->IsBeforeVersion6() && ReadInts(*mFile, "PolygonGroup", groups);
    // The polygons as the file lists them; one naming a control point the
    // mesh lacks is left out.
    const int points = mesh.GetControlPointsCount();
    std::vector<std::pair<std::size_t, std::size_t>> polygons;
    for (std::size_t i = 0, start = 0; i < values.size(); ++i) {
        if (values[i] >= 0 && i + 1 < values.size()) continue;
        polygons.emplace_back(start, i + 1);
        start = i + 1;
    }
    const bool groupsFit = grouped && groups.size() == polygons.size();
    std::vector<int> kept;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        bool inRange = true;
        for (std::size_t i = polygons[p].first; i < polygons[p].second; ++i)
            inRange = inRange && (values[i] < 0 ? ~values[i] : values[i]) < points;
        if (!inRange) continue;
        mesh.BeginPolygon(-1, -1, mFile->IsBeforeVersion6() ? (groupsFit ? groups[p] : 0) : -1);
        for (std::size_t i = polygons[p].first; i < polygons[p].second; ++i)
            mesh.AddPolygon(values[i] < 0 ? ~values[i] : values[i]);
        mesh.EndPolygon();
        if (groupsFit) kept.push_back(groups[p]);
    }
    if (groupsFit) mPolygonGroups = kept;
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshNormals(KZeqMesh& mesh) {
    std::vector<double> values;
    if (!ReadDoubles(*mFile, "Normals", values)) return true;
    const int count = static_cast<int>(values.size() / 3);
    mesh.InitNormals(count);
    KZeqLayerElementNormal* normals = mesh.GetLayer(0) ? mesh.GetLayer(0)->GetNormals() : nullptr;
    if (!normals) return true;
    KArrayTemplate<KZeqVector4>& direct = normals->GetDirectArray();
    for (int i = 0; i < count && i < direct.GetCount(); ++i)
        direct[i] = KZeqVector4(values[3 * i], values[3 * i + 1], values[3 * i + 2], 0.0);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshPolyGroupIndex(KZeqMesh& mesh) {
    // The groups were given to the polygons as they were built.
    const bool fits = !mPolygonGroups.empty() && static_cast<int>(mPolygonGroups.size()) == mesh.GetPolygonCount();
    if (fits) {
        KZeqLayer& layer = LayerZero(mesh);
        if (!layer.GetPolygonGroups()) layer.SetPolygonGroups(new KZeqLayerElementPolygonGroup);
        KZeqLayerElementPolygonGroup& element = *layer.GetPolygonGroups();
        element.SetMappingMode(E::eBY_POLYGON);
        element.SetReferenceMode(E::eINDEX);
        element.GetIndexArray().Clear();
        Append(element.GetIndexArray(), mPolygonGroups);
    }
    mPolygonGroups.clear();
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshVertexColors(KZeqMesh& mesh) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("VertexColorInfo")) return true;
    KZeqLayer& layer = LayerZero(mesh);
    if (!layer.GetVertexColors()) layer.SetVertexColors(new KZeqLayerElementVertexColor);
    KZeqLayerElementVertexColor& element = *layer.GetVertexColors();
    KString mapping;
    if (file.FieldReadBlockBegin()) {
        file.FieldReadI("Version", 0);
        mapping = file.FieldReadC("MappingInformationType", "");
        element.SetReferenceMode(E::eINDEX_TO_DIRECT);
        std::vector<double> colors;
        std::vector<int> indices;
        ReadDoubles(file, "Colors", colors);
        ReadInts(file, "ColorIndex", indices);
        AppendItems<KZeqColor, 4>(element.GetDirectArray(), colors, MakeColor);
        Append(element.GetIndexArray(), indices);
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    const int direct = element.GetDirectArray().GetCount(), indices = element.GetIndexArray().GetCount();
    const int count = indices > 0 ? indices : direct;
    element.SetReferenceMode(indices > 0 ? E::eINDEX_TO_DIRECT : E::eDIRECT);
    bool valid = direct > 0;
    if (mapping == "ByVertice") {
        element.SetMappingMode(E::eBY_CONTROL_POINT);
        valid = valid && count == mesh.GetControlPointsCount();
    } else if (mapping == "ByPolygonVertex") {
        element.SetMappingMode(E::eBY_POLYGON_VERTEX);
        valid = valid && count == PolygonVertexCount(mesh);
    } else {
        valid = false;
    }
    if (valid) return true;
    element.GetDirectArray().Clear();
    element.GetIndexArray().Clear();
    return false;
}

bool KZeqReaderZeq::ReadKZeqMeshAssignation(KZeqMesh& mesh) {
    const KString materials = mFile->FieldReadC("MaterialAssignation", "");
    if (materials == "ByVertice") mesh.InitMaterialIndices(KZeqMesh::eBY_CONTROL_POINT);
    if (materials == "ByPolygon") mesh.InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    if (materials == "AllSame") mesh.InitMaterialIndices(KZeqMesh::eALL_SAME);
    const KString textures = mFile->FieldReadC("TextureMode", "");
    if (textures == "ByPolygon") mesh.InitTextureIndices(KZeqMesh::eBY_POLYGON);
    if (textures == "ByModel") mesh.InitTextureIndices(KZeqMesh::eALL_SAME);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshMaterialsID(KZeqMesh& mesh) {
    std::vector<int> values;
    if (!ReadInts(*mFile, "Materials", values)) return true;
    KZeqLayer& layer = LayerZero(mesh);
    if (!layer.GetMaterials()) layer.SetMaterials(new KZeqLayerElementMaterial);
    KZeqLayerElementMaterial* element = layer.GetMaterials();
    if (element->GetReferenceMode() != E::eDIRECT) {
        element->GetIndexArray().Clear();
        Append(element->GetIndexArray(), values);
    }
    // Indices into no materials are no assignment at all.
    if (element->GetReferenceMode() == E::eINDEX_TO_DIRECT && element->GetDirectArray().GetCount() == 0) {
        layer.SetMaterials(nullptr);
        delete element;
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshTexturesID(KZeqMesh& mesh) {
    KZeqLayer& layer = LayerZero(mesh);
    std::vector<int> values;
    if (ReadInts(*mFile, "TextureId", values)) {
        if (!layer.GetTextures()) layer.SetTextures(new KZeqLayerElementTexture);
        Append(layer.GetTextures()->GetIndexArray(), values);
    } else if (KZeqLayerElementTexture* textures = layer.GetTextures()) {
        const int count = textures->GetDirectArray().GetCount();
        if (count >= 1) textures->GetIndexArray().Add(count - 1);
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshParameters(KZeqMesh& mesh) {
    KZeq& file = *mFile;
    int counts[] = {mesh.GetUCount(), mesh.GetVCount()}, extents[] = {mesh.GetUCountExtent(), mesh.GetVCountExtent()};
    int steps[] = {mesh.GetUStep(), mesh.GetVStep()};
    bool closed[] = {mesh.GetUClosed(), mesh.GetVClosed()}, capped[] = {mesh.GetUCapped(), mesh.GetVCapped()};
    const char* const axes[] = {"U", "V"};
    for (int a = 0; a < 2; ++a) {
        const KString axis(axes[a]);
        auto field = [&](const char* name) { return axis + name; };
        extents[a] = file.FieldReadI(field("ExtendedCount").Buffer(), extents[a]);
        closed[a] = file.FieldReadI(field("Closed").Buffer(), closed[a] ? 1 : 0) == 1;
        capped[a] = file.FieldReadI(field("TopCap").Buffer(), capped[a] ? 1 : 0) == 1;
        steps[a] = file.FieldReadI(field("Step").Buffer(), steps[a]);
        counts[a] = file.FieldReadI(field("Count").Buffer(), counts[a]);
    }
    mesh.SetCount(counts[0], counts[1]);
    mesh.SetCountExtent(extents[0], extents[1]);
    mesh.SetStep(steps[0], steps[1]);
    mesh.SetClosed(closed[0], closed[1]);
    mesh.SetCapped(capped[0], capped[1]);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshTextureType(KZeqMesh& mesh) {
    KZeq& file = *mFile;
    KZeqMesh::EMappingType type = KZeqMesh::eBY_POLYGON_VERTEX;
    if (file.FieldReadBegin("MappingInformationType")) {
        const KString token = file.FieldReadC();
        file.FieldReadEnd();
        type = token == "ByVertice"   ? KZeqMesh::eBY_CONTROL_POINT
               : token == "ByPolygon" ? KZeqMesh::eBY_POLYGON_VERTEX
                                      : KZeqMesh::eALL_SAME;
    } else if (file.FieldReadBegin("UVType")) {
        const int uvType = file.FieldReadI();
        file.FieldReadEnd();
        if (uvType == 1) type = KZeqMesh::eBY_POLYGON_VERTEX;
        if (uvType == 2) type = KZeqMesh::eBY_POLYGON;
    } else if (file.FieldReadC("TextureType", "") == "ByFace") {
        type = KZeqMesh::eBY_POLYGON;
    }
    mesh.InitTextureUVIndices(type);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshTextureUV(KZeqMesh& mesh) {
    std::vector<double> values;
    if (!ReadDoubles(*mFile, "TextureUV", values) && !ReadDoubles(*mFile, "TexturePUV", values)) return true;
    const bool byVertex = mesh.GetLayer(0) && mesh.GetLayer(0)->GetUVs() &&
                          mesh.GetLayer(0)->GetUVs()->GetMappingMode() == E::eBY_POLYGON_VERTEX;
    // UVs the field lacks stay zero.
    const int count = byVertex ? static_cast<int>(values.size() / 2) : mesh.GetControlPointsCount();
    mesh.InitTextureUV(count);
    KZeqVector2* uvs = mesh.GetTextureUV();
    for (int i = 0; uvs && i < count && 2 * static_cast<std::size_t>(i) + 1 < values.size(); ++i)
        uvs[i] = KZeqVector2(values[2 * i], values[2 * i + 1]);
    return true;
}

bool KZeqReaderZeq::ReadKZeqMeshTextureIndex(KZeqMesh& mesh) {
    KZeqLayerElementUV* uvs = mesh.GetLayer(0) ? mesh.GetLayer(0)->GetUVs() : nullptr;
    if (!uvs || uvs->GetMappingMode() != E::eBY_POLYGON_VERTEX) return true;
    std::vector<int> values;
    KArrayTemplate<int>& indices = uvs->GetIndexArray();
    if (ReadInts(*mFile, "TextureVertexIndex", values) || ReadInts(*mFile, "TextureUVVerticeIndex", values)) {
        if (values.empty()) return true;
        indices.Clear();
        Append(indices, values);
    } else if (uvs->GetDirectArray().GetCount() > 0) {
        indices.Clear();
        for (int i = 0; i < uvs->GetDirectArray().GetCount(); ++i) indices.Add(i);
    }
    return true;
}

bool KZeqReaderZeq::CorrectTextureLayers(KZeqMesh& mesh) {
    if (mesh.GetLayerCount(E::eTEXTURE) < 2 || mTextures.GetCount() == 0) return true;
    for (int l = 0; l < mesh.GetLayerCount(E::eTEXTURE); ++l) {
        KZeqLayerElementTexture* element = mesh.GetLayer(l, E::eTEXTURE)->GetTextures();
        if (element->GetReferenceMode() != E::eINDEX_TO_DIRECT) continue;
        KArrayTemplate<KZeqTexture*>& direct = element->GetDirectArray();
        const KArrayTemplate<int>& indices = element->GetIndexArray();
        // Padding goes no further than the textures read: an index past them
        // is left to the bound check.
        for (int i = 0; i < indices.GetCount(); ++i)
            while (direct.GetCount() <= indices[i] && direct.GetCount() < mTextures.GetCount())
                direct.Add(mTextures[direct.GetCount()]);
    }
    return true;
}

bool KZeqReaderZeq::CheckMeshIndices(KZeqMesh& mesh) {
    for (int l = 0; l < mesh.GetLayerCount(); ++l) {
        KZeqLayer& layer = *mesh.GetLayer(l);
        BoundIndices(layer.GetNormals());
        BoundIndices(layer.GetVertexColors());
        BoundIndices(layer.GetUVs());
        // Version-6 materials and textures get their direct arrays from the
        // connections: their indices are bound once those are read.
        if (mFile->IsBeforeVersion6()) BoundIndices(layer.GetMaterials()), BoundIndices(layer.GetTextures());
    }
    return true;
}

void ZeqBoundMaterialAndTextureIndices(KZeqGeometry& geometry) {
    for (int l = 0; l < geometry.GetLayerCount(); ++l) {
        BoundIndices(geometry.GetLayer(l)->GetMaterials());
        BoundIndices(geometry.GetLayer(l)->GetTextures());
    }
}

// ---- Layer elements (version 6) ------------------------------------------------------------------

bool KZeqReaderZeq::ReadLayerElements(KZeqGeometry& geometry) {
    KZeq& file = *mFile;
    std::vector<ElementSlot> lists[kKindCount];
    for (int kind = 0; kind < kKindCount; ++kind) {
        while (file.FieldReadBegin(kElementRecords[kind])) {
            file.FieldReadI();
            E* element = nullptr;
            switch (kind) {
                case kMaterial:
                    element = new KZeqLayerElementMaterial;
                    break;
                case kNormal:
                    element = new KZeqLayerElementNormal;
                    break;
                case kColor:
                    element = new KZeqLayerElementVertexColor;
                    break;
                case kGroup:
                    element = new KZeqLayerElementPolygonGroup;
                    break;
                case kTexture:
                    element = new KZeqLayerElementTexture;
                    break;
                default:
                    element = new KZeqLayerElementUV;
                    break;
            }
            bool keep = kind != kTexture;
            if (file.FieldReadBlockBegin()) {
                file.FieldReadI("Version", 0);
                element->SetMappingMode(static_cast<E::EMappingMode>(
                    ConvertMappingModeToken(file.FieldReadC("MappingInformationType", "").Buffer())));
                element->SetReferenceMode(static_cast<E::EReferenceMode>(
                    ConvertReferenceModeToken(file.FieldReadC("ReferenceInformationType", "").Buffer())));
                const bool indexed = element->GetReferenceMode() == E::eINDEX_TO_DIRECT;
                std::vector<double> values;
                std::vector<int> indices;
                switch (kind) {
                    case kMaterial:
                        AppendInts(file, "Materials", element->GetIndexArray());
                        break;
                    case kNormal: {
                        auto& direct = static_cast<KZeqLayerElementNormal*>(element)->GetDirectArray();
                        ReadDoubles(file, "Normals", values);
                        AppendItems<KZeqVector4, 3>(direct, values, MakeNormal);
                        break;
                    }
                    case kColor: {
                        auto& direct = static_cast<KZeqLayerElementVertexColor*>(element)->GetDirectArray();
                        ReadDoubles(file, "Colors", values);
                        AppendItems<KZeqColor, 4>(direct, values, MakeColor);
                        if (indexed) AppendInts(file, "ColorIndex", element->GetIndexArray());
                        break;
                    }
                    case kGroup:
                        AppendInts(file, "PolygonGroup", element->GetIndexArray());
                        break;
                    case kTexture: {
                        auto* textures = static_cast<KZeqLayerElementTexture*>(element);
                        textures->SetBlendMode(static_cast<KZeqLayerElementTexture::EBlendMode>(
                            ConvertBlendModeToken(file.FieldReadC("BlendMode", "").Buffer())));
                        textures->SetAlpha(std::max(file.FieldReadD("TextureAlpha", 0.0), 0.0));
                        if (element->GetReferenceMode() != E::eDIRECT && ReadInts(file, "TextureId", indices) &&
                            !indices.empty()) {
                            Append(element->GetIndexArray(), indices);
                            keep = true;
                        }
                        break;
                    }
                    default: {
                        auto& direct = static_cast<KZeqLayerElementUV*>(element)->GetDirectArray();
                        ReadDoubles(file, "UV", values);
                        AppendItems<KZeqVector2, 2>(direct, values, MakeUV);
                        if (indexed) AppendInts(file, "UVIndex", element->GetIndexArray());
                        break;
                    }
                }
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
            // A texture element without ids takes no typed index.
            if (keep)
                lists[kind].push_back(ElementSlot{element, kind, false});
            else
                DeleteElement(element, kind);
        }
    }
    while (file.FieldReadBegin("Layer")) {
        const int index = file.FieldReadI();
        // Layers are made one at a time: an index past the next one names none.
        const bool known = index >= 0 && index <= geometry.GetLayerCount();
        if (known && file.FieldReadBlockBegin()) {
            file.FieldReadI();
            while (file.FieldReadBegin("LayerElement")) {
                if (file.FieldReadBlockBegin()) {
                    if (index == geometry.GetLayerCount()) geometry.CreateLayer();
                    const KString type = file.FieldReadC("Type", "");
                    const int typed = file.FieldReadI("TypedIndex", 0);
                    for (int kind = 0; kind < kKindCount; ++kind) {
                        if (type != kElementRecords[kind]) continue;
                        if (typed < 0 || typed >= static_cast<int>(lists[kind].size())) break;
                        ElementSlot& slot = lists[kind][static_cast<std::size_t>(typed)];
                        KZeqLayer& layer = *geometry.GetLayer(index);
                        // A layer owns its elements: one named again stays where it is.
                        if (slot.mAttached) break;
                        SetElement(layer, slot.mElement, kind);
                        slot.mAttached = true;
                        break;
                    }
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    // Elements no layer holds belong to nobody: they are freed here.
    for (auto& list : lists)
        for (ElementSlot& slot : list)
            if (!slot.mAttached) DeleteElement(slot.mElement, slot.mKind);
    return true;
}

// ---- Geometry record (before version 6) ----------------------------------------------------------

bool KZeqReaderZeq::ReadKZeqGeometry(KZeqGeometry& geometry) {
    ReadKZeqGeometryMaterial(geometry);
    ReadKZeqGeometryTexture(geometry);
    ReadKZeqGeometryLinks(geometry);
    ReadKZeqGeometryShapes(geometry);
    return ReadKZeqGeometryLayer(geometry);
}

bool KZeqReaderZeq::ReadKZeqGeometryMaterial(KZeqGeometry& geometry) {
    if (!mOptions || !mOptions->GetOption(KStreamOptionsZeq::eMATERIAL)) return true;
    while (mFile->FieldReadBegin("Material")) {
        KZeqMaterial* material = mManager.CreateKZeqMaterial("");
        if (material && ReadKZeqMaterial(*material))
            geometry.AddMaterial(material, 0);
        else if (material)
            mManager.DestroyKZeqMaterial(material);
        mFile->FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqGeometryTexture(KZeqGeometry&) {
    if (!mOptions || !mOptions->GetOption(KStreamOptionsZeq::eTEXTURE)) return true;
    while (mFile->FieldReadBegin("Texture")) {
        KZeqTexture* texture = mManager.CreateKZeqTexture("");
        if (texture && ReadKZeqTexture(*texture))
            mTextures.Add(texture);
        else if (texture)
            mManager.DestroyKZeqTexture(texture);
        mFile->FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqGeometryLinks(KZeqGeometry& geometry) {
    if (!mOptions || !mOptions->GetOption(KStreamOptionsZeq::eLINK) || !kZeqGeometryHooks.mLink) return true;
    while (mFile->FieldReadBegin("Link")) {
        KZeqLink* link = mManager.CreateKZeqLink();
        if (link && kZeqGeometryHooks.mLink(*this, *link))
            geometry.AddLink(link);
        else if (link)
            mManager.DestroyKZeqLink(link);
        mFile->FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqGeometryShapes(KZeqGeometry& geometry) {
    if (!mOptions || !mOptions->GetOption(KStreamOptionsZeq::eSHAPE) || !kZeqGeometryHooks.mShape) return true;
    while (mFile->FieldReadBegin("Shape")) {
        const KString name = mFile->FieldReadC();
        KZeqShape* shape = mManager.CreateKZeqShape();
        if (shape &&
            !(kZeqGeometryHooks.mShape(*this, *shape, geometry) && geometry.AddShape(shape, name.Buffer()) != -1))
            mManager.DestroyKZeqShape(shape);
        mFile->FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqGeometryLayer(KZeqGeometry& geometry) {
    KZeq& file = *mFile;
    bool result = true, any = false;
    while (file.FieldReadBegin("GeometryLayer")) {
        any = true;
        if (file.FieldReadBlockBegin()) {
            if (file.FieldReadBegin("LayerTextureInfo")) {
                if (file.FieldReadBlockBegin()) {
                    const int layer = geometry.CreateLayer();
                    result = ReadKZeqGeometryTextureLayer(geometry, layer) && result;
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    if (!any && geometry.GetAttributeType() == KZeqNodeAttribute::eMESH)
        for (int i = 0; i < mTextures.GetCount(); ++i) geometry.AddTexture(mTextures[i], 0);
    return result;
}

bool KZeqReaderZeq::ReadKZeqGeometryTextureLayer(KZeqGeometry& geometry, int index) {
    KZeq& file = *mFile;
    KZeqLayer* layer = geometry.GetLayer(index);
    if (!layer) return false;
    const bool mesh = geometry.GetAttributeType() == KZeqNodeAttribute::eMESH;
    if (!layer->GetTextures()) {
        auto* created = new KZeqLayerElementTexture;
        created->SetMappingMode(E::eNONE);
        layer->SetTextures(created);
    }
    KZeqLayerElementTexture& textures = *layer->GetTextures();
    bool result = true;
    const int mode = file.FieldReadI("TextureMode", 0);
    textures.SetReferenceMode(E::eINDEX_TO_DIRECT);
    if (mode == 2)
        textures.SetMappingMode(E::eALL_SAME);
    else if (mode == 6 && mesh)
        textures.SetMappingMode(E::eBY_POLYGON);
    else
        textures.SetMappingMode(E::eNONE), result = mode == 0;
    textures.SetBlendMode(static_cast<KZeqLayerElementTexture::EBlendMode>(file.FieldReadI("TextureBlendMode", 2)));
    if (textures.GetMappingMode() == E::eBY_POLYGON) {
        const int polygons = static_cast<KZeqMesh&>(geometry).GetPolygonCount();
        if (polygons > 0) {
            file.FieldReadI("TextureIdCount", 0);
            std::vector<int> ids;
            ReadInts(file, "TextureId", ids);
            std::unordered_map<int, int> positions;
            for (int p = 0; p < polygons; ++p) {
                const int id = p < static_cast<int>(ids.size()) ? ids[static_cast<std::size_t>(p)] : 0;
                auto found = positions.find(id);
                if (found == positions.end()) {
                    // An id naming no texture read gives the polygon none.
                    const bool known = id >= 0 && id < mTextures.GetCount();
                    found = positions.emplace(id, known ? textures.GetDirectArray().Add(mTextures[id]) : -1).first;
                }
                textures.GetIndexArray().Add(found->second);
            }
        }
    } else {
        const int id = file.FieldReadI("TextureId", 0);
        if (id >= 0 && id < mTextures.GetCount())
            textures.GetIndexArray().Add(textures.GetDirectArray().Add(mTextures[id]));
    }
    const int uvMode = file.FieldReadI("UVMode", 0);
    if (uvMode == 0) return result;
    auto* uvs = new KZeqLayerElementUV;
    SetElement(*layer, uvs, kUV);
    switch (uvMode) {
        case 3:
            uvs->SetMappingMode(E::eBY_CONTROL_POINT);
            break;
        case 4:
            uvs->SetMappingMode(E::eBY_CONTROL_POINT), uvs->SetReferenceMode(E::eINDEX_TO_DIRECT);
            break;
        case 7:
        case 8:
            if (!mesh) return false;
            uvs->SetMappingMode(E::eBY_POLYGON_VERTEX);
            if (uvMode == 8) uvs->SetReferenceMode(E::eINDEX_TO_DIRECT);
            break;
        default:
            return false;
    }
    // The count is bounded by the values present.
    const int count = file.FieldReadI("UVCount", 0);
    std::vector<double> values;
    if (count > 0 && ReadDoubles(file, "UV", values))
        for (int i = 0; i < count && 2 * static_cast<std::size_t>(i) + 1 < values.size(); ++i)
            uvs->GetDirectArray().Add(KZeqVector2(values[2 * i], values[2 * i + 1]));
    if (uvs->GetReferenceMode() != E::eINDEX_TO_DIRECT) return result;
    const int n = uvs->GetMappingMode() == E::eBY_CONTROL_POINT ? geometry.GetControlPointsCount()
                                                                : PolygonVertexCount(static_cast<KZeqMesh&>(geometry));
    if (n == 0) return result;
    file.FieldReadI("UVIdCount", 0);
    std::vector<int> ids;
    ReadInts(file, "UVId", ids);
    const int size = uvs->GetDirectArray().GetCount();
    for (int i = 0; i < n; ++i) {
        int id = i < static_cast<int>(ids.size()) ? ids[static_cast<std::size_t>(i)] : 0;
        if (id < 0 || id >= size) id = 0, result = false;
        uvs->GetIndexArray().Add(id);
    }
    return result;
}

bool KZeqReaderZeq::GenerateParametricGeometryLayer(KZeqGeometry&) { return true; }

bool ZeqReadMeshFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqMesh(static_cast<KZeqMesh&>(attribute));
}

}  // namespace zeqsdk_400
