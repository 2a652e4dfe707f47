// Texture and material records of both layouts, their version-6 objects, and
// the merging of equal textures and materials once a scene is read.

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "fileio/kzeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

struct Word {
    const char* mText;
    int mValue;
};
const Word kAlphaSources[] = {{"None", 0}, {"RGB_Intensity", 1}, {"Alpha_Black", 2}};
const Word kMappingTypes[] = {{"None", 0}, {"Planar", 1}, {"Spherical", 2}, {"Cylindrical", 3},
                              {"Box", 4},  {"Face", 5},   {"UV", 6},        {"Environment", 7}};
const Word kPlanarNormals[] = {{"X", 0}, {"Y", 1}, {"Z", 2}};
const Word kTextureUses[] = {{"Standard", 0},           {"ShadowMap", 1},
                             {"LightMap", 2},           {"SphericalReflexionMap", 3},
                             {"SphereReflexionMap", 4}, {"BumpNormalMap", 5}};

// Exact, case included; an absent field or another text is 0.
template <int N>
int ReadWord(KZeq& file, const char* field, const Word (&words)[N]) {
    const KString text = file.FieldReadC(field, "");
    for (const Word& word : words)
        if (text == word.mText) return word.mValue;
    return 0;
}

bool ReadVector2(KZeq& file, const char* field, KZeqVector2& value) {
    double values[2] = {value[0], value[1]};
    if (!file.FieldReadDn(field, values, nullptr, 2)) return false;
    value = KZeqVector2(values[0], values[1]);
    return true;
}

void ReadCommonTextureFields(KZeq& file, KZeqTexture& texture) {
    KZeqVector2 uv = texture.GetUVTranslation();
    if (ReadVector2(file, "ModelUVTranslation", uv)) texture.SetUVTranslation(uv);
    uv = texture.GetUVScaling();
    if (ReadVector2(file, "ModelUVScaling", uv)) texture.SetUVScaling(uv);
    texture.SetAlphaSource(
        static_cast<KZeqTexture::EAlphaSource>(ReadWord(file, "Texture_Alpha_Source", kAlphaSources)));
    // Written left, right, top and bottom.
    if (file.FieldReadBegin("Cropping")) {
        int values[4] = {};
        for (int& value : values) value = file.FieldReadI();
        texture.SetCropping(values[0], values[2], values[1], values[3]);
        file.FieldReadEnd();
    }
}

KString LowerCase(const KString& text) {
    std::string lower(text.Buffer());
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return KString(lower.c_str());
}

// The property block of a version-6 texture or material, published.
void ReadPublishedPropertyBlock(KZeqReaderZeq& reader, KZeqTakeNodeContainer& object) {
    reader.ReadPropertyBlock(object);
    reader.PublishKZeqProperties(object);
}

}  // namespace

bool KZeqReaderZeq::ReadKZeqTexture(KZeqTexture& texture) {
    KZeq& file = *mFile;
    if (!mFile->IsBeforeVersion6()) {
        texture.SetName(file.FieldReadC("TextureName", "").Buffer());
        texture.SetFileName(file.FieldReadC("FileName", "").Buffer());
        texture.SetRelativeFileName(file.FieldReadC("RelativeFilename", "").Buffer());
        texture.SetMediaName(file.FieldReadC("Media", "").Buffer());
        ReadPublishedPropertyBlock(*this, texture);
        ReadCommonTextureFields(file, texture);
        return true;
    }
    texture.SetName(file.FieldReadC().Buffer());
    if (!file.FieldReadBlockBegin()) return true;
    texture.SetMediaName(file.FieldReadC("Media", "").Buffer());
    double values[3] = {};
    if (file.FieldReadDn("Translation", values, nullptr, 2))
        texture.SetDefaultT(KZeqVector4(values[0], values[1], 0.0, 0.0));
    if (file.FieldReadDn("Rotation", values, nullptr, 3))
        texture.SetDefaultR(KZeqVector4(values[0], values[1], values[2], 0.0));
    if (file.FieldReadDn("Scaling", values, nullptr, 2))
        texture.SetDefaultS(KZeqVector4(values[0], values[1], 1.0, 0.0));
    if (file.FieldReadBegin("TextureAlpha")) {
        texture.SetDefaultAlpha(std::min(std::max(file.FieldReadD(), 0.0), 1.0));
        file.FieldReadEnd();
    }
    ReadCommonTextureFields(file, texture);
    texture.SetMappingType(
        static_cast<KZeqTexture::EMappingType>(ReadWord(file, "Texture_Mapping_Type", kMappingTypes)));
    texture.SetPlanarMappingNormal(static_cast<KZeqTexture::EPlanarMappingNormal>(
        ReadWord(file, "Texture_Planar_Mapping_Normal", kPlanarNormals)));
    texture.SetSwapUV(file.FieldReadI("SwapUV", 0) != 0);
    texture.SetMaterialUse(static_cast<KZeqTexture::EMaterialUse>(file.FieldReadI("MaterialMode", 0)));
    texture.SetTextureUse(static_cast<KZeqTexture::ETextureUse>(ReadWord(file, "TextureUse", kTextureUses)));
    const int wrapV = file.FieldReadI("WrapV", 0), wrapU = file.FieldReadI("WrapU", 0);
    texture.SetWrapMode(static_cast<KZeqTexture::EWrapMode>(wrapU), static_cast<KZeqTexture::EWrapMode>(wrapV));
    texture.SetBlendMode(static_cast<KZeqTexture::EBlendMode>(file.FieldReadI("BlendMode", 0)));
    file.FieldReadBlockEnd();
    return true;
}

