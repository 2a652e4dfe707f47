// The chunk database: lists, finds, deletes and copies, the keyframe node
// hierarchy, mesh settings and background, on hand-made and sample files.

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"

namespace tk3dstest {
namespace {

std::string Object(const std::string& name, std::uint16_t kind = 0x4100, const std::string& body = "") {
    return Chunk(0x4000, Z(name) + Chunk(kind, body));
}
std::string Node(std::uint16_t tag, const std::string& name, int id, int parent, const std::string& instance = "",
                 const std::string& rest = "") {
    std::string body;
    if (id >= 0) body += Chunk(0xB030, U16(static_cast<std::uint16_t>(id)));
    body += Chunk(0xB010, Z(name) + U16(0) + U16(0) + U16(static_cast<std::uint16_t>(parent)));
    if (!instance.empty()) body += Chunk(0xB011, Z(instance));
    return Chunk(tag, body + rest);
}
std::string Material(const std::string& name) { return Chunk(0xAFFF, Chunk(0xA000, Z(name))); }
std::string MeshFile(const std::string& section, const std::string& keyframer = "") {
    return Chunk(0x4D4D, Chunk(0x0002, U32(3)) + Chunk(0x3D3D, section) + (keyframer.empty() ? "" : Chunk(0xB000, keyframer)));
}

std::vector<std::string> Names(const chunklist3ds* list) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; list && i < list->count; ++i) names.push_back(list->list[i].name);
    return names;
}

// The parent name held under a node's header, or "-" when none.
std::string ParentName(chunk3ds* node) {
    chunk3ds* header = FindChild3ds(node, 0xB010);
    chunk3ds* parent = header ? FindChild3ds(header, 0x80F0) : nullptr;
    return parent ? static_cast<stringdata3ds*>(parent->data)->value : "-";
}

std::int16_t Short(chunk3ds* chunk) { return static_cast<shortdata3ds*>(ReadChunkData3ds(chunk))->value; }

class Database3ds : public ToolkitTest {};

