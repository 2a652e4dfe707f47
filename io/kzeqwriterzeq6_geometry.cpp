// The 6.0 writer's geometry: the mesh record with its layer elements and
// "Layer" records, the "Material" and "Texture" objects, and the step that
// turns the layers' materials and textures into connections first.

#include <unordered_map>
#include <vector>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "object/kplug.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

bool WriteInts(KZeq& file, const char* name, const int* values, int count) {
    return file.FieldWriteBegin(name) && file.FieldWriteIn(values, count) && file.FieldWriteEnd();
}

bool WriteDoubles(KZeq& file, const char* name, const std::vector<double>& values) {
    return file.FieldWriteBegin(name) && file.FieldWriteDn(values.data(), static_cast<int>(values.size())) &&
           file.FieldWriteEnd();
}

// A record whose own value is its index, then its block.
void BlockWithIndex(KZeq& file, const char* name, int index) {
    file.FieldWriteBegin(name) && file.FieldWriteI(index) && file.FieldWriteBlockBegin();
}

void WriteModes(KZeq& file, const E& element, int reference) {
    ZeqWriteFieldI(file, "Version", 101);
    ZeqWriteFieldC(file, "Name", "");
    ZeqWriteFieldC(file, "MappingInformationType", E::GetMappingModeToken(element.GetMappingMode()));
    ZeqWriteFieldC(file, "ReferenceInformationType", E::GetReferenceModeToken(reference));
}

void WriteIndices(KZeq& file, const char* name, const E& element) {
    const KArrayTemplate<int>& indices = element.GetIndexArray();
    WriteInts(file, name, indices.GetCount() ? &indices[0] : nullptr, indices.GetCount());
}

// The position of each material (texture) among the node's connected ones
// of its class: what the layers are rebuilt from after reading.
typedef std::unordered_map<const KPlug*, int> Positions;
template <class T>
Positions ConnectionPositions(KZeqNode& node) {
    Positions positions;
    KPlugFilter* filter = KPlug_GetFilter(T::GetClassID());
    KObject* handler = node.GetPropertyHandler();
    if (!filter || !handler) return positions;
    for (int c = 0; c < handler->GetSrcCount(filter); ++c) positions.emplace(handler->GetSrc(filter, c), c);
    return positions;
}

// An index-to-direct element without indices (what AddTexture and the
// older files make: a plain list of the layer's objects) is written as its
// direct entries, or the file would name none of them.
template <class T>
bool ListsDirectEntries(const KZeqLayerElementTemplate<T*>& element) {
    return element.GetReferenceMode() == E::eDIRECT ||
           (element.GetReferenceMode() == E::eINDEX_TO_DIRECT && element.GetIndexArray().GetCount() == 0);
}

// The reader keeps a texture element only when it has ids.
bool HasTextureIds(const KZeqLayerElementTexture& element) {
    return (ListsDirectEntries(element) ? element.GetDirectArray().GetCount() : element.GetIndexArray().GetCount()) > 0;
}

// Index-to-direct entries (direct ones taken as indices to themselves) as
// positions in the node's connections; -1 for none.
template <class T>
std::vector<int> ConnectionIndices(const KZeqLayerElementTemplate<T*>& element, const Positions& positions) {
    const KArrayTemplate<T*>& direct = element.GetDirectArray();
    std::vector<int> indices;
    auto position = [&](int k) {
        if (k < 0 || k >= direct.GetCount() || !direct[k]) return -1;
        const auto found = positions.find(direct[k]->GetPropertyHandler());
        return found == positions.end() ? -1 : found->second;
    };
    if (ListsDirectEntries(element)) {
        for (int k = 0; k < direct.GetCount(); ++k) indices.push_back(position(k));
    } else {
        const KArrayTemplate<int>& source = element.GetIndexArray();
        for (int k = 0; k < source.GetCount(); ++k)
            indices.push_back(element.GetReferenceMode() == E::eINDEX ? source[k] : position(source[k]));
    }
    return indices;
}

