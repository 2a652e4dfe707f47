// The file slots every format reader and writer answers through (FileOpen or FileCreate,
// IsFileOpen, FileClose), as the importer and exporter drive them: open, open again (the first
// file closes), close, close again. Closing with no file open fails with "File not opened" (3 for
// readers, 1 for writers) in the motion formats; the geometry formats answer true.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "fileio/tests/fileio_test_support.h"
#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/dxf/kzeqreaderdxf.h"
#include "formats/geometry/dxf/kzeqwriterdxf.h"
#include "formats/geometry/obj/kzeqreaderobj.h"
#include "formats/geometry/obj/kzeqwriterobj.h"
#include "formats/motion/asf/kzeqreaderacclaimamc.h"
#include "formats/motion/asf/kzeqreaderacclaimasf.h"
#include "formats/motion/asf/kzeqwriteracclaimamc.h"
#include "formats/motion/asf/kzeqwriteracclaimasf.h"
#include "formats/motion/brd/kzeqreaderascension.h"
#include "formats/motion/brd/kzeqwriterascension.h"
#include "formats/motion/bvh/kzeqreaderbiovision.h"
#include "formats/motion/bvh/kzeqwriterbiovision.h"
#include "formats/motion/htr/kzeqreadermotionanalysishtr.h"
#include "formats/motion/htr/kzeqwritermotionanalysishtr.h"
#include "formats/motion/marker/kzeqadaptiveoptics.h"
#include "formats/motion/marker/kzeqmotionanalysistrc.h"
#include "formats/motion/marker/kzeqvicon.h"
#include "formats/motion/mov/kzeqreadercorvantismov.h"
#include "formats/motion/mov/kzeqwritercorvantismov.h"
#include "formats/motion/vpm/kzeqreaderpuppeteer.h"
#include "formats/motion/vpm/kzeqwriterpuppeteer.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

// A format's reader and writer; the geometry formats answer FileClose with no file open with true.
struct Format {
    const char* mName;
    std::function<KZeqReader*(KZeqSdkManager&)> mReader;
    std::function<KZeqWriter*(KZeqSdkManager&)> mWriter;
    bool mGeometry = false;
};
void PrintTo(const Format& format, std::ostream* os) { *os << format.mName; }

template <class R, class W>
Format Both(const char* name, bool geometry = false) {
    return {name, [](KZeqSdkManager& m) { return new R(m); }, [](KZeqSdkManager& m) { return new W(m); }, geometry};
}
template <bool Mcd>
Format AdaptiveOptics(const char* name) {
    return {name, [](KZeqSdkManager& m) { return new KZeqReaderAdaptiveOptics(m, Mcd); },
            [](KZeqSdkManager& m) { return new KZeqWriterAdaptiveOptics(m, Mcd); }};
}

const Format kFormats[] = {
    Both<KZeqReaderBiovision, KZeqWriterBiovision>("BVH"),
    Both<KZeqReaderMotionAnalysisHtr, KZeqWriterMotionAnalysisHtr>("HTR"),
    Both<KZeqReaderMotionAnalysisTrc, KZeqWriterMotionAnalysisTrc>("TRC"),
    Both<KZeqReaderAcclaimAsf, KZeqWriterAcclaimAsf>("ASF"),
    Both<KZeqReaderAcclaimAmc, KZeqWriterAcclaimAmc>("AMC"),
    Both<KZeqReaderVicon, KZeqWriterVicon>("C3D"),
    AdaptiveOptics<false>("AOA"),
    AdaptiveOptics<true>("MCD"),
    Both<KZeqReaderPuppeteer, KZeqWriterPuppeteer>("VPM"),
    Both<KZeqReaderCorvantisMov, KZeqWriterCorvantisMov>("MOV"),
    Both<KZeqReaderAscension, KZeqWriterAscension>("BRD"),
    Both<KZeqReaderDxf, KZeqWriterDxf>("DXF", true),
    Both<KZeqReader3DS, KZeqWriter3DS>("3DS", true),
    Both<KZeqReaderObj, KZeqWriterObj>("OBJ", true),
};

class FormatSlots : public testing::TestWithParam<Format> {
protected:
    // Closing with no file open: "File not opened" in the motion formats, true in the geometry ones.
    template <class T>
    void CloseWithoutFile(T& io) {
        if (GetParam().mGeometry) {
            EXPECT_TRUE(io.FileClose());
            return;
        }
        EXPECT_FALSE(io.FileClose());
        EXPECT_EQ(io.GetLastErrorID(), T::eFileNotOpened);
    }
    KZeqSdkManager mManager;
    zeqtest::TempDir mDir;
};

// Opening needs no more than a file that opens: the content is read by GetReadOptions and Read.
TEST_P(FormatSlots, ReaderOpenAgainClosesTheFirstCloseTwiceFails) {
    std::unique_ptr<KZeqReader> reader(GetParam().mReader(mManager));
    const std::string a = mDir / "a.in", b = mDir / "b.in";
    zeqtest::WriteFile(a, "");
    zeqtest::WriteFile(b, "");
    EXPECT_FALSE(reader->IsFileOpen());
    CloseWithoutFile(*reader);
    ASSERT_TRUE(reader->FileOpen(a.c_str())) << reader->GetLastErrorString();
    EXPECT_TRUE(reader->IsFileOpen());
    ASSERT_TRUE(reader->FileOpen(b.c_str()));
    EXPECT_TRUE(reader->IsFileOpen());
    EXPECT_TRUE(reader->FileClose());
    EXPECT_FALSE(reader->IsFileOpen());
    CloseWithoutFile(*reader);
    // A file that is not there leaves the reader closed.
    EXPECT_FALSE(reader->FileOpen((mDir / "missing.in").c_str()));
    EXPECT_FALSE(reader->IsFileOpen());
    EXPECT_EQ(reader->GetLastErrorID(), KZeqReader::eFileNotOpened);
}

TEST_P(FormatSlots, WriterCreateCloseCloseTwiceFails) {
    std::unique_ptr<KZeqWriter> writer(GetParam().mWriter(mManager));
    EXPECT_FALSE(writer->IsFileOpen());
    CloseWithoutFile(*writer);
    ASSERT_TRUE(writer->FileCreate((mDir / "out.file").c_str())) << writer->GetLastErrorString();
    EXPECT_TRUE(writer->IsFileOpen());
    writer->FileClose();
    EXPECT_FALSE(writer->IsFileOpen());
    CloseWithoutFile(*writer);
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatSlots, testing::ValuesIn(kFormats),
                         [](const testing::TestParamInfo<Format>& info) { return std::string(info.param.mName); });

}  // namespace
}  // namespace zeqsdk_400
