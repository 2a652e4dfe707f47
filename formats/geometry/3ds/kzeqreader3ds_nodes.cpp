// 3DS lights and cameras to scene attributes, one node per keyframer node,
// and the keyframer's hierarchy as the node tree with spot and camera targets.

#include <cstring>
#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// A fixed-width name field as a string (never reading past the field).
template <std::size_t N>
std::string Field(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The first object of a kind whose record has this name.
template <class Entry>
Entry* FindObject(std::vector<Entry>& objects, const std::string& name) {
    for (Entry& entry : objects)
        if (Field(entry.mRecord->name) == name) return &entry;
    return nullptr;
}

}  // namespace

void KZeqReader3DS::ConvertOmnilight(const light3ds&, KZeqLight& light) { light.SetLightType(KZeqLight::ePOINT); }

void KZeqReader3DS::ConvertSpotlight(const light3ds& record, KZeqLight& light) {
    light.SetLightType(KZeqLight::eSPOT);
    if (record.spot && record.spot->projector && record.spot->projectorname) {
        if (KZeqGobo* gobo = mManager.CreateKZeqGobo(record.spot->projectorname)) {
            mGobos.push_back(gobo);
            light.SetGobo(gobo);
        }
    }
}

void KZeqReader3DS::ConvertCamera(const camera3ds& record, KZeqCamera& camera) {
    camera.SetNearPlane(mScaleFactor * record.nearrange);
    camera.SetFarPlane(mScaleFactor * record.farrange * 10.0);
    // A field of view of 0 has no lens: the camera keeps its default focal length.
    if (record.fov > 0.0f) camera.SetFocalLength(2400.0 / record.fov);
    camera.SetApertureMode(KZeqCamera::eHORIZONTAL);
    background3ds* background = nullptr;
    InitBackground3ds(&background);
    if (!background) return;
    GetBackground3ds(mDatabase, &background);
    camera.SetDefaultBackgroundColor(KZeqColor(background->solid.r, background->solid.g, background->solid.b, 1.0));
    ReleaseBackground3ds(&background);
}

KZeqNode* KZeqReader3DS::CreateNode(const char* name) {
    KZeqNode* node = mManager.CreateKZeqNode(name);
    if (node) mNodesByName.emplace(name, node);
    return node;
}

KZeqMesh* KZeqReader3DS::MeshForNode(MeshEntry& entry, const kfmesh3ds& motion) {
    const double s = mCreateReferenceNode ? 1.0 : mScaleFactor;
    const auto Move = [s](KZeqVector4& p, const float* pivot, double sign) {
        p[0] += sign * s * pivot[0];
        p[1] += sign * s * pivot[2];
        p[2] -= sign * s * pivot[1];
    };
    const float pivot[3] = {motion.pivot.x, motion.pivot.y, motion.pivot.z};
    KZeqMesh* mesh = entry.mMesh;
    if (!entry.mUsed) {
        entry.mUsed = true;
        std::memcpy(entry.mPivot, pivot, sizeof(pivot));
        KZeqVector4* points = mesh->GetControlPoints();
        for (int i = 0; i < mesh->GetControlPointsCount(); ++i) Move(points[i], pivot, -1.0);
        return mesh;
    }
    // A further instance: its own copy of the points as read, so that each
    // node's pivot is taken out once.
    KZeqMesh* copy = mManager.CreateKZeqMesh();
    if (!copy) return nullptr;
    mAttributes.push_back(copy);
    *copy = *mesh;
    KZeqVector4* points = copy->GetControlPoints();
    for (int i = 0; i < copy->GetControlPointsCount(); ++i) {
        Move(points[i], entry.mPivot, 1.0);
        Move(points[i], pivot, -1.0);
    }
    return copy;
}

