#include "object/khandle.h"

#include <mutex>
#include <vector>

#include "object/kplug.h"

namespace zeqsdk_400 {

namespace {

struct Entry {
    KPlug* mPlug;
    std::uint32_t mId;        // 0 while the slot is free
    std::uint32_t mNextFree;  // next free slot + 1, 0 at the end of the list
};

// Never destroyed: plugs destroyed by static destructors still find it.
struct HandleManager {
    std::recursive_mutex mMutex;
    std::vector<Entry> mEntries;
    std::uint32_t mFreeHead = 0;  // free slot + 1, 0 when none
    std::uint32_t mNextId = 1;
    int mLive = 0;
};

HandleManager& Manager() {
    static HandleManager* manager = new HandleManager;
    return *manager;
}

}  // namespace

namespace handle_detail {

SlotRef Acquire(KPlug* plug) {
    HandleManager& m = Manager();
    std::lock_guard<std::recursive_mutex> lock(m.mMutex);
    std::uint32_t slot;
    if (m.mFreeHead != 0) {
        slot = m.mFreeHead - 1;
        m.mFreeHead = m.mEntries[slot].mNextFree;
    } else {
        slot = static_cast<std::uint32_t>(m.mEntries.size());
        m.mEntries.push_back(Entry{nullptr, 0, 0});
    }
    std::uint32_t id = m.mNextId++;
    if (m.mNextId == 0) m.mNextId = 1;  // 0 means "no plug"
    m.mEntries[slot] = Entry{plug, id, 0};
    ++m.mLive;
    return SlotRef{slot, id};
}

void Release(std::uint32_t slot, std::uint32_t id) {
    HandleManager& m = Manager();
    std::lock_guard<std::recursive_mutex> lock(m.mMutex);
    if (slot >= m.mEntries.size() || m.mEntries[slot].mId != id || id == 0) return;
    m.mEntries[slot] = Entry{nullptr, 0, m.mFreeHead};
    m.mFreeHead = slot + 1;
    --m.mLive;
}

KPlug* Resolve(std::uint32_t slot, std::uint32_t id) {
    if (id == 0) return nullptr;
    HandleManager& m = Manager();
    std::lock_guard<std::recursive_mutex> lock(m.mMutex);
    if (slot >= m.mEntries.size() || m.mEntries[slot].mId != id) return nullptr;
    return m.mEntries[slot].mPlug;
}

int LiveCount() {
    HandleManager& m = Manager();
    std::lock_guard<std::recursive_mutex> lock(m.mMutex);
    return m.mLive;
}

}  // namespace handle_detail

void HdlKPlug::Set(KPlug* plug) {
    if (!plug) {
        Clear();
        return;
    }
    *this = plug->GetHandle();
}

KPlug* HdlKPlug::Get() const { return handle_detail::Resolve(mSlot, mId); }

}  // namespace zeqsdk_400
