// One host NURBS surface as a Zeq NURBS: U and V exchanged, degrees become orders, each knot
// vector gains a knot at either end, periodic directions drop their repeated control vertices and
// the shaded display precision becomes the step.
#include <cmath>
#include <string>

#include "content/kzeqnurb.h"
#include "plugin/export/zeqtuloexport.h"
#include "tfnnurbssurface.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {

// Host form to Zeq knot type: open and closed both open, periodic periodic; invalid forms none.
bool NurbType(int form, KZeqNurb::ENurbType& type) {
    switch (form) {
    case TFnNurbsSurface::kOpen:
    case TFnNurbsSurface::kClosed: type = KZeqNurb::eOPEN; return true;
    case TFnNurbsSurface::kPeriodic: type = KZeqNurb::ePERIODIC; return true;
    default: return false;
    }
}

// The host knots k[0..n-1] with 2k[0]-k[1] before and 2k[n-1]-k[n-2] after (n >= 2).
template <class Knot>
void ExtendedKnots(double* out, int n, Knot knot) {
    for (int i = 0; i < n; ++i) out[i + 1] = knot(i);
    out[0] = 2.0 * out[1] - out[2];
    out[n + 1] = 2.0 * out[n] - out[n - 1];
}

}  // namespace

ZeqTuloNode* ZeqTuloExport::ExportGeometryNurb(TDagPath& path, TFnDagNode& node) {
    ShapeRead read(mLog.get(), path, node, mWrapWarningShown);
    if (!read.mFound) return nullptr;
    TStatus& status = read.mStatus;
    const TObject& shape = read.mShape;
    const TObject& inputShape = read.mInputShape;
    TFnNurbsSurface s1(shape);
    TFnNurbsSurface s2(inputShape, &status);
    if (!status) {
        status.perror("TFnNurbsSurface constructor");
        return nullptr;
    }
    TFnNurbsSurface s3;
    const bool fromData = !read.mInputGeometry.isNull() && s3.setObject(read.mInputGeometry);

    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    made->SetShadingMode(KZeqNode::eTEXTURE_SHADING);
    made->SetShapeIndex(0);
    made->SetVisibility(SkinnedVisibility(node, s1, shape, inputShape));
    RegisterNode(made, path);

    const int degreeU = s2.degreeU(), degreeV = s2.degreeV();
    const int knotsV = s2.numKnotsInV(), knotsU = s2.numKnotsInU();
    int cvsV = s2.numCVsInV(), cvsU = s2.numCVsInU();
    KZeqNurb::ENurbType typeU, typeV;  // Zeq U is the host's V
    if (!NurbType(s2.formInV(), typeU) || !NurbType(s2.formInU(), typeV)) return made;
    // Knot vectors of fewer than 2 knots cannot be extended, and a direction needs more vertices
    // than its degree: such a surface is not written.
    if (knotsU < 2 || knotsV < 2 || degreeU < 1 || degreeV < 1 || cvsU <= degreeU || cvsV <= degreeV) {
        if (mLog) {
            std::string line = std::string("ZEQ Export Warning: The NURBS surface ") + node.name().asChar() +
                               " has too few knots or control vertices; it is exported without its surface.";
            *mLog += line.c_str();
        }
        return made;
    }
    // A periodic direction repeats its first `degree` vertices at its end: they are left out.
    if (typeU == KZeqNurb::ePERIODIC) cvsV -= degreeV;
    if (typeV == KZeqNurb::ePERIODIC) cvsU -= degreeU;
    KZeqNurb* nurb = mSdkManager.CreateKZeqNurb();
    if (!nurb) return made;
    nurb->SetOrder(static_cast<unsigned>(degreeV + 1), static_cast<unsigned>(degreeU + 1));
    if (!nurb->InitControlPoints(cvsV, typeU, cvsU, typeV) || nurb->GetUKnotCount() != knotsV + 2 ||
        nurb->GetVKnotCount() != knotsU + 2) {
        mSdkManager.DestroyKZeqNodeAttribute(nurb);
        return made;
    }

    double precision = 1.0;
    TPlug plug = s2.findPlug("curvePrecisionShaded", &status);
    if (status && !plug.isNull()) plug.getValue(precision);
    if (!(precision < 15.0)) precision = std::isnan(precision) ? 1.0 : 15.0;
    const int step = precision < -2147483647.0 ? 1 : static_cast<int>(precision);  // toward zero
    nurb->SetStep(step, step);

    ExtendedKnots(nurb->GetUKnotVector(), knotsV, [&](int i) { return s2.knotInV(i); });
    ExtendedKnots(nurb->GetVKnotVector(), knotsU, [&](int i) { return s2.knotInU(i); });

    const TFnNurbsSurface& cvSource = fromData ? s3 : s2;
    KZeqVector4* points = nurb->GetControlPoints();
    TPoint point;
    int next = 0;
    for (int i = 0; i < cvsU; ++i)
        for (int j = 0; j < cvsV; ++j) {
            cvSource.getCV(i, j, point, TSpace::kObject);
            points[next++] = KZeqVector4(point.x, point.y, point.z, point.w);
        }
    made->SetNodeAttribute(nurb);
    return made;
}