bool KZeqReader3DS::Create3DSNodeToKModelLookup() {
    for (MeshNodeEntry& entry : mMeshNodes) {
        const kfmesh3ds& motion = *entry.mRecord;
        const std::string name = Field(motion.name), instance = Field(motion.instance);
        const std::string composed = instance.empty() ? name : name + "." + instance;
        // A dummy object is known by its instance name; children still name it "$$$DUMMY.<instance>".
        const bool dummy = name == DummyName3ds && !instance.empty();
        entry.mNode = nullptr;
        MeshEntry* object = mGeometries ? FindObject(mMeshes, name) : nullptr;
        if (object && object->mMesh) {
            KZeqMesh* mesh = MeshForNode(*object, motion);
            if (!mesh) return false;
            entry.mNode = CreateNode(composed.c_str());
            if (!entry.mNode) return false;
            entry.mNode->SetNodeAttribute(mesh);
            if (mesh->GetTextureCount(0) > 0) entry.mNode->SetShadingMode(KZeqNode::eTEXTURE_SHADING);
        }
        if (!entry.mNode && !(entry.mNode = CreateNode(dummy ? instance.c_str() : composed.c_str()))) return false;
        if (dummy) mNodesByName.emplace(composed, entry.mNode);
    }
    for (OmniNodeEntry& entry : mOmniNodes) {
        const std::string name = Field(entry.mRecord->name);
        LightEntry* object = mLights ? FindObject(mOmnilights, name) : nullptr;
        entry.mNode = CreateNode(name.c_str());
        if (!entry.mNode) return false;
        if (object && object->mLight) entry.mNode->SetNodeAttribute(object->mLight);
    }
    const auto Pair = [this](const std::string& name, KZeqNodeAttribute* attribute, KZeqMarker* marker,
                             KZeqNode*& node, KZeqNode*& target) {
        node = CreateNode(name.c_str());
        target = CreateNode((name + ".Target").c_str());
        if (!node || !target) return false;
        if (attribute && marker) {
            node->SetNodeAttribute(attribute);
            target->SetNodeAttribute(marker);
        }
        return true;
    };
    for (SpotNodeEntry& entry : mSpotNodes) {
        const std::string name = Field(entry.mRecord->name);
        LightEntry* object = mLights ? FindObject(mSpotlights, name) : nullptr;
        if (!Pair(name, object ? object->mLight : nullptr, object ? object->mTarget : nullptr, entry.mNode,
                  entry.mTarget))
            return false;
    }
    for (CameraNodeEntry& entry : mCameraNodes) {
        const std::string name = Field(entry.mRecord->name);
        CameraEntry* object = mCamera ? FindObject(mCameras, name) : nullptr;
        if (!Pair(name, object ? object->mCamera : nullptr, object ? object->mTarget : nullptr, entry.mNode,
                  entry.mTarget))
            return false;
    }
    return true;
}

bool KZeqReader3DS::UniteWithParent(KZeqNode* node, const char* parentName) {
    auto found = mNodesByName.find(parentName);
    if (found == mNodesByName.end() || found->second == node || found->second->IsSelfOrDescendantOf(node))
        return false;
    return found->second->AddChild(node);
}

void KZeqReader3DS::PlaceNode(KZeqNode* node, const char* parentName) {
    if (parentName[0] != '\0' && UniteWithParent(node, parentName)) return;
    if (KZeqNode* parent = node->GetParent()) parent->RemoveChild(node);
    mTopParent->AddChild(node);
}

void KZeqReader3DS::PlaceTarget(KZeqNode* node, KZeqNode* target, const char* parentName,
                                const char* targetParentName) {
    PlaceNode(node, parentName);
    const char* name = targetParentName[0] != '\0' ? targetParentName : parentName;
    if (name[0] == '\0' || !UniteWithParent(target, name)) mTopParent->AddChild(target);
    node->SetTarget(target);
}

bool KZeqReader3DS::ImportMeshHierarchy(KZeqScene& scene) {
    mTopParent = mReferenceNode ? mReferenceNode : scene.GetRootNode();
    for (MeshNodeEntry& entry : mMeshNodes) {
        PlaceNode(entry.mNode, Field(entry.mRecord->parent).c_str());
    }
    return true;
}

bool KZeqReader3DS::ImportOmnilightHierarchy(KZeqScene& scene) {
    mTopParent = mReferenceNode ? mReferenceNode : scene.GetRootNode();
    for (OmniNodeEntry& entry : mOmniNodes) PlaceNode(entry.mNode, Field(entry.mRecord->parent).c_str());
    return true;
}

bool KZeqReader3DS::ImportSpotlightHierarchy(KZeqScene& scene) {
    mTopParent = mReferenceNode ? mReferenceNode : scene.GetRootNode();
    for (SpotNodeEntry& entry : mSpotNodes) {
        PlaceTarget(entry.mNode, entry.mTarget, Field(entry.mRecord->parent).c_str(),
                    Field(entry.mRecord->tparent).c_str());
        entry.mNode->SetPostTargetRotation(KZeqVector4(0.0, 0.0, 90.0, 0.0));
    }
    return true;
}

bool KZeqReader3DS::ImportCameraHierarchy(KZeqScene& scene) {
    mTopParent = mReferenceNode ? mReferenceNode : scene.GetRootNode();
    for (CameraNodeEntry& entry : mCameraNodes)
        PlaceTarget(entry.mNode, entry.mTarget, Field(entry.mRecord->parent).c_str(),
                    Field(entry.mRecord->tparent).c_str());
    return true;
}

}  // namespace zeqsdk_400
