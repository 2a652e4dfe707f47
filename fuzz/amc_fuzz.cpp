// AMC motion on arbitrary text over a fixed skeleton (the 31-bone capture
// layout): the skeleton is imported, then the input read as its motion, whose
// options come from the file; motion that reads is written back out as AMC.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "formats/kzeqformats.h"
#include "formats/motion/asf/tests/kzeqacclaimsamples.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string TempPath(const char* suffix) { return "/tmp/amc_fuzz_" + std::to_string(::getpid()) + suffix; }

bool WriteFile(const std::string& path, const void* data, std::size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string skeleton = TempPath(".asf");
    static const std::string motion = TempPath(".amc");
    static const std::string output = TempPath("-out.amc");
    static const bool ready = [] {
        ZeqRegisterFormats();
        const std::string text = zeqacclaimsamples::SampleAsf();
        return WriteFile(skeleton, text.data(), text.size());
    }();
    if (!ready || !WriteFile(motion, data, size)) return 0;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter asf(manager);
    asf.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
    asf.Initialize(skeleton.c_str());
    auto* options = static_cast<KStreamOptionsMotion*>(asf.GetImportOptions());
    if (options && asf.Import(*scene, options)) {
        KZeqImporter amc(manager);
        amc.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
        amc.Initialize(motion.c_str());
        if (auto* read = static_cast<KStreamOptionsMotion*>(amc.GetImportOptions())) {
            options->SetTimeMode(read->GetTimeMode(), read->GetFrameRate());
            options->SetStart(read->GetStart());
            options->SetFrameCount(read->GetFrameCount());
            read->Destroy();
        }
        if (amc.Import(*scene, options)) {
            KZeqNode* top = scene->GetRootNode()->GetChild(0);
            if (top->GetChildCount() == 1) top = top->GetChild(0);
            top->SetSelected(true);
            // A few frames are enough to drive the writer.
            if (options->GetFrameCount() > 8) options->SetFrameCount(8);
            KZeqExporter exporter(manager);
            exporter.SetFileFormat(KZeqExporter::eACCLAIM_AMC);
            if (exporter.Initialize(output.c_str())) exporter.Export(*scene, options);
        }
    }
    if (options) options->Destroy();
    manager.DestroyKZeqScene(scene, true);
    return 0;
}
