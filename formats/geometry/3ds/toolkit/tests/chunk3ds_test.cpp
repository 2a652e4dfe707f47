// The chunk tree and the per-tag chunk data.

#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"

namespace tk3dstest {
namespace {

class ChunkTree3ds : public ToolkitTest {
protected:
    static chunk3ds* Make(std::uint32_t tag) {
        chunk3ds* c = nullptr;
        InitChunkAs3ds(&c, tag);
        return c;
    }
    static std::vector<std::uint32_t> Tags(const chunk3ds* parent) {
        std::vector<std::uint32_t> tags;
        for (const chunk3ds* c = parent->children; c; c = c->sibling) tags.push_back(c->tag);
        return tags;
    }
};

TEST_F(ChunkTree3ds, OrderedInsertionFollowsWriteOrderAndKeepsTies) {
    chunk3ds* section = Make(0x3D3D);
    for (std::uint32_t tag : {0x3D3Eu, 0x0100u, 0x4000u, 0x4000u}) AddChild3ds(section, Make(tag));
    AddChildOrdered3ds(section, Make(0xAFFF));  // 25: between 0x3D3E (26) and 0x0100 (23)
    chunk3ds* first = Make(0x1410);
    chunk3ds* second = Make(0x9999);
    AddChildOrdered3ds(section, first);  // value 0 goes last, and ties keep their order
    AddChildOrdered3ds(section, second);
    AddChildOrdered3ds(section, Make(0x4000));
    EXPECT_EQ(Tags(section), (std::vector<std::uint32_t>{0x3D3E, 0xAFFF, 0x0100, 0x4000, 0x4000, 0x4000, 0x1410, 0x9999}));
    EXPECT_EQ(GetChunkValue3ds(0x0000), 35u);
    EXPECT_EQ(GetChunkValue3ds(0x0001), 0u);

    chunk3ds* top = Make(0x4D4D);
    AddChildOrdered3ds(top, Make(0xB000));
    AddChildOrdered3ds(top, Make(0x3D3D));
    AddChildOrdered3ds(top, Make(0x0002));
    EXPECT_EQ(Tags(top), (std::vector<std::uint32_t>{0x0002, 0x3D3D, 0xB000}));
    ReleaseChunk3ds(&top);
    ReleaseChunk3ds(&section);
}

TEST_F(ChunkTree3ds, FindReplaceReleaseAndLists) {
    chunk3ds* top = Make(0x4D4D);
    chunk3ds* version = Make(0x0002);
    AddChild3ds(top, version);
    static_cast<ulongdata3ds*>(InitChunkData3ds(version))->value = 3;
    AddChild3ds(version, Make(0x9999));
    chunk3ds* section = Make(0x3D3D);
    AddChild3ds(top, section);
    AddChild3ds(section, Make(0x3D3E));
    chunk3ds* found = nullptr;
    FindChunk3ds(top, 0x3D3E, &found);
    EXPECT_NE(found, nullptr);
    FindNextChunk3ds(top->children, 0x3D3E, &found);
    EXPECT_EQ(found, nullptr);

    chunk3ds* replaced = nullptr;
    ReplaceOrAddChild3ds(top, 0x0002, &replaced);  // keeps its place, loses data and children
    EXPECT_EQ(replaced, version);
    EXPECT_EQ(top->children, version);
    EXPECT_EQ(version->tag, 0x0002u);
    EXPECT_EQ(version->data, nullptr);
    EXPECT_EQ(version->children, nullptr);

    // Releasing the second of three children frees it and the third.
    AddChild3ds(top, Make(0xB000));
    ReleaseChunk3ds(&top->children->sibling);
    EXPECT_EQ(top->children->sibling, nullptr);
    AddChild3ds(top, Make(0x3D3D));  // appending after a release walks the real list
    EXPECT_EQ(Tags(top), (std::vector<std::uint32_t>{0x0002, 0x3D3D}));
    ReleaseChunk3ds(&top);

    namelist3ds* names = nullptr;
    InitNameList3ds(&names, 0);
    for (const char* n : {"a", "b", "c", "d", "e", "f"}) AddToNameList3ds(&names, n);
    EXPECT_EQ(names->count, 6u);
    EXPECT_EQ(names->spaces, 10u);
    EXPECT_STREQ(names->list[5], "f");
    // A list made again in place drops the names it held (no leak under the sanitizers).
    InitNameList3ds(&names, 2);
    EXPECT_EQ(names->count, 2u);
    EXPECT_EQ(names->spaces, 2u);
    EXPECT_EQ(names->list[0], nullptr);
    ReleaseNameList3ds(&names);
    EXPECT_EQ(names, nullptr);

    chunklist3ds* chunks = nullptr;
    InitChunkList3ds(&chunks, 2);
    chunks->list[0].name = strdup3ds("first");
    chunks->list[1].name = strdup3ds("second");
    InitChunkList3ds(&chunks, 1);
    EXPECT_EQ(chunks->count, 1u);
    EXPECT_EQ(chunks->list[0].name, nullptr);
    ReleaseChunkList3ds(&chunks);
    EXPECT_EQ(chunks, nullptr);
}

// Releasing from a sibling on frees that node, the rest of its chain and their
// subtrees and data (the sanitizers see leaks and stale uses); the list stays
// whole up to it, and inserting afterwards appends after the new last child.
TEST_F(ChunkTree3ds, ReleasingASiblingChainKeepsTheListBeforeIt) {
    chunk3ds* section = Make(0x3D3D);
    std::vector<chunk3ds*> objects;
    for (int i = 0; i < 12; ++i) {  // long enough for ordered insertion to remember its place
        chunk3ds* object = nullptr;
        static_cast<stringdata3ds*>(InitChunkAndData3ds(&object, 0x4000))->value = strdup3ds(std::to_string(i).c_str());
        AddChild3ds(object, Make(0x4100));
        AddChildOrdered3ds(section, object);
        objects.push_back(object);
    }
    ReleaseSiblingChunk3ds(&objects[5]->sibling);
    EXPECT_EQ(objects[5]->sibling, nullptr);
    EXPECT_EQ(Tags(section).size(), 6u);
    chunk3ds* late = Make(0x4000);
    AddChildOrdered3ds(section, late);
    EXPECT_EQ(objects[5]->sibling, late);
    chunk3ds* none = nullptr;
    ReleaseSiblingChunk3ds(&none);
    ReleaseSiblingChunk3ds(nullptr);
    ReleaseSiblingChunk3ds(&section->children);  // the whole list
    EXPECT_EQ(section->children, nullptr);
    ReleaseSiblingChunk3ds(&section);
    EXPECT_EQ(section, nullptr);
    EXPECT_TRUE(Errors().empty());
}

// Appending resumes where it left off in long lists; a random run of appends,
// ordered inserts, deletes, releases of the tail and appends by hand must keep
// every list equal to a plain model of the rules. Many parents at once hand
// their remembered places on to each other.
TEST_F(ChunkTree3ds, LongListsFollowAModelThroughEditsByAnyHand) {
    const std::uint32_t tags[] = {0x0002, 0x3D3E, 0xAFFF, 0x0100, 0x4000, 0x4000, 0x1410, 0x9999, 0xB000, 0x2100};
    struct Parent {
        chunk3ds* chunk;
        std::vector<std::uint32_t> model;
    };
    std::vector<Parent> parents;
    for (int i = 0; i < 1500; ++i) parents.push_back({Make(0x3D3D), {}});
    std::uint32_t seed = 7;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int step = 0; step < 40000; ++step) {
        // Most steps go to a few parents, so that their lists grow long.
        Parent& p = parents[next(4) ? next(8) : next(1500)];
        const std::uint32_t tag = tags[next(10)];
        const std::uint32_t action = next(20);
        if (action < 9) {
            AddChild3ds(p.chunk, Make(tag));
            p.model.push_back(tag);
        } else if (action < 17) {
            AddChildOrdered3ds(p.chunk, Make(tag));
            auto at = std::find_if(p.model.begin(), p.model.end(),
                                   [&](std::uint32_t t) { return GetChunkValue3ds(t) < GetChunkValue3ds(tag); });
            p.model.insert(at, tag);
        } else if (action == 17 && !p.model.empty()) {
            const std::size_t k = next(static_cast<std::uint32_t>(p.model.size()));
            chunk3ds* c = p.chunk->children;
            for (std::size_t i = 0; i < k; ++i) c = c->sibling;
            DeleteChunk3ds(c);  // stays in place with tag 0, of the highest value
            p.model[k] = 0;
        } else if (action == 18 && !p.model.empty()) {
            const std::size_t keep = next(static_cast<std::uint32_t>(p.model.size()));
            chunk3ds** link = &p.chunk->children;
            for (std::size_t i = 0; i < keep; ++i) link = &(*link)->sibling;
            ReleaseChunk3ds(link);  // the tail of the list goes
            p.model.resize(keep);
        } else if (action == 19) {
            chunk3ds** link = &p.chunk->children;
            while (*link) link = &(*link)->sibling;
            *link = Make(tag);  // appended by hand, behind the tree functions' back
            p.model.push_back(tag);
        }
        ASSERT_EQ(Tags(p.chunk), p.model) << "step " << step;
    }
    for (Parent& p : parents) {
        EXPECT_EQ(Tags(p.chunk), p.model);
        ReleaseChunk3ds(&p.chunk);
    }
}

TEST_F(ChunkTree3ds, CopyMovesFileDataAndDeepCopiesMemoryData) {
    database3ds* db = Open(Chunk(0x4D4D, Chunk(0x0100, F32(4.0f))));
    chunk3ds* scale = db->top->children;
    ASSERT_NE(ReadChunkData3ds(scale), nullptr);
    chunk3ds* copy = nullptr;
    CopyChunk3ds(scale, &copy);
    EXPECT_EQ(scale->data, nullptr);
    ASSERT_NE(copy->data, nullptr);
    EXPECT_EQ(static_cast<floatdata3ds*>(copy->data)->value, 4.0f);
    ReleaseChunk3ds(&copy);

    chunk3ds* named = Make(0x4000);
    static_cast<stringdata3ds*>(InitChunkData3ds(named))->value = strdup3ds("Box");
    CopyChunk3ds(named, &copy);
    EXPECT_NE(named->data, nullptr);
    EXPECT_NE(static_cast<stringdata3ds*>(copy->data)->value, static_cast<stringdata3ds*>(named->data)->value);
    EXPECT_STREQ(static_cast<stringdata3ds*>(copy->data)->value, "Box");
    ReleaseChunk3ds(&copy);
    ReleaseChunk3ds(&named);
}

// The checksum of a chunk is the sum of its stored bytes, header and sub-chunks
// included, taken as little-endian 16-bit words; an odd last byte is a word of its own.
TEST_F(ChunkTree3ds, CheckSumsTheChunksStoredBytesAsWords) {
    std::string raw;
    for (int i = 0; i < 4995; ++i) raw.push_back(static_cast<char>(i * 7 + 3));
    const std::string version = Chunk(0x0002, U32(3));     // 02 00 0A 00 00 00 03 00 00 00
    const std::string object = Chunk(0x4000, Z("ab"));     // 00 40 09 00 00 00 61 62 00
    const std::string file = Chunk(0x4D4D, version + object + Chunk(0x4182, raw));  // 5001 bytes: odd, past a 4 KiB block
    database3ds* db = Open(file);
    ASSERT_TRUE(Errors().empty());
    chunk3ds* versionChunk = db->top->children;
    chunk3ds* objectChunk = versionChunk->sibling;
    chunk3ds* rawChunk = objectChunk->sibling;
    auto sum = [](const std::string& bytes) {
        std::uint32_t s = 0;
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            s += static_cast<std::uint8_t>(bytes[i]) + (i + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[i + 1]) * 256u : 0u);
        return s;
    };
    EXPECT_EQ(CheckChunk3ds(versionChunk), 0x0002u + 0x000A + 0x0003);
    EXPECT_EQ(CheckChunk3ds(objectChunk), 0x4000u + 0x0009 + 0x6261 + 0x0000);
    EXPECT_EQ(rawChunk->size % 2, 1u);
    EXPECT_EQ(CheckChunk3ds(rawChunk), sum(Chunk(0x4182, raw)));
    EXPECT_EQ(CheckChunk3ds(db->top), sum(file));
    // The stream moved under the lazy reads, which still find their data.
    ASSERT_NE(ReadChunkData3ds(versionChunk), nullptr);
    EXPECT_EQ(static_cast<ulongdata3ds*>(versionChunk->data)->value, 3u);
    EXPECT_TRUE(Errors().empty());

