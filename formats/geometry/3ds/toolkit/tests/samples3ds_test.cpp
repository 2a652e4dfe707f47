// The toolkit on the sample files of other producers, beside lib3ds's 3dsdump,
// and on hostile files.

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

#include "formats/geometry/3ds/toolkit/chunkcatalog3ds.h"
#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"

namespace tk3dstest {
namespace {

void Walk(chunk3ds* chunk, const std::function<void(chunk3ds*, int)>& visit, int depth = 0) {
    for (chunk3ds* c = chunk; c; c = c->sibling) {
        visit(c, depth);
        Walk(c->children, visit, depth + 1);
    }
}

class Samples3ds : public ToolkitTest, public testing::WithParamInterface<std::string> {
protected:
    std::string Path() const { return SampleDir() + "/" + GetParam(); }
};

TEST_P(Samples3ds, EveryChunkReadsWithinItsBoundsAndWritesBackByteForByte) {
    SKIP_WITHOUT_SAMPLES();
    database3ds* db = OpenPath(Path());
    ASSERT_NE(db->top, nullptr);
    ASSERT_TRUE(Errors().empty());
    std::size_t chunks = 0;
    Walk(db->top, [&](chunk3ds* c, int) {
        ++chunks;
        ReadChunkData3ds(c);
        EXPECT_TRUE(Errors().empty()) << std::hex << c->tag << " at " << std::dec << c->position;
    });
    EXPECT_GT(chunks, 10u);
    const std::string out = mDir / "copy.3ds";
    file3ds* file = OpenFile3ds(out.c_str(), "wb");
    WriteChunk3ds(db->top, file->index);
    CloseFile3ds(file);
    EXPECT_TRUE(Errors().empty());
    const std::string written = ReadFile(out), original = ReadFile(Path());
    EXPECT_EQ(written.size(), original.size());
    EXPECT_TRUE(written == original);
}

// `3dsdump -s`: one line per chunk it descends into, indented two spaces a level
// below the top chunk, "NAME (0xTAG) size=N".
struct DumpNode {
    std::uint32_t tag = 0, size = 0;
    std::vector<DumpNode> children;
};

bool ParseDump(const std::string& text, DumpNode& root) {
    std::vector<DumpNode*> stack = {&root};
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t open = line.find("(0x");
        const std::size_t size = line.find("size=");
        if (open == std::string::npos || size == std::string::npos) continue;
        const std::size_t indent = line.find_first_not_of(' ');
        const std::size_t depth = indent / 2;
        if (depth < 1 || depth > stack.size()) return false;
        stack.resize(depth);
        DumpNode node;
        node.tag = static_cast<std::uint32_t>(std::stoul(line.substr(open + 3), nullptr, 16));
        node.size = static_cast<std::uint32_t>(std::stoul(line.substr(size + 5)));
        stack.back()->children.push_back(node);
        stack.push_back(&stack.back()->children.back());
    }
    return true;
}

void Compare(const DumpNode& peer, const chunk3ds* ours, const std::string& where) {
    std::vector<const chunk3ds*> children;
    for (const chunk3ds* c = ours->children; c; c = c->sibling) children.push_back(c);
    if (peer.children.empty() || children.empty()) return;  // compared only where both descend
    ASSERT_EQ(peer.children.size(), children.size()) << where;
    for (std::size_t i = 0; i < children.size(); ++i) {
        std::ostringstream at;
        at << where << "/" << std::hex << children[i]->tag;
        EXPECT_EQ(peer.children[i].tag, children[i]->tag) << at.str();
        EXPECT_EQ(peer.children[i].size, children[i]->size) << at.str();
        Compare(peer.children[i], children[i], at.str());
    }
}

TEST_P(Samples3ds, Lib3dsDumpListsTheSameTagsLengthsAndNesting) {
    SKIP_WITHOUT_SAMPLES();
    if (!std::filesystem::exists("/usr/bin/3dsdump")) GTEST_SKIP() << "3dsdump of lib3ds-dev not installed";
    const std::string command = "/usr/bin/3dsdump -s '" + Path() + "'";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe.get())) > 0;) text.append(buffer, n);
    DumpNode peer;
    ASSERT_TRUE(ParseDump(text, peer));
    ASSERT_FALSE(peer.children.empty());
    database3ds* db = OpenPath(Path());
    ASSERT_NE(db->top, nullptr);
    Compare(peer, db->top, "top");
}

INSTANTIATE_TEST_SUITE_P(Files, Samples3ds, testing::ValuesIn(SampleNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             return name;
                         });

class SampleFacts3ds : public ToolkitTest {
protected:
    template <typename T>
    T* First(database3ds* db, std::uint32_t tag, chunk3ds* from = nullptr) {
        chunk3ds* chunk = nullptr;
        FindChunk3ds(from ? from : db->top, tag, &chunk);
        return chunk ? static_cast<T*>(ReadChunkData3ds(chunk)) : nullptr;
    }
};

