// Mesh, material, camera and light records: put, written, read back and got, with
// the edge cases of each and bad input.

#include <algorithm>
#include <cmath>

#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"
#ifdef ZEQ_HAVE_LIB3DS
#include "formats/geometry/3ds/toolkit/tests/lib3ds/lib3dsharness.h"
#endif

namespace tk3dstest {
namespace {

#ifdef ZEQ_HAVE_LIB3DS
constexpr bool kLib3ds = true;
#else
constexpr bool kLib3ds = false;
#endif

class Records3ds : public ToolkitTest {
protected:
    // A database of every kind of named object, kinds interleaved: meshes Box and
    // Ball, cameras CamA to CamC, omnilights Omni1 and Omni2, spotlights Spot1 and
    // Spot2 (hotspot 21 and 22). Positions tell the objects apart: x is 1, 2, ...
    database3ds* Mixed() {
        std::string objects;
        float x = 0;
        auto add = [&](const char* name, std::uint16_t kind, float hotspot = 0) {
            std::string body = F32(++x) + F32(0) + F32(0);
            if (kind == 0x4700) body += std::string(16, '\0') + F32(50);  // target, roll, lens
            if (hotspot > 0) body += Chunk(0x4610, std::string(12, '\0') + F32(hotspot) + F32(hotspot + 1));
            objects += Chunk(0x4000, Z(name) + Chunk(kind, kind == 0x4100 ? "" : body));
        };
        add("Box", 0x4100);
        add("CamA", 0x4700);
        add("Omni1", 0x4600);
        add("Spot1", 0x4600, 21);
        add("CamB", 0x4700);
        add("Ball", 0x4100);
        add("Omni2", 0x4600);
        add("Spot2", 0x4600, 22);
        add("CamC", 0x4700);
        return Open(Chunk(0x4D4D, Chunk(0x3D3D, objects)), "mixed.3ds");
    }
    // Names of the objects of a kind that lib3ds reads from `path`, in its order.
    static std::vector<std::string> PeerNames(const std::string& path, char kind) {
        std::vector<std::string> names;
#ifdef ZEQ_HAVE_LIB3DS
        lib3dsharness::Scene peer;
        std::string error;
        EXPECT_TRUE(lib3dsharness::Load(path, peer, &error)) << error;
        for (const auto& m : peer.meshes)
            if (kind == 'm') names.push_back(m.name);
        for (const auto& c : peer.cameras)
            if (kind == 'c') names.push_back(c.name + "@" + std::to_string(int(c.position[0])));
        for (const auto& l : peer.lights)
            if (kind == (l.spot ? 's' : 'o'))
                names.push_back(l.name + "@" + std::to_string(int(l.position[0])) + (l.spot ? "/" + std::to_string(int(l.hotspot)) : ""));
        std::sort(names.begin(), names.end());  // lib3ds keeps its lists sorted by name
#else
        (void)path;
        (void)kind;
#endif
        return names;
    }
    static std::vector<std::uint32_t> ChildTags(chunk3ds* parent) {
        std::vector<std::uint32_t> tags;
        for (chunk3ds* c = parent ? parent->children : nullptr; c; c = c->sibling)
            if (c->tag) tags.push_back(c->tag);
        return tags;
    }
    static chunk3ds* Object(database3ds* db, const char* name) {
        chunk3ds* found = nullptr;
        FindNamedObject3ds(db, name, &found);
        return found;
    }
};

mesh3ds* FullMesh() {
    mesh3ds* m = nullptr;
    InitMeshObj3ds(&m, 4, 2, InitTextArray3ds | InitVFlagArray3ds | InitSmoothArray3ds);
    std::strcpy(m->name, "Tri");
    for (int i = 0; i < 4; ++i) {
        m->vertices[i] = {float(i), float(i * 2), float(-i)};
        m->texverts[i] = {i * 0.25f, 1 - i * 0.25f};
        m->vflags[i] = static_cast<std::uint16_t>(i);
    }
    m->faces[0] = {0, 1, 2, 7};
    m->faces[1] = {2, 3, 0, FaceUWrap3ds};
    m->smoothgroups[0] = Smooth01Group3ds;
    m->smoothgroups[1] = Smooth32Group3ds;
    m->matgroupcount = 2;
    InitMeshObjField3ds(m, InitMatArray3ds);
    std::strcpy(m->matgroups[0].name, "Red");
    m->matgroups[0].nfaces = 2;
    InitMatArrayIndex3ds(m, 0, 2);
    m->matgroups[0].faces[1] = 1;
    std::strcpy(m->matgroups[1].name, "Empty");  // a group of no faces
    m->hasmapinfo = 1;
    m->mapinfo.maptype = 2;
    m->mapinfo.ch = 7;
    for (int i = 0; i < 12; ++i) m->localmatrix[i] = float(i + 1);
    m->hasboxmap = 1;
    for (int i = 0; i < 6; ++i) std::strcpy(m->boxmaps[i], ("box" + std::to_string(i)).c_str());
    m->colorindex = 9;
    m->hidden = m->matte = m->frozen = 1;
    m->procsize = 3;
    InitMeshObjField3ds(m, InitProcData3ds);
    m->procdata[2] = 42;
    std::strcpy(m->procname, "proc");
    m->hasprocedural = 1;
    return m;
}

TEST_F(Records3ds, MeshRoundTripKeepsEveryField) {
    database3ds* db = New();
    mesh3ds* m = FullMesh();
    PutMesh3ds(db, m);
    ASSERT_TRUE(Errors().empty());
    EXPECT_EQ(ChildTags(Object(db, "Tri")), (std::vector<std::uint32_t>{0x4100, 0x4010, 0x4013, 0x4016, 0x4015}));
    EXPECT_EQ(ChildTags(FindChild3ds(Object(db, "Tri"), 0x4100)),
              (std::vector<std::uint32_t>{0x4110, 0x4140, 0x4170, 0x4111, 0x4160, 0x4165, 0x4120, 0x4181, 0x4182}));
    database3ds* back = Reread(db);
    EXPECT_EQ(GetMeshCount3ds(back), 1u);
    mesh3ds* got = nullptr;
    GetMeshByIndex3ds(back, 0, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->name, "Tri");
    ASSERT_EQ(got->vertexcount, 4);
    ASSERT_EQ(got->texvertcount, 4);
    ASSERT_EQ(got->vflagcount, 4);
    ASSERT_EQ(got->facecount, 2);
    EXPECT_EQ(std::memcmp(got->vertices, m->vertices, 4 * sizeof(point3ds)), 0);
    EXPECT_EQ(std::memcmp(got->texverts, m->texverts, 4 * sizeof(textvert3ds)), 0);
    EXPECT_EQ(std::memcmp(got->vflags, m->vflags, 4 * 2), 0);
    EXPECT_EQ(std::memcmp(got->faces, m->faces, 2 * sizeof(face3ds)), 0);
    EXPECT_EQ(got->smoothgroups[1], Smooth32Group3ds);
    ASSERT_EQ(got->matgroupcount, 2);
    EXPECT_STREQ(got->matgroups[0].name, "Red");
    EXPECT_EQ(got->matgroups[0].faces[1], 1);
    EXPECT_STREQ(got->matgroups[1].name, "Empty");
    EXPECT_EQ(got->matgroups[1].nfaces, 0);
    EXPECT_EQ(got->hasmapinfo, 1);
    EXPECT_EQ(got->mapinfo.maptype, 2);
    EXPECT_EQ(got->mapinfo.ch, 7.0f);
    EXPECT_EQ(got->localmatrix[11], 12.0f);
    EXPECT_STREQ(got->boxmaps[5], "box5");
    EXPECT_EQ(got->colorindex, 9);
    EXPECT_EQ(got->hidden + got->matte + got->frozen + got->hasprocedural, 4);
    EXPECT_EQ(got->lofterflag + got->nocastshadow + got->fastdisplay + got->norecvshadow, 0);
    ASSERT_EQ(got->procsize, 3u);
    EXPECT_EQ(got->procdata[2], 42);
    EXPECT_STREQ(got->procname, "proc");
    // A second get into the same record frees what it held first (no leak).
    GetMeshByName3ds(back, "Tri", &got);
    EXPECT_EQ(got->vertexcount, 4);
    RelMeshObj3ds(&got);
    RelMeshObj3ds(&m);
    EXPECT_EQ(m, nullptr);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Records3ds, MeshPutsReplaceInPlaceAndKeepExtendedData) {
    database3ds* db = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("First") + Chunk(0x4100, "")) +
                                                         Chunk(0x4000, Z("Cam") + Chunk(0x4700, std::string(32, '\0'))) +
                                                         Chunk(0x4000, Z("Last") + Chunk(0x4100, "")))));
    mesh3ds* m = nullptr;
    InitMeshObj3ds(&m, 3, 0, 0);  // vertices only
    std::strcpy(m->name, "Cam");
    PutMesh3ds(db, m);
    EXPECT_EQ(ChildTags(FindChild3ds(Object(db, "Cam"), 0x4100)), (std::vector<std::uint32_t>{0x4110, 0x4160, 0x4165}));
    UpdateNamedObjectList3ds(db);
    EXPECT_EQ(db->objects->list[1].chunk, Object(db, "Cam"));  // in the camera's place
    EXPECT_EQ(GetCameraCount3ds(db), 0u);
    EXPECT_EQ(GetMeshCount3ds(db), 3u);
    // Twice over itself: one object; extended data of the first moves under the new mesh.
    chunk3ds* xdata = nullptr;
    InitChunkAs3ds(&xdata, 0x8000);
    AddChild3ds(FindChild3ds(Object(db, "Cam"), 0x4100), xdata);
    PutMesh3ds(db, m);
    EXPECT_EQ(GetMeshCount3ds(db), 3u);
    EXPECT_EQ(ChildTags(FindChild3ds(Object(db, "Cam"), 0x4100)).back(), 0x8000u);
    // A name held by no mesh gives nothing and no error.
    database3ds* cams = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("Cam") + Chunk(0x4700, std::string(32, '\0'))))), "c.3ds");
    mesh3ds* none = nullptr;
    GetMeshByName3ds(cams, "Cam", &none);
    EXPECT_EQ(none, nullptr);
    GetMeshByIndex3ds(cams, 0, &none);
    EXPECT_EQ(none, nullptr);
    RelMeshObj3ds(&m);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Records3ds, MeshReadsMendOddCountsAndCutLongNames) {
    // Smoothing of 3 masks for 2 faces, 5 vertex flags for 2 vertices, names past their fields.
    const std::string faces = U16(2) + U16(0) + U16(1) + U16(0) + U16(0) + U16(1) + U16(0) + U16(0) + U16(0);
    const std::string mesh = Chunk(0x4110, U16(2) + std::string(24, '\0')) +
                             Chunk(0x4111, U16(5) + U16(1) + U16(2) + U16(3) + U16(4) + U16(5)) +
                             Chunk(0x4120, faces + Chunk(0x4130, Z("AMaterialNameLongerThan16") + U16(1) + U16(1)) +
                                               Chunk(0x4150, U32(1) + U32(2) + U32(3)));
    database3ds* db = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("ObjectNameTooLong") + Chunk(0x4100, mesh)))));
    mesh3ds* m = nullptr;
    GetMeshByIndex3ds(db, 0, &m);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->name, "ObjectName");
    EXPECT_STREQ(m->matgroups[0].name, "AMaterialNameLon");
    EXPECT_EQ(m->vflagcount, 2);
    EXPECT_EQ(m->vflags[1], 2);
    EXPECT_EQ(m->smoothgroups[0], 1u);
    EXPECT_EQ(m->smoothgroups[1], 2u);
    RelMeshObj3ds(&m);
    EXPECT_TRUE(Errors().empty());
    // A vertex count beyond its chunk: code 4, and the record is empty and freeable.
    database3ds* bad = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("Bad") + Chunk(0x4100, Chunk(0x4110, U16(900) + std::string(12, '\0')))))), "bad.3ds");
    InitMeshObj3ds(&m, 5, 5, 0);
    GetMeshByIndex3ds(bad, 0, &m);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_CHUNK});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->vertexcount, 0);
    EXPECT_EQ(m->vertices, nullptr);
    RelMeshObj3ds(&m);
}

