// Function sets on transforms and joints. Values are internal units (cm, radians); spaces are
// 1 transform, 2 object and 4 world, others fail.
#pragma once

#include "tfndagnode.h"

class TFnTransform : public TFnDagNode {
public:
    // Limit types: scale 0-5, rotate 12-17, translate 18-23 (base + 2 * axis + max).
    enum LimitType { kScaleMinX = 0, kScaleMaxX = 1, kScaleMinY = 2, kScaleMaxY = 3, kScaleMinZ = 4,
                     kScaleMaxZ = 5, kRotateMinX = 12, kRotateMaxX = 13, kRotateMinY = 14, kRotateMaxY = 15,
                     kRotateMinZ = 16, kRotateMaxZ = 17, kTranslateMinX = 18, kTranslateMaxX = 19,
                     kTranslateMinY = 20, kTranslateMaxY = 21, kTranslateMinZ = 22, kTranslateMaxZ = 23 };

    TFnTransform() = default;
    TFnTransform(const TObject& object, TStatus* status = nullptr);
    TFnTransform(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TStatus setObject(const TDagPath& path);

    TObject create(const TObject& parent = TObject::kNullObj, TStatus* status = nullptr);

    TTransformationMatrix transformation(TStatus* status = nullptr) const;
    TVector translation(int space, TStatus* status = nullptr) const;
    TStatus setTranslation(const TVector& vec, int space);
    // Angles in the node's own order.
    TStatus getRotation(TEulerRotation& rotation, int space = TSpace::kTransform) const;
    // Stored as given when `order` is the node's, else converted to the node's order.
    TStatus setRotation(const double rotation[3], int order);
    TStatus setRotation(const TEulerRotation& rotation, int space = TSpace::kTransform);
    TStatus getRotationQuaternion(double& x, double& y, double& z, double& w, int space = TSpace::kTransform) const;
    TStatus setRotationQuaternion(double x, double y, double z, double w, int space = TSpace::kTransform);
    TStatus getScale(double scale[3]) const;
    TStatus setScale(const double scale[3]);
    TTransformationMatrix::RotationOrder rotationOrder(TStatus* status = nullptr) const;
    // With `reorder` the orientation is kept, by the angles nearest the old ones; else the angles.
    // The order the transform has already changes nothing.
    TStatus setRotationOrder(int order, bool reorder);
    TQuaternion rotateOrientation(int space, TStatus* status = nullptr) const;
    TPoint rotatePivot(int space, TStatus* status = nullptr) const;
    // With `balance` the pivot translation changes so the matrix does not.
    TStatus setRotatePivot(const TPoint& point, int space, bool balance);
    TVector rotatePivotTranslation(int space, TStatus* status = nullptr) const;
    TStatus setRotatePivotTranslation(const TVector& vec, int space);
    TPoint scalePivot(int space, TStatus* status = nullptr) const;
    TStatus setScalePivot(const TPoint& point, int space, bool balance);
    TVector scalePivotTranslation(int space, TStatus* status = nullptr) const;
    TStatus setScalePivotTranslation(const TVector& vec, int space);
    bool isLimited(int type, TStatus* status = nullptr) const;
    double limitValue(int type, TStatus* status = nullptr) const;
    TStatus enableLimit(int type, bool flag);
    TStatus setLimit(int type, double value);

protected:
    bool transformOk(const char* user) const;
    TStatus getTriple(const char* base, double out[3]) const;
    TStatus setTriple(const char* base, const double v[3]);
    TMatrix parentMatrix() const;  // world matrix above this path's node
};

class TFnIkJoint : public TFnTransform {
public:
    TFnIkJoint() = default;
    TFnIkJoint(const TObject& object, TStatus* status = nullptr);
    TFnIkJoint(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TObject create(const TObject& parent = TObject::kNullObj, TStatus* status = nullptr);
};
