#ifndef ZEQ_BASE_KARRAY_H
#define ZEQ_BASE_KARRAY_H

#include <cstring>
#include <new>
#include <type_traits>

namespace zeqsdk_400 {

// Array of fixed-size items in one contiguous block. Storage grows in whole
// blocks of items; the number of blocks added grows with the array so that
// appending stays amortised constant time. Items are copied as bytes.
class KBaseArray {
public:
    KBaseArray(int itemsPerBlock, int itemSize);
    KBaseArray(const KBaseArray& other);
    KBaseArray& operator=(const KBaseArray& other);
    ~KBaseArray();

    int GetCount() const { return mCount; }
    int GetItemSize() const { return mItemSize; }
    int GetBlockSize() const { return mBlockSize; }

    // Copies one item in at index (clamped to the count; the count appends); a
    // null item inserts zero bytes. The item may be one of this array's own.
    // Answers the index used, -1 for a negative index or when memory runs out.
    int InsertAt(int index, const void* item);
    // Removes the item at index, moving later items down; out of range is ignored.
    void RemoveAt(int index);
    // Removes count items from index on; the range is clipped to the array.
    void RemoveRange(int index, int count);
    // Sets the count; new items are zero-filled. False when refused.
    bool SetCount(int count);
    // Appends count zero-filled items; answers the index of the first, -1 when refused.
    int AddMultiple(int count);
    // Makes room for count items without changing the count.
    bool Reserve(int count);
    // Frees the storage; the count becomes 0.
    void Clear();

    void* GetArray() { return mData; }
    const void* GetArray() const { return mData; }
    void* GetItem(int index) { return mData + static_cast<long>(index) * mItemSize; }
    const void* GetItem(int index) const { return mData + static_cast<long>(index) * mItemSize; }

protected:
    // InsertAt for an item that is known not to be one of this array's own.
    int InsertCopyAt(int index, const void* item);

private:
    bool Grow(long needed);

    char* mData = nullptr;
    int mCount = 0;
    int mCapacity = 0;
    int mBlockSize;
    int mItemSize;
};

// Typed view over KBaseArray. An array of pointers never owns what they point to.
template <class T>
class KArrayTemplate : public KBaseArray {
    static_assert(std::is_trivially_copyable<T>::value, "KArrayTemplate holds items copied as bytes");

public:
    explicit KArrayTemplate(int itemsPerBlock = 16) : KBaseArray(itemsPerBlock, static_cast<int>(sizeof(T))) {}

    // InsertAt(index, &item) copies the item's bytes, as the untyped form does.
    using KBaseArray::InsertAt;
    int InsertAt(int index, const T& item) {
        T copy = item;  // read before the storage moves or shifts
        return InsertCopyAt(index, &copy);
    }
    int Add(const T& item) { return InsertAt(GetCount(), item); }
    void RemoveLast() { RemoveAt(GetCount() - 1); }
    // Appends count default-constructed items; answers the index of the first, -1 when refused.
    int AddMultiple(int count) {
        int first = KBaseArray::AddMultiple(count);
        if (first >= 0)
            for (int i = first; i < GetCount(); ++i) new (&GetArray()[i]) T();
        return first;
    }
    bool Resize(int count) { return SetCount(count); }

    T* GetArray() { return static_cast<T*>(KBaseArray::GetArray()); }
    const T* GetArray() const { return static_cast<const T*>(KBaseArray::GetArray()); }

    // Unchecked access, as for a plain array.
    T& operator[](int index) { return GetArray()[index]; }
    const T& operator[](int index) const { return GetArray()[index]; }

    // Checked access: a default item outside the array; SetAt ignores it.
    T GetAt(int index) const { return InRange(index) ? GetArray()[index] : T(); }
    void SetAt(int index, const T& item) {
        if (InRange(index)) GetArray()[index] = item;
    }
    T GetFirst() const { return GetAt(0); }
    T GetLast() const { return GetAt(GetCount() - 1); }

    // The first index greater than after whose item equals item, -1 when none.
    int FindAfter(int after, const T& item) const {
        int i = after < -1 ? 0 : after + 1;
        for (; i < GetCount(); ++i)
            if (GetArray()[i] == item) return i;
        return -1;
    }
    int Find(const T& item) const { return FindAfter(-1, item); }

private:
    bool InRange(int index) const { return index >= 0 && index < GetCount(); }
};

}  // namespace zeqsdk_400

#endif
