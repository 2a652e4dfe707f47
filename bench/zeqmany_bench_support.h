#ifndef ZEQ_BENCH_ZEQMANY_BENCH_SUPPORT_H
#define ZEQ_BENCH_ZEQMANY_BENCH_SUPPORT_H

// Binary 6.0 Zeq files, written once per size in the program's scratch folder, that name many things
// of one kind: one null model "Many" with n real user properties, or one null model "Many" animated
// in n takes (a key of translation X each). For the benchmarks of reads that must not grow faster
// than n log n in n.

#include <map>
#include <string>
#include <utility>

#include "bench/benchscratch.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"

namespace zeqmanybench {

// A scene of the manager holding the null model "Many", built on by build(manager, scene, node).
template <class Build>
zeqsdk_400::KZeqScene* ManyScene(zeqsdk_400::KZeqSdkManager& manager, Build build) {
    using namespace zeqsdk_400;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("Many");
    node->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(node);
    build(manager, *scene, *node);
    return scene;
}

// The scene written to path as binary 6.0; false when the export failed.
inline bool WriteBinary(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, const std::string& path) {
    using namespace zeqsdk_400;
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    KStreamOptionsZeq options;
    exporter.SetExportOptionsInfo(&options);
    return exporter.Export(scene);
}

// "" when the file could not be written.
template <class Build>
std::string ManyFile(const std::string& name, Build build) {
    using namespace zeqsdk_400;
    static std::map<std::string, std::string> files;
    const auto found = files.find(name);
    if (found != files.end()) return found->second;
    KZeqSdkManager manager;
    KZeqScene* scene = ManyScene(manager, build);
    const std::string path = zeqbench::ScratchPath(name + ".zeq");
    return files[name] = WriteBinary(manager, *scene, path) ? path : std::string();
}

// Real properties "p<i>" with the value i.
inline std::string UserPropertyFile(int n) {
    using namespace zeqsdk_400;
    return ManyFile("userproperties" + std::to_string(n), [n](KZeqSdkManager& manager, KZeqScene&, KZeqNode& node) {
        for (int i = 0; i < n; ++i) {
            const std::string name = "p" + std::to_string(i);
            KZeqUserProperty* property = manager.CreateKZeqUserProperty(name.c_str(), "Real", "");
            property->ModifyFlag(KZeqUserProperty::eUSER, true);
            property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
            node.AddProperty(property);
            property->SetDefaultValue(static_cast<double>(i));
        }
    });
}

// Named "Take <i>", the key at i frames.
inline auto TakeBuilder(int n) {
    using namespace zeqsdk_400;
    return [n](KZeqSdkManager&, KZeqScene& scene, KZeqNode& node) {
        for (int i = 0; i < n; ++i) {
            const std::string name = "Take " + std::to_string(i);
            scene.CreateTake(name.c_str());
            node.SetCurrentTakeNode(node.GetTakeNodeCount() - 1);
            KFCurve* curve = node.GetCurrentTakeNode()->GetTranslationX();
            curve->KeyModifyBegin();
            curve->KeyAppendFast(KTime(static_cast<kLongLong>(i) * 1539538600LL), static_cast<float>(i));
            curve->KeyModifyEnd();
        }
        node.SetCurrentTakeNode(0);
    };
}
inline std::string TakeFile(int n) { return ManyFile("takes" + std::to_string(n), TakeBuilder(n)); }

}  // namespace zeqmanybench

#endif
