#include "fcurve/kfcurvefiltermatrixconverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

using MC = KFCurveFilterMatrixConverter;
constexpr kLongLong kFrame = 1539538600LL;  // 1/30 s

// ---- An independent total matrix: plain 4x4 products, p' = p . M ------------------------

struct M4 {
    double m[4][4];
};

// Scaling by (sx, sy, sz), then translation by (tx, ty, tz).
M4 Affine(double sx, double sy, double sz, double tx = 0, double ty = 0, double tz = 0) {
    return M4{{{sx, 0, 0, 0}, {0, sy, 0, 0}, {0, 0, sz, 0}, {tx, ty, tz, 1}}};
}
M4 Translation(double x, double y, double z) { return Affine(1, 1, 1, x, y, z); }

// a applied first, then b.
M4 operator*(const M4& a, const M4& b) {
    M4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

M4 Rotation(double x, double y, double z, int order = 0) {
    KgeRMatrix r;
    KVXRotationOrder(order).V2M(r, KgeRVector(x, y, z));
    M4 out = Affine(1, 1, 1);
    for (int i = 0; i < 3; ++i) std::copy(r[i], r[i] + 3, out.m[i]);
    return out;
}

// A set as the tests keep it: matrix k, or none (identity, skipped). The
// pivots (11, 12) are pure translations, inverted by the opposite move.
struct Set {
    bool used[MC::eMatrixCount] = {};
    M4 m[MC::eMatrixCount];

    Set& Put(int id, const M4& matrix) {
        used[id] = true;
        m[id] = matrix;
        return *this;
    }
    M4 operator[](int id) const { return used[id] ? m[id] : Affine(1, 1, 1); }
    M4 Opposite(int id) const { return Translation(-(*this)[id].m[3][0], -(*this)[id].m[3][1], -(*this)[id].m[3][2]); }
    void Load(MC& filter, bool source) const {
        for (int id = 0; id < MC::eMatrixCount; ++id)
            if (used[id])
                (filter.*(source ? &MC::SetSourceMatrix : &MC::SetDestMatrix))(static_cast<MC::EMatrixID>(id), m[id].m);
    }
};

// The documented product, applied to a point first to last:
// M7, M12^-1, M6, S, M5, M12, M11^-1, M4, R, M3, M11, pivot term, M2, T, M1, M0.
M4 Total(const Set& s, const M4& t, const M4& r, const M4& scaling) {
    M4 pivotTerm = Affine(1, 1, 1);
    if (s.used[8]) {
        const M4 p = s.m[8] * s[s.used[4] ? 4 : 10] * r * s[s.used[3] ? 3 : 9];
        pivotTerm = Translation(p.m[3][0], p.m[3][1], p.m[3][2]);
    }
    return s[7] * s.Opposite(12) * s[6] * scaling * s[5] * s[12] * s.Opposite(11) * s[4] * r * s[3] * s[11] *
           pivotTerm * s[2] * t * s[1] * s[0];
}

KFCurve& Curve(KFCurveNode& node, int part, int axis) { return *node.Get(part)->Get(axis)->FCurveGet(); }

// The largest difference between the total matrices of the original under its
// set and of the converted node under its set, at the given times (none: of
// their default values).
double WorstDifference(KFCurveNode& original, const Set& source, int sourceOrder, KFCurveNode& converted,
                       const Set& dest, int destOrder, const std::vector<KTime>& times) {
    auto total = [](KFCurveNode& node, const Set& set, int order, const KTime* t) {
        double v[9];
        for (int c = 0; c < 9; ++c)
            v[c] = t ? Curve(node, c / 3, c % 3).Evaluate(*t) : Curve(node, c / 3, c % 3).GetValue();
        return Total(set, Translation(v[0], v[1], v[2]), Rotation(v[3], v[4], v[5], order), Affine(v[6], v[7], v[8]));
    };
    double worst = 0.0;
    for (std::size_t k = 0; k < std::max<std::size_t>(times.size(), 1); ++k) {
        const KTime* t = times.empty() ? nullptr : &times[k];
        const M4 a = total(original, source, sourceOrder, t), b = total(converted, dest, destOrder, t);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) worst = std::max(worst, std::fabs(a.m[i][j] - b.m[i][j]));
    }
    return worst;
}

