// Comparer rows for meshes and their layers, materials and textures. Layer
// elements are compared by what each entry resolves to (through the indices
// where there are any), materials and textures by name: the files keep what
// a polygon uses, not the order of the direct arrays.

#include <cstring>
#include <type_traits>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

typedef KZeqLayerElement E;

std::string Text(const KZeqVector4& v) {
    return std::to_string(v[0]) + "," + std::to_string(v[1]) + "," + std::to_string(v[2]);
}
std::string Text(const KZeqVector2& v) { return std::to_string(v[0]) + "," + std::to_string(v[1]); }
std::string Text(const KZeqColor& c) {
    return std::to_string(c.mRed) + "," + std::to_string(c.mGreen) + "," + std::to_string(c.mBlue) + "," +
           std::to_string(c.mAlpha);
}
std::string Text(int value) { return std::to_string(value); }
template <class T>
std::string Text(T* object) {
    return object ? object->GetName() : "none";
}

// Every entry of the element as text: the direct item it resolves to.
template <class T>
std::vector<std::string> Resolved(const KZeqLayerElementTemplate<T>* element) {
    std::vector<std::string> items;
    if (!element) return items;
    const KArrayTemplate<T>& direct = element->GetDirectArray();
    // A material or texture element of index to direct without indices is a
    // plain list of the layer's objects (what AddTexture makes).
    const bool list = std::is_pointer<T>::value && element->GetReferenceMode() == E::eINDEX_TO_DIRECT &&
                      element->GetIndexArray().GetCount() == 0;
    if (element->GetReferenceMode() == E::eDIRECT || list) {
        for (int i = 0; i < direct.GetCount(); ++i) items.push_back(Text(direct[i]));
    } else if (element->GetReferenceMode() == E::eINDEX) {
        for (int i = 0; i < element->GetIndexArray().GetCount(); ++i)
            items.push_back(Text(element->GetIndexArray()[i]));
    } else {
        for (int i = 0; i < element->GetIndexArray().GetCount(); ++i) {
            const int k = element->GetIndexArray()[i];
            items.push_back(k >= 0 && k < direct.GetCount() ? Text(direct[k]) : "none");
        }
    }
    return items;
}

template <class T>
void CompareElement(const std::string& path, const KZeqLayerElementTemplate<T>* a, const KZeqLayerElementTemplate<T>* b,
                    ZeqDiff& diff) {
    const std::vector<std::string> x = Resolved(a), y = Resolved(b);
    // An element without entries is as good as none.
    if (x.empty() && y.empty()) return;
    diff.Check(path + " present", a != nullptr, b != nullptr);
    if (!a || !b) return;
    diff.Check(path + ".mapping", static_cast<int>(a->GetMappingMode()), static_cast<int>(b->GetMappingMode()));
    diff.Check(path + ".count", static_cast<int>(x.size()), static_cast<int>(y.size()));
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
        if (x[i] != y[i]) diff.mFields.push_back(path + "[" + std::to_string(i) + "]: " + x[i] + " != " + y[i]);
}

