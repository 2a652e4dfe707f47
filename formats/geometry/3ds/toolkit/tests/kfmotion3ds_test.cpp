// Keyframer settings and motion records: put, written, read back and got; the
// samples' animation; lib3ds's reading and evaluation of the same files.

#include <algorithm>
#include <cmath>
#include <map>

#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"
#ifdef ZEQ_HAVE_LIB3DS
#include "formats/geometry/3ds/toolkit/tests/lib3ds/lib3dsharness.h"
#endif

namespace tk3dstest {
namespace {

std::vector<std::uint32_t> SectionTags(database3ds* db) {
    std::vector<std::uint32_t> tags;
    for (chunk3ds* c = FindChild3ds(db->top, 0xB000) ? FindChild3ds(db->top, 0xB000)->children : nullptr; c; c = c->sibling)
        if (c->tag) tags.push_back(c->tag);
    return tags;
}

// Keys at frames 0, 10, 20.. with every combination of spline flags in turn.
void FillKeys(keyheader3ds* keys, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) {
        keys[k].time = 10 * k;
        keys[k].rflags = static_cast<std::uint16_t>(k % 33);  // 0..0x1F, then 0x20
        keys[k].tension = keys[k].rflags & 1 ? 0.5f : 0.0f;
        keys[k].continuity = keys[k].rflags & 2 ? -0.25f : 0.0f;
        keys[k].bias = keys[k].rflags & 4 ? 0.75f : 0.0f;
        keys[k].easeto = keys[k].rflags & 8 ? 1.0f : 0.0f;
        keys[k].easefrom = keys[k].rflags & 16 ? 0.125f : 0.0f;
    }
}

void ExpectSameKeys(const keyheader3ds* a, const keyheader3ds* b, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) {
        EXPECT_EQ(a[k].time, b[k].time) << k;
        EXPECT_EQ(a[k].rflags, b[k].rflags) << k;
        EXPECT_EQ(a[k].tension, b[k].tension) << k;
        EXPECT_EQ(a[k].continuity, b[k].continuity) << k;
        EXPECT_EQ(a[k].bias, b[k].bias) << k;
        EXPECT_EQ(a[k].easeto, b[k].easeto) << k;
        EXPECT_EQ(a[k].easefrom, b[k].easefrom) << k;
    }
}

class Motion3ds : public ToolkitTest {};

TEST_F(Motion3ds, SettingsPutGotAndTheSegmentRemoved) {
    database3ds* db = New();
    DeleteChunk3ds(FindChild3ds(db->top, 0xB000));  // as a file without a keyframer
    kfsets3ds* sets = nullptr;
    GetKfSets3ds(db, &sets);
    EXPECT_EQ(sets->anim.length, 30);
    EXPECT_EQ(sets->anim.curframe, 0);
    EXPECT_EQ(sets->seg.use, 0);
    chunk3ds* section = nullptr;
    kfGetKfSeg(db->top, &section);
    EXPECT_NE(section, nullptr);  // the get added an empty section
    chunk3ds* again = nullptr;
    kfGetKfSeg(db->top, &again);
    EXPECT_EQ(again, section);
    sets->anim = {100, 12};
    sets->seg = {True3ds, 10, 50};
    PutKfSets3ds(db, sets);
    EXPECT_EQ(SectionTags(db), (std::vector<std::uint32_t>{0xB00A, 0xB008, 0xB009}));
    const std::string bytes = Write(db);
    EXPECT_NE(bytes.find(Chunk(0xB00A, U16(5) + Z("") + U32(100))), std::string::npos);
    EXPECT_NE(bytes.find(Chunk(0xB008, U32(10) + U32(50)) + Chunk(0xB009, U32(12))), std::string::npos);
    database3ds* back = OpenPath(mDir / "out.3ds");
    kfsets3ds* got = nullptr;
    GetKfSets3ds(back, &got);
    EXPECT_EQ(got->anim.length, 100);
    EXPECT_EQ(got->anim.curframe, 12);
    EXPECT_EQ(got->seg.use, 1);
    EXPECT_EQ(got->seg.end, 50);
    // use 0 removes the segment; a copy from a database without one keeps the destination's.
    got->seg.use = 0;
    PutKfSets3ds(back, got);
    database3ds* noseg = Reread(back, "noseg.3ds");
    GetKfSets3ds(noseg, &got);
    EXPECT_EQ(got->seg.use, 0);
    EXPECT_EQ(got->anim.length, 100);
    CopyKfSets3ds(db, noseg);
    GetKfSets3ds(db, &got);
    EXPECT_EQ(got->seg.use, 1);
    ReleaseKfSets3ds(&sets);
    ReleaseKfSets3ds(&got);
    EXPECT_TRUE(Errors().empty());
    GetKfSets3ds(New(3), &got);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
}

