#ifndef ZEQ_OBJECT_KHANDLE_H
#define ZEQ_OBJECT_KHANDLE_H

#include <cstdint>

namespace zeqsdk_400 {

class KPlug;

// Handle to a plug: a slot of the global handle table and the identifier the
// slot had when the handle was made. It resolves to the plug while the plug
// lives and to null once the plug is gone, even if the slot is reused.
class HdlKPlug {
public:
    HdlKPlug() = default;
    HdlKPlug(KPlug* plug) { Set(plug); }
    HdlKPlug& operator=(KPlug* plug) {
        Set(plug);
        return *this;
    }

    void Set(KPlug* plug);
    void Clear() { mSlot = mId = 0; }
    KPlug* Get() const;
    KPlug* operator->() const { return Get(); }
    operator KPlug*() const { return Get(); }
    bool IsValid() const { return Get() != nullptr; }
    // Same target, whether or not it still lives.
    bool operator==(const HdlKPlug& other) const { return mSlot == other.mSlot && mId == other.mId; }
    bool operator!=(const HdlKPlug& other) const { return !(*this == other); }

    std::uint32_t GetSlot() const { return mSlot; }
    std::uint32_t GetId() const { return mId; }

private:
    friend class KPlug;
    HdlKPlug(std::uint32_t slot, std::uint32_t id) : mSlot(slot), mId(id) {}

    std::uint32_t mSlot = 0;
    std::uint32_t mId = 0;  // 0: no plug
};

namespace handle_detail {

// The global handle table. A plug takes a slot when its first handle is made
// and gives it back when it is destroyed; slots are taken and given back under
// a lock, and resolved from any thread without one.
struct SlotRef {
    std::uint32_t mSlot;
    std::uint32_t mId;
};
SlotRef Acquire(KPlug* plug);
void Release(std::uint32_t slot, std::uint32_t id);
KPlug* Resolve(std::uint32_t slot, std::uint32_t id);
// Asks for the slot's entry ahead of its release; changes nothing.
void Prefetch(std::uint32_t slot);
// Number of slots in use (for tests and diagnostics).
int LiveCount();

}  // namespace handle_detail

}  // namespace zeqsdk_400

#endif
