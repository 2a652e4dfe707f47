// NURBS and patch records of both Zeq writers, the geometry record's common
// part (5.8 skin links, shapes of both layouts), the 6.0 deformer objects and
// the scene conversions around each write.

#include <vector>

#include "base/kgemath.h"
#include "content/kzeqdeformer.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqsurfaces_steps.h"
#include "io/kzeqwriterzeq.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

bool WriteInts(KZeq& file, const char* name, std::initializer_list<int> values) {
    bool ok = file.FieldWriteBegin(name);
    for (int value : values) ok = ok && file.FieldWriteI(value);
    return ok && file.FieldWriteEnd();
}

bool WriteDoubles(KZeq& file, const char* name, const double* values, int count) {
    return file.FieldWriteBegin(name) && file.FieldWriteDn(values, count) && file.FieldWriteEnd();
}

bool WriteMatrix(KZeq& file, const char* name, const KZeqMatrix& matrix) {
    return WriteDoubles(file, name, matrix, 16);
}

// applied first, then the inverse of relativeTo: what the readers multiply back.
KZeqXMatrix Relative(const KZeqMatrix& matrix, const KZeqMatrix& relativeTo) {
    KZeqXMatrix relative;
    KmAiA(relative.mData, relativeTo.mData, matrix.mData);
    return relative;
}

bool WriteMode(KZeq& file, KZeqLink::ELinkMode mode) {
    if (mode == KZeqLink::eADDITIVE) return ZeqWriteFieldC(file, "Mode", "Additive");
    if (mode == KZeqLink::eTOTAL1) return ZeqWriteFieldC(file, "Mode", "Total1");
    return true;
}

bool WriteUserData(KZeq& file, const KString& id, const KString& data) {
    return file.FieldWriteBegin("UserData") && file.FieldWriteC(id.Buffer()) && file.FieldWriteC(data.Buffer()) &&
           file.FieldWriteEnd();
}

// The 5.8 records list layer 0's material indices.
bool WriteMaterialIndices(IZeqObject& file, KZeqGeometry& geometry) {
    if (!file.IsBeforeVersion6()) return true;
    KZeqLayer* layer = geometry.GetLayer(0);
    KZeqLayerElementMaterial* materials = layer ? layer->GetMaterials() : nullptr;
    if (!file.FieldWriteBegin("Materials")) return false;
    if (materials) file.FieldWriteIn(materials->GetIndexArray().GetArray(), materials->GetIndexArray().GetCount());
    return file.FieldWriteEnd();
}

// Every geometry below node, with its node.
template <class F>
void ForEachGeometry(KZeqNode& top, F f) {
    std::vector<KZeqNode*> pending{&top};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (KZeqGeometry* geometry = node->GetGeometry()) f(*node, *geometry);
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }
}

}  // namespace

// ---- Surfaces ------------------------------------------------------------------------------------------

bool WriteKZeqNurb(KZeqWriterZeqBase& writer, KZeqNurb& nurb) {
    static const char* const kForms[] = {"Periodic", "Closed", "Open"};
    KZeq& file = *writer.GetZeqObject();
    auto form = [](int type) { return type >= 0 && type <= 2 ? kForms[type] : "Open"; };
    ZeqWriteFieldC(file, "Type", "Nurb");
    ZeqWriteFieldI(file, "NurbVersion", 100);
    WriteInts(file, "SurfaceDisplay", {static_cast<int>(nurb.GetSurfaceMode()), nurb.GetUStep(), nurb.GetVStep()});
    WriteInts(file, "NurbOrder", {nurb.GetUOrder(), nurb.GetVOrder()});
    WriteInts(file, "Dimensions", {nurb.GetUCount(), nurb.GetVCount()});
    WriteInts(file, "Step", {nurb.GetUStep(), nurb.GetVStep()});
    file.FieldWriteBegin("Form") && file.FieldWriteC(form(nurb.GetNurbUType())) &&
        file.FieldWriteC(form(nurb.GetNurbVType())) && file.FieldWriteEnd();
    WriteDoubles(file, "Points", nurb.GetControlPoints() ? &nurb.GetControlPoints()[0][0] : nullptr,
                 4 * nurb.GetControlPointsCount());
    // Vectors the surface lacks are left out: the reader keeps its own then.
    if (int* m = nurb.GetUMultiplicityVector())
        file.FieldWriteBegin("MultiplicityU") && file.FieldWriteIn(m, nurb.GetUCount()) && file.FieldWriteEnd();
    if (int* m = nurb.GetVMultiplicityVector())
        file.FieldWriteBegin("MultiplicityV") && file.FieldWriteIn(m, nurb.GetVCount()) && file.FieldWriteEnd();
    if (double* knots = nurb.GetUKnotVector()) WriteDoubles(file, "KnotVectorU", knots, nurb.GetUKnotCount());
    if (double* knots = nurb.GetVKnotVector()) WriteDoubles(file, "KnotVectorV", knots, nurb.GetVKnotCount());
    WriteMaterialIndices(*writer.GetZeqObject(), nurb);
    return ZeqWriteGeometryCommon(writer, nurb);
}

