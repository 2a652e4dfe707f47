#include "content/kzeqcamera.h"

#include <cmath>
#include <utility>

#include "base/karray.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

// A lower bound; NaN takes the bound.
double AtLeast(double value, double low) { return value >= low ? value : low; }
// Clamped to [low, high]; NaN takes the lower bound.
double Clamped(double value, double low, double high) { return value > high ? high : AtLeast(value, low); }

constexpr double kMillimetresPerInch = 25.4;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kMinAngle = 1.0, kMaxAngle = 179.0;
constexpr double kMinPlane = 0.001, kMaxPlane = 600000.0;
constexpr double kMinPixelRatio = 0.05, kMaxPixelRatio = 20.0;
constexpr double kMinFilmValue = 0.0001;

// The value channels, in the order they are made, with the property each is
// tied to in the Default take, the value every take starts from and the
// display colour.
struct ChannelRow {
    const char* mName;
    KProperty* KZeqCameraProperties::*mProperty;
    float mStart;
    float mColor[3];
};
constexpr ChannelRow kChannels[] = {
    {"FieldOfView", &KZeqCameraProperties::mFieldOfView, 25.115f, {0.55f, 0.55f, 0.81f}},
    {"FieldOfViewX", &KZeqCameraProperties::mFieldOfViewX, 40.0f, {0.06f, 0.06f, 0.94f}},
    {"FieldOfViewY", &KZeqCameraProperties::mFieldOfViewY, 40.0f, {0.04f, 0.04f, 0.4f}},
    {"OpticalCenterX", &KZeqCameraProperties::mOpticalCenterX, 0.0f, {0.5f, 0.88f, 0.73f}},
    {"OpticalCenterY", &KZeqCameraProperties::mOpticalCenterY, 0.0f, {0.13f, 0.56f, 0.34f}},
    {"Roll", &KZeqCameraProperties::mRoll, 0.0f, {0.13f, 0.18f, 0.4f}},
    {"TurnTable", &KZeqCameraProperties::mTurnTable, 0.0f, {0.4f, 0.13f, 0.18f}},
};

constexpr const char* kBackgroundColorChannel = "BackgroundColor (Color)";
constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};
constexpr float kAxisColors[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

// Formats of a fixed resolution with the screen ratio their pixels make.
struct FormatRow {
    KZeqCamera::ECameraFormat mFormat;
    unsigned int mWidth, mHeight;
    double mScreenRatio;
};
constexpr FormatRow kFormats[] = {
    {KZeqCamera::eD1_NTSC, 720, 486, 1.3333333333},  {KZeqCamera::eNTSC, 640, 480, 1.3333333333},
    {KZeqCamera::ePAL, 570, 486, 1.3333333333},      {KZeqCamera::eD1_PAL, 720, 576, 1.3333333333},
    {KZeqCamera::eHD, 1920, 1080, 1.7777777777},     {KZeqCamera::e640x480, 640, 480, 1.3333333333},
    {KZeqCamera::e320x200, 320, 200, 1.3333333333},  {KZeqCamera::e320x240, 320, 240, 1.3333333333},
    {KZeqCamera::eFULL_SCREEN, 1280, 1024, 1.3333333333},
};

// Film sizes in inches and squeeze, by film format 1 to 11.
struct FilmRow {
    double mWidth, mHeight, mSqueeze;
};
constexpr FilmRow kFilms[] = {{0.404, 0.295, 1.0}, {0.493, 0.292, 1.0}, {0.864, 0.630, 1.0}, {0.816, 0.612, 1.0},
                              {0.980, 0.735, 1.0}, {0.825, 0.446, 1.0}, {0.864, 0.732, 2.0}, {2.066, 0.906, 1.0},
                              {1.485, 0.991, 1.0}, {2.080, 1.480, 1.0}, {2.772, 2.072, 1.0}};

}  // namespace

