// Blend shapes of the exported geometry: each weight of a blend-shape deformer whose target was
// exported becomes a shape of its base geometry (the target's points, and a mesh's normals), a
// shape channel holding the weight in percent, and the weight's curve in "Take 001". The targets
// are recorded so that the export removes their nodes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqshape.h"
#include "fcurve/kfcurve.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfndeformer.h"

using namespace zeqsdk_400;

namespace {

const char kExportWarning[] = "ZEQ Export Warning";
const char kOk[] = "Ok";
const char kMoreThanOneTargetA[] = "The BaseObject : ";
const char kMoreThanOneTargetB[] = " has multiple targets affected by weight : ";
const char kMoreThanOneTargetC[] = "The plugin will only use the first target.";
const char kNoTargetMissingNode[] = "The TargetObject : ";
const char kNoTargetMissingSlider[] = "The TargetObject for weight slider : ";
const char kNoTargetReason[] = " is not available in the scene.";
const char kNoTargetReasonDetail[] =
    "(most likely the target object has been deleted without deleting the controlling slider).";
const char kNoTargetIgnoring[] = "Ignoring this target.";
const char kInvalidTargetA[] = "The TargetObject : ";
const char kInvalidTargetReason[] = " number of vertices does not match the baseObject number of vertices.";
const char kInvalidTargetIgnoring[] = "Ignoring this target.";
const char kPoppedOnceNote[] =
    "NOTE: This dialog will not popup anymore for subsequent identical errors on the same baseObject.\\n(the other "
    "messages can be found in the log file)";
const char kProcessingStatus[] = "processing %d of %d";

// The warning kinds, each shown at most once per base object.
enum EWarning { eMissingTarget, eVertexCount, eSeveralTargets, eWarningCount };

KString Readable(const TString& text) { return ZeqTuloUtility::MakeItReadable(KString(text.asChar())); }

// The first blank-separated token of text equals name.
bool FirstTokenIs(const char* text, const KString& name) {
    if (!text) return false;
    const char* end = std::strchr(text, ' ');
    const std::size_t length = end ? static_cast<std::size_t>(end - text) : std::strlen(text);
    return length == static_cast<std::size_t>(name.GetLen()) && std::strncmp(text, name.Buffer(), length) == 0;
}

// Logs a warning (its message, detail lines and an empty line) and shows it once per base.
class ShapeWarnings {
public:
    explicit ShapeWarnings(ZeqLogFile* log) : mLog(log) {}
    void Reset() {
        for (bool& shown : mShown) shown = false;
    }
    void Warn(EWarning kind, const KString& message, std::initializer_list<const char*> details) {
        if (mLog) {
            KString line(kExportWarning);
            line += ": ";
            line += message;
            *mLog += line.Buffer();
            for (const char* detail : details) *mLog += detail;
            *mLog += "";
        }
        if (!ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kExportShowUI) || mShown[kind]) return;
        mShown[kind] = true;
        KString text(message);
        for (const char* detail : details) {
            text += "\\n";
            text += detail;
        }
        text += "\\n\\n";
        text += kPoppedOnceNote;
        ZeqTuloConfirmDialog dialog;
        dialog.Title(kExportWarning);
        dialog.Message(text);
        dialog.Button(0, kOk);
        dialog.Pop();
    }

private:
    ZeqLogFile* mLog;
    bool mShown[eWarningCount] = {false, false, false};
};

}  // namespace

void ZeqTuloExport::ExportShape(ZeqTuloNode* start) {
    if (!start) return;
    VisitWithNodeIndex(start, [this](ZeqTuloNode* node) {
        if (TDagPath* path = node->GetDagPath()) SetShapeOnModels(path, node);
        ZeqTuloProgressMeter::Activate(nullptr);
    });
}

