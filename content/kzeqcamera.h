#ifndef ZEQ_CONTENT_KZEQCAMERA_H
#define ZEQ_CONTENT_KZEQCAMERA_H

#include "base/kstring.h"
#include "base/kzeqvector.h"
#include "content/kzeqcameraproperties.h"
#include "scene/kzeqnodeattribute.h"

namespace zeqsdk_400 {

class KFCurve;
class KZeqTexture;

// A camera: optics, image format, clipping planes, background and display
// and render options, kept in its properties with the clamps and tables the
// setters apply. Roll, turntable, the three field-of-view and two
// optical-centre values are also channels in every take of its node, tied to
// their properties in the "Default" take; so is the background colour,
// untied. Lengths of film are in inches, focal lengths in millimetres, angles
// in degrees.
class KZeqCamera : public KZeqNodeAttribute, public KZeqCameraTypes {
public:
    explicit KZeqCamera(KZeqSdkManager& manager);
    ~KZeqCamera() override;
    // The settings of the other camera, not its film aspect ratio, field of
    // view, optical centre, motion blur, magnifier and a few display flags.
    KZeqCamera& operator=(KZeqCamera& other);

    EAttributeType GetAttributeType() const override { return eCAMERA; }
    // Every default, in a fixed order; attached, also the node's default
    // translation and the Default take's roll and turntable.
    void Reset();
    KZeqCameraProperties* GetPropertyHandler() const { return mProperties; }

    // ---- Position and orientation --------------------------------------------
    // The node's default translation; a detached camera keeps its own
    // (a zero vector until set), which attaching leaves behind.
    void SetPosition(const KZeqVector4& position);
    KZeqVector4 GetPosition() const;
    void SetUpVector(const KZeqVector4& up) { mUpVector = up; }
    KZeqVector4 GetUpVector() const { return mUpVector; }
    void SetDefaultCameraInterestPosition(const KZeqVector4& position) { mDefaultInterest = position; }
    KZeqVector4 GetDefaultCameraInterestPosition() const { return mDefaultInterest; }
    void SetRoll(double roll) { SetDefaultRoll(roll); }
    double GetRoll() const { return ValueOf(mProperties->mRoll); }
    void SetTurnTable(double turnTable) { SetDefaultTurnTable(turnTable); }
    double GetTurnTable() const { return ValueOf(mProperties->mTurnTable); }

    // ---- Default-take values -------------------------------------------------
    // Getters read the Default take's curve when attached and it has one,
    // else the property; setters write the property, then that curve (as a
    // float) when there is one.
    double GetDefaultFieldOfView() const { return GetDefaultChannel(eFieldOfViewChannel); }
    double GetDefaultFieldOfViewX() const { return GetDefaultChannel(eFieldOfViewXChannel); }
    double GetDefaultFieldOfViewY() const { return GetDefaultChannel(eFieldOfViewYChannel); }
    double GetDefaultOpticalCenterX() const { return GetDefaultChannel(eOpticalCenterXChannel); }
    double GetDefaultOpticalCenterY() const { return GetDefaultChannel(eOpticalCenterYChannel); }
    double GetDefaultRoll() const { return GetDefaultChannel(eRollChannel); }
    double GetDefaultTurnTable() const { return GetDefaultChannel(eTurnTableChannel); }
    void SetDefaultFieldOfView(double value) { SetDefaultChannel(eFieldOfViewChannel, value); }
    void SetDefaultFieldOfViewX(double value) { SetDefaultChannel(eFieldOfViewXChannel, value); }
    void SetDefaultFieldOfViewY(double value) { SetDefaultChannel(eFieldOfViewYChannel, value); }
    void SetDefaultOpticalCenterX(double value) { SetDefaultChannel(eOpticalCenterXChannel, value); }
    void SetDefaultOpticalCenterY(double value) { SetDefaultChannel(eOpticalCenterYChannel, value); }
    void SetDefaultRoll(double value) { SetDefaultChannel(eRollChannel, value); }
    void SetDefaultTurnTable(double value) { SetDefaultChannel(eTurnTableChannel, value); }
    // Opaque; red, green and blue from the three curves when attached and all
    // exist, else from the property.
    KZeqColor GetDefaultBackgroundColor() const;
    void SetDefaultBackgroundColor(const KZeqColor& color);
    void SetBackgroundColor(const KZeqColor& color) { SetDefaultBackgroundColor(color); }
    // The property's colour, opaque; never the curves.
    KZeqColor GetBackgroundColor() const;

