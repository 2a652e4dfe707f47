// Function sets on attributes and on matrix data.
#pragma once

#include "tfndependencynode.h"
#include "tunits.h"

class TFnAttribute : public TFnBase {
public:
    TFnAttribute() = default;
    TFnAttribute(const TObject& attribute, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;

    TString name(TStatus* status = nullptr) const;
    TString shortName(TStatus* status = nullptr) const;
    TObject parent(TStatus* status = nullptr) const;
    bool isUsedAsColor(TStatus* status = nullptr) const;
    bool isConnectable(TStatus* status = nullptr) const;
    bool isStorable(TStatus* status = nullptr) const;
    bool isHidden(TStatus* status = nullptr) const;
    bool isKeyable(TStatus* status = nullptr) const;
    bool isInternal(TStatus* status = nullptr) const;
    bool isArray(TStatus* status = nullptr) const;
    bool isDynamic(TStatus* status = nullptr) const;
    TStatus setConnectable(bool state);
    TStatus setStorable(bool state);
    TStatus setHidden(bool state);
    TStatus setKeyable(bool state);
    TStatus setInternal(bool state);
    TStatus setArray(bool state);
    TStatus setUsedAsColor(bool state);

protected:
    // Creates an unattached dynamic attribute (and its children) and attaches the set to it.
    TObject make(const TString& longName, const TString& shortName, int kind, int apiType, int dataType,
                 int unit, double def, TStatus* status);
    bool attachedAttr(const char* user) const;
};

class TFnNumericData {
public:
    enum Type { kInvalid = 0, kBoolean = 1, kByte = 2, kChar = 3, kShort = 4, k2Short = 5, k3Short = 6,
                kInt = 7, kLong = 7, k2Int = 8, k3Int = 9, kFloat = 10, k2Float = 11, k3Float = 12,
                kDouble = 13, k2Double = 14, k3Double = 15, kLast = 16 };
};

class TFnNumericAttribute : public TFnAttribute {
public:
    TFnNumericAttribute() = default;
    TFnNumericAttribute(const TObject& attribute, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;

    // Types 12 and 15 make a compound of three children named long + X/Y/Z.
    TObject create(const TString& longName, const TString& shortName, int type, double defaultValue = 0,
                   TStatus* status = nullptr);
    // Three floats with children long + R/G/B, used as a colour.
    TObject createColor(const TString& longName, const TString& shortName, TStatus* status = nullptr);
    TFnNumericData::Type unitType(TStatus* status = nullptr) const;
    // Single forms fit single attributes (a C cast of the default); the three-value forms fit the
    // compounds of their width (12 floats, 15 doubles). A form that does not fit fails (status 1)
    // and leaves its outputs untouched.
    TStatus getDefault(bool& value) const;
    TStatus getDefault(char& value) const;
    TStatus getDefault(short& value) const;
    TStatus getDefault(int& value) const;
    TStatus getDefault(float& value) const;
    TStatus getDefault(double& value) const;
    TStatus getDefault(float& a, float& b, float& c) const;
    TStatus getDefault(double& a, double& b, double& c) const;
    TStatus setDefault(double value);
    TStatus setDefault(int value) { return setDefault(static_cast<double>(value)); }
    TStatus setDefault(bool value) { return setDefault(value ? 1.0 : 0.0); }
    TStatus setDefault(double a, double b, double c);
    bool hasMin(TStatus* status = nullptr) const;
    bool hasMax(TStatus* status = nullptr) const;
    bool hasSoftMin(TStatus* status = nullptr) const;
    bool hasSoftMax(TStatus* status = nullptr) const;
    TStatus getMin(double& value) const;
    TStatus getMax(double& value) const;
    TStatus getSoftMin(double& value) const;
    TStatus getSoftMax(double& value) const;
    TStatus setMin(double value);
    TStatus setMax(double value);
    TStatus setMin(double a, double b, double c) { return (void)b, (void)c, setMin(a); }
    TStatus setMax(double a, double b, double c) { return (void)b, (void)c, setMax(a); }
    TStatus setSoftMin(double value);
    TStatus setSoftMax(double value);

private:
    TStatus singleDefault(double& value) const;
    template <class T>
    TStatus tripleDefault(T& a, T& b, T& c, int dataType) const;
};

class TFnUnitAttribute : public TFnAttribute {
public:
    enum Type { kInvalid = 0, kAngle = 1, kDistance = 2, kTime = 3, kLast = 4 };
    TFnUnitAttribute() = default;
    TFnUnitAttribute(const TObject& attribute, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    // The default in internal units (radians, centimetres, seconds).
    TObject create(const TString& longName, const TString& shortName, int unitType, double defaultValue = 0,
                   TStatus* status = nullptr);
    Type unitType(TStatus* status = nullptr) const;
    TStatus setDefault(const TAngle& v);
    TStatus setDefault(const TDistance& v);
    TStatus setDefault(const TTime& v);
    TStatus setMin(const TAngle& v);
    TStatus setMin(const TDistance& v);
    TStatus setMin(const TTime& v);
    TStatus setMax(const TAngle& v);
    TStatus setMax(const TDistance& v);
    TStatus setMax(const TTime& v);
    TStatus getDefault(double& value) const;

private:
    TStatus setLimit(int which, int unit, double internalValue);
};

class TFnEnumAttribute : public TFnAttribute {
public:
    TFnEnumAttribute() = default;
    TFnEnumAttribute(const TObject& attribute, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TObject create(const TString& longName, const TString& shortName, short defaultValue = 0,
                   TStatus* status = nullptr);
    TStatus addField(const TString& name, short value);
    TString fieldName(short value, TStatus* status = nullptr) const;
    TStatus setDefault(short value);
    TStatus getDefault(short& value) const;
};

class TFnTypedAttribute : public TFnAttribute {
public:
    TFnTypedAttribute() = default;
    TFnTypedAttribute(const TObject& attribute, TStatus* status = nullptr);
    TObject createString(const TString& longName, const TString& shortName, TStatus* status = nullptr);
};

class TFnMatrixAttribute : public TFnAttribute {
public:
    TFnMatrixAttribute() = default;
    TFnMatrixAttribute(const TObject& attribute, TStatus* status = nullptr);
    TObject create(const TString& longName, const TString& shortName, TStatus* status = nullptr);
};

class TFnMatrixData : public TFnBase {
public:
    TFnMatrixData() = default;
    TFnMatrixData(const TObject& data, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;
    TMatrix matrix(TStatus* status = nullptr) const;
    TObject create(const TMatrix& m, TStatus* status = nullptr);
};

// Static attributes of the host's transform class that the plug-in names directly.
class TPxTransform {
public:
    static const TObject worldMatrix;
};
