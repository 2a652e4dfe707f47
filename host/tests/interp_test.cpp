// The script interpreter: syntax, typed results, the built-ins' answers, dialogs and rig fakes,
// with the command texts as the plug-in sends them.
#include "host_test_support.h"

#include <cmath>

#include "tfnanimcurve.h"
#include "tfntransform.h"
#include "tselectionlist.h"

namespace {

// rig { hip (joint) }, a smooth-facet operator N, a material.
class InterpTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        rig = standin::createNode("transform", "rig");
        hip = standin::createNode("joint", "hip", rig);
        standin::createNode("polySmoothFacet", "N");
        standin::createNode("phong", "Default_Material");
    }
    TObject rig, hip;
};

struct TextCase {
    const char* name;
    const char* text;
    const char* result;  // "<failed>" for a failure
};

class Syntax : public InterpTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(Syntax, RunsOrFails) { EXPECT_EQ(run(GetParam().text), GetParam().result); }

const TextCase kSyntax[] = {
    {"LastStatementGivesTheResult", "exists nope; exists getAttr", "1"},
    {"LineBreakSplits", "exists nope\nexists exists", "1"},
    {"CallForm", "setChannelBoxVisible(1); isAttributeEditorVisible", "1"},
    {"QuoteNeedsSeparator", "setAttr \"N.divisions\"2", "<failed>"},
    {"QuoteBeforeSemicolon", "exists \"exists\";", "1"},
    {"UnterminatedQuote", "exists \"exists", "<failed>"},
    {"QuoteInsideWord", "exists ab\"c\"", "<failed>"},
    {"Comments", "// nothing\nexists exists // trailing", "1"},
    {"EmptyText", " ; ;\n", ""},
    {"UnknownCommand", "nope", "<failed>"},
    {"StopsAtFirstFailure", "exists exists; nope; exists exists", "<failed>"},
};
INSTANTIATE_TEST_SUITE_P(Interp, Syntax, ::testing::ValuesIn(kSyntax), CaseName());

TEST_F(InterpTest, FailuresAreNamedAndStopTheText) {
    EXPECT_EQ(run("standin_answer \"a\\\"b\\\\c\"; nope; standin_answer \"never\""), "<failed>");
    EXPECT_TRUE(transcribed("failed: Cannot find procedure \"nope\"."));
    ASSERT_EQ(standin::dialogs().pending(), 1u);  // the first ran, the last did not
    EXPECT_EQ(run("confirmDialog -title \"T\" -message \"m\" -button \"Ok\""), "a\"b\\c");
}

// Typed results: the sentinel -7 stays when the type does not fit or the command fails.
struct TypedCase {
    const char* name;
    const char* text;
    char kind;  // i int, d double, a doubles, s strings
    const char* result;
};

class Typed : public InterpTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(Typed, FitsOrStaysUntouched) {
    const TypedCase& c = GetParam();
    TString text(c.text);
    std::string got;
    bool ok = false;
    if (c.kind == 'i') {
        int v = -7;
        ok = TGlobal::executeCommand(text, v);
        got = std::to_string(v);
    } else if (c.kind == 'd') {
        double v = -7;
        ok = TGlobal::executeCommand(text, v);
        got = tuloFormatDouble(v);
    } else {
        TDoubleArray d(1, -7);
        TStringArray s(1, "-7");
        ok = c.kind == 'a' ? TGlobal::executeCommand(text, d) : TGlobal::executeCommand(text, s);
        for (unsigned i = 0; i < d.length() && c.kind == 'a'; ++i) got += (i ? " " : "") + tuloFormatDouble(d[i]);
        for (unsigned i = 0; i < s.length() && c.kind == 's'; ++i) got += (i ? " " : "") + str(s[i]);
    }
    EXPECT_EQ(got, c.result);
    EXPECT_EQ(ok, got != "-7");
}

const TypedCase kTyped[] = {
    {"IntFromInt", "exists exists", 'i', "1"},
    {"IntFromBool", "getAttr \"|persp.visibility\"", 'i', "1"},
    {"IntRefusesDouble", "jointDisplayScale -q -a", 'i', "-7"},
    {"DoubleFromInt", "getAttr \"N.divisions\"", 'd', "1"},
    {"DoubleFromDouble", "jointDisplayScale -q -a", 'd', "1"},
    {"DoubleRefusesText", "upAxis -q -axis", 'd', "-7"},
    {"DoubleRefusesList", "getAttr |persp.translate", 'd', "-7"},
    {"DoublesFromTriple", "getAttr |persp.translate", 'a', "28 21 28"},
    {"DoublesRefuseText", "namespaceInfo -currentNamespace", 'a', "-7"},
    {"StringsFromNumbers", "getAttr persp.rotateY", 's', "45"},
    {"StringsFromEmptyList", "namespaceInfo -lon", 's', ""},
    {"FailureLeavesStrings", "namespace -set \"Missing\"", 's', "-7"},
};
INSTANTIATE_TEST_SUITE_P(Interp, Typed, ::testing::ValuesIn(kTyped), CaseName());