    // ---- Optics and format ----------------------------------------------------
    void SetProjectionType(ECameraProjectionType type) { mProperties->CameraProjectionTypeSet(type); }
    ECameraProjectionType GetProjectionType() const { return mProperties->CameraProjectionTypeGet(); }
    // A listed format sets a fixed resolution and the pixel ratio of its
    // screen ratio, then carries over a fixed-ratio, fixed-width or
    // fixed-height mode; any other value only makes the format custom.
    void SetFormat(ECameraFormat format);
    ECameraFormat GetFormat() const { return mProperties->CameraFormatGet(); }
    // Width and height bounded by mode; the format becomes custom.
    void SetAspect(ECameraAspectRatioMode mode, double width, double height);
    ECameraAspectRatioMode GetAspectRatioMode() const { return mProperties->ResolutionModeGet(); }
    double GetAspectWidth() const { return mProperties->AspectWGet(); }
    double GetAspectHeight() const { return mProperties->AspectHGet(); }
    // Nothing for the current ratio; else clamped to [0.05, 20], format custom.
    void SetPixelRatio(double ratio);
    double GetPixelRatio() const { return mProperties->PixelAspectRatioGet(); }
    // screenRatio x height / width, a zero side counting as 1.
    static double ComputePixelRatio(unsigned int width, unsigned int height, double screenRatio);
    // Clamped to [0.001, 600000]; the other plane follows so that near <= far.
    void SetNearPlane(double distance);
    double GetNearPlane() const { return mProperties->NearPlaneGet(); }
    void SetFarPlane(double distance);
    double GetFarPlane() const { return mProperties->FarPlaneGet(); }
    void SetMouseLock(bool lock) { mProperties->LockModeSet(lock); }
    bool GetMouseLock() const { return mProperties->LockModeGet(); }

    // ---- Film aperture, focal length and angle of view ----------------------------
    // A listed film sets its size and squeeze; any other value only makes it
    // custom. The film aspect ratio is recomputed either way.
    void SetApertureFormat(ECameraApertureFormat format);
    ECameraApertureFormat GetApertureFormat() const { return mProperties->FilmFormatIndexGet(); }
    void SetApertureMode(ECameraApertureMode mode) { mProperties->ApertureModeSet(mode); }
    ECameraApertureMode GetApertureMode() const { return mProperties->ApertureModeGet(); }
    // Nothing for the current value; else at least 0.0001 and the film custom.
    void SetApertureWidth(double width);
    double GetApertureWidth() const { return mProperties->FilmWidthGet(); }
    void SetApertureHeight(double height);
    double GetApertureHeight() const { return mProperties->FilmHeightGet(); }
    void SetSqueezeRatio(double ratio);
    double GetSqueezeRatio() const { return mProperties->FilmSqueezeRatioGet(); }
    void SetFocalLength(double length) { mProperties->FocalLengthSet(length); }
    double GetFocalLength() const { return mProperties->FocalLengthGet(); }
    // Clamped to [1, 179]; stores the focal length that gives it.
    void SetAngleOfView(double angle);
    // From the film and focal length, clamped to [1, 179].
    double GetAngleOfView() const;
    // The film side the aperture mode picks (the height when vertical, else
    // the squeezed width) against the focal length.
    double ComputeAngleOfView(double width, double height, double focalLength) const;
    double ComputeFocalLength(double width, double height, double angle) const;

