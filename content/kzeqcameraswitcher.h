#ifndef ZEQ_CONTENT_KZEQCAMERASWITCHER_H
#define ZEQ_CONTENT_KZEQCAMERASWITCHER_H

#include <memory>
#include <vector>

#include "base/kstring.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

class KFCurve;

// Which camera is active over time: the names of the cameras taking part and
// a "Camera Index" channel in every take of its node. Without properties,
// type name or flags. The scene makes and ends it; the manager has no
// allocator for it.
class KZeqCameraSwitcher : public KZeqNodeAttribute {
public:
    explicit KZeqCameraSwitcher(KZeqSdkManager& manager) : KZeqNodeAttribute(manager) {}
    ~KZeqCameraSwitcher() override;
    // Copies nothing.
    KZeqCameraSwitcher& operator=(KZeqCameraSwitcher&) { return *this; }

    EAttributeType GetAttributeType() const override { return eCAMERA_SWITCHER; }

    // A copy of the name, appended even when listed already.
    void AddCameraName(const char* name);
    // Texts handed out before end here.
    void RemoveAllCameraNames() { mCameraNames.clear(); }
    int GetCameraNameCount() const { return static_cast<int>(mCameraNames.size()); }
    // Valid while the switcher lives; null at or past the count.
    const char* GetCameraName(unsigned int index) const;

    // The Default take's index, truncated toward zero; 0 when detached or the
    // channel is missing, where the setter does nothing.
    int GetDefaultCameraIndex() const;
    void SetDefaultCameraIndex(int index);

    // "Camera Index", found or made, at 1.
    void AddChannels(KZeqTakeNode* take) override;
    void RemoveChannels(KZeqTakeNode* take) override;

private:
    KFCurve* DefaultCurve() const;

    // Each name on its own, so that the texts handed out stay in place.
    std::vector<std::unique_ptr<KString>> mCameraNames;
};

}  // namespace zeqsdk_400

#endif
