// NURBS surfaces the file holds whole but the host refuses (an order above the control points it
// has, an order of 1, a knot that is no number) or cannot be given (an order of 0), and one without
// control points: the node comes with its transform alone, the host warns once naming the node and
// why, and the log keeps the line. Through the host program under --strict, these warnings and the
// reader's lines (a second parent set aside, a surface left out) are shown once and fail nothing.
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "importtest_support.h"

#include "content/kzeqnurb.h"
#include "io/tests/zeqsurfacecounts.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

// An open surface of the orders over count points, its knots 0, 1, 2 ... and its points on a grid,
// under a node of the name at x.
KZeqNurb* AddSurface(KZeqSdkManager& manager, KZeqScene& scene, const char* name, double x, int uOrder, int uCount,
                     int vOrder = 3, int vCount = 5) {
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(static_cast<unsigned>(uOrder), static_cast<unsigned>(vOrder));
    nurb->InitControlPoints(uCount, KZeqNurb::eOPEN, vCount, KZeqNurb::eOPEN);
    for (int i = 0; i < nurb->GetControlPointsCount(); ++i)
        nurb->GetControlPoints()[i] = KZeqVector4(i % uCount, i / uCount, 0.25 * (i % 3), 1.0);
    for (int i = 0; i < nurb->GetUKnotCount(); ++i) nurb->GetUKnotVector()[i] = i;
    for (int i = 0; i < nurb->GetVKnotCount(); ++i) nurb->GetVKnotVector()[i] = i;
    KZeqNode* node = manager.CreateKZeqNode(name);
    node->SetNodeAttribute(nurb);
    node->SetDefaultT(KZeqVector4(x, 0, 0, 1));
    scene.GetRootNode()->AddChild(node);
    return nurb;
}

struct RefusedCase {
    std::string name;
    std::function<void(KZeqSdkManager&, KZeqScene&)> surf;  // makes "Surf"
    std::string reason;  // after "NURBS surface Surf: "
};

const std::vector<RefusedCase>& RefusedCases() {
    static const std::vector<RefusedCase> cases = {
        {"OrderFiveOverFourPoints", [](KZeqSdkManager& m, KZeqScene& s) { AddSurface(m, s, "Surf", 1, 5, 4); },
         "the host refused it: its order in U is 5 over only 4 control points in U (the host needs 5)"},
        {"OrderOne", [](KZeqSdkManager& m, KZeqScene& s) { AddSurface(m, s, "Surf", 1, 1, 4); },
         "the host refused it: its order in U is 1 (the host takes orders 2 to 8)"},
        {"OrderZero", [](KZeqSdkManager& m, KZeqScene& s) { AddSurface(m, s, "Surf", 1, 0, 4); },
         "the host cannot take it: its order in U is 0 (the host takes orders 2 to 8)"},
        {"NaNKnot",
         [](KZeqSdkManager& m, KZeqScene& s) {
             AddSurface(m, s, "Surf", 1, 4, 6)->GetUKnotVector()[4] = std::numeric_limits<double>::quiet_NaN();
         },
         "the host refused it: a knot in U is not a finite number"},
    };
    return cases;
}

void PrintTo(const RefusedCase& row, std::ostream* out) { *out << row.name; }

class RefusedSurfaceTest : public ZeqTuloImportTest,
                           public ::testing::WithParamInterface<std::tuple<RefusedCase, bool>> {};

TEST_P(RefusedSurfaceTest, TransformAloneWithTheReason) {
    const RefusedCase& row = std::get<0>(GetParam());
    const std::string path = Write("refused", [&](KZeqSdkManager& m, KZeqScene& s) {
        row.surf(m, s);
        AddSurface(m, s, "Whole", 4, 4, 6);
    }, std::get<1>(GetParam()));

    standin::clearTranscript();
    ASSERT_TRUE(Run("ZEQImport -f \"" + path + "\""));
    const std::string line = "NURBS surface Surf: " + row.reason + "; only its transform is made.";
    EXPECT_EQ(Warnings("Surf"), std::vector<std::string>{"// Warning: " + line});
    EXPECT_NE(Log().find(line), std::string::npos) << Log();
    EXPECT_EQ(HostAttr("Surf.translate"), "1 0 0");
    EXPECT_EQ(ShapeCount("Surf"), 0u);
    EXPECT_EQ(ShapeCount("Whole"), 1u);
}
INSTANTIATE_TEST_SUITE_P(Surfaces, RefusedSurfaceTest,
                         ::testing::Combine(::testing::ValuesIn(RefusedCases()), ::testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<RefusedCase, bool>>& info) {
                             return std::get<0>(info.param).name + (std::get<1>(info.param) ? "Ascii" : "Binary");
                         });

