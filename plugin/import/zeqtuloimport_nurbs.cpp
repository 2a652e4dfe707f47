// NURBS surfaces: Zeq U becomes host V; closed and periodic directions repeat their first points
// at the end; the host takes two knots fewer per direction, rounded to six decimals; points keep
// their weights.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "content/kzeqnurb.h"
#include "plugin/import/zeqtuloimport.h"
#include "tfnnurbssurface.h"
#include "tfndeformer.h"
#include "tfntransform.h"
#include "tplug.h"
#include "tplugin.h"

using namespace zeqsdk_400;

namespace {

// The nearest number with six decimals, as printing with "%f" and reading back gives.
double Round6(double value) {
    char text[512];
    std::snprintf(text, sizeof(text), "%f", value);
    return std::strtod(text, nullptr);
}

bool IsClosedOrPeriodic(KZeqNurb::ENurbType type) { return type == KZeqNurb::ePERIODIC || type == KZeqNurb::eCLOSED; }

// The host knots of a direction: the Zeq ones less the first and the last.
void HostKnots(const double* knots, int count, TDoubleArray& out) {
    out.clear();
    if (!knots || count < 3) return;
    out.setLength(static_cast<unsigned>(count - 2));
    for (int i = 1; i < count - 1; ++i) out[static_cast<unsigned>(i - 1)] = Round6(knots[i]);
}

// Periodic (3) when the knots are evenly spaced within 1e-7, else open (1) with the flag set. Fewer
// than two knots have no spacing: open.
int ClosedForm(const TDoubleArray& knots, bool* open) {
    const unsigned n = knots.length();
    bool even = n >= 2;
    if (even) {
        const double step = knots[1] - knots[0];
        for (unsigned i = 2; i < n && even; ++i) even = std::fabs((knots[i] - knots[i - 1]) - step) <= 1e-7;
    }
    if (!even && open) *open = true;
    return even ? TFnNurbsSurface::kPeriodic : TFnNurbsSurface::kOpen;
}

// What in the surface's orders the host cannot take, in the file's directions: it takes degrees 1
// to 7 over more rows than the degree (a closed or periodic direction repeats order - 1 of them);
// "" when they fit. Only words a refusal: the host is the judge.
std::string OrderProblem(const KZeqNurb& nurb) {
    struct Direction {
        const char* mName;
        int mOrder, mCount;
        bool mClosed;
    };
    const Direction directions[] = {{"U", nurb.GetUOrder(), nurb.GetUCount(), IsClosedOrPeriodic(nurb.GetNurbUType())},
                                    {"V", nurb.GetVOrder(), nurb.GetVCount(), IsClosedOrPeriodic(nurb.GetNurbVType())}};
    for (const Direction& d : directions) {
        const std::string order = "its order in " + std::string(d.mName) + " is " + std::to_string(d.mOrder);
        if (d.mOrder < 2 || d.mOrder > 8) return order + " (the host takes orders 2 to 8)";
        const int least = d.mClosed ? d.mOrder - 1 : d.mOrder;
        if (d.mCount < least)
            return order + " over only " + std::to_string(d.mCount) + " control points in " + d.mName +
                   " (the host needs " + std::to_string(least) + ")";
    }
    return "";
}

// Knots that are no number or run backwards, or a point that is no number, in the host's arrays
// (knotsU from the file's U); "" when there is none.
std::string ValueProblem(const TDoubleArray& knotsU, const TDoubleArray& knotsV, const TPointArray& cvs) {
    const std::pair<const char*, const TDoubleArray*> directions[] = {{"U", &knotsU}, {"V", &knotsV}};
    for (const auto& [name, knots] : directions) {
        for (unsigned i = 0; i < knots->length(); ++i) {
            if (!std::isfinite((*knots)[i])) return std::string("a knot in ") + name + " is not a finite number";
            if (i > 0 && (*knots)[i] < (*knots)[i - 1]) return std::string("its knots in ") + name + " decrease";
        }
    }
    for (unsigned i = 0; i < cvs.length(); ++i)
        if (!std::isfinite(cvs[i].x) || !std::isfinite(cvs[i].y) || !std::isfinite(cvs[i].z))
            return "a control point is not a finite number";
    return "";
}

}  // namespace