material3ds* FullMaterial() {
    material3ds* m = nullptr;
    InitMaterial3ds(&m);
    std::strcpy(m->name, "Steel");
    const float colors[3][3] = {{0.2f, 0.4f, 0.6f}, {1.5f, -0.2f, 0.5f}, {1, 1, 1}};
    std::memcpy(m->ambient, colors[0], 12);
    std::memcpy(m->diffuse, colors[1], 12);
    std::memcpy(m->specular, colors[2], 12);
    m->shininess = 0.257f;
    m->shinstrength = 0.5f;
    m->transparency = 0.17f;
    m->transfalloff = -0.335f;
    m->reflectblur = 0.1f;
    m->selfillumpct = 0.99f;
    m->wiresize = 2;
    m->shading = 2;
    m->twosided = m->soften = m->additive = m->userefblur = 1;
    bitmap3ds material3ds::*slots[] = {&material3ds::texture1,     &material3ds::texture1mask, &material3ds::texture2,
                                       &material3ds::texture2mask, &material3ds::opacitymap,   &material3ds::opacitymask,
                                       &material3ds::bumpmap,      &material3ds::bumpmask,     &material3ds::specularmap,
                                       &material3ds::specularmask, &material3ds::shininessmap, &material3ds::shininessmask,
                                       &material3ds::selfillummap, &material3ds::selfillummask, &material3ds::reflectmap,
                                       &material3ds::reflectmask};
    int i = 0;
    for (auto slot : slots) {
        bitmap3ds& map = m->*slot;
        std::snprintf(map.name, sizeof(map.name), "map%02d.tga", i);
        map.percent = 0.125f + 0.05f * i;
        map.tiling = 1 + i % 3;
        map.tinttype = i % 5;
        map.mirror = i % 2;
        map.uscale = 1;
        map.vscale = 2;
        map.rotation = float(i);
        map.tint1[0] = 1;
        map.redtint[1] = 0.5f;
        ++i;
    }
    m->texture2.datasize = 4;
    m->texture2.data = static_cast<std::uint8_t*>(std::malloc(4));
    std::memcpy(m->texture2.data, "abcd", 4);
    m->autoreflect = m->flatmirror = 1;
    m->automapsize = 256;
    m->autonthframe = 3;
    return m;
}

