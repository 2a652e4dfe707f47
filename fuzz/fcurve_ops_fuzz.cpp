// Drives one curve through a sequence of edits read from the input and checks
// after each that the keys stay in strictly increasing time order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvesettings.h"

using namespace zeqsdk_400;

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}
    bool Empty() const { return mPos >= mSize; }
    std::uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
    std::int32_t Int() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return static_cast<std::int32_t>(v);
    }
    float Float() {
        const std::uint32_t bits = static_cast<std::uint32_t>(Int());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mPos = 0;
};

void Callback(KFCurve*, KFCurveEvent* event, void* data) { *static_cast<int*>(data) += event->mEventCount; }

void CheckOrder(KFCurve& curve) {
    for (int i = 1; i < curve.KeyGetCount(); ++i)
        if (!(curve.KeyGetPtr(i - 1)->GetTime() < curve.KeyGetPtr(i)->GetTime())) std::abort();
}

const unsigned int kInterpolations[] = {KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_INTERPOLATION_LINEAR,
                                        KFCURVE_INTERPOLATION_CUBIC, 0};
const unsigned int kModes[] = {KFCURVE_TANGEANT_AUTO, KFCURVE_TANGEANT_TCB, KFCURVE_TANGEANT_USER,
                               KFCURVE_TANGEANT_AUTO_BREAK, KFCURVE_TANGEANT_USER_BREAK, 0x300};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    int delivered = 0;
    KFCurve curve;
    curve.CallbackRegister(&Callback, &delivered);
    KFCURVE_SetTCB4051EvalMode((size & 1) != 0);
    int steps = 0;
    while (!in.Empty() && steps++ < 2000) {
        const int n = curve.KeyGetCount();
        // Indices a little outside the curve on purpose.
        const int index = static_cast<int>(in.Byte() % (n + 6)) - 3;
        switch (in.Byte() % 24) {
            case 0: {
                KFCurveKey key{};
                const std::uint8_t kind = in.Byte();
                if (kind & 1)
                    key.SetTCB(KTime(0), in.Float(), in.Float(), in.Float(), in.Float());
                else
                    key.Set(KTime(0), in.Float(), kInterpolations[kind % 4], kModes[(kind >> 2) % 6], in.Float(),
                            in.Float(), in.Int(), in.Float(), in.Float(), in.Float(), in.Float());
                int hint = in.Int();
                curve.KeyAdd(KTime(static_cast<std::int16_t>(in.Int()) * 1000LL), key, &hint);
                break;
            }
            case 1: curve.KeyRemove(index); break;
            case 2: {
                const kLongLong last = n > 0 ? curve.KeyGetPtr(n - 1)->GetTime().Get() : 0;
                curve.KeyAppendFast(KTime(last + 1 + in.Byte()), in.Float());
                break;
            }
            case 3: {
                int hint = in.Int();
                curve.KeyFind(KTime(static_cast<std::int16_t>(in.Int()) * 997LL), (in.Byte() & 1) ? &hint : nullptr);
                break;
            }
            case 4:
                if (index >= 0 && index < n) {
                    KFCurveKey key = curve.KeyGet(index);
                    key.SetTime(KTime(static_cast<std::int16_t>(in.Int()) * 1000LL));
                    curve.KeySet(index, key);
                }
                break;
            case 5: curve.KeySetLeftDerivative(index, in.Float()); break;
            case 6: curve.KeySetRightDerivative(index, in.Float()); break;
            case 7: curve.KeySetLeftAuto(index, in.Float()); break;
            case 8: curve.KeySetRightAuto(index, in.Float()); break;
            case 9: curve.KeySetLeftTangeantWeight(index, in.Float()); break;
            case 10: curve.KeySetRightTangeantVelocity(index, in.Float()); break;
            case 11: curve.KeyMultDerivative(index, in.Float()); break;
            case 12: curve.KeyTangeantSetMode(in.Byte() & 1, kModes[in.Byte() % 6]); break;
            case 13: curve.KeyTangeantSetInterpolation(in.Byte() & 1, kInterpolations[in.Byte() % 4]); break;
            case 14: (in.Byte() & 1) ? curve.KeySelectAll() : curve.KeyUnselectAll(); break;
            case 15: curve.KeyScaleValueAndTangeant(in.Byte() & 1, in.Float()); break;
            case 16: curve.KeyModifyBegin(); break;
            case 17: curve.KeyModifyEnd(); break;
            case 18: curve.KeyShrink(); break;
            case 19:
                curve.SetPreExtrapolation(in.Byte() % 6);
                curve.SetPostExtrapolation(in.Byte() % 6);
                curve.SetPreExtrapolationCount(static_cast<unsigned int>(in.Int()));
                curve.SetPostExtrapolationCount(static_cast<unsigned int>(in.Int()));
                break;
            case 20: {
                const int a = in.Int();
                int where;
                const int k = curve.MapIndexAll(a, where);
                if (n > 0 && (k < 0 || k >= n)) std::abort();
                curve.KeyGetTimeAll(a);
                curve.KeyGetRawAll(a);
                break;
            }
            case 21: {
                curve.KeyGetLeftDerivativeInfo(index);
                curve.KeyGetRightDerivativeInfo(index);
                curve.KeyGetLeftBezierTangeant(index);
                curve.KeySetRightBezierTangeant(index, in.Float());
                break;
            }
            case 22: {
                bool regular;
                KTime interval, largest, start, period;
                curve.KeyGetAverageRate(&regular, &interval, &largest);
                curve.GuessWasData(&start, &period);
                break;
            }
            default:
                if (in.Byte() == 0) curve.KeyClear();
                break;
        }
        CheckOrder(curve);
    }
    KFCURVE_SetTCB4051EvalMode(false);
    return 0;
}