void WriteElementKind(KZeq& file, KZeqNode& node, KZeqGeometry& geometry, E::ELayerElementType type) {
    const auto materials = ConnectionPositions<KZeqMaterial>(node);
    const auto textures = ConnectionPositions<KZeqTexture>(node);
    for (int t = 0, written = 0; t < geometry.GetLayerCount(type); ++t) {
        KZeqLayer& layer = *geometry.GetLayer(t, type);
        if (type == E::eTEXTURE && !HasTextureIds(*layer.GetTextures())) continue;
        std::vector<double> values;
        switch (type) {
            case E::eNORMAL: {
                const KZeqLayerElementNormal& element = *layer.GetNormals();
                BlockWithIndex(file, "LayerElementNormal", t);
                WriteModes(file, element, element.GetReferenceMode());
                for (int i = 0; i < element.GetDirectArray().GetCount(); ++i)
                    for (int c = 0; c < 3; ++c) values.push_back(element.GetDirectArray()[i][c]);
                WriteDoubles(file, "Normals", values);
                break;
            }
            case E::eMATERIAL: {
                const KZeqLayerElementMaterial& element = *layer.GetMaterials();
                BlockWithIndex(file, "LayerElementMaterial", t);
                WriteModes(file, element, element.GetReferenceMode());
                const std::vector<int> indices = ConnectionIndices(element, materials);
                WriteInts(file, "Materials", indices.data(), static_cast<int>(indices.size()));
                break;
            }
            case E::eTEXTURE: {
                // The reader keeps only texture elements with ids.
                const KZeqLayerElementTexture& element = *layer.GetTextures();
                BlockWithIndex(file, "LayerElementTexture", written++);
                const int reference = element.GetReferenceMode() == E::eINDEX ? E::eINDEX : E::eINDEX_TO_DIRECT;
                WriteModes(file, element, reference);
                ZeqWriteFieldC(file, "BlendMode", KZeqLayerElementTexture::GetBlendModeToken(element.GetBlendMode()));
                file.FieldWriteBegin("TextureAlpha") && file.FieldWriteD(element.GetAlpha()) && file.FieldWriteEnd();
                const std::vector<int> indices = ConnectionIndices(element, textures);
                WriteInts(file, "TextureId", indices.data(), static_cast<int>(indices.size()));
                break;
            }
            case E::ePOLYGON_GROUP: {
                const KZeqLayerElementPolygonGroup& element = *layer.GetPolygonGroups();
                BlockWithIndex(file, "LayerElementPolygonGroup", t);
                WriteModes(file, element, element.GetReferenceMode());
                WriteIndices(file, "PolygonGroup", element);
                break;
            }
            case E::eUV: {
                const KZeqLayerElementUV& element = *layer.GetUVs();
                BlockWithIndex(file, "LayerElementUV", t);
                WriteModes(file, element, element.GetReferenceMode());
                for (int i = 0; i < element.GetDirectArray().GetCount(); ++i)
                    for (int c = 0; c < 2; ++c) values.push_back(element.GetDirectArray()[i][c]);
                WriteDoubles(file, "UV", values);
                if (element.GetReferenceMode() == E::eINDEX_TO_DIRECT) WriteIndices(file, "UVIndex", element);
                break;
            }
            default: {
                const KZeqLayerElementVertexColor& element = *layer.GetVertexColors();
                BlockWithIndex(file, "LayerElementColor", t);
                WriteModes(file, element, element.GetReferenceMode());
                for (int i = 0; i < element.GetDirectArray().GetCount(); ++i) {
                    const KZeqColor& color = element.GetDirectArray()[i];
                    values.insert(values.end(), {color.mRed, color.mGreen, color.mBlue, color.mAlpha});
                }
                WriteDoubles(file, "Colors", values);
                if (element.GetReferenceMode() == E::eINDEX_TO_DIRECT) WriteIndices(file, "ColorIndex", element);
                break;
            }
        }
        ZeqWriteBlockEnd(file);
    }
}

// Element record names by type, in the order the layer records list them.
const struct {
    E::ELayerElementType mType;
    const char* mRecord;
} kElementRows[] = {{E::eNORMAL, "LayerElementNormal"},
                    {E::eMATERIAL, "LayerElementMaterial"},
                    {E::ePOLYGON_GROUP, "LayerElementPolygonGroup"},
                    {E::eVERTEX_COLOR, "LayerElementColor"},
                    {E::eUV, "LayerElementUV"},
                    {E::eTEXTURE, "LayerElementTexture"}};

}  // namespace

bool ZeqWriteMesh6(KZeqWriterZeqBase& writer, KZeqNode& node, KZeqMesh& mesh) {
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteFieldI(file, "GeometryVersion", 124);
    std::vector<double> points;
    points.reserve(static_cast<std::size_t>(mesh.GetControlPointsCount()) * 3);
    const KZeqVector4* controlPoints = mesh.GetControlPoints();
    for (int i = 0; i < mesh.GetControlPointsCount(); ++i)
        points.insert(points.end(), {controlPoints[i][0], controlPoints[i][1], controlPoints[i][2]});
    WriteDoubles(file, "Vertices", points);
    // Each polygon's last vertex complemented.
    std::vector<int> vertices;
    for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
        const int size = mesh.GetPolygonSize(p);
        for (int v = 0; v < size; ++v)
            vertices.push_back(v + 1 == size ? ~mesh.GetPolygonVertex(p, v) : mesh.GetPolygonVertex(p, v));
    }
    WriteInts(file, "PolygonVertexIndex", vertices.data(), static_cast<int>(vertices.size()));
    return ZeqWriteGeometryLayers6(writer, node, mesh);
}

