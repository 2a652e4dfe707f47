#ifndef ZEQ_CHARACTER_KZEQFILTERSET_H
#define ZEQ_CHARACTER_KZEQFILTERSET_H

#include <memory>
#include <vector>

#include "character/kfiltersetinfo.h"

namespace zeqsdk_400 {

// A mode and a value per solver parameter, with the rules of automatic and
// active parameters. Ranges, defaults and the hierarchy are the shared table's.
// An index outside the table answers false, -1 or nothing.
class KFilterSetBase {
public:
    struct KFilterParam {
        int mMode;
        double mValue;
    };

    // Every mode and value at the table's defaults.
    KFilterSetBase();
    KFilterSetBase(const KFilterSetBase&) = delete;
    KFilterSetBase& operator=(const KFilterSetBase&) = delete;

    // Mode 1 of an off/auto/user parameter, mode 0 of an auto/user one.
    bool IsParamAuto(int index) const;
    // A percentage's value over 100; an automatic parameter takes its
    // parent's fact (inverted where the table says); -1 for none.
    double GetParamFact(int index) const;
    // Sets every automatic parameter with a scale from its fact across the
    // table's range, or to its default when it has no fact.
    void AutomaticParamSetup();
    // By the parameter's mode and its parents'; -1 (no parameter) is active.
    bool IsParamActive(int index) const;
    // Every mode and value from other.
    void Copy(const KFilterSetBase* other);

    int GetCount() const { return static_cast<int>(mParams.size()); }
    bool IsValid(int index) const { return index >= 0 && index < GetCount(); }

    std::vector<KFilterParam> mParams;

private:
    const KFilterSetInfo* mInfo;
};

// A character's solver parameters, addressed by table index or name. Values
// are kept as given, never clamped; a mode is kept only when the parameter's
// mode type takes it; minimum and maximum are not kept at all.
class KZeqFilterSet {
public:
    KZeqFilterSet();
    KZeqFilterSet(const KZeqFilterSet&) = delete;
    KZeqFilterSet& operator=(const KZeqFilterSet&) = delete;

    // Back to every default mode and value.
    void Reset();

    int GetParameterCount() const;
    // Null outside the table.
    const char* GetParameterName(int index) const;
    // Exact name, -1 when absent.
    int GetParameterIndex(const char* name) const;
    // The table's description; 0 outside it.
    int GetParameterModeType(int index) const;
    int GetParameterDefaultMode(int index) const;
    int GetParameterValueType(int index) const;
    int GetParameterUnit(int index) const;
    double GetParameterDefaultValue(int index) const;
    double GetParameterDefaultMinValue(int) const { return 0.0; }
    double GetParameterDefaultMaxValue(int) const { return 0.0; }

    void SetParameterMode(int index, int mode);
    int GetParameterMode(int index) const;
    // The component is not kept apart: one value per parameter.
    void SetParameterValue(int index, double value, int component = 0);
    double GetParameterValue(int index, int component = 0) const;
    void SetParameterMinValue(int, double) {}
    void SetParameterMaxValue(int, double) {}
    double GetParameterMinValue(int) const { return 0.0; }
    double GetParameterMaxValue(int) const { return 0.0; }

private:
    const KFilterParamInfo* Info(int index) const;

    std::unique_ptr<KFilterSetBase> mBase;
};

}  // namespace zeqsdk_400

#endif
