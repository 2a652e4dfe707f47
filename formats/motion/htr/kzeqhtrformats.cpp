// The HTR family's rows of the importer and exporter.

#include "formats/motion/htr/kzeqreadermotionanalysishtr.h"
#include "formats/motion/htr/kzeqwritermotionanalysishtr.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"

namespace zeqsdk_400 {

void RegisterMotionAnalysisHtrFormats() {
    KZeqImporter::SetReaderFactory(KZeqImporter::eMOTION_ANALYSIS_HTR,
                                   [](KZeqSdkManager& manager, KZeqImporter&) -> KZeqReader* {
                                       return new KZeqReaderMotionAnalysisHtr(manager);
                                   });
    KZeqExporter::SetWriterFactory(KZeqExporter::eMOTION_ANALYSIS_HTR,
                                   [](KZeqSdkManager& manager, KZeqExporter&) -> KZeqWriter* {
                                       return new KZeqWriterMotionAnalysisHtr(manager);
                                   });
}

}  // namespace zeqsdk_400
