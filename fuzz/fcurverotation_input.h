#ifndef ZEQ_FUZZ_FCURVEROTATION_INPUT_H
#define ZEQ_FUZZ_FCURVEROTATION_INPUT_H

// Builds a transform node ("T", "R", "S" with X, Y, Z curves) from arbitrary
// bytes and runs the unroll filter, the gimbal killer and the matrix converter
// on it. Shared by the fuzz target and the unit tests that replay its finds.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefiltermatrixconverter.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvenode.h"

namespace fcurverotationfuzz {

using namespace zeqsdk_400;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}
    std::uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
    std::uint64_t Bits(int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v = (v << 8) | Byte();
        return v;
    }
    std::int32_t Int() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(Bits(4))); }
    std::int64_t Long() { return static_cast<std::int64_t>(Bits(8)); }
    float Float() {
        const std::uint32_t bits = static_cast<std::uint32_t>(Bits(4));
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mPos = 0;
};

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

constexpr kLongLong kFrame = 1539538600LL;
const unsigned int kInterpolations[] = {KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_INTERPOLATION_LINEAR,
                                        KFCURVE_INTERPOLATION_CUBIC};
const unsigned int kModes[] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_TCB, KFCURVE_TANGEANT_USER,
                               KFCURVE_TANGEANT_USER_BREAK, 0x300};

inline bool InOrder(KFCurveNode& node) {
    if (KFCurve* curve = node.FCurveGet())
        for (int i = 1; i < curve->KeyGetCount(); ++i)
            if (!(curve->KeyGetPtr(i - 1)->GetTime() < curve->KeyGetPtr(i)->GetTime())) return false;
    for (int i = 0; i < node.GetCount(); ++i)
        if (!InOrder(*node.Get(i))) return false;
    return true;
}

inline void ReadMatrix(Input& in, KgeAMatrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
    const std::uint8_t shape = in.Byte();
    if (shape & 1)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m[i][j] = in.Float();
    if (shape & 2)
        for (int j = 0; j < 3; ++j) m[3][j] = in.Float();
}

// Runs the three filters on the node the input describes; false when a curve
// ends with keys out of order.
inline bool Run(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t flags = in.Byte();
    const bool wideTimes = flags & 1;

    NodePtr node(new KFCurveNode("Transform", "Transform", nullptr));
    const char* parts[3] = {"T", "R", "S"};
    const int layers[3] = {KFCL_ADD, KFCL_EULER_XYZ, KFCL_MULT};
    for (int p = 0; p < 3; ++p) {
        KFCurveNode* part = new KFCurveNode(parts[p], parts[p], nullptr, layers[p]);
        for (const char* axis : {"X", "Y", "Z"}) {
            KFCurve* curve = part->FindOrCreate(axis, true)->FCurveGet();
            curve->SetValue(in.Float());
            const int keys = in.Byte() % 16;
            for (int k = 0; k < keys; ++k) {
                const KTime time(wideTimes ? in.Long() : static_cast<kLongLong>(in.Int()) * 1000000LL);
                KFCurveKey key{};
                key.Set(time, in.Float(), kInterpolations[in.Byte() % 3], kModes[in.Byte() % 5], in.Float(), 0.0f,
                        KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
                curve->KeyAdd(time, key);
            }
        }
        node->Add(part);
    }
    KFCurveNode* rotation = node->Get(1);
    rotation->SetRotationOrder(in.Byte() % 14);

    // Span of the animation, to keep the sampling below 10^3 samples.
    KTime first, last;
    node->GetTimeSpan(first, last);
    kLongLong period = (static_cast<kLongLong>(in.Byte()) - 8) * (kFrame / 4);
    if (first <= last) {
        const double span = static_cast<double>(last.Get()) - static_cast<double>(first.Get());
        const double least = span / 1e3 + 1.0;
        if (period > 0 && static_cast<double>(period) < least)
            period = least >= 9.2e18 ? 0x7FFFFFFFFFFFFFFFLL : static_cast<kLongLong>(least);
    }

    {
        KFCurveFilterUnroll unroll;
        unroll.SetTestForPath(flags & 2);
        unroll.SetQualityTolerance(in.Float());
        if (flags & 4) {
            unroll.SetStartTime(KTime(in.Long()));
            unroll.SetStopTime(KTime(in.Long()));
        }
        unroll.Apply(*rotation, true);
        if (!InOrder(*node)) return false;
    }
    {
        NodePtr copy(rotation->Clone(false));
        KFCurveFilterGimbleKiller gimbal;
        gimbal.SetApplyKeySyncFilter(flags & 8);
        gimbal.Apply(*copy, true);
        if (!InOrder(*copy)) return false;
    }
    {
        KFCurveFilterMatrixConverter converter;
        converter.SetResamplingPeriod(KTime(period));
        converter.SetApplyUnroll(flags & 16);
        converter.SetApplyConstantKeyReducer(flags & 32);
        converter.SetGenerateLastKeyExactlyAtEndTime(flags & 64);
        converter.SetResamplingOnFrameRateMultiple(flags & 128);
        converter.mSourceRotationOrder = in.Byte() % 14;
        converter.mDestRotationOrder = in.Byte() % 14;
        for (int n = in.Byte() % 6; n > 0; --n) {
            KgeAMatrix m;
            const int id = in.Byte() % 14;
            const bool source = in.Byte() & 1;
            ReadMatrix(in, m);
            if (source)
                converter.SetSourceMatrix(static_cast<KFCurveFilterMatrixConverter::EMatrixID>(id), m);
            else
                converter.SetDestMatrix(static_cast<KFCurveFilterMatrixConverter::EMatrixID>(id), m);
        }
        converter.Apply(*node, true);
        return InOrder(*node);
    }
}

}  // namespace fcurverotationfuzz

#endif
