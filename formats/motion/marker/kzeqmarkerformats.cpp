#include "formats/motion/marker/kzeqadaptiveoptics.h"
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

// AOA and MCD share their classes; the flag picks MCD's titles and prefix.
template <bool Mcd>
KZeqReader* MakeAdaptiveOpticsReader(KZeqSdkManager& manager, KZeqImporter&) {
    return new KZeqReaderAdaptiveOptics(manager, Mcd);
}

template <bool Mcd>
KZeqWriter* MakeAdaptiveOpticsWriter(KZeqSdkManager& manager, KZeqExporter&) {
    return new KZeqWriterAdaptiveOptics(manager, Mcd);
}

}  // namespace

// The importer and exporter rows of the marker formats.
void RegisterMarkerFormats() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eMOTION_ANALYSIS_TRC, &MakeReader<KZeqReaderMotionAnalysisTrc>);
    KZeqExporter::SetWriterFactory(KZeqExporter::eMOTION_ANALYSIS_TRC, &MakeWriter<KZeqWriterMotionAnalysisTrc>);
    KZeqImporter::SetReaderFactory(KZeqImporter::eVICON_C3D, &MakeReader<KZeqReaderVicon>);
    KZeqExporter::SetWriterFactory(KZeqExporter::eVICON_C3D, &MakeWriter<KZeqWriterVicon>);
    KZeqImporter::SetReaderFactory(KZeqImporter::eADAPTIVE_OPTICS_AOA, &MakeAdaptiveOpticsReader<false>);
    KZeqExporter::SetWriterFactory(KZeqExporter::eADAPTIVE_OPTICS_AOA, &MakeAdaptiveOpticsWriter<false>);
    KZeqImporter::SetReaderFactory(KZeqImporter::eSUPERFLUO_MCD, &MakeAdaptiveOpticsReader<true>);
    KZeqExporter::SetWriterFactory(KZeqExporter::eSUPERFLUO_MCD, &MakeAdaptiveOpticsWriter<true>);
}

}  // namespace zeqsdk_400
