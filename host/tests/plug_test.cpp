// Attributes, values, elements, locks and plug names.
#include "host_test_support.h"

#include "tfndependencynode.h"
#include "tglobal.h"

namespace {

using PlugTest = HostTest;

TObject makeTag(TStatus* status = nullptr) {
    TFnNumericAttribute fn;
    TObject a = fn.create("quorbelTypeID", "zeqID", TFnNumericData::kShort, 0, status);
    fn.setConnectable(false);
    fn.setStorable(true);
    fn.setHidden(true);
    return a;
}

// The skeleton tag: add, set, read back by both names; a second tag clashes, the same one is reused.
TEST_F(PlugTest, TagRoundTrips) {
    TObject joint = standin::createNode("joint");
    TFnDependencyNode fn(joint);
    EXPECT_TRUE(fn.findPlug("quorbelTypeID").isNull());
    TStatus status;
    TObject tag = makeTag(&status);
    ASSERT_TRUE(status);
    EXPECT_EQ(tag.apiType(), TFn::kNumericAttribute);
    EXPECT_EQ(fn.addAttribute(tag, 2), TStatus::kSuccess);
    EXPECT_EQ(fn.addAttribute(makeTag(), 2), TStatus::kNameInUse);
    EXPECT_EQ(fn.addAttribute(tag, 2), TStatus::kFailure);
    EXPECT_EQ(fn.attributeClass(tag), 2);
    EXPECT_EQ(fn.attributeClass(fn.attribute("translateX")), 1);
    TFnNumericAttribute a(fn.attribute("zeqID"));
    EXPECT_TRUE(a.isHidden() && a.isStorable() && !a.isConnectable());
    EXPECT_EQ(a.unitType(), TFnNumericData::kShort);
    ASSERT_TRUE(fn.findPlug(tag).setValue(3));
    int v = 0;
    ASSERT_TRUE(fn.findPlug("zeqID").getValue(v));
    EXPECT_EQ(v, 3);
    // Not connectable: no connection can be made to it.
    EXPECT_FALSE(standin::connect(fn.findPlug("message"), fn.findPlug("zeqID")));
}

TEST_F(PlugTest, InvalidAttributeNamesAreRefused) {
    TFnDependencyNode fn(standin::createNode("transform"));
    TFnNumericAttribute a;
    for (const char* name : {"a.b", "3d", "x y"}) {
        TObject attr = a.create(name, name, TFnNumericData::kDouble);
        EXPECT_EQ(fn.addAttribute(attr, 2), TStatus::kFailure) << name;
    }
    EXPECT_EQ(fn.addAttribute(a.create("good", "g", TFnNumericData::kDouble), 1), TStatus::kFailure);
}

// Static attributes depth-first, then dynamic ones in addition order, children included.
TEST_F(PlugTest, AttributeOrder) {
    TFnDependencyNode fn(standin::createNode("transform"));
    TFnNumericAttribute a;
    TObject late = a.create("late", "la", TFnNumericData::kDouble);
    TObject tint = a.createColor("tint", "ti");
    fn.addAttribute(tint, 2);
    fn.addAttribute(late, 2);
    const auto listed = [&fn] {
        std::vector<std::string> names;
        for (unsigned i = 0; i < fn.attributeCount(); ++i) names.push_back(str(TFnAttribute(fn.attribute(i)).name()));
        return names;
    };
    std::vector<std::string> names = listed();
    const std::size_t statics = names.size() - 5;
    std::vector<std::string> head(names.begin(), names.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::string>{"message", "visibility", "worldMatrix", "translate", "translateX",
                                              "translateY", "translateZ"}));
    std::vector<std::string> tail(names.end() - 5, names.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"tint", "tintR", "tintG", "tintB", "late"}));
    EXPECT_EQ(fn.attribute(fn.attributeCount()).isNull(), true);
    expectFaults({"index out of range"});
    EXPECT_EQ(TPxTransform::worldMatrix, fn.attribute(2));

    // Removals and additions after a listing show in the next one.
    ASSERT_TRUE(fn.removeAttribute(tint, 2));
    ASSERT_TRUE(fn.addAttribute(a.create("aim", "am", TFnNumericData::k3Double), 2));
    names = listed();
    ASSERT_EQ(names.size(), statics + 5);
    EXPECT_EQ(std::vector<std::string>(names.begin() + static_cast<std::ptrdiff_t>(statics), names.end()),
              (std::vector<std::string>{"late", "aim", "aimX", "aimY", "aimZ"}));
    EXPECT_EQ(fn.attribute(static_cast<unsigned>(statics)), late);
}

