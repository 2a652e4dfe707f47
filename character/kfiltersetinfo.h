#ifndef ZEQ_CHARACTER_KFILTERSETINFO_H
#define ZEQ_CHARACTER_KFILTERSETINFO_H

#include <cstddef>
#include <memory>

namespace zeqsdk_400 {

// The description of one solver parameter; see kfilterparamtable.h for the
// meaning of the codes.
struct KFilterParamInfo {
    static constexpr int kNameSize = 256;

    KFilterParamInfo() = default;

    // The name is cut at kNameSize - 1 characters; null gives an empty name.
    void Init(int parentIndex, const char* name);
    void TypeInit(int modeType, int unit, int valueType, double min, double max, bool secondFlag,
                  bool invertParentFact);
    void DefaultInit(int defaultMode, double defaultValue);

    int mParentIndex = -1;
    char mName[kNameSize] = {};
    int mModeType = 0;
    int mUnit = 0;
    int mValueType = 0;  // 1 would address three components; no row uses it
    double mMin = 0.0;
    double mMax = 0.0;
    bool mInvertParentFact = false;
    bool mSecondFlag = false;  // kept with the row, read by nothing
    int mDefaultMode = 0;
    double mDefaultValue = 0.0;
};
static_assert(offsetof(KFilterParamInfo, mMin) == 272 && offsetof(KFilterParamInfo, mDefaultValue) == 296 &&
                  sizeof(KFilterParamInfo) == 304,
              "parameter record layout");

// The table of solver parameter descriptions.
struct KFilterSetInfo {
    explicit KFilterSetInfo(int count);
    KFilterSetInfo(const KFilterSetInfo&) = delete;
    KFilterSetInfo& operator=(const KFilterSetInfo&) = delete;

    // The first index whose name equals name exactly; -1 when none (or null).
    int ParamIndexByName(const char* name) const;

    int mCount;
    std::unique_ptr<KFilterParamInfo[]> mParamInfos;
};

// The one shared table of the 177 solver parameters, filled on first use and
// never changed afterwards.
const KFilterSetInfo* GetFilterSetInfo();

}  // namespace zeqsdk_400

#endif
