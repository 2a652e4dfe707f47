#include "object/kevent.h"

#include <gtest/gtest.h>

#include <string>

using namespace zeqsdk_400;

TEST(KEventManager, HandlersInOrderAndRemoval) {
    std::string seen;
    auto handler = [](const KEvent& event, void* data) {
        *static_cast<std::string*>(data) += std::to_string(event.mType) + ":" + std::to_string(event.mCode) + ";";
    };
    KEventManager manager;
    manager.AddHandler(handler, &seen);
    manager.AddHandler(handler, &seen);
    manager.AddHandler(nullptr, &seen);  // ignored
    EXPECT_EQ(2, manager.GetHandlerCount());
    manager.Emit(KEvent{eEventObjectPersistence, nullptr, 16});
    EXPECT_EQ("1:16;1:16;", seen);
    EXPECT_TRUE(manager.RemoveHandler(handler, &seen));
    EXPECT_TRUE(manager.RemoveHandler(handler, &seen));
    EXPECT_FALSE(manager.RemoveHandler(handler, &seen));
    manager.Emit(KEvent{1, nullptr, 2});
    EXPECT_EQ("1:16;1:16;", seen);
}