TEST_F(Records3ds, MaterialRoundTripWithinItsQuantisation) {
    database3ds* db = New();
    material3ds* m = FullMaterial();
    PutMaterial3ds(db, m);
    ASSERT_TRUE(Errors().empty());
    database3ds* back = Reread(db);
    EXPECT_EQ(GetMaterialCount3ds(back), 1u);
    material3ds* got = nullptr;
    GetMaterialByName3ds(back, "Steel", &got);
    ASSERT_NE(got, nullptr);
    EXPECT_NEAR(got->ambient[1], 0.4f, 1.0f / 255);
    EXPECT_EQ(got->diffuse[0], 1.0f);  // clamped, not wrapped
    EXPECT_EQ(got->diffuse[1], 0.0f);
    EXPECT_EQ(got->shininess, 0.25f);  // truncated to whole percents
    EXPECT_EQ(got->transparency, 0.17f);
    EXPECT_EQ(got->transfalloff, -0.34f);  // rounded half away, sign by 0xA08A
    EXPECT_EQ(got->shading, 2);
    EXPECT_EQ(got->twosided + got->soften + got->additive + got->userefblur, 4);
    EXPECT_EQ(got->wiresize, 2.0f);
    EXPECT_STREQ(got->texture1.name, "map00.tga");
    EXPECT_EQ(got->texture1.percent, 0.13f);  // 12.5 % rounded half up
    EXPECT_EQ(got->texture1mask.tiling, 2);
    EXPECT_EQ(got->texture2.tiling, 3);
    EXPECT_EQ(got->texture1mask.tinttype, 1);
    EXPECT_EQ(got->texture2.tinttype, 2);
    EXPECT_EQ(got->texture2.tint1[0], 1.0f);
    EXPECT_EQ(got->texture2mask.tinttype, 3);
    EXPECT_EQ(got->opacitymap.tinttype, 4);
    EXPECT_EQ(got->opacitymap.redtint[1], 127 / 255.0f);  // 127.5 truncated
    EXPECT_EQ(got->opacitymap.tint1[0], 0.0f);  // type 4 writes no first tint
    EXPECT_EQ(got->texture1mask.mirror, 1);
    EXPECT_EQ(got->texture1.vscale, 2.0f);
    EXPECT_EQ(got->shininessmap.rotation, 10.0f);
    EXPECT_EQ(got->bumpmap.percent, 0.42f);  // from 0xA252, truncated
    ASSERT_EQ(got->texture2.datasize, 4u);
    EXPECT_EQ(std::memcmp(got->texture2.data, "abcd", 4), 0);
    EXPECT_STREQ(got->reflectmap.name, "map14.tga");
    EXPECT_EQ(got->reflectmap.percent, 0.82f);  // truncated, no half
    EXPECT_EQ(got->reflectmap.tiling, 1);       // nothing else of the reflection map is kept
    EXPECT_STREQ(got->reflectmask.name, "map15.tga");
    EXPECT_EQ(got->autoreflect + got->flatmirror, 2);
    EXPECT_EQ(got->firstframeonly, 0);
    EXPECT_EQ(got->automapsize, 256);
    EXPECT_EQ(got->autonthframe, 3);
    // Put again under the same name: in place, the count does not grow.
    m->shading = 1;
    PutMaterial3ds(back, m);
    EXPECT_EQ(GetMaterialCount3ds(back), 1u);
    GetMaterialByIndex3ds(back, 0, &got);
    EXPECT_EQ(got->shading, 1);
    ReleaseMaterial3ds(&got);
    ReleaseMaterial3ds(&m);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Records3ds, MaterialsCopiedAndDeletedByIndexAndName) {
    auto names = [](database3ds* db) {
        namelist3ds* list = nullptr;
        GetMaterialNameList3ds(db, &list);
        std::vector<std::string> out;
        for (std::uint32_t i = 0; list && i < list->count; ++i) out.push_back(list->list[i]);
        ReleaseNameList3ds(&list);
        return out;
    };
    database3ds* src = New();
    material3ds* m = nullptr;
    for (const char* name : {"Red", "Green", "Blue"}) {
        InitMaterial3ds(&m);
        std::strcpy(m->name, name);
        PutMaterial3ds(src, m);
    }
    database3ds* library = New(3);
    CopyMaterialByIndex3ds(library, src, 1);
    CopyMaterialByName3ds(library, src, "Blue");
    CopyMaterialByName3ds(library, src, "Green");  // replaces the copy made before
    CopyMaterialByName3ds(library, src, "None");   // not found: nothing, no error
    EXPECT_EQ(names(library), (std::vector<std::string>{"Blue", "Green"}));
    EXPECT_EQ(names(Reread(library, "lib.mli")), (std::vector<std::string>{"Blue", "Green"}));
    // A put over an existing name keeps its index.
    InitMaterial3ds(&m);
    std::strcpy(m->name, "Green");
    m->shading = 1;
    PutMaterial3ds(src, m);
    EXPECT_EQ(names(src), (std::vector<std::string>{"Red", "Green", "Blue"}));
    material3ds* got = nullptr;
    GetMaterialByIndex3ds(src, 1, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->shading, 1);
    DeleteMaterialByIndex3ds(src, 0);
    DeleteMaterialByName3ds(src, "Blue");
    DeleteMaterialByName3ds(src, "None");
    EXPECT_EQ(names(Reread(src)), std::vector<std::string>{"Green"});
    EXPECT_TRUE(Errors().empty());
    // An entry without a name is in no list; copies from a database without it do nothing.
    database3ds* nameless = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0xAFFF, Chunk(0xA100, U16(2))))), "nameless.3ds");
    EXPECT_EQ(GetMaterialCount3ds(nameless), 0u);
    CopyMaterialByName3ds(library, New(), "Red");
    EXPECT_TRUE(Errors().empty());
    CopyMaterialByIndex3ds(library, nullptr, 0);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    ReleaseMaterial3ds(&got);
    ReleaseMaterial3ds(&m);
}

