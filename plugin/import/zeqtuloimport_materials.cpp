// Host shading of the materials of a subtree: one Phong and one shading group per material, made
// once in the import and found again by name; the faces (or the whole object) of each geometry in
// the group of their material; the textures of each material as file textures with placements,
// several texture layers as a layered texture, and each textured layer's file linked to its UV set.
// What the export reads back is what was read here: the placement undoes the export's formulas.
#include <cmath>
#include <string>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/import/zeqtuloimport_meshpolygons.h"
#include "tfncomponent.h"
#include "tfnmesh.h"
#include "tfnshading.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kCosinePowerScale = 128.0;

// A Zeq object's name as the host's: no type prefix, no namespace.
std::string HostName(const KZeqObject& object) {
    std::string name = object.GetNameWithoutNameSpacePrefix().Buffer();
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos) name.erase(0, colon + 1);
    return name;
}

TPlug PlugOf(const TObject& node, const char* name) { return TFnDependencyNode(node).findPlug(name); }

bool Connect(const TPlug& source, const TPlug& destination) {
    TDGModifier modifier;
    return !source.isNull() && !destination.isNull() && modifier.connect(source, destination) && modifier.doIt();
}

// The texture of a layer's element that the polygon (or, for -1, the whole geometry) reads.
KZeqTexture* LayerTexture(const KZeqLayerElementTexture& textures, int polygon) {
    const KZeqLayerElement::EMappingMode mode = textures.GetMappingMode();
    int entry = 0;
    if (mode == KZeqLayerElement::eBY_POLYGON && polygon >= 0) entry = polygon;
    else if (mode == KZeqLayerElement::eNONE) return nullptr;
    const int at = ValueIndex(textures, entry);
    return at < 0 ? nullptr : textures.GetDirectArray()[at];
}

// The export's placement rules, undone: the rotation goes to "rotateFrame", the translation frame
// stays 0, so that offsets alone carry the translation. NURBS exchange U and V and correct the
// offsets of closed directions.
void SetPlacement(const TObject& placement, const KZeqTexture& texture, const KZeqNurb* nurb) {
    const double su = texture.GetScaleU(), sv = texture.GetScaleV();
    const double tu = texture.GetTranslationU(), tv = texture.GetTranslationV();
    const double degrees = nurb ? -texture.GetRotationW() : texture.GetRotationW();
    const double a = degrees * kDegreesToRadians, c = std::cos(a), s = std::sin(a);
    const double cx = 0.5 * c - 0.5 * s - 0.5, cy = 0.5 * s + 0.5 * c - 0.5;
    double offsetU = tu + cx, offsetV = tv + cy, repeatU = su, repeatV = sv;
    if (nurb) {
        offsetU = -tu - cy;
        offsetV = -tv - cx;
        repeatU = sv;
        repeatV = su;
        if (nurb->GetNurbUType() == KZeqNurb::eCLOSED && nurb->GetUCount() > 0) offsetV += 2.0 / nurb->GetUCount();
        if (nurb->GetNurbVType() == KZeqNurb::eCLOSED && nurb->GetVCount() > 0) offsetU += 2.0 / nurb->GetVCount();
    }
    PlugOf(placement, "offsetU").setValue(offsetU);
    PlugOf(placement, "offsetV").setValue(offsetV);
    PlugOf(placement, "rotateFrame").setValue(a);
    PlugOf(placement, "repeatU").setValue(repeatU);
    PlugOf(placement, "repeatV").setValue(repeatV);
}

// Layered-texture blend modes of the host for the Zeq ones it has: add and multiply.
int HostBlendMode(KZeqLayerElementTexture::EBlendMode mode) {
    switch (mode) {
        case KZeqLayerElementTexture::eADD: return 4;
        case KZeqLayerElementTexture::eMODULATE: return 6;
        default: return -1;  // the host's default blend stays
    }
}

// The textures one material reads on one geometry: layer by layer, with the element that holds each.
struct LayerTextures {
    std::vector<KZeqTexture*> mTexture;
    std::vector<const KZeqLayerElementTexture*> mElement;
    bool Any() const {
        for (KZeqTexture* t : mTexture)
            if (t) return true;
        return false;
    }
};

