// The name checks of an export: duplicate node names (an error), namespaces in material and
// texture names and namespaces shared by top-level nodes (warnings); the renderer's attribute test
// and the argument parser.
#include "zeqtuloexport_test_support.h"

#include <sstream>
#include <vector>

#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodefinder.h"
#include "tfnattribute.h"
#include "tplugin.h"

using namespace zeqsdk_400;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class NamesTest : public ExportTest {
protected:
    // The log as written, and the first dialog's message.
    std::string WrittenLog() {
        mExporter.mLog.reset();
        return Log();
    }
    ExportProbe mExporter;
};

// 45 nodes of one name: the log and the dialog list the same 40 paths (the first 40 found, last
// first), then "   ..."; the check fails.
TEST_F(NamesTest, FortyFiveDuplicates) {
    for (int i = 0; i < 45; ++i) {
        TDagPath path = TDagPath::getAPathTo(standin::createNode("transform", "d" + std::to_string(i)));
        mExporter.mRootNode->AddChild(mExporter.mSdkManager.CreateZeqTuloNode("dup", &path));
    }
    Params()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ Export Error");
    mExporter.OpenLog();
    EXPECT_FALSE(mExporter.CheckDuplicateName(mExporter.mRootNode));

    KZeqNodeFinderDuplicateName finder(nullptr);
    finder.SetState(KZeqNodeFinderDuplicateName::eNODE, true);
    finder.SetState(KZeqNodeFinderDuplicateName::eMATERIAL, false);
    finder.SetState(KZeqNodeFinderDuplicateName::eTEXTURE, false);
    KArrayTemplate<KZeqNode*>& found = finder.Apply(*mExporter.mRootNode);
    ASSERT_GE(found.GetCount(), 41);
    const std::vector<std::string> log = Lines(WrittenLog());
    auto first = std::find(log.begin(), log.end(),
                           "\tZEQ Export Error: Unable to export ZEQ project because these models share same name : ");
    ASSERT_NE(first, log.end());
    std::string expected;
    for (int i = 39; i >= 0; --i) {
        const KString path = ZeqTuloUtility::MakeReadablePath(static_cast<ZeqTuloNode*>(found[i])->GetDagPath());
        ++first;
        ASSERT_NE(first, log.end());
        EXPECT_EQ(*first, std::string("\t") + path.Buffer());
        expected += std::string("    ") + path.Buffer() + "\n";
    }
    EXPECT_EQ(*++first, "\t   ...");
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_EQ(standin::dialogs().records()[0].message,
              "Unable to export ZEQ project because these models share same name : \n\n" + expected + "   ...\n");
}

TEST_F(NamesTest, UniqueNamesPass) {
    mExporter.mRootNode->AddChild(mExporter.mSdkManager.CreateZeqTuloNode("one", nullptr));
    mExporter.mRootNode->AddChild(mExporter.mSdkManager.CreateZeqTuloNode("two", nullptr));
    EXPECT_TRUE(mExporter.CheckDuplicateName(mExporter.mRootNode));
}

// A ":" after the prefix marks a namespace. With 46 faulty names the log lists all of them and
// the dialog the last 40 and "   ...".
TEST_F(NamesTest, NamespacesInMaterialsAndTextures) {
    mExporter.mSdkManager.CreateKZeqMaterial("skin");
    for (int i = 0; i < 44; ++i) mExporter.mSdkManager.CreateKZeqMaterial(("char1:m" + std::to_string(i)).c_str());
    mExporter.mSdkManager.CreateKZeqTexture("char2:wood");
    mExporter.mSdkManager.CreateKZeqTexture("bare:bark");
    Params()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    mExporter.OpenLog();
    WarnForNamespacesInMaterialsAndTextures(mExporter.mLog.get(), mExporter.mSdkManager);
    const std::string log = WrittenLog();
    EXPECT_NE(log.find("\tZEQ Export Warning: KINEMORPH does not handle namespaces in materials/textures.\n"),
              std::string::npos);
    EXPECT_EQ(log.find("Material::skin"), std::string::npos);
    EXPECT_NE(log.find("\tMaterial::char1:m0\n"), std::string::npos);
    EXPECT_NE(log.find("\tTexture::char2:wood\n"), std::string::npos);
    EXPECT_NE(log.find("\tTexture::bare:bark\n\t\n"), std::string::npos);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    const std::string message = standin::dialogs().records()[0].message;
    EXPECT_EQ(message.find("Material::char1:m5\n"), std::string::npos) << "the first six are left out";
    EXPECT_NE(message.find("    Material::char1:m6\n"), std::string::npos);
    EXPECT_NE(message.find("    Texture::bare:bark\n   ...\n"), std::string::npos) << message;
}

TEST_F(NamesTest, SharedNamespaceOfTopNodes) {
    ZeqTuloNode* a = mExporter.mSdkManager.CreateZeqTuloNode("a", nullptr);
    ZeqTuloNode* b = mExporter.mSdkManager.CreateZeqTuloNode("b", nullptr);
    ZeqTuloNode* c = mExporter.mSdkManager.CreateZeqTuloNode("c", nullptr);
    for (ZeqTuloNode* n : {a, b, c}) mExporter.mRootNode->AddChild(n);
    mExporter.OpenLog();
    WarnForNamespacesInFirstChildren(mExporter.mLog.get(), mExporter.mSdkManager, mExporter.mRootNode);
    EXPECT_EQ(WrittenLog(), "") << "empty namespaces are no namespaces";
    a->mNamespace = "rig";
    c->mNamespace = "rig";
    mExporter.OpenLog();
    WarnForNamespacesInFirstChildren(mExporter.mLog.get(), mExporter.mSdkManager, mExporter.mRootNode);
    EXPECT_NE(WrittenLog().find("\tZEQ Export Warning: KINEMORPH does not handle shared namespaces in root nodes.\n\tThe "
                                "scene will be exported anyway."),
              std::string::npos);
}

struct RendererCase {
    const char* name;
    const char* attribute;
    bool renderer;
};
class RendererAttribute : public HostTest, public ::testing::WithParamInterface<RendererCase> {};

TEST_P(RendererAttribute, MiAndAnUpperCaseLetter) {
    TObject attribute = TFnNumericAttribute().create(GetParam().attribute, "x", TFnNumericData::kDouble);
    EXPECT_EQ(IsRendererDynamicAttribute(attribute), GetParam().renderer);
}
const RendererCase kRendererCases[] = {
    {"miLabel", "miLabel", true}, {"mi", "mi", false},         {"mix", "mix", false},
    {"MiLabel", "MiLabel", false}, {"mLabel", "mLabel", false}, {"mi3", "mi3", false},
};
INSTANTIATE_TEST_SUITE_P(Names, RendererAttribute, ::testing::ValuesIn(kRendererCases), CaseName());

// The path after "-f", cut to the caller's buffer; a flag at the end asks the host for nothing
// past the list (the fixture fails on host faults).
using ExportArguments = HostTest;

TEST_F(ExportArguments, PathAfterFBounded) {
    TArgList args;
    for (const char* word : {"-caller", "me", "-f", "/a/long/path.zeq"}) args.append(word);
    ZeqTuloExport exporter;
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_TRUE(exporter.parseArgs(args, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/a/long");
    TArgList none;
    EXPECT_FALSE(exporter.parseArgs(none, buffer, sizeof buffer));
    TArgList missing;
    missing.append("-caller");
    missing.append("-f");
    EXPECT_FALSE(exporter.parseArgs(missing, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/a/long");
}

}  // namespace