    // ---- Background -------------------------------------------------------------
    // Connects the texture to the camera's node; nothing when detached.
    void SetBackgroundTexture(KZeqTexture* texture);
    void SetBackgroundFileName(const char* name) { mBackgroundFileName = name; }
    // Null when empty.
    const char* GetBackgroundFileName() const { return TextOrNull(mBackgroundFileName); }
    void SetBackgroundMediaName(const char* name) { mBackgroundMediaName = name; }
    const char* GetBackgroundMediaName() const { return TextOrNull(mBackgroundMediaName); }
    void SetBackgroundDisplayMode(ECameraBackgroundDisplayMode mode) { mProperties->ViewFrustumBackPlaneModeSet(mode); }
    ECameraBackgroundDisplayMode GetBackgroundDisplayMode() const { return mProperties->ViewFrustumBackPlaneModeGet(); }
    void SetBackgroundDrawingMode(ECameraBackgroundDrawingMode mode) { mProperties->BackgroundModeSet(mode); }
    ECameraBackgroundDrawingMode GetBackgroundDrawingMode() const { return mProperties->BackgroundModeGet(); }
    void SetForegroundMatteThresholdEnable(bool on) { mProperties->ForegroundTransparentSet(on); }
    bool GetForegroundMatteThresholdEnable() const { return mProperties->ForegroundTransparentGet(); }
    void SetForegroundMatteThreshold(double threshold) { mProperties->BackgroundAlphaTresholdSet(threshold); }
    double GetForegroundMatteThreshold() const { return mProperties->BackgroundAlphaTresholdGet(); }
    void SetBackgroundDistance(double distance) { mProperties->BackPlaneDistanceSet(distance); }
    double GetBackgroundDistance() const { return mProperties->BackPlaneDistanceGet(); }
    void SetBackgroundDistanceMode(ECameraBackgroundDistanceMode mode) { mProperties->BackPlaneDistanceModeSet(mode); }
    ECameraBackgroundDistanceMode GetBackgroundDistanceMode() const { return mProperties->BackPlaneDistanceModeGet(); }
    // Bit 0 fit, 1 center, 2 keep ratio, 3 crop; higher bits ignored.
    void SetBackgroundPlacementOptions(unsigned int mask);
    unsigned int GetBackgroundPlacementOptions() const;

    // ---- Display ------------------------------------------------------------------
    void SetViewCameraInterest(bool on) { mProperties->ViewCameraToLookAtSet(on); }
    bool GetViewCameraInterest() const { return mProperties->ViewCameraToLookAtGet(); }
    void SetViewNearFarPlanes(bool on) { mProperties->ViewFrustumNearFarPlaneSet(on); }
    bool GetViewNearFarPlanes() const { return mProperties->ViewFrustumNearFarPlaneGet(); }
    void SetShowGrid(bool on) { mProperties->ShowGridSet(on); }
    bool GetShowGrid() const { return mProperties->ShowGridGet(); }
    void SetShowAxis(bool on) { mProperties->ShowAzimutSet(on); }
    bool GetShowAxis() const { return mProperties->ShowAzimutGet(); }
    void SetShowName(bool on) { mProperties->ShowNameSet(on); }
    bool GetShowName() const { return mProperties->ShowNameGet(); }
    void SetShowInfoOnMoving(bool on) { mShowInfoOnMoving = on; }
    bool GetShowInfoOnMoving() const { return mShowInfoOnMoving; }
    void SetShowTimeCode(bool on) { mProperties->ShowTimeCodeSet(on); }
    bool GetShowTimeCode() const { return mProperties->ShowTimeCodeGet(); }
    void SetDisplaySafeArea(bool on) { mProperties->DisplaySafeAreaSet(on); }
    bool GetDisplaySafeArea() const { return mProperties->DisplaySafeAreaGet(); }
    void SetDisplaySafeAreaOnRender(bool on) { mDisplaySafeAreaOnRender = on; }
    bool GetDisplaySafeAreaOnRender() const { return mDisplaySafeAreaOnRender; }
    void SetSafeAreaStyle(ECameraSafeAreaStyle style) { mProperties->SafeAreaDisplayStyleSet(style); }
    ECameraSafeAreaStyle GetSafeAreaStyle() const { return mProperties->SafeAreaDisplayStyleGet(); }
    void SetShowAudio(bool on) { mShowAudio = on; }
    bool GetShowAudio() const { return mShowAudio; }
    void SetAudioColor(const KZeqColor& color) { mAudioColor = color; }
    KZeqColor GetAudioColor() const { return mAudioColor; }
    void SetUseFrameColor(bool on) { mProperties->UseFrameColorSet(on); }
    bool GetUseFrameColor() const { return mProperties->UseFrameColorGet(); }
    void SetFrameColor(const KZeqColor& color);
    KZeqColor GetFrameColor() const;