TEST_F(Database3ds, NamedObjectListsAreFoundWithoutRebuildAndFollowDeletes) {
    database3ds* db = Open(MeshFile(Object("Box") + Object("Cam", 0x4700, std::string(32, '\0')) +
                                    Object("Spot", 0x4600, std::string(12, '\0') + Chunk(0x4610, std::string(20, '\0'))) +
                                    Object("Omni", 0x4600, std::string(12, '\0'))));
    chunk3ds* found = nullptr;
    FindNamedObject3ds(db, "Cam", &found);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(Names(db->objects), (std::vector<std::string>{"Box", "Cam", "Spot", "Omni"}));
    const chunklist3ds* list = db->objects;
    FindNamedObject3ds(db, "Box", &found);
    EXPECT_EQ(db->objects, list);  // not rebuilt
    EXPECT_EQ(db->objectsdirty, 0);
    EXPECT_EQ(FindNamedObjectByIndex3ds(db, 0x4610, 0), FindNamedObject3ds(db, "Spot", &found));
    EXPECT_EQ(FindNamedObjectByIndex3ds(db, 0x4600, 0), found);  // lights of either kind
    EXPECT_EQ(FindNamedObjectByIndex3ds(db, 0x4600, 1), FindNamedObject3ds(db, "Omni", &found));
    EXPECT_EQ(CountNamedObjects3ds(db, 0x4600), 2u);

    DeleteNamedObjectByName3ds(db, "Cam");
    EXPECT_EQ(FindNamedObject3ds(db, "Cam", &found), nullptr);
    DeleteChunkTypeByIndex3ds(db, 0x4610, 0);
    EXPECT_EQ(db->objectsdirty, 1);  // rebuilt at the next find
    FindNamedObject3ds(db, "Box", &found);
    EXPECT_EQ(Names(db->objects), (std::vector<std::string>{"Box", "Omni"}));
    database3ds* back = Reread(db);
    FindNamedObject3ds(back, "Box", &found);
    EXPECT_EQ(Names(back->objects), (std::vector<std::string>{"Box", "Omni"}));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Database3ds, MaterialEntriesOfAMeshFileAndOfALibrary) {
    database3ds* db = Open(MeshFile(Material("Red") + Chunk(0x0100, F32(1)) + Material("Blue")));
    chunk3ds* blue = FindMatEntryByIndex3ds(db, 1);
    ASSERT_NE(blue, nullptr);
    EXPECT_EQ(blue, db->materials->list[1].chunk);
    EXPECT_EQ(Names(db->materials), (std::vector<std::string>{"Red", "Blue"}));
    database3ds* library = Open(Chunk(0x3DAA, Material("Gold") + Material("Silver")), "lib.mli");
    chunk3ds* found = nullptr;
    EXPECT_NE(FindMatEntry3ds(library, "Silver", &found), nullptr);
    EXPECT_EQ(Names(library->materials), (std::vector<std::string>{"Gold", "Silver"}));
    EXPECT_EQ(GetDatabaseType3ds(library), MaterialFile3ds);
    database3ds* unknown = New(7);
    EXPECT_EQ(GetDatabaseType3ds(unknown), UnknownDatabase3ds);
    EXPECT_EQ(FindMatEntry3ds(unknown, "Gold", &found), nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
}

TEST_F(Database3ds, KeyframeNodesNamedWithInstancesAndParents) {
    // Body (object, instance Body01) is the parent of Arm; the camera and its target share a name.
    database3ds* db = Open(MeshFile(Object("Body"), Node(0xB001, "$AMBIENT$", 7, -1) +
                                                        Node(0xB002, "Body", 0, -1, "Body01") +
                                                        Node(0xB002, "Arm", 1, 0) + Node(0xB003, "Cam", 2, -1) +
                                                        Node(0xB004, "Cam", 3, -1)));
    EXPECT_NE(FindNodeTagByNameAndType3ds(db, "Body.Body01", 0xB002), nullptr);
    EXPECT_EQ(FindNodeTagByNameAndType3ds(db, "Body", 0xB002), nullptr);
    EXPECT_EQ(Names(db->nodes), (std::vector<std::string>{"$AMBIENT$", "Body.Body01", "Arm", "Cam", "Cam"}));
    chunk3ds* arm = FindNodeTagByNameAndType3ds(db, "Arm", 0xB002);
    EXPECT_EQ(ParentName(arm), "Body.Body01");
    EXPECT_EQ(ParentName(FindNodeTagByNameAndType3ds(db, "Body.Body01", 0xB002)), "-");
    EXPECT_EQ(CountNodeTags3ds(db, 0xB002), 2u);
    EXPECT_EQ(FindNodeTagByIndexAndType3ds(db, 1, 0xB002), arm);

    // Copying the camera takes its target; a second copy does not duplicate them.
    database3ds* other = New();
    CopyNodeTagByNameAndType3ds(other, db, "Cam", 0xB003);
    CopyNodeTagByIndexAndType3ds(other, db, 0, 0xB003);
    UpdateNodeTagList3ds(other);
    EXPECT_EQ(Names(other->nodes), (std::vector<std::string>{"Cam", "Cam"}));
    int live = 0;
    for (chunk3ds* c = FindChild3ds(other->top, 0xB000)->children; c; c = c->sibling) live += c->tag == 0xB003 || c->tag == 0xB004;
    EXPECT_EQ(live, 2);
    DeleteNodeTagByNameAndType3ds(db, "Cam", 0xB003);
    EXPECT_EQ(FindNodeTagByNameAndType3ds(db, "Cam", 0xB004), nullptr);

    // Written: the ambient node gets -1, the others 0, 1 in order, Arm's parent Body's id.
    const std::string bytes = Write(db);
    database3ds* back = OpenPath(mDir / "out.3ds");
    chunk3ds* ambient = FindNodeTagByIndexAndType3ds(back, 0, 0xB001);
    chunk3ds* body = FindNodeTagByNameAndType3ds(back, "Body.Body01", 0xB002);
    arm = FindNodeTagByNameAndType3ds(back, "Arm", 0xB002);
    EXPECT_EQ(Short(FindChild3ds(ambient, 0xB030)), -1);
    EXPECT_EQ(Short(FindChild3ds(body, 0xB030)), 0);
    EXPECT_EQ(Short(FindChild3ds(arm, 0xB030)), 1);
    EXPECT_EQ(static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(FindChild3ds(arm, 0xB010)))->parentindex, 0);
    EXPECT_EQ(ParentName(arm), "Body.Body01");
    EXPECT_EQ(bytes.find(std::string("\xF0\x80", 2)), std::string::npos);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Database3ds, NodesRenumberedWhenOneLacksItsId) {
    // Node 1 has no id chunk: all are numbered 0, 1, 2 in order, and parents resolve by those numbers.
    database3ds* db = Open(MeshFile("", Node(0xB002, "A", 0, -1) + Node(0xB002, "B", -1, 0) + Node(0xB002, "C", 2, 0)));
    EXPECT_EQ(ParentName(FindNodeTagByNameAndType3ds(db, "C", 0xB002)), "A");
    EXPECT_EQ(ParentName(FindNodeTagByNameAndType3ds(db, "B", 0xB002)), "-");  // no id chunk: not resolved
    ReleaseNodeList();
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    for (const char* name : {"Body", "Arm"}) {
        nodeinfo3ds* n = makeNode(nullptr);
        n->name = strdup3ds(name);
        n->id = name[0] == 'B' ? 0 : 1;
        n->parent = name[0] == 'B' ? -1 : 0;
    }
    PrintHierarchy(out);
    ReleaseNodeList();
    std::fclose(out);
    EXPECT_STREQ(text, "Body\n-Arm\n");
    std::free(text);
}

