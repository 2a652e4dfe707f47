#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSPEER_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSPEER_H

// Our reading of a 3DS file beside lib3ds's: the same meshes (names, faces,
// corner positions), materials (colours to 1/255, map names) and keyframe
// nodes, whose lib3ds_file_eval matrices at chosen frames match our nodes'
// global matrices once the axes are mapped (x, y, z) -> (x, z, -y) and the
// lengths scaled. Without lib3ds-dev these checks skip with a message.

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "formats/geometry/3ds/tests/k3dstest_support.h"
#ifdef ZEQ_HAVE_LIB3DS
#include "formats/geometry/3ds/toolkit/tests/lib3ds/lib3dsharness.h"
#endif

namespace zeq3dstest {

#ifdef ZEQ_HAVE_LIB3DS
#define SKIP_WITHOUT_LIB3DS() (void)0
#else
#define SKIP_WITHOUT_LIB3DS() GTEST_SKIP() << "lib3ds-dev not installed: no comparison with lib3ds"
#endif

// A file point as the reader places it in the scene.
inline KZeqVector4 ToScene(const double* p, double scale) {
    return KZeqVector4(p[0] * scale, p[2] * scale, -p[1] * scale, 0.0);
}

#ifdef ZEQ_HAVE_LIB3DS
namespace h = lib3dsharness;

inline std::string NodeName(const h::Node& node) {
    if (node.name == "$$$DUMMY" && !node.instance.empty()) return node.instance;
    return node.instance.empty() ? node.name : node.name + "." + node.instance;
}

// lib3ds's m applied to p (rows as ours: p.x row 0 + p.y row 1 + p.z row 2 + row 3).
inline void Apply(const float (*m)[4], const double* p, double* out) {
    for (int i = 0; i < 3; ++i) out[i] = p[0] * m[0][i] + p[1] * m[1][i] + p[2] * m[2][i] + m[3][i];
}

// Checks `scene` (read from `path` by our reader with scale factor `scale`)
// against lib3ds's reading of the same file. Nodes are compared at `frames`.
inline void ExpectSameAsPeer(const std::string& path, KZeqScene& scene, double scale,
                             const std::vector<float>& frames) {
    h::Scene peer;
    std::string error;
    ASSERT_TRUE(h::Load(path, peer, &error)) << error;
    std::map<std::string, KZeqNode*> ours;
    std::vector<KZeqNode*> pending{scene.GetRootNode()};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        ours.emplace(Plain(node->GetName()), node);
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
    }
    std::map<std::string, const h::Node*> peerNodes;
    for (const h::Node& node : peer.nodes) peerNodes.emplace(NodeName(node), &node);

