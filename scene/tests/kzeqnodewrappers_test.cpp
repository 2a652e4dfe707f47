// A node's user-property list starts with one entry per property of its property set, in list
// order; each entry's wrapper is made when first asked for. However the entries are reached, they
// answer as wrappers made all at once with the node would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

constexpr int kRows = 54;

// Asks for every entry once, in one of the ways a caller may.
enum class Access { eByIndex, eByName, eByProperty, eByIndexBackwards, eMixed };

KZeqUserProperty* Reach(KZeqNode& node, Access access, int step) {
    KZeqNodeProperties& p = *node.GetPropertyHandler();
    const int row = access == Access::eByIndexBackwards ? kRows - 1 - step : step;
    const Access way = access == Access::eMixed ? static_cast<Access>(step % 3) : access;
    switch (way) {
        case Access::eByName: return node.FindPropertyByName(p.GetProperty(row)->GetPropertyName());
        case Access::eByProperty: return node.GetProperty(p.GetProperty(row));
        default: return node.GetProperty(row);
    }
}

class NodeWrapperAccess : public ::testing::TestWithParam<Access> {
protected:
    KZeqSdkManager mManager;
};

}  // namespace

TEST_P(NodeWrapperAccess, EveryEntryAnswersAsItsPropertysWrapper) {
    KZeqNode* node = mManager.CreateKZeqNode("n");
    KZeqNodeProperties& p = *node->GetPropertyHandler();
    ASSERT_EQ(kRows, node->GetPropertyCount());
    EXPECT_EQ(4, node->GetPropertyCount(KZeqUserProperty::eANIMATABLE));
    EXPECT_EQ(0, node->GetPropertyCount(KZeqUserProperty::eUSER));
    for (int step = 0; step < kRows; ++step) ASSERT_NE(nullptr, Reach(*node, GetParam(), step)) << step;
    for (int row = 0; row < kRows; ++row) {
        KZeqUserProperty* wrapper = node->GetProperty(row);
        KProperty* property = p.GetProperty(row);
        ASSERT_NE(nullptr, wrapper);
        EXPECT_EQ(property, wrapper->GetKProperty()) << row;
        EXPECT_EQ(property, node->PeekProperty(row)) << row;
        EXPECT_EQ(std::string(property->GetPropertyName()), wrapper->GetName().Buffer());
        EXPECT_EQ(wrapper, node->FindPropertyByName(property->GetPropertyName())) << row;
        EXPECT_EQ(wrapper, node->GetProperty(property)) << row;
        EXPECT_EQ(static_cast<KZeqPropertyHandler*>(&p), wrapper->GetPropertyHandler());
        EXPECT_EQ(row >= 50, wrapper->GetFlag(KZeqUserProperty::eANIMATABLE)) << row;
        EXPECT_EQ(row >= 50, node->PeekFlag(row, KZeqUserProperty::eANIMATABLE)) << row;
    }
    EXPECT_EQ(kRows, node->GetPropertyCount());
    EXPECT_EQ(4, node->GetPropertyCount(KZeqUserProperty::eANIMATABLE));
    EXPECT_EQ(nullptr, node->GetProperty(-1));
    EXPECT_EQ(nullptr, node->GetProperty(kRows));
    EXPECT_EQ(nullptr, node->FindPropertyByName("Lcl translation"));  // exact names only
    KZeqNode* other = mManager.CreateKZeqNode("m");
    EXPECT_EQ(nullptr, node->GetProperty(other->GetPropertyHandler()->GetProperty(0)));
    // Added again, a wrapper stays listed once.
    node->AddProperty(node->GetProperty(3));
    EXPECT_EQ(kRows, node->GetPropertyCount());
}

