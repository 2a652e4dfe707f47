#include "tfncamera.h"

#include <cmath>

#include "scene.h"

using namespace tulo_detail;

TFnCamera::TFnCamera(const TObject& object, TStatus* status) { put(status, setObject(object)); }
TFnCamera::TFnCamera(const TDagPath& path, TStatus* status) { put(status, setObject(path)); }
TStatus TFnCamera::setObject(const TObject& object) { return attachShape(object, TFn::kCamera); }
TStatus TFnCamera::setObject(const TDagPath& path) { return attachShape(path, TFn::kCamera); }

// Lengths, apertures and ratios must be positive numbers.
TStatus TFnCamera::setPositive(const char* attr, double value) {
    return value > 0 && std::isfinite(value) ? setNumber(attr, value) : TStatus::kFailure;
}

double TFnCamera::focalLength(TStatus* status) const { return number("focalLength", status); }
TStatus TFnCamera::setFocalLength(double v) { return setPositive("focalLength", v); }
double TFnCamera::horizontalFilmAperture(TStatus* status) const { return number("horizontalFilmAperture", status); }
TStatus TFnCamera::setHorizontalFilmAperture(double v) { return setPositive("horizontalFilmAperture", v); }
double TFnCamera::verticalFilmAperture(TStatus* status) const { return number("verticalFilmAperture", status); }
TStatus TFnCamera::setVerticalFilmAperture(double v) { return setPositive("verticalFilmAperture", v); }
double TFnCamera::lensSqueezeRatio(TStatus* status) const { return number("lensSqueezeRatio", status); }
TStatus TFnCamera::setLensSqueezeRatio(double v) { return setPositive("lensSqueezeRatio", v); }
TFnCamera::FilmFit TFnCamera::filmFit(TStatus* status) const {
    return static_cast<FilmFit>(static_cast<int>(number("filmFit", status)));
}
TStatus TFnCamera::setFilmFit(int fit) { return fit >= 0 && fit <= 3 ? setNumber("filmFit", fit) : TStatus::kFailure; }
double TFnCamera::nearClippingPlane(TStatus* status) const { return number("nearClipPlane", status); }
TStatus TFnCamera::setNearClippingPlane(double v) { return setPositive("nearClipPlane", v); }
double TFnCamera::farClippingPlane(TStatus* status) const { return number("farClipPlane", status); }
TStatus TFnCamera::setFarClippingPlane(double v) { return setPositive("farClipPlane", v); }
bool TFnCamera::isClippingPlanes(TStatus* status) const { return number("clippingPlanes", status) != 0; }
TStatus TFnCamera::setClippingPlanes(bool on) { return setNumber("clippingPlanes", on); }
bool TFnCamera::isOrtho(TStatus* status) const { return number("orthographic", status) != 0; }
TStatus TFnCamera::setIsOrtho(bool on) { return setNumber("orthographic", on); }
double TFnCamera::focusDistance(TStatus* status) const { return number("focusDistance", status); }
TStatus TFnCamera::setFocusDistance(double v) { return setPositive("focusDistance", v); }

TVector TFnCamera::upDirection(int space, TStatus* status) const {
    if (!attachedDag("TFnCamera::upDirection") || !TSpace::valid(space)) return put(status, TStatus::kFailure), TVector();
    TVector up(0, 1, 0);
    if (space != TSpace::kWorld) return put(status, TStatus::kSuccess), up;
    TDagPath path;
    getPath(path);
    put(status, TStatus::kSuccess);
    return (up * worldMatrix(path.ids())).normal();
}
