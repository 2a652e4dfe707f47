#include "fcurve/kfcurvefiltermatrixconverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
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
M4 Identity() { return Affine(1, 1, 1); }
M4 Translation(double x, double y, double z) { return Affine(1, 1, 1, x, y, z); }
M4 Scaling(double x, double y, double z) { return Affine(x, y, z); }

// a applied first, then b.
M4 operator*(const M4& a, const M4& b) {
    M4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

M4 Inverse(const M4& a) {
    double w[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 8; ++j) w[i][j] = j < 4 ? a.m[i][j] : (j - 4 == i ? 1.0 : 0.0);
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(w[r][c]) > std::fabs(w[pivot][c])) pivot = r;
        for (int j = 0; j < 8; ++j) std::swap(w[c][j], w[pivot][j]);
        const double d = w[c][c];
        for (int j = 0; j < 8; ++j) w[c][j] /= d;
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            const double f = w[r][c];
            for (int j = 0; j < 8; ++j) w[r][j] -= f * w[c][j];
        }
    }
    M4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = w[i][j + 4];
    return r;
}

M4 Rotation(double x, double y, double z, int order = 0) {
    KgeRMatrix r;
    KVXRotationOrder(order).V2M(r, KgeRVector(x, y, z));
    M4 out = Identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out.m[i][j] = r[i][j];
    return out;
}

// A set as the tests keep it: matrix k, or none (identity, skipped).
struct Set {
    bool used[MC::eMatrixCount] = {};
    M4 m[MC::eMatrixCount];

    void Put(int id, const M4& matrix) {
        used[id] = true;
        m[id] = matrix;
    }
    M4 Get(int id) const { return used[id] ? m[id] : Identity(); }
};

// The documented product, applied to a point first to last:
// M7, M12^-1, M6, S, M5, M12, M11^-1, M4, R, M3, M11, pivot term, M2, T, M1, M0.
M4 Total(const Set& s, const M4& t, const M4& r, const M4& scaling) {
    M4 pivotTerm = Identity();
    if (s.used[8]) {
        const M4 pre = s.used[3] ? s.m[3] : s.Get(9);
        const M4 post = s.used[4] ? s.m[4] : s.Get(10);
        const M4 p = s.m[8] * post * r * pre;
        pivotTerm = Translation(p.m[3][0], p.m[3][1], p.m[3][2]);
    }
    return s.Get(7) * Inverse(s.Get(12)) * s.Get(6) * scaling * s.Get(5) * s.Get(12) * Inverse(s.Get(11)) * s.Get(4) *
           r * s.Get(3) * s.Get(11) * pivotTerm * s.Get(2) * t * s.Get(1) * s.Get(0);
}

void Load(MC& filter, const Set& set, bool source) {
    for (int id = 0; id < MC::eMatrixCount; ++id) {
        if (!set.used[id]) continue;
        if (source)
            filter.SetSourceMatrix(static_cast<MC::EMatrixID>(id), set.m[id].m);
        else
            filter.SetDestMatrix(static_cast<MC::EMatrixID>(id), set.m[id].m);
    }
}

// ---- Transform nodes -------------------------------------------------------------------

NodePtr Transform() { return NodePtr(TransformNode()); }

KFCurve* Curve(KFCurveNode& node, int part, int axis) { return node.Get(part)->Get(axis)->FCurveGet(); }

// The total matrix of a node's nine values (T, R, S) at a time, or of its
// default values, under a set.
M4 NodeTotal(KFCurveNode& node, const Set& set, int order, const KTime* t) {
    double v[9];
    for (int c = 0; c < 9; ++c)
        v[c] = t ? Curve(node, c / 3, c % 3)->Evaluate(*t) : Curve(node, c / 3, c % 3)->GetValue();
    return Total(set, Translation(v[0], v[1], v[2]), Rotation(v[3], v[4], v[5], order), Scaling(v[6], v[7], v[8]));
}

double MaxDifference(const M4& a, const M4& b) {
    double d = 0.0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) d = std::max(d, std::fabs(a.m[i][j] - b.m[i][j]));
    return d;
}

// The largest difference between the total matrices of the original under its
// set and of the converted node under its set, at the given times.
double WorstDifference(KFCurveNode& original, const Set& source, int sourceOrder, KFCurveNode& converted,
                       const Set& dest, int destOrder, const std::vector<KTime>& times) {
    double worst = 0.0;
    for (const KTime& t : times)
        worst = std::max(worst, MaxDifference(NodeTotal(original, source, sourceOrder, &t),
                                              NodeTotal(converted, dest, destOrder, &t)));
    return worst;
}

