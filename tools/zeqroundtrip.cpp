// Moves an animated transform through Zeq files in every encoding and checks
// that what comes back evaluates exactly like what went in.
//
//   zeqroundtrip [output directory] [keys per curve]

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "object/kdatatype.h"
#include "sdk/zeqsdk.h"

using namespace zeqsdk_400;

namespace {

struct NodeDeleter {
    void operator()(KFCurveNode* node) const {
        if (node) node->Destroy();
    }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

KTime Seconds(double s) {
    KTime t;
    t.SetSecondDouble(s);
    return t;
}

KFCurveNode* Vector(const char* name, KDataType* type, int layerType) {
    static const char* const kAxes[] = {"X", "Y", "Z"};
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    for (const char* axis : kAxes) {
        KFCurveNode* child = KFCurveNodeCreate(axis);
        child->FCurveSet(KFCurveCreate(), true);
        node->Add(child);
    }
    return node;
}

// A take's root as a scene node has it: "Transform" with "T", "R" and "S".
KFCurveNode* TakeTemplate() {
    KFCurveNode* root = KFCurveNodeCreate("Root");
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    transform->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    transform->Add(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ));
    transform->Add(Vector("S", &KDataTypeLclScaling, KFCL_MULT));
    root->Add(transform);
    return root;
}

// Keys of every interpolation and tangent kind, varying per channel.
void Animate(KFCurveNode* root, int keyCount) {
    static const unsigned int kKinds[][2] = {
        {KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO},
        {KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER},
        {KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER},
        {KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_TANGEANT_USER},
    };
    KFCurveNode* transform = root->Get(0);
    int channel = 0;
    for (int v = 0; v < transform->GetCount(); ++v) {
        KFCurveNode* vector = transform->Get(v);
        for (int a = 0; a < vector->GetCount(); ++a, ++channel) {
            KFCurve* curve = vector->Get(a)->FCurveGet();
            curve->KeyModifyBegin();
            for (int k = 0; k < keyCount; ++k) {
                const unsigned int* kind = kKinds[(k + channel) % 4];
                double t = k / 30.0;
                float value = static_cast<float>(std::sin(t * (1.0 + channel * 0.37)) * (10.0 + channel));
                KFCurveKey key;
                key.Set(Seconds(t), value, kind[0], kind[1], 0.5f * channel, -0.25f * channel, KFCURVE_WEIGHTED_NONE,
                        KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
                curve->KeyAdd(Seconds(t), key);
            }
            curve->KeyModifyEnd();
            curve->SetPostExtrapolation(channel % 2 ? 2 : 3);
            curve->SetPostExtrapolationCount(2);
        }
    }
}

struct Encoding {
    const char* mName;
    bool mBinary;
    bool mEncrypted;
    const char* mPassword;
};

bool Write(const std::string& path, const Encoding& encoding, KFCurveNode* root) {
    KZeq zeq;
    KZeqFileHeaderInfo header;
    header.mFileVersion = 6000;
    if (!zeq.ProjectCreate(path.c_str(), encoding.mBinary, encoding.mEncrypted, &header)) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", encoding.mName, path.c_str(), zeq.GetLastErrorString());
        return false;
    }
    if (encoding.mPassword) zeq.ProjectSetPassword(encoding.mPassword);
    zeq.WriteComments("One take of an animated transform");
    zeq.FieldWriteBegin("Take");
    zeq.FieldWriteC("Take 001");
    zeq.FieldWriteBlockBegin();
    for (int i = 0; i < root->GetCount(); ++i) root->Get(i)->ZeqStore(&zeq, false, true, true, "Channel", true, false);
    zeq.FieldWriteBlockEnd();
    zeq.FieldWriteEnd();
    if (!zeq.ProjectClose()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", encoding.mName, path.c_str(), zeq.GetLastErrorString());
        return false;
    }
    return true;
}

NodePtr Read(const std::string& path, const Encoding& encoding) {
    KZeq zeq;
    if (!zeq.ProjectOpen(path.c_str(), true, true)) {
        std::fprintf(stderr, "%s: cannot open %s: %s\n", encoding.mName, path.c_str(), zeq.GetLastErrorString());
        return nullptr;
    }
    if (encoding.mPassword && !zeq.CheckPassword(encoding.mPassword)) {
        std::fprintf(stderr, "%s: password refused\n", encoding.mName);
        return nullptr;
    }
    NodePtr root(TakeTemplate());
    if (!zeq.FieldReadBegin("Take") || !zeq.FieldReadBlockBegin()) {
        std::fprintf(stderr, "%s: no take in %s\n", encoding.mName, path.c_str());
        return nullptr;
    }
    while (KFCurveNodeCreate(&zeq, root.get(), false, true, true)) {
    }
    zeq.FieldReadBlockEnd();
    zeq.FieldReadEnd();
    if (zeq.GetLastErrorID() != -1) {
        std::fprintf(stderr, "%s: %s\n", encoding.mName, zeq.GetLastErrorString());
        return nullptr;
    }
    return root;
}

// Largest difference between the two trees over the animation and its extrapolation.
double Compare(KFCurveNode* a, KFCurveNode* b, double seconds) {
    const int channels = a->GetChannelCount();
    std::vector<double> va(static_cast<std::size_t>(channels)), vb(va.size());
    int lastA = 0, lastB = 0;
    double worst = 0.0;
    const int samples = 20000;
    for (int i = 0; i <= samples; ++i) {
        KTime t = Seconds(-1.0 + (seconds * 3.0 + 2.0) * i / samples);
        a->Evaluate(va.data(), t, &lastA);
        b->Evaluate(vb.data(), t, &lastB);
        for (int c = 0; c < channels; ++c) worst = std::fmax(worst, std::fabs(va[c] - vb[c]));
    }
    return worst;
}

long FileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return size;
}

}  // namespace

