// The DXF rows of the importer and exporter.

#include "formats/geometry/dxf/kzeqreaderdxf.h"
#include "formats/geometry/dxf/kzeqwriterdxf.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* MakeDxfReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReaderDxf(manager); }
KZeqWriter* MakeDxfWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriterDxf(manager); }

}  // namespace

void RegisterDxfFormat() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eAUTOCAD_DXF, &MakeDxfReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::eAUTOCAD_DXF, &MakeDxfWriter);
}

}  // namespace zeqsdk_400
