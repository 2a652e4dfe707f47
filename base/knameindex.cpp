#include "base/knameindex.h"

#include <cctype>

namespace zeqsdk_400 {

void KNameIndex::Reset(const KNameEpoch& epoch, int count) {
    std::size_t slots = 64;
    while (slots < 2 * static_cast<std::size_t>(count > 0 ? count : 0)) slots *= 2;
    mSlots.assign(slots, Slot{0, -1});
    mUsed = 0;
    mVolatile.clear();
    mCount = 0;
    mEpoch = epoch.Get();
}

void KNameIndex::Append(const char* name, bool isVolatile) {
    if (mCount < 0) return;
    const int position = mCount++;
    if (isVolatile || !name)
        mVolatile.push_back(position);
    else
        Insert(Hash(name), position);
}

int KNameIndex::FirstOf(std::uint64_t hash) const {
    if (mSlots.empty()) return -1;
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
        const Slot& slot = mSlots[at];
        if (slot.mPosition < 0) return -1;
        if (slot.mHash == hash) return slot.mPosition;
    }
}

void KNameIndex::Insert(std::uint64_t hash, int position) {
    if (2 * (mUsed + 1) > static_cast<int>(mSlots.size())) {
        std::vector<Slot> old(mSlots.size() * 2, Slot{0, -1});
        old.swap(mSlots);
        mUsed = 0;
        for (const Slot& slot : old)
            if (slot.mPosition >= 0) Insert(slot.mHash, slot.mPosition);
    }
    const std::size_t mask = mSlots.size() - 1;
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
        Slot& slot = mSlots[at];
        if (slot.mPosition >= 0 && slot.mHash == hash) return;  // an earlier position of the hash stays
        if (slot.mPosition < 0) {
            slot = Slot{hash, position};
            ++mUsed;
            return;
        }
    }
}

std::uint64_t KNameIndex::Hash(const char* name) const {
    // FNV-1a over the bytes as the owner compares them (upper-cased as toupper does, without case).
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(name); *at; ++at) {
        const int byte = mMode == eNoCase ? std::toupper(*at) : *at;
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace zeqsdk_400
