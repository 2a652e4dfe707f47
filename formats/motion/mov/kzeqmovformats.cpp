#include "formats/motion/mov/kzeqreadercorvantismov.h"
#include "formats/motion/mov/kzeqwritercorvantismov.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* MakeReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReaderCorvantisMov(manager); }
KZeqWriter* MakeWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriterCorvantisMov(manager); }

}  // namespace

// The importer and exporter rows of Corvantis MOV files.
void RegisterMovFormat() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eCORVANTIS_MOV, &MakeReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::eCORVANTIS_MOV, &MakeWriter);
}

}  // namespace zeqsdk_400
