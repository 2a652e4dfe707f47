#include "base/ktriangulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

using namespace zeqsdk_400;

static std::vector<int> Triangulate(int n) {
    std::vector<int> out(static_cast<size_t>(3 * (n - 2)), -1);
    KTriangulation(out.data(), n);
    return out;
}

TEST(KTriangulationTest, WorkedExamplesTooFewVerticesAndConvexPolygonsTiled) {
    EXPECT_EQ(Triangulate(4), (std::vector<int>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(Triangulate(8), (std::vector<int>{0, 1, 2, 2, 3, 0, 0, 3, 7, 3, 4, 7, 7, 4, 6, 4, 5, 6}));
    int out[6] = {9, 9, 9, 9, 9, 9};
    for (int n : {2, 1, 0, -1, -100}) KTriangulation(out, n);
    EXPECT_EQ(std::vector<int>(out, out + 6), std::vector<int>(6, 9));
    KTriangulation(nullptr, 5);  // no room given: nothing written
    // On a convex regular polygon the triangles tile it exactly: each keeps the
    // polygon's winding, their areas add up to its area, each outer edge belongs
    // to one triangle and each diagonal to two.
    const double kPi = std::acos(-1.0);
    for (int n = 3; n <= 40; ++n) {
        auto x = [&](int i) { return std::cos(2 * kPi * i / n); };
        auto y = [&](int i) { return std::sin(2 * kPi * i / n); };
        const std::vector<int> tri = Triangulate(n);
        double sum = 0.0;
        std::map<std::pair<int, int>, int> edges;
        for (int t = 0; t < n - 2; ++t) {
            const int a = tri[3 * t], b = tri[3 * t + 1], c = tri[3 * t + 2];
            ASSERT_TRUE(a >= 0 && a < n && b >= 0 && b < n && c >= 0 && c < n) << "n = " << n;
            const double area = 0.5 * ((x(b) - x(a)) * (y(c) - y(a)) - (x(c) - x(a)) * (y(b) - y(a)));
            ASSERT_GT(area, 1e-12) << "n = " << n << ", triangle " << t;
            sum += area;
            for (auto e : {std::minmax(a, b), std::minmax(b, c), std::minmax(c, a)}) ++edges[e];
        }
        EXPECT_NEAR(sum, 0.5 * n * std::sin(2 * kPi / n), 1e-9) << "n = " << n;
        for (const auto& e : edges)
            EXPECT_EQ(e.second, e.first.second - e.first.first == 1 || e.first.second - e.first.first == n - 1 ? 1 : 2)
                << "n = " << n << ", " << e.first.first << "-" << e.first.second;
    }
}
