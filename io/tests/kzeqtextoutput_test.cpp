#include "io/kzeqtextoutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>

#include "io/kzeqscenerollback.h"
#include "io/kzeqtextscan.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Written(const std::function<void(KZeqTextOutput&)>& write) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&data, &size);
    KZeqTextOutput out(file);
    write(out);
    EXPECT_TRUE(out.Flush());
    std::fclose(file);
    std::string text(data, size);
    std::free(data);
    return text;
}

}  // namespace

// Numbers as printf writes them with "%lf", "%d" and "%3d".
TEST(KZeqTextOutputTest, FormatsAsPrintfDoes) {
    const double values[] = {0.0, -0.0, 1.5, -3.0000004, 1234567.8901234, 1e-7, 5e-7, 2.5e300, 1.0 / 3.0};
    for (double value : values) {
        char expected[512];
        std::snprintf(expected, sizeof(expected), "%lf", value);
        EXPECT_EQ(expected, Written([&](KZeqTextOutput& out) { out.Fixed(value); })) << value;
    }
    EXPECT_EQ("  0| 10|-5|1234", Written([](KZeqTextOutput& out) {
                  out.Padded(0, 3) << "|", out.Padded(10, 3) << "|", out.Padded(-5, 2) << "|", out.Padded(1234, 3);
              }));
    // More than the buffer holds, in one piece and in many.
    const std::string big(200000, 'x');
    EXPECT_EQ(big + big, Written([&](KZeqTextOutput& out) {
                  out << big;
                  for (char c : big) out << c;
              }));
}

TEST(KZeqTextOutputTest, KeepsTheFirstFailure) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_TRUE(full);
    KZeqTextOutput out(full);
    out << "lost";
    EXPECT_FALSE(out.Flush());
    EXPECT_TRUE(out.Failed() && !out.GetFailure().IsEmpty());
    out.Reset(nullptr);
    EXPECT_TRUE(!out.Failed() && out.Flush());
    std::fclose(full);
}

// What a failed read made goes, the meshes before the materials they list;
// what was there before stays.
TEST(KZeqSceneRollbackTest, EndsWhatWasMadeSince) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* kept = manager.CreateKZeqNode("Kept");
    scene->GetRootNode()->AddChild(kept);
    KZeqMaterial* keptMaterial = manager.CreateKZeqMaterial("Kept");
    const int nodes = manager.GetKZeqNodeCount();
    KZeqSceneRollback rollback(manager);
    KZeqNode* parent = manager.CreateKZeqNode("Parent");
    kept->AddChild(parent);
    for (const char* name : {"A", "B"}) {
        KZeqNode* child = manager.CreateKZeqNode(name);
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->AddMaterial(manager.CreateKZeqMaterial(name));
        mesh->AddTexture(manager.CreateKZeqTexture(name));
        child->SetNodeAttribute(mesh);
        parent->AddChild(child);
    }
    rollback.Undo();
    EXPECT_EQ(nodes, manager.GetKZeqNodeCount());
    EXPECT_EQ(0, kept->GetChildCount());
    EXPECT_EQ(1, manager.GetKZeqMaterialCount());
    EXPECT_EQ(keptMaterial, manager.GetKZeqMaterial(0));
    EXPECT_EQ(0, manager.GetKZeqTextureCount());
}

// Numbers read as "%lf" and "%d" read them.
TEST(KZeqTextScanTest, ReadsAsScanfDoes) {
    struct Case {
        const char* mText;
        bool mRead;
        double mValue;
        int mUsed;  // characters consumed
    };
    const Case doubles[] = {{" +1.5x", true, 1.5, 5}, {"-2", true, -2.0, 2}, {"1e999", true, HUGE_VAL, 5},
                            {"1e-999", true, 0.0, 6}, {".5", true, 0.5, 2},    {"++1", false, 0, 0},
                            {"+-1", false, 0, 0},     {"abc", false, 0, 0},    {"", false, 0, 0}};
    for (const Case& c : doubles) {
        const char* end = c.mText + std::strlen(c.mText);
        double value = 0.0;
        const char* stop = ZeqScanDouble(c.mText, end, value);
        EXPECT_EQ(c.mRead, stop != c.mText) << c.mText;
        if (c.mRead) {
            EXPECT_EQ(c.mValue, value) << c.mText;
        }
        EXPECT_EQ(c.mUsed, stop - c.mText) << c.mText;
    }
    const char* text = " 12abc";
    int value = 0;
    EXPECT_EQ(text + 3, ZeqScanInt(text, text + 6, value));
    EXPECT_EQ(12, value);
    text = "99999999999";
    EXPECT_EQ(text, ZeqScanInt(text, text + 11, value));
}