    // ---- Render options -------------------------------------------------------------
    void SetUseAntialiasing(bool on) { mProperties->UseAntialiasingSet(on); }
    bool GetUseAntialiasing() const { return mProperties->UseAntialiasingGet(); }
    void SetAntialiasingIntensity(double intensity) { mProperties->AntialiasingIntensitySet(intensity); }
    double GetAntialiasingIntensity() const { return mProperties->AntialiasingIntensityGet(); }
    void SetAntialiasingMethod(ECameraAntialiasingMethod method) { mAntialiasingMethod = method; }
    ECameraAntialiasingMethod GetAntialiasingMethod() const { return mAntialiasingMethod; }
    void SetNumberOfSamples(int count) { mProperties->FrameSamplingCountSet(count); }
    int GetNumberOfSamples() const { return mProperties->FrameSamplingCountGet(); }
    void SetSamplingType(ECameraSamplingType type) { mSamplingType = type; }
    ECameraSamplingType GetSamplingType() const { return mSamplingType; }
    void SetUseAccumulationBuffer(bool on) { mProperties->UseAccumulationBufferSet(on); }
    bool GetUseAccumulationBuffer() const { return mProperties->UseAccumulationBufferGet(); }
    void SetUseDepthOfField(bool on) { mProperties->UseDepthOfFieldSet(on); }
    bool GetUseDepthOfField() const { return mProperties->UseDepthOfFieldGet(); }
    void SetFocusDistanceSource(ECameraFocusDistanceSource source) { mProperties->FocusSourceSet(source); }
    ECameraFocusDistanceSource GetFocusDistanceSource() const { return mProperties->FocusSourceGet(); }
    void SetSpecificDistance(double distance) { mProperties->FocusDistanceSet(distance); }
    double GetSpecificDistance() const { return mProperties->FocusDistanceGet(); }
    void SetFocusAngle(double angle) { mProperties->FocusAngleSet(angle); }
    double GetFocusAngle() const { return mProperties->FocusAngleGet(); }
    // Only 0 and 1 change anything.
    void SetRenderOptionsUsageTime(ECameraRenderOptionsUsageTime time);
    ECameraRenderOptionsUsageTime GetRenderOptionsUsageTime() const;

    // ---- Channels and object model ---------------------------------------------------------
    // The seven value channels (tied in a take named "Default" in any case)
    // and the background colour's "X", "Y", "Z", each found or made, then
    // given the camera's starting values and display colours.
    void AddChannels(KZeqTakeNode* take) override;
    // The seven value channels; the background colour stays.
    void RemoveChannels(KZeqTakeNode* take) override;
    void FillPropertyList(void* list) override;
    KString GetTypeName() const override { return KString("Camera"); }
    KStringList GetTypeFlags() const override;

private:
    enum EChannel {
        eFieldOfViewChannel,
        eFieldOfViewXChannel,
        eFieldOfViewYChannel,
        eOpticalCenterXChannel,
        eOpticalCenterYChannel,
        eRollChannel,
        eTurnTableChannel,
        eChannelCount
    };
    static double ValueOf(KProperty* property) { return property ? property->AsDouble() : 0.0; }
    static const char* TextOrNull(const KString& text) { return text.IsEmpty() ? nullptr : text.Buffer(); }
    // The Default take's curve at a path below its root, null when detached or missing.
    KFCurve* DefaultCurve(const char* group, const char* name) const;
    double GetDefaultChannel(EChannel channel) const;
    void SetDefaultChannel(EChannel channel, double value);
    // The film side (millimetres) the aperture mode picks.
    double FilmSide(double width, double height) const;

    KZeqCameraProperties* mProperties;
    KZeqVector4 mUpVector;
    KZeqVector4 mDefaultInterest;
    KZeqVector4 mDetachedPosition;
    KString mBackgroundMediaName;
    KString mBackgroundFileName;
    bool mShowInfoOnMoving = false;
    bool mDisplaySafeAreaOnRender = false;
    bool mShowAudio = false;
    KZeqColor mAudioColor;
    ECameraAntialiasingMethod mAntialiasingMethod = eOVERSAMPLING_ANTIALIASING;
    ECameraSamplingType mSamplingType = eUNIFORM;
};

}  // namespace zeqsdk_400

#endif
