// Function sets on lights. The light kinds are siblings: a spot light is no point light.
#pragma once

#include "tfndagnode.h"

class TFnLight : public TFnDagNode {
public:
    TFnLight() = default;
    // A light shape of the set's kind, or a transform whose direct shape child is one.
    TFnLight(const TObject& object, TStatus* status = nullptr);
    TFnLight(const TDagPath& path, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TStatus setObject(const TDagPath& path);

    TColor color(TStatus* status = nullptr) const;
    TStatus setColor(const TColor& color);
    float intensity(TStatus* status = nullptr) const;
    TStatus setIntensity(float intensity);

protected:
    explicit TFnLight(int kind) : kind_(kind) {}
    // A light shape of the kind under `parent` (null: the world), in a new transform when
    // `makeTransform` is set (else `parent` must be a transform); returns the shape.
    TObject createLight(const TObject& parent, bool makeTransform, TStatus* status);
    int kind_ = TFn::kLight;
};

class TFnPointLight : public TFnLight {
public:
    TFnPointLight() : TFnLight(TFn::kPointLight) {}
    TFnPointLight(const TObject& object, TStatus* status = nullptr);
    TFnPointLight(const TDagPath& path, TStatus* status = nullptr);
    TObject create(const TObject& parent = TObject::kNullObj, bool makeTransform = true, TStatus* status = nullptr) {
        return createLight(parent, makeTransform, status);
    }
};

class TFnDirectionalLight : public TFnLight {
public:
    TFnDirectionalLight() : TFnLight(TFn::kDirectionalLight) {}
    TFnDirectionalLight(const TObject& object, TStatus* status = nullptr);
    TFnDirectionalLight(const TDagPath& path, TStatus* status = nullptr);
    TObject create(const TObject& parent = TObject::kNullObj, bool makeTransform = true, TStatus* status = nullptr) {
        return createLight(parent, makeTransform, status);
    }
};

class TFnSpotLight : public TFnLight {
public:
    TFnSpotLight() : TFnLight(TFn::kSpotLight) {}
    TFnSpotLight(const TObject& object, TStatus* status = nullptr);
    TFnSpotLight(const TDagPath& path, TStatus* status = nullptr);
    TObject create(const TObject& parent = TObject::kNullObj, bool makeTransform = true, TStatus* status = nullptr) {
        return createLight(parent, makeTransform, status);
    }
    // Radians.
    double coneAngle(TStatus* status = nullptr) const;
    TStatus setConeAngle(double radians);
};