void SetDefaults(KFCurveNode& node, const std::vector<float>& values) {
    for (int c = 0; c < 9; ++c) Curve(node, c / 3, c % 3)->SetValue(values[c]);
}

// ---- Random sets and animation ---------------------------------------------------------

class Random {
public:
    explicit Random(unsigned seed) : mEngine(seed) {}
    double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(mEngine); }
    M4 Rotation() { return ::Rotation(Uniform(-90, 90), Uniform(-90, 90), Uniform(-90, 90)); }
    M4 Translation(double r = 0.5) { return ::Translation(Uniform(-r, r), Uniform(-r, r), Uniform(-r, r)); }
    M4 Rigid() { return Rotation() * Translation(); }

    // Pivots, offsets, pre- and post-rotations and the outer matrices. What
    // stands before the scaling only moves (a turn there followed by uneven
    // scaling would be a shear, which no set of curves can express).
    Set PivotSet() {
        Set s;
        s.Put(MC::eAfterTranslationOuter, Rigid());
        s.Put(MC::eAfterTranslation, Rigid());
        s.Put(MC::eRotationOffset, Translation());
        s.Put(MC::ePreRotation, Rotation());
        s.Put(MC::ePostRotation, Rotation());
        s.Put(MC::eAfterScaling, Scaling(Uniform(0.5, 2), Uniform(0.5, 2), Uniform(0.5, 2)) * Rotation());
        s.Put(MC::eBeforeScaling, Translation());
        s.Put(MC::eBeforeAll, Translation());
        s.Put(MC::ePivotTermOffset, Translation());
        s.Put(MC::eRotationPivot, Translation());
        s.Put(MC::eScalingPivot, Translation());
        return s;
    }

    // Keys at random times (each curve its own) over about two seconds.
    void Animate(KFCurveNode& node) {
        for (int c = 0; c < 9; ++c) {
            KFCurve& curve = *Curve(node, c / 3, c % 3);
            double t = Uniform(0.0, 0.2);
            for (int k = 0; k < 6; ++k, t += Uniform(0.1, 0.4)) {
                const double value = c < 3 ? Uniform(-0.5, 0.5) : c < 6 ? Uniform(-80, 80) : Uniform(0.5, 1.5);
                Keys(curve, {{t, static_cast<float>(value)}});
            }
        }
    }

private:
    std::mt19937 mEngine;
};

// ---- Tests -----------------------------------------------------------------------------

TEST(MatrixConverter, MatricesKeepTwelveElementsAndSetsCompareWithinTolerance) {
    MC filter;
    M4 m = Rotation(10, 20, 30) * Translation(1, 2, 3);
    m.m[0][3] = 7.0;  // the fourth column does not count
    filter.SetSourceMatrix(MC::ePreRotation, m.m);
    M4 out = Identity();
    out.m[0][3] = -1.0;
    filter.GetSourceMatrix(MC::ePreRotation, out.m);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(out.m[i][j], m.m[i][j]);
    EXPECT_EQ(out.m[0][3], -1.0);
    filter.SetDestMatrix(static_cast<MC::EMatrixID>(13), m.m);  // ids outside the set are ignored

    KgeAMatrix a[MC::eMatrixCount], b[MC::eMatrixCount];
    for (int i = 0; i < MC::eMatrixCount; ++i) {
        std::memcpy(a[i], Rotation(i, 2 * i, 3 * i).m, sizeof a[i]);
        std::memcpy(b[i], a[i], sizeof b[i]);
    }
    b[7][3][2] += 0.9e-6;
    b[4][2][3] += 1.0;
    EXPECT_TRUE(filter.MatricesEquivalence(a, b));
    b[12][3][2] += 2e-6;
    EXPECT_FALSE(filter.MatricesEquivalence(a, b));

    // Within 1e-6 of identity counts as identity: nothing to convert.
    MC nearly;
    M4 almost = Identity();
    almost.m[3][0] = 1e-7;
    nearly.SetSourceMatrix(MC::eRotationPivot, almost.m);
    NodePtr node = Transform();
    EXPECT_FALSE(nearly.Apply(*node, true));
    EXPECT_EQ(nearly.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
}

class MatrixConverterNode : public ::testing::Test {
protected:
    MatrixConverterNode() {
        filter.SetResamplingPeriod(KTime(kFrame));
        filter.SetApplyConstantKeyReducer(false);
        filter.SetApplyUnroll(false);
    }
    KFCurve& C(int part, int axis) { return *Curve(*node, part, axis); }

    NodePtr node = Transform();
    MC filter;
};

TEST_F(MatrixConverterNode, EqualSetsWrongFormsAndMissingCurvesChangeNothing) {
    Keys(C(0, 0), {{0, 1}, {1, 2}});
    const Set same = Random(3).PivotSet();
    Load(filter, same, true);
    Load(filter, same, false);
    KFCurve* before = &C(0, 0);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, No key were changed by filter.");
    EXPECT_EQ(&C(0, 0), before);

    KFCurve* curves[1] = {before};
    EXPECT_FALSE(filter.Apply(*before));
    EXPECT_EQ(filter.GetLastErrorID(), MC::eInvalidApplyMethod);
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, invalid apply method.");
    EXPECT_FALSE(filter.Apply(curves, 1));
    EXPECT_EQ(filter.GetLastErrorID(), MC::eInvalidApplyMethod);

    node->Get(2)->Delete(1);
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 2, 3).m);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), MC::eMissingTransformCurve);
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, Missing curve.");
    EXPECT_EQ(Values(C(0, 0)), (std::vector<float>{1, 2}));
}