bool WriteKZeqPatchType(KZeqWriterZeqBase& writer, int type) {
    static const char* const kWords[] = {"Bezier", "BezierQuadric", "Cardinal", "BSpline", "Linear"};
    return writer.GetZeqObject()->FieldWriteC(type >= 0 && type <= 4 ? kWords[type] : "Linear");
}

bool WriteKZeqPatch(KZeqWriterZeqBase& writer, KZeqPatch& patch) {
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteFieldC(file, "Type", "Patch");
    ZeqWriteFieldI(file, "PatchVersion", 100);
    file.FieldWriteBegin("PatchType") && WriteKZeqPatchType(writer, patch.GetPatchUType()) &&
        WriteKZeqPatchType(writer, patch.GetPatchVType()) && file.FieldWriteEnd();
    WriteInts(file, "Dimensions", {patch.GetUCount(), patch.GetVCount()});
    WriteInts(file, "SurfaceDisplay", {static_cast<int>(patch.GetSurfaceMode()), patch.GetUStep(), patch.GetVStep()});
    WriteInts(file, "Step", {patch.GetUStep(), patch.GetVStep()});
    WriteInts(file, "Closed", {patch.GetUClosed() ? 1 : 0, patch.GetVClosed() ? 1 : 0});
    WriteInts(file, "UCapped", {patch.GetUCappedBottom() ? 1 : 0, patch.GetUCappedTop() ? 1 : 0});
    WriteInts(file, "VCapped", {patch.GetVCappedBottom() ? 1 : 0, patch.GetVCappedTop() ? 1 : 0});
    const int count = patch.GetControlPointsCount();
    std::vector<double> points(static_cast<std::size_t>(count) * 3);
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) points[static_cast<std::size_t>(i) * 3 + c] = patch.GetControlPoints()[i][c];
    WriteDoubles(file, "Points", points.data(), count * 3);
    WriteMaterialIndices(*writer.GetZeqObject(), patch);
    return ZeqWriteGeometryCommon(writer, patch);
}

bool ZeqWriteNurbAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqNurb* nurb = node.GetNurb();
    return nurb ? WriteKZeqNurb(writer, *nurb) : writer.WriteKZeqNull(nullptr);
}

bool ZeqWritePatchAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqPatch* patch = node.GetPatch();
    return patch ? WriteKZeqPatch(writer, *patch) : writer.WriteKZeqNull(nullptr);
}

// ---- Common part: layers, links and shapes ----------------------------------------------------------------------

bool ZeqWriteGeometryCommon(KZeqWriterZeqBase& writer, KZeqGeometry& geometry) {
    if (writer.GetZeqObject()->IsBeforeVersion6()) {
        std::vector<KZeqTexture*> textures;
        return ZeqWriteGeometry58(writer, geometry, textures);
    }
    // Version 6 keeps the links as deformer objects.
    KZeqNode* node = geometry.GetNode();
    return node ? ZeqWriteGeometryLayers6(writer, *node, geometry) : ZeqWriteShapeRecords(writer, geometry);
}

bool ZeqWriteLinkRecords58(KZeqWriterZeqBase& writer, KZeqGeometry& geometry) {
    for (int i = 0; i < geometry.GetLinkCount(); ++i)
        if (KZeqLink* link = geometry.GetLink(i)) KZeqWriterZeq::WriteKZeqLink(writer, *link);
    return true;
}