KZeqCamera::KZeqCamera(KZeqSdkManager& manager)
    : KZeqNodeAttribute(manager), mProperties(new KZeqCameraProperties), mAudioColor(1.0, 1.0, 1.0, 1.0) {
    Reset();
}

KZeqCamera::~KZeqCamera() {
    // A node must not keep pointing at a camera that ends.
    if (KZeqNode* node = GetNode()) node->SetNodeAttribute(nullptr);
    mProperties->Destroy();
}

void KZeqCamera::Reset() {
    KZeqCameraProperties& p = *mProperties;
    if (GetNode()) SetPosition(KZeqVector4(0.0, 0.0, -50.0, 1.0));
    SetUpVector(KZeqVector4(0.0, 1.0, 0.0, 1.0));
    SetDefaultCameraInterestPosition(KZeqVector4(0.0, 0.0, 0.0, 1.0));
    p.CameraProjectionTypeSet(ePERSPECTIVE);
    SetRoll(0.0);
    const struct {
        KProperty* mProperty;
        double mValue;
    } values[] = {{p.mFieldOfView, kChannels[eFieldOfViewChannel].mStart},
                  {p.mFieldOfViewX, kChannels[eFieldOfViewXChannel].mStart},
                  {p.mFieldOfViewY, kChannels[eFieldOfViewYChannel].mStart},
                  {p.mOpticalCenterX, 0.0},
                  {p.mOpticalCenterY, 0.0}};
    for (const auto& v : values)
        if (v.mProperty) v.mProperty->SetDouble(v.mValue);
    if (p.mBackgroundColor) {
        const double black[3] = {0.0, 0.0, 0.0};
        p.mBackgroundColor->SetDataFromDoubles(black, 3);
    }
    SetTurnTable(0.0);
    p.DisplayTurnTableIconSet(true);
    if (p.mMotionBlurIntensity) p.mMotionBlurIntensity->SetDouble(1.0);
    p.UseMotionBlurSet(false);
    p.UseRealTimeMotionBlurSet(true);
    p.CameraFormatSet(eCUSTOM_FORMAT);
    p.ResolutionModeSet(eWINDOW_SIZE);
    p.AspectWSet(320.0);
    p.AspectHSet(200.0);
    p.PixelAspectRatioSet(1.0);
    p.LockModeSet(false);
    SetApertureFormat(e35MM_TV_PROJECTION);
    p.ApertureModeSet(eVERTICAL);
    p.NearPlaneSet(10.0);
    p.FarPlaneSet(4000.0);
    p.FocalLengthSet(35.0);
    mBackgroundMediaName = "";
    mBackgroundFileName = "";
    p.ViewFrustumBackPlaneModeSet(eWHEN_MEDIA);
    p.BackgroundModeSet(eBACKGROUND);
    p.ForegroundTransparentSet(true);
    p.BackgroundAlphaTresholdSet(0.5);
    p.FitImageSet(false);
    p.CenterSet(true);
    p.KeepRatioSet(true);
    p.CropSet(false);
    p.BackPlaneDistanceSet(100.0);
    p.BackPlaneDistanceModeSet(eRELATIVE_TO_INTEREST);
    p.ViewFrustumSet(true);
    p.ViewFrustumNearFarPlaneSet(false);
    p.ViewCameraToLookAtSet(true);
    p.ShowGridSet(true);
    p.ShowAzimutSet(true);
    p.ShowNameSet(true);
    mShowInfoOnMoving = true;
    p.ShowTimeCodeSet(false);
    p.ShowOpticalCenterSet(false);
    p.DisplaySafeAreaSet(false);
    p.SafeAreaDisplayStyleSet(eSQUARE);
    p.SafeAreaAspectRatioSet(1.33333333333333);
    mDisplaySafeAreaOnRender = false;
    mShowAudio = false;
    mAudioColor = KZeqColor(0.0, 1.0, 0.0, 1.0);
    p.UseFrameColorSet(false);
    p.FrameColor.Set(KgeRGBVector(0.3, 0.3, 0.3));
    p.UseRealTimeDOFAndAASet(false);
    p.UseAntialiasingSet(false);
    p.AntialiasingIntensitySet(0.77777);
    mAntialiasingMethod = eOVERSAMPLING_ANTIALIASING;
    p.FrameSamplingCountSet(7);
    mSamplingType = eSTOCHASTIC;
    p.UseAccumulationBufferSet(false);
    p.UseDepthOfFieldSet(false);
    p.FocusSourceSet(eCAMERA_INTEREST);
    p.FocusDistanceSet(200.0);
    p.FocusAngleSet(3.5);
    p.Use2DMagnifierZoomSet(false);
    for (const auto& v : {std::make_pair(p.mMagnifierZoom, 100.0), std::make_pair(p.mMagnifierX, 50.0),
                          std::make_pair(p.mMagnifierY, 50.0)})
        if (v.first) v.first->SetDouble(v.second);
}