// Random animation under random pivots, offsets and pre- and post-rotations,
// also in other rotation orders: at every sample the converted curves give the
// same total matrix under the destination set as the source curves under the
// source set.
struct RandomCase {
    unsigned seed;
    int sourceOrder;
    int destOrder;
    bool identityDestination;
    bool unroll;
};

class MatrixConverterRandom : public MatrixConverterNode, public ::testing::WithParamInterface<RandomCase> {};

TEST_P(MatrixConverterRandom, TotalMatrixKeptAtEverySample) {
    const RandomCase param = GetParam();
    Random random(param.seed);
    random.Animate(*node);
    const Set source = random.PivotSet();
    const Set dest = param.identityDestination ? Set() : random.PivotSet();
    Load(filter, source, true);
    Load(filter, dest, false);
    filter.mSourceRotationOrder = param.sourceOrder;
    filter.mDestRotationOrder = param.destOrder;
    // The rotation node describes the converted curves, which its unroll follows.
    filter.SetApplyUnroll(param.unroll);
    node->Get(1)->SetRotationOrder(param.destOrder);
    NodePtr original(node->Clone(false));

    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_TRUE(filter.GetResampleTranslation());
    KFCurve& x = C(0, 0);
    ASSERT_GT(x.KeyGetCount(), 40);
    for (int c = 1; c < 9; ++c) ASSERT_EQ(Times(*Curve(*node, c / 3, c % 3)), Times(x)) << c;
    EXPECT_LT(WorstDifference(*original, source, param.sourceOrder, *node, dest, param.destOrder, Times(x)), 1e-6);
    if (param.unroll) return;  // the resampling rewrites the rotation curves' defaults
    // The default values convert the same way.
    EXPECT_LT(MaxDifference(NodeTotal(*original, source, param.sourceOrder, nullptr),
                            NodeTotal(*node, dest, param.destOrder, nullptr)),
              1e-6);
}

INSTANTIATE_TEST_SUITE_P(Cases, MatrixConverterRandom,
                         ::testing::Values(RandomCase{1, 0, 0, false, false}, RandomCase{2, 0, 0, false, true},
                                           RandomCase{3, 0, 0, true, false}, RandomCase{4, 4, 0, false, true},
                                           RandomCase{5, 0, 8, false, false}, RandomCase{6, 10, 2, true, true},
                                           RandomCase{7, 0, 0, false, false}, RandomCase{8, 6, 6, false, true}));

TEST_F(MatrixConverterNode, PivotTermWithoutPreAndPostRotationsUsesTheirStandIns) {
    Random random(11);
    random.Animate(*node);
    Set source;
    source.Put(MC::ePivotTermOffset, random.Translation());
    source.Put(MC::ePivotTermPreRotation, random.Rotation());
    source.Put(MC::ePivotTermPostRotation, random.Rotation());
    Set dest;
    dest.Put(MC::eRotationPivot, random.Translation());
    dest.Put(MC::ePivotTermOffset, random.Translation());
    dest.Put(MC::ePivotTermPreRotation, random.Rotation());
    Load(filter, source, true);
    Load(filter, dest, false);
    NodePtr original(node->Clone(false));
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_LT(WorstDifference(*original, source, 0, *node, dest, 0, Times(C(0, 0))), 1e-6);
}