void ZeqTuloExport::SetShapeOnModels(TDagPath* path, ZeqTuloNode* node) {
    if (!path || !node || node->GetShapeIndex() < 0 || node->mMeshMismatch) return;
    if (static_cast<unsigned>(node->GetShapeIndex()) >= path->childCount()) return;
    TObject shape = path->child(static_cast<unsigned>(node->GetShapeIndex()));
    TObject deformer;
    if (!ZeqTuloUtility::GetDependencyOfThisType(&shape, kHostBlendShape, &deformer, TItDependencyGraph::kUpstream,
                                                 TFn::kInvalid))
        return;
    const TFnBlendShapeDeformer blend(deformer);
    const int weightCount = static_cast<int>(blend.numWeights());
    TIntArray weightIndices;
    blend.weightIndexList(weightIndices);
    const TPlug weightPlug = blend.findPlug("weight");
    TObjectArray bases;
    blend.getBaseObjects(bases);
    ShapeWarnings warnings(mLog.get());

    for (int b = static_cast<int>(bases.length()) - 1; b >= 0; --b) {
        const TObject base = bases[static_cast<unsigned>(b)];
        TDagPath basePath;
        TDagPath::getAPathTo(base, basePath);
        if (GetNodeWithThisChildren(mRootNode, &basePath) != node) continue;
        KZeqLayerContainer* baseGeometry = GeometryAttribute(node);
        if (!node->GetNodeAttribute()) return;
        if (!baseGeometry) continue;
        auto* geometry = static_cast<KZeqGeometry*>(baseGeometry);
        const bool baseIsMesh = node->GetNodeAttribute()->GetAttributeType() == KZeqNodeAttribute::eMESH;
        warnings.Reset();

        // Weights are addressed by their indices: after a target was deleted they may be sparse.
        const int listed = std::min(weightCount, static_cast<int>(weightIndices.length()));
        for (int w = 0; w < listed; ++w) {
            char progress[64];
            std::snprintf(progress, sizeof progress, kProcessingStatus, w + 1, weightCount);
            ZeqTuloProgressMeter::Activate(progress);
            const int weightIndex = weightIndices[static_cast<unsigned>(w)];
            const TPlug element = weightPlug.elementByLogicalIndex(static_cast<unsigned>(weightIndex));
            const TString elementName = element.name();

            TObjectArray targets;
            blend.getTargets(base, weightIndex, targets);
            if (targets.length() > 1) {
                KString message(kMoreThanOneTargetA);
                message += Readable(basePath.fullPathName());
                message += kMoreThanOneTargetB;
                message += Readable(elementName);
                warnings.Warn(eSeveralTargets, message, {kMoreThanOneTargetC});
            }
            ZeqTuloNode* target = nullptr;
            TDagPath targetPath;
            if (targets.length() > 0 && TDagPath::getAPathTo(targets[0], targetPath))
                target = GetNodeWithThisChildren(mRootNode, &targetPath);
            if (!target) {
                KString message(targets.length() > 0 ? kNoTargetMissingNode : kNoTargetMissingSlider);
                message += targets.length() > 0 ? Readable(targetPath.fullPathName()) : Readable(elementName);
                message += kNoTargetReason;
                warnings.Warn(eMissingTarget, message, {kNoTargetReasonDetail, kNoTargetIgnoring});
                continue;
            }

            // The element's name, less the suffix the import gives the deformers it makes: a shape
            // that came from a file keeps the name it had there.
            KString shapeName(elementName.asChar());
            const int dot = shapeName.Find('.');
            const KString deformerName = dot < 0 ? shapeName : shapeName.Left(static_cast<unsigned int>(dot));
            const KString suffix(ZeqTuloUtility::kBlendShaperSuffix);
            if (deformerName.GetLen() > suffix.GetLen() &&
                deformerName.Right(static_cast<unsigned int>(suffix.GetLen())) == suffix)
                shapeName = deformerName.Left(static_cast<unsigned int>(deformerName.GetLen() - suffix.GetLen())) +
                            shapeName.Mid(static_cast<unsigned int>(deformerName.GetLen()));
            // The base's name as the host knows it, without the Zeq type prefix.
            const KString baseName = node->GetNameWithoutNameSpacePrefix();
            if (std::strncmp(shapeName.Buffer(), baseName.Buffer(), static_cast<std::size_t>(baseName.GetLen())) == 0) {
                KString prefixed("s");
                prefixed += shapeName;
                shapeName = prefixed;
            }
            bool taken = false;
            for (int s = geometry->GetShapeCount() - 1; s >= 0 && !taken; --s)
                taken = FirstTokenIs(geometry->GetShapeName(s), shapeName);
            if (taken) continue;

            KZeqLayerContainer* targetGeometry = GeometryAttribute(target);
            // A target without geometry has nothing to give.
            if (!targetGeometry) continue;
            const int pointCount = baseGeometry->GetControlPointsCount();
            if (pointCount < 1 || targetGeometry->GetControlPointsCount() != pointCount) {
                KString message(kInvalidTargetA);
                message += Readable(targetPath.fullPathName());
                message += kInvalidTargetReason;
                warnings.Warn(eVertexCount, message, {kInvalidTargetIgnoring});
                continue;
            }

            KZeqShape* made = mSdkManager.CreateKZeqShape();
            if (!made) continue;
            const int index = geometry->AddShape(made, shapeName.Buffer());
            if (index < 0) {
                mSdkManager.DestroyKZeqShape(made);
                continue;
            }
            // Only a target that became a shape leaves the scene: the others stay meshes.
            if (mTargetShapeNodes.Find(target) < 0) mTargetShapeNodes.Add(target);

            made->InitControlPoints(pointCount);
            const double* targetPivot = target->GetRelativePivot();
            const double* basePivot = node->GetRelativePivot();
            const double offset[3] = {targetPivot[0] - basePivot[0], targetPivot[1] - basePivot[1],
                                      targetPivot[2] - basePivot[2]};
            const KZeqVector4* from = targetGeometry->GetControlPoints();
            KZeqVector4* to = made->GetControlPoints();
            for (int i = 0; i < pointCount; ++i)
                for (int k = 0; k < 3; ++k) to[i][k] = from[i][k] + offset[k];

            KZeqLayer* layer = targetGeometry->GetLayer(0);
            KZeqLayerElementNormal* normals = layer ? layer->GetNormals() : nullptr;
            if (baseIsMesh && normals && normals->GetDirectArray().GetCount() > 0) {
                made->InitNormals(0);
                KZeqVector4* into = made->GetNormals();
                const int available = std::min(pointCount, normals->GetDirectArray().GetCount());
                for (int i = 0; into && i < available; ++i) into[i] = normals->GetDirectArray().GetAt(i);
            }

            // A weight no curve drives is read from its plug.
            TStatus status;
            TFnAnimCurve curve(element, &status);
            double weight = 0;
            if (status)
                weight = curve.evaluate(TAnimControl::currentTime());
            else
                element.getValue(weight);
            // The shape's property holds the weight too, and the file writes the property: both
            // are set.
            geometry->SetDefaultShape(index, weight * 100.0);
            // A take made for an earlier weight's keys copied the defaults as they then were: an
            // unanimated weight met later holds its value there too.
            if (node->GetCurrentTakeNode() != node->GetDefaultTakeNode())
                if (KFCurve* channel = geometry->GetShapeChannel(node->GetCurrentTakeNode(), index))
                    channel->SetValue(static_cast<float>(weight * 100.0));
            if (!status || curve.numKeys() == 0) continue;
            if (node->GetCurrentTakeNode() == node->GetDefaultTakeNode()) SetCurrentTakeOnNode(*node, kExportTakeName);
            if (KFCurve* channel = geometry->GetShapeChannel(node->GetCurrentTakeNode(), index))
                SetFCurve(curve, *channel, false, 100.0);
        }
    }
}

void ZeqTuloExport::GoInDepencyGraph(TObject* object, TItDependencyGraph::Level level) {
    // Walks the graph and keeps nothing: no caller needs what it sees.
    if (!object) return;
    TStatus status;
    for (TItDependencyGraph it(*object, TFn::kInvalid, TItDependencyGraph::kDownstream,
                               TItDependencyGraph::kDepthFirst, level, &status);
         status && !it.isDone(); it.next()) {
        const TObject node = it.thisNode();
        (void)node.apiTypeStr();
        (void)TFnDependencyNode(node);
    }
}