void ZeqTuloImport::GetNURBData(KZeqNurb* nurb, KZeqVector4* points, TPointArray& cvs, TDoubleArray& knotsA,
                                TDoubleArray& knotsB, int& degreeA, int& degreeB, int& formA, int& formB,
                                TStatus* status, bool* openU, bool* openV) {
    if (openU) *openU = false;
    if (openV) *openV = false;
    if (!nurb) return;
    const int countU = nurb->GetUCount(), countV = nurb->GetVCount();
    const bool closedU = IsClosedOrPeriodic(nurb->GetNurbUType());
    const bool closedV = IsClosedOrPeriodic(nurb->GetNurbVType());
    // A repeat never reaches past a row or past the rows there are.
    const int repeatU = closedU ? std::max(0, std::min(nurb->GetUOrder() - 1, countU)) : 0;
    const int repeatV = closedV ? std::max(0, std::min(nurb->GetVOrder() - 1, countV)) : 0;

    if (points && countU > 0 && countV > 0) {
        auto appendRow = [&](int v) {
            const KZeqVector4* row = points + static_cast<std::ptrdiff_t>(v) * countU;
            for (int u = 0; u < countU + repeatU; ++u) {
                const KZeqVector4& p = row[u < countU ? u : u - countU];
                // The weight of a rational surface, as the export wrote it; one the host cannot take
                // (not a positive number) is 1.
                const double weight = std::isfinite(p[3]) && p[3] > 0 ? p[3] : 1.0;
                const TStatus appended = cvs.append(p[0], p[1], p[2], weight);
                if (status) *status = appended;
            }
        };
        for (int v = 0; v < countV; ++v) appendRow(v);
        for (int v = 0; v < repeatV; ++v) appendRow(v);
    }

    TDoubleArray hostU, hostV;  // from Zeq U and Zeq V
    HostKnots(nurb->GetUKnotVector(), nurb->GetUKnotCount(), hostU);
    HostKnots(nurb->GetVKnotVector(), nurb->GetVKnotCount(), hostV);
    const int formU = closedU ? ClosedForm(hostU, openU) : TFnNurbsSurface::kOpen;
    const int formV = closedV ? ClosedForm(hostV, openV) : TFnNurbsSurface::kOpen;
    knotsA.copy(hostV);
    knotsB.copy(hostU);
    degreeA = nurb->GetVOrder() - 1;
    degreeB = nurb->GetUOrder() - 1;
    formA = formV;
    formB = formU;
}

void ZeqTuloImport::CreateNurbGeometry(ZeqTuloNode* node) {
    KZeqNurb* nurb = node ? node->GetNurb() : nullptr;
    if (!node) return;
    TFnTransform transform;
    TDagPath path;
    if (!CreateNodeTransform(*node, "Cannot create Nurb", transform, path)) return;
    TStatus status;
    if (!nurb) return;

    // A surface that is not made leaves its transform alone, and the user hears why as well as
    // the log; a surface the reader left out was told with the reader's reason already.
    auto leaveOut = [&](const std::string& reason) {
        const std::string line = std::string("NURBS surface ") + node->GetNameWithoutNameSpacePrefix().Buffer() +
                                 ": " + reason + "; only its transform is made.";
        LogLine(line.c_str());
        TPxCommand::displayWarning(TString(line.c_str()));
    };
    // A surface whose points do not fill its counts cannot be read safely.
    const long long needed = static_cast<long long>(nurb->GetUCount()) * nurb->GetVCount();
    if (needed <= 0 || needed > nurb->GetControlPointsCount()) {
        if (!node->mSurfaceLeftOutByReader)
            leaveOut(nurb->GetControlPointsCount() == 0 ? "it has no control points"
                                                         : "its control points do not match its counts");
        return;
    }
    // No degree below 1 is put to the host.
    if (nurb->GetUOrder() < 1 || nurb->GetVOrder() < 1) {
        leaveOut("the host cannot take it: " + OrderProblem(*nurb));
        return;
    }
    TPointArray cvs;
    TDoubleArray knotsA, knotsB;
    int degreeA = 0, degreeB = 0, formA = 0, formB = 0;
    GetNURBData(nurb, nurb->GetControlPoints(), cvs, knotsA, knotsB, degreeA, degreeB, formA, formB, &status,
                &node->mNurbsOpenU, &node->mNurbsOpenV);
    TFnNurbsSurface surface;
    const TObject shape = surface.create(cvs, knotsA, knotsB, static_cast<unsigned>(degreeA),
                                         static_cast<unsigned>(degreeB), formA, formB, true, transform.object(),
                                         &status);
    if (!status) {
        status.perror("Cannot create Nurb");
        std::string reason = OrderProblem(*nurb);
        if (reason.empty()) reason = ValueProblem(knotsB, knotsA, cvs);
        leaveOut(reason.empty() ? std::string("the host refused it (its knots, forms or points)")
                                : "the host refused it: " + reason);
        return;
    }
    // One less than the larger step, from 0 to the most the host's short attribute holds; worked
    // out in 64 bits, where no step of the file overflows.
    constexpr long long kMostPrecision = 32767;
    const long long step = std::max<long long>(nurb->GetUStep(), nurb->GetVStep());
    const short precision = static_cast<short>(std::min(std::max(step - 1, 0LL), kMostPrecision));
    TFnNurbsSurface shapeSet(shape, &status);
    TPlug plug = shapeSet.findPlug("curvePrecision", &status);
    if (status) status = plug.setValue(precision);
    AddUserProperties(transform, node);
    if (nurb->GetShapeCount() > 0) {
        TFnBlendShapeDeformer deformer;
        deformer.create(transform.object(), TFnBlendShapeDeformer::kLocalOrigin, &status);
    }
}