int main(int argc, char** argv) {
    std::string directory = argc > 1 ? argv[1] : "roundtrip-output";
    int keyCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (keyCount < 2) keyCount = 2;
    if (!KCreateDirectory(directory.c_str())) {
        std::fprintf(stderr, "cannot create %s\n", directory.c_str());
        return 1;
    }

    std::printf("Zeq SDK %s: round trip of one take, 9 curves of %d keys\n", KZeqSdk_GetVersionString(), keyCount);
    NodePtr source(TakeTemplate());
    Animate(source.get(), keyCount);
    const double seconds = (keyCount - 1) / 30.0;

    const Encoding encodings[] = {
        {"binary", true, false, nullptr},
        {"ascii", false, false, nullptr},
        {"encrypted", true, true, "take-password"},
    };
    bool ok = true;
    for (const Encoding& encoding : encodings) {
        std::string path = directory + "/roundtrip-" + encoding.mName + ".zeq";
        auto start = std::chrono::steady_clock::now();
        bool written = Write(path, encoding, source.get());
        auto middle = std::chrono::steady_clock::now();
        NodePtr copy = written ? Read(path, encoding) : nullptr;
        auto end = std::chrono::steady_clock::now();
        if (!copy) {
            ok = false;
            continue;
        }
        double difference = Compare(source->Get(0), copy->Get(0), seconds);
        bool same = difference == 0.0;
        ok = ok && same;
        std::printf("  %-9s %9ld bytes  write %7.2f ms  read %7.2f ms  largest difference %g  %s\n", encoding.mName,
                    FileSize(path), std::chrono::duration<double, std::milli>(middle - start).count(),
                    std::chrono::duration<double, std::milli>(end - middle).count(), difference,
                    same ? "same" : "DIFFERENT");
    }
    std::printf(ok ? "Round trip passed.\n" : "Round trip FAILED.\n");
    return ok ? 0 : 1;
}
