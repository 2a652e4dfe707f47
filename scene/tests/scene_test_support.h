#ifndef ZEQ_SCENE_TESTS_SCENE_TEST_SUPPORT_H
#define ZEQ_SCENE_TESTS_SCENE_TEST_SUPPORT_H

// Helpers shared by the scene layer's tests.

#include <string>
#include <vector>

#include "scene/kzeqobject.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace scenetest {

typedef std::vector<std::string> Lines;

// An SDK object of any namespace code that logs what it is told.
class TestObject : public KZeqObject {
public:
    TestObject(KZeqSdkManager& manager, const char* name, ENameSpace code = eModel, Lines* log = nullptr)
        : KZeqObject(manager, name), mCode(code), mLog(log) {}
    ~TestObject() override { Note("~" + std::string(GetName())); }
    ENameSpace GetNameSpace() const override { return mCode; }
    void Destruct() override { Note("Destruct " + std::string(GetName())); }
    void PropertyAdded(KZeqUserProperty* p) override { Note("added " + std::string(p->GetName())); }
    void PropertyRemoved(KZeqUserProperty* p) override { Note("removed " + std::string(p->GetName())); }
    void Note(const std::string& line) {
        if (mLog) mLog->push_back(line);
    }

private:
    ENameSpace mCode;
    Lines* mLog;
};

// A property handler that counts the default values it hears of.
class TestHandler : public KZeqPropertyHandler {
public:
    void DefaultValueChanged(KZeqUserProperty*) override { ++mChanges; }
    KZeqObject* GetKZeqObject() override { return nullptr; }
    int mChanges = 0;
};

}  // namespace scenetest
}  // namespace zeqsdk_400

#endif
