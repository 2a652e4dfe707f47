// Animation curves and playback control. Key times are seconds (driven keys: the driver's
// value), values internal; tangents are exchanged in UI units.
#pragma once

#include "tfndependencynode.h"
#include "tunits.h"

class TDGModifier;

// Change records for undo: the stand-in has no undo and ignores them.
class TAnimCurveChange {};

class TFnAnimCurve : public TFnDependencyNode {
public:
    enum AnimCurveType { kAnimCurveTA = 0, kAnimCurveTL = 1, kAnimCurveTT = 2, kAnimCurveTU = 3,
                         kAnimCurveUA = 4, kAnimCurveUL = 5, kAnimCurveUT = 6, kAnimCurveUU = 7,
                         kAnimCurveUnknown = 8 };
    enum TangentType { kTangentGlobal = 0, kTangentFixed = 1, kTangentLinear = 2, kTangentFlat = 3,
                       kTangentSmooth = 4, kTangentStep = 5, kTangentSlow = 6, kTangentFast = 7,
                       kTangentClamped = 8 };
    enum InfinityType { kConstant = 0, kLinear = 1, kCycle = 3, kCycleRelative = 4, kOscillate = 5 };

    TFnAnimCurve() = default;
    TFnAnimCurve(const TObject& curve, TStatus* status = nullptr);
    // The curve driving the plug: 0 attached, 7 when none drives it, 1 for a null plug.
    TFnAnimCurve(const TPlug& plug, TStatus* status = nullptr);
    TStatus setObject(const TObject& object) override;

    // A curve driving the plug, typed by the plug's unit; fails on a locked or driven plug.
    TObject create(const TPlug& plug, TDGModifier* modifier = nullptr, TStatus* status = nullptr);
    TObject create(const TPlug& plug, int type, TDGModifier* modifier = nullptr, TStatus* status = nullptr);

    AnimCurveType animCurveType(TStatus* status = nullptr) const;
    unsigned numKeys(TStatus* status = nullptr) const;
    unsigned numKeyframes(TStatus* status = nullptr) const { return numKeys(status); }
    TTime time(unsigned index, TStatus* status = nullptr) const;
    double value(unsigned index, TStatus* status = nullptr) const;
    double unitlessInput(unsigned index, TStatus* status = nullptr) const;
    // Unattached: 0 and a failure.
    double evaluate(const TTime& time, TStatus* status = nullptr) const;
    TStatus evaluate(const TTime& time, double& value) const;
    TangentType inTangentType(unsigned index, TStatus* status = nullptr) const;
    TangentType outTangentType(unsigned index, TStatus* status = nullptr) const;
    TStatus setInTangentType(unsigned index, int type, TAnimCurveChange* change = nullptr);
    TStatus setOutTangentType(unsigned index, int type, TAnimCurveChange* change = nullptr);
    // x in UI time units, y in UI units of the curve's kind.
    TStatus getTangent(unsigned index, float& x, float& y, bool inTangent) const;
    TStatus getTangent(unsigned index, double& x, double& y, bool inTangent) const;
    // Makes that side fixed.
    TStatus setTangent(unsigned index, double x, double y, bool inTangent, TAnimCurveChange* change = nullptr);
    bool tangentsLocked(unsigned index, TStatus* status = nullptr) const;
    TStatus setTangentsLocked(unsigned index, bool locked, TAnimCurveChange* change = nullptr);
    bool weightsLocked(unsigned index, TStatus* status = nullptr) const;
    TStatus setWeightsLocked(unsigned index, bool locked, TAnimCurveChange* change = nullptr);
    bool isWeighted(TStatus* status = nullptr) const;
    // Turning weights on gives every tangent a third of its segment.
    TStatus setIsWeighted(bool weighted, TAnimCurveChange* change = nullptr);
    // A key within 1e-9 s of another fails. Returns the new key's index.
    unsigned addKey(const TTime& time, double value, int inType = kTangentGlobal, int outType = kTangentGlobal,
                    TAnimCurveChange* change = nullptr, TStatus* status = nullptr);
    TStatus remove(unsigned index, TAnimCurveChange* change = nullptr);
    TStatus setTime(unsigned index, const TTime& time, TAnimCurveChange* change = nullptr);
    TStatus setValue(unsigned index, double value, TAnimCurveChange* change = nullptr);

private:
    bool curveOk(const char* user) const;
    bool keyOk(unsigned index, const char* user) const;
};

class TAnimControl {
public:
    static TTime currentTime();
    static TStatus setCurrentTime(const TTime& time);
    static TTime minTime();
    static TTime maxTime();
    static TStatus setMinTime(const TTime& time);
    static TStatus setMaxTime(const TTime& time);
    static TStatus setMinMaxTime(const TTime& min, const TTime& max);
};
