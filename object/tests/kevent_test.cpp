#include "object/kevent.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "object/izeqobject.h"

using namespace zeqsdk_400;

// Every registration hears the event, each is removed once; a stream's events
// reach the global manager while there is one.
TEST(KEventManager, HandlersRemovalAndTheGlobalManager) {
    std::vector<KEvent> seen;
    auto handler = [](const KEvent& e, void* data) { static_cast<std::vector<KEvent>*>(data)->push_back(e); };
    KEventManager manager;
    manager.AddHandler(handler, &seen);
    manager.AddHandler(handler, &seen);
    manager.AddHandler(nullptr, &seen);  // ignored
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);  // no global manager: nothing
    KSetGlobalEventManager(&manager);
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);
    KSetGlobalEventManager(nullptr);
    ASSERT_TRUE(seen.size() == 2 && manager.GetHandlerCount() == 2);
    EXPECT_TRUE(seen[1].mType == eEventObjectPersistence && seen[1].mSender == stream.get() && seen[1].mCode == 16);
    EXPECT_TRUE(manager.RemoveHandler(handler, &seen) && manager.RemoveHandler(handler, &seen));
    EXPECT_FALSE(manager.RemoveHandler(handler, &seen));
    manager.Emit(KEvent{1, nullptr, 2});
    EXPECT_EQ(2u, seen.size());
}
