#ifndef ZEQ_CONTENT_KZEQNURBSURFACEEVALUATOR_H
#define ZEQ_CONTENT_KZEQNURBSURFACEEVALUATOR_H

#include "content/kzeqsurfaceevaluator.h"

namespace zeqsdk_400 {

// Tessellates a rational B-spline surface: control points with one weight
// each and one knot vector per direction (count + order knots open, count +
// 2 x order - 1 closed). Every non-empty knot interval (longer than 1e-8) is
// a span sampled step times, the last span of an open direction once more so
// that the grid reaches the surface's end; the after step plays no part.
// Tangents are derivatives with respect to the knot parameter.
//
// Orders 1 to 4: every sample combines a window of 4 x 4 control points, so
// higher orders (and order 0, knots or steps missing) give no points. Basis
// values are tabulated per row and per column of the grid and combined per
// point, so memory grows with the grid's sides, not its area. Settings may
// change between evaluations: stale tables are rebuilt, and weights always
// take effect at the next evaluation.
class KZEQNURBSurfaceEvaluator : public KZEQSurfaceEvaluator {
public:
    KZEQNURBSurfaceEvaluator() = default;
    ~KZEQNURBSurfaceEvaluator() override;

    unsigned int GetCurvePointCountX() override;
    unsigned int GetCurvePointCountY() override;
    // Slot 0: one weight per control point (null: all 1); 1 and 2: the U and
    // V knot vectors; 5: 3 doubles per control point that the evaluator
    // overwrites. Every call clears both point counts.
    void SetAuxSourceArray(int slot, double* values) override;
    void SetBiTable() override;
    void SetBjTable() override;
    // Products and denominators are formed per point during the evaluation:
    // tabulated per point they would take 51 doubles a point and, for a
    // surface evaluated once (as the converter does), cost more than they save.
    void SetBijTable() override {}
    void SetBdijTable() override {}
    void SetBidjTable() override {}
    void SetOtherTable() override {}
    void EvaluateSurfaceExactNormal() override;
    // Relations of weight Bi x Bj x w, not divided by the point's W.
    void ComputeBlendingFactor(KZeqWeightedMapping* mapping) override;

    // Knot intervals longer than 1e-8 among those from order - 1 to knot count - order - 1.
    static unsigned int Find_Number_Of_Span(const double* knots, unsigned int knotCount, unsigned int order);

private:
    struct KNurbDirection {
        double* mKnots = nullptr;
        unsigned int mSpanCount = 0;
        std::unique_ptr<int[]> mSpanStart;  // per span: the first control point of its window
        // What the tables were built for.
        const double* mBuiltKnots = nullptr;
        unsigned int mBuiltOrder = 0;
        unsigned int mBuiltStep = 0;
        unsigned int mBuiltCount = 0;
        int mBuiltMode = -1;
    };
    unsigned long long KnotCount(int direction) const;
    // The direction's evaluated points; 0 when it cannot be evaluated.
    unsigned long long PointsOf(int direction) const;
    void SetSpanTable(int direction);
    // The tables match the settings (rebuilt when stale) and the source is set.
    bool TablesReady();
    // Calls visit(record, rows, columns, Bi, dBi, Bj, dBj) for every point in output order.
    template <class Visit>
    void WalkPoints(Visit&& visit);
    double WeightOf(std::size_t point) const { return mWeights ? mWeights[point] : 1.0; }

    double* mWeights = nullptr;
    double* mWork = nullptr;
    KNurbDirection mNurb[2];
};

// An evaluator of the two orders; null when memory runs out.
KZEQNURBSurfaceEvaluator* KZEQNURBSurfaceEvaluatorCreate(unsigned int uOrder, unsigned int vOrder);

// The B-spline basis function i of order k at t (Cox-de Boor, intervals of
// 1e-8 or less dropped) and its derivative. The knots must reach i + k.
double Compute_Bik(double t, int i, unsigned int k, const double* knots);
double Compute_dBik(double t, int i, unsigned int k, const double* knots);

}  // namespace zeqsdk_400

#endif
