// The 5.8 writer's geometry: the mesh record with its materials, textures
// and texture layers as the older readers read them back, the texture and
// material records, and the sets of animated textures and materials.

#include <algorithm>
#include <type_traits>
#include <vector>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurvenode.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

namespace {

typedef KZeqLayerElement E;

bool WriteInts(KZeq& file, const char* name, const std::vector<int>& values) {
    return file.FieldWriteBegin(name) && file.FieldWriteIn(values.data(), static_cast<int>(values.size())) &&
           file.FieldWriteEnd();
}

bool WriteDoubles(KZeq& file, const char* name, const std::vector<double>& values) {
    return file.FieldWriteBegin(name) && file.FieldWriteDn(values.data(), static_cast<int>(values.size())) &&
           file.FieldWriteEnd();
}

bool WriteD(KZeq& file, const char* name, std::initializer_list<double> values) {
    bool ok = file.FieldWriteBegin(name);
    for (double value : values) ok = ok && file.FieldWriteD(value);
    return ok && file.FieldWriteEnd();
}

// Whether the element's items are its direct entries: direct ones, and
// textures or materials of index to direct without indices (what AddTexture
// and the older files make: a plain list of the layer's objects).
template <class T>
bool ListsDirectEntries(const KZeqLayerElementTemplate<T>& element) {
    return element.GetReferenceMode() == E::eDIRECT ||
           (std::is_pointer<T>::value && element.GetReferenceMode() == E::eINDEX_TO_DIRECT &&
            element.GetIndexArray().GetCount() == 0);
}

// The n-th value an element gives, through its indices when it has them.
template <class T>
const T* ItemAt(const KZeqLayerElementTemplate<T>& element, int n) {
    const KArrayTemplate<T>& direct = element.GetDirectArray();
    int k = n;
    if (!ListsDirectEntries(element)) {
        const KArrayTemplate<int>& indices = element.GetIndexArray();
        k = n >= 0 && n < indices.GetCount() ? indices[n] : -1;
    }
    return k >= 0 && k < direct.GetCount() ? &direct[k] : nullptr;
}

template <class T>
int ItemCount(const KZeqLayerElementTemplate<T>& element) {
    return ListsDirectEntries(element) ? element.GetDirectArray().GetCount() : element.GetIndexArray().GetCount();
}

std::vector<int> ToVector(const KArrayTemplate<int>& array) {
    std::vector<int> values(static_cast<std::size_t>(array.GetCount()));
    for (int i = 0; i < array.GetCount(); ++i) values[static_cast<std::size_t>(i)] = array[i];
    return values;
}

// Position of the texture in the written list, -1 when none.
int ListPosition(const std::vector<KZeqTexture*>& list, const KZeqTexture* const* texture) {
    if (!texture || !*texture) return -1;
    const auto found = std::find(list.begin(), list.end(), *texture);
    return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

// The "UVMode" of a UV element: 3 or 4 by control point, 7 or 8 by polygon vertex.
int UVMode(const KZeqLayerElementUV* uvs) {
    if (!uvs) return 0;
    const bool indexed = uvs->GetReferenceMode() == E::eINDEX_TO_DIRECT;
    if (uvs->GetMappingMode() == E::eBY_CONTROL_POINT) return indexed ? 4 : 3;
    if (uvs->GetMappingMode() == E::eBY_POLYGON_VERTEX) return indexed ? 8 : 7;
    return 0;
}

}  // namespace

bool ZeqWriteMesh58(KZeqWriterZeqBase& writer, KZeqMesh& mesh) {
    KZeq& file = *writer.GetZeqObject();
    KZeqLayer* zero = mesh.GetLayer(0);
    ZeqWriteFieldI(file, "GeometryVersion", 123);
    std::vector<double> values;
    const KZeqVector4* points = mesh.GetControlPoints();
    for (int i = 0; i < mesh.GetControlPointsCount(); ++i)
        values.insert(values.end(), {points[i][0], points[i][1], points[i][2]});
    WriteDoubles(file, "Vertices", values);
    std::vector<int> vertices, groups;
    for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
        const int size = mesh.GetPolygonSize(p);
        for (int v = 0; v < size; ++v)
            vertices.push_back(v + 1 == size ? ~mesh.GetPolygonVertex(p, v) : mesh.GetPolygonVertex(p, v));
        groups.push_back(mesh.GetPolygonGroup(p));
    }
    WriteInts(file, "PolygonVertexIndex", vertices);
    if (KZeqLayerElementNormal* normals = zero ? zero->GetNormals() : nullptr) {
        values.clear();
        for (int n = 0; n < ItemCount(*normals); ++n) {
            const KZeqVector4* normal = ItemAt(*normals, n);
            values.insert(values.end(),
                          {normal ? (*normal)[0] : 0.0, normal ? (*normal)[1] : 0.0, normal ? (*normal)[2] : 0.0});
        }
        WriteDoubles(file, "Normals", values);
    }
    if (zero && zero->GetPolygonGroups()) WriteInts(file, "PolygonGroup", groups);
    if (KZeqLayerElementVertexColor* colors = zero ? zero->GetVertexColors() : nullptr) {
        ZeqWriteBlockBegin(file, "VertexColorInfo");
        ZeqWriteFieldI(file, "Version", 101);
        ZeqWriteFieldC(file, "MappingInformationType", E::GetMappingModeToken(colors->GetMappingMode()));
        values.clear();
        for (int i = 0; i < colors->GetDirectArray().GetCount(); ++i) {
            const KZeqColor& color = colors->GetDirectArray()[i];
            values.insert(values.end(), {color.mRed, color.mGreen, color.mBlue, color.mAlpha});
        }
        WriteDoubles(file, "Colors", values);
        if (colors->GetReferenceMode() != E::eDIRECT) {
            WriteInts(file, "ColorIndex", ToVector(colors->GetIndexArray()));
        }
        ZeqWriteBlockEnd(file);
    }
    std::vector<KZeqTexture*> list;
    ZeqWriteGeometry58(writer, mesh, list);
    KZeqLayerElementMaterial* materials = zero ? zero->GetMaterials() : nullptr;
    if (materials && materials->GetReferenceMode() == E::eINDEX_TO_DIRECT) {
        const E::EMappingMode mapping = materials->GetMappingMode();
        ZeqWriteFieldC(file, "MaterialAssignation",
                       mapping == E::eBY_CONTROL_POINT ? "ByVertice"
                       : mapping == E::eBY_POLYGON     ? "ByPolygon"
                                                       : "AllSame");
        WriteInts(file, "Materials", ToVector(materials->GetIndexArray()));
    }
    if (KZeqLayerElementTexture* textures = zero ? zero->GetTextures() : nullptr) {
        const bool byPolygon = textures->GetMappingMode() == E::eBY_POLYGON;
        if (byPolygon || textures->GetMappingMode() == E::eALL_SAME)
            ZeqWriteFieldC(file, "TextureMode", byPolygon ? "ByPolygon" : "ByModel");
        // Positions in layer 0's direct array, which heads the list.
        std::vector<int> ids;
        for (int n = 0; n < ItemCount(*textures); ++n) ids.push_back(ListPosition(list, ItemAt(*textures, n)));
        WriteInts(file, "TextureId", ids);
    }
    const char* const axes[] = {"U", "V"};
    const int extents[] = {mesh.GetUCountExtent(), mesh.GetVCountExtent()},
              steps[] = {mesh.GetUStep(), mesh.GetVStep()};
    const int counts[] = {mesh.GetUCount(), mesh.GetVCount()};
    const bool closed[] = {mesh.GetUClosed(), mesh.GetVClosed()}, capped[] = {mesh.GetUCapped(), mesh.GetVCapped()};
    for (int a = 0; a < 2; ++a) {
        const KString axis(axes[a]);
        ZeqWriteFieldI(file, (axis + "ExtendedCount").Buffer(), extents[a]);
        ZeqWriteFieldI(file, (axis + "Closed").Buffer(), closed[a] ? 1 : 0);
        ZeqWriteFieldI(file, (axis + "TopCap").Buffer(), capped[a] ? 1 : 0);
        ZeqWriteFieldI(file, (axis + "Step").Buffer(), steps[a]);
        ZeqWriteFieldI(file, (axis + "Count").Buffer(), counts[a]);
    }
    KZeqLayerElementUV* uvs = zero ? zero->GetUVs() : nullptr;
    if (uvs && (uvs->GetDirectArray().GetCount() > 0 || uvs->GetIndexArray().GetCount() > 0)) {
        ZeqWriteBlockBegin(file, "GeometryUVInfo");
        const E::EMappingMode mapping = uvs->GetMappingMode();
        // "ByPolygon" is how these readers spell by polygon vertex.
        ZeqWriteFieldC(file, "MappingInformationType",
                       mapping == E::eBY_CONTROL_POINT    ? "ByVertice"
                       : mapping == E::eBY_POLYGON_VERTEX ? "ByPolygon"
                                                          : "AllSame");
        values.clear();
        const bool byVertex = mapping == E::eBY_POLYGON_VERTEX;
        // By control point the UVs are read one per point, in point order.
        const int count = byVertex ? uvs->GetDirectArray().GetCount() : mesh.GetControlPointsCount();
        for (int i = 0; i < count; ++i) {
            const KZeqVector2* uv = byVertex ? &uvs->GetDirectArray()[i] : ItemAt(*uvs, i);
            values.insert(values.end(), {uv ? (*uv)[0] : 0.0, uv ? (*uv)[1] : 0.0});
        }
        WriteDoubles(file, "TextureUV", values);
        if (byVertex) {
            std::vector<int> indices;
            for (int n = 0; n < ItemCount(*uvs); ++n)
                indices.push_back(uvs->GetReferenceMode() == E::eDIRECT ? n : uvs->GetIndexArray()[n]);
            WriteInts(file, "TextureVertexIndex", indices);
        }
        ZeqWriteBlockEnd(file);
    }
    return true;
}

