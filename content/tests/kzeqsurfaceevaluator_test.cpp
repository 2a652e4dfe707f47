#include "content/kzeqsurfaceevaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "content/kzeqnurbsurfaceevaluator.h"
#include "content/kzeqweightedmapping.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqWeightedMapping M;

struct Grid {
    std::vector<double> mPoints, mNormals;
    unsigned int mX = 0, mY = 0;
    const double* At(unsigned int x, unsigned int y) const { return &mPoints[4 * (y * mX + x)]; }
};

// A bumpy grid of count U x count V control points.
std::vector<double> Source(unsigned int countU, unsigned int countV) {
    std::vector<double> points;
    for (unsigned int v = 0; v < countV; ++v)
        for (unsigned int u = 0; u < countU; ++u) points.insert(points.end(), {1.0 * u, 2.0 * v, 0.5 * u * u - v, 1.0});
    return points;
}

// Evaluates into arrays sized by the counts (at least one record, to see that nothing is written).
Grid Evaluate(KZEQSurfaceEvaluator& e, std::vector<double>& source, unsigned int u, unsigned int v,
              M* mapping = nullptr, bool normals = true) {
    e.SetSourceArray(source.data(), u, v);
    Grid g;
    g.mX = e.GetCurvePointCountX(), g.mY = e.GetCurvePointCountY();
    g.mPoints.assign(4 * std::max(1u, g.mX * g.mY), -7.0);
    g.mNormals = g.mPoints;
    e.SetDestinationArray(g.mPoints.data());
    e.SetDestinationNormalArray(normals ? g.mNormals.data() : nullptr);
    if (mapping) mapping->Reset(static_cast<int>(u * v), static_cast<int>(g.mX * g.mY));
    e.EvaluateSurface(mapping);
    return g;
}

std::unique_ptr<KZEQSurfaceEvaluator, void (*)(KZEQSurfaceEvaluator*)> Uniform(int u, int v) {
    return {ZEQCreateGeneralUniformSurface(KZeqPatch::EPatchType(u), KZeqPatch::EPatchType(v)),
            [](KZEQSurfaceEvaluator* e) { e->Destroy(0); }};
}

// Each evaluated point is the mapping's weighted sum of control points.
void ExpectMappingReproducesPoints(M& mapping, const Grid& g, const std::vector<double>& source, double sumOfWeights,
                                   const char* name) {
    for (unsigned int p = 0; p < g.mX * g.mY; ++p) {
        double sum = 0.0, point[3] = {0, 0, 0};
        for (int r = 0; r < mapping.GetRelationCount(M::eDESTINATION, p); ++r) {
            const M::KElement& e = mapping.GetRelation(M::eDESTINATION, p, r);
            sum += e.mWeight;
            for (int c = 0; c < 3; ++c) point[c] += e.mWeight * source[4 * e.mIndex + c];
        }
        ASSERT_NEAR(sumOfWeights, sum, 1e-12) << name << " " << p;
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(g.mPoints[4 * p + c], point[c] / sumOfWeights, 1e-9) << name << p;
    }
}

struct CountCase {
    const char* mName;
    int mUType, mMode, mUCount, mUStep, mUAfterStep;  // after step -1: the type's
    unsigned int mX, mY;
};

class UniformCounts : public ::testing::TestWithParam<CountCase> {};

}  // namespace

