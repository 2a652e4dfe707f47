#include "object/kevent.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "object/izeqobject.h"

using namespace zeqsdk_400;

// Handlers run in order, each addition is removed once; a stream's events reach
// the global manager while there is one.
TEST(KEventManager, HandlersInOrderRemovalAndTheGlobalManager) {
    std::string seen;
    auto handler = [](const KEvent& e, void* data) { *static_cast<std::string*>(data) += std::to_string(e.mCode) + ";"; };
    KEventManager manager;
    manager.AddHandler(handler, &seen);
    manager.AddHandler(handler, &seen);
    manager.AddHandler(nullptr, &seen);  // ignored
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);  // no global manager: nothing
    KSetGlobalEventManager(&manager);
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);
    KSetGlobalEventManager(nullptr);
    EXPECT_TRUE(seen == "16;16;" && manager.GetHandlerCount() == 2);
    EXPECT_TRUE(manager.RemoveHandler(handler, &seen) && manager.RemoveHandler(handler, &seen));
    EXPECT_FALSE(manager.RemoveHandler(handler, &seen));
    manager.Emit(KEvent{1, nullptr, 2});
    EXPECT_EQ("16;16;", seen);
    KEvent last{};
    manager.AddHandler([](const KEvent& e, void* data) { *static_cast<KEvent*>(data) = e; }, &last);
    KSetGlobalEventManager(&manager);
    KZeqObject_GenerateEvent(stream.get(), eZeqObjectEventWrongPassword);
    KSetGlobalEventManager(nullptr);
    EXPECT_TRUE(last.mType == eEventObjectPersistence && last.mSender == stream.get() && last.mCode == 16);
}
