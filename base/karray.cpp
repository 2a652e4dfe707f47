#include "base/karray.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace zeqsdk_400 {

KBaseArray::KBaseArray(int itemsPerBlock, int itemSize)
    : mBlockSize(itemsPerBlock < 1 ? 1 : itemsPerBlock), mItemSize(itemSize < 1 ? 1 : itemSize) {}

KBaseArray::KBaseArray(const KBaseArray& other) : mBlockSize(other.mBlockSize), mItemSize(other.mItemSize) {
    if (other.mCount > 0 && Grow(other.mCount)) {
        std::memcpy(mData, other.mData, static_cast<std::size_t>(other.mCount) * static_cast<std::size_t>(mItemSize));
        mCount = other.mCount;
    }
}

// Clears, takes the other array's block and item size, then copies every item.
KBaseArray& KBaseArray::operator=(const KBaseArray& other) {
    if (this == &other) return *this;
    Clear();
    mBlockSize = other.mBlockSize;
    mItemSize = other.mItemSize;
    if (other.mCount > 0 && Grow(other.mCount)) {
        std::memcpy(mData, other.mData, static_cast<std::size_t>(other.mCount) * static_cast<std::size_t>(mItemSize));
        mCount = other.mCount;
    }
    return *this;
}

KBaseArray::~KBaseArray() { std::free(mData); }

bool KBaseArray::Grow(long needed) {
    if (needed <= mCapacity) return true;
    if (needed > INT_MAX) return false;
    // Whole blocks, at least half again the current capacity.
    long capacity = static_cast<long>(mCapacity) + mCapacity / 2;
    if (capacity < needed) capacity = needed;
    capacity = (capacity + mBlockSize - 1) / mBlockSize * mBlockSize;
    if (capacity > INT_MAX) capacity = needed;
    std::size_t bytes = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(mItemSize);
    if (bytes / static_cast<std::size_t>(mItemSize) != static_cast<std::size_t>(capacity)) return false;
    void* block = std::realloc(mData, bytes);
    if (!block) return false;
    mData = static_cast<char*>(block);
    mCapacity = static_cast<int>(capacity);
    return true;
}

int KBaseArray::InsertAt(int index, const void* item) {
    if (index < 0) return -1;
    if (index > mCount) index = mCount;
    const std::size_t size = static_cast<std::size_t>(mItemSize);
    // An item of this array moves when the storage grows or shifts: keep its offset instead.
    std::size_t own = SIZE_MAX;
    if (item && mData && (mCount == mCapacity || index < mCount)) {
        const std::uintptr_t from = reinterpret_cast<std::uintptr_t>(item), base = reinterpret_cast<std::uintptr_t>(mData);
        if (from >= base && from < base + static_cast<std::size_t>(mCount) * size) own = from - base;
    }
    if (own == SIZE_MAX) return InsertCopyAt(index, item);
    if (!Grow(static_cast<long>(mCount) + 1)) return -1;
    char* at = mData + static_cast<std::size_t>(index) * size;
    std::memmove(at + size, at, static_cast<std::size_t>(mCount - index) * size);
    std::memcpy(at, mData + own + (own >= static_cast<std::size_t>(index) * size ? size : 0), size);
    ++mCount;
    return index;
}

int KBaseArray::InsertCopyAt(int index, const void* item) {
    if (index < 0) return -1;
    if (index > mCount) index = mCount;
    const std::size_t size = static_cast<std::size_t>(mItemSize);
    if (!Grow(static_cast<long>(mCount) + 1)) return -1;
    char* at = mData + static_cast<std::size_t>(index) * size;
    std::memmove(at + size, at, static_cast<std::size_t>(mCount - index) * size);
    if (item)
        std::memcpy(at, item, size);
    else
        std::memset(at, 0, size);
    ++mCount;
    return index;
}

void KBaseArray::RemoveAt(int index) { RemoveRange(index, 1); }

void KBaseArray::RemoveRange(int index, int count) {
    if (index < 0 || index >= mCount || count <= 0) return;
    if (count > mCount - index) count = mCount - index;
    std::size_t size = static_cast<std::size_t>(mItemSize);
    char* at = mData + static_cast<std::size_t>(index) * size;
    std::memmove(at, at + static_cast<std::size_t>(count) * size,
                 static_cast<std::size_t>(mCount - index - count) * size);
    mCount -= count;
}

bool KBaseArray::SetCount(int count) {
    if (count < 0) return false;
    if (count > mCount) {
        if (!Grow(count)) return false;
        std::memset(mData + static_cast<std::size_t>(mCount) * static_cast<std::size_t>(mItemSize), 0,
                    static_cast<std::size_t>(count - mCount) * static_cast<std::size_t>(mItemSize));
    }
    mCount = count;
    return true;
}

int KBaseArray::AddMultiple(int count) {
    if (count < 0 || count > INT_MAX - mCount) return -1;
    int first = mCount;
    return SetCount(mCount + count) ? first : -1;
}

bool KBaseArray::Reserve(int count) { return count < 0 ? false : Grow(count); }

void KBaseArray::Clear() {
    std::free(mData);
    mData = nullptr;
    mCount = 0;
    mCapacity = 0;
}

}  // namespace zeqsdk_400