TEST_F(Motion3ds, ObjectRoundTripWithEveryKeyFlag) {
    database3ds* db = New();
    kfmesh3ds* m = nullptr;
    InitObjectMotion3ds(&m, 34, 3, 2, 2, 3);
    EXPECT_EQ(m->msangle, 24.0f);
    EXPECT_EQ(m->scale[1].y, 1.0f);
    EXPECT_EQ(m->rot[0].z, 1.0f);
    EXPECT_EQ(m->morph[0][0], ' ');
    std::strcpy(m->name, "Arm");
    std::strcpy(m->parent, "Body.Body01");
    m->flags1 = KfHideNode3ds;
    m->flags2 = 0x1;
    m->msangle = 12.5f;
    m->pivot = {1, 2, 3};
    FillKeys(m->pkeys, 34);
    for (std::uint32_t k = 0; k < 34; ++k) m->pos[k] = {float(k), -float(k), 0.5f};
    FillKeys(m->rkeys, 3);
    m->rot[2] = {1.5f, 0, 1, 0};
    FillKeys(m->skeys, 2);
    FillKeys(m->mkeys, 2);
    std::strcpy(m->morph[1], "TargetShape");
    FillKeys(m->hkeys, 3);
    m->npflag = TrackLoops3ds | TrackLockX3ds;
    PutObjectMotion3ds(db, m);
    kfmesh3ds* body = nullptr;
    InitObjectMotion3ds(&body, 1, 0, 0, 0, 0);
    std::strcpy(body->name, "Body");
    std::strcpy(body->instance, "Body01");
    PutObjectMotion3ds(db, body);
    ASSERT_TRUE(Errors().empty());
    database3ds* back = Reread(db);
    EXPECT_EQ(GetObjectNodeCount3ds(back), 2u);
    namelist3ds* names = nullptr;
    GetObjectNodeNameList3ds(back, &names);
    EXPECT_STREQ(names->list[1], "Body.Body01");
    ReleaseNameList3ds(&names);
    kfmesh3ds* got = nullptr;
    GetObjectMotionByName3ds(back, "Arm", &got);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got->parent, "Body.Body01");
    EXPECT_EQ(got->flags1, KfHideNode3ds);
    EXPECT_EQ(got->msangle, 12.5f);
    EXPECT_EQ(got->pivot.y, 2.0f);
    ASSERT_EQ(got->npkeys, 34u);
    EXPECT_EQ(got->npflag, TrackLoops3ds | TrackLockX3ds);
    ExpectSameKeys(got->pkeys, m->pkeys, 34);
    EXPECT_EQ(got->pos[33].y, -33.0f);
    ASSERT_EQ(got->nrkeys, 3u);
    EXPECT_EQ(got->rot[2].angle, 1.5f);
    EXPECT_EQ(got->rot[2].y, 1.0f);
    ASSERT_EQ(got->nmkeys, 2u);
    EXPECT_STREQ(got->morph[1], "TargetShape");
    ASSERT_EQ(got->nhkeys, 3u);
    ExpectSameKeys(got->hkeys, m->hkeys, 3);
    // Without flags2 bit 0x1 no angle is stored: 0, not 24, comes back.
    GetObjectMotionByIndex3ds(back, 1, &got);
    EXPECT_STREQ(got->instance, "Body01");
    EXPECT_EQ(got->msangle, 0.0f);
    EXPECT_EQ(got->nrkeys, 0u);
    EXPECT_EQ(got->rot, nullptr);
    GetObjectMotionByIndex3ds(back, 2, &got);  // past the end: unchanged, no error
    EXPECT_STREQ(got->name, "Body");
    ReleaseObjectMotion3ds(&got);
    ReleaseObjectMotion3ds(&m);
    ReleaseObjectMotion3ds(&body);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Motion3ds, DummiesAndPutsOverExistingNodes) {
    database3ds* db = New();
    kfmesh3ds* m = nullptr;
    InitObjectMotion3ds(&m, 0, 0, 0, 0, 0);
    std::strcpy(m->name, DummyName3ds);
    std::strcpy(m->instance, "box01");
    m->bboxmax = {2, 2, 2};
    PutObjectMotion3ds(db, m);
    EXPECT_NE(FindNodeTagByNameAndType3ds(db, "$$$DUMMY.box01", 0xB002), nullptr);
    kfmesh3ds* got = nullptr;
    GetObjectMotionByName3ds(Reread(db), "$$$DUMMY.box01", &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->bboxmax.z, 2.0f);
    // A node without instance put twice: one node, its extended data moved to the new one.
    std::strcpy(m->name, "Plain");
    m->instance[0] = 0;
    PutObjectMotion3ds(db, m);
    chunk3ds* xdata = nullptr;
    InitChunkAs3ds(&xdata, 0x8000);
    AddChild3ds(FindNodeTagByNameAndType3ds(db, "Plain", 0xB002), xdata);
    PutObjectMotion3ds(db, m);
    EXPECT_EQ(GetObjectNodeCount3ds(db), 2u);
    chunk3ds* plain = FindNodeTagByNameAndType3ds(db, "Plain", 0xB002);
    chunk3ds* last = plain->children;
    while (last->sibling) last = last->sibling;
    EXPECT_EQ(last->tag, 0x8000u);
    EXPECT_EQ(SectionTags(db), (std::vector<std::uint32_t>{0xB00A, 0xB002, 0xB002}));
    // A node without header is refused (7) and leaves an empty record.
    database3ds* bad = Open(Chunk(0x4D4D, Chunk(0xB000, Chunk(0xB002, Chunk(0xB030, U16(0))))), "nohdr.3ds");
    GetObjectMotion3ds(FindChild3ds(FindChild3ds(bad->top, 0xB000), 0xB002), &got);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_UNFOUND_CHUNK});
    ReleaseObjectMotion3ds(&got);
    ReleaseObjectMotion3ds(&m);
}