LayerTextures TexturesOf(KZeqGeometry& geometry, int polygon) {
    LayerTextures found;
    for (int L = 0; L < geometry.GetLayerCount(); ++L) {
        KZeqLayer* layer = geometry.GetLayer(L);
        const KZeqLayerElementTexture* element = layer ? layer->GetTextures() : nullptr;
        found.mTexture.push_back(element ? LayerTexture(*element, polygon) : nullptr);
        found.mElement.push_back(element);
    }
    while (!found.mTexture.empty() && !found.mTexture.back()) found.mTexture.pop_back(), found.mElement.pop_back();
    return found;
}

}  // namespace

namespace {

// The work of one import's material step on one node; the driver keeps what outlives the node.
class MaterialBuilder {
public:
    MaterialBuilder(ZeqTuloImport& driver, std::unordered_map<std::string, int>& index,
                    KArrayTemplate<ZeqTuloImportedMaterial*>& materials, std::unordered_map<std::string, TObject>& textures)
        : mDriver(driver), mIndex(index), mMaterials(materials), mTextures(textures) {}

    void Build(ZeqTuloNode& node);

private:
    ZeqTuloImportedMaterial* Material(KZeqMaterial& material);
    TObject FileTexture(KZeqTexture& texture, const KZeqNurb* nurb);
    void ConnectTextures(ZeqTuloImportedMaterial& material, const LayerTextures& layers, const KZeqNurb* nurb);
    void Log(const std::string& line) { mDriver.LogLine(line.c_str()); }

