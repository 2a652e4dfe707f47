// Skeleton rows exporting "from global position" take the skeleton's place in
// the world through every node above it: a skeleton hung below a chain deeper
// than a small stack has frames for exports as one hung below a single node
// that moves it as far.

#include <pthread.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

struct DeepRow {
    const char* mName;
    int mRow;
    const char* mExtension;
};
void PrintTo(const DeepRow& row, std::ostream* os) { *os << row.mName; }

const DeepRow kRows[] = {
    {"BVH", KZeqExporter::eBIOVISION_BVH, "bvh"},
    {"HTR", KZeqExporter::eMOTION_ANALYSIS_HTR, "htr"},
    {"ASF", KZeqExporter::eACCLAIM_ASF, "asf"},
    {"AMC", KZeqExporter::eACCLAIM_AMC, "amc"},
};

// Runs body on a thread with a stack of stackBytes; whether it ran and answered true.
bool OnSmallStack(std::size_t stackBytes, const std::function<bool()>& body) {
    struct Run {
        const std::function<bool()>* mBody;
        bool mResult;
        static void* Main(void* self) {
            auto* run = static_cast<Run*>(self);
            run->mResult = (*run->mBody)();
            return nullptr;
        }
    } run{&body, false};
    pthread_attr_t attributes;
    pthread_t thread;
    if (pthread_attr_init(&attributes) != 0) return false;
    const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                         pthread_create(&thread, &attributes, &Run::Main, &run) == 0;
    pthread_attr_destroy(&attributes);
    return started && pthread_join(thread, nullptr) == 0 && run.mResult;
}

class DeepExport : public testing::TestWithParam<DeepRow> {
protected:
    DeepExport() { ZeqRegisterFormats(); }

    // A three-joint animated chain below levels nodes, each one unit along X (one node of levels
    // units when flat), exported through the row from global position into path.
    bool Export(int levels, bool flat, const std::string& path, std::string& error) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        zeqmotiontest::ChainSpec spec;
        spec.mJoints = 3;
        spec.mFrames = 5;
        KZeqNode* top = zeqmotiontest::MakeAnimatedChain(manager, *scene, spec).Top();
        // Built from the skeleton upwards: each new node has no parent yet, so no link walks the chain.
        KZeqNode* below = top;
        for (int i = flat ? levels - 1 : 0; i < levels; ++i) {
            KZeqNode* node = manager.CreateKZeqNode(("level" + std::to_string(i)).c_str());
            node->SetDefaultT(KZeqVector4(flat ? levels : 1, 0, 0, 0));
            if (!node->AddChild(below)) return false;
            below = node;
        }
        if (!scene->GetRootNode()->AddChild(below)) return false;
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(GetParam().mRow);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options || !options->Is(KStreamOptionsMotion::ClassId)) return false;
        auto& motion = *static_cast<KStreamOptionsMotion*>(options);
        zeqmotiontest::SetRangeFromCurrentTake(*scene, motion, 30.0);
        motion.SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
        // AMC motion goes over the skeleton an ASF export leaves in the options.
        if (GetParam().mRow == KZeqExporter::eACCLAIM_AMC) {
            KZeqExporter asf(manager);
            asf.Initialize((path + ".asf").c_str());
            asf.SetFileFormat(KZeqExporter::eACCLAIM_ASF);
            if (!asf.Export(*scene, options)) return false;
        }
        const bool written = exporter.Export(*scene, options);
        if (!written) error = exporter.GetLastErrorString();
        exporter.ReleaseExportOptions(options);
        return written;
    }

    std::string Path(const char* stem) const { return mDir / (std::string(stem) + "." + GetParam().mExtension); }

    zeqtest::TempDir mDir;
};

// 20,000 levels on a stack of 256 KiB: a walk up that recursed once per level ended the process.
TEST_P(DeepExport, ASkeletonBelowADeepChainExportsAsBelowOneNode) {
    const int levels = 20000;
    std::string deepError, flatError;
    bool deep = false;
    EXPECT_TRUE(OnSmallStack(256 * 1024, [&] { return (deep = Export(levels, false, Path("deep"), deepError)); }))
        << deepError;
    ASSERT_TRUE(deep);
    ASSERT_TRUE(Export(levels, true, Path("flat"), flatError)) << flatError;
    const std::string written = zeqtest::ReadFile(Path("deep"));
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(zeqtest::ReadFile(Path("flat")), written);
}

INSTANTIATE_TEST_SUITE_P(SkeletonRows, DeepExport, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<DeepRow>& info) { return std::string(info.param.mName); });

}  // namespace
}  // namespace zeqsdk_400
