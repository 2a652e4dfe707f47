#include "formats/motion/marker/kzeqmotionanalysistrc.h"
#include "formats/motion/marker/kzeqvicon.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

template <class Reader>
KZeqReader* MakeReader(KZeqSdkManager& manager, KZeqImporter&) {
    return new Reader(manager);
}

template <class Writer>
KZeqWriter* MakeWriter(KZeqSdkManager& manager, KZeqExporter&) {
    return new Writer(manager);
}

}  // namespace

// The importer and exporter rows of the marker formats.
void RegisterMarkerFormats() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eMOTION_ANALYSIS_TRC, &MakeReader<KZeqReaderMotionAnalysisTrc>);
    KZeqExporter::SetWriterFactory(KZeqExporter::eMOTION_ANALYSIS_TRC, &MakeWriter<KZeqWriterMotionAnalysisTrc>);
    KZeqImporter::SetReaderFactory(KZeqImporter::eVICON_C3D, &MakeReader<KZeqReaderVicon>);
    KZeqExporter::SetWriterFactory(KZeqExporter::eVICON_C3D, &MakeWriter<KZeqWriterVicon>);
}

}  // namespace zeqsdk_400
