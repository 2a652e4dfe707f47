// The Acclaim family's rows of the importer and exporter.

#include "formats/motion/asf/kzeqreaderacclaimamc.h"
#include "formats/motion/asf/kzeqreaderacclaimasf.h"
#include "formats/motion/asf/kzeqwriteracclaimamc.h"
#include "formats/motion/asf/kzeqwriteracclaimasf.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

void RegisterAcclaimFormats() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eACCLAIM_ASF, [](KZeqSdkManager& manager, KZeqImporter&) -> KZeqReader* {
        return new KZeqReaderAcclaimAsf(manager);
    });
    KZeqImporter::SetReaderFactory(KZeqImporter::eACCLAIM_AMC, [](KZeqSdkManager& manager, KZeqImporter&) -> KZeqReader* {
        return new KZeqReaderAcclaimAmc(manager);
    });
    KZeqExporter::SetWriterFactory(KZeqExporter::eACCLAIM_ASF, [](KZeqSdkManager& manager, KZeqExporter&) -> KZeqWriter* {
        return new KZeqWriterAcclaimAsf(manager);
    });
    KZeqExporter::SetWriterFactory(KZeqExporter::eACCLAIM_AMC, [](KZeqSdkManager& manager, KZeqExporter&) -> KZeqWriter* {
        return new KZeqWriterAcclaimAmc(manager);
    });
}

}  // namespace zeqsdk_400