TEST_F(Motion3ds, CamerasAndLightsWithTargets) {
    database3ds* db = New();
    kfcamera3ds* cam = nullptr;
    InitCameraMotion3ds(&cam, 0, 2, 0, 0);
    EXPECT_EQ(cam->fov[1], 60.0f);
    EXPECT_EQ(cam->pos, nullptr);
    std::strcpy(cam->name, "Cam");
    InitCameraMotion3ds(&cam, 4, 0, 5, 3);
    FillKeys(cam->pkeys, 4);
    FillKeys(cam->tkeys, 3);
    cam->tpos[2] = {7, 8, 9};
    std::strcpy(cam->tparent, "Rig");
    PutCameraMotion3ds(db, cam);
    kfmesh3ds* rig = nullptr;
    InitObjectMotion3ds(&rig, 0, 0, 0, 0, 0);
    std::strcpy(rig->name, "Rig");  // the target's parent
    PutObjectMotion3ds(db, rig);
    ReleaseObjectMotion3ds(&rig);
    kfomni3ds* omni = nullptr;
    InitOmnilightMotion3ds(&omni, 1, 1);
    EXPECT_EQ(omni->color[0].g, 1.0f);
    std::strcpy(omni->name, "Omni");
    PutOmnilightMotion3ds(db, omni);
    kfspot3ds* spot = nullptr;
    InitSpotlightMotion3ds(&spot, 1, 1, 1, 1, 0, 0);
    EXPECT_EQ(spot->color[0].r, 0.0f);
    EXPECT_EQ(spot->hot[0], 90.0f);
    EXPECT_EQ(spot->fall[0], 90.0f);
    std::strcpy(spot->name, "Spot");  // no target
    PutSpotlightMotion3ds(db, spot);
    kfmesh3ds* object = nullptr;
    InitObjectMotion3ds(&object, 1, 0, 0, 0, 0);
    std::strcpy(object->name, "Late");
    PutObjectMotion3ds(db, object);
    // Targets before their cameras; objects, cameras and spots in put order; omnilights last.
    EXPECT_EQ(SectionTags(db), (std::vector<std::uint32_t>{0xB00A, 0xB004, 0xB003, 0xB002, 0xB007, 0xB002, 0xB005}));
    EXPECT_EQ(GetCameraNodeCount3ds(db), 1u);
    EXPECT_EQ(GetSpotlightNodeCount3ds(db), 1u);
    database3ds* back = Reread(db);
    kfcamera3ds* got = nullptr;
    InitCameraMotion3ds(&got, 0, 0, 5, 0);  // five roll keys the file's camera does not have
    GetCameraMotionByName3ds(back, "Cam", &got);
    EXPECT_EQ(got->npkeys, 4u);
    EXPECT_EQ(got->nrkeys, 5u);  // the camera's own roll track: put with 5 keys
    EXPECT_EQ(got->ntkeys, 3u);
    EXPECT_EQ(got->tpos[2].z, 9.0f);
    EXPECT_STREQ(got->tparent, "Rig");
    ExpectSameKeys(got->tkeys, cam->tkeys, 3);
    kfspot3ds* gotSpot = nullptr;
    GetSpotlightMotionByIndex3ds(back, 0, &gotSpot);  // counted, so got by index without its target
    ASSERT_NE(gotSpot, nullptr);
    EXPECT_STREQ(gotSpot->name, "Spot");
    EXPECT_EQ(gotSpot->ntkeys, 0u);
    EXPECT_EQ(gotSpot->hot[0], 90.0f);
    kfomni3ds* gotOmni = nullptr;
    GetOmnilightMotionByIndex3ds(back, 0, &gotOmni);
    EXPECT_EQ(gotOmni->color[0].b, 1.0f);
    // A camera with no roll track replaces the five keys of the record.
    cam->nrkeys = 0;
    std::strcpy(cam->name, "Bare");
    PutCameraMotion3ds(back, cam);
    GetCameraMotionByName3ds(back, "Bare", &got);
    EXPECT_EQ(got->nrkeys, 0u);
    EXPECT_EQ(got->roll, nullptr);
    // Deleting a camera by name removes its target too.
    DeleteCameraMotionByName3ds(back, "Cam");
    EXPECT_EQ(FindNodeTagByNameAndType3ds(back, "Cam", 0xB004), nullptr);
    EXPECT_TRUE(Errors().empty());
    // Cameras go into mesh files only; lights also into project files.
    database3ds* project = New(2);
    PutCameraMotion3ds(project, cam);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_DATA});
    ClearErrList3ds();
    PutOmnilightMotion3ds(project, omni);
    PutSpotlightMotion3ds(project, spot);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(GetSpotlightNodeCount3ds(project), 1u);
    for (auto* p : {&cam, &got}) ReleaseCameraMotion3ds(p);
    for (auto* p : {&omni, &gotOmni}) ReleaseOmnilightMotion3ds(p);
    for (auto* p : {&spot, &gotSpot}) ReleaseSpotlightMotion3ds(p);
    ReleaseObjectMotion3ds(&object);
}

// The id a written node's header names as its parent, and the node of that id.
std::int16_t ParentId(chunk3ds* node) {
    auto* header = static_cast<nodeheaderdata3ds*>(ReadChunkData3ds(FindChild3ds(node, 0xB010)));
    return header ? header->parentindex : -2;
}

chunk3ds* NodeOfId(database3ds* db, std::int16_t id) {
    for (chunk3ds* c = FindChild3ds(db->top, 0xB000)->children; c; c = c->sibling) {
        chunk3ds* idChunk = FindChild3ds(c, 0xB030);
        auto* data = idChunk ? static_cast<shortdata3ds*>(ReadChunkData3ds(idChunk)) : nullptr;
        if (data && data->value == id) return c;
    }
    return nullptr;
}

// A camera or spotlight shares its name with its target, written before it; a
// name may hold a dot without naming an instance. Children name the camera,
// the spotlight and the plain name.
TEST_F(Motion3ds, ParentsNameCamerasAndSpotlightsNotTheirTargets) {
    database3ds* db = New();
    kfcamera3ds* cam = nullptr;
    InitCameraMotion3ds(&cam, 1, 1, 1, 1);
    std::strcpy(cam->name, "Cam");
    PutCameraMotion3ds(db, cam);
    kfspot3ds* spot = nullptr;
    InitSpotlightMotion3ds(&spot, 1, 1, 1, 1, 1, 1);
    std::strcpy(spot->name, "Spot");
    PutSpotlightMotion3ds(db, spot);
    kfmesh3ds* m = nullptr;
    InitObjectMotion3ds(&m, 1, 1, 1, 0, 0);
    std::strcpy(m->name, "Cube.00");
    PutObjectMotion3ds(db, m);
    const std::map<std::string, std::pair<std::string, std::uint32_t>> children = {
        {"UnderCam", {"Cam", 0xB003}}, {"UnderSpot", {"Spot", 0xB007}}, {"UnderCube", {"Cube.00", 0xB002}}};
    for (const auto& child : children) {
        std::strcpy(m->name, child.first.c_str());
        std::strcpy(m->parent, child.second.first.c_str());
        PutObjectMotion3ds(db, m);
    }
    database3ds* back = Reread(db);
    for (const auto& child : children) {
        chunk3ds* parent = NodeOfId(back, ParentId(FindNodeTagByNameAndType3ds(back, child.first.c_str(), 0xB002)));
        ASSERT_NE(parent, nullptr) << child.first;
        EXPECT_EQ(parent->tag, child.second.second) << child.first;
    }
    EXPECT_TRUE(Errors().empty());
    ReleaseCameraMotion3ds(&cam);
    ReleaseSpotlightMotion3ds(&spot);
    ReleaseObjectMotion3ds(&m);
}

TEST_F(Motion3ds, TwoCamerasOfOneNameAreEachGotByIndex) {
    auto camera = [](const char* name, int keys) {
        std::string track = U16(0) + U32(0) + U32(0) + U32(static_cast<std::uint32_t>(keys));
        for (int k = 0; k < keys; ++k) track += U32(static_cast<std::uint32_t>(k)) + U16(0) + F32(1) + F32(2) + F32(3);
        return Chunk(0xB003, Chunk(0xB030, U16(0)) + Chunk(0xB010, Z(name) + U16(0) + U16(0) + U16(0xFFFF)) +
                                 Chunk(0xB020, track));
    };
    database3ds* db = Open(Chunk(0x4D4D, Chunk(0xB000, camera("Twin", 1) + camera("Twin", 2))));
    kfcamera3ds* got = nullptr;
    GetCameraMotionByIndex3ds(db, 1, &got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->npkeys, 2u);
    GetCameraMotionByName3ds(db, "Twin", &got);
    EXPECT_EQ(got->npkeys, 1u);  // by name: the first
    ReleaseCameraMotion3ds(&got);
    EXPECT_TRUE(Errors().empty());
}