bool KZeqReaderZeq::ReadKZeqMaterial(KZeqMaterial& material) {
    KZeq& file = *mFile;
    if (!mFile->IsBeforeVersion6()) {
        file.FieldReadI("Version", 100);
        material.SetShadingModel(LowerCase(file.FieldReadC("ShadingModel", "phong")).Buffer());
        material.SetMultiLayer(file.FieldReadI("MultiLayer", 0) != 0);
        ReadPublishedPropertyBlock(*this, material);
        return true;
    }
    material.SetName(file.FieldReadC().Buffer());
    if (!file.FieldReadBlockBegin()) return true;
    material.SetShadingModel(LowerCase(file.FieldReadC("ShadingModel", "phong")).Buffer());
    const struct {
        const char* mField;
        void (KZeqMaterial::*mSet)(const KZeqColor&);
    } colors[] = {{"Ambient", &KZeqMaterial::SetDefaultAmbientColor},
                  {"Diffuse", &KZeqMaterial::SetDefaultDiffuseColor},
                  {"Specular", &KZeqMaterial::SetDefaultSpecularColor},
                  {"Emissive", &KZeqMaterial::SetDefaultEmissiveColor}};
    for (const auto& color : colors) {
        double rgb[3] = {};
        if (file.FieldReadDn(color.mField, rgb, nullptr, 3))
            (material.*color.mSet)(KZeqColor(rgb[0], rgb[1], rgb[2], 1.0));
    }
    if (file.FieldReadBegin("Shininess")) {
        const double shininess = file.FieldReadD();
        const int version = file.ProjectGetSectionVersion(file.ProjectGetCurrentSectionIndex());
        material.SetDefaultShininess(version < 3000 ? shininess * 0.0078125 : shininess / 100.0);
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("Reflectivity")) {
        material.SetDefaultReflectivity(file.FieldReadD());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("Alpha")) {
        material.SetDefaultOpacity(file.FieldReadD());
        file.FieldReadEnd();
    }
    file.FieldReadBlockEnd();
    return true;
}

// ---- Version-6 objects -------------------------------------------------------------------------

bool ZeqReadTextureObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString&, const KString& name) {
    KZeqTexture* texture = reader.GetSdkManager().CreateKZeqTexture("");
    if (!texture) return false;
    reader.ReadKZeqTexture(*texture);
    reader.AddTextureRead(*texture);  // "Media" names its file before the connections are read
    // Listed in the scene at once: its takes are read before the layers are rebuilt.
    if (scene.GetEntity()) scene.GetEntity()->AddTexture(texture);
    reader.RegisterObject(name.Buffer(), texture->GetPropertyHandler());
    return true;
}

bool ZeqReadMaterialObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString&, const KString& name) {
    KZeqMaterial* material = reader.GetSdkManager().CreateKZeqMaterial("");
    if (!material) return false;
    material->SetName(KZeqSdkManager::PrefixName("Material::", name.Buffer()).Buffer());
    reader.ReadKZeqMaterial(*material);
    if (scene.GetEntity()) scene.GetEntity()->AddMaterial(material);
    reader.RegisterObject(name.Buffer(), material->GetPropertyHandler());
    return true;
}

// ---- Duplicates -----------------------------------------------------------------------------------

