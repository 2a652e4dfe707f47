// Comparer row: NURBS surfaces, patches, skin links and shapes of the nodes
// of both trees, and no deformer left in either scene.

#include <cmath>
#include <vector>

#include "content/kzeqlayer.h"
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

void ComparePoints(const std::string& path, KZeqLayerContainer& a, KZeqLayerContainer& b, ZeqDiff& diff) {
    diff.Check(path + ".points", a.GetControlPointsCount(), b.GetControlPointsCount());
    for (int i = 0; i < std::min(a.GetControlPointsCount(), b.GetControlPointsCount()); ++i)
        for (int c = 0; c < 4; ++c)
            diff.Check(path + ".point" + std::to_string(i) + "[" + std::to_string(c) + "]", a.GetControlPoints()[i][c],
                       b.GetControlPoints()[i][c]);
}

// Matrices after a multiplication and its inverse agree to rounding.
void CompareMatrix(const std::string& path, const KZeqXMatrix& a, const KZeqXMatrix& b, ZeqDiff& diff) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (std::fabs(a.mData[r][c] - b.mData[r][c]) > 1e-9)
                diff.mFields.push_back(path + "[" + std::to_string(r) + "][" + std::to_string(c) +
                                       "]: " + ZeqDiff::Text(a.mData[r][c]) + " != " + ZeqDiff::Text(b.mData[r][c]));
}

void CompareLink(const std::string& path, KZeqLink& a, KZeqLink& b, ZeqDiff& diff) {
    auto name = [](KZeqNode* node) { return KString(node ? node->GetName() : ""); };
    diff.Check(path + ".node", name(a.GetLink()), name(b.GetLink()));
    diff.Check(path + ".associate", name(a.GetAssociateModel()), name(b.GetAssociateModel()));
    diff.Check(path + ".mode", static_cast<int>(a.GetLinkMode()), static_cast<int>(b.GetLinkMode()));
    diff.Check(path + ".userDataID", a.GetUserDataID(), b.GetUserDataID());
    diff.Check(path + ".userData", a.GetUserData(), b.GetUserData());
    const int n = a.GetControlPointIndicesCount();
    diff.Check(path + ".indices", n, b.GetControlPointIndicesCount());
    for (int i = 0; i < std::min(n, b.GetControlPointIndicesCount()); ++i) {
        diff.Check(path + ".index" + std::to_string(i), a.GetControlPointIndices()[i], b.GetControlPointIndices()[i]);
        diff.Check(path + ".weight" + std::to_string(i), a.GetControlPointWeights()[i], b.GetControlPointWeights()[i]);
    }
    KZeqXMatrix x, y;
    CompareMatrix(path + ".transform", a.GetTransformMatrix(x), b.GetTransformMatrix(y), diff);
    CompareMatrix(path + ".transformLink", a.GetTransformLinkMatrix(x), b.GetTransformLinkMatrix(y), diff);
    if (a.GetAssociateModel())
        CompareMatrix(path + ".transformAssociate", a.GetTransformAssociateModelMatrix(x),
                      b.GetTransformAssociateModelMatrix(y), diff);
    CompareMatrix(path + ".transformParent", a.GetTransformParentMatrix(x), b.GetTransformParentMatrix(y), diff);
}