    // No chunk, no file to read, or a length past the file: 0 with an error.
    EXPECT_EQ(CheckChunk3ds(nullptr), 0u);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    ClearErrList3ds();
    chunk3ds* memory = Make(0x0002);
    EXPECT_EQ(CheckChunk3ds(memory), 0u);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_READING_FILE});
    ReleaseChunk3ds(&memory);
    ClearErrList3ds();
    rawChunk->size += 2;
    EXPECT_EQ(CheckChunk3ds(rawChunk), 0u);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_CHUNK});
    rawChunk->size -= 2;
    ClearErrList3ds();
    CloseAllFiles3ds();
    EXPECT_EQ(CheckChunk3ds(objectChunk), 0u);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_READING_FILE});
}

TEST_F(ChunkTree3ds, SeekChildSkipsEachTagsDataBoundedByTheChunk) {
    struct Case {
        std::string bytes;
        std::uint32_t skip;  // from the end of the header; ~0u: code 4
    };
    const std::string faces = U16(500) + std::string(4000, '\0');
    const Case cases[] = {
        {Chunk(0x4120, faces + Chunk(0x4150, "")), 2 + 4000},
        {Chunk(0x4000, Z("Box01") + Chunk(0x4100, "")), 6},
        {Chunk(0xB010, Z("Cam") + std::string(6, '\0')), 10},
        {Chunk(0xB00A, U16(5) + Z("") + U32(30)), 7},
        {Chunk(0x4110, U16(1) + std::string(12, '\0')), 14},
        {Chunk(0xA300, Z("texture_long.jpg")), 17},  // a map name past 12 characters: to its NUL
        {Chunk(0x4000, "NoNulInside"), ~0u},          // a string running past the chunk
        {Chunk(0x4120, U16(9)), ~0u},                 // faces past the chunk
        {U16(0x4110) + U32(5), ~0u},                  // a length below 6
    };
    int n = 0;
    for (const Case& c : cases) {
        ClearErrList3ds();
        const std::string path = mDir / ("seek" + std::to_string(n++));
        WriteFile(path, c.bytes + std::string(8, '\0'));
        file3ds* file = OpenFile3ds(path.c_str(), "rb");
        SetContext3ds(file);
        chunk3ds* chunk = nullptr;
        InitChunk3ds(&chunk);
        ReadHeader3ds(&chunk->tag, &chunk->size);
        SeekChild3ds(chunk);
        if (c.skip == ~0u) {
            EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_CHUNK}) << n;
        } else {
            EXPECT_TRUE(Errors().empty()) << n;
            EXPECT_EQ(GetFilePosition3ds(), static_cast<std::int32_t>(6 + c.skip)) << n;
        }
        ReleaseChunk3ds(&chunk);
        CloseFile3ds(file);
    }
}

