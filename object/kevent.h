#ifndef ZEQ_OBJECT_KEVENT_H
#define ZEQ_OBJECT_KEVENT_H

#include <vector>

namespace zeqsdk_400 {

// Kinds of events sent through the event manager.
enum EEventType {
    eEventObjectPersistence = 1  // from an object-persistence stream; code: see KZeqObject_GenerateEvent
};

struct KEvent {
    int mType;
    void* mSender;
    int mCode;
};

typedef void (*kEventHandler)(const KEvent& event, void* userData);

// Passes events to the handlers registered with it, in registration order.
class KEventManager {
public:
    void AddHandler(kEventHandler handler, void* userData);
    // Removes the last registration of that pair; false when none.
    bool RemoveHandler(kEventHandler handler, void* userData);
    void Emit(const KEvent& event);
    int GetHandlerCount() const { return static_cast<int>(mHandlers.size()); }

private:
    struct Entry {
        kEventHandler mHandler;
        void* mUserData;
    };
    std::vector<Entry> mHandlers;
};

// The library's event manager; none until one is installed (not owned).
KEventManager* KGetGlobalEventManager();
void KSetGlobalEventManager(KEventManager* manager);

}  // namespace zeqsdk_400

#endif