// ---- Position and default-take values ----------------------------------------------------

void KZeqCamera::SetPosition(const KZeqVector4& position) {
    // Cameras on no node (a scene's producer cameras) would otherwise lose it.
    if (KZeqNode* node = GetNode())
        node->SetDefaultT(position);
    else
        mDetachedPosition = position;
}

KZeqVector4 KZeqCamera::GetPosition() const {
    KZeqVector4 position;
    if (KZeqNode* node = GetNode()) return node->GetDefaultT(position);
    return mDetachedPosition;
}

KFCurve* KZeqCamera::DefaultCurve(const char* group, const char* name) const {
    KZeqNode* node = GetNode();
    KZeqTakeNode* take = node ? node->GetDefaultTakeNode() : nullptr;
    return take ? take->GetKFCurve(nullptr, group, name) : nullptr;
}

double KZeqCamera::GetDefaultChannel(EChannel channel) const {
    const ChannelRow& row = kChannels[channel];
    if (KFCurve* curve = DefaultCurve(nullptr, row.mName)) return curve->GetValue();
    return ValueOf(mProperties->*row.mProperty);
}

void KZeqCamera::SetDefaultChannel(EChannel channel, double value) {
    const ChannelRow& row = kChannels[channel];
    if (KProperty* property = mProperties->*row.mProperty) property->SetDouble(value);
    if (KFCurve* curve = DefaultCurve(nullptr, row.mName)) curve->SetValue(KPropertyDoubleToFloat(value));
}

KZeqColor KZeqCamera::GetDefaultBackgroundColor() const {
    KFCurve* curves[3];
    for (int i = 0; i < 3; ++i) curves[i] = DefaultCurve(kBackgroundColorChannel, kAxisNames[i]);
    if (!curves[0] || !curves[1] || !curves[2]) return GetBackgroundColor();
    return KZeqColor(curves[0]->GetValue(), curves[1]->GetValue(), curves[2]->GetValue(), 1.0);
}

void KZeqCamera::SetDefaultBackgroundColor(const KZeqColor& color) {
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    if (mProperties->mBackgroundColor) mProperties->mBackgroundColor->SetDataFromDoubles(rgb, 3);
    for (int i = 0; i < 3; ++i)
        if (KFCurve* curve = DefaultCurve(kBackgroundColorChannel, kAxisNames[i]))
            curve->SetValue(KPropertyDoubleToFloat(rgb[i]));
}

KZeqColor KZeqCamera::GetBackgroundColor() const {
    double rgb[kPropertyMaxMembers] = {0.0, 0.0, 0.0, 0.0};
    if (mProperties->mBackgroundColor) mProperties->mBackgroundColor->GetDataAsDoubles(rgb, kPropertyMaxMembers);
    return KZeqColor(rgb[0], rgb[1], rgb[2], 1.0);
}

