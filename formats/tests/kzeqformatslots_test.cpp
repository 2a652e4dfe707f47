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

template <class T>
struct Row {
    const char* mName;
    std::function<T*(KZeqSdkManager&)> mMake;
    bool mGeometry = false;
};
template <class T>
void PrintTo(const Row<T>& row, std::ostream* os) { *os << row.mName; }
template <class T>
std::string RowName(const testing::TestParamInfo<Row<T>>& info) { return info.param.mName; }

template <class C>
Row<KZeqReader> ReaderRow(const char* name, bool geometry = false) {
    return {name, [](KZeqSdkManager& m) { return new C(m); }, geometry};
}
template <class C>
Row<KZeqWriter> WriterRow(const char* name, bool geometry = false) {
    return {name, [](KZeqSdkManager& m) { return new C(m); }, geometry};
}

const Row<KZeqReader> kReaders[] = {
    ReaderRow<KZeqReaderBiovision>("BVH"),
    ReaderRow<KZeqReaderMotionAnalysisHtr>("HTR"),
    ReaderRow<KZeqReaderMotionAnalysisTrc>("TRC"),
    ReaderRow<KZeqReaderAcclaimAsf>("ASF"),
    ReaderRow<KZeqReaderAcclaimAmc>("AMC"),
    ReaderRow<KZeqReaderVicon>("C3D"),
    {"AOA", [](KZeqSdkManager& m) { return new KZeqReaderAdaptiveOptics(m, false); }},
    {"MCD", [](KZeqSdkManager& m) { return new KZeqReaderAdaptiveOptics(m, true); }},
    ReaderRow<KZeqReaderPuppeteer>("VPM"),
    ReaderRow<KZeqReaderCorvantisMov>("MOV"),
    ReaderRow<KZeqReaderAscension>("BRD"),
    ReaderRow<KZeqReaderDxf>("DXF", true),
    ReaderRow<KZeqReader3DS>("3DS", true),
    ReaderRow<KZeqReaderObj>("OBJ", true),
};

const Row<KZeqWriter> kWriters[] = {
    WriterRow<KZeqWriterBiovision>("BVH"),
    WriterRow<KZeqWriterMotionAnalysisHtr>("HTR"),
    WriterRow<KZeqWriterMotionAnalysisTrc>("TRC"),
    WriterRow<KZeqWriterAcclaimAsf>("ASF"),
    WriterRow<KZeqWriterAcclaimAmc>("AMC"),
    WriterRow<KZeqWriterVicon>("C3D"),
    {"AOA", [](KZeqSdkManager& m) { return new KZeqWriterAdaptiveOptics(m, false); }},
    {"MCD", [](KZeqSdkManager& m) { return new KZeqWriterAdaptiveOptics(m, true); }},
    WriterRow<KZeqWriterPuppeteer>("VPM"),
    WriterRow<KZeqWriterCorvantisMov>("MOV"),
    WriterRow<KZeqWriterAscension>("BRD"),
    WriterRow<KZeqWriterDxf>("DXF", true),
    WriterRow<KZeqWriter3DS>("3DS", true),
    WriterRow<KZeqWriterObj>("OBJ", true),
};

class ReaderSlots : public testing::TestWithParam<Row<KZeqReader>> {
protected:
    void CloseWithoutFile(KZeqReader& reader) {
        if (GetParam().mGeometry) {
            EXPECT_TRUE(reader.FileClose());
            return;
        }
        EXPECT_FALSE(reader.FileClose());
        EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eFileNotOpened);
    }
    KZeqSdkManager mManager;
    zeqtest::TempDir mDir;
};

// Opening needs no more than a file that opens: the content is read by GetReadOptions and Read.
TEST_P(ReaderSlots, OpenAgainClosesTheFirstCloseTwiceFails) {
    std::unique_ptr<KZeqReader> reader(GetParam().mMake(mManager));
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

INSTANTIATE_TEST_SUITE_P(Rows, ReaderSlots, testing::ValuesIn(kReaders), RowName<KZeqReader>);

class WriterSlots : public testing::TestWithParam<Row<KZeqWriter>> {
protected:
    void CloseWithoutFile(KZeqWriter& writer) {
        if (GetParam().mGeometry) {
            EXPECT_TRUE(writer.FileClose());
            return;
        }
        EXPECT_FALSE(writer.FileClose());
        EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eFileNotOpened);
    }
    KZeqSdkManager mManager;
    zeqtest::TempDir mDir;
};

TEST_P(WriterSlots, CreateCloseCloseTwiceFails) {
    std::unique_ptr<KZeqWriter> writer(GetParam().mMake(mManager));
    EXPECT_FALSE(writer->IsFileOpen());
    CloseWithoutFile(*writer);
    ASSERT_TRUE(writer->FileCreate((mDir / "out.file").c_str())) << writer->GetLastErrorString();
    EXPECT_TRUE(writer->IsFileOpen());
    writer->FileClose();
    EXPECT_FALSE(writer->IsFileOpen());
    CloseWithoutFile(*writer);
}

INSTANTIATE_TEST_SUITE_P(Rows, WriterSlots, testing::ValuesIn(kWriters), RowName<KZeqWriter>);

}  // namespace
}  // namespace zeqsdk_400
