#include "content/kzeqmesh.h"

#include <algorithm>

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

// Grows the index array to count (zeros) and stores value at its last position.
void RecordLast(KArrayTemplate<int>& indices, int count, int value) {
    if (indices.GetCount() < count && !indices.SetCount(count)) return;
    if (count > 0) indices[count - 1] = value;
}

bool ByPolygonWithIndices(const KZeqLayerElement* element) {
    return element && element->GetMappingMode() == E::eBY_POLYGON &&
           (element->GetReferenceMode() == E::eINDEX || element->GetReferenceMode() == E::eINDEX_TO_DIRECT);
}

bool UVsByPolygonVertex(const KZeqLayerElement* element) {
    return element && element->GetMappingMode() == E::eBY_POLYGON_VERTEX &&
           element->GetReferenceMode() == E::eINDEX_TO_DIRECT;
}

}  // namespace

KZeqMesh::KZeqMesh(KZeqSdkManager& manager) : KZeqGeometry(manager) { Reset(); }

void KZeqMesh::Reset() {
    mPolygons.Clear();
    mPolygonVertices.Clear();
    InitControlPoints(0);
    ClearLayers();
    mUCount = mVCount = mUCountExtent = mVCountExtent = mUStep = mVStep = 0;
    mUClosed = mVClosed = mUCapped = mVCapped = false;
}

KZeqLayer& KZeqMesh::FirstLayer() {
    if (GetLayerCount() == 0) CreateLayer();
    return *GetLayer(0);
}

KZeqLayerElementUV& KZeqMesh::UVs() {
    KZeqLayer& layer = FirstLayer();
    if (!layer.GetUVs()) layer.SetUVs(new KZeqLayerElementUV);
    return *layer.GetUVs();
}

KZeqLayerElementMaterial& KZeqMesh::Materials() {
    KZeqLayer& layer = FirstLayer();
    if (!layer.GetMaterials()) layer.SetMaterials(new KZeqLayerElementMaterial);
    return *layer.GetMaterials();
}

KZeqLayerElementTexture& KZeqMesh::Textures() {
    KZeqLayer& layer = FirstLayer();
    if (!layer.GetTextures()) layer.SetTextures(new KZeqLayerElementTexture);
    return *layer.GetTextures();
}

// ---- Building ------------------------------------------------------------------------------

void KZeqMesh::BeginPolygon(int material, int texture, int group) {
    if (mPolygons.Add(KZeqPolygon{mPolygonVertices.GetCount(), 0, group}) < 0) return;
    const int count = GetPolygonCount();
    KZeqLayer& layer = FirstLayer();
    // A material on the first polygon gets an element, but with no mapping
    // yet nothing is recorded in it.
    if (!layer.GetMaterials() && count == 1 && material != -1) Materials();
    if (ByPolygonWithIndices(layer.GetMaterials())) RecordLast(layer.GetMaterials()->GetIndexArray(), count, material);
    if (!layer.GetTextures() && count == 1 && texture != -1) Textures();
    if (ByPolygonWithIndices(layer.GetTextures())) RecordLast(layer.GetTextures()->GetIndexArray(), count, texture);
}

void KZeqMesh::AddPolygon(int index, int textureUVIndex) {
    // Without a polygon begun there is no record to grow.
    if (GetPolygonCount() == 0 || mPolygonVertices.Add(index) < 0) return;
    if (textureUVIndex != -1) {
        KZeqLayerElementUV& uvs = UVs();
        if (UVsByPolygonVertex(&uvs))
            RecordLast(uvs.GetIndexArray(), mPolygonVertices.GetCount(), textureUVIndex);
    }
    ++mPolygons[GetPolygonCount() - 1].mSize;
}

// ---- Reading ---------------------------------------------------------------------------------

const KZeqMesh::KZeqPolygon* KZeqMesh::PolygonAt(int polygon) const {
    return polygon >= 0 && polygon < GetPolygonCount() ? &mPolygons[polygon] : nullptr;
}

int KZeqMesh::PolygonVertexIndex(int polygon, int vertex) const {
    const KZeqPolygon* record = PolygonAt(polygon);
    return record && vertex >= 0 && vertex < record->mSize ? record->mIndex + vertex : -1;
}

int KZeqMesh::GetPolygonSize(int polygon) const {
    const KZeqPolygon* record = PolygonAt(polygon);
    return record ? record->mSize : -1;
}

