// Gobos with their lights, marker sets and actors, and poses, as the Zeq
// reader takes them from a file.

#include <string>
#include <unordered_map>
#include <vector>

#include "character/kzeqactor.h"
#include "character/kzeqmarkerset.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

// ---- Gobos -----------------------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadGobo(KZeqScene& scene) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("GoboManager")) return true;
    if (file.FieldReadBlockBegin()) {
        ReadGoboSection(scene);
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

// Lights are found in the table of nodes read: in a version-6 file the
// gobos come before the connections, so no light is under the root yet.
// Gobos keep their names as written ("LightGobo" names them so): a name
// set afterwards would gain the namespace prefix and match no pair.
bool KZeqReaderZeq::ReadGoboSection(KZeqScene&) {
    KZeq& file = *mFile;
    std::vector<KZeqGobo*> gobos;
    std::vector<bool> used;
    std::unordered_map<std::string, std::size_t> byName;  // each name's first gobo
    while (file.FieldReadBegin("Gobo")) {
        if (file.FieldReadBlockBegin()) {
            if (KZeqGobo* gobo = mManager.CreateKZeqGobo(file.FieldReadC("GoboName", "").Buffer())) {
                ReadKZeqGobo(*gobo);
                byName.emplace(gobo->GetName(), gobos.size());
                gobos.push_back(gobo);
                used.push_back(false);
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    while (file.FieldReadBegin("LightGobo")) {
        const KString lightName = file.FieldReadC();
        const KString goboName = file.FieldReadC();
        file.FieldReadEnd();
        KZeqNode* node = FindNode(KZeqSdkManager::PrefixName("Model::", lightName.Buffer()).Buffer());
        KZeqLight* light = node ? node->GetLight() : nullptr;
        const auto gobo = byName.find(goboName.Buffer());
        if (!light || gobo == byName.end()) continue;
        light->SetGobo(gobos[gobo->second]);
        used[gobo->second] = true;
    }
    for (std::size_t i = 0; i < gobos.size(); ++i)
        if (!used[i]) mManager.DestroyKZeqGobo(gobos[i]);
    return true;
}

bool KZeqReaderZeq::ReadKZeqGobo(KZeqGobo& gobo) {
    KZeq& file = *mFile;
    gobo.SetFileName(file.FieldReadC("GoboPath", "").Buffer());
    if (file.FieldReadBegin("DrawComponent")) {
        int flags[3] = {gobo.GetGroundProjection(), gobo.GetVolumetricProjection(), gobo.GetFrontVolumetricProjection()};
        file.FieldReadIn(flags, 3);
        gobo.SetGroundProjection(flags[0] != 0);
        gobo.SetVolumetricProjection(flags[1] != 0);
        gobo.SetFrontVolumetricProjection(flags[2] != 0);
        file.FieldReadEnd();
    }
    return true;
}

// ---- Marker sets and actors ------------------------------------------------------------------------------

namespace {

// "base", then "base1", "base2" ... for the later unnamed ones.
KString UnnamedName(const char* base, int& unnamed) {
    KString name(base);
    if (unnamed > 0) name += std::to_string(unnamed).c_str();
    ++unnamed;
    return name;
}

}  // namespace

bool KZeqReaderZeq::ReadMarkerSet(KZeqScene& scene) {
    KZeq& file = *mFile;
    int unnamed = 0;
    while (file.FieldReadBegin("MARKERSET")) {
        if (file.FieldReadBlockBegin()) {
            const KString name =
                file.FieldGetInstanceCount("NAME") > 0 ? file.FieldReadC("NAME", "") : UnnamedName("Marker Set", unnamed);
            if (KZeqMarkerSet* set = scene.GetMarkerSet(scene.CreateMarkerSet(name.Buffer()))) ReadKZeqMarkerSet(*set);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqMarkerSet(KZeqMarkerSet& set) {
    KZeq& file = *mFile;
    while (file.FieldReadBegin("MARKER")) {
        if (file.FieldReadBlockBegin()) {
            KZeqMarkerSetLink link;
            const int version = file.FieldReadI("VERSION", -1);
            int part = file.FieldReadI("NODEINDEX", -1);
            link.mName = file.FieldReadC("NAME", "");
            link.mOriented = file.FieldReadI("ORIENTED", 0) != 0;
            KZeqVector4& t = link.mTranslationOffset;
            t[0] = file.FieldReadD("DEFAULTX", 0.0);
            t[1] = file.FieldReadD("DEFAULTY", 0.0);
            t[2] = file.FieldReadD("DEFAULTZ", 0.0);
            // The older layout had one body part fewer below the tenth.
            if (version < 0) {
                if (part >= 9) ++part;
                if (part == 10) t[1] += 10.8, t[2] += 2.0;
            }
            t[0] = file.FieldReadD("TOFFSETX", t[0]);
            t[1] = file.FieldReadD("TOFFSETY", t[1]);
            t[2] = file.FieldReadD("TOFFSETZ", t[2]);
            KZeqVector4& r = link.mRotationOffset;
            r[0] = file.FieldReadD("ROFFSETX", 0.0);
            r[1] = file.FieldReadD("ROFFSETY", 0.0);
            r[2] = file.FieldReadD("ROFFSETZ", 0.0);
            const KString model = file.FieldReadC("MODEL", "");
            link.mNode = FindNode(KZeqSdkManager::PrefixName("Model::", model.Buffer()).Buffer());
            if (link.mNode && part >= 0 && part <= eActorBodyPartLast) {
                if (link.mName.IsEmpty()) link.mName = link.mNode->GetName();
                set.AddMarkerSetLink(static_cast<EActorBodyPart>(part), link);
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

bool KZeqReaderZeq::ReadActor(KZeqScene& scene) {
    KZeq& file = *mFile;
    int unnamed = 0;
    std::vector<std::pair<KZeqActor*, int>> inputs;
    while (file.FieldReadBegin("ACTOR")) {
        if (file.FieldReadBlockBegin()) {
            const KString name = file.FieldGetInstanceCount("CONSTRAINT") > 0 ? file.FieldReadC("CONSTRAINT", "")
                                                                               : UnnamedName("Actor", unnamed);
            if (KZeqActor* actor = scene.GetActor(scene.CreateActor(name.Buffer()))) {
                int input = -1;
                ReadKZeqActor(*actor, input);
                inputs.emplace_back(actor, input);
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    // Marker sets are all read by now.
    for (const auto& actor : inputs) {
        const bool valid = actor.second >= 0 && actor.second < scene.GetMarkerSetCount();
        actor.first->SetInputMarkerSet(valid ? scene.GetMarkerSet(actor.second) : nullptr);
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqActor(KZeqActor& actor, int& markerSetIndex) {
    KZeq& file = *mFile;
    markerSetIndex = file.FieldReadI("MARKERSETINDEX", -1);
    for (int part = 0; part < kActorBodyPartCount; ++part) {
        double scale[4] = {1.0, 1.0, 1.0, 1.0};
        file.FieldReadDn("NODESCALE", scale, nullptr, 3);
        actor.SetScale(static_cast<EActorBodyPart>(part), KZeqVector4(scale));
    }
    return true;
}

// ---- Poses ---------------------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadPose(KZeqScene& scene) {
    KZeq& file = *mFile;
    while (file.FieldReadBegin("Pose")) {
        const KString name = file.FieldReadC();
        if (file.FieldReadBlockBegin()) {
            const KString type = file.FieldReadC("Type", "");
            const bool bind = type == "BindPose";
            if (bind || type == "RestPose") {
                if (KZeqPose* pose = mManager.CreateKZeqPose(name.Buffer(), bind)) {
                    if (ReadKZeqPose(pose, bind)) {
                        scene.AddPose(pose);
                    } else {
                        mManager.DestroyKZeqPose(pose);
                    }
                }
            }
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

// The count only bounds the entries: those present are visited, a negative
// count reads none.
bool KZeqReaderZeq::ReadKZeqPose(KZeqPose* pose, bool bindPose) {
    KZeq& file = *mFile;
    const int count = file.FieldReadI("NbPoseNodes", 0);
    const int present = count > 0 ? file.FieldGetInstanceCount("PoseNode") : 0;
    for (int i = 0; i < count && i < present; ++i) {
        if (!file.FieldReadBegin("PoseNode")) break;
        if (file.FieldReadBlockBegin()) {
            const KString node = file.FieldReadC("Node", "");
            KZeqMatrix matrix;
            matrix.SetIdentity();
            file.FieldReadDn("Matrix", static_cast<double*>(matrix), nullptr, 16);
            const bool local = !bindPose && file.FieldReadI("Local", 0) != 0;
            if (pose) pose->Add(node.Buffer(), matrix, local);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    return true;
}

// ---- Steps and object kinds --------------------------------------------------------------------------------

bool ZeqReadGobos(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadGobo(scene); }
bool ZeqReadMarkerSets(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadMarkerSet(scene); }
bool ZeqReadActors(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadActor(scene); }
bool ZeqReadPoses(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadPose(scene); }

bool ZeqReadPoseObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString& subtype, const KString& name) {
    const bool bind = subtype == "BindPose";
    KZeqPose* pose = reader.GetSdkManager().CreateKZeqPose(name.Buffer(), bind);
    if (!pose) return false;
    reader.ReadKZeqPose(pose, bind);
    scene.AddPose(pose);
    return true;
}

}  // namespace zeqsdk_400
