#include "base/ktriangulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

using namespace zeqsdk_400;

namespace {

const double kPi = std::acos(-1.0);

std::vector<int> Triangulate(int n) {
    std::vector<int> out(static_cast<size_t>(3 * (n - 2)), -1);
    KTriangulation(out.data(), n);
    return out;
}

TEST(KTriangulationTest, WorkedExamples) {
    EXPECT_EQ(Triangulate(3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Triangulate(4), (std::vector<int>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(Triangulate(5), (std::vector<int>{0, 1, 2, 2, 3, 0, 0, 3, 4}));
    EXPECT_EQ(Triangulate(6), (std::vector<int>{0, 1, 2, 2, 3, 0, 0, 3, 5, 3, 4, 5}));
    EXPECT_EQ(Triangulate(8),
              (std::vector<int>{0, 1, 2, 2, 3, 0, 0, 3, 7, 3, 4, 7, 7, 4, 6, 4, 5, 6}));
}

TEST(KTriangulationTest, FewerThanThreeVerticesWriteNothing) {
    for (int n : {2, 1, 0, -1, -100}) {
        int out[6] = {9, 9, 9, 9, 9, 9};
        KTriangulation(out, n);
        for (int v : out) EXPECT_EQ(v, 9) << "n = " << n;
    }
    KTriangulation(nullptr, 5);  // no room given: nothing written
}

class KTriangulationPolygonTest : public ::testing::TestWithParam<int> {};

// On a convex regular polygon the triangles must tile it exactly: every
// triangle keeps the polygon's winding and their areas add up to its area;
// each outer edge belongs to exactly one triangle and each diagonal to two.
TEST_P(KTriangulationPolygonTest, TilesAConvexPolygon) {
    const int n = GetParam();
    const std::vector<int> tri = Triangulate(n);
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = std::cos(2 * kPi * i / n);
        y[i] = std::sin(2 * kPi * i / n);
    }
    const double polygonArea = 0.5 * n * std::sin(2 * kPi / n);
    double sum = 0.0;
    std::map<std::pair<int, int>, int> edges;
    for (int t = 0; t < n - 2; ++t) {
        const int a = tri[3 * t], b = tri[3 * t + 1], c = tri[3 * t + 2];
        for (int v : {a, b, c}) ASSERT_TRUE(v >= 0 && v < n);
        ASSERT_TRUE(a != b && b != c && a != c);
        const double area = 0.5 * ((x[b] - x[a]) * (y[c] - y[a]) - (x[c] - x[a]) * (y[b] - y[a]));
        ASSERT_GT(area, 0.0) << "triangle " << t;
        sum += area;
        for (auto e : {std::make_pair(a, b), std::make_pair(b, c), std::make_pair(c, a)})
            ++edges[std::minmax(e.first, e.second)];
    }
    EXPECT_NEAR(sum, polygonArea, 1e-9);
    for (const auto& e : edges) {
        const bool outer = e.first.second - e.first.first == 1 || (e.first.first == 0 && e.first.second == n - 1);
        EXPECT_EQ(e.second, outer ? 1 : 2) << e.first.first << "-" << e.first.second;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, KTriangulationPolygonTest, ::testing::Range(3, 41));

}  // namespace
