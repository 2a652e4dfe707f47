// The call sequences the plug-in makes, written the way it calls the host: they must compile
// against this API and give the results the plug-in relies on.
#include "host_test_support.h"

#include <cmath>

#include "tulo.h"

namespace {

using UsageTest = HostTest;

// Rotate axis written in two passes (zeros as int, then radians) and read back in degrees.
TEST_F(UsageTest, RotateAxisTriples) {
    TFnTransform t(standin::createNode("joint", "j"));
    const char* names[] = {"rotateAxisX", "rotateAxisY", "rotateAxisZ"};
    double degrees[] = {90, 0, 0};
    standin::plug("j.rotateAxisY").setValue(1.0);
    for (const char* n : names) t.findPlug(n).setValue(0);
    for (int i = 0; i < 3; ++i) t.findPlug(names[i]).setValue(degrees[i] * 0.017453292519943295);
    TPoint p = TPoint::origin;
    for (int i = 0; i < 3; ++i) t.findPlug(names[i]).getValue(p[static_cast<unsigned>(i)], TDGContext::fsNormal);
    p = p * 57.29577951308232;
    EXPECT_TRUE(p.isEquivalent(TPoint(90, 0, 0), 1e-12));
    TStatus status;
    TFnTransform plain(standin::createNode("transform"));
    EXPECT_TRUE(plain.findPlug("jointOrientX", &status).isNull());
    EXPECT_FALSE(status);
}

// A channel is animated when a curve with keys drives it; an empty curve does not count.
TEST_F(UsageTest, AnimatedChannels) {
    TFnTransform t(standin::createNode("transform", "box"));
    auto animated = [&] {
        for (const char* n : {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ", "scaleX",
                              "scaleY", "scaleZ"}) {
            TStatus status;
            TPlug p = t.findPlug(n, &status);
            if (!status) continue;
            TFnAnimCurve c(p, &status);
            if (status && c.numKeys() != 0) return true;
        }
        return false;
    };
    TFnAnimCurve fn;
    fn.create(t.findPlug("translateX"));
    EXPECT_FALSE(animated());
    fn.create(t.findPlug("scaleZ"));
    fn.addKey(TTime(1, TTime::kFilm), 2.0);
    EXPECT_TRUE(animated());
    // User properties count only with class 2 and type 548.
    TFnNumericAttribute na;
    t.addAttribute(na.create("weightiness", "wt", TFnNumericData::kDouble), 2);
    TFnUnitAttribute ua;
    t.addAttribute(ua.create("spin", "sp2", TFnUnitAttribute::kAngle, 0), 2);
    unsigned counted = 0;
    for (unsigned i = 0; i < t.attributeCount(); ++i) {
        TObject a = t.attribute(i);
        counted += t.attributeClass(a) == 2 && a.apiType() == 548;
    }
    EXPECT_EQ(counted, 1u);
}

// The bind-pose search: the lowest "members" element fed by the node, by logical index.
TEST_F(UsageTest, DagPoseMemberLookup) {
    TObject j = standin::createNode("joint", "j");
    standin::createNode("joint", "k");
    standin::createNode("dagPose", "bindPose1");
    standin::connect(standin::plug("k.message"), standin::plug("bindPose1.members[0]"));
    standin::connect(standin::plug("j.message"), standin::plug("bindPose1.members[5]"));
    standin::connect(standin::plug("j.message"), standin::plug("bindPose1.members[2]"));
    standin::plug("bindPose1.bindPose").setValue(true);
    TFnDependencyNode pose(standin::find("bindPose1"));
    bool flag = false;
    pose.findPlug("bindPose").getValue(flag, TDGContext::fsNormal);
    ASSERT_TRUE(flag);
    TPlug members = pose.findPlug("members");
    int found = -1;
    for (unsigned i = 0; i < 8 && found < 0; ++i) {  // over logical indices that may exist
        TPlugArray src;
        if (members.elementByLogicalIndex(i).connectedTo(src, true, false))
            for (unsigned k = 0; k < src.length(); ++k)
                if (src[k].node() == j) found = static_cast<int>(i);
    }
    EXPECT_EQ(found, 2);
    // Logical 2 is physical 1; using it as physical names another element.
    EXPECT_EQ(pose.findPlug("worldMatrix").numElements(), 0u);
    TStatus status;
    pose.findPlug("worldMatrix").elementByPhysicalIndex(static_cast<unsigned>(found), &status);
    EXPECT_FALSE(status);
    expectFaults({"index out of range"});
}

// Unique plug names: a DAG node's full path with the long partial name, else the plug's info.
TEST_F(UsageTest, UniquePlugNamesAndMatrices) {
    TObject grp = standin::createNode("transform", "rig");
    TObject j = standin::createNode("joint", "hip", grp);
    TPlug bind = TFnDependencyNode(j).findPlug("bindPose");
    TDagPath path;
    ASSERT_TRUE(TDagPath::getAPathTo(bind.node(), path));
    TString name = path.fullPathName();
    name += ".";
    name += bind.partialName(false, false, false, false, false, true);
    EXPECT_EQ(str(name), "|rig|hip.bindPose");
    standin::createNode("dagPose");
    TPlug wm = standin::plug("dagPose1.worldMatrix[2]");
    EXPECT_FALSE(TDagPath::getAPathTo(wm.node(), path));
    EXPECT_EQ(str(wm.info()), "dagPose1.worldMatrix[2]");
    TMatrix m;
    m[3][0] = 4;
    ASSERT_TRUE(bind.setValue(m));
    TObject data;
    ASSERT_TRUE(bind.getValue(data, TDGContext::fsNormal));
    EXPECT_EQ(TFnMatrixData(data).matrix()[3][0], 4);
}

// The import's empty-curve road: keep the last key, move it to 0 and give it the default.
TEST_F(UsageTest, EmptyCurveKeepsOneKey) {
    standin::createNode("transform", "box");
    TPlug p = standin::plug("box.rotateY");
    TStatus attach;
    TFnAnimCurve fn(p, &attach);
    ASSERT_EQ(attach.statusCode(), TStatus::kNotFound);
    TStatus status;
    fn.create(p, TFnAnimCurve::kAnimCurveTA, nullptr, &status);
    ASSERT_TRUE(status);
    for (int i = 0; i < 3; ++i) fn.addKey(TTime(i, TTime::kSeconds), i, TFnAnimCurve::kTangentSmooth, 8, nullptr, &status);
    for (unsigned n = fn.numKeys(); n > 1; --n) fn.remove(0);
    fn.setTime(0, TTime(0, TTime::kSeconds));
    fn.setValue(0, 45 / 57.29577951308232);
    ASSERT_EQ(fn.numKeys(), 1u);
    double v = 0;
    p.getValue(v);
    EXPECT_NEAR(v * 57.29577951308232, 45, 1e-12);
    EXPECT_EQ(fn.inTangentType(0), TFnAnimCurve::kTangentSmooth);
}

// Global transforms: a quarter turn about X in transform space applied before the rotation.
TEST_F(UsageTest, LightForwardAxisCorrection) {
    TFnTransform t(standin::createNode("transform", "lamp"));
    standin::createNode("spotLight", "", t.object());
    TDagPath path = t.dagPath();
    ASSERT_TRUE(path.hasFn(304) && !path.hasFn(302));
    double r[3] = {0, 0, M_PI / 2};
    t.setRotation(r, TTransformationMatrix::kXYZ);
    TTransformationMatrix l = t.transformation();
    l.rotateBy(TEulerRotation(M_PI / 2, 0, 0, TEulerRotation::kXYZ), TSpace::kTransform, nullptr);
    TMatrix m = l.asMatrix();
    // -Z (the light's axis) turns to +Y under the quarter turn about X, then to -X about Z.
    EXPECT_TRUE((TVector(0, 0, -1) * m).isEquivalent(TVector(-1, 0, 0), 1e-12));
}

// User attributes read as the export reads them: single values and three-value compounds through
// TFnNumericAttribute, the default from the plug, else from the attribute when the plug is missing.
TEST_F(UsageTest, UserAttributeDefaults) {
    ASSERT_TRUE(standin::buildScene("rich"));
    TFnTransform t(standin::find("dancer"));
    std::string got;
    for (unsigned i = 0; i < t.attributeCount(); ++i) {
        TObject a = t.attribute(i);
        int api = a.apiType();
        if (t.attributeClass(a) != 2 || (api != 548 && api != 721 && api != 722)) continue;
        TStatus status;
        TFnNumericAttribute na(a, &status);
        ASSERT_TRUE(status) << str(na.name());
        TObject parent = na.parent();
        if (api == 548 && (parent.apiType() == 721 || parent.apiType() == 722)) continue;
        TPlug plug = t.findPlug(na.shortName(), &status);
        ASSERT_TRUE(status);
        got += str(na.shortName()) + ":" + std::to_string(na.unitType()) + (na.isUsedAsColor() ? "c" : "");
        if (api == 548 && na.unitType() == TFnNumericData::kByte) {
            char c = 0;
            plug.getValue(c);
            got += "=" + std::to_string(c) + " ";
            continue;
        }
        for (unsigned k = 0; k < (api == 548 ? 1u : 3u); ++k) {
            double v = 0;
            ASSERT_TRUE((api == 548 ? plug : plug.child(k)).getValue(v));
            got += (k ? "," : "=") + tuloFormatDouble(v);
        }
        got += " ";
    }
    EXPECT_EQ(got, "hero:1=1 cc:7=3 hv:13=2.5 lv:2=-56 ao:15=1,2,3 ti:12c=0.25,0,0 ");
    expectFaults({});
}

// The three-value forms of getDefault fit compounds of their width only; a form that does not fit
// fails and leaves its outputs alone. Static compounds attach too.
TEST_F(UsageTest, NumericAttributeForms) {
    TFnNumericAttribute na;
    TObject vec = na.create("aim", "am", TFnNumericData::k3Double);
    na.setDefault(1, 2, 3);
    TObject single = na.create("gain", "gn", TFnNumericData::kFloat, 1.5);
    double a = -1, b = -1, c = -1;
    float fa = -1, fb = -1, fc = -1;
    ASSERT_TRUE(na.setObject(vec));  // on no node: no plug, so the export takes the defaults
    EXPECT_TRUE(na.getDefault(a, b, c));
    EXPECT_EQ(std::vector<double>({a, b, c}), std::vector<double>({1, 2, 3}));
    double d = -1;
    EXPECT_EQ(na.getDefault(d).statusCode(), TStatus::kFailure);
    EXPECT_EQ(na.getDefault(fa, fb, fc).statusCode(), TStatus::kFailure);
    EXPECT_EQ(std::vector<float>({fa, fb, fc, static_cast<float>(d)}), std::vector<float>(4, -1));
    ASSERT_TRUE(na.setObject(single));
    a = b = c = -1;
    EXPECT_EQ(na.getDefault(a, b, c).statusCode(), TStatus::kFailure);
    EXPECT_EQ(a + b + c, -3);
    bool on = false;
    char ch = 0;
    short sh = 0;
    int i = 0;
    float f = 0;
    EXPECT_TRUE(na.getDefault(on) && na.getDefault(ch) && na.getDefault(sh) && na.getDefault(i) && na.getDefault(f));
    EXPECT_TRUE(on && ch == 1 && sh == 1 && i == 1 && f == 1.5f);

    TFnDependencyNode shader(standin::createNode("lambert", "paint"));
    TFnTransform box(standin::createNode("transform", "box"));
    TStatus status;
    TFnNumericAttribute color(shader.attribute("color"), &status);
    ASSERT_TRUE(status);
    EXPECT_EQ(color.unitType(), TFnNumericData::k3Float);
    EXPECT_TRUE(color.isUsedAsColor() && color.getDefault(fa, fb, fc));
    EXPECT_EQ(fa + fb + fc, 1.5f);
    for (const char* name : {"translate", "rotate", "scale"}) {
        TFnNumericAttribute triple(box.attribute(name), &status);
        EXPECT_TRUE(status) << name;
        EXPECT_EQ(triple.unitType(), TFnNumericData::k3Double);
        EXPECT_FALSE(triple.isUsedAsColor());
    }
    TFnNumericAttribute distance(box.attribute("translateX"), &status);  // a unit attribute
    EXPECT_FALSE(status);
}

}  // namespace
