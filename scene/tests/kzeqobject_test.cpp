#include "scene/kzeqobject.h"

#include <gtest/gtest.h>

#include "scene/tests/scene_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::scenetest;

namespace {

struct NameCase {
    const char* mLabel;
    KZeqObject::ENameSpace mCode;
    const char* mGiven;
    const char* mStored;      // after SetName
    const char* mWithout;     // GetNameWithoutNameSpacePrefix of the name given as initial name
};

const NameCase kNameCases[] = {
    {"ModelKept", KZeqObject::eModel, "Model::Arm", "Model::Arm", "Arm"},
    {"ModelReprefixed", KZeqObject::eModel, "Bone::Arm", "Model::Arm", "Arm"},
    {"ModelEmpty", KZeqObject::eModel, "", "Model::Name", ""},
    {"ModelBare", KZeqObject::eModel, "Arm", "Model::Arm", "Arm"},
    {"ModelOtherPrefix", KZeqObject::eModel, "Other::Arm", "Model::Arm", "Arm"},
    {"NoPrefixCutsOnly", KZeqObject::eNoPrefix, "Deformer::Skin", "Skin", "Deformer::Skin"},
    {"NoPrefixFirstSeparator", KZeqObject::eNoPrefix, "A::B::c", "B::c", "A::B::c"},
    {"GoboVideo", KZeqObject::eVideo, "Model::g", "Video::g", "g"},
    {"PoseCode11", KZeqObject::ePose, "x", "Pose::x", "x"},
    {"ControlSetPlug", KZeqObject::eControlSetPlug, "Model::p", "ControlSetPlug::p", "p"},
    {"UnknownCode", static_cast<KZeqObject::ENameSpace>(40), "Model::x", "x", "Model::x"},
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.mLabel; }

class KZeqObjectNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(KZeqObjectNames, SetNameAndPrefixRemoval) {
    const NameCase& c = GetParam();
    KZeqSdkManager manager;
    TestObject object(manager, "start", c.mCode);
    object.SetName(c.mGiven);
    EXPECT_STREQ(c.mStored, object.GetName());
    EXPECT_STREQ("start", object.GetInitialName());
    object.SetInitialName(c.mGiven);
    EXPECT_STREQ(c.mGiven, object.GetName());
    EXPECT_STREQ(c.mWithout, object.GetNameWithoutNameSpacePrefix());
}

INSTANTIATE_TEST_SUITE_P(Table, KZeqObjectNames, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.mLabel); });

}  // namespace

TEST(KZeqObject, RemovePrefixAndPrefixTable) {
    EXPECT_STREQ("c", KZeqObject::RemovePrefix("A::B::c"));
    EXPECT_STREQ("c", KZeqObject::RemovePrefix("c"));
    EXPECT_STREQ("", KZeqObject::RemovePrefix("a:"));
    EXPECT_STREQ("", KZeqObject::RemovePrefix(nullptr));
    EXPECT_STREQ("Video::", KZeqObject::GetDefaultNameSpacePrefix(KZeqObject::eVideoOther));
    EXPECT_STREQ("", KZeqObject::GetDefaultNameSpacePrefix(static_cast<KZeqObject::ENameSpace>(-1)));
    EXPECT_STREQ("", KZeqObject::GetDefaultNameSpacePrefix(static_cast<KZeqObject::ENameSpace>(13)));
}

TEST(KZeqObject, AssignmentCopiesNamesOnlyWithinOneNameSpace) {
    KZeqSdkManager manager;
    TestObject material(manager, "Material::m", KZeqObject::eMaterial);
    TestObject texture(manager, "Texture::t", KZeqObject::eTexture);
    TestObject other(manager, "Texture::u", KZeqObject::eTexture);
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
    Lines log;
    TestObject object(manager, "Model::o", KZeqObject::eModel, &log);
    KZeqUserProperty* a = manager.CreateKZeqUserProperty("a", "Real", "");
    KZeqUserProperty* b = manager.CreateKZeqUserProperty("b", "Bool", "");
    b->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    for (KZeqUserProperty* p : {a, a, static_cast<KZeqUserProperty*>(nullptr), b}) object.AddProperty(p);
    object.RemoveProperty(nullptr);
    EXPECT_EQ((Lines{"added a", "added b"}), log);
    EXPECT_EQ(2, object.GetPropertyCount());
    EXPECT_EQ(1, object.GetPropertyCount(KZeqUserProperty::eANIMATABLE));
    EXPECT_EQ(b, object.FindPropertyByName("b"));
    EXPECT_EQ(nullptr, object.FindPropertyByName("B"));
    EXPECT_EQ(nullptr, object.GetProperty(2));
    object.RemoveProperty(a);
    object.RemoveProperty(a);
    EXPECT_EQ(b, object.GetProperty(0));
    EXPECT_EQ("removed a", log.back());
}
