#ifndef ZEQ_CONTENT_KZEQGOBO_H
#define ZEQ_CONTENT_KZEQGOBO_H

#include "base/kstring.h"
#include "scene/kzeqobject.h"

namespace zeqsdk_400 {

// A light gobo: the image file a light projects and three switches for how
// the projection is drawn.
class KZeqGobo : public KZeqObject {
public:
    KZeqGobo(KZeqSdkManager& manager, const char* name);

    ENameSpace GetNameSpace() const override { return eVideo; }

    bool SetFileName(const char* fileName);
    const char* GetFileName() const { return mFileName.Buffer(); }
    void SetGroundProjection(bool on) { mGroundProjection = on; }
    bool GetGroundProjection() const { return mGroundProjection; }
    void SetVolumetricProjection(bool on) { mVolumetricProjection = on; }
    bool GetVolumetricProjection() const { return mVolumetricProjection; }
    void SetFrontVolumetricProjection(bool on) { mFrontVolumetricProjection = on; }
    bool GetFrontVolumetricProjection() const { return mFrontVolumetricProjection; }

    // The file name (exactly) and the three switches; never the names.
    bool operator==(const KZeqGobo& other) const;
    bool operator!=(const KZeqGobo& other) const { return !(*this == other); }

private:
    KString mFileName;
    bool mGroundProjection = false;
    bool mVolumetricProjection = false;
    bool mFrontVolumetricProjection = false;
};

}  // namespace zeqsdk_400

#endif