    // Meshes: every face's corners where lib3ds puts them, taken into the node's frame.
    for (const h::Mesh& mesh : peer.meshes) {
        KZeqNode* node = ours.count(mesh.name) ? ours[mesh.name] : nullptr;
        ASSERT_TRUE(node && node->GetMesh()) << mesh.name;
        KZeqMesh* our = node->GetMesh();
        ASSERT_EQ(our->GetPolygonCount(), static_cast<int>(mesh.faces.size())) << mesh.name;
        KZeqXMatrix local;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) local.mData[r][c] = mesh.matrix[r][c];
        const KZeqXMatrix inverse = local.Inverse();
        double pivot[3] = {0, 0, 0};
        auto found = peerNodes.find(mesh.name);
        if (found != peerNodes.end())
            for (int a = 0; a < 3; ++a) pivot[a] = found->second->pivot[a];
        const KZeqVector4* points = our->GetControlPoints();
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            const std::uint16_t corners[3] = {mesh.faces[f].a, mesh.faces[f].b, mesh.faces[f].c};
            for (int k = 0; k < 3; ++k) {
                const h::Vec3& v = mesh.vertices[corners[k]];
                KZeqVector4 p = inverse.MultT(KZeqVector4(v[0], v[1], v[2], 1.0));
                const double local3[3] = {p[0] - pivot[0], p[1] - pivot[1], p[2] - pivot[2]};
                const KZeqVector4 expected = ToScene(local3, scale);
                const KZeqVector4& got = points[our->GetPolygonVertex(static_cast<int>(f), k)];
                for (int a = 0; a < 3; ++a)
                    ASSERT_NEAR(got[a], expected[a], 1e-4 * (1.0 + std::fabs(expected[a])))
                        << mesh.name << " face " << f << " corner " << k;
            }
        }
    }
    // Materials: colours within one step of a byte, first map's name.
    KZeqSdkManager& manager = scene.GetRootNode()->GetSdkManager();
    for (const h::Material& material : peer.materials) {
        KZeqMaterial* our = manager.FindKZeqMaterial(material.name.c_str());
        ASSERT_NE(our, nullptr) << material.name;
        const KZeqColor ambient = our->GetAmbient(), diffuse = our->GetDiffuse();
        EXPECT_NEAR(ambient.mRed, material.ambient[0], 1.0 / 255 + 1e-6) << material.name;
        EXPECT_NEAR(ambient.mBlue, material.ambient[2], 1.0 / 255 + 1e-6) << material.name;
        EXPECT_NEAR(diffuse.mRed, material.diffuse[0], 1.0 / 255 + 1e-6) << material.name;
        EXPECT_NEAR(diffuse.mGreen, material.diffuse[1], 1.0 / 255 + 1e-6) << material.name;
        EXPECT_NEAR(our->GetOpacity(), 1.0 - material.transparency, 1e-6) << material.name;
        const std::string& map = material.maps[h::Texture1].name;
        if (!map.empty()) {
            EXPECT_NE(manager.FindKZeqTexture(map.c_str()), nullptr) << map;
        }
    }
    // Nodes: names, parents, and placement frame by frame.
    for (const h::Node& node : peer.nodes) {
        if (node.type != h::ObjectNode && node.type != h::CameraNode && node.type != h::TargetNode &&
            node.type != h::LightNode && node.type != h::SpotNode)
            continue;
        const std::string name = node.type == h::TargetNode ? node.name + ".Target" : NodeName(node);
        ASSERT_TRUE(ours.count(name)) << name;
    }
    if (frames.empty() || peer.nodes.empty()) return;
    std::vector<h::Frame> evaluated;
    ASSERT_TRUE(h::Evaluate(path, frames, evaluated, &error)) << error;
    for (const h::Frame& frame : evaluated) {
        const KTime time(static_cast<long long>(std::llround(frame.frame * 1539538600.0)));
        for (const h::NodeValues& values : frame.nodes) {
            if (values.type != h::ObjectNode && values.type != h::CameraNode && values.type != h::TargetNode) continue;
            std::string name = values.name;
            if (values.type == h::TargetNode) name += ".Target";
            for (const h::Node& node : peer.nodes)
                if (node.type == values.type && node.name == values.name && !node.instance.empty() &&
                    values.type == h::ObjectNode)
                    name = NodeName(node);
            if (!ours.count(name)) continue;
            KZeqNode* node = ours[name];
            const KZeqXMatrix& global = node->GetGlobalFromCurrentTake(time);
            // Positions of the node's origin and axes; cameras and targets by their origin only.
            const int tests = values.type == h::ObjectNode ? 4 : 1;
            for (int q = 0; q < tests; ++q) {
                const double file[3] = {q == 1 ? 1.0 : 0.0, q == 2 ? 1.0 : 0.0, q == 3 ? 1.0 : 0.0};
                double world[3];
                Apply(values.matrix, file, world);
                const KZeqVector4 expected = ToScene(world, scale);
                const KZeqVector4 local = ToScene(file, scale);
                const KZeqVector4 got = global.MultT(KZeqVector4(local[0], local[1], local[2], 1.0));
                for (int a = 0; a < 3; ++a)
                    EXPECT_NEAR(got[a], expected[a], 2e-3 * (1.0 + std::fabs(expected[a])))
                        << name << " frame " << frame.frame << " point " << q << " axis " << a;
            }
        }
    }
}
#endif

}  // namespace zeq3dstest

#endif