bool ZeqWriteShapeRecords(KZeqWriterZeqBase& writer, KZeqGeometry& geometry) {
    for (int i = 0; i < geometry.GetShapeCount(); ++i)
        if (KZeqShape* shape = geometry.GetShape(i)) WriteKZeqShape(writer, *shape, geometry, geometry.GetShapeName(i));
    return true;
}

bool KZeqWriterZeq::WriteKZeqLink(KZeqWriterZeqBase& writer, KZeqLink& link) {
    if (!link.GetLink()) return true;
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "Link", link.GetLink()->GetName());
    WriteMode(file, link.GetLinkMode());
    WriteUserData(file, link.GetUserDataID(), link.GetUserData());
    const int count = link.GetControlPointIndicesCount();
    file.FieldWriteBegin("Indexes") && file.FieldWriteIn(link.GetControlPointIndices(), count) && file.FieldWriteEnd();
    WriteDoubles(file, "Weights", link.GetControlPointWeights(), count);
    KZeqXMatrix transform, transformLink, associate;
    link.GetTransformLinkMatrix(transformLink);
    WriteMatrix(file, "Transform", Relative(link.GetTransformMatrix(transform), transformLink));
    WriteMatrix(file, "TransformLink", transformLink);
    if (KZeqNode* model = link.GetAssociateModel()) {
        ZeqWriteBlockBegin(file, "AssociateModel", model->GetName());
        WriteMatrix(file, "Transform", Relative(link.GetTransformAssociateModelMatrix(associate), transformLink));
        ZeqWriteBlockEnd(file);
    }
    if (link.mParentSet) {
        KZeqXMatrix parent;
        WriteMatrix(file, "TransformParent", link.GetTransformParentMatrix(parent));
    }
    return ZeqWriteBlockEnd(file);
}

bool WriteKZeqShape(KZeqWriterZeqBase& writer, KZeqShape& shape, KZeqGeometry& geometry, const char* name) {
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "Shape", name ? name : "");
    // A shape without points is written without "Vertices": it reads back without points.
    const int count = std::min(shape.GetControlPointsCount(), geometry.GetControlPointsCount());
    if (shape.GetControlPointsCount() > 0) {
        const KZeqVector4* target = shape.GetControlPoints();
        const KZeqVector4* base = geometry.GetControlPoints();
        std::vector<int> indices;
        std::vector<double> offsets;
        for (int i = 0; i < count; ++i) {
            if (target[i][0] == base[i][0] && target[i][1] == base[i][1] && target[i][2] == base[i][2]) continue;
            indices.push_back(i);
            for (int c = 0; c < 3; ++c) offsets.push_back(target[i][c] - base[i][c]);
        }
        const int n = static_cast<int>(indices.size());
        file.FieldWriteBegin("Indexes") && file.FieldWriteIn(indices.data(), n) && file.FieldWriteEnd();
        WriteDoubles(file, "Vertices", offsets.data(), 3 * n);
        if (geometry.GetAttributeType() == KZeqNodeAttribute::eMESH) {
            KZeqLayer* to = shape.GetLayer(0);
            KZeqLayer* from = geometry.GetLayer(0);
            KZeqLayerElementNormal* a = to ? to->GetNormals() : nullptr;
            KZeqLayerElementNormal* b = from ? from->GetNormals() : nullptr;
            std::vector<double> normals(static_cast<std::size_t>(3 * n), 0.0);
            for (int k = 0; a && b && k < n; ++k) {
                const int i = indices[static_cast<std::size_t>(k)];
                if (i >= a->GetDirectArray().GetCount() || i >= b->GetDirectArray().GetCount()) continue;
                for (int c = 0; c < 3; ++c)
                    normals[static_cast<std::size_t>(3 * k + c)] =
                        a->GetDirectArray()[i][c] - b->GetDirectArray()[i][c];
            }
            WriteDoubles(file, "Normals", normals.data(), 3 * n);
        }
    }
    return ZeqWriteBlockEnd(file);
}

// ---- Deformers (6.0) ------------------------------------------------------------------------------------

