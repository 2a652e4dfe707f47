// The export driver: a whole run from the host scene to a file the SDK reads back, the master
// scale, the joint display scale, the take, the log, and the failures that end a run.
#include "zeqtuloexport_test_support.h"

#include "content/kzeqmesh.h"
#include "content/kzeqskeleton.h"
#include "scene/kzeqtakeinfo.h"
#include "tfnanimcurve.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

using DriverTest = ExportTest;

TEST_F(DriverTest, EmptySceneWritesAFileThatReadsBack) {
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("empty.zeq")));
    auto back = Read(File("empty.zeq"));
    ASSERT_TRUE(back->ok);
    // The host's default cameras are not exported.
    EXPECT_EQ(back->scene->GetRootNode()->GetChildCount(false), 0);
    // Nothing to report: the log file is not written.
    EXPECT_EQ(Log(), "");
}

TEST_F(DriverTest, CubeSceneReadsBack) {
    ASSERT_TRUE(standin::buildScene("cube"));
    ExportProbe exporter;
    ASSERT_TRUE(Export(exporter, File("cube.zeq")));
    auto back = Read(File("cube.zeq"));
    ASSERT_TRUE(back->ok);
    KZeqNode* hard = back->Node("hardCube");
    ASSERT_NE(hard, nullptr);
    ASSERT_NE(hard->GetMesh(), nullptr);
    EXPECT_EQ(hard->GetMesh()->GetControlPointsCount(), 8);
    EXPECT_EQ(hard->GetMesh()->GetPolygonCount(), 6);
    ASSERT_NE(back->Node("smoothCube"), nullptr);
}

}  // namespace