TEST_F(SampleFacts3ds, ChunkDataOfTheSamples) {
    SKIP_WITHOUT_SAMPLES();
    database3ds* fels = OpenPath(SampleDir() + "/fels.3ds");
    ASSERT_NE(fels->top, nullptr);
    EXPECT_EQ(First<pointarraydata3ds>(fels, 0x4110)->count, 386);
    EXPECT_EQ(First<facearraydata3ds>(fels, 0x4120)->count, 768);
    // Its face list holds one material group of all 768 faces and no smoothing groups.
    EXPECT_EQ(First<smoothgroupdata3ds>(fels, 0x4150), nullptr);
    EXPECT_STREQ(First<matgroupdata3ds>(fels, 0x4130)->matname, "Default");
    EXPECT_EQ(First<matgroupdata3ds>(fels, 0x4130)->count, 768);
    chunk3ds* keyframer = nullptr;
    FindChunk3ds(fels->top, 0xB000, &keyframer);
    EXPECT_EQ(keyframer, nullptr);

    database3ds* cube = OpenPath(SampleDir() + "/RotatingCube.3DS");
    const auto* rotation = First<trackdata3ds>(cube, 0xB021);
    ASSERT_NE(rotation, nullptr);
    ASSERT_EQ(rotation->header.keycount, 182u);
    for (std::uint32_t k = 0; k < 182; ++k) EXPECT_EQ(rotation->keys[k].time, k);

    database3ds* camera = OpenPath(SampleDir() + "/TargetCameraAnim.3ds");
    const auto* lens = First<cameradata3ds>(camera, 0x4700);
    ASSERT_NE(lens, nullptr);
    EXPECT_NEAR(lens->focal, 53.333f, 1e-3);
    EXPECT_NEAR(2400.0f / lens->focal, 45.0f, 1e-3);
    const auto* ranges = First<camerarangesdata3ds>(camera, 0x4720);
    ASSERT_NE(ranges, nullptr);
    EXPECT_EQ(ranges->nearplane, 0.0f);
    EXPECT_EQ(ranges->farplane, 1000.0f);

    database3ds* jeep = OpenPath(SampleDir() + "/jeep1.3ds");
    chunk3ds* ambient = nullptr;
    FindChunk3ds(jeep->top, 0x2100, &ambient);
    ASSERT_NE(ambient, nullptr);
    const auto* colour = First<fcolor3ds>(jeep, 0x0010, ambient);
    ASSERT_NE(colour, nullptr);
    EXPECT_NEAR(colour->r, 0.3f, 1e-6);
    EXPECT_NEAR(colour->b, 0.3f, 1e-6);
    EXPECT_TRUE(Errors().empty());
}

class HostileFiles3ds : public ToolkitTest {};

TEST_F(HostileFiles3ds, BadLengthsAndDeepNestingAreRefusedWithNothingLeft) {
    // 10^5 nested sections around one version chunk, headers outermost first.
    std::string deep;
    for (std::uint32_t level = 100000; level >= 1; --level) deep += U16(0x3D3D) + U32(10 + 6 * level);
    deep += Chunk(0x0002, U32(3));
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"a child of length 0", Chunk(0x4D4D, U16(0x3D3D) + U32(0) + std::string(8, '\0'))},
        {"a child of length 5", Chunk(0x4D4D, U16(0x3D3D) + U32(5) + std::string(8, '\0'))},
        {"a child past its parent", Chunk(0x4D4D, U16(0x3D3D) + U32(400) + std::string(20, '\0'))},
        {"a top chunk past the file", U16(0x4D4D) + U32(1000) + Chunk(0x0002, U32(3))},
        {"nesting 10^5 deep", Chunk(0x4D4D, deep)},
        {"a face count beyond the chunk", Chunk(0x4D4D, Chunk(0x4120, U16(768) + std::string(16, '\0')))},
        {"a colour shorter than its layout", Chunk(0x4D4D, Chunk(0x0010, F32(1)))},
        {"a string skip past the chunk", Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, "NoNul")))},
    };
    for (const Case& c : cases) {
        ClearErrList3ds();
        database3ds* db = Open(c.bytes, std::string(c.what) + ".3ds");
        EXPECT_EQ(db->top, nullptr) << c.what;
        const std::vector<std::int32_t> errors = Errors();
        ASSERT_FALSE(errors.empty()) << c.what;
        EXPECT_EQ(errors.front(), ERR_INVALID_CHUNK) << c.what;
        EXPECT_EQ(errors.back(), ERR_CREATING_DATABASE) << c.what;
    }
}

TEST_F(HostileFiles3ds, UnknownTopChunkGivesABareTopWithoutError) {
    database3ds* db = Open(Chunk(0x1234, Chunk(0x0002, U32(3))));
    ASSERT_NE(db->top, nullptr);
    EXPECT_EQ(db->top->children, nullptr);
    EXPECT_EQ(GetDatabaseType3ds(db), 0u);
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace tk3dstest
