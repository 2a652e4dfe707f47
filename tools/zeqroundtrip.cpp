// Moves an animated transform through Zeq files in every encoding and checks
// that what comes back evaluates exactly like what went in; then a whole
// scene (nodes, meshes, materials, textures, two animated takes) through the
// exporter and importer in every 6.0 encoding, compared field by field.
//
//   zeqroundtrip [output directory [keys per curve]]

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kstreamoptionszeq.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqscenecompare.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kpath.h"
#include "fileio/kscratchfolder.h"
#include "fileio/kzeq.h"
#include "object/kdatatype.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
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

// One kind of key of the take: interpolation, tangent, weight and velocity modes.
struct KeyKind {
    const char* mName;
    unsigned int mInterpolation, mTangent, mWeight, mVelocity;
};
const KeyKind kKinds[] = {
    {"auto", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_NONE},
    {"break", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER_BREAK, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_NONE},
    {"auto break", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO_BREAK, KFCURVE_WEIGHTED_NONE,
     KFCURVE_VELOCITY_NONE},
    {"TCB", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_TCB, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_NONE},
    {"weighted", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, KFCURVE_WEIGHTED_ALL, KFCURVE_VELOCITY_NONE},
    {"velocity", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_ALL},
    {"linear", KFCURVE_INTERPOLATION_LINEAR, 0, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_NONE},
    {"constant", KFCURVE_INTERPOLATION_CONSTANT, 0, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_NONE},
    {"user", KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, KFCURVE_WEIGHTED_NONE, KFCURVE_VELOCITY_NONE},
};
constexpr int kKindCount = static_cast<int>(sizeof(kKinds) / sizeof(kKinds[0]));
// Velocities are no part of the file and do not change the shape: a velocity
// key comes back as the user key it is otherwise.
unsigned int KindOf(const KFCurveKey& key) {
    return key.GetInterpolation() | key.GetTangeantMode() | key.GetTangeantWeightMode();
}

// The curves of the take, channel by channel.
std::vector<KFCurve*> Curves(KFCurveNode* root) {
    std::vector<KFCurve*> curves;
    KFCurveNode* transform = root->Get(0);
    for (int v = 0; v < transform->GetCount(); ++v)
        for (int a = 0; a < transform->Get(v)->GetCount(); ++a) curves.push_back(transform->Get(v)->Get(a)->FCurveGet());
    return curves;
}

// Keys of every kind, the kinds shifting per channel, and every extrapolation
// mode before and after the keys.
void Animate(KFCurveNode* root, int keyCount) {
    int channel = 0;
    for (KFCurve* curve : Curves(root)) {
        curve->KeyModifyBegin();
        for (int k = 0; k < keyCount; ++k) {
            const KeyKind& kind = kKinds[(k + channel) % kKindCount];
            // An automatic key's sides are symmetric: its outgoing parameter and the
            // incoming one, held by the key before it, are 0; else it is read back as a break.
            const bool autoHere = kind.mTangent == KFCURVE_TANGEANT_AUTO;
            const bool autoNext = kKinds[(k + 1 + channel) % kKindCount].mTangent == KFCURVE_TANGEANT_AUTO;
            const double t = k / 30.0;
            const float value = static_cast<float>(std::sin(t * (1.0 + channel * 0.37)) * (10.0 + channel));
            KFCurveKey key;
            if (kind.mTangent == KFCURVE_TANGEANT_TCB) {
                key.SetTCB(Seconds(t), value, 0.25f * (channel % 3), -0.5f + 0.125f * (k % 9), 0.1f * (channel - 4));
            } else {
                key.Set(Seconds(t), value, kind.mInterpolation, kind.mTangent, autoHere ? 0.0f : 0.5f * channel,
                        autoNext ? 0.0f : -0.25f * channel - 1.0f,
                        kind.mWeight, 0.2f + 0.05f * (k % 5), 0.6f, 2.5f * channel, 1.5f + (k % 4));
                key.SetTangeantVelocityMode(kind.mVelocity);
            }
            curve->KeyAdd(Seconds(t), key);
        }
        curve->KeyModifyEnd();
        curve->SetPreExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT + channel % 4);
        curve->SetPreExtrapolationCount(1 + channel % 3);
        curve->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_CONSTANT + (channel + 2) % 4);
        curve->SetPostExtrapolationCount(2);
        ++channel;
    }
}