TEST_F(Database3ds, NodeListPrintedOnlyWhileItExists) {
    database3ds* db = Open(MeshFile("", Node(0xB002, "Body", 0, -1, "Body01") + Node(0xB002, "Arm", 1, 0) +
                                            Node(0xB001, "$AMBIENT$", 5, -1) + Node(0xB003, "Cam", 2, -1)));
    auto print = [] {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        PrintNodeList(out);
        std::fclose(out);
        const std::string printed = text;
        std::free(text);
        return printed;
    };
    EXPECT_EQ(nodeList, nullptr);  // the read released its list
    EXPECT_EQ(print(), "");
    InitNodeList();
    ParseDb(db);  // the ambient node takes no part
    EXPECT_EQ(print(), "ID:0\tName:Body.Body01\tParent:-1\nID:1\tName:Arm\tParent:0\nID:2\tName:Cam\tParent:-1\n");
    makeNode(nullptr);  // an element not named yet
    EXPECT_EQ(print().substr(print().rfind("ID:")), "ID:-1\tName:\tParent:-1\n");
    InitNodeList();
    EXPECT_EQ(nodeList, nullptr);
    EXPECT_EQ(print(), "");
    EXPECT_TRUE(Errors().empty());
}

// The tree reader on its own: headers only, in file order, from the chunk's own
// file; inside an extended-data entry a child running past the entry is passed
// over by its header and a foreign tag ends the entry.
TEST_F(Database3ds, ChildrenReadAsHeadersFromTheChunksFile) {
    const std::string entry = Chunk(0x8001, Chunk(0x8002, Z("App")) + U16(0x8003) + U32(100) + Chunk(0x8003, Z("item")) +
                                                Chunk(0x8010, "xx") + Chunk(0x8002, Z("late")));
    const std::string bytes =
        Chunk(0x4D4D, Chunk(0x0002, U32(3)) + Chunk(0x3D3D, Object("Box", 0x4100, Chunk(0x4110, U16(0)))) +
                          Chunk(0x8000, entry) + Chunk(0x0100, F32(1)));
    const std::string path = mDir / "tree.3ds";
    WriteFile(path, bytes);
    file3ds* file = OpenFile3ds(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    auto chunkAt = [&](std::uint32_t tag, std::size_t position, std::size_t size) {
        chunk3ds* c = nullptr;
        InitChunkAs3ds(&c, tag);
        c->position = static_cast<std::uint32_t>(position);
        c->size = static_cast<std::uint32_t>(size);
        c->readindex = file->index;
        return c;
    };
    std::function<std::string(const chunk3ds*)> shape = [&](const chunk3ds* c) {
        std::string s = std::to_string(c->tag) + "@" + std::to_string(c->position);
        EXPECT_EQ(c->data, nullptr);
        if (c->children) s += "(";
        for (const chunk3ds* k = c->children; k; k = k->sibling) s += shape(k) + (k->sibling ? " " : ")");
        return s;
    };
    const std::size_t at = bytes.find(entry);
    const std::string entryShape = "32769@" + std::to_string(at) + "(32770@" + std::to_string(at + 6) + " 32771@" +
                                   std::to_string(at + 6 + 10 + 6) + ")";
    chunk3ds* top = chunkAt(0x4D4D, 0, bytes.size());
    const std::string other = mDir / "other.3ds";
    SetContext3ds(OpenFile3ds(other.c_str(), "wb"));  // not the file the chunks come from
    ReadChildren3ds(top);
    EXPECT_EQ(shape(top), "19789@0(2@6 15677@16(16384@22(16640@32(16656@38))) 32768@" + std::to_string(at - 6) + "(" +
                              entryShape + ") 256@" + std::to_string(bytes.size() - 10) + ")");
    chunk3ds* alone = chunkAt(0x8001, at, entry.size());
    ReadXDataEntryChildren3ds(alone);
    EXPECT_EQ(shape(alone), entryShape);
    EXPECT_TRUE(Errors().empty());
    ReleaseChunk3ds(&top);
    ReleaseChunk3ds(&alone);
    ReadChildren3ds(nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
}

// Node ids are 16-bit: ids 0 to 32,767 are written, one node more is refused as such.
TEST_F(Database3ds, MoreNodesThanIdsCanNumberAreNotWritten) {
    const std::string node = Chunk(0xB002, Chunk(0xB030, U16(0)) + Chunk(0xB010, Z("N") + U16(0) + U16(0) + U16(0xFFFF)));
    for (const int count : {kMaxNodes3ds, kMaxNodes3ds + 1}) {
        std::string nodes;
        nodes.reserve(node.size() * static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) nodes += node;
        const std::string name = std::to_string(count) + ".3ds";
        database3ds* db = Open(MeshFile("", nodes), "in" + name);
        ASSERT_NE(db->top, nullptr);
        ClearErrList3ds();
        Write(db, "out" + name);
        EXPECT_EQ(Errors(), count > kMaxNodes3ds
                                ? (std::vector<std::int32_t>{ERR_TOO_MANY_NODES, ERR_WRITING_DATABASE})
                                : std::vector<std::int32_t>{})
            << count;
    }
}

TEST_F(Database3ds, CopiesMakeTheSectionsTheyNeed) {
    database3ds* src = Open(MeshFile(Object("Box") + Object("Ball")));
    database3ds* dst = New();
    EXPECT_EQ(FindChild3ds(dst->top, 0x3D3D) != nullptr, true);  // the release stamp makes it
    DeleteChunk3ds(FindChild3ds(dst->top, 0x3D3D));
    CopyNamedObjectByName3ds(dst, src, "Ball");
    CopyNamedObjectByIndex3ds(dst, src, 0x4100, 1);  // Ball again: replaces it
    CopyNamedObjectByIndex3ds(dst, src, 0x4100, 0);
    chunk3ds* found = nullptr;
    FindNamedObject3ds(dst, "Box", &found);
    EXPECT_EQ(Names(dst->objects), (std::vector<std::string>{"Ball", "Box"}));
    database3ds* project = New(2);
    CopyNamedObjectByName3ds(src, project, "Box");
    EXPECT_TRUE(Errors().empty());
    database3ds* library = New(3);
    CopyNamedObjectByName3ds(library, src, "Box");
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
}

// A copy into the database it comes from finds what it copies there already and
// changes nothing: the file written after every kind of copy is the one before.
TEST_F(Database3ds, CopiesIntoTheirOwnDatabaseChangeNothing) {
    const std::string section = Chunk(0x1100, Z("sky.jpg")) + Chunk(0x0100, F32(2)) + Material("Red") + Object("Box") +
                                Object("Cam", 0x4700, std::string(32, '\0')) + Object("Lamp", 0x4600, std::string(12, '\0')) +
                                Object("Spot", 0x4600, std::string(12, '\0') + Chunk(0x4610, std::string(20, '\0')));
    const std::string keyframer = Chunk(0xB00A, U16(5) + Z("") + U32(100)) + Node(0xB002, "Box", 0, -1) +
                                  Node(0xB004, "Cam", 1, -1) + Node(0xB003, "Cam", 2, 0) + Node(0xB006, "Spot", 3, -1) +
                                  Node(0xB007, "Spot", 4, -1) + Node(0xB005, "Lamp", 5, -1);
    database3ds* db = Open(MeshFile(section, keyframer));
    const std::string before = Write(db, "before.3ds");
    ASSERT_TRUE(Errors().empty());
    CopyDatabase3ds(db, db);
    CopyBackground3ds(db, db);
    CopyMeshSet3ds(db, db);
    CopyKfSets3ds(db, db);
    CopyMaterialByName3ds(db, db, "Red");
    CopyMaterialByIndex3ds(db, db, 0);
    CopyMeshByName3ds(db, db, "Box");
    CopyMeshByIndex3ds(db, db, 0);
    CopyCameraByName3ds(db, db, "Cam");
    CopyCameraByIndex3ds(db, db, 0);
    CopyOmnilightByName3ds(db, db, "Lamp");
    CopyOmnilightByIndex3ds(db, db, 0);
    CopySpotlightByName3ds(db, db, "Spot");
    CopySpotlightByIndex3ds(db, db, 0);
    CopyObjectMotionByName3ds(db, db, "Box");
    CopyObjectMotionByIndex3ds(db, db, 0);
    CopyCameraMotionByName3ds(db, db, "Cam");
    CopyCameraMotionByIndex3ds(db, db, 0);
    CopyOmnilightMotionByName3ds(db, db, "Lamp");
    CopyOmnilightMotionByIndex3ds(db, db, 0);
    CopySpotlightMotionByName3ds(db, db, "Spot");
    CopySpotlightMotionByIndex3ds(db, db, 0);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Write(db, "after.3ds"), before);
    EXPECT_EQ(GetCameraNodeCount3ds(db), 1u);
    EXPECT_NE(FindNodeTagByNameAndType3ds(db, "Spot", 0xB006), nullptr);
    // The checks of the arguments still come first.
    CopyMeshByName3ds(db, db, nullptr);
    CopyMaterialByName3ds(db, db, nullptr);
    CopySpotlightMotionByName3ds(db, db, nullptr);
    EXPECT_EQ(Errors(), (std::vector<std::int32_t>{ERR_INVALID_ARG, ERR_INVALID_ARG, ERR_INVALID_ARG}));
}

TEST_F(Database3ds, ExtendedDataEntriesKeepTheirBlockAndStopAtForeignTags) {
    // Inside an entry an 0x8010 ends the entry's children; the file goes on after it.
    const std::string entry = Chunk(0x8001, Chunk(0x8002, Z("App")) + Chunk(0x8010, "xx") + Chunk(0x8003, Z("late")));
    database3ds* db = Open(MeshFile(Object("Box", 0x4100, Chunk(0x8000, entry)) + Object("After")));
    chunk3ds* xentry = nullptr;
    FindChunk3ds(db->top, 0x8001, &xentry);
    ASSERT_NE(xentry, nullptr);
    ASSERT_NE(xentry->children, nullptr);
    EXPECT_EQ(xentry->children->tag, 0x8002u);
    EXPECT_EQ(xentry->children->sibling, nullptr);
    chunk3ds* found = nullptr;
    EXPECT_NE(FindNamedObject3ds(db, "After", &found), nullptr);
    database3ds* back = Reread(db);
    chunk3ds* copy = nullptr;
    FindChunk3ds(back->top, 0x8001, &copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->size, entry.size());  // written once, as its block
}

TEST_F(Database3ds, MeshSettingsAndBackgroundRoundTrip) {
    database3ds* db = New();
    meshset3ds* set = nullptr;
    InitMeshSet3ds(&set);
    set->masterscale = 2.5f;
    set->shadowmapsize = 1024;
    set->ambientlight = {0.1f, 0.2f, 0.3f};
    set->origin = {1, 2, 3};
    PutMeshSet3ds(db, set);
    PutMeshSet3ds(db, set);  // twice: one chunk of each tag
    background3ds* bg = nullptr;
    InitBackground3ds(&bg);
    bg->solid = {0.5f, 0.25f, 1.0f};
    bg->gradienttop = {1, 0, 0};
    bg->gradientbottom = {0, 0, 1};
    bg->used = 2;
    PutBackground3ds(db, bg);
    database3ds* back = Reread(db);
    meshset3ds* got = nullptr;
    GetMeshSet3ds(back, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->masterscale, 2.5f);
    EXPECT_EQ(got->shadowmapsize, 1024);
    EXPECT_EQ(got->ambientlight.g, 0.2f);
    EXPECT_EQ(got->origin.z, 3.0f);
    background3ds* gotbg = nullptr;
    GetBackground3ds(back, &gotbg);
    ASSERT_NE(gotbg, nullptr);
    EXPECT_STREQ(gotbg->bitmapname, "");
    EXPECT_EQ(gotbg->solid.g, 0.25f);
    EXPECT_EQ(gotbg->gradientbottom.b, 1.0f);
    EXPECT_EQ(gotbg->used, 2u);
    int scales = 0;
    for (chunk3ds* c = FindChild3ds(back->top, 0x3D3D)->children; c; c = c->sibling) scales += c->tag == 0x0100;
    EXPECT_EQ(scales, 1);

    // used 0 removes the use chunk; the three settings stay.
    bg->used = 0;
    PutBackground3ds(back, bg);
    database3ds* unused = Reread(back, "unused.3ds");
    chunk3ds* found = nullptr;
    for (std::uint32_t tag : {0x1101u, 0x1201u, 0x1301u}) {
        FindChunk3ds(unused->top, tag, &found);
        EXPECT_EQ(found, nullptr);
    }
    for (std::uint32_t tag : {0x1100u, 0x1200u, 0x1300u}) {
        FindChunk3ds(unused->top, tag, &found);
        EXPECT_NE(found, nullptr);
    }
    // Copying settings leaves the destination's ambient light alone.
    database3ds* copy = New();
    CopyMeshSet3ds(copy, back);
    meshset3ds* copied = nullptr;
    GetMeshSet3ds(copy, &copied);
    EXPECT_EQ(copied->masterscale, 2.5f);
    EXPECT_NEAR(copied->ambientlight.r, 0.39216f, 1e-6);
    for (meshset3ds* s : {set, got, copied}) ReleaseMeshSet3ds(&s);
    ReleaseBackground3ds(&bg);
    ReleaseBackground3ds(&gotbg);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Database3ds, ColourAndBackgroundPrecedence) {
    // Ambient bytes divide by 255; a linear colour wins over the plain one.
    database3ds* db = Open(MeshFile(Chunk(0x2100, Chunk(0x0011, U8(255) + U8(255) + U8(255))) +
                                    Chunk(0x1200, Chunk(0x0010, F32(1) + F32(0) + F32(0)) + Chunk(0x0013, F32(0) + F32(1) + F32(0))) +
                                    Chunk(0x1300, F32(0.3f) + Chunk(0x0010, F32(1) + F32(1) + F32(1)) + Chunk(0x0010, F32(0.5f) + F32(0.5f) + F32(0.5f))) +
                                    Chunk(0x1301, "") + Chunk(0x1201, "")));
    meshset3ds* set = nullptr;
    GetMeshSet3ds(db, &set);
    EXPECT_EQ(set->ambientlight.r, 1.0f);
    background3ds* bg = nullptr;
    GetBackground3ds(db, &bg);
    EXPECT_EQ(bg->solid.r, 0.0f);
    EXPECT_EQ(bg->solid.g, 1.0f);
    EXPECT_EQ(bg->gradientmiddle.r, 0.5f);
    EXPECT_EQ(bg->gradientbottom.r, 0.0f);  // two colours: bottom stays 0
    EXPECT_NEAR(bg->gradientpercent, 0.3f, 1e-7);
    EXPECT_EQ(bg->used, 1u);  // 0x1201 goes before 0x1301
    // Putting a bitmap background leaves one use chunk, 0x1101, in the place of the first.
    bg->used = 3;
    PutBackground3ds(db, bg);
    chunk3ds* section = FindChild3ds(db->top, 0x3D3D);
    int uses = 0;
    for (chunk3ds* c = section->children; c; c = c->sibling) uses += c->tag == 0x1101 || c->tag == 0x1201 || c->tag == 0x1301;
    EXPECT_EQ(uses, 1);
    ReleaseMeshSet3ds(&set);
    ReleaseBackground3ds(&bg);
    database3ds* none = Open(Chunk(0x4D4D, ""), "none.3ds");
    meshset3ds* untouched = nullptr;
    GetMeshSet3ds(none, &untouched);
    EXPECT_EQ(untouched, nullptr);
}

TEST_F(Database3ds, BackgroundCopyReplacesChunksOfTheSameTagsOnly) {
    database3ds* src = Open(MeshFile(Chunk(0x1100, Z("sky.jpg")) + Chunk(0x1101, "") +
                                     Chunk(0x1200, Chunk(0x0010, F32(1) + F32(0) + F32(0)))));
    database3ds* dst = New();
    meshset3ds* set = nullptr;
    InitMeshSet3ds(&set);
    set->masterscale = 3;
    PutMeshSet3ds(dst, set);
    background3ds* bg = nullptr;
    InitBackground3ds(&bg);
    bg->solid = {0, 1, 0};
    bg->gradientpercent = 0.25f;
    bg->used = 1;
    PutBackground3ds(dst, bg);
    CopyBackground3ds(dst, src);
    EXPECT_TRUE(Errors().empty());
    database3ds* back = Reread(dst);
    background3ds* got = nullptr;
    GetBackground3ds(back, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->bitmapname, "sky.jpg");
    EXPECT_EQ(got->solid.r, 1.0f);  // the source's solid colour replaced the destination's
    EXPECT_EQ(got->solid.g, 0.0f);
    EXPECT_EQ(got->gradientpercent, 0.25f);  // the source has no gradient: the destination's stays
    EXPECT_EQ(got->used, 3u);  // the copied 0x1101 goes before the destination's own 0x1201
    meshset3ds* settings = nullptr;
    GetMeshSet3ds(back, &settings);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->masterscale, 3.0f);  // other children of the section stay
    // A source without a mesh section copies nothing; a library is the wrong kind.
    CopyBackground3ds(back, New(3));
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
    ClearErrList3ds();
    database3ds* bare = Open(Chunk(0x4D4D, Chunk(0x0002, U32(3))), "bare.3ds");
    CopyBackground3ds(back, bare);
    CopyBackground3ds(nullptr, bare);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    ClearErrList3ds();
    background3ds* again = nullptr;
    GetBackground3ds(back, &again);
    ASSERT_NE(again, nullptr);
    EXPECT_STREQ(again->bitmapname, "sky.jpg");
    for (background3ds* b : {bg, got, again}) ReleaseBackground3ds(&b);
    for (meshset3ds* m : {set, settings}) ReleaseMeshSet3ds(&m);
}

