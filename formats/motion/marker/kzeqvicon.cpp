#include "formats/motion/marker/kzeqvicon.h"

#include "formats/motion/marker/kzeqfilevicon.h"
#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

KZeqReaderVicon::KZeqReaderVicon(KZeqSdkManager& manager) : KZeqReaderMotionBase(manager) {
    mTitle = "Vicon C3D File Importer";
    mPrefix = "C3D";
}

IZeqFileMotionBase* KZeqReaderVicon::CreateFileObject(const char* fileName) {
    return ZeqOpenMotionFile<KZeqFileVicon>(fileName, "rb");
}

void KZeqReaderVicon::SetReadOptions(KStreamOptionsMotion* options) {
    options->SetOption(KStreamOptionsMotion::eUnusedSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eImportActorPrefix, KStreamOptionsMotion::eOn);
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    if (static_cast<KZeqFileVicon*>(mFile)->GetTimeCode(hours, minutes, seconds, frames)) {
        KTime offset;
        offset.SetTime(hours, minutes, seconds, frames, 0, KTime::eModeDefault);
        options->SetStart(options->GetStart() + offset);
    }
}

KZeqWriterVicon::KZeqWriterVicon(KZeqSdkManager& manager) : KZeqWriterMotionBase(manager) {
    mTitle = "Vicon C3D File Exporter";
}

IZeqFileMotionBase* KZeqWriterVicon::CreateFileObject(std::FILE* stream) {
    return ZeqAdoptMotionFile<KZeqFileVicon>(stream, "wb");
}

void KZeqWriterVicon::SetWriteOptions(KStreamOptionsMotion* options) {
    options->SetOption(KStreamOptionsMotion::eUnusedSegments, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOff);
    options->SetOption(KStreamOptionsMotion::eExportC3DRealFormat, KStreamOptionsMotion::eOn);
    options->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOff);
}

const char* KZeqWriterVicon::RefuseMarkerCount(int count) const {
    // The header keeps the count in a 16-bit word.
    return count > 65535 ? "A C3D file holds at most 65535 points." : nullptr;
}

bool KZeqWriterVicon::WriteMotion(KZeqScene& scene, KStreamOptionsMotion& options) {
    KZeqFileVicon* file = static_cast<KZeqFileVicon*>(mFile);
    const bool written = KZeqWriterMotionBase::WriteMotion(scene, options);
    if (written && file->GetClippedCount() > 0) {
        const KString warning = KString("") + file->GetClippedCount() +
                                " samples lay beyond the 16-bit range of integer C3D data (about 4.7 m from the "
                                "origin) and were written as gaps.";
        AddMessageLine(warning.Buffer());
        options.MessageCallback(1, "Warning", warning.Buffer(), "Ok", nullptr, nullptr, 0);
    }
    return written;
}

}  // namespace zeqsdk_400