// A surface the file gives without control points or knots (of order 0, so that no knot is due),
// which the reader takes without a word: the plug-in's own warning says so.
using NurbsImportTest = ZeqTuloImportTest;

TEST_F(NurbsImportTest, ASurfaceWithoutControlPointsWarnsOnItsOwn) {
    const std::string path = Write("empty", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqNurb* nurb = m.CreateKZeqNurb();
        nurb->SetOrder(0, 0);
        KZeqNode* node = m.CreateKZeqNode("Empty");
        node->SetNodeAttribute(nurb);
        s.GetRootNode()->AddChild(node);
    });
    standin::clearTranscript();
    ASSERT_TRUE(Run("ZEQImport -f \"" + path + "\""));
    const std::string line = "NURBS surface Empty: it has no control points; only its transform is made.";
    EXPECT_EQ(Warnings("Empty"), std::vector<std::string>{"// Warning: " + line});
    EXPECT_NE(Log().find(line), std::string::npos) << Log();
    EXPECT_EQ(ShapeCount("Empty"), 0u);
}

// The host program under --strict: a file with a second parent, a surface its counts contradict,
// one the host refuses, two models in a cycle of their own and a camera aimed at the scene root is
// read, its takes asked for and imported; every warning shows once (the read of the takes adds
// none), in the log too, and the run succeeds.
TEST_F(NurbsImportTest, WarningsPassTheStrictHostProgram) {
    const std::string written = mDirectory + "written.zeq", path = mDirectory + "warned.zeq";
    std::string error;
    ASSERT_TRUE(WriteScene(written, [](KZeqSdkManager& m, KZeqScene& s) {
        zeqiotest::BuildSurfaceCountScene(m, s);
        AddSurface(m, s, "Flat", 7, 1, 4);
        AddNode(m, AddNode(m, s.GetRootNode(), "group"), "aim");
        AddNode(m, s.GetRootNode(), "crane", "camera");
        AddNode(m, AddNode(m, s.GetRootNode(), "ringA"), "ringB");
    }, true, &error)) << error;
    std::string text = ZeqTuloReadFile(written);
    ASSERT_TRUE(zeqiotest::EditSurfaceCounts(text, zeqiotest::kSurfaceCountEdits[0]));
    const std::size_t connections = text.find("Connections: {\n");
    ASSERT_NE(connections, std::string::npos);
    const std::size_t end = text.find("\n}", connections);
    ASSERT_NE(end, std::string::npos);
    text.insert(end + 1,
                "\tConnect: \"OO\",\"Model::aim\",\"Model::Scene\"\n"
                "\tConnect: \"OP\",\"Model::Scene\",\"Model::crane\",\"LookAtProperty\"\n");
    // ringA leaves the root for ringB, which is below it: the two hang together, apart from the scene.
    const std::string ring = "Connect: \"OO\",\"Model::ringA\",\"Model::Scene\"";
    const std::size_t ringAt = text.find(ring);
    ASSERT_NE(ringAt, std::string::npos) << text;
    text.replace(ringAt, ring.size(), "Connect: \"OO\",\"Model::ringA\",\"Model::ringB\"");
    std::ofstream(path, std::ios::binary) << text;

    std::string output;
    const int status = RunStandin(mDirectory, "--strict -c 'ZEQImportShowUI 0' -c 'ZEQRead \"" + path +
                                                  "\"' -c 'ZEQGetTakeCount' -c 'ZEQImport -f \"" + path + "\"'",
                                  output);
    EXPECT_EQ(status, 0) << output;
    const std::string lines[] = {
        "Model::aim is connected under Model::Scene too: a model has one parent; it stays under Model::group.",
        std::string("Model::Surf: NURBS surface left out: ") + zeqiotest::kSurfaceCountEdits[0].mCheck,
        "NURBS surface Flat: the host refused it: its order in U is 1 (the host takes orders 2 to 8); only its "
        "transform is made.",
        "Model::ringA is connected under Model::ringB, which is below it: it is put under the scene root, with the 1 "
        "model below it.",
        "Camera crane: its LookAtProperty names the scene root, which is no camera's target; the camera is left "
        "without a target.",
    };
    const std::string log = Log();
    for (const std::string& line : lines) {
        const std::size_t first = output.find("// Warning: " + line);
        EXPECT_NE(first, std::string::npos) << line << "\n" << output;
        EXPECT_EQ(output.find("// Warning: " + line, first + 1), std::string::npos) << line << "\n" << output;
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
}

}  // namespace
