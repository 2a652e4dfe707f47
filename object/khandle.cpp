#include "object/khandle.h"

#include <atomic>
#include <mutex>
#include <type_traits>

#include "object/kplug.h"

namespace zeqsdk_400 {

namespace {

// Resolving a handle takes no lock: it runs for nearly every access to a
// connection or a wrapped property. The slots live in blocks that are never
// moved, nor freed before the library unloads (block b holds kFirstBlock << b
// slots), and an entry is read identifier, plug, identifier again, so that a
// slot given back and taken again meanwhile reads as no plug rather than as
// another one.
struct Entry {
    std::atomic<KPlug*> mPlug{nullptr};
    std::atomic<std::uint32_t> mId{0};  // 0 while the slot is free
    std::uint32_t mNextFree = 0;        // next free slot + 1, 0 at the end of the list (under the lock)
};

constexpr unsigned kFirstBlockBits = 10;
constexpr std::uint64_t kFirstBlock = std::uint64_t(1) << kFirstBlockBits;
constexpr int kBlockCount = 33 - kFirstBlockBits;  // enough for every 32-bit slot number

struct Place {
    int mBlock;
    std::uint64_t mOffset;
};

Place PlaceOf(std::uint32_t slot) {
    const std::uint64_t n = slot + kFirstBlock;
    const int block = 63 - __builtin_clzll(n) - static_cast<int>(kFirstBlockBits);
    return Place{block, n - (kFirstBlock << block)};
}

// Constant-initialised and trivially destructible: plugs made by static
// initialisers and destroyed by static destructors always find it intact.
struct HandleManager {
    constexpr HandleManager() = default;

    std::mutex mMutex;  // taking and giving back slots
    std::atomic<Entry*> mBlocks[kBlockCount] = {};
    std::uint32_t mSlotCount = 0;  // slots ever handed out
    std::uint32_t mFreeHead = 0;   // free slot + 1, 0 when none
    std::uint32_t mNextId = 1;
    int mLive = 0;
    bool mUnloading = false;  // the library's static destructors have begun

    Entry& At(std::uint32_t slot) {
        const Place place = PlaceOf(slot);
        return mBlocks[place.mBlock].load(std::memory_order_relaxed)[place.mOffset];
    }
};
static_assert(std::is_trivially_destructible<HandleManager>::value, "the table outlives every static destructor");

HandleManager gManager;

HandleManager& Manager() { return gManager; }

// Under the lock, once the library is being unloaded and no plug holds a slot: the blocks go back,
// so that a module the host unloads (dlclose) leaves no memory behind. Later lookups find no block.
void ReleaseBlocksIfIdle(HandleManager& m) {
    if (!m.mUnloading || m.mLive != 0) return;
    for (auto& block : m.mBlocks) delete[] block.exchange(nullptr, std::memory_order_acq_rel);
    m.mSlotCount = 0;
    m.mFreeHead = 0;
}

// Constructed after gManager, so destroyed before it is no longer used: from then on the last
// plug given back releases the blocks (at once when none is left).
struct BlocksAtUnload {
    ~BlocksAtUnload() {
        HandleManager& m = Manager();
        std::lock_guard<std::mutex> lock(m.mMutex);
        m.mUnloading = true;
        ReleaseBlocksIfIdle(m);
    }
} gBlocksAtUnload;

}  // namespace

namespace handle_detail {

SlotRef Acquire(KPlug* plug) {
    HandleManager& m = Manager();
    std::lock_guard<std::mutex> lock(m.mMutex);
    std::uint32_t slot;
    if (m.mFreeHead != 0) {
        slot = m.mFreeHead - 1;
        m.mFreeHead = m.At(slot).mNextFree;
    } else {
        slot = m.mSlotCount++;
        const Place place = PlaceOf(slot);
        if (place.mOffset == 0)
            m.mBlocks[place.mBlock].store(new Entry[kFirstBlock << place.mBlock], std::memory_order_release);
    }
    std::uint32_t id = m.mNextId++;
    if (m.mNextId == 0) m.mNextId = 1;  // 0 means "no plug"
    Entry& entry = m.At(slot);
    entry.mNextFree = 0;
    entry.mPlug.store(plug, std::memory_order_release);
    entry.mId.store(id, std::memory_order_release);
    ++m.mLive;
    return SlotRef{slot, id};
}

void Release(std::uint32_t slot, std::uint32_t id) {
    HandleManager& m = Manager();
    std::lock_guard<std::mutex> lock(m.mMutex);
    if (id == 0 || slot >= m.mSlotCount) return;
    Entry& entry = m.At(slot);
    if (entry.mId.load(std::memory_order_relaxed) != id) return;
    entry.mId.store(0, std::memory_order_release);
    entry.mPlug.store(nullptr, std::memory_order_release);
    entry.mNextFree = m.mFreeHead;
    m.mFreeHead = slot + 1;
    --m.mLive;
    ReleaseBlocksIfIdle(m);
}

KPlug* Resolve(std::uint32_t slot, std::uint32_t id) {
    if (id == 0) return nullptr;
    const Place place = PlaceOf(slot);
    const Entry* block = Manager().mBlocks[place.mBlock].load(std::memory_order_acquire);
    if (!block) return nullptr;
    const Entry& entry = block[place.mOffset];
    if (entry.mId.load(std::memory_order_acquire) != id) return nullptr;
    KPlug* plug = entry.mPlug.load(std::memory_order_acquire);
    return entry.mId.load(std::memory_order_acquire) == id ? plug : nullptr;
}

void Prefetch(std::uint32_t slot) {
    const Place place = PlaceOf(slot);
    if (const Entry* block = Manager().mBlocks[place.mBlock].load(std::memory_order_relaxed))
        __builtin_prefetch(block + place.mOffset, 1);
}

int LiveCount() {
    HandleManager& m = Manager();
    std::lock_guard<std::mutex> lock(m.mMutex);
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