void CompareMesh(const std::string& path, KZeqMesh& a, KZeqMesh& b, ZeqDiff& diff) {
    diff.Check(path + ".points", a.GetControlPointsCount(), b.GetControlPointsCount());
    for (int i = 0; i < a.GetControlPointsCount() && i < b.GetControlPointsCount(); ++i)
        for (int c = 0; c < 3; ++c)
            diff.Check(path + ".point" + std::to_string(i), a.GetControlPoints()[i][c], b.GetControlPoints()[i][c]);
    diff.Check(path + ".polygons", a.GetPolygonCount(), b.GetPolygonCount());
    for (int p = 0; p < a.GetPolygonCount() && p < b.GetPolygonCount(); ++p) {
        const std::string polygon = path + ".polygon" + std::to_string(p);
        diff.Check(polygon + ".size", a.GetPolygonSize(p), b.GetPolygonSize(p));
        for (int v = 0; v < a.GetPolygonSize(p); ++v)
            diff.Check(polygon + ".vertex", a.GetPolygonVertex(p, v), b.GetPolygonVertex(p, v));
        if (a.GetLayer(0) && a.GetLayer(0)->GetPolygonGroups())
            diff.Check(polygon + ".group", a.GetPolygonGroup(p), b.GetPolygonGroup(p));
    }
    const std::string grid = path + ".grid";
    if (!(diff.mLosses & eZeqLosesMeshGrid)) {
        diff.Check(grid + ".count", a.GetUCount() * 1000 + a.GetVCount(), b.GetUCount() * 1000 + b.GetVCount());
        diff.Check(grid + ".step", a.GetUStep() * 1000 + a.GetVStep(), b.GetUStep() * 1000 + b.GetVStep());
        diff.Check(grid + ".closed", a.GetUClosed() && a.GetVCapped(), b.GetUClosed() && b.GetVCapped());
    }
    const bool upper = (diff.mLosses & eZeqLosesUpperLayers) != 0;
    for (int l = 0; l < a.GetLayerCount(); ++l) {
        KZeqLayer* x = a.GetLayer(l);
        KZeqLayer* y = b.GetLayer(l);
        const std::string layer = path + ".layer" + std::to_string(l);
        static KZeqLayer none;
        if (!y) y = &none;
        CompareElement(layer + ".textures", x->GetTextures(), y->GetTextures(), diff);
        CompareElement(layer + ".uvs", x->GetUVs(), y->GetUVs(), diff);
        if (l > 0 && upper) continue;
        CompareElement(layer + ".normals", x->GetNormals(), y->GetNormals(), diff);
        CompareElement(layer + ".materials", x->GetMaterials(), y->GetMaterials(), diff);
        CompareElement(layer + ".colors", x->GetVertexColors(), y->GetVertexColors(), diff);
        CompareElement(layer + ".groups", x->GetPolygonGroups(), y->GetPolygonGroups(), diff);
        if (x->GetTextures() && y->GetTextures() && !upper) {
            diff.Check(layer + ".textures.blend", static_cast<int>(x->GetTextures()->GetBlendMode()),
                       static_cast<int>(y->GetTextures()->GetBlendMode()));
            diff.Check(layer + ".textures.alpha", x->GetTextures()->GetAlpha(), y->GetTextures()->GetAlpha());
        }
    }
}

// Whether a mesh's first layer uses the material.
bool OnFirstLayer(KZeqMaterial& material, KZeqEntity& entity) {
    for (int i = 0; i < entity.GetNodeCount(); ++i) {
        KZeqMesh* mesh = entity.GetNode(i)->GetMesh();
        KZeqLayerElementMaterial* element = mesh && mesh->GetLayer(0) ? mesh->GetLayer(0)->GetMaterials() : nullptr;
        for (int k = 0; element && k < element->GetDirectArray().GetCount(); ++k)
            if (element->GetDirectArray()[k] == &material) return true;
    }
    return false;
}

}  // namespace

void CompareMeshes(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    KZeqEntity* a = expected.GetEntity();
    KZeqEntity* b = actual.GetEntity();
    for (int i = 0; a && b && i < a->GetNodeCount(); ++i) {
        KZeqNode* node = a->GetNode(i);
        if (!node || !node->GetMesh()) continue;
        KZeqNode* other = nullptr;
        for (int j = 0; j < b->GetNodeCount() && !other; ++j)
            if (std::strcmp(b->GetNode(j)->GetName(), node->GetName()) == 0) other = b->GetNode(j);
        const std::string path = std::string(node->GetName()) + ".mesh";
        diff.Check(path + " present", true, other && other->GetMesh());
        if (other && other->GetMesh()) CompareMesh(path, *node->GetMesh(), *other->GetMesh(), diff);
    }
}