// The animation of each sample: length, segment and object nodes.
struct SampleAnimation {
    const char* file;
    std::int32_t length;
    bool segment;
    std::int32_t end;
    std::uint32_t objects;
};

class SampleMotion3ds : public ToolkitTest, public testing::WithParamInterface<SampleAnimation> {};

TEST_P(SampleMotion3ds, SettingsAndObjectNodes) {
    SKIP_WITHOUT_SAMPLES();
    const SampleAnimation& a = GetParam();
    database3ds* db = OpenPath(SampleDir() + "/" + a.file);
    kfsets3ds* sets = nullptr;
    GetKfSets3ds(db, &sets);
    ASSERT_NE(sets, nullptr);
    EXPECT_EQ(sets->anim.length, a.length);
    EXPECT_EQ(sets->seg.use != 0, a.segment);
    if (a.segment) {
        EXPECT_EQ(sets->seg.begin, 0);
        EXPECT_EQ(sets->seg.end, a.end);
    }
    ReleaseKfSets3ds(&sets);
    EXPECT_EQ(GetObjectNodeCount3ds(db), a.objects);
    for (std::uint32_t i = 0; i < a.objects; ++i) {
        kfmesh3ds* m = nullptr;
        GetObjectMotionByIndex3ds(db, i, &m);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->npkeys, 1u) << m->name;
        EXPECT_EQ(m->nskeys, 1u) << m->name;
        if (std::string(a.file) == "RotatingCube.3DS") {
            ASSERT_EQ(m->nrkeys, 182u);
            for (std::uint32_t k = 0; k < 182; ++k) EXPECT_EQ(m->rkeys[k].time, k);
        } else {
            EXPECT_EQ(m->nrkeys, 1u) << m->name;
        }
        ReleaseObjectMotion3ds(&m);
    }
    EXPECT_TRUE(Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, SampleMotion3ds,
                         testing::Values(SampleAnimation{"test1.3ds", 100, true, 100, 9},
                                         SampleAnimation{"cubes_with_alpha.3DS", 2, true, 2, 5},
                                         SampleAnimation{"RotatingCube.3DS", 300, true, 300, 1},
                                         SampleAnimation{"TargetCameraAnim.3ds", 300, true, 300, 1},
                                         SampleAnimation{"jeep1.3ds", 30, false, 0, 0},
                                         SampleAnimation{"fels.3ds", 30, false, 0, 0}),
                         [](const testing::TestParamInfo<SampleAnimation>& info) {
                             return std::string(info.param.file).substr(0, std::string(info.param.file).find('.'));
                         });

TEST_F(Motion3ds, TheTargetCameraOfTheSample) {
    SKIP_WITHOUT_SAMPLES();
    database3ds* db = OpenPath(SampleDir() + "/TargetCameraAnim.3ds");
    EXPECT_EQ(GetCameraNodeCount3ds(db), 1u);
    kfcamera3ds* cam = nullptr;
    GetCameraMotionByIndex3ds(db, 0, &cam);
    ASSERT_NE(cam, nullptr);
    EXPECT_STREQ(cam->name, "Camera01");
    ASSERT_EQ(cam->npkeys, 4u);
    for (std::uint32_t k = 0; k < 4; ++k) EXPECT_EQ(cam->pkeys[k].time, 30 * k);
    EXPECT_EQ(cam->nfkeys, 1u);
    EXPECT_EQ(cam->nrkeys, 1u);
    ASSERT_EQ(cam->ntkeys, 3u);
    for (std::uint32_t k = 0; k < 3; ++k) EXPECT_EQ(cam->tkeys[k].time, 30 * k);
    ReleaseCameraMotion3ds(&cam);
    EXPECT_TRUE(Errors().empty());
}

#ifdef ZEQ_HAVE_LIB3DS
namespace h = lib3dsharness;

void ExpectSameTrack(const h::Track& a, const h::Track& b, const std::string& what) {
    ASSERT_EQ(a.keys.size(), b.keys.size()) << what;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        EXPECT_EQ(a.keys[k].frame, b.keys[k].frame) << what;
        EXPECT_EQ(a.keys[k].flags, b.keys[k].flags) << what;
        EXPECT_EQ(a.keys[k].tension, b.keys[k].tension) << what;
        EXPECT_EQ(a.keys[k].value, b.keys[k].value) << what;
        EXPECT_EQ(a.keys[k].name, b.keys[k].name) << what;
    }
}

std::string Key(const std::string& name, int type) { return name + "/" + std::to_string(type); }

