#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSTAKEREADING_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TESTS_K3DSTAKEREADING_H

// A written file read back by our reader and by lib3ds against the scene's own evaluation: every
// node, light, camera and target where the take puts it at chosen frames, with its colour, cone,
// field of view and roll.

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/tests/k3dspeer.h"
#include "formats/geometry/3ds/tests/k3dsscene.h"

namespace zeq3dstest {

// What the file holds of a source node at a frame, in the scene's axes.
struct Expected {
    KZeqNode* mNode = nullptr;
    // The place of points of the node's own space (the origin, then its axes for objects).
    std::vector<KZeqVector4> mPoints;
    bool mLight = false, mSpot = false, mCamera = false;
    double mColour[3] = {0, 0, 0};
    double mCone = 0, mFov = 0, mRoll = 0;
};

// Point q of a node's own space: its origin, then one along each of the file's axes.
inline KZeqVector4 LocalPoint(std::size_t q) {
    const double file[3] = {q == 1 ? 1.0 : 0.0, q == 2 ? 1.0 : 0.0, q == 3 ? 1.0 : 0.0};
    KZeqVector4 p = ToScene(file, 1.0);
    p[3] = 1.0;
    return p;
}

class TakeReading3dsTest : public Writer3dsTest {
protected:
    static const Tweak& NoRescale() {
        static const Tweak tweak = [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); };
        return tweak;
    }
    KZeqLight* AddLight(KZeqNode* node, KZeqLight::ELightType type) {
        KZeqLight* light = mManager.CreateKZeqLight();
        light->SetLightType(type);
        node->SetNodeAttribute(light);
        return light;
    }

    // What the file must hold of each node written (by the name the file gives it; a target as
    // "<its light's or camera's>.Target") at time.
    std::map<std::string, Expected> ExpectedAt(KZeqScene& scene, KTime time) {
        std::map<std::string, Expected> out;
        std::vector<KZeqNode*> targets;
        for (KZeqNode* node : Nodes(&scene))
            if ((node->GetLight() || node->GetCamera()) && node->GetTarget()) targets.push_back(node->GetTarget());
        for (KZeqNode* node : Nodes(&scene)) {
            // A target is written as its light's or camera's.
            if (std::find(targets.begin(), targets.end(), node) != targets.end()) continue;
            const std::string name = Plain(node->GetName());
            Expected e;
            e.mNode = node;
            const KZeqXMatrix& global = node->GetGlobalFromCurrentTake(time);
            const bool object = !node->GetLight() && !node->GetCamera();
            for (std::size_t q = 0; q < (object ? 4u : 1u); ++q) e.mPoints.push_back(global.MultT(LocalPoint(q)));
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            if (KZeqLight* light = node->GetLight()) {
                e.mLight = true;
                e.mSpot = light->GetLightType() == KZeqLight::eSPOT;
                KFCurve* const colour[3] = {take->GetColorR(), take->GetColorG(), take->GetColorB()};
                for (int c = 0; c < 3; ++c) e.mColour[c] = colour[c]->Evaluate(time);
                if (e.mSpot) e.mCone = take->GetLightConeAngle()->Evaluate(time);
            }
            if (KZeqCamera* camera = node->GetCamera()) {
                e.mCamera = true;
                const double fov = take->GetCameraFieldOfView()->Evaluate(time);
                e.mFov = camera->GetApertureMode() == KZeqCamera::eVERTICAL
                             ? KZeqWriter3DS::HorizontalFieldOfView(camera, fov)
                             : fov;
                e.mRoll = take->GetCameraRoll()->Evaluate(time);
            }
            if (e.mSpot || e.mCamera) {
                // The target node, or the one the writer puts 10 along the light's -Y or the camera's X.
                Expected target;
                target.mPoints.push_back(node->GetTarget()
                                             ? node->GetTarget()->GetGlobalFromCurrentTake(time).GetRow(3)
                                             : global.MultT(e.mSpot ? KZeqVector4(0, -10, 0, 1) : KZeqVector4(10, 0, 0, 1)));
                target.mNode = node->GetTarget();
                out[name + ".Target"] = target;
            }
            out[name] = e;
        }
        return out;
    }

    static void ExpectPoint(const KZeqVector4& got, const KZeqVector4& want, const std::string& what) {
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(got[a], want[a], 1e-3 * (1.0 + std::fabs(want[a]))) << what << " axis " << a;
    }

