// The toolkit's records beside lib3ds's reading (through the lib3ds harness): the
// sample files, records put and written by the toolkit, files written by lib3ds.

#include <cmath>
#include <map>

#include "formats/geometry/3ds/toolkit/tests/toolkit_test_support.h"
#ifdef ZEQ_HAVE_LIB3DS
#include "formats/geometry/3ds/toolkit/tests/lib3ds/lib3dsharness.h"
#endif

namespace tk3dstest {
namespace {

#ifdef ZEQ_HAVE_LIB3DS
#define SKIP_WITHOUT_LIB3DS() (void)0
#else
#define SKIP_WITHOUT_LIB3DS() GTEST_SKIP() << "lib3ds-dev not installed: no comparison with lib3ds"
#endif

#ifdef ZEQ_HAVE_LIB3DS
namespace h = lib3dsharness;

// Every mesh, material, camera and light the toolkit gets from `db` equals what
// lib3ds read from the same bytes (matched by name; lib3ds sorts its lists).
void ExpectSameRecords(database3ds* db, const h::Scene& peer) {
    std::map<std::string, const h::Mesh*> meshes;
    for (const h::Mesh& m : peer.meshes) meshes[m.name] = &m;
    ASSERT_EQ(GetMeshCount3ds(db), peer.meshes.size());
    for (std::uint32_t i = 0; i < GetMeshCount3ds(db); ++i) {
        mesh3ds* m = nullptr;
        GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), &m);
        ASSERT_NE(m, nullptr);
        ASSERT_TRUE(meshes.count(m->name)) << m->name;
        const h::Mesh& p = *meshes[m->name];
        ASSERT_EQ(m->vertexcount, p.vertices.size()) << m->name;
        for (std::size_t v = 0; v < p.vertices.size(); ++v) {
            EXPECT_EQ(m->vertices[v].x, p.vertices[v][0]);
            EXPECT_EQ(m->vertices[v].z, p.vertices[v][2]);
        }
        ASSERT_EQ(m->texvertcount, p.texcoords.size()) << m->name;
        for (std::size_t v = 0; v < p.texcoords.size(); ++v) EXPECT_EQ(m->texverts[v].v, p.texcoords[v][1]);
        ASSERT_EQ(m->facecount, p.faces.size()) << m->name;
        std::vector<std::string> material(m->facecount);
        for (std::uint16_t g = 0; g < m->matgroupcount; ++g)
            for (std::uint16_t k = 0; k < m->matgroups[g].nfaces; ++k)
                if (m->matgroups[g].faces[k] < m->facecount) material[m->matgroups[g].faces[k]] = m->matgroups[g].name;
        for (std::size_t f = 0; f < p.faces.size(); ++f) {
            EXPECT_EQ(m->faces[f].a, p.faces[f].a);
            EXPECT_EQ(m->faces[f].c, p.faces[f].c);
            EXPECT_EQ(m->faces[f].flags, p.faces[f].flags);
            EXPECT_EQ(m->smoothgroups ? m->smoothgroups[f] : 0u, p.faces[f].smoothing);
            EXPECT_EQ(material[f], p.faces[f].material);
        }
        EXPECT_EQ(m->colorindex, p.color);
        // Without axes in the file lib3ds holds the identity, the record zeros.
        bool axes = false;
        for (float v : m->localmatrix) axes = axes || v != 0.0f;
        for (int r = 0; r < 4 && axes; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(m->localmatrix[r * 3 + c], p.matrix[r][c]);
        RelMeshObj3ds(&m);
    }
    std::map<std::string, const h::Material*> materials;
    for (const h::Material& m : peer.materials) materials[m.name] = &m;
    ASSERT_EQ(GetMaterialCount3ds(db), peer.materials.size());
    for (std::uint32_t i = 0; i < GetMaterialCount3ds(db); ++i) {
        material3ds* m = nullptr;
        GetMaterialByIndex3ds(db, i, &m);
        ASSERT_NE(m, nullptr);
        ASSERT_TRUE(materials.count(m->name)) << m->name;
        const h::Material& p = *materials[m->name];
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(m->ambient[c], p.ambient[c], 1e-6);
            EXPECT_NEAR(m->diffuse[c], p.diffuse[c], 1e-6);
            EXPECT_NEAR(m->specular[c], p.specular[c], 1e-6);
        }
        EXPECT_NEAR(m->shininess, p.shininess, 1e-6);
        EXPECT_NEAR(m->shinstrength, p.shinStrength, 1e-6);
        EXPECT_NEAR(m->transparency, p.transparency, 1e-6);
        EXPECT_EQ(m->shading, p.shading);
        EXPECT_EQ(m->twosided != 0, p.twoSided);
        EXPECT_STREQ(m->texture1.name, p.maps[h::Texture1].name.c_str());
        if (m->texture1.name[0]) {
            EXPECT_NEAR(m->texture1.percent, p.maps[h::Texture1].percent, 1e-6);
        }
        EXPECT_STREQ(m->opacitymap.name, p.maps[h::Opacity].name.c_str());
        EXPECT_STREQ(m->bumpmap.name, p.maps[h::Bump].name.c_str());
        ReleaseMaterial3ds(&m);
    }
    std::map<std::string, const h::Camera*> cameras;
    for (const h::Camera& c : peer.cameras) cameras[c.name] = &c;
    ASSERT_EQ(GetCameraCount3ds(db), peer.cameras.size());
    for (std::uint32_t i = 0; i < GetCameraCount3ds(db); ++i) {
        camera3ds* c = nullptr;
        GetCameraByIndex3ds(db, i, &c);
        ASSERT_NE(c, nullptr);
        ASSERT_TRUE(cameras.count(c->name));
        const h::Camera& p = *cameras[c->name];
        EXPECT_EQ(c->position.x, p.position[0]);
        EXPECT_EQ(c->target.z, p.target[2]);
        EXPECT_EQ(c->roll, p.roll);
        EXPECT_NEAR(c->fov, p.fov, 1e-4);
        EXPECT_EQ(c->showcone != 0, p.seeCone);
        EXPECT_EQ(c->nearrange, p.nearRange);
        EXPECT_EQ(c->farrange, p.farRange);
        ReleaseCamera3ds(&c);
    }
    std::map<std::string, const h::Light*> lights;
    for (const h::Light& l : peer.lights) lights[l.name] = &l;
    ASSERT_EQ(GetOmnilightCount3ds(db) + GetSpotlightCount3ds(db), peer.lights.size());
    for (int spot = 0; spot < 2; ++spot) {
        const std::uint32_t n = spot ? GetSpotlightCount3ds(db) : GetOmnilightCount3ds(db);
        for (std::uint32_t i = 0; i < n; ++i) {
            light3ds* l = nullptr;
            if (spot)
                GetSpotlightByIndex3ds(db, i, &l);
            else
                GetOmnilightByIndex3ds(db, i, &l);
            ASSERT_NE(l, nullptr);
            ASSERT_TRUE(lights.count(l->name));
            const h::Light& p = *lights[l->name];
            EXPECT_EQ(p.spot, spot == 1);
            EXPECT_EQ(l->position.y, p.position[1]);
            EXPECT_NEAR(l->color.g, p.color[1], 1e-6);
            EXPECT_EQ(l->off != 0, p.off);
            EXPECT_EQ(l->outerrange, p.outerRange);
            EXPECT_EQ(l->innerrange, p.innerRange);
            EXPECT_EQ(l->multiplier, p.multiplier);
            if (spot) {
                EXPECT_EQ(l->spot->target.x, p.target[0]);
                EXPECT_EQ(l->spot->hotspot, p.hotspot);
                EXPECT_EQ(l->spot->falloff, p.falloff);
                EXPECT_EQ(l->spot->roll, p.roll);
                EXPECT_EQ(l->spot->shadowed != 0, p.shadowed);
                EXPECT_EQ(l->spot->coneshape == 1, p.rectangular);
                EXPECT_EQ(l->spot->projectorname ? std::string(l->spot->projectorname) : "", p.projector);
            }
            ReleaseLight3ds(&l);
        }
    }
}
#endif

