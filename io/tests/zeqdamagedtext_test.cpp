// A written ASCII Zeq file damaged in one number of each kind (a control
// point, a curve key, a colour, an integer, a surface's arrays) is refused as corrupted, and
// nothing of it is delivered; what the format does by design with names and
// records it does not know stays.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "io/kzeqimporter.h"
#include "io/kzeqio.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzequserproperty.h"

namespace zeqiotest {
namespace {

using namespace zeqsdk_400;

// A number of the text: the field whose line starts with this text, and the
// index of the number among the field's values.
struct NumberAt {
    const char* mKind;
    const char* mLine;
    int mIndex;
};

// Points, a curve key's value and tangent, a colour, polygon vertex indices.
const NumberAt kNumbers6[] = {{"point", "Vertices: ", 3},
                              {"key value", "Key: ", 1},
                              {"key tangent", "Key: ", 4},
                              {"colour", "Property: \"Diffuse\",\"Color\",\"AK\",", 0},
                              {"integer", "PolygonVertexIndex: ", 1}};
const NumberAt kNumbers58[] = {{"point", "Vertices: ", 3},
                               {"key value", "Key: ", 1},
                               {"key tangent", "Key: ", 4},
                               {"colour", "Diffuse: ", 0},
                               {"integer", "PolygonVertexIndex: ", 1}};
// A NURBS surface's arrays, alike in both layouts: a control point's
// coordinate and weight (checks on the points follow their read), knots,
// multiplicities, its skin's weights.
const NumberAt kSurfaceNumbers[] = {{"surface point", "\tPoints: ", 0},     {"surface point weight", "\tPoints: ", 7},
                                    {"surface knot U", "KnotVectorU: ", 5}, {"surface knot V", "KnotVectorV: ", 0},
                                    {"multiplicity", "MultiplicityU: ", 2}, {"skin weight", "Weights: ", 1}};

// Ways a number's text is damaged: a stray byte in it, a byte that is no
// text for it, a letter for a one-digit number, a letter before its digits.
struct Damage {
    const char* mName;
    std::string (*mApply)(const std::string& number);
};
const Damage kDamages[] = {
    {"stray byte", [](const std::string& n) { return n.substr(0, 1) + "\xA1" + n.substr(1); }},
    {"stray sign", [](const std::string& n) { return n.substr(0, 1) + "?" + n.substr(1); }},
    {"byte for it", [](const std::string&) { return std::string("\xFD"); }},
    {"letter for it", [](const std::string&) { return std::string("q"); }},
    {"letter before it", [](const std::string& n) { return "q" + n; }},
};

// The text with the number at replaced by what damage makes of it; "" when
// the text has no such number.
std::string Damaged(const std::string& text, const NumberAt& at, const Damage& damage) {
    const std::size_t line = text.find(at.mLine);
    if (line == std::string::npos) return "";
    std::size_t begin = line + std::string(at.mLine).size();
    for (int i = 0; i < at.mIndex; ++i) begin = text.find(',', begin) + 1;
    const std::size_t end = text.find_first_of(",\n", begin);
    return text.substr(0, begin) + damage.mApply(text.substr(begin, end - begin)) + text.substr(end);
}

class DamagedText : public testing::TestWithParam<ZeqFileCase> {
protected:
    void SetUp() override {
        KZeqScene* scene = mWriter.CreateKZeqScene();
        BuildGeometryScene(mWriter, *scene, 3, 4);
        AddCamerasLightsSurfacesPosesAndCharacters(mWriter, *scene);
        std::string error;
        ASSERT_TRUE(WriteZeqFile(mWriter, *scene, GetParam(), mPath, "", &error)) << error;
        mText = zeqtest::ReadFile(mPath);
    }

    // Imports the file into a new scene of a new manager: the import's
    // result, its error and text, and what the scene holds after it.
    struct Read {
        bool mRead;
        int mError;
        std::string mText;
        int mNodes;  // below the root
        int mObjects;  // nodes, materials and textures the read left in the manager
    };
    Read Import(const std::string& text) {
        zeqtest::WriteFile(mPath, text);
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        const int before = manager.GetKZeqNodeCount();  // the root and the camera switcher
        KZeqImporter importer(manager);
        importer.Initialize(mPath.c_str());
        const bool read = importer.Import(*scene);
        return {read, importer.GetLastErrorID(), importer.GetLastErrorString(), scene->GetRootNode()->GetChildCount(),
                manager.GetKZeqNodeCount() - before + manager.GetKZeqMaterialCount() + manager.GetKZeqTextureCount()};
    }