bool WriteKZeqDeformer(KZeqWriterZeqBase& writer, KZeqDeformer& deformer) {
    KZeq& file = *writer.GetZeqObject();
    const KString type = deformer.GetTypeName();
    file.FieldWriteBegin("Deformer");
    file.FieldWriteC(deformer.GetName()), file.FieldWriteC(type.Buffer());
    file.FieldWriteBlockBegin();
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWriteFieldI(file, "MultiLayer", deformer.GetMultiLayer() ? 1 : 0);
    ZeqWriteFieldC(file, "Type", type.Buffer());
    ZeqWritePropertyBlock(*writer.GetZeqObject(), deformer);
    if (deformer.GetDeformerType() != KZeqDeformer::eCLUSTER) {
        file.FieldWriteBegin("Link_DeformAcuracy") && file.FieldWriteD(deformer.mLinkDeformAccuracy) &&
            file.FieldWriteEnd();
        return ZeqWriteBlockEnd(file);
    }
    KProperty* reference = deformer.GetPropertyHandler()->FindPropertyByName("SrcModelReference");
    KPlug* source = reference && reference->GetSrcCount() > 0 ? reference->GetSrc(0) : nullptr;
    KZeqNode* model = source && source->Is(KZeqNodeProperties::ClassId)
                          ? static_cast<KZeqNodeProperties*>(source)->GetKZeqNode()
                          : nullptr;
    ZeqWriteFieldC(file, "SrcModelReference", model ? model->GetName() : "");
    WriteMode(file, deformer.mLinkMode);
    WriteUserData(file, deformer.mUserDataID, deformer.mUserData);
    const int count = std::min(deformer.mIndices.GetCount(), deformer.mWeights.GetCount());
    file.FieldWriteBegin("Indexes") && file.FieldWriteIn(deformer.mIndices.GetArray(), count) && file.FieldWriteEnd();
    WriteDoubles(file, "Weights", deformer.mWeights.GetArray(), count);
    WriteMatrix(file, "Transform", Relative(deformer.mTransform, deformer.mTransformLink));
    WriteMatrix(file, "TransformLink", deformer.mTransformLink);
    if (model) {
        ZeqWriteBlockBegin(file, "AssociateModel", model->GetName());
        WriteMatrix(file, "Transform", Relative(deformer.mTransformAssociateModel, deformer.mTransformLink));
        ZeqWriteBlockEnd(file);
    }
    if (deformer.mTransformParentSet) WriteMatrix(file, "TransformParent", deformer.mTransformParent);
    return ZeqWriteBlockEnd(file);
}

void ZeqListDeformers(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    for (int i = 0; i < scene.GetDeformerCount(); ++i)
        if (KZeqDeformer* deformer = scene.GetDeformer(i)) objects.push_back(deformer);
}

bool ZeqWriteDeformerObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    return WriteKZeqDeformer(writer, static_cast<KZeqDeformer&>(object));
}

// ---- Around the writes ----------------------------------------------------------------------------------

void ConvertShapeNamesToV5Format(KZeqNode& node) {
    ForEachGeometry(node, [](KZeqNode& owner, KZeqGeometry& geometry) {
        for (int i = 0; i < owner.GetTakeNodeCount(); ++i) geometry.ConvertShapeNamesToV5Format(owner.GetTakeNode(i));
    });
}

void RevertShapeNamesToV6Format(KZeqNode& node) {
    ForEachGeometry(node, [](KZeqNode& owner, KZeqGeometry& geometry) {
        for (int i = 0; i < owner.GetTakeNodeCount(); ++i) geometry.RevertShapeNamesToV6Format(owner.GetTakeNode(i));
        geometry.ClearTemporaryShapeNames();
    });
}

bool ZeqWrite6LinksToDeformers(KZeqWriterZeqBase&, KZeqScene& scene) {
    scene.BuildKZeqDeformerFromKZeqLink();
    return true;
}

bool ZeqWrite6RemoveDeformers(KZeqWriterZeqBase&, KZeqScene& scene) {
    scene.RemoveKZeqDeformers();
    return true;
}

bool ZeqWrite58ConvertShapeNames(KZeqWriterZeqBase&, KZeqScene& scene) {
    if (KZeqNode* root = scene.GetRootNode()) ConvertShapeNamesToV5Format(*root);
    return true;
}

bool ZeqWrite58RevertShapeNames(KZeqWriterZeqBase&, KZeqScene& scene) {
    if (KZeqNode* root = scene.GetRootNode()) RevertShapeNamesToV6Format(*root);
    return true;
}

}  // namespace zeqsdk_400
