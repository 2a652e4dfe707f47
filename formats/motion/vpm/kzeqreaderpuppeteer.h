#ifndef ZEQ_FORMATS_MOTION_VPM_KZEQREADERPUPPETEER_H
#define ZEQ_FORMATS_MOTION_VPM_KZEQREADERPUPPETEER_H

#include <memory>

#include "base/kstring.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqFilePuppeteer;
class KZeqNode;

// Puppeteer VPM import (row 11): every segment of the file becomes an optical
// marker node with translation, rotation and scaling curves, under
// "VPM:optical" or "VPM:reference". The options' start, frame period and frame
// count apply to every segment; a bad later segment ends the file, keeping
// the ones before it.
class KZeqReaderPuppeteer : public KZeqReader {
public:
    explicit KZeqReaderPuppeteer(KZeqSdkManager& manager);
    ~KZeqReaderPuppeteer() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure nothing of the file is left in the scene or with the manager.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;
    // One segment as a new child of parent; false (nothing made) when no
    // further segment reads.
    bool ReadNode(KZeqNode* parent, const KString& take, KStreamOptionsMotion* options, bool first);

private:
    std::unique_ptr<KZeqFilePuppeteer> mFile;
    KString mFileName;
};

}  // namespace zeqsdk_400

#endif