TEST_F(Records3ds, MaterialFlagWordsAndAutomaticReflection) {
    auto mapFile = [](std::uint16_t flags) {
        return Chunk(0xAFFF, Chunk(0xA000, Z("M")) + Chunk(0xA200, Chunk(0xA300, Z("t.jpg")) + Chunk(0xA351, U16(flags))) +
                                 Chunk(0x8000, "") + Chunk(0xA042, ""));
    };
    struct Case {
        std::uint16_t flags;
        std::int32_t tiling, tinttype;
    };
    for (const Case& c : {Case{0x11, 2, 0}, Case{0x1, 3, 0}, Case{0x0, 1, 0}, Case{0x40, 1, 1}, Case{0xC0, 1, 3}, Case{0x200, 1, 4}}) {
        database3ds* db = Open(Chunk(0x4D4D, Chunk(0x3D3D, mapFile(c.flags))), "m" + std::to_string(c.flags) + ".3ds");
        material3ds* m = nullptr;
        GetMaterialByIndex3ds(db, 0, &m);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->texture1.tiling, c.tiling) << c.flags;
        EXPECT_EQ(m->texture1.tinttype, c.tinttype) << c.flags;
        ReleaseMaterial3ds(&m);
    }
    EXPECT_TRUE(Errors().empty());
    // Automatic reflection with an empty map name writes an empty 0xA220 and 0xA310.
    database3ds* db = New();
    material3ds* m = nullptr;
    InitMaterial3ds(&m);
    std::strcpy(m->name, "Mirror");
    m->autoreflect = 1;
    m->firstframeonly = 1;
    PutMaterial3ds(db, m);
    chunk3ds* entry = nullptr;
    FindMatEntry3ds(db, "Mirror", &entry);
    const std::vector<std::uint32_t> tags = Records3ds::ChildTags(entry);
    EXPECT_EQ(tags.back(), 0xA310u);
    EXPECT_EQ(tags[tags.size() - 2], 0xA220u);
    material3ds* got = nullptr;
    GetMaterialByName3ds(Reread(db), "Mirror", &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->firstframeonly, 1);
    EXPECT_STREQ(got->reflectmap.name, "");
    ReleaseMaterial3ds(&got);
    ReleaseMaterial3ds(&m);
    // An unknown child stops the read with code 4 and leaves a clean record.
    database3ds* odd = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0xAFFF, Chunk(0xA000, Z("Odd")) + Chunk(0xA100, U16(2)) + Chunk(0xA999, "")))), "odd.3ds");
    GetMaterialByIndex3ds(odd, 0, &got);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_CHUNK});
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->shading, 3);
    ReleaseMaterial3ds(&got);
    // A material library counts its entries.
    database3ds* library = New(3);
    ClearErrList3ds();
    InitMaterial3ds(&m);
    std::strcpy(m->name, "Lib");
    PutMaterial3ds(library, m);
    EXPECT_EQ(GetMaterialCount3ds(Reread(library, "lib.mli")), 1u);
    ReleaseMaterial3ds(&m);
}