class Lib3dsRecords3ds : public ToolkitTest, public testing::WithParamInterface<std::string> {};

TEST_P(Lib3dsRecords3ds, RecordsOfTheSamplesEqualLib3dsReading) {
    SKIP_WITHOUT_SAMPLES();
    SKIP_WITHOUT_LIB3DS();
#ifdef ZEQ_HAVE_LIB3DS
    const std::string path = SampleDir() + "/" + GetParam();
    h::Scene peer;
    std::string error;
    ASSERT_TRUE(h::Load(path, peer, &error)) << error;
    database3ds* db = OpenPath(path);
    ExpectSameRecords(db, peer);
    EXPECT_TRUE(Errors().empty());
    // Written back from the records, lib3ds reads the same again.
    database3ds* rebuilt = New();
    for (std::uint32_t i = 0; i < GetMeshCount3ds(db); ++i) {
        mesh3ds* m = nullptr;
        GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), &m);
        PutMesh3ds(rebuilt, m);
        RelMeshObj3ds(&m);
    }
    for (std::uint32_t i = 0; i < GetMaterialCount3ds(db); ++i) {
        material3ds* m = nullptr;
        GetMaterialByIndex3ds(db, i, &m);
        PutMaterial3ds(rebuilt, m);
        ReleaseMaterial3ds(&m);
    }
    for (std::uint32_t i = 0; i < GetCameraCount3ds(db); ++i) {
        camera3ds* c = nullptr;
        GetCameraByIndex3ds(db, i, &c);
        PutCamera3ds(rebuilt, c);
        ReleaseCamera3ds(&c);
    }
    Write(rebuilt, "rebuilt.3ds");
    h::Scene again;
    ASSERT_TRUE(h::Load(mDir / "rebuilt.3ds", again, &error)) << error;
    ExpectSameRecords(OpenPath(mDir / "rebuilt.3ds"), again);
    EXPECT_TRUE(Errors().empty());
