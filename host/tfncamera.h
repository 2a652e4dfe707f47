// Function set on cameras. Focal length in millimetres, film apertures in inches, distances in
// centimetres.
#pragma once

#include "tfndagnode.h"

class TFnCamera : public TFnDagNode {
public:
    enum FilmFit { kFillFilmFit = 0, kHorizontalFilmFit = 1, kVerticalFilmFit = 2, kOverscanFilmFit = 3,
                   kInvalid = 4 };

    TFnCamera() = default;
    // A camera shape, or a transform whose direct shape child is one.
    TFnCamera(const TObject& object, TStatus* status = nullptr);
    TFnCamera(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TStatus setObject(const TDagPath& path);

    double focalLength(TStatus* status = nullptr) const;
    TStatus setFocalLength(double millimetres);
    double horizontalFilmAperture(TStatus* status = nullptr) const;
    TStatus setHorizontalFilmAperture(double inches);
    double verticalFilmAperture(TStatus* status = nullptr) const;
    TStatus setVerticalFilmAperture(double inches);
    double lensSqueezeRatio(TStatus* status = nullptr) const;
    TStatus setLensSqueezeRatio(double ratio);
    FilmFit filmFit(TStatus* status = nullptr) const;
    TStatus setFilmFit(int fit);
    double nearClippingPlane(TStatus* status = nullptr) const;
    TStatus setNearClippingPlane(double distance);
    double farClippingPlane(TStatus* status = nullptr) const;
    TStatus setFarClippingPlane(double distance);
    bool isClippingPlanes(TStatus* status = nullptr) const;
    TStatus setClippingPlanes(bool on);
    bool isOrtho(TStatus* status = nullptr) const;
    TStatus setIsOrtho(bool orthographic);
    double focusDistance(TStatus* status = nullptr) const;
    TStatus setFocusDistance(double distance);
    // The camera's up axis (Y); in world space (4) through the path's world matrix.
    TVector upDirection(int space = TSpace::kObject, TStatus* status = nullptr) const;

private:
    TStatus setPositive(const char* attr, double value);
};