TEST_F(Records3ds, CamerasConvertLensAndFieldOfView) {
    database3ds* db = New();
    camera3ds* cam = nullptr;
    InitCamera3ds(&cam);
    std::strcpy(cam->name, "Cam01");
    cam->position = {1, 2, 3};
    cam->roll = 15;
    cam->nearrange = 0;
    PutCamera3ds(db, cam);
    auto* lens = static_cast<cameradata3ds*>(FindChild3ds(Object(db, "Cam01"), 0x4700)->data);
    EXPECT_NEAR(lens->focal, 53.333f, 1e-3);
    EXPECT_EQ(ChildTags(FindChild3ds(Object(db, "Cam01"), 0x4700)), (std::vector<std::uint32_t>{0x4720}));
    // Twice, with extended data under the first: it moves to the second.
    chunk3ds* xdata = nullptr;
    InitChunkAs3ds(&xdata, 0x8000);
    AddChild3ds(FindChild3ds(Object(db, "Cam01"), 0x4700), xdata);
    cam->showcone = 1;
    PutCamera3ds(db, cam);
    EXPECT_EQ(GetCameraCount3ds(db), 1u);
    EXPECT_EQ(ChildTags(FindChild3ds(Object(db, "Cam01"), 0x4700)), (std::vector<std::uint32_t>{0x4710, 0x4720, 0x8000}));
    camera3ds* got = nullptr;
    GetCameraByIndex3ds(Reread(db), 0, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_NEAR(got->fov, 45.0f, 1e-4);
    EXPECT_EQ(got->roll, 15.0f);
    EXPECT_EQ(got->showcone, 1);
    EXPECT_EQ(got->nearrange, 0.0f);
    EXPECT_EQ(got->farrange, 1000.0f);
    EXPECT_TRUE(Errors().empty());

    cam->fov = 0;
    PutCamera3ds(db, cam);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_DATA});
    ClearErrList3ds();
    cam->fov = 45;
    PutCamera3ds(New(2), cam);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
    ClearErrList3ds();
    // A lens of 0 reads as 45 degrees; a mesh's name asked as a camera is code 8.
    database3ds* file = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("Flat") + Chunk(0x4700, std::string(32, '\0'))) +
                                                           Chunk(0x4000, Z("Box") + Chunk(0x4100, "")))), "lens.3ds");
    GetCameraByName3ds(file, "Flat", &got);
    EXPECT_EQ(got->fov, 45.0f);
    GetCameraByName3ds(file, "Nobody", &got);
    EXPECT_TRUE(Errors().empty());
    GetCameraByName3ds(file, "Box", &got);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_OBJECT});
    ReleaseCamera3ds(&got);
    ReleaseCamera3ds(&cam);
}