std::string AccessName(const ::testing::TestParamInfo<Access>& info) {
    static const char* const kNames[] = {"ByIndex", "ByName", "ByProperty", "ByIndexBackwards", "Mixed"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, NodeWrapperAccess,
                         ::testing::Values(Access::eByIndex, Access::eByName, Access::eByProperty,
                                           Access::eByIndexBackwards, Access::eMixed),
                         AccessName);

class NodeWrapperTest : public ::testing::Test {
protected:
    KZeqSdkManager mManager;
};

// The manager finds the first user property of a name in creation order, a node's built-in
// wrappers taking the place of the node's creation, whenever they are made.
TEST_F(NodeWrapperTest, ManagerFindsTheFirstMadeInCreationOrder) {
    KZeqUserProperty* early = mManager.CreateKZeqUserProperty("Show", "Bool", "");
    KZeqNode* a = mManager.CreateKZeqNode("a");
    KZeqNode* b = mManager.CreateKZeqNode("b");
    KZeqUserProperty* late = mManager.CreateKZeqUserProperty("Visibility", "Real", "");
    EXPECT_EQ(early, mManager.FindKZeqUserProperty("Show"));
    KZeqUserProperty* bVisibility = b->FindPropertyByName("Visibility");
    KZeqUserProperty* aVisibility = mManager.FindKZeqUserProperty("Visibility");
    EXPECT_TRUE(aVisibility != bVisibility && aVisibility != late);
    EXPECT_EQ(aVisibility, a->FindPropertyByName("Visibility"));
    EXPECT_EQ(a->GetProperty(0), mManager.FindKZeqUserProperty("QuaternionInterpolate"));
    EXPECT_EQ(nullptr, mManager.FindKZeqUserProperty("NoSuchProperty"));
    // With a gone, b's entries are the first.
    ASSERT_TRUE(mManager.DestroyKZeqNode(a));
    EXPECT_EQ(bVisibility, mManager.FindKZeqUserProperty("Visibility"));
    EXPECT_EQ(b->FindPropertyByName("AxisLen"), mManager.FindKZeqUserProperty("AxisLen"));
    ASSERT_TRUE(mManager.DestroyKZeqNode(b));
    EXPECT_EQ(late, mManager.FindKZeqUserProperty("Visibility"));
}

// Removing a built-in wrapper unbinds it and takes its property out of the property set; the
// entries after it move up, and user properties added before stay after the built-in ones.
TEST_F(NodeWrapperTest, RemovingABuiltInWrapperKeepsTheOthersInOrder) {
    KZeqNode* node = mManager.CreateKZeqNode("n");
    KZeqNodeProperties& p = *node->GetPropertyHandler();
    KZeqUserProperty* user = mManager.CreateKZeqUserProperty("Weight", "Real", "");
    node->AddProperty(user);
    ASSERT_EQ(kRows + 1, node->GetPropertyCount());
    EXPECT_EQ(user, node->GetProperty(kRows));
    KProperty* fifth = p.GetProperty(4);
    KZeqUserProperty* fourth = node->GetProperty(3);
    node->RemoveProperty(fourth);
    EXPECT_EQ(nullptr, fourth->GetKProperty());
    EXPECT_EQ(kRows, node->GetPropertyCount());
    EXPECT_EQ(kRows - 1 + 1, p.GetPropertyCount());  // the user property's own property joined it
    EXPECT_EQ(fifth, node->GetProperty(3)->GetKProperty());
    EXPECT_EQ(user, node->GetProperty(kRows - 1));
    for (int i = 0; i < kRows - 1; ++i) EXPECT_EQ(p.GetProperty(i), node->GetProperty(i)->GetKProperty()) << i;
    EXPECT_EQ(node->GetProperty(3), node->GetProperty(fifth));
}

// Default values set through the node reach the property and the default take alike whether the
// wrapper of "Lcl Translation" was made or not.
TEST_F(NodeWrapperTest, DefaultsWithOrWithoutAMadeWrapperAgree) {
    KZeqNode* plain = mManager.CreateKZeqNode("plain");
    KZeqNode* wrapped = mManager.CreateKZeqNode("wrapped");
    for (const char* name : {"Lcl Translation", "Lcl Rotation", "Lcl Scaling", "Visibility"})
        ASSERT_NE(nullptr, wrapped->FindPropertyByName(name));
    for (KZeqNode* node : {plain, wrapped}) {
        node->SetDefaultT(KZeqVector4(1.5, -2.25, 3.125, 9));
        node->SetDefaultR(KZeqVector4(10, 20, 30, 0));
        node->SetDefaultS(KZeqVector4(2, 2, 0.5, 0));
        node->SetDefaultVisibility(0.25);
    }
    for (KZeqNode* node : {plain, wrapped}) {
        KZeqVector4 t(0, 0, 0, 7);
        node->GetDefaultT(t);
        EXPECT_EQ(KZeqVector4(1.5, -2.25, 3.125, 7), t);
        EXPECT_EQ(0.25, node->GetDefaultVisibility());
        KZeqTakeNode* take = node->GetDefaultTakeNode();
        EXPECT_EQ(-2.25f, take->GetTranslationY()->GetValue());
        EXPECT_EQ(30.0f, take->GetEulerRotationZ()->GetValue());
        EXPECT_EQ(0.5f, take->GetScaleZ()->GetValue());
        EXPECT_EQ(0.25f, take->GetVisibility()->GetValue());
    }
    // A curve's new default reaches the property with or without a made wrapper.
    plain->GetDefaultTakeNode()->GetTranslationX()->SetValue(4.0f);
    KZeqVector4 t;
    EXPECT_EQ(4.0, plain->GetDefaultT(t)[0]);
}

namespace {

// What a wrapper answers about its property, as text: name, label, type, limits, flags and
// default value read as its type reads it.
std::string Answers(const KZeqUserProperty& wrapper) {
    std::string text = std::string(wrapper.GetName().Buffer()) + "|" + wrapper.GetLabel(true).Buffer() + "|" +
                       std::to_string(wrapper.GetPropertyType()) + "|" + std::to_string(wrapper.GetMinLimit()) + "|" +
                       std::to_string(wrapper.GetMaxLimit()) + "|";
    for (auto flag : {KZeqUserProperty::eANIMATABLE, KZeqUserProperty::eUSER, KZeqUserProperty::eTEMPORARY})
        text += wrapper.GetFlag(flag) ? '1' : '0';
    text += "|";
    switch (wrapper.GetPropertyType()) {
        case KZeqUserProperty::eBOOL: {
            bool v = false;
            wrapper.GetDefaultValue(v);
            return text + (v ? "true" : "false");
        }
        case KZeqUserProperty::eINTEGER: {
            int v = 0;
            wrapper.GetDefaultValue(v);
            return text + std::to_string(v);
        }
        case KZeqUserProperty::eREAL: {
            double v = 0;
            wrapper.GetDefaultValue(v);
            return text + std::to_string(v);
        }
        case KZeqUserProperty::eCOLOR: {
            KZeqColor v(0, 0, 0, 0);
            wrapper.GetDefaultValue(v);
            return text + std::to_string(v.mRed) + "," + std::to_string(v.mGreen) + "," + std::to_string(v.mBlue);
        }
        case KZeqUserProperty::eVECTOR: {
            double x = 0, y = 0, z = 0;
            wrapper.GetDefaultValue(x, y, z);
            return text + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z);
        }
        default: return text;
    }
}

}  // namespace

