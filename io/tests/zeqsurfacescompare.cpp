// Comparer row: NURBS surfaces, patches, skin links and shapes of the nodes
// of both trees, and no deformer left in either scene.

#include <cmath>
#include <vector>

#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

// Every number of a node's surface, links and shapes in one list (link matrices went
// through a product and its inverse: compared to 1e-9), and the names in another.
void Collect(KZeqNode& node, std::vector<double>& values, std::string& names) {
    KZeqGeometry* geometry = node.GetGeometry();
    if (!geometry) return;
    auto add = [&](auto... list) { (values.push_back(static_cast<double>(list)), ...); };
    auto addAll = [&](const auto* from, int count) {
        if (from) values.insert(values.end(), from, from + count);
    };
    auto addPoints = [&](KZeqLayerContainer& container) {
        add(container.GetControlPointsCount());
        for (int i = 0; i < container.GetControlPointsCount(); ++i) addAll(&container.GetControlPoints()[i][0], 4);
    };
    if (KZeqNurb* n = node.GetNurb()) {
        add(n->GetUOrder(), n->GetVOrder(), n->GetUCount(), n->GetVCount(), n->GetNurbUType(), n->GetNurbVType(),
            n->GetUStep(), n->GetVStep(), n->GetSurfaceMode());
        addAll(n->GetUKnotVector(), n->GetUKnotCount()), addAll(n->GetVKnotVector(), n->GetVKnotCount());
        addAll(n->GetUMultiplicityVector(), n->GetUCount()), addAll(n->GetVMultiplicityVector(), n->GetVCount());
    }
    if (KZeqPatch* p = node.GetPatch())
        add(p->GetPatchUType(), p->GetPatchVType(), p->GetUCount(), p->GetVCount(), p->GetUStep(), p->GetVStep(),
            p->GetSurfaceMode(), p->GetUClosed(), p->GetVClosed(), p->GetUCappedBottom(), p->GetUCappedTop(),
            p->GetVCappedBottom(), p->GetVCappedTop());
    if (node.GetNurb() || node.GetPatch()) addPoints(*geometry);
    add(geometry->GetLinkCount(), geometry->GetShapeCount());
    for (int l = 0; l < geometry->GetLinkCount(); ++l) {
        KZeqLink& link = *geometry->GetLink(l);
        for (KZeqNode* named : {link.GetLink(), link.GetAssociateModel()}) names += named ? named->GetName() : "-";
        names += (link.GetUserDataID() + "=" + link.GetUserData() + "|").Buffer();
        add(link.GetLinkMode(), link.GetControlPointIndicesCount());
        addAll(link.GetControlPointIndices(), link.GetControlPointIndicesCount());
        addAll(link.GetControlPointWeights(), link.GetControlPointIndicesCount());
        KZeqXMatrix m[4];
        link.GetTransformMatrix(m[0]), link.GetTransformLinkMatrix(m[1]), link.GetTransformParentMatrix(m[2]);
        if (link.GetAssociateModel()) link.GetTransformAssociateModelMatrix(m[3]);
        for (const KZeqXMatrix& matrix : m) addAll(&matrix.mData[0][0], 16);
    }
    for (int s = 0; s < geometry->GetShapeCount(); ++s)
        names += std::string(geometry->GetShapeName(s)) + "|", addPoints(*geometry->GetShape(s));
}

}  // namespace

void CompareSurfacesLinksAndShapes(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    diff.Check("deformers", 0, expected.GetDeformerCount() + actual.GetDeformerCount());
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pending{{expected.GetRootNode(), actual.GetRootNode()}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        std::vector<double> x, y;
        std::string p, q;
        Collect(*a, x, p), Collect(*b, y, q);
        const std::string path = std::string(a->GetName()) + ".geometry";
        diff.Check(path + ".names", KString(p.c_str()), KString(q.c_str()));
        diff.Check(path + ".numbers", x.size(), y.size());
        for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i)
            if (!(std::fabs(x[i] - y[i]) <= 1e-9)) diff.Check(path + "[" + std::to_string(i) + "]", x[i], y[i]);
        for (int i = std::min(a->GetChildCount(), b->GetChildCount()); i-- > 0;)
            pending.emplace_back(a->GetChild(i), b->GetChild(i));
    }
}

}  // namespace zeqiotest
