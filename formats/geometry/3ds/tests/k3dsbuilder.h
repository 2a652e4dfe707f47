#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSBUILDER_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSBUILDER_H

// 3DS files put together with the toolkit for the reader's tests: records put
// into a new mesh-file database and written.

#include <cstring>
#include <string>
#include <vector>

#include "formats/geometry/3ds/toolkit/toolkit3ds.h"

namespace zeq3dstest {

using namespace zeqsdk_400;

class File3dsBuilder {
public:
    File3dsBuilder() {
        InitDatabase3ds(&mDb);
        CreateNewDatabase3ds(mDb, MeshFile3ds);
    }
    ~File3dsBuilder() { ReleaseDatabase3ds(&mDb); }
    File3dsBuilder(const File3dsBuilder&) = delete;
    File3dsBuilder& operator=(const File3dsBuilder&) = delete;

    // A mesh of the given points (file axes) and triangles; identity frame.
    mesh3ds* Mesh(const char* name, const std::vector<point3ds>& points, const std::vector<face3ds>& faces,
                  bool texverts = false) {
        mesh3ds* m = nullptr;
        InitMeshObj3ds(&m, static_cast<std::uint16_t>(points.size()), static_cast<std::uint16_t>(faces.size()),
                       static_cast<std::uint16_t>(InitVertexArray3ds | InitFaceArray3ds | InitSmoothArray3ds |
                                                  (texverts ? InitTextArray3ds : 0)));
        CopyName3ds(m->name, sizeof(m->name), name);
        for (std::size_t i = 0; i < points.size(); ++i) m->vertices[i] = points[i];
        for (std::size_t i = 0; i < faces.size(); ++i) {
            m->faces[i] = faces[i];
            m->smoothgroups[i] = 1;
        }
        const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        std::memcpy(m->localmatrix, identity, sizeof(identity));
        mMeshes.push_back(m);
        return m;
    }
    // Faces [first, first + count) drawn with a material.
    static void Group(mesh3ds* m, const char* material, const std::vector<std::uint16_t>& faces) {
        const std::uint16_t index = m->matgroupcount;
        m->matgroupcount = static_cast<std::uint16_t>(index + 1);
        auto* groups = static_cast<objmat3ds*>(std::calloc(m->matgroupcount, sizeof(objmat3ds)));
        for (std::uint16_t g = 0; g < index; ++g) groups[g] = m->matgroups[g];
        std::free(m->matgroups);
        m->matgroups = groups;
        CopyName3ds(groups[index].name, sizeof(groups[index].name), material);
        groups[index].nfaces = static_cast<std::uint16_t>(faces.size());
        groups[index].faces = static_cast<std::uint16_t*>(std::calloc(faces.size() + 1, sizeof(std::uint16_t)));
        for (std::size_t i = 0; i < faces.size(); ++i) groups[index].faces[i] = faces[i];
    }
    material3ds* Material(const char* name) { return Named(InitMaterial3ds, name, mMaterials); }
    kfmesh3ds* Node(const char* name, std::uint32_t pos = 1, std::uint32_t rot = 1, std::uint32_t scale = 1) {
        return Named([=](kfmesh3ds** node) { InitObjectMotion3ds(node, pos, rot, scale, 0, 0); }, name, mNodes);
    }
    kfcamera3ds* CameraNode(const char* name, std::uint32_t pos, std::uint32_t fov, std::uint32_t roll,
                            std::uint32_t target) {
        return Named([=](kfcamera3ds** node) { InitCameraMotion3ds(node, pos, fov, roll, target); }, name,
                     mCameraNodes);
    }
    kfomni3ds* OmniNode(const char* name, std::uint32_t pos, std::uint32_t colour) {
        return Named([=](kfomni3ds** node) { InitOmnilightMotion3ds(node, pos, colour); }, name, mOmniNodes);
    }
    kfspot3ds* SpotNode(const char* name, std::uint32_t pos, std::uint32_t colour, std::uint32_t hotspot,
                        std::uint32_t target) {
        return Named([=](kfspot3ds** node) { InitSpotlightMotion3ds(node, pos, colour, hotspot, 1, 1, target); },
                     name, mSpotNodes);
    }
    light3ds* Omni(const char* name) { return Named(InitLight3ds, name, mLights); }
    light3ds* Spot(const char* name) { return Named(InitSpotlight3ds, name, mLights); }
    camera3ds* Camera(const char* name) { return Named(InitCamera3ds, name, mCameras); }
    meshset3ds* Settings() {
        if (!mSettings) InitMeshSet3ds(&mSettings);
        return mSettings;
    }

