// Default transforms and transform animation of every node: pivots, limits and order first, then
// the current values into the default take and, when anything of the node is animated, its curves
// into "Take 001"; lights and cameras get their own channels and their forward-axis correction (a
// camera's mirror in it too).
#include <set>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "plugin/export/zeqtulocurveconversion.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtulocompose.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

bool IsCameraWithTarget(const TDagPath& path, ZeqTuloNode& node) {
    return path.hasFn(kHostCamera) && node.GetTarget() != nullptr;
}

// The turn from the host's forward axis of a light or camera to the file's that the export puts
// into its post-rotation; null for other nodes and for a camera the host aims.
const double (*AxisTurn(const TDagPath& path, ZeqTuloNode& node))[4] {
    if (IsCameraWithTarget(path, node)) return nullptr;
    if (path.hasFn(kHostSpotLight) || path.hasFn(kHostDirectionalLight)) return ZeqTuloUtility::LightAxes();
    if (path.hasFn(kHostCamera) && !path.hasFn(kHostLocator)) return ZeqTuloUtility::CameraAxes();
    return nullptr;
}

// The transform's scaling now, then at each key time of its scaling curves.
std::vector<KZeqVector4> HostScalings(const TFnTransform& transform) {
    double now[3] = {1, 1, 1};
    transform.getScale(now);
    std::vector<KZeqVector4> out{KZeqVector4(now[0], now[1], now[2], 0)};
    const char* const names[3] = {"scaleX", "scaleY", "scaleZ"};
    TFnAnimCurve curves[3];
    bool keyed[3] = {false, false, false};
    std::set<double> times;
    for (int i = 0; i < 3; ++i) {
        TStatus status;
        const TPlug plug = transform.findPlug(names[i], &status);
        if (!status || plug.isNull()) continue;
        curves[i] = TFnAnimCurve(plug, &status);
        keyed[i] = status && curves[i].numKeys() > 0;
        for (unsigned k = 0; keyed[i] && k < curves[i].numKeys(); ++k) times.insert(curves[i].time(k).as(TTime::kSeconds));
    }
    for (double t : times) {
        KZeqVector4 scaling(now[0], now[1], now[2], 0);
        for (int i = 0; i < 3; ++i)
            if (keyed[i]) scaling[i] = curves[i].evaluate(TTime(t, TTime::kSeconds));
        out.push_back(scaling);
    }
    return out;
}

// What a turn holds of a camera's mirror, as the signs of a diagonal: a mirror of two axes is the
// half turn about the third; of one axis or of three, the half turn that keeps the camera's view
// (-Z) and up (+Y) where the mirror puts them, its right (X) left mirrored, which no turn holds.
struct CameraMirror {
    double mSigns[3] = {1, 1, 1};
    bool mLost = false;  // a mirror of its right axis the turn leaves out
    bool operator!=(const CameraMirror& o) const {
        return mSigns[0] != o.mSigns[0] || mSigns[1] != o.mSigns[1] || mSigns[2] != o.mSigns[2];
    }
};

CameraMirror MirrorOf(const KZeqVector4& scaling) {
    CameraMirror mirror;
    for (int i = 0; i < 3; ++i) mirror.mSigns[i] = scaling[i] < 0 ? -1 : 1;
    mirror.mLost = mirror.mSigns[0] * mirror.mSigns[1] * mirror.mSigns[2] < 0;
    if (mirror.mLost) mirror.mSigns[0] = -mirror.mSigns[0];
    return mirror;
}

void ClearTo(KFCurve* curve, float value) {
    if (!curve) return;
    curve->Delete(KTime::MinusInfinite(), KTime::Infinite());
    curve->SetValue(value);
}

}  // namespace