class ChunkData3ds : public ToolkitTest {
protected:
    // The data of the first chunk of `tag` in a mesh file holding `chunks`.
    void* DataOf(const std::string& chunks, std::uint32_t tag) {
        database3ds* db = Open(Chunk(0x4D4D, chunks), "data" + std::to_string(mCount++));
        chunk3ds* chunk = nullptr;
        FindChunk3ds(db->top, tag, &chunk);
        return chunk ? ReadChunkData3ds(chunk) : nullptr;
    }
    int mCount = 0;
};

TEST_F(ChunkData3ds, LayoutsReadByTheirCountsAndLengths) {
    const auto* points = static_cast<pointarraydata3ds*>(
        DataOf(Chunk(0x4110, U16(3) + F32(1) + F32(2) + F32(3) + std::string(24, '\0')), 0x4110));
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(points->count, 3);
    EXPECT_EQ(points->points[0].z, 3.0f);
    const auto* smooth = static_cast<smoothgroupdata3ds*>(DataOf(Chunk(0x4150, std::string(20, '\x01')), 0x4150));
    ASSERT_NE(smooth, nullptr);
    EXPECT_EQ(smooth->count, 5);  // a 0x4150 of length 26: five masks
    const auto* view = static_cast<viewdata3ds*>(DataOf(Chunk(0x3010, F32(100) + F32(1) + F32(2) + F32(3)), 0x3010));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->width, 100.0f);
    EXPECT_EQ(view->target.z, 3.0f);
    const auto* block = static_cast<rawdata3ds*>(DataOf(Chunk(0x9999, std::string(14, 'q')), 0x9999));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->size, 14u);
    EXPECT_EQ(DataOf(Chunk(0x9999, ""), 0x9999), nullptr);
    const auto* track = static_cast<trackdata3ds*>(
        DataOf(Chunk(0xB026, U16(0) + U32(0) + U32(0) + U32(1) + U32(4) + U16(0) + Z("morph_target_beyond")), 0xB026));
    ASSERT_NE(track, nullptr);
    EXPECT_STREQ(static_cast<const char*>(track->values), "morph_target");  // 12 characters in the 13-byte slot
    EXPECT_TRUE(Errors().empty());
}