struct Conversion {
    const char* name;
    int type;
    double set;
    double asDouble;
    int asInt;
    int asChar;
};

class ConversionTest : public HostTest, public ::testing::WithParamInterface<Conversion> {};

// Stored values are C casts to the attribute's type; reads cast again.
TEST_P(ConversionTest, CastsLikeC) {
    const Conversion& c = GetParam();
    TFnDependencyNode fn(standin::createNode("transform"));
    TFnNumericAttribute a;
    ASSERT_TRUE(fn.addAttribute(a.create("value", "val", c.type), 2));
    TPlug p = fn.findPlug("value");
    ASSERT_TRUE(p.setValue(c.set));
    double d = 0;
    int i = 0;
    char ch = 0;
    ASSERT_TRUE(p.getValue(d) && p.getValue(i) && p.getValue(ch));
    EXPECT_EQ(d, c.asDouble);
    EXPECT_EQ(i, c.asInt);
    EXPECT_EQ(static_cast<int>(ch), c.asChar);
}

INSTANTIATE_TEST_SUITE_P(Types, ConversionTest,
                         ::testing::Values(Conversion{"ByteWraps", 2, 300, 44, 44, 44},
                                           Conversion{"ByteAsChar", 2, 200, 200, 200, -56},
                                           Conversion{"ShortTruncates", 4, -2.9, -2, -2, -2},
                                           Conversion{"BoolFromFraction", 1, 0.25, 1, 1, 1},
                                           Conversion{"FloatRounds", 10, 0.1, 0.10000000149011612, 0, 0},
                                           Conversion{"DoubleSaturatesToInt", 13, 1e300, 1e300, 2147483647, 127}),
                         [](const auto& info) { return std::string(info.param.name); });

// Elements exist once set or connected; physical index = rank in logical order.
TEST_F(PlugTest, SparseElements) {
    TObject pose = standin::createNode("dagPose");
    TObject a = standin::createNode("transform", "a"), b = standin::createNode("transform", "b");
    ASSERT_TRUE(standin::connect(plug("a.message"), plug("dagPose1.members[5]")));
    ASSERT_TRUE(standin::connect(plug("b.message"), plug("dagPose1.members[2]")));
    TPlug members = TFnDependencyNode(pose).findPlug("members");
    TPlug unused = members.elementByLogicalIndex(3);
    EXPECT_EQ(unused.logicalIndex(), 3u);
    EXPECT_EQ(members.numElements(), 2u);
    EXPECT_EQ(members.elementByPhysicalIndex(1).logicalIndex(), 5u);
    TPlugArray src;
    ASSERT_TRUE(members[5].connectedTo(src, true, false));
    EXPECT_EQ(src[0].node(), a);
    EXPECT_EQ(src[0].name(), "a.msg");
    TStatus status;
    EXPECT_TRUE(members.elementByPhysicalIndex(2, &status).isNull());
    EXPECT_FALSE(status);
    (void)src[1];
    expectFaults({"index out of range", "index out of range"});
    // Setting a value makes an element, and a nested one its ancestor too.
    TObject cluster = standin::createNode("cluster");
    ASSERT_TRUE(plug("cluster1.wl[3].w[7]").setValue(0.5));
    EXPECT_EQ(TFnDependencyNode(cluster).findPlug("wl").numElements(), 1u);
    (void)b;
}

// Names, info and partial names; child and unresolved plugs by name.
TEST_F(PlugTest, PlugNames) {
    TObject blend = standin::createNode("blendShape", "blend1");
    TObject pose = standin::createNode("dagPose");
    TObject light = standin::createNode("pointLight");
    TPlug weight = plug("blend1.weight[0]");
    ASSERT_TRUE(standin::setLabel(weight, "Smile"));
    EXPECT_EQ(str(weight.name()), "blend1.Smile");
    EXPECT_EQ(str(plug("blend1.weight[1]").name()), "blend1.w[1]");
    EXPECT_EQ(str(plug("dagPose1.worldMatrix[2]").info()), "dagPose1.worldMatrix[2]");
    TFnDependencyNode lf(light);
    EXPECT_EQ(str(lf.findPlug("colorR").name()), "pointLight1.clr");
    EXPECT_EQ(str(lf.findPlug("colorR").partialName()), "clr");
    EXPECT_EQ(str(lf.findPlug("colorR").partialName(false, false, false, false, false, true)), "colorR");
    TPlug gid = TFnDependencyNode(standin::createNode("skinCluster")).findPlug("groupId");
    EXPECT_EQ(str(gid.name()), "skinCluster1.ip[-1].gi");
    int v;
    EXPECT_FALSE(gid.getValue(v));
    expectFaults({"unresolved plug"});
    EXPECT_TRUE(gid.selectAncestorLogicalIndex(4, TFnDependencyNode(blend).attribute("weight")) == TStatus::kFailure);
    ASSERT_TRUE(gid.selectAncestorLogicalIndex(4));
    EXPECT_TRUE(gid.getValue(v));
    EXPECT_EQ(str(gid.info()), "skinCluster1.input[4].groupId");
    (void)pose;
}

