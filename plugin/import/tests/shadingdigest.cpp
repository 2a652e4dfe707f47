#include "shadingdigest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "base/kzeqmatrix.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport_meshpolygons.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace importtest {

namespace {

// Single-precision noise and negative zeros do not count.
std::string Num(double v) {
    if (std::fabs(v) < 1e-6) v = 0.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.5g", v);
    return text;
}

std::string Color(const KZeqColor& c) { return Num(c.mRed) + " " + Num(c.mGreen) + " " + Num(c.mBlue); }

std::string Matrix(const KZeqXMatrix& m) {
    std::string out;
    for (int k = 0; k < 16; ++k) out += (k ? " " : "") + Num(m.mData[k / 4][k % 4]);
    return out;
}

std::string MaterialText(KZeqMaterial* m) {
    if (!m) return "none";
    return std::string(m->GetName()) + " diffuse " + Color(m->GetDiffuse()) + " ambient " + Color(m->GetAmbient()) +
           " specular " + Color(m->GetSpecular()) + " opacity " + Num(m->GetOpacity()) + " shininess " +
           Num(m->GetShininess());
}

std::string TextureText(KZeqTexture* t, const KZeqLayerElementTexture& element) {
    if (!t) return "none";
    return std::string(t->GetName()) + " file " + t->GetFileName() + " t " + Num(t->GetTranslationU()) + " " +
           Num(t->GetTranslationV()) + " r " + Num(t->GetRotationW()) + " s " + Num(t->GetScaleU()) + " " +
           Num(t->GetScaleV()) + " swap " + std::to_string(t->GetSwapUV()) + " alpha " + Num(t->GetDefaultAlpha()) +
           " blend " + std::to_string(t->GetBlendMode()) + "/" + std::to_string(element.GetBlendMode());
}

// The entry a polygon (or -1: the whole geometry) reads of an element.
template <class T>
int Entry(const KZeqLayerElementTemplate<T>& element, KZeqMesh* mesh, int polygon, int first) {
    if (polygon < 0) return element.GetMappingMode() == KZeqLayerElement::eNONE ? -1 : ValueIndex(element, 0);
    return ValueIndex(element, MappedEntry(element.GetMappingMode(), polygon, first, mesh->GetPolygonVertex(polygon, 0)));
}

void Geometry(KZeqNode& node, std::map<std::string, std::string>& out) {
    KZeqGeometry* geometry = node.GetGeometry();
    if (!geometry) return;
    std::string text;
    KZeqMesh* mesh = node.GetMesh();
    const int polygons = mesh ? mesh->GetPolygonCount() : 1;
    int first = 0;
    for (int p = 0; p < polygons; ++p) {
        const int polygon = mesh ? p : -1;
        std::string line = mesh ? "  polygon " + std::to_string(p) : "  surface";
        KZeqLayer* layer0 = geometry->GetLayer(0);
        const KZeqLayerElementMaterial* materials = layer0 ? layer0->GetMaterials() : nullptr;
        const int m = materials ? Entry(*materials, mesh, polygon, first) : -1;
        line += " material " + MaterialText(m >= 0 ? materials->GetDirectArray()[m] : nullptr);
        for (int L = 0; L < geometry->GetLayerCount(); ++L) {
            const KZeqLayerElementTexture* textures = geometry->GetLayer(L)->GetTextures();
            const int t = textures ? Entry(*textures, mesh, polygon, first) : -1;
            if (t >= 0) line += "\n    layer " + std::to_string(L) + " " + TextureText(textures->GetDirectArray()[t], *textures);
        }
        text += line + "\n";
        if (mesh) first += mesh->GetPolygonSize(p);
    }
    std::vector<std::string> links;
    for (int i = 0; i < geometry->GetLinkCount(); ++i) {
        KZeqLink* link = geometry->GetLink(i);
        if (!link || link->GetLinkMode() != KZeqLink::eNORMALIZE || link->GetUserDataID().CompareNoCase("Tulo_ClusterHint") == 0)
            continue;
        std::string line = std::string("  link ") + (link->GetLink() ? link->GetLink()->GetNameWithoutNameSpacePrefix().Buffer() : "?");
        KZeqXMatrix m;
        line += "\n    transform " + Matrix(link->GetTransformMatrix(m));
        line += "\n    transformLink " + Matrix(link->GetTransformLinkMatrix(m));
        line += "\n    weights";
        std::vector<std::pair<int, double>> weights;
        for (int k = 0; k < link->GetControlPointIndicesCount(); ++k)
            if (link->GetControlPointWeights()[k] > 0.001)
                weights.emplace_back(link->GetControlPointIndices()[k], link->GetControlPointWeights()[k]);
        std::sort(weights.begin(), weights.end());
        for (const auto& w : weights) line += " " + std::to_string(w.first) + ":" + Num(w.second);
        links.push_back(line + "\n");
    }
    std::sort(links.begin(), links.end());
    for (const std::string& l : links) text += l;
    out[node.GetNameWithoutNameSpacePrefix().Buffer()] += text;
}

void Walk(KZeqNode& node, std::map<std::string, std::string>& out) {
    Geometry(node, out);
    for (int i = 0; i < node.GetChildCount(); ++i)
        if (KZeqNode* child = node.GetChild(i)) Walk(*child, out);
}

}  // namespace

std::string ShadingDigest(KZeqScene& scene) {
    std::map<std::string, std::string> nodes;
    if (KZeqNode* root = scene.GetRootNode()) Walk(*root, nodes);
    std::string text;
    for (const auto& n : nodes) text += "node " + n.first + "\n" + n.second;
    return text;
}

std::string ShadingDigest(const std::string& file) {
    std::unique_ptr<KZeqSdkManager> manager(KZeqSdkManager::CreateKZeqSdkManager());
    KZeqScene* scene = manager->CreateKZeqScene();
    KZeqImporter* importer = manager->CreateKZeqImporter();
    if (!importer || !importer->Initialize(file.c_str()) || !importer->Import(*scene)) return "<unreadable>";
    return ShadingDigest(*scene);
}

}  // namespace importtest
