// Comparer row of characters and character poses. 5.8 keeps no axis flag
// and auxiliary sets 1 only; 6.0 keeps no input, no filter set beyond the
// properties, no floor nodes and of a control set only what its plug holds.

#include "character/kzeqactor.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqfilterset.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

KString NameOf(const KZeqObject* object) { return KString(object ? object->GetName() : "(none)"); }

int IndexOf(KZeqScene& scene, const KZeqObject* object) {
    for (int i = 0; object && i < scene.GetCharacterCount(); ++i)
        if (scene.GetCharacter(i) == object) return i;
    for (int i = 0; object && i < scene.GetActorCount(); ++i)
        if (scene.GetActor(i) == object) return 1000 + i;
    return -1;
}

void CompareControlSet(const std::string& path, KZeqControlSet& a, KZeqControlSet& b, bool v58, ZeqDiff& diff) {
    diff.Check(path + ".type", static_cast<int>(a.GetType()), static_cast<int>(b.GetType()));
    if (v58) {
        diff.Check(path + ".lockTransform", a.GetLockTransform(), b.GetLockTransform());
        diff.Check(path + ".lock3DPick", a.GetLock3DPick(), b.GetLock3DPick());
    } else {
        diff.Check(path + ".useAxis", a.GetUseAxis(), b.GetUseAxis());
    }
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqControlSetLink x, y;
        a.GetControlSetLink(static_cast<ECharacterNodeId>(id), &x), b.GetControlSetLink(static_cast<ECharacterNodeId>(id), &y);
        const std::string at = path + ".link[" + std::to_string(id) + "]";
        diff.Check(at + ".node", NameOf(x.mNode), NameOf(y.mNode));
        if (v58) diff.Check(at + ".template", x.mTemplateName, y.mTemplateName);
    }
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        KZeqEffector x, y;
        const auto effector = static_cast<EEffectorNodeId>(id);
        a.GetEffector(effector, &x), b.GetEffector(effector, &y);
        const std::string at = path + "." + KZeqControlSet::GetEffectorNodeName(effector);
        diff.Check(at + ".node", NameOf(x.mNode), NameOf(y.mNode));
        if (v58) {
            const int flagsX = x.mShow | x.mTActive << 1 | x.mRActive << 2 | x.mCandidateTActive << 3 | x.mCandidateRActive << 4;
            const int flagsY = y.mShow | y.mTActive << 1 | y.mRActive << 2 | y.mCandidateTActive << 3 | y.mCandidateRActive << 4;
            diff.Check(at + ".flags", flagsX, flagsY);
        }
        for (int set = eEffectorSetFirst; set <= (v58 ? eEffectorSetFirst : eEffectorSetLast); ++set) {
            KZeqNode *nx = nullptr, *ny = nullptr;
            a.GetEffectorAux(effector, &nx, static_cast<EEffectorSetId>(set));
            b.GetEffectorAux(effector, &ny, static_cast<EEffectorSetId>(set));
            diff.Check(at + ".aux" + std::to_string(set), NameOf(nx), NameOf(ny));
        }
    }
}

void CompareCharacter(KZeqScene& sa, KZeqScene& sb, KZeqCharacter& a, KZeqCharacter& b, bool v58, ZeqDiff& diff) {
    const std::string path = std::string("character[") + a.GetName() + "]";
    diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
    if (v58) {
        diff.Check(path + ".inputType", static_cast<int>(a.GetInputType()), static_cast<int>(b.GetInputType()));
        diff.Check(path + ".input", IndexOf(sa, a.GetInputObject()), IndexOf(sb, b.GetInputObject()));
        KZeqFilterSet& x = *a.GetFilterSet();
        KZeqFilterSet& y = *b.GetFilterSet();
        for (int i = 0; i < x.GetParameterCount(); ++i) {
            const std::string at = path + ".filter." + x.GetParameterName(i);
            diff.Check(at + ".mode", x.GetParameterMode(i), y.GetParameterMode(i));
            diff.Check(at + ".value", x.GetParameterValue(i), y.GetParameterValue(i));
        }
    }
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqCharacterLink x, y;
        const bool setX = a.GetCharacterLink(static_cast<ECharacterNodeId>(id), &x) && x.IsSet();
        const bool setY = b.GetCharacterLink(static_cast<ECharacterNodeId>(id), &y) && y.IsSet();
        const char* name = nullptr;
        // Floor contacts have no list to carry their node in a 6.0 file.
        if (!v58 && !KZeqCharacterGroups::GetCharacterGroupNameByElement(static_cast<ECharacterNodeId>(id), name) &&
            x.mTemplateName.IsEmpty())
            continue;
        const std::string at = path + ".link[" + std::to_string(id) + "]";
        diff.Check(at + ".set", setX, setY);
        if (!setX || !setY) continue;
        diff.Check(at + ".node", NameOf(x.mNode), NameOf(y.mNode));
        diff.Check(at + ".template", x.mTemplateName, y.mTemplateName);
        for (int axis = 0; axis < 3; ++axis) {
            diff.Check(at + ".t" + std::to_string(axis), x.mOffsetT[axis], y.mOffsetT[axis]);
            diff.Check(at + ".r" + std::to_string(axis), x.mOffsetR[axis], y.mOffsetR[axis]);
            diff.Check(at + ".s" + std::to_string(axis), x.mOffsetS[axis], y.mOffsetS[axis]);
        }
    }
    CompareControlSet(path + ".controlSet", *a.GetControlSet(), *b.GetControlSet(), v58, diff);
}

}  // namespace

void CompareCharacters(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const bool v58 = (diff.mLosses & eZeqLosesPropertyBlock) != 0;
    diff.Check("characters", expected.GetCharacterCount(), actual.GetCharacterCount());
    for (int i = 0; i < expected.GetCharacterCount() && i < actual.GetCharacterCount(); ++i)
        CompareCharacter(expected, actual, *expected.GetCharacter(i), *actual.GetCharacter(i), v58, diff);
    diff.Check("characterPoses", expected.GetCharacterPoseCount(), actual.GetCharacterPoseCount());
    for (int i = 0; i < expected.GetCharacterPoseCount() && i < actual.GetCharacterPoseCount(); ++i) {
        KZeqCharacterPose& a = *expected.GetCharacterPose(i);
        KZeqCharacterPose& b = *actual.GetCharacterPose(i);
        const std::string path = std::string("characterPose[") + a.GetName() + "]";
        diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
        const ZeqDiff nested = CompareScenes(*a.GetPoseScene(), *b.GetPoseScene(), diff.mLosses);
        for (const std::string& field : nested.mFields) diff.mFields.push_back(path + "." + field);
    }
}

}  // namespace zeqiotest
