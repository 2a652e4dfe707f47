// Small files exported again and again through the exporter's OBJ and BVH rows into a folder
// 1, 30 or 60 levels below the scratch folder (argument "depth"): the cost a writer pays per
// export for walking the target's folders one at a time and replacing its file(s) whole. The OBJ
// scene is three nodes, two meshes sharing a material (its material library is written beside);
// the BVH scene a chain of four joints over 30 frames. Time is wall-clock per export: the writers
// sync what they write.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/benchscratch.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

constexpr int kFrames = 30;

// A folder depth levels below the scratch folder, one per depth.
std::string DeepFolder(int depth) {
    std::string relative = std::to_string(depth);
    for (int level = 1; level < depth; ++level) relative += "/d";
    return zeqbench::MakeFolder(relative);
}

// A group null holding a cube and a quad, both painted with one material.
void MeshScene(KZeqSdkManager& manager, KZeqScene& scene) {
    KZeqNode* group = manager.CreateKZeqNode("Group");
    group->SetNodeAttribute(manager.CreateKZeqNull());
    scene.GetRootNode()->AddChild(group);
    KZeqMaterial* paint = manager.CreateKZeqMaterial("paint");
    paint->SetDiffuse(KZeqColor(1, 0, 0, 1));
    const int cube[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    const int quad[1][4] = {{0, 1, 3, 2}};
    const struct {
        const char* mName;
        int mPoints;
        const int (*mPolygons)[4];
        int mPolygonCount;
    } shapes[] = {{"Box", 8, cube, 6}, {"Lid", 4, quad, 1}};
    for (const auto& shape : shapes) {
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->InitControlPoints(shape.mPoints);
        for (int i = 0; i < shape.mPoints; ++i)
            mesh->GetControlPoints()[i] = KZeqVector4(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1);
        for (int p = 0; p < shape.mPolygonCount; ++p) {
            mesh->BeginPolygon();
            for (int index : shape.mPolygons[p]) mesh->AddPolygon(index);
            mesh->EndPolygon();
        }
        mesh->AddMaterial(paint);
        KZeqNode* node = manager.CreateKZeqNode(shape.mName);
        node->SetNodeAttribute(mesh);
        group->AddChild(node);
    }
}

// Four limb joints in a chain, the top one selected, rotating over kFrames frames at 30 a second
// (the top one moving too).
void SkeletonScene(KZeqSdkManager& manager, KZeqScene& scene) {
    KZeqNode* parent = scene.GetRootNode();
    KTime period;
    period.SetSecondDouble(1.0 / 30.0);
    for (int joint = 0; joint < 4; ++joint) {
        KZeqNode* node = manager.CreateKZeqNode(("Joint" + std::to_string(joint)).c_str());
        KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
        skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
        node->SetNodeAttribute(skeleton);
        node->SetDefaultT(KZeqVector4(0, joint == 0 ? 0 : 10, 0, 0));
        parent->AddChild(node);
        parent = node;
        node->CreateTakeNode("Take 001");
        node->SetCurrentTakeNode("Take 001");
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurve* curves[] = {take->GetTranslationX(), take->GetEulerRotationX(), take->GetEulerRotationZ()};
        for (int c = joint == 0 ? 0 : 1; c < 3; ++c) {
            KTime time;
            for (int f = 0; f < kFrames; ++f, time += period)
                curves[c]->KeyAppendFast(time, static_cast<float>(10.0 * c + f * (joint + 1)));
        }
    }
    scene.GetRootNode()->GetChild(0)->SetSelected(true);
}

// One export of the scene through the row to path.
bool Export(KZeqSdkManager& manager, KZeqScene& scene, int row, const std::string& path) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(row);
    KStreamOptions* options = exporter.GetExportOptions();
    if (!options) return false;
    if (options->Is(KStreamOptionsMotion::ClassId)) {
        auto* motion = static_cast<KStreamOptionsMotion*>(options);
        motion->SetTimeMode(KTime::eModeDefault, 30.0);
        motion->SetFrameCount(kFrames);
    }
    const bool written = exporter.Export(scene, options);
    exporter.ReleaseExportOptions(options);
    return written;
}

void BM_SmallExport(benchmark::State& state, int row, const char* extension,
                    void (*build)(KZeqSdkManager&, KZeqScene&)) {
    ZeqRegisterFormats();
    const int depth = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    build(manager, *scene);
    const std::string folder = DeepFolder(depth);
    const std::string path = folder + "/small." + extension;
    for (auto _ : state)
        if (!Export(manager, *scene, row, path)) {
            state.SkipWithError("export failed");
            break;
        }
    state.SetItemsProcessed(state.iterations());
    zeqbench::RemoveFolder(zeqbench::ScratchPath(std::to_string(depth)));
}

// The depths of the export's folder below the scratch folder.
void AtDepths(benchmark::internal::Benchmark* family) {
    family->ArgName("depth")->Arg(1)->Arg(30)->Arg(60)->UseRealTime()->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK_CAPTURE(BM_SmallExport, OBJ, KZeqExporter::eVONEX_OBJ, "obj", MeshScene)->Apply(AtDepths);
BENCHMARK_CAPTURE(BM_SmallExport, BVH, KZeqExporter::eBIOVISION_BVH, "bvh", SkeletonScene)->Apply(AtDepths);