// Random sets and animation.
struct Random : std::mt19937 {
    explicit Random(unsigned seed) : std::mt19937(seed) {}
    double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(*this); }
    M4 Turn() { return Rotation(Uniform(-90, 90), Uniform(-90, 90), Uniform(-90, 90)); }
    M4 Move() { return Translation(Uniform(-0.5, 0.5), Uniform(-0.5, 0.5), Uniform(-0.5, 0.5)); }

    // Pivots, offsets, pre- and post-rotations and the outer matrices. What
    // stands before the scaling only moves (a turn there followed by uneven
    // scaling would be a shear, which no set of curves can express).
    Set PivotSet() {
        Set s;
        for (int id = 0; id < MC::eMatrixCount; ++id)
            if (id < MC::eAfterScaling)
                s.Put(id, id < MC::eRotationOffset ? Turn() * Move() : id == MC::eRotationOffset ? Move() : Turn());
            else if (id == MC::eAfterScaling)
                s.Put(id, Affine(Uniform(0.5, 2), Uniform(0.5, 2), Uniform(0.5, 2)) * Turn());
            else if (id != MC::ePivotTermPreRotation && id != MC::ePivotTermPostRotation)
                s.Put(id, Move());
        return s;
    }

    // Keys at random times (each curve its own) over about two seconds.
    void Animate(KFCurveNode& node) {
        for (int c = 0; c < 9; ++c) {
            double t = Uniform(0.0, 0.2);
            for (int k = 0; k < 6; ++k, t += Uniform(0.1, 0.4)) {
                const double value = c < 3 ? Uniform(-0.5, 0.5) : c < 6 ? Uniform(-80, 80) : Uniform(0.5, 1.5);
                Keys(Curve(node, c / 3, c % 3), {{t, static_cast<float>(value)}});
            }
        }
    }
};

// ---- Tests -----------------------------------------------------------------------------

class MatrixConverter : public ::testing::Test {
protected:
    MatrixConverter() {
        filter.SetResamplingPeriod(KTime(kFrame));
        filter.SetApplyConstantKeyReducer(false);
        filter.SetApplyUnroll(false);
    }
    KFCurve& C(int part, int axis) { return Curve(*node, part, axis); }
    // Converts under a source set with a rotation pivot at (x, y, z).
    bool ApplyWithPivot(KFCurveNode& target, double x = 1, double y = 0, double z = 0) {
        filter.SetSourceMatrix(MC::eRotationPivot, Translation(x, y, z).m);
        return filter.Apply(target, true);
    }
    // Converts the node from source to dest: the largest difference of the total
    // matrices at the times given (none: at X's new keys, then at the defaults).
    double Convert(const Set& source, const Set& dest, int sourceOrder = 0, int destOrder = 0,
                   std::vector<KTime> times = {}) {
        source.Load(filter, true);
        dest.Load(filter, false);
        filter.mSourceRotationOrder = sourceOrder;
        filter.mDestRotationOrder = destOrder;
        NodePtr original(node->Clone(false));
        EXPECT_TRUE(filter.Apply(*node, true));
        if (times.empty()) times = Times(C(0, 0));
        return WorstDifference(*original, source, sourceOrder, *node, dest, destOrder, times);
    }

    NodePtr node{TransformNode()};
    MC filter;
};

