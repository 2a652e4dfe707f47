// NURBS and patch records of the Zeq reader, and the common part that
// follows a geometry's own fields (links and shapes here; layers and
// materials through hooks).

#include <algorithm>
#include <climits>
#include <type_traits>
#include <vector>

#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqsurfaces_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// The NURBS checks, by their number: field-file code and text.
struct NurbCheck {
    int mCode;
    const char* mText;
};
const NurbCheck kNurbChecks[] = {
    {10, "Type of nurb unknown (invalid data)."},
    {9, "Control point definition error (wrong number of data)."},
    {10, "Weight of control point must be greater than 0 (invalid data)."},
    {9, "Multiplicity U definition error (wrong number of data)."},
    {9, "Multiplicity V definition error (wrong number of data)."},
    {9, "U knot vector definition error (wrong number of data)."},
    {9, "V knot vector definition error (wrong number of data)."},
};

// All values of the next field of that name; false when there is none. A
// read cut short by damage keeps only what was read, so counts do not match.
template <class T>
bool ReadAll(KZeq& file, const char* name, std::vector<T>& values) {
    if (!file.FieldReadBegin(name)) return false;
    values.assign(static_cast<std::size_t>(file.FieldReadGetCount()), T());
    if (!values.empty()) {
        int read;
        if constexpr (std::is_same<T, int>::value)
            read = file.FieldReadIn(values.data(), static_cast<int>(values.size()));
        else
            read = file.FieldReadDn(values.data(), static_cast<int>(values.size()));
        values.resize(static_cast<std::size_t>(std::max(read, 0)));
    }
    file.FieldReadEnd();
    return true;
}

// Two ints of the next field of that name; false when there is none.
bool ReadTwo(KZeq& file, const char* name, int& first, int& second) {
    if (!file.FieldReadBegin(name)) return false;
    first = file.FieldReadI();
    second = file.FieldReadI();
    file.FieldReadEnd();
    return true;
}

// Sizes come from the file: nothing is sized beyond what the record holds.
bool CountsFit(int uCount, int vCount, long long valuesPerPoint, long long pointValues) {
    return uCount >= 0 && vCount >= 0 && static_cast<long long>(uCount) * vCount <= INT_MAX &&
           static_cast<long long>(uCount) * vCount * valuesPerPoint <= pointValues;
}

long long KnotCountOf(long long count, long long order, int type) {
    return type == KZeqNurb::eOPEN ? count + order : count + 2 * order - 1;
}

}  // namespace