TEST_P(UniformCounts, AgainstAFourRowBSplineDirection) {
    const CountCase& c = GetParam();
    auto e = Uniform(c.mUType, 3);
    e->SetEvaluationModeU(c.mMode), e->SetEvaluationModeV(c.mMode);
    e->SetEvaluationStepU(c.mUStep);
    if (c.mUAfterStep >= 0) e->SetAfterStepU(c.mUAfterStep);
    std::vector<double> source = Source(c.mUCount, 4);
    const Grid g = Evaluate(*e, source, c.mUCount, 4);
    EXPECT_EQ(c.mX, g.mX);
    EXPECT_EQ(c.mY, g.mY);
    if (c.mX == 0) {
        EXPECT_EQ(std::vector<double>(4, -7.0), g.mPoints);  // refused: nothing written
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UniformCounts,
    ::testing::Values(CountCase{"BSplineOpen", 3, 0, 4, 4, -1, 5, 5}, CountCase{"BSplineClosed", 3, 1, 4, 4, -1, 16, 16},
                      CountCase{"BezierSevenStepTwo", 0, 0, 7, 2, -1, 13, 5},
                      CountCase{"LinearThreeStepOne", 4, 0, 3, 1, -1, 3, 5},
                      CountCase{"FewerPointsThanOrder", 3, 0, 3, 4, -1, 0, 5},
                      CountCase{"AfterStepZero", 3, 0, 4, 4, 0, 0, 5}, CountCase{"StepZero", 3, 0, 4, 0, -1, 0, 5}),
    [](const ::testing::TestParamInfo<CountCase>& info) { return info.param.mName; });

TEST(KZEQSurfaceEvaluator, EveryBasisSharesEachPointAmongItsControlPoints) {
    const struct {
        const char* mName;
        int mType, mMode;
        unsigned int mCount;
    } rows[] = {{"bezier", 0, 0, 7}, {"quadric", 1, 0, 5}, {"cardinal", 2, 0, 5},
                {"bspline closed", 3, 1, 4}, {"linear", 4, 0, 3}, {"linear closed", 4, 1, 3}};
    for (const auto& row : rows) {
        auto e = Uniform(row.mType, row.mType);
        e->SetEvaluationModeU(row.mMode), e->SetEvaluationModeV(row.mMode);
        std::vector<double> source = Source(row.mCount, row.mCount);
        M mapping(0, 0);
        const Grid g = Evaluate(*e, source, row.mCount, row.mCount, &mapping);
        ExpectMappingReproducesPoints(mapping, g, source, 1.0, row.mName);
    }
    // An open Bezier patch's corners are its corner control points, a linear one at step 1 passes through all.
    std::vector<double> source = Source(4, 4);
    M mapping(0, 0);
    const Grid g = Evaluate(*Uniform(0, 0), source, 4, 4, &mapping);
    for (int corner : {0, 12, 156, 168}) EXPECT_EQ(1, mapping.GetRelationCount(M::eDESTINATION, corner)) << corner;
    EXPECT_TRUE(g.At(12, 12)[0] == 3.0 && g.At(12, 12)[1] == 6.0);
    auto linear = Uniform(4, 4);
    linear->SetEvaluationStepU(1), linear->SetEvaluationStepV(1);
    const Grid l = Evaluate(*linear, source, 4, 4);
    for (std::size_t i = 0; i < source.size(); ++i) EXPECT_TRUE(i % 4 == 3 || source[i] == l.mPoints[i]) << i;
}

TEST(KZEQSurfaceEvaluator, TensionOneIsCardinalAndAnUnknownTypeChangesNothing) {
    std::vector<double> source = Source(5, 6);
    auto cardinal = Uniform(2, 2);
    auto tension = Uniform(4, 4);
    tension->SetSurfaceTensionU(1.0), tension->SetSurfaceTensionV(1.0);
    const Grid expected = Evaluate(*cardinal, source, 5, 6);
    EXPECT_EQ(expected.mPoints, Evaluate(*tension, source, 5, 6).mPoints);
    SetSurfaceCurveTypeU(cardinal.get(), 5);
    EXPECT_EQ(expected.mNormals, Evaluate(*cardinal, source, 5, 6).mNormals);
}

TEST(KZEQSurfaceEvaluator, CollapsedRowGivesACapWithOneNormal) {
    std::vector<double> source = Source(4, 4);
    for (int u = 0; u < 4; ++u) source[4 * u] = source[4 * u + 1] = source[4 * u + 2] = 0.0;
    auto e = Uniform(0, 0);
    const Grid g = Evaluate(*e, source, 4, 4);
    EXPECT_TRUE(e->GetBottomCapV() && !e->GetTopCapV() && !e->GetBottomCapU() && !e->GetTopCapU());
    const std::vector<double> cap(g.mNormals.begin(), g.mNormals.begin() + 3);
    EXPECT_GT(std::fabs(cap[0]) + std::fabs(cap[1]) + std::fabs(cap[2]), 0.0);
    for (unsigned int x = 0; x < g.mX; ++x)
        EXPECT_EQ(cap, std::vector<double>(&g.mNormals[4 * x], &g.mNormals[4 * x + 3])) << x;

    // A single row: the caps skip the rows it lacks; no normal array: points only.
    auto flat = Uniform(4, 4);
    flat->SetOrderV(1);
    std::vector<double> row = Source(3, 1);
    const Grid f = Evaluate(*flat, row, 3, 1, nullptr, false);
    EXPECT_TRUE(f.mX == 9 && f.mY == 5 && f.At(8, 0)[0] == 2.0 && !flat->GetBottomCapV() && !flat->GetTopCapV());
    EXPECT_EQ(-7.0, f.mNormals[0]);
}

// ---- NURBS ------------------------------------------------------------------------------

namespace {

// Bernstein cubic i at t.
double Bernstein(int i, double t) {
    const double c[4] = {1, 3, 3, 1};
    return c[i] * std::pow(t, i) * std::pow(1 - t, 3 - i);
}

struct Nurbs {
    Nurbs(unsigned int order, unsigned int count, std::vector<double> knots, int mode = 0, unsigned int step = 4)
        : mCount(count), mKnots(std::move(knots)), mWeights(count * count, 1.0), mWork(3 * count * count),
          mSource(Source(count, count)), mEvaluator(KZEQNURBSurfaceEvaluatorCreate(order, order)) {
        for (int slot : {1, 2}) mEvaluator->SetAuxSourceArray(slot, mKnots.data());
        mEvaluator->SetAuxSourceArray(0, mWeights.data());
        mEvaluator->SetAuxSourceArray(5, mWork.data());
        mEvaluator->SetEvaluationModeU(mode), mEvaluator->SetEvaluationModeV(mode);
        mEvaluator->SetEvaluationStepU(step), mEvaluator->SetEvaluationStepV(step);
    }
    ~Nurbs() { mEvaluator->Destroy(0); }
    Grid Evaluate(M* mapping = nullptr) { return ::Evaluate(*mEvaluator, mSource, mCount, mCount, mapping); }
    unsigned int mCount;
    std::vector<double> mKnots, mWeights, mWork, mSource;
    KZEQNURBSurfaceEvaluator* mEvaluator;
};

const std::vector<double> kBezierKnots = {0, 0, 0, 0, 1, 1, 1, 1};

}  // namespace

TEST(KZEQNURBSurfaceEvaluator, OpenCubicMatchesTheBezierEvaluatorAndTheAnalyticSurface) {
    EXPECT_EQ(5u, Nurbs(4, 4, kBezierKnots).Evaluate().mX);
    Nurbs nurbs(4, 4, kBezierKnots, 0, 6);
    const Grid n = nurbs.Evaluate();
    auto bezier = Uniform(0, 0);
    bezier->SetEvaluationStepU(2), bezier->SetEvaluationStepV(2);
    const Grid b = Evaluate(*bezier, nurbs.mSource, 4, 4);
    ASSERT_TRUE(n.mX == 7 && n.mY == 7 && b.mX == 7 && b.mY == 7);
    for (unsigned int y = 0; y < 7; ++y)
        for (unsigned int x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c) {
                double exact = 0.0;
                for (int l = 0; l < 4; ++l)
                    for (int k = 0; k < 4; ++k)
                        exact += Bernstein(k, x / 6.0) * Bernstein(l, y / 6.0) * nurbs.mSource[4 * (4 * l + k) + c];
                EXPECT_NEAR(exact, n.At(x, y)[c], 1e-6);
                EXPECT_NEAR(exact, b.At(x, y)[c], 1e-6);
            }
}

// A rational surface against the exact one: half a cylinder of radius 1 and
// height 2, two quadratic arcs (weights 1, 1/sqrt 2, 1) along U, a line along
// V. Every point lies on the cylinder, its normal points along the radius, the
// first U tangent is 2 x (1/sqrt 2) x (P1 - P0) = (0, sqrt 2, 0), and each
// point is its relations' weighted mean, the relations summing to its W.
TEST(KZEQNURBSurfaceEvaluator, RationalArcsLieOnTheCylinder) {
    const double s = std::sqrt(0.5);
    const double arc[5][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}};
    std::vector<double> source, weights;
    for (int v = 0; v < 2; ++v)
        for (int u = 0; u < 5; ++u) source.insert(source.end(), {arc[u][0], arc[u][1], 2.0 * v, 1}), weights.push_back(u % 2 ? s : 1.0);
    std::vector<double> uKnots = {0, 0, 0, 1, 1, 2, 2, 2}, vKnots = {0, 0, 1, 1}, work(3 * 10);
    std::unique_ptr<KZEQNURBSurfaceEvaluator, void (*)(KZEQNURBSurfaceEvaluator*)> e(
        KZEQNURBSurfaceEvaluatorCreate(3, 2), [](KZEQNURBSurfaceEvaluator* p) { p->Destroy(0); });
    e->SetAuxSourceArray(0, weights.data()), e->SetAuxSourceArray(1, uKnots.data());
    e->SetAuxSourceArray(2, vKnots.data()), e->SetAuxSourceArray(5, work.data());
    e->SetEvaluationStepU(8), e->SetEvaluationStepV(2);
    M mapping(0, 0);
    const Grid g = Evaluate(*e, source, 5, 2, &mapping);
    ASSERT_TRUE(g.mX == 17 && g.mY == 3);
    for (unsigned int p = 0; p < g.mX * g.mY; ++p) {
        const double* point = &g.mPoints[4 * p];
        const double* normal = &g.mNormals[4 * p];
        EXPECT_NEAR(1.0, std::hypot(point[0], point[1]), 1e-12) << p;
        EXPECT_NEAR(p / g.mX, point[2], 1e-7) << p;  // samples fall 1e-8 of a span short
        EXPECT_NEAR(0.0, normal[0] * point[1] - normal[1] * point[0], 1e-12) << p;
        EXPECT_NEAR(0.0, normal[2], 1e-12);
        double w = 0.0, mean[3] = {0, 0, 0};
        for (int r = 0; r < mapping.GetRelationCount(M::eDESTINATION, static_cast<int>(p)); ++r) {
            const M::KElement& relation = mapping.GetRelation(M::eDESTINATION, static_cast<int>(p), r);
            w += relation.mWeight;
            for (int c = 0; c < 3; ++c) mean[c] += relation.mWeight * source[4 * relation.mIndex + c];
        }
        EXPECT_LT(s, w);  // inside an arc's span W lies between its weights
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(point[c], mean[c] / w, 1e-12) << p;
    }
    // The normal is V tangent x U tangent with V tangent (0, 0, 2).
    EXPECT_NEAR(-2.0 * std::sqrt(2.0), g.mNormals[0], 1e-12);
    EXPECT_NEAR(0.0, g.mNormals[1], 1e-12);
}

