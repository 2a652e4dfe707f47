#ifndef ZEQ_SCENE_TESTS_SCENE_TEST_SUPPORT_H
#define ZEQ_SCENE_TESTS_SCENE_TEST_SUPPORT_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kproperty.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzeqtakenodecontainer.h"
#include "scene/kzequserproperty.h"

namespace scenetest {

using namespace zeqsdk_400;

inline KTime Sec(double seconds) {
    KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

inline void Key(KFCurve* curve, double seconds, float value) {
    KFCurveKey key{};
    key.Set(KTime(0), value, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
    curve->KeyAdd(Sec(seconds), key);
}

// The curve at a path of names below parent, nodes made where missing; the
// last node gets the data type when given.
inline KFCurve* MakePath(KFCurveNode* parent, std::vector<const char*> names, KDataType* type = nullptr) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        KFCurveNode* next = i + 1 == names.size() && type ? KFCurveNodeCreate(names[i], type) : nullptr;
        if (next) parent->Add(next);
        parent = next ? next : parent->FindOrCreate(names[i], false);
    }
    if (!parent->FCurveGet()) parent->FCurveSet(KFCurveCreate(), true);
    return parent->FCurveGet();
}

inline KFCurve* CurveAt(KFCurveNode* root, const char* path) {
    KFCurveNode* node = root->FindRecursive(path);
    return node ? node->FCurveGet() : nullptr;
}

// A property's value as doubles, one per member; none for a missing property.
inline std::vector<double> PropertyValues(KProperty* property) {
    double values[kPropertyMaxMembers] = {};
    const int count = property ? property->GetDataAsDoubles(values, kPropertyMaxMembers) : 0;
    return std::vector<double>(values, values + count);
}

// Two curve-node trees hold the same nodes, flags, curves and keys; path names
// the place of a difference.
inline void ExpectSameTree(KFCurveNode* a, KFCurveNode* b, const std::string& path) {
    ASSERT_TRUE(a && b) << path;
    EXPECT_STREQ(a->GetName(), b->GetName()) << path;
    EXPECT_STREQ(a->GetTimeWarpName(), b->GetTimeWarpName()) << path;
    EXPECT_EQ(a->GetDataType(), b->GetDataType()) << path;
    EXPECT_EQ(a->GetLayerType(), b->GetLayerType()) << path;
    EXPECT_EQ(a->GetLayerID(), b->GetLayerID()) << path;
    EXPECT_EQ(a->GetFlags(), b->GetFlags()) << path;
    ASSERT_EQ(a->GetCount(), b->GetCount()) << path;
    ASSERT_EQ(a->FCurveGet() != nullptr, b->FCurveGet() != nullptr) << path;
    if (KFCurve* ca = a->FCurveGet()) {
        KFCurve* cb = b->FCurveGet();
        EXPECT_EQ(ca->GetValue(), cb->GetValue()) << path;
        ASSERT_EQ(ca->KeyGetCount(), cb->KeyGetCount()) << path;
        for (int k = 0; k < ca->KeyGetCount(); ++k)
            EXPECT_EQ(ca->KeyGetPtr(k)->GetValue(), cb->KeyGetPtr(k)->GetValue()) << path << " key " << k;
        EXPECT_EQ(std::vector<float>(ca->GetColor(), ca->GetColor() + 3),
                  std::vector<float>(cb->GetColor(), cb->GetColor() + 3))
            << path;
        EXPECT_EQ(ca->GetPreExtrapolation(), cb->GetPreExtrapolation()) << path;
        EXPECT_EQ(ca->GetPostExtrapolation(), cb->GetPostExtrapolation()) << path;
    }
    for (int i = 0; i < a->GetCount(); ++i) ExpectSameTree(a->Get(i), b->Get(i), path + "/" + a->Get(i)->GetName());
}

// An animatable user property added to an object of any kind: its property
// handler makes the property behind it, every take (one made later too)
// holds its channel, a new default reaches the current and the default take,
// publishing a second time wraps nothing more, and removing the property
// takes it and its channel away. T is a take-node container with its own
// PublishProperties.
template <class T>
void ExpectUserPropertyHooks(KZeqSdkManager& manager, T& object) {
    KZeqUserProperty* user = manager.CreateKZeqUserProperty("Speed", "Real", "Speed");
    user->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    object.AddProperty(user);
    KObject* handler = object.GetPropertyHandler();
    ASSERT_TRUE(handler && user->GetKProperty() && handler->FindPropertyByName("Speed") == user->GetKProperty());
    EXPECT_TRUE(user->GetKProperty()->IsAnimatable());
    KArrayTemplate<KProperty*> listed;
    object.FillPropertyList(&listed);
    EXPECT_TRUE(listed.GetCount() == handler->GetPropertyCount() && listed.Find(user->GetKProperty()) >= 0);
    object.PublishProperties();
    const int published = object.GetPropertyCount();
    object.PublishProperties();
    EXPECT_EQ(published, object.GetPropertyCount());
    ASSERT_TRUE(object.CreateTakeNode("Later") && object.SetCurrentTakeNode("Later"));
    for (int t = 0; t < object.GetTakeNodeCount(); ++t)
        EXPECT_TRUE(CurveAt(object.GetTakeNode(t)->GetKFCurveNode(), "Speed")) << object.GetTakeNodeName(t);
    user->SetDefaultValue(4.0);
    EXPECT_EQ(4.0f, CurveAt(object.GetDefaultTakeNode()->GetKFCurveNode(), "Speed")->GetValue());
    EXPECT_EQ(4.0f, CurveAt(object.GetCurrentTakeNode()->GetKFCurveNode(), "Speed")->GetValue());
    object.RemoveProperty(user);
    EXPECT_TRUE(!handler->FindPropertyByName("Speed") && !user->GetKProperty());
    EXPECT_FALSE(CurveAt(object.GetDefaultTakeNode()->GetKFCurveNode(), "Speed"));
}

}  // namespace scenetest

#endif