    ZeqTuloImport& mDriver;
    std::unordered_map<std::string, int>& mIndex;
    KArrayTemplate<ZeqTuloImportedMaterial*>& mMaterials;
    std::unordered_map<std::string, TObject>& mTextures;
    bool mRootNamespace = false;
};

ZeqTuloImportedMaterial* MaterialBuilder::Material(KZeqMaterial& material) {
    const std::string name = HostName(material);
    auto found = mIndex.find(name);
    ZeqTuloImportedMaterial* entry = found == mIndex.end() ? nullptr : mMaterials[found->second];
    // Made during this import and still there (a later "file -f -new" ends them).
    if (entry && entry->mShader.hasFn(TFn::kPhong) && entry->mShadingGroup.hasFn(TFn::kSet)) return entry;

    if (!mRootNamespace) {
        // Shaders have no namespace of their own: they go to the root one.
        TGlobal::executeCommand("namespace -set \":\"", false, false);
        mRootNamespace = true;
    }
    TStatus status;
    TFnPhongShader phong;
    TObject shader = phong.create(true, &status);
    if (!status) {
        Log("Material " + name + ": the host could not make its shader; left out.");
        return nullptr;
    }
    phong.setName(TString(name.c_str()));
    const KZeqColor diffuse = material.GetDiffuse(), ambient = material.GetAmbient(), specular = material.GetSpecular();
    const float transparency = static_cast<float>(1.0 - material.GetOpacity());
    phong.setColor(TColor(static_cast<float>(diffuse.mRed), static_cast<float>(diffuse.mGreen), static_cast<float>(diffuse.mBlue)));
    phong.setAmbientColor(TColor(static_cast<float>(ambient.mRed), static_cast<float>(ambient.mGreen), static_cast<float>(ambient.mBlue)));
    phong.setSpecularColor(TColor(static_cast<float>(specular.mRed), static_cast<float>(specular.mGreen), static_cast<float>(specular.mBlue)));
    phong.setTransparency(TColor(transparency, transparency, transparency));
    const double power = kCosinePowerScale * material.GetShininess();
    if (!phong.setCosPower(static_cast<float>(power)))
        Log("Material " + name + ": the host refuses the cosine power " + std::to_string(power) + "; its default stays.");

    TFnSet set;
    TObject group = set.create(TSelectionList(), TFnSet::kRenderableOnly, &status);
    if (!status || !Connect(phong.findPlug("outColor"), set.findPlug("surfaceShader"))) {
        Log("Material " + name + ": the host could not make its shading group; left out.");
        TGlobal::deleteNode(shader);
        if (!group.isNull()) TGlobal::deleteNode(group);
        return nullptr;
    }
    set.setName(TString((name + "SG").c_str()));

    if (!entry) {
        entry = new ZeqTuloImportedMaterial;
        mIndex[name] = mMaterials.Add(entry);
    }
    entry->mName = name.c_str();
    entry->mShader = shader;
    entry->mShadingGroup = group;
    entry->mTextured = false;
    return entry;
}

TObject MaterialBuilder::FileTexture(KZeqTexture& texture, const KZeqNurb* nurb) {
    const std::string name = HostName(texture);
    auto found = mTextures.find(name);
    if (found != mTextures.end() && found->second.hasFn(TFn::kFileTexture)) return found->second;
    const char* file = texture.GetFileName();
    if (!file || !*file) file = texture.GetRelativeFileName();
    TStatus status;
    TFnDependencyNode fn;
    TObject node = fn.create("file", TString(name.c_str()), &status);
    if (!status) {
        Log("Texture " + name + ": the host could not make its file texture; left out.");
        return TObject();
    }
    fn.findPlug("fileTextureName").setValue(TString(file ? file : ""));
    TFnDependencyNode placementFn;
    TObject placement = placementFn.create("place2dTexture", TString((name + "_place").c_str()), &status);
    if (status && Connect(placementFn.findPlug("outUV"), fn.findPlug("uv")))
        SetPlacement(placement, texture, nurb);
    else
        Log("Texture " + name + ": the host could not make its placement; the texture is not placed.");
    mTextures[name] = node;
    return node;
}

// One textured layer feeds "color" directly; several (or one above layer 0) go through a layered
// texture whose input i is layer n - 1 - i, as the export reads them.
void MaterialBuilder::ConnectTextures(ZeqTuloImportedMaterial& material, const LayerTextures& layers, const KZeqNurb* nurb) {
    const int n = static_cast<int>(layers.mTexture.size());
    TPlug color = PlugOf(material.mShader, "color");
    if (n == 1) {
        TObject file = FileTexture(*layers.mTexture[0], nurb);
        material.mTextured = !file.isNull() && Connect(PlugOf(file, "outColor"), color);
        return;
    }
    TStatus status;
    TFnDependencyNode layered;
    layered.create("layeredTexture", TString((std::string(material.mName.Buffer()) + "_layers").c_str()), &status);
    if (!status) {
        Log("Material " + std::string(material.mName.Buffer()) + ": the host could not make its layered texture.");
        return;
    }
    TPlug inputs = layered.findPlug("inputs");
    for (int L = 0; L < n; ++L) {
        TPlug input = inputs.elementByLogicalIndex(static_cast<unsigned>(n - 1 - L));
        KZeqTexture* texture = layers.mTexture[static_cast<std::size_t>(L)];
        // Every input exists, a layer without a texture too, so that the inputs are numbered densely.
        input.child(1).setValue(texture ? texture->GetDefaultAlpha() : 1.0);
        if (!texture) continue;
        const int blend = HostBlendMode(layers.mElement[static_cast<std::size_t>(L)]->GetBlendMode());
        if (blend >= 0) input.child(2).setValue(static_cast<short>(blend));
        TObject file = FileTexture(*texture, nurb);
        if (!file.isNull()) Connect(PlugOf(file, "outColor"), input.child(0));
    }
    material.mTextured = Connect(layered.findPlug("outColor"), color);
}

void MaterialBuilder::Build(ZeqTuloNode& node) {
    // Bound host nodes keep their shading; only what this import made gets it.
    if (node.mIsPresent || !node.GetDagPath() || !node.GetDagPath()->isValid()) return;
    KZeqGeometry* geometry = node.GetGeometry();
    KZeqLayer* layer0 = geometry ? geometry->GetLayer(0) : nullptr;
    KZeqLayerElementMaterial* materials = layer0 ? layer0->GetMaterials() : nullptr;
    if (!materials || materials->GetDirectArray().GetCount() == 0) return;
    KZeqMesh* mesh = node.GetMesh();
    KZeqNurb* nurb = mesh ? nullptr : node.GetNurb();
    if (!mesh && !nurb) return;
    const std::string nodeName = node.GetNameWithoutNameSpacePrefix().Buffer();
    TDagPath shape;
    if (!ShapePath(node, mesh ? TFn::kMesh : TFn::kNurbsSurface, shape)) {
        Log("Node " + nodeName + ": no host shape to take its materials.");
        return;
    }

    // The material of each host face (a surface: one for all), by its position in the direct array.
    const KZeqLayerElement::EMappingMode mode = materials->GetMappingMode();
    std::vector<int> materialOf;       // per host face
    std::vector<int> zeqPolygonOf;     // per host face
    if (mesh) {
        const KeptPolygons kept = KeepPolygons(*mesh, mesh->GetControlPointsCount());
        TFnMesh host(shape);
        if (host.numPolygons() != static_cast<int>(kept.mPolygon.size())) {
            Log("Mesh " + nodeName + ": its host polygons are not the file's; materials left out.");
            return;
        }
        materialOf.resize(kept.mPolygon.size());
        zeqPolygonOf = kept.mPolygon;
        for (std::size_t h = 0; h < kept.mPolygon.size(); ++h) {
            const int p = kept.mPolygon[h];
            materialOf[h] = ValueIndex(*materials, MappedEntry(mode, p, kept.mFirst[h], mesh->GetPolygonVertex(p, 0)));
        }
    } else {
        materialOf.push_back(ValueIndex(*materials, mode == KZeqLayerElement::eNONE ? -1 : 0));
        zeqPolygonOf.push_back(-1);
    }

    const int count = materials->GetDirectArray().GetCount();
    std::vector<std::vector<int>> facesOf(static_cast<std::size_t>(count));
    for (std::size_t h = 0; h < materialOf.size(); ++h)
        if (materialOf[h] >= 0) facesOf[static_cast<std::size_t>(materialOf[h])].push_back(static_cast<int>(h));

    TStringArray setNames;
    if (mesh) TFnMesh(shape).getUVSetNames(setNames);
    for (int m = 0; m < count; ++m) {
        KZeqMaterial* material = materials->GetDirectArray()[m];
        const std::vector<int>& faces = facesOf[static_cast<std::size_t>(m)];
        if (!material) continue;
        ZeqTuloImportedMaterial* entry = Material(*material);
        if (!entry || faces.empty()) continue;

        TFnSet set(entry->mShadingGroup);
        TStatus status;
        if (!mesh || faces.size() == materialOf.size()) {
            status = set.addMember(shape);
        } else {
            TFnSingleIndexedComponent component;
            TObject list = component.create(TFn::kMeshPolygonComponent);
            TIntArray elements;
            elements.values().assign(faces.begin(), faces.end());
            component.addElements(elements);
            status = set.addMember(shape, list);
        }
        if (!status) Log("Node " + nodeName + ": the host refused its faces of material " + entry->mName.Buffer() + ".");

        const LayerTextures layers = TexturesOf(*geometry, zeqPolygonOf[static_cast<std::size_t>(faces.front())]);
        if (!layers.Any()) continue;
        if (!entry->mTextured) ConnectTextures(*entry, layers, nurb);
        // Each textured layer's file reads the UV set of its layer.
        for (std::size_t L = 0; mesh && L < layers.mTexture.size(); ++L) {
            if (!layers.mTexture[L]) continue;
            const std::string uvSet = "uvSet" + std::to_string(L + 1);
            bool present = false;
            for (unsigned s = 0; s < setNames.length() && !present; ++s) present = uvSet == setNames[s].asChar();
            auto file = mTextures.find(HostName(*layers.mTexture[L]));
            if (present && file != mTextures.end()) TFnMesh(shape).associateUVSetTexture(TString(uvSet.c_str()), file->second);
        }
    }
}

}  // namespace

void ZeqTuloImport::BuildMaterialInformation(ZeqTuloNode* node) {
    if (!node) return;
    MaterialBuilder builder(*this, mImportedMaterialIndex, mImportedMaterials, mImportedTextures);
    VisitDepthFirst(node, [&builder](ZeqTuloNode& current) { builder.Build(current); });
}