// ---- Format, aspect, pixel ratio and planes -------------------------------------------------

void KZeqCamera::SetFormat(ECameraFormat format) {
    KZeqCameraProperties& p = *mProperties;
    const ECameraAspectRatioMode previous = p.ResolutionModeGet();
    const FormatRow* row = nullptr;
    for (const FormatRow& candidate : kFormats)
        if (candidate.mFormat == format) row = &candidate;
    if (!row) {
        p.CameraFormatSet(eCUSTOM_FORMAT);
        return;
    }
    SetAspect(eFIXED_RESOLUTION, row->mWidth, row->mHeight);
    SetPixelRatio(ComputePixelRatio(row->mWidth, row->mHeight, row->mScreenRatio));
    p.CameraFormatSet(format);
    // A mode that keeps a ratio or one side keeps it over the new resolution.
    switch (previous) {
        case eFIXED_RATIO:
            p.AspectWSet(p.AspectWGet() / p.AspectHGet() * p.PixelAspectRatioGet());
            p.AspectHSet(1.0);
            p.ResolutionModeSet(eFIXED_RATIO);
            break;
        case eFIXED_WIDTH:
            p.AspectHSet(p.AspectHGet() / p.AspectWGet());
            p.ResolutionModeSet(eFIXED_WIDTH);
            break;
        case eFIXED_HEIGHT:
            p.AspectWSet(p.AspectWGet() / p.AspectHGet());
            p.ResolutionModeSet(eFIXED_HEIGHT);
            break;
        default: break;
    }
}

void KZeqCamera::SetAspect(ECameraAspectRatioMode mode, double width, double height) {
    KZeqCameraProperties& p = *mProperties;
    const struct {
        double mWidth, mHeight;
    } bounded[] = {{width, height},
                   {AtLeast(width, 0.001), 1.0},
                   {AtLeast(width, 1.0), AtLeast(height, 1.0)},
                   {AtLeast(width, 1.0), AtLeast(height, 0.001)},
                   {AtLeast(width, 0.001), AtLeast(height, 1.0)}};
    if (mode >= eWINDOW_SIZE && mode <= eFIXED_HEIGHT) {
        p.AspectWSet(bounded[mode].mWidth);
        p.AspectHSet(bounded[mode].mHeight);
    }
    SetFormat(eCUSTOM_FORMAT);
    p.ResolutionModeSet(mode);
}

void KZeqCamera::SetPixelRatio(double ratio) {
    if (ratio == mProperties->PixelAspectRatioGet()) return;
    mProperties->PixelAspectRatioSet(Clamped(ratio, kMinPixelRatio, kMaxPixelRatio));
    SetFormat(eCUSTOM_FORMAT);
}

double KZeqCamera::ComputePixelRatio(unsigned int width, unsigned int height, double screenRatio) {
    const double w = width ? width : 1.0, h = height ? height : 1.0;
    return screenRatio / (w / h);
}

void KZeqCamera::SetNearPlane(double distance) {
    mProperties->NearPlaneSet(Clamped(distance, kMinPlane, kMaxPlane));
    if (mProperties->FarPlaneGet() < mProperties->NearPlaneGet()) mProperties->FarPlaneSet(mProperties->NearPlaneGet());
}

void KZeqCamera::SetFarPlane(double distance) {
    mProperties->FarPlaneSet(Clamped(distance, kMinPlane, kMaxPlane));
    if (mProperties->NearPlaneGet() > mProperties->FarPlaneGet()) mProperties->NearPlaneSet(mProperties->FarPlaneGet());
}

// ---- Film, focal length and angle of view ------------------------------------------------------