TEST_F(MatrixConverterNode, NegativeScalingKeepsTheTotalMatrix) {
    Keys(C(2, 0), {{0, -1.0f}, {1, -2.0f}});
    Keys(C(1, 2), {{0, 30.0f}, {1, 60.0f}});
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(0.3, 0.1, 0).m);
    NodePtr original(node->Clone(false));
    EXPECT_TRUE(filter.Apply(*node, true));
    Set source;
    source.Put(MC::eRotationPivot, Translation(0.3, 0.1, 0));
    EXPECT_LT(WorstDifference(*original, source, 0, *node, Set(), 0, Times(C(0, 0))), 1e-6);
}

// Keys at first and last (s), the period, whether the last key comes exactly at
// the end and whether sampling starts on a multiple of the period: the keys
// sampled, the first and the last two times.
struct SamplingCase {
    double first, last;
    KTime period;
    bool exactEnd, onMultiple;
    int count;
    KTime firstTime, secondLast, lastTime;
};

class MatrixConverterSampling : public ::testing::TestWithParam<SamplingCase> {};

TEST_P(MatrixConverterSampling, SamplesAtThePeriodWithinTheKeys) {
    const SamplingCase& c = GetParam();
    NodePtr node = Transform();
    Keys(*Curve(*node, 0, 0), {{c.first, 0}, {c.last, 1}});
    MC filter;
    filter.SetApplyConstantKeyReducer(false);
    filter.SetApplyUnroll(false);
    filter.SetResamplingPeriod(c.period);
    filter.SetGenerateLastKeyExactlyAtEndTime(c.exactEnd);
    filter.SetResamplingOnFrameRateMultiple(c.onMultiple);
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 0, 0).m);
    EXPECT_TRUE(filter.Apply(*node, true));
    const std::vector<KTime> times = Times(*Curve(*node, 0, 0));  // the curves are new ones
    ASSERT_EQ(static_cast<int>(times.size()), c.count);
    EXPECT_EQ(times[0], c.firstTime);
    EXPECT_EQ(times[times.size() - 2], c.secondLast);
    EXPECT_EQ(times.back(), c.lastTime);
    for (int k = 1; k + 1 < c.count; ++k) EXPECT_EQ(times[k] - times[k - 1], c.period) << k;
    EXPECT_EQ(Times(*Curve(*node, 2, 2)), times);
}

const KTime kOneFrame(kFrame);
INSTANTIATE_TEST_SUITE_P(
    Cases, MatrixConverterSampling,
    ::testing::Values(
        SamplingCase{0, 0.99, kOneFrame, true, true, 31, KTime(0), KTime(29 * kFrame), Sec(0.99)},
        SamplingCase{0, 0.99, kOneFrame, false, true, 31, KTime(0), KTime(29 * kFrame), KTime(30 * kFrame)},
        SamplingCase{0, 1, kOneFrame, true, true, 31, KTime(0), KTime(29 * kFrame), Sec(1)},
        // Every sample has its reserved key, however long the period.
        SamplingCase{0, 150, Sec(100), true, true, 3, KTime(0), Sec(100), Sec(150)},
        // Sampling starts on the multiple at or below the first key, rounding a negative start down.
        SamplingCase{0.05, 0.5, kOneFrame, true, true, 15, KTime(kFrame), KTime(14 * kFrame), Sec(0.5)},
        SamplingCase{-0.05, 0.5, kOneFrame, true, true, 18, KTime(-2 * kFrame), KTime(14 * kFrame), Sec(0.5)},
        SamplingCase{0.05, 0.5, kOneFrame, true, false, 15, Sec(0.05), Sec(0.05) + KTime(13 * kFrame), Sec(0.5)}));

