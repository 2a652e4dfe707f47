// The textures feeding a shader's colour as Zeq textures on the geometry's layers: a file texture on
// layer 0, each input of a layered texture on a layer of its own (the last input on layer 0), each
// recorded in the shading group's layer mapping.
#include <cmath>

#include "content/kzeqgeometry.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulohelpers.h"
#include "tfndependencynode.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {

const int kNoTexture = -1;  // the "no texture" marker of a layer mapping

// The sources of a plug's incoming connection (a destination has at most one).
TPlugArray SourcesOf(const TPlug& plug) {
    TPlugArray sources;
    if (!plug.isNull()) plug.connectedTo(sources, true, false);
    return sources;
}

// Layer index's texture element, made (index to direct, translucent, alpha 1) with the mapping
// mode the mapping's first entry gives when the layer has none yet. Layers are made as needed.
KZeqLayerElementTexture* PrepareTextures(KZeqGeometry& geometry, int layerIndex, const KLayerMapping& mapping,
                                         bool* created = nullptr) {
    if (layerIndex < 0) return nullptr;
    while (geometry.GetLayerCount() <= layerIndex)
        if (geometry.CreateLayer() < 0) return nullptr;
    KZeqLayer* layer = geometry.GetLayer(layerIndex);
    if (!layer) return nullptr;
    if (created) *created = false;
    if (!layer->GetTextures()) {
        auto* element = new KZeqLayerElementTexture;
        element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
        element->SetBlendMode(KZeqLayerElementTexture::eTRANSLUCENT);
        element->SetAlpha(1.0);
        element->SetMappingMode(mapping.TextureMappingModeOf(0));
        layer->SetTextures(element);
        if (created) *created = true;
    }
    return layer->GetTextures();
}

// A placement value; unreadable ones take the neutral value given.
double PlacementValue(TFnDependencyNode& placement, const char* name, double neutral) {
    TStatus status;
    TPlug plug = placement.findPlug(name, &status);
    DebugCheckStatus(status, nullptr);
    if (!status || plug.isNull()) return neutral;
    double value = neutral;
    status = plug.getValue(value);
    DebugCheckStatus(status, nullptr);
    return status ? value : neutral;
}

void ApplyPlacement(KZeqTexture& texture, const TObject& placementNode, KZeqNurb* nurb) {
    TStatus status;
    TFnDependencyNode placement(placementNode, &status);
    if (!status) return;
    double offsetU = PlacementValue(placement, "offsetU", 0.0);
    double offsetV = PlacementValue(placement, "offsetV", 0.0);
    const double frameU = PlacementValue(placement, "translateFrameU", 0.0);
    const double frameV = PlacementValue(placement, "translateFrameV", 0.0);
    const double rotateFrame = PlacementValue(placement, "rotateFrame", 0.0) * 57.29577951308232;
    const double rotateUV = PlacementValue(placement, "rotateUV", 0.0) * 57.29577951308232;
    const double repeatU = PlacementValue(placement, "repeatU", 1.0);
    const double repeatV = PlacementValue(placement, "repeatV", 1.0);
    // The rotation turns about the texture's centre (0.5, 0.5): (cx, cy) is what it moves the origin by.
    const double degrees = rotateFrame + rotateUV;
    const double a = degrees * 0.017453292519943295;
    const double c = std::cos(a), s = std::sin(a);
    const double cx = 0.5 * c - 0.5 * s - 0.5;
    const double cy = 0.5 * s + 0.5 * c - 0.5;
    if (!nurb) {
        texture.SetScale(repeatU, repeatV);
        texture.SetTranslation(offsetU - frameU - cx, offsetV - frameV - cy);
        texture.SetRotation(0.0, 0.0, degrees);
        return;
    }
    // A surface's U and V are the host's V and U.
    if (nurb->GetNurbUType() == KZeqNurb::eCLOSED && nurb->GetUCount() != 0) offsetV -= 2.0 / nurb->GetUCount();
    if (nurb->GetNurbVType() == KZeqNurb::eCLOSED && nurb->GetVCount() != 0) offsetU -= 2.0 / nurb->GetVCount();
    texture.SetScale(repeatV, repeatU);
    texture.SetTranslation(frameU - cy - offsetU, frameV - cx - offsetV);
    texture.SetRotation(0.0, 0.0, -degrees);
    texture.SetSwapUV(true);
}

}  // namespace

bool ZeqTuloExport::DefineTextures(TObject& shader, ZeqTuloNode* node, KLayerMapping& mapping) {
    mapping.mShader = shader;
    TStatus status;
    TFnDependencyNode fn(shader, &status);
    TPlug color = status ? fn.findPlug("color", &status) : TPlug();
    const TPlugArray sources = status ? SourcesOf(color) : TPlugArray();
    if (sources.length() == 0) {
        mapping.AddData(0, kNoTexture, TObject::kNullObj);
        return false;
    }
    bool result = false;
    for (unsigned i = 0; i < sources.length(); ++i) {
        TObject source = sources[i].node();
        if (source.hasFn(TFn::kLayeredTexture)) {
            result = SetLayeredTexture(node, source, mapping);
        } else if (source.hasFn(TFn::kFileTexture)) {
            KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
            if (geometry) PrepareTextures(*geometry, 0, mapping);
            result = SetTexture(node, source, mapping, static_cast<int>(i), 0, 1.0f, 0);
            if (node) node->SetShadingMode(KZeqNode::eTEXTURE_SHADING);
        } else {
            mapping.AddData(0, kNoTexture, TObject::kNullObj);
        }
    }
    return result;
}

