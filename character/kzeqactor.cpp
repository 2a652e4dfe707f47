#include "character/kzeqactor.h"

namespace zeqsdk_400 {

KZeqActor::KZeqActor(KZeqSdkManager& manager, const char* name) : KZeqObject(manager, name) { Reset(); }

void KZeqActor::Reset() {
    mInputMarkerSet = nullptr;
    for (KZeqVector4& scale : mScale) scale.Set(1.0, 1.0, 1.0, 1.0);
}

void KZeqActor::SetScale(EActorBodyPart part, const KZeqVector4& scale) {
    if (IsValidActorBodyPart(part)) mScale[part] = scale;
}

KZeqVector4 KZeqActor::GetScale(EActorBodyPart part) const {
    return IsValidActorBodyPart(part) ? mScale[part] : KZeqVector4(1.0, 1.0, 1.0, 1.0);
}

KZeqActor& KZeqActor::operator=(KZeqActor& other) {
    if (&other == this) return *this;
    KZeqObject::operator=(other);
    mInputMarkerSet = other.mInputMarkerSet;
    for (int part = 0; part < kActorBodyPartCount; ++part) mScale[part] = other.mScale[part];
    return *this;
}

}  // namespace zeqsdk_400