void CompareMaterials(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    KZeqEntity& a = *expected.GetEntity();
    KZeqEntity& b = *actual.GetEntity();
    if (!(diff.mLosses & eZeqLosesUpperLayers)) diff.Check("materials", a.GetMaterialCount(), b.GetMaterialCount());
    for (int i = 0; i < a.GetMaterialCount(); ++i) {
        KZeqMaterial& x = *a.GetMaterial(i);
        KZeqMaterial* y = b.GetMaterial(KString(x.GetName()));
        const std::string path = std::string("material[") + x.GetName() + "]";
        if (!y && (diff.mLosses & eZeqLosesUpperLayers) && !OnFirstLayer(*a.GetMaterial(i), a)) continue;
        diff.Check(path + " present", true, y != nullptr);
        if (!y) continue;
        diff.Check(path + ".shading", KString(x.GetShadingModel()), KString(y->GetShadingModel()));
        if (!(diff.mLosses & eZeqLosesPropertyBlock))
            diff.Check(path + ".multiLayer", x.GetMultiLayer(), y->GetMultiLayer());
        const KZeqColor colors[][2] = {{x.GetAmbient(), y->GetAmbient()},
                                       {x.GetDiffuse(), y->GetDiffuse()},
                                       {x.GetSpecular(), y->GetSpecular()},
                                       {x.GetEmissive(), y->GetEmissive()}};
        for (const auto& pair : colors) diff.Check(path + ".color", Text(pair[0]), Text(pair[1]));
        diff.Check(path + ".opacity", x.GetOpacity(), y->GetOpacity());
        diff.Check(path + ".shininess", x.GetShininess(), y->GetShininess());
        diff.Check(path + ".reflectivity", x.GetReflectivity(), y->GetReflectivity());
        CompareTakes(path, x, *y, diff, "", 1);
    }
}

void CompareTextures(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    KZeqEntity& a = *expected.GetEntity();
    KZeqEntity& b = *actual.GetEntity();
    diff.Check("textures", a.GetTextureCount(), b.GetTextureCount());
    for (int i = 0; i < a.GetTextureCount(); ++i) {
        KZeqTexture& x = *a.GetTexture(i);
        KZeqTexture* y = b.GetTexture(KString(x.GetName()));
        const std::string path = std::string("texture[") + x.GetName() + "]";
        diff.Check(path + " present", true, y != nullptr);
        if (!y) continue;
        if (!(diff.mLosses & eZeqLosesPropertyBlock)) {
            diff.Check(path + ".file", KString(x.GetFileName()), KString(y->GetFileName()));
            diff.Check(path + ".relative", KString(x.GetRelativeFileName()), KString(y->GetRelativeFileName()));
        }
        diff.Check(path + ".media", x.GetMediaName(), y->GetMediaName());
        diff.Check(path + ".uvTranslation", Text(x.GetUVTranslation()), Text(y->GetUVTranslation()));
        diff.Check(path + ".uvScaling", Text(x.GetUVScaling()), Text(y->GetUVScaling()));
        diff.Check(path + ".alphaSource", static_cast<int>(x.GetAlphaSource()), static_cast<int>(y->GetAlphaSource()));
        const int cropX[] = {x.GetCroppingLeft(), x.GetCroppingRight(), x.GetCroppingTop(), x.GetCroppingBottom()};
        const int cropY[] = {y->GetCroppingLeft(), y->GetCroppingRight(), y->GetCroppingTop(), y->GetCroppingBottom()};
        for (int c = 0; c < 4; ++c) diff.Check(path + ".cropping" + std::to_string(c), cropX[c], cropY[c]);
        KZeqVector4 t, u;
        diff.Check(path + ".translation", Text(x.GetDefaultT(t)), Text(y->GetDefaultT(u)));
        diff.Check(path + ".rotation", Text(x.GetDefaultR(t)), Text(y->GetDefaultR(u)));
        diff.Check(path + ".scaling", Text(x.GetDefaultS(t)), Text(y->GetDefaultS(u)));
        diff.Check(path + ".alpha", x.GetDefaultAlpha(), y->GetDefaultAlpha());
        diff.Check(path + ".mapping", static_cast<int>(x.GetMappingType()), static_cast<int>(y->GetMappingType()));
        diff.Check(path + ".use", static_cast<int>(x.GetTextureUse()), static_cast<int>(y->GetTextureUse()));
        diff.Check(path + ".swapUV", x.GetSwapUV(), y->GetSwapUV());
        diff.Check(path + ".wrap", x.GetWrapModeU() * 10 + x.GetWrapModeV(),
                   y->GetWrapModeU() * 10 + y->GetWrapModeV());
        diff.Check(path + ".blend", static_cast<int>(x.GetBlendMode()), static_cast<int>(y->GetBlendMode()));
        // The property block publishes the alpha, whose channel then joins the takes.
        CompareTakes(path, x, *y, diff, "Texture alpha", 1);
    }
}

}  // namespace zeqiotest
