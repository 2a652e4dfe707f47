// User-property values and animation onto dynamic attributes of stand-in transforms.
#include "zeqtuloimport_animation_test_support.h"

#include "content/kzeqnull.h"
#include "fcurve/kfcurvenode.h"
#include "object/kproperty.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzequserproperty.h"
#include "tfnattribute.h"

using namespace zeqsdk_400;

namespace {

class UserPropertyTest : public ImportAnimationTest {
protected:
    void SetUp() override {
        ImportAnimationTest::SetUp();
        mPath = HostPath("transform", "box");
        mTransform.setObject(mPath);
        mNode = Node("box", &mPath, nullptr, mManager.CreateKZeqNull());
    }
    // A user property of the node (animatable: it has channels in every take).
    KZeqUserProperty* Property(const char* name, kPropertyType type, const char* label = "", bool animatable = true) {
        KZeqPropertyHandler* handler = mNode->GetPropertyHandler();
        KProperty* property = handler->CreatePropertyFromType(name, type, nullptr, animatable, true, nullptr);
        KZeqUserProperty* user = property ? mManager.CreateKZeqUserProperty(property) : nullptr;
        if (!user) return nullptr;
        user->SetPropertyHandler(handler);
        user->ModifyFlag(KZeqUserProperty::eUSER, true);
        if (*label) user->SetLabel(label);
        mNode->AddProperty(user);
        return user;
    }
    // The host attribute carrying a property, recorded in the node's table under the key.
    void Attribute(const char* key, const char* name, int unitType) {
        TFnNumericAttribute numeric;
        TObject attribute = numeric.create(name, name, unitType, 0);
        ASSERT_TRUE(mTransform.addAttribute(attribute, 2));
        mNode->SetUserPropertyName(key, name);
    }
    KFCurve* Channel(const char* path) {
        KFCurveNode* node = mNode->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive(path);
        return node ? node->FCurveGet() : nullptr;
    }
    template <class T>
    T Value(const char* plug) {
        T value{};
        mTransform.findPlug(plug).getValue(value);
        return value;
    }