TEST_F(MatrixConverterNode, FilterSpanLimitsTheSampling) {
    Keys(C(0, 0), {{0, 0}, {2, 2}});
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 0, 0).m);
    filter.SetStartTime(Sec(0.5));
    filter.SetStopTime(Sec(1.0));
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(C(0, 0).KeyGetPtr(0)->GetTime(), KTime(15 * kFrame));
    EXPECT_EQ(C(0, 0).KeyGetPtr(C(0, 0).KeyGetCount() - 1)->GetTime(), Sec(1.0));

    // A span without any key refuses rather than emptying the curves.
    NodePtr other = Transform();
    Keys(*Curve(*other, 0, 0), {{0, 0}, {2, 2}});
    filter.SetStartTime(Sec(3));
    filter.SetStopTime(Sec(4));
    EXPECT_FALSE(filter.Apply(*other, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_NO_KEY);
    EXPECT_EQ(Values(*Curve(*other, 0, 0)), (std::vector<float>{0, 2}));
}

class MatrixConverterPeriod : public MatrixConverterNode, public ::testing::WithParamInterface<kLongLong> {};

TEST_P(MatrixConverterPeriod, PeriodOfZeroOrLessIsRefused) {
    Keys(C(0, 0), {{0, 1}, {1, 2}});
    Keys(C(1, 0), {{0, 170}, {1, -170}});
    filter.SetApplyUnroll(true);
    filter.SetResamplingPeriod(KTime(GetParam()));
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 0, 0).m);
    KFCurve* before = &C(0, 0);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, The resampling period must be greater than 0.");
    EXPECT_EQ(&C(0, 0), before);
    EXPECT_EQ(Values(C(0, 0)), (std::vector<float>{1, 2}));
    // Refused as a whole: the rotation is not unrolled either.
    EXPECT_EQ(Values(C(1, 0)), (std::vector<float>{170, -170}));
}

INSTANTIATE_TEST_SUITE_P(Periods, MatrixConverterPeriod, ::testing::Values(0LL, -1LL, -kFrame));

TEST_F(MatrixConverterNode, WithoutKeysOnlyTheDefaultsAreConverted) {
    filter.SetResamplingPeriod(KTime(0));
    SetDefaults(*node, {0, 0, 0, 0, 0, 90, 1, 1, 1});
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 0, 0).m);
    EXPECT_TRUE(filter.Apply(*node, true));
    // The pivot c = (1, 0, 0) stays in place: the translation is c - c R = (1, -1, 0).
    EXPECT_NEAR(C(0, 0).GetValue(), 1.0, 1e-6);
    EXPECT_NEAR(C(0, 1).GetValue(), -1.0, 1e-6);
    EXPECT_NEAR(C(1, 2).GetValue(), 90.0, 1e-5);
    EXPECT_EQ(C(0, 0).KeyGetCount(), 0);
}

TEST_F(MatrixConverterNode, HugeSpansAreRefused) {
    KFCurveKey key = MakeKey(1.0f);
    C(0, 0).KeyAdd(KTime(-4000000000000000000LL), key);
    C(0, 0).KeyAdd(KTime(4000000000000000000LL), key);
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 0, 0).m);
    EXPECT_FALSE(filter.Apply(*node, true));
    EXPECT_EQ(filter.GetLastErrorID(), KFCURVEFILTER_ERROR_LEFT_UNCHANGED);
    EXPECT_EQ(C(0, 0).KeyGetCount(), 2);
    // Just over ten million samples.
    NodePtr other = Transform();
    Keys(*Curve(*other, 0, 0), {{0, 0}});
    Curve(*other, 0, 0)->KeyAdd(KTime(10000001LL * kFrame), key);
    EXPECT_FALSE(filter.Apply(*other, true));
    EXPECT_STREQ(filter.GetLastErrorString(), "MatrixConverter, Too many samples at this resampling period.");
    EXPECT_EQ(Curve(*other, 0, 0)->KeyGetCount(), 2);
    // A period as long as the span samples its ends only.
    filter.SetResamplingPeriod(KTime(4000000000000000000LL));
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_EQ(Times(C(0, 0)),
              (std::vector<KTime>{KTime(-4000000000000000000LL), KTime(0), KTime(4000000000000000000LL)}));
}

