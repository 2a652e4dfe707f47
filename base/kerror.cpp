#include "base/kerror.h"

namespace zeqsdk_400 {

KError::KError() : mTable(nullptr), mCount(0), mLastId(-1) {}

KError::KError(const char* const* table, int count)
    : mTable(table), mCount(table && count > 0 ? count : 0), mLastId(-1) {}

KError::~KError() = default;

void KError::SetTable(const char* const* table, int count) {
    mTable = table;
    mCount = table && count > 0 ? count : 0;
    ClearLastError();
}

const char* KError::GetErrorString(int id) const {
    if (id < 0 || id >= mCount || !mTable[id]) return "";
    return mTable[id];
}

void KError::SetLastErrorID(int id) {
    mLastId = id;
    mLastSystemError = 0;
    mLastText = GetErrorString(id);
}

void KError::SetLastError(int id, const char* text) {
    SetLastErrorID(id);
    mLastText = text ? text : "";
}

void KError::ClearLastError() {
    mLastId = -1;
    mLastSystemError = 0;
    mLastText.Empty();
}

}  // namespace zeqsdk_400