void CompareGeometry(const std::string& path, KZeqNode& x, KZeqNode& y, ZeqDiff& diff) {
    KZeqGeometry* a = x.GetGeometry();
    KZeqGeometry* b = y.GetGeometry();
    if (!a || !b) return;
    if (KZeqNurb* n = x.GetNurb(), *m = y.GetNurb(); n && m) {
        diff.Check(path + ".nurb.orders", n->GetUOrder() * 1000 + n->GetVOrder(),
                   m->GetUOrder() * 1000 + m->GetVOrder());
        diff.Check(path + ".nurb.counts", n->GetUCount() * 1000 + n->GetVCount(),
                   m->GetUCount() * 1000 + m->GetVCount());
        diff.Check(path + ".nurb.types", n->GetNurbUType() * 10 + n->GetNurbVType(),
                   m->GetNurbUType() * 10 + m->GetNurbVType());
        diff.Check(path + ".nurb.steps", n->GetUStep() * 1000 + n->GetVStep(), m->GetUStep() * 1000 + m->GetVStep());
        diff.Check(path + ".nurb.mode", static_cast<int>(n->GetSurfaceMode()), static_cast<int>(m->GetSurfaceMode()));
        for (int d = 0; d < 2; ++d) {
            const int knots = d == 0 ? n->GetUKnotCount() : n->GetVKnotCount();
            const int count = d == 0 ? n->GetUCount() : n->GetVCount();
            double* k = d == 0 ? n->GetUKnotVector() : n->GetVKnotVector();
            double* l = d == 0 ? m->GetUKnotVector() : m->GetVKnotVector();
            int* p = d == 0 ? n->GetUMultiplicityVector() : n->GetVMultiplicityVector();
            int* q = d == 0 ? m->GetUMultiplicityVector() : m->GetVMultiplicityVector();
            const std::string dir = d == 0 ? ".u" : ".v";
            if (k && l)
                for (int i = 0; i < knots; ++i) diff.Check(path + dir + "knot" + std::to_string(i), k[i], l[i]);
            if (p && q)
                for (int i = 0; i < count; ++i) diff.Check(path + dir + "multiplicity" + std::to_string(i), p[i], q[i]);
        }
    }
    if (KZeqPatch* n = x.GetPatch(), *m = y.GetPatch(); n && m) {
        diff.Check(path + ".patch.types", n->GetPatchUType() * 10 + n->GetPatchVType(),
                   m->GetPatchUType() * 10 + m->GetPatchVType());
        diff.Check(path + ".patch.counts", n->GetUCount() * 1000 + n->GetVCount(),
                   m->GetUCount() * 1000 + m->GetVCount());
        diff.Check(path + ".patch.steps", n->GetUStep() * 1000 + n->GetVStep(), m->GetUStep() * 1000 + m->GetVStep());
        const int flags[2] = {n->GetUClosed() + 2 * n->GetVClosed() + 4 * n->GetUCappedBottom() +
                                  8 * n->GetUCappedTop() + 16 * n->GetVCappedBottom() + 32 * n->GetVCappedTop(),
                              m->GetUClosed() + 2 * m->GetVClosed() + 4 * m->GetUCappedBottom() +
                                  8 * m->GetUCappedTop() + 16 * m->GetVCappedBottom() + 32 * m->GetVCappedTop()};
        diff.Check(path + ".patch.flags", flags[0], flags[1]);
        diff.Check(path + ".patch.mode", static_cast<int>(n->GetSurfaceMode()), static_cast<int>(m->GetSurfaceMode()));
    }
    if (x.GetNurb() || x.GetPatch()) ComparePoints(path, *a, *b, diff);
    diff.Check(path + ".links", a->GetLinkCount(), b->GetLinkCount());
    for (int i = 0; i < std::min(a->GetLinkCount(), b->GetLinkCount()); ++i)
        CompareLink(path + ".link" + std::to_string(i), *a->GetLink(i), *b->GetLink(i), diff);
    diff.Check(path + ".shapes", a->GetShapeCount(), b->GetShapeCount());
    for (int i = 0; i < std::min(a->GetShapeCount(), b->GetShapeCount()); ++i) {
        const std::string shape = path + ".shape" + std::to_string(i);
        diff.Check(shape + ".name", KString(a->GetShapeName(i)), KString(b->GetShapeName(i)));
        ComparePoints(shape, *a->GetShape(i), *b->GetShape(i), diff);
    }
}

}  // namespace

void CompareSurfacesLinksAndShapes(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    diff.Check("deformers", 0, expected.GetDeformerCount());
    diff.Check("deformers", 0, actual.GetDeformerCount());
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pending{{expected.GetRootNode(), actual.GetRootNode()}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        CompareGeometry(a->GetName(), *a, *b, diff);
        for (int i = std::min(a->GetChildCount(), b->GetChildCount()); i-- > 0;)
            pending.emplace_back(a->GetChild(i), b->GetChild(i));
    }
}

}  // namespace zeqiotest
