// Characters through the Zeq writers. The 5.8 writer stores each character
// whole in a "CHARACTER" record, lists characters and actors in
// "Constraints" and nests character poses in the generic persistence
// section. The 6.0 writer stores characters as "Constraint" objects whose
// nodes and control set travel in the connections (the input does not), the
// control sets as "ControlSetPlug" objects and character poses as "Pose"
// objects holding a whole nested scene.

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "character/kzeqactor.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcharacterproperties.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqcontrolsetplug.h"
#include "character/kzeqfilterset.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqcharacterslots.h"
#include "io/kzeqfields.h"
#include "io/kzeqreaderzeq_steps.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

typedef ZeqCharacterSlot NamedSlot;
constexpr const auto& kSingleLinks = kZeqCharacterSingleLinks;
constexpr const auto& kGroups = kZeqCharacterGroups;
constexpr int kControlSetGroupCount = kZeqControlSetGroupCount;

void WriteFieldD(KZeq& file, const char* name, double value) {
    file.FieldWriteBegin(name), file.FieldWriteD(value), file.FieldWriteEnd();
}

void WriteOffsets(KZeq& file, const KZeqCharacterLink& link) {
    static const char* const kNames[3][3] = {{"TOFFSETX", "TOFFSETY", "TOFFSETZ"},
                                             {"ROFFSETX", "ROFFSETY", "ROFFSETZ"},
                                             {"SOFFSETX", "SOFFSETY", "SOFFSETZ"}};
    const KZeqVector4* offsets[3] = {&link.mOffsetT, &link.mOffsetR, &link.mOffsetS};
    for (int kind = 0; kind < 3; ++kind)
        for (int axis = 0; axis < 3; ++axis) WriteFieldD(file, kNames[kind][axis], (*offsets[kind])[axis]);
}

bool WritesCharacters(const KZeqScene& scene);

// A link counts when its node is the entity's or it keeps a template name.
bool Counts(KZeqNode* node, const KString& templateName, KZeqEntity* entity) {
    return (node && entity && node->GetEntity() == entity) || !templateName.IsEmpty();
}

}  // namespace

