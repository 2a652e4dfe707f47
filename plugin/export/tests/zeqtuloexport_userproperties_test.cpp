// User properties: which added attributes become properties, their values read as the attribute's
// type (a byte of 200 stays 200, a char of -56 stays -56), soft limits, colours and vectors, and
// their curves key for key.
#include "zeqtuloexport_anim_support.h"

#include "plugin/zeqtuloutility.h"

#include "fcurve/kfcurvenode.h"
#include "scene/kzequserproperty.h"
#include "tfnattribute.h"

using namespace zeqsdk_400;

namespace {

class UserPropertyTest : public ExportAnimTest {
protected:
    void SetUp() override {
        ExportAnimTest::SetUp();
        mTransform = Transform("box");
        mNode = Node(mTransform);
    }
    TObject Add(const char* name, int type, double value = 0) {
        TFnNumericAttribute numeric;
        TObject attribute = numeric.create(name, name, type, value);
        TFnDependencyNode(mTransform).addAttribute(attribute, 2);
        return attribute;
    }
    TPlug Plug(const char* name) { return TFnDependencyNode(mTransform).findPlug(name); }
    KZeqUserProperty* Property(const char* name) {
        for (int i = 0; i < mNode->GetPropertyCount(); ++i)
            if (mNode->GetProperty(i)->GetName() == name) return mNode->GetProperty(i);
        return nullptr;
    }
    void AddAll() { mExport->AddUserProperties(mExport->mRootNode); }

    TObject mTransform;
    ZeqTuloNode* mNode = nullptr;
};

TEST_F(UserPropertyTest, NumericTypesAndCurrentValues) {
    Add("flag", TFnNumericData::kBoolean);
    Plug("flag").setValue(true);
    Add("small", TFnNumericData::kByte);
    Plug("small").setValue(static_cast<char>(200));
    Add("letter", TFnNumericData::kChar);
    Plug("letter").setValue(static_cast<char>(-56));
    Add("count", TFnNumericData::kShort, 7);
    Add("ratio", TFnNumericData::kFloat, 0.25);
    Add("pair", TFnNumericData::k2Float);
    AddAll();
    ASSERT_NE(Property("flag"), nullptr);
    EXPECT_EQ(Property("flag")->GetPropertyType(), KZeqUserProperty::eBOOL);
    bool flag = false;
    Property("flag")->GetDefaultValue(flag);
    EXPECT_TRUE(flag);
    int small = 0;
    Property("small")->GetDefaultValue(small);
    EXPECT_EQ(small, 200);  // a byte is 0 to 255: read as a char, it would be -56
    int letter = 0;
    Property("letter")->GetDefaultValue(letter);
    EXPECT_EQ(letter, -56);
    int count = 0;
    Property("count")->GetDefaultValue(count);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(Property("ratio")->GetPropertyType(), KZeqUserProperty::eREAL);
    EXPECT_EQ(Property("pair"), nullptr);
    EXPECT_TRUE(Property("ratio")->GetFlag(KZeqUserProperty::eUSER));
    EXPECT_TRUE(Property("ratio")->GetFlag(KZeqUserProperty::eANIMATABLE));
}

TEST_F(UserPropertyTest, SoftLimitsOnly) {
    TFnNumericAttribute numeric(Add("gain", TFnNumericData::kFloat, 1));
    numeric.setSoftMin(0);
    numeric.setSoftMax(10);
    numeric.setMin(-5);
    numeric.setMax(20);
    AddAll();
    ASSERT_NE(Property("gain"), nullptr);
    EXPECT_DOUBLE_EQ(Property("gain")->GetMinLimit(), 0);
    EXPECT_DOUBLE_EQ(Property("gain")->GetMaxLimit(), 10);
}

TEST_F(UserPropertyTest, ColoursAndVectorsKeepTheirChildren) {
    TFnNumericAttribute colour;
    TFnDependencyNode(mTransform).addAttribute(colour.createColor("tint", "tn"), 2);
    Plug("tintR").setValue(0.25);
    Plug("tintB").setValue(1.0);
    Add("offset", TFnNumericData::k3Double);
    Plug("offset").child(1).setValue(4.0);
    AddAll();
    ASSERT_NE(Property("tn"), nullptr);
    EXPECT_EQ(Property("tn")->GetPropertyType(), KZeqUserProperty::eCOLOR);
    double r = 0, g = 0, b = 0;
    Property("tn")->GetDefaultValue(r, g, b);
    EXPECT_DOUBLE_EQ(r, 0.25);
    EXPECT_DOUBLE_EQ(b, 1.0);
    EXPECT_EQ(Property("tnR"), nullptr);
    ASSERT_NE(Property("offset"), nullptr);
    EXPECT_EQ(Property("offset")->GetPropertyType(), KZeqUserProperty::eVECTOR);
    Property("offset")->GetDefaultValue(r, g, b);
    EXPECT_DOUBLE_EQ(g, 4.0);
}

// The plug-in's own tag (on nodes an import made) is no user data: exported, it would come back as
// a user attribute "zeqID" that keeps the import from tagging the node.
TEST_F(UserPropertyTest, ThePlugInsTagIsNoProperty) {
    Add("ratio", TFnNumericData::kFloat);
    FMSetQuorbelID(mTransform, 5);
    AddAll();
    EXPECT_NE(Property("ratio"), nullptr);
    EXPECT_EQ(Property("zeqID"), nullptr);
    EXPECT_EQ(mNode->GetPropertyCount(KZeqUserProperty::eUSER), 1);
}

// A node without attribute (a look-at group, an ambient light) keeps its user's attributes.
TEST_F(UserPropertyTest, NodeWithoutAttributeGetsThem) {
    Add("ratio", TFnNumericData::kFloat);
    mNode->SetNodeAttribute(nullptr);
    AddAll();
    EXPECT_NE(Property("ratio"), nullptr);
    EXPECT_EQ(mNode->GetPropertyCount(KZeqUserProperty::eUSER), 1);
}

TEST_F(UserPropertyTest, CurvesGoIntoTheCurrentTakeKeyForKey) {
    Add("ratio", TFnNumericData::kDouble, 2);
    Add("offset", TFnNumericData::k3Double);
    Keys(mTransform, "ratio", {{0, 1}, {1, 3}});
    TFnAnimCurve component;
    component.create(Plug("offset").child(2));
    component.addKey(TTime(0.5, TTime::kSeconds), 9, 2, 2);
    component.addKey(TTime(1.0, TTime::kSeconds), 8, 2, 2);
    AddAll();
    ASSERT_TRUE(mExport->ExportTransform(*mExport->mRootNode));
    ASSERT_STREQ(TakeName(*mNode), "Take 001");
    KFCurveNode* root = mNode->GetCurrentTakeNode()->GetKFCurveNode();
    KFCurve* ratio = root->FindRecursive("ratio")->FCurveGet();
    ASSERT_EQ(ratio->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(ratio->KeyGetPtr(1)->GetValue(), 3.0f);
    KFCurveNode* offset = root->FindRecursive("offset");
    ASSERT_EQ(offset->GetCount(), 3);
    EXPECT_EQ(offset->Get(0)->FCurveGet()->KeyGetCount(), 0);
    ASSERT_EQ(offset->Get(2)->FCurveGet()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(offset->Get(2)->FCurveGet()->KeyGetPtr(0)->GetValue(), 9.0f);
    // The default take keeps the values only.
    EXPECT_EQ(mNode->GetDefaultTakeNode()->GetKFCurveNode()->FindRecursive("ratio")->FCurveGet()->KeyGetCount(), 0);
}

}  // namespace
