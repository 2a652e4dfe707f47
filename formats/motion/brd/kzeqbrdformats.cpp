#include "formats/motion/brd/kzeqreaderascension.h"
#include "formats/motion/brd/kzeqwriterascension.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* MakeReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReaderAscension(manager); }
KZeqWriter* MakeWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriterAscension(manager); }

}  // namespace

// The importer and exporter rows of Ascension BRD files.
void RegisterBrdFormat() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eASCENSION_BRD, &MakeReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::eASCENSION_BRD, &MakeWriter);
}

}  // namespace zeqsdk_400