// Exact answers of the queries and state commands the plug-in sends.
class Answers : public InterpTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(Answers, AreExact) { EXPECT_EQ(run(GetParam().text), GetParam().result); }

const TextCase kAnswers[] = {
    {"JointDisplayScale", "jointDisplayScale -q -a", "1"},
    {"UpAxis", "upAxis -q -axis", "y"},
    {"BatchOffInTheLibrary", "about -b", "0"},
    {"EditorDocked", "optionVar -q aeInMainWindow", "1"},
    {"EditorHidden", "optionVar -iv aeInMainWindow 0;setAttributeEditorVisible 0;isAttributeEditorVisible", "0"},
    {"EditorRestored",
     "setAttributeEditorVisible 0;openAEWindow;refreshAE;optionVar -iv aeInMainWindow 1;setAttributeEditorVisible "
     "1;optionVar -q aeInMainWindow",
     "1"},
    {"ExistsFindsBuiltIns", "exists confirmDialog", "1"},
    {"ExistsWithoutRig", "exists QIRGetCharacterCount", "0"},
    {"RootNamespace", "namespaceInfo -currentNamespace", ":"},
    {"NamespaceUnderCurrent", "namespace -add \"A\"; namespace -set \"A\"; namespace -add \"B\"; namespaceInfo -lon", "A:B"},
    {"NamespaceSetRelativeThenAbsolute",
     "namespace -add \"A\"; namespace -set \"A\"; namespace -add \"B\"; namespace -set \":\"; namespace -set \"A:B\"; "
     "namespace -set \"A\"; namespaceInfo -currentNamespace",
     "A"},
    {"NodesTakeTheCurrentNamespace", "namespace -add \"A\"; namespace -set \"A\"; camera", "A:camera1 A:cameraShape1"},
    {"VisibilityAsInt", "getAttr \"|rig|hip.visibility\"", "1"},
    {"AngleInUIUnits", "getAttr persp.rotateY", "45"},
    {"NoDrivers", "setDrivenKeyframe -q -cd persp.translateX", "No drivers."},
    {"ParentMovesTheNode", "parent \"|rig|hip\" persp; getAttr \"|persp|hip.visibility\"", "1"},
    {"DeleteTemporaryShader", "delete Default_Material; exists Default_Material", "0"},
    {"BakeAndDeleteChannelsRecorded",
     "bakeResults -simulation true -t \"1:24\"\n; delete -channels -unitlessAnimationCurves false -hierarchy 0 "
     "-controlPoints 0 -shape 0",
     ""},
};
INSTANTIATE_TEST_SUITE_P(Interp, Answers, ::testing::ValuesIn(kAnswers), CaseName());

// A scene with Z up answers "z" until the session is reset; other axes are refused.
TEST_F(InterpTest, UpAxisZ) {
    ASSERT_TRUE(standin::setUpAxis("z"));
    EXPECT_EQ(run("upAxis -q -axis"), "z");
    EXPECT_FALSE(standin::setUpAxis("x"));
    EXPECT_EQ(run("upAxis -q -axis"), "z");
    standin::resetSession();
    EXPECT_EQ(run("upAxis -q -axis"), "y");
}

// Commands refused, with the host faults they leave.
struct RefusedCase {
    const char* name;
    const char* text;
    const char* fault;  // "" for none
};

class Refused : public InterpTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(Refused, FailWithFaults) {
    TObject l = standin::createNode("transform", "lockedBox");
    TFnDependencyNode(l).findPlug("translate").setLocked(true);
    EXPECT_EQ(run(GetParam().text), "<failed>");
    if (*GetParam().fault) expectFaults({GetParam().fault});
}