TEST_F(MatrixConverter, SetsCompareWithinToleranceAndEqualSetsWrongFormsOrMissingCurvesChangeNothing) {
    KgeAMatrix a[MC::eMatrixCount], b[MC::eMatrixCount];
    for (int i = 0; i < MC::eMatrixCount; ++i) std::memcpy(a[i], Rotation(i, 2 * i, 3 * i).m, sizeof a[i]);
    std::memcpy(b, a, sizeof b);
    b[7][3][2] += 0.9e-6;
    b[4][2][3] += 1.0;  // the fourth column does not count
    EXPECT_TRUE(filter.MatricesEquivalence(a, b));
    b[12][3][2] += 2e-6;
    EXPECT_FALSE(filter.MatricesEquivalence(a, b));

    // Within 1e-6 of identity counts as identity, and equal sets convert nothing.
    Keys(C(0, 0), {{0, 1}, {1, 2}});
    KFCurve* before = &C(0, 0);
    EXPECT_FALSE(ApplyWithPivot(*node, 1e-7, 0, 0));
    const Set same = Random(3).PivotSet();
    same.Load(filter, true);
    same.Load(filter, false);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, No key were changed by filter.");
    EXPECT_EQ(&C(0, 0), before);
    EXPECT_FALSE(filter.Apply(&before, 1));
    EXPECT_EQ(filter.GetLastErrorID(), MC::eInvalidApplyMethod);
    EXPECT_FALSE(filter.Apply(*before));
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, invalid apply method.");
    node->Get(2)->Delete(1);
    EXPECT_FALSE(ApplyWithPivot(*node, 1, 2, 3));
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, Missing curve.");
    EXPECT_EQ(Values(C(0, 0)), (std::vector<float>{1, 2}));
}

TEST_F(MatrixConverter, SetsInvertWhereNotIdentityAndAConversionLeavesTheDestinationAsSet) {
    Random random(11);
    MC::Cell cell;
    const M4 moved = random.Turn() * random.Move(), scaled = Affine(2, 4, 0.5, 1, 2, 3);
    std::memcpy(cell.mMatrices[MC::ePreRotation], moved.m, sizeof moved.m);
    std::memcpy(cell.mMatrices[MC::eAfterScaling], scaled.m, sizeof scaled.m);
    cell.mIsIdentity[MC::ePreRotation] = false;
    cell.mAllIdentity = true;  // the whole set counts as identity: nothing is inverted
    cell.InverseMatrices();
    EXPECT_EQ(std::memcmp(cell.mMatrices[MC::ePreRotation], moved.m, sizeof moved.m), 0);
    cell.mAllIdentity = false;
    cell.InverseMatrices();
    M4 inverse;
    std::memcpy(inverse.m, cell.mMatrices[MC::ePreRotation], sizeof inverse.m);
    const M4 product = moved * inverse;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(product.m[i][j], i == j ? 1.0 : 0.0, 1e-12) << i << j;
    // Flagged identity (as Reset leaves a stored matrix): not inverted.
    EXPECT_EQ(std::memcmp(cell.mMatrices[MC::eAfterScaling], scaled.m, sizeof scaled.m), 0);

    // The destination set is inverted for the conversion but not left changed by it; the
    // sets read back as set, in the twelve elements outside the fourth column.
    const Set source = random.PivotSet(), dest = random.PivotSet();
    random.Animate(*node);
    EXPECT_LT(Convert(source, dest), 1e-4);
    for (int id = 0; id < MC::eMatrixCount; ++id) {
        KgeAMatrix read, readSource;
        for (int i = 0; i < 4; ++i) read[i][3] = readSource[i][3] = -5.0;
        filter.GetDestMatrix(static_cast<MC::EMatrixID>(id), read);
        filter.GetSourceMatrix(static_cast<MC::EMatrixID>(id), readSource);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) {
                EXPECT_EQ(read[i][j], dest[id].m[i][j]) << id << " " << i << j;
                EXPECT_EQ(readSource[i][j], source[id].m[i][j]) << id << " " << i << j;
            }
            EXPECT_EQ(read[i][3] + readSource[i][3], -10.0) << "left as it was";
        }
    }
}

// Random animation under random pivots, offsets and pre- and post-rotations,
// also in other rotation orders: at every sample the converted curves give the
// same total matrix under the destination set as the source curves under the
// source set.
struct RandomCase {
    unsigned seed;
    int sourceOrder, destOrder;
    bool identityDestination, unroll;
};

class MatrixConverterRandom : public MatrixConverter, public ::testing::WithParamInterface<RandomCase> {};