// Bytes past a leaf's layout are kept out of the record's sight and written back
// after it, through a deep copy too; a branch's bytes past its layout are children.
TEST_F(ChunkData3ds, BytesPastALeafLayoutSurviveCopyAndWrite) {
    const std::string section = Chunk(0x3D3D, Chunk(0x1450, F32(2) + "tail") + Chunk(0x1450, F32(3)) +
                                                  Chunk(0x0100, F32(4) + Chunk(0x1450, F32(5))));
    database3ds* db = Open(Chunk(0x4D4D, section));
    chunk3ds* first = db->top->children->children;
    ASSERT_NE(first, nullptr);
    const float values[] = {2, 3, 4};
    chunk3ds* c = first;
    for (float v : values) {
        ASSERT_NE(c, nullptr);
        const auto* data = static_cast<floatdata3ds*>(ReadChunkData3ds(c));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->value, v);
        c = c->sibling;
    }
    ASSERT_NE(first->sibling->sibling->children, nullptr);  // the master scale's child
    DisconnectDatabase3ds(db);
    database3ds* copy = nullptr;
    InitDatabase3ds(&copy);
    mDatabases.push_back(copy);
    CopyDatabase3ds(db, copy);
    ReleaseChunk3ds(&db->top);  // the copy owns its own tails
    const std::string path = mDir / "copy.3ds";
    file3ds* out = OpenFile3ds(path.c_str(), "wb");
    WriteChunk3ds(copy->top, out->index);
    CloseFile3ds(out);
    EXPECT_EQ(ReadFile(path), Chunk(0x4D4D, section));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ChunkData3ds, HostileCountsAndLengthsAreCode4WithNothingAllocated) {
    struct Case {
        const char* what;
        std::string chunks;
        std::uint32_t tag;
    };
    const Case cases[] = {
        {"points beyond the file", Chunk(0x4110, U16(65535)), 0x4110},
        {"a colour shorter than its layout", Chunk(0x0013, F32(1)), 0x0013},
        {"a key count of 0xFFFFFFFF", Chunk(0xB020, U16(0) + U32(0) + U32(0) + U32(0xFFFFFFFFu)), 0xB020},
        {"a key header past the chunk", Chunk(0xB020, U16(0) + U32(0) + U32(0) + U32(1) + U32(0) + U16(0x1F) + F32(0)),
         0xB020},
        {"a material name without its NUL", Chunk(0x4130, "Mat"), 0x4130},
    };
    for (const Case& c : cases) {
        ClearErrList3ds();
        EXPECT_EQ(DataOf(c.chunks, c.tag), nullptr) << c.what;
        EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_CHUNK}) << c.what;
    }
}

