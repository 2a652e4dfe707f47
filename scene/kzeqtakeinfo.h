#ifndef ZEQ_SCENE_KZEQTAKEINFO_H
#define ZEQ_SCENE_KZEQTAKEINFO_H

#include "base/kcountedname.h"
#include "base/kstring.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KZeqThumbnail;

// What a scene and the files keep of one take beside its take nodes. Copies
// share the thumbnail, which the record never frees.
class KZeqTakeInfo {
public:
    // Each read counts as a search step: searches of the scene's records compare it directly.
    KCountedName mName;
    // The name the take had in the file it was read from.
    KString mImportName;
    // Stored in files as "Comments".
    KString mDescription;
    // A reader takes a take's animation only when its record is selected.
    bool mSelect = true;
    // Stored as "LocalTime" and "ReferenceTime".
    KTimeSpan mLocalTimeSpan;
    KTimeSpan mReferenceTimeSpan;
    // How a reader moves the take's keys: with type 1 by the offset, with
    // type 0 so that the first key lands on it.
    KTime mImportOffset;
    int mImportOffsetType = 1;

    KZeqThumbnail* GetTakeThumbnail() const { return mTakeThumbnail; }
    void SetTakeThumbnail(KZeqThumbnail* thumbnail) { mTakeThumbnail = thumbnail; }

private:
    KZeqThumbnail* mTakeThumbnail = nullptr;
};

}  // namespace zeqsdk_400

#endif