TEST_P(MatrixConverterRandom, TotalMatrixKeptAtEverySample) {
    const RandomCase c = GetParam();
    Random random(c.seed);
    random.Animate(*node);
    const Set source = random.PivotSet();
    const Set dest = c.identityDestination ? Set() : random.PivotSet();
    // The rotation node says Euler XYZ, as a file's does: the unroll follows the converter's orders.
    filter.SetApplyUnroll(c.unroll);
    NodePtr original(node->Clone(false));
    EXPECT_LT(Convert(source, dest, c.sourceOrder, c.destOrder), 1e-6);
    ASSERT_GT(C(0, 0).KeyGetCount(), 40);
    for (int k = 1; k < 9; ++k) ASSERT_EQ(Times(C(k / 3, k % 3)), Times(C(0, 0))) << k;
    // The default values convert the same way (the unroll's resampling rewrites the rotation's).
    if (!c.unroll) {
        EXPECT_LT(WorstDifference(*original, source, c.sourceOrder, *node, dest, c.destOrder, {}), 1e-6);
    }
}

// Names and printing: seed, orders, destination and unroll in the test name.
std::string CaseName(const RandomCase& c) {
    return "Seed" + std::to_string(c.seed) + "Orders" + std::to_string(c.sourceOrder) + "To" +
           std::to_string(c.destOrder) + (c.identityDestination ? "ToIdentity" : "") + (c.unroll ? "Unrolled" : "");
}
void PrintTo(const RandomCase& c, std::ostream* os) { *os << CaseName(c); }

INSTANTIATE_TEST_SUITE_P(Cases, MatrixConverterRandom,
                         ::testing::Values(RandomCase{1, 0, 0, false, false}, RandomCase{2, 0, 0, false, true},
                                           RandomCase{3, 0, 0, true, false}, RandomCase{4, 4, 0, false, true},
                                           RandomCase{5, 0, 8, false, false}, RandomCase{6, 10, 2, true, true},
                                           RandomCase{7, 0, 0, false, false}, RandomCase{8, 6, 6, false, true}),
                         [](const ::testing::TestParamInfo<RandomCase>& info) { return CaseName(info.param); });

