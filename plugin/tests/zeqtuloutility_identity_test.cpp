// The plug-in's tag on host nodes, the bridge-node search, the unsigned comparison and the unit
// ratios.
#include "zeqtulo_test_support.h"

#include <cstdlib>

#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulonodepathindex.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtuloutility.h"
#include "tfnattribute.h"

namespace {

using IdentityTest = HostTest;

TEST_F(IdentityTest, TagIsAddedOnceThenOnlySet) {
    TObject joint = standin::createNode("joint", "hip");
    EXPECT_EQ(FMGetQuorbelID(joint), 0);
    FMSetQuorbelID(joint, 3);
    TFnDependencyNode fn(joint);
    const unsigned count = fn.attributeCount();
    FMSetQuorbelID(joint, 7);
    EXPECT_EQ(fn.attributeCount(), count);
    EXPECT_EQ(FMGetQuorbelID(joint), 7);
    TObject tag = fn.attribute("zeqID");
    TFnNumericAttribute attribute(tag);
    EXPECT_EQ(attribute.unitType(), TFnNumericData::kShort);
    EXPECT_STREQ(attribute.name().asChar(), "quorbelTypeID");
    EXPECT_TRUE(attribute.isHidden() && attribute.isStorable() && !attribute.isConnectable());
    EXPECT_EQ(fn.attributeClass(tag), 2);
    short stored = -1;
    EXPECT_TRUE(attribute.getDefault(stored) && stored == 0);
    EXPECT_FALSE(transcribed("FMSetQuorbelID"));  // nothing failed
    // Known by its long name; a user's attribute of the tag's short name is not the tag.
    EXPECT_TRUE(FMIsQuorbelTag(tag));
    TFnNumericAttribute user;
    TObject other = standin::createNode("transform", "other");
    TFnDependencyNode(other).addAttribute(user.create("mine", "zeqID", TFnNumericData::kInt, 0), 2);
    EXPECT_FALSE(FMIsQuorbelTag(TFnDependencyNode(other).attribute("zeqID")));
    EXPECT_FALSE(FMIsQuorbelTag(TObject()));
}

TEST_F(IdentityTest, UnreadableOrMissingTagReadsZero) {
    TObject other = standin::createNode("transform", "other");
    TFnDependencyNode fn(other);
    TFnTypedAttribute text;
    fn.addAttribute(text.createString("quorbelTypeID", "zeqID"), 2);  // a tag the host cannot read as a number
    fn.findPlug("zeqID").setValue("x");
    EXPECT_EQ(FMGetQuorbelID(other), 0);
    TObject none;
    EXPECT_EQ(FMGetQuorbelID(none), 0);
    FMSetQuorbelID(none, 2);  // printed, no host fault
    EXPECT_TRUE(transcribed("FMSetQuorbelID : find Dependency node of object"));
}

// Root first; among children the later one wins; a node without a path still leads to its children.
TEST_F(IdentityTest, BridgeNodeOfAPath) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    TDagPath a = TDagPath::getAPathTo(standin::createNode("transform", "a"));
    TDagPath b = TDagPath::getAPathTo(standin::createNode("transform", "b"));
    ZeqTuloNode* root = manager.CreateZeqTuloNode("root", nullptr);
    ZeqTuloNode* first = manager.CreateZeqTuloNode("first", &a);
    ZeqTuloNode* second = manager.CreateZeqTuloNode("second", &a);
    ZeqTuloNode* deep = manager.CreateZeqTuloNode("deep", &b);
    root->AddChild(first);
    root->AddChild(second);
    first->AddChild(deep);
    EXPECT_EQ(GetZeqNodeFromDagPath(root, &a), second);
    EXPECT_EQ(GetZeqNodeFromDagPath(root, &b), deep);
    EXPECT_EQ(GetZeqNodeFromDagPath(first, &a), first);
    TDagPath c = TDagPath::getAPathTo(standin::createNode("transform", "c"));
    EXPECT_EQ(GetZeqNodeFromDagPath(root, &c), nullptr);
    EXPECT_EQ(GetZeqNodeFromDagPath(nullptr, &a), nullptr);
    // The index answers alike, for every path and from every root.
    for (ZeqTuloNode* from : {root, first, second, deep}) {
        ZeqTuloNodePathIndex index(from);
        for (const TDagPath* path : {&a, &b, &c}) EXPECT_EQ(index.Find(path), GetZeqNodeFromDagPath(from, path));
    }
    TDagPath gone = TDagPath::getAPathTo(standin::createNode("transform", "gone"));
    deep->SetDagPath(&gone);
    ZeqTuloNodePathIndex index(root);
    TGlobal::deleteNode(gone.node());
    EXPECT_EQ(index.Find(&gone), deep);  // no name any more: searched the long way
}

TEST(IdentityCompare, UnsignedOrder) {
    int values[] = {-1, 0, 5};
    std::qsort(values, 3, sizeof(int), ArrayTemplateCompareFctU32);
    EXPECT_EQ(std::vector<int>(values, values + 3), std::vector<int>({0, 5, -1}));
    int key = -1;
    EXPECT_EQ(std::bsearch(&key, values, 3, sizeof(int), ArrayTemplateCompareFctU32), &values[2]);
}

TEST_F(IdentityTest, UnitRatios) {
    const double distance[] = {2.54, 30.48, 91.44000000000001, 160934.40000000002, 0.1, 1, 100000, 100};
    for (int code = 1; code <= 8; ++code) {
        ASSERT_TRUE(standin::setUnits(code, TAngle::kDegrees, TTime::kFilm));
        EXPECT_EQ(ZeqTuloUtility::DistanceUnitRatio(), distance[code - 1]) << code;
    }
    const std::pair<int, double> time[] = {{1, 1.0 / 3600}, {2, 1.0 / 60}, {3, 1}, {4, 1000}, {5, 15}, {6, 24},
                                           {7, 30},        {8, 30},       {9, 48}, {10, 50},  {11, 60}, {12, 1}};
    for (auto t : time) {
        ASSERT_TRUE(standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, t.first));
        EXPECT_EQ(ZeqTuloUtility::TimeUnitRatio(), t.second) << t.first;
    }
}

}  // namespace
