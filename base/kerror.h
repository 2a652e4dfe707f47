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

    void SetLastErrorID(int id);
    void SetLastError(int id, const char* text);
    int GetLastErrorID() const { return mLastId; }
    const char* GetLastErrorString() const { return mLastText.Buffer(); }
    void ClearLastError();

private:
    const char* const* mTable;
    int mCount;
    int mLastId;
    KString mLastText;
};

}  // namespace zeqsdk_400

#endif