void KZeqCamera::SetApertureFormat(ECameraApertureFormat format) {
    KZeqCameraProperties& p = *mProperties;
    const int count = static_cast<int>(sizeof(kFilms) / sizeof(kFilms[0]));
    if (format >= 1 && format <= count) {
        const FilmRow& film = kFilms[format - 1];
        p.FilmFormatIndexSet(format);
        p.FilmWidthSet(film.mWidth);
        p.FilmHeightSet(film.mHeight);
        p.FilmSqueezeRatioSet(film.mSqueeze);
    } else {
        p.FilmFormatIndexSet(eCUSTOM_APERTURE_FORMAT);
    }
    double ratio = p.FilmWidthGet() / p.FilmHeightGet();
    p.FilmAspectRatio.SetData(&ratio);
}

void KZeqCamera::SetApertureWidth(double width) {
    if (width == mProperties->FilmWidthGet()) return;
    mProperties->FilmWidthSet(AtLeast(width, kMinFilmValue));
    SetApertureFormat(eCUSTOM_APERTURE_FORMAT);
}

void KZeqCamera::SetApertureHeight(double height) {
    if (height == mProperties->FilmHeightGet()) return;
    mProperties->FilmHeightSet(AtLeast(height, kMinFilmValue));
    SetApertureFormat(eCUSTOM_APERTURE_FORMAT);
}

void KZeqCamera::SetSqueezeRatio(double ratio) {
    if (ratio == mProperties->FilmSqueezeRatioGet()) return;
    mProperties->FilmSqueezeRatioSet(AtLeast(ratio, kMinFilmValue));
    SetApertureFormat(eCUSTOM_APERTURE_FORMAT);
}

double KZeqCamera::FilmSide(double width, double height) const {
    if (mProperties->ApertureModeGet() == eVERTICAL) return height * kMillimetresPerInch;
    return width * kMillimetresPerInch * mProperties->FilmSqueezeRatioGet();
}

double KZeqCamera::ComputeAngleOfView(double width, double height, double focalLength) const {
    return 2.0 * std::atan(0.5 * FilmSide(width, height) / focalLength) * kDegreesPerRadian;
}

double KZeqCamera::ComputeFocalLength(double width, double height, double angle) const {
    return 0.5 * FilmSide(width, height) / std::tan(0.5 * angle * kRadiansPerDegree);
}

void KZeqCamera::SetAngleOfView(double angle) {
    const double clamped = Clamped(angle, kMinAngle, kMaxAngle);
    mProperties->FocalLengthSet(ComputeFocalLength(mProperties->FilmWidthGet(), mProperties->FilmHeightGet(), clamped));
}

double KZeqCamera::GetAngleOfView() const {
    const double angle =
        ComputeAngleOfView(mProperties->FilmWidthGet(), mProperties->FilmHeightGet(), mProperties->FocalLengthGet());
    return Clamped(angle, kMinAngle, kMaxAngle);
}

// ---- Background, frame colour and render options ------------------------------------------------

void KZeqCamera::SetBackgroundTexture(KZeqTexture* texture) {
    KZeqNode* node = GetNode();
    if (!texture || !node) return;
    KPlug* source = texture->GetPropertyHandler();
    KPlug* destination = node->GetPropertyHandler();
    if (!source || !destination || destination->IsConnectedSrc(source)) return;
    destination->ConnectSrc(source, 0);
}

void KZeqCamera::SetBackgroundPlacementOptions(unsigned int mask) {
    mProperties->FitImageSet((mask & 1u) != 0);
    mProperties->CenterSet((mask & 2u) != 0);
    mProperties->KeepRatioSet((mask & 4u) != 0);
    mProperties->CropSet((mask & 8u) != 0);
}

unsigned int KZeqCamera::GetBackgroundPlacementOptions() const {
    return (mProperties->FitImageGet() ? 1u : 0u) | (mProperties->CenterGet() ? 2u : 0u) |
           (mProperties->KeepRatioGet() ? 4u : 0u) | (mProperties->CropGet() ? 8u : 0u);
}