TStatus ZeqTuloExport::ExportTransform(ZeqTuloNode& root) {
    if (&root == mRootNode && mLog) {
        const ZeqTuloCurveOptions options = ZeqTuloCurveOptions::FromUserParams();
        if (options.mRateReplaced) *mLog += options.RateWarning();
    }
    // What the children of a node take once every node is written: the file's node differs from
    // the host's (a light or camera turned onto the file's axis, a camera's scaling left out), or
    // their host parent is one of the host's own cameras, which the file does not hold.
    struct Correction {
        ZeqTuloNode* mNode;
        KZeqXMatrix mAbove;
        std::string mAbout;
        bool mVaries;
        bool mChildren;  // into the node's children, else into the node itself
    };
    std::vector<Correction> corrections;
    // Parent before children, children in index order, without recursion: chains may be deep.
    std::vector<ZeqTuloNode*> pending{&root};
    while (!pending.empty()) {
        ZeqTuloNode& node = *pending.back();
        pending.pop_back();
        for (int i = node.GetChildCount(false) - 1; i >= 0; --i)
            pending.push_back(static_cast<ZeqTuloNode*>(node.GetChild(i)));
        TDagPath* found = node.GetDagPath();
        if (!found) continue;
        TDagPath path = *found;

        bool light = false, camera = false;
        if (path.hasFn(kHostLight))
            light = ExportLights(path, node);
        else if (path.hasFn(kHostCamera))
            camera = ExportCamera(node);

        ExportPivots(node, KZeqNode::eSOURCE_SET);
        const KZeqVector4 hostPost = node.GetPostRotation(KZeqNode::eSOURCE_SET);
        ExportLimits(node);
        ExportRotationOrder(node);

        TFnTransform transform(path.transform());
        const bool isCamera = path.hasFn(kHostCamera);
        const bool turned = AxisTurn(path, node) != nullptr;
        // The host's scalings (now, then at its scaling keys) with its pivots, before the turn and
        // the camera's scaling of 1 change the node.
        const std::vector<KZeqVector4> hostScalings = isCamera || turned ? HostScalings(transform) : std::vector<KZeqVector4>();
        const std::vector<KZeqXMatrix> hostBefore = BeforeRotations(node, hostScalings);

        ExportDefaultTransform(transform, *node.GetDefaultTakeNode());
        KFCurve visibilityCurve;
        const bool visibility = ExportAnimatedVisibility(node, visibilityCurve);
        const bool animated = ZeqTuloUtility::IsAnimated(transform);
        const bool userProperties = ZeqTuloUtility::IsUserPropertiesAnimated(transform);

        if (animated || visibility || light || camera || userProperties) {
            SetCurrentTakeOnNode(node, kExportTakeName);
            KZeqTakeNode* take = node.GetCurrentTakeNode();
            KFCurveNode* curves = take ? take->GetKFCurveNode() : nullptr;
            if (take && curves && (animated || light || camera)) {
                ExportDefaultTransform(transform, *take);
                ConvertTuloCurve(transform, *curves, false);
                if (!IsCameraWithTarget(path, node)) AdjustTransform(node, transform, *curves);
                if (isCamera) {
                    ClearTo(take->GetScaleX(), 1.0f);
                    ClearTo(take->GetScaleY(), 1.0f);
                    ClearTo(take->GetScaleZ(), 1.0f);
                    if (node.GetTarget()) {
                        ClearTo(take->GetEulerRotationX(), 0.0f);
                        ClearTo(take->GetEulerRotationY(), 0.0f);
                        ClearTo(take->GetEulerRotationZ(), 0.0f);
                    }
                }
            }
            if (take && visibility && take->GetVisibility()) take->GetVisibility()->CopyFrom(visibilityCurve, true);
            if (userProperties) ExportUserProperties(node, transform);
        }

        KZeqTakeNode* defaults = node.GetDefaultTakeNode();
        if (isCamera && defaults) {
            defaults->GetScaleX()->SetValue(1.0f);
            defaults->GetScaleY()->SetValue(1.0f);
            defaults->GetScaleZ()->SetValue(1.0f);
        }
        if (!IsCameraWithTarget(path, node) && defaults && defaults->GetKFCurveNode())
            AdjustTransform(node, transform, *defaults->GetKFCurveNode());
        if (!hostBefore.empty()) {
            // A camera's file scaling is 1 at every time, a light's the host's.
            const std::vector<KZeqVector4> fileScalings =
                isCamera ? std::vector<KZeqVector4>(hostScalings.size(), KZeqVector4(1, 1, 1, 0)) : hostScalings;
            const bool scaled = isCamera && !SameMatrix(BeforeRotation(node, hostScalings[0]),
                                                        BeforeRotation(node, fileScalings[0]));
            const std::string about = std::string(turned ? "the forward-axis turn" : "the scaling") +
                                      (turned && scaled ? " and scaling" : "") + " of " +
                                      (isCamera ? "the camera " : "the light ") +
                                      node.GetNameWithoutNameSpacePrefix().Buffer();
            // The node itself stays where the host has it, its turn and scaling changed about its pivots.
            if (!KeepOriginThroughTurn(node, hostPost, hostScalings, fileScalings) && mLog)
                *mLog += ("ZEQ Export Warning: " + OriginAtOneTimeNote(node, about)).c_str();
            // A camera's mirror goes into its turn (AdjustTransform), as the scaling has it now.
            if (isCamera && turned && mLog) {
                const std::string name = node.GetNameWithoutNameSpacePrefix().Buffer();
                const CameraMirror now = MirrorOf(hostScalings[0]);
                bool lost = false, changes = false;
                for (const KZeqVector4& scaling : hostScalings) {
                    lost = lost || MirrorOf(scaling).mLost;
                    changes = changes || MirrorOf(scaling) != now;
                }
                if (lost)
                    *mLog += ("ZEQ Export Warning: " + name +
                              ": its scaling mirrors it in one axis or in three, which a camera cannot hold; it is "
                              "written turned to look the same way with the same up, its image not mirrored.")
                                 .c_str();
                if (changes)
                    *mLog += ("ZEQ Export Warning: " + name +
                              ": its keyed scaling mirrors it differently at other times, which the turn written for "
                              "it holds at the current time only; at other times it looks another way.")
                                 .c_str();
            }
            bool varies = false;
            const KZeqXMatrix above = ChildrenCorrectionOverTime(node, hostBefore, fileScalings, varies);
            if (!SameMatrix(above, KZeqXMatrix())) corrections.push_back({&node, above, about, varies, true});
        }
        // A node whose host parent is one of the host's own cameras at the top hangs at the top of
        // the file: the camera's transform (as it is at the host's current time) goes into its own.
        TDagPath parent = path;
        if (parent.pop(1) && parent.length() == 1 && IsHostViewCamera(parent) && node.GetParent() == mRootNode) {
            TFnTransform camera(parent);
            const TMatrix matrix = camera.transformation().asMatrix();
            KZeqXMatrix above;
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) above.mData[i][j] = matrix.matrix[i][j];
            const std::string name = TFnDependencyNode(parent.node()).name().asChar();
            if (mLog)
                *mLog += ("ZEQ Export Warning: " + std::string(node.GetNameWithoutNameSpacePrefix().Buffer()) +
                          ": the host's own camera " + name +
                          " holds it, which is not exported; it goes to the top with the camera's transform "
                          "composed into its own.")
                             .c_str();
            corrections.push_back({&node, above, "the transform of the camera " + name,
                                   ZeqTuloUtility::IsAnimated(camera), false});
        }
        ZeqTuloProgressMeter::Activate(node.GetName());
    }
    // The file's node carries its own transform, which its children take too: their own values
    // take back the difference, so that they stay where the host has them.
    for (const Correction& c : corrections) {
        const std::vector<std::string> notes = c.mChildren ? ComposeIntoChildren(*c.mNode, c.mAbove, c.mAbout, c.mVaries)
                                                           : ComposeNoted(*c.mNode, c.mAbove, c.mAbout, c.mVaries);
        for (const std::string& note : notes)
            if (mLog) *mLog += ("ZEQ Export Warning: " + note).c_str();
    }
    return TStatus::kSuccess;
}