#endif
}

INSTANTIATE_TEST_SUITE_P(Files, Lib3dsRecords3ds, testing::ValuesIn(SampleNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

class SampleRecords3ds : public ToolkitTest {};

TEST_F(SampleRecords3ds, WhatTheSamplesHold) {
    SKIP_WITHOUT_SAMPLES();
    auto meshes = [&](const char* file, std::uint32_t count, std::uint32_t vertices, std::uint32_t faces, bool textured) {
        database3ds* db = OpenPath(SampleDir() + "/" + file);
        EXPECT_EQ(GetMeshCount3ds(db), count) << file;
        std::uint32_t v = 0, f = 0;
        for (std::uint32_t i = 0; i < GetMeshCount3ds(db); ++i) {
            mesh3ds* m = nullptr;
            GetMeshByIndex3ds(db, static_cast<std::int32_t>(i), &m);
            v += m->vertexcount;
            f += m->facecount;
            EXPECT_EQ(m->texvertcount == m->vertexcount && m->texvertcount > 0, textured) << file << " " << m->name;
            RelMeshObj3ds(&m);
        }
        EXPECT_EQ(v, vertices) << file;
        EXPECT_EQ(f, faces) << file;
        EXPECT_EQ(GetOmnilightCount3ds(db) + GetSpotlightCount3ds(db), 0u) << file;
        return db;
    };
    auto material = [](database3ds* db, std::uint32_t index) {
        material3ds* m = nullptr;
        GetMaterialByIndex3ds(db, index, &m);
        return std::unique_ptr<material3ds, void (*)(material3ds*)>(m, [](material3ds* p) { ReleaseMaterial3ds(&p); });
    };
    database3ds* jeep = meshes("jeep1.3ds", 7, 1948, 2032, true);
    EXPECT_STREQ(material(jeep, 0)->name, "Material01");
    EXPECT_STREQ(material(jeep, 0)->texture1.name, "jeep1.jpg");
    database3ds* test1 = meshes("test1.3ds", 9, 9 * 32, 9 * 12, true);
    const char* names[] = {"2 - Default", "1 - Default", "3 - Default"};
    const char* maps[] = {"IMAGE1.JPG", "CWALL02.JPG", "IMAGE2.JPG"};
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_STREQ(material(test1, i)->name, names[i]);
        EXPECT_STREQ(material(test1, i)->texture1.name, maps[i]);
    }
    database3ds* cubes = meshes("cubes_with_alpha.3DS", 5, 5 * 26, 5 * 12, true);
    EXPECT_EQ(GetMaterialCount3ds(cubes), 5u);
    material3ds* transparent = nullptr;
    GetMaterialByName3ds(cubes, "Transparent", &transparent);
    ASSERT_NE(transparent, nullptr);
    EXPECT_NEAR(transparent->transparency, 0.17f, 1e-6);
    ReleaseMaterial3ds(&transparent);
    GetMaterialByName3ds(cubes, "01 - Default", &transparent);
    ASSERT_NE(transparent, nullptr);
    EXPECT_STREQ(transparent->texture1.name, "BERETTA_.JPG");  // a map whose file is absent
    ReleaseMaterial3ds(&transparent);
    database3ds* fels = meshes("fels.3ds", 1, 386, 768, false);
    EXPECT_NEAR(material(fels, 0)->diffuse[0], 0.784f, 1e-3);
    meshes("RotatingCube.3DS", 1, 26, 12, true);
    database3ds* camera = OpenPath(SampleDir() + "/TargetCameraAnim.3ds");
    EXPECT_EQ(GetMeshCount3ds(camera), 1u);
    camera3ds* cam = nullptr;
    GetCameraByName3ds(camera, "Camera01", &cam);
    ASSERT_NE(cam, nullptr);
    EXPECT_NEAR(cam->fov, 45.0f, 1e-3);
    EXPECT_EQ(cam->nearrange, 0.0f);
    EXPECT_EQ(cam->farrange, 1000.0f);
    ReleaseCamera3ds(&cam);
    EXPECT_TRUE(Errors().empty());
}

class Lib3dsReads3ds : public ToolkitTest {};

// Records of every kind put by the toolkit into a new database and written: lib3ds
// reads what the getters read back.
TEST_F(Lib3dsReads3ds, RecordsPutAndWrittenReadAlikeInLib3ds) {
    SKIP_WITHOUT_LIB3DS();
#ifdef ZEQ_HAVE_LIB3DS
    database3ds* db = New();
    mesh3ds* mesh = nullptr;
    InitMeshObj3ds(&mesh, 4, 2, InitTextArray3ds | InitSmoothArray3ds);
    std::strcpy(mesh->name, "Quad");
    for (std::uint16_t i = 0; i < 4; ++i) {
        mesh->vertices[i] = {float(i & 1), float(i >> 1), 0.5f * i};
        mesh->texverts[i] = {0.25f * i, 1 - 0.25f * i};
    }
    mesh->faces[0] = {0, 1, 2, 7};
    mesh->faces[1] = {2, 1, 3, 3};
    mesh->smoothgroups[0] = 1;
    mesh->smoothgroups[1] = 0x80000000u;
    for (int i = 0; i < 12; ++i) mesh->localmatrix[i] = (i % 4 == 0) ? 1.0f : 0.0f;
    mesh->localmatrix[9] = 5;
    mesh->colorindex = 3;
    mesh->matgroupcount = 1;
    InitMeshObjField3ds(mesh, InitMatArray3ds);
    std::strcpy(mesh->matgroups[0].name, "Paint");
    mesh->matgroups[0].nfaces = 2;
    InitMatArrayIndex3ds(mesh, 0, 2);
    mesh->matgroups[0].faces[1] = 1;
    PutMesh3ds(db, mesh);
    material3ds* paint = nullptr;
    InitMaterial3ds(&paint);
    std::strcpy(paint->name, "Paint");
    paint->ambient[0] = 0.2f;
    paint->diffuse[1] = 0.6f;
    paint->specular[2] = 1.0f;
    paint->shininess = 0.3f;
    paint->shinstrength = 0.05f;
    paint->transparency = 0.5f;
    paint->shading = 2;
    paint->twosided = 1;
    std::strcpy(paint->texture1.name, "paint.png");
    paint->texture1.percent = 0.75f;
    std::strcpy(paint->opacitymap.name, "mask.png");
    std::strcpy(paint->bumpmap.name, "bump.png");
    PutMaterial3ds(db, paint);
    camera3ds* cam = nullptr;
    InitCamera3ds(&cam);
    std::strcpy(cam->name, "Cam");
    cam->position = {1, 2, 3};
    cam->target = {0, 0, 0};
    cam->roll = 5;
    cam->fov = 60;
    cam->showcone = 1;
    PutCamera3ds(db, cam);
    light3ds* light = nullptr;
    InitLight3ds(&light);
    std::strcpy(light->name, "Omni");
    light->color = {1, 0.5f, 0};
    light->off = 1;
    PutOmnilight3ds(db, light);
    InitSpotlight3ds(&light);
    std::strcpy(light->name, "Spot");
    light->position = {4, 5, 6};
    light->spot->target = {0, 0, -1};
    light->spot->hotspot = 20;
    light->spot->falloff = 30;
    light->spot->roll = 10;
    light->spot->shadowed = 1;
    light->spot->coneshape = 1;
    light->spot->projector = 1;
    light->spot->projectorname = strdup3ds("slide.bmp");
    PutSpotlight3ds(db, light);
    ASSERT_TRUE(Errors().empty());
    Write(db, "records.3ds");
    h::Scene peer;
    std::string error;
    ASSERT_TRUE(h::Load(mDir / "records.3ds", peer, &error)) << error;
    ExpectSameRecords(OpenPath(mDir / "records.3ds"), peer);
    EXPECT_TRUE(Errors().empty());
    RelMeshObj3ds(&mesh);
    ReleaseMaterial3ds(&paint);
    ReleaseCamera3ds(&cam);
    ReleaseLight3ds(&light);
#endif
}

class Lib3dsWritten3ds : public ToolkitTest {};

TEST_F(Lib3dsWritten3ds, FilesWrittenByLib3dsReadThroughTheGetters) {
    SKIP_WITHOUT_LIB3DS();
#ifdef ZEQ_HAVE_LIB3DS
    h::Scene scene;
    h::Mesh mesh;
    mesh.name = "Quad";
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.texcoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    mesh.faces = {{0, 1, 2, 7, "Red", 1}, {2, 3, 0, 7, "Red", 1}};
    mesh.matrix[0][0] = mesh.matrix[1][1] = mesh.matrix[2][2] = mesh.matrix[3][3] = 1;
    scene.meshes.push_back(mesh);
    h::Material red;
    red.name = "Red";
    red.diffuse = {1, 0, 0};
    red.shading = 3;
    red.maps[h::Texture1].name = "red.png";
    red.maps[h::Texture1].percent = 0.5f;
    scene.materials.push_back(red);
    scene.cameras.push_back({"Cam", {1, 2, 3}, {0, 0, 0}, 5, 60, 1, 500, false});
    h::Light omni;
    omni.name = "Omni";
    omni.color = {1, 1, 0};
    omni.position = {4, 5, 6};
    omni.multiplier = 1;
    scene.lights.push_back(omni);
    h::Light spot = omni;
    spot.name = "Spot";
    spot.spot = true;
    spot.target = {0, 0, -1};
    spot.hotspot = 20;
    spot.falloff = 30;
    spot.roll = 10;
    scene.lights.push_back(spot);
    const std::string path = mDir / "lib3ds.3ds";
    std::string error;
    ASSERT_TRUE(h::Save(scene, path, &error)) << error;
    h::Scene peer;
    ASSERT_TRUE(h::Load(path, peer, &error)) << error;
    ExpectSameRecords(OpenPath(path), peer);
    EXPECT_TRUE(Errors().empty());
#endif
}

}  // namespace
}  // namespace tk3dstest