bool ZeqWriteGeometry58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry, std::vector<KZeqTexture*>& list) {
    KZeqLayer* zero = geometry.GetLayer(0);
    KZeqLayerElementMaterial* materials = zero ? zero->GetMaterials() : nullptr;
    if (materials && writer.GetStreamOptions()->GetOption(KStreamOptionsZeq::eMATERIAL))
        for (int i = 0; i < materials->GetDirectArray().GetCount(); ++i)
            if (KZeqMaterial* material = materials->GetDirectArray()[i]) ZeqWriteMaterial58(writer, *material);
    // The texture list: layer 0's textures first, so that the older readers'
    // repair of layer 0 finds them in place, then those of the other layers.
    list.clear();
    for (int l = 0; l < geometry.GetLayerCount(); ++l)
        if (KZeqLayerElementTexture* textures = geometry.GetLayer(l)->GetTextures())
            for (int i = 0; i < textures->GetDirectArray().GetCount(); ++i)
                if (textures->GetDirectArray()[i] && ListPosition(list, &textures->GetDirectArray()[i]) < 0)
                    list.push_back(textures->GetDirectArray()[i]);
    if (writer.GetStreamOptions()->GetOption(KStreamOptionsZeq::eTEXTURE))
        for (KZeqTexture* texture : list) ZeqWriteTexture58(writer, *texture);
    if (kZeqGeometryWriterHooks.mLinks && writer.GetStreamOptions()->GetOption(KStreamOptionsZeq::eLINK))
        kZeqGeometryWriterHooks.mLinks(writer, geometry);
    if (kZeqGeometryWriterHooks.mShapes && writer.GetStreamOptions()->GetOption(KStreamOptionsZeq::eSHAPE))
        kZeqGeometryWriterHooks.mShapes(writer, geometry);
    for (int l = 1; l < geometry.GetLayerCount(); ++l) ZeqWriteGeometryLayer58(writer, geometry, l, list);
    return true;
}