// Data goes to the file of the chunk's write index, whichever file is current, in
// the tag's file layout; deleted chunks, in-memory parent names and chunks without
// data write nothing.
TEST_F(ChunkData3ds, WrittenInTheFileLayoutToTheChunksOwnFile) {
    const std::string outPath = mDir / "data.out", decoyPath = mDir / "decoy.out";
    file3ds* out = OpenFile3ds(outPath.c_str(), "wb");
    file3ds* decoy = OpenFile3ds(decoyPath.c_str(), "wb");
    std::vector<chunk3ds*> chunks;
    auto make = [&](std::uint32_t tag) {
        chunk3ds* c = nullptr;
        void* data = InitChunkAndData3ds(&c, tag);
        c->writeindex = out->index;
        chunks.push_back(c);
        return data;
    };
    auto* view = static_cast<viewdata3ds*>(make(0x3010));
    view->width = 100;
    view->target = {1, 2, 3};
    auto* header = static_cast<kfheaderdata3ds*>(make(0xB00A));
    *header = {5, strdup3ds(""), 30};
    auto* track = static_cast<trackdata3ds*>(make(0xB020));  // keys with spline flags 0 and 0x1
    track->header = {0, 0, 0, 2};
    track->keys = static_cast<keyheader3ds*>(std::calloc(2, sizeof(keyheader3ds)));
    track->keys[1] = {10, KeyUsesTension3ds, 0.5f, 0, 0, 0, 0};
    track->values = std::calloc(2, sizeof(point3ds));
    static_cast<point3ds*>(track->values)[1] = {4, 5, 6};
    auto* hide = static_cast<trackdata3ds*>(make(0xB029));
    hide->header = {0, 0, 0, 3};
    hide->keys = static_cast<keyheader3ds*>(std::calloc(3, sizeof(keyheader3ds)));
    hide->values = nullptr;
    *static_cast<autoreflectdata3ds*>(make(0xA310)) = {1, 2, 3, 256, 4};
    static_cast<stringdata3ds*>(make(0x80F0))->value = strdup3ds("Parent");
    make(0x4D4D);  // no data
    database3ds* db = Open(Chunk(0x4D4D, Chunk(0x9999, "fourteen bytes")));
    chunk3ds* unknown = db->top->children;
    ReadChunkData3ds(unknown);
    unknown->writeindex = out->index;
    chunks.push_back(unknown);
    for (chunk3ds* c : chunks) {
        SetContext3ds(decoy);
        WriteChunkData3ds(c);
    }
    CloseFile3ds(out);
    CloseFile3ds(decoy);
    const std::string expected =
        F32(100) + F32(1) + F32(2) + F32(3) +                                       // width first, then the target
        U16(5) + Z("") + U32(30) +                                                  // 7 bytes
        U16(0) + U32(0) + U32(0) + U32(2) + U32(0) + U16(0) + std::string(12, '\0') +  // 14 + 18
        U32(10) + U16(1) + F32(0.5f) + F32(4) + F32(5) + F32(6) +                   // + 22 = 54
        U16(0) + U32(0) + U32(0) + U32(3) + std::string(18, '\0') +                // 32
        U8(1) + U8(2) + U16(3) + U32(256) + U32(4) +                                // 12
        "fourteen bytes";
    EXPECT_EQ(ReadFile(outPath), expected);
    EXPECT_EQ(ReadFile(decoyPath), "");
    for (std::size_t i = 0; i + 1 < chunks.size(); ++i) ReleaseChunk3ds(&chunks[i]);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ChunkData3ds, InMemoryTreeWrittenAndReadBackEqual) {
    // A tree built in memory, written through a context and walked back.
    chunk3ds* top = nullptr;
    InitChunkAs3ds(&top, 0x4D4D);
    chunk3ds* section = nullptr;
    InitChunkAs3ds(&section, 0x3D3D);
    AddChildOrdered3ds(top, section);
    chunk3ds* named = nullptr;
    static_cast<stringdata3ds*>(InitChunkAndData3ds(&named, 0x4000))->value = strdup3ds("Tri");
    AddChildOrdered3ds(section, named);
    chunk3ds* mesh = nullptr;
    InitChunkAs3ds(&mesh, 0x4100);
    AddChildOrdered3ds(named, mesh);
    chunk3ds* faces = nullptr;
    auto* fa = static_cast<facearraydata3ds*>(InitChunkAndData3ds(&faces, 0x4120));
    fa->count = 2;
    fa->faces = static_cast<face3ds*>(std::malloc(2 * sizeof(face3ds)));
    fa->faces[0] = {0, 1, 2, 7};
    fa->faces[1] = {2, 1, 0, 0};
    AddChildOrdered3ds(mesh, faces);
    chunk3ds* group = nullptr;
    auto* mg = static_cast<matgroupdata3ds*>(InitChunkAndData3ds(&group, 0x4130));
    mg->matname = strdup3ds("Red");
    mg->count = 1;
    mg->faces = static_cast<std::uint16_t*>(std::malloc(2));
    mg->faces[0] = 1;
    AddChildOrdered3ds(faces, group);
    chunk3ds* unknown = nullptr;
    auto* raw = static_cast<rawdata3ds*>(InitChunkAndData3ds(&unknown, 0x9999));
    EXPECT_EQ(raw, nullptr);  // length 6: no block
    AddChildOrdered3ds(section, unknown);

    const std::string path = mDir / "tree.3ds";
    file3ds* out = OpenFile3ds(path.c_str(), "wb");
    WriteChunk3ds(top, out->index);
    CloseFile3ds(out);
    const std::string bytes = ReadFile(path);
    const std::string expected = Chunk(
        0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("Tri") + Chunk(0x4100, Chunk(0x4120, U16(2) + U16(0) + U16(1) + U16(2) +
                                                                                U16(7) + U16(2) + U16(1) + U16(0) + U16(0) +
                                                                                Chunk(0x4130, Z("Red") + U16(1) + U16(1))))) +
                                  Chunk(0x9999, "")));
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(top->size, expected.size());
    ReleaseChunk3ds(&top);

    database3ds* back = OpenPath(path);
    chunk3ds* group2 = nullptr;
    FindChunk3ds(back->top, 0x4130, &group2);
    ASSERT_NE(group2, nullptr);
    const auto* mg2 = static_cast<matgroupdata3ds*>(ReadChunkData3ds(group2));
    ASSERT_NE(mg2, nullptr);
    EXPECT_STREQ(mg2->matname, "Red");
    EXPECT_EQ(mg2->faces[0], 1);
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace tk3dstest