    // Our reading of the file at path: every node of the source where the source's evaluation
    // puts it at each frame, lights, cameras and targets with their values.
    void ExpectOurReading(const std::string& path, KZeqScene& source, const std::vector<long long>& frames) {
        KZeqScene* back = mManager.CreateKZeqScene();
        ASSERT_TRUE(Import3ds(path, NoRescale(), back)) << mError;
        std::map<std::string, KZeqNode*> read;
        for (KZeqNode* node : Nodes(back)) {
            read[Plain(node->GetName())] = node;
            if (KZeqNode* target = node->GetTarget()) read[Plain(node->GetName()) + ".Target"] = target;
        }
        for (long long f : frames) {
            const KTime time = Frame30(f);
            for (const auto& [name, e] : ExpectedAt(source, time)) {
                if (e.mNode && e.mNode->GetParent() == nullptr) continue;
                const std::string at = name + " frame " + std::to_string(f);
                ASSERT_TRUE(read.count(name)) << at;
                KZeqNode* node = read[name];
                const KZeqXMatrix& global = node->GetGlobalFromCurrentTake(time);
                for (std::size_t q = 0; q < e.mPoints.size(); ++q)
                    ExpectPoint(global.MultT(LocalPoint(q)), e.mPoints[q], at + " point " + std::to_string(q));
                KZeqTakeNode* take = node->GetCurrentTakeNode();
                if (e.mLight) {
                    KFCurve* const colour[3] = {take->GetColorR(), take->GetColorG(), take->GetColorB()};
                    for (int c = 0; c < 3; ++c) EXPECT_NEAR(colour[c]->Evaluate(time), e.mColour[c], 1e-5) << at;
                }
                if (e.mSpot) {
                    EXPECT_NEAR(take->GetLightConeAngle()->Evaluate(time), e.mCone, 1e-4) << at;
                }
                if (e.mCamera) {
                    EXPECT_NEAR(take->GetCameraFieldOfView()->Evaluate(time), e.mFov, 1e-4) << at;
                    EXPECT_NEAR(take->GetCameraRoll()->Evaluate(time), e.mRoll, 1e-3) << at;
                }
            }
        }
    }

    // lib3ds's reading of the file at path, evaluated at each frame: the same.
    void ExpectPeerReading(const std::string& path, KZeqScene& source, const std::vector<long long>& frames) {
#ifdef ZEQ_HAVE_LIB3DS
        std::vector<float> at;
        for (long long f : frames) at.push_back(static_cast<float>(f));
        std::vector<h::Frame> evaluated;
        std::string error;
        ASSERT_TRUE(h::Evaluate(path, at, evaluated, &error)) << error;
        h::Scene peer;
        ASSERT_TRUE(h::Load(path, peer, &error)) << error;
        std::size_t seen = 0;
        for (const h::Frame& frame : evaluated) {
            const std::map<std::string, Expected> expected = ExpectedAt(source, Frame30(std::llround(frame.frame)));
            ASSERT_EQ(frame.nodes.size(), peer.nodes.size());
            for (std::size_t i = 0; i < frame.nodes.size(); ++i) {
                const h::NodeValues& values = frame.nodes[i];
                std::string name = NodeName(peer.nodes[i]);
                // lib3ds takes a spotlight for a light node and its target for a spot node.
                if (values.type == h::TargetNode || values.type == h::SpotNode) name += ".Target";
                const std::string at = name + " frame " + std::to_string(frame.frame) + " (lib3ds)";
                const auto found = expected.find(name);
                ASSERT_NE(found, expected.end()) << at;
                const Expected& e = found->second;
                ++seen;
                if (values.type == h::ObjectNode) {
                    for (std::size_t q = 0; q < e.mPoints.size(); ++q) {
                        const double file[3] = {q == 1 ? 1.0 : 0.0, q == 2 ? 1.0 : 0.0, q == 3 ? 1.0 : 0.0};
                        double world[3];
                        Apply(values.matrix, file, world);
                        ExpectPoint(ToScene(world, 1.0), e.mPoints[q], at + " point " + std::to_string(q));
                    }
                    continue;
                }
                const double position[3] = {values.position[0], values.position[1], values.position[2]};
                ExpectPoint(ToScene(position, 1.0), e.mPoints[0], at);
                for (int c = 0; c < (e.mLight ? 3 : 0); ++c) EXPECT_NEAR(values.color[c], e.mColour[c], 1e-5) << at;
                if (e.mSpot) {
                    EXPECT_NEAR(values.hotspot, e.mCone, 1e-4) << at;
                }
                if (e.mCamera) {
                    EXPECT_NEAR(values.fov, e.mFov, 1e-4) << at;
                    EXPECT_NEAR(values.roll, e.mRoll, 1e-3) << at;
                }
            }
        }
        EXPECT_GT(seen, 0u);
#else
        (void)path, (void)source, (void)frames;
#endif
    }
};

}  // namespace zeq3dstest

#endif