bool ZeqWriteGeometryLayer58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry, int layer,
                             const std::vector<KZeqTexture*>& list) {
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "GeometryLayer");
    ZeqWriteFieldI(file, "LayerIndex", layer);
    ZeqWriteBlockBegin(file, "LayerTextureInfo");
    ZeqWriteGeometryTextureLayer58(writer, geometry, *geometry.GetLayer(layer), list);
    ZeqWriteBlockEnd(file);
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteGeometryTextureLayer58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry, KZeqLayer& layer,
                                    const std::vector<KZeqTexture*>& list) {
    KZeq& file = *writer.GetZeqObject();
    const KZeqLayerElementTexture* textures = layer.GetTextures();
    const E::EMappingMode mapping = textures ? textures->GetMappingMode() : E::eNONE;
    // By polygon and by polygon vertex are kept for meshes only.
    const bool mesh = geometry.GetAttributeType() == KZeqNodeAttribute::eMESH;
    const int mode = mapping == E::eALL_SAME ? 2 : mapping == E::eBY_POLYGON && mesh ? 6 : 0;
    ZeqWriteFieldI(file, "TextureMode", mode);
    ZeqWriteFieldI(file, "TextureBlendMode", textures ? textures->GetBlendMode() : 2);
    if (mode == 6) {
        std::vector<int> ids;
        for (int p = 0; p < static_cast<KZeqMesh&>(geometry).GetPolygonCount(); ++p)
            ids.push_back(ListPosition(list, ItemAt(*textures, p)));
        ZeqWriteFieldI(file, "TextureIdCount", static_cast<int>(ids.size()));
        WriteInts(file, "TextureId", ids);
    } else {
        // -1 names no texture: a layer without one gets none.
        ZeqWriteFieldI(file, "TextureId", textures ? ListPosition(list, ItemAt(*textures, 0)) : -1);
    }
    const KZeqLayerElementUV* uvs = layer.GetUVs();
    int uvMode = UVMode(uvs);
    if (!mesh && uvMode >= 7) uvMode = 0;
    ZeqWriteFieldI(file, "UVMode", uvMode);
    if (uvMode == 0) return true;
    ZeqWriteFieldI(file, "UVCount", uvs->GetDirectArray().GetCount());
    std::vector<double> values;
    for (int i = 0; i < uvs->GetDirectArray().GetCount(); ++i)
        values.insert(values.end(), {uvs->GetDirectArray()[i][0], uvs->GetDirectArray()[i][1]});
    WriteDoubles(file, "UV", values);
    if (uvMode == 4 || uvMode == 8) {
        ZeqWriteFieldI(file, "UVIdCount", uvs->GetIndexArray().GetCount());
        WriteInts(file, "UVId", ToVector(uvs->GetIndexArray()));
    }
    return true;
}