// Keys whose time, value or kind differ, plus curves whose extrapolation differs.
int KindDifferences(KFCurveNode* a, KFCurveNode* b) {
    const std::vector<KFCurve*> ca = Curves(a), cb = Curves(b);
    int differences = 0;
    for (std::size_t c = 0; c < ca.size(); ++c) {
        differences += ca[c]->GetPreExtrapolation() != cb[c]->GetPreExtrapolation() ||
                       ca[c]->GetPreExtrapolationCount() != cb[c]->GetPreExtrapolationCount() ||
                       ca[c]->GetPostExtrapolation() != cb[c]->GetPostExtrapolation() ||
                       ca[c]->GetPostExtrapolationCount() != cb[c]->GetPostExtrapolationCount();
        if (ca[c]->KeyGetCount() != cb[c]->KeyGetCount()) {
            differences += std::abs(ca[c]->KeyGetCount() - cb[c]->KeyGetCount());
            continue;
        }
        for (int k = 0; k < ca[c]->KeyGetCount(); ++k) {
            const KFCurveKey x = ca[c]->KeyGet(k), y = cb[c]->KeyGet(k);
            differences += x.GetTime() != y.GetTime() || x.GetValue() != y.GetValue() || KindOf(x) != KindOf(y);
        }
    }
    return differences;
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

long FileSize(const std::string& path) { return static_cast<long>(KFileSize(path.c_str())); }

// The whole scene through the exporter's rows 0, 1 and 2 and the importer.
bool SceneRoundTrip(const std::string& directory, int keyCount) {
    // Keys of a scene take are held three times over while written and read:
    // the scene's share stays within a sensible size.
    const int keys = std::min(keyCount, 100000);
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    zeqiotest::BuildGeometryScene(manager, *scene, 100, keys);
    zeqiotest::AddCamerasLightsSurfacesPosesAndCharacters(manager, *scene);
    std::printf("Scene round trip: a node tree with a mesh of 10000 quads and one of 2 triangles (normals, UVs\n"
                "  on two layers, colours, groups, per-polygon materials and textures), 3 materials, 2 textures,\n"
                "  a camera, a spot light, a NURBS surface skinned to a bone with a shape, a bind pose, a\n"
                "  character, global light settings, takes \"Walk\" (9 curves of %d keys) and \"Run\" animating\n"
                "  nodes, a material and a texture\n", keys);
    const struct {
        const char* mName;
        int mRow;
        const char* mPassword;
    } rows[] = {{"binary", KZeqExporter::eZEQ_BINARY, ""},
                {"ascii", KZeqExporter::eZEQ_ASCII, ""},
                {"encrypted", KZeqExporter::eZEQ_ENCRYPTED, "scene-password"}};
    bool ok = true;
    for (const auto& row : rows) {
        const std::string path = directory + "/scene-" + row.mName + ".zeq";
        auto start = std::chrono::steady_clock::now();
        KZeqExporter exporter(manager);
        KStreamOptionsZeq options;
        exporter.Initialize(path.c_str());
        exporter.SetPassword(row.mPassword);
        exporter.SetFileFormat(row.mRow);
        exporter.SetExportOptionsInfo(&options);
        if (!exporter.Export(*scene)) {
            std::fprintf(stderr, "%s: export failed: %s\n", row.mName, exporter.GetLastErrorString());
            ok = false;
            continue;
        }
        auto middle = std::chrono::steady_clock::now();
        KZeqImporter importer(manager);
        importer.SetPassword(row.mPassword);
        KZeqScene* read = manager.CreateKZeqScene();
        if (!importer.Initialize(path.c_str()) || !importer.Import(*read)) {
            std::fprintf(stderr, "%s: import failed: %s\n", row.mName, importer.GetLastErrorString());
            ok = false;
            continue;
        }
        auto end = std::chrono::steady_clock::now();
        const zeqiotest::ZeqDiff diff =
            zeqiotest::CompareScenes(*scene, *read,
                                     zeqiotest::eZeqLosesUserPropertyRecords | zeqiotest::eZeqLosesMeshGrid |
                                         zeqiotest::eZeqLosesCameraSettings);
        std::printf("  %-9s %9ld bytes  write %7.2f ms  read %7.2f ms  fields differing %zu  %s\n", row.mName,
                    FileSize(path), std::chrono::duration<double, std::milli>(middle - start).count(),
                    std::chrono::duration<double, std::milli>(end - middle).count(), diff.mFields.size(),
                    diff.mFields.empty() ? "same" : "DIFFERENT");
        for (std::size_t i = 0; i < diff.mFields.size() && i < 20; ++i) std::printf("    %s\n", diff.mFields[i].c_str());
        ok = ok && diff.mFields.empty();
        manager.DestroyKZeqScene(read, true);
    }
    return ok;
}

constexpr long kMaxKeys = 10000000;

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: zeqroundtrip [OUTPUT_DIRECTORY [KEYS_PER_CURVE]]\n"
                 "Writes an animated take (9 curves of KEYS_PER_CURVE keys, 2 to %ld, default 1000; keys of\n"
                 "every kind and every extrapolation) to binary, ASCII and encrypted Zeq files in\n"
                 "OUTPUT_DIRECTORY (default roundtrip-output), reads them back and checks that keys, kinds\n"
                 "and values come back the same. Then writes a whole scene (nodes, meshes, materials,\n"
                 "textures, two animated takes, its walk curves of KEYS_PER_CURVE keys up to 100000) through\n"
                 "the exporter to 6.0 binary, ASCII and encrypted files, imports them and compares them\n"
                 "field by field. Exit status: 0 passed, 1 failed, 2 bad arguments.\n",
                 kMaxKeys);
}