void KZeqMesh::SetPolygonGroup(int polygon, int group) {
    if (polygon >= 0 && polygon < GetPolygonCount()) mPolygons[polygon].mGroup = group;
}

int KZeqMesh::GetPolygonGroup(int polygon) const {
    const KZeqPolygon* record = PolygonAt(polygon);
    return record ? record->mGroup : -1;
}

int KZeqMesh::GetPolygonVertex(int polygon, int vertex) const {
    const int at = PolygonVertexIndex(polygon, vertex);
    return at >= 0 && at < mPolygonVertices.GetCount() ? mPolygonVertices[at] : -1;
}

void KZeqMesh::GetPolygonVertexNormal(int& polygon, int& vertex, KZeqVector4& normal) {
    const int at = PolygonVertexIndex(polygon, vertex);
    KZeqLayer* layer = GetLayer(0);
    KZeqLayerElementNormal* normals = layer ? layer->GetNormals() : nullptr;
    if (at >= 0 && normals && at < normals->GetDirectArray().GetCount()) normal = normals->GetDirectArray()[at];
}

// ---- Texture coordinates -----------------------------------------------------------------------

void KZeqMesh::InitTextureUV(int count) {
    KArrayTemplate<KZeqVector2>& direct = UVs().GetDirectArray();
    direct.Clear();
    direct.SetCount(count);
}

void KZeqMesh::AddTextureUV(const KZeqVector2& uv) {
    KZeqLayer* layer = GetLayer(0);
    if (layer && layer->GetUVs()) layer->GetUVs()->GetDirectArray().Add(uv);
}

KZeqVector2* KZeqMesh::GetTextureUV() {
    KZeqLayer* layer = GetLayer(0);
    return layer && layer->GetUVs() ? layer->GetUVs()->GetDirectArray().GetArray() : nullptr;
}

int KZeqMesh::GetTextureUVCount() {
    KZeqLayer* layer = GetLayer(0);
    return layer && layer->GetUVs() ? layer->GetUVs()->GetDirectArray().GetCount() : 0;
}

void KZeqMesh::InitTextureUVIndices(EMappingType type) {
    KZeqLayerElementUV& uvs = UVs();
    uvs.GetDirectArray().Clear();
    uvs.GetIndexArray().Clear();
    struct Modes {
        E::EMappingMode mMapping;
        E::EReferenceMode mReference;
    };
    const Modes modes = type == eBY_POLYGON_VERTEX  ? Modes{E::eBY_POLYGON_VERTEX, E::eINDEX_TO_DIRECT}
                        : type == eBY_CONTROL_POINT ? Modes{E::eBY_CONTROL_POINT, E::eDIRECT}
                        : type == eALL_SAME         ? Modes{E::eALL_SAME, E::eDIRECT}
                                                    : Modes{E::eNONE, E::eDIRECT};
    uvs.SetMappingMode(modes.mMapping);
    uvs.SetReferenceMode(modes.mReference);
}

int KZeqMesh::GetTextureUVIndex(int polygon, int vertex) {
    KZeqLayer* layer = GetLayer(0);
    KZeqLayerElementUV* uvs = layer ? layer->GetUVs() : nullptr;
    const int at = PolygonVertexIndex(polygon, vertex);
    if (!UVsByPolygonVertex(uvs) || at < 0 || at >= uvs->GetIndexArray().GetCount()) return -1;
    return uvs->GetIndexArray()[at];
}

void KZeqMesh::SetTextureUVIndex(int polygon, int vertex, int index) {
    KZeqLayer* layer = GetLayer(0);
    KZeqLayerElementUV* uvs = layer ? layer->GetUVs() : nullptr;
    const int at = PolygonVertexIndex(polygon, vertex);
    if (!UVsByPolygonVertex(uvs) || at < 0) return;
    KArrayTemplate<int>& indices = uvs->GetIndexArray();
    const int needed = std::max(mPolygonVertices.GetCount(), at + 1);
    if (indices.GetCount() < needed && !indices.SetCount(needed)) return;
    indices[at] = index;
}

KZeqMesh::EMappingType KZeqMesh::GetTextureUVMappingType() {
    KZeqLayer* layer = GetLayer(0);
    const KZeqLayerElement* uvs = layer ? layer->GetUVs() : nullptr;
    if (uvs && uvs->GetMappingMode() == E::eBY_CONTROL_POINT) return eBY_CONTROL_POINT;
    if (uvs && uvs->GetMappingMode() == E::eBY_POLYGON_VERTEX) return eBY_POLYGON_VERTEX;
    return eALL_SAME;
}

