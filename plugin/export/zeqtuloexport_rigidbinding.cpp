// Cluster deformers as additive cluster links: for each cluster handle under an exported
// transform, each member of the cluster's set yields a link on its geometry with the member's
// points and cluster weights, and, for a cluster that is not relative, a compensation link on the
// handle's parent.
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtuloutility.h"
#include "tfncomponent.h"
#include "tfnshading.h"
#include "titdependencygraph.h"

using namespace zeqsdk_400;

namespace {

const char kHintId[] = "Tulo_ClusterHint";

struct Point {
    int mIndex;
    double mWeight;
};

// One weight of the cluster: W's element at the point's index. False when it cannot be read.
bool ReadWeight(const TPlug& weights, int index, double& weight, bool report) {
    if (index < 0) return false;
    TStatus status;
    const TPlug element = weights.elementByLogicalIndex(static_cast<unsigned>(index), &status);
    if (report) DebugCheckStatus(status, nullptr);
    if (!status) return false;
    status = element.getValue(weight);
    if (report) DebugCheckStatus(status, nullptr);
    return status;
}

// The "outputGeometry" element whose geometry is the member's and whose "input" element has a
// connected group id; its logical index, or false when there is none.
bool OutputElementOf(const TPlug& outputs, const TPlug& inputs, const TObject& groupId, const TObject& geometry,
                     int filter, unsigned& logical, TStatus& status) {
    const unsigned count = outputs.numElements(&status);
    for (unsigned e = 0; e < count; ++e) {
        const TPlug element = outputs.elementByPhysicalIndex(e, &status);
        DebugCheckStatus(status, "Logical index not found");
        logical = element.logicalIndex(&status);
        DebugCheckStatus(status, "Logical index not found");
        TItDependencyGraph downstream(element, filter, TItDependencyGraph::kDownstream, TItDependencyGraph::kDepthFirst,
                                      TItDependencyGraph::kPlugLevel, &status);
        if (!status || downstream.isDone() || !(downstream.thisNode() == geometry)) continue;
        const TPlug input = inputs.elementByLogicalIndex(logical, &status);
        DebugCheckStatus(status, "Input not found");
        if (!status) continue;
        const TPlug group = input.child(groupId, &status);
        DebugCheckStatus(status, "Group ID not found");
        if (!status) continue;
        if (group.isConnected(&status)) return true;
    }
    return false;
}

}  // namespace

void ZeqTuloExport::ExportRigidBinding(ZeqTuloNode* start) {
    if (!start) return;
    VisitWithNodeIndex(start, [this](ZeqTuloNode* node) {
        ZeqTuloProgressMeter::Activate(node->GetName());
        if (TDagPath* path = node->GetDagPath()) {
            for (unsigned i = 0; i < path->childCount(); ++i)
                if (static_cast<int>(path->child(i).apiType()) == kHostClusterHandle) ExportRigidBinding(path, static_cast<int>(i), node);
        }
    });
}