const RefusedCase kRefused[] = {
    {"UnknownFlag", "about -bogus", "unknown flag"},
    {"UnknownDialogFlag", "confirmDialog -title \"T\" -icon \"x\"", "unknown flag"},
    {"MissingObjectIsTheScriptsError", "getAttr ghost.visibility", ""},
    {"MissingAttribute", "getAttr rig.nothing", ""},
    {"LockedCompoundChild", "setAttr lockedBox.translateX 1", ""},
    {"MatrixCountWrong", "setAttr |rig|hip.bindPose -type \"matrix\" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 0", ""},
    {"MatrixOnANumber", "setAttr rig.translateX -type \"matrix\" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1", ""},
    {"InvertedEnabledLimits", "transformLimits -tx 2 -2 -etx 1 1 |rig", ""},
    {"MissingNamespace", "namespace -set \"Nope\"", ""},
    {"NoCameraSelected", "standin_select; cameraMakeNode 2 \"\"", ""},
    {"RigOffIsUnknown", "QIRGetCharacterCount", ""},
    {"FileWithoutTranslator", "file -import \"scene.zeq\"", ""},
    {"WholeNumberBeyondAnyInteger", "optionVar -iv aeInMainWindow 1e49", ""},
    {"WholeNumberNotANumber", "cameraMakeNode nan \"\"", ""},
};
INSTANTIATE_TEST_SUITE_P(Interp, Refused, ::testing::ValuesIn(kRefused), CaseName());

// A fresh scene has the world, the default cameras, the root namespace and 0 to 1 s; units,
// option variables and the dialog queue survive.
TEST_F(InterpTest, NewFileResetsTheSceneOnly) {
    run("namespace -add \"A\"; namespace -set \"A\"; optionVar -iv aeInMainWindow 0");
    standin::setUnits(TDistance::kInches, TAngle::kRadians, TTime::kNTSCFrame);
    TAnimControl::setMaxTime(TTime(5, TTime::kSeconds));
    std::string fresh = (standin::reset(), standin::dump());
    standin::createNode("transform", "box");
    EXPECT_EQ(run("file -f -new"), "");
    EXPECT_EQ(standin::dump(), fresh);
    EXPECT_EQ(run("namespaceInfo -currentNamespace; optionVar -q aeInMainWindow"), "0");
    EXPECT_EQ(TDistance::uiUnit(), TDistance::kInches);
    EXPECT_EQ(run("getAttr persp.translateX"), tuloFormatDouble(28 / 2.54));
}

// The bind-pose write and read as the plug-in builds them: every double survives exactly.
TEST_F(InterpTest, MatrixSurvivesSetAttrAndGetAttr) {
    const double values[16] = {0.1, 1.0 / 3, -2.5e-300, 1e300, 0, 1, M_PI, -0.0, 5e-324, 2, 3, 4, 12.5, -7.25, 1e-7, 1};
    for (const char* plug : {"|rig|hip.bindPose", "dagPose1.worldMatrix[2]"}) {
        if (std::string(plug)[0] == 'd') standin::createNode("dagPose");
        TString set = "setAttr ";
        set += plug;
        set += " -type ";
        set += "\"matrix\" ";
        for (int k = 0; k < 16; ++k) (set += (k ? " " : "")) += values[k];
        ASSERT_TRUE(TGlobal::executeCommand(set)) << plug;
        TDoubleArray got;
        ASSERT_TRUE(TGlobal::executeCommand(TString("getAttr ") + plug, got));
        ASSERT_EQ(got.length(), 16u);
        for (unsigned k = 0; k < 16; ++k) EXPECT_EQ(std::signbit(got[k]), std::signbit(values[k]));
        for (unsigned k = 0; k < 16; ++k) EXPECT_EQ(got[k], values[k]) << plug << " value " << k;
    }
    TFnDependencyNode(hip).findPlug("bindPose").setLocked(true);
    EXPECT_EQ(run("setAttr |rig|hip.bindPose -type \"matrix\" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1"), "<failed>");
}

// The skinned smooth-facet road: read, zero, and the restore text without its blank fails.
TEST_F(InterpTest, DivisionsRestoreNeedsItsBlank) {
    int d = -1;
    ASSERT_TRUE(TGlobal::executeCommand("getAttr \"N.divisions\"", d));
    EXPECT_EQ(d, 1);
    ASSERT_TRUE(TGlobal::executeCommand("setAttr \"N.divisions\" 0"));
    TString restore = "setAttr \"N.divisions\"";
    restore += d;
    EXPECT_FALSE(TGlobal::executeCommand(restore));
    EXPECT_EQ(run("getAttr \"N.divisions\""), "0");
    EXPECT_EQ(run("setAttr \"N.divisions\" 1; getAttr \"N.divisions\""), "1");
}

