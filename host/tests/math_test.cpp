// Euler, matrix and quaternion round trips; units; number text.
#include <gtest/gtest.h>

#include <cmath>

#include "tmath.h"
#include "tunits.h"

namespace {

const double kDeg = M_PI / 180;

struct Angles {
    const char* name;
    double x, y, z;  // degrees
};

class EulerTest : public ::testing::TestWithParam<std::tuple<int, Angles>> {};

TEST_P(EulerTest, RoundTripsInEveryOrder) {
    auto order = static_cast<TEulerRotation::RotationOrder>(std::get<0>(GetParam()));
    const Angles& a = std::get<1>(GetParam());
    TEulerRotation e(a.x * kDeg, a.y * kDeg, a.z * kDeg, order);
    TMatrix m = e.asMatrix();
    TEulerRotation back = TEulerRotation::decompose(m, order);
    EXPECT_TRUE(back.asMatrix().isEquivalent(m, 1e-12));
    EXPECT_TRUE(e.asQuaternion().asMatrix().isEquivalent(m, 1e-12));
    EXPECT_TRUE(TQuaternion(m).isEquivalent(e.asQuaternion(), 1e-12));
    for (int o = 0; o < 6; ++o) EXPECT_TRUE(e.reorder(o).asMatrix().isEquivalent(m, 1e-12)) << o;
    // Principal angles: the middle axis within a quarter turn, the others within a half turn.
    static const int middle[] = {1, 2, 0, 2, 0, 1};
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_LE(std::fabs(back[i]), (int(i) == middle[order] ? M_PI / 2 : M_PI) + 1e-12) << i;
}

std::string EulerName(const ::testing::TestParamInfo<std::tuple<int, Angles>>& info) {
    static const char* orders[] = {"XYZ", "YZX", "ZXY", "XZY", "YXZ", "ZYX"};
    return std::string(orders[std::get<0>(info.param)]) + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(
    Orders, EulerTest,
    ::testing::Combine(::testing::Range(0, 6),
                       ::testing::Values(Angles{"Small", 10, 20, 30}, Angles{"Negative", -45, 15, -80},
                                         Angles{"Large", 170, -10, 135}, Angles{"GimbalY", 30, 90, 40},
                                         Angles{"GimbalYNeg", 30, -90, -40}, Angles{"GimbalX", 90, 10, 0},
                                         Angles{"GimbalZ", 5, 20, 90}, Angles{"Zero", 0, 0, 0})),
    EulerName);

TEST(MathTest, RowVectorsAndLeftFirstProducts) {
    // Euler XYZ rows as the import writes them.
    double x = 0.3, y = -0.7, z = 1.1;
    TMatrix m = TEulerRotation(x, y, z).asMatrix();
    double cx = std::cos(x), sx = std::sin(x), cy = std::cos(y), sy = std::sin(y), cz = std::cos(z), sz = std::sin(z);
    EXPECT_NEAR(m[0][0], cy * cz, 1e-15);
    EXPECT_NEAR(m[0][2], -sy, 1e-15);
    EXPECT_NEAR(m[1][0], sx * sy * cz - cx * sz, 1e-15);
    EXPECT_NEAR(m[2][1], cx * sy * sz - sx * cz, 1e-15);
    // A * B applies A first: rotate a quarter turn about Z, then move by 5 in x.
    TTransformationMatrix move;
    move.translate = TVector(5, 0, 0);
    TMatrix ab = TEulerRotation(0, 0, M_PI / 2).asMatrix() * move.asMatrix();
    EXPECT_TRUE((TPoint(1, 0, 0) * ab).isEquivalent(TPoint(5, 1, 0), 1e-12));
    EXPECT_TRUE((m * m.inverse()).isEquivalent(TMatrix(), 1e-12));
    // rotateBy in transform space: E * R.
    TTransformationMatrix t;
    t.rotation = TEulerRotation(0, 0.4, 0, TEulerRotation::kZXY);
    TEulerRotation e(M_PI / 2, 0, 0);
    TMatrix expected = e.asMatrix() * t.rotation.asMatrix();
    ASSERT_TRUE(t.rotateBy(e, TSpace::kTransform));
    EXPECT_TRUE(t.rotation.asMatrix().isEquivalent(expected, 1e-12));
    EXPECT_EQ(t.rotation.order, TEulerRotation::kZXY);
    EXPECT_FALSE(t.rotateBy(e, 3));
    // A matrix splits back into translation, rotation and scale.
    TTransformationMatrix parts;
    parts.translate = TVector(1, 2, 3);
    parts.rotation = TEulerRotation(0.1, 0.2, 0.3);
    parts.scale[0] = 2;
    TTransformationMatrix split(parts.asMatrix());
    EXPECT_TRUE(split.asMatrix().isEquivalent(parts.asMatrix(), 1e-12));
    EXPECT_NEAR(split.scale[0], 2, 1e-12);
}

TEST(UnitsTest, TablesAgree) {
    struct Row {
        int unit;
        double perSecond;
    } times[] = {{1, 1.0 / 3600}, {2, 1.0 / 60}, {3, 1}, {4, 1000}, {5, 15}, {6, 24},
                 {7, 30},         {8, 30},       {9, 48}, {10, 50},  {11, 60}, {12, 1}};
    for (const Row& r : times) {
        EXPECT_DOUBLE_EQ(TTime(1, TTime::kSeconds).as(r.unit), r.perSecond) << r.unit;
        EXPECT_DOUBLE_EQ(TTime(r.perSecond, r.unit).as(TTime::kSeconds), 1) << r.unit;
    }
    const double cm[] = {0, 2.54, 30.48, 91.44, 160934.4, 0.1, 1, 100000, 100};
    for (int u = 1; u <= 8; ++u) {
        EXPECT_DOUBLE_EQ(TDistance(1, u).asCentimeters(), cm[u]) << u;
        EXPECT_DOUBLE_EQ(TDistance(cm[u], TDistance::kCentimeters).as(u), 1) << u;
    }
    EXPECT_DOUBLE_EQ(TAngle(180, TAngle::kDegrees).asRadians(), M_PI);
    EXPECT_EQ(TAngle::internalUnit(), TAngle::kRadians);
    EXPECT_DOUBLE_EQ(TTime(36, TTime::kFilm).as(TTime::kNTSCFrame), 45);
    EXPECT_FALSE(TDistance::setUIUnit(9));
    EXPECT_FALSE(TAngle::setUIUnit(3));
}

TEST(StringTest, DoublesPrintShortestExact) {
    struct Row {
        double v;
        const char* text;
    } rows[] = {{0.1, "0.1"}, {1, "1"}, {-2.5, "-2.5"}, {1.0 / 3, "0.33333333333333331"}, {1e-7, "1e-07"},
                {0.017453292519943295, "0.017453292519943295"}, {91.44000000000001, "91.440000000000012"}};
    for (const Row& r : rows) {
        TString s;
        s += r.v;
        EXPECT_EQ(std::string(s.asChar()), r.text);
        EXPECT_EQ(std::strtod(s.asChar(), nullptr), r.v);
    }
    TString t("setAttr ");
    t += 3;
    EXPECT_EQ(std::string((t + 0.5).asChar()), "setAttr 30.5");
    TStringArray parts;
    TString("a  b c").split(' ', parts);
    EXPECT_EQ(parts.length(), 3u);
}

}  // namespace
