#ifndef ZEQ_BASE_KERROR_H
#define ZEQ_BASE_KERROR_H

#include "base/kstring.h"

namespace zeqsdk_400 {

// The last error of an owner, over a static table of message texts (not owned):
// message i has identifier i. Identifiers beyond the table are kept with an
// empty text.
class KError {
public:
    KError();
    KError(const char* const* table, int count);
    ~KError();

    // Uses a new table; the last error is cleared.
    void SetTable(const char* const* table, int count);
    int GetErrorCount() const { return mCount; }
    // The table's text for id, "" outside the table.
    const char* GetErrorString(int id) const;

    // Both forget the system's error number of the error before.
    void SetLastErrorID(int id);
    void SetLastError(int id, const char* text);
    int GetLastErrorID() const { return mLastId; }
    const char* GetLastErrorString() const { return mLastText.Buffer(); }
    void ClearLastError();
    // The system's error number (errno) behind the last error, 0 when the system said nothing:
    // kept apart from the table's text, for messages that add the system's reason to it.
    void SetLastSystemError(int code) { mLastSystemError = code; }
    int GetLastSystemError() const { return mLastSystemError; }
    // The last error of another table, its system error number included.
    void CopyLastError(int id, const KError& from) {
        SetLastError(id, from.GetLastErrorString());
        mLastSystemError = from.mLastSystemError;
    }

private:
    const char* const* mTable;
    int mCount;
    int mLastId;
    KString mLastText;
    int mLastSystemError = 0;
};

}  // namespace zeqsdk_400

#endif