bool ZeqTuloExport::SetLayeredTexture(ZeqTuloNode* node, TObject& layeredTexture, KLayerMapping& mapping) {
    TStatus status;
    TFnDependencyNode fn(layeredTexture, &status);
    if (!status) return false;
    TPlug inputs = fn.findPlug("inputs", &status);
    if (!status || inputs.isNull()) return false;
    KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
    const unsigned count = inputs.numElements();
    bool result = false;
    for (unsigned i = 0; i < count; ++i) {
        // Elements by physical position: the logical indices of a sparse array need not be 0..n-1.
        TPlug element = inputs.elementByPhysicalIndex(i);
        const int layerIndex = static_cast<int>(count - 1 - i);
        double alpha = 1.0;
        int blend = KZeqLayerElementTexture::eTRANSLUCENT;
        // Last child first: alpha and blend mode are known before the colour is followed.
        for (int k = static_cast<int>(element.numChildren()) - 1; k >= 0; --k) {
            TPlug child = element.child(static_cast<unsigned>(k));
            if (k == 2) {
                short mode = 0;
                if (child.getValue(mode)) blend = mode == 4 ? KZeqLayerElementTexture::eADD
                                                  : mode == 6 ? KZeqLayerElementTexture::eMODULATE
                                                              : KZeqLayerElementTexture::eTRANSLUCENT;
            } else if (k == 1) {
                child.getValue(alpha);
            } else if (k == 0) {
                const TPlugArray sources = SourcesOf(child);
                for (unsigned j = 0; j < sources.length(); ++j) {
                    TObject source = sources[j].node();
                    if (source.hasFn(TFn::kLayeredTexture)) {
                        result = SetLayeredTexture(node, source, mapping) || result;
                        continue;
                    }
                    KZeqLayerElementTexture* textures =
                        geometry ? PrepareTextures(*geometry, layerIndex, mapping) : nullptr;
                    if (textures) {
                        textures->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
                        textures->SetBlendMode(static_cast<KZeqLayerElementTexture::EBlendMode>(blend));
                    }
                    result = SetTexture(node, source, mapping, static_cast<int>(j), layerIndex,
                                        static_cast<float>(alpha), 0) ||
                             result;
                }
            }
        }
    }
    return result;
}

bool ZeqTuloExport::SetTexture(ZeqTuloNode* node, TObject& fileTexture, KLayerMapping& mapping, int connectionIndex,
                               int layerIndex, float alpha, int alphaSource) {
    TStatus status;
    TFnDependencyNode fn(fileTexture, &status);
    TString file;
    if (status) {
        TPlug plug = fn.findPlug("fileTextureName", &status);
        if (status && !plug.isNull()) status = plug.getValue(file);
        else if (status) status = TStatus::kFailure;
    }
    if (!status) {
        status.perror("Cannot find the texture file name.");
        return false;
    }
    KZeqGeometry* geometry = node ? node->GetGeometry() : nullptr;
    if (!geometry || layerIndex < 0) return false;
    const TString name = fn.name();
    // One texture object per host texture within the geometry: found in this layer, else met in
    // layer 0 and added here too, else made.
    int index = geometry->GetTextureIndex(name.asChar(), static_cast<unsigned>(layerIndex));
    KZeqTexture* texture = index >= 0 ? geometry->GetTexture(index, static_cast<unsigned>(layerIndex)) : nullptr;
    if (!texture && layerIndex != 0) {
        const int inFirst = geometry->GetTextureIndex(name.asChar(), 0);
        if (inFirst >= 0) texture = geometry->GetTexture(inFirst, 0);
    }
    if (!texture) texture = mSdkManager.CreateKZeqTexture(name.asChar());
    if (!texture) return false;

    texture->SetAlphaSource(static_cast<KZeqTexture::EAlphaSource>(alphaSource));
    texture->SetDefaultAlpha(static_cast<double>(alpha));
    texture->SetFileName(file.asChar());
    texture->SetMaterialUse(KZeqTexture::eMODEL_MATERIAL);
    KZeqLayer* layer = geometry->GetLayer(layerIndex);
    KZeqLayerElementTexture* element = layer ? layer->GetTextures() : nullptr;
    const int blend = element ? element->GetBlendMode() : 0;
    if (blend >= 0 && blend <= 3) texture->SetBlendMode(static_cast<KZeqTexture::EBlendMode>(blend));
    if (index < 0) index = geometry->AddTexture(texture, static_cast<unsigned>(layerIndex));
    mapping.AddData(layerIndex, index, fileTexture);

    TPlug uv = fn.findPlug("uv", &status);
    const TPlugArray placements = status ? SourcesOf(uv) : TPlugArray();
    if (connectionIndex >= 0 && static_cast<unsigned>(connectionIndex) < placements.length())
        ApplyPlacement(*texture, placements[static_cast<unsigned>(connectionIndex)].node(), node->GetNurb());
    return true;
}
