#include "character/kfiltersetinfo.h"

#include <cstring>

#include "character/kfilterparamtable.h"

namespace zeqsdk_400 {

namespace {

// The table's own guarantees, which the filter set's walks up the hierarchy rely on.
constexpr bool TableConsistent() {
    for (int i = 0; i < kFilterParamCount; ++i) {
        const KFilterParamRow& row = kFilterParamTable[i];
        if (row.mParentIndex < -1 || row.mParentIndex >= i) return false;
        if (row.mModeType < 0 || row.mModeType > 3 || row.mUnit < 0 || row.mUnit > 5) return false;
        if (std::char_traits<char>::length(row.mName) >= KFilterParamInfo::kNameSize) return false;
    }
    return true;
}
static_assert(TableConsistent(), "solver parameter table");

}  // namespace

void KFilterParamInfo::Init(int parentIndex, const char* name) {
    mParentIndex = parentIndex;
    int length = 0;
    if (name)
        for (; length < kNameSize - 1 && name[length]; ++length) mName[length] = name[length];
    mName[length] = '\0';
}

void KFilterParamInfo::TypeInit(int modeType, int unit, int valueType, double min, double max, bool secondFlag,
                                bool invertParentFact) {
    mModeType = modeType;
    mUnit = unit;
    mValueType = valueType;
    mMin = min;
    mMax = max;
    mSecondFlag = secondFlag;
    mInvertParentFact = invertParentFact;
}

void KFilterParamInfo::DefaultInit(int defaultMode, double defaultValue) {
    mDefaultMode = defaultMode;
    mDefaultValue = defaultValue;
}

KFilterSetInfo::KFilterSetInfo(int count)
    : mCount(count > 0 ? count : 0), mParamInfos(new KFilterParamInfo[static_cast<std::size_t>(mCount)]) {}

int KFilterSetInfo::ParamIndexByName(const char* name) const {
    if (!name) return -1;
    for (int i = 0; i < mCount; ++i)
        if (std::strcmp(mParamInfos[i].mName, name) == 0) return i;
    return -1;
}

const KFilterSetInfo* GetFilterSetInfo() {
    // Filled inside the static's own initialisation: once, whichever caller
    // comes first, and never before the table object exists.
    static const KFilterSetInfo* const table = [] {
        static KFilterSetInfo info(kFilterParamCount);
        for (int i = 0; i < kFilterParamCount; ++i) {
            const KFilterParamRow& row = kFilterParamTable[i];
            KFilterParamInfo& param = info.mParamInfos[i];
            param.Init(row.mParentIndex, row.mName);
            param.TypeInit(row.mModeType, row.mUnit, 0, row.mMin, row.mMax, row.mSecondFlag, row.mInvertParentFact);
            param.DefaultInit(row.mDefaultMode, row.mDefaultValue);
        }
        return &info;
    }();
    return table;
}

}  // namespace zeqsdk_400