// Names, deletes and copies of cameras: deletes and copies by name take the named
// object whatever its kind; the files written say what is left, to the toolkit
// and to lib3ds.
TEST_F(Records3ds, CamerasListedDeletedAndCopied) {
    database3ds* src = Mixed();
    EXPECT_EQ(Listed(GetCameraNameList3ds, src), (std::vector<std::string>{"CamA", "CamB", "CamC"}));
    DeleteCameraByIndex3ds(src, 1);
    DeleteCameraByName3ds(src, "Ball");  // a mesh
    DeleteCameraByName3ds(src, "Nobody");
    EXPECT_EQ(Listed(GetCameraNameList3ds, src), (std::vector<std::string>{"CamA", "CamC"}));
    database3ds* dst = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("CamC") + Chunk(0x4100, "")))), "dst-in.3ds");
    CopyCameraByName3ds(dst, src, "CamC");  // replaces the mesh of that name
    CopyCameraByName3ds(dst, src, "Box");   // a mesh too
    CopyCameraByName3ds(dst, src, "Nobody");
    EXPECT_TRUE(Errors().empty());
    Write(src, "src.3ds");
    Write(dst, "dst.3ds");
    database3ds* srcBack = OpenPath(mDir / "src.3ds");
    database3ds* dstBack = OpenPath(mDir / "dst.3ds");
    EXPECT_EQ(Listed(GetCameraNameList3ds, srcBack), (std::vector<std::string>{"CamA", "CamC"}));
    EXPECT_EQ(Listed(GetMeshNameList3ds, srcBack), std::vector<std::string>{"Box"});
    EXPECT_EQ(Listed(GetCameraNameList3ds, dstBack), std::vector<std::string>{"CamC"});
    EXPECT_EQ(Listed(GetMeshNameList3ds, dstBack), std::vector<std::string>{"Box"});
    camera3ds* cam = nullptr;
    GetCameraByName3ds(dstBack, "CamC", &cam);
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->position.x, 9.0f);
    ReleaseCamera3ds(&cam);
    if (kLib3ds) {
        EXPECT_EQ(PeerNames(mDir / "src.3ds", 'c'), (std::vector<std::string>{"CamA@2", "CamC@9"}));
        EXPECT_EQ(PeerNames(mDir / "src.3ds", 'm'), std::vector<std::string>{"Box"});
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 'c'), std::vector<std::string>{"CamC@9"});
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 'm'), std::vector<std::string>{"Box"});
    }
    EXPECT_TRUE(Errors().empty());
    GetCameraNameList3ds(src, nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
}