TEST(KZEQNURBSurfaceEvaluator, SpansWindowsWeightsAndRefusedOrders) {
    const struct {
        const char* mName;
        unsigned int mOrder, mCount;
        std::vector<double> mKnots;
        int mMode;
        double mWeight;  // of every control point: the points stay, the relations scale
        unsigned int mPoints;
        int mLowestColumnOfSpanTwo;  // -1: not checked
    } rows[] = {
        {"weights one", 4, 6, {0, 0, 0, 0, 1, 2, 3, 3, 3, 3}, 0, 1.0, 13, 1},
        {"weights two", 4, 6, {0, 0, 0, 0, 1, 2, 3, 3, 3, 3}, 0, 2.0, 13, 1},
        {"repeated interior knot", 4, 6, {0, 0, 0, 0, 1, 1, 2, 2, 2, 2}, 0, 1.0, 9, 2},  // one span fewer
        {"closed", 4, 5, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1, 1.0, 20, 1},
        {"closed wrapping twice", 4, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8}, 1, 1.0, 8, -1},
        {"quadratic", 3, 4, {0, 0, 0, 1, 2, 2, 2}, 0, 1.0, 9, 1},
        {"order five", 5, 5, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}, 0, 1.0, 0, -1},
        {"no span", 4, 4, {1, 1, 1, 1, 1, 1, 1, 1}, 0, 1.0, 0, -1},
    };
    for (const auto& row : rows) {
        Nurbs nurbs(row.mOrder, row.mCount, row.mKnots, row.mMode);
        for (double& w : nurbs.mWeights) w = row.mWeight;
        M mapping(0, 0);
        const Grid g = nurbs.Evaluate(&mapping);
        ASSERT_EQ(row.mPoints, g.mX) << row.mName;
        if (g.mX > 0) ExpectMappingReproducesPoints(mapping, g, nurbs.mSource, row.mWeight, row.mName);
        if (row.mLowestColumnOfSpanTwo < 0) continue;
        int lowest = 1 << 30;  // over the relations of the first point of the second span, in row 0
        for (int r = 0; r < mapping.GetRelationCount(M::eDESTINATION, 4); ++r)
            lowest = std::min(lowest, mapping.GetRelation(M::eDESTINATION, 4, r).mIndex);
        EXPECT_EQ(row.mLowestColumnOfSpanTwo, lowest) << row.mName;
    }
}

