// Function set on NURBS surfaces. CVs are U-major (V runs fastest); a direction has
// knots = CVs + degree - 1; a periodic direction repeats its first `degree` rows at its end.
#pragma once

#include "tfndagnode.h"

namespace tulo_detail {
struct NurbsData;
}

class TFnNurbsSurface : public TFnDagNode {
public:
    enum Form { kInvalid = 0, kOpen = 1, kClosed = 2, kPeriodic = 3, kLast = 4 };

    TFnNurbsSurface() = default;
    TFnNurbsSurface(const TObject& object, TStatus* status = nullptr);
    TFnNurbsSurface(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TStatus setObject(const TDagPath& path);

    // Validated: degrees from 1, forms open, closed or periodic, knots non-decreasing and as many
    // as the CVs need, periodic repeats equal, finite CVs (w > 0 when rational). Under a transform
    // the shape is returned, else a new transform.
    TObject create(const TPointArray& cvs, const TDoubleArray& knotsU, const TDoubleArray& knotsV, unsigned degreeU,
                   unsigned degreeV, int formU, int formV, bool rational, const TObject& parent = TObject::kNullObj,
                   TStatus* status = nullptr);

    int degreeU(TStatus* status = nullptr) const;
    int degreeV(TStatus* status = nullptr) const;
    Form formInU(TStatus* status = nullptr) const;
    Form formInV(TStatus* status = nullptr) const;
    int numCVsInU(TStatus* status = nullptr) const;
    int numCVsInV(TStatus* status = nullptr) const;
    int numKnotsInU(TStatus* status = nullptr) const;
    int numKnotsInV(TStatus* status = nullptr) const;
    double knotInU(int index, TStatus* status = nullptr) const;
    double knotInV(int index, TStatus* status = nullptr) const;
    TStatus getCV(int u, int v, TPoint& point, int space = TSpace::kObject) const;
    TStatus getCVs(TPointArray& points, int space = TSpace::kObject) const;

    // The checks of create, for the test API's raw builders to skip.
    static bool valid(const TPointArray& cvs, const TDoubleArray& knotsU, const TDoubleArray& knotsV, unsigned degreeU,
                      unsigned degreeV, int formU, int formV, bool rational);

private:
    const tulo_detail::NurbsData* view(const char* user) const;
    TMatrix worldOf() const;
    std::uint32_t shape_ = 0;
};
