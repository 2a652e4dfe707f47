// AMC motion on arbitrary text over a fixed skeleton (the 31-bone capture
// layout), imported once: the input is read as its motion, whose options come
// from the file; motion that reads is written back out as AMC.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/kzeqformats.h"
#include "formats/motion/asf/tests/kzeqacclaimsamples.h"
#include "fuzz/fuzzscratch.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "amc-fuzz";

// The skeleton, read once: each input's take is removed again after it, so
// every input meets the same scene.
struct Skeleton {
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KStreamOptionsMotion* mOptions = nullptr;

    Skeleton() {
        ZeqRegisterFormats();
        const std::string path = zeqfuzz::Put(kScratch, "take.asf", zeqacclaimsamples::SampleAsf());
        if (path.empty()) return;
        KZeqImporter asf(mManager);
        asf.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
        asf.Initialize(path.c_str());
        mOptions = static_cast<KStreamOptionsMotion*>(asf.GetImportOptions());
        if (mOptions && !asf.Import(*mScene, mOptions)) {
            mOptions->Destroy();
            mOptions = nullptr;
        }
        zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile("take.asf");
    }

    void RemoveTake(const char* name) {
        std::vector<KZeqNode*> pending{mScene->GetRootNode()};
        while (!pending.empty()) {
            KZeqNode* node = pending.back();
            pending.pop_back();
            node->RemoveTakeNode(name);  // false where the node has no such take
            for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string output = zeqfuzz::ScratchFolder(kScratch).PathOf("take-out.amc");
    static Skeleton skeleton;
    if (!skeleton.mOptions) return 0;
    const std::string motion = zeqfuzz::Put(kScratch, "take.amc", data, size);
    if (motion.empty()) return 0;
    KStreamOptionsMotion* options = skeleton.mOptions;
    KZeqScene* scene = skeleton.mScene;
    KZeqImporter amc(skeleton.mManager);
    amc.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
    amc.Initialize(motion.c_str());
    if (auto* read = static_cast<KStreamOptionsMotion*>(amc.GetImportOptions())) {
        options->SetTimeMode(read->GetTimeMode(), read->GetFrameRate());
        options->SetStart(read->GetStart());
        options->SetFrameCount(read->GetFrameCount());
        read->Destroy();
    }
    if (amc.Import(*scene, options)) {
        const std::string take = scene->GetCurrentTakeName();
        KZeqNode* top = scene->GetRootNode()->GetChild(0);
        if (top->GetChildCount() == 1) top = top->GetChild(0);
        top->SetSelected(true);
        // A few frames are enough to drive the writer.
        if (options->GetFrameCount() > 8) options->SetFrameCount(8);
        {
            KZeqExporter exporter(skeleton.mManager);
            exporter.SetFileFormat(KZeqExporter::eACCLAIM_AMC);
            if (exporter.Initialize(output.c_str())) exporter.Export(*scene, options);
        }
        top->SetSelected(false);
        skeleton.RemoveTake(take.c_str());
    }
    return 0;
}