// What each sample holds (names of objects in file order, materials, nodes).
struct SampleTable {
    const char* file;
    std::vector<std::string> objects;
    std::uint32_t materials;
    int nodes;  // -1: no keyframer section
};

class SampleDatabases3ds : public ToolkitTest, public testing::WithParamInterface<SampleTable> {};

TEST_P(SampleDatabases3ds, ListsSettingsAndRewrite) {
    SKIP_WITHOUT_SAMPLES();
    const SampleTable& t = GetParam();
    const std::string path = SampleDir() + "/" + t.file;
    database3ds* db = OpenPath(path);
    ASSERT_NE(db->top, nullptr);
    chunk3ds* found = nullptr;
    FindNamedObject3ds(db, "none", &found);
    EXPECT_EQ(Names(db->objects), t.objects);
    UpdateMatEntryList3ds(db);
    EXPECT_EQ(db->materials->count, t.materials);
    chunk3ds* keyframer = nullptr;
    FindChunk3ds(db->top, 0xB000, &keyframer);
    EXPECT_EQ(keyframer != nullptr, t.nodes >= 0);
    UpdateNodeTagList3ds(db);
    EXPECT_EQ(static_cast<int>(db->nodes->count), t.nodes < 0 ? 0 : t.nodes);
    meshset3ds* set = nullptr;
    GetMeshSet3ds(db, &set);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->masterscale, 1.0f);
    if (std::string(t.file) == "jeep1.3ds") {
        EXPECT_NEAR(set->ambientlight.r, 0.3f, 1e-6);
        EXPECT_NE(FindChild3ds(FindChild3ds(db->top, 0x3D3D), 0x1400), nullptr);
    } else {
        EXPECT_NEAR(set->ambientlight.r, 0.39216f, 1e-6);
    }
    ReleaseMeshSet3ds(&set);
    EXPECT_TRUE(Errors().empty());

    // Rewritten, the file differs only in the version stamps, the node ids and,
    // for a file without one, an added keyframer section.
    Write(db, "rewritten.3ds");
    database3ds* back = OpenPath(mDir / "rewritten.3ds");
    ASSERT_NE(back->top, nullptr);
    EXPECT_EQ(GetDatabaseRelease3ds(back), 2u);
    EXPECT_EQ(GetMeshRelease3ds(back), 2u);
    EXPECT_EQ(GetKfRelease3ds(back), 2u);
    FindNamedObject3ds(back, "none", &found);
    EXPECT_EQ(Names(back->objects), t.objects);
    UpdateNodeTagList3ds(back);
    EXPECT_EQ(Names(back->nodes), Names(db->nodes));
    EXPECT_TRUE(Errors().empty());

    if (!std::filesystem::exists("/usr/bin/3dsdump")) GTEST_SKIP() << "3dsdump of lib3ds-dev not installed";
    auto dump = [](const std::string& file) {
        const std::string command = "/usr/bin/3dsdump -m -t -c -l -n '" + file + "' 2>&1";
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe.get())) > 0;) text.append(buffer, n);
        return text;
    };
    const std::string original = dump(path), rewritten = dump(mDir / "rewritten.3ds");
    EXPECT_GT(original.size(), 100u);
    EXPECT_TRUE(original == rewritten) << "3dsdump differs for " << t.file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SampleDatabases3ds,
    testing::Values(SampleTable{"fels.3ds", {"Default"}, 1, -1},
                    SampleTable{"jeep1.3ds", {"frw", "rrw", "flw", "rlw", "rsteer", "lsteer", "main"}, 1, 0},
                    SampleTable{"test1.3ds", {"Box01", "Box02", "Box04", "Box05", "Box06", "Box07", "Box08", "Box09", "Box10"}, 3, 9},
                    SampleTable{"cubes_with_alpha.3DS", {"Quader01", "Quader02", "Quader03", "Quader04", "Quader05"}, 5, 5},
                    SampleTable{"RotatingCube.3DS", {"Box01"}, 0, 1},
                    SampleTable{"TargetCameraAnim.3ds", {"Box01", "Camera01"}, 0, 3}),
    [](const testing::TestParamInfo<SampleTable>& info) {
        return std::string(info.param.file).substr(0, std::string(info.param.file).find('.'));
    });

}  // namespace
}  // namespace tk3dstest
