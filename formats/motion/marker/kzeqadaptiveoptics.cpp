#include "formats/motion/marker/kzeqadaptiveoptics.h"

#include "formats/motion/marker/kzeqfileadaptiveoptics.h"
#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

KZeqReaderAdaptiveOptics::KZeqReaderAdaptiveOptics(KZeqSdkManager& manager, bool mcd) : KZeqReaderMotionBase(manager) {
    mTitle = mcd ? "Superfluo MCD File Importer" : "Adaptive Optics AOA File Importer";
    mPrefix = mcd ? "MCD" : "AOA";
}

IZeqFileMotionBase* KZeqReaderAdaptiveOptics::CreateFileObject(const char* fileName) {
    return ZeqOpenMotionFile<KZeqFileAdaptiveOptics>(fileName, "r");
}

void KZeqReaderAdaptiveOptics::SetReadOptions(KStreamOptionsMotion* options) {
    options->SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportExactZeroAsOccluded, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOn);
}

KZeqWriterAdaptiveOptics::KZeqWriterAdaptiveOptics(KZeqSdkManager& manager, bool mcd) : KZeqWriterMotionBase(manager) {
    mTitle = mcd ? "Superfluo MCD File Exporter" : "Adaptive Optics AOA File Exporter";
}

IZeqFileMotionBase* KZeqWriterAdaptiveOptics::CreateFileObject(std::FILE* stream) {
    return ZeqAdoptMotionFile<KZeqFileAdaptiveOptics>(stream, "w");
}

void KZeqWriterAdaptiveOptics::SetWriteOptions(KStreamOptionsMotion* options) {
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
}

}  // namespace zeqsdk_400