TEST_F(MatrixConverterNode, TranslationKeptWhenNoPivotMovesIt) {
    Keys(C(0, 0), {{0, 1}, {1, 2}});
    Keys(C(1, 2), {{0, 0}, {1, 45}});
    filter.SetResampleTranslation(false);
    filter.SetSourceMatrix(MC::eRotationOffset, Translation(1, 0, 0).m);
    KFCurve* translation = &C(0, 0);
    KFCurve* rotation = &C(1, 2);
    EXPECT_TRUE(filter.Apply(*node, true));
    EXPECT_FALSE(filter.GetResampleTranslation());
    EXPECT_EQ(&C(0, 0), translation);
    EXPECT_EQ(Values(C(0, 0)), (std::vector<float>{1, 2}));
    EXPECT_NE(&C(1, 2), rotation);
    EXPECT_EQ(C(1, 2).KeyGetCount(), 31);

    // A rotation pivot always brings the translation along.
    NodePtr other = Transform();
    Keys(*Curve(*other, 0, 0), {{0, 1}, {1, 2}});
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(0, 1, 0).m);
    translation = Curve(*other, 0, 0);
    EXPECT_TRUE(filter.Apply(*other, true));
    EXPECT_TRUE(filter.GetResampleTranslation());
    EXPECT_NE(Curve(*other, 0, 0), translation);
}

TEST_F(MatrixConverterNode, SampleKeysTakeTheSourceKeyKinds) {
    Add(C(0, 0), 0, MakeKey(0, kLinear, KFCURVE_TANGEANT_USER));
    Add(C(0, 0), 0.5, MakeKey(1, kConstant, KFCURVE_TANGEANT_BREAK_BIT));
    Add(C(0, 0), 1, MakeKey(1, kCubic, KFCURVE_TANGEANT_TCB));
    filter.SetSourceMatrix(MC::eRotationPivot, Translation(1, 0, 0).m);
    EXPECT_TRUE(filter.Apply(*node, true));
    KFCurve& x = C(0, 0);
    EXPECT_EQ(x.KeyGetPtr(1)->GetInterpolation(), kLinear);
    EXPECT_EQ(x.KeyGetPtr(1)->GetTangeantMode(), static_cast<unsigned>(KFCURVE_TANGEANT_USER));
    // A tangent mode the samples cannot carry becomes auto.
    EXPECT_EQ(x.KeyGetPtr(16)->GetInterpolation(), kConstant);
    EXPECT_EQ(x.KeyGetPtr(16)->GetTangeantMode(), static_cast<unsigned>(KFCURVE_TANGEANT_AUTO));
    EXPECT_EQ(x.KeyGetPtr(30)->GetTangeantMode(), static_cast<unsigned>(KFCURVE_TANGEANT_TCB));
    // Curves without keys give cubic auto keys.
    EXPECT_EQ(C(1, 0).KeyGetPtr(3)->GetInterpolation(), kCubic);
    EXPECT_EQ(C(1, 0).KeyGetPtr(3)->GetTangeantMode(), static_cast<unsigned>(KFCURVE_TANGEANT_AUTO));
}

// With the default steps after the conversion: the rotation is unrolled and
// resampled, constant channels lose their keys, and the matrix is still kept.
TEST_F(MatrixConverterNode, UnrollAndConstantKeyReductionAfterTheConversion) {
    filter.SetApplyUnroll(true);
    filter.SetApplyConstantKeyReducer(true);
    SetDefaults(*node, {0, 0, 0, 0, 0, 0, 1, 1, 1});
    for (int k = 0; k <= 10; ++k) Keys(C(1, 2), {{k * 0.1, static_cast<float>(k * 40)}});
    Set source;
    source.Put(MC::ePreRotation, Rotation(0, 0, 15));
    Load(filter, source, true);
    NodePtr original(node->Clone(false));
    EXPECT_TRUE(filter.Apply(*node, true));
    // Constant channels keep no key.
    EXPECT_EQ(C(2, 0).KeyGetCount(), 0);
    EXPECT_FLOAT_EQ(C(2, 0).GetValue(), 1.0f);
    KFCurve& z = C(1, 2);
    ASSERT_GT(z.KeyGetCount(), 2);
    // Continuous again after the conversion's angles wrapped at the half turn.
    EXPECT_GT(z.KeyGetPtr(z.KeyGetCount() - 1)->GetValue(), 400.0f);
    for (int k = 1; k < z.KeyGetCount(); ++k)
        EXPECT_LT(std::fabs(z.KeyGetPtr(k)->GetValue() - z.KeyGetPtr(k - 1)->GetValue()), 30.0f) << k;
    std::vector<KTime> frames;
    for (int k = 0; k <= 30; ++k) frames.push_back(KTime(k * kFrame));
    EXPECT_LT(WorstDifference(*original, source, 0, *node, Set(), 0, frames), 1e-5);
}

}  // namespace
