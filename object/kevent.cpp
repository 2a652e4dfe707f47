#include "object/kevent.h"

namespace zeqsdk_400 {

namespace {

KEventManager*& GlobalManager() {
    static KEventManager* manager = nullptr;
    return manager;
}

}  // namespace

void KEventManager::AddHandler(kEventHandler handler, void* userData) {
    if (handler) mHandlers.push_back(Entry{handler, userData});
}

bool KEventManager::RemoveHandler(kEventHandler handler, void* userData) {
    for (std::size_t i = mHandlers.size(); i-- > 0;) {
        if (mHandlers[i].mHandler == handler && mHandlers[i].mUserData == userData) {
            mHandlers.erase(mHandlers.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

void KEventManager::Emit(const KEvent& event) {
    // A copy: handlers may register or remove handlers while they run.
    const std::vector<Entry> handlers = mHandlers;
    for (const Entry& entry : handlers) entry.mHandler(event, entry.mUserData);
}

KEventManager* KGetGlobalEventManager() { return GlobalManager(); }
void KSetGlobalEventManager(KEventManager* manager) { GlobalManager() = manager; }

}  // namespace zeqsdk_400
