#ifndef ZEQ_FUZZ_MOTION_FUZZ_SUPPORT_H
#define ZEQ_FUZZ_MOTION_FUZZ_SUPPORT_H

// What the motion-format fuzz targets share besides their scratch folder
// (fuzz/fuzzscratch.h): a read through a format's reader with options chosen
// by a flag byte, and a write of what was read through the format's writer.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/kzeqformats.h"
#include "fuzz/fuzzscratch.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqfuzz {

// Reads path through the importer row: the file's own options, else fresh
// options asking for up to 4096 frames, with each read option switched by a
// bit of flags (from bit 0 on); then, when the read succeeded, writes what was
// read back through the exporter row, each write option switched by the bits
// after those (64 frames at most).
inline void ReadAndWrite(const std::string& path, int importRow, int exportRow, unsigned flags,
                         const std::vector<int>& readOptions, const std::vector<int>& writeOptions) {
    using namespace zeqsdk_400;
    ZeqRegisterFormats();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqImporter importer(manager);
    importer.Initialize(path.c_str());
    importer.SetFileFormat(importRow);
    KStreamOptionsMotion* options = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
    if (!options) options = KStreamOptionsMotionCreate(), options->SetFrameCount(4096);
    int bit = 0;
    for (int option : readOptions)
        options->SetOption(option, (flags >> bit++) & 1 ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff);
    if (options->GetFrameCount() > 4096) options->SetFrameCount(4096);
    const bool read = importer.Import(*scene, options);
    if (read && scene->GetRootNode()->GetChildCount() > 0) {
        scene->GetRootNode()->SetSelected(true, true);
        KZeqExporter exporter(manager);
        exporter.Initialize((path + ".out").c_str());
        exporter.SetFileFormat(exportRow);
        KStreamOptionsMotion* out = static_cast<KStreamOptionsMotion*>(exporter.GetExportOptions());
        if (out) {
            out->SetStart(options->GetStart());
            out->SetTimeMode(options->GetTimeMode(), options->GetFrameRate());
            out->SetFrameCount(options->GetFrameCount() > 64 ? 64 : options->GetFrameCount());
            for (int option : writeOptions)
                out->SetOption(option, (flags >> bit++) & 1 ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff);
            exporter.Export(*scene, out);
            exporter.ReleaseExportOptions(out);
        }
    }
    options->Destroy();
}

// The options the marker formats' flag bits switch.
inline std::vector<int> MarkerReadOptions() {
    using O = zeqsdk_400::KStreamOptionsMotion;
    return {O::eImportSetOccludedToLastValidPosition, O::eImportExactZeroAsOccluded, O::eImportActorPrefix,
            O::eRenameDuplicateNames, O::eImportAsOpticalSegments};
}

}  // namespace zeqfuzz

#endif