// Omnilight and spotlight names are of their own kind; deletes and copies by
// index count spotlights for the spotlight forms and lights of either kind for
// the omnilight forms; by name they take the object whatever its kind.
TEST_F(Records3ds, LightsListedDeletedAndCopiedByKind) {
    database3ds* src = Mixed();
    EXPECT_EQ(Listed(GetOmnilightNameList3ds, src), (std::vector<std::string>{"Omni1", "Omni2"}));
    EXPECT_EQ(Listed(GetSpotlightNameList3ds, src), (std::vector<std::string>{"Spot1", "Spot2"}));
    database3ds* dst = New();
    CopyOmnilightByIndex3ds(dst, src, 1);   // the second light: Spot1
    CopySpotlightByIndex3ds(dst, src, 1);   // Spot2
    CopyOmnilightByName3ds(dst, src, "Omni2");
    CopySpotlightByName3ds(dst, src, "Spot1");  // again: replaced, not doubled
    CopySpotlightByIndex3ds(dst, src, 2);   // past the last: nothing
    EXPECT_EQ(Listed(GetSpotlightNameList3ds, dst), (std::vector<std::string>{"Spot2", "Spot1"}));
    DeleteSpotlightByIndex3ds(src, 1);         // Spot2
    DeleteOmnilightByName3ds(src, "Spot1");    // a spotlight
    DeleteSpotlightByName3ds(src, "Omni1");    // an omnilight
    EXPECT_TRUE(Errors().empty());
    Write(src, "src.3ds");
    Write(dst, "dst.3ds");
    database3ds* srcBack = OpenPath(mDir / "src.3ds");
    database3ds* dstBack = OpenPath(mDir / "dst.3ds");
    EXPECT_EQ(Listed(GetOmnilightNameList3ds, srcBack), std::vector<std::string>{"Omni2"});
    EXPECT_EQ(Listed(GetSpotlightNameList3ds, srcBack), std::vector<std::string>{});
    EXPECT_EQ(Listed(GetOmnilightNameList3ds, dstBack), std::vector<std::string>{"Omni2"});
    EXPECT_EQ(Listed(GetSpotlightNameList3ds, dstBack), (std::vector<std::string>{"Spot2", "Spot1"}));
    light3ds* light = nullptr;
    GetSpotlightByName3ds(dstBack, "Spot1", &light);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->position.x, 4.0f);
    EXPECT_EQ(light->spot->hotspot, 21.0f);
    ReleaseLight3ds(&light);
    if (kLib3ds) {
        EXPECT_EQ(PeerNames(mDir / "src.3ds", 'o'), std::vector<std::string>{"Omni2@7"});
        EXPECT_EQ(PeerNames(mDir / "src.3ds", 's'), std::vector<std::string>{});
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 'o'), std::vector<std::string>{"Omni2@7"});
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 's'), (std::vector<std::string>{"Spot1@4/21", "Spot2@8/22"}));
    }
    EXPECT_TRUE(Errors().empty());
    namelist3ds* names = nullptr;
    GetSpotlightNameList3ds(nullptr, &names);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
}

// Deletes of meshes by index count meshes only; by name, as copies by name, they
// take the named object whatever its kind. The files written say what is left,
// to the toolkit and to lib3ds.
TEST_F(Records3ds, MeshesDeletedAndCopiedByNameAndIndex) {
    database3ds* src = Mixed();
    DeleteMeshByIndex3ds(src, 1);         // Ball
    DeleteMeshByIndex3ds(src, 1);         // past the last mesh now
    DeleteMeshByName3ds(src, "CamA");     // a camera
    DeleteMeshByName3ds(src, "Nobody");
    EXPECT_EQ(Listed(GetMeshNameList3ds, src), std::vector<std::string>{"Box"});
    database3ds* dst = Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("Box") + Chunk(0x4700, std::string(32, '\0'))))),
                            "dst-in.3ds");
    CopyMeshByName3ds(dst, src, "Box");    // replaces the camera of that name
    CopyMeshByName3ds(dst, src, "Box");    // again: replaced, not doubled
    CopyMeshByName3ds(dst, src, "Omni1");  // a light
    CopyMeshByName3ds(dst, src, "Ball");   // deleted from the source
    EXPECT_TRUE(Errors().empty());
    database3ds* srcBack = Reread(src, "src.3ds");
    database3ds* dstBack = Reread(dst, "dst.3ds");
    EXPECT_EQ(Listed(GetMeshNameList3ds, srcBack), std::vector<std::string>{"Box"});
    EXPECT_EQ(Listed(GetCameraNameList3ds, srcBack), (std::vector<std::string>{"CamB", "CamC"}));
    EXPECT_EQ(Listed(GetMeshNameList3ds, dstBack), std::vector<std::string>{"Box"});
    EXPECT_EQ(Listed(GetCameraNameList3ds, dstBack), std::vector<std::string>{});
    EXPECT_EQ(Listed(GetOmnilightNameList3ds, dstBack), std::vector<std::string>{"Omni1"});
    if (kLib3ds) {
        EXPECT_EQ(PeerNames(mDir / "src.3ds", 'm'), std::vector<std::string>{"Box"});
        EXPECT_EQ(PeerNames(mDir / "src.3ds", 'c'), (std::vector<std::string>{"CamB@5", "CamC@9"}));
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 'm'), std::vector<std::string>{"Box"});
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 'c'), std::vector<std::string>{});
        EXPECT_EQ(PeerNames(mDir / "dst.3ds", 'o'), std::vector<std::string>{"Omni1@3"});
    }
    EXPECT_TRUE(Errors().empty());
    DeleteMeshByName3ds(src, nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    ClearErrList3ds();
    CopyMeshByName3ds(dst, New(3), "Box");
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
}