    // The text is refused as corrupted for the reason: its read delivers nothing, and importer
    // refuses it at its opening, where the take queries find none.
    void ExpectRefusedAsCorrupted(const std::string& text, const std::string& reason, KZeqImporter& importer) {
        const Read read = Import(text);
        EXPECT_FALSE(read.mRead);
        EXPECT_EQ(KZeqIO::eFileCorrupted, read.mError);
        EXPECT_EQ(reason, read.mText);
        EXPECT_EQ(0, read.mNodes);
        EXPECT_EQ(0, read.mObjects);
        EXPECT_FALSE(importer.Initialize(mPath.c_str()));
        EXPECT_EQ(reason, importer.GetLastErrorString());
        EXPECT_EQ(0, importer.GetTakeCount());
    }

    KZeqSdkManager mWriter;
    zeqtest::TempDir mDir;
    std::string mPath = mDir / "damaged.zeq";
    std::string mText;
};

TEST_P(DamagedText, ANumberOfEachKindDamagedFailsTheRead) {
    const Read intact = Import(mText);
    ASSERT_TRUE(intact.mRead) << intact.mText;
    ASSERT_GT(intact.mNodes, 0);
    const bool v6 = GetParam().mFileVersion == 6000;
    std::vector<NumberAt> numbers = v6 ? std::vector<NumberAt>(std::begin(kNumbers6), std::end(kNumbers6))
                                       : std::vector<NumberAt>(std::begin(kNumbers58), std::end(kNumbers58));
    numbers.insert(numbers.end(), std::begin(kSurfaceNumbers), std::end(kSurfaceNumbers));
    for (const NumberAt& at : numbers) {
        for (const Damage& damage : kDamages) {
            SCOPED_TRACE(std::string(at.mKind) + ", " + damage.mName);
            const std::string text = Damaged(mText, at, damage);
            ASSERT_FALSE(text.empty()) << "no " << at.mLine << " in the file";
            const Read read = Import(text);
            EXPECT_FALSE(read.mRead);
            EXPECT_EQ(read.mError, KZeqIO::eFileCorrupted);
            EXPECT_EQ(read.mText, "File is corrupted");
            EXPECT_EQ(read.mNodes, 0);
            EXPECT_EQ(read.mObjects, 0);
        }
    }
}

// A record the reader does not know is skipped, whatever its values; in the
// 6.0 layout a property it does not know becomes a user property.
TEST_P(DamagedText, UnknownRecordsAndPropertiesStayAsDesigned) {
    KZeqSdkManager intactManager, manager;
    KZeqScene* intact = ReadZeqFile(intactManager, mPath);
    ASSERT_NE(nullptr, intact);
    std::string text = mText;
    const std::size_t section = text.find("\n", text.find("@Section: ")) + 1;
    text.insert(section, "Mystery: 1,2.5,\"text\",word,q {\n\tInner: -7,Word\n}\n");
    zeqtest::WriteFile(mPath, text);
    KZeqScene* read = ReadZeqFile(manager, mPath);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ("", CompareScenes(*intact, *read).Report());
    if (GetParam().mFileVersion != 6000) return;

    const std::size_t properties = text.find("\n", text.find("Properties60: {")) + 1;
    text.insert(properties, "\t\t\tProperty: \"Mood\",\"Number\",\"AU\",2.5\n");
    zeqtest::WriteFile(mPath, text);
    KZeqSdkManager moodManager;
    read = ReadZeqFile(moodManager, mPath);
    ASSERT_NE(nullptr, read);
    KZeqNode* body = read->GetRootNode()->GetChildCount() > 0 ? read->GetRootNode()->GetChild(0) : nullptr;
    ASSERT_NE(nullptr, body);
    KZeqUserProperty* mood = body->FindPropertyByName("Mood");
    ASSERT_NE(nullptr, mood);
    double value = 0.0;
    mood->GetDefaultValue(value);
    EXPECT_EQ(value, 2.5);
}

// The main section's line written twice leaves that section empty and the scene in the section
// after it: the file is refused as corrupted, with the reason, at its opening (the take queries
// too), never read as an empty scene.
TEST_P(DamagedText, AMainSectionLineWrittenTwiceRefusesTheFile) {
    std::string text = mText;
    const std::size_t line = text.find("@Section: ");
    ASSERT_NE(std::string::npos, line);
    text.insert(line, text.substr(line, text.find('\n', line) + 1 - line));
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    ExpectRefusedAsCorrupted(text, "File is corrupted: the main section is empty and another section follows it",
                             importer);
    // A file whose only section is empty holds an empty scene, and reads as one.
    zeqtest::WriteFile(mPath, text.substr(0, text.find('\n', line) + 1) + "@End\n");
    KZeqScene* scene = manager.CreateKZeqScene();
    EXPECT_TRUE(importer.Initialize(mPath.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
    EXPECT_EQ(0, scene->GetRootNode()->GetChildCount());
}

// A section line between two records of the scene leaves those after it in a section no read looks
// at: the file read as a scene without them (empty, often), with success and no word. It is
// refused at its opening, naming the first record the main section lacks: after "Definitions",
// after "Objects", a main section holding only a "Summary" before the content; before version 6
// between two models (the takes then lie outside) or before the takes. A section line after the
// whole scene changes nothing, nor does one leading another program's own records of familiar
// names (refused as split before): only a record of the file's layout that the main section lacks
// refuses it (a 5.8 file has no "Device").
TEST_P(DamagedText, AStraySectionLineRefusesTheFile) {
    const bool v6 = GetParam().mFileVersion == 6000;
    const std::string line = v6 ? "@Section: 6000\n" : "@Section: 5800\n";
    const std::size_t main = mText.find(line) + line.size(), extension = mText.find(line, main);
    ASSERT_NE(std::string::npos, extension);
    const std::string summary = mText.substr(extension + line.size(), mText.find("@End") - extension - line.size());
    // Where the line goes (before the first line that starts so, after the main section's line when
    // "") and what goes before it.
    struct Stray {
        const char* mBefore;
        std::string mInserted;
        const char* mRecord;
    };
    const std::vector<Stray> cases =
        v6 ? std::vector<Stray>{{"Objects: {", line, "Objects"},
                                {"Connections: {", line, "Connections"},
                                {"", summary + line, "Definitions"}}
           : std::vector<Stray>{{"Model: \"Model::Bone\"", line, "Takes"}, {"Takes: {", line, "Takes"},
                                {"", summary + line, "Media"}};
    for (const Stray& c : cases) {
        SCOPED_TRACE(c.mRecord);
        std::string text = mText;
        const std::size_t at = *c.mBefore ? text.find(std::string("\n") + c.mBefore) + 1 : main;
        ASSERT_NE(0u, at);
        text.insert(at, c.mInserted);
        KZeqSdkManager manager;
        KZeqImporter importer(manager);
        ExpectRefusedAsCorrupted(text,
                                 std::string("File is corrupted: a section line splits the scene, and its \"") +
                                     c.mRecord + "\" record lies outside the main section",
                                 importer);
    }
    const Read intact = Import(mText);
    for (const char* later :
         {"", "Settings: {\n\tVersion: 1\n}\n", "Media: {\n}\nTakes: {\n}\n", "Device: \"Device::G\" {\n}\n"}) {
        SCOPED_TRACE(later);
        std::string text = mText;
        text.insert(*later ? text.rfind("@End") : extension, line + later);
        if (!v6 && *later == 'D') {
            KZeqSdkManager manager;
            KZeqImporter importer(manager);
            ExpectRefusedAsCorrupted(text,
                                     "File is corrupted: a section line splits the scene, and its \"Device\" record "
                                     "lies outside the main section",
                                     importer);
            continue;
        }
        const Read read = Import(text);
        EXPECT_TRUE(read.mRead) << read.mText;
        EXPECT_TRUE(read.mNodes == intact.mNodes && read.mObjects == intact.mObjects);
    }
}

INSTANTIATE_TEST_SUITE_P(AsciiForms, DamagedText, testing::Values(kZeqFileCases[0], kZeqFileCases[3]),
                         ZeqFileCaseName);

}  // namespace
}  // namespace zeqiotest
