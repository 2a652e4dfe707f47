// The OBJ rows of the importer and exporter.

#include "formats/geometry/obj/kzeqreaderobj.h"
#include "formats/geometry/obj/kzeqwriterobj.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

namespace {

KZeqReader* MakeObjReader(KZeqSdkManager& manager, KZeqImporter&) { return new KZeqReaderObj(manager); }
KZeqWriter* MakeObjWriter(KZeqSdkManager& manager, KZeqExporter&) { return new KZeqWriterObj(manager); }

}  // namespace

void RegisterObjFormat() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eVONEX_OBJ, &MakeObjReader);
    KZeqExporter::SetWriterFactory(KZeqExporter::eVONEX_OBJ, &MakeObjWriter);
}

}  // namespace zeqsdk_400
