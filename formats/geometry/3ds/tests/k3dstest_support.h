#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSTEST_SUPPORT_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSTEST_SUPPORT_H

// What the 3DS reader's and writer's tests share: import and export through
// the format rows, the sample files, and a plain summary of a scene's nodes,
// meshes and motion to compare two readings by.

#include <map>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "formats/geometry/tests/geometrytest_support.h"
#include "io/kstreamoptions3ds.h"
#include "scene/kzeqtakenode.h"

namespace zeq3dstest {

using namespace zeqsdk_400;

inline const std::vector<std::string>& SampleNames() {
    static const std::vector<std::string> names = {"fels.3ds",        "jeep1.3ds",        "test1.3ds",
                                                   "cubes_with_alpha.3DS", "RotatingCube.3DS", "TargetCameraAnim.3ds"};
    return names;
}

// "Box01" for "Model::Box01".
inline std::string Plain(const char* name) {
    const std::string text(name);
    const std::size_t at = text.find("::");
    return at == std::string::npos ? text : text.substr(at + 2);
}

// The node's global matrix at a time of the current take.
inline KZeqXMatrix GlobalAt(KZeqNode* node, KTime time) { return node->GetGlobalFromCurrentTake(time); }

inline KTime Frame30(long long frame) { return KTime(frame * 1539538600LL); }

class Scene3dsTest : public zeqtest::GeometryFormatTest {
protected:
    void SetUp() override { ClearErrList3ds(); }
    void TearDown() override {
        CloseAllFiles3ds();
        ClearErrList3ds();
    }

    bool Import3ds(const std::string& path, const Tweak& tweak = nullptr, KZeqScene* scene = nullptr) {
        return Import(path, KZeqImporter::e3D_STUDIO_3DS, tweak, scene);
    }
    bool Export3ds(const std::string& path, const Tweak& tweak = nullptr, KZeqScene* scene = nullptr) {
        return Export(path, KZeqExporter::e3D_STUDIO_3DS, tweak, scene);
    }
    std::string Sample(const std::string& name) { return zeqtest::SampleDir("3ds") + "/" + name; }
    std::string Path(const std::string& name) { return std::string(mDir / name); }

    // Every node below the root, depth first.
    static void Collect(KZeqNode* node, std::vector<KZeqNode*>& out) {
        for (int i = 0; i < node->GetChildCount(); ++i) {
            out.push_back(node->GetChild(i));
            Collect(node->GetChild(i), out);
        }
    }
    std::vector<KZeqNode*> Nodes(KZeqScene* scene = nullptr) {
        std::vector<KZeqNode*> out;
        Collect((scene ? scene : mScene)->GetRootNode(), out);
        return out;
    }
    std::vector<KZeqMesh*> Meshes(KZeqScene* scene = nullptr) {
        std::vector<KZeqMesh*> out;
        for (KZeqNode* node : Nodes(scene))
            if (node->GetMesh()) out.push_back(node->GetMesh());
        return out;
    }
    KZeqNode* Find(const std::string& name, KZeqScene* scene = nullptr) {
        for (KZeqNode* node : Nodes(scene))
            if (Plain(node->GetName()) == name) return node;
        return nullptr;
    }
};

#define SKIP_WITHOUT_3DS_SAMPLES()                                                                 \
    do {                                                                                           \
        if (zeqtest::SampleDir("3ds").empty())                                                     \
            GTEST_SKIP() << "sample files (../shared/testdata/3ds) not found: nothing to compare"; \
    } while (0)

}  // namespace zeq3dstest

#endif