void KZeqCamera::SetFrameColor(const KZeqColor& color) {
    mProperties->FrameColorSet(KgeRGBVector(color.mRed, color.mGreen, color.mBlue));
    mProperties->mFrameColorAlpha = color.mAlpha;
}

KZeqColor KZeqCamera::GetFrameColor() const {
    const KgeRGBVector rgb = mProperties->FrameColorGet();
    return KZeqColor(rgb.mData[0], rgb.mData[1], rgb.mData[2], mProperties->mFrameColorAlpha);
}

void KZeqCamera::SetRenderOptionsUsageTime(ECameraRenderOptionsUsageTime time) {
    if (time == eINTERACTIVE || time == eAT_RENDER) mProperties->UseRealTimeDOFAndAASet(time == eINTERACTIVE);
}

KZeqCamera::ECameraRenderOptionsUsageTime KZeqCamera::GetRenderOptionsUsageTime() const {
    return mProperties->UseRealTimeDOFAndAAGet() ? eINTERACTIVE : eAT_RENDER;
}

// ---- Channels ------------------------------------------------------------------------------

void KZeqCamera::AddChannels(KZeqTakeNode* take) {
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    if (!root) return;
    const bool isDefault = KString(take->GetName()).CompareNoCase("Default") == 0;
    KZeqNode* node = GetNode();
    // Read before the colour curves exist, so that a colour set before
    // attaching survives.
    const KZeqColor background = GetDefaultBackgroundColor();
    KFCurve* curves[eChannelCount] = {};
    for (int i = 0; i < eChannelCount; ++i) {
        KFCurveNode* channel = root->FindOrCreate(kChannels[i].mName, true);
        curves[i] = channel ? channel->FCurveGet() : nullptr;
        if (isDefault && node) node->RegisterDefaultTakeCallback(mProperties->*kChannels[i].mProperty, 0, curves[i]);
    }
    KFCurve* colors[3] = {};
    if (KFCurveNode* group = root->FindOrCreate(kBackgroundColorChannel, false))
        for (int i = 0; i < 3; ++i)
            if (KFCurveNode* axis = group->FindOrCreate(kAxisNames[i], true)) colors[i] = axis->FCurveGet();
    // The curves start from the properties, so that values set before
    // attaching answer after it (a new camera's are the channels' starts).
    for (int i = 0; i < eChannelCount; ++i)
        if (curves[i]) curves[i]->SetValue(KPropertyDoubleToFloat(ValueOf(mProperties->*kChannels[i].mProperty)));
    const double rgb[3] = {background.mRed, background.mGreen, background.mBlue};
    for (int i = 0; i < 3; ++i)
        if (colors[i]) colors[i]->SetValue(KPropertyDoubleToFloat(rgb[i]));
    for (int i = 0; i < eChannelCount; ++i)
        if (curves[i]) curves[i]->SetColor(kChannels[i].mColor);
    for (int i = 0; i < 3; ++i)
        if (colors[i]) colors[i]->SetColor(kAxisColors[i]);
}

void KZeqCamera::RemoveChannels(KZeqTakeNode* take) {
    KFCurveNode* root = take ? take->GetKFCurveNode() : nullptr;
    if (!root) return;
    for (const ChannelRow& row : kChannels) {
        const int index = root->Find(row.mName);
        if (index >= 0) root->Delete(index);
    }
    KZeqNodeAttribute::RemoveChannels(take);
}

void KZeqCamera::FillPropertyList(void* list) {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i)
        static_cast<KArrayTemplate<KProperty*>*>(list)->Add(mProperties->GetProperty(i));
}

KStringList KZeqCamera::GetTypeFlags() const {
    KStringList flags;
    flags.Add("Camera");
    return flags;
}

// ---- Copy ------------------------------------------------------------------------------------

