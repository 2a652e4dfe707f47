#ifndef ZEQ_BASE_KSET_H
#define ZEQ_BASE_KSET_H

#include <memory>
#include <vector>

#include "base/kdefs.h"

namespace zeqsdk_400 {

// Table of (text key, pointer-sized value) entries. Keys are copied. The table
// is sorted lazily on the first lookup after a change and searched by binary
// search; keys compare ignoring case unless the set is made case-sensitive.
// Keys may repeat: the entry added first is the one found.
class KCharPtrSet {
public:
    explicit KCharPtrSet(int itemsPerBlock = 20);
    KCharPtrSet(const KCharPtrSet&) = delete;
    KCharPtrSet& operator=(const KCharPtrSet&) = delete;
    ~KCharPtrSet();

    void SetCaseSensitive(bool caseSensitive);
    bool IsCaseSensitive() const { return mCaseSensitive; }
    int GetCount() const { return static_cast<int>(mEntries.size()); }

    // Appends a copy of the key with its value; no duplicate check. A null key is refused.
    bool Add(const char* key, kReference value);
    // The value stored under key, 0 when absent; index (sorted order, -1 when absent) when asked.
    kReference Get(const char* key, int* index = nullptr) const;
    // Removes the first entry with key; false when there is none.
    bool Remove(const char* key);
    void RemoveFromIndex(int index);
    // The value at a sorted index (0 outside the table), with its key when asked.
    kReference GetFromIndex(int index, const char** key = nullptr) const;
    // The same for callers that hold keys as char*; the key is the set's own copy: never write to it.
    kReference GetFromIndex(int index, char** key) const;
    kReference operator[](int index) const { return GetFromIndex(index); }
    // Replaces the value at a sorted index; ignored outside the table.
    void SetValueAtIndex(int index, kReference value);
    void Sort() const;
    void Clear();

private:
    struct Entry {
        std::uint64_t mPrefix;  // first 8 bytes as compared, big-endian: most comparisons end here
        std::unique_ptr<char[]> mKey;
        kReference mValue;
    };
    int Compare(const char* a, const char* b) const;
    std::uint64_t Prefix(const char* key) const;
    bool Less(const Entry& e, std::uint64_t prefix, const char* key) const;

    mutable std::vector<Entry> mEntries;
    mutable bool mSorted = true;
    bool mCaseSensitive = false;
    int mBlockSize;
};

// The same kind of table with unsigned integer keys, sorted ascending.
class KSet {
public:
    explicit KSet(int itemsPerBlock = 20);

    int GetCount() const { return static_cast<int>(mEntries.size()); }
    void Add(unsigned int key, kReference value);
    kReference Get(unsigned int key, int* index = nullptr) const;
    bool Remove(unsigned int key);
    void RemoveFromIndex(int index);
    kReference GetFromIndex(int index, unsigned int* key = nullptr) const;
    kReference operator[](int index) const { return GetFromIndex(index); }
    void SetValueAtIndex(int index, kReference value);
    void Sort() const;
    void Clear();

private:
    struct Entry {
        unsigned int mKey;
        kReference mValue;
    };
    mutable std::vector<Entry> mEntries;
    mutable bool mSorted = true;
    int mBlockSize;
};

}  // namespace zeqsdk_400

#endif