// Every entry, reached by name on one node and by index on another, answers as a wrapper made
// for its property at once (the way every wrapper was made with its node) answers, values set
// through the node included.
TEST_F(NodeWrapperTest, EntriesAnswerAsWrappersMadeAtOnce) {
    KZeqNode* byName = mManager.CreateKZeqNode("byName");
    KZeqNode* byIndex = mManager.CreateKZeqNode("byIndex");
    for (KZeqNode* node : {byName, byIndex}) {
        node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
        node->SetDefaultS(KZeqVector4(2, 2, 2, 0));
        node->SetDefaultVisibility(0.5);
    }
    int vectors = 0;
    for (int row = 0; row < kRows; ++row) {
        KProperty* property = byIndex->GetPropertyHandler()->GetProperty(row);
        KZeqUserProperty atOnce(mManager, property);
        atOnce.SetPropertyHandler(byIndex->GetPropertyHandler());
        const std::string expected = Answers(atOnce);
        KZeqUserProperty* named = byName->FindPropertyByName(property->GetPropertyName());
        ASSERT_NE(nullptr, named) << row;
        EXPECT_EQ(expected, Answers(*named)) << row;
        EXPECT_EQ(expected, Answers(*byIndex->GetProperty(row))) << row;
        vectors += atOnce.GetPropertyType() == KZeqUserProperty::eVECTOR;
    }
    EXPECT_GE(vectors, 3);  // the transform rows were compared as values, not only as names
    // Written through a wrapper made late, read through one made at once.
    byIndex->FindPropertyByName("Lcl Rotation")->SetDefaultValue(4.0, 5.0, 6.0);
    KZeqUserProperty atOnce(mManager, byIndex->GetPropertyHandler()->FindPropertyByName("Lcl Rotation"));
    double x = 0, y = 0, z = 0;
    atOnce.GetDefaultValue(x, y, z);
    EXPECT_EQ(std::vector<double>({4, 5, 6}), std::vector<double>({x, y, z}));
    EXPECT_EQ(5.0f, byIndex->GetDefaultTakeNode()->GetEulerRotationY()->GetValue());
}