bool KZeqReaderZeq::ReadKZeqNurb(KZeqNurb& nurb) {
    KZeq& file = *mFile;
    bool result = true;
    auto fail = [&](int check) {
        // Damage found while reading stays the file's error: the checks after
        // it only see its consequences.
        if (file.GetLastErrorID() != KZeq::eFileCorrupted)
            file.GetError().SetLastError(kNurbChecks[check].mCode, kNurbChecks[check].mText);
        mError.SetLastError(check, kNurbChecks[check].mText);
        result = false;
    };
    file.FieldReadI("NurbVersion", 0);
    int uOrder = 0, vOrder = 0;
    if (ReadTwo(file, "NurbOrder", uOrder, vOrder)) nurb.SetOrder(uOrder < 0 ? 0 : uOrder, vOrder < 0 ? 0 : vOrder);
    int types[2] = {KZeqNurb::ePERIODIC, KZeqNurb::ePERIODIC};
    if (file.FieldReadBegin("Form")) {
        for (int& type : types) {
            const KString text = file.FieldReadC();
            if (text.CompareNoCase("Periodic") == 0)
                type = KZeqNurb::ePERIODIC;
            else if (text.CompareNoCase("Closed") == 0)
                type = KZeqNurb::eCLOSED;
            else if (text.CompareNoCase("Open") == 0)
                type = KZeqNurb::eOPEN;
            else
                fail(0);
        }
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("SurfaceDisplay")) {
        nurb.SetSurfaceMode(static_cast<KZeqGeometry::ESurfaceMode>(file.FieldReadI()));
        const int u = file.FieldReadI();
        nurb.SetStep(u, file.FieldReadI());
        file.FieldReadEnd();
    }
    int u = 0, v = 0;
    if (ReadTwo(file, "Step", u, v)) nurb.SetStep(u, v);
    int uCount = 0, vCount = 0;
    const bool dimensions = ReadTwo(file, "Dimensions", uCount, vCount);

    // The arrays are taken first, so that the dimensions can be held against them.
    std::vector<double> points, uKnots, vKnots;
    std::vector<int> uMultiplicities, vMultiplicities;
    ReadAll(file, "Points", points);
    const bool hasUMultiplicities = ReadAll(file, "MultiplicityU", uMultiplicities);
    const bool hasVMultiplicities = ReadAll(file, "MultiplicityV", vMultiplicities);
    ReadAll(file, "KnotVectorU", uKnots);
    ReadAll(file, "KnotVectorV", vKnots);

    // Every count is held against the values the file gives before anything is sized: a surface
    // they contradict is left out (no control points), never built of values the file lacks. The
    // first contradiction is the error; the counts after it are not held.
    bool sound = true;
    auto hold = [&](bool holds, int check) {
        if (sound && !holds) fail(check), sound = false;
    };
    if (dimensions) {
        // Knots beyond their field, a few per control point and some slack
        // would only be zeros: such orders come from damaged files.
        auto knotsFit = [](int count, int order, int type, std::size_t field) {
            return KnotCountOf(count, order, type) <= static_cast<long long>(field) + 4LL * count + 64;
        };
        hold(CountsFit(uCount, vCount, 4, static_cast<long long>(points.size())) &&
                 knotsFit(uCount, nurb.GetUOrder(), types[0], uKnots.size()) &&
                 knotsFit(vCount, nurb.GetVOrder(), types[1], vKnots.size()),
             1);
    }
    // Without usable dimensions the surface has no points, and any value given contradicts that.
    const bool sized = sound && dimensions;
    const long long uSize = sized ? uCount : 0, vSize = sized ? vCount : 0;
    const long long uKnotCount = sized ? KnotCountOf(uSize, nurb.GetUOrder(), types[0]) : 0;
    const long long vKnotCount = sized ? KnotCountOf(vSize, nurb.GetVOrder(), types[1]) : 0;
    hold(static_cast<long long>(points.size()) == 4 * uSize * vSize, 1);
    hold(!hasUMultiplicities || static_cast<long long>(uMultiplicities.size()) == uSize, 3);
    hold(!hasVMultiplicities || static_cast<long long>(vMultiplicities.size()) == vSize, 4);
    // A knot vector the file leaves out is no zeros either.
    hold(static_cast<long long>(uKnots.size()) == uKnotCount, 5);
    hold(static_cast<long long>(vKnots.size()) == vKnotCount, 6);
    if (sound && dimensions) {
        if (!nurb.InitControlPoints(uCount, static_cast<KZeqNurb::ENurbType>(types[0]), vCount,
                                    static_cast<KZeqNurb::ENurbType>(types[1]))) {
            fail(1);
        } else {
            KZeqVector4* stored = nurb.GetControlPoints();
            for (int i = 0, count = nurb.GetControlPointsCount(); i < count; ++i) {
                const double* p = &points[static_cast<std::size_t>(i) * 4];
                stored[i] = KZeqVector4(p[0], p[1], p[2], p[3]);
                if (p[3] <= 0.00001) fail(2);
            }
            auto take = [](bool present, const auto& values, auto* into) {
                if (present && into) std::copy(values.begin(), values.end(), into);
            };
            take(hasUMultiplicities, uMultiplicities, nurb.GetUMultiplicityVector());
            take(hasVMultiplicities, vMultiplicities, nurb.GetVMultiplicityVector());
            take(true, uKnots, nurb.GetUKnotVector());
            take(true, vKnots, nurb.GetVKnotVector());
        }
    }

    ZeqReadGeometryCommon(*this, nurb);
    return result;
}