// ---- Materials and textures ------------------------------------------------------------------

void KZeqMesh::InitMaterialIndices(EMappingType type) {
    KZeqLayerElementMaterial& materials = Materials();
    materials.SetReferenceMode(E::eINDEX_TO_DIRECT);
    KArrayTemplate<int>& indices = materials.GetIndexArray();
    indices.Clear();
    if (type == eBY_POLYGON) {
        materials.SetMappingMode(E::eBY_POLYGON);
    } else if (type == eBY_CONTROL_POINT) {
        if (GetControlPointsCount() == 0) return;
        materials.SetMappingMode(E::eBY_CONTROL_POINT);
        indices.SetCount(GetControlPointsCount());
    } else {
        materials.SetMappingMode(E::eALL_SAME);
        indices.Add(0);
    }
}

void KZeqMesh::InitTextureIndices(EMappingType type) {
    KZeqLayerElementTexture& textures = Textures();
    textures.SetReferenceMode(E::eINDEX_TO_DIRECT);
    textures.GetIndexArray().Clear();
    if (type == eBY_POLYGON) {
        textures.SetMappingMode(E::eBY_POLYGON);
    } else {
        textures.SetMappingMode(E::eALL_SAME);
        textures.GetIndexArray().Add(0);
    }
}

int* KZeqMesh::GetMaterialIndices() {
    KZeqLayer* layer = GetLayer(0);
    return layer && layer->GetMaterials() ? layer->GetMaterials()->GetIndexArray().GetArray() : nullptr;
}

int* KZeqMesh::GetTextureIndices() {
    KZeqLayer* layer = GetLayer(0);
    return layer && layer->GetTextures() ? layer->GetTextures()->GetIndexArray().GetArray() : nullptr;
}

KZeqMesh::EMappingType KZeqMesh::GetMaterialMappingType() {
    KZeqLayer* layer = GetLayer(0);
    const KZeqLayerElement* materials = layer ? layer->GetMaterials() : nullptr;
    if (materials && materials->GetMappingMode() == E::eBY_POLYGON) return eBY_POLYGON;
    if (materials && materials->GetMappingMode() == E::eBY_CONTROL_POINT) return eBY_CONTROL_POINT;
    return eALL_SAME;
}

KZeqMesh::EMappingType KZeqMesh::GetTextureMappingType() {
    KZeqLayer* layer = GetLayer(0);
    const KZeqLayerElement* textures = layer ? layer->GetTextures() : nullptr;
    return textures && textures->GetMappingMode() == E::eBY_POLYGON ? eBY_POLYGON : eALL_SAME;
}

// ---- Normals mapping ---------------------------------------------------------------------------

KZeqMesh::EMappingType KZeqMesh::GetNormalsMappingType() {
    KZeqLayer* layer = GetLayer(0);
    const KZeqLayerElement* normals = layer ? layer->GetNormals() : nullptr;
    return normals && normals->GetMappingMode() == E::eBY_POLYGON_VERTEX ? eBY_POLYGON_VERTEX : eBY_CONTROL_POINT;
}

void KZeqMesh::SetNormalsMappingType(EMappingType type) {
    KZeqLayer* layer = GetLayer(0);
    if (KZeqLayerElement* normals = layer ? layer->GetNormals() : nullptr)
        normals->SetMappingMode(type == eBY_POLYGON_VERTEX ? E::eBY_POLYGON_VERTEX : E::eBY_CONTROL_POINT);
}

// ---- Copy ----------------------------------------------------------------------------------------

KZeqMesh& KZeqMesh::operator=(KZeqMesh& source) {
    if (this == &source) return *this;
    KZeqGeometry::operator=(source);
    mPolygons = source.mPolygons;
    mPolygonVertices = source.mPolygonVertices;
    mUCount = source.mUCount;
    mVCount = source.mVCount;
    mUCountExtent = source.mUCountExtent;
    mVCountExtent = source.mVCountExtent;
    mUStep = source.mUStep;
    mVStep = source.mVStep;
    mUClosed = source.mUClosed;
    mVClosed = source.mVClosed;
    mUCapped = source.mUCapped;
    mVCapped = source.mVCapped;
    return *this;
}

}  // namespace zeqsdk_400
