// Reads curve records from arbitrary field files. The first byte chooses how the
// rest is presented: as a whole file (any encoding), as the main section of a
// valid binary file (so the checksums hold and the curve reader is reached), or
// as the fields of an ASCII file. Every block, nested ones included, is searched
// for curves. Each curve read must keep its keys in strictly increasing time,
// keep a consistent block table, evaluate and take edits, and come back from a
// binary round trip with the same keys (count, times, values, interpolation).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fcurve/kfcurve.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fuzz/fuzz_support.h"

using namespace zeqsdk_400;

namespace {

constexpr int kMaxDepth = 8;
constexpr int kMaxCurvesPerBlock = 32;

void Require(bool condition) {
    if (!condition) std::abort();
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CheckOrder(KFCurve& curve) {
    Require(curve.CheckCurve());
    for (int i = 1; i < curve.KeyGetCount(); ++i)
        Require(curve.KeyGetPtr(i - 1)->GetTime() < curve.KeyGetPtr(i)->GetTime());
}

// A binary round trip keeps every key that was read.
void CheckRoundTrip(KFCurve& curve) {
    KChainedMemoryFile written;
    {
        KZeq writer;
        if (!writer.ProjectCreateStream(written, true, false)) return;
        curve.ZeqStore(&writer, false, true);
        if (!writer.ProjectClose()) return;
    }
    KChainedMemoryFile stream(written.GetData(), written.GetDataSize());
    KZeq reader;
    Require(reader.ProjectOpenStream(stream, true, true));
    KFCurve back;
    Require(!back.ZeqRetrieve(&reader, false, true));
    Require(back.KeyGetCount() == curve.KeyGetCount());
    for (int i = 0; i < curve.KeyGetCount(); ++i) {
        const KFCurveKey* a = curve.KeyGetPtr(i);
        const KFCurveKey* b = back.KeyGetPtr(i);
        Require(a->GetTime() == b->GetTime());
        Require(SameBits(a->GetValue(), b->GetValue()));
        Require(a->GetInterpolation() == b->GetInterpolation());
    }
    reader.ProjectClose();
}

void Exercise(KFCurve& curve) {
    CheckOrder(curve);
    const int n = curve.KeyGetCount();
    int hint = 0;
    if (n > 0) {
        const KTime first = curve.KeyGetPtr(0)->GetTime();
        const KTime last = curve.KeyGetPtr(n - 1)->GetTime();
        const KTime middle((first.Get() / 2) + (last.Get() / 2));
        for (KTime t : {first, last, middle, KTime::Infinite(), KTime::MinusInfinite(), KTime(0)}) {
            curve.Evaluate(t, &hint);
            curve.Evaluate(t);
            curve.EvaluateLeftDerivative(t);
            curve.EvaluateRightDerivative(t);
        }
        for (int i = 0; i + 1 < n && i < 64; ++i) {
            KTime t1, t2;
            float v1, v2;
            curve.FindPeaks(i, t1, v1, t2, v2);
        }
    }
    CheckRoundTrip(curve);
    // Edits on what was read keep the order too.
    if (n > 1) {
        const KTime a = curve.KeyGetPtr(0)->GetTime();
        const KTime b = curve.KeyGetPtr(1)->GetTime();
        curve.KeyInsert(KTime(a.Get() / 2 + b.Get() / 2));
        curve.KeyMove(0, b);
        CheckOrder(curve);
        KFCurve* copy = curve.Copy();
        copy->Delete(0, copy->KeyGetCount() / 2);
        CheckOrder(*copy);
        copy->Destroy();
    }
}

void WalkBlock(KZeq& zeq, int depth) {
    for (int k = 0; k < kMaxCurvesPerBlock; ++k) {
        KFCurve* curve = KFCurveCreate(&zeq, false, true);
        if (!curve) break;
        Exercise(*curve);
        curve->Destroy();
    }
    zeq.FieldReadResetPosition();
    KFCurve defaults;
    defaults.ZeqRetrieve(&zeq, true, false);
    CheckOrder(defaults);
    if (depth >= kMaxDepth) return;
    zeq.FieldReadResetPosition();
    const int count = zeq.FieldGetBlockFieldCount();
    for (int i = 0; i < count && i < 64; ++i) {
        const KString name = zeq.FieldGetBlockFieldName(i);
        if (!zeq.FieldReadBegin(name.Buffer(), name.GetLen())) continue;
        if (zeq.FieldReadBlockBegin()) {
            WalkBlock(zeq, depth + 1);
            zeq.FieldReadBlockEnd();
        }
        zeq.FieldReadEnd();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0] % 3;
    ++data;
    --size;
    std::string file;
    switch (mode) {
        case 0:
            file.assign(reinterpret_cast<const char*>(data), size);
            break;
        case 1:
            file = zeqfuzz::MakeBinaryZeq(std::string(reinterpret_cast<const char*>(data), size));
            break;
        default:
            file = "@Zeq: 6000\n@Section: 6000\n";
            file.append(reinterpret_cast<const char*>(data), size);
            file += "\n@End\n";
            break;
    }
    KChainedMemoryFile stream(file.data(), file.size());
    KZeq zeq;
    if (zeq.ProjectOpenStream(stream, true, true)) {
        WalkBlock(zeq, 0);
        zeq.ProjectClose();
    }
    return 0;
}