    // Puts every record and writes the file; false on a toolkit failure.
    bool Write(const std::string& path) {
        if (mSettings) PutMeshSet3ds(mDb, mSettings);
        for (material3ds* m : mMaterials) PutMaterial3ds(mDb, m);
        for (mesh3ds* m : mMeshes) PutMesh3ds(mDb, m);
        for (light3ds* l : mLights) PutLight3ds(mDb, l);
        for (camera3ds* c : mCameras) PutCamera3ds(mDb, c);
        for (kfmesh3ds* n : mNodes) PutObjectMotion3ds(mDb, n);
        for (kfcamera3ds* n : mCameraNodes) PutCameraMotion3ds(mDb, n);
        for (kfomni3ds* n : mOmniNodes) PutOmnilightMotion3ds(mDb, n);
        for (kfspot3ds* n : mSpotNodes) PutSpotlightMotion3ds(mDb, n);
        Release();
        file3ds* file = OpenFile3ds(path.c_str(), "wb");
        if (!file) return false;
        WriteDatabase3ds(file, mDb);
        CloseFile3ds(file);
        const bool ok = !toolkiterr3ds;
        ClearErrList3ds();
        return ok;
    }

private:
    // A record made by init, named, and kept in records until the file is written.
    template <class Record, class Init>
    static Record* Named(Init init, const char* name, std::vector<Record*>& records) {
        Record* record = nullptr;
        init(&record);
        CopyName3ds(record->name, sizeof(record->name), name);
        records.push_back(record);
        return record;
    }
    void Release() {
        for (mesh3ds*& m : mMeshes) RelMeshObj3ds(&m);
        for (material3ds*& m : mMaterials) ReleaseMaterial3ds(&m);
        for (light3ds*& l : mLights) ReleaseLight3ds(&l);
        for (camera3ds*& c : mCameras) ReleaseCamera3ds(&c);
        for (kfmesh3ds*& n : mNodes) ReleaseObjectMotion3ds(&n);
        for (kfcamera3ds*& n : mCameraNodes) ReleaseCameraMotion3ds(&n);
        for (kfomni3ds*& n : mOmniNodes) ReleaseOmnilightMotion3ds(&n);
        for (kfspot3ds*& n : mSpotNodes) ReleaseSpotlightMotion3ds(&n);
        if (mSettings) ReleaseMeshSet3ds(&mSettings);
        mMeshes.clear();
        mMaterials.clear();
        mLights.clear();
        mCameras.clear();
        mNodes.clear();
        mCameraNodes.clear();
        mOmniNodes.clear();
        mSpotNodes.clear();
    }

    database3ds* mDb = nullptr;
    meshset3ds* mSettings = nullptr;
    std::vector<mesh3ds*> mMeshes;
    std::vector<material3ds*> mMaterials;
    std::vector<light3ds*> mLights;
    std::vector<camera3ds*> mCameras;
    std::vector<kfmesh3ds*> mNodes;
    std::vector<kfcamera3ds*> mCameraNodes;
    std::vector<kfomni3ds*> mOmniNodes;
    std::vector<kfspot3ds*> mSpotNodes;
};

// The unit cube's corners and its twelve triangles, two per side (side s is faces 2s, 2s + 1).
inline std::vector<point3ds> CubePoints() {
    std::vector<point3ds> points;
    for (int i = 0; i < 8; ++i)
        points.push_back(point3ds{static_cast<float>(i & 1), static_cast<float>((i >> 1) & 1),
                                  static_cast<float>((i >> 2) & 1)});
    return points;
}
inline std::vector<face3ds> CubeFaces() {
    const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<face3ds> faces;
    for (const auto& s : sides) {
        faces.push_back(face3ds{static_cast<std::uint16_t>(s[0]), static_cast<std::uint16_t>(s[1]),
                                static_cast<std::uint16_t>(s[2]), 7});
        faces.push_back(face3ds{static_cast<std::uint16_t>(s[2]), static_cast<std::uint16_t>(s[3]),
                                static_cast<std::uint16_t>(s[0]), 7});
    }
    return faces;
}

// A key header at a frame with no spline values.
inline keyheader3ds Key(std::uint32_t frame) {
    keyheader3ds key{};
    key.time = frame;
    return key;
}

}  // namespace zeq3dstest

#endif