void ZeqTuloExport::ExportRigidBinding(TDagPath* path, int childIndex, ZeqTuloNode* node) {
    if (!path || childIndex < 0 || !node) return;
    TObject handle = path->child(static_cast<unsigned>(childIndex));
    TObject deformer;
    if (!ZeqTuloUtility::GetDependencyOfThisType(&handle, kHostCluster, &deformer, TItDependencyGraph::kDownstream,
                                                 TFn::kInvalid) &&
        !ZeqTuloUtility::GetDependencyOfThisType(&handle, kHostSecondCluster, &deformer,
                                                 TItDependencyGraph::kDownstream, TFn::kInvalid))
        return;
    if (node->mMeshMismatch) return;

    TStatus status;
    const TFnDependencyNode cluster(deformer, &status);
    DebugCheckStatus(status, nullptr);
    if (!status) return;
    const TObject wl = cluster.attribute("wl");
    const TObject weightsAttribute = cluster.attribute("weights");
    const TPlug outputs = cluster.findPlug("outputGeometry");
    const TPlug inputs = cluster.findPlug("input");
    const TObject groupId = cluster.findPlug("groupId").attribute();
    TPlug weights(deformer, weightsAttribute);
    if (weights.isNull()) DebugCheckStatus(status = TStatus::kFailure, nullptr);

    // The set: the one node fed by the deformer's "message".
    TPlugArray destinations;
    cluster.findPlug("message").connectedTo(destinations, false, true);
    if (destinations.length() != 1) return;
    const TObject set = destinations[0].node();
    if (!set.hasFn(kHostSet)) return;
    TSelectionList members;
    status = TFnSet(set).getMembers(members, true);
    DebugCheckStatus(status, nullptr);

    bool relative = false;
    if (!cluster.findPlug("relative").getValue(relative)) relative = false;
    const TFnDagNode transform(path->node());
    const bool belowTop = transform.parentCount() > 0 && TFnDagNode(transform.parent(0)).parentCount() > 0;
    auto* associate = static_cast<ZeqTuloNode*>(node->GetParent());
    if (!belowTop || associate == mRootNode) associate = nullptr;

    std::vector<Point> points;
    for (TItSelectionList it(members, kHostAnyDagItem); !it.isDone(); it.next()) {
        TDagPath member;
        TObject component;
        status = it.getDagPath(member, component);
        DebugCheckStatus(status, nullptr);
        const bool vertices = component.hasFn(kHostMeshVertexComponent);
        const bool cvs = component.hasFn(kHostSurfaceCVComponent);
        bool found = false;
        unsigned logical = 0;
        if (vertices || cvs)
            found = OutputElementOf(outputs, inputs, groupId, member.node(), cvs ? kHostNurbsSurface : kHostMesh,
                                    logical, status);
        DebugCheckStatus(status, "Output geometry plug not found");
        // Without its own "wl" element the member has no weights of its own: it is skipped.
        if (!found) continue;
        status = weights.selectAncestorLogicalIndex(logical, wl);
        DebugCheckStatus(status, "Init logical index fail.");
        if (!status) continue;

        ZeqTuloNode* target = GetNodeWithThisChildren(mRootNode, &member);
        KZeqGeometry* geometry = GeometryAttribute(target);
        if (!geometry) continue;
        const int count = geometry->GetControlPointsCount();
        points.clear();
        if (vertices) {
            TItMeshVertex vertex(member, component, &status);
            DebugCheckStatus(status, nullptr);
            for (; status && !vertex.isDone(); vertex.next()) {
                const int index = vertex.index();
                double weight = 0;
                // A weight that cannot be read drops its point.
                if (!ReadWeight(weights, index, weight, true)) continue;
                if (static_cast<int>(points.size()) < count && index >= 0 && index < count) points.push_back({index, weight});
            }
        } else if (geometry->GetAttributeType() == KZeqNodeAttribute::eNURB) {
            const auto* nurb = static_cast<KZeqNurb*>(geometry);
            const int uCount = nurb->GetUCount(), vCount = nurb->GetVCount();
            for (TItSurfaceCV cv(member, component, true); !cv.isDone(); cv.next()) {
                double weight = 0;
                if (!ReadWeight(weights, cv.index(), weight, false)) continue;
                int u = -1, v = -1;
                cv.getIndex(u, v);
                if (static_cast<long long>(points.size()) < static_cast<long long>(uCount) * vCount && v >= 0 &&
                    v < uCount && u >= 0 && u < vCount)
                    points.push_back({u * uCount + v, weight});
            }
        }
        if (points.empty()) continue;

        KZeqLink* link = mSdkManager.CreateKZeqLink();
        if (!link) continue;
        link->SetLinkMode(KZeqLink::eADDITIVE);
        link->SetLink(node);
        for (const Point& p : points) link->AddControlPointIndex(p.mIndex, p.mWeight);
        link->SetUserData(kHintId, relative ? "WeightedRelativeCluster" : "WeightedCluster");
        geometry->AddLink(link);
        const KZeqXMatrix geometryMatrix = target->GetGlobalMatrix(KZeqNode::eSOURCE_SET, false);
        link->SetTransformLinkMatrix(node->GetGlobalMatrix(KZeqNode::eSOURCE_SET, false));
        link->SetTransformMatrix(geometryMatrix);
        if (!associate) continue;
        const KZeqXMatrix associateMatrix = associate->GetGlobalMatrix(KZeqNode::eSOURCE_SET, false);
        link->SetAssociateModel(associate);
        link->SetTransformAssociateModelMatrix(associateMatrix);
        if (relative) continue;
        // The handle's parent moves the points too: a link of full weights undoes it.
        KZeqLink* compensation = mSdkManager.CreateKZeqLink();
        if (!compensation) continue;
        compensation->SetLinkMode(KZeqLink::eADDITIVE);
        compensation->SetLink(associate);
        for (const Point& p : points) compensation->AddControlPointIndex(p.mIndex, 1.0);
        compensation->SetTransformLinkMatrix(associateMatrix);
        compensation->SetTransformMatrix(geometryMatrix);
        compensation->SetUserData(kHintId, "CompensationCluster");
        geometry->AddLink(compensation);
    }
}
