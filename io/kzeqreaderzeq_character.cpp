// Characters of a Zeq file: the "CHARACTER" records of older files with their
// links, link groups, filter set and control set; the body of a version-6
// character object; character poses, whose records hold a whole nested scene.

#include <string>
#include <vector>

#include "character/kzeqactor.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcharacterproperties.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqcontrolsetplug.h"
#include "character/kzeqfilterset.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqcharacterslots.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
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

// Enters the block of the next field of that name; false (nothing open) when
// there is none or it has no block.
bool EnterBlock(KZeq& file, const char* name) {
    if (!file.FieldReadBegin(name)) return false;
    if (file.FieldReadBlockBegin()) return true;
    file.FieldReadEnd();
    return false;
}
void LeaveBlock(KZeq& file) {
    file.FieldReadBlockEnd();
    file.FieldReadEnd();
}

// The "LINK" fields of a group block; read(id) reads one record from the
// entered block. Names select the elements when the first "LINK" has one.
template <class ReadElement>
void ReadLinkGroup(KZeq& file, int group, ReadElement read) {
    if (static_cast<unsigned>(group) >= static_cast<unsigned>(kCharacterGroupCount)) return;
    bool naming = false;
    if (file.FieldReadBegin("LINK")) {
        naming = !file.FieldReadC().IsEmpty();
        file.FieldReadEnd();
    }
    file.FieldReadResetPosition();
    auto current = static_cast<ECharacterGroupId>(group);
    const int count = KZeqCharacterGroups::GetCharacterGroupCount(current);
    for (int n = 0; file.FieldReadBegin("LINK"); ++n) {
        int id = -1;
        if (naming) {
            const KString name = file.FieldReadC();
            int index = -1;
            // A match narrows the search of the names after it.
            if (KZeqCharacterGroups::FindCharacterGroupIndexByName(name.Buffer(), true, current, index))
                id = KZeqCharacterGroups::GetCharacterGroupElementByIndex(current, index);
        } else if (n < count) {
            id = KZeqCharacterGroups::GetCharacterGroupElementByIndex(current, n);
        }
        if (id >= 0 && file.FieldReadBlockBegin()) {
            read(id);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
}

// The node of a "MODEL" value among the nodes read so far.
KZeqNode* ModelNode(KZeqReaderZeq& reader, const KString& model) {
    return model.IsEmpty() ? nullptr : reader.FindNode(KZeqSdkManager::PrefixName("Model::", model.Buffer()).Buffer());
}

}  // namespace

// ---- Character records ---------------------------------------------------------------------------

bool KZeqReaderZeq::ReadCharacter(KZeqScene& scene) {
    KZeq& file = *mFile;
    if (mFile->IsBeforeVersion6()) {
        std::vector<std::pair<KZeqCharacter*, int>> read;
        int unnamed = 0;
        while (file.FieldReadBegin("CHARACTER")) {
            if (!file.FieldReadBlockBegin()) {
                file.FieldReadEnd();
                continue;
            }
            // Unnamed ones are Character, Character1, Character2 ...
            KString name("Character");
            if (file.FieldGetInstanceCount("CONSTRAINT") > 0)
                name = file.FieldReadC("CONSTRAINT", "");
            else if (unnamed++ > 0)
                name += std::to_string(unnamed - 1).c_str();
            const int index = scene.CreateCharacter(name.Buffer());
            if (KZeqCharacter* character = index < 0 ? nullptr : scene.GetCharacter(index)) {
                int input = -1;
                ReadKZeqCharacter(*character, input);
                read.emplace_back(character, input);
            }
            LeaveBlock(file);
        }
        // Indices name the lists as they stand after the section: a character
        // may be driven by one read after it.
        for (const auto& entry : read) {
            KZeqCharacter& character = *entry.first;
            const int input = entry.second;
            const ECharacterInputType type = character.GetInputType();
            if (type == eCharacterInputActor && input >= 0 && input < scene.GetActorCount())
                character.SetInput(type, scene.GetActor(input));
            else if (type == eCharacterInputCharacter && input >= 0 && input < scene.GetCharacterCount())
                character.SetInput(type, scene.GetCharacter(input));
        }
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqCharacter(KZeqCharacter& character, int& inputIndex) {
    KZeq& file = *mFile;
    const bool before6 = mFile->IsBeforeVersion6();
    if (!before6) ReadPropertyBlock(character);
    PublishKZeqProperties(character);
    // Stored by every writer, used by no reader.
    file.FieldReadI("CHARACTERIZE", 0), file.FieldReadI("LOCK_XFORM", 0), file.FieldReadI("LOCK_PICK", 0);
    if (before6) {
        file.FieldReadC("CONSTRAINT", "");
        const int type = file.FieldReadI("INPUTOUTPUTTYPE", character.GetInputType());
        if (type == eCharacterInputActor) inputIndex = file.FieldReadI("ACTORINDEX", -1);
        if (type == eCharacterInputCharacter) inputIndex = file.FieldReadI("CHARACTERINDEX", -1);
        character.SetInput(static_cast<ECharacterInputType>(type), nullptr);
    }
    for (const NamedSlot& link : kSingleLinks) {
        if (!EnterBlock(file, link.mName)) continue;
        ReadKZeqCharacterLink(character, link.mId);
        LeaveBlock(file);
    }
    for (const NamedSlot& group : kGroups) {
        if (!EnterBlock(file, group.mName)) continue;
        ReadKZeqCharacterLinkGroup(character, group.mId);
        LeaveBlock(file);
    }
    // The 6.0 writer keeps this group too: its templates and offsets have no
    // other place in a version-6 file.
    if (EnterBlock(file, "GAMEMODEPARENT")) {
        ReadKZeqCharacterLinkGroup(character, eCharacterGroup_GameModeParent);
        LeaveBlock(file);
    }
    if (!before6) return true;
    if (EnterBlock(file, "FILTERSET")) {
        ReadKZeqFilterSet(*character.GetFilterSet());
        LeaveBlock(file);
    }
    if (EnterBlock(file, "CONTROLSET") || EnterBlock(file, "VX_CONTROLSET")) {
        ReadKZeqControlSet(*character.GetControlSet());
        LeaveBlock(file);
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqCharacterLink(KZeqCharacter& character, int id) {
    KZeq& file = *mFile;
    KZeqCharacterLink link;
    // Version-6 links get their node from the connections.
    if (mFile->IsBeforeVersion6()) link.mNode = ModelNode(*this, file.FieldReadC("MODEL", ""));
    link.mTemplateName = file.FieldReadC("NAME", "");
    static const char* const kAxes[] = {"X", "Y", "Z"};
    for (int axis = 0; axis < 3; ++axis) {
        link.mOffsetT[axis] = file.FieldReadD((KString("TOFFSET") + kAxes[axis]).Buffer(), 0.0);
        link.mOffsetR[axis] = file.FieldReadD((KString("ROFFSET") + kAxes[axis]).Buffer(), 0.0);
        link.mOffsetS[axis] = file.FieldReadD((KString("SOFFSET") + kAxes[axis]).Buffer(), 1.0);
    }
    return character.SetCharacterLink(static_cast<ECharacterNodeId>(id), link, true);
}

bool KZeqReaderZeq::ReadKZeqCharacterLinkGroup(KZeqCharacter& character, int group) {
    ReadLinkGroup(*mFile, group, [&](int id) { ReadKZeqCharacterLink(character, id); });
    return true;
}

bool KZeqReaderZeq::ReadKZeqFilterSet(KZeqFilterSet& filterSet) {
    KZeq& file = *mFile;
    auto set = [&](const char* name, int mode, double value) {
        const int index = filterSet.GetParameterIndex(name);
        if (index < 0) return;
        filterSet.SetParameterMode(index, mode);
        filterSet.SetParameterValue(index, value, 0);
        filterSet.SetParameterMinValue(index, 0.0);
        filterSet.SetParameterMaxValue(index, 0.0);
    };
    while (file.FieldReadBegin("PARAM")) {
        if (!file.FieldReadBlockBegin()) {
            file.FieldReadEnd();
            continue;
        }
        const KString name = file.FieldReadC("NAME", "PARAM");
        const int mode = file.FieldReadI("MODE", 0);
        const double fallback = file.FieldReadD("VALUE", 0.0);
        const double value = file.FieldReadD("VALUE0", fallback);
        // The limits are kept by no filter set.
        file.FieldReadD("MIN", 0.0), file.FieldReadD("MAX", 0.0);
        if (name == "ChestTOffset" || name == "HipsTOffset") {
            const double values[3] = {value, file.FieldReadD("VALUE1", value), file.FieldReadD("VALUE2", value)};
            static const char* const kAxes[] = {"X", "Y", "Z"};
            for (int axis = 0; axis < 3; ++axis) set((name + kAxes[axis]).Buffer(), mode, values[axis]);
        } else {
            set(name.Buffer(), mode, value);
        }
        LeaveBlock(file);
    }
    return true;
}

// ---- Control sets ---------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadKZeqControlSet(KZeqControlSet& controlSet) {
    KZeq& file = *mFile;
    controlSet.SetType(static_cast<KZeqControlSet::EType>(file.FieldReadI("TYPE", controlSet.GetType())));
    controlSet.SetLockTransform(file.FieldReadI("LOCK_XFORM", controlSet.GetLockTransform()) != 0);
    controlSet.SetLock3DPick(file.FieldReadI("LOCK_PICK", controlSet.GetLock3DPick()) != 0);
    if (EnterBlock(file, "REFERENCE")) {
        ReadKZeqControlSetLink(controlSet, eCharacterReference);
        LeaveBlock(file);
    }
    for (int i = 0; i < kControlSetGroupCount; ++i) {
        if (!EnterBlock(file, kGroups[i].mName)) continue;
        ReadKZeqControlSetLinkGroup(controlSet, kGroups[i].mId);
        LeaveBlock(file);
    }
    if (EnterBlock(file, "EFFECTOR")) {
        while (EnterBlock(file, "LINK")) ReadKZeqEffector(controlSet), LeaveBlock(file);
        LeaveBlock(file);
    }
    if (EnterBlock(file, "EFFECTOR_AUX1")) {
        while (EnterBlock(file, "LINK")) ReadKZeqEffectorAux(controlSet), LeaveBlock(file);
        LeaveBlock(file);
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqControlSetLinkGroup(KZeqControlSet& controlSet, int group) {
    ReadLinkGroup(*mFile, group, [&](int id) { ReadKZeqControlSetLink(controlSet, id); });
    return true;
}

bool KZeqReaderZeq::ReadKZeqControlSetLink(KZeqControlSet& controlSet, int id) {
    KZeq& file = *mFile;
    KZeqControlSetLink link;
    link.mNode = ModelNode(*this, file.FieldReadC("MODEL", ""));
    link.mTemplateName = file.FieldReadC("NAME", "");
    // An empty record leaves the link there was.
    return !link.IsEmpty() && controlSet.SetControlSetLink(static_cast<ECharacterNodeId>(id), link);
}

bool KZeqReaderZeq::ReadKZeqEffector(KZeqControlSet& controlSet) {
    KZeq& file = *mFile;
    const EEffectorNodeId id = KZeqControlSet::GetEffectorNodeId(file.FieldReadC("NAME", "Unknown").Buffer());
    KZeqNode* node = static_cast<int>(id) < 0 ? nullptr : ModelNode(*this, file.FieldReadC("MODEL", ""));
    if (!node) return false;
    KZeqEffector effector;
    if (!controlSet.GetEffector(id, &effector) || !effector.mNode) effector = KZeqEffector();
    effector.mNode = node;
    effector.mShow = file.FieldReadI("SHOW", effector.mShow) != 0;
    effector.mTActive = file.FieldReadI("TACTIVE", effector.mTActive) != 0;
    effector.mRActive = file.FieldReadI("RACTIVE", effector.mRActive) != 0;
    effector.mCandidateTActive = file.FieldReadI("CANDIDATE_TACTIVE", effector.mCandidateTActive) != 0;
    effector.mCandidateRActive = file.FieldReadI("CANDIDATE_RACTIVE", effector.mCandidateRActive) != 0;
    return controlSet.SetEffector(id, effector);
}

bool KZeqReaderZeq::ReadKZeqEffectorAux(KZeqControlSet& controlSet) {
    KZeq& file = *mFile;
    const EEffectorNodeId id = KZeqControlSet::GetEffectorNodeId(file.FieldReadC("NAME", "Unknown").Buffer());
    KZeqNode* node = static_cast<int>(id) < 0 ? nullptr : ModelNode(*this, file.FieldReadC("MODEL", ""));
    return node && controlSet.SetEffectorAux(id, node, eEffectorSetFirst);
}

// ---- Character poses -------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadCharacterPose(KZeqScene& scene) {
    KZeq& file = *mFile;
    bool result = true;
    while (file.FieldReadBegin("Pose")) {
        const KString name = file.FieldReadC();
        if (!file.FieldReadBlockBegin()) {
            file.FieldReadEnd();
            continue;
        }
        const KString type = file.FieldReadC("Type", "");
        if (type == "CharacterPose") {
            if (EnterBlock(file, "PoseScene")) {
                const int index = scene.CreateCharacterPose(name.Buffer());
                KZeqCharacterPose* pose = index < 0 ? nullptr : scene.GetCharacterPose(index);
                if (pose && !ReadKZeqCharacterPose(*pose)) scene.DestroyCharacterPose(index);
                LeaveBlock(file);
            }
        } else if (type == "BindPose" || type == "RestPose") {
            result = false;
        }
        LeaveBlock(file);
    }
    // Bind and rest poses are the pose reader's, which runs next and finds
    // the records unvisited.
    if (!result) file.FieldReadResetPosition();
    return result;
}

namespace {
// Each nested scene reads on the stack of the one around it: a file nesting
// poses deeper than any scene needs is refused there.
const int kMaxPoseNesting = 16;
thread_local int gPoseNesting = 0;
}  // namespace

bool KZeqReaderZeq::ReadKZeqCharacterPose(KZeqCharacterPose& pose) {
    if (gPoseNesting >= kMaxPoseNesting) return false;
    KZeqImporter* importer = mManager.CreateKZeqImporter();
    if (!importer) return false;
    ++gPoseNesting;
    bool result = false;
    KStreamOptions* options = pose.GetPoseScene() ? importer->GetImportOptions(mFile) : nullptr;
    if (options) {
        auto& zeq = static_cast<KStreamOptionsZeq&>(*options);
        for (int option : {0, 1, 2, 4, 5, 9, 6, 8}) zeq.SetOption(option, false);
        result = importer->Import(*pose.GetPoseScene(), options, mFile);
        importer->ReleaseImportOptions(options);
    }
    mManager.DestroyKZeqImporter(importer);
    --gPoseNesting;
    return result;
}

// ---- Rows of the read tables ------------------------------------------------------------------------

bool ZeqReadCharacters(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadCharacter(scene); }

int ZeqReadCharacterPoses(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadCharacterPose(scene) ? 1 : 0; }

bool ZeqReadCharacterObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString&, const KString& name) {
    const int index = scene.CreateCharacter(name.Buffer());
    KZeqCharacter* character = index < 0 ? nullptr : scene.GetCharacter(index);
    if (!character) return false;
    int input = -1;
    reader.ReadKZeqCharacter(*character, input);
    // Connections name the character as the record does, which an empty name
    // (a character reset) does not stay in the scene.
    reader.RegisterObject(name.Buffer(), character->GetPropertyHandler());
    return true;
}

bool ZeqReadCharacterPoseObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString&, const KString& name) {
    const int index = scene.CreateCharacterPose(name.Buffer());
    KZeqCharacterPose* pose = index < 0 ? nullptr : scene.GetCharacterPose(index);
    if (!pose) return false;
    if (reader.ReadKZeqCharacterPose(*pose)) return true;
    scene.DestroyCharacterPose(index);
    return false;
}

KZeqControlSetPlug* ZeqFindControlSetPlug(KZeqCharacter& character) {
    KZeqCharacterProperties* properties = character.GetProperties();
    for (int i = 0; properties && i < properties->ControlSet.GetCount(); ++i) {
        KObject* source = properties->ControlSet.GetAt(i);
        if (source && source->Is(KZeqControlSetPlugProperties::ClassId))
            return static_cast<KZeqControlSetPlugProperties*>(source)->GetKZeqControlSetPlug();
    }
    return nullptr;
}

// A 6.0 file's plugs were connected to their characters before the nodes
// were connected to the plugs: the control sets are made again once all
// connections are made.
bool ZeqReadControlSetsFromPlugs(KZeqReaderZeq&, KZeqScene& scene) {
    for (int i = 0; i < scene.GetCharacterCount(); ++i)
        if (KZeqControlSetPlug* plug = ZeqFindControlSetPlug(*scene.GetCharacter(i)))
            scene.GetCharacter(i)->GetControlSet()->FromPlug(plug);
    return true;
}

}  // namespace zeqsdk_400