TEST_F(MatrixConverter, SamplesAtThePeriodWithinTheKeys) {
    // Keys at first and last (s), the period, whether the last key comes exactly
    // at the end and whether sampling starts on a multiple of the period: the
    // keys sampled, the first and the last two times.
    const KTime frame(kFrame);
    const struct {
        double first, last;
        KTime period;
        bool exactEnd, onMultiple;
        int count;
        KTime firstTime, secondLast, lastTime;
    } cases[] = {
        {0, 0.99, frame, true, true, 31, KTime(0), KTime(29 * kFrame), Sec(0.99)},
        {0, 0.99, frame, false, true, 31, KTime(0), KTime(29 * kFrame), KTime(30 * kFrame)},
        // Every sample has its reserved key, however long the period.
        {0, 150, Sec(100), true, true, 3, KTime(0), Sec(100), Sec(150)},
        // Sampling starts on the multiple at or below the first key, rounding a negative start down.
        {0.05, 0.5, frame, true, true, 15, KTime(kFrame), KTime(14 * kFrame), Sec(0.5)},
        {-0.05, 0.5, frame, true, true, 18, KTime(-2 * kFrame), KTime(14 * kFrame), Sec(0.5)},
        {0.05, 0.5, frame, true, false, 15, Sec(0.05), Sec(0.05) + KTime(13 * kFrame), Sec(0.5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.first << " to " << c.last);
        NodePtr target(TransformNode());
        Keys(Curve(*target, 0, 0), {{c.first, 0}, {c.last, 1}});
        filter.SetResamplingPeriod(c.period);
        filter.SetGenerateLastKeyExactlyAtEndTime(c.exactEnd);
        filter.SetResamplingOnFrameRateMultiple(c.onMultiple);
        EXPECT_TRUE(ApplyWithPivot(*target));
        const std::vector<KTime> times = Times(Curve(*target, 0, 0));  // the curves are new ones
        ASSERT_EQ(static_cast<int>(times.size()), c.count);
        EXPECT_EQ(std::vector<KTime>({times[0], times[times.size() - 2], times.back()}),
                  std::vector<KTime>({c.firstTime, c.secondLast, c.lastTime}));
        for (int k = 1; k + 1 < c.count; ++k) EXPECT_EQ(times[k] - times[k - 1], c.period) << k;
        EXPECT_EQ(Times(Curve(*target, 2, 2)), times);
    }
}

TEST_F(MatrixConverter, PeriodOfZeroOrLessIsRefusedAsAWhole) {
    Keys(C(0, 0), {{0, 1}, {1, 2}});
    Keys(C(1, 0), {{0, 170}, {1, -170}});
    filter.SetApplyUnroll(true);
    KFCurve* before = &C(0, 0);
    for (kLongLong period : {kLongLong{0}, kLongLong{-1}, -kFrame}) {
        filter.SetResamplingPeriod(KTime(period));
        EXPECT_FALSE(ApplyWithPivot(*node));
        EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, The resampling period must be greater than 0.");
        EXPECT_EQ(&C(0, 0), before);
        EXPECT_EQ(Values(C(1, 0)), (std::vector<float>{170, -170}));  // not unrolled either
    }
    // Without keys only the defaults are converted, whatever the period: the
    // pivot c = (1, 0, 0) stays in place, so the translation is c - c R = (1, -1, 0).
    NodePtr still(TransformNode());
    Curve(*still, 1, 2).SetValue(90.0f);
    for (int axis = 0; axis < 3; ++axis) Curve(*still, 2, axis).SetValue(1.0f);
    EXPECT_TRUE(ApplyWithPivot(*still));
    EXPECT_NEAR(Curve(*still, 0, 1).GetValue(), -1.0, 1e-6);
}

TEST_F(MatrixConverter, HugeSpansAreRefused) {
    KFCurveKey key = MakeKey(1.0f);
    const KTime far(4000000000000000000LL);
    C(0, 0).KeyAdd(KTime(-far.Get()), key);
    C(0, 0).KeyAdd(far, key);
    EXPECT_FALSE(ApplyWithPivot(*node));
    EXPECT_EQ(C(0, 0).KeyGetCount(), 2);
    // Just over ten million samples.
    NodePtr other(TransformNode());
    Keys(Curve(*other, 0, 0), {{0, 0}});
    Curve(*other, 0, 0).KeyAdd(KTime(10000001LL * kFrame), key);
    EXPECT_FALSE(filter.Apply(*other, true));
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, Too many samples at this resampling period.");
    EXPECT_EQ(Curve(*other, 0, 0).KeyGetCount(), 2);
    // A period as long as the span samples its ends only.
    filter.SetResamplingPeriod(far);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Times(C(0, 0)), (std::vector<KTime>{KTime(-far.Get()), KTime(0), far}));
}

// With the default steps after the conversion: the rotation is unrolled and
// resampled, constant channels lose their keys, and the matrix is still kept.
TEST_F(MatrixConverter, UnrollAndConstantKeyReductionAfterTheConversion) {
    filter.SetApplyUnroll(true);
    filter.SetApplyConstantKeyReducer(true);
    for (int c = 0; c < 3; ++c) C(2, c).SetValue(1.0f);
    for (int k = 0; k <= 10; ++k) Keys(C(1, 2), {{k * 0.1, static_cast<float>(k * 40)}});
    std::vector<KTime> frames;
    for (int k = 0; k <= 30; ++k) frames.push_back(KTime(k * kFrame));
    EXPECT_LT(Convert(Set().Put(MC::ePreRotation, Rotation(0, 0, 15)), Set(), 0, 0, frames), 1e-5);
    EXPECT_EQ(C(2, 0).KeyGetCount(), 0);  // constant channels keep no key
    // Continuous again after the conversion's angles wrapped at the half turn.
    const std::vector<float> z = Values(C(1, 2));
    ASSERT_GT(z.size(), 2u);
    EXPECT_GT(z.back(), 400.0f);
    for (std::size_t k = 1; k < z.size(); ++k) EXPECT_LT(std::fabs(z[k] - z[k - 1]), 30.0f) << k;
}


