#include "formats/kzeqformats.h"

#include <gtest/gtest.h>

#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {
namespace {

KZeqReader* NoReader(KZeqSdkManager&, KZeqImporter&) { return nullptr; }
KZeqWriter* NoWriter(KZeqSdkManager&, KZeqExporter&) { return nullptr; }

TEST(ZeqFormats, RegisteringTwiceIsHarmless) {
    ZeqRegisterFormats();
    ZeqRegisterFormats();
}

TEST(ZeqFormats, ZeqRowsAndRowsOutsideTheTableRefuseAFactory) {
    for (int row : std::initializer_list<int>{-1, KZeqImporter::eZEQ_ASCII, KZeqImporter::eZEQ_BINARY, KZeqImporter::eZEQ_ENCRYPTED,
                    int(KZeqImporter::eFileFormatCount)})
        EXPECT_FALSE(KZeqImporter::SetReaderFactory(row, &NoReader)) << row;
    for (int row : std::initializer_list<int>{-1, KZeqExporter::eZEQ_BINARY, KZeqExporter::eZEQ_5_ASCII, int(KZeqExporter::eFileFormatCount)})
        EXPECT_FALSE(KZeqExporter::SetWriterFactory(row, &NoWriter)) << row;
}

}  // namespace
}  // namespace zeqsdk_400
