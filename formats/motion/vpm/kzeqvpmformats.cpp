#include "formats/motion/vpm/kzeqreaderpuppeteer.h"
#include "formats/motion/vpm/kzeqwriterpuppeteer.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* MakeReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReaderPuppeteer(manager); }
KZeqWriter* MakeWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriterPuppeteer(manager); }

}  // namespace

// The importer and exporter rows of Puppeteer VPM files.
void RegisterVpmFormat() {
    KZeqImporter::SetReaderFactory(KZeqImporter::ePUPPETEER_VPM, &MakeReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::ePUPPETEER_VPM, &MakeWriter);
}

}  // namespace zeqsdk_400