bool ZeqWriteTexture58(KZeqWriterZeqBase& writer, KZeqTexture& texture) {
    static const char* const kMappingTypes[] = {"None", "Planar", "Spherical", "Cylindrical",
                                                "Box",  "Face",   "UV",        "Environment"};
    static const char* const kNormals[] = {"X", "Y", "Z"};
    static const char* const kUses[] = {"Standard",           "ShadowMap",    "LightMap", "SphericalReflexionMap",
                                        "SphereReflexionMap", "BumpNormalMap"};
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "Texture", texture.GetName());
    ZeqWriteFieldC(file, "Type", "TextureVideoClip");
    ZeqWriteFieldI(file, "Version", 202);
    ZeqWriteFieldC(file, "TextureName", texture.GetName());
    ZeqWriteFieldC(file, "Media", texture.GetMediaName().Buffer());
    KZeqVector4 t, r, s;
    texture.GetDefaultT(t), texture.GetDefaultR(r), texture.GetDefaultS(s);
    WriteD(file, "Translation", {t[0], t[1]});
    WriteD(file, "Rotation", {r[0], r[1], r[2]});
    WriteD(file, "Scaling", {s[0], s[1]});
    WriteD(file, "TextureAlpha", {texture.GetDefaultAlpha()});
    ZeqWriteTextureCommonFields(file, texture);
    const int mapping = texture.GetMappingType(), normal = texture.GetPlanarMappingNormal(),
              use = texture.GetTextureUse();
    ZeqWriteFieldC(file, "Texture_Mapping_Type", kMappingTypes[mapping >= 0 && mapping < 8 ? mapping : 0]);
    ZeqWriteFieldC(file, "Texture_Planar_Mapping_Normal", kNormals[normal >= 0 && normal < 3 ? normal : 0]);
    ZeqWriteFieldI(file, "SwapUV", texture.GetSwapUV() ? 1 : 0);
    ZeqWriteFieldI(file, "MaterialMode", texture.GetMaterialUse());
    ZeqWriteFieldC(file, "TextureUse", kUses[use >= 0 && use < 6 ? use : 0]);
    ZeqWriteFieldI(file, "WrapV", texture.GetWrapModeV());
    ZeqWriteFieldI(file, "WrapU", texture.GetWrapModeU());
    ZeqWriteFieldI(file, "BlendMode", texture.GetBlendMode());
    if (writer.IsAnimatedObject(&texture)) ZeqWriteFieldC(file, "AnimatedProperty", "Texture");
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteMaterial58(KZeqWriterZeqBase& writer, KZeqMaterial& material) {
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "Material", material.GetName());
    ZeqWriteFieldI(file, "Version", 102);
    ZeqWriteFieldC(file, "ShadingModel", material.GetShadingModel());
    KZeqColor color;
    const struct {
        const char* mField;
        KZeqColor& (KZeqMaterial::*mGet)(KZeqColor&) const;
    } colors[] = {{"Ambient", &KZeqMaterial::GetDefaultAmbientColor},
                  {"Diffuse", &KZeqMaterial::GetDefaultDiffuseColor},
                  {"Specular", &KZeqMaterial::GetDefaultSpecularColor},
                  {"Emissive", &KZeqMaterial::GetDefaultEmissiveColor}};
    for (const auto& row : colors) {
        (material.*row.mGet)(color);
        WriteD(file, row.mField, {color.mRed, color.mGreen, color.mBlue});
    }
    // Sections of this version keep shininess a hundred times larger.
    WriteD(file, "Shininess", {material.GetDefaultShininess() * 100.0});
    WriteD(file, "Reflectivity", {material.GetDefaultReflectivity()});
    WriteD(file, "Alpha", {material.GetDefaultOpacity()});
    if (writer.IsAnimatedObject(&material)) ZeqWriteFieldC(file, "AnimatedProperty", "Material");
    return ZeqWriteBlockEnd(file);
}