// Two readings by lib3ds: the same nodes (matched by name and kind: a target may
// come before or after its camera), parents, keys, and evaluated values.
void ExpectSameAnimation(const std::string& a, const std::string& b, std::int32_t frames, bool settings = true) {
    h::Scene sa, sb;
    std::string error;
    ASSERT_TRUE(h::Load(a, sa, &error)) << error;
    ASSERT_TRUE(h::Load(b, sb, &error)) << error;
    if (settings) {
        EXPECT_EQ(sa.frames, sb.frames);
        EXPECT_EQ(sa.segmentFrom, sb.segmentFrom);
        EXPECT_EQ(sa.segmentTo, sb.segmentTo);
    }
    ASSERT_EQ(sa.nodes.size(), sb.nodes.size());
    std::map<std::string, const h::Node*> byKey;
    for (const h::Node& n : sb.nodes) byKey[Key(n.name, n.type)] = &n;
    for (std::size_t i = 0; i < sa.nodes.size(); ++i) {
        const h::Node& x = sa.nodes[i];
        ASSERT_TRUE(byKey.count(Key(x.name, x.type))) << x.name;
        const h::Node& y = *byKey[Key(x.name, x.type)];
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.parent, y.parent) << x.name;
        EXPECT_EQ(x.instance, y.instance);
        EXPECT_EQ(x.pivot, y.pivot);
        ExpectSameTrack(x.position, y.position, x.name + " position");
        ExpectSameTrack(x.rotation, y.rotation, x.name + " rotation");
        ExpectSameTrack(x.scale, y.scale, x.name + " scale");
        ExpectSameTrack(x.fov, y.fov, x.name + " fov");
        ExpectSameTrack(x.roll, y.roll, x.name + " roll");
        ExpectSameTrack(x.color, y.color, x.name + " color");
        ExpectSameTrack(x.hotspot, y.hotspot, x.name + " hotspot");
        ExpectSameTrack(x.hide, y.hide, x.name + " hide");
        ExpectSameTrack(x.morph, y.morph, x.name + " morph");
    }
    std::vector<float> at;
    for (std::int32_t f = 0; f <= frames; f += std::max(1, frames / 12)) at.push_back(static_cast<float>(f) + 0.5f);
    std::vector<h::Frame> ea, eb;
    ASSERT_TRUE(h::Evaluate(a, at, ea, &error)) << error;
    ASSERT_TRUE(h::Evaluate(b, at, eb, &error)) << error;
    for (std::size_t f = 0; f < ea.size(); ++f) {
        ASSERT_EQ(ea[f].nodes.size(), eb[f].nodes.size());
        std::map<std::string, const h::NodeValues*> values;
        for (const h::NodeValues& v : eb[f].nodes) values[Key(v.name, v.type)] = &v;
        for (const h::NodeValues& v : ea[f].nodes) {
            const h::NodeValues& w = *values[Key(v.name, v.type)];
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) EXPECT_EQ(v.matrix[r][c], w.matrix[r][c]) << v.name << " at " << ea[f].frame;
            EXPECT_EQ(v.fov, w.fov) << v.name;
            EXPECT_EQ(v.color, w.color) << v.name;
            EXPECT_EQ(v.hidden, w.hidden) << v.name;
        }
    }
}
#endif

class Lib3dsMotion3ds : public ToolkitTest, public testing::WithParamInterface<std::string> {};

TEST_P(Lib3dsMotion3ds, RewrittenFilesAnimateAlike) {
    SKIP_WITHOUT_SAMPLES();
#ifndef ZEQ_HAVE_LIB3DS
    GTEST_SKIP() << "lib3ds-dev not installed: no comparison with lib3ds";
#else
    const std::string path = SampleDir() + "/" + GetParam();
    database3ds* db = OpenPath(path);
    // A file without a keyframer gets one when written: its settings are new.
    const bool keyframer = FindChild3ds(db->top, 0xB000) != nullptr;
    Write(db, "rewritten.3ds");
    ExpectSameAnimation(path, mDir / "rewritten.3ds", 300, keyframer);
    // The motion records got and put into a new database animate alike too.
    database3ds* rebuilt = New();
    kfsets3ds* sets = nullptr;
    GetKfSets3ds(db, &sets);
    PutKfSets3ds(rebuilt, sets);
    ReleaseKfSets3ds(&sets);
    for (std::uint32_t i = 0; i < GetObjectNodeCount3ds(db); ++i) {
        kfmesh3ds* m = nullptr;
        GetObjectMotionByIndex3ds(db, i, &m);
        PutObjectMotion3ds(rebuilt, m);
        ReleaseObjectMotion3ds(&m);
    }
    for (std::uint32_t i = 0; i < GetCameraNodeCount3ds(db); ++i) {
        kfcamera3ds* c = nullptr;
        GetCameraMotionByIndex3ds(db, i, &c);
        PutCameraMotion3ds(rebuilt, c);
        ReleaseCameraMotion3ds(&c);
    }
    for (std::uint32_t i = 0; i < GetMeshCount3ds(db); ++i) CopyMeshByIndex3ds(rebuilt, db, i);
    for (std::uint32_t i = 0; i < GetCameraCount3ds(db); ++i) CopyCameraByIndex3ds(rebuilt, db, i);
    Write(rebuilt, "rebuilt.3ds");
    ExpectSameAnimation(path, mDir / "rebuilt.3ds", 300, keyframer);
    EXPECT_TRUE(Errors().empty());
#endif
}

