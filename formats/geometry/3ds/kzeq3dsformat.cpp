// The 3DS rows of the importer and exporter.

#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* Make3dsReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReader3DS(manager); }
KZeqWriter* Make3dsWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriter3DS(manager); }

}  // namespace

void Register3dsFormat() {
    KZeqImporter::SetReaderFactory(KZeqImporter::e3D_STUDIO_3DS, &Make3dsReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::e3D_STUDIO_3DS, &Make3dsWriter);
}

}  // namespace zeqsdk_400
