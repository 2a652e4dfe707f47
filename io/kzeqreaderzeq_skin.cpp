// Skin links (older layouts), skin and cluster deformers (version 6) and
// blend shapes of the Zeq reader.

#include <algorithm>
#include <vector>

#include "base/kgemath.h"
#include "content/kzeqdeformer.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqshape.h"
#include "fileio/kzeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqsurfaces_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

KZeqLink::ELinkMode LinkMode(const KString& text) {
    if (text.CompareNoCase("Additive") == 0) return KZeqLink::eADDITIVE;
    if (text.CompareNoCase("Total1") == 0) return KZeqLink::eTOTAL1;
    return KZeqLink::eNORMALIZE;
}

// "Indexes" and "Weights" into two arrays of one count: missing weights 0,
// extra ones not read.
void ReadIndexesAndWeights(KZeq& file, KArrayTemplate<int>& indices, KArrayTemplate<double>& weights) {
    int count = 0;
    if (file.FieldReadBegin("Indexes")) {
        count = file.FieldReadGetCount();
        indices.SetCount(count);
        file.FieldReadIn(indices.GetArray(), count);
        file.FieldReadEnd();
    } else {
        indices.Clear();
    }
    weights.SetCount(count);
    for (int i = 0; i < count; ++i) weights[i] = 0.0;
    if (count > 0 && file.FieldReadBegin("Weights")) {
        file.FieldReadDn(weights.GetArray(), count);
        file.FieldReadEnd();
    }
}

// first applied, then second.
KZeqXMatrix Then(const KZeqMatrix& first, const KZeqMatrix& second) {
    KZeqXMatrix product;
    KmAA(product.mData, second.mData, first.mData);
    return product;
}

// Translation, rotation and scaling taken out and put back together, so that
// shears and skewed rows of a file matrix do not reach the product; a mirror
// keeps all three scales negative.
KZeqXMatrix Normalised(const KZeqMatrix& matrix) {
    const KZeqXMatrix x(matrix);
    return KZeqXMatrix(x.GetT(), x.GetEulerXYZ(), x.GetS());
}

}  // namespace

void KZeqReaderZeq::DropLinkIndicesOutside(KZeqLink& link, int controlPointCount) {
    int kept = 0;
    for (int i = 0; i < link.mIndices.GetCount(); ++i) {
        const int index = link.mIndices[i];
        if (index < 0 || index >= controlPointCount) continue;
        link.mIndices[kept] = index;
        link.mWeights[kept++] = link.mWeights[i];
    }
    link.mIndices.SetCount(kept);
    link.mWeights.SetCount(kept);
}