// The camera command of the import, then the node-making call: selections in the order relied on.
struct CameraCase {
    const char* name;
    int kind;
    const char* selection;
    const char* firstParent;
};

class CameraCommand : public InterpTest, public ::testing::WithParamInterface<CameraCase> {};

TEST_P(CameraCommand, SelectsInOrder) {
    const std::string text =
        "camera -centerOfInterest 5 -focalLength 35 -lensSqueezeRatio 1 -cameraScale 1 -horizontalFilmAperture 1.41732 "
        "-horizontalFilmOffset 0 -verticalFilmAperture 0.94488 -verticalFilmOffset 0 -filmFit Horizontal -overscan 1 "
        "-motionBlur 0 -shutterAngle 144 -nearClipPlane 0.01 -farClipPlane 1000 -orthographic 0 "
        "-orthographicWidth 30; objectMoveCommand; cameraMakeNode " +
        std::to_string(GetParam().kind) + " \"\"";
    ASSERT_TRUE(TGlobal::executeCommand(TString(text), true, false));
    TSelectionList sel;
    TGlobal::getActiveSelectionList(sel);
    std::string names;
    for (unsigned i = 0; i < sel.length(); ++i) {
        TObject o;
        sel.getDependNode(i, o);
        names += (i ? " " : "") + str(TFnDependencyNode(o).name());
    }
    EXPECT_EQ(names, GetParam().selection);
    TObject cam;
    sel.getDependNode(0, cam);
    TFnDagNode fn(cam);
    EXPECT_EQ(str(TFnDependencyNode(fn.parent(0)).name()), GetParam().firstParent);
    EXPECT_TRUE(fn.child(0).hasFn(TFn::kCamera));
    EXPECT_EQ(GetParam().kind > 1, fn.parent(0).hasFn(TFn::kLookAt));
    EXPECT_EQ(run("getAttr cameraShape1.nearClipPlane; getAttr cameraShape1.filmFit"), "1");
}

const CameraCase kCameras[] = {
    {"NoTarget", 1, "camera1", ""},
    {"Aim", 2, "camera1 camera1_aim", "camera1_group"},
    {"AimAndUp", 3, "camera1 camera1_up camera1_aim", "camera1_group"},
};
INSTANTIATE_TEST_SUITE_P(Interp, CameraCommand, ::testing::ValuesIn(kCameras), CaseName());

// Limits arrive in UI units: inches and radians here.
TEST_F(InterpTest, TransformLimitsTakeUIUnits) {
    standin::setUnits(TDistance::kInches, TAngle::kRadians, TTime::kFilm);
    TString cmd = "transformLimits -tx ";
    ((((cmd += -1.0) += " ") += 1.0) += " -etx ") += 1;
    ((((cmd += " ") += 0) += " ") += "|rig|hip");
    ASSERT_TRUE(TGlobal::executeCommand(cmd));
    ASSERT_TRUE(TGlobal::executeCommand("transformLimits -rz 0.5 -0.5 -erz 1 0 |rig|hip"));
    TFnTransform t(hip);
    EXPECT_DOUBLE_EQ(t.limitValue(TFnTransform::kTranslateMinX), -2.54);
    EXPECT_TRUE(t.isLimited(TFnTransform::kTranslateMinX));
    EXPECT_FALSE(t.isLimited(TFnTransform::kTranslateMaxX));
    EXPECT_DOUBLE_EQ(t.limitValue(TFnTransform::kRotateMinZ), 0.5);
    EXPECT_DOUBLE_EQ(t.limitValue(TFnTransform::kRotateMaxZ), -0.5);  // only the minimum is active
    EXPECT_EQ(run("transformLimits -rz 0.5 -0.5 -erz 1 1 |rig|hip"), "<failed>");
    EXPECT_FALSE(t.isLimited(TFnTransform::kRotateMaxZ));
}

