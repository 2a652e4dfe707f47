#include "scene/kzeqobject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

class TestObject : public KZeqObject {
public:
    TestObject(KZeqSdkManager& manager, const char* name, ENameSpace code) : KZeqObject(manager, name), mCode(code) {}
    ENameSpace GetNameSpace() const override { return mCode; }
    void PropertyAdded(KZeqUserProperty* p) override { mLog.push_back("+" + std::string(p->GetName())); }
    void PropertyRemoved(KZeqUserProperty* p) override { mLog.push_back("-" + std::string(p->GetName())); }
    ENameSpace mCode;
    std::vector<std::string> mLog;
};

}  // namespace

TEST(KZeqObject, SetNameAndPrefixRemovalByNameSpace) {
    struct Case {
        int mCode;
        const char* mGiven;
        const char* mStored;   // after SetName
        const char* mWithout;  // GetNameWithoutNameSpacePrefix with the given text as the initial name
    };
    const Case cases[] = {{1, "Bone::Arm", "Model::Arm", "Arm"},   {1, "", "Model::Name", ""},
                          {1, "Other::Arm", "Model::Arm", "Arm"},  {1, "Arm", "Model::Arm", "Arm"},
                          {10, "Deformer::Skin", "Skin", "Deformer::Skin"}, {10, "A::B::c", "B::c", "A::B::c"},
                          {4, "Model::g", "Video::g", "g"},        {12, "p", "ControlSetPlug::p", "p"},
                          {40, "Model::x", "x", "Model::x"},       {-1, "a::b", "b", "a::b"}};
    KZeqSdkManager manager;
    for (const Case& c : cases) {
        TestObject object(manager, "start", static_cast<KZeqObject::ENameSpace>(c.mCode));
        object.SetName(c.mGiven);
        EXPECT_STREQ(c.mStored, object.GetName()) << c.mCode << " " << c.mGiven;
        object.SetInitialName(c.mGiven);
        EXPECT_STREQ(c.mWithout, object.GetNameWithoutNameSpacePrefix()) << c.mCode << " " << c.mGiven;
    }
}

TEST(KZeqObject, RemovePrefixAndAssignmentWithinOneNameSpace) {
    for (const char* text : {"A::B::c", "c", "x:c"}) EXPECT_STREQ("c", KZeqObject::RemovePrefix(text));
    EXPECT_STREQ("", KZeqObject::RemovePrefix(nullptr));
    KZeqSdkManager manager;
    TestObject texture(manager, "Texture::t", KZeqObject::eTexture), other(manager, "Texture::u", KZeqObject::eTexture);
    TestObject material(manager, "Material::m", KZeqObject::eMaterial);
    other.SetName("v");
    KZeqObject& base = texture;  // the test class's own assignment would copy its code too
    base = material;
    EXPECT_STREQ("Texture::t", texture.GetName());
    base = other;
    EXPECT_STREQ("Texture::u", texture.GetInitialName());
    EXPECT_STREQ("Texture::v", texture.GetName());
}

TEST(KZeqObject, UserPropertyListIgnoresNullAndDuplicates) {
    KZeqSdkManager manager;
    TestObject object(manager, "Model::o", KZeqObject::eModel);
    KZeqUserProperty* a = manager.CreateKZeqUserProperty("a", "Real", "");
    KZeqUserProperty* b = manager.CreateKZeqUserProperty("b", "Bool", "");
    b->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    for (KZeqUserProperty* p : {a, a, static_cast<KZeqUserProperty*>(nullptr), b}) object.AddProperty(p);
    EXPECT_EQ(1, object.GetPropertyCount(KZeqUserProperty::eANIMATABLE));
    EXPECT_TRUE(object.FindPropertyByName("b") == b && !object.FindPropertyByName("B"));
    for (KZeqUserProperty* p : {a, a, static_cast<KZeqUserProperty*>(nullptr)}) object.RemoveProperty(p);
    EXPECT_EQ((std::vector<std::string>{"+a", "+b", "-a"}), object.mLog);
    EXPECT_TRUE(object.GetProperty(0) == b && !object.GetProperty(1));
}