TEST_F(Records3ds, MeshNamesAmongOtherObjects) {
    database3ds* db = Mixed();
    EXPECT_EQ(Listed(GetMeshNameList3ds, db), (std::vector<std::string>{"Box", "Ball"}));
    EXPECT_EQ(Listed(GetMeshNameList3ds, New()), std::vector<std::string>{});
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Records3ds, LightsOmniAndSpot) {
    database3ds* db = New();
    light3ds* light = nullptr;
    for (const char* name : {"Omni1", "Omni2"}) {
        InitLight3ds(&light);
        std::strcpy(light->name, name);
        PutOmnilight3ds(db, light);
    }
    InitSpotlight3ds(&light);
    std::strcpy(light->name, "Spot");
    light->position = {1, 2, 3};
    light->off = light->attenuate = 1;
    for (const char* name : {"A", "B", "LongExcludedName"}) AddToNameList3ds(&light->exclude, name);
    light->spot->hotspot = 30;
    light->spot->falloff = 40;
    light->spot->localshadow = light->spot->shadowed = light->spot->overshoot = 1;
    light->spot->shadowtype = 1;
    light->spot->shadowmapsize = 256;
    light->spot->projector = 1;
    light->spot->projectorname = strdup3ds("slide.bmp");
    PutSpotlight3ds(db, light);
    EXPECT_EQ(GetOmnilightCount3ds(db), 2u);
    EXPECT_EQ(GetSpotlightCount3ds(db), 1u);
    chunk3ds* spotChunk = FindChild3ds(FindChild3ds(Object(db, "Spot"), 0x4600), 0x4610);
    EXPECT_EQ(ChildTags(spotChunk), (std::vector<std::uint32_t>{0x4656, 0x4630, 0x4627, 0x4658, 0x4640, 0x4641, 0x4652, 0x4653}));
    database3ds* back = Reread(db);
    light3ds* got = nullptr;
    GetSpotlightByIndex3ds(back, 0, &got);
    ASSERT_NE(got, nullptr);
    ASSERT_NE(got->spot, nullptr);
    EXPECT_EQ(got->position.z, 3.0f);
    EXPECT_EQ(got->off + got->attenuate, 2);
    ASSERT_EQ(got->exclude->count, 3u);
    EXPECT_STREQ(got->exclude->list[2], "LongExclud");
    EXPECT_EQ(got->spot->aspect, 1.0f);
    EXPECT_EQ(got->spot->falloff, 40.0f);
    EXPECT_EQ(got->spot->shadowmapsize, 256);
    EXPECT_EQ(got->spot->localshadow + got->spot->shadowed + got->spot->overshoot + got->spot->projector, 4);
    EXPECT_EQ(got->spot->shadowtype, 1u);
    EXPECT_STREQ(got->spot->projectorname, "slide.bmp");
    // An omnilight asked as a spotlight: nothing, no error.
    light3ds* none = nullptr;
    GetSpotlightByName3ds(back, "Omni2", &none);
    EXPECT_EQ(none, nullptr);
    // A reused record keeps its spot part through InitLight3ds and is written as a spotlight.
    InitLight3ds(&got);
    ASSERT_NE(got->spot, nullptr);
    std::strcpy(got->name, "Reused");
    PutOmnilight3ds(back, got);
    EXPECT_EQ(GetSpotlightCount3ds(back), 2u);
    // Deleting omnilight 0 deletes the first light of either kind.
    DeleteOmnilightByIndex3ds(back, 0);
    EXPECT_EQ(GetOmnilightCount3ds(back), 1u);
    EXPECT_EQ(Object(back, "Omni1"), nullptr);
    ReleaseLight3ds(&got);
    ReleaseLight3ds(&light);
    EXPECT_TRUE(Errors().empty());
    // Colours: bytes / 255, the later of 0x0010 and 0x0011 wins.
    const std::string colours = Chunk(0x0010, F32(0.1f) + F32(0.1f) + F32(0.1f)) + Chunk(0x0011, U8(255) + U8(128) + U8(0));
    database3ds* file =
        Open(Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, Z("L") + Chunk(0x4600, std::string(12, '\0') + colours)))), "l.3ds");
    GetOmnilightByName3ds(file, "L", &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->color.r, 1.0f);
    EXPECT_NEAR(got->color.g, 0.50196f, 1e-5);
    EXPECT_EQ(got->color.b, 0.0f);
    ReleaseLight3ds(&got);
}

}  // namespace
}  // namespace tk3dstest
