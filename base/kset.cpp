#include "base/kset.h"

#include <algorithm>
#include <cstring>

namespace zeqsdk_400 {

namespace {

// ASCII upper-casing without a locale call per byte: sorting compares a lot.
struct UpperTable {
    unsigned char mMap[256];
    UpperTable() {
        for (int i = 0; i < 256; ++i) mMap[i] = static_cast<unsigned char>(i >= 'a' && i <= 'z' ? i - 32 : i);
    }
};

const UpperTable& Upper() {
    static const UpperTable table;
    return table;
}

int CompareNoCase(const char* a, const char* b) {
    const UpperTable& table = Upper();
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b);
    for (;; ++pa, ++pb) {
        int ca = table.mMap[*pa];
        int cb = table.mMap[*pb];
        if (ca != cb || ca == 0) return ca - cb;
    }
}

// Grows a table one block of entries at a time, like every other list here.
template <class V>
void ReserveBlock(V& entries, int blockSize) {
    if (entries.size() == entries.capacity()) {
        std::size_t grown = entries.capacity() + entries.capacity() / 2;
        std::size_t blocks = (std::max(grown, entries.size() + 1) + blockSize - 1) / blockSize;
        entries.reserve(blocks * static_cast<std::size_t>(blockSize));
    }
}

}  // namespace

KCharPtrSet::KCharPtrSet(int itemsPerBlock) : mBlockSize(itemsPerBlock < 1 ? 1 : itemsPerBlock) {}

KCharPtrSet::~KCharPtrSet() = default;

void KCharPtrSet::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == mCaseSensitive) return;
    mCaseSensitive = caseSensitive;
    for (Entry& e : mEntries) e.mPrefix = Prefix(e.mKey.get());
    mSorted = mEntries.size() < 2;
}

int KCharPtrSet::Compare(const char* a, const char* b) const {
    return mCaseSensitive ? std::strcmp(a, b) : CompareNoCase(a, b);
}

std::uint64_t KCharPtrSet::Prefix(const char* key) const {
    const UpperTable& table = Upper();
    std::uint64_t prefix = 0;
    int i = 0;
    for (; i < 8 && key[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(key[i]);
        prefix = (prefix << 8) | (mCaseSensitive ? c : table.mMap[c]);
    }
    // An empty key has the prefix 0 (a shift by the whole width is undefined).
    return i == 0 ? 0 : prefix << (8 * (8 - i));
}

bool KCharPtrSet::Less(const Entry& e, std::uint64_t prefix, const char* key) const {
    if (e.mPrefix != prefix) return e.mPrefix < prefix;
    // Equal prefixes without a terminator in them: the first 8 bytes are equal.
    std::size_t skip = (prefix & 0xFF) ? 8 : 0;
    return Compare(e.mKey.get() + skip, key + skip) < 0;
}

bool KCharPtrSet::Add(const char* key, kReference value) {
    if (!key) return false;
    std::size_t n = std::strlen(key) + 1;
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), key, n);
    ReserveBlock(mEntries, mBlockSize);
    std::uint64_t prefix = Prefix(key);
    // Appending in ascending order keeps the table sorted.
    if (!mEntries.empty() && !Less(mEntries.back(), prefix, key) && Compare(mEntries.back().mKey.get(), key) != 0)
        mSorted = false;
    mEntries.push_back(Entry{prefix, std::move(copy), value});
    return true;
}

void KCharPtrSet::Sort() const {
    if (mSorted) return;
    std::stable_sort(mEntries.begin(), mEntries.end(),
                     [this](const Entry& a, const Entry& b) { return Less(a, b.mPrefix, b.mKey.get()); });
    mSorted = true;
}

kReference KCharPtrSet::Get(const char* key, int* index) const {
    if (index) *index = -1;
    if (!key) return 0;
    Sort();
    std::uint64_t prefix = Prefix(key);
    auto it = std::lower_bound(mEntries.begin(), mEntries.end(), key,
                               [this, prefix](const Entry& e, const char* k) { return Less(e, prefix, k); });
    if (it == mEntries.end() || it->mPrefix != prefix || Compare(it->mKey.get(), key) != 0) return 0;
    if (index) *index = static_cast<int>(it - mEntries.begin());
    return it->mValue;
}

bool KCharPtrSet::Remove(const char* key) {
    int index;
    Get(key, &index);
    if (index < 0) return false;
    RemoveFromIndex(index);
    return true;
}

void KCharPtrSet::RemoveFromIndex(int index) {
    Sort();
    if (index < 0 || index >= GetCount()) return;
    mEntries.erase(mEntries.begin() + index);
}

kReference KCharPtrSet::GetFromIndex(int index, const char** key) const {
    Sort();
    if (index < 0 || index >= GetCount()) {
        if (key) *key = nullptr;
        return 0;
    }
    const Entry& e = mEntries[static_cast<std::size_t>(index)];
    if (key) *key = e.mKey.get();
    return e.mValue;
}

void KCharPtrSet::SetValueAtIndex(int index, kReference value) {
    Sort();
    if (index >= 0 && index < GetCount()) mEntries[static_cast<std::size_t>(index)].mValue = value;
}

void KCharPtrSet::Clear() {
    mEntries.clear();
    mEntries.shrink_to_fit();
    mSorted = true;
}

// ---------------------------------------------------------------------------

KSet::KSet(int itemsPerBlock) : mBlockSize(itemsPerBlock < 1 ? 1 : itemsPerBlock) {}

void KSet::Add(unsigned int key, kReference value) {
    ReserveBlock(mEntries, mBlockSize);
    // Appending in ascending order keeps the table sorted.
    if (!mEntries.empty() && key < mEntries.back().mKey) mSorted = false;
    mEntries.push_back(Entry{key, value});
}

void KSet::Sort() const {
    if (mSorted) return;
    std::stable_sort(mEntries.begin(), mEntries.end(), [](const Entry& a, const Entry& b) { return a.mKey < b.mKey; });
    mSorted = true;
}

kReference KSet::Get(unsigned int key, int* index) const {
    Sort();
    auto it = std::lower_bound(mEntries.begin(), mEntries.end(), key,
                               [](const Entry& e, unsigned int k) { return e.mKey < k; });
    if (it == mEntries.end() || it->mKey != key) {
        if (index) *index = -1;
        return 0;
    }
    if (index) *index = static_cast<int>(it - mEntries.begin());
    return it->mValue;
}

bool KSet::Remove(unsigned int key) {
    int index;
    Get(key, &index);
    if (index < 0) return false;
    RemoveFromIndex(index);
    return true;
}

void KSet::RemoveFromIndex(int index) {
    Sort();
    if (index < 0 || index >= GetCount()) return;
    mEntries.erase(mEntries.begin() + index);
}

kReference KCharPtrSet::GetFromIndex(int index, char** key) const {
    const char* found = nullptr;
    const kReference value = GetFromIndex(index, &found);
    if (key) *key = const_cast<char*>(found);
    return value;
}

kReference KSet::GetFromIndex(int index, unsigned int* key) const {
    Sort();
    if (index < 0 || index >= GetCount()) {
        if (key) *key = 0;
        return 0;
    }
    const Entry& e = mEntries[static_cast<std::size_t>(index)];
    if (key) *key = e.mKey;
    return e.mValue;
}

void KSet::SetValueAtIndex(int index, kReference value) {
    Sort();
    if (index >= 0 && index < GetCount()) mEntries[static_cast<std::size_t>(index)].mValue = value;
}

void KSet::Clear() {
    mEntries.clear();
    mEntries.shrink_to_fit();
    mSorted = true;
}

}  // namespace zeqsdk_400
