// Host skin clusters of the skin links of a subtree: one cluster per geometry that this import
// made, its influences the joints that the links name, weights per control point (normalised per
// point when the user asks), "geomMatrix" the links' Transform, "bindPreMatrix"[i] the inverse of
// influence i's TransformLink and the joint's "bindPose" that TransformLink: what the export reads
// back as links and bind matrices. Links of other kinds (cluster links, additive ones), links
// whose node has no host node and weights beyond the points are left out with a log line.
#include <cmath>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"

using namespace zeqsdk_400;

namespace {

const char kClusterHint[] = "Tulo_ClusterHint";

// An influence: its host node and the links that weigh with it (one node may be named twice).
struct Influence {
    ZeqTuloNode* mNode;
    std::vector<KZeqLink*> mLinks;
};

// Where each Zeq control point lies among the host's points: a mesh's vertex of the same index;
// a surface's CV (Zeq U is the host's V, so point (u, v) is host (v, u)), with the copies that a
// closed or periodic direction repeats at its end, which must move with the point they repeat.
class PointMap {
public:
    // False when the host's points do not fit the file's.
    bool Init(KZeqGeometry& geometry, const TDagPath& shape) {
        mZeqCount = geometry.GetControlPointsCount();
        if (KZeqNurb* nurb = dynamic_cast<KZeqNurb*>(&geometry)) {
            TFnNurbsSurface host(shape);
            mCountU = nurb->GetUCount();
            mCountV = nurb->GetVCount();
            mRowLength = host.numCVsInV();
            mRows = host.numCVsInU();
            mRepeatU = mRowLength - mCountU;
            mRepeatV = mRows - mCountV;
            mHostCount = mRowLength * mRows;
            const bool closedU = nurb->GetNurbUType() != KZeqNurb::eOPEN, closedV = nurb->GetNurbVType() != KZeqNurb::eOPEN;
            const auto fits = [](int repeat, bool closed, int order, int count) {
                return repeat == 0 || (closed && repeat == order - 1 && repeat <= count);
            };
            return mCountU > 0 && mCountV > 0 && mZeqCount == mCountU * mCountV &&
                   fits(mRepeatU, closedU, nurb->GetUOrder(), mCountU) && fits(mRepeatV, closedV, nurb->GetVOrder(), mCountV);
        }
        mHostCount = TFnMesh(shape).numVertices();
        return mHostCount == mZeqCount;
    }
    int ZeqCount() const { return mZeqCount; }
    int HostCount() const { return mHostCount; }
    // Adds the value to the Zeq point's host points.
    void Add(std::vector<double>& host, int point, double value) const {
        if (mRowLength == 0) {
            host[static_cast<std::size_t>(point)] += value;
            return;
        }
        const int u = point % mCountU, v = point / mCountU;
        for (int row : {v, v < mRepeatV ? v + mCountV : -1}) {
            if (row < 0) continue;
            for (int column : {u, u < mRepeatU ? u + mCountU : -1})
                if (column >= 0) host[static_cast<std::size_t>(row * mRowLength + column)] += value;
        }
    }

private:
    int mZeqCount = 0, mHostCount = 0;
    int mCountU = 0, mCountV = 0, mRowLength = 0, mRows = 0, mRepeatU = 0, mRepeatV = 0;
};

void MatrixValues(const KZeqXMatrix& matrix, double* values) {
    // A negative zero of a decomposed matrix is written as 0.
    for (int k = 0; k < 16; ++k) values[k] = matrix.mData[k / 4][k % 4] + 0.0;
}

class SkinBuilder {
public:
    explicit SkinBuilder(ZeqTuloImport& driver) : mDriver(driver) {}
    void Build(ZeqTuloNode& node);

private:
    void Log(const std::string& line) { mDriver.LogLine(line.c_str()); }
    ZeqTuloImport& mDriver;
};

void SkinBuilder::Build(ZeqTuloNode& node) {
    if (node.mIsPresent || !node.GetDagPath() || !node.GetDagPath()->isValid()) return;
    KZeqGeometry* geometry = node.GetGeometry();
    if (!geometry || geometry->GetLinkCount() == 0) return;
    const std::string name = node.GetNameWithoutNameSpacePrefix().Buffer();

    // The skin links, by influence in the order first named.
    std::vector<Influence> influences;
    int notSkin = 0, noHost = 0;
    for (int i = 0; i < geometry->GetLinkCount(); ++i) {
        KZeqLink* link = geometry->GetLink(i);
        if (!link) continue;
        if (link->GetLinkMode() != KZeqLink::eNORMALIZE || link->GetUserDataID().CompareNoCase(kClusterHint) == 0) {
            ++notSkin;
            continue;
        }
        ZeqTuloNode* linked = static_cast<ZeqTuloNode*>(link->GetLink());
        if (!linked || !linked->GetDagPath() || !linked->GetDagPath()->isValid()) {
            ++noHost;
            continue;
        }
        bool known = false;
        for (Influence& influence : influences)
            if (influence.mNode == linked) influence.mLinks.push_back(link), known = true;
        if (!known) influences.push_back({linked, {link}});
    }
    if (notSkin > 0)
        Log("Node " + name + ": " + std::to_string(notSkin) + (notSkin == 1 ? " link is" : " links are") +
            " not a skin link (cluster or additive); left out.");
    if (noHost > 0)
        Log("Node " + name + ": " + std::to_string(noHost) + (noHost == 1 ? " link names a node" : " links name nodes") +
            " without a host node; left out.");
    // Only joints carry a skin's bind pose here: other influences are reported and left out.
    for (std::size_t i = 0; i < influences.size();) {
        if (influences[i].mNode->GetDagPath()->node().hasFn(TFn::kJoint)) {
            ++i;
            continue;
        }
        Log("Node " + name + ": influence " + influences[i].mNode->GetNameWithoutNameSpacePrefix().Buffer() +
            " is not a joint; its weights are left out.");
        influences.erase(influences.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (influences.empty()) return;

    TDagPath shape;
    const bool surface = node.GetNurb() != nullptr;
    PointMap points;
    if (!ShapePath(node, surface ? TFn::kNurbsSurface : TFn::kMesh, shape) || !points.Init(*geometry, shape)) {
        Log("Node " + name + ": its host shape does not hold the file's points; no skin.");
        return;
    }

    TDagPathArray paths;
    for (const Influence& influence : influences) paths.append(*influence.mNode->GetDagPath());
    TStatus status;
    TFnSkinCluster skin;
    TObject cluster = skin.create(shape.node(), paths, &status);
    if (!status) {
        Log("Node " + name + ": the host could not make its skin cluster.");
        return;
    }
    (void)cluster;

    // Bind matrices as the file has them: the geometry's, and each influence's.
    double values[16];
    KZeqXMatrix matrix;
    TPlug plug;
    if (ZeqTuloUtility::GetPlug(skin, "geomMatrix", plug)) {
        influences.front().mLinks.front()->GetTransformMatrix(matrix);
        MatrixValues(matrix, values);
        ZeqTuloUtility::SetPlugMatrix(plug, values, true);
    }
    TPlug preMatrices;
    const bool havePre = ZeqTuloUtility::GetPlug(skin, "bindPreMatrix", preMatrices);
    for (std::size_t i = 0; i < influences.size(); ++i) {
        KZeqXMatrix bind;
        influences[i].mLinks.front()->GetTransformLinkMatrix(bind);
        if (havePre) {
            KZeqXMatrix inverse;
            KmAiA(inverse, bind, KZeqMatrix());
            MatrixValues(inverse, values);
            ZeqTuloUtility::SetPlugMatrix(preMatrices.elementByLogicalIndex(static_cast<unsigned>(i)), values, true);
        }
        TPlug bindPose;
        TFnDependencyNode joint(influences[i].mNode->GetDagPath()->node());
        if (ZeqTuloUtility::GetPlug(joint, "bindPose", bindPose)) {
            MatrixValues(bind, values);
            ZeqTuloUtility::SetPlugMatrix(bindPose, values, false);
        }
    }

    // Per point, the sum of its weights: normalised when the user asks, unless it is 0.
    const bool normalise = ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kImportForceWeightNormalize);
    const int zeqCount = points.ZeqCount();
    std::vector<double> sum;
    if (normalise) sum.assign(static_cast<std::size_t>(zeqCount), 0.0);
    int beyond = 0;
    for (const Influence& influence : influences)
        for (KZeqLink* link : influence.mLinks) {
            const int n = link->GetControlPointIndicesCount();
            const int* index = link->GetControlPointIndices();
            const double* weight = link->GetControlPointWeights();
            for (int k = 0; k < n; ++k) {
                if (index[k] < 0 || index[k] >= zeqCount || !std::isfinite(weight[k])) {
                    ++beyond;
                    continue;
                }
                if (normalise) sum[static_cast<std::size_t>(index[k])] += weight[k];
            }
        }
    if (beyond > 0)
        Log("Node " + name + ": " + std::to_string(beyond) + " skin weights name no point of it (or are no number); left out.");

    // One influence's weights at a time, in one call each.
    std::vector<double> column;
    TDoubleArray hostWeights;
    for (std::size_t i = 0; i < influences.size(); ++i) {
        column.assign(static_cast<std::size_t>(points.HostCount()), 0.0);
        for (KZeqLink* link : influences[i].mLinks) {
            const int n = link->GetControlPointIndicesCount();
            const int* index = link->GetControlPointIndices();
            const double* weight = link->GetControlPointWeights();
            for (int k = 0; k < n; ++k) {
                if (index[k] < 0 || index[k] >= zeqCount || !std::isfinite(weight[k])) continue;
                const double total = normalise ? sum[static_cast<std::size_t>(index[k])] : 0.0;
                points.Add(column, index[k], total != 0.0 ? weight[k] / total : weight[k]);
            }
        }
        hostWeights.values().assign(column.begin(), column.end());
        if (!skin.setWeights(shape, TObject::kNullObj, static_cast<unsigned>(i), hostWeights))
            Log("Node " + name + ": the host refused the weights of influence " +
                influences[i].mNode->GetNameWithoutNameSpacePrefix().Buffer() + ".");
    }
}

}  // namespace

void ZeqTuloImport::BuildClusterInformation(ZeqTuloNode* node) {
    if (!node) return;
    SkinBuilder builder(*this);
    VisitDepthFirst(node, [&builder](ZeqTuloNode& current) { builder.Build(current); });
}