namespace {

// A texture's name without its trailing digits and blanks, as its equality cuts it.
std::string CutName(const char* name) {
    std::string text(name ? name : "");
    while (!text.empty() && (std::isdigit(static_cast<unsigned char>(text.back())) || text.back() == ' '))
        text.pop_back();
    return text;
}

struct TextureKind {
    typedef KZeqTexture Object;
    typedef KZeqLayerElementTexture Element;
    static int Count(KZeqEntity& entity) { return entity.GetTextureCount(); }
    static KZeqTexture* At(KZeqEntity& entity, int index) { return entity.GetTexture(index); }
    static bool Add(KZeqEntity& entity, KZeqTexture* object) { return entity.AddTexture(object); }
    static bool Remove(KZeqEntity& entity, KZeqTexture* object) { return entity.RemoveTexture(object); }
    static std::string Key(KZeqTexture& object) { return CutName(object.GetName()); }
    static Element* Of(KZeqLayer& layer) { return layer.GetTextures(); }
    static const KZeqLayerElement::ELayerElementType kType = KZeqLayerElement::eTEXTURE;
    static void Destroy(KZeqSdkManager& manager, KZeqTexture* object) { manager.DestroyKZeqTexture(object); }
};

struct MaterialKind {
    typedef KZeqMaterial Object;
    typedef KZeqLayerElementMaterial Element;
    static int Count(KZeqEntity& entity) { return entity.GetMaterialCount(); }
    static KZeqMaterial* At(KZeqEntity& entity, int index) { return entity.GetMaterial(index); }
    static bool Add(KZeqEntity& entity, KZeqMaterial* object) { return entity.AddMaterial(object); }
    static bool Remove(KZeqEntity& entity, KZeqMaterial* object) { return entity.RemoveMaterial(object); }
    static std::string Key(KZeqMaterial& object) { return object.GetName(); }
    static Element* Of(KZeqLayer& layer) { return layer.GetMaterials(); }
    static const KZeqLayerElement::ELayerElementType kType = KZeqLayerElement::eMATERIAL;
    static void Destroy(KZeqSdkManager& manager, KZeqMaterial* object) { manager.DestroyKZeqMaterial(object); }
};

// The first of equal objects survives; every later one is merged into the
// earliest survivor it equals (compared as the left operand), found through
// a hash on what the equality compares exactly rather than by scanning all
// pairs. Layer entries and camera backgrounds then point at the survivor
// before the copy is destroyed.
template <class Kind>
void RemoveDuplicates(KZeqScene& scene, KZeqSdkManager& manager,
                      const std::function<void(typename Kind::Object*, typename Kind::Object*)>& redirect) {
    typedef typename Kind::Object T;
    KZeqEntity* entity = scene.GetEntity();
    if (!entity) return;
    std::vector<T*> list;
    for (int i = 0; i < Kind::Count(*entity); ++i) list.push_back(Kind::At(*entity, i));
    std::unordered_map<std::string, std::vector<T*>> survivors;
    std::unordered_map<T*, T*> removed;
    for (T* object : list) {
        std::vector<T*>& bucket = survivors[Kind::Key(*object)];
        T* survivor = nullptr;
        for (T* candidate : bucket)
            if (*object == *candidate) {
                survivor = candidate;
                break;
            }
        if (survivor)
            removed.emplace(object, survivor);
        else
            bucket.push_back(object);
    }
    if (removed.empty()) return;
    for (int n = 0; n < entity->GetNodeCount(); ++n) {
        KZeqNode* node = entity->GetNode(n);
        KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
        for (int l = 0; geometry && l < geometry->GetLayerCount(Kind::kType); ++l) {
            typename Kind::Element* element = Kind::Of(*geometry->GetLayer(l, Kind::kType));
            KArrayTemplate<T*>& direct = element->GetDirectArray();
            for (int k = 0; k < direct.GetCount(); ++k) {
                const auto found = removed.find(direct[k]);
                if (found == removed.end()) continue;
                // The entity counts the references the layers hold.
                Kind::Remove(*entity, direct[k]);
                Kind::Add(*entity, found->second);
                direct[k] = found->second;
            }
        }
    }
    for (T* object : list) {
        const auto found = removed.find(object);
        if (found == removed.end()) continue;
        if (redirect) redirect(object, found->second);
        while (!Kind::Remove(*entity, object) && entity->GetError().GetLastErrorID() != KZeqEntity::eTextureNotFound &&
               entity->GetError().GetLastErrorID() != KZeqEntity::eMaterialNotFound) {
        }
        Kind::Destroy(manager, object);
    }
}

}  // namespace

void KZeqReaderZeq::RemoveDuplicateTextures(KZeqScene& scene) {
    KZeqEntity* entity = scene.GetEntity();
    RemoveDuplicates<TextureKind>(scene, mManager, [entity](KZeqTexture* copy, KZeqTexture* survivor) {
        // A camera whose background was a copy keeps the survivor.
        for (int n = 0; copy && entity && n < entity->GetNodeCount(); ++n) {
            KZeqNode* node = entity->GetNode(n);
            KZeqCamera* camera = node ? node->GetCamera() : nullptr;
            if (camera && node->GetPropertyHandler()->IsConnectedSrc(copy->GetPropertyHandler()))
                camera->SetBackgroundTexture(survivor);
        }
    });
}

void KZeqReaderZeq::RemoveDuplicateMaterials(KZeqScene& scene) {
    RemoveDuplicates<MaterialKind>(scene, mManager, nullptr);
}

bool ZeqReadDuplicates(KZeqReaderZeq& reader, KZeqScene& scene) {
    reader.RemoveDuplicateTextures(scene);
    reader.RemoveDuplicateMaterials(scene);
    return true;
}

bool ZeqReadMaterialAndTextureEnd(KZeqReaderZeq& reader, KZeqScene& scene) {
    if (KZeqEntity* entity = scene.GetEntity())
        for (int n = 0; n < entity->GetNodeCount(); ++n)
            if (KZeqGeometry* geometry = entity->GetNode(n) ? entity->GetNode(n)->GetGeometry() : nullptr)
                ZeqBoundMaterialAndTextureIndices(*geometry);
    return ZeqReadDuplicates(reader, scene);
}

}  // namespace zeqsdk_400
