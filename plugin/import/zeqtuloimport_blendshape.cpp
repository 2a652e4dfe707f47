// Blend shapes: a geometry built by this import gets one hidden target per Zeq shape on its
// blend-shape deformer and the shape channels as weight curves; a geometry merged onto a host node
// that already has a deformer only gets its weight curves rewritten. A merged geometry without
// shapes loses the host's deformer.
#include <type_traits>

#include "content/kzeqgeometry.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/import/zeqtuloimport_curvetransfer.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqtakenode.h"
#include "tfndagnode.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"
#include "tfntransform.h"
#include "tglobal.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {

// Host type code of blend-shape deformers.
constexpr unsigned int kBlendShapeType = 330;

static_assert(sizeof(KZeqVector4) == 4 * sizeof(double) && std::is_standard_layout<KZeqVector4>::value,
              "control points pass to the host as rows of four doubles");

// "Face.Smile": prefix "Face", target "Smile"; without a "." the node's name and the whole name.
void SplitShapeName(const KString& shape, const KString& nodeName, KString& prefix, KString& target) {
    const int dot = shape.Find(".", 0);
    if (dot < 0) {
        prefix = nodeName;
        target = shape;
    } else {
        prefix = shape.Left(static_cast<unsigned int>(dot));
        target = shape.Mid(static_cast<unsigned int>(dot) + 1);
    }
}

void LogTarget(ZeqLogFile* log, ZeqTuloNode& node, const char* shape, const char* why) {
    if (!log) return;
    KString line(node.GetNameWithoutNameSpacePrefix());
    line += ": blend shape ";
    line += shape;
    line += why;
    *log += line.Buffer();
}

}  // namespace

