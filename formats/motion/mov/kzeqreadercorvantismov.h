#ifndef ZEQ_FORMATS_MOTION_MOV_KZEQREADERCORVANTISMOV_H
#define ZEQ_FORMATS_MOTION_MOV_KZEQREADERCORVANTISMOV_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "formats/motion/common/kzeqmotionfileio.h"
#include "formats/motion/mov/kzeqfilecorvantismov.h"

namespace zeqsdk_400 {

class KStreamOptionsMotion;
class KZeqNode;

// Corvantis MOV import (row 12): nodes "Marker0", "Marker1" ... with the
// enabled channel groups (options 0 translation, 1 rotation, 2 scaling) as
// curves, under "MOV:optical" or "MOV:reference". The frame rate is estimated
// from the times of the first ten rows.
class KZeqReaderCorvantisMov : public KZeqMotionFileReader<KZeqFileCorvantisMov> {
public:
    explicit KZeqReaderCorvantisMov(KZeqSdkManager& manager);
    ~KZeqReaderCorvantisMov() override;
    KStreamOptions* GetReadOptions(bool parseFile = true) override;
    // On failure nothing of the file is left in the scene or with the manager.
    bool Read(KZeqScene& scene, KStreamOptions* options) override;

    // Count new marker nodes named "Marker" and their index.
    bool CreateNodeArray(KArrayTemplate<KZeqNode*>& nodes, int count);
    // Keys of the enabled groups from rows of columns values each; false when
    // a curve cannot hold them.
    bool CreateAnimation(KStreamOptionsMotion* options, KArrayTemplate<KZeqNode*>& nodes, const KString& take,
                         const std::vector<double>& rows, int columns, KTime start, KTime period, int frames);
    // The reference node with the nodes under it, attached to the scene's root.
    bool InsertNodeArrayInScene(KStreamOptionsMotion* options, KZeqScene& scene, KArrayTemplate<KZeqNode*>& nodes);
};

}  // namespace zeqsdk_400

#endif