bool KZeqReaderZeq::ReadKZeqLink(KZeqLink& link) {
    KZeq& file = *mFile;
    link.mLink = nullptr;
    link.mLinkName = file.FieldReadC();
    if (!file.FieldReadBlockBegin()) return true;
    link.mLinkMode = LinkMode(file.FieldReadC("Mode", ""));
    if (file.FieldReadBegin("UserData")) {
        const KString id = file.FieldReadC();
        link.SetUserData(id, file.FieldReadC());
        file.FieldReadEnd();
    }
    ReadIndexesAndWeights(file, link.mIndices, link.mWeights);
    KZeqXMatrix transform;
    file.FieldReadDn("Transform", transform, nullptr, 16);
    link.SetTransformMatrix(transform);
    KZeqXMatrix transformLink;
    if (file.FieldReadDn("TransformLink", transformLink, nullptr, 16)) {
        link.SetTransformLinkMatrix(transformLink);
    } else {
        link.SetTransformLinkT(KZeqVector4(0, 0, 0, 1));
        link.SetTransformLinkR(KZeqVector4(0, 0, 0, 1));
        link.SetTransformLinkS(KZeqVector4(1, 1, 1, 1));
    }
    // The file holds the transforms relative to the link's.
    KZeqXMatrix stored, storedLink;
    link.GetTransformLinkMatrix(storedLink);
    link.SetTransformMatrix(Then(link.GetTransformMatrix(stored), storedLink));
    link.mAssociateModelName = "";
    if (file.FieldReadBegin("AssociateModel")) {
        link.mAssociateModelName = file.FieldReadC();
        if (file.FieldReadBlockBegin()) {
            KZeqXMatrix associate;
            if (file.FieldReadDn("Transform", associate, nullptr, 16)) {
                link.SetTransformAssociateModelMatrix(associate);
                link.SetTransformAssociateModelMatrix(
                    Then(link.GetTransformAssociateModelMatrix(stored), storedLink));
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    KZeqXMatrix parent;
    if (file.FieldReadDn("TransformParent", parent, nullptr, 16)) link.SetTransformParentMatrix(parent);
    link.mAssociateModel = nullptr;
    file.FieldReadBlockEnd();
    return true;
}

bool KZeqReaderZeq::ReadKZeqDeformer(KZeqDeformer& deformer) {
    KZeq& file = *mFile;
    file.FieldReadI("Version", 100);
    deformer.SetMultiLayer(file.FieldReadI("MultiLayer", 0) != 0);
    ReadPropertyBlock(deformer);
    const KString type = deformer.GetTypeName();
    if (type.CompareNoCase("Skin") == 0) {
        deformer.mLinkDeformAccuracy = file.FieldReadD("Link_DeformAcuracy", deformer.mLinkDeformAccuracy);
        return true;
    }
    if (type.CompareNoCase("Cluster") != 0) return true;
    deformer.mLinkMode = LinkMode(file.FieldReadC("Mode", ""));
    if (file.FieldReadBegin("UserData")) {
        deformer.mUserDataID = file.FieldReadC();
        deformer.mUserData = file.FieldReadC();
        file.FieldReadEnd();
    }
    ReadIndexesAndWeights(file, deformer.mIndices, deformer.mWeights);
    deformer.mTransform.SetIdentity();
    file.FieldReadDn("Transform", deformer.mTransform, nullptr, 16);
    deformer.mTransformLink.SetIdentity();
    file.FieldReadDn("TransformLink", deformer.mTransformLink, nullptr, 16);
    const KZeqXMatrix transformLink = Normalised(deformer.mTransformLink);
    deformer.mTransform = Then(Normalised(deformer.mTransform), transformLink);
    if (file.FieldReadBegin("AssociateModel")) {
        if (file.FieldReadBlockBegin()) {
            KZeqMatrix associate;
            if (file.FieldReadDn("Transform", associate, nullptr, 16))
                deformer.mTransformAssociateModel = Then(Normalised(associate), transformLink);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    if (file.FieldReadDn("TransformParent", deformer.mTransformParent, nullptr, 16))
        deformer.mTransformParentSet = true;
    return true;
}

bool KZeqReaderZeq::ReadKZeqShape(KZeqShape& shape, KZeqGeometry& geometry) {
    KZeq& file = *mFile;
    if (!file.FieldReadBlockBegin()) return true;
    std::vector<int> indices;
    if (file.FieldReadBegin("Indexes")) {
        indices.resize(static_cast<std::size_t>(file.FieldReadGetCount()));
        if (!indices.empty()) file.FieldReadIn(indices.data(), static_cast<int>(indices.size()));
        file.FieldReadEnd();
    }
    // Offsets of entry k land on the point of the k-th index; indices that
    // name no point and entries without index are skipped.
    auto addOffsets = [&](KZeqVector4* to, int count) {
        std::vector<double> offsets(static_cast<std::size_t>(file.FieldReadGetCount() / 3 * 3));
        if (!offsets.empty()) file.FieldReadDn(offsets.data(), static_cast<int>(offsets.size()));
        const std::size_t entries = std::min(offsets.size() / 3, indices.size());
        for (std::size_t k = 0; k < entries; ++k) {
            const int index = indices[k];
            if (index < 0 || index >= count) continue;
            for (int c = 0; c < 3; ++c) to[index][c] += offsets[k * 3 + static_cast<std::size_t>(c)];
        }
    };
    const int count = geometry.GetControlPointsCount();
    if (file.FieldReadBegin("Vertices")) {
        shape.InitControlPoints(count);
        if (shape.GetControlPointsCount() == count) {
            std::copy(geometry.GetControlPoints(), geometry.GetControlPoints() + count, shape.GetControlPoints());
            addOffsets(shape.GetControlPoints(), count);
        }
        file.FieldReadEnd();
    }
    if (geometry.GetAttributeType() == KZeqNodeAttribute::eMESH) {
        if (shape.GetLayerCount() == 0) shape.CreateLayer();
        if (KZeqLayer* layer = shape.GetLayer(0)) {
            KZeqLayerElementNormal* normals = layer->GetNormals();
            if (!normals) layer->SetNormals(normals = new KZeqLayerElementNormal);
            normals->SetMappingMode(KZeqLayerElement::eBY_CONTROL_POINT);
            normals->SetReferenceMode(KZeqLayerElement::eDIRECT);
            KZeqLayer* base = geometry.GetLayer(0);
            if (base && base->GetNormals())
                normals->GetDirectArray() = base->GetNormals()->GetDirectArray();
            else
                normals->GetDirectArray().Clear();
            KArrayTemplate<KZeqVector4>& direct = normals->GetDirectArray();
            if (direct.GetCount() > 0 && file.FieldReadBegin("Normals")) {
                addOffsets(direct.GetArray(), direct.GetCount());
                file.FieldReadEnd();
            }
        }
    }
    file.FieldReadBlockEnd();
    return true;
}

// ---- Rows ---------------------------------------------------------------------------------------------

bool ZeqReadDeformerObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name) {
    if (subtype.CompareNoCase("Skin") != 0 && subtype.CompareNoCase("Cluster") != 0) return true;
    KZeqDeformer* deformer = reader.GetSdkManager().CreateKZeqDeformer(name.Buffer(), subtype.Buffer());
    if (!deformer) return false;
    reader.ReadKZeqDeformer(*deformer);
    scene.AddDeformer(deformer);
    // Connections name the deformer as the record does.
    reader.RegisterObject(name.Buffer(), deformer->GetPropertyHandler());
    return true;
}

bool ZeqReadBoundLinkIndices(KZeqReaderZeq&, KZeqScene& scene) {
    std::vector<KZeqNode*> pending{scene.GetRootNode()};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        if (KZeqGeometry* geometry = node->GetGeometry())
            for (int i = 0; i < geometry->GetLinkCount(); ++i)
                if (KZeqLink* link = geometry->GetLink(i))
                    KZeqReaderZeq::DropLinkIndicesOutside(*link, geometry->GetControlPointsCount());
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }
    return true;
}

bool ZeqReadRemoveDeformers(KZeqReaderZeq&, KZeqScene& scene) {
    scene.RemoveKZeqDeformers();
    return true;
}

}  // namespace zeqsdk_400