bool ZeqWriteGeometryLayers6(KZeqWriterZeqBase& writer, KZeqNode& node, KZeqGeometry& geometry) {
    KZeq& file = *writer.GetZeqObject();
    for (E::ELayerElementType type :
         {E::eNORMAL, E::eMATERIAL, E::eVERTEX_COLOR, E::ePOLYGON_GROUP, E::eTEXTURE, E::eUV})
        WriteElementKind(file, node, geometry, type);
    if (kZeqGeometryWriterHooks.mShapes && writer.GetStreamOptions()->GetOption(KStreamOptionsZeq::eSHAPE))
        kZeqGeometryWriterHooks.mShapes(writer, geometry);
    // Texture elements without ids were not written: they are not named, and
    // the typed indices of the others count only the written ones.
    int texturesWritten = 0;
    for (int l = 0; l < geometry.GetLayerCount(); ++l) {
        BlockWithIndex(file, "Layer", l);
        ZeqWriteFieldI(file, "Version", 100);
        for (const auto& row : kElementRows) {
            if (!geometry.GetLayer(l)->GetLayerElementOfType(row.mType)) continue;
            int typedIndex = geometry.GetLayerTypedIndex(l, row.mType);
            if (row.mType == E::eTEXTURE) {
                if (!HasTextureIds(*geometry.GetLayer(l)->GetTextures())) continue;
                typedIndex = texturesWritten++;
            }
            ZeqWriteBlockBegin(file, "LayerElement");
            ZeqWriteFieldC(file, "Type", row.mRecord);
            ZeqWriteFieldI(file, "TypedIndex", typedIndex);
            ZeqWriteBlockEnd(file);
        }
        ZeqWriteBlockEnd(file);
    }
    return true;
}

// ---- Objects -------------------------------------------------------------------------------------

void ZeqListMaterials(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    if (KZeqEntity* entity = scene.GetEntity())
        for (int i = 0; i < entity->GetMaterialCount(); ++i) objects.push_back(entity->GetMaterial(i));
}

void ZeqListTextures(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    if (KZeqEntity* entity = scene.GetEntity())
        for (int i = 0; i < entity->GetTextureCount(); ++i) objects.push_back(entity->GetTexture(i));
}

bool ZeqWriteMaterialObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    auto& material = static_cast<KZeqMaterial&>(object);
    IZeqObject& file = *writer.GetZeqObject();
    file.FieldWriteBegin("Material");
    file.FieldWriteC(material.GetName()), file.FieldWriteC("");
    file.FieldWriteBlockBegin();
    ZeqWriteFieldI(file, "Version", 102);
    ZeqWriteFieldC(file, "ShadingModel", material.GetShadingModel());
    ZeqWriteFieldI(file, "MultiLayer", material.GetMultiLayer() ? 1 : 0);
    ZeqWritePropertyBlock(file, material);
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteTextureObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    auto& texture = static_cast<KZeqTexture&>(object);
    IZeqObject& file = *writer.GetZeqObject();
    file.FieldWriteBegin("Texture");
    file.FieldWriteC(texture.GetName()), file.FieldWriteC("");
    file.FieldWriteBlockBegin();
    ZeqWriteFieldC(file, "Type", "TextureVideoClip");
    ZeqWriteFieldI(file, "Version", 202);
    ZeqWriteFieldC(file, "TextureName", texture.GetName());
    ZeqWritePropertyBlock(file, texture);
    ZeqWriteFieldC(file, "Media", texture.GetMediaName().Buffer());
    ZeqWriteFieldC(file, "FileName", texture.GetFileName());
    ZeqWriteFieldC(file, "RelativeFilename", texture.GetRelativeFileName());
    ZeqWriteTextureCommonFields(file, texture);
    return ZeqWriteBlockEnd(file);
}

void ZeqWriteTextureCommonFields(KZeq& file, KZeqTexture& texture) {
    static const char* const kAlphaSources[] = {"None", "RGB_Intensity", "Alpha_Black"};
    const KZeqVector2 translation = texture.GetUVTranslation(), scaling = texture.GetUVScaling();
    file.FieldWriteBegin("ModelUVTranslation") && file.FieldWriteD(translation[0]) &&
        file.FieldWriteD(translation[1]) && file.FieldWriteEnd();
    file.FieldWriteBegin("ModelUVScaling") && file.FieldWriteD(scaling[0]) && file.FieldWriteD(scaling[1]) &&
        file.FieldWriteEnd();
    const int source = texture.GetAlphaSource();
    ZeqWriteFieldC(file, "Texture_Alpha_Source", kAlphaSources[source >= 0 && source <= 2 ? source : 0]);
    file.FieldWriteBegin("Cropping");
    for (int value :
         {texture.GetCroppingLeft(), texture.GetCroppingRight(), texture.GetCroppingTop(), texture.GetCroppingBottom()})
        file.FieldWriteI(value);
    file.FieldWriteEnd();
}

bool ZeqWriteConnectMaterialsAndTextures(KZeqWriterZeqBase&, KZeqScene& scene) {
    scene.ConnectMaterials();
    scene.ConnectTextures();
    return true;
}

}  // namespace zeqsdk_400