int KZeqReaderZeq::ReadKZeqPatchType(KZeqPatch&) {
    static const char* const kWords[] = {"Bezier", "BezierQuadric", "Cardinal", "BSpline"};
    const KString text = mFile->FieldReadC();
    for (int type = 0; type < 4; ++type)
        if (text.CompareNoCase(kWords[type]) == 0) return type;
    return KZeqPatch::eLINEAR;
}

bool KZeqReaderZeq::ReadKZeqPatch(KZeqPatch& patch) {
    KZeq& file = *mFile;
    file.FieldReadI("PatchVersion", 100);
    int types[2] = {KZeqPatch::eLINEAR, KZeqPatch::eLINEAR};
    if (file.FieldReadBegin("PatchType")) {
        types[0] = ReadKZeqPatchType(patch);
        types[1] = ReadKZeqPatchType(patch);
        file.FieldReadEnd();
    }
    int uCount = 0, vCount = 0;
    const bool dimensions = ReadTwo(file, "Dimensions", uCount, vCount);
    if (file.FieldReadBegin("SurfaceDisplay")) {
        patch.SetSurfaceMode(static_cast<KZeqGeometry::ESurfaceMode>(file.FieldReadI()));
        const int u = file.FieldReadI();
        patch.SetStep(u, file.FieldReadI());
        file.FieldReadEnd();
    }
    int u = 0, v = 0;
    if (ReadTwo(file, "Step", u, v)) patch.SetStep(u, v);
    if (ReadTwo(file, "Closed", u, v)) patch.SetClosed(u != 0, v != 0);
    if (ReadTwo(file, "UCapped", u, v)) patch.SetUCapped(u != 0, v != 0);
    if (ReadTwo(file, "VCapped", u, v)) patch.SetVCapped(u != 0, v != 0);
    std::vector<double> points;
    ReadAll(file, "Points", points);
    // Counts beyond what "Points" holds are refused before anything is sized.
    if (dimensions && CountsFit(uCount, vCount, 3, static_cast<long long>(points.size())) &&
        patch.InitControlPoints(uCount, static_cast<KZeqPatch::EPatchType>(types[0]), vCount,
                                static_cast<KZeqPatch::EPatchType>(types[1]))) {
        KZeqVector4* stored = patch.GetControlPoints();
        for (int i = 0, count = patch.GetControlPointsCount(); i < count; ++i) {
            const double* p = &points[static_cast<std::size_t>(i) * 3];
            stored[i] = KZeqVector4(p[0], p[1], p[2], 1.0);
        }
    }
    ZeqReadGeometryCommon(*this, patch);
    return true;
}

bool ZeqReadGeometryCommon(KZeqReaderZeq& reader, KZeqGeometry& geometry) {
    if (!reader.GetZeqObject()->IsBeforeVersion6()) {
        reader.ReadLayerElements(geometry);
        reader.ReadKZeqGeometryLinks(geometry);
        return reader.ReadKZeqGeometryShapes(geometry);
    }
    reader.GenerateParametricGeometryLayer(geometry);
    return reader.ReadKZeqGeometry(geometry);
}

bool ZeqReadLinkRecord(KZeqReaderZeq& reader, KZeqLink& link) { return reader.ReadKZeqLink(link); }

bool ZeqReadShapeRecord(KZeqReaderZeq& reader, KZeqShape& shape, KZeqGeometry& geometry) {
    return reader.ReadKZeqShape(shape, geometry);
}

bool ZeqReadNurbFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqNurb(static_cast<KZeqNurb&>(attribute));
}

bool ZeqReadPatchFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqPatch(static_cast<KZeqPatch&>(attribute));
}

}  // namespace zeqsdk_400
