// The host's shading as Zeq materials: the shading group of a path, its surface shader, one
// material per shader for the whole scene, and the material of NURBS and patch geometry (meshes
// get theirs from the mesh writer).
#include <algorithm>
#include <cstring>

#include "content/kzeqgeometry.h"
#include "content/kzeqmaterial.h"
#include "plugin/export/zeqtuloexport.h"
#include "tfndagnode.h"
#include "tfnshading.h"
#include "tglobal.h"
#include "tplug.h"

using namespace zeqsdk_400;

TObject ZeqTuloExport::FindShadingGroup(TDagPath* path) {
    if (!path) return TObject::kNullObj;
    TSelectionList list;
    list.add(*path, TObject::kNullObj, false);
    TObjectArray sets;
    TGlobal::getAssociatedSets(list, sets);
    for (unsigned i = 0; i < sets.length(); ++i) {
        TStatus status;
        TFnSet set(sets[i], &status);
        if (status && set.restriction(&status) == TFnSet::kRenderableOnly && status) return sets[i];
    }
    return TObject::kNullObj;
}

TObject ZeqTuloExport::FindShader(TObject& shadingGroup) { return FindPlug(shadingGroup, "surfaceShader"); }

TObject ZeqTuloExport::FindPlug(TObject& node, const char* plugName) {
    TStatus status;
    TFnDependencyNode fn(node, &status);
    if (!status) return TObject::kNullObj;
    TPlug plug = fn.findPlug(plugName ? plugName : "", &status);
    if (!status || plug.isNull()) return TObject::kNullObj;
    TPlugArray sources;
    plug.connectedTo(sources, true, false, &status);
    if (sources.length() != 1) return TObject::kNullObj;
    return sources[0].node();
}

int ZeqTuloExport::DefineMaterial(const char* shaderName, TObject& shader, KZeqGeometry* geometry) {
    if (!geometry) return -1;
    const KString fullName = KZeqSdkManager::PrefixName("Material::", shaderName ? shaderName : "");
    const int present = geometry->GetMaterialIndex(fullName.Buffer(), 0);
    if (present >= 0) return present;
    if (KZeqMaterial* shared = mSdkManager.FindKZeqMaterial(fullName.Buffer())) {
        const int index = geometry->AddMaterial(shared, 0);
        if (index != -1) return index;
    }
    // Made once per scene, from the shader.
    KZeqMaterial* material = mSdkManager.CreateKZeqMaterial(shaderName ? shaderName : "");
    if (!material) return -1;
    bool fitted = false;
    TStatus status;
    TFnPhongShader phong(shader, &status);
    if (status) {
        fitted = true;
        const double power = std::min(128.0, std::max(0.0, static_cast<double>(phong.cosPower())));
        material->SetShininess(power / 128.0);
    }
    TFnReflectShader reflect(shader, &status);
    if (status) {
        fitted = true;
        const TColor specular = reflect.specularColor();
        material->SetSpecular(KZeqColor(specular[0], specular[1], specular[2], 1.0));
    }
    TFnLambertShader lambert(shader, &status);
    if (status) {
        fitted = true;
        const TColor color = lambert.color();
        const TColor transparency = lambert.transparency();
        const TColor ambient = lambert.ambientColor();
        material->SetDiffuse(KZeqColor(color[0], color[1], color[2], 1.0));
        material->SetOpacity(1.0 - (static_cast<double>(transparency[0]) + transparency[1] + transparency[2]) / 3.0);
        material->SetAmbient(KZeqColor(ambient[0], ambient[1], ambient[2], 1.0));
    }
    if (!fitted) {
        material->SetAmbient(KZeqColor(0.5, 0.5, 0.5, 1.0));
        material->SetDiffuse(KZeqColor(0.5, 0.5, 0.5, 1.0));
    }
    return geometry->AddMaterial(material, 0);
}

void ZeqTuloExport::SetNodeGeometryMaterial(ZeqTuloNode* node) {
    if (!node || !node->GetDagPath()) return;
    KZeqGeometry* geometry = node->GetGeometry();
    if (!geometry || geometry->GetAttributeType() == KZeqNodeAttribute::eMESH) return;
    const TDagPath& path = *node->GetDagPath();
    TObject shadingGroup;
    const unsigned children = path.childCount();
    for (unsigned i = 0; i < children && shadingGroup.isNull(); ++i) {
        TDagPath child = TDagPath::getAPathTo(path.child(i));
        TObject found = FindShadingGroup(&child);
        if (found.hasFn(TFn::kSet)) shadingGroup = found;
    }
    if (shadingGroup.isNull()) return;
    TObject shader = FindShader(shadingGroup);
    if (shader.isNull()) return;
    TStatus status;
    TFnDependencyNode shaderFn(shader, &status);
    const TString name = status ? shaderFn.name() : TString();
    const int index = DefineMaterial(name.asChar(), shader, geometry);
    // Without a material at the index the geometry is left as it is.
    KZeqMaterial* material = index >= 0 ? geometry->GetMaterial(index, 0) : nullptr;
    if (!material) return;
    KLayerMapping mapping(0, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eALL_SAME);
    const bool textured = DefineTextures(shader, node, mapping);
    mapping.mMaterialIndex = index;
    if (textured) {
        material->SetAmbient(KZeqColor(0.5, 0.5, 0.5, 1.0));
        material->SetDiffuse(KZeqColor(0.5, 0.5, 0.5, 1.0));
    }
    FillLayerData(&mapping, geometry, textured);
}

int ZeqTuloExport::GetLastChildOfThisType(TDagPath* path, unsigned int type) {
    if (!path) return -1;
    for (int i = static_cast<int>(path->childCount()) - 1; i >= 0; --i)
        if (path->child(static_cast<unsigned>(i)).apiType() == static_cast<int>(type)) return i;
    return -1;
}

void ZeqTuloExport::GoInDagGraph(TDagPath*) {
    // A debugging walk over the types of the node and its children: it kept nothing.
}