void ZeqTuloExport::ExportDefaultTransform(TFnTransform transform, KZeqTakeNode& takeNode) {
    const TVector t = transform.translation(TSpace::kTransform);
    TEulerRotation r;
    transform.getRotation(r);
    double s[3] = {1, 1, 1};
    transform.getScale(s);
    KFCurve* translation[3] = {takeNode.GetTranslationX(), takeNode.GetTranslationY(), takeNode.GetTranslationZ()};
    KFCurve* rotation[3] = {takeNode.GetEulerRotationX(), takeNode.GetEulerRotationY(), takeNode.GetEulerRotationZ()};
    KFCurve* scaling[3] = {takeNode.GetScaleX(), takeNode.GetScaleY(), takeNode.GetScaleZ()};
    for (unsigned axis = 0; axis < 3; ++axis) {
        if (translation[axis]) translation[axis]->SetValue(static_cast<float>(t[axis]));
        if (rotation[axis]) rotation[axis]->SetValue(static_cast<float>(r[axis] * kExportRadiansToDegrees));
        if (scaling[axis]) scaling[axis]->SetValue(static_cast<float>(s[axis]));
    }
}

// The post-rotation that turns the file's forward axis of a light or camera onto the host's before
// the host's rotate axis: the file's light then points where the host's does, whatever the rotate
// axis. Its angles are X-first, as every post-rotation of the file (and as the import reads them),
// whatever the transform's rotation order.
void ZeqTuloExport::AdjustTransform(ZeqTuloNode& node, TFnTransform& transform, KFCurveNode&) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return;
    const double (*axes)[4] = AxisTurn(*path, node);
    if (!axes) return;
    const TMatrix q = transform.rotateOrientation(TSpace::kTransform).asMatrix();
    TMatrix a(axes);
    // A camera's scaling goes out as 1: its mirror, what a turn holds of it, turns the camera
    // before its rotate axis, where the scaling mirrored it.
    if (path->hasFn(kHostCamera)) {
        double scaling[3] = {1, 1, 1};
        transform.getScale(scaling);
        const CameraMirror mirror = MirrorOf(KZeqVector4(scaling[0], scaling[1], scaling[2], 0));
        TMatrix turn;
        for (int i = 0; i < 3; ++i) turn.matrix[i][i] = mirror.mSigns[i];
        a = a * turn;
    }
    a = a * q;
    KgeRMatrix inverse = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    KgeRMatrix block = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) block[i][j] = a.matrix[i][j];
    KmRi(inverse, block);
    KgeRVector angles;
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a quarter
    // turn about Y for the quarter turn itself.
    KmRtoVord(angles.mData, inverse, 0);
    node.SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(angles[0], angles[1], angles[2], 1.0));
}