KZeqCamera& KZeqCamera::operator=(KZeqCamera& other) {
    if (this == &other) return *this;
    KZeqCameraProperties &p = *mProperties, &o = *other.mProperties;
    mUpVector = other.mUpVector;
    mDefaultInterest = other.mDefaultInterest;
    SetRoll(other.GetRoll());
    SetTurnTable(other.GetTurnTable());
    p.CameraProjectionTypeSet(o.CameraProjectionTypeGet());
    p.CameraFormatSet(o.CameraFormatGet());
    p.ResolutionModeSet(o.ResolutionModeGet());
    p.AspectWSet(o.AspectWGet());
    p.AspectHSet(o.AspectHGet());
    p.PixelAspectRatioSet(o.PixelAspectRatioGet());
    p.NearPlaneSet(o.NearPlaneGet());
    p.FarPlaneSet(o.FarPlaneGet());
    p.LockModeSet(o.LockModeGet());
    p.FilmFormatIndexSet(o.FilmFormatIndexGet());
    p.ApertureModeSet(o.ApertureModeGet());
    p.FilmWidthSet(o.FilmWidthGet());
    p.FilmHeightSet(o.FilmHeightGet());
    p.FilmSqueezeRatioSet(o.FilmSqueezeRatioGet());
    p.FocalLengthSet(o.FocalLengthGet());
    mBackgroundMediaName = other.mBackgroundMediaName;
    mBackgroundFileName = other.mBackgroundFileName;
    p.ViewFrustumBackPlaneModeSet(o.ViewFrustumBackPlaneModeGet());
    p.BackgroundModeSet(o.BackgroundModeGet());
    p.ForegroundTransparentSet(o.ForegroundTransparentGet());
    p.BackgroundAlphaTresholdSet(o.BackgroundAlphaTresholdGet());
    p.FitImageSet(o.FitImageGet());
    p.CenterSet(o.CenterGet());
    p.KeepRatioSet(o.KeepRatioGet());
    p.CropSet(o.CropGet());
    p.BackPlaneDistanceSet(o.BackPlaneDistanceGet());
    p.BackPlaneDistanceModeSet(o.BackPlaneDistanceModeGet());
    p.ViewFrustumSet(o.ViewFrustumGet());
    p.ViewFrustumNearFarPlaneSet(o.ViewFrustumNearFarPlaneGet());
    p.ShowGridSet(o.ShowGridGet());
    p.ShowAzimutSet(o.ShowAzimutGet());
    p.ShowNameSet(o.ShowNameGet());
    mShowInfoOnMoving = other.mShowInfoOnMoving;
    p.ShowTimeCodeSet(o.ShowTimeCodeGet());
    p.DisplaySafeAreaSet(o.DisplaySafeAreaGet());
    p.SafeAreaDisplayStyleSet(o.SafeAreaDisplayStyleGet());
    mDisplaySafeAreaOnRender = other.mDisplaySafeAreaOnRender;
    mShowAudio = other.mShowAudio;
    SetBackgroundColor(other.GetBackgroundColor());
    mAudioColor = other.mAudioColor;
    p.UseFrameColorSet(o.UseFrameColorGet());
    p.FrameColorSet(o.FrameColorGet());
    p.UseRealTimeDOFAndAASet(o.UseRealTimeDOFAndAAGet());
    p.UseAntialiasingSet(o.UseAntialiasingGet());
    p.AntialiasingIntensitySet(o.AntialiasingIntensityGet());
    mAntialiasingMethod = other.mAntialiasingMethod;
    p.FrameSamplingCountSet(o.FrameSamplingCountGet());
    mSamplingType = other.mSamplingType;
    p.UseAccumulationBufferSet(o.UseAccumulationBufferGet());
    p.UseDepthOfFieldSet(o.UseDepthOfFieldGet());
    p.FocusSourceSet(o.FocusSourceGet());
    p.FocusDistanceSet(o.FocusDistanceGet());
    p.FocusAngleSet(o.FocusAngleGet());
    return *this;
}

}  // namespace zeqsdk_400