int Refuse(const char* message, const char* argument) {
    std::fprintf(stderr, "zeqroundtrip: %s: '%s'\nusage: zeqroundtrip [OUTPUT_DIRECTORY [KEYS_PER_CURVE]] (--help)\n",
                 message, argument);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<const char*> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            Usage(stdout);
            return 0;
        }
        if (argv[i][0] == '-' || argv[i][0] == '\0') return Refuse("unknown option", argv[i]);
        positional.push_back(argv[i]);
    }
    if (positional.size() > 2) return Refuse("too many arguments", positional[2]);
    const std::string directory = positional.empty() ? "roundtrip-output" : positional[0];
    long keys = 1000;
    if (positional.size() > 1) {
        char* end = nullptr;
        errno = 0;
        keys = std::strtol(positional[1], &end, 10);
        if (errno != 0 || end == positional[1] || *end != '\0' || keys < 2 || keys > kMaxKeys)
            return Refuse("the key count must be a whole number from 2 to 10000000", positional[1]);
    }
    const int keyCount = static_cast<int>(keys);
    if (!KCreateDirectory(directory.c_str())) {
        std::fprintf(stderr, "cannot create %s\n", directory.c_str());
        return 1;
    }

    std::printf("Zeq SDK %s: round trip of one take, 9 curves of %d keys\n", KZeqSdk_GetVersionString(), keyCount);
    std::printf("  key kinds:");
    for (const KeyKind& kind : kKinds) std::printf(" %s", kind.mName);
    std::printf("; constant, repetition, mirror and keep-slope extrapolation before and after\n"
                "  (velocities are no part of the file: velocity keys come back as the user keys they are otherwise)\n");
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
        const double difference = Compare(source->Get(0), copy->Get(0), seconds);
        const int kinds = KindDifferences(source.get(), copy.get());
        const bool same = difference == 0.0 && kinds == 0;
        ok = ok && same;
        std::printf("  %-9s %9ld bytes  write %7.2f ms  read %7.2f ms  largest difference %g  keys differing %d  %s\n",
                    encoding.mName, FileSize(path), std::chrono::duration<double, std::milli>(middle - start).count(),
                    std::chrono::duration<double, std::milli>(end - middle).count(), difference, kinds,
                    same ? "same" : "DIFFERENT");
    }
    ok = SceneRoundTrip(directory, keyCount) && ok;
    std::printf(ok ? "Round trip passed.\n" : "Round trip FAILED.\n");
    return ok ? 0 : 1;
}