// A command changes only the axes it names: the others keep their limits, and a limit never set
// stays unset (the dump shows none).
TEST_F(InterpTest, TransformLimitsLeaveOtherAxesAlone) {
    TFnTransform t(hip);
    t.setLimit(TFnTransform::kScaleMaxY, 4);
    t.enableLimit(TFnTransform::kScaleMaxY, true);
    const std::string before = standin::dump();
    ASSERT_TRUE(TGlobal::executeCommand("transformLimits -ry -30 30 -ery 1 0 |rig|hip"));
    EXPECT_TRUE(t.isLimited(TFnTransform::kScaleMaxY));
    EXPECT_DOUBLE_EQ(t.limitValue(TFnTransform::kScaleMaxY), 4);
    EXPECT_TRUE(t.isLimited(TFnTransform::kRotateMinY));
    const std::string after = standin::dump();
    EXPECT_EQ(after.find("limit 18 "), std::string::npos);
    EXPECT_NE(after.find("limit 14 enabled 1"), std::string::npos);
    EXPECT_NE(after.find("limit 15 enabled 0"), std::string::npos);
    EXPECT_NE(after.find("limit 3 enabled 1 value 4"), std::string::npos);
    EXPECT_NE(before, after);
}

TEST_F(InterpTest, DialogsPopQueuedAnswers) {
    standin::dialogs().push("No", "ZEQ Export Question");
    standin::dialogs().push("Yes", "Other");
    const char* ask = "confirmDialog -title \"ZEQ Export Question\" -message \"line one\\nline two\" -button \"Yes\" "
                      "-button \"No\" -defaultButton \"Yes\" -cancelButton \"No\" -dismissString \"No\"";
    EXPECT_EQ(run(ask), "No");
    EXPECT_EQ(run(ask), "Yes");
    expectFaults({"mistitled dialog"});
    EXPECT_EQ(run(ask), "No");  // the dismiss string
    EXPECT_EQ(run("confirmDialog -title \"ZEQ Export Warning\" -message \"W\" -button \"Ok\""), "dismiss");
    expectFaults({"unanswered dialog", "unanswered dialog"});
    const auto& r = standin::dialogs().records();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].message, "line one\nline two");
    EXPECT_EQ(r[0].buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_TRUE(r[1].answered);
    EXPECT_FALSE(r[3].answered);
    EXPECT_TRUE(transcribed("dialog: title \"ZEQ Export Warning\" message \"W\" buttons [\"Ok\"] answer \"dismiss\" (unanswered)"));
}

// The import's character commands, texts as sent (two blanks before -ci where the plug-in has them).
TEST_F(InterpTest, RigFakesKeepCharacters) {
    standin::rig().enable();
    EXPECT_EQ(run("exists QIRCreateCharacter; QIRGetCharacterCount"), "0");
    EXPECT_EQ(run("QIRCreateCharacter \"Hero\"; QIRGetCharacterName  -ci 0"), "Hero");
    EXPECT_EQ(run("QIRSetCharacterNodeLink -ci 0 -lti 1 -li 0 -nn hip"), "");
    EXPECT_EQ(run("QIRSetCharacterNodeLinkTRS -ci 0 -lti 0 -li 0 -t 1 2 3 -r 1.5707963267948966 0 0 -s 1 1 1"), "");
    EXPECT_EQ(run("QIRCharacterize  -ci 0 -keepTstance; QIRGetCharacterNodeLink -ci 0 -lti 1 -li 0"), "hip");
    TStringArray empty(1, "stale");
    ASSERT_TRUE(TGlobal::executeCommand("QIRGetCharacterNodeLink -ci 0 -lti 12 -li 29", empty));
    EXPECT_EQ(empty.length(), 0u);
    for (const char* bad : {"-ci 1 -lti 1 -li 0", "-ci 0 -lti 13 -li 0", "-ci 0 -lti 5 -li 1", "-ci 0 -lti 0 -li 1",
                            "-ci 0 -lti 1 -li 15", "-ci 0 -lti -1 -li 0"})
        EXPECT_EQ(run(std::string("QIRGetCharacterNodeLink ") + bad), "<failed>") << bad;
    EXPECT_TRUE(standin::rig().characterized(0));
    EXPECT_EQ(standin::rig().offsets(0, 0, 0), (std::vector<double>{1, 2, 3, 1.5707963267948966, 0, 0, 1, 1, 1}));
}

TEST_F(InterpTest, DrivenKeyDriverIsNamed) {
    TPlug driver = TFnDependencyNode(rig).findPlug("translateY");
    ASSERT_FALSE(standin::createDrivenCurve(driver, TFnDependencyNode(hip).findPlug("rotateZ"), 4).isNull());
    EXPECT_EQ(run("setDrivenKeyframe -q -cd hip.rz"), "rig.ty");
    EXPECT_EQ(run("setDrivenKeyframe -q -cd hip.rx"), "No drivers.");
}

}  // namespace