TEST(KZEQNURBSurfaceEvaluator, ZeroWeightsAndSettingsChangedBetweenEvaluations) {
    Nurbs nurbs(4, 4, kBezierKnots);
    for (double& w : nurbs.mWeights) w = 0.0;
    for (double value : nurbs.Evaluate().mPoints) EXPECT_TRUE(std::isfinite(value));
    for (double& w : nurbs.mWeights) w = 1.0 + (&w - nurbs.mWeights.data()) % 3;
    Nurbs fresh(4, 4, kBezierKnots);
    fresh.mWeights = nurbs.mWeights;
    fresh.mEvaluator->SetAuxSourceArray(0, fresh.mWeights.data());
    EXPECT_EQ(fresh.Evaluate().mPoints, nurbs.Evaluate().mPoints);  // the new weights count at once
    std::vector<double> closed = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    nurbs.mEvaluator->SetAuxSourceArray(1, closed.data());
    nurbs.mEvaluator->SetEvaluationModeU(1);
    nurbs.mEvaluator->SetOrderV(2);  // no table marks this: the tables are rebuilt anyway
    const Grid g = nurbs.Evaluate();
    EXPECT_TRUE(g.mX == 16 && g.mY == 5);
}

TEST(KZEQNURBSurfaceEvaluator, HighOrderBasisIsAPartitionOfUnity) {
    std::vector<double> knots(80);
    for (std::size_t i = 0; i < knots.size(); ++i) knots[i] = static_cast<double>(i);
    double sum = 0.0, slope = 0.0;
    for (int i = 0; i < 40; ++i) sum += Compute_Bik(39.3, i, 40, knots.data()), slope += Compute_dBik(39.3, i, 40, knots.data());
    EXPECT_TRUE(std::fabs(sum - 1.0) < 1e-9 && std::fabs(slope) < 1e-9);
}