void ZeqTuloImport::ImportShapeAnimation(ZeqTuloNode& node) {
    KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    KZeqGeometry* geometry = node.GetGeometry();
    if (!attribute || !geometry) return;
    const int shapeCount = geometry->GetShapeCount();
    TDagPath* path = node.GetDagPath();
    if (!path) return;
    // A geometry whose host shape was not made (or a merged transform without one) keeps its
    // transform alone: its shapes have no base to deform.
    // A patch (not turned into a surface) takes either kind.
    TDagPath basePath;
    const int kind = attribute->GetAttributeType();
    if (!(kind != KZeqNodeAttribute::eNURB && ShapePath(node, TFn::kMesh, basePath)) &&
        !(kind != KZeqNodeAttribute::eMESH && ShapePath(node, TFn::kNurbsSurface, basePath))) {
        if (shapeCount > 0) {
            KString line("Node ");
            line += node.GetNameWithoutNameSpacePrefix();
            line += ": no host shape; its blend shapes are left out.";
            LogLine(line.Buffer());
        }
        return;
    }
    TObject base = basePath.node();
    TObject transformNode = path->node();
    TObject deformer;
    const bool found = ZeqTuloUtility::GetDependencyOfThisType(&base, kBlendShapeType, &deformer,
                                                               TItDependencyGraph::kUpstream,
                                                               static_cast<TFn::Type>(kBlendShapeType));
    if (shapeCount == 0) {
        if (found && node.mIsPresent) TGlobal::deleteNode(deformer);
        return;
    }
    TStatus status;
    const bool transfer = found && node.mIsPresent;
    if (!found) {
        TFnBlendShapeDeformer creator;
        deformer = creator.create(transformNode, TFnBlendShapeDeformer::kLocalOrigin, &status);
        if (!status) return;
    }
    TFnBlendShapeDeformer blend(deformer, &status);
    if (!status) return;
    blend.addBaseObject(base);
    TPlug weights = blend.findPlug("weight", &status);
    ZeqTuloProgressMeter::Activate("This may take a while. Please wait!");

    KZeqTakeNode* take = node.GetCurrentTakeNode();
    const KString nodeName(node.GetNameWithoutNameSpacePrefix());
    bool named = false;
    for (int i = 0; i < shapeCount; ++i) {
        KZeqShape* shape = geometry->GetShape(i);
        if (!shape) continue;
        const char* shapeText = geometry->GetShapeName(i);
        const KString shapeName(shapeText ? shapeText : "");
        KFCurve* channel = take ? geometry->GetShapeChannel(take, i) : nullptr;

        if (transfer) {
            // An empty channel (a take without its keys, or none chosen) is never written into the
            // host's curve, as for every other channel: the curve keeps its keys.
            if (!channel || channel->KeyGetCount() == 0) continue;
            TPlug element = weights[static_cast<unsigned>(i)];
            TStatus attach;
            TFnAnimCurve curve(element, &attach);
            if (!attach) {
                if (mBlendShapeFailures.Find(&node) < 0) mBlendShapeFailures.Add(&node);
                continue;
            }
            if (IsDriven(element)) continue;
            SetTuloCurve(curve, *channel, 100.0, 100.0, &attach);
            continue;
        }

        KString prefix, targetName;
        SplitShapeName(shapeName, nodeName, prefix, targetName);
        if (!named) {
            blend.setName(TString((prefix + ZeqTuloUtility::kBlendShaperSuffix).Buffer()), &status);
            named = true;
        }
        // A target must hold as many points as the geometry it deforms.
        const int points = shape->GetControlPointsCount();
        const int expected = static_cast<KZeqLayerContainer*>(geometry)->GetControlPointsCount();
        if (attribute->GetAttributeType() == KZeqNodeAttribute::ePATCH) {
            LogTarget(mLogFile, node, shapeName.Buffer(), ": a patch shape has no host target; it was left out.");
            continue;
        }
        if (points != expected) {
            LogTarget(mLogFile, node, shapeName.Buffer(),
                      ": its point count differs from the geometry's; the target was left out.");
            continue;
        }
        TFnTransform targetTransform;
        const TObject targetNode = targetTransform.create(TObject::kNullObj, &status);
        if (!status) continue;
        TDagPath targetPath;
        targetTransform.getPath(targetPath);
        // The host labels the weight after the target's transform, and the export names the shape
        // after that label: named with the part after the ".", the name the file gave the shape
        // comes back on the next export (named with the whole shape name it would grow each pass).
        targetTransform.setName(TString(targetName.Buffer()));
        const KString targetShapeName = targetName + "Shape";

        TObject target;
        const TPointArray cvs(reinterpret_cast<const double(*)[4]>(shape->GetControlPoints()),
                              static_cast<unsigned>(points));
        if (attribute->GetAttributeType() == KZeqNodeAttribute::eMESH) {
            TFnMesh mesh;
            target = mesh.copy(base, targetNode, &status);
            ZeqTuloProgressMeter::Activate("working...");
            TStatus set = TStatus::kFailure;
            if (status) {
                mesh.setObject(target);
                set = mesh.setPoints(cvs, TSpace::kObject);
            }
            DebugCheckStatus(set, nullptr);
            ZeqTuloProgressMeter::Activate("...");
            if (!set) {
                // A copy that kept the base's points would be a target that does nothing.
                TGlobal::deleteNode(targetNode);
                LogTarget(mLogFile, node, shapeName.Buffer(), ": its points could not be set; the target was left out.");
                continue;
            }
            mesh.setName(TString(targetShapeName.Buffer()));
        } else {
            TPointArray nurbsCvs;
            TDoubleArray knotsU, knotsV;
            int degreeU = 0, degreeV = 0, formU = 0, formV = 0;
            GetNURBData(static_cast<KZeqNurb*>(geometry), shape->GetControlPoints(), nurbsCvs, knotsU, knotsV, degreeU,
                        degreeV, formU, formV, nullptr, nullptr, nullptr);
            TFnNurbsSurface surface;
            target = surface.create(nurbsCvs, knotsU, knotsV, static_cast<unsigned>(degreeU),
                                    static_cast<unsigned>(degreeV), formU, formV, true, targetNode, &status);
            if (!status) {
                TGlobal::deleteNode(targetNode);
                LogTarget(mLogFile, node, shapeName.Buffer(), ": its surface could not be made; the target was left out.");
                continue;
            }
            surface.setName(TString(targetShapeName.Buffer()));
        }
        if (!blend.addTarget(base, i, target, 1.0)) {
            TGlobal::deleteNode(targetNode);
            LogTarget(mLogFile, node, shapeName.Buffer(), ": the host refused the target; it was left out.");
            continue;
        }
        TPlug visibility;
        if (ZeqTuloUtility::FindPlug(&targetPath, visibility, "visibility")) visibility.setValue(false);

        if (!channel) continue;
        TPlug element = weights.elementByLogicalIndex(static_cast<unsigned>(i));
        if (channel->KeyGetCount() == 0) {
            // An unanimated weight keeps its value without a curve of its own.
            element.setValue(channel->GetValue() / 100.0);
            continue;
        }
        TFnAnimCurve curve;
        TStatus attach;
        curve.create(element, nullptr, &attach);
        if (attach) SetTuloCurve(curve, *channel, 100.0, 100.0, &attach);
    }
}
