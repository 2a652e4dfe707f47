#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include "fcurve/kfcurvebake.h"
#include "fcurve/tests/fcurvenode_test_support.h"
#include "fcurve/tests/generated_takes.h"
using namespace nodetest;
static void Dump(KFCurveNode& v) {
    for (int c = 0; c < v.GetCount(); ++c) {
        KFCurve* cu = v.Get(c)->FCurveGet(); if (!cu) continue;
        printf(" %s pre=%d/%u post=%d/%u warp=%p:", v.Get(c)->GetName(), cu->GetPreExtrapolation(), cu->GetPreExtrapolationCount(), cu->GetPostExtrapolation(), cu->GetPostExtrapolationCount(), (void*)v.Get(c)->TimeWarpGet());
        for (int k = 0; k < cu->KeyGetCount(); ++k) { const KFCurveKey& kk = *cu->KeyGetPtr(k); printf(" [%.10g %.6g i=%u m=%u d=%g,%g]", kk.GetTime().GetSecondDouble(), kk.GetValue(), kk.GetInterpolation(), kk.GetTangeantMode(), kk.GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE), kk.GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE)); }
        printf("\n");
    }
}
static void DumpWarp(const char* n, KFCurveNode* w) { if (!w) return; printf("warp %s:", n); KFCurve* cu = w->FCurveGet(); printf(" pre=%d/%u post=%d/%u", cu->GetPreExtrapolation(), cu->GetPreExtrapolationCount(), cu->GetPostExtrapolation(), cu->GetPostExtrapolationCount()); for (int k = 0; k < cu->KeyGetCount(); ++k) { const KFCurveKey& kk = *cu->KeyGetPtr(k); printf(" [%.10g %.8g i=%u m=%u]", kk.GetTime().GetSecondDouble(), kk.GetValue(), kk.GetInterpolation(), kk.GetTangeantMode()); } printf("\n"); }
TEST(Scratch, One) {
    const KTime period(kSecond / 30);
    const unsigned seed = atoi(getenv("SEED"));
    const double at = atof(getenv("AT"));
    generatedtakes::Take take = generatedtakes::MakeTake(seed);
    const takereference::Take reference = generatedtakes::Reference(take);
    printf("seconds=%g\n", take.mSeconds);
    Dump(*take.mVector); if (take.mVector->LayerGet()) { printf("layer:\n"); Dump(*take.mVector->LayerGet()); }
    DumpWarp("above", take.mAbove); DumpWarp("vector", take.mVector->TimeWarpGet()); DumpWarp("x", take.mVector->Get(0)->TimeWarpGet());
    KFCurveNode* above[1] = {take.mAbove};
    KFCurveBakeSpan span; span.mStart = KTime(0); span.mStop = generatedtakes::At(take.mSeconds);
    KFCurveNodeBake(take.mVector.get(), above, take.mAbove ? 1 : 0, period, &span);
    printf("baked:\n"); 
    for (int c = 0; c < 3; ++c) { KFCurve* cu = take.mVector->Get(c)->FCurveGet(); printf(" c%d:", c); for (int k = 0; k < cu->KeyGetCount(); ++k) { double t = cu->KeyGetPtr(k)->GetTime().GetSecondDouble(); if (std::fabs(t - at) < 0.05) printf(" [%.10g %.6g i=%u ref=%.6g]", t, cu->KeyGetPtr(k)->GetValue(), cu->KeyGetPtr(k)->GetInterpolation(), reference.At(t)[c]); } printf("\n"); }
    for (double d : (getenv("WIDE") ? std::vector<double>{-0.03,-0.02,-0.015,-0.01,-0.007,-0.005,-0.003,-0.002,-0.001,0.0,0.001,0.002,0.003,0.005,0.007,0.01,0.015,0.02,0.03} : std::vector<double>{-1e-6, -5e-7, 0.0, 1e-7, 2e-7, 3e-7, 4e-7, 5e-7, 6e-7, 7e-7, 8e-7, 9e-7, 1e-6, 1.2e-6, 1.4e-6, 1.6e-6, 2e-6, 3e-6, 1e-5, 1e-4})) {
        std::vector<double> v(8, 0.0); take.mVector->GeneralEvaluate(v.data(), generatedtakes::At(at + d), nullptr, false);
        std::vector<double> r = reference.At(at + d);
        printf("t=%+.2e  baked %.6f %.6f %.6f   ref %.6f %.6f %.6f\n", d, v[0], v[1], v[2], r[0], r[1], r[2]);
    }
}
TEST(Scratch, SdkVsRef) {
    const KTime period(kSecond / 30);
    for (unsigned seed : {55u,81u,25u,70u,24u,80u,136u,66u,199u,149u,98u,102u,175u,85u,213u,64u,141u,156u,205u,121u}) {
        generatedtakes::Take take = generatedtakes::MakeTake(seed);
        const takereference::Take reference = generatedtakes::Reference(take);
        NodePtr copy(KFCurveNodeCopyWhole(*take.mVector));
        generatedtakes::Take sdk; sdk.mAbove = take.mAbove;
        KFCurveNode* above[1] = {take.mAbove};
        KFCurveBakeSpan span; span.mStart = KTime(0); span.mStop = generatedtakes::At(take.mSeconds);
        KFCurveNodeBake(take.mVector.get(), above, take.mAbove ? 1 : 0, period, &span);
        std::vector<double> keys;
        for (int c = 0; c < 3; ++c) { KFCurve& cu = C(*take.mVector, c); for (int k = 0; k < cu.KeyGetCount(); ++k) keys.push_back(cu.KeyGetPtr(k)->GetTime().GetSecondDouble()); }
        auto baked = [&](double s) { std::vector<double> v(8, 0.0); take.mVector->GeneralEvaluate(v.data(), generatedtakes::At(s), nullptr, false); v.resize(3); return v; };
        auto sdkTake = [&](double s) { KTime t = generatedtakes::At(s); if (take.mAbove) t = KFCurveNodeWarpTime(take.mAbove, t); std::vector<double> v(8, 0.0); copy->GeneralEvaluate(v.data(), t, nullptr, false); v.resize(3); return v; };
        const generatedtakes::Measure a = generatedtakes::Compare(baked, [&](double s) { return reference.At(s); }, keys, take.mSeconds);
        const generatedtakes::Measure b = generatedtakes::Compare(baked, sdkTake, keys, take.mSeconds);
        const generatedtakes::Measure d = generatedtakes::Compare(sdkTake, [&](double s) { return reference.At(s); }, keys, take.mSeconds);
        printf("%u ref: err %.4g out %.4g step %.4g | sdk: err %.4g out %.4g step %.4g (at %.9f %.9f %.9f) | sdk-vs-ref: err %.4g out %.4g step %.4g\n", seed, a.mError, a.mOutside, a.mStep, b.mError, b.mOutside, b.mStep, b.mErrorAt, b.mOutsideAt, b.mStepAt, d.mError, d.mOutside, d.mStep);
    }
}
TEST(Scratch, Steps) {
    const KTime period(kSecond / 30);
    const unsigned seed = atoi(getenv("SEED"));
    generatedtakes::Take take = generatedtakes::MakeTake(seed);
    const takereference::Take reference = generatedtakes::Reference(take);
    KFCurveNode* above[1] = {take.mAbove};
    KFCurveBakeSpan span; span.mStart = KTime(0); span.mStop = generatedtakes::At(take.mSeconds);
    KFCurveNodeBake(take.mVector.get(), above, take.mAbove ? 1 : 0, period, &span);
    auto baked = [&](double s) { std::vector<double> v(8, 0.0); take.mVector->GeneralEvaluate(v.data(), generatedtakes::At(s), nullptr, false); v.resize(3); return v; };
    auto ref = [&](double s) { return reference.At(s); };
    double size = 36;
    for (const auto& step : generatedtakes::Steps(ref, take.mSeconds, size)) {
        const std::size_t c = step.mChannel;
        for (double t : {step.mFrom - 1e-6, step.mTo + 1e-6}) {
            const double played = baked(t)[c];
            double e = HUGE_VAL;
            for (int k = -10; k <= 10; ++k) e = std::min(e, std::fabs(played - ref(t + k * 1e-7)[c]));
            if (e > 0.01) printf("step c%zu [%.10f %.10f] t=%.10f played=%g take=%g e=%g\n", c, step.mFrom, step.mTo, t, played, ref(t)[c], e);
        }
    }
}