// What the converter writes in an order it leaves unrolled in that order, whatever the rotation
// node says (a node read from a file says Euler XYZ): in every order, the total matrix holds at
// the keys and between them. The first case is a node whose resampled rotation has, in Euler XYZ,
// another solution nearer zero, which an unroll in the wrong order takes for the same turn.
TEST(MatrixConverterOrders, UnrolledInTheOrderTheCurvesAreWrittenIn) {
    std::vector<KTime> frames;
    for (int k = 0; k <= 30; ++k) frames.push_back(KTime(k * kFrame));
    Random random(29);
    for (int order = 0; order < KVXRotationOrder::eOrderCount; ++order) {
        for (const bool turning : {false, true}) {
            SCOPED_TRACE("order " + std::to_string(order) + (turning ? ", rotation keys" : ", a translation key"));
            NodePtr node(TransformNode());
            const float still[3] = {-60.0f, -99.5f, -125.0f};
            for (int c = 0; c < 3; ++c) {
                Curve(*node, 1, c).SetValue(still[c]);
                Curve(*node, 2, c).SetValue(1.0f);
            }
            Keys(Curve(*node, 0, 0), {{0, 0}, {1, 0}});
            if (turning)
                for (int c = 0; c < 3; ++c)
                    for (double t : {0.0, 0.5, 1.0})
                        Keys(Curve(*node, 1, c), {{t, static_cast<float>(random.Uniform(-180, 180))}});
            MC filter;
            filter.SetResamplingPeriod(KTime(kFrame));
            filter.SetApplyConstantKeyReducer(false);
            const Set source = Set().Put(MC::ePreRotation, Rotation(16, 10, -73));
            source.Load(filter, true);
            filter.mSourceRotationOrder = filter.mDestRotationOrder = order;
            NodePtr original(node->Clone(false));
            EXPECT_TRUE(filter.Apply(*node, true));
            EXPECT_LT(WorstDifference(*original, source, order, *node, Set(), order, frames), 1e-5);
            // The rotation node says the order of the curves it now holds.
            EXPECT_EQ(node->Get(1)->GetRotationOrder(), order);
        }
    }
}

// A turn within a hundredth of a degree of a quarter turn about Y is written as itself in Euler XYZ,
// not as the quarter turn (which is a thousandth of a radian away).
TEST(MatrixConverterOrders, NearAQuarterTurnAboutYTheTurnIsKept) {
    NodePtr node(TransformNode());
    for (int c = 0; c < 3; ++c) Curve(*node, 2, c).SetValue(1.0f);
    Keys(Curve(*node, 0, 0), {{0, 0}, {1, 0}});
    MC filter;
    filter.SetResamplingPeriod(KTime(kFrame));
    const Set source = Set().Put(MC::ePreRotation, Rotation(128.99, 90.0078, 31.26));
    source.Load(filter, true);
    NodePtr original(node->Clone(false));
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_LT(WorstDifference(*original, source, 0, *node, Set(), 0, {KTime(0), KTime(15 * kFrame)}), 1e-6);
}

// Orders that differ are a change even where the matrices are not: the curves are re-expressed
// in the destination order, and unrolled in it.
TEST(MatrixConverterOrders, AnotherOrderAloneIsConverted) {
    NodePtr node(TransformNode());
    for (int c = 0; c < 3; ++c) Curve(*node, 2, c).SetValue(1.0f);
    Keys(Curve(*node, 1, 0), {{0, 170}, {1, -170}});
    Keys(Curve(*node, 1, 1), {{0, 100}, {1, 20}});
    Keys(Curve(*node, 1, 2), {{0, -40}, {1, 150}});
    MC filter;
    filter.SetResamplingPeriod(KTime(kFrame));
    filter.SetApplyConstantKeyReducer(false);
    filter.mSourceRotationOrder = 4;
    filter.mDestRotationOrder = 8;
    NodePtr original(node->Clone(false));
    EXPECT_TRUE(filter.Apply(*node, true));
    std::vector<KTime> frames;
    for (int k = 0; k <= 30; ++k) frames.push_back(KTime(k * kFrame));
    EXPECT_LT(WorstDifference(*original, Set(), 4, *node, Set(), 8, frames), 1e-5);
    EXPECT_EQ(node->Get(1)->GetRotationOrder(), 8);
}

}  // namespace
