// Gobos with their lights, marker sets, actors and poses as the Zeq writers
// write them; 6.0 writes poses as objects of the "Objects" section.

#include <unordered_set>
#include <vector>

#include "character/kzeqactor.h"
#include "character/kzeqmarkerset.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"

namespace zeqsdk_400 {

// ---- Gobos -------------------------------------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteGobo(KZeqScene& scene) {
    ZeqWriteBlockBegin(*mFile, "GoboManager");
    WriteGoboSection(scene);
    return ZeqWriteBlockEnd(*mFile);
}

bool KZeqWriterZeqBase::WriteGoboSection(KZeqScene& scene) {
    KZeq& file = *mFile;
    KArrayTemplate<KZeqNode*> nodes;
    if (scene.GetEntity()) scene.GetEntity()->FillNodeArray(nodes, KZeqNodeAttribute::eLIGHT, false);
    // From the last light to the first: each gobo once, at its last user.
    std::vector<KZeqNode*> lights;
    std::vector<KZeqGobo*> gobos;
    std::unordered_set<KZeqGobo*> seen;
    for (int i = nodes.GetCount(); i-- > 0;) {
        KZeqLight* light = nodes[i]->GetLight();
        KZeqGobo* gobo = light ? light->GetGobo() : nullptr;
        if (!gobo) continue;
        lights.push_back(nodes[i]);
        if (seen.insert(gobo).second) gobos.push_back(gobo);
    }
    for (auto gobo = gobos.rbegin(); gobo != gobos.rend(); ++gobo) {
        ZeqWriteBlockBegin(file, "Gobo");
        WriteKZeqGobo(**gobo);
        ZeqWriteBlockEnd(file);
    }
    for (auto node = lights.rbegin(); node != lights.rend(); ++node) {
        file.FieldWriteBegin("LightGobo");
        file.FieldWriteC((*node)->GetName());
        file.FieldWriteC((*node)->GetLight()->GetGobo()->GetName());
        file.FieldWriteEnd();
    }
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqGobo(KZeqGobo& gobo) {
    KZeq& file = *mFile;
    ZeqWriteFieldI(file, "Version", 250);
    ZeqWriteFieldC(file, "GoboName", gobo.GetName());
    ZeqWriteFieldC(file, "GoboPath", gobo.GetFileName());
    file.FieldWriteBegin("DrawComponent");
    file.FieldWriteI(gobo.GetGroundProjection() ? 1 : 0);
    file.FieldWriteI(gobo.GetVolumetricProjection() ? 1 : 0);
    file.FieldWriteI(gobo.GetFrontVolumetricProjection() ? 1 : 0);
    return file.FieldWriteEnd();
}

// ---- Marker sets and actors --------------------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteMarkerSet(KZeqScene& scene) {
    for (int i = 0; i < scene.GetMarkerSetCount(); ++i) WriteKZeqMarkerSet(scene, i);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqMarkerSet(KZeqScene& scene, int index) {
    KZeq& file = *mFile;
    KZeqMarkerSet* set = scene.GetMarkerSet(index);
    if (!set) return false;
    ZeqWriteBlockBegin(file, "MARKERSET");
    ZeqWriteFieldC(file, "NAME", set->GetName());
    for (int i = 0; i < set->GetMarkerSetLinkCount(); ++i) {
        KZeqMarkerSetLink link;
        EActorBodyPart part = eActorBodyPartFirst;
        int local = 0;
        if (!set->GetMarkerSetLink(i, link) || !set->GetLocalFromGlobal(i, part, local)) continue;
        if (!link.mNode || link.mNode->GetEntity() != scene.GetEntity()) continue;
        const KZeqVector4& t = link.mTranslationOffset;
        const KZeqVector4& r = link.mRotationOffset;
        ZeqWriteBlockBegin(file, "MARKER");
        ZeqWriteFieldI(file, "VERSION", 0);
        ZeqWriteFieldC(file, "NAME",
                       link.mName.IsEmpty() ? link.mNode->GetNameWithoutNameSpacePrefix().Buffer() : link.mName.Buffer());
        ZeqWriteFieldI(file, "NODEINDEX", static_cast<int>(part));
        ZeqWriteFieldI(file, "ORIENTED", link.mOriented ? 1 : 0);
        const char* const names[] = {"DEFAULTX", "DEFAULTY", "DEFAULTZ", "TOFFSETX", "TOFFSETY", "TOFFSETZ",
                                     "ROFFSETX", "ROFFSETY", "ROFFSETZ"};
        for (int k = 0; k < 9; ++k) ZeqWriteFieldDn(file, names[k], {k < 6 ? t[k % 3] : r[k % 3]});
        ZeqWriteFieldC(file, "MODEL", link.mNode->GetName());
        ZeqWriteBlockEnd(file);
    }
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteActor(KZeqScene& scene) {
    for (int i = 0; i < scene.GetActorCount(); ++i) WriteKZeqActor(scene, i);
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqActor(KZeqScene& scene, int index) {
    KZeq& file = *mFile;
    KZeqActor* actor = scene.GetActor(index);
    if (!actor) return false;
    int input = -1;
    for (int i = 0; i < scene.GetMarkerSetCount() && input < 0 && actor->GetInputMarkerSet(); ++i)
        if (scene.GetMarkerSet(i) == actor->GetInputMarkerSet()) input = i;
    ZeqWriteBlockBegin(file, "ACTOR");
    ZeqWriteFieldI(file, "ACTIVE", 1);
    ZeqWriteFieldC(file, "CONSTRAINT", actor->GetName());
    ZeqWriteFieldI(file, "OUTPUTMARKERSETINDEX", -1);
    ZeqWriteBlockBegin(file, "Properties");
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWriteFieldDn(file, "MeshColor", {0.4, 0.4, 0.5});
    ZeqWriteFieldDn(file, "BoneColor", {0.2, 0.2, 0.33});
    ZeqWriteFieldDn(file, "MarkerSize", {100.0});
    ZeqWriteBlockEnd(file);
    ZeqWriteFieldI(file, "MARKERSETINDEX", input);
    for (int part = 0; part < kActorBodyPartCount; ++part) {
        const KZeqVector4 scale = actor->GetScale(static_cast<EActorBodyPart>(part));
        ZeqWriteFieldDn(file, "NODESCALE", {scale[0], scale[1], scale[2]});
    }
    return ZeqWriteBlockEnd(file);
}

// ---- Poses ---------------------------------------------------------------------------------------------

bool KZeqWriterZeqBase::WritePose(KZeqScene& scene) {
    KZeq& file = *mFile;
    for (int i = 0; i < scene.GetPoseCount(); ++i) {
        KZeqPose& pose = *scene.GetPose(i);
        ZeqWriteBlockBegin(file, "Pose", pose.GetName());
        ZeqWriteFieldC(file, "Type", pose.GetType() == 'b' ? "BindPose" : "RestPose");
        WriteKZeqPose(pose);
        ZeqWriteBlockEnd(file);
    }
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqPose(KZeqPose& pose) {
    KZeq& file = *mFile;
    ZeqWriteFieldI(file, "NbPoseNodes", pose.GetCount());
    for (int i = 0; i < pose.GetCount(); ++i) {
        ZeqWriteBlockBegin(file, "PoseNode");
        ZeqWriteFieldC(file, "Node", pose.GetNodeName(i));
        file.FieldWriteBegin("Matrix");
        file.FieldWriteDn(static_cast<const double*>(pose.GetMatrix(i)), 16);
        file.FieldWriteEnd();
        if (!pose.IsBindPose()) ZeqWriteFieldI(file, "Local", pose.IsLocalMatrix(i) ? 1 : 0);
        ZeqWriteBlockEnd(file);
    }
    return true;
}

// ---- Steps and object rows -------------------------------------------------------------------------------

bool ZeqWriteGobos(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteGobo(scene); }
bool ZeqWriteMarkerSets(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteMarkerSet(scene); }
bool ZeqWriteActors(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteActor(scene); }
bool ZeqWritePoses(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WritePose(scene); }

void ZeqListPoses(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    for (int i = 0; i < scene.GetPoseCount(); ++i)
        if (KZeqPose* pose = scene.GetPose(i)) objects.push_back(pose);
}

bool ZeqWritePoseObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    auto& pose = static_cast<KZeqPose&>(object);
    KZeq& file = *writer.GetZeqObject();
    file.FieldWriteBegin("Pose");
    file.FieldWriteC(pose.GetName()), file.FieldWriteC(pose.GetTypeName().Buffer());
    file.FieldWriteBlockBegin();
    ZeqWriteFieldC(file, "Type", pose.GetTypeName().Buffer());
    ZeqWriteFieldI(file, "Version", 100);
    writer.WriteKZeqPose(pose);
    return ZeqWriteBlockEnd(file);
}

}  // namespace zeqsdk_400