TEST_F(PlugTest, LocksThroughCompoundAncestors) {
    standin::createNode("transform", "box");
    TPlug translate = plug("box.translate"), tx = plug("box.translateX");
    ASSERT_TRUE(translate.setLocked(true));
    EXPECT_TRUE(tx.isLocked());
    EXPECT_FALSE(tx.setValue(1.0));
    ASSERT_TRUE(tx.setLocked(false));  // only its own flag
    EXPECT_TRUE(tx.isLocked());
    ASSERT_TRUE(translate.setLocked(false));
    EXPECT_TRUE(tx.setValue(1.0));
}

// One source per destination; a destination reads its source, also through a compound.
TEST_F(PlugTest, DestinationsReadTheirSource) {
    standin::createNode("transform", "a");
    standin::createNode("transform", "b");
    standin::createNode("transform", "c");
    ASSERT_TRUE(plug("a.translateX").setValue(2.5));
    ASSERT_TRUE(standin::connect(plug("a.translateX"), plug("b.translateY")));
    EXPECT_FALSE(standin::connect(plug("c.translateX"), plug("b.translateY")));
    ASSERT_TRUE(standin::connect(plug("a.translate"), plug("c.translate")));
    double v = 0;
    ASSERT_TRUE(plug("b.translateY").getValue(v));
    EXPECT_EQ(v, 2.5);
    ASSERT_TRUE(plug("c.translateX").getValue(v));
    EXPECT_EQ(v, 2.5);
    ASSERT_TRUE(plug("b.translateY").setValue(7.0));  // kept, but the source still wins
    ASSERT_TRUE(plug("b.translateY").getValue(v));
    EXPECT_EQ(v, 2.5);
}

TEST_F(PlugTest, DeadNodesAndUnattachedSetsAreFaults) {
    TObject box = standin::createNode("transform", "box");
    TFnDependencyNode fn(box);
    TPlug p = fn.findPlug("translateX");
    ASSERT_TRUE(TGlobal::deleteNode(box));
    TStatus status;
    fn.name(&status);
    EXPECT_FALSE(status);
    double v;
    EXPECT_FALSE(p.getValue(v));
    TFnDependencyNode none;
    none.name(&status);
    EXPECT_FALSE(TFnDependencyNode(box, &status).object() == box);
    expectFaults({"dead node", "dead node", "unattached function set", "dead node"});
}

}  // namespace

namespace {

// A reset kills every handle; removing an attribute drops its values and connections.
TEST_F(PlugTest, ResetAndRemovalEndWhatTheyOwned) {
    TObject a = standin::createNode("transform", "a"), b = standin::createNode("transform", "b");
    TFnDependencyNode fn(a);
    TFnNumericAttribute na;
    TObject extra = na.create("extra", "ex", TFnNumericData::kDouble, 2);
    ASSERT_TRUE(fn.addAttribute(extra, 2));
    ASSERT_TRUE(standin::connect(plug("a.extra"), plug("b.translateX")));
    EXPECT_FALSE(fn.removeAttribute(fn.attribute("translateX"), 2));
    ASSERT_TRUE(fn.removeAttribute(extra, 2));
    EXPECT_FALSE(plug("b.translateX").isConnected());
    EXPECT_TRUE(fn.findPlug("extra").isNull());
    ASSERT_TRUE(TFnDependencyNode(b).addAttribute(extra, 2));  // unattached again, so reusable
    standin::reset();
    TStatus status;
    TFnDependencyNode dead(a, &status);
    EXPECT_FALSE(status);
    EXPECT_TRUE(TFnAttribute(extra).object().isNull());
    expectFaults({"dead node"});
}

}  // namespace