// ---- Animated channels -----------------------------------------------------------------------------

namespace {

// True when a take other than the default one holds a key.
bool HasKeys(KZeqTakeNodeContainer& object) {
    for (int i = 0; i < object.GetTakeNodeCount(); ++i) {
        KZeqTakeNode* take = object.GetTakeNode(i);
        if (take == object.GetDefaultTakeNode() || !take->GetKFCurveNode()) continue;
        if (take->GetKFCurveNode()->KeyGetCount() > 0) return true;
    }
    return false;
}

}  // namespace

bool ZeqFindAnimatedChannels(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    writer.ClearAnimatedChannels();
    KZeqEntity* entity = scene.GetEntity();
    for (int i = 0; entity && i < entity->GetTextureCount(); ++i)
        if (HasKeys(*entity->GetTexture(i))) writer.AddAnimatedObject(entity->GetTexture(i));
    for (int i = 0; entity && i < entity->GetMaterialCount(); ++i)
        if (HasKeys(*entity->GetMaterial(i))) writer.AddAnimatedObject(entity->GetMaterial(i));
    return true;
}

bool ZeqClearAnimatedChannels(KZeqWriterZeqBase& writer, KZeqScene&) {
    writer.ClearAnimatedChannels();
    return true;
}

bool ZeqWriteMeshAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqMesh* mesh = node.GetMesh();
    if (!mesh) return writer.WriteKZeqNull(nullptr);
    return writer.GetZeqObject()->IsBeforeVersion6() ? ZeqWriteMesh58(writer, *mesh)
                                                     : ZeqWriteMesh6(writer, node, *mesh);
}

}  // namespace zeqsdk_400
