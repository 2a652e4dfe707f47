// The importer's and exporter's BVH rows.
#include "formats/motion/bvh/kzeqreaderbiovision.h"
#include "formats/motion/bvh/kzeqwriterbiovision.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* CreateBvhReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReaderBiovision(manager); }
KZeqWriter* CreateBvhWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriterBiovision(manager); }

}  // namespace

void ZeqRegisterBvh() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eBIOVISION_BVH, &CreateBvhReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::eBIOVISION_BVH, &CreateBvhWriter);
}

}  // namespace zeqsdk_400
