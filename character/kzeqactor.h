#ifndef ZEQ_CHARACTER_KZEQACTOR_H
#define ZEQ_CHARACTER_KZEQACTOR_H

#include "base/kzeqvector.h"
#include "scene/kzeqobject.h"

namespace zeqsdk_400 {

class KZeqMarkerSet;

// The body parts of an optical actor, 0 to 20.
enum EActorBodyPart : int { eActorBodyPartFirst = 0, eActorBodyPartLast = 20 };
constexpr int kActorBodyPartCount = 21;

inline bool IsValidActorBodyPart(EActorBodyPart part) {
    return static_cast<unsigned>(part) < static_cast<unsigned>(kActorBodyPartCount);
}

// An optical actor: the marker set that drives it (held, never used) and a
// scale per body part.
class KZeqActor : public KZeqObject {
public:
    KZeqActor(KZeqSdkManager& manager, const char* name);

    ENameSpace GetNameSpace() const override { return eActor; }

    // No input, every scale (1, 1, 1, 1).
    void Reset();

    void SetInputMarkerSet(KZeqMarkerSet* markerSet) { mInputMarkerSet = markerSet; }
    KZeqMarkerSet* GetInputMarkerSet() const { return mInputMarkerSet; }
    // A part outside 0..20 is ignored, and reads (1, 1, 1, 1).
    void SetScale(EActorBodyPart part, const KZeqVector4& scale);
    KZeqVector4 GetScale(EActorBodyPart part) const;

    // The name (same kind only), the input and the scales.
    KZeqActor& operator=(KZeqActor& other);

private:
    KZeqMarkerSet* mInputMarkerSet = nullptr;
    KZeqVector4 mScale[kActorBodyPartCount];
};

}  // namespace zeqsdk_400

#endif