    TDagPath mPath;
    TFnTransform mTransform;
    ZeqTuloNode* mNode = nullptr;
};

TEST_F(UserPropertyTest, RealTakesTheCurveOrTheDefault) {
    KZeqUserProperty* plain = Property("Plain", kPropertyTypeDouble);
    plain->SetDefaultValue(0.1);
    Channel("Plain")->SetValue(0.0f);  // unkeyed and 0: the property's default
    KZeqUserProperty* set = Property("Set", kPropertyTypeDouble);
    set->SetDefaultValue(7.0);
    Channel("Set")->SetValue(2.5f);  // a non-zero curve default wins
    KZeqUserProperty* single = Property("Single", kPropertyTypeDouble);
    single->SetDefaultValue(0.1);
    Channel("Single")->SetValue(0.0f);
    Attribute("Plain", "Plain", TFnNumericData::kDouble);
    Attribute("Set", "Set", TFnNumericData::kDouble);
    Attribute("Single", "Single", TFnNumericData::kFloat);
    EXPECT_TRUE(mImport->ImportUserProperties(*mNode));
    EXPECT_EQ(Value<double>("Plain"), 0.1);  // full precision on a double attribute
    EXPECT_EQ(Value<double>("Set"), 2.5);
    EXPECT_EQ(Value<double>("Single"), static_cast<double>(0.1f));
}

TEST_F(UserPropertyTest, BoolAndIntegerConversions) {
    Property("Off", kPropertyTypeBool);
    Property("On", kPropertyTypeBool);
    Property("Count", kPropertyTypeInteger);
    Property("Byte", kPropertyTypeInteger);
    Channel("Off")->SetValue(-1.0f);
    Channel("On")->SetValue(0.5f);
    Channel("Count")->SetValue(-2.7f);
    Channel("Byte")->SetValue(300.0f);
    Attribute("Off", "Off", TFnNumericData::kBoolean);
    Attribute("On", "On", TFnNumericData::kBoolean);
    Attribute("Count", "Count", TFnNumericData::kInt);
    Attribute("Byte", "Byte", TFnNumericData::kByte);
    mTransform.findPlug("Off").setValue(true);
    mImport->ImportUserProperties(*mNode);
    EXPECT_FALSE(Value<bool>("Off"));
    EXPECT_TRUE(Value<bool>("On"));
    EXPECT_EQ(Value<int>("Count"), -2);
    EXPECT_EQ(Value<int>("Byte"), 44);  // the low byte of 300
}

TEST_F(UserPropertyTest, KeysGoToAHostCurve) {
    Property("Speed", kPropertyTypeDouble);
    AddKey(*Channel("Speed"), 0.0, 1.0f);
    AddKey(*Channel("Speed"), 1.0, 4.0f);
    Attribute("Speed", "Speed", TFnNumericData::kDouble);
    mImport->ImportUserProperties(*mNode);
    TFnAnimCurve curve(mTransform.findPlug("Speed"));
    ASSERT_EQ(curve.numKeys(), 2u);
    EXPECT_EQ(curve.value(1), 4.0);
}

// A property named as a channel of the transform ("X") carries its own curve, not translation X's
// (which a search of the whole tree meets first).
TEST_F(UserPropertyTest, APropertyNamedAsATransformChannelTakesItsOwnCurve) {
    Property("X", kPropertyTypeDouble);
    KFCurveNode* root = mNode->GetCurrentTakeNode()->GetKFCurveNode();
    KFCurve* own = root->Get(root->Find("X"))->FCurveGet();
    ASSERT_NE(own, Channel("Transform/T/X"));
    AddKey(*own, 0.0, 3.0f);
    AddKey(*own, 1.0, 6.0f);
    AddKey(*Channel("Transform/T/X"), 0.0, -1.0f);
    AddKey(*Channel("Transform/T/X"), 1.0, -2.0f);
    Attribute("X", "X", TFnNumericData::kDouble);
    mImport->ImportUserProperties(*mNode);
    TFnAnimCurve curve(mTransform.findPlug("X"));
    ASSERT_EQ(curve.numKeys(), 2u);
    EXPECT_EQ(curve.value(0), 3.0);
    EXPECT_EQ(curve.value(1), 6.0);
}

TEST_F(UserPropertyTest, LabelsFindTheirAttributeWhateverTheCase) {
    Property("speed_internal", kPropertyTypeDouble, "Top Speed");
    Channel("speed_internal")->SetValue(3.0f);
    Property("NoLabel", kPropertyTypeDouble);
    Channel("NoLabel")->SetValue(5.0f);
    Attribute("TOP SPEED", "Top_Speed", TFnNumericData::kDouble);
    Attribute("NoLabel", "NoLabel", TFnNumericData::kDouble);
    mImport->ImportUserProperties(*mNode);
    EXPECT_EQ(Value<double>("Top_Speed"), 3.0);
    EXPECT_EQ(Value<double>("NoLabel"), 5.0);
}

TEST_F(UserPropertyTest, ColourWithoutCurvesTakesItsDefault) {
    KZeqUserProperty* colour = Property("Tint", kPropertyTypeColor, "", false);
    colour->SetDefaultValue(0.25, 0.5, 0.75);
    TFnNumericAttribute numeric;
    ASSERT_TRUE(mTransform.addAttribute(numeric.createColor("Tint", "Tint"), 2));
    mNode->SetUserPropertyName("Tint", "Tint");
    // A one-channel property without a curve node gets nothing.
    Property("Still", kPropertyTypeDouble, "", false)->SetDefaultValue(9.0);
    Attribute("Still", "Still", TFnNumericData::kDouble);
    mImport->ImportUserProperties(*mNode);
    EXPECT_FLOAT_EQ(Value<float>("TintR"), 0.25f);
    EXPECT_FLOAT_EQ(Value<float>("TintG"), 0.5f);
    EXPECT_FLOAT_EQ(Value<float>("TintB"), 0.75f);
    EXPECT_EQ(Value<double>("Still"), 0.0);
}

TEST_F(UserPropertyTest, VectorChannelMissingGivesZero) {
    KZeqUserProperty* vector = Property("Aim", kPropertyTypeVector);
    vector->SetDefaultValue(7.0, 8.0, 9.0);
    KFCurveNode* aim = mNode->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("Aim");
    ASSERT_TRUE(aim);
    KFCurveNode* y = aim->Get(aim->Find("Y"));
    aim->Remove(aim->Find("Y"));
    y->Destroy();
    AddKey(*Channel("Aim/X"), 0.0, 1.0f);
    AddKey(*Channel("Aim/X"), 1.0, 2.0f);
    Channel("Aim/X")->SetValue(1.5f);
    Channel("Aim/Z")->SetValue(3.0f);
    TFnNumericAttribute numeric;
    ASSERT_TRUE(mTransform.addAttribute(numeric.create("Aim", "Aim", TFnNumericData::k3Double, 0), 2));
    mNode->SetUserPropertyName("Aim", "Aim");
    mImport->ImportUserProperties(*mNode);
    TFnAnimCurve x(mTransform.findPlug("AimX"));
    EXPECT_EQ(x.numKeys(), 2u);
    EXPECT_EQ(Value<double>("AimY"), 0.0);  // not the property's default
    EXPECT_EQ(Value<double>("AimZ"), 3.0);
}

TEST_F(UserPropertyTest, WhatIsSkipped) {
    // Without the user flag, of no numeric type, without a table entry in exclusive merge.
    KZeqUserProperty* hidden = Property("Hidden", kPropertyTypeDouble);
    hidden->ModifyFlag(KZeqUserProperty::eUSER, false);
    Channel("Hidden")->SetValue(1.0f);
    ASSERT_TRUE(Property("Text", kPropertyTypeEnum));
    Property("Unlisted", kPropertyTypeDouble);
    Attribute("Hidden", "Hidden", TFnNumericData::kDouble);
    Attribute("Text", "Text", TFnNumericData::kDouble);
    mTransform.findPlug("Text").setValue(6.0);
    ZeqTuloUserParams::Instance()->SetImportType(KZeqUserParams::kExclusiveMerge);
    mImport->ImportUserProperties(*mNode);
    EXPECT_EQ(Value<double>("Hidden"), 0.0);
    EXPECT_EQ(Value<double>("Text"), 6.0);
    TStatus status;
    mTransform.attribute("Unlisted", &status);
    EXPECT_FALSE(status);
}

// Outside exclusive merge a property without an attribute gets one, and its value in the same pass.
TEST_F(UserPropertyTest, MissingAttributeIsMadeAndFilled) {
    Property("Spare Speed", kPropertyTypeDouble)->SetDefaultValue(4.5);
    Channel("Spare Speed")->SetValue(0.0f);
    ZeqTuloUserParams::Instance()->SetImportType(KZeqUserParams::kCreate);
    EXPECT_TRUE(mImport->ImportUserProperties(*mNode));
    ASSERT_TRUE(mNode->GetUserPropertyName("spare speed"));
    EXPECT_EQ(Value<double>(mNode->GetUserPropertyName("Spare Speed")->Buffer()), 4.5);
}

// A node without attribute (a group another program wrote) has its host transform all the same:
// its properties come in with their values.
TEST_F(UserPropertyTest, NodeWithoutAttributeGetsItsValues) {
    mNode->SetNodeAttribute(nullptr);
    Property("Focus", kPropertyTypeDouble)->SetDefaultValue(42.0);
    Channel("Focus")->SetValue(0.0f);
    Attribute("Focus", "Focus", TFnNumericData::kDouble);
    EXPECT_TRUE(mImport->ImportUserProperties(*mNode));
    EXPECT_EQ(Value<double>("Focus"), 42.0);
}

}  // namespace