// ---- Character records ---------------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteCharacter(KZeqScene& scene) {
    for (int i = 0; i < scene.GetCharacterCount(); ++i) {
        ZeqWriteBlockBegin(*mFile, "CHARACTER");
        WriteKZeqCharacter(scene, i);
        ZeqWriteBlockEnd(*mFile);
    }
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqCharacter(KZeqScene& scene, int index) {
    KZeqCharacter* character = scene.GetCharacter(index);
    if (!character) return false;
    KZeq& file = *mFile;
    KZeqEntity* entity = scene.GetEntity();
    const bool before6 = mFile->IsBeforeVersion6();
    if (!before6) ZeqWritePropertyBlock(*mFile, *character);
    ZeqWriteFieldI(file, "CHARACTERIZE", 1);
    ZeqWriteFieldI(file, "LOCK_XFORM", 0);
    ZeqWriteFieldI(file, "LOCK_PICK", 0);
    if (before6) {
        const ECharacterInputType type = character->GetInputType();
        KZeqObject* input = character->GetInputObject();
        int actor = -1, driver = -1;
        for (int i = 0; type == eCharacterInputActor && input && actor < 0 && i < scene.GetActorCount(); ++i)
            if (scene.GetActor(i) == input) actor = i;
        for (int i = 0; type == eCharacterInputCharacter && input && driver < 0 && i < scene.GetCharacterCount(); ++i)
            if (scene.GetCharacter(i) == input) driver = i;
        ZeqWriteFieldC(file, "CONSTRAINT", character->GetName());
        ZeqWriteFieldI(file, "INPUTOUTPUTTYPE", type);
        ZeqWriteFieldI(file, "ACTORINDEX", actor);
        ZeqWriteFieldI(file, "CHARACTERINDEX", driver);
    }
    for (const NamedSlot& link : kSingleLinks) {
        ZeqWriteBlockBegin(file, link.mName);
        WriteKZeqCharacterLink(*character, link.mId, entity, true);
        ZeqWriteBlockEnd(file);
    }
    for (const NamedSlot& group : kGroups) {
        ZeqWriteBlockBegin(file, group.mName);
        WriteKZeqCharacterLinkGroup(*character, group.mId, entity, true);
        ZeqWriteBlockEnd(file);
    }
    if (before6) {
        ZeqWriteBlockBegin(file, "FILTERSET");
        WriteKZeqFilterSet(*character->GetFilterSet());
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockBegin(file, "GAMEMODEPARENT");
    WriteKZeqCharacterLinkGroup(*character, eCharacterGroup_GameModeParent, entity, true);
    ZeqWriteBlockEnd(file);
    if (!before6) return true;
    ZeqWriteBlockBegin(file, "VX_CONTROLSET");
    WriteKZeqControlSet(*character->GetControlSet(), entity, true);
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteKZeqCharacterLink(KZeqCharacter& character, int id, KZeqEntity* entity, bool defaults) {
    KZeq& file = *mFile;
    KZeqCharacterLink link;
    const bool present = character.GetCharacterLink(static_cast<ECharacterNodeId>(id), &link) &&
                         link.IsSet() && Counts(link.mNode, link.mTemplateName, entity);
    if (present) {
        // A version-6 link finds its node through the connections.
        if (link.mNode && mFile->IsBeforeVersion6()) ZeqWriteFieldC(file, "MODEL", link.mNode->GetName());
        if (!link.mTemplateName.IsEmpty()) ZeqWriteFieldC(file, "NAME", link.mTemplateName.Buffer());
        WriteOffsets(file, link);
    } else if (defaults) {
        WriteOffsets(file, KZeqCharacterLink());
    }
    return present;
}

bool KZeqWriterZeqBase::WriteKZeqCharacterLinkGroup(KZeqCharacter& character, int group, KZeqEntity* entity,
                                                    bool defaults) {
    const auto id = static_cast<ECharacterGroupId>(group);
    for (int i = 0; i < KZeqCharacterGroups::GetCharacterGroupCount(id); ++i) {
        const ECharacterNodeId element = KZeqCharacterGroups::GetCharacterGroupElementByIndex(id, i);
        KZeqCharacterLink link;
        const bool present = character.GetCharacterLink(element, &link) && link.IsSet() &&
                             Counts(link.mNode, link.mTemplateName, entity);
        const bool forced = defaults && KZeqCharacterGroups::GetCharacterGroupVersionByIndex(id, i) == 4000;
        if (!present && !forced) continue;
        ZeqWriteBlockBegin(*mFile, "LINK", KZeqCharacterGroups::GetCharacterGroupNameByIndex(id, i));
        WriteKZeqCharacterLink(character, element, entity, forced);
        ZeqWriteBlockEnd(*mFile);
    }
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqFilterSet(KZeqFilterSet& filterSet) {
    KZeq& file = *mFile;
    for (int i = 0; i < filterSet.GetParameterCount(); ++i) {
        ZeqWriteBlockBegin(file, "PARAM");
        ZeqWriteFieldC(file, "NAME", filterSet.GetParameterName(i));
        ZeqWriteFieldI(file, "MODE", filterSet.GetParameterMode(i));
        WriteFieldD(file, "MIN", filterSet.GetParameterMinValue(i));
        WriteFieldD(file, "MAX", filterSet.GetParameterMaxValue(i));
        WriteFieldD(file, "VALUE0", filterSet.GetParameterValue(i, 0));
        ZeqWriteBlockEnd(file);
    }
    return true;
}

// ---- Control sets ---------------------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteKZeqControlSet(KZeqControlSet& controlSet, KZeqEntity* entity, bool defaults) {
    KZeq& file = *mFile;
    ZeqWriteFieldI(file, "TYPE", controlSet.GetType());
    ZeqWriteFieldI(file, "LOCK_XFORM", controlSet.GetLockTransform() ? 1 : 0);
    ZeqWriteFieldI(file, "LOCK_PICK", controlSet.GetLock3DPick() ? 1 : 0);
    ZeqWriteBlockBegin(file, "REFERENCE");
    WriteKZeqControlSetLink(controlSet, eCharacterReference, entity);
    ZeqWriteBlockEnd(file);
    for (int i = 0; i < kControlSetGroupCount; ++i) {
        ZeqWriteBlockBegin(file, kGroups[i].mName);
        WriteKZeqControlSetLinkGroup(controlSet, kGroups[i].mId, entity, defaults);
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockBegin(file, "EFFECTOR");
    for (int id = 0; id < kEffectorNodeIdCount; ++id) WriteKZeqEffector(controlSet, id, entity);
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockBegin(file, "EFFECTOR_AUX1");
    for (int id = 0; id < kEffectorNodeIdCount; ++id) WriteKZeqEffectorAux(controlSet, id, entity);
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteKZeqControlSetLinkGroup(KZeqControlSet& controlSet, int group, KZeqEntity* entity,
                                                     bool defaults) {
    const auto id = static_cast<ECharacterGroupId>(group);
    for (int i = 0; i < KZeqCharacterGroups::GetCharacterGroupCount(id); ++i) {
        const ECharacterNodeId element = KZeqCharacterGroups::GetCharacterGroupElementByIndex(id, i);
        KZeqControlSetLink link;
        const bool present = controlSet.GetControlSetLink(element, &link) && !link.IsEmpty() &&
                             Counts(link.mNode, link.mTemplateName, entity);
        const bool forced = defaults && KZeqCharacterGroups::GetCharacterGroupVersionByIndex(id, i) == 4000;
        if (!present && !forced) continue;
        ZeqWriteBlockBegin(*mFile, "LINK", KZeqCharacterGroups::GetCharacterGroupNameByIndex(id, i));
        WriteKZeqControlSetLink(controlSet, element, entity);
        ZeqWriteBlockEnd(*mFile);
    }
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqControlSetLink(KZeqControlSet& controlSet, int id, KZeqEntity* entity) {
    KZeqControlSetLink link;
    if (!controlSet.GetControlSetLink(static_cast<ECharacterNodeId>(id), &link) || link.IsEmpty()) return false;
    if (link.mNode && entity && link.mNode->GetEntity() == entity)
        ZeqWriteFieldC(*mFile, "MODEL", link.mNode->GetName());
    if (!link.mTemplateName.IsEmpty()) ZeqWriteFieldC(*mFile, "NAME", link.mTemplateName.Buffer());
    return true;
}

bool KZeqWriterZeqBase::WriteKZeqEffector(KZeqControlSet& controlSet, int id, KZeqEntity* entity) {
    KZeqEffector effector;
    const auto effectorId = static_cast<EEffectorNodeId>(id);
    if (!controlSet.GetEffector(effectorId, &effector) || !effector.mNode || !entity ||
        effector.mNode->GetEntity() != entity)
        return false;
    KZeq& file = *mFile;
    ZeqWriteBlockBegin(file, "LINK");
    ZeqWriteFieldC(file, "NAME", KZeqControlSet::GetEffectorNodeName(effectorId));
    ZeqWriteFieldC(file, "MODEL", effector.mNode->GetName());
    ZeqWriteFieldI(file, "SHOW", effector.mShow ? 1 : 0);
    ZeqWriteFieldI(file, "TACTIVE", effector.mTActive ? 1 : 0);
    ZeqWriteFieldI(file, "RACTIVE", effector.mRActive ? 1 : 0);
    ZeqWriteFieldI(file, "CANDIDATE_TACTIVE", effector.mCandidateTActive ? 1 : 0);
    ZeqWriteFieldI(file, "CANDIDATE_RACTIVE", effector.mCandidateRActive ? 1 : 0);
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteKZeqEffectorAux(KZeqControlSet& controlSet, int id, KZeqEntity* entity) {
    KZeqNode* node = nullptr;
    const auto effectorId = static_cast<EEffectorNodeId>(id);
    if (!controlSet.GetEffectorAux(effectorId, &node, eEffectorSetFirst) || !node || !entity ||
        node->GetEntity() != entity)
        return false;
    ZeqWriteBlockBegin(*mFile, "LINK");
    ZeqWriteFieldC(*mFile, "NAME", KZeqControlSet::GetEffectorNodeName(effectorId));
    ZeqWriteFieldC(*mFile, "MODEL", node->GetName());
    return ZeqWriteBlockEnd(*mFile);
}

// ---- Constraints and character poses -------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteConstraint(KZeqScene& scene) {
    if (scene.GetCharacterCount() == 0 && scene.GetActorCount() == 0) return true;
    KZeq& file = *mFile;
    ZeqWriteBlockBegin(file, "Constraints");
    WriteFieldD(file, "Version", 4.0);
    ZeqWriteBlockBegin(file, "Group", "Constraint Group");
    auto entry = [&](const char* name, const char* type, int multiLayer, const char* description) {
        ZeqWriteBlockBegin(file, "Constraint", name);
        ZeqWriteFieldC(file, "Type", type);
        ZeqWriteFieldI(file, "MultiLayer", multiLayer);
        if (multiLayer) ZeqWriteFieldC(file, "Flags", "Active");
        ZeqWriteFieldC(file, "Description", description);
        ZeqWriteBlockEnd(file);
    };
    for (int i = 0; i < scene.GetCharacterCount(); ++i)
        entry(scene.GetCharacter(i)->GetName(), "Character", 1, "Character");
    for (int i = 0; i < scene.GetActorCount(); ++i) entry(scene.GetActor(i)->GetName(), "Actor", 0, "");
    ZeqWriteBlockEnd(file);
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteCharacterPose(KZeqScene& scene) {
    KZeq& file = *mFile;
    for (int i = 0; i < scene.GetCharacterPoseCount(); ++i) {
        KZeqCharacterPose& pose = *scene.GetCharacterPose(i);
        ZeqWriteBlockBegin(file, "Pose", pose.GetName());
        ZeqWriteFieldC(file, "Type", "CharacterPose");
        ZeqWriteBlockBegin(file, "PoseScene");
        WriteKZeqCharacterPose(pose);
        ZeqWriteBlockEnd(file);
        ZeqWriteBlockEnd(file);
    }
    return scene.GetCharacterPoseCount() > 0;
}

bool KZeqWriterZeqBase::WriteKZeqCharacterPose(KZeqCharacterPose& pose) {
    if (!pose.GetPoseScene()) return false;
    KZeqExporter* exporter = mManager.CreateKZeqExporter();
    if (!exporter) return false;
    KStreamOptionsZeq options;
    for (int option : {0, 1, 2, 4, 5, 9, 6, 8, 11}) options.SetOption(option, false);
    const bool written = exporter->Export(*pose.GetPoseScene(), &options, mFile);
    mManager.DestroyKZeqExporter(exporter);
    return written;
}

// ---- Rows of the write tables ---------------------------------------------------------------------------

bool ZeqWriteCharacters(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteCharacter(scene); }
bool ZeqWriteConstraints(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteConstraint(scene); }
bool ZeqWriteCharacterPoses(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteCharacterPose(scene); }

void ZeqListControlSetPlugs(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    if (!WritesCharacters(scene)) return;
    for (int i = 0; i < scene.GetControlSetPlugCount(); ++i)
        if (KZeqControlSetPlug* plug = scene.GetControlSetPlug(i)) objects.push_back(plug);
}

void ZeqListCharacters(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    if (!WritesCharacters(scene)) return;
    for (int i = 0; i < scene.GetCharacterCount(); ++i)
        if (KZeqCharacter* character = scene.GetCharacter(i)) objects.push_back(character);
}

void ZeqListCharacterPoses(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    if (!WritesCharacters(scene)) return;
    for (int i = 0; i < scene.GetCharacterPoseCount(); ++i)
        if (KZeqCharacterPose* pose = scene.GetCharacterPose(i)) objects.push_back(pose);
}

namespace {

// A 6.0 write carries each control set in a plug connected to its character.
// Characters without one get a plug for the write only; the scene's objects
// look the same afterwards.
struct ControlSetContent {
    KZeqControlSet::EType mType;
    bool mUseAxis, mLockTransform, mLock3DPick;
    KZeqControlSetLink mLinks[kCharacterNodeIdCount];
    KZeqEffector mEffectors[kEffectorNodeIdCount];
    KZeqNode* mAux[kEffectorNodeIdCount][kEffectorSetCount];
};

void Save(const KZeqControlSet& from, ControlSetContent& to) {
    to.mType = from.GetType(), to.mUseAxis = from.GetUseAxis();
    to.mLockTransform = from.GetLockTransform(), to.mLock3DPick = from.GetLock3DPick();
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        from.GetControlSetLink(static_cast<ECharacterNodeId>(id), &to.mLinks[id]);
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        from.GetEffector(static_cast<EEffectorNodeId>(id), &to.mEffectors[id]);
        for (int set = 0; set < kEffectorSetCount; ++set)
            from.GetEffectorAux(static_cast<EEffectorNodeId>(id), &to.mAux[id][set],
                                static_cast<EEffectorSetId>(set + eEffectorSetFirst));
    }
}

void Restore(const ControlSetContent& from, KZeqControlSet& to) {
    to.SetType(from.mType), to.SetUseAxis(from.mUseAxis);
    to.SetLockTransform(from.mLockTransform), to.SetLock3DPick(from.mLock3DPick);
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        to.SetControlSetLink(static_cast<ECharacterNodeId>(id), from.mLinks[id]);
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        to.SetEffector(static_cast<EEffectorNodeId>(id), from.mEffectors[id]);
        for (int set = 0; set < kEffectorSetCount; ++set)
            to.SetEffectorAux(static_cast<EEffectorNodeId>(id), from.mAux[id][set],
                              static_cast<EEffectorSetId>(set + eEffectorSetFirst));
    }
}

struct WriteState {
    KZeqScene* mScene = nullptr;
    std::vector<KZeqControlSetPlug*> mMadePlugs;
};
std::mutex gStatesLock;
std::map<const KZeqWriterZeqBase*, WriteState> gStates;
// Scenes being written without characters (option 7 off).
std::map<const KZeqScene*, int> gScenesWithoutCharacters;

bool WritesCharacters(const KZeqScene& scene) {
    std::lock_guard<std::mutex> lock(gStatesLock);
    return gScenesWithoutCharacters.count(&scene) == 0;
}

}  // namespace

bool ZeqBeginCharacterObjects(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    WriteState state;
    state.mScene = &scene;
    const KStreamOptionsZeq* options = writer.GetStreamOptions();
    const bool characters = options && options->GetOption(KStreamOptionsZeq::eCHARACTER);
    if (!characters) {
        std::lock_guard<std::mutex> lock(gStatesLock);
        ++gScenesWithoutCharacters[&scene];
    }
    for (int i = 0; characters && i < scene.GetCharacterCount(); ++i) {
        KZeqCharacter& character = *scene.GetCharacter(i);
        KZeqControlSet& controlSet = *character.GetControlSet();
        if (KZeqControlSetPlug* plug = ZeqFindControlSetPlug(character)) {
            controlSet.ToPlug(plug);
            continue;
        }
        const KString name = KZeqSdkManager::PrefixName("", character.GetName());
        const int index = scene.CreateControlSetPlug(name.Buffer());
        KZeqControlSetPlug* plug = index < 0 ? nullptr : scene.GetControlSetPlug(index);
        if (!plug) continue;
        controlSet.ToPlug(plug);
        // Connecting rebuilds the control set from the plug, which holds less.
        auto content = std::make_unique<ControlSetContent>();
        Save(controlSet, *content);
        character.GetProperties()->ControlSet.Add(plug->GetPropertyHandler());
        Restore(*content, controlSet);
        state.mMadePlugs.push_back(plug);
    }
    std::lock_guard<std::mutex> lock(gStatesLock);
    gStates[&writer] = std::move(state);
    return true;
}

bool ZeqEndCharacterObjects(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    WriteState state;
    {
        std::lock_guard<std::mutex> lock(gStatesLock);
        const auto found = gStates.find(&writer);
        if (found == gStates.end()) return true;
        state = std::move(found->second);
        gStates.erase(found);
        const auto without = gScenesWithoutCharacters.find(&scene);
        if (without != gScenesWithoutCharacters.end() && --without->second == 0)
            gScenesWithoutCharacters.erase(without);
    }
    for (KZeqControlSetPlug* plug : state.mMadePlugs)
        for (int i = scene.GetControlSetPlugCount(); i-- > 0;)
            if (scene.GetControlSetPlug(i) == plug) scene.DestroyControlSetPlug(i);
    return true;
}

bool ZeqWriteControlSetPlugObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    auto& plug = static_cast<KZeqControlSetPlug&>(object);
    IZeqObject& file = *writer.GetZeqObject();
    file.FieldWriteBegin("ControlSetPlug");
    file.FieldWriteC(plug.GetName()), file.FieldWriteC("ControlSetPlug");
    file.FieldWriteBlockBegin();
    ZeqWriteFieldI(file, "Version", 100);
    ZeqWritePropertyBlock(file, plug);
    return ZeqWriteBlockEnd(file);
}

bool ZeqWriteCharacterObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    KZeqScene* scene = nullptr;
    {
        std::lock_guard<std::mutex> lock(gStatesLock);
        const auto found = gStates.find(&writer);
        if (found != gStates.end()) scene = found->second.mScene;
    }
    int index = -1;
    for (int i = 0; scene && index < 0 && i < scene->GetCharacterCount(); ++i)
        if (scene->GetCharacter(i) == &object) index = i;
    if (index < 0) return false;
    IZeqObject& file = *writer.GetZeqObject();
    file.FieldWriteBegin("Constraint");
    file.FieldWriteC(object.GetName()), file.FieldWriteC("Character");
    file.FieldWriteBlockBegin();
    writer.WriteKZeqCharacter(*scene, index);
    return ZeqWriteBlockEnd(file);
}

void ZeqListAllPoses(KZeqScene& scene, std::vector<KZeqObject*>& objects) {
    ZeqListCharacterPoses(scene, objects);
    ZeqListPoses(scene, objects);
}

bool ZeqWriteAnyPoseObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    return object.GetNameSpace() == KZeqObject::eCharacterPose ? ZeqWriteCharacterPoseObject(writer, object)
                                                                : ZeqWritePoseObject(writer, object);
}

// The block holds the pose's scene itself.
bool ZeqWriteCharacterPoseObject(KZeqWriterZeqBase& writer, KZeqObject& object) {
    auto& pose = static_cast<KZeqCharacterPose&>(object);
    IZeqObject& file = *writer.GetZeqObject();
    file.FieldWriteBegin("Pose");
    file.FieldWriteC(pose.GetName()), file.FieldWriteC("CharacterPose");
    file.FieldWriteBlockBegin();
    writer.WriteKZeqCharacterPose(pose);
    return ZeqWriteBlockEnd(file);
}

}  // namespace zeqsdk_400