INSTANTIATE_TEST_SUITE_P(Files, Lib3dsMotion3ds, testing::ValuesIn(SampleNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

TEST_F(Motion3ds, PutRecordsAnimateInLib3dsAsTheyDoWhenLib3dsWritesThem) {
#ifndef ZEQ_HAVE_LIB3DS
    GTEST_SKIP() << "lib3ds-dev not installed: no comparison with lib3ds";
#else
    database3ds* db = New();
    kfsets3ds* sets = nullptr;
    InitKfSets3ds(&sets);
    sets->anim.length = 60;
    PutKfSets3ds(db, sets);
    ReleaseKfSets3ds(&sets);
    kfmesh3ds* body = nullptr;
    InitObjectMotion3ds(&body, 3, 3, 2, 0, 2);
    std::strcpy(body->name, "Body");
    for (std::uint32_t k = 0; k < 3; ++k) {
        body->pkeys[k].time = body->rkeys[k].time = 20 * k;
        body->pos[k] = {float(k * 10), float(k), float(-k)};
        body->rot[k] = {0.5f * k, 0, 0, 1};
    }
    body->pkeys[1].rflags = KeyUsesTension3ds | KeyUsesEaseTo3ds;
    body->pkeys[1].tension = 0.5f;
    body->pkeys[1].easeto = 0.25f;
    body->skeys[1].time = 60;
    body->scale[1] = {2, 2, 2};
    body->hkeys[1].time = 30;
    PutObjectMotion3ds(db, body);
    kfmesh3ds* arm = nullptr;
    InitObjectMotion3ds(&arm, 2, 0, 0, 0, 0);
    std::strcpy(arm->name, "Arm");
    std::strcpy(arm->parent, "Body");
    arm->pkeys[1].time = 60;
    arm->pos[1] = {0, 5, 0};
    PutObjectMotion3ds(db, arm);
    kfcamera3ds* cam = nullptr;
    InitCameraMotion3ds(&cam, 2, 2, 1, 2);
    std::strcpy(cam->name, "Cam");
    cam->pkeys[1].time = cam->fkeys[1].time = cam->tkeys[1].time = 60;
    cam->pos[1] = {10, 10, 10};
    cam->fov[1] = 30;
    cam->tpos[1] = {0, 0, 5};
    PutCameraMotion3ds(db, cam);
    kfspot3ds* spot = nullptr;
    InitSpotlightMotion3ds(&spot, 1, 2, 1, 1, 1, 1);
    std::strcpy(spot->name, "Spot");
    spot->ckeys[1].time = 60;
    spot->color[1] = {1, 0.5f, 0};
    spot->tpos[0] = {0, 0, -1};
    PutSpotlightMotion3ds(db, spot);
    kfomni3ds* omni = nullptr;
    InitOmnilightMotion3ds(&omni, 2, 1);
    std::strcpy(omni->name, "Omni");
    omni->pkeys[1].time = 30;
    omni->pos[1] = {3, 3, 3};
    PutOmnilightMotion3ds(db, omni);
    for (const char* name : {"Body", "Arm"}) {
        mesh3ds* m = nullptr;
        InitMeshObj3ds(&m, 3, 1, 0);
        std::strcpy(m->name, name);
        m->vertices[1] = {1, 0, 0};
        m->vertices[2] = {0, 1, 0};
        PutMesh3ds(db, m);
        RelMeshObj3ds(&m);
    }
    camera3ds* c = nullptr;
    InitCamera3ds(&c);
    std::strcpy(c->name, "Cam");
    PutCamera3ds(db, c);
    ReleaseCamera3ds(&c);
    light3ds* l = nullptr;
    InitSpotlight3ds(&l);
    std::strcpy(l->name, "Spot");
    PutLight3ds(db, l);
    ReleaseLight3ds(&l);
    InitLight3ds(&l);
    std::strcpy(l->name, "Omni");
    PutLight3ds(db, l);
    ReleaseLight3ds(&l);
    ASSERT_TRUE(Errors().empty());
    const std::string ours = mDir / "ours.3ds", theirs = mDir / "theirs.3ds";
    Write(db, "ours.3ds");
    // lib3ds reads our file, writes its own from that reading, and both animate alike.
    h::Scene scene;
    std::string error;
    ASSERT_TRUE(h::Load(ours, scene, &error)) << error;
    ASSERT_EQ(scene.nodes.size(), 7u);  // body, arm, camera, target, spot, its target, omni
    std::map<std::string, std::string> parents;
    for (const h::Node& n : scene.nodes) parents[n.name] = n.parent;
    EXPECT_EQ(parents["Arm"], "Body");
    ASSERT_TRUE(h::Save(scene, theirs, &error)) << error;
    ExpectSameAnimation(ours, theirs, 60);
    for (auto* p : {&body, &arm}) ReleaseObjectMotion3ds(p);
    ReleaseCameraMotion3ds(&cam);
    ReleaseSpotlightMotion3ds(&spot);
    ReleaseOmnilightMotion3ds(&omni);
#endif
}

#ifdef ZEQ_HAVE_LIB3DS
// The nodes lib3ds reads from `path`, each as `describe` gives it, sorted (lib3ds
// orders its nodes its own way).
template <typename Describe>
std::vector<std::string> PeerNodes(const std::string& path, Describe describe) {
    h::Scene scene;
    std::string error;
    EXPECT_TRUE(h::Load(path, scene, &error)) << error;
    std::vector<std::string> nodes;
    for (const h::Node& n : scene.nodes) nodes.push_back(describe(n));
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

// x of a node's first position key, -1 without one.
std::string FirstX(const h::Node& n) {
    return std::to_string(n.position.keys.empty() ? -1 : int(n.position.keys[0].value[0]));
}
#endif

// Object nodes deleted and copied by node-tag name (name.instance for a node with
// an instance name) and by index; parents travel by name and are numbered anew
// when written. The written files say what is left, to the toolkit and to lib3ds.
TEST_F(Motion3ds, ObjectNodesDeletedAndCopiedByNameAndIndex) {
    database3ds* src = New();
    float x = 0;
    auto put = [&](const char* name, const char* instance, const char* parent) {
        kfmesh3ds* m = nullptr;
        InitObjectMotion3ds(&m, 1, 0, 0, 0, 0);
        std::strcpy(m->name, name);
        std::strcpy(m->instance, instance);
        std::strcpy(m->parent, parent);
        m->pos[0] = {++x, 0, 0};
        PutObjectMotion3ds(src, m);
        ReleaseObjectMotion3ds(&m);
    };
    put("Body", "Body01", "");
    put("Arm", "", "Body.Body01");
    put("Leg", "", "Body.Body01");
    put("Tail", "", "");
    database3ds* dst = New();
    CopyObjectMotionByName3ds(dst, src, "Arm");
    CopyObjectMotionByIndex3ds(dst, src, 0);
    CopyObjectMotionByName3ds(dst, src, "Arm");    // again: replaced, not doubled
    CopyObjectMotionByName3ds(dst, src, "Body");   // listed as Body.Body01 only
    CopyObjectMotionByIndex3ds(dst, src, 4);       // past the last
    DeleteObjectMotionByName3ds(src, "Leg");
    DeleteObjectMotionByName3ds(src, "Body");      // no such node-tag name
    DeleteObjectMotionByIndex3ds(src, 0);          // Body.Body01
    DeleteObjectMotionByIndex3ds(src, 2);          // past the last
    EXPECT_TRUE(Errors().empty());
    Write(src, "src.3ds");
    Write(dst, "dst.3ds");
    auto parentAndX = [](database3ds* db, const char* name) {
        kfmesh3ds* m = nullptr;
        GetObjectMotionByName3ds(db, name, &m);
        const std::string got = m ? std::string(m->parent) + "@" + std::to_string(int(m->pos[0].x)) : "none";
        ReleaseObjectMotion3ds(&m);
        return got;
    };
    database3ds* srcBack = OpenPath(mDir / "src.3ds");
    database3ds* dstBack = OpenPath(mDir / "dst.3ds");
    EXPECT_EQ(Listed(GetObjectNodeNameList3ds, srcBack), (std::vector<std::string>{"Arm", "Tail"}));
    EXPECT_EQ(parentAndX(srcBack, "Arm"), "@2");  // its parent is gone
    EXPECT_EQ(Listed(GetObjectNodeNameList3ds, dstBack), (std::vector<std::string>{"Body.Body01", "Arm"}));
    EXPECT_EQ(parentAndX(dstBack, "Arm"), "Body.Body01@2");
    EXPECT_EQ(parentAndX(dstBack, "Body.Body01"), "@1");
#ifdef ZEQ_HAVE_LIB3DS
    auto peer = [](const std::string& path) {
        return PeerNodes(path, [](const h::Node& n) { return n.name + "." + n.instance + "<" + n.parent + "@" + FirstX(n); });
    };
    EXPECT_EQ(peer(mDir / "src.3ds"), (std::vector<std::string>{"Arm.<@2", "Tail.<@4"}));
    EXPECT_EQ(peer(mDir / "dst.3ds"), (std::vector<std::string>{"Arm.<Body@2", "Body.Body01<@1"}));
#endif
    EXPECT_TRUE(Errors().empty());
}

// Camera, omnilight and spotlight nodes put with one position key at x, and a
// target at x + 10 when asked for.
void PutCameraAt(database3ds* db, const char* name, float x, bool target) {
    kfcamera3ds* c = nullptr;
    InitCameraMotion3ds(&c, 1, 0, 0, target ? 1 : 0);
    std::strcpy(c->name, name);
    c->pos[0].x = x;
    if (target) c->tpos[0].x = x + 10;
    PutCameraMotion3ds(db, c);
    ReleaseCameraMotion3ds(&c);
}

void PutOmniAt(database3ds* db, const char* name, float x) {
    kfomni3ds* o = nullptr;
    InitOmnilightMotion3ds(&o, 1, 0);
    std::strcpy(o->name, name);
    o->pos[0].x = x;
    PutOmnilightMotion3ds(db, o);
    ReleaseOmnilightMotion3ds(&o);
}

void PutSpotAt(database3ds* db, const char* name, float x) {
    kfspot3ds* s = nullptr;
    InitSpotlightMotion3ds(&s, 1, 0, 0, 0, 0, 1);
    std::strcpy(s->name, name);
    s->pos[0].x = x;
    s->tpos[0].x = x + 10;
    PutSpotlightMotion3ds(db, s);
    ReleaseSpotlightMotion3ds(&s);
}

// The cameras, omnilights and spotlights of db in list order as the by-name
// gets give them: "name@x", with ">x" of the target when it has one.
std::vector<std::string> CamerasAndLights(database3ds* db) {
    auto at = [](const char* name, std::uint32_t n, const point3ds* pos, std::uint32_t nt, const point3ds* tpos) {
        std::string s = std::string(name) + "@" + (n && pos ? std::to_string(int(pos[0].x)) : "-");
        return nt && tpos ? s + ">" + std::to_string(int(tpos[0].x)) : s;
    };
    std::vector<std::string> out;
    for (const std::string& name : Listed(GetCameraNodeNameList3ds, db)) {
        kfcamera3ds* c = nullptr;
        GetCameraMotionByName3ds(db, name.c_str(), &c);
        out.push_back(c ? "cam " + at(c->name, c->npkeys, c->pos, c->ntkeys, c->tpos) : name + "?");
        ReleaseCameraMotion3ds(&c);
    }
    for (const std::string& name : Listed(GetOmnilightNodeNameList3ds, db)) {
        kfomni3ds* o = nullptr;
        GetOmnilightMotionByName3ds(db, name.c_str(), &o);
        out.push_back(o ? "omni " + at(o->name, o->npkeys, o->pos, 0, nullptr) : name + "?");
        ReleaseOmnilightMotion3ds(&o);
    }
    for (const std::string& name : Listed(GetSpotlightNodeNameList3ds, db)) {
        kfspot3ds* s = nullptr;
        GetSpotlightMotionByName3ds(db, name.c_str(), &s);
        out.push_back(s ? "spot " + at(s->name, s->npkeys, s->pos, s->ntkeys, s->tpos) : name + "?");
        ReleaseSpotlightMotion3ds(&s);
    }
    return out;
}

// Camera, omnilight and spotlight nodes listed by kind (targets never), got,
// deleted and copied by name and index: a camera or spotlight takes its target
// along, a copy replaces the node of its name and kind with its target, and a
// name of another kind does nothing. The written files say what is left, to the
// toolkit and to lib3ds.
TEST_F(Motion3ds, CameraAndLightNodesListedDeletedAndCopied) {
    database3ds* src = New();
    PutCameraAt(src, "CamA", 1, true);
    PutCameraAt(src, "CamB", 2, true);
    PutCameraAt(src, "CamC", 3, false);
    PutOmniAt(src, "O1", 4);
    PutOmniAt(src, "O2", 5);
    PutOmniAt(src, "O3", 6);
    PutSpotAt(src, "S1", 7);
    PutSpotAt(src, "S2", 8);
    PutSpotAt(src, "S3", 9);
    EXPECT_EQ(Listed(GetCameraNodeNameList3ds, src), (std::vector<std::string>{"CamA", "CamB", "CamC"}));
    EXPECT_EQ(Listed(GetOmnilightNodeNameList3ds, src), (std::vector<std::string>{"O1", "O2", "O3"}));
    EXPECT_EQ(Listed(GetSpotlightNodeNameList3ds, src), (std::vector<std::string>{"S1", "S2", "S3"}));
    namelist3ds* names = nullptr;
    GetCameraNodeNameList3ds(src, &names);
    GetSpotlightNodeNameList3ds(src, &names);  // the same list made again in place
    ASSERT_EQ(names->count, 3u);
    EXPECT_STREQ(names->list[2], "S3");
    ReleaseNameList3ds(&names);
    kfomni3ds* omni = nullptr;
    GetOmnilightMotionByName3ds(src, "O2", &omni);
    ASSERT_NE(omni, nullptr);
    EXPECT_EQ(omni->pos[0].x, 5.0f);
    GetOmnilightMotionByName3ds(src, "Nobody", &omni);  // unchanged, no error
    GetOmnilightMotionByName3ds(src, "CamA", &omni);    // a camera
    EXPECT_STREQ(omni->name, "O2");
    ReleaseOmnilightMotion3ds(&omni);

    database3ds* dst = New();
    PutCameraAt(dst, "CamB", 20, true);
    PutCameraAt(dst, "CamC", 21, true);
    CopyCameraMotionByName3ds(dst, src, "CamB");
    CopyCameraMotionByIndex3ds(dst, src, 0);       // CamA
    CopyCameraMotionByIndex3ds(dst, src, 0);       // again: replaced, not doubled
    CopyCameraMotionByIndex3ds(dst, src, 2);       // CamC, without target: the old one goes
    CopyCameraMotionByIndex3ds(dst, src, 3);       // past the last
    CopyCameraMotionByName3ds(dst, src, "O1");     // an omnilight
    CopyOmnilightMotionByIndex3ds(dst, src, 1);    // O2
    CopyOmnilightMotionByName3ds(dst, src, "O3");
    CopyOmnilightMotionByName3ds(dst, src, "S1");  // a spotlight
    CopySpotlightMotionByIndex3ds(dst, src, 1);    // S2
    CopySpotlightMotionByName3ds(dst, src, "S1");
    CopySpotlightMotionByName3ds(dst, src, "S1");  // again

    DeleteCameraMotionByIndex3ds(src, 0);          // CamA and its target
    DeleteCameraMotionByIndex3ds(src, 2);          // past the last
    DeleteOmnilightMotionByIndex3ds(src, 1);       // O2
    DeleteOmnilightMotionByName3ds(src, "O3");
    DeleteOmnilightMotionByName3ds(src, "CamB");   // a camera
    DeleteSpotlightMotionByIndex3ds(src, 1);       // S2 and its target
    DeleteSpotlightMotionByName3ds(src, "S3");     // S3 and its target
    DeleteSpotlightMotionByName3ds(src, "O1");     // an omnilight
    EXPECT_TRUE(Errors().empty());

    database3ds* srcBack = Reread(src, "src.3ds");
    database3ds* dstBack = Reread(dst, "dst.3ds");
    EXPECT_EQ(CamerasAndLights(srcBack), (std::vector<std::string>{"cam CamB@2>12", "cam CamC@3", "omni O1@4", "spot S1@7>17"}));
    EXPECT_EQ(CamerasAndLights(dstBack), (std::vector<std::string>{"cam CamB@2>12", "cam CamA@1>11", "cam CamC@3", "omni O2@5",
                                                                   "omni O3@6", "spot S2@8>18", "spot S1@7>17"}));
    for (const char* gone : {"CamA", "CamC"}) EXPECT_EQ(FindNodeTagByNameAndType3ds(srcBack, gone, 0xB004), nullptr) << gone;
    for (const char* gone : {"S2", "S3"}) EXPECT_EQ(FindNodeTagByNameAndType3ds(srcBack, gone, 0xB006), nullptr) << gone;
    EXPECT_EQ(FindNodeTagByNameAndType3ds(dstBack, "CamC", 0xB004), nullptr);
#ifdef ZEQ_HAVE_LIB3DS
    auto peer = [](const std::string& path) {
        return PeerNodes(path, [](const h::Node& n) { return n.name + "/" + std::to_string(n.type) + "@" + FirstX(n); });
    };
    // lib3ds reads a spotlight as a light node (5) and its target as its spot node (6).
    EXPECT_EQ(peer(mDir / "src.3ds"),
              (std::vector<std::string>{"CamB/3@2", "CamB/4@12", "CamC/3@3", "O1/5@4", "S1/5@7", "S1/6@17"}));
    EXPECT_EQ(peer(mDir / "dst.3ds"),
              (std::vector<std::string>{"CamA/3@1", "CamA/4@11", "CamB/3@2", "CamB/4@12", "CamC/3@3", "O2/5@5", "O3/5@6",
                                        "S1/5@7", "S1/6@17", "S2/5@8", "S2/6@18"}));
#endif
    EXPECT_TRUE(Errors().empty());
    GetOmnilightMotionByName3ds(src, nullptr, &omni);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    ClearErrList3ds();
    CopySpotlightMotionByName3ds(dst, New(3), "S1");
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_WRONG_DATABASE});
}

// Colour and roll tracks built on a node hold copies of the caller's keys and
// values and read back as the spotlight's tracks; finding a node to attach
// extended data to finds it by exact name and kind and attaches nothing.
TEST_F(Motion3ds, ColourAndRollTracksAndTheNodeFoundForExtendedData) {
    database3ds* db = New();
    chunk3ds* section = nullptr;
    kfGetKfSeg(db->top, &section);
    chunk3ds* spot = kfPutGenericNode(0xB007, section);
    kfPutNodeId(spot);
    kfPutNodeHeader("Spot", 0, 0, "", spot);
    keyheader3ds keys[2] = {{0, 0, 0, 0, 0, 0, 0}, {30, KeyUsesEaseFrom3ds, 0, 0, 0, 0, 0.5f}};
    fcolor3ds colours[2] = {{1, 0, 0}, {0, 0.5f, 1}};
    float roll = 15;
    kfPutColorTrack(2, TrackLoops3ds, keys, colours, spot);
    kfPutRollTrack(1, TrackLockX3ds, keys, &roll, spot);
    kfPutColorTrack(0, 0, keys, colours, spot);     // no keys: no track
    kfPutColorTrack(2, 0, keys, nullptr, spot);     // no values: no track
    colours[1].g = 9;                                // the tracks hold copies
    keys[1].time = 99;
    roll = 99;
    int a = 0, b = 0;
    EXPECT_EQ(kfAddGenericNodeXData(db, "Spot", &a, 0xB007, &b), spot);
    EXPECT_EQ(kfAddGenericNodeXData(db, "spot", &a, 0xB007, &b), nullptr);
    EXPECT_EQ(kfAddGenericNodeXData(db, "Spot", &a, 0xB005, &b), nullptr);
    std::vector<std::uint32_t> tags;
    for (chunk3ds* c = spot->children; c; c = c->sibling) tags.push_back(c->tag);
    EXPECT_EQ(tags, (std::vector<std::uint32_t>{0xB030, 0xB010, 0xB025, 0xB024}));
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(kfAddGenericNodeXData(db, "Spot", nullptr, 0xB007, &b), nullptr);
    EXPECT_EQ(Errors(), std::vector<std::int32_t>{ERR_INVALID_ARG});
    ClearErrList3ds();

    kfspot3ds* got = nullptr;
    GetSpotlightMotionByName3ds(Reread(db), "Spot", &got);
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->nckeys, 2u);
    EXPECT_EQ(got->ncflag, TrackLoops3ds);
    EXPECT_EQ(got->ckeys[1].time, 30u);
    EXPECT_EQ(got->ckeys[1].easefrom, 0.5f);
    EXPECT_EQ(got->color[1].g, 0.5f);
    ASSERT_EQ(got->nrkeys, 1u);
    EXPECT_EQ(got->nrflag, TrackLockX3ds);
    EXPECT_EQ(got->roll[0], 15.0f);
    ReleaseSpotlightMotion3ds(&got);
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace tk3dstest
