#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSSCENE_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSSCENE_H

// Scene builders for the writer's tests: nodes with meshes, lights and cameras,
// linear keys in a take, and the records of a written file through the toolkit.

#include <string>
#include <utility>
#include <vector>

#include "fcurve/kfcurvekey.h"
#include "formats/geometry/3ds/tests/k3dstest_support.h"
#include "scene/kzeqtakeinfo.h"

namespace zeq3dstest {

// Linear keys (frame at 30 fps, value) replacing the curve's keys.
inline void LinearKeys(KFCurve* curve, const std::vector<std::pair<double, double>>& keys) {
    curve->KeyClear();
    const int count = static_cast<int>(keys.size());
    curve->KeyModifyBegin(count);
    for (int i = 0; i < count; ++i)
        curve->KeyGetPtr(i)->Set(KTime(static_cast<long long>(keys[static_cast<std::size_t>(i)].first * 1539538600.0)),
                                 static_cast<float>(keys[static_cast<std::size_t>(i)].second),
                                 KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
    curve->KeyModifyEnd(count);
}

// The file's records, read back with the toolkit.
class Written3ds {
public:
    explicit Written3ds(const std::string& path) {
        mFile = OpenFile3ds(path.c_str(), "rb");
        InitDatabase3ds(&mDb);
        if (mFile) CreateDatabase3ds(mFile, mDb);
    }
    ~Written3ds() {
        ReleaseDatabase3ds(&mDb);
        if (mFile) CloseFile3ds(mFile);
        ClearErrList3ds();
    }
    bool Ok() const { return mFile && !toolkiterr3ds; }
    database3ds* Db() { return mDb; }

private:
    file3ds* mFile = nullptr;
    database3ds* mDb = nullptr;
};

// A record fetched by index and released at scope end.
#define ZEQ3DS_RECORD(Type, Release)                                       \
    struct Type##Held {                                                    \
        Type* mRecord = nullptr;                                           \
        ~Type##Held() { Release(&mRecord); }                               \
        Type* operator->() const { return mRecord; }                       \
    };
ZEQ3DS_RECORD(mesh3ds, RelMeshObj3ds)
ZEQ3DS_RECORD(material3ds, ReleaseMaterial3ds)
ZEQ3DS_RECORD(light3ds, ReleaseLight3ds)
ZEQ3DS_RECORD(camera3ds, ReleaseCamera3ds)
ZEQ3DS_RECORD(kfmesh3ds, ReleaseObjectMotion3ds)
ZEQ3DS_RECORD(kfomni3ds, ReleaseOmnilightMotion3ds)
ZEQ3DS_RECORD(kfspot3ds, ReleaseSpotlightMotion3ds)
ZEQ3DS_RECORD(kfcamera3ds, ReleaseCameraMotion3ds)
ZEQ3DS_RECORD(meshset3ds, ReleaseMeshSet3ds)
ZEQ3DS_RECORD(kfsets3ds, ReleaseKfSets3ds)
#undef ZEQ3DS_RECORD

class Writer3dsTest : public Scene3dsTest {
protected:
    KZeqNode* AddNode(const char* name, KZeqNode* parent = nullptr) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        (parent ? parent : mScene->GetRootNode())->AddChild(node);
        return node;
    }
    // A mesh of polygons over points, each polygon a list of control points.
    KZeqMesh* AddMesh(KZeqNode* node, const std::vector<KZeqVector4>& points,
                      const std::vector<std::vector<int>>& polygons) {
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(static_cast<int>(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i) mesh->GetControlPoints()[i] = points[i];
        for (const auto& polygon : polygons) {
            mesh->BeginPolygon();
            for (int v : polygon) mesh->AddPolygon(v);
            mesh->EndPolygon();
        }
        node->SetNodeAttribute(mesh);
        return mesh;
    }
    KZeqMesh* AddQuad(KZeqNode* node) {
        return AddMesh(node, {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0, 1, 0, 0}}, {{0, 1, 2, 3}});
    }
    // A texture "wood" of the file, the one texture of the whole mesh.
    void AddWoodTexture(KZeqMesh* mesh, const std::string& file) {
        KZeqTexture* texture = mManager.CreateKZeqTexture("wood");
        texture->SetFileName(file.c_str());
        mesh->InitTextureIndices(KZeqMesh::eALL_SAME);
        mesh->AddTexture(texture);
    }
    // A take "Take 001" made current on the node.
    KZeqTakeNode* Take(KZeqNode* node) {
        if (!node->GetCurrentTakeNode() || std::string(node->GetCurrentTakeNodeName()) != "Take 001") {
            node->CreateTakeNode("Take 001");
            node->SetCurrentTakeNode("Take 001");
        }
        return node->GetCurrentTakeNode();
    }
    std::string WriteScene(const Tweak& tweak = nullptr) {
        const std::string path = Path("out.3ds");
        EXPECT_TRUE(Export3ds(path, tweak)) << mError << " " << mMessage.Buffer();
        return path;
    }
};

}  // namespace zeq3dstest

#endif
